// rowgate_exec: the row callback gets each row through the call's own exec
// frame, with the caller's user argument; nested calls keep their own rows.

#include <string>
#include <vector>

#include "support.h"

namespace {

using rowgate_test::Db;

struct Rows {
    std::vector<std::string> cells;
    int stopAfter = -1;  // a non-zero result after this many rows
    sqlite3* nestOn = nullptr;
    std::vector<std::string> nested;
};

int ROWGATE_CALL collect(void* arg, int columns, char** values, char** names) {
    auto* rows = static_cast<Rows*>(arg);
    for (int i = 0; i < columns; ++i) {
        rows->cells.push_back(std::string(names[i]) + "=" + (values[i] != nullptr ? values[i] : "NULL"));
    }
    if (rows->stopAfter >= 0 && static_cast<int>(rows->cells.size()) >= rows->stopAfter) return 1;
    return 0;
}

// Runs a second query from inside the first one's row callback.
int ROWGATE_CALL nest(void* arg, int columns, char** values, char** names) {
    auto* rows = static_cast<Rows*>(arg);
    collect(arg, columns, values, names);
    Rows inner;
    const std::string sql = std::string("SELECT ") + values[0] + " * 10 AS y, 'inner' AS z";
    if (RG(exec, rows->nestOn, sql.c_str(), &collect, &inner, nullptr) != SQLITE_OK) return 1;
    rows->nested.insert(rows->nested.end(), inner.cells.begin(), inner.cells.end());
    return 0;
}

TEST(RowgateExec, RowsReachTheCallbackWithTheUserArgument) {
    Db db;
    Rows rows;
    ASSERT_EQ(RG(exec, db, "SELECT 1 AS a, NULL AS b UNION ALL SELECT 'x', 2.5", &collect, &rows, nullptr),
              SQLITE_OK);
    EXPECT_EQ(rows.cells, (std::vector<std::string>{"a=1", "b=NULL", "a=x", "b=2.5"}));
}

TEST(RowgateExec, NullCallbackRunsEveryStatement) {
    Db db;
    Rows unused;
    ASSERT_EQ(RG(exec, db, "CREATE TABLE t(x); INSERT INTO t VALUES(1); SELECT * FROM t;"
                           "INSERT INTO t VALUES(2)",
                 nullptr, &unused, nullptr),
              SQLITE_OK);
    Rows rows;
    ASSERT_EQ(RG(exec, db, "SELECT count(*) AS n FROM t", &collect, &rows, nullptr), SQLITE_OK);
    EXPECT_EQ(rows.cells, (std::vector<std::string>{"n=2"}));
    EXPECT_TRUE(unused.cells.empty());
}

TEST(RowgateExec, NonZeroCallbackResultAborts) {
    Db db;
    ASSERT_EQ(db.run("CREATE TABLE t(x); INSERT INTO t VALUES(1), (2), (3)"), "");
    Rows rows;
    rows.stopAfter = 2;
    char* err = nullptr;
    EXPECT_EQ(RG(exec, db, "SELECT x FROM t ORDER BY x; INSERT INTO t VALUES(4)", &collect, &rows, &err),
              SQLITE_ABORT);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "query aborted");
    RG(free, err);
    EXPECT_EQ(rows.cells, (std::vector<std::string>{"x=1", "x=2"}));
    Rows count;
    RG(exec, db, "SELECT count(*) FROM t", &collect, &count, nullptr);
    EXPECT_EQ(count.cells, (std::vector<std::string>{"count(*)=3"}));  // later statements not run
}

TEST(RowgateExec, ErrorsComeFromTheEngine) {
    Db db;
    Rows rows;
    char* err = nullptr;
    EXPECT_EQ(RG(exec, db, "SELECT nope FROM nowhere", &collect, &rows, &err), SQLITE_ERROR);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "no such table: nowhere");
    EXPECT_STREQ(RG(errmsg, db), "no such table: nowhere");
    RG(free, err);
}

TEST(RowgateExec, ReenteredFromItsOwnRowCallback) {
    Db db;
    Db other;
    Rows rows;
    rows.nestOn = db;
    ASSERT_EQ(RG(exec, db, "SELECT 1 AS x UNION ALL SELECT 2", &nest, &rows, nullptr), SQLITE_OK);
    EXPECT_EQ(rows.cells, (std::vector<std::string>{"x=1", "x=2"}));
    EXPECT_EQ(rows.nested, (std::vector<std::string>{"y=10", "z=inner", "y=20", "z=inner"}));

    // Nesting on another connection, as a view looking up names does.
    Rows across;
    across.nestOn = other;
    ASSERT_EQ(RG(exec, db, "SELECT 3 AS x", &nest, &across, nullptr), SQLITE_OK);
    EXPECT_EQ(across.nested, (std::vector<std::string>{"y=30", "z=inner"}));
}

}  // namespace
