#include "platform/os/program_folder.h"

#include <filesystem>
#include <system_error>

namespace tovani::os {

std::string executablePath(std::string& why) {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.is_absolute()) return exe.string();
    why = ec ? ec.message() : "not an absolute path";
    return std::string();
}

std::string executablePathProblem(const std::string& why) { return "/proc/self/exe: " + why + "; is /proc mounted?"; }

}  // namespace tovani::os
