#pragma once

// Paths are UTF-8 text inside the program. On Linux a path is bytes and goes
// to the system unchanged (a folder named in another encoding still opens);
// on Windows it becomes UTF-16 at the system call, never the ANSI code page,
// which would lose kana and kanji.

#include <filesystem>
#include <string>

namespace tovani::os {

// The path for std::filesystem and the file streams.
std::filesystem::path osPath(const std::string& text);
// The path as the program's text.
std::string pathText(const std::filesystem::path& path);

// The folder separator this system writes ("/" or "\").
extern const char folderSeparator;

}  // namespace tovani::os
