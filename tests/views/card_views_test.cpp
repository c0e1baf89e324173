#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <iterator>

#include "database/db_access.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "store/test_db.h"
#include "views/card_display.h"
#include "views/card_views_support.h"

namespace tovani::test {
namespace {

namespace fs = std::filesystem;

// The data rows' texts of the first column.
std::vector<std::string> firstColumn(const ResultTable& table) {
    std::vector<std::string> texts;
    for (int r = 1; r < table.rows(); ++r) texts.push_back(table.text(r, 0));
    return texts;
}

const std::string kBalanceWaiting = "カード残高を読み込んでいます。しばらくお待ちください。";

// --- History view -----------------------------------------------------------

struct FamilyCase {
    const char* name;
    int32_t kind;
    int32_t storedIssueDate;
    std::vector<RirekiInfo> entries;  // stored oldest first
    const char* cardLabel;
    const char* issueLabel;
    const char* balanceLabel;
    Table firstRows;  // header and the newest row as shown
};

TEST(HistoryView, ShowsEveryFamilyNewestFirstWithItsLabels) {
    const std::vector<FamilyCase> cases = {
        {"Edy_0000-0000-0000-0001.DB", CardKindEdy, 20090315,
         {entry(1, 0x02, 20100401, 93005, 3000, 3000), entry(2, 0x20, 20100402, 120000, 500, 2500)},
         "Edy番号：0000-0000-0000-0001", "作成年月日：2009/03/15", "残高：2,500 円",
         {{"取引通番", "取引日時", "利用区分", "入金", "出金", "残高"},
          {"2", "2010/04/02 12:00:00", "支払い", "", "500", "2,500"}}},
        {"nanaco_0000-0000-0000-0002.DB", CardKindNanaco, 20110101,
         {entry(7, 0x6F, 20110102, 80000, 10000, 10000), entry(8, 0x99, 20110103, 80000, 5, 10005)},
         "nanaco番号：0000-0000-0000-0002", "作成年月日：2011/01/01", "残高：10,005 円",
         {{"取引通番", "取引日時", "利用区分", "入金", "出金", "残高"},
          {"8", "2011/01/03 08:00:00", "不明コード(0x99)", "5", "", "10,005"}}},
        // WAON keeps no issue date, whatever the file says; the charge is in
        // a column of its own.
        {"WAON_0000-0000-0000-0003.DB", CardKindWaon, 20100101,
         {entry(1, 0x04, 20100410, 100000, 300, 700), entry(2, 0x0C, 20100411, 110000, 0, 3700, 3000)},
         "WAON番号：0000-0000-0000-0003", "", "残高：3,700 円",
         {{"取引通番", "取引日時", "利用区分", "入金", "出金", "残高"},
          {"2", "2010/04/11 11:00:00", "チャージ", "3,000", "", "3,700"}}},
    };
    for (const FamilyCase& c : cases) {
        SCOPED_TRACE(c.name);
        ViewsWorld w;
        storeCard(w.cardFile(c.name), c.kind, fs::path(c.name).stem().string().substr(fs::path(c.name).stem().string().find('_') + 1),
                  c.storedIssueDate, c.entries);
        ASSERT_TRUE(w.history(c.name)) << w.DBErrorMessage;
        const Table t = cells(w.host.table());
        ASSERT_EQ(t.size(), c.entries.size() + 1);
        EXPECT_EQ(t[0], c.firstRows[0]);
        EXPECT_EQ(t[1], c.firstRows[1]);
        EXPECT_EQ(w.host.table().tag(), "Rireki");
        EXPECT_EQ(w.host.cardLabel(CardLabel::CardID), c.cardLabel);
        EXPECT_EQ(w.host.cardLabel(CardLabel::SakuseiYmd), c.issueLabel);
        EXPECT_EQ(w.host.cardLabel(CardLabel::Zandaka), c.balanceLabel);
        EXPECT_EQ(w.host.message(), "履歴情報を表示しました。");
        EXPECT_EQ(w.host.messageColour(), ColourBlue);
        EXPECT_TRUE(w.host.messageBoxes().empty());
        EXPECT_FALSE(w.SortAscending);
        EXPECT_FALSE(w.host.locked());
        EXPECT_EQ(w.card.CardKind, c.kind);
        EXPECT_EQ(w.card.HakkouYmd, c.kind == CardKindWaon ? 0 : c.storedIssueDate);
    }
}

TEST(HistoryView, TransitFileNamesItsStationsAndHidesItsIssueDate) {
    ViewsWorld w;
    ASSERT_EQ(runSql(w.dir.str() + "/Station.DB",
                     {"CREATE TABLE Station ( Code INTEGER PRIMARY KEY, Kaisha TEXT, Senku TEXT, Eki TEXT );",
                      "INSERT INTO Station VALUES ( 4660, '東日本旅客鉄道', '山手', '渋谷' );"}),
              "");
    RirekiInfo ride = entry(41, 0x01, 20101231, 0, 160, 1840);
    ride.NyuujouCD = 4660;  // 0x1234
    ride.SyutujouCD = 0;
    RirekiInfo charge = entry(40, 0x02, 20101230, 0, 0, 2000, 1000);
    const std::string file = "SF_0102-0304-0506-0708.DB";
    storeCard(w.cardFile(file), CardKindSF, "0102-0304-0506-0708", 20200101, {charge, ride});

    ASSERT_TRUE(w.history(file)) << w.DBErrorMessage;
    const Table t = cells(w.host.table());
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0], (std::vector<std::string>{"取引通番", "取引日時", "利用区分", "入場駅/事業者", "出場駅/停留所",
                                              "入金", "出金", "残高"}));
    EXPECT_EQ(t[1], (std::vector<std::string>{"41", "2010/12/31", "自動改札機出場", "渋谷駅 山手線 東日本旅客鉄道", "",
                                              "", "160", "1,840"}));
    EXPECT_EQ(t[2][5], "1,000");
    EXPECT_EQ(w.host.cardLabel(CardLabel::CardID), "IDm番号：0102-0304-0506-0708");
    EXPECT_EQ(w.host.cardLabel(CardLabel::SakuseiYmd), "");
    EXPECT_EQ(w.card.HakkouYmd, 0);
    EXPECT_EQ(w.card.CardID, "0102-0304-0506-0708");
}

