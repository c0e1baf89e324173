#include "platform/os/program_folder.h"

#include <vector>

#include "platform/os/windows/wide.h"

namespace tovani::os {

std::string executablePath(std::string& why) {
    // A path may be longer than MAX_PATH: grow until it fits.
    for (DWORD size = MAX_PATH;; size *= 2) {
        std::vector<wchar_t> buffer(size);
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (n == 0) {
            why = systemMessage(::GetLastError());
            return std::string();
        }
        if (n < size) return utf8(std::wstring_view(buffer.data(), n));
        if (size >= 32768) {
            why = "the path is too long";
            return std::string();
        }
    }
}

std::string executablePathProblem(const std::string& why) { return "GetModuleFileNameW: " + why; }

}  // namespace tovani::os
