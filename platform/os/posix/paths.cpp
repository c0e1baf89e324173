#include "platform/os/paths.h"

namespace tovani::os {

std::filesystem::path osPath(const std::string& text) { return std::filesystem::path(text); }
std::string pathText(const std::filesystem::path& path) { return path.string(); }
const char folderSeparator = '/';

}  // namespace tovani::os
