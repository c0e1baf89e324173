// The plain forwarders of every family: arguments reach the engine and
// results come back unchanged, 64-bit integers and doubles whole.

#include <cstring>
#include <numbers>
#include <string>

#include "support.h"

namespace {

using rowgate_test::Db;
using rowgate_test::TempDir;

constexpr sqlite3_int64 kBig = 0x123456789ABCDEF0LL;  // both words non-zero and distinct

sqlite3_stmt* prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(RG(prepare_v2, db, sql, -1, &stmt, nullptr), SQLITE_OK) << RG(errmsg, db);
    return stmt;
}

TEST(RowgateLibrary, VersionAndCompileInformation) {
    EXPECT_STREQ(RG(libversion), sqlite3_libversion());
    EXPECT_EQ(RG(libversion_number), sqlite3_libversion_number());
    EXPECT_STREQ(RG(sourceid), sqlite3_sourceid());
    EXPECT_EQ(RG(threadsafe), sqlite3_threadsafe());
    ASSERT_NE(RG(compileoption_get, 0), nullptr);
    EXPECT_EQ(RG(compileoption_used, RG(compileoption_get, 0)), 1);
    EXPECT_EQ(RG(complete, "SELECT 1;"), 1);
    EXPECT_EQ(RG(complete, "SELECT 'x"), 0);
    const char16_t sql16[] = u"SELECT 1;";
    EXPECT_EQ(RG(complete16, sql16), 1);
    EXPECT_EQ(RG(strnicmp, "ABCx", "abcy", 3), 0);
    EXPECT_LT(RG(strnicmp, "abc", "abd", 3), 0);
}

TEST(RowgateLibrary, InitialiseShutDownAndSleep) {
    EXPECT_EQ(RG(initialize), SQLITE_OK);
    EXPECT_EQ(RG(os_init), SQLITE_OK);
    EXPECT_EQ(RG(shutdown), SQLITE_OK);
    EXPECT_EQ(RG(os_end), SQLITE_OK);
    EXPECT_EQ(RG(os_init), SQLITE_OK);
    EXPECT_EQ(RG(initialize), SQLITE_OK);
    EXPECT_GE(RG(sleep, 1), 0);
    EXPECT_EQ(RG(enable_shared_cache, 0), SQLITE_OK);
    unsigned char bytes[32] = {};
    RG(randomness, static_cast<int>(sizeof bytes), bytes);
    int nonZero = 0;
    for (unsigned char b : bytes) nonZero += b != 0;
    EXPECT_GT(nonZero, 0);
}

TEST(RowgateLibrary, MemoryAndSixtyFourBitLimits) {
    void* p = RG(malloc, 100);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0xAB, 100);
    p = RG(realloc, p, 5000);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(p)[99], 0xAB);
    const sqlite3_int64 used = RG(memory_used);
    EXPECT_EQ(used, sqlite3_memory_used());
    EXPECT_GE(RG(memory_highwater, 0), used);
    int current = -1, high = -1;
    EXPECT_EQ(RG(status, SQLITE_STATUS_MEMORY_USED, &current, &high, 0), SQLITE_OK);
    EXPECT_GE(high, current);
    RG(free, p);
    EXPECT_GE(RG(release_memory, 1000), 0);

    // The limit is a full 64-bit value in both directions.
    const sqlite3_int64 before = RG(soft_heap_limit64, kBig);
    EXPECT_EQ(RG(soft_heap_limit64, -1), kBig);
    EXPECT_EQ(RG(soft_heap_limit64, before), kBig);
}

