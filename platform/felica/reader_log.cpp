#include "platform/felica/reader_log.h"

#include <sys/time.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace tovani::felica {

namespace {

// Each line is opened, written and closed on its own: a report then holds
// every line written before a crash, and two processes (the window and a
// tool) append whole lines without sharing a handle.
void appendLine(const std::string& line) {
    const char* path = std::getenv("TOVANI_READER_LOG");
    if (!path || !*path) return;
    static bool warned = false;
    FILE* f = std::fopen(path, "a");
    bool ok = f != nullptr;
    int why = ok ? 0 : errno;
    if (ok) {
        ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
        if (!ok) why = errno;
        if (std::fclose(f) != 0 && ok) {
            ok = false;
            why = errno;
        }
    }
    if (!ok && !warned) {
        warned = true;
        std::fprintf(stderr, "reader log %s cannot be written: %s; reading goes on without it\n", path,
                     std::strerror(why ? why : EIO));
    }
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

}  // namespace

void logExchange(std::string_view route, LogDirection direction, std::span<const uint8_t> bytes) {
    const char* path = std::getenv("TOVANI_READER_LOG");
    if (!path || !*path) return;
    std::string line = stamp(route, direction == LogDirection::ToReader ? '>' : '<');
    static const char digits[] = "0123456789ABCDEF";
    for (uint8_t b : bytes) {
        line += ' ';
        line += digits[b >> 4];
        line += digits[b & 0x0F];
    }
    line += '\n';
    appendLine(line);
}

void logNote(std::string_view route, std::string_view text) {
    const char* path = std::getenv("TOVANI_READER_LOG");
    if (!path || !*path) return;
    std::string line = stamp(route, '#');
    line += ' ';
    line.append(text);
    line += '\n';
    appendLine(line);
}

}  // namespace tovani::felica
