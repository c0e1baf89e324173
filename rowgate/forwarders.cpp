// The plain forwarders, one per ROWGATE_FORWARD row of the export table.
// Each passes its arguments unchanged to the engine function of the same name
// and returns its result unchanged; on 32-bit x86 the compiler turns the
// standard-call entry into a C-convention call of the engine.

#include "rowgate.h"

#define ROWGATE_FORWARD(result, name, params, args) \
    extern "C" result ROWGATE_CALL rowgate_##name params { return sqlite3_##name args; }
#define ROWGATE_ADAPTED(result, name, params)
#include "rowgate_exports.def"
