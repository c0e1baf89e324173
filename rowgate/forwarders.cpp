// The plain forwarders, one per ROWGATE_FORWARD row of the export table.
// Each passes its arguments unchanged to the engine function of the same name
// and returns its result unchanged; on 32-bit x86 the compiler turns the
// standard-call entry into a C-convention call of the engine. (With no engine
// to bind, Rowgate.dll returns the failure value instead: engine_binding.h.)

#include <cstddef>
#include <type_traits>

#include "engine_binding.h"
#include "rowgate.h"

#define ROWGATE_FORWARD(result, name, params, args)     \
    extern "C" result ROWGATE_CALL rowgate_##name params { \
        ROWGATE_NEEDS_ENGINE(result, name);             \
        return sqlite3_##name args;                     \
    }
#define ROWGATE_ADAPTED(result, name, params)
#include "rowgate_exports.def"

// Every row of the table is checked against the engine's own declaration in
// <sqlite3.h>: a row whose name the engine does not declare does not compile,
// and neither does a plain forwarder whose result or parameter types differ
// from the engine function's. Rows with a callback have the caller's callback
// types, so for them the result type and the number of parameters are checked.
namespace {

template <typename F>
struct FunctionShape;
template <typename R, typename... A>
struct FunctionShape<R(A...)> {
    using Result = R;
    static constexpr std::size_t parameters = sizeof...(A);
};

template <typename Engine, typename Row>
constexpr bool sameShape = std::is_same_v<typename FunctionShape<Engine>::Result, typename FunctionShape<Row>::Result> &&
                           FunctionShape<Engine>::parameters == FunctionShape<Row>::parameters;

}  // namespace

#define ROWGATE_FORWARD(result, name, params, args)                  \
    static_assert(std::is_same_v<decltype(sqlite3_##name), result params>, \
                  "rowgate_" #name ": the row's types differ from the engine's");
#define ROWGATE_ADAPTED(result, name, params)                         \
    static_assert(sameShape<decltype(sqlite3_##name), result params>, \
                  "rowgate_" #name ": the row's result or parameter count differs from the engine's");
#include "rowgate_exports.def"
