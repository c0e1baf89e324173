#pragma once

// The options every program (the window and each tool) answers alike,
// before anything else: -h or --help, and --version, each alone on the
// command line; with anything beside it, it is a usage error.

#include <string>
#include <string_view>
#include <vector>

#include "platform/os/process.h"
#include "platform/os/shared_library.h"

namespace tovani {

// The command line as UTF-8, whatever the system hands main (Windows: the
// ANSI code page's form, which loses kana and kanji), and standard streams
// that pass UTF-8 and "\n" as written. Made first thing in main; replaces
// argc and argv for as long as it lives.
class Utf8CommandLine {
public:
    Utf8CommandLine(int& argc, char**& argv) : args_(os::commandLineArguments(argc, argv)) {
        os::useUtf8StandardStreams();
        for (std::string& a : args_) pointers_.push_back(a.data());
        pointers_.push_back(nullptr);
        argc = static_cast<int>(args_.size());
        argv = pointers_.data();
    }

private:
    std::vector<std::string> args_;
    std::vector<char*> pointers_;
};

// The help's line for the bridge library in the program folder, its text
// from the given column.
inline std::string bridgeLibraryHelpLine(size_t column) {
    const std::string term = "  PROGRAM/" + std::string(os::bridgeLibraryName);
    return term + std::string(column > term.size() + 1 ? column - term.size() : 2, ' ') + "the database library\n";
}

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
