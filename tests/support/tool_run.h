#pragma once

#include <filesystem>
#include <string>

namespace tovani::test {

// What one run of a command-line program gave back.
struct ToolRun {
    int status = -1;  // exit status; -1 when it did not exit normally or could not start
    std::string out;
    std::string err;
};

// The text in single quotes for the shell, with any single quote inside kept.
std::string shellQuoted(const std::string& text);

// Runs a shell command line, collecting its standard output, and its standard
// error through errFile (a scratch file it overwrites).
ToolRun runShell(const std::string& command, const std::filesystem::path& errFile);

}  // namespace tovani::test
