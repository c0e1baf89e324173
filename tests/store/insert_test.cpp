#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <numeric>
#include <utility>

#include "database/db_access.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "store/test_db.h"
#include "support/temp_dir.h"

namespace tovani {
namespace {

using test::query;
using test::sfCard;
using test::sfRow;

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(createFolder(rirekiFolder(dir.str()))); }
    std::string pathOf(const CardReadResults& card) const {
        return cardDbPath(dir.str(), card.CardKind, card.CardID);
    }
    bool store(const CardReadResults& card) { return insertRirekiDB(pathOf(card), card, message).stored; }
    size_t rirekiRows(const CardReadResults& card) {
        return query(pathOf(card), "SELECT * FROM Rireki;").size();
    }

    test::TempDir dir;
    std::string message = "untouched";
};

std::vector<std::string> firstColumns(std::vector<std::string> row, size_t n) {
    row.resize(n);
    return row;
}

std::vector<int32_t> serialRange(int32_t from, int count) {
    std::vector<int32_t> v(static_cast<size_t>(count));
    std::iota(v.begin(), v.end(), from);
    return v;
}

TEST_F(StoreTest, FirstStoreCreatesFileTablesCardInfoAndOneRowPerTransaction) {
    CardReadResults card = sfCard("0123-4567-89AB-CDEF", {12, 11, 10});
    card.HakkouYmd = 20150401;
    const std::string path = pathOf(card);
    EXPECT_EQ(path, dir.str() + "/RirekiDB/SF_0123-4567-89AB-CDEF.DB");

    ASSERT_TRUE(store(card));
    EXPECT_EQ(message, "untouched");  // success leaves the message alone
    EXPECT_TRUE(fileExists(path));
    EXPECT_EQ(query(path, "SELECT * FROM CardInfo;"),
              (test::Rows{{"100", "0123-4567-89AB-CDEF", "20150401"}}));
    EXPECT_EQ(query(path, "SELECT * FROM Rireki ORDER BY TorihikiTsuuban DESC;"),
              (test::Rows{sfRow(12), sfRow(11), sfRow(10)}));
}

TEST_F(StoreTest, TablesAreCreatedWithExactlyTheseStatements) {
    CardReadResults sf = sfCard("0000-0000-0000-0001", {1});
    CardReadResults waon = sf;
    waon.CardKind = CardKindWaon;
    CardReadResults edy = sf;
    edy.CardKind = CardKindEdy;
    for (const auto* card : {&sf, &waon, &edy}) ASSERT_TRUE(store(*card));

    const std::string cardInfo =
        "CREATE TABLE CardInfo ( CardKind INTEGER, CardID TEXT, HakkouYmd INTEGER );\n";
    const std::string head =
        "CREATE TABLE Rireki ( TorihikiTsuuban INTEGER PRIMARY KEY, RiyouKubun INTEGER, RiyouYmd "
        "INTEGER, RiyouHms INTEGER, Kingaku INTEGER, Zangaku INTEGER";
    const std::string sfSchema = cardInfo + head +
        ", Charge INTEGER, Kiki INTEGER, Shiharai INTEGER, Nyuusyutujou INTEGER, NyuujouCD INTEGER, "
        "SyutujouCD INTEGER, Chiiki INTEGER );\n";
    const std::string waonSchema = cardInfo + head + ", Charge INTEGER );\n";
    const std::string edySchema = cardInfo + head + " );\n";

    // The statements the engine keeps for the files, as its shell's .schema
    // prints them.
    auto schemaOf = [](const std::string& path) {
        std::string out;
        for (const auto& row : query(path, "SELECT sql FROM sqlite_master WHERE sql NOT NULL ORDER BY rowid;"))
            out += row.at(0) + ";\n";
        return out;
    };
    EXPECT_EQ(schemaOf(pathOf(sf)), sfSchema);
    EXPECT_EQ(schemaOf(pathOf(waon)), waonSchema);
    EXPECT_EQ(schemaOf(pathOf(edy)), edySchema);
    EXPECT_EQ(createRirekiSql(CardKindNanaco), createRirekiSql(CardKindEdy));
    EXPECT_EQ(createRirekiSql(42), createRirekiSql(CardKindEdy));
}

TEST_F(StoreTest, StoringTheSameReadAgainAddsNothingAndSucceeds) {
    const CardReadResults card = sfCard("0000-0000-0000-0002", serialRange(1, 20));
    ASSERT_TRUE(store(card));
    ASSERT_TRUE(store(card));
    EXPECT_EQ(rirekiRows(card), 20u);
    EXPECT_EQ(query(pathOf(card), "SELECT COUNT(*) FROM CardInfo;"), (test::Rows{{"1"}}));
}

