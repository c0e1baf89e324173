#pragma once

#include <string>

namespace tovani::os {

// The rule of userDataFolder() on Linux, from the two variables' values (null
// when unset): xdgDataHome + "/tovani-viewer" when that is an absolute path,
// else home + "/.local/share/tovani-viewer"; a home that is unset, empty or
// not absolute is taken from the user database. Empty when there is no home.
std::string xdgDataFolder(const char* xdgDataHome, const char* home);

}  // namespace tovani::os
