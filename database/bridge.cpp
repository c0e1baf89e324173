#include "database/bridge.h"

#include <cstdio>
#include <set>
#include <string>

#include "database/file_system.h"
#include "platform/os/paths.h"
#include "platform/os/shared_library.h"

namespace tovani::bridge {

namespace {

struct Binding {
    std::string path;          // empty: the bridge library of the program folder
    void* handle = nullptr;
    bool loadFailed = false;   // reported once; later calls fail quietly
    std::set<std::string> reportedSymbols;
};

Binding& binding() {
    static Binding b;  // the one process-wide binding, like the loaded library itself
    return b;
}

void* loadLibrary() {
    Binding& b = binding();
    if (b.handle != nullptr) return b.handle;
    if (b.loadFailed) return nullptr;
    const std::string path = libraryPath();
    if (path.empty()) {
        b.loadFailed = true;
        std::fprintf(stderr, "Tovani Viewer: the bridge library is not loaded: %s\n", programFolderError().c_str());
        return nullptr;
    }
    std::string why;
    b.handle = os::loadLibrary(path, why);
    if (b.handle == nullptr) {
        b.loadFailed = true;
        std::fprintf(stderr, "Tovani Viewer: cannot load the bridge library %s: %s\n", path.c_str(), why.c_str());
    }
    return b.handle;
}

void* lookUp(const char* name) {
    void* lib = loadLibrary();
    if (lib == nullptr) return nullptr;
    void* sym = os::librarySymbol(lib, name);
    if (sym == nullptr) {
        Binding& b = binding();
        if (b.reportedSymbols.insert(name).second) {
            std::fprintf(stderr, "Tovani Viewer: the bridge library %s lacks the export %s\n",
                         libraryPath().c_str(), name);
        }
    }
    return sym;
}

// Each export is looked up at its first call and kept; a failed look-up is
// retried at the next call only to keep the code simple (it fails again).
template <typename Fn>
Fn bound(Fn& slot, const char* name) {
    if (slot == nullptr) slot = reinterpret_cast<Fn>(lookUp(name));
    return slot;
}

using OpenFn = int (*)(const char*, sqlite3**, int, const char*);
using ExecFn = int (*)(sqlite3*, const char*, ExecCallback, void*, char**);
using ErrmsgFn = const char* (*)(sqlite3*);
using CloseFn = int (*)(sqlite3*);

OpenFn openFn = nullptr;
ExecFn execFn = nullptr;
ErrmsgFn errmsgFn = nullptr;
CloseFn closeFn = nullptr;

constexpr const char* kUnavailable = "the database bridge library is not available";

}  // namespace

void setLibraryPath(const std::string& path) { binding().path = path; }

std::string libraryPath() {
    const Binding& b = binding();
    if (!b.path.empty()) return b.path;
    const std::string folder = programFolder();
    return folder.empty() ? std::string() : folder + os::folderSeparator + os::bridgeLibraryName;
}

int rowgate_open_v2(const char* filename, sqlite3** db, int flags, const char* vfs) {
    if (db != nullptr) *db = nullptr;
    OpenFn fn = bound(openFn, "rowgate_open_v2");
    return fn != nullptr ? fn(filename, db, flags, vfs) : Error;
}

int rowgate_exec(sqlite3* db, const char* sql, ExecCallback callback, void* user, char** errmsg) {
    ExecFn fn = bound(execFn, "rowgate_exec");
    return fn != nullptr ? fn(db, sql, callback, user, errmsg) : Error;
}

const char* rowgate_errmsg(sqlite3* db) {
    ErrmsgFn fn = bound(errmsgFn, "rowgate_errmsg");
    return fn != nullptr ? fn(db) : kUnavailable;
}

int rowgate_close(sqlite3* db) {
    CloseFn fn = bound(closeFn, "rowgate_close");
    return fn != nullptr ? fn(db) : Error;
}

}  // namespace tovani::bridge
