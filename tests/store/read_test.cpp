#include <gtest/gtest.h>

#include "database/db_access.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "store/test_db.h"
#include "support/temp_dir.h"

namespace tovani {
namespace {

using test::runSql;

class ReadTest : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return (dir / name).string(); }
    test::TempDir dir;
    std::string message = "untouched";
};

TEST_F(ReadTest, CardInfoGivesTheIssueDateOnlyForFamiliesThatHaveOne) {
    for (int32_t kind : {CardKindSF, CardKindWaon, CardKindEdy, CardKindNanaco}) {
        const std::string path = file("kind" + std::to_string(kind) + ".DB");
        ASSERT_EQ(runSql(path, {createCardInfoSql(), "INSERT INTO CardInfo VALUES ( " + std::to_string(kind) +
                                                         ", '0123-4567-89AB-CDEF', 20100401 )"}),
                  "");
        CardInfoRecord record;
        ASSERT_TRUE(selectCardInfoDB(path, record, message)) << message;
        EXPECT_EQ(record.CardKind, kind);
        EXPECT_EQ(record.CardID, "0123-4567-89AB-CDEF");
        const bool hasDate = kind == CardKindEdy || kind == CardKindNanaco;
        EXPECT_EQ(record.HakkouYmd, hasDate ? 20100401 : 0) << kind;
    }
    EXPECT_EQ(message, "untouched");
}

TEST_F(ReadTest, CardInfoTextsComeBackAsStoredAndNullAsEmpty) {
    const std::string path = file("text.DB");
    ASSERT_EQ(runSql(path, {createCardInfoSql(), "INSERT INTO CardInfo VALUES ( 1, '東京''s カード', NULL )"}), "");
    CardInfoRecord record;
    record.HakkouYmd = 77;
    ASSERT_TRUE(selectCardInfoDB(path, record, message));
    EXPECT_EQ(record.CardID, "東京's カード");
    EXPECT_EQ(record.HakkouYmd, 0);

    ASSERT_EQ(runSql(path, {"UPDATE CardInfo SET CardID = NULL;"}), "");
    ASSERT_TRUE(selectCardInfoDB(path, record, message));
    EXPECT_EQ(record.CardID, "");
}

TEST_F(ReadTest, RirekiBySerialOrNewest) {
    CardReadResults card = test::sfCard("0000-0000-0000-0001", {3, 10, 7});
    const std::string path = file("SF.DB");
    ASSERT_TRUE(insertRirekiDB(path, card, message));

    RirekiInfo record;
    ASSERT_TRUE(selectRerekiDB(path, -1, record, message));
    EXPECT_EQ(record, test::sfEntry(10));
    ASSERT_TRUE(selectRerekiDB(path, 7, record, message));
    EXPECT_EQ(record, test::sfEntry(7));
    EXPECT_EQ(message, "untouched");

    EXPECT_FALSE(selectRerekiDB(path, 4, record, message));
    EXPECT_EQ(message, "Rireki record not exist: " + path);
}

TEST_F(ReadTest, RirekiFieldsPastTheFilesColumnsKeepTheirValues) {
    CardReadResults card = test::sfCard("0000-0000-0000-0001", {5});
    const std::string edyPath = file("Edy.DB");
    card.CardKind = CardKindEdy;
    ASSERT_TRUE(insertRirekiDB(edyPath, card, message));
    const std::string waonPath = file("WAON.DB");
    card.CardKind = CardKindWaon;
    ASSERT_TRUE(insertRirekiDB(waonPath, card, message));

    RirekiInfo record;
    record.Charge = 99;
    record.Chiiki = 42;
    ASSERT_TRUE(selectRerekiDB(edyPath, 5, record, message));
    EXPECT_EQ(record.Zangaku, test::sfEntry(5).Zangaku);
    EXPECT_EQ(record.Charge, 99);
    EXPECT_EQ(record.Chiiki, 42);

    ASSERT_TRUE(selectRerekiDB(waonPath, 5, record, message));
    EXPECT_EQ(record.Charge, test::sfEntry(5).Charge);
    EXPECT_EQ(record.Chiiki, 42);
}

