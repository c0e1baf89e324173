// Loads the Rowgate.dll named on the command line, as a program of its own
// would, and prints which engine it got: "loaded <path of sqlite3.dll>
// <engine version>", or "failed <error code>".

#include <windows.h>

#include <cstdio>

#include "rowgate.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HMODULE rowgate = LoadLibraryA(argv[1]);
    if (rowgate == nullptr) {
        std::printf("failed %lu\n", GetLastError());
        return 0;
    }
    const auto libversion = reinterpret_cast<decltype(&rowgate_libversion)>(
        reinterpret_cast<void*>(GetProcAddress(rowgate, "rowgate_libversion")));
    if (libversion == nullptr) {
        std::printf("no rowgate_libversion\n");
        return 0;
    }
    // The version text lives in the engine that Rowgate.dll was bound to.
    const char* version = libversion();
    HMODULE engine = nullptr;
    char path[MAX_PATH] = {};
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            version, &engine) ||
        GetModuleFileNameA(engine, path, MAX_PATH) == 0) {
        std::printf("no engine module\n");
        return 0;
    }
    std::printf("loaded %s %s\n", path, version);
    return 0;
}
