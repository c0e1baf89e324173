#pragma once

// The user's own data folder of the program, used when the program folder is
// not marked portable: $XDG_DATA_HOME/tovani-viewer (or
// ~/.local/share/tovani-viewer) on Linux, %LOCALAPPDATA%\Tovani Viewer on
// Windows.

#include <string>

namespace tovani::os {

// Decides only; nothing is made. Empty, with the reason in `why`, when the
// system names no such folder (no home).
std::string userDataFolder(std::string& why);

// For the --help texts of the window and the tools: where DATA of their file
// lists is, and the environment variables userDataFolder() reads.
extern const char* const dataFolderHelp;
extern const char* const dataFolderEnvironmentHelp;
// Why there is no user's data folder when userDataFolder() finds none.
extern const char* const noUserDataFolder;

}  // namespace tovani::os
