/*
 * Rowgate: the database engine's C interface under the names rowgate_*, in
 * the standard-call convention on 32-bit x86 (the callee removes its
 * arguments) and in the platform's only convention elsewhere.
 *
 * Every export has the engine function's parameters and result type; the
 * list is rowgate_exports.def. Callbacks handed to an export are called in
 * the same convention as the exports (ROWGATE_CALL); each registration calls
 * its own callback, and the user argument reaches it unchanged.
 */
#ifndef ROWGATE_H
#define ROWGATE_H

#include <sqlite3.h>

#if defined(__i386__)
#define ROWGATE_CALL __attribute__((stdcall))
#else
#define ROWGATE_CALL
#endif

#if defined(_WIN32)
#define ROWGATE_API /* exported through Rowgate.def, by plain name */
#else
#define ROWGATE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Callbacks in the caller's convention, one type per kind. */
typedef int (ROWGATE_CALL *rowgate_exec_callback)(void* arg, int columnCount, char** values,
                                                  char** names);
typedef int (ROWGATE_CALL *rowgate_busy_callback)(void* arg, int retries);
typedef int (ROWGATE_CALL *rowgate_commit_callback)(void* arg);
typedef void (ROWGATE_CALL *rowgate_rollback_callback)(void* arg);
typedef void (ROWGATE_CALL *rowgate_update_callback)(void* arg, int op, const char* dbName,
                                                     const char* tableName, sqlite3_int64 rowid);
typedef void (ROWGATE_CALL *rowgate_trace_callback)(void* arg, const char* sql);
typedef void (ROWGATE_CALL *rowgate_profile_callback)(void* arg, const char* sql,
                                                      sqlite3_uint64 nanoseconds);
typedef int (ROWGATE_CALL *rowgate_authorizer_callback)(void* arg, int action, const char* text1,
                                                        const char* text2, const char* dbName,
                                                        const char* trigger);
typedef int (ROWGATE_CALL *rowgate_wal_callback)(void* arg, sqlite3* db, const char* dbName,
                                                 int pages);
typedef int (ROWGATE_CALL *rowgate_progress_callback)(void* arg);
typedef int (ROWGATE_CALL *rowgate_geometry_callback)(sqlite3_rtree_geometry* geometry, int n,
                                                      sqlite3_rtree_dbl* coords, int* result);
typedef void (ROWGATE_CALL *rowgate_collation_needed_callback)(void* arg, sqlite3* db,
                                                               int eTextRep, const char* name);
typedef void (ROWGATE_CALL *rowgate_collation_needed16_callback)(void* arg, sqlite3* db,
                                                                 int eTextRep, const void* name);
typedef int (ROWGATE_CALL *rowgate_compare_callback)(void* arg, int n1, const void* text1, int n2,
                                                     const void* text2);
typedef void (ROWGATE_CALL *rowgate_function_callback)(sqlite3_context* ctx, int argc,
                                                       sqlite3_value** argv);
typedef void (ROWGATE_CALL *rowgate_final_callback)(sqlite3_context* ctx);

#define ROWGATE_FORWARD(result, name, params, args) ROWGATE_API result ROWGATE_CALL rowgate_##name params;
#define ROWGATE_ADAPTED(result, name, params) ROWGATE_API result ROWGATE_CALL rowgate_##name params;
#include "rowgate_exports.def"

#ifdef __cplusplus
}
#endif

#endif /* ROWGATE_H */
