#pragma once

// Where card files and the name database lie, and the file-system checks
// every database routine uses.

#include <cstdint>
#include <string>

namespace tovani {

// Folder of the running program (of /proc/self/exe), no trailing separator.
std::string programFolder();

// programFolder + "/RirekiDB".
std::string rirekiFolder(const std::string& programDir);

// programDir + "/RirekiDB/" + dbFilePrefix(cardKind) + cardId + ".DB".
std::string cardDbPath(const std::string& programDir, int32_t cardKind, const std::string& cardId);

bool folderExists(const std::string& path);
bool fileExists(const std::string& path);
// Creates the folder (and missing parents); false when it could not be made.
bool createFolder(const std::string& path);

}  // namespace tovani
