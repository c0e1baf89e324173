#include "platform/os/shared_library.h"

#include "platform/os/windows/wide.h"

namespace tovani::os {

const char* const bridgeLibraryName = "Rowgate.dll";

void* loadLibrary(const std::string& path, std::string& why) {
    // The library's own imports (the engine) are looked for beside it first.
    HMODULE module = ::LoadLibraryExW(wide(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) why = systemMessage(::GetLastError());
    return reinterpret_cast<void*>(module);
}

void* librarySymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace tovani::os
