#include "platform/os/paths.h"

namespace tovani::os {

// path::string() would go through the ANSI code page.
std::filesystem::path osPath(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

const char folderSeparator = '\\';

}  // namespace tovani::os
