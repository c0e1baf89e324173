#include "database/file_system.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tovani {

namespace fs = std::filesystem;

namespace {

bool isAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Checked for the effective user, whose rights the writes will have (the
// real user may differ in a set-id start); the kernel also says no for a
// read-only mount, which the mode bits do not show.
bool writableFolder(const std::string& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string homeFolder(const char* home) {
    if (isAbsolute(home)) return home;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        isAbsolute(found->pw_dir))
        return found->pw_dir;
    return std::string();
}

std::string folderError(const std::string& folder, const std::string& reason) {
    return "Data folder error: " + folder + ": " + reason;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isPortable(const std::string& programDir) {
    struct stat st {};
    return ::stat((programDir + "/" + portableMarker).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Makes every missing folder of path, each private: the folders hold the
// user's card history. 0 when all is there, else the errno of the failure.
int makePrivateFolders(const std::string& path) {
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
        if (end == std::string::npos) return 0;
    }
}

bool holdsCardFiles(const std::string& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (it->path().extension() == ".DB") return true;
    }
    return false;
}

}  // namespace

std::string programFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.is_absolute()) return std::string();
    return exe.parent_path().string();
}

std::string programFolderError() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.is_absolute()) return std::string();
    return "Program folder error: the program's folder cannot be found (/proc/self/exe: " +
           (ec ? ec.message() : "not an absolute path") +
           "; is /proc mounted?); the database library is loaded from that folder only";
}

std::string dataFolderFor(const std::string& programDir, const char* xdgDataHome, const char* home) {
    if (!programDir.empty() && isPortable(programDir)) return programDir;
    std::string base;
    if (isAbsolute(xdgDataHome)) {
        base = withoutTrailingSeparators(xdgDataHome);
    } else {
        const std::string h = homeFolder(home);
        if (h.empty()) return std::string();
        base = withoutTrailingSeparators(h) + "/.local/share";
    }
    if (base == "/") base.clear();
    return base + "/tovani-viewer";
}

std::string dataFolder() {
    const std::string program = programFolder();
    const std::string data = dataFolderFor(program, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    // An earlier version kept the data beside any program folder it could
    // write to. Those files are neither moved nor used; say where they are so
    // that the history stays findable.
    if (!program.empty() && data != program && holdsCardFiles(program + "/RirekiDB")) {
        std::fprintf(stderr,
                     "Tovani Viewer: %s/RirekiDB holds card files of an earlier version, which are not used: "
                     "the data folder is %s. Move them there, or put a file named %s into %s to keep the "
                     "data beside the program.\n",
                     program.c_str(), data.empty() ? "unknown" : data.c_str(), portableMarker, program.c_str());
    }
    return data;
}

std::string prepareDataFolder(const std::string& folder, const std::string& cardFolder) {
    if (folder.empty()) return "Data folder error: no home folder to keep the data in (HOME is not set)";
    // Each missing folder on the way is made private: ~/.local/share may not
    // exist yet in a fresh home.
    if (const int error = makePrivateFolders(folder); error != 0) return folderError(folder, std::strerror(error));
    auto check = [](const std::string& f) {
        if (!isFolder(f)) return folderError(f, "not a folder");
        if (!writableFolder(f)) return folderError(f, std::strerror(errno));
        return std::string();
    };
    if (std::string error = check(folder); !error.empty()) return error;
    // A card folder that is there but cannot take a card keeps its history
    // visible; a missing one is made at the first store.
    std::error_code ec;
    if (!cardFolder.empty() && fs::exists(fs::symlink_status(cardFolder, ec))) return check(cardFolder);
    return std::string();
}

bool folderExists(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool nothingAt(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

std::string notPlainFileReason(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::string();  // nothing there, or the open says why
    if (S_ISLNK(st.st_mode)) return "a symbolic link";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    return std::string();
}

bool createFolder(const std::string& path) {
    const int error = makePrivateFolders(path);
    if (error == 0 && isFolder(path)) return true;
    errno = error != 0 ? error : ENOTDIR;  // for the caller's message
    return false;
}

}  // namespace tovani
