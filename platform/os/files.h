#pragma once

// The file checks of the card files, Station.DB and the settings file: what is
// at a path, private folders and files, and replacing a file whole. A card
// history is never readable by others: folders the program makes are private
// (0700 on Linux; on Windows the user's own folder already is), files it
// creates are 0600 on Linux.

#include <string>

namespace tovani::os {

bool isFolder(const std::string& path);
bool isRegularFile(const std::string& path);
// True when nothing at all is at path, not even a link that leads nowhere.
bool nothingAt(const std::string& path);

// "" for a regular file and for nothing there, else "a symbolic link" (on
// Windows any reparse point: a symbolic link or a junction) or "not a
// regular file".
std::string notPlainFileReason(const std::string& path);

// Makes every missing folder of path, each private. "" when all is there,
// else the reason.
std::string makePrivateFolders(const std::string& path);

// Whether this process may make files in folder; "" when it may, else why not.
std::string folderWriteProblem(const std::string& folder);

// Makes path as an empty private file, never through a link; false when
// something is there already or it cannot be made.
bool createPrivateFile(const std::string& path);
bool removeFile(const std::string& path);

// The path with the links of its folder resolved and the file name as it is
// (where the system resolves links at all); path itself when the folder
// cannot be resolved.
std::string withResolvedFolder(const std::string& path);

// Replaces file by temp, in one step where the system allows; the file keeps
// its permissions. False, and temp removed, on failure.
bool replaceFile(const std::string& temp, const std::string& file, bool keepPermissions);

// A name part no other running process uses, for temporary files.
std::string processTag();

}  // namespace tovani::os
