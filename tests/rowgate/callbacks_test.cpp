// Every callback kind through its adapter: the caller's callback (in the
// caller's convention) gets the engine's argument words in order, 64-bit
// values whole, with its own user argument; its result reaches the engine.
// Each registration keeps calling its own callback.

#include <cstring>
#include <string>
#include <vector>

#include "support.h"

namespace {

using rowgate_test::Db;
using rowgate_test::TempDir;

constexpr sqlite3_int64 kBigRowId = 0x123456789ABCDEF0LL;

std::vector<std::string> column(const Db& db, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3_stmt* stmt = nullptr;
    if (RG(prepare_v2, db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        out.push_back(std::string("error: ") + RG(errmsg, db));
        return out;
    }
    int rc;
    while ((rc = RG(step, stmt)) == SQLITE_ROW) {
        const unsigned char* text = RG(column_text, stmt, 0);
        out.emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "NULL");
    }
    if (rc != SQLITE_DONE) out.push_back(std::string("error: ") + RG(errmsg, db));
    RG(finalize, stmt);
    return out;
}

// ---- busy handler -------------------------------------------------------

struct BusyLog {
    std::vector<int> retries;
};

int ROWGATE_CALL busyOnce(void* arg, int retries) {
    static_cast<BusyLog*>(arg)->retries.push_back(retries);
    return retries < 2;  // retry twice, then give up
}

int ROWGATE_CALL busyOther(void* arg, int retries) {
    static_cast<BusyLog*>(arg)->retries.push_back(100 + retries);
    return 0;
}

TEST(RowgateBusyHandler, EachConnectionAnswersItsOwnBusyEvents) {
    TempDir dir;
    Db a(dir.file("shared.db"));
    Db b(dir.file("shared.db"));
    ASSERT_EQ(a.run("CREATE TABLE t(x)"), "");
    BusyLog logA, logB;
    ASSERT_EQ(RG(busy_handler, a, &busyOnce, &logA), SQLITE_OK);
    ASSERT_EQ(RG(busy_handler, b, &busyOther, &logB), SQLITE_OK);

    // B holds the write lock: A's write is busy and only A's handler answers.
    ASSERT_EQ(b.run("BEGIN IMMEDIATE; INSERT INTO t VALUES(1)"), "");
    EXPECT_EQ(a.run("INSERT INTO t VALUES(2)"), "database is locked");
    EXPECT_EQ(RG(errcode, a), SQLITE_BUSY);
    EXPECT_EQ(logA.retries, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(logB.retries.empty());
    ASSERT_EQ(b.run("COMMIT"), "");

    // And the other way round.
    ASSERT_EQ(a.run("BEGIN IMMEDIATE"), "");
    EXPECT_EQ(b.run("INSERT INTO t VALUES(3)"), "database is locked");
    EXPECT_EQ(logB.retries, (std::vector<int>{100}));
    EXPECT_EQ(logA.retries.size(), 3u);
    ASSERT_EQ(a.run("COMMIT"), "");

    // A null handler removes A's: busy comes back at once, nobody is called.
    ASSERT_EQ(RG(busy_handler, a, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(b.run("BEGIN IMMEDIATE"), "");
    EXPECT_EQ(a.run("INSERT INTO t VALUES(4)"), "database is locked");
    EXPECT_EQ(logA.retries.size(), 3u);
    EXPECT_EQ(logB.retries.size(), 1u);
    ASSERT_EQ(b.run("ROLLBACK"), "");
}

// ---- commit, rollback, update hooks -------------------------------------

struct HookLog {
    int commits = 0;
    int rollbacks = 0;
    int vetoCommit = 0;
    std::vector<std::string> updates;
    sqlite3_int64 lastRowId = 0;
};

int ROWGATE_CALL onCommit(void* arg) {
    auto* log = static_cast<HookLog*>(arg);
    ++log->commits;
    return log->vetoCommit;
}

void ROWGATE_CALL onRollback(void* arg) { ++static_cast<HookLog*>(arg)->rollbacks; }

void ROWGATE_CALL onUpdate(void* arg, int op, const char* dbName, const char* table,
                           sqlite3_int64 rowid) {
    auto* log = static_cast<HookLog*>(arg);
    log->updates.push_back(std::to_string(op) + " " + dbName + "." + table);
    log->lastRowId = rowid;
}

TEST(RowgateHooks, CommitRollbackAndUpdateWithWholeRowIds) {
    Db db;
    ASSERT_EQ(db.run("CREATE TABLE t(id INTEGER PRIMARY KEY, v)"), "");
    HookLog log, other;
    EXPECT_EQ(RG(commit_hook, db, &onCommit, &log), nullptr);
    EXPECT_EQ(RG(rollback_hook, db, &onRollback, &log), nullptr);
    EXPECT_EQ(RG(update_hook, db, &onUpdate, &log), nullptr);

    ASSERT_EQ(db.run("INSERT INTO t VALUES(1311768467463790320, 'a')"), "");
    EXPECT_EQ(log.commits, 1);
    EXPECT_EQ(log.updates, (std::vector<std::string>{std::to_string(SQLITE_INSERT) + " main.t"}));
    EXPECT_EQ(log.lastRowId, kBigRowId);
    ASSERT_EQ(db.run("UPDATE t SET v = 'b' WHERE id = -5"), "");  // no row: no update call
    EXPECT_EQ(log.updates.size(), 1u);
    ASSERT_EQ(db.run("DELETE FROM t WHERE id > 0"), "");
    EXPECT_EQ(log.updates.back(), std::to_string(SQLITE_DELETE) + " main.t");
    EXPECT_EQ(log.lastRowId, kBigRowId);

    // A non-zero commit hook result turns the commit into a rollback.
    log.vetoCommit = 1;
    EXPECT_NE(db.run("INSERT INTO t VALUES(1, 'c')"), "");
    EXPECT_EQ(RG(errcode, db), SQLITE_CONSTRAINT);
    EXPECT_EQ(log.rollbacks, 1);
    log.vetoCommit = 0;

    // Re-registering answers the previous user argument, unchanged.
    EXPECT_EQ(RG(commit_hook, db, &onCommit, &other), &log);
    EXPECT_EQ(RG(rollback_hook, db, nullptr, nullptr), &log);
    EXPECT_EQ(RG(update_hook, db, nullptr, &other), &log);
    ASSERT_EQ(db.run("INSERT INTO t VALUES(2, 'd')"), "");
    EXPECT_EQ(other.commits, 1);
    EXPECT_TRUE(other.updates.empty());  // null update hook: none called
    EXPECT_EQ(RG(commit_hook, db, nullptr, nullptr), &other);
}

// ---- trace and profile ---------------------------------------------------

struct TraceLog {
    std::vector<std::string> sql;
    std::vector<sqlite3_uint64> elapsed;
};

void ROWGATE_CALL onTrace(void* arg, const char* sql) { static_cast<TraceLog*>(arg)->sql.push_back(sql); }

void ROWGATE_CALL onProfile(void* arg, const char* sql, sqlite3_uint64 ns) {
    auto* log = static_cast<TraceLog*>(arg);
    log->sql.push_back(sql);
    log->elapsed.push_back(ns);
}

// A VFS whose clock jumps five seconds at each reading, so that every
// statement takes over 2^32 nanoseconds.
struct SlowClock {
    sqlite3_vfs vfs;
    sqlite3_int64 now;
    static int read(sqlite3_vfs* vfs, sqlite3_int64* out) {
        auto* clock = static_cast<SlowClock*>(vfs->pAppData);
        clock->now += 5000;
        *out = clock->now;
        return SQLITE_OK;
    }
};

TEST(RowgateTrace, TraceAndProfileGetTheirTextsAndWholeTimes) {
    SlowClock clock{*RG(vfs_find, nullptr), 0};
    ASSERT_GE(clock.vfs.iVersion, 2);
    ASSERT_EQ(clock.vfs.xCurrentTimeInt64(&clock.vfs, &clock.now), SQLITE_OK);
    clock.vfs.zName = "rowgate-slow-clock";
    clock.vfs.pAppData = &clock;
    clock.vfs.pNext = nullptr;
    clock.vfs.xCurrentTimeInt64 = &SlowClock::read;
    ASSERT_EQ(RG(vfs_register, &clock.vfs, 0), SQLITE_OK);
    {
        Db db(":memory:", SQLITE_OPEN_READWRITE, "rowgate-slow-clock");
        ASSERT_EQ(db.openResult(), SQLITE_OK);
        TraceLog traced, profiled;
        EXPECT_EQ(RG(trace, db, &onTrace, &traced), nullptr);
        ASSERT_EQ(db.run("SELECT 41"), "");
        EXPECT_EQ(traced.sql, (std::vector<std::string>{"SELECT 41"}));
        EXPECT_EQ(RG(trace, db, nullptr, nullptr), &traced);

        EXPECT_EQ(RG(profile, db, &onProfile, &profiled), nullptr);
        ASSERT_EQ(db.run("SELECT 42"), "");
        ASSERT_EQ(profiled.elapsed.size(), 1u);
        EXPECT_EQ(profiled.sql[0], "SELECT 42");
        EXPECT_GE(profiled.elapsed[0], 5000000000ULL);
        EXPECT_EQ(profiled.elapsed[0] % 5000000000ULL, 0u);
        EXPECT_EQ(RG(profile, db, nullptr, nullptr), &profiled);
        ASSERT_EQ(db.run("SELECT 43"), "");
        EXPECT_EQ(traced.sql.size(), 1u);
        EXPECT_EQ(profiled.sql.size(), 1u);
    }
    EXPECT_EQ(RG(vfs_unregister, &clock.vfs), SQLITE_OK);
}

// ---- progress handler and authorizer --------------------------------------

int ROWGATE_CALL onProgress(void* arg) {
    int* calls = static_cast<int*>(arg);
    return ++*calls >= 5;  // interrupt at the fifth call
}

struct AuthLog {
    std::vector<std::string> reads;
};

int ROWGATE_CALL onAuthorize(void* arg, int action, const char* a, const char* b, const char* dbName,
                             const char* trigger) {
    if (action != SQLITE_READ) return SQLITE_OK;
    auto* log = static_cast<AuthLog*>(arg);
    log->reads.push_back(std::string(a) + "." + b + "@" + (dbName ? dbName : "-") +
                         (trigger ? trigger : ""));
    return std::strcmp(b, "secret") == 0 ? SQLITE_DENY : SQLITE_OK;
}

TEST(RowgateProgressAndAuthorizer, ResultsReachTheEngine) {
    Db db;
    int calls = 0;
    RG(progress_handler, db, 1, &onProgress, &calls);
    EXPECT_EQ(db.run("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                     "SELECT count(*) FROM c"),
              "interrupted");
    EXPECT_EQ(calls, 5);
    RG(progress_handler, db, 0, nullptr, nullptr);
    ASSERT_EQ(db.run("CREATE TABLE t(open, secret); INSERT INTO t VALUES(1, 2)"), "");
    EXPECT_EQ(calls, 5);

    AuthLog log;
    ASSERT_EQ(RG(set_authorizer, db, &onAuthorize, &log), SQLITE_OK);
    EXPECT_EQ(column(db, "SELECT open FROM t"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(column(db, "SELECT secret FROM t"),
              (std::vector<std::string>{"error: access to t.secret is prohibited"}));
    EXPECT_EQ(RG(errcode, db), SQLITE_AUTH);
    EXPECT_EQ(log.reads, (std::vector<std::string>{"t.open@main", "t.secret@main"}));
    ASSERT_EQ(RG(set_authorizer, db, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(column(db, "SELECT secret FROM t"), (std::vector<std::string>{"2"}));
}

// ---- write-ahead log hook ---------------------------------------------------

struct WalLog {
    sqlite3* db = nullptr;
    std::string dbName;
    int pages = 0;
};

int ROWGATE_CALL onWal(void* arg, sqlite3* db, const char* dbName, int pages) {
    auto* log = static_cast<WalLog*>(arg);
    log->db = db;
    log->dbName = dbName;
    log->pages = pages;
    return SQLITE_OK;
}

TEST(RowgateWalHook, CalledAfterEachCommit) {
    TempDir dir;
    Db db(dir.file("wal.db"));
    ASSERT_EQ(db.run("PRAGMA journal_mode=WAL"), "");
    WalLog log;
    RG(wal_hook, db, &onWal, &log);
    ASSERT_EQ(db.run("CREATE TABLE t(x); INSERT INTO t VALUES(1)"), "");
    EXPECT_EQ(log.db, db.get());
    EXPECT_EQ(log.dbName, "main");
    EXPECT_GT(log.pages, 0);
    EXPECT_EQ(RG(wal_hook, db, nullptr, nullptr), &log);
}

// ---- R-tree geometry ----------------------------------------------------------

struct GeometryLog {
    int calls = 0;
};

// within(lo, hi): the box lies between lo and hi.
int ROWGATE_CALL within(sqlite3_rtree_geometry* geometry, int n, sqlite3_rtree_dbl* coords,
                        int* result) {
    auto* log = static_cast<GeometryLog*>(geometry->pContext);
    ++log->calls;
    if (geometry->nParam != 2 || n != 2) return SQLITE_ERROR;
    *result = coords[0] >= geometry->aParam[0] && coords[1] <= geometry->aParam[1];
    return SQLITE_OK;
}

TEST(RowgateRtree, GeometryCallbackSelectsRows) {
    Db db;
    ASSERT_EQ(db.run("CREATE VIRTUAL TABLE rt USING rtree(id, x0, x1);"
                     "INSERT INTO rt VALUES(1, 0, 5), (2, 4, 9), (3, 8, 20)"),
              "");
    GeometryLog log;
    ASSERT_EQ(RG(rtree_geometry_callback, db, "within", &within, &log), SQLITE_OK);
    EXPECT_EQ(column(db, "SELECT id FROM rt WHERE id MATCH within(3.5, 10) ORDER BY id"),
              (std::vector<std::string>{"2"}));
    EXPECT_GT(log.calls, 0);
}

// ---- collations -------------------------------------------------------------------

int ROWGATE_CALL reverseOrder(void* arg, int n1, const void* a, int n2, const void* b) {
    ++*static_cast<int*>(arg);
    const int c = std::memcmp(a, b, static_cast<size_t>(n1 < n2 ? n1 : n2));
    return c != 0 ? -c : n2 - n1;
}

int ROWGATE_CALL byLength(void* arg, int n1, const void*, int n2, const void*) {
    ++*static_cast<int*>(arg);
    return n1 - n2;
}

void countDestroy(void* arg) { ++*static_cast<int*>(arg); }

TEST(RowgateCollations, EachCollationRunsItsOwnCompare) {
    int reverseCalls = 0, lengthCalls = 0, v2Calls = 0;
    Db db;
    {
        ASSERT_EQ(db.run("CREATE TABLE w(s); INSERT INTO w VALUES('bb'), ('a'), ('ccc')"), "");
        ASSERT_EQ(RG(create_collation, db, "rev", SQLITE_UTF8, &reverseCalls, &reverseOrder), SQLITE_OK);
        ASSERT_EQ(RG(create_collation, db, "len", SQLITE_UTF8, &lengthCalls, &byLength), SQLITE_OK);
        EXPECT_EQ(column(db, "SELECT s FROM w ORDER BY s COLLATE rev"),
                  (std::vector<std::string>{"ccc", "bb", "a"}));
        EXPECT_EQ(column(db, "SELECT s FROM w ORDER BY s COLLATE len DESC"),
                  (std::vector<std::string>{"ccc", "bb", "a"}));
        EXPECT_EQ(column(db, "SELECT s FROM w WHERE s = 'zz' COLLATE len"),
                  (std::vector<std::string>{"bb"}));
        EXPECT_GT(reverseCalls, 0);
        EXPECT_GT(lengthCalls, 0);

        const char16_t name16[] = u"len16";
        ASSERT_EQ(RG(create_collation16, db, name16, SQLITE_UTF16, &lengthCalls, &byLength), SQLITE_OK);
        EXPECT_EQ(column(db, "SELECT s FROM w ORDER BY s COLLATE len16"),
                  (std::vector<std::string>{"a", "bb", "ccc"}));
        ASSERT_EQ(RG(create_collation_v2, db, "rev2", SQLITE_UTF8, &v2Calls, &reverseOrder,
                     nullptr),
                  SQLITE_OK);
        EXPECT_EQ(column(db, "SELECT s FROM w ORDER BY s COLLATE rev2 LIMIT 1"),
                  (std::vector<std::string>{"ccc"}));
        EXPECT_GT(v2Calls, 0);
    }
}

TEST(RowgateCollations, DestructorOfTheSecondVersionRunsAtClose) {
    int destroyed = 0;
    {
        Db db;
        ASSERT_EQ(RG(create_collation_v2, db, "rev2", SQLITE_UTF8, &destroyed, &reverseOrder,
                     &countDestroy),
                  SQLITE_OK);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

struct NeededLog {
    std::vector<std::string> names;
    int compares = 0;
};

void ROWGATE_CALL onNeeded(void* arg, sqlite3* db, int eTextRep, const char* name) {
    auto* log = static_cast<NeededLog*>(arg);
    log->names.push_back(std::string(name) + "/" + std::to_string(eTextRep));
    RG(create_collation, db, name, SQLITE_UTF8, &log->compares, &byLength);
}

void ROWGATE_CALL onNeeded16(void* arg, sqlite3* db, int, const void* name) {
    auto* log = static_cast<NeededLog*>(arg);
    const auto* wide = static_cast<const char16_t*>(name);
    std::string narrow;
    for (; *wide != 0; ++wide) narrow += static_cast<char>(*wide);
    log->names.push_back(narrow + "/16");
    RG(create_collation16, db, name, SQLITE_UTF16, &log->compares, &byLength);
}

TEST(RowgateCollations, NeededCallbacksMayRegisterTheMissingCollation) {
    Db db;
    ASSERT_EQ(db.run("CREATE TABLE w(s); INSERT INTO w VALUES('bb'), ('a')"), "");
    NeededLog log;
    ASSERT_EQ(RG(collation_needed, db, &log, &onNeeded), SQLITE_OK);
    EXPECT_EQ(column(db, "SELECT s FROM w ORDER BY s COLLATE lazy"),
              (std::vector<std::string>{"a", "bb"}));
    EXPECT_EQ(log.names, (std::vector<std::string>{"lazy/" + std::to_string(SQLITE_UTF8)}));

    ASSERT_EQ(RG(collation_needed16, db, &log, &onNeeded16), SQLITE_OK);
    EXPECT_EQ(column(db, "SELECT s FROM w ORDER BY s COLLATE lazy16"),
              (std::vector<std::string>{"a", "bb"}));
    EXPECT_EQ(log.names.back(), "lazy16/16");
    EXPECT_GT(log.compares, 0);
}

// ---- SQL functions -------------------------------------------------------------------

struct FunctionApp {
    sqlite3* db = nullptr;
    int calls = 0;
};

// Checks what the engine hands a function, then answers one kind of result.
void ROWGATE_CALL plusOne(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* app = static_cast<FunctionApp*>(RG(user_data, ctx));
    ++app->calls;
    if (argc != 1 || RG(context_db_handle, ctx) != app->db) {
        RG(result_error, ctx, "unexpected call", -1);
        return;
    }
    RG(result_int64, ctx, RG(value_int64, argv[0]) + 1);
}

void ROWGATE_CALL describe(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    std::string text = std::to_string(RG(value_type, v)) + ":" + std::to_string(RG(value_bytes, v));
    RG(result_text, ctx, text.c_str(), -1, SQLITE_TRANSIENT);
}

// probe(kind, value): one result function per kind.
void ROWGATE_CALL probe(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::string kind = reinterpret_cast<const char*>(RG(value_text, argv[0]));
    sqlite3_value* v = argv[1];
    if (kind == "double") {
        RG(result_double, ctx, RG(value_double, v) * 2);
    } else if (kind == "int") {
        RG(result_int, ctx, RG(value_int, v) + RG(value_numeric_type, v) * 1000);
    } else if (kind == "blob") {
        RG(result_blob, ctx, RG(value_blob, v), RG(value_bytes, v), SQLITE_TRANSIENT);
    } else if (kind == "zeroblob") {
        RG(result_zeroblob, ctx, RG(value_int, v));
    } else if (kind == "null") {
        RG(result_null, ctx);
    } else if (kind == "value") {
        RG(result_value, ctx, v);
    } else if (kind == "text16") {
        RG(result_text16, ctx, RG(value_text16, v), RG(value_bytes16, v), SQLITE_TRANSIENT);
    } else if (kind == "text16le") {
        RG(result_text16le, ctx, RG(value_text16le, v), -1, SQLITE_TRANSIENT);
    } else if (kind == "text16be") {
        RG(result_text16be, ctx, RG(value_text16be, v), -1, SQLITE_TRANSIENT);
    } else if (kind == "error16") {
        const char16_t message[] = u"wide failure";
        RG(result_error16, ctx, message, -1);
    } else if (kind == "code") {
        RG(result_error_code, ctx, SQLITE_CONSTRAINT);
    } else if (kind == "nomem") {
        RG(result_error_nomem, ctx);
    } else if (kind == "toobig") {
        RG(result_error_toobig, ctx);
    } else if (kind == "auxdata") {
        // The compiled constant argument keeps its auxiliary data between rows.
        auto* seen = static_cast<int*>(RG(get_auxdata, ctx, 1));
        if (seen == nullptr) {
            seen = static_cast<int*>(RG(malloc, static_cast<int>(sizeof(int))));
            *seen = 0;
            RG(set_auxdata, ctx, 1, seen, &sqlite3_free);
            seen = static_cast<int*>(RG(get_auxdata, ctx, 1));
        }
        RG(result_int, ctx, seen != nullptr ? ++*seen : -1);
    }
}

void ROWGATE_CALL sumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* total = static_cast<sqlite3_int64*>(RG(aggregate_context, ctx, static_cast<int>(sizeof(sqlite3_int64))));
    *total += RG(value_int64, argv[0]);
}

void ROWGATE_CALL sumFinal(sqlite3_context* ctx) {
    auto* total = static_cast<sqlite3_int64*>(RG(aggregate_context, ctx, 0));
    RG(result_int64, ctx, total != nullptr ? *total : -1);
}

TEST(RowgateFunctions, EachFunctionRunsItsOwnImplementation) {
    Db db;
    FunctionApp app{db.get()};
    ASSERT_EQ(RG(create_function, db, "plus_one", 1, SQLITE_UTF8, &app, &plusOne, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_EQ(RG(create_function, db, "describe", 1, SQLITE_UTF8, nullptr, &describe, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(column(db, "SELECT plus_one(1311768467463790319)"),
              (std::vector<std::string>{"1311768467463790320"}));
    EXPECT_EQ(column(db, "SELECT describe('abc')"), (std::vector<std::string>{"3:3"}));
    EXPECT_EQ(app.calls, 1);

    // create_function16 and create_function_v2 keep theirs as well.
    const char16_t name16[] = u"describe16";
    ASSERT_EQ(RG(create_function16, db, name16, 1, SQLITE_UTF16, nullptr, &describe, nullptr, nullptr),
              SQLITE_OK);
    int destroyed = 0;
    ASSERT_EQ(RG(create_function_v2, db, "total64", 1, SQLITE_UTF8, &destroyed, nullptr, &sumStep,
                 &sumFinal, &countDestroy),
              SQLITE_OK);
    ASSERT_EQ(db.run("CREATE TABLE n(v); INSERT INTO n VALUES(4294967296), (4294967296), (5)"), "");
    EXPECT_EQ(column(db, "SELECT total64(v) FROM n"), (std::vector<std::string>{"8589934597"}));
    EXPECT_EQ(column(db, "SELECT plus_one(v) FROM n WHERE v = 5"), (std::vector<std::string>{"6"}));
    EXPECT_EQ(column(db, "SELECT describe16(x'0102')"), (std::vector<std::string>{"4:2"}));

    // All-null callbacks delete the function; the engine calls the old destructor.
    ASSERT_EQ(RG(create_function_v2, db, "total64", 1, SQLITE_UTF8, nullptr, nullptr, nullptr,
                 nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(column(db, "SELECT total64(v) FROM n"),
              (std::vector<std::string>{"error: no such function: total64"}));
    EXPECT_EQ(RG(overload_function, db, "vtab_only", 1), SQLITE_OK);
}

TEST(RowgateFunctions, ValuesAndResultsPassUnchanged) {
    Db db;
    ASSERT_EQ(RG(create_function, db, "probe", 2, SQLITE_UTF8, nullptr, &probe, nullptr, nullptr),
              SQLITE_OK);
    auto one = [&](const std::string& sql) {
        const auto rows = column(db, sql);
        return rows.empty() ? std::string("no row") : rows[0];
    };
    EXPECT_EQ(one("SELECT probe('double', 0.1) = 0.2"), "1");
    EXPECT_EQ(one("SELECT probe('double', 1.5e300)"), "3.0e+300");
    EXPECT_EQ(one("SELECT probe('int', 7)"), std::to_string(SQLITE_INTEGER * 1000 + 7));
    EXPECT_EQ(one("SELECT hex(probe('blob', x'00ff10'))"), "00FF10");
    EXPECT_EQ(one("SELECT length(probe('zeroblob', 9))"), "9");
    EXPECT_EQ(one("SELECT probe('null', 1)"), "NULL");
    EXPECT_EQ(one("SELECT probe('value', 'same')"), "same");
    EXPECT_EQ(one("SELECT probe('text16', 'wide ü')"), "wide ü");
    EXPECT_EQ(one("SELECT probe('text16le', 'le')"), "le");
    EXPECT_EQ(one("SELECT probe('text16be', 'be')"), "be");
    EXPECT_EQ(one("SELECT probe('error16', 1)"), "error: wide failure");
    EXPECT_EQ(one("SELECT probe('code', 1)"), "error: constraint failed");
    EXPECT_EQ(one("SELECT probe('nomem', 1)"), "error: out of memory");
    EXPECT_EQ(one("SELECT probe('toobig', 1)"), "error: string or blob too big");
    EXPECT_EQ(column(db, "WITH r(x) AS (VALUES(1), (2), (3)) SELECT probe('auxdata', 'k') FROM r"),
              (std::vector<std::string>{"1", "2", "3"}));
}

// ---- auto extension -------------------------------------------------------------------

// Called by the engine in its own convention for every new connection.
struct ExtensionProbe {
    static int& opened() {
        static int count = 0;
        return count;
    }
    static int entry(sqlite3* db, char**, const sqlite3_api_routines*) {
        ++opened();
        return sqlite3_exec(db, "CREATE TEMP TABLE from_extension(x)", nullptr, nullptr, nullptr);
    }
};

TEST(RowgateAutoExtension, EntryPointGetsTheEnginesCallUnchanged) {
    ASSERT_EQ(RG(auto_extension, reinterpret_cast<void (*)(void)>(&ExtensionProbe::entry)), SQLITE_OK);
    {
        Db db;
        EXPECT_EQ(ExtensionProbe::opened(), 1);
        EXPECT_EQ(db.run("INSERT INTO from_extension VALUES(1)"), "");
    }
    RG(reset_auto_extension);
    {
        Db db;
        EXPECT_EQ(ExtensionProbe::opened(), 1);
        EXPECT_EQ(db.run("INSERT INTO from_extension VALUES(1)"), "no such table: from_extension");
    }
    EXPECT_EQ(RG(auto_extension, nullptr), SQLITE_OK);  // null reaches the engine as null
}

#if defined(__i386__)

// The stack check itself must notice a callee that leaves its arguments behind.
extern "C" int cConventionTwoWords(int a, int b) { return a + b; }

TEST(RowgateStackCheck, NoticesACalleeInTheWrongConvention) {
    const std::uint32_t words[] = {2, 3};
    std::int32_t imbalance = 0;
    const auto r = rowgate_test::rowgate_test_call_words(reinterpret_cast<const void*>(&cConventionTwoWords),
                                                         words, 2, &imbalance);
    EXPECT_EQ(static_cast<int>(r), 5);
    EXPECT_EQ(imbalance, -8);
}

#endif

}  // namespace
