#pragma once

// Loading a shared library by path and looking up its exports by name.

#include <string>

namespace tovani::os {

// The bridge library's file name in the program folder.
extern const char* const bridgeLibraryName;

// The library at path, or null with the reason in `why`. Its own imports
// are looked for beside it first.
void* loadLibrary(const std::string& path, std::string& why);
// The export `name` of a loaded library, or null.
void* librarySymbol(void* library, const char* name);

}  // namespace tovani::os