// --- What both file views share ----------------------------------------------

using FileView = bool (ViewsWorld::*)(const std::string&);
struct ViewKind {
    const char* name;
    FileView run;
    const char* waiting;
    const char* tag;
    size_t emptyColumns;
};
const ViewKind kFileViews[] = {
    {"history", &ViewsWorld::history, "履歴情報を読み込んでいます。しばらくお待ちください。", "Rireki", 6},
    {"totals", &ViewsWorld::totals, "月別集計情報を読み込んでいます。しばらくお待ちください。", "Syuukei", 7},
};

TEST(FileViews, FileWithoutHistoryShowsOneEmptyRowAndNoBalance) {
    for (const ViewKind& v : kFileViews) {
        SCOPED_TRACE(v.name);
        ViewsWorld w;
        ASSERT_EQ(runSql(w.cardFile("Edy_A.DB"), edyFile({"INSERT INTO CardInfo VALUES ( 1, 'A', 0 );"})), "");
        ASSERT_TRUE((w.*v.run)("Edy_A.DB")) << w.DBErrorMessage;
        const Table t = cells(w.host.table());
        ASSERT_EQ(t.size(), 2u);
        EXPECT_EQ(t[0].size(), v.emptyColumns);
        EXPECT_EQ(t[1], std::vector<std::string>(v.emptyColumns));
        EXPECT_EQ(w.host.table().tag(), v.tag);
        EXPECT_EQ(w.host.cardLabel(CardLabel::Zandaka), "残高：0");
        // An issue date of 0 is no date: the caption alone.
        EXPECT_EQ(w.host.cardLabel(CardLabel::SakuseiYmd), "作成年月日：");
    }
}

struct BrokenFile {
    const char* what;
    std::vector<std::string> sql;  // run on the file; empty: the file is left as it is
    const char* rawContent;        // written instead of sql when not null
    std::string historyText;
    std::string totalsText;
};

