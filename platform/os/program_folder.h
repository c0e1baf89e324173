#pragma once

// Where the running program lives: the program folder holds the bridge
// library and, when marked portable, the data.

#include <string>

namespace tovani::os {

// The running program's own file, as an absolute UTF-8 path; empty, with the
// reason in `why`, when the system does not tell (Linux without /proc).
std::string executablePath(std::string& why);

// What the reason above is about, for the message that says the folder is
// unknown ("/proc/self/exe: ...; is /proc mounted?").
std::string executablePathProblem(const std::string& why);

}  // namespace tovani::os
