// The window's behaviour driven through a card's life on the virtual reader,
// its failures, its layout and placement, and sorting by click, over a window
// without a toolkit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "database/db_access.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "views/card_display.h"
#include "views/rireki_rows.h"
#include "window_support.h"

namespace fs = std::filesystem;
using namespace tovani;
using tovani::shell::Control;
using tovani::test::kAskForCard;
using tovani::test::kShown;
using tovani::test::readFile;
using tovani::test::WindowRig;
using tovani::test::writeFile;

namespace tovani {
void PrintTo(const PixelRect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ", " << r.width << ", " << r.height << ")";
}
}  // namespace tovani

namespace {

std::vector<long> numbers(std::vector<std::string> cells) {
    std::vector<long> v;
    for (auto& c : cells) {
        c.erase(std::remove(c.begin(), c.end(), ','), c.end());
        v.push_back(c.empty() ? 0 : std::stol(c));
    }
    return v;
}

}  // namespace

TEST(Window, StartUpWithoutReaderShowsTheErrorAndNeverPolls) {
    WindowRig rig(false);
    auto& w = rig.start();
    auto& win = rig.window();

    EXPECT_EQ(win.caption, "Tovani Viewer 2.0.0.1");
    // The failed open's text, in red.
    const auto expected = errorMessageText(w.Reader, w.Reader.LastErrorType);
    ASSERT_TRUE(expected.has_value() && !expected->empty());
    EXPECT_EQ(w.message(), *expected);
    EXPECT_EQ(w.messageColour(), ColourRed);
    // An empty history header of six columns and one empty row.
    EXPECT_EQ(w.Table.cols(), 6);
    EXPECT_EQ(w.Table.rows(), 2);
    EXPECT_EQ(w.Table.text(0, 0), "取引通番");
    for (const auto& cell : test::column(w.Table, 0)) EXPECT_EQ(cell, "");
    EXPECT_FALSE(win.enabled(Control::cmdReset));
    EXPECT_FALSE(win.timerOn);
    // The hidden import button, the folder made for card files.
    EXPECT_FALSE(win.visible(Control::cmdCSVtoDB));
    EXPECT_TRUE(win.visible(Control::cmdZandaka));
    EXPECT_TRUE(folderExists(rirekiFolder(rig.programDir())));
    EXPECT_TRUE(win.files.empty());
    EXPECT_EQ(win.selection, -1);
    EXPECT_TRUE(rig.boxes().empty());
}

