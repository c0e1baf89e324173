#pragma once

// ROWGATE_NEEDS_ENGINE(result, name) opens every export. Rowgate.dll binds
// sqlite3.dll at the first call of any export (windows/engine_binding.cpp);
// when it cannot, the export sets the thread's last error to the reason
// (ERROR_MOD_NOT_FOUND for no engine at all) and returns the failure value
// of its kind: SQLITE_ERROR for a result code, 0 for a count or number, null
// for a pointer. Elsewhere the loader binds the engine and this is empty.

#if defined(_WIN32)

#include <sqlite3.h>

#include <atomic>
#include <string_view>
#include <type_traits>

namespace rowgate {

extern std::atomic<bool> engineBound;  // every engine function is bound
bool bindEngine();                     // binds them on the first call; true once bound
void sayWhyNoEngine();                 // sets the last error to the reason
bool returnsCount(std::string_view exportName);

template <typename R>
R noEngine(std::string_view exportName) {
    sayWhyNoEngine();
    if constexpr (std::is_void_v<R>) {
        return;
    } else if constexpr (std::is_same_v<R, int>) {
        return returnsCount(exportName) ? 0 : SQLITE_ERROR;
    } else {
        return R{};
    }
}

}  // namespace rowgate

#define ROWGATE_NEEDS_ENGINE(result, name)                                                       \
    if (!rowgate::engineBound.load(std::memory_order_acquire) && !rowgate::bindEngine()) \
    return rowgate::noEngine<result>(#name)

#else

#define ROWGATE_NEEDS_ENGINE(result, name) static_cast<void>(0)

#endif
