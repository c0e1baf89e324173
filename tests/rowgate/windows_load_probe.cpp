// Loads Rowgate.dll as a program elsewhere would, with only Windows' folders
// on the search path:  windows_load_probe ROWGATE_DLL ENGINE|none [own]
// With ENGINE, the sqlite3.dll that Rowgate.dll should bind, the very first
// call of Rowgate is rowgate_result_double from an SQL function registered
// there; prints "double ok|lost, same|another engine".
// With none, every export must fail cleanly; prints "no engine: ...". "own"
// first loads the program's own sqlite3.dll. "failed <error>": no load.

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "rowgate.h"

namespace {

HMODULE rowgate = nullptr;

template <typename F>
F function(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Every export called once with zeroed arguments and no engine must return
// (its value is checked for two kinds below) with the last error 126.
template <typename R, typename... P>
bool failsCleanly(const char* name, R(ROWGATE_CALL* /*prototype*/)(P...)) {
    const auto fn = function<R(ROWGATE_CALL*)(P...)>(rowgate, name);
    if (fn == nullptr) return false;
    SetLastError(0);
    fn(P{}...);
    return GetLastError() == ERROR_MOD_NOT_FOUND;
}

void everyExportWithoutEngine() {
    bool clean = true;
#define ROWGATE_FORWARD(result, name, params, args)                                          \
    if (!failsCleanly("rowgate_" #name, static_cast<decltype(&rowgate_##name)>(nullptr))) { \
        std::printf("rowgate_" #name " does not fail cleanly\n");                         \
        clean = false;                                                                       \
    }
#define ROWGATE_ADAPTED(result, name, params) ROWGATE_FORWARD(result, name, params, )
#include "rowgate_exports.def"
    sqlite3* db = nullptr;
    const int openResult = function<decltype(&rowgate_open_v2)>(rowgate, "rowgate_open_v2")("x.db", &db, 6, nullptr);
    const DWORD error = GetLastError();
    const int columns = function<decltype(&rowgate_column_count)>(rowgate, "rowgate_column_count")(nullptr);
    if (clean) std::printf("no engine: open_v2 %d column_count %d last error %lu\n", openResult, columns, error);
}

constexpr double kValue = 0.1 + 3.14159e-300;  // every bit of the mantissa matters

// An SQL function whose result is the value, through rowgate_result_double.
void giveValue(sqlite3_context* context, int, sqlite3_value**) {
    function<decltype(&rowgate_result_double)>(rowgate, "rowgate_result_double")(context, kValue);
}

void doubleAsFirstCall(const char* enginePath) {
    HMODULE engine = LoadLibraryA(enginePath);
    auto open = function<decltype(&sqlite3_open)>(engine, "sqlite3_open");
    auto createFunction = function<decltype(&sqlite3_create_function)>(engine, "sqlite3_create_function");
    auto prepare = function<decltype(&sqlite3_prepare_v2)>(engine, "sqlite3_prepare_v2");
    auto step = function<decltype(&sqlite3_step)>(engine, "sqlite3_step");
    auto columnDouble = function<decltype(&sqlite3_column_double)>(engine, "sqlite3_column_double");
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (engine == nullptr || open(":memory:", &db) != SQLITE_OK ||
        createFunction(db, "value", 0, SQLITE_UTF8, nullptr, giveValue, nullptr, nullptr) != SQLITE_OK ||
        prepare(db, "SELECT value()", -1, &stmt, nullptr) != SQLITE_OK) {
        std::printf("no statement from %s\n", enginePath);
        return;
    }
    const bool whole = step(stmt) == SQLITE_ROW && columnDouble(stmt, 0) == kValue;
    // The version text lives in the engine that Rowgate.dll bound.
    const bool same = function<decltype(&rowgate_libversion)>(rowgate, "rowgate_libversion")() ==
                      function<decltype(&sqlite3_libversion)>(engine, "sqlite3_libversion")();
    std::printf("double %s, %s engine\n", whole ? "ok" : "lost", same ? "same" : "another");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    // The build's own folder of libraries is on the search path that the
    // tests run with; a program elsewhere does not have it.
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    SetEnvironmentVariableA("PATH", system);
    if (argc > 3 && std::strcmp(argv[3], "own") == 0 && LoadLibraryA("sqlite3.dll") == nullptr) {
        std::printf("no engine of its own\n");
        return 0;
    }
    rowgate = LoadLibraryA(argv[1]);
    if (rowgate == nullptr) {
        std::printf("failed %lu\n", GetLastError());
    } else if (std::strcmp(argv[2], "none") == 0) {
        everyExportWithoutEngine();
    } else {
        doubleAsFirstCall(argv[2]);
    }
    return 0;
}