TEST(Window, ACardsLifeOnTheReader) {
    WindowRig rig;
    int overviews = 0;
    auto& w = rig.start();
    auto& win = rig.window();
    EXPECT_TRUE(win.timerOn);
    EXPECT_EQ(win.interval, 1000);
    EXPECT_TRUE(win.files.empty());  // no card files yet: nothing selected
    EXPECT_EQ(win.selection, -1);
    EXPECT_FALSE(win.enabled(Control::cmdReset));
    w.Views.Zandaka = [&] { ++overviews; };
    w.cmdZandaka_Click();
    EXPECT_EQ(overviews, 1);

    rig.tick();
    EXPECT_EQ(w.message(), kAskForCard);
    EXPECT_EQ(w.messageColour(), ColourBlue);
    EXPECT_TRUE(win.timerOn);

    // Laid on: shown, stored, its file listed and selected.
    rig.laySample("transit.json");
    rig.tick();
    EXPECT_EQ(w.message(), kShown);
    EXPECT_EQ(w.messageColour(), ColourBlue);
    EXPECT_EQ(w.Card.CardKind, CardKindSF);
    EXPECT_EQ(rig.text(Control::lblCardID), "IDm番号：" + w.Card.CardID);
    EXPECT_EQ(w.cardLabel(CardLabel::CardID), rig.text(Control::lblCardID));
    EXPECT_TRUE(rig.text(Control::lblZandaka).starts_with("残高："));
    EXPECT_EQ(rig.text(Control::lblSakuseiYmd), "");
    EXPECT_EQ(w.Table.cols(), 8);
    EXPECT_GT(w.Table.rows(), 2);
    // Widths in "A" letters of the window's font: 8 pixels, 120 twips each.
    EXPECT_EQ(w.Table.colWidth(1), 20 * 120);
    const std::string file = rig.cardFile();
    const int stored = test::storedRows(file);
    EXPECT_EQ(stored, w.Table.rows() - 1);
    EXPECT_EQ(win.selectedFile(), fs::path(file).filename().string());
    EXPECT_TRUE(win.timerOn);
    EXPECT_TRUE(win.enabled(Control::cmdRirekiHyouji));  // unlocked again
    EXPECT_TRUE(rig.boxes().empty());

    // Left on: neither shown nor stored again (the file removed by hand stays
    // gone, a sorted table keeps its order).
    w.grdRireki_Click(0);
    const auto sorted = test::column(w.Table, 0);
    fs::rename(file, file + ".away");
    for (int i = 0; i < 3; ++i) rig.tick();
    EXPECT_EQ(w.message(), kShown);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(test::column(w.Table, 0), sorted);
    fs::rename(file + ".away", file);

    // Lifted and laid on again: asked for, then read again, nothing doubled.
    rig.lift();
    rig.tick();
    EXPECT_EQ(w.message(), kAskForCard);
    rig.laySample("transit.json");
    rig.tick();
    EXPECT_EQ(w.message(), kShown);
    EXPECT_EQ(test::storedRows(file), stored);
    EXPECT_EQ(win.files.size(), 1u);

    // Another card: both files listed, the new one selected.
    rig.laySample("edy.json");
    rig.tick();
    EXPECT_EQ(w.Card.CardKind, CardKindEdy);
    EXPECT_EQ(win.files.size(), 2u);
    EXPECT_EQ(win.selectedFile(), "Edy_" + w.Card.CardID + ".DB");
    EXPECT_TRUE(rig.text(Control::lblSakuseiYmd).starts_with("作成年月日："));
    EXPECT_EQ(w.Table.cols(), 6);

    // A card the program does not read: red, polling goes on.
    rig.laySample("unsupported-system.json");
    rig.tick();
    EXPECT_EQ(w.message(), "Edy/nanaco/WAON/Suica/ICOCA等のカードではありません。");
    EXPECT_EQ(w.messageColour(), ColourRed);
    EXPECT_TRUE(win.timerOn);
    EXPECT_TRUE(rig.boxes().empty());
}

TEST(Window, ReaderUnpluggedDuringPollingAndRestart) {
    WindowRig rig;
    auto& w = rig.start();
    auto& win = rig.window();
    rig.tick();
    EXPECT_EQ(w.message(), kAskForCard);

    rig.unplug();
    rig.tick();
    EXPECT_TRUE(win.enabled(Control::cmdReset));
    EXPECT_FALSE(win.timerOn);

    // A restart that works: the button goes grey, the line empty, polling resumes.
    rig.plugIn();
    w.DBErrorMessage = "old failure";
    w.cmdReset_Click();
    EXPECT_FALSE(win.enabled(Control::cmdReset));
    EXPECT_TRUE(win.timerOn);
    EXPECT_EQ(w.message(), "");
    EXPECT_EQ(w.DBErrorMessage, "");
    rig.laySample("transit.json");
    rig.tick();
    EXPECT_EQ(w.message(), kShown);

    // A restart that fails leaves the button disabled: the program must be started again.
    rig.unplug();
    rig.tick();
    EXPECT_TRUE(win.enabled(Control::cmdReset));
    fs::remove_all(rig.readerDir());
    w.cmdReset_Click();
    EXPECT_FALSE(win.enabled(Control::cmdReset));
    EXPECT_FALSE(win.timerOn);
    EXPECT_EQ(w.messageColour(), ColourRed);
    EXPECT_NE(w.message(), "");
}

