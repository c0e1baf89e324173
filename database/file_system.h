#pragma once

// The program folder, the data folder and the file-system checks every
// database routine uses.

#include <string>

namespace tovani {

// Folder of the running program (of /proc/self/exe), no trailing separator.
// The bridge library is loaded from here, always. Empty when the system does
// not tell (no /proc): never the current folder, from which a library anyone
// put there would be loaded.
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
// every user, root too, xdgDataHome + "/tovani-viewer" when that is an
// absolute path, else home + "/.local/share/tovani-viewer". A home that is
// unset, empty or not absolute is taken from the user database. Decides only;
// nothing is made. Empty when there is no home to keep the data in.
std::string dataFolderFor(const std::string& programDir, const char* xdgDataHome, const char* home);
// The same for this process: its program folder, XDG_DATA_HOME and HOME. Card
// files that an earlier version kept beside an unmarked program folder are
// left where they are and named on standard error.
std::string dataFolder();

// Makes the data folder when it is missing (missing parents too, each with
// mode 0700: it holds the user's card history) and checks that the effective
// user can write to it and to cardFolder when that is given and exists.
// Empty when all is well, else one text naming the folder and the reason:
// "Data folder error: <folder>: <reason>".
std::string prepareDataFolder(const std::string& folder, const std::string& cardFolder = std::string());

bool folderExists(const std::string& path);
bool fileExists(const std::string& path);
// True when nothing at all is at path, not even a link that leads nowhere.
bool nothingAt(const std::string& path);
// Why the database files of the program may not be at path: "" for a regular
// file and for nothing there, else "a symbolic link" or "not a regular file".
// The engine would follow a link, or block on a FIFO, or write a journal
// beside the device a link leads to.
std::string notPlainFileReason(const std::string& path);
// Creates the folder (and missing parents, each private: mode 0700); false,
// with errno saying why, when it could not be made.
bool createFolder(const std::string& path);


// For the --help texts of the window and the tools: where DATA and PROGRAM
// of their file lists are, and the environment variables dataFolder() reads.
inline constexpr const char* dataFolderHelp =
    "PROGRAM is the folder of the program. DATA is PROGRAM when it holds a file\n"
    "named portable (a build or a portable copy), else, for every user, root too,\n"
    "$XDG_DATA_HOME/tovani-viewer, or ~/.local/share/tovani-viewer when\n"
    "XDG_DATA_HOME is unset or not an absolute path; that folder is made with\n"
    "mode 0700 when it is first used. Card files and Station.DB are made with\n"
    "mode 0600.\n";
inline constexpr const char* dataFolderEnvironmentHelp =
    "  XDG_DATA_HOME          holds the data folder tovani-viewer unless the program\n"
    "                         folder is portable (unset, empty or not absolute:\n"
    "                         ~/.local/share)\n"
    "  HOME                   the user's home folder, for ~/.local/share\n";

}  // namespace tovani