TEST(RowCallbacks, ConvertValueTexts) {
    char* one[] = {const_cast<char*>("12345")};
    int32_t count = -1;
    EXPECT_EQ(exec_callback_count(&count, 1, one, nullptr), 0);
    EXPECT_EQ(count, 12345);
    char* nullValue[] = {nullptr};
    EXPECT_EQ(exec_callback_count(&count, 1, nullValue, nullptr), 0);
    EXPECT_EQ(count, 0);
    // A row without columns stops the query instead of being read.
    EXPECT_NE(exec_callback_count(&count, 0, nullValue, nullptr), 0);

    char* info[] = {const_cast<char*>("2"), const_cast<char*>("ABCD"), nullptr};
    CardInfoRecord record;
    record.HakkouYmd = 5;
    EXPECT_EQ(exec_callback_CardInfo(&record, 3, info, nullptr), 0);
    EXPECT_EQ(record.CardKind, 2);
    EXPECT_EQ(record.CardID, "ABCD");
    EXPECT_EQ(record.HakkouYmd, 0);

    char* row[] = {const_cast<char*>("1"), const_cast<char*>("2"), const_cast<char*>("3"),
                   const_cast<char*>("4"), const_cast<char*>("-5"), const_cast<char*>("6"),
                   const_cast<char*>("7")};
    RirekiInfo r;
    r.Kiki = 8;
    EXPECT_EQ(exec_callback_Rireki(&r, 7, row, nullptr), 0);
    EXPECT_EQ(r, (RirekiInfo{1, 2, 3, 4, -5, 6, 7, 8}));
    EXPECT_NE(exec_callback_Rireki(&r, 5, row, nullptr), 0);
    // Text or a fraction where a number belongs stops the query instead of
    // reading as its leading digits.
    for (const char* bad : {"12abc", "1.5", "", " 7", "99999999999"}) {
        row[5] = const_cast<char*>(bad);
        EXPECT_NE(exec_callback_Rireki(&r, 7, row, nullptr), 0) << bad;
    }
}

// The transit lookup tells "not stored" from "cannot be read": only the
// latter may hold a transaction the decoder would otherwise price wrong.
TEST(StoredRirekiLookup, NoFileOrRowIsNotStoredAnyOtherFailureIsUnreadable) {
    const std::string cardId = "0000-0000-0000-0020";
    struct Case {
        const char* what;
        std::vector<std::string> sql;  // empty: no file; {""}: a 0-byte file
        bool junk;
        StoredRireki expected;
    };
    const std::string table =
        "CREATE TABLE Rireki ( TorihikiTsuuban INTEGER PRIMARY KEY, RiyouKubun INTEGER, RiyouYmd INTEGER, "
        "RiyouHms INTEGER, Kingaku INTEGER, Zangaku INTEGER );";
    const Case cases[] = {
        {"no file", {}, false, StoredRireki::NotStored},
        {"a file without tables", {"CREATE TABLE Other ( x );"}, false, StoredRireki::NotStored},
        {"the row is there", {table, "INSERT INTO Rireki VALUES ( 5, 1, 0, 0, 0, 700 );"}, false,
         StoredRireki::Found},
        {"another row only", {table, "INSERT INTO Rireki VALUES ( 4, 1, 0, 0, 0, 700 );"}, false,
         StoredRireki::NotStored},
        {"not a database", {}, true, StoredRireki::Unreadable},
        {"Rireki a broken view",
         {"CREATE TABLE Gone ( x );", "CREATE VIEW Rireki AS SELECT * FROM Gone;", "DROP TABLE Gone;"}, false,
         StoredRireki::Unreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        ASSERT_TRUE(createFolder(rirekiFolder(dir.str())));
        const std::string path = cardDbPath(dir.str(), CardKindSF, cardId);
        if (c.junk) {
            test::writeFile(path, std::string(4096, 'x'));
        }
        if (!c.sql.empty()) {
            ASSERT_EQ(runSql(path, c.sql), "");
        }
        RirekiInfo out;
        EXPECT_EQ(storedRirekiLookup(dir.str())(cardId, 5, out), c.expected);
        if (c.expected == StoredRireki::Found) {
            EXPECT_EQ(out.Zangaku, 700);
        }
    }
}

}  // namespace
}  // namespace tovani