TEST(Window, StoreFailuresAreShownAndPollingGoesOn) {
    {
        // A card file that is not a database: the box says why, the card stays
        // shown, the file is left as it was, and polling goes on.
        WindowRig rig;
        auto& w = rig.start();
        auto& win = rig.window();
        rig.laySample("transit.json");
        rig.tick();
        const std::string file = rig.cardFile();
        rig.lift();
        rig.tick();
        const std::string garbage(4096, 'x');
        writeFile(file, garbage);
        rig.laySample("transit.json");
        rig.tick();
        ASSERT_EQ(rig.boxes().size(), 1u);
        EXPECT_TRUE(rig.boxes()[0].starts_with("DB ")) << rig.boxes()[0];
        EXPECT_EQ(w.message(), kShown);
        EXPECT_EQ(rig.text(Control::lblCardID), "IDm番号：" + w.Card.CardID);
        EXPECT_GT(w.Table.rows(), 2);
        EXPECT_TRUE(win.timerOn);
        EXPECT_TRUE(win.enabled(Control::cmdRirekiHyouji));
        EXPECT_EQ(readFile(file), garbage);
        EXPECT_EQ(win.selectedFile(), fs::path(file).filename().string());

        // The window closed while the box waits: polling stays off for good.
        rig.lift();
        rig.tick();
        win.whileBoxShown = [&] { w.Form_Unload(); };
        rig.laySample("transit.json");
        rig.tick();
        EXPECT_EQ(rig.boxes().size(), 2u);
        EXPECT_FALSE(win.timerOn);
        EXPECT_FALSE(w.Reader.ReaderWriterOpened);
    }
    {
        // RirekiDB is a file: said once at start-up; cards are shown, not
        // stored, and no read claims otherwise.
        WindowRig rig;
        writeFile(rig.programDir() + "/RirekiDB", "not a folder");
        auto& w = rig.start();
        const std::vector<std::string> said{"Data folder error: " + rig.programDir() + "/RirekiDB: not a folder"};
        EXPECT_EQ(rig.boxes(), said);
        EXPECT_TRUE(rig.window().timerOn);
        for (const char* card : {"transit.json", "edy.json"}) {
            rig.laySample(card);
            rig.tick();
            EXPECT_EQ(w.message(), "Not stored: " + said[0]);
            EXPECT_EQ(w.messageColour(), ColourRed);
            EXPECT_NE(rig.text(Control::lblCardID), "");
        }
        EXPECT_EQ(rig.boxes(), said);
        EXPECT_TRUE(rig.window().timerOn);
        EXPECT_EQ(readFile(rig.programDir() + "/RirekiDB"), "not a folder");
    }
}

TEST(Window, ReadOnlyCardFolderFailsTheStore) {
    // A read-only RirekiDB: the store fails with its text, polling goes on.
    WindowRig rig;
    auto& w = rig.start();
    const std::string folder = rirekiFolder(rig.programDir());
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    struct Restore {
        std::string folder;
        ~Restore() { fs::permissions(folder, fs::perms::owner_all); }
    } restore{folder};
    if (FILE* probe = std::fopen((folder + "/probe").c_str(), "w")) {
        std::fclose(probe);
        GTEST_SKIP() << "running with rights that ignore a read-only folder";
    }
    rig.laySample("transit.json");
    rig.tick();
    ASSERT_EQ(rig.boxes().size(), 1u);
    EXPECT_TRUE(rig.boxes()[0].starts_with("DB ")) << rig.boxes()[0];
    EXPECT_EQ(w.message(), kShown);
    EXPECT_TRUE(rig.window().timerOn);
}

