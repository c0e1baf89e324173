// The real window driven through a card's life on the virtual reader, its
// failures, its layout and placement, and sorting by click.

#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "database/db_access.h"
#include "shell/result_table_model.h"
#include "views/card_display.h"
#include "views/rireki_rows.h"
#include "shell/twips.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "window_support.h"

namespace fs = std::filesystem;
using namespace tovani;
using tovani::test::WindowRig;
using tovani::test::kAskForCard;
using tovani::test::kShown;

namespace {

std::string text(const QLabel* l) { return l->text().toStdString(); }

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeText(const std::string& path, const std::string& content) { std::ofstream(path) << content; }

// Runs act at the first paint of the widget it filters.
struct AtFirstPaint : QObject {
    std::function<void()> act;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && act) std::exchange(act, nullptr)();
        return false;
    }
};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void startUpWithoutReaderShowsTheErrorAndNeverPolls();
    void aCardsLifeOnTheReader();
    void readerUnpluggedDuringPollingAndRestart();
    void storeFailuresAreShownAndPollingGoesOn();
    void readOnlyCardFolderFailsTheStore();
    void entriesLeftOutForABusyFileWaitForTheNextRead();
    void layoutFollowsResize();
    void placementIsStoredOnCloseAndTakenAtStart();
    void placementFromBadSettingsFiles_data();
    void placementFromBadSettingsFiles();
    void sortByClickKeepsTheHeaderAndFlipsDirection();
    void aDoubleClickIsOneClick_data();
    void messageLineForEachReadState();
    void aDoubleClickIsOneClick();
    void lockedFillOfManyRowsIsOneReset();
    void viewButtonsFillTheTableWithTheirViews();
    void labelsShowTheirTextsLiterally();
    void aFileNameThatIsNoUtf8StillOpens();
};

