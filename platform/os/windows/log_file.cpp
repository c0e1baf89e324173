#include "platform/os/log_file.h"

#include "platform/os/windows/wide.h"

namespace tovani::os {

namespace {

HANDLE handleOf(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

// Opened for appending as the reparse point itself when it is one (never
// where a link leads), then checked to be a file on a disk before anything
// is written: a pipe or a device is never written to, so never waited for.
// The file takes the rights of its folder, in the user's own folders the
// user's alone.
bool LogFile::open(const std::string& path, std::string& why) {
    close();
    const HANDLE h = ::CreateFileW(wide(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        why = systemMessage(::GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        why = "it is not a regular file";
    } else if (!::GetFileInformationByHandle(h, &info)) {
        why = systemMessage(::GetLastError());
    } else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        why = "it is a symbolic link";
    } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        why = "it is not a regular file";
    } else {
        handle_ = reinterpret_cast<intptr_t>(h);
        return true;
    }
    ::CloseHandle(h);
    return false;
}

long long LogFile::size() const {
    LARGE_INTEGER size{};
    return handle_ != -1 && ::GetFileSizeEx(handleOf(handle_), &size) ? size.QuadPart : -1;
}

bool LogFile::append(const std::string& text, std::string& why) {
    size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!::WriteFile(handleOf(handle_), text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                         nullptr) ||
            written == 0) {
            why = systemMessage(::GetLastError());
            return false;
        }
        done += written;
    }
    return true;
}

void LogFile::close() {
    if (handle_ != -1) ::CloseHandle(handleOf(handle_));
    handle_ = -1;
}

}  // namespace tovani::os