TEST(Window, EntriesLeftOutForABusyFileWaitForTheNextRead) {
    WindowRig rig;
    auto& w = rig.start();
    rig.laySample("transit.json");
    rig.tick();
    const std::string file = rig.cardFile();
    DbFile holder;  // the oldest entry gone, its amount needs the file
    ASSERT_TRUE(holder.open(file, bridge::OpenReadWrite));
    ASSERT_TRUE(holder.exec("DELETE FROM Rireki WHERE TorihikiTsuuban = (SELECT MIN(TorihikiTsuuban) FROM Rireki);"));
    rig.lift();
    rig.tick();
    // Held past the engine's wait while the read looks the history up; let
    // go when the read's message line is painted, before the store.
    ASSERT_TRUE(holder.exec("BEGIN EXCLUSIVE;"));
    bool released = false;
    rig.window().onMessage = [&] {
        if (!std::exchange(released, true)) holder.exec("COMMIT;");
    };
    for (int waiting : {1, 0}) {  // the next read stores it
        rig.laySample("transit.json");
        rig.tick();
        EXPECT_EQ(w.message(), waiting ? waitingEntriesMessage(waiting) : kShown);
        EXPECT_EQ(w.messageColour(), waiting ? ColourRed : ColourBlue);
        EXPECT_EQ(test::storedRows(file), 20 - waiting);
        EXPECT_EQ(rig.text(Control::lblCardID), "IDm番号：" + w.Card.CardID);
        EXPECT_TRUE(rig.boxes().empty() && rig.window().timerOn);
        rig.lift();
        rig.tick();
    }
}

TEST(Window, LayoutFollowsResize) {
    WindowRig rig;
    rig.start();
    auto& win = rig.window();
    // 96 dpi: the frame 6735 x 2415 twips is 449 x 161 pixels, the line 25 high.
    for (const auto& [width, height] : {std::pair{900, 700}, {1600, 420}, {300, 200}, {100, 50}}) {
        win.place = {10, 20, width, height};
        rig.w().Form_Resize();
        EXPECT_EQ(win.places[Control::fraInfo], (PixelRect{0, 0, 449, 161}));
        EXPECT_EQ(win.places[Control::lblMess], (PixelRect{0, height - 25, width, 25}));
        EXPECT_EQ(win.places[Control::grdRireki], (PixelRect{0, 161, width, std::max(0, height - 161 - 25)}));
    }
}

TEST(Window, PlacementIsStoredOnCloseAndTakenAtStart) {
    WindowRig rig;
    // First start: top left, designed client size; the file is written on close.
    rig.start();
    EXPECT_EQ(rig.window().place, (PixelRect{0, 0, 608, 325}));
    rig.window().place = {80, 60, 624, 366};  // moved and resized by the user
    rig.close();
    const std::string ini = readFile(rig.iniPath());
    for (const char* key : {"[Setting]", "Left=1200", "Top=900", "Width=9360", "Height=5490"})
        EXPECT_NE(ini.find(key), std::string::npos) << ini;

    // Next start: the same place and size.
    rig.start();
    EXPECT_EQ(rig.window().place, (PixelRect{80, 60, 624, 366}));
    rig.close();
    EXPECT_EQ(readFile(rig.iniPath()), ini);  // no drift from one start to the next
}