TEST(RowgateConnection, OpenFailuresComeFromTheEngine) {
    TempDir dir;
    sqlite3* db = nullptr;
    const std::string missing = dir.file("missing.db");
    EXPECT_EQ(RG(open_v2, missing.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_CANTOPEN);
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(RG(errcode, db), SQLITE_CANTOPEN);
    EXPECT_STREQ(RG(errmsg, db), "unable to open database file");
    EXPECT_EQ(RG(close, db), SQLITE_OK);

    EXPECT_EQ(RG(open, dir.file("a.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(RG(close, db), SQLITE_OK);
    const char16_t path16[] = u":memory:";
    EXPECT_EQ(RG(open16, path16, &db), SQLITE_OK);
    EXPECT_EQ(RG(close, db), SQLITE_OK);
}

TEST(RowgateConnection, ErrorsChangesAndRowIds) {
    Db db;
    ASSERT_EQ(db.openResult(), SQLITE_OK);
    EXPECT_EQ(db.run("SELECT * FROM nowhere"), "no such table: nowhere");
    EXPECT_EQ(RG(errcode, db), SQLITE_ERROR);
    EXPECT_EQ(RG(extended_errcode, db), SQLITE_ERROR);
    const auto* message16 = static_cast<const char16_t*>(RG(errmsg16, db));
    EXPECT_EQ(std::u16string(message16), u"no such table: nowhere");
    EXPECT_EQ(RG(extended_result_codes, db, 1), SQLITE_OK);

    ASSERT_EQ(db.run("CREATE TABLE t(id INTEGER PRIMARY KEY, v)"), "");
    ASSERT_EQ(db.run("INSERT INTO t VALUES(1311768467463790320, 'a'); INSERT INTO t(v) VALUES('b')"), "");
    EXPECT_EQ(RG(last_insert_rowid, db), 1311768467463790321LL);
    ASSERT_EQ(db.run("UPDATE t SET v = 'c'"), "");
    EXPECT_EQ(RG(changes, db), 2);
    EXPECT_EQ(RG(total_changes, db), 4);
    EXPECT_EQ(RG(get_autocommit, db), 1);
    EXPECT_EQ(RG(busy_timeout, db, 10), SQLITE_OK);
    EXPECT_EQ(RG(limit, db, SQLITE_LIMIT_LENGTH, -1), sqlite3_limit(db, SQLITE_LIMIT_LENGTH, -1));
    EXPECT_NE(RG(db_mutex, db), nullptr);
    int cur = -1, hi = -1;
    EXPECT_EQ(RG(db_status, db, SQLITE_DBSTATUS_SCHEMA_USED, &cur, &hi, 0), SQLITE_OK);
    EXPECT_GT(cur, 0);
    int lockState = -1;
    EXPECT_EQ(RG(file_control, db, "main", SQLITE_FCNTL_LOCKSTATE, &lockState), SQLITE_NOTFOUND);
    RG(interrupt, db);  // no statement runs: nothing to stop
    EXPECT_EQ(db.run("SELECT 1"), "");

    const char* type = nullptr;
    const char* collation = nullptr;
    int notNull = -1, primaryKey = -1, autoinc = -1;
    EXPECT_EQ(RG(table_column_metadata, db, "main", "t", "id", &type, &collation, &notNull,
                 &primaryKey, &autoinc),
              SQLITE_OK);
    EXPECT_STREQ(type, "INTEGER");
    EXPECT_EQ(primaryKey, 1);

    char** table = nullptr;
    int rows = 0, columns = 0;
    ASSERT_EQ(RG(get_table, db, "SELECT v FROM t ORDER BY id", &table, &rows, &columns, nullptr),
              SQLITE_OK);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(columns, 1);
    EXPECT_STREQ(table[0], "v");
    EXPECT_STREQ(table[1], "c");
    RG(free_table, table);

    EXPECT_EQ(RG(enable_load_extension, db, 1), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(RG(load_extension, db, "/nonexistent/ext", nullptr, &err), SQLITE_ERROR);
    EXPECT_NE(err, nullptr);
    RG(free, err);
}

TEST(RowgateStatement, PrepareStepAndInspect) {
    Db db;
    ASSERT_EQ(db.run("CREATE TABLE t(a INTEGER, b REAL, c TEXT, d BLOB)"), "");
    sqlite3_stmt* insert = prepare(db, "INSERT INTO t VALUES(?1, ?2, :c, ?4)");
    ASSERT_NE(insert, nullptr);
    EXPECT_EQ(RG(db_handle, insert), db.get());
    EXPECT_EQ(RG(next_stmt, db, nullptr), insert);
    EXPECT_STREQ(RG(sql, insert), "INSERT INTO t VALUES(?1, ?2, :c, ?4)");
    EXPECT_EQ(RG(stmt_readonly, insert), 0);
    EXPECT_EQ(RG(bind_parameter_count, insert), 4);
    EXPECT_EQ(RG(bind_parameter_index, insert, ":c"), 3);
    EXPECT_STREQ(RG(bind_parameter_name, insert, 3), ":c");

    const double tricky = 0.1 + std::numbers::pi * 1e-300;  // every bit of the mantissa matters
    const unsigned char blob[] = {0, 1, 2, 0xFF};
    EXPECT_EQ(RG(bind_int64, insert, 1, kBig), SQLITE_OK);
    EXPECT_EQ(RG(bind_double, insert, 2, tricky), SQLITE_OK);
    EXPECT_EQ(RG(bind_text, insert, 3, "text", -1, SQLITE_TRANSIENT), SQLITE_OK);
    EXPECT_EQ(RG(bind_blob, insert, 4, blob, 4, SQLITE_STATIC), SQLITE_OK);
    EXPECT_EQ(RG(step, insert), SQLITE_DONE);
    EXPECT_EQ(RG(reset, insert), SQLITE_OK);
    EXPECT_EQ(RG(clear_bindings, insert), SQLITE_OK);
    EXPECT_EQ(RG(bind_int, insert, 1, -7), SQLITE_OK);
    EXPECT_EQ(RG(bind_null, insert, 2), SQLITE_OK);
    const char16_t text16[] = u"wide";
    EXPECT_EQ(RG(bind_text16, insert, 3, text16, -1, SQLITE_TRANSIENT), SQLITE_OK);
    EXPECT_EQ(RG(bind_zeroblob, insert, 4, 3), SQLITE_OK);
    EXPECT_EQ(RG(step, insert), SQLITE_DONE);
    EXPECT_EQ(RG(stmt_status, insert, SQLITE_STMTSTATUS_FULLSCAN_STEP, 0), 0);
    EXPECT_EQ(RG(finalize, insert), SQLITE_OK);

    sqlite3_stmt* select = nullptr;
    const char16_t sql16[] = u"SELECT a, b, c, d FROM t ORDER BY rowid";
    ASSERT_EQ(RG(prepare16_v2, db, sql16, -1, &select, nullptr), SQLITE_OK);
    EXPECT_EQ(RG(stmt_readonly, select), 1);
    EXPECT_EQ(RG(column_count, select), 4);
    ASSERT_EQ(RG(step, select), SQLITE_ROW);
    EXPECT_EQ(RG(data_count, select), 4);
    EXPECT_EQ(RG(column_type, select, 0), SQLITE_INTEGER);
    EXPECT_EQ(RG(column_int64, select, 0), kBig);
    EXPECT_EQ(RG(column_int, select, 0), sqlite3_column_int(select, 0));
    EXPECT_EQ(RG(column_double, select, 1), tricky);
    EXPECT_STREQ(reinterpret_cast<const char*>(RG(column_text, select, 2)), "text");
    EXPECT_EQ(RG(column_bytes, select, 2), 4);
    EXPECT_EQ(RG(column_bytes, select, 3), 4);
    EXPECT_EQ(std::memcmp(RG(column_blob, select, 3), blob, 4), 0);
    sqlite3_value* value = RG(column_value, select, 0);
    EXPECT_EQ(RG(value_int64, value), kBig);
    ASSERT_EQ(RG(step, select), SQLITE_ROW);
    EXPECT_EQ(RG(column_int, select, 0), -7);
    EXPECT_EQ(RG(column_type, select, 1), SQLITE_NULL);
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(RG(column_text16, select, 2))), u"wide");
    EXPECT_EQ(RG(column_bytes16, select, 2), 8);
    EXPECT_EQ(RG(column_bytes, select, 3), 3);
    EXPECT_EQ(RG(step, select), SQLITE_DONE);
    EXPECT_EQ(RG(finalize, select), SQLITE_OK);
}

TEST(RowgateStatement, LegacyPrepareOfBothEncodings) {
    Db db;
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    ASSERT_EQ(RG(prepare, db, "SELECT 41 + 1; SELECT 2", -1, &stmt, &tail), SQLITE_OK);
    EXPECT_STREQ(tail, " SELECT 2");
    ASSERT_EQ(RG(step, stmt), SQLITE_ROW);
    EXPECT_EQ(RG(column_int, stmt, 0), 42);
    EXPECT_EQ(RG(finalize, stmt), SQLITE_OK);

    const char16_t sql16[] = u"SELECT 'wide'";
    ASSERT_EQ(RG(prepare16, db, sql16, -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(RG(step, stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(RG(column_text, stmt, 0)), "wide");
    EXPECT_EQ(RG(finalize, stmt), SQLITE_OK);
}

// A virtual table of three rows (1, 2, 3). The engine calls the module's
// methods in its own convention; declare_vtab is called from inside them.
struct CountingCursor {
    sqlite3_vtab_cursor base;
    int row;
};

struct ModuleCounts {
    int connects = 0;
    int destroyed = 0;
};

int vtabConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
    ++static_cast<ModuleCounts*>(aux)->connects;
    const int rc = RG(declare_vtab, db, "CREATE TABLE x(n INTEGER)");
    if (rc != SQLITE_OK) return rc;
    *out = static_cast<sqlite3_vtab*>(sqlite3_malloc(sizeof(sqlite3_vtab)));
    if (*out == nullptr) return SQLITE_NOMEM;
    std::memset(*out, 0, sizeof(sqlite3_vtab));
    return SQLITE_OK;
}
int vtabBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    info->estimatedCost = 3;
    return SQLITE_OK;
}
int vtabDisconnect(sqlite3_vtab* vtab) {
    sqlite3_free(vtab);
    return SQLITE_OK;
}
int vtabOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    auto* c = static_cast<CountingCursor*>(sqlite3_malloc(sizeof(CountingCursor)));
    if (c == nullptr) return SQLITE_NOMEM;
    std::memset(c, 0, sizeof *c);
    *out = &c->base;
    return SQLITE_OK;
}
int vtabClose(sqlite3_vtab_cursor* c) {
    sqlite3_free(c);
    return SQLITE_OK;
}
int vtabFilter(sqlite3_vtab_cursor* c, int, const char*, int, sqlite3_value**) {
    reinterpret_cast<CountingCursor*>(c)->row = 1;
    return SQLITE_OK;
}
int vtabNext(sqlite3_vtab_cursor* c) {
    ++reinterpret_cast<CountingCursor*>(c)->row;
    return SQLITE_OK;
}
int vtabEof(sqlite3_vtab_cursor* c) { return reinterpret_cast<CountingCursor*>(c)->row > 3; }
int vtabColumn(sqlite3_vtab_cursor* c, sqlite3_context* ctx, int) {
    sqlite3_result_int(ctx, reinterpret_cast<CountingCursor*>(c)->row);
    return SQLITE_OK;
}
int vtabRowid(sqlite3_vtab_cursor* c, sqlite3_int64* rowid) {
    *rowid = reinterpret_cast<CountingCursor*>(c)->row;
    return SQLITE_OK;
}

sqlite3_module countingModule() {
    sqlite3_module m{};
    m.xCreate = nullptr;  // eponymous only: usable by its name without CREATE VIRTUAL TABLE
    m.xConnect = &vtabConnect;
    m.xBestIndex = &vtabBestIndex;
    m.xDisconnect = &vtabDisconnect;
    m.xOpen = &vtabOpen;
    m.xClose = &vtabClose;
    m.xFilter = &vtabFilter;
    m.xNext = &vtabNext;
    m.xEof = &vtabEof;
    m.xColumn = &vtabColumn;
    m.xRowid = &vtabRowid;
    return m;
}

void countDestroyed(void* aux) { ++static_cast<ModuleCounts*>(aux)->destroyed; }

TEST(RowgateVirtualTable, ModulesOfBothVersionsAndDeclaredTables) {
    static const sqlite3_module module = countingModule();
    ModuleCounts first, second;
    {
        Db db;
        ASSERT_EQ(RG(create_module, db, "counting", &module, &first), SQLITE_OK);
        ASSERT_EQ(RG(create_module_v2, db, "counting2", &module, &second, &countDestroyed), SQLITE_OK);
        sqlite3_stmt* stmt = prepare(db, "SELECT sum(n) FROM counting");
        ASSERT_NE(stmt, nullptr);
        ASSERT_EQ(RG(step, stmt), SQLITE_ROW);
        EXPECT_EQ(RG(column_int, stmt, 0), 6);
        EXPECT_EQ(RG(finalize, stmt), SQLITE_OK);
        EXPECT_EQ(first.connects, 1);
        stmt = prepare(db, "SELECT count(*) FROM counting2");
        ASSERT_NE(stmt, nullptr);
        ASSERT_EQ(RG(step, stmt), SQLITE_ROW);
        EXPECT_EQ(RG(column_int, stmt, 0), 3);
        EXPECT_EQ(RG(finalize, stmt), SQLITE_OK);
        EXPECT_EQ(second.connects, 1);
        EXPECT_EQ(second.destroyed, 0);
    }
    EXPECT_EQ(second.destroyed, 1);  // the second version's destructor runs at close
}

TEST(RowgateColumns, NamesAndOrigins) {
    Db db;
    ASSERT_EQ(db.run("CREATE TABLE t(a INTEGER, b TEXT); INSERT INTO t VALUES(1, 'x')"), "");
    sqlite3_stmt* stmt = prepare(db, "SELECT a AS alias, b FROM t");
    ASSERT_NE(stmt, nullptr);
    EXPECT_STREQ(RG(column_name, stmt, 0), "alias");
    EXPECT_STREQ(RG(column_decltype, stmt, 1), "TEXT");
    EXPECT_STREQ(RG(column_origin_name, stmt, 0), "a");
    EXPECT_STREQ(RG(column_table_name, stmt, 0), "t");
    EXPECT_STREQ(RG(column_database_name, stmt, 0), "main");
    auto wide = [](const void* p) { return std::u16string(static_cast<const char16_t*>(p)); };
    EXPECT_EQ(wide(RG(column_name16, stmt, 0)), u"alias");
    EXPECT_EQ(wide(RG(column_decltype16, stmt, 1)), u"TEXT");
    EXPECT_EQ(wide(RG(column_origin_name16, stmt, 0)), u"a");
    EXPECT_EQ(wide(RG(column_table_name16, stmt, 0)), u"t");
    EXPECT_EQ(wide(RG(column_database_name16, stmt, 0)), u"main");
    EXPECT_EQ(RG(finalize, stmt), SQLITE_OK);
}

TEST(RowgateBinding, ValuesCopiedAndDestructorsCalledByTheEngine) {
    Db db;
    sqlite3_stmt* source = prepare(db, "SELECT 2.5");
    ASSERT_EQ(RG(step, source), SQLITE_ROW);
    sqlite3_stmt* target = prepare(db, "SELECT ?1, ?2");
    EXPECT_EQ(RG(bind_value, target, 1, RG(column_value, source, 0)), SQLITE_OK);

    // A destructor of the caller's is the engine's to call, in its own convention.
    struct Freed {
        static void note(void* p) { *static_cast<char*>(p) = 'F'; }
    };
    char text[] = "owned";
    EXPECT_EQ(RG(bind_text, target, 2, text, -1, &Freed::note), SQLITE_OK);
    ASSERT_EQ(RG(step, target), SQLITE_ROW);
    EXPECT_EQ(RG(column_double, target, 0), 2.5);
    EXPECT_EQ(RG(finalize, target), SQLITE_OK);
    EXPECT_EQ(text[0], 'F');
    EXPECT_EQ(RG(finalize, source), SQLITE_OK);
}

TEST(RowgateBlob, IncrementalIoWithSixtyFourBitRowIds) {
    Db db;
    ASSERT_EQ(db.run("CREATE TABLE b(id INTEGER PRIMARY KEY, data BLOB);"
                     "INSERT INTO b VALUES(1311768467463790320, zeroblob(8));"
                     "INSERT INTO b VALUES(1311768467463790321, x'0102')"),
              "");
    sqlite3_blob* blob = nullptr;
    ASSERT_EQ(RG(blob_open, db, "main", "b", "data", kBig, 1, &blob), SQLITE_OK) << RG(errmsg, db);
    EXPECT_EQ(RG(blob_bytes, blob), 8);
    EXPECT_EQ(RG(blob_write, blob, "abcd", 4, 2), SQLITE_OK);
    char buffer[8] = {};
    EXPECT_EQ(RG(blob_read, blob, buffer, 8, 0), SQLITE_OK);
    EXPECT_EQ(std::memcmp(buffer, "\0\0abcd\0\0", 8), 0);
    ASSERT_EQ(RG(blob_reopen, blob, kBig + 1), SQLITE_OK);
    EXPECT_EQ(RG(blob_bytes, blob), 2);
    EXPECT_EQ(RG(blob_close, blob), SQLITE_OK);
}

TEST(RowgateBackup, CopiesADatabase) {
    Db source;
    Db copy;
    ASSERT_EQ(source.run("CREATE TABLE t(x); INSERT INTO t VALUES(42)"), "");
    sqlite3_backup* backup = RG(backup_init, copy, "main", source, "main");
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(RG(backup_step, backup, 1), SQLITE_OK);
    EXPECT_GE(RG(backup_pagecount, backup), 2);
    EXPECT_GE(RG(backup_remaining, backup), 1);
    EXPECT_EQ(RG(backup_step, backup, -1), SQLITE_DONE);
    EXPECT_EQ(RG(backup_remaining, backup), 0);
    EXPECT_EQ(RG(backup_finish, backup), SQLITE_OK);
    char** table = nullptr;
    int rows = 0, columns = 0;
    ASSERT_EQ(RG(get_table, copy, "SELECT x FROM t", &table, &rows, &columns, nullptr), SQLITE_OK);
    EXPECT_STREQ(table[1], "42");
    RG(free_table, table);
}

TEST(RowgateMutexAndVfs, ForwardedToTheEngine) {
    sqlite3_mutex* mutex = RG(mutex_alloc, SQLITE_MUTEX_RECURSIVE);
    ASSERT_NE(mutex, nullptr);
    RG(mutex_enter, mutex);
    EXPECT_EQ(RG(mutex_try, mutex), SQLITE_OK);  // recursive: the holder may enter again
    RG(mutex_leave, mutex);
    RG(mutex_leave, mutex);
    RG(mutex_free, mutex);

    sqlite3_vfs* base = RG(vfs_find, nullptr);
    ASSERT_NE(base, nullptr);
    sqlite3_vfs renamed = *base;
    renamed.zName = "rowgate-test-vfs";
    renamed.pNext = nullptr;
    EXPECT_EQ(RG(vfs_register, &renamed, 0), SQLITE_OK);
    EXPECT_EQ(RG(vfs_find, "rowgate-test-vfs"), &renamed);
    {
        Db db(":memory:", SQLITE_OPEN_READWRITE, "rowgate-test-vfs");
        EXPECT_EQ(db.openResult(), SQLITE_OK);
    }
    EXPECT_EQ(RG(vfs_unregister, &renamed), SQLITE_OK);
    EXPECT_EQ(RG(vfs_find, "rowgate-test-vfs"), nullptr);
    EXPECT_EQ(RG(vfs_find, nullptr), base);
}

TEST(RowgateWal, CheckpointsForwarded) {
    TempDir dir;
    Db db(dir.file("wal.db"));
    ASSERT_EQ(db.run("PRAGMA journal_mode=WAL; CREATE TABLE t(x); INSERT INTO t VALUES(1)"), "");
    EXPECT_EQ(RG(wal_autocheckpoint, db, 0), SQLITE_OK);
    EXPECT_EQ(RG(wal_checkpoint, db, "main"), SQLITE_OK);
    EXPECT_EQ(RG(wal_checkpoint, db, "nosuch"), SQLITE_ERROR);
}

}  // namespace
