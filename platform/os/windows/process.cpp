#include "platform/os/process.h"

#include "platform/os/windows/wide.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

namespace tovani::os {

// argv holds the ANSI code page's form of the arguments: the UTF-16 command
// line is the true one.
std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wideArgs = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wideArgs == nullptr) return {argv, argv + argc};
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(utf8(wideArgs[i]));
    ::LocalFree(wideArgs);
    return out;
}

std::optional<std::string> environmentVariable(const char* name) {
    const std::wstring wideName = wide(name);
    const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) return std::nullopt;  // an empty value needs room for its terminator
    std::wstring value(size, L'\0');
    const DWORD n = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    value.resize(n < size ? n : 0);
    return utf8(value);
}

void useUtf8StandardStreams() {
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
}

}  // namespace tovani::os