// On two screens (1280 x 800 primary, 1024 x 768 to its right) at 96 dpi, 15
// twips a pixel: designed 608 x 325, smallest 449 x 186.
TEST(Window, PlacementFromBadSettingsFiles) {
    const PixelRect centred{336, 237, 608, 325};  // the designed size on the primary screen
    const struct {
        const char* what;
        std::string content;
        PixelRect expected;
    } cases[] = {
        {"garbage", "\x01\xff\xfe garbage\n=\n[[[\nLeft\n", {0, 0, 608, 325}},
        {"not numbers", "[Setting]\nLeft=abc\nTop=\nWidth=x9\nHeight=-\n", {0, 0, 449, 186}},
        {"only the size", "[Setting]\nWidth=7200\nHeight=4320\n", {0, 0, 480, 288}},
        {"other section", "[Other]\nLeft=1440\n[Setting]\nTop=1440\n", {0, 96, 608, 325}},
        {"negative", "[Setting]\nLeft=-1440\nTop=-720\nWidth=-100\nHeight=-5\n", {-96, -48, 449, 186}},
        {"tiny", "[Setting]\nLeft=1200\nTop=900\nWidth=15\nHeight=15\n", {80, 60, 449, 186}},
        {"second screen", "[Setting]\nLeft=21000\nTop=1500\nWidth=9360\nHeight=5490\n", {1400, 100, 624, 366}},
        {"far off", "[Setting]\nLeft=-2000000\nTop=0\nWidth=9360\nHeight=5490\n", centred},
        {"unplugged screen", "[Setting]\nLeft=40000\nTop=1500\n", centred},
        {"50 pixels showing", "[Setting]\nTop=11250\n", {0, 750, 608, 325}},
        {"49 pixels showing", "[Setting]\nTop=11265\n", centred},
        {"wider than every screen", "[Setting]\nWidth=99999999999\n", {0, 0, 1280, 325}},
        {"taller than its screen", "[Setting]\nLeft=21000\nTop=1500\nWidth=9360\nHeight=99999\n",
         {1400, 0, 624, 768}},
        {"huge", "[Setting]\nLeft=2147483647\nTop=-2147483648\nWidth=2147483647\nHeight=99999999\n", centred},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WindowRig rig(false);
        writeFile(rig.iniPath(), c.content);
        rig.start();
        EXPECT_EQ(rig.window().place, c.expected);
        rig.close();
        // The place shown is the one kept, not the one the file held.
        const std::string ini = readFile(rig.iniPath());
        for (const std::string& key :
             {"Left=" + std::to_string(c.expected.left * 15), "Top=" + std::to_string(c.expected.top * 15),
              "Width=" + std::to_string(c.expected.width * 15), "Height=" + std::to_string(c.expected.height * 15)})
            EXPECT_NE(ini.find(key + "\n"), std::string::npos) << ini;
    }
    // A window system that names no screen: the place as stored, no smaller
    // than the frame and the message line.
    WindowRig rig(false);
    rig.screens.clear();
    writeFile(rig.iniPath(), "[Setting]\nLeft=40000\nTop=1500\nWidth=15\n");
    rig.start();
    EXPECT_EQ(rig.window().place, (PixelRect{2667, 100, 449, 325}));
}

TEST(Window, SortByClickKeepsTheHeaderAndFlipsDirection) {
    WindowRig rig(false);
    auto& w = rig.start();
    w.Card.CardKind = CardKindSF;
    ResultTable& t = w.Table;
    setRirekiGrid(w, t, 3, w.Card.CardKind);
    const std::vector<std::string> amounts{"1,200", "", "-300"};
    for (int r = 1; r <= 3; ++r) {
        t.setText(r, 0, std::to_string(r * 10));
        t.setText(r, 5, amounts[size_t(r - 1)]);
    }
    const std::string header = t.text(0, 5);

    w.grdRireki_Click(5);
    EXPECT_EQ(test::column(t, 5), (std::vector<std::string>{"-300", "", "1,200"}));
    EXPECT_EQ(t.text(0, 5), header);
    EXPECT_TRUE(w.SortAscending);
    w.grdRireki_Click(5);
    EXPECT_EQ(test::column(t, 5), (std::vector<std::string>{"1,200", "", "-300"}));
    EXPECT_FALSE(w.SortAscending);

    // Numbers as numbers; the header moves nowhere.
    w.grdRireki_Click(0);
    EXPECT_EQ(test::column(t, 0), (std::vector<std::string>{"10", "20", "30"}));
    EXPECT_EQ(t.text(0, 0), "取引通番");

    // While locked the table takes no clicks.
    w.lockControls();
    w.grdRireki_Click(0);
    EXPECT_EQ(test::column(t, 0), (std::vector<std::string>{"10", "20", "30"}));
    EXPECT_FALSE(rig.window().enabled(Control::cmdZandaka));
    w.unlockControls();
    EXPECT_TRUE(rig.window().enabled(Control::cmdZandaka));
}

