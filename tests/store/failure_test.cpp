// Every failure text of the store and the readers, each provoked by a real
// file that the engine refuses.

#include <gtest/gtest.h>

#include "store/card_store.h"
#include "store/db_files.h"
#include "store/test_db.h"
#include "support/temp_dir.h"

namespace tovani {
namespace {

using test::query;
using test::runSql;

const std::string kCardInfo = "CREATE TABLE CardInfo ( CardKind INTEGER, CardID TEXT, HakkouYmd INTEGER );";
const std::string kRireki6 =
    "CREATE TABLE Rireki ( TorihikiTsuuban INTEGER PRIMARY KEY, RiyouKubun INTEGER, RiyouYmd INTEGER, "
    "RiyouHms INTEGER, Kingaku INTEGER, Zangaku INTEGER );";
// A view over a table that is gone: every query of it fails.
std::vector<std::string> brokenView(const std::string& name) {
    return {"CREATE TABLE Gone ( x );", "CREATE VIEW " + name + " AS SELECT * FROM Gone;",
            "DROP TABLE Gone;"};
}

class StoreFailureTest : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return (dir / name).string(); }
    void make(const std::string& path, std::vector<std::string> statements) {
        ASSERT_EQ(runSql(path, statements), "");
    }
    test::TempDir dir;
    std::string message;
    CardReadResults card = test::sfCard("0000-0000-0000-0001", {3, 2, 1});
};

TEST_F(StoreFailureTest, InsertReportsTheStepThatFailed) {
    // Not a database at all.
    const std::string junk = file("junk.DB");
    test::writeFile(junk, std::string(4096, 'x'));
    EXPECT_FALSE(insertRirekiDB(junk, card, message));
    EXPECT_EQ(message, "DB CREATE TABLE exec error: file is not a database");

    // CardInfo is a view that cannot be read.
    const std::string countInfo = file("count_info.DB");
    make(countInfo, brokenView("CardInfo"));
    EXPECT_FALSE(insertRirekiDB(countInfo, card, message));
    EXPECT_EQ(message, "DB COUNT CardInfo exec error: no such table: main.Gone");

    // CardInfo lacks a column.
    const std::string insertInfo = file("insert_info.DB");
    make(insertInfo, {"CREATE TABLE CardInfo ( CardKind INTEGER, CardID TEXT );"});
    EXPECT_FALSE(insertRirekiDB(insertInfo, card, message));
    EXPECT_EQ(message, "DB INSERT CardInfo exec error: table CardInfo has 2 columns but 3 values were supplied");

    // Rireki is a view that cannot be read.
    const std::string countRireki = file("count_rireki.DB");
    make(countRireki, brokenView("Rireki"));
    EXPECT_FALSE(insertRirekiDB(countRireki, card, message));
    EXPECT_EQ(message, "DB COUNT Rireki exec error: no such table: main.Gone");

    // A transit file whose Rireki table lacks the region column.
    const std::string insertRireki = file("insert_rireki.DB");
    make(insertRireki, {kCardInfo,
                        "CREATE TABLE Rireki ( TorihikiTsuuban INTEGER PRIMARY KEY, RiyouKubun, RiyouYmd, "
                        "RiyouHms, Kingaku, Zangaku, Charge, Kiki, Shiharai, Nyuusyutujou, NyuujouCD, "
                        "SyutujouCD );"});
    EXPECT_FALSE(insertRirekiDB(insertRireki, card, message));
    EXPECT_EQ(message, "DB INSERT Rireki exec error: table Rireki has 12 columns but 13 values were supplied");
    // The CardInfo row went in before the stop and stays.
    EXPECT_EQ(query(insertRireki, "SELECT COUNT(*) FROM CardInfo;"), (test::Rows{{"1"}}));
}

TEST_F(StoreFailureTest, AReadOnlyFileKeepsItsRowsAndReportsTheWrite) {
    const std::string path = file("SF_0000-0000-0000-0001.DB");
    ASSERT_TRUE(insertRirekiDB(path, card, message));
    test::makeReadOnlyDatabase(path);

    // Nothing new: no write is attempted, so the store succeeds.
    EXPECT_TRUE(insertRirekiDB(path, card, message));

    CardReadResults next = test::sfCard("0000-0000-0000-0001", {4, 3, 2});
    EXPECT_FALSE(insertRirekiDB(path, next, message));
    EXPECT_EQ(message, "DB INSERT Rireki exec error: attempt to write a readonly database");
    EXPECT_EQ(query(path, "SELECT TorihikiTsuuban FROM Rireki ORDER BY 1;"),
              (test::Rows{{"1"}, {"2"}, {"3"}}));

    // Read-only before the tables or the identity were written.
    const std::string bare = file("bare.DB");
    make(bare, {kCardInfo});
    test::makeReadOnlyDatabase(bare);
    EXPECT_FALSE(insertRirekiDB(bare, card, message));
    EXPECT_EQ(message, "DB CREATE TABLE exec error: attempt to write a readonly database");

    const std::string noInfo = file("no_info.DB");
    make(noInfo, {kCardInfo, kRireki6});
    test::makeReadOnlyDatabase(noInfo);
    CardReadResults edy = card;
    edy.CardKind = CardKindEdy;
    EXPECT_FALSE(insertRirekiDB(noInfo, edy, message));
    EXPECT_EQ(message, "DB INSERT CardInfo exec error: attempt to write a readonly database");
}

