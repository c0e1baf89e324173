#pragma once

// What the tests need of the system beside the program's own seam, one
// implementation per system (system_posix.cpp, system_windows.cpp).

#include <string>

namespace tovani::test {

// Sets or removes a variable of this process's environment, where the
// program's environmentVariable() reads it.
void setEnvironment(const std::string& name, const std::string& value);
void unsetEnvironment(const std::string& name);

// A shared library of the system that any program can load and that has
// none of the bridge's exports.
extern const char* const libraryWithoutTheBridge;

// UTF-8 text as Shift_JIS (code page 932), as the station lists are
// written; throws for text the code page cannot hold.
std::string toShiftJis(const std::string& utf8);

}  // namespace tovani::test