TEST_F(StoreTest, OnlyTransactionsNewToTheFileAreAdded) {
    const CardReadResults first = sfCard("0000-0000-0000-0003", serialRange(100, 20));
    ASSERT_TRUE(store(first));
    // Three new transactions pushed the oldest three off the card.
    CardReadResults next = sfCard("0000-0000-0000-0003", serialRange(103, 20));
    next.CardRireki[0].Zangaku = 1;  // a known serial is not compared field by field
    ASSERT_TRUE(store(next));
    EXPECT_EQ(rirekiRows(next), 23u);
    EXPECT_EQ(query(pathOf(next), "SELECT * FROM Rireki WHERE TorihikiTsuuban = 103;"),
              (test::Rows{sfRow(103)}));
    EXPECT_EQ(query(pathOf(next), "SELECT * FROM Rireki WHERE TorihikiTsuuban = 122;"),
              (test::Rows{sfRow(122)}));
    EXPECT_EQ(query(pathOf(next), "SELECT * FROM Rireki WHERE TorihikiTsuuban = 100;"),
              (test::Rows{sfRow(100)}));

    // Lower serials than the stored ones are still stored.
    ASSERT_TRUE(store(sfCard("0000-0000-0000-0003", {5})));
    EXPECT_EQ(rirekiRows(next), 24u);
}

TEST_F(StoreTest, TwoSlotsWithOneSerialAreStoredOnce) {
    CardReadResults card = sfCard("0000-0000-0000-0004", {7, 7, 6});
    card.CardRireki[1].Zangaku = 999;
    ASSERT_TRUE(store(card));
    EXPECT_EQ(query(pathOf(card), "SELECT TorihikiTsuuban, Zangaku FROM Rireki ORDER BY 1;"),
              (test::Rows{{"6", sfRow(6)[5]}, {"7", sfRow(7)[5]}}));
}

TEST_F(StoreTest, EachKindStoresItsSlotsAndColumns) {
    CardReadResults waon = sfCard("0000-0000-0000-0005", serialRange(1, 20));
    waon.CardKind = CardKindWaon;
    ASSERT_TRUE(store(waon));
    EXPECT_EQ(query(pathOf(waon), "SELECT * FROM Rireki ORDER BY 1;"),
              (test::Rows{firstColumns(sfRow(1), 7), firstColumns(sfRow(2), 7),
                          firstColumns(sfRow(3), 7)}));

    CardReadResults nanaco = waon;
    nanaco.CardKind = CardKindNanaco;
    ASSERT_TRUE(store(nanaco));
    EXPECT_EQ(pathOf(nanaco), dir.str() + "/RirekiDB/nanaco_0000-0000-0000-0005.DB");
    const auto rows = query(pathOf(nanaco), "SELECT * FROM Rireki ORDER BY 1;");
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[4], firstColumns(sfRow(5), 6));

    CardReadResults edy = waon;
    edy.CardKind = CardKindEdy;
    ASSERT_TRUE(store(edy));
    EXPECT_EQ(rirekiRows(edy), 6u);

    // A kind without history slots has nothing to store: no file.
    CardReadResults unknown = waon;
    unknown.CardKind = 7;
    ASSERT_TRUE(store(unknown));
    EXPECT_EQ(pathOf(unknown), dir.str() + "/RirekiDB/0000-0000-0000-0005.DB");
    EXPECT_FALSE(fileExists(pathOf(unknown)));
}

TEST_F(StoreTest, EmptySlotsAreSkippedWhateverElseTheyHold) {
    CardReadResults card = sfCard("0000-0000-0000-0006", {30, 29, 28});
    card.CardRireki[1].RiyouKubun = 0;  // fields other than the use kind stay non-zero
    ASSERT_TRUE(store(card));
    EXPECT_EQ(query(pathOf(card), "SELECT TorihikiTsuuban FROM Rireki ORDER BY 1;"),
              (test::Rows{{"28"}, {"30"}}));
}

TEST_F(StoreTest, AnExistingCardInfoRowIsNeverChanged) {
    CardReadResults card = sfCard("0000-0000-0000-0007", {1});
    card.CardKind = CardKindEdy;
    card.HakkouYmd = 20100401;
    ASSERT_TRUE(store(card));
    card.HakkouYmd = 20990101;
    card.CardRireki[0] = test::sfEntry(2);
    ASSERT_TRUE(store(card));
    EXPECT_EQ(query(pathOf(card), "SELECT * FROM CardInfo;"),
              (test::Rows{{"1", "0000-0000-0000-0007", "20100401"}}));
    EXPECT_EQ(rirekiRows(card), 2u);
}

