#include "support/system.h"

#include <stdexcept>

#include "platform/os/windows/wide.h"

namespace tovani::test {

const char* const libraryWithoutTheBridge = "kernel32.dll";

void setEnvironment(const std::string& name, const std::string& value) {
    if (!::SetEnvironmentVariableW(os::wide(name).c_str(), os::wide(value).c_str()))
        throw std::runtime_error("SetEnvironmentVariableW " + name);
}

void unsetEnvironment(const std::string& name) { ::SetEnvironmentVariableW(os::wide(name).c_str(), nullptr); }

std::string toShiftJis(const std::string& utf8) {
    const std::wstring text = os::wide(utf8);
    if (text.empty()) return std::string();
    BOOL lost = FALSE;
    const int n = ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), nullptr,
                                        0, nullptr, &lost);
    if (n <= 0 || lost) throw std::runtime_error("not encodable as Shift_JIS: " + utf8);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

}  // namespace tovani::test
