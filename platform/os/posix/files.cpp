#include "platform/os/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tovani::os {

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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

std::string makePrivateFolders(const std::string& path) {
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return std::strerror(errno);
        if (end == std::string::npos) break;
    }
    return isFolder(path) ? std::string() : std::strerror(ENOTDIR);
}

// Checked for the effective user, whose rights the writes will have (the
// real user may differ in a set-id start); the kernel also says no for a
// read-only mount, which the mode bits do not show.
std::string folderWriteProblem(const std::string& folder) {
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return std::string();
    return std::strerror(errno);
}

bool createPrivateFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool made = ::fchmod(fd, 0600) == 0;  // whatever the umask
    ::close(fd);
    if (!made) ::unlink(path.c_str());
    return made;
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::string withResolvedFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    char* real = ::realpath(folder.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string out(real);
    std::free(real);
    if (out.back() != '/') out += '/';
    return out + (slash == std::string::npos ? path : path.substr(slash + 1));
}

bool replaceFile(const std::string& temp, const std::string& file, bool keepPermissions) {
    struct stat st {};
    if (keepPermissions && ::stat(file.c_str(), &st) == 0) ::chmod(temp.c_str(), st.st_mode & 07777);
    if (std::rename(temp.c_str(), file.c_str()) == 0) return true;
    std::remove(temp.c_str());
    return false;
}

std::string processTag() { return std::to_string(::getpid()); }

}  // namespace tovani::os