TEST(FileViews, DamagedFilesFailWithTheirTextAndLeaveTheWindowUsable) {
    const std::vector<BrokenFile> cases = {
        {"no database", {}, "this is a text file, not a card file\n",
         "DB COUNT CardInfo exec error: file is not a database",
         "DB COUNT CardInfo exec error: file is not a database"},
        {"CardInfo empty", edyFile({}), nullptr, "DB CardInfo 未登録 error ", "DB CardInfo 未登録 error "},
        {"CardInfo doubled", edyFile({"INSERT INTO CardInfo VALUES ( 1, 'A', 0 );", "INSERT INTO CardInfo VALUES ( 1, 'A', 0 );"}),
         nullptr, "DB CardInfo 未登録 error ", "DB CardInfo 未登録 error "},
        {"text as card kind", edyFile({"INSERT INTO CardInfo VALUES ( 'Edy', 'A', 0 );"}), nullptr,
         "DB SELECT CardInfo exec error: column CardKind holds \"Edy\" where a whole number belongs",
         "DB SELECT CardInfo exec error: column CardKind holds \"Edy\" where a whole number belongs"},
        {"text as balance",
         edyFile({"INSERT INTO CardInfo VALUES ( 1, 'A', 0 );",
                  "INSERT INTO Rireki VALUES ( 1, 2, 20100401, 0, 100, 100 );",
                  "INSERT INTO Rireki VALUES ( 2, 32, 20100402, 0, 50, 'fifty' );"}),
         nullptr, "DB SELECT Rireki exec error: row 1: column Zangaku holds \"fifty\" where a whole number belongs",
         "DB SELECT Zandaka exec error: column Zangaku holds \"fifty\" where a whole number belongs"},
        // The engine sums a text as 0 and turns the sum into a fraction: the
        // totals must not show it as a plausible number.
        {"text as an older amount",
         edyFile({"INSERT INTO CardInfo VALUES ( 1, 'A', 0 );",
                  "INSERT INTO Rireki VALUES ( 1, 2, 20100401, 0, 'lots', 100 );",
                  "INSERT INTO Rireki VALUES ( 2, 2, 20100401, 0, 100, 200 );"}),
         nullptr, "DB SELECT Rireki exec error: row 2: column Kingaku holds \"lots\" where a whole number belongs",
         "DB SELECT Syuukei exec error: column SUM(Kingaku) holds \"100.0\" where a whole number belongs"},
        {"text as amount",
         edyFile({"INSERT INTO CardInfo VALUES ( 1, 'A', 0 );",
                  "INSERT INTO Rireki VALUES ( 1, 2, 20100401, 0, 'lots', 100 );"}),
         nullptr, "DB SELECT Rireki exec error: row 1: column Kingaku holds \"lots\" where a whole number belongs",
         "DB SELECT Zandaka exec error: column Kingaku holds \"lots\" where a whole number belongs"},
        // Views never give a file tables: an empty file, one that holds no
        // card and one left by a store cut short all stay as they are.
        {"empty file", {}, "", "DB COUNT CardInfo exec error: no such table: CardInfo",
         "DB COUNT CardInfo exec error: no such table: CardInfo"},
        {"station database", {"CREATE TABLE Station ( Code INTEGER PRIMARY KEY, Eki TEXT );"}, nullptr,
         "DB COUNT CardInfo exec error: no such table: CardInfo", "DB COUNT CardInfo exec error: no such table: CardInfo"},
        {"CardInfo alone", {edyFile({})[0], "INSERT INTO CardInfo VALUES ( 1, 'A', 0 );"}, nullptr,
         "DB COUNT Rireki exec error: no such table: Rireki", "DB COUNT Rireki exec error: no such table: Rireki"},
        {"history table of too few columns",
         {edyFile({})[0], "CREATE TABLE Rireki ( TorihikiTsuuban INTEGER PRIMARY KEY, RiyouYmd INTEGER );",
          "INSERT INTO CardInfo VALUES ( 1, 'A', 0 );", "INSERT INTO Rireki VALUES ( 1, 20100401 );"},
         nullptr, "DB SELECT Rireki exec error: row 1: Rireki has 2 columns, at least 6 expected",
         "DB SELECT Zandaka exec error: Rireki has 2 columns, at least 6 expected"},
    };
    for (const ViewKind& v : kFileViews) {
        for (const BrokenFile& c : cases) {
            SCOPED_TRACE(std::string(v.name) + ": " + c.what);
            ViewsWorld w;
            const std::string file = w.cardFile("Edy_A.DB");
            if (c.rawContent) {
                writeFile(file, c.rawContent);
            } else {
                ASSERT_EQ(runSql(file, c.sql), "");
            }
            const std::string before = readFile(file);
            const Table shown = cells(w.host.table());

            EXPECT_FALSE((w.*v.run)("Edy_A.DB"));
            const std::string& expected = v.run == &ViewsWorld::history ? c.historyText : c.totalsText;
            EXPECT_EQ(w.DBErrorMessage, expected);
            EXPECT_EQ(w.host.messageBoxes(), std::vector<std::string>{expected});
            EXPECT_EQ(w.host.message(), v.waiting);
            EXPECT_FALSE(w.host.locked());
            EXPECT_EQ(w.host.lockCount(), w.host.unlockCount());
            EXPECT_TRUE(readFile(file) == before) << "a view wrote to the file";
            // Failures before the rows are laid out keep the previous view.
            if (expected.find("SELECT Rireki") == std::string::npos &&
                expected.find("Syuukei") == std::string::npos && expected.find("Zandaka") == std::string::npos) {
                EXPECT_EQ(cells(w.host.table()), shown);
            }
        }
    }
}

