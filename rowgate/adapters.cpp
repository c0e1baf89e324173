// The exports that take a callback. On 32-bit x86 each callback gets an
// engine-convention entry that calls it; entries are made once per (kind,
// callback) and shared by every registration of that callback, which is
// sound because an entry holds nothing but the function it calls: the user
// argument goes to the engine with each registration, so every registration
// still calls the function it was given with its own argument. Elsewhere the
// callback is handed to the engine as it is. User arguments and everything
// the engine returns pass through untouched; only the callback is adapted.

#include <cstdio>

#include "callback_kinds.h"
#include "engine_binding.h"
#include "rowgate.h"

#if defined(__i386__)
#include "closure_registry.h"
#endif

namespace {

using rowgate::CallbackKind;

#if defined(__i386__)

// Entries live until the process ends: the engine may call a callback
// registered long ago, so they are never freed.
rowgate::ClosureRegistry& closures() {
    static auto* registry = new rowgate::ClosureRegistry;
    return *registry;
}

// The engine-convention entry for `callback`; null for a null callback.
template <typename Sig>
typename Sig::Engine adapt(CallbackKind kind, typename Sig::Caller callback) {
    if (callback == nullptr) return nullptr;
    return closures().entryFor<Sig>(kind, callback);
}

#else

// Caller and engine share the one calling convention here, so the caller's
// callback is its own adapter.
template <typename Sig>
typename Sig::Engine adapt(CallbackKind, typename Sig::Caller callback) {
    return callback;
}

#endif

// True when a non-null callback could not be given an entry (out of memory).
template <typename Caller, typename Engine>
bool failed(Caller callback, Engine entry) {
    return callback != nullptr && entry == nullptr;
}

// Hooks and handlers whose engine function returns no result code cannot
// report a failure through the engine's channel. The caller asked for the old
// hook to be replaced and takes the result for the old hook's argument (which
// it may then free), so the old hook is removed as asked and its argument
// returned as a replacement would; only the new hook is missing, and that is
// said on standard error.
template <typename Register>
auto removeForNoEntry(const char* exportName, Register removeHook) {
    std::fprintf(stderr,
                 "rowgate: %s: out of memory for the callback entry; the previous hook is removed "
                 "and the new one is not registered\n",
                 exportName);
    return removeHook();
}

// The exec frame: the caller's row callback and its argument, for one call.
struct ExecFrame {
    void* arg;
    rowgate_exec_callback callback;
};

int execAdapter(void* frame, int columnCount, char** values, char** names) {
    const auto* f = static_cast<const ExecFrame*>(frame);
    return f->callback(f->arg, columnCount, values, names);
}

}  // namespace

