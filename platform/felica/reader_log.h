#pragma once

// The reader log: what a user with a real reader attaches to a report.
// When TOVANI_READER_LOG names a file, every transport appends each exchange
// with its reader/writer to it, one line each way:
//
//   2026-12-07 18:30:01.123 pcsc > FF C2 00 01 ...
//   2026-12-07 18:30:01.140 pcsc < C0 03 00 90 00 ...
//
// (local time to the millisecond, the route, ">" to the reader and "<" from
// it, the bytes in hexadecimal). Unset, nothing is logged. A log that cannot
// be written is one warning on stderr per process and never fails a read.
//
// The log holds card numbers and history blocks, so it is private: the file
// is opened once per reader connection, only when it is a regular file (a
// symbolic link is not followed, a FIFO or device never waited for), created
// 0600, and an existing one of the user's own loses any access by others
// (one that belongs to another user is not written). It stops at 16 MiB,
// with one last line that says so.

#include <cstdint>
#include <span>
#include <string_view>

namespace tovani::felica {

enum class LogDirection { ToReader, FromReader };

// Appends one line. `route` names the transport ("virtual", "libnfc",
// "pcsc", "usb", or a finer name such as "pcsc-acr122" or "usb-felica").
void logExchange(std::string_view route, LogDirection direction, std::span<const uint8_t> bytes);

// Appends one line of text that is no exchange (a status, a refusal), so a
// report shows why a read took the turn it took.
void logNote(std::string_view route, std::string_view text);

// The log is open while a connection to a reader holds one of these: each
// transport takes one when it opens and lets it go when it closes. Several
// at once (the automatic choice trying its candidates) share the one file;
// lines written while none is held are dropped.
class ReaderLogConnection {
public:
    ReaderLogConnection();
    ~ReaderLogConnection();
    ReaderLogConnection(const ReaderLogConnection&) = delete;
    ReaderLogConnection& operator=(const ReaderLogConnection&) = delete;
};

// Where the log stops: the last line is written once the file has reached
// the limit, and the file never grows past the cap.
constexpr uint64_t ReaderLogCap = 16u << 20;
constexpr uint64_t ReaderLogLimit = ReaderLogCap - (64u << 10);

}  // namespace tovani::felica
