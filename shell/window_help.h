#pragma once

// The window's --help text, the same on every system but for what the window
// system adds: how a failure to start is told, its own options and the
// environment variables it reads.

#include <string>

namespace tovani::shell {

inline constexpr const char* WindowSynopsis = "Usage: TovaniViewer [-h | --help | --version]\n";

struct WindowSystemHelp {
    std::string cannotOpen;   // after "1  the window could not be opened"
    std::string options;      // lines after the common options
    std::string environment;  // lines after the reader's and the data folder's
};

std::string windowHelpText(const WindowSystemHelp& system);

}  // namespace tovani::shell
