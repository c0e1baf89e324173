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

}  // namespace tovani::felica
