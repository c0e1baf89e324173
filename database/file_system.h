#pragma once

// The program folder, the data folder and the file-system checks every
// database routine uses.

#include <string>

#include "platform/os/files.h"
#include "platform/os/user_data_folder.h"

namespace tovani {

// Folder of the running program, no trailing separator. The bridge library
// is loaded from here, always. Empty when the system does not tell (no /proc
// on Linux): never the current folder, from which a library anyone put there
// would be loaded.
std::string programFolder();
// Empty while programFolder() is known, else the one text that says it is not
// and why, for the window and the tools to fail with.
std::string programFolderError();

// The marker file that makes a program folder portable: its data lives beside
// the program. The build puts it into its program folders; an installed
// program folder never has it.
inline constexpr const char* portableMarker = "portable";

// The folder the card files (RirekiDB), Station.DB, the station lists and the
// settings file live in, for the window and every tool: programDir itself
// when it holds the file portableMarker (a build, a portable copy), else, for
// every user, root too, userFolder (the system's rule: os::userDataFolder()).
// Decides only; nothing is made.
std::string dataFolderFor(const std::string& programDir, const std::string& userFolder);
// The same for this process: its program folder and the user's own folder.
// Card files that an earlier version kept beside an unmarked program folder
// are left where they are and named on standard error.
std::string dataFolder();

// Makes the data folder when it is missing (missing parents too, each
// private: it holds the user's card history) and checks that this process
// can write to it and to cardFolder when that is given and exists. Empty
// when all is well, else one text naming the folder and the reason: "Data
// folder error: <folder>: <reason>".
std::string prepareDataFolder(const std::string& folder, const std::string& cardFolder = std::string());

bool folderExists(const std::string& path);
bool fileExists(const std::string& path);
using os::nothingAt;
// Why the database files of the program may not be at path: "" for a regular
// file and for nothing there, else "a symbolic link" or "not a regular file".
// The engine would follow a link, or block on a FIFO, or write a journal
// beside the device a link leads to.
using os::notPlainFileReason;
// Creates the folder (and missing parents, each private); false, with the
// reason in *why when given, when it could not be made.
bool createFolder(const std::string& path, std::string* why = nullptr);

// For the --help texts of the window and the tools: where DATA and PROGRAM
// of their file lists are, and the environment variables dataFolder() reads.
using os::dataFolderHelp;
using os::dataFolderEnvironmentHelp;

}  // namespace tovani