TEST_F(StoreTest, NegativeAndLargeNumbersAreWrittenInDecimal) {
    CardReadResults card = sfCard("0000-0000-0000-0008", {});
    card.CardKind = CardKindEdy;
    card.HakkouYmd = -5;
    card.CardRireki[0] = RirekiInfo{9, 2, 20100401, 123000, -500, 2147483647};
    ASSERT_TRUE(store(card));
    EXPECT_EQ(query(pathOf(card), "SELECT * FROM Rireki;"),
              (test::Rows{{"9", "2", "20100401", "123000", "-500", "2147483647"}}));
    EXPECT_EQ(query(pathOf(card), "SELECT HakkouYmd FROM CardInfo;"), (test::Rows{{"-5"}}));
}

TEST_F(StoreTest, ACardIdWithQuotesIsStoredExactly) {
    // (No double quote: Windows file names cannot hold one.)
    CardReadResults card = sfCard("O'Brien''s card", {1});
    ASSERT_TRUE(store(card)) << message;
    EXPECT_EQ(query(pathOf(card), "SELECT CardID FROM CardInfo;"), (test::Rows{{"O'Brien''s card"}}));
    EXPECT_EQ(sqlText("it's"), "'it''s'");
    EXPECT_EQ(sqlText(""), "''");
}

// A new card, or a read whose every entry waits for a later read: no file is
// made and an existing one is not touched.
TEST_F(StoreTest, AReadWithoutAnEntryToStoreTouchesNoFile) {
    CardReadResults card = sfCard("0000-0000-0000-0009", {});
    ASSERT_TRUE(store(card));
    EXPECT_FALSE(fileExists(pathOf(card)));
    card = sfCard("0000-0000-0000-0009", {7});
    card.AmountUnknown[0] = true;
    ASSERT_TRUE(store(card));
    EXPECT_FALSE(fileExists(pathOf(card)));

    ASSERT_TRUE(store(sfCard("0000-0000-0000-0009", {6})));
    const std::string before = test::readFile(pathOf(card));
    ASSERT_TRUE(store(card));
    EXPECT_EQ(test::readFile(pathOf(card)), before);
    EXPECT_EQ(message, "untouched");
}

// An entry left out waits only while the file does not hold it.
TEST_F(StoreTest, EntriesLeftOutWaitUntilTheFileHoldsThem) {
    CardReadResults card = sfCard("0000-0000-0000-0009", {8, 7, 6});
    card.AmountUnknown[1] = card.AmountUnknown[2] = true;
    EXPECT_EQ(insertRirekiDB(pathOf(card), card, message).waiting, 2);
    ASSERT_TRUE(store(sfCard("0000-0000-0000-0009", {7})));
    EXPECT_EQ(insertRirekiDB(pathOf(card), card, message).waiting, 1);
}

TEST_F(StoreTest, MissingRirekiFolderFailsWithOpenError) {
    CardReadResults card = sfCard("0000-0000-0000-0009", {1});
    const std::string path = dir.str() + "/nowhere/RirekiDB/SF_0000-0000-0000-0009.DB";
    EXPECT_FALSE(insertRirekiDB(path, card, message));
    EXPECT_EQ(message, "DB open error");
    EXPECT_FALSE(folderExists(dir.str() + "/nowhere"));
}

// A program folder is a Linux path: any bytes but "/" and zero. The files go
// exactly where the path says, whatever the folder's encoding.
TEST(StorePaths, ProgramFoldersNotInUtf8KeepTheirBytes) {
    const char* const folders[] = {
        "caf\xE9",                    // Latin-1
        "\x83J\x81[\x83h",            // Shift_JIS
        "\xE3\x82\xAB\xE3\x83\xBC",   // UTF-8, for comparison
    };
    for (const char* name : folders) {
        SCOPED_TRACE(::testing::PrintToString(std::string(name)));
        test::TempDir dir;
        const std::string programDir = dir.str() + "/" + name;
        ASSERT_TRUE(createFolder(rirekiFolder(programDir)));
        const CardReadResults card = sfCard("0000-0000-0000-0010", {7, 6});
        const std::string path = cardDbPath(programDir, card.CardKind, card.CardID);
        std::string message;
        ASSERT_TRUE(insertRirekiDB(path, card, message)) << message;
        EXPECT_TRUE(fileExists(path));

        RirekiInfo newest;
        ASSERT_TRUE(selectRerekiDB(path, -1, newest, message)) << message;
        EXPECT_EQ(newest.TorihikiTsuuban, 7);
        CardInfoRecord info;
        ASSERT_TRUE(selectCardInfoDB(path, info, message)) << message;
        EXPECT_EQ(info.CardID, card.CardID);

        // Nothing was made under another name beside the folder.
        size_t entries = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.str())) ++entries;
        EXPECT_EQ(entries, 1u);
    }
}

}  // namespace
}  // namespace tovani