extern "C" {

int ROWGATE_CALL rowgate_exec(sqlite3* db, const char* sql, rowgate_exec_callback callback,
                              void* arg, char** errmsg) {
    ROWGATE_NEEDS_ENGINE(int, exec);
    if (callback == nullptr) return sqlite3_exec(db, sql, nullptr, arg, errmsg);
    // Lives in this call's own frame: nested and concurrent calls each keep theirs.
    ExecFrame frame{arg, callback};
    return sqlite3_exec(db, sql, execAdapter, &frame, errmsg);
}

int ROWGATE_CALL rowgate_busy_handler(sqlite3* db, rowgate_busy_callback callback, void* arg) {
    ROWGATE_NEEDS_ENGINE(int, busy_handler);
    auto entry = adapt<rowgate::BusySignature>(CallbackKind::Busy, callback);
    if (failed(callback, entry)) return SQLITE_NOMEM;
    return sqlite3_busy_handler(db, entry, arg);
}

void* ROWGATE_CALL rowgate_commit_hook(sqlite3* db, rowgate_commit_callback callback, void* arg) {
    ROWGATE_NEEDS_ENGINE(void*, commit_hook);
    auto entry = adapt<rowgate::CommitSignature>(CallbackKind::Commit, callback);
    if (failed(callback, entry)) {
        return removeForNoEntry("rowgate_commit_hook", [db] { return sqlite3_commit_hook(db, nullptr, nullptr); });
    }
    return sqlite3_commit_hook(db, entry, arg);
}

void* ROWGATE_CALL rowgate_rollback_hook(sqlite3* db, rowgate_rollback_callback callback,
                                         void* arg) {
    ROWGATE_NEEDS_ENGINE(void*, rollback_hook);
    auto entry = adapt<rowgate::RollbackSignature>(CallbackKind::Rollback, callback);
    if (failed(callback, entry)) {
        return removeForNoEntry("rowgate_rollback_hook", [db] { return sqlite3_rollback_hook(db, nullptr, nullptr); });
    }
    return sqlite3_rollback_hook(db, entry, arg);
}

void* ROWGATE_CALL rowgate_update_hook(sqlite3* db, rowgate_update_callback callback, void* arg) {
    ROWGATE_NEEDS_ENGINE(void*, update_hook);
    auto entry = adapt<rowgate::UpdateSignature>(CallbackKind::Update, callback);
    if (failed(callback, entry)) {
        return removeForNoEntry("rowgate_update_hook", [db] { return sqlite3_update_hook(db, nullptr, nullptr); });
    }
    return sqlite3_update_hook(db, entry, arg);
}

void* ROWGATE_CALL rowgate_trace(sqlite3* db, rowgate_trace_callback callback, void* arg) {
    ROWGATE_NEEDS_ENGINE(void*, trace);
    auto entry = adapt<rowgate::TraceSignature>(CallbackKind::Trace, callback);
    if (failed(callback, entry)) {
        return removeForNoEntry("rowgate_trace", [db] { return sqlite3_trace(db, nullptr, nullptr); });
    }
    return sqlite3_trace(db, entry, arg);
}

void* ROWGATE_CALL rowgate_profile(sqlite3* db, rowgate_profile_callback callback, void* arg) {
    ROWGATE_NEEDS_ENGINE(void*, profile);
    auto entry = adapt<rowgate::ProfileSignature>(CallbackKind::Profile, callback);
    if (failed(callback, entry)) {
        return removeForNoEntry("rowgate_profile", [db] { return sqlite3_profile(db, nullptr, nullptr); });
    }
    return sqlite3_profile(db, entry, arg);
}

void ROWGATE_CALL rowgate_progress_handler(sqlite3* db, int nOps,
                                           rowgate_progress_callback callback, void* arg) {
    ROWGATE_NEEDS_ENGINE(void, progress_handler);
    auto entry = adapt<rowgate::ProgressSignature>(CallbackKind::Progress, callback);
    if (failed(callback, entry)) {
        removeForNoEntry("rowgate_progress_handler", [db] { sqlite3_progress_handler(db, 0, nullptr, nullptr); });
        return;
    }
    sqlite3_progress_handler(db, nOps, entry, arg);
}

int ROWGATE_CALL rowgate_set_authorizer(sqlite3* db, rowgate_authorizer_callback callback,
                                        void* arg) {
    ROWGATE_NEEDS_ENGINE(int, set_authorizer);
    auto entry = adapt<rowgate::AuthorizerSignature>(CallbackKind::Authorizer, callback);
    if (failed(callback, entry)) return SQLITE_NOMEM;
    return sqlite3_set_authorizer(db, entry, arg);
}

void* ROWGATE_CALL rowgate_wal_hook(sqlite3* db, rowgate_wal_callback callback, void* arg) {
    ROWGATE_NEEDS_ENGINE(void*, wal_hook);
    auto entry = adapt<rowgate::WalSignature>(CallbackKind::Wal, callback);
    if (failed(callback, entry)) {
        return removeForNoEntry("rowgate_wal_hook", [db] { return sqlite3_wal_hook(db, nullptr, nullptr); });
    }
    return sqlite3_wal_hook(db, entry, arg);
}

int ROWGATE_CALL rowgate_rtree_geometry_callback(sqlite3* db, const char* zGeom,
                                                 rowgate_geometry_callback xGeom, void* pContext) {
    ROWGATE_NEEDS_ENGINE(int, rtree_geometry_callback);
    auto entry = adapt<rowgate::GeometrySignature>(CallbackKind::Geometry, xGeom);
    if (failed(xGeom, entry)) return SQLITE_NOMEM;
    return sqlite3_rtree_geometry_callback(db, zGeom, entry, pContext);
}

int ROWGATE_CALL rowgate_collation_needed(sqlite3* db, void* arg,
                                          rowgate_collation_needed_callback callback) {
    ROWGATE_NEEDS_ENGINE(int, collation_needed);
    auto entry = adapt<rowgate::CollationNeededSignature>(CallbackKind::CollationNeeded, callback);
    if (failed(callback, entry)) return SQLITE_NOMEM;
    return sqlite3_collation_needed(db, arg, entry);
}

int ROWGATE_CALL rowgate_collation_needed16(sqlite3* db, void* arg,
                                            rowgate_collation_needed16_callback callback) {
    ROWGATE_NEEDS_ENGINE(int, collation_needed16);
    auto entry =
        adapt<rowgate::CollationNeeded16Signature>(CallbackKind::CollationNeeded16, callback);
    if (failed(callback, entry)) return SQLITE_NOMEM;
    return sqlite3_collation_needed16(db, arg, entry);
}

int ROWGATE_CALL rowgate_create_collation(sqlite3* db, const char* zName, int eTextRep, void* pArg,
                                          rowgate_compare_callback xCompare) {
    ROWGATE_NEEDS_ENGINE(int, create_collation);
    auto entry = adapt<rowgate::CompareSignature>(CallbackKind::Compare, xCompare);
    if (failed(xCompare, entry)) return SQLITE_NOMEM;
    return sqlite3_create_collation(db, zName, eTextRep, pArg, entry);
}

int ROWGATE_CALL rowgate_create_collation16(sqlite3* db, const void* zName, int eTextRep,
                                            void* pArg, rowgate_compare_callback xCompare) {
    ROWGATE_NEEDS_ENGINE(int, create_collation16);
    auto entry = adapt<rowgate::CompareSignature>(CallbackKind::Compare, xCompare);
    if (failed(xCompare, entry)) return SQLITE_NOMEM;
    return sqlite3_create_collation16(db, zName, eTextRep, pArg, entry);
}

int ROWGATE_CALL rowgate_create_collation_v2(sqlite3* db, const char* zName, int eTextRep,
                                             void* pArg, rowgate_compare_callback xCompare,
                                             void (*xDestroy)(void*)) {
    ROWGATE_NEEDS_ENGINE(int, create_collation_v2);
    auto entry = adapt<rowgate::CompareSignature>(CallbackKind::Compare, xCompare);
    // The engine does not call the destructor when this registration fails
    // (the caller disposes of its argument then); neither do we.
    if (failed(xCompare, entry)) return SQLITE_NOMEM;
    return sqlite3_create_collation_v2(db, zName, eTextRep, pArg, entry, xDestroy);
}

}  // extern "C"

