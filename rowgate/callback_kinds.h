#pragma once

// The callback kinds that the exports adapt, each with the signature the
// engine calls (C convention) and the one the caller supplies (ROWGATE_CALL).

#include <type_traits>

#include "rowgate.h"

namespace rowgate {

enum class CallbackKind : int {
    Busy,
    Commit,
    Rollback,
    Update,
    Trace,
    Profile,
    Authorizer,
    Wal,
    Progress,
    Geometry,
    CollationNeeded,
    CollationNeeded16,
    Compare,
    Function,  // scalar function and aggregate step share one shape
    Final,
};

template <typename R, typename... A>
struct Signature {
    using Result = R;
    using Engine = R (*)(A...);
    using Caller = R (ROWGATE_CALL*)(A...);
};

using BusySignature = Signature<int, void*, int>;
using CommitSignature = Signature<int, void*>;
using RollbackSignature = Signature<void, void*>;
using UpdateSignature = Signature<void, void*, int, const char*, const char*, sqlite3_int64>;
using TraceSignature = Signature<void, void*, const char*>;
using ProfileSignature = Signature<void, void*, const char*, sqlite3_uint64>;
using AuthorizerSignature =
    Signature<int, void*, int, const char*, const char*, const char*, const char*>;
using WalSignature = Signature<int, void*, sqlite3*, const char*, int>;
using ProgressSignature = Signature<int, void*>;
using GeometrySignature = Signature<int, sqlite3_rtree_geometry*, int, sqlite3_rtree_dbl*, int*>;
using CollationNeededSignature = Signature<void, void*, sqlite3*, int, const char*>;
using CollationNeeded16Signature = Signature<void, void*, sqlite3*, int, const void*>;
using CompareSignature = Signature<int, void*, int, const void*, int, const void*>;
using FunctionSignature = Signature<void, sqlite3_context*, int, sqlite3_value**>;
using FinalSignature = Signature<void, sqlite3_context*>;

// The public callback types must be exactly these shapes, convention included.
static_assert(std::is_same_v<BusySignature::Caller, rowgate_busy_callback>);
static_assert(std::is_same_v<CommitSignature::Caller, rowgate_commit_callback>);
static_assert(std::is_same_v<RollbackSignature::Caller, rowgate_rollback_callback>);
static_assert(std::is_same_v<UpdateSignature::Caller, rowgate_update_callback>);
static_assert(std::is_same_v<TraceSignature::Caller, rowgate_trace_callback>);
static_assert(std::is_same_v<ProfileSignature::Caller, rowgate_profile_callback>);
static_assert(std::is_same_v<AuthorizerSignature::Caller, rowgate_authorizer_callback>);
static_assert(std::is_same_v<WalSignature::Caller, rowgate_wal_callback>);
static_assert(std::is_same_v<ProgressSignature::Caller, rowgate_progress_callback>);
static_assert(std::is_same_v<GeometrySignature::Caller, rowgate_geometry_callback>);
static_assert(std::is_same_v<CollationNeededSignature::Caller, rowgate_collation_needed_callback>);
static_assert(
    std::is_same_v<CollationNeeded16Signature::Caller, rowgate_collation_needed16_callback>);
static_assert(std::is_same_v<CompareSignature::Caller, rowgate_compare_callback>);
static_assert(std::is_same_v<FunctionSignature::Caller, rowgate_function_callback>);
static_assert(std::is_same_v<FinalSignature::Caller, rowgate_final_callback>);

}  // namespace rowgate
