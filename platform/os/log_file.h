#pragma once

// The file calls of the reader log. The log holds card numbers and history
// blocks: it is opened for appending only as a regular file of this user,
// never through a link, never waiting (a FIFO without a reader), private.

#include <cstdint>
#include <string>

namespace tovani::os {

class LogFile {
public:
    LogFile() = default;
    ~LogFile() { close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // False with the reason in `why` ("it is a symbolic link", "it is not a
    // regular file", "it belongs to another user", ...).
    bool open(const std::string& path, std::string& why);
    bool isOpen() const { return handle_ != -1; }
    // The file's size now (another process may append too); -1 on failure.
    long long size() const;
    // False with the reason in `why`.
    bool append(const std::string& text, std::string& why);
    void close();

private:
    intptr_t handle_ = -1;
};

}  // namespace tovani::os
