#pragma once

// The program folder and the file-system checks every database routine uses.

#include <string>

namespace tovani {

// Folder of the running program (of /proc/self/exe), no trailing separator.
std::string programFolder();

bool folderExists(const std::string& path);
bool fileExists(const std::string& path);
// Creates the folder (and missing parents); false when it could not be made.
bool createFolder(const std::string& path);

}  // namespace tovani
