#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cards/card_data.h"
#include "store/db_files.h"
#include "support/temp_dir.h"
#include "view_support.h"
#include "views/card_display.h"

namespace tovani::test {
namespace {

using Texts = std::vector<std::string>;

class ShowCardInfo : public ::testing::Test {
protected:
    static RirekiInfo used(int32_t tsuuban, int32_t kubun, int32_t zangaku) {
        RirekiInfo e;
        e.TorihikiTsuuban = tsuuban;
        e.RiyouKubun = kubun;
        e.RiyouYmd = 20140101;
        e.Kingaku = 100;
        e.Zangaku = zangaku;
        return e;
    }
    std::string label(CardLabel l) const { return host.cardLabel(l); }

    FakeHost host;
    CardReadResults card;
    TempDir folder;  // no Station.DB: transit places read empty
    NameCaches caches;
    std::string DBErrorMessage;
    NameLookup names{folder.str(), caches, DBErrorMessage};
};

TEST_F(ShowCardInfo, LabelsPerCardKind) {
    struct Case {
        int32_t kind;
        int32_t hakkou;
        const char* cardId;
        const char* sakusei;
    };
    const Case cases[] = {
        {CardKindEdy, 20100401, "Edy番号：0123-4567-89AB-CDEF", "作成年月日：2010/04/01"},
        {CardKindNanaco, 20091231, "nanaco番号：0123-4567-89AB-CDEF", "作成年月日：2009/12/31"},
        {CardKindWaon, 20100401, "WAON番号：0123-4567-89AB-CDEF", ""},
        {CardKindSF, 20100401, "IDm番号：0123-4567-89AB-CDEF", ""},
        {CardKindEdy, 0, "Edy番号：0123-4567-89AB-CDEF", "作成年月日："},  // no date, no made-up one
        {CardKindNanaco, 20100230, "nanaco番号：0123-4567-89AB-CDEF", "作成年月日："},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        card.CardKind = c.kind;
        card.CardID = "0123-4567-89AB-CDEF";
        card.HakkouYmd = c.hakkou;
        card.CardRireki = {};
        card.CardRireki[0] = used(5, c.kind == CardKindSF ? 0x16 : 0x20, 1234567);
        showCardInfo(host, card, names);
        EXPECT_EQ(label(CardLabel::CardID), c.cardId);
        EXPECT_EQ(label(CardLabel::Zandaka), "残高：1,234,567 円");
        EXPECT_EQ(label(CardLabel::SakuseiYmd), c.sakusei);
        EXPECT_EQ(host.grid.tag(), "Rireki");
        EXPECT_EQ(host.grid.cols(), c.kind == CardKindSF ? 8 : 6);
        EXPECT_EQ(host.grid.rows(), 2);
    }
}

TEST_F(ShowCardInfo, UsedEntriesFillRowsNewestFirstAndTheBalanceIsTheNewest) {
    card.CardKind = CardKindEdy;
    card.CardID = "0000-0000-0000-0001";
    card.CardRireki[2] = used(30, 0x20, 8500);
    card.CardRireki[3] = used(29, 0x02, 10000);
    card.CardRireki[5] = used(27, 0x20, -20);
    card.CardRireki[6] = used(99, 0x20, 1);  // past Edy's six slots: not looked at
    showCardInfo(host, card, names);
    EXPECT_EQ(label(CardLabel::Zandaka), "残高：8,500 円");
    ASSERT_EQ(host.grid.rows(), 4);
    EXPECT_EQ(host.grid.text(1, 0), "30");
    EXPECT_EQ(host.grid.text(2, 0), "29");
    EXPECT_EQ(host.grid.text(3, 0), "27");
    EXPECT_EQ(host.grid.text(3, 5), "-20");
}

TEST_F(ShowCardInfo, NoUsedEntryShowsZeroAndOneEmptyRow) {
    card.CardKind = CardKindSF;
    card.CardID = "0101-0101-0101-0101";
    card.CardRireki[0] = used(1, 0, 777);  // use kind 0: an empty slot
    host.grid.setRows(9);
    host.grid.setCols(3);
    host.grid.setText(4, 1, "earlier view");
    showCardInfo(host, card, names);
    EXPECT_EQ(label(CardLabel::Zandaka), "残高：0 円");
    EXPECT_EQ(label(CardLabel::SakuseiYmd), "");
    EXPECT_EQ(host.grid.rows(), 2);
    EXPECT_EQ(rowTexts(host.grid, 1), Texts(8, ""));
}

// The oldest entry's amount hangs on the stored history; when that could not
// be read the amount is unknown and must not show as a payment of 0.
TEST_F(ShowCardInfo, AnUnknownTransitAmountShowsEmpty) {
    card.CardKind = CardKindSF;
    card.CardID = "0101-0101-0101-0101";
    card.CardRireki[0] = used(12, 0x16, 900);
    card.CardRireki[1] = used(11, 0x16, 1000);
    card.CardRireki[1].Kingaku = 0;
    card.AmountUnknown[1] = true;
    showCardInfo(host, card, names);
    ASSERT_EQ(host.grid.rows(), 3);
    EXPECT_EQ(host.grid.text(1, 6), "100");
    EXPECT_EQ(host.grid.text(2, 5), "");
    EXPECT_EQ(host.grid.text(2, 6), "");
    EXPECT_EQ(host.grid.text(2, 7), "1,000");  // the balance is the card's own
}

TEST_F(ShowCardInfo, AnUnknownKindKeepsTheCardLabel) {
    host.setCardLabel(CardLabel::CardID, "before");
    card.CardKind = 7;
    showCardInfo(host, card, names);
    EXPECT_EQ(label(CardLabel::CardID), "before");
    EXPECT_EQ(label(CardLabel::Zandaka), "残高：0 円");
    EXPECT_EQ(host.grid.rows(), 2);
}

// A table with the given tag and data rows in one column; other cells empty.
ResultTable tableOf(const char* tag, int cols, int col, const Texts& cells) {
    ResultTable t;
    t.setCols(cols);
    t.setRows(static_cast<int>(cells.size()) + 1);
    t.setTag(tag);
    t.setText(0, col, "header");
    for (size_t i = 0; i < cells.size(); ++i) {
        t.setText(static_cast<int>(i) + 1, col, cells[i]);
        t.setText(static_cast<int>(i) + 1, cols - 1 == col ? 0 : cols - 1, "row" + std::to_string(i));
    }
    t.setCurrentCol(col);
    return t;
}

Texts column(const ResultTable& t, int col) {
    Texts out;
    for (int r = 1; r < t.rows(); ++r) out.push_back(t.text(r, col));
    return out;
}

TEST(SortByClick, EachViewColumnSortsItsOwnWay) {
    struct Case {
        const char* what;
        const char* tag;
        int32_t kind;
        int cols, col;
        Texts cells;
        Texts ascending;  // after the first click; unchanged when the column is not sorted
    };
    const Texts amounts = {"1,200", "", "-300", "95"};
    const Texts amountsUp = {"-300", "", "95", "1,200"};
    const Texts numbers = {"10", "9", "100"};
    const Texts texts = {"b", "B", "a", "10"};
    const Texts textsUp = {"10", "B", "a", "b"};
    const Case cases[] = {
        {"Edy serial", "Rireki", CardKindEdy, 6, 0, numbers, {"9", "10", "100"}},
        {"serial that is no number", "Rireki", CardKindSF, 8, 0, {"5", "nan", "-1"}, {"-1", "nan", "5"}},
        {"Edy date", "Rireki", CardKindEdy, 6, 1, texts, textsUp},
        {"Edy deposit", "Rireki", CardKindEdy, 6, 3, amounts, amountsUp},
        {"Edy balance", "Rireki", CardKindEdy, 6, 5, amounts, amountsUp},
        {"no kind is not transit", "Rireki", CardKindNone, 6, 4, amounts, amountsUp},
        {"transit entry place", "Rireki", CardKindSF, 8, 3, texts, textsUp},
        {"transit exit place", "Rireki", CardKindSF, 8, 4, amounts, {"", "-300", "1,200", "95"}},
        {"transit deposit", "Rireki", CardKindSF, 8, 5, amounts, amountsUp},
        {"transit balance", "Rireki", CardKindSF, 8, 7, amounts, amountsUp},
        {"month", "Syuukei", CardKindWaon, 7, 0, {"2011/01", "2010/12"}, {"2010/12", "2011/01"}},
        {"monthly count", "Syuukei", CardKindSF, 7, 2, numbers, {"9", "10", "100"}},
        {"monthly average", "Syuukei", CardKindEdy, 7, 6, amounts, amountsUp},
        {"card number", "Zandaka", CardKindEdy, 4, 1, texts, textsUp},
        {"card balance", "Zandaka", CardKindSF, 4, 3, amounts, amountsUp},
        {"Zandaka column 4 is not listed", "Zandaka", CardKindSF, 5, 4, amounts, amounts},
        {"unknown tag", "Other", CardKindEdy, 6, 3, amounts, amounts},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResultTable t = tableOf(c.tag, c.cols, c.col, c.cells);
        bool ascendingNext = false;
        EXPECT_EQ(sortByClick(t, ascendingNext, c.kind), 0);
        EXPECT_TRUE(ascendingNext);
        EXPECT_EQ(column(t, c.col), c.ascending);
        EXPECT_EQ(t.text(0, c.col), "header");
        // The second click turns the order round (or again leaves it).
        EXPECT_EQ(sortByClick(t, ascendingNext, c.kind), 0);
        EXPECT_FALSE(ascendingNext);
        Texts down = c.ascending;
        if (c.ascending != c.cells) std::reverse(down.begin(), down.end());
        EXPECT_EQ(column(t, c.col), down);
    }
}

TEST(SortByClick, RowsMoveWholeAndEqualAmountsKeepTheirOrder) {
    ResultTable t = tableOf("Zandaka", 4, 3, {"500", "12,000", "500.0", "0500"});
    bool asc = true;  // next click sorts descending
    sortByClick(t, asc, CardKindEdy);
    EXPECT_EQ(column(t, 3), (Texts{"12,000", "500", "500.0", "0500"}));
    EXPECT_EQ(column(t, 0), (Texts{"row1", "row0", "row2", "row3"}));
}

TEST(SortByClick, TextsThatAreNoNumberGoLastInBothDirections) {
    ResultTable t = tableOf("Syuukei", 7, 1, {"abc", "20", "-", "1,0,0", "3円"});
    bool asc = false;
    EXPECT_EQ(sortByClick(t, asc, CardKindEdy), 3);
    EXPECT_EQ(column(t, 1), (Texts{"20", "1,0,0", "abc", "-", "3円"}));
    EXPECT_EQ(sortByClick(t, asc, CardKindEdy), 3);
    EXPECT_EQ(column(t, 1), (Texts{"1,0,0", "20", "abc", "-", "3円"}));
}

TEST(SortByClick, AClickOutsideTheColumnsOnlyFlipsTheDirection) {
    ResultTable t = tableOf("Rireki", 6, 3, {"2", "1"});
    t.setCurrentCol(-1);
    bool asc = false;
    sortByClick(t, asc, CardKindEdy);
    EXPECT_TRUE(asc);
    t.setCurrentCol(6);
    sortByClick(t, asc, CardKindEdy);
    EXPECT_FALSE(asc);
    EXPECT_EQ(column(t, 3), (Texts{"2", "1"}));
}

TEST(CardFileList, ListsCardFilesSortedWithoutRegardToLetterCase) {
    TempDir program;
    const std::string folder = rirekiFolder(program.str());
    std::vector<std::string> names;
    std::string error;
    // First call: the folder is made.
    ASSERT_TRUE(listCardFiles(folder, names, error)) << error;
    EXPECT_TRUE(names.empty());
    ASSERT_TRUE(std::filesystem::is_directory(folder));

    for (const char* name : {"SF_0101.DB", "Edy_B.DB", "edy_a.DB", "Edy_A.DB", "nanaco_1.DB", "WAON_9.DB",
                             "_x.DB", "x.db", "x.DB.bak", ".hidden.DB", ".DB", "notes.txt"}) {
        writeFile(std::filesystem::path(folder) / name, "");
    }
    std::filesystem::create_directory(std::filesystem::path(folder) / "folder.DB");
    // Links where the system lets a user make them (not under Wine).
    std::error_code noLinks;
    std::filesystem::create_symlink("SF_0101.DB", std::filesystem::path(folder) / "link.DB", noLinks);
    std::filesystem::create_symlink("missing.DB", std::filesystem::path(folder) / "dangling.DB", noLinks);

    ASSERT_TRUE(listCardFiles(folder, names, error)) << error;
    Texts expected{"Edy_A.DB", "edy_a.DB", "Edy_B.DB", "link.DB", "nanaco_1.DB", "SF_0101.DB", "WAON_9.DB", "_x.DB"};
    if (noLinks) expected.erase(expected.begin() + 3);
    // Where file names fold case (Windows), Edy_A and edy_a are one file,
    // listed under either name.
    if (std::filesystem::equivalent(std::filesystem::path(folder) / "Edy_A.DB", std::filesystem::path(folder) / "edy_a.DB")) {
        const auto oneFile = [](const std::string& n) { return n == "Edy_A.DB" || n == "edy_a.DB"; };
        std::erase_if(expected, oneFile);
        EXPECT_EQ(std::erase_if(names, oneFile), 1u);
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(error, "");
}

TEST(CardFileList, AFolderThatCannotBeMadeIsReported) {
    TempDir program;
    writeFile(program / "RirekiDB", "a file in the way");
    std::vector<std::string> names{"stale"};
    std::string error;
    EXPECT_FALSE(listCardFiles(rirekiFolder(program.str()), names, error));
    EXPECT_TRUE(names.empty());
    EXPECT_NE(error.find(rirekiFolder(program.str())), std::string::npos) << error;

    EXPECT_FALSE(listCardFiles((program / "RirekiDB" / "below").string(), names, error));
    EXPECT_NE(error, "");
}

TEST(CardFileList, SelectsTheFileOfTheCardJustRead) {
    const Texts names = {"Edy_0123-4567-89AB-CDEF.DB", "edy_0123-4567-89ab-cdef.DB", "SF_0101-0101-0101-0101.DB"};
    struct Case {
        Texts list;
        int32_t kind;
        const char* cardId;
        int selected;
    };
    const Case cases[] = {
        {{}, CardKindEdy, "", -1},
        {{}, CardKindEdy, "0123-4567-89AB-CDEF", -1},
        {names, CardKindNone, "", 0},
        {names, CardKindEdy, "0123-4567-89AB-CDEF", 0},
        {names, CardKindSF, "0101-0101-0101-0101", 2},
        {names, CardKindEdy, "0123-4567-89ab-cdef", -1},  // exact case only
        {names, CardKindNanaco, "0123-4567-89AB-CDEF", -1},
        {names, CardKindNone, "0123-4567-89AB-CDEF", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " " + c.cardId);
        EXPECT_EQ(selectedCardFile(c.list, c.kind, c.cardId), c.selected);
    }
}

}  // namespace
}  // namespace tovani::test
