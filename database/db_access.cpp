#include "database/db_access.h"

#include <cstring>
#include <limits>

#include "database/file_system.h"
#include "platform/os/files.h"

namespace tovani {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not one.
size_t validSequence(const unsigned char* s, size_t n, size_t i) {
    const unsigned char c = s[i];
    if (c < 0x80) return 1;
    size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1Fu; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0Fu; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07u; }
    else return 0;
    if (i + len > n) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i + k] & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

std::string cleanUtf8(const char* p, size_t n, bool replaceZero) {
    std::string out;
    out.reserve(n);
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n;) {
        if (replaceZero && s[i] == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        const size_t len = validSequence(s, n, i);
        if (len == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(p + i, len);
            i += len;
        }
    }
    return out;
}

// A writer killed inside a statement leaves its rollback journal beside the
// file. A read-only connection may not roll it back and fails every query
// ("attempt to write a readonly database") until a writer comes by, so the
// first reader after such a crash opens the file once for writing, without
// create, and lets the engine restore it. A live writer's journal is not
// touched: the engine rolls back only a journal nobody holds.
void rollBackInterruptedWrite(const std::string& path) {
    if (!fileExists(path + "-journal")) return;
    DbFile db;
    if (db.open(path, bridge::OpenReadWrite)) db.exec("SELECT COUNT(*) FROM sqlite_master;");
}

}  // namespace

std::string utf8ToString(const char* p, int len) {
    if (p == nullptr || len == 0 || len < -1) return std::string();
    const size_t n = len == -1 ? std::strlen(p) : static_cast<size_t>(len);
    return cleanUtf8(p, n, false);
}

const char* stringToUtf8(const std::string& s, std::vector<char>& buf) {
    const std::string clean = cleanUtf8(s.data(), s.size(), true);
    buf.assign(clean.begin(), clean.end());
    buf.push_back('\0');
    return buf.data();
}

bool DbFile::open(const std::string& path, int flags) {
    close();
    // A path is bytes on Linux and goes to the engine unchanged: a folder
    // named in Latin-1 or Shift_JIS is as legal as one in UTF-8, and
    // replacing its bytes would open another file (on Windows the engine
    // takes UTF-8 names). Only a zero byte cannot be passed on; such a path
    // names no file.
    refusal_.clear();
    if (path.find('\0') != std::string::npos) return false;
    // A link would lead the engine anywhere, a device would get a journal
    // beside it, a FIFO would block.
    refusal_ = notPlainFileReason(path);
    if (!refusal_.empty()) return false;
    if (flags == bridge::OpenReadOnly) rollBackInterruptedWrite(path);
    // The engine gets the folder with its links resolved, the file name as it
    // is: told not to follow links, it refuses a link anywhere in the path,
    // and a home or data folder reached through a link is common; only the
    // file itself must not be one.
    const std::string target = path.empty() ? path : os::withResolvedFolder(path);
    // A database file holds the user's history: one the engine would make is
    // made here first, empty (the engine takes that for a new database) and
    // private. The engine's journals take the mode of their file.
    const bool made = (flags & bridge::OpenReadWriteCreate) == bridge::OpenReadWriteCreate && os::createPrivateFile(target);
    const int rc = bridge::rowgate_open_v2(target.c_str(), &handle_, flags | bridge::OpenNoFollow, nullptr);
    if (rc != bridge::Ok || handle_ == nullptr) {
        close();
        if (made) os::removeFile(target);
        return false;
    }
    // Another process (the window polling while a tool runs) may hold the
    // file for a moment: wait for it up to kBusyTimeoutMs instead of failing
    // at once with "database is locked".
    if (!exec("PRAGMA busy_timeout = " + std::to_string(kBusyTimeoutMs) + ";")) {
        close();
        return false;
    }
    return true;
}

bool DbFile::exec(const std::string& sql, bridge::ExecCallback callback, void* user) {
    std::vector<char> sqlBuf;
    return bridge::rowgate_exec(handle_, stringToUtf8(sql, sqlBuf), callback, user, nullptr) == bridge::Ok;
}

std::string DbFile::errmsg() const { return utf8ToString(bridge::rowgate_errmsg(handle_), -1); }

void DbFile::close() {
    if (handle_ != nullptr) {
        bridge::rowgate_close(handle_);
        handle_ = nullptr;
    }
}

int32_t valueToInt32(const char* text) {
    if (text == nullptr) return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = (*p++ == '-');
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > (int64_t{1} << 32)) break;  // far enough to clamp either way
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

std::optional<int64_t> wholeNumberValue(const char* text, int64_t lo, int64_t hi) {
    if (text == nullptr) return std::nullopt;
    const char* p = text;
    const bool negative = *p == '-';
    if (negative) ++p;
    if (*p == '\0') return std::nullopt;
    // Gathered negative, so that the lowest 64-bit value fits too.
    int64_t v = 0;
    for (; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return std::nullopt;
        const int digit = *p - '0';
        if (v < (std::numeric_limits<int64_t>::min() + digit) / 10) return std::nullopt;
        v = v * 10 - digit;
    }
    if (!negative) {
        if (v == std::numeric_limits<int64_t>::min()) return std::nullopt;
        v = -v;
    }
    if (v < lo || v > hi) return std::nullopt;
    return v;
}

std::string sqlText(const std::string& value) {
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (char c : value) {
        out += c;
        if (c == '\'') out += '\'';  // a doubled quote is one quote inside the text
    }
    out += '\'';
    return out;
}

int exec_callback_count(void* user, int columnCount, char** values, char** /*names*/) {
    // Non-zero stops the query, so the caller reports it instead of reading past the row.
    if (user == nullptr || columnCount < 1 || values == nullptr) return 1;
    *static_cast<int32_t*>(user) = valueToInt32(values[0]);
    return 0;
}

}  // namespace tovani
