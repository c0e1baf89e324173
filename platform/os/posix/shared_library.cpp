#include "platform/os/shared_library.h"

#include <dlfcn.h>

namespace tovani::os {

const char* const bridgeLibraryName = "librowgate.so";

void* loadLibrary(const std::string& path, std::string& why) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* error = ::dlerror();
        why = error != nullptr ? error : "unknown reason";
    }
    return handle;
}

void* librarySymbol(void* library, const char* name) {
    ::dlerror();
    return ::dlsym(library, name);
}

}  // namespace tovani::os
