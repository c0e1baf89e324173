#include "platform/os/files.h"

#include <vector>

#include "platform/os/windows/wide.h"

namespace tovani::os {

namespace {

DWORD attributes(const std::string& path) { return ::GetFileAttributesW(wide(path).c_str()); }

bool isSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

bool isFolder(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool isRegularFile(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

bool nothingAt(const std::string& path) {
    if (attributes(path) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A reparse point is what Windows has for links (symbolic links, junctions,
// mount points): the engine would be led elsewhere.
std::string notPlainFileReason(const std::string& path) {
    const DWORD a = attributes(path);
    if (a == INVALID_FILE_ATTRIBUTES) return std::string();
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return "a symbolic link";
    if (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return "not a regular file";
    return std::string();
}

// The folders under %LOCALAPPDATA% are the user's alone: a folder made there
// inherits that.
std::string makePrivateFolders(const std::string& path) {
    // The part that names the drive or the share is never made.
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':') start = 2;
    else if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        start = path.find_first_of("\\/", 2);
        start = start == std::string::npos ? path.size() : path.find_first_of("\\/", start + 1);
        if (start == std::string::npos) start = path.size();
    }
    for (size_t end = path.find_first_of("\\/", start + 1);; end = path.find_first_of("\\/", end + 1)) {
        const std::string part = path.substr(0, end);
        if (part.size() > start && !isSeparator(part.back()) && !isFolder(part) &&
            !::CreateDirectoryW(wide(part).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return systemMessage(::GetLastError());
        if (end == std::string::npos) break;
    }
    return isFolder(path) ? std::string() : "not a folder";
}

// Windows' rights are not read off mode bits: a file made and dropped tells.
std::string folderWriteProblem(const std::string& folder) {
    const std::wstring probe = wide(folder + "\\.tovani-write-check-" + processTag());
    const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return systemMessage(::GetLastError());
    ::CloseHandle(h);
    return std::string();
}

bool createPrivateFile(const std::string& path) {
    const HANDLE h = ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

bool removeFile(const std::string& path) { return ::DeleteFileW(wide(path).c_str()) != 0; }

// The engine does not follow links on its own here: nothing to resolve.
std::string withResolvedFolder(const std::string& path) { return path; }

bool replaceFile(const std::string& temp, const std::string& file, bool /*keepPermissions: the rights are the folder's*/) {
    if (::MoveFileExW(wide(temp).c_str(), wide(file).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    ::DeleteFileW(wide(temp).c_str());
    return false;
}

std::string processTag() { return std::to_string(::GetCurrentProcessId()); }

}  // namespace tovani::os