namespace {

// The three callbacks of a function registration, each adapted on its own.
struct FunctionEntries {
    rowgate::FunctionSignature::Engine func;
    rowgate::FunctionSignature::Engine step;
    rowgate::FinalSignature::Engine final;
    bool ok;
};

FunctionEntries adaptFunction(rowgate_function_callback xFunc, rowgate_function_callback xStep,
                              rowgate_final_callback xFinal) {
    FunctionEntries e{};
    e.func = adapt<rowgate::FunctionSignature>(CallbackKind::Function, xFunc);
    e.step = adapt<rowgate::FunctionSignature>(CallbackKind::Function, xStep);
    e.final = adapt<rowgate::FinalSignature>(CallbackKind::Final, xFinal);
    e.ok = !failed(xFunc, e.func) && !failed(xStep, e.step) && !failed(xFinal, e.final);
    return e;
}

}  // namespace

extern "C" {

int ROWGATE_CALL rowgate_create_function(sqlite3* db, const char* zFunctionName, int nArg,
                                         int eTextRep, void* pApp, rowgate_function_callback xFunc,
                                         rowgate_function_callback xStep,
                                         rowgate_final_callback xFinal) {
    ROWGATE_NEEDS_ENGINE(int, create_function);
    const FunctionEntries e = adaptFunction(xFunc, xStep, xFinal);
    if (!e.ok) return SQLITE_NOMEM;
    return sqlite3_create_function(db, zFunctionName, nArg, eTextRep, pApp, e.func, e.step,
                                   e.final);
}

int ROWGATE_CALL rowgate_create_function16(sqlite3* db, const void* zFunctionName, int nArg,
                                           int eTextRep, void* pApp,
                                           rowgate_function_callback xFunc,
                                           rowgate_function_callback xStep,
                                           rowgate_final_callback xFinal) {
    ROWGATE_NEEDS_ENGINE(int, create_function16);
    const FunctionEntries e = adaptFunction(xFunc, xStep, xFinal);
    if (!e.ok) return SQLITE_NOMEM;
    return sqlite3_create_function16(db, zFunctionName, nArg, eTextRep, pApp, e.func, e.step,
                                     e.final);
}

int ROWGATE_CALL rowgate_create_function_v2(sqlite3* db, const char* zFunctionName, int nArg,
                                            int eTextRep, void* pApp,
                                            rowgate_function_callback xFunc,
                                            rowgate_function_callback xStep,
                                            rowgate_final_callback xFinal,
                                            void (*xDestroy)(void*)) {
    ROWGATE_NEEDS_ENGINE(int, create_function_v2);
    const FunctionEntries e = adaptFunction(xFunc, xStep, xFinal);
    if (!e.ok) {
        if (xDestroy != nullptr) xDestroy(pApp);  // as the engine does on failure
        return SQLITE_NOMEM;
    }
    return sqlite3_create_function_v2(db, zFunctionName, nArg, eTextRep, pApp, e.func, e.step,
                                      e.final, xDestroy);
}

// The entry point is called by the engine exactly as the engine calls it, in
// the engine's convention, so it is handed on unchanged.
int ROWGATE_CALL rowgate_auto_extension(void (*xEntryPoint)(void)) {
    ROWGATE_NEEDS_ENGINE(int, auto_extension);
    return sqlite3_auto_extension(xEntryPoint);
}

}  // extern "C"