TEST(Window, MessageLineForEachReadState) {
    // Each state over a green line the state may or may not replace.
    struct Case {
        const char* what;
        int state;
        int32_t errorType;
        std::string text;  // empty: the line is left as it was
        Rgb colour;
    };
    const Rgb green{0, 128, 0};
    const Case cases[] = {
        {"error with a text", ReadStateError, 1000, "", ColourRed},
        {"last error with a text", ReadStateError, 1097, "", ColourRed},
        {"error below the texts", ReadStateError, 999, "", green},
        {"error past the texts", ReadStateError, 1098, "", green},
        {"no error type", ReadStateError, 0, "", green},
        {"read", ReadStateRead, 0, kShown, ColourBlue},
        {"no card", ReadStateNoCard, 0, kAskForCard, ColourBlue},
        {"same card", ReadStateSameCard, 0, "", green},
        {"not supported", ReadStateNotSupported, 0, "Edy/nanaco/WAON/Suica/ICOCA等のカードではありません。", ColourRed},
        {"a value no read gives", 9, 0, "", green},
    };
    WindowRig rig(false);
    auto& w = rig.start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        w.setMessage("before", green);
        w.Reader.LastErrorType = c.errorType;
        const int paints = rig.window().paints;
        w.showReadState(static_cast<ReadState>(c.state));
        std::string expected = c.text.empty() ? "before" : c.text;
        if (c.state == ReadStateError && c.colour == ColourRed) expected = *errorMessageText(w.Reader, c.errorType);
        EXPECT_EQ(w.message(), expected);
        EXPECT_EQ(rig.text(Control::lblMess), expected);
        EXPECT_EQ(w.messageColour(), c.colour);
        EXPECT_EQ(rig.window().messageColour, c.colour);
        EXPECT_EQ(rig.window().paints, paints + 1);  // painted at once, whatever the state
    }
}

