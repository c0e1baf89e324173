#pragma once

// The one way the program talks to a database file: open, run statements one
// at a time through the bridge, close. Texts of SQL and of results cross the
// bridge as UTF-8 through utf8ToString / stringToUtf8 only; file paths are
// bytes and cross unchanged.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "database/bridge.h"

namespace tovani {

// Decodes len bytes of UTF-8 at p (len -1: up to the first zero byte, which is
// not part of the result). Null or empty input gives the empty text. Byte
// sequences that are not UTF-8 become U+FFFD, as the platform decoder does.
std::string utf8ToString(const char* p, int len);

// Encodes s as UTF-8 into buf followed by one zero byte and returns buf's
// first byte. Sequences that are not UTF-8 become U+FFFD; an embedded zero
// byte would cut the text short for the engine, so it becomes U+FFFD too.
const char* stringToUtf8(const std::string& s, std::vector<char>& buf);

// How long an opened file waits for another process's lock, milliseconds.
constexpr int kBusyTimeoutMs = 3000;

// One open-run-close sequence. The handle is closed whenever it is non-null:
// by close() or at the latest by the destructor.
class DbFile {
public:
    DbFile() = default;
    ~DbFile() { close(); }
    DbFile(const DbFile&) = delete;
    DbFile& operator=(const DbFile&) = delete;

    // flags: bridge::OpenReadOnly, OpenReadWrite or OpenReadWriteCreate. The
    // path's bytes go to the engine as they are. A path that holds something
    // other than a regular file (a symbolic link, a device, a FIFO) is
    // refused, refusal() says why, and the engine is told not to follow a
    // link. A file this open makes has mode 0600 whatever the umask. The
    // connection waits up to kBusyTimeoutMs for a lock another process
    // holds. On failure a handle the engine handed back is closed at once.
    bool open(const std::string& path, int flags);

    // Why the last open refused its path ("a symbolic link", "not a regular
    // file"); empty when it did not refuse it.
    const std::string& refusal() const { return refusal_; }
    // ": <path>: <why>" after an open-failure text when the last open refused
    // path, else empty.
    std::string refusalNote(const std::string& path) const {
        return refusal_.empty() ? std::string() : ": " + path + ": " + refusal_;
    }

    // Runs one statement; true when the engine answered 0.
    bool exec(const std::string& sql, bridge::ExecCallback callback = nullptr, void* user = nullptr);

    // The engine's message for this connection, decoded.
    std::string errmsg() const;

    void close();
    bool isOpen() const { return handle_ != nullptr; }

private:
    sqlite3* handle_ = nullptr;
    std::string refusal_;
};

// Text value between single quotes, every quote inside doubled.
std::string sqlText(const std::string& value);

// Row callback of "SELECT COUNT(*)" queries: the first value as a 32-bit
// number into the int32_t the user argument points to.
int exec_callback_count(void* user, int columnCount, char** values, char** names);

// A row value as a 32-bit number: the leading decimal integer of the text
// (null or no digits give 0; values past 32 bits are clamped).
int32_t valueToInt32(const char* text);

// A row value that must be a whole number, as the engine writes an INTEGER:
// an optional "-" and decimal digits, within [lo, hi]. Null, text, a
// fraction or a value out of range: nullopt.
std::optional<int64_t> wholeNumberValue(const char* text, int64_t lo, int64_t hi);

}  // namespace tovani
