#pragma once

// What a program takes from its process: the command line and the
// environment as UTF-8 (on Windows from the system's UTF-16, never the ANSI
// code page), and standard streams that pass UTF-8 and "\n" unchanged.

#include <optional>
#include <string>
#include <vector>

namespace tovani::os {

// The arguments, argv[0] first.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// The variable's value; nullopt when it is not set.
std::optional<std::string> environmentVariable(const char* name);

// Standard output and error as bytes: UTF-8 texts and "\n" line ends as the
// program writes them (a console shows UTF-8).
void useUtf8StandardStreams();

}  // namespace tovani::os