TEST(Window, ViewButtonsFillTheTableWithTheirViews) {
    WindowRig rig;
    auto& w = rig.start();
    auto& win = rig.window();
    // No card files yet: the start-up overview leaves the empty history table.
    EXPECT_EQ(w.Table.tag(), "Rireki");
    EXPECT_EQ(w.Table.rows(), 2);
    for (const char* sample : {"edy.json", "transit.json"}) {
        rig.laySample(sample);
        rig.tick();
        EXPECT_EQ(w.message(), kShown);
    }
    EXPECT_EQ(win.files.size(), 2u);
    const std::string transitFile = rig.cardFile();
    const int transitRows = test::storedRows(transitFile);
    rig.lift();
    rig.tick();

    // History of the selected file (the card read last), newest first; a
    // click on the serial column sorts it ascending.
    w.SortAscending = true;
    w.cmdRirekiHyouji_Click();
    EXPECT_EQ(w.message(), "履歴情報を表示しました。");
    EXPECT_EQ(w.Table.tag(), "Rireki");
    EXPECT_EQ(w.Table.cols(), 8);
    EXPECT_EQ(w.Table.rows(), transitRows + 1);
    EXPECT_FALSE(w.SortAscending);
    auto serials = numbers(test::column(w.Table, 0));
    EXPECT_TRUE(std::is_sorted(serials.rbegin(), serials.rend()));
    w.grdRireki_Click(0);
    serials = numbers(test::column(w.Table, 0));
    EXPECT_TRUE(std::is_sorted(serials.begin(), serials.end()));
    EXPECT_TRUE(win.enabled(Control::cmdRirekiHyouji));

    // Monthly totals of the same file; the deposit sum sorts as amounts.
    w.cmdSyuukei_Click();
    EXPECT_EQ(w.message(), "月別集計情報を表示しました。");
    EXPECT_EQ(w.Table.tag(), "Syuukei");
    EXPECT_EQ(w.Table.cols(), 7);
    EXPECT_EQ(w.Table.text(0, 6), "出金平均額");
    EXPECT_GE(w.Table.rows(), 2);
    w.grdRireki_Click(4);
    auto payments = numbers(test::column(w.Table, 4));
    EXPECT_TRUE(std::is_sorted(payments.begin(), payments.end()));
    w.grdRireki_Click(4);
    payments = numbers(test::column(w.Table, 4));
    EXPECT_TRUE(std::is_sorted(payments.rbegin(), payments.rend()));

    // Balances of both files, largest first; a click sorts them ascending.
    w.cmdZandaka_Click();
    EXPECT_EQ(w.message(), "カード残高を表示しました。");
    EXPECT_EQ(w.Table.tag(), "Zandaka");
    EXPECT_EQ(w.Table.rows(), 3);
    EXPECT_EQ(rig.text(Control::lblCardID), "カード枚数：2 枚");
    EXPECT_TRUE(rig.text(Control::lblZandaka).starts_with("残高合計："));
    auto balances = numbers(test::column(w.Table, 3));
    EXPECT_TRUE(std::is_sorted(balances.rbegin(), balances.rend()));
    w.grdRireki_Click(3);
    balances = numbers(test::column(w.Table, 3));
    EXPECT_TRUE(std::is_sorted(balances.begin(), balances.end()));
    EXPECT_TRUE(rig.boxes().empty());

    // A file removed after it was listed: a message box, nothing made anew,
    // the waiting text stays and the window stays usable.
    fs::remove(transitFile);
    w.cmdRirekiHyouji_Click();
    EXPECT_EQ(rig.boxes(), std::vector<std::string>{"DB open error"});
    EXPECT_EQ(w.message(), "履歴情報を読み込んでいます。しばらくお待ちください。");
    EXPECT_FALSE(fs::exists(transitFile));
    EXPECT_TRUE(win.enabled(Control::cmdRirekiHyouji));
    EXPECT_EQ(w.Table.tag(), "Zandaka");

    // The entry the user chose is the one shown.
    win.selection = 0;
    w.cmdRirekiHyouji_Click();
    EXPECT_EQ(w.Table.cols(), 6);
    EXPECT_TRUE(rig.text(Control::lblCardID).starts_with("Edy番号："));

    // The next start runs the overview over the files that are left.
    auto& again = rig.start();
    EXPECT_EQ(again.Table.tag(), "Zandaka");
    EXPECT_EQ(rig.text(Control::lblCardID), "カード枚数：1 枚");
    EXPECT_EQ(again.message(), "カード残高を表示しました。");
}

// A card file copied in under a name that is no UTF-8 (a legal Linux name)
// is opened by its own bytes, not by the text the list shows.
TEST(Window, AFileNameThatIsNoUtf8StillOpens) {
    WindowRig rig;
    auto& w = rig.start();
    rig.laySample("edy.json");
    rig.tick();
    const fs::path odd = fs::path(rig.cardFile()).parent_path() / "Edy_caf\xe9.DB";
    fs::rename(rig.cardFile(), odd);
    w.setRirekiFileList();
    ASSERT_EQ(rig.window().files, std::vector<std::string>{"Edy_caf\xe9.DB"});
    rig.window().selection = 0;

    w.cmdRirekiHyouji_Click();
    EXPECT_EQ(w.message(), "履歴情報を表示しました。");
    w.cmdZandaka_Click();
    EXPECT_EQ(rig.text(Control::lblCardID), "カード枚数：1 枚");
    EXPECT_TRUE(rig.boxes().empty()) << (rig.boxes().empty() ? "" : rig.boxes().front());
}
