#include "platform/felica/reader_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

namespace tovani::felica {

namespace {

// --- The file itself: the only system calls of the log --------------------

// Opens the log for appending without following a link and without waiting
// (a FIFO without a reader fails at once, one with a reader is refused
// below), then makes sure it is a private regular file of this user.
// -1 with the reason in `why`.
int openLogFile(const char* path, std::string& why) {
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        // ENXIO: a FIFO without a reader, or a device without its device.
        why = errno == ELOOP ? "it is a symbolic link" : errno == ENXIO ? "it is not a regular file" : std::strerror(errno);
        return -1;
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
        return fd;
    }
    ::close(fd);
    return -1;
}

// The file's size now (another process may append too); -1 on failure.
long long logFileSize(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

bool appendToLogFile(int fd, const std::string& line) {
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void closeLogFile(int fd) { ::close(fd); }

// --- The log of the process -------------------------------------------------

struct Log {
    std::mutex mutex;
    int users = 0;     // connections holding the log open
    int fd = -1;       // -1: nothing is written
    std::string path;
    bool warned = false;  // once per process
};

Log& theLog() {
    static Log log;
    return log;
}

// Lines are built only while a log is open.
std::atomic<bool> logOpen{false};

void warn(Log& log, const std::string& why) {
    if (log.warned) return;
    log.warned = true;
    std::fprintf(stderr, "reader log %s cannot be written: %s; reading goes on without it\n", log.path.c_str(),
                 why.c_str());
}

void stopLogging(Log& log) {
    if (log.fd >= 0) closeLogFile(log.fd);
    log.fd = -1;
    logOpen = false;
}

std::string stamp(std::string_view route, char marker) {
    timeval tv{};
    ::gettimeofday(&tv, nullptr);
    std::tm local{};
    const time_t secs = tv.tv_sec;
    ::localtime_r(&secs, &local);
    char head[64];
    std::snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d.%03ld ", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<long>(tv.tv_usec / 1000));
    std::string line = head;
    line.append(route);
    line += ' ';
    line += marker;
    return line;
}

// A line is far shorter than the room left above the limit, so the file
// stays below the cap with the last line.
void appendLine(std::string_view route, const std::string& line) {
    Log& log = theLog();
    std::lock_guard lock(log.mutex);
    if (log.fd < 0) return;
    const long long size = logFileSize(log.fd);
    if (size >= 0 && static_cast<uint64_t>(size) >= ReaderLogLimit) {
        appendToLogFile(log.fd, stamp(route, '#') + " the reader log has reached 16 MiB: nothing more is written to it\n");
        warn(log, "it has reached 16 MiB");
        stopLogging(log);
        return;
    }
    if (size < 0 || !appendToLogFile(log.fd, line)) {
        warn(log, std::strerror(errno ? errno : EIO));
        stopLogging(log);
    }
}

}  // namespace

ReaderLogConnection::ReaderLogConnection() {
    Log& log = theLog();
    std::lock_guard lock(log.mutex);
    if (log.users++ > 0) return;
    const char* path = std::getenv("TOVANI_READER_LOG");
    if (!path || !*path) return;
    log.path = path;
    std::string why;
    log.fd = openLogFile(path, why);
    if (log.fd < 0) {
        warn(log, why);
        return;
    }
    // Full from an earlier connection: its last line said so already.
    const long long size = logFileSize(log.fd);
    if (size >= 0 && static_cast<uint64_t>(size) >= ReaderLogLimit) {
        warn(log, "it has reached 16 MiB");
        stopLogging(log);
        return;
    }
    logOpen = true;
}

ReaderLogConnection::~ReaderLogConnection() {
    Log& log = theLog();
    std::lock_guard lock(log.mutex);
    if (--log.users == 0) stopLogging(log);
}

void logExchange(std::string_view route, LogDirection direction, std::span<const uint8_t> bytes) {
    if (!logOpen) return;
    std::string line = stamp(route, direction == LogDirection::ToReader ? '>' : '<');
    static const char digits[] = "0123456789ABCDEF";
    for (uint8_t b : bytes) {
        line += ' ';
        line += digits[b >> 4];
        line += digits[b & 0x0F];
    }
    line += '\n';
    appendLine(route, line);
}

void logNote(std::string_view route, std::string_view text) {
    if (!logOpen) return;
    std::string line = stamp(route, '#');
    line += ' ';
    line.append(text);
    line += '\n';
    appendLine(route, line);
}

}  // namespace tovani::felica