void WindowTest::startUpWithoutReaderShowsTheErrorAndNeverPolls() {
    WindowRig rig(false);
    auto& w = rig.start();

    QCOMPARE(w.windowTitle(), QStringLiteral("Tovani Viewer 2.0.0.1"));
    // The failed open's text, in red.
    const auto expected = errorMessageText(w.Reader, w.Reader.LastErrorType);
    QVERIFY(expected.has_value() && !expected->empty());
    QCOMPARE(w.message(), *expected);
    QCOMPARE(w.messageColour(), ColourRed);
    QCOMPARE(rig.label("lblMess")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    // An empty history header of six columns and one empty row.
    QCOMPARE(w.Table.cols(), 6);
    QCOMPARE(w.Table.rows(), 2);
    QCOMPARE(w.Table.text(0, 0), std::string("取引通番"));
    QCOMPARE(rig.grid()->model()->rowCount(), 1);
    QCOMPARE(rig.grid()->model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("残高"));
    for (const auto& cell : test::column(w.Table, 0)) QCOMPARE(cell, std::string());
    QVERIFY(!rig.button("cmdReset")->isEnabled());
    QVERIFY(!rig.timer()->isActive());
    // The fixed texts, the hidden import button, the folder made for card files.
    QCOMPARE(text(rig.label("lblRireki")), std::string("履歴ファイル"));
    QCOMPARE(rig.button("cmdRirekiHyouji")->text(), QStringLiteral("全履歴表示"));
    QCOMPARE(rig.button("cmdSyuukei")->text(), QStringLiteral("月別集計"));
    QCOMPARE(rig.button("cmdZandaka")->text(), QStringLiteral("全カード残高"));
    QCOMPARE(rig.button("cmdReset")->text(), QStringLiteral("再読込"));
    QVERIFY(rig.button("cmdCSVtoDB")->isHidden());
    QVERIFY(folderExists(rirekiFolder(rig.programDir())));
    QCOMPARE(rig.files()->count(), 0);
    QCOMPARE(rig.files()->currentIndex(), -1);
    QVERIFY(rig.boxes.empty());
    // Japanese texts need the IPA fonts in place of the fonts asked for.
    QCOMPARE(QFontInfo(rig.label("lblMess")->font()).family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(QFontInfo(rig.grid()->font()).family(), QStringLiteral("IPAGothic"));
}

void WindowTest::aCardsLifeOnTheReader() {
    WindowRig rig;
    int overviews = 0;
    auto& w = rig.start();
    QVERIFY(rig.timer()->isActive());
    QCOMPARE(rig.timer()->interval(), 1000);
    QCOMPARE(rig.files()->count(), 0);  // no card files yet: nothing selected
    QCOMPARE(rig.files()->currentIndex(), -1);
    QVERIFY(!rig.button("cmdReset")->isEnabled());
    w.Views.Zandaka = [&] { ++overviews; };
    rig.button("cmdZandaka")->click();
    QCOMPARE(overviews, 1);

    rig.tick();
    QCOMPARE(w.message(), kAskForCard);
    QCOMPARE(w.messageColour(), ColourBlue);
    QVERIFY(rig.timer()->isActive());

    // Laid on: shown, stored, its file listed and selected.
    rig.laySample("transit.json");
    rig.tick();
    QCOMPARE(w.message(), kShown);
    QCOMPARE(w.messageColour(), ColourBlue);
    QCOMPARE(w.Card.CardKind, CardKindSF);
    QCOMPARE(text(rig.label("lblCardID")), "IDm番号：" + w.Card.CardID);
    QVERIFY(text(rig.label("lblZandaka")).starts_with("残高："));
    QCOMPARE(text(rig.label("lblSakuseiYmd")), std::string());
    QCOMPARE(w.Table.cols(), 8);
    QVERIFY(w.Table.rows() > 2);
    QCOMPARE(rig.grid()->model()->rowCount(), w.Table.rows() - 1);
    for (int c = 0; c < w.Table.cols(); ++c) {  // the layout's widths reach the view
        QVERIFY(w.Table.colWidth(c) > 0);
        QCOMPARE(rig.grid()->columnWidth(c), shell::twipsToPixels(w.Table.colWidth(c), rig.grid()->logicalDpiX()));
    }
    const std::string file = rig.cardFile();
    const int stored = test::storedRows(file);
    QCOMPARE(stored, w.Table.rows() - 1);
    QCOMPARE(rig.files()->currentText().toStdString(), fs::path(file).filename().string());
    QVERIFY(rig.timer()->isActive());
    QVERIFY(rig.label("lblCardID")->parentWidget()->isEnabled());  // unlocked again
    QVERIFY(rig.boxes.empty());

    // Left on: neither shown nor stored again (the file removed by hand stays
    // gone, a sorted table keeps its order).
    rig.grid()->horizontalHeader()->sectionClicked(0);
    const auto sorted = test::column(w.Table, 0);
    fs::rename(file, file + ".away");
    for (int i = 0; i < 3; ++i) rig.tick();
    QCOMPARE(w.message(), kShown);
    QVERIFY(!fs::exists(file));
    QCOMPARE(test::column(w.Table, 0), sorted);
    fs::rename(file + ".away", file);

    // Lifted and laid on again: asked for, then read again, nothing doubled.
    rig.lift();
    rig.tick();
    QCOMPARE(w.message(), kAskForCard);
    rig.laySample("transit.json");
    rig.tick();
    QCOMPARE(w.message(), kShown);
    QCOMPARE(test::storedRows(file), stored);
    QCOMPARE(rig.files()->count(), 1);

    // Another card: both files listed, the new one selected.
    rig.laySample("edy.json");
    rig.tick();
    QCOMPARE(w.Card.CardKind, CardKindEdy);
    QCOMPARE(rig.files()->count(), 2);
    QCOMPARE(rig.files()->currentText().toStdString(), "Edy_" + w.Card.CardID + ".DB");
    QVERIFY(text(rig.label("lblSakuseiYmd")).starts_with("作成年月日："));
    QCOMPARE(w.Table.cols(), 6);

    // A card the program does not read: red, polling goes on.
    rig.laySample("unsupported-system.json");
    rig.tick();
    QCOMPARE(w.message(), std::string("Edy/nanaco/WAON/Suica/ICOCA等のカードではありません。"));
    QCOMPARE(w.messageColour(), ColourRed);
    QVERIFY(rig.timer()->isActive());
    QVERIFY(rig.boxes.empty());
}

void WindowTest::readerUnpluggedDuringPollingAndRestart() {
    WindowRig rig;
    auto& w = rig.start();
    rig.tick();
    QCOMPARE(w.message(), kAskForCard);

    rig.unplug();
    rig.tick();
    QVERIFY(rig.button("cmdReset")->isEnabled());
    QVERIFY(!rig.timer()->isActive());

    // A restart that works: the button goes grey, the line empty, polling resumes.
    rig.plugIn();
    w.DBErrorMessage = "old failure";
    QTest::mouseClick(rig.button("cmdReset"), Qt::LeftButton);
    QVERIFY(!rig.button("cmdReset")->isEnabled());
    QVERIFY(rig.timer()->isActive());
    QCOMPARE(w.message(), std::string());
    QCOMPARE(w.DBErrorMessage, std::string());
    rig.laySample("transit.json");
    rig.tick();
    QCOMPARE(w.message(), kShown);

    // A restart that fails leaves the button disabled: the program must be started again.
    rig.unplug();
    rig.tick();
    QVERIFY(rig.button("cmdReset")->isEnabled());
    fs::remove_all(rig.readerDir());
    rig.button("cmdReset")->click();
    QVERIFY(!rig.button("cmdReset")->isEnabled());
    QVERIFY(!rig.timer()->isActive());
    QCOMPARE(w.messageColour(), ColourRed);
    QVERIFY(!w.message().empty());
}

void WindowTest::storeFailuresAreShownAndPollingGoesOn() {
    {
        // A card file that is not a database: the box says why, the card stays
        // shown, the file is left as it was, and polling goes on.
        WindowRig rig;
        auto& w = rig.start();
        rig.laySample("transit.json");
        rig.tick();
        const std::string file = rig.cardFile();
        rig.lift();
        rig.tick();
        const std::string garbage(4096, 'x');
        writeText(file, garbage);
        rig.laySample("transit.json");
        rig.tick();
        QCOMPARE(rig.boxes.size(), size_t(1));
        QVERIFY2(rig.boxes[0].starts_with("DB "), rig.boxes[0].c_str());
        QCOMPARE(w.message(), kShown);
        QCOMPARE(text(rig.label("lblCardID")), "IDm番号：" + w.Card.CardID);
        QVERIFY(w.Table.rows() > 2);
        QVERIFY(rig.timer()->isActive());
        QVERIFY(rig.label("lblCardID")->parentWidget()->isEnabled());
        QCOMPARE(readText(file), garbage);
        QCOMPARE(rig.files()->currentText().toStdString(), fs::path(file).filename().string());

        // The window closed while the box waits: polling stays off for good.
        rig.lift();
        rig.tick();
        rig.whileBoxShown = [&] { w.close(); };
        rig.laySample("transit.json");
        rig.tick();
        QCOMPARE(rig.boxes.size(), size_t(2));
        QVERIFY(!rig.timer()->isActive());
        QVERIFY(!w.Reader.ReaderWriterOpened);
    }
    {
        // RirekiDB is a file: said once at start-up; cards are shown, not
        // stored, and no read claims otherwise.
        WindowRig rig;
        writeText(rig.programDir() + "/RirekiDB", "not a folder");
        auto& w = rig.start();
        const std::vector<std::string> said{"Data folder error: " + rig.programDir() + "/RirekiDB: not a folder"};
        QCOMPARE(rig.boxes, said);
        QVERIFY(rig.timer()->isActive());
        for (const char* card : {"transit.json", "edy.json"}) {
            rig.laySample(card);
            rig.tick();
            QCOMPARE(w.message(), "Not stored: " + said[0]);
            QCOMPARE(w.messageColour(), ColourRed);
            QVERIFY(!text(rig.label("lblCardID")).empty());
        }
        QCOMPARE(rig.boxes, said);
        QVERIFY(rig.timer()->isActive());
        QCOMPARE(readText(rig.programDir() + "/RirekiDB"), std::string("not a folder"));
    }
}

void WindowTest::readOnlyCardFolderFailsTheStore() {
    // A read-only RirekiDB: the store fails with its text, polling goes on.
    WindowRig rig;
    auto& w = rig.start();
    const std::string folder = rirekiFolder(rig.programDir());
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    struct Restore {
        std::string folder;
        ~Restore() { fs::permissions(folder, fs::perms::owner_all); }
    } restore{folder};
    if (QFile(QString::fromStdString(folder + "/probe")).open(QIODevice::WriteOnly))
        QSKIP("running with rights that ignore a read-only folder");
    rig.laySample("transit.json");
    rig.tick();
    QCOMPARE(rig.boxes.size(), size_t(1));
    QVERIFY2(rig.boxes[0].starts_with("DB "), rig.boxes[0].c_str());
    QCOMPARE(w.message(), kShown);
    QVERIFY(rig.timer()->isActive());
}

void WindowTest::entriesLeftOutForABusyFileWaitForTheNextRead() {
    WindowRig rig;
    auto& w = rig.start();
    rig.laySample("transit.json");
    rig.tick();
    const std::string file = rig.cardFile();
    DbFile holder;  // the oldest entry gone, its amount needs the file
    QVERIFY(holder.open(file, bridge::OpenReadWrite));
    QVERIFY(holder.exec("DELETE FROM Rireki WHERE TorihikiTsuuban = (SELECT MIN(TorihikiTsuuban) FROM Rireki);"));
    rig.lift();
    rig.tick();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Held past the engine's wait while the read looks the history up; let
    // go when the read's message line is painted, before the store.
    QVERIFY(holder.exec("BEGIN EXCLUSIVE;"));
    AtFirstPaint release;
    release.act = [&] { holder.exec("COMMIT;"); };
    rig.label("lblMess")->installEventFilter(&release);
    for (int waiting : {1, 0}) {  // the next read stores it
        rig.laySample("transit.json");
        rig.tick();
        QCOMPARE(w.message(), waiting ? waitingEntriesMessage(waiting) : kShown);
        QCOMPARE(w.messageColour(), waiting ? ColourRed : ColourBlue);
        QCOMPARE(test::storedRows(file), 20 - waiting);
        QCOMPARE(text(rig.label("lblCardID")), "IDm番号：" + w.Card.CardID);
        QVERIFY(rig.boxes.empty() && rig.timer()->isActive());
        rig.lift();
        rig.tick();
    }
}

void WindowTest::layoutFollowsResize() {
    WindowRig rig;
    auto& w = rig.start();
    const int dpiX = w.logicalDpiX(), dpiY = w.logicalDpiY();
    auto* frame = rig.label("lblCardID")->parentWidget();
    const QSize frameSize(shell::twipsToPixels(6735, dpiX), shell::twipsToPixels(2415, dpiY));
    const int messH = shell::twipsToPixels(375, dpiY);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (const QSize size : {QSize(900, 700), QSize(1600, 420), QSize(300, 200), QSize(100, 50)}) {
        w.resize(size);
        QCOMPARE(frame->geometry(), QRect(QPoint(0, 0), frameSize));
        QCOMPARE(rig.label("lblMess")->geometry(), QRect(0, size.height() - messH, size.width(), messH));
        const int tableH = std::max(0, size.height() - frameSize.height() - messH);
        QCOMPARE(rig.grid()->geometry(), QRect(0, frameSize.height(), size.width(), tableH));
    }
}

void WindowTest::placementIsStoredOnCloseAndTakenAtStart() {
    WindowRig rig;
    // First start: top left, designed client size; the file is written on close.
    auto& first = rig.start();
    QCOMPARE(first.pos(), QPoint(0, 0));
    QCOMPARE(first.size(), QSize(shell::twipsToPixels(9120, first.logicalDpiX()),
                                 shell::twipsToPixels(4875, first.logicalDpiY())));
    first.move(shell::twipsToPixels(1200, first.logicalDpiX()), shell::twipsToPixels(900, first.logicalDpiY()));
    first.resize(shell::twipsToPixels(9360, first.logicalDpiX()), shell::twipsToPixels(5490, first.logicalDpiY()));
    rig.close();
    const std::string ini = readText(rig.iniPath());
    for (const char* key : {"[Setting]", "Left=1200", "Top=900", "Width=9360", "Height=5490"})
        QVERIFY2(ini.find(key) != std::string::npos, ini.c_str());

    // Next start: the same place and size.
    auto& second = rig.start();
    QCOMPARE(second.pos(), QPoint(shell::twipsToPixels(1200, second.logicalDpiX()),
                                  shell::twipsToPixels(900, second.logicalDpiY())));
    QCOMPARE(second.size(), QSize(shell::twipsToPixels(9360, second.logicalDpiX()),
                                  shell::twipsToPixels(5490, second.logicalDpiY())));
    rig.close();
    QCOMPARE(readText(rig.iniPath()), ini);  // no drift from one start to the next
}

// On the two screens of screens.json (1280 x 800 primary, 1024 x 768 to its
// right) at 96 dpi, 15 twips a pixel: designed 608 x 325, smallest 449 x 186.
void WindowTest::placementFromBadSettingsFiles_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<QRect>("expected");  // place and size in pixels
    const QRect centred(336, 237, 608, 325);  // the designed size on the primary screen
    QTest::newRow("garbage") << "\x01\xff\xfe garbage\n=\n[[[\nLeft\n" << QRect(0, 0, 608, 325);
    QTest::newRow("not numbers") << "[Setting]\nLeft=abc\nTop=\nWidth=x9\nHeight=-\n" << QRect(0, 0, 449, 186);
    QTest::newRow("only the size") << "[Setting]\nWidth=7200\nHeight=4320\n" << QRect(0, 0, 480, 288);
    QTest::newRow("other section") << "[Other]\nLeft=1440\n[Setting]\nTop=1440\n" << QRect(0, 96, 608, 325);
    QTest::newRow("negative") << "[Setting]\nLeft=-1440\nTop=-720\nWidth=-100\nHeight=-5\n" << QRect(-96, -48, 449, 186);
    QTest::newRow("tiny") << "[Setting]\nLeft=1200\nTop=900\nWidth=15\nHeight=15\n" << QRect(80, 60, 449, 186);
    QTest::newRow("second screen") << "[Setting]\nLeft=21000\nTop=1500\nWidth=9360\nHeight=5490\n"
                                   << QRect(1400, 100, 624, 366);
    QTest::newRow("far off") << "[Setting]\nLeft=-2000000\nTop=0\nWidth=9360\nHeight=5490\n" << centred;
    QTest::newRow("unplugged screen") << "[Setting]\nLeft=40000\nTop=1500\n" << centred;
    QTest::newRow("50 pixels showing") << "[Setting]\nTop=11250\n" << QRect(0, 750, 608, 325);
    QTest::newRow("49 pixels showing") << "[Setting]\nTop=11265\n" << centred;
    QTest::newRow("wider than every screen") << "[Setting]\nWidth=99999999999\n" << QRect(0, 0, 1280, 325);
    QTest::newRow("taller than its screen") << "[Setting]\nLeft=21000\nTop=1500\nWidth=9360\nHeight=99999\n"
                                            << QRect(1400, 0, 624, 768);
    QTest::newRow("huge") << "[Setting]\nLeft=2147483647\nTop=-2147483648\nWidth=2147483647\nHeight=99999999\n"
                          << centred;
}

void WindowTest::placementFromBadSettingsFiles() {
    QFETCH(QString, content);
    QFETCH(QRect, expected);
    WindowRig rig;
    writeText(rig.iniPath(), content.toStdString());
    auto& w = rig.start();
    const auto screens = QGuiApplication::screens();
    if (screens.size() != 2 || screens[0]->geometry() != QRect(0, 0, 1280, 800) || w.logicalDpiX() != 96 ||
        w.logicalDpiY() != 96)
        QSKIP("needs the screens of screens.json");
    QCOMPARE(QRect(w.pos(), w.size()), expected);
    rig.close();
    // The place shown is the one kept, not the one the file held.
    const std::string ini = readText(rig.iniPath());
    for (const std::string& key : {"Left=" + std::to_string(expected.x() * 15), "Top=" + std::to_string(expected.y() * 15),
                                  "Width=" + std::to_string(expected.width() * 15),
                                  "Height=" + std::to_string(expected.height() * 15)})
        QVERIFY2(ini.find(key + "\n") != std::string::npos, ini.c_str());
}

void WindowTest::sortByClickKeepsTheHeaderAndFlipsDirection() {
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
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // Real clicks on a cell of column 5.
    auto clickColumn = [&](int col) {
        QTableView* grid = rig.grid();
        const QRect cell = grid->visualRect(grid->model()->index(0, col));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    };
    clickColumn(5);
    QCOMPARE(test::column(t, 5), (std::vector<std::string>{"-300", "", "1,200"}));
    QCOMPARE(t.text(0, 5), header);
    QVERIFY(w.SortAscending);
    clickColumn(5);
    QCOMPARE(test::column(t, 5), (std::vector<std::string>{"1,200", "", "-300"}));
    QVERIFY(!w.SortAscending);
    QCOMPARE(rig.grid()->model()->data(rig.grid()->model()->index(0, 5)).toString(), QStringLiteral("1,200"));

    // Amounts right, texts left, both centred vertically, header as its column.
    const auto* model = rig.grid()->model();
    const int right = int(Qt::AlignRight | Qt::AlignVCenter), left = int(Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(model->data(model->index(0, 5), Qt::TextAlignmentRole).toInt(), right);
    QCOMPARE(model->data(model->index(0, 1), Qt::TextAlignmentRole).toInt(), left);
    QCOMPARE(model->headerData(5, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), right);

    // Numbers as numbers; the header of the view moves nowhere.
    clickColumn(0);
    QCOMPARE(test::column(t, 0), (std::vector<std::string>{"10", "20", "30"}));
    QCOMPARE(rig.grid()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("取引通番"));

    // While locked the table takes no clicks.
    w.lockControls();
    clickColumn(0);
    QCOMPARE(test::column(t, 0), (std::vector<std::string>{"10", "20", "30"}));
    w.unlockControls();
}

void WindowTest::aDoubleClickIsOneClick_data() {
    QTest::addColumn<bool>("onHeader");
    QTest::newRow("header") << true;
    QTest::newRow("cell") << false;
}

void WindowTest::aDoubleClickIsOneClick() {
    // A double click is one click followed by the double click: it sorts
    // once, as a single click does.
    QFETCH(bool, onHeader);
    WindowRig rig(false);
    auto& w = rig.start();
    setRirekiGrid(w, w.Table, 3, CardKindEdy);
    for (int r = 1; r <= 3; ++r) w.Table.setText(r, 0, std::to_string(40 - r * 10));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTableView* grid = rig.grid();
    QWidget* target = onHeader ? grid->horizontalHeader()->viewport() : grid->viewport();
    const QPoint at = onHeader ? QPoint(grid->horizontalHeader()->sectionViewportPosition(0) + 5,
                                        grid->horizontalHeader()->height() / 2)
                               : grid->visualRect(grid->model()->index(0, 0)).center();
    // What the window system delivers: press, release, press, double click, release.
    QTest::mouseClick(target, Qt::LeftButton, {}, at);
    QTest::mousePress(target, Qt::LeftButton, {}, at);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, target->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(target, &dbl);
    QTest::mouseRelease(target, Qt::LeftButton, {}, at);
    QVERIFY(w.SortAscending);
    QCOMPARE(test::column(w.Table, 0), (std::vector<std::string>{"10", "20", "30"}));
}

void WindowTest::messageLineForEachReadState() {
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
        w.setMessage("before", green);
        w.Reader.LastErrorType = c.errorType;
        w.showReadState(static_cast<ReadState>(c.state));
        std::string expected = c.text.empty() ? "before" : c.text;
        if (c.state == ReadStateError && c.colour == ColourRed)
            expected = *errorMessageText(w.Reader, c.errorType);
        QVERIFY2(w.message() == expected, c.what);
        QVERIFY2(w.messageColour() == c.colour, c.what);
    }
}

void WindowTest::lockedFillOfManyRowsIsOneReset() {
    WindowRig rig(false);
    auto& w = rig.start();
    auto* model = qobject_cast<shell::ResultTableModel*>(rig.grid()->model());
    QVERIFY(model);
    int resets = 0, cellSignals = 0;
    connect(model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    connect(model, &QAbstractItemModel::dataChanged, [&] { ++cellSignals; });
    w.lockControls();
    setRirekiGrid(w, w.Table, 100000, CardKindSF);
    for (int r = 1; r <= 100000; ++r) w.Table.setText(r, 0, std::to_string(r));
    QCOMPARE(model->rowCount(), 1);  // the view still sees the old shape
    w.unlockControls();
    QCOMPARE(resets, 1);
    QCOMPARE(cellSignals, 0);
    QCOMPARE(model->rowCount(), 100000);
    QCOMPARE(model->data(model->index(99999, 0)).toString(), QStringLiteral("100000"));
    // One cell changed outside the lock is one cell signal, no reset.
    w.Table.setText(5, 0, "x");
    QCOMPARE(resets, 1);
    QCOMPARE(cellSignals, 1);
}

void WindowTest::viewButtonsFillTheTableWithTheirViews() {
    WindowRig rig;
    auto& w = rig.start();
    // No card files yet: the start-up overview leaves the empty history table.
    QCOMPARE(w.Table.tag(), std::string("Rireki"));
    QCOMPARE(w.Table.rows(), 2);
    for (const char* sample : {"edy.json", "transit.json"}) {
        rig.laySample(sample);
        rig.tick();
        QCOMPARE(w.message(), kShown);
    }
    QCOMPARE(rig.files()->count(), 2);
    const std::string transitFile = rig.cardFile();
    const int transitRows = test::storedRows(transitFile);
    rig.lift();
    rig.tick();

    auto clickColumn = [&](int col) { rig.grid()->horizontalHeader()->sectionClicked(col); };
    auto numbers = [](std::vector<std::string> cells) {
        std::vector<long> v;
        for (auto& c : cells) {
            c.erase(std::remove(c.begin(), c.end(), ','), c.end());
            v.push_back(c.empty() ? 0 : std::stol(c));
        }
        return v;
    };

    // History of the selected file (the card read last), newest first; a
    // click on the serial column sorts it ascending.
    w.SortAscending = true;
    rig.button("cmdRirekiHyouji")->click();
    QCOMPARE(w.message(), std::string("履歴情報を表示しました。"));
    QCOMPARE(w.Table.tag(), std::string("Rireki"));
    QCOMPARE(w.Table.cols(), 8);
    QCOMPARE(w.Table.rows(), transitRows + 1);
    QCOMPARE(rig.grid()->model()->rowCount(), transitRows);
    QVERIFY(!w.SortAscending);
    auto serials = numbers(test::column(w.Table, 0));
    QVERIFY(std::is_sorted(serials.rbegin(), serials.rend()));
    clickColumn(0);
    serials = numbers(test::column(w.Table, 0));
    QVERIFY(std::is_sorted(serials.begin(), serials.end()));
    QVERIFY(rig.label("lblCardID")->parentWidget()->isEnabled());

    // Monthly totals of the same file; the deposit sum sorts as amounts.
    rig.button("cmdSyuukei")->click();
    QCOMPARE(w.message(), std::string("月別集計情報を表示しました。"));
    QCOMPARE(w.Table.tag(), std::string("Syuukei"));
    QCOMPARE(w.Table.cols(), 7);
    QCOMPARE(w.Table.text(0, 6), std::string("出金平均額"));
    QVERIFY(w.Table.rows() >= 2);
    clickColumn(4);
    auto payments = numbers(test::column(w.Table, 4));
    QVERIFY(std::is_sorted(payments.begin(), payments.end()));
    clickColumn(4);
    payments = numbers(test::column(w.Table, 4));
    QVERIFY(std::is_sorted(payments.rbegin(), payments.rend()));

    // Balances of both files, largest first; a click sorts them ascending.
    rig.button("cmdZandaka")->click();
    QCOMPARE(w.message(), std::string("カード残高を表示しました。"));
    QCOMPARE(w.Table.tag(), std::string("Zandaka"));
    QCOMPARE(w.Table.rows(), 3);
    QCOMPARE(text(rig.label("lblCardID")), std::string("カード枚数：2 枚"));
    QVERIFY(text(rig.label("lblZandaka")).starts_with("残高合計："));
    auto balances = numbers(test::column(w.Table, 3));
    QVERIFY(std::is_sorted(balances.rbegin(), balances.rend()));
    clickColumn(3);
    balances = numbers(test::column(w.Table, 3));
    QVERIFY(std::is_sorted(balances.begin(), balances.end()));
    QVERIFY(rig.boxes.empty());

    // A file removed after it was listed: a message box, nothing made anew,
    // the waiting text stays and the window stays usable.
    fs::remove(transitFile);
    rig.button("cmdRirekiHyouji")->click();
    QCOMPARE(rig.boxes, std::vector<std::string>{"DB open error"});
    QCOMPARE(w.message(), std::string("履歴情報を読み込んでいます。しばらくお待ちください。"));
    QVERIFY(!fs::exists(transitFile));
    QVERIFY(rig.label("lblCardID")->parentWidget()->isEnabled());
    QCOMPARE(w.Table.tag(), std::string("Zandaka"));

    // The next start runs the overview over the files that are left.
    auto& again = rig.start();
    QCOMPARE(again.Table.tag(), std::string("Zandaka"));
    QCOMPARE(text(rig.label("lblCardID")), std::string("カード枚数：1 枚"));
    QCOMPARE(again.message(), std::string("カード残高を表示しました。"));
}

// Texts from a card file are shown as they are: a card number that looks
// like markup is not rendered as markup, so the window shows what the tool
// prints.
void WindowTest::labelsShowTheirTextsLiterally() {
    WindowRig rig(false);
    fs::create_directories(rig.programDir() + "/RirekiDB");
    CardReadResults card;
    card.CardKind = CardKindEdy;
    card.CardID = "<b>1</b> &lt;";
    card.HakkouYmd = 20100101;
    card.CardRireki[0].TorihikiTsuuban = 1;
    card.CardRireki[0].RiyouKubun = 0x20;
    card.CardRireki[0].RiyouYmd = 20100102;
    card.CardRireki[0].Kingaku = 100;
    card.CardRireki[0].Zangaku = 900;
    std::string error;
    QVERIFY2(insertRirekiDB(rig.programDir() + "/RirekiDB/Edy_1.DB", card, error), error.c_str());

    rig.start();
    rig.button("cmdRirekiHyouji")->click();
    QVERIFY(rig.boxes.empty());
    QLabel* label = rig.label("lblCardID");
    QCOMPARE(text(label), std::string("Edy番号：<b>1</b> &lt;"));
    // Rendered as markup the label would need far less room than the text.
    QVERIFY(label->sizeHint().width() >= QFontMetrics(label->font()).horizontalAdvance(label->text()));
}

// A card file copied in under a name that is no UTF-8 (a legal Linux name)
// is opened by its own bytes, not by the text the list shows.
void WindowTest::aFileNameThatIsNoUtf8StillOpens() {
    WindowRig rig;
    auto& w = rig.start();
    rig.laySample("edy.json");
    rig.tick();
    const fs::path odd = fs::path(rig.cardFile()).parent_path() / "Edy_caf\xe9.DB";
    fs::rename(rig.cardFile(), odd);
    w.setRirekiFileList();
    QCOMPARE(rig.files()->count(), 1);
    rig.files()->setCurrentIndex(0);

    rig.button("cmdRirekiHyouji")->click();
    QCOMPARE(w.message(), std::string("履歴情報を表示しました。"));
    rig.button("cmdZandaka")->click();
    QCOMPARE(text(rig.label("lblCardID")), std::string("カード枚数：1 枚"));
    QVERIFY2(rig.boxes.empty(), rig.boxes.empty() ? "" : rig.boxes.front().c_str());
}

int main(int argc, char** argv) { return tovani::test::runWindowTests<WindowTest>(argc, argv); }

#include "window_test.moc"

