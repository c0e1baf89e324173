#include "platform/os/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tovani::os {

// Opened for appending without following a link and without waiting (a FIFO
// without a reader fails at once, one with a reader is refused below), then
// checked to be a private regular file of this user.
bool LogFile::open(const std::string& path, std::string& why) {
    close();
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        // ENXIO: a FIFO without a reader, or a device without its device.
        why = errno == ELOOP ? "it is a symbolic link" : errno == ENXIO ? "it is not a regular file" : std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        why = "it is not a regular file";
    } else if (st.st_uid != ::geteuid()) {
        why = "it belongs to another user";
    } else if ((st.st_mode & 077) != 0 && ::fchmod(fd, st.st_mode & 0700) != 0) {
        why = std::string("others can read it and it cannot be made private: ") + std::strerror(errno);
    } else {
        handle_ = fd;
        return true;
    }
    ::close(fd);
    return false;
}

long long LogFile::size() const {
    struct stat st {};
    return handle_ >= 0 && ::fstat(static_cast<int>(handle_), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

bool LogFile::append(const std::string& text, std::string& why) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(static_cast<int>(handle_), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

void LogFile::close() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = -1;
}

}  // namespace tovani::os
