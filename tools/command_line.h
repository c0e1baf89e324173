#pragma once

// The options every program (the window and each tool) answers alike,
// before anything else: -h or --help, and --version, each alone on the
// command line; with anything beside it, it is a usage error.

#include <string_view>

namespace tovani {

enum class CommonOption {
    None,     // neither: the program's own command line
    Help,     // -h or --help
    Version,  // --version
    Misused,  // one of them among other arguments
};

inline CommonOption commonOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool help = arg == "-h" || arg == "--help";
        if (!help && arg != "--version") continue;
        if (argc != 2) return CommonOption::Misused;
        return help ? CommonOption::Help : CommonOption::Version;
    }
    return CommonOption::None;
}

}  // namespace tovani
