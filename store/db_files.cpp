#include "store/db_files.h"

#include <filesystem>
#include <system_error>

#include "cards/card_data.h"

namespace tovani {

namespace fs = std::filesystem;

std::string programFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec).string();
    return exe.parent_path().string();
}

std::string rirekiFolder(const std::string& programDir) { return programDir + "/RirekiDB"; }

std::string cardDbPath(const std::string& programDir, int32_t cardKind, const std::string& cardId) {
    return rirekiFolder(programDir) + "/" + dbFilePrefix(cardKind) + cardId + ".DB";
}

bool folderExists(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool createFolder(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return !ec && folderExists(path);
}

}  // namespace tovani