// A column left empty (SQL NULL) is read as 0, as the card file readers of
// the balance overview read it: every view shows such a file, none refuses
// it while another shows it.
TEST(FileViews, EmptyColumnsReadAsZeroInEveryView) {
    struct Case {
        const char* what;
        std::vector<std::string> sql;
        const char* issueLabel;
        const char* balanceLabel;
        std::vector<std::string> newestRow;  // history row 1
        std::vector<std::string> months;      // first column of the totals
        std::vector<std::string> balanceRow;  // the overview's row
    };
    const std::vector<Case> cases = {
        {"WAON payment without a charge value",
         {"CREATE TABLE CardInfo ( CardKind INTEGER, CardID TEXT, HakkouYmd INTEGER );",
          "CREATE TABLE Rireki ( TorihikiTsuuban INTEGER PRIMARY KEY, RiyouKubun INTEGER, RiyouYmd INTEGER, RiyouHms "
          "INTEGER, Kingaku INTEGER, Zangaku INTEGER, Charge INTEGER );",
          "INSERT INTO CardInfo VALUES ( 3, 'A', NULL );",
          "INSERT INTO Rireki VALUES ( 1, 4, 20100101, 93000, 100, 900, NULL );"},
         "", "残高：900 円", {"1", "2010/01/01 09:30:00", "支払い", "", "100", "900"}, {"2010/01"},
         {"WAON", "A", "2010/01/01", "900"}},
        {"Edy without an issue date or a balance",
         edyFile({"INSERT INTO CardInfo VALUES ( 1, 'A', NULL );",
                  "INSERT INTO Rireki VALUES ( 1, 32, 20100101, 93000, 100, NULL );"}),
         "作成年月日：", "残高：0 円", {"1", "2010/01/01 09:30:00", "支払い", "", "100", "0"}, {"2010/01"},
         {"Edy", "A", "2010/01/01", "0"}},
        // Month 0 is no calendar month: its cell is empty, and it has its row.
        {"Edy entries without a date",
         edyFile({"INSERT INTO CardInfo VALUES ( 1, 'A', 0 );",
                  "INSERT INTO Rireki VALUES ( 1, NULL, NULL, NULL, 100, 900 );",
                  "INSERT INTO Rireki VALUES ( 2, 32, 20100405, 0, 100, 800 );",
                  "INSERT INTO Rireki VALUES ( 3, 32, NULL, 0, 100, 700 );"}),
         "作成年月日：", "残高：700 円", {"3", "", "支払い", "", "100", "700"}, {"2010/04", ""},
         {"Edy", "A", "", "700"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ViewsWorld w;
        ASSERT_EQ(runSql(w.cardFile("X_A.DB"), c.sql), "");
        ASSERT_TRUE(w.history("X_A.DB")) << w.DBErrorMessage;
        EXPECT_EQ(cells(w.host.table())[1], c.newestRow);
        EXPECT_EQ(w.host.cardLabel(CardLabel::SakuseiYmd), c.issueLabel);
        EXPECT_EQ(w.host.cardLabel(CardLabel::Zandaka), c.balanceLabel);
        w.host.setCardLabel(CardLabel::Zandaka, "");
        ASSERT_TRUE(w.totals("X_A.DB")) << w.DBErrorMessage;
        EXPECT_EQ(w.host.cardLabel(CardLabel::Zandaka), c.balanceLabel);
        EXPECT_EQ(firstColumn(w.host.table()), c.months);
        ASSERT_TRUE(w.balances({"X_A.DB"})) << w.DBErrorMessage;
        EXPECT_EQ(cells(w.host.table())[1], c.balanceRow);
    }
}

TEST(FileViews, VanishedFileFailsAndNothingIsCreated) {
    for (const ViewKind& v : kFileViews) {
        SCOPED_TRACE(v.name);
        ViewsWorld w;
        const Table shown = cells(w.host.table());
        EXPECT_FALSE((w.*v.run)("Edy_GONE.DB"));
        EXPECT_EQ(w.host.messageBoxes(), std::vector<std::string>{"DB open error"});
        EXPECT_FALSE(fs::exists(w.cardFile("Edy_GONE.DB")));
        EXPECT_TRUE(fs::is_empty(w.dir / "RirekiDB"));
        EXPECT_EQ(cells(w.host.table()), shown);
        // And a folder where a card file belongs is no card file either.
        fs::create_directory(w.cardFile("Edy_DIR.DB"));
        EXPECT_FALSE((w.*v.run)("Edy_DIR.DB"));
        EXPECT_EQ(w.DBErrorMessage, "DB open error: " + w.cardFile("Edy_DIR.DB") + ": not a regular file");
    }
}

// A card file that is a link is refused everywhere with the reason, the engine follows no link and
// nothing changes where it leads (/dev/zero got a journal); a folder reached through a link is fine.
TEST(CardFiles, ALinkIsRefusedNotFollowed) {
    for (const bool device : {false, true}) {
        SCOPED_TRACE(device ? "link to a device" : "link to a card file");
        if (device && ::geteuid() != 0) continue;  // only root may make one
        ViewsWorld w;
        const fs::path target = w.dir / "target";
        if (!device) storeCard(target.string(), CardKindSF, "1", 0, {entry(1, 0x01, 20100105, 0, 1, 500)});
        ASSERT_TRUE(!device || ::mknod(target.c_str(), S_IFCHR | 0666, ::makedev(1, 5)) == 0);  // as /dev/zero
        const std::string link = w.cardFile("SF_1.DB"), refused = "DB open error: " + link + ": a symbolic link";
        fs::create_symlink(target, link);
        const std::string bytes = device ? "" : readFile(target);
        std::string message;
        EXPECT_EQ(insertRirekiDB(link, sfCard("1", {2}), message) ? "stored" : message, refused);
        for (const ViewKind& v : kFileViews) EXPECT_EQ((w.*v.run)("SF_1.DB") ? "shown" : w.DBErrorMessage, refused);
        EXPECT_EQ(w.balances({"SF_1.DB"}) ? "shown" : w.DBErrorMessage, refused);
        RirekiInfo stored;
        EXPECT_EQ(storedRirekiLookup(w.dir.str())("1", 1, stored), StoredRireki::Unreadable);
        sqlite3* db = nullptr;
        EXPECT_NE(bridge::rowgate_open_v2(link.c_str(), &db, bridge::OpenReadOnly | bridge::OpenNoFollow, nullptr), 0);
        bridge::rowgate_close(db);
        EXPECT_EQ(device ? "" : readFile(target), bytes);
        EXPECT_EQ(std::distance(fs::directory_iterator(w.dir.path()), {}), 2);  // RirekiDB, target
    }
    ViewsWorld w;
    fs::create_directory_symlink(w.dir / "RirekiDB", w.dir / "linked");
    std::string message;
    EXPECT_TRUE(insertRirekiDB((w.dir / "linked/SF_2.DB").string(), sfCard("2", {5}), message)) << message;
    EXPECT_TRUE(w.history("SF_2.DB")) << w.DBErrorMessage;
}

// A store cut short (a full disk, a kill) can leave a file without tables.
// Viewing it after start-up must not give it the layout of kind 0, after
// which its transit card could never be stored again.
TEST(FileViews, FileWithoutTablesIsLeftForItsCardToStore) {
    for (const ViewKind& v : kFileViews) {
        SCOPED_TRACE(v.name);
        ViewsWorld w;
        const std::string file = w.cardFile("SF_B.DB");
        writeFile(file, "");
        EXPECT_FALSE((w.*v.run)("SF_B.DB"));
        EXPECT_EQ(readFile(file), "");
        storeCard(file, CardKindSF, "B", 0, {entry(1, 0x02, 20100401, 0, 0, 1000, 1000)});
        EXPECT_EQ(query(file, "SELECT COUNT(*) FROM pragma_table_info('Rireki');"), (Rows{{"13"}}));
    }
}

// The table is sized by a count and filled by a second query; a row another
// process stores between the two must not push a row out of the table.
TEST(FileViews, TheTableHoldsTheRowsItsCountSaw) {
    const std::vector<std::string> shown[] = {{"2", "1"}, {"2010/05", "2010/04"}};
    const std::vector<std::string> after[] = {{"3", "2", "1"}, {"2010/06", "2010/05", "2010/04"}};
    for (size_t i = 0; i < std::size(kFileViews); ++i) {
        const ViewKind& v = kFileViews[i];
        SCOPED_TRACE(v.name);
        ViewsWorld w;
        const std::string file = w.cardFile("Edy_A.DB");
        storeCard(file, CardKindEdy, "A", 0, {entry(1, 0x20, 20100401, 0, 100, 900), entry(2, 0x20, 20100501, 0, 100, 800)});
        w.host.onNextMeasure = [&] {
            DbFile other;  // a second process that does not wait for locks
            ASSERT_TRUE(other.open(file, bridge::OpenReadWrite));
            ASSERT_TRUE(other.exec("PRAGMA busy_timeout = 0;"));
            other.exec("INSERT INTO Rireki VALUES ( 3, 32, 20100601, 0, 100, 700 );");
        };
        ASSERT_TRUE((w.*v.run)("Edy_A.DB")) << w.DBErrorMessage;
        EXPECT_EQ(firstColumn(w.host.table()), shown[i]);

        // Once the view is done the row can be stored, and the next view shows it.
        storeCard(file, CardKindEdy, "A", 0, {entry(3, 0x20, 20100601, 0, 100, 700)});
        ASSERT_TRUE((w.*v.run)("Edy_A.DB")) << w.DBErrorMessage;
        EXPECT_EQ(firstColumn(w.host.table()), after[i]);
    }
}

TEST(FileViews, NoSelectionDoesNothing) {
    ViewsWorld w;
    w.host.setMessage("before", ColourRed);
    EXPECT_FALSE(cmdRirekiHyouji_Click(w.ctx, w.dir.str(), std::nullopt));
    EXPECT_FALSE(cmdSyuukei_Click(w.ctx, w.dir.str(), std::nullopt));
    EXPECT_EQ(w.host.message(), "before");
    EXPECT_EQ(w.host.lockCount(), 0);
    EXPECT_TRUE(w.SortAscending);
}

// --- Monthly totals -----------------------------------------------------------

TEST(TotalsView, WaonMonthSumsChargesAndPaymentsWithRoundedAverages) {
    ViewsWorld w;
    const std::vector<RirekiInfo> entries = {
        entry(1, 0x0C, 20100401, 0, 0, 1000, 1000), entry(2, 0x0C, 20100402, 0, 0, 2000, 1000),
        entry(3, 0x0C, 20100403, 0, 0, 3000, 1000), entry(4, 0x04, 20100404, 0, 300, 2700),
        entry(5, 0x04, 20100405, 0, 300, 2400),     entry(6, 0x04, 20100406, 0, 300, 2100),
        entry(7, 0x04, 20100407, 0, 334, 1766),
        // A later month with a transaction carrying both sides.
        entry(8, 0x10, 20100501, 0, 5, 2761, 1000),
    };
    storeCard(w.cardFile("WAON_W.DB"), CardKindWaon, "W", 0, entries);
    ASSERT_TRUE(w.totals("WAON_W.DB")) << w.DBErrorMessage;
    EXPECT_EQ(cells(w.host.table()),
              (Table{{"取引年月", "入金合計", "入金回数", "入金平均額", "出金合計", "出金回数", "出金平均額"},
                     {"2010/05", "1,000", "1", "1,000", "5", "1", "5"},
                     {"2010/04", "3,000", "3", "1,000", "1,234", "4", "309"}}));
    EXPECT_EQ(w.host.table().tag(), "Syuukei");
    EXPECT_EQ(w.host.cardLabel(CardLabel::Zandaka), "残高：2,761 円");
    EXPECT_EQ(w.host.cardLabel(CardLabel::CardID), "WAON番号：W");
    EXPECT_EQ(w.host.message(), "月別集計情報を表示しました。");
    EXPECT_FALSE(w.SortAscending);
}

TEST(TotalsView, PrepaidKindsSortByUseKindAndMonthsRunNewestFirst) {
    ViewsWorld w;
    // Edy: 0x20 is the one payment code; 0x02 and an unlisted code are deposits.
    const std::vector<RirekiInfo> edy = {
        entry(1, 0x20, 20101201, 0, 1000, 9000), entry(2, 0x20, 20101215, 0, 2001, 6999),
        entry(3, 0x02, 20110105, 0, 500, 7499),  entry(4, 0x77, 20110106, 0, 2, 7501),
        entry(5, 0x20, 20110107, 0, 1, 7500),    entry(6, 0x20, 20090101, 0, 10, 100),
    };
    storeCard(w.cardFile("Edy_E.DB"), CardKindEdy, "E", 20080101, edy);
    ASSERT_TRUE(w.totals("Edy_E.DB")) << w.DBErrorMessage;
    EXPECT_EQ(cells(w.host.table()),
              (Table{{"取引年月", "入金合計", "入金回数", "入金平均額", "出金合計", "出金回数", "出金平均額"},
                     {"2011/01", "502", "2", "251", "1", "1", "1"},
                     {"2010/12", "0", "0", "0", "3,001", "2", "1,501"},
                     {"2009/01", "0", "0", "0", "10", "1", "10"}}));
    // The balance of the highest serial, not of the newest date.
    EXPECT_EQ(w.host.cardLabel(CardLabel::Zandaka), "残高：100 円");
    EXPECT_EQ(w.host.cardLabel(CardLabel::SakuseiYmd), "作成年月日：2008/01/01");

    // nanaco: 0x47 is the payment code.
    storeCard(w.cardFile("nanaco_N.DB"), CardKindNanaco, "N", 20080101,
              {entry(1, 0x47, 20100301, 0, 700, 300), entry(2, 0x35, 20100302, 0, 1000, 1300)});
    ASSERT_TRUE(w.totals("nanaco_N.DB")) << w.DBErrorMessage;
    EXPECT_EQ(cells(w.host.table())[1], (std::vector<std::string>{"2010/03", "1,000", "1", "1,000", "700", "1", "700"}));
}

TEST(TotalsView, TransitMonthOfGatePassesStillHasItsRow) {
    ViewsWorld w;
    storeCard(w.cardFile("SF_T.DB"), CardKindSF, "T", 0,
              {entry(1, 0x01, 20100601, 0, 0, 500), entry(2, 0x01, 20100602, 0, 0, 500),
               entry(3, 0x02, 20100701, 0, 0, 1500, 1000), entry(4, 0x01, 20100702, 0, 210, 1290)});
    ASSERT_TRUE(w.totals("SF_T.DB")) << w.DBErrorMessage;
    EXPECT_EQ(cells(w.host.table()),
              (Table{{"取引年月", "入金合計", "入金回数", "入金平均額", "出金合計", "出金回数", "出金平均額"},
                     {"2010/07", "1,000", "1", "1,000", "210", "1", "210"},
                     {"2010/06", "0", "0", "0", "0", "0", "0"}}));
}

TEST(TotalsView, ViewsAfterOneAnotherDoNotMixTheirMonths) {
    ViewsWorld w;
    storeCard(w.cardFile("Edy_A.DB"), CardKindEdy, "A", 0, {entry(1, 0x20, 20100101, 0, 100, 900)});
    storeCard(w.cardFile("Edy_B.DB"), CardKindEdy, "B", 0, {entry(1, 0x02, 20100201, 0, 40, 40)});
    ASSERT_TRUE(w.totals("Edy_A.DB"));
    ASSERT_TRUE(w.totals("Edy_B.DB"));
    EXPECT_EQ(cells(w.host.table())[1], (std::vector<std::string>{"2010/02", "40", "1", "40", "0", "0", "0"}));
    EXPECT_EQ(w.data.SyuukeiRow, 1);
}

// --- Balance overview ---------------------------------------------------------

TEST(BalanceView, LargestBalanceFirstEqualBalancesInListOrder) {
    ViewsWorld w;
    storeCard(w.cardFile("Edy_1.DB"), CardKindEdy, "1", 20090101, {entry(3, 0x20, 20100105, 0, 100, 500)});
    storeCard(w.cardFile("SF_2.DB"), CardKindSF, "2", 0, {entry(9, 0x01, 20101231, 0, 100, 12000)});
    storeCard(w.cardFile("WAON_3.DB"), CardKindWaon, "3", 0, {entry(1, 0x04, 20100230, 0, 1, 500)});
    w.card.CardKind = CardKindNanaco;
    w.card.CardID = "shown before";

    ASSERT_TRUE(w.balances({"Edy_1.DB", "SF_2.DB", "WAON_3.DB"})) << w.DBErrorMessage;
    EXPECT_EQ(cells(w.host.table()), (Table{{"カード種類", "カード番号", "最終取引年月日", "残高"},
                                            {"Suica/ICOCA等", "2", "2010/12/31", "12,000"},
                                            {"Edy", "1", "2010/01/05", "500"},
                                            // February 30th is no date: shown empty
                                            {"WAON", "3", "", "500"}}));
    EXPECT_EQ(w.host.table().tag(), "Zandaka");
    EXPECT_EQ(w.host.cardLabel(CardLabel::CardID), "カード枚数：3 枚");
    EXPECT_EQ(w.host.cardLabel(CardLabel::Zandaka), "残高合計：13,000 円");
    EXPECT_EQ(w.host.cardLabel(CardLabel::SakuseiYmd), "");
    EXPECT_EQ(w.host.message(), "カード残高を表示しました。");
    EXPECT_FALSE(w.SortAscending);
    // The overview leaves the values of the card on show alone.
    EXPECT_EQ(w.card.CardKind, CardKindNanaco);
    EXPECT_EQ(w.card.CardID, "shown before");
}

TEST(BalanceView, UnknownKindCountsAndLargeSumsAreGrouped) {
    ViewsWorld w;
    ASSERT_EQ(runSql(w.cardFile("X.DB"), edyFile({"INSERT INTO CardInfo VALUES ( 0, 'X', 0 );",
                                                 "INSERT INTO Rireki VALUES ( 1, 2, 20100101, 0, 1, 1234567 );"})),
              "");
    storeCard(w.cardFile("Edy_1.DB"), CardKindEdy, "1", 0, {entry(3, 0x20, 20100105, 0, 100, 2147483647)});
    ASSERT_TRUE(w.balances({"Edy_1.DB", "X.DB"})) << w.DBErrorMessage;
    EXPECT_EQ(cells(w.host.table())[2], (std::vector<std::string>{"", "X", "2010/01/01", "1,234,567"}));
    // Past 32 bits, still exact.
    EXPECT_EQ(w.host.cardLabel(CardLabel::Zandaka), "残高合計：2,148,718,214 円");
}

// A card read with no history (a new card) is shown but stored nowhere, so
// the overview of the files listed next still shows every card.
TEST(BalanceView, ACardReadWithoutHistoryLeavesTheOverviewWhole) {
    ViewsWorld w;
    storeCard(w.cardFile("Edy_1.DB"), CardKindEdy, "1", 0, {entry(1, 0x20, 20100105, 0, 100, 500)});
    storeCard(w.cardFile("Edy_2.DB"), CardKindEdy, "2", 20100101, {});
    std::vector<std::string> files;
    std::string error;
    ASSERT_TRUE(listCardFiles(rirekiFolder(w.dir.str()), files, error)) << error;
    ASSERT_TRUE(w.balances(files)) << w.DBErrorMessage;
    EXPECT_EQ(w.host.cardLabel(CardLabel::CardID), "カード枚数：1 枚");
}

TEST(BalanceView, FirstUnreadableFileEndsTheOverviewAndShowsNothingOfIt) {
    struct Case {
        const char* what;
        std::function<void(ViewsWorld&)> breakIt;
        std::function<std::string(ViewsWorld&)> text;
    };
    const std::vector<Case> cases = {
        {"no history",
         [](ViewsWorld& w) { ASSERT_EQ(runSql(w.cardFile("Edy_2.DB"), edyFile({"INSERT INTO CardInfo VALUES ( 1, '2', 0 );"})), ""); },
         [](ViewsWorld& w) { return "Rireki record not exist: " + w.cardFile("Edy_2.DB"); }},
        {"no card row",
         [](ViewsWorld& w) { ASSERT_EQ(runSql(w.cardFile("Edy_2.DB"), edyFile({"INSERT INTO Rireki VALUES ( 1, 2, 20100101, 0, 1, 1 );"})), ""); },
         [](ViewsWorld& w) { return "CardInfo record not exist: " + w.cardFile("Edy_2.DB"); }},
        {"vanished after listing", [](ViewsWorld&) {},
         [](ViewsWorld& w) { return "DB not exist: " + w.cardFile("Edy_2.DB"); }},
        // Text where a number belongs is never read as some other number.
        {"text as balance",
         [](ViewsWorld& w) {
             ASSERT_EQ(runSql(w.cardFile("Edy_2.DB"), edyFile({"INSERT INTO CardInfo VALUES ( 1, '2', 0 );",
                                                              "INSERT INTO Rireki VALUES ( 1, 2, 20100101, 0, 1, '12 yen' );"})),
                       "");
         },
         [](ViewsWorld& w) {
             return "DB SELECT Rireki exec error: " + w.cardFile("Edy_2.DB") +
                    ": column Zangaku holds \"12 yen\" where a whole number belongs";
         }},
        {"text as card kind",
         [](ViewsWorld& w) {
             ASSERT_EQ(runSql(w.cardFile("Edy_2.DB"), edyFile({"INSERT INTO CardInfo VALUES ( 'one', '2', 0 );",
                                                              "INSERT INTO Rireki VALUES ( 1, 2, 20100101, 0, 1, 5 );"})),
                       "");
         },
         [](ViewsWorld& w) {
             return "DB SELECT CardInfo exec error: " + w.cardFile("Edy_2.DB") +
                    ": column CardKind holds \"one\" where a whole number belongs";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ViewsWorld w;
        storeCard(w.cardFile("Edy_1.DB"), CardKindEdy, "1", 0, {entry(1, 0x20, 20100105, 0, 100, 500)});
        storeCard(w.cardFile("Edy_3.DB"), CardKindEdy, "3", 0, {entry(1, 0x20, 20100105, 0, 100, 700)});
        c.breakIt(w);
        w.host.setCardLabel(CardLabel::CardID, "card on show");
        const Table shown = cells(w.host.table());

        EXPECT_FALSE(w.balances({"Edy_1.DB", "Edy_2.DB", "Edy_3.DB"}));
        EXPECT_EQ(w.host.messageBoxes(), std::vector<std::string>{c.text(w)});
        EXPECT_EQ(cells(w.host.table()), shown);
        EXPECT_EQ(w.host.cardLabel(CardLabel::CardID), "card on show");
        EXPECT_EQ(w.host.message(), kBalanceWaiting);
        EXPECT_FALSE(w.host.locked());
        EXPECT_EQ(w.data.CardZandaka.size(), 2u);  // position 0 and the first card
    }
}

TEST(BalanceView, EmptyFileListChangesNothing) {
    ViewsWorld w;
    w.host.setMessage("before", ColourRed);
    const Table shown = cells(w.host.table());
    EXPECT_TRUE(w.balances({}));
    EXPECT_EQ(w.host.message(), "before");
    EXPECT_EQ(w.host.lockCount(), 0);
    EXPECT_EQ(cells(w.host.table()), shown);
    EXPECT_TRUE(w.SortAscending);
}

TEST(BalanceView, SortKeepsPositionZeroAndTheOrderOfEqualBalances) {
    std::vector<ZandakaInfo> cards = {{0, "never", 0, 999999}, {1, "a", 0, 5}, {1, "b", 0, 7}, {1, "c", 0, 5},
                                      {1, "d", 0, -3},         {1, "e", 0, 7}};
    sortZandaka(cards);
    std::vector<std::string> order;
    for (const auto& c : cards) order.push_back(c.CardID);
    EXPECT_EQ(order, (std::vector<std::string>{"never", "b", "e", "a", "c", "d"}));
    std::vector<ZandakaInfo> none;
    sortZandaka(none);  // no position 0 at all: nothing to do
    EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace tovani::test
