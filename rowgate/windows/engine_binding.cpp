// Where Rowgate.dll finds sqlite3.dll. An import bound by the loader would be
// looked for beside the calling program (an office suite's folder), and
// pointing the loader beside this library turns the standard search off. So
// the engine functions are delay-imported by name (libsqlite3_delay.a, made
// by dlltool), and the first call of any export loads the engine: the
// sqlite3.dll beside Rowgate.dll when there is one, otherwise whatever the
// standard search finds. It then binds every engine function at once, so no
// delay-load thunk is ever entered: on x86-64 the linker's thunk does not keep
// the floating-point argument registers, and a first rowgate_result_double
// through it loses its value. Nothing is loaded from the entry point.

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <type_traits>

#include "engine_binding.h"

namespace rowgate {

std::atomic<bool> engineBound{false};

namespace {

// Exports whose int result is a count, size, number or yes/no rather than a
// result code; with no engine they give 0.
constexpr std::string_view countExports[] = {
    "libversion_number", "threadsafe", "compileoption_used", "complete", "complete16", "sleep",
    "strnicmp", "release_memory", "changes", "total_changes", "get_autocommit", "limit",
    "stmt_readonly", "stmt_status", "data_count", "bind_parameter_count", "bind_parameter_index",
    "column_bytes", "column_bytes16", "column_count", "column_int", "column_type", "value_bytes",
    "value_bytes16", "value_int", "value_numeric_type", "value_type", "blob_bytes",
    "backup_pagecount", "backup_remaining"};

constexpr bool isIntExport(std::string_view name) {
#define ROWGATE_FORWARD(result, row, params, args) \
    if (name == #row) return std::is_same_v<result, int>;
#define ROWGATE_ADAPTED(result, row, params) \
    if (name == #row) return std::is_same_v<result, int>;
#include "rowgate_exports.def"
    return false;
}
static_assert(std::ranges::all_of(countExports, isIntExport),
              "every count export is a row of the export table with an int result");

constexpr wchar_t engineFile[] = L"sqlite3.dll";

// dlltool's table of the delay-imported engine functions. (GNU ld 2.40 does
// not enter it in the image's delay-import directory, so it is found by name.)
extern "C" const IMAGE_DELAYLOAD_DESCRIPTOR engineImports __asm__("__DELAY_IMPORT_DESCRIPTOR_libsqlite3_delay_a");
extern "C" IMAGE_DOS_HEADER __ImageBase;

INIT_ONCE once = INIT_ONCE_STATIC_INIT;
std::atomic<DWORD> whyNoEngine{ERROR_SUCCESS};

template <typename T>
T* atRva(DWORD rva) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(&__ImageBase) + rva);
}

// The path of sqlite3.dll in this library's own folder; empty if unknown.
std::wstring engineBesideLibrary() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path.data(),
                                       static_cast<DWORD>(path.size()));
    const std::size_t slash = path.find_last_of(L"\\/", n);
    if (n == 0 || n >= path.size() || slash >= n) return {};
    path.resize(slash + 1);
    return path + engineFile;
}

// Fills in every engine function by name, and the module handle the delay-load
// helper would otherwise load. An engine that lacks one of them (an older
// sqlite3.dll found on the search path) fails as a missing import would.
DWORD bindEveryFunction(HMODULE engine) {
    if (engineImports.Attributes.RvaBased == 0) return ERROR_BAD_EXE_FORMAT;
    *atRva<HMODULE>(engineImports.ModuleHandleRVA) = engine;
    auto* names = atRva<const IMAGE_THUNK_DATA>(engineImports.ImportNameTableRVA);
    auto* functions = atRva<IMAGE_THUNK_DATA>(engineImports.ImportAddressTableRVA);
    for (; names->u1.AddressOfData != 0; ++names, ++functions) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) return ERROR_BAD_EXE_FORMAT;
        const auto* byName = atRva<const IMAGE_IMPORT_BY_NAME>(static_cast<DWORD>(names->u1.AddressOfData));
        const FARPROC function = GetProcAddress(engine, reinterpret_cast<const char*>(byName->Name));
        if (function == nullptr) return ERROR_PROC_NOT_FOUND;
        functions->u1.Function = reinterpret_cast<ULONG_PTR>(function);
    }
    return ERROR_SUCCESS;
}

// Returns FALSE when no engine could be loaded, so that a later call tries
// again (the file may have been put in place meanwhile).
BOOL CALLBACK bindOnce(PINIT_ONCE, PVOID, PVOID*) {
    const std::wstring beside = engineBesideLibrary();
    HMODULE engine = nullptr;
    // One beside the library is the one used, also when it cannot be loaded.
    if (!beside.empty() && GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) {
        engine = LoadLibraryExW(beside.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    } else {
        engine = LoadLibraryW(engineFile);
    }
    if (engine == nullptr) {
        whyNoEngine = GetLastError();
        return FALSE;
    }
    whyNoEngine = bindEveryFunction(engine);
    engineBound.store(whyNoEngine == ERROR_SUCCESS, std::memory_order_release);
    return TRUE;
}

}  // namespace

bool bindEngine() {
    const DWORD callersError = GetLastError();
    InitOnceExecuteOnce(&once, bindOnce, nullptr, nullptr);
    if (!engineBound.load(std::memory_order_acquire)) return false;
    SetLastError(callersError);  // a bound engine leaves the caller's last error alone
    return true;
}

void sayWhyNoEngine() { SetLastError(whyNoEngine.load()); }

bool returnsCount(std::string_view exportName) {
    return std::ranges::find(countExports, exportName) != std::ranges::end(countExports);
}

}  // namespace rowgate
