#include "platform/felica/reader_log.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/os/clock.h"
#include "platform/os/log_file.h"
#include "platform/os/process.h"

namespace tovani::felica {

namespace {

// --- The log of the process -------------------------------------------------

struct Log {
    std::mutex mutex;
    int users = 0;     // connections holding the log open
    os::LogFile file;  // closed: nothing is written
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
    log.file.close();
    logOpen = false;
}

std::string stamp(std::string_view route, char marker) {
    const os::LocalTime t = os::localTimeNow();
    char head[64];
    std::snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond);
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
    if (!log.file.isOpen()) return;
    const long long size = log.file.size();
    std::string why;
    if (size >= 0 && static_cast<uint64_t>(size) >= ReaderLogLimit) {
        log.file.append(stamp(route, '#') + " the reader log has reached 16 MiB: nothing more is written to it\n", why);
        warn(log, "it has reached 16 MiB");
        stopLogging(log);
        return;
    }
    if (size < 0) why = "its size cannot be taken";
    if (size < 0 || !log.file.append(line, why)) {
        warn(log, why);
        stopLogging(log);
    }
}

}  // namespace

ReaderLogConnection::ReaderLogConnection() {
    Log& log = theLog();
    std::lock_guard lock(log.mutex);
    if (log.users++ > 0) return;
    const std::optional<std::string> path = os::environmentVariable("TOVANI_READER_LOG");
    if (!path || path->empty()) return;
    log.path = *path;
    std::string why;
    if (!log.file.open(*path, why)) {
        warn(log, why);
        return;
    }
    // Full from an earlier connection: its last line said so already.
    const long long size = log.file.size();
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