TEST_F(StoreFailureTest, CardInfoReaderReportsEachStep) {
    CardInfoRecord record;

    message = "before";
    EXPECT_FALSE(selectCardInfoDB(file("missing.DB"), record, message));
    EXPECT_EQ(message, "before");  // a missing file is skipped silently

    const std::string junk = file("junk.DB");
    test::writeFile(junk, std::string(4096, 'x'));
    EXPECT_FALSE(selectCardInfoDB(junk, record, message));
    EXPECT_EQ(message, "DB COUNT CardInfo exec error: file is not a database");

    const std::string none = file("none.DB");
    make(none, {kCardInfo});
    EXPECT_FALSE(selectCardInfoDB(none, record, message));
    EXPECT_EQ(message, "CardInfo record not exist: " + none);

    const std::string noTable = file("no_table.DB");
    make(noTable, {kRireki6});
    EXPECT_FALSE(selectCardInfoDB(noTable, record, message));
    EXPECT_EQ(message, "DB COUNT CardInfo exec error: no such table: CardInfo");

    const std::string two = file("two.DB");
    make(two, {kCardInfo, "INSERT INTO CardInfo VALUES ( 1, 'A', 1 );",
               "INSERT INTO CardInfo VALUES ( 1, 'B', 2 );"});
    EXPECT_FALSE(selectCardInfoDB(two, record, message));
    EXPECT_EQ(message, "CardInfo record not exist: " + two);

    // Counting works, but a value of the row cannot be computed.
    const std::string badValue = file("bad_value.DB");
    make(badValue, {"CREATE TABLE src ( v INTEGER );", "INSERT INTO src VALUES ( -9223372036854775808 );",
                    "CREATE VIEW CardInfo AS SELECT abs(v) AS CardKind, 'X' AS CardID, 0 AS HakkouYmd FROM src;"});
    EXPECT_FALSE(selectCardInfoDB(badValue, record, message));
    EXPECT_EQ(message, "DB SELECT CardInfo exec error: integer overflow");

    // A row too short for a card identity is refused, not read past its end.
    const std::string narrow = file("narrow.DB");
    make(narrow, {"CREATE TABLE CardInfo ( CardKind INTEGER, CardID TEXT );",
                  "INSERT INTO CardInfo VALUES ( 1, 'A' );"});
    EXPECT_FALSE(selectCardInfoDB(narrow, record, message));
    EXPECT_EQ(message, "DB SELECT CardInfo exec error: " + narrow + ": CardInfo has 2 columns, 3 expected");
}

TEST_F(StoreFailureTest, RirekiReaderReportsEachStep) {
    RirekiInfo record;

    const std::string missing = file("missing.DB");
    EXPECT_FALSE(selectRerekiDB(missing, 1, record, message));
    EXPECT_EQ(message, "DB not exist: " + missing);
    EXPECT_FALSE(fileExists(missing));  // read-only access never creates a file

    const std::string junk = file("junk.DB");
    test::writeFile(junk, std::string(4096, 'x'));
    EXPECT_FALSE(selectRerekiDB(junk, 1, record, message));
    EXPECT_EQ(message, "DB COUNT Rireki exec error: file is not a database");

    const std::string broken = file("broken.DB");
    make(broken, brokenView("Rireki"));
    EXPECT_FALSE(selectRerekiDB(broken, -1, record, message));
    EXPECT_EQ(message, "DB COUNT Rireki exec error: no such table: main.Gone");

    const std::string empty = file("empty.DB");
    make(empty, {kCardInfo, kRireki6});
    EXPECT_FALSE(selectRerekiDB(empty, -1, record, message));
    EXPECT_EQ(message, "Rireki record not exist: " + empty);

    const std::string badValue = file("bad_value.DB");
    make(badValue, {"CREATE TABLE src ( v INTEGER );", "INSERT INTO src VALUES ( -9223372036854775808 );",
                    "CREATE VIEW Rireki AS SELECT 5 AS TorihikiTsuuban, 1 AS RiyouKubun, 0 AS RiyouYmd, "
                    "0 AS RiyouHms, 0 AS Kingaku, abs(v) AS Zangaku FROM src;"});
    EXPECT_FALSE(selectRerekiDB(badValue, 5, record, message));
    EXPECT_EQ(message, "DB SELECT Rireki exec error: integer overflow");
    EXPECT_FALSE(selectRerekiDB(badValue, -1, record, message));
    EXPECT_EQ(message, "DB SELECT Rireki exec error: integer overflow");

    const std::string narrow = file("narrow.DB");
    make(narrow, {"CREATE TABLE Rireki ( TorihikiTsuuban INTEGER PRIMARY KEY, RiyouKubun INTEGER );",
                  "INSERT INTO Rireki VALUES ( 5, 1 );"});
    EXPECT_FALSE(selectRerekiDB(narrow, 5, record, message));
    EXPECT_EQ(message, "DB SELECT Rireki exec error: " + narrow + ": Rireki has 2 columns, at least 6 expected");
}

}  // namespace
}  // namespace tovani
