// The Qt window over the behaviour: its controls show what the behaviour
// sets, its events (the timer, clicks on buttons, cells and the header, a
// resize, the close) reach it, and its placement on the two offscreen
// screens of screens.json. What the behaviour does is tested in window_test.

#include <QApplication>
#include <QComboBox>
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
#include <filesystem>
#include <memory>

#include "database/bridge.h"
#include "shell/qt/qt_window.h"
#include "shell/qt/result_table_model.h"
#include "shell/twips.h"
#include "store/db_files.h"
#include "views/rireki_rows.h"
#include "window_support.h"

namespace fs = std::filesystem;
using namespace tovani;
using tovani::shell::QtWindow;

namespace {

// The Qt window on the rig's folders, its message boxes recorded.
class QtRig : public test::CardRig {
public:
    using CardRig::CardRig;
    ~QtRig() { close(); }

    QtWindow& start() {
        close();
        shell::ShellOptions o = options();
        o.messageBox = [this](const std::string& text) { boxes.push_back(text); };
        window_ = std::make_unique<QtWindow>(std::move(o));
        window_->form().startUp();
        return *window_;
    }
    void close() {
        if (window_) window_->close();
        window_.reset();
    }
    shell::frmMain& form() { return window_->form(); }

    QLabel* label(const char* name) const { return window_->findChild<QLabel*>(name); }
    QPushButton* button(const char* name) const { return window_->findChild<QPushButton*>(name); }
    QComboBox* files() const { return window_->findChild<QComboBox*>("cmbRirekiFile"); }
    QTableView* grid() const { return window_->findChild<QTableView*>("grdRireki"); }
    QTimer* timer() const { return window_->findChild<QTimer*>("tmrPolling"); }

    std::vector<std::string> boxes;

private:
    std::unique_ptr<QtWindow> window_;
};

std::string text(const QLabel* l) { return l->text().toStdString(); }

bool showOnScreen(QWidget& w) {
    w.show();
    return QTest::qWaitForWindowExposed(&w);
}

}  // namespace

class QtWindowTest : public QObject {
    Q_OBJECT
private slots:
    void controlsShowTheBehaviourAndEventsReachIt();
    void resizeAndCloseReachTheBehaviour();
    void placementOnTheOffscreenScreens_data();
    void placementOnTheOffscreenScreens();
    void aDoubleClickIsOneClick_data();
    void aDoubleClickIsOneClick();
    void lockedFillOfManyRowsIsOneReset();
    void labelsShowTheirTextsLiterally();
};

void QtWindowTest::controlsShowTheBehaviourAndEventsReachIt() {
    QtRig rig;
    rig.laySample("transit.json");
    auto& w = rig.start();
    auto& form = rig.form();
    QCOMPARE(w.windowTitle(), QStringLiteral("Tovani Viewer 2.0.0.1"));
    QVERIFY(rig.button("cmdCSVtoDB")->isHidden());
    QCOMPARE(text(rig.label("lblRireki")), std::string("履歴ファイル"));
    // Japanese texts need the IPA fonts in place of the fonts asked for.
    QCOMPARE(QFontInfo(rig.label("lblMess")->font()).family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(QFontInfo(rig.grid()->font()).family(), QStringLiteral("IPAGothic"));
    QVERIFY(rig.timer()->isActive());
    QCOMPARE(rig.timer()->interval(), 1000);

    // The timer's own tick reads the card; labels, message line, table and
    // list show what the behaviour set.
    QTRY_COMPARE_WITH_TIMEOUT(form.message(), test::kShown, 5000);
    QCOMPARE(text(rig.label("lblMess")), test::kShown);
    QCOMPARE(rig.label("lblMess")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(text(rig.label("lblCardID")), "IDm番号：" + form.Card.CardID);
    const QAbstractItemModel* model = rig.grid()->model();
    QCOMPARE(model->rowCount(), form.Table.rows() - 1);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("取引通番"));
    // Amounts right, texts left, both centred vertically, the header as its column.
    const int right = int(Qt::AlignRight | Qt::AlignVCenter), left = int(Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(model->data(model->index(0, 5), Qt::TextAlignmentRole).toInt(), right);
    QCOMPARE(model->data(model->index(0, 1), Qt::TextAlignmentRole).toInt(), left);
    QCOMPARE(model->headerData(5, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), right);
    for (int c = 0; c < form.Table.cols(); ++c)  // the layout's widths reach the view
        QCOMPARE(rig.grid()->columnWidth(c), shell::twipsToPixels(form.Table.colWidth(c), rig.grid()->logicalDpiX()));
    const std::string file = fs::path(cardDbPath(rig.programDir(), form.Card.CardKind, form.Card.CardID)).filename();
    QCOMPARE(rig.files()->currentText().toStdString(), file);

    // The buttons and the list: the overview, then the history of the entry chosen.
    rig.button("cmdZandaka")->click();
    QCOMPARE(form.Table.tag(), std::string("Zandaka"));
    rig.files()->setCurrentIndex(-1);
    rig.button("cmdRirekiHyouji")->click();
    QCOMPARE(form.Table.tag(), std::string("Zandaka"));  // nothing chosen, nothing shown
    rig.files()->setCurrentIndex(0);
    rig.button("cmdRirekiHyouji")->click();
    QCOMPARE(form.Table.tag(), std::string("Rireki"));
    QCOMPARE(model->rowCount(), test::storedRows(rig.programDir() + "/RirekiDB/" + file));

    // Pulled: "再読込" enabled; a click on it opens the reader again.
    rig.unplug();
    form.tmrPolling_Timer();
    QVERIFY(rig.button("cmdReset")->isEnabled());
    QVERIFY(!rig.timer()->isActive());
    rig.plugIn();
    QVERIFY(showOnScreen(w));
    QTest::mouseClick(rig.button("cmdReset"), Qt::LeftButton);
    QVERIFY(!rig.button("cmdReset")->isEnabled());
    QVERIFY(rig.timer()->isActive());
    QCOMPARE(text(rig.label("lblMess")), std::string());
    QVERIFY(rig.boxes.empty());

    // Each control is built with its text, and the lock reaches the frame
    // and everything in it.
    form.lockControls();
    for (const auto& d : shell::kControlDesigns) {
        const QWidget* c = w.findChild<QWidget*>(QString::fromLatin1(d.name));
        QVERIFY2(c != nullptr, d.name);
        if (auto* b = qobject_cast<const QPushButton*>(c)) QCOMPARE(b->text(), QString::fromUtf8(d.text));
        QVERIFY2(c->isEnabled() == !(d.inFrame || d.id == shell::Control::fraInfo), d.name);
    }
    form.unlockControls();
    QVERIFY(rig.button("cmdZandaka")->isEnabled());
}

void QtWindowTest::resizeAndCloseReachTheBehaviour() {
    QtRig rig(false);
    auto& w = rig.start();
    const int dpiX = w.logicalDpiX(), dpiY = w.logicalDpiY();
    QVERIFY(showOnScreen(w));
    const int messH = shell::twipsToPixels(375, dpiY);
    w.resize(900, 700);
    QCOMPARE(rig.label("lblMess")->geometry(), QRect(0, 700 - messH, 900, messH));

    // Moved and sized, closed: the place is kept and taken at the next start.
    w.move(shell::twipsToPixels(1200, dpiX), shell::twipsToPixels(900, dpiY));
    w.resize(shell::twipsToPixels(9360, dpiX), shell::twipsToPixels(5490, dpiY));
    rig.close();
    const std::string ini = test::readFile(rig.iniPath());
    for (const char* key : {"[Setting]", "Left=1200", "Top=900", "Width=9360", "Height=5490"})
        QVERIFY2(ini.find(key) != std::string::npos, ini.c_str());
    QVERIFY(showOnScreen(rig.start()));
    rig.close();
    QCOMPARE(test::readFile(rig.iniPath()), ini);  // no drift, shown or not
}

// The screens of screens.json (1280 x 800 primary, 1024 x 768 to its right)
// at 96 dpi reach the behaviour's placement rule: the second screen's area,
// and the primary first.
void QtWindowTest::placementOnTheOffscreenScreens_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<QRect>("expected");  // place and size in pixels
    QTest::newRow("taller than the second screen")
        << "[Setting]\nLeft=21000\nTop=1500\nWidth=9360\nHeight=99999\n" << QRect(1400, 0, 624, 768);
    QTest::newRow("unplugged screen: centred on the primary")
        << "[Setting]\nLeft=40000\nTop=1500\n" << QRect(336, 237, 608, 325);
}

void QtWindowTest::placementOnTheOffscreenScreens() {
    QFETCH(QString, content);
    QFETCH(QRect, expected);
    QtRig rig(false);
    test::writeFile(rig.iniPath(), content.toStdString());
    auto& w = rig.start();
    const auto screens = QGuiApplication::screens();
    if (screens.size() != 2 || screens[0]->geometry() != QRect(0, 0, 1280, 800) || w.logicalDpiX() != 96 ||
        w.logicalDpiY() != 96)
        QSKIP("needs the screens of screens.json");
    QCOMPARE(QRect(w.pos(), w.size()), expected);
}

void QtWindowTest::aDoubleClickIsOneClick_data() {
    QTest::addColumn<bool>("onHeader");
    QTest::newRow("header") << true;
    QTest::newRow("cell") << false;
}

void QtWindowTest::aDoubleClickIsOneClick() {
    // A double click is one click followed by the double click: it sorts
    // once, as a single click does.
    QFETCH(bool, onHeader);
    QtRig rig(false);
    auto& w = rig.start();
    auto& form = rig.form();
    setRirekiGrid(form, form.Table, 3, CardKindEdy);
    for (int r = 1; r <= 3; ++r) form.Table.setText(r, 0, std::to_string(40 - r * 10));
    QVERIFY(showOnScreen(w));
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
    QVERIFY(form.SortAscending);
    QCOMPARE(test::column(form.Table, 0), (std::vector<std::string>{"10", "20", "30"}));
}

void QtWindowTest::lockedFillOfManyRowsIsOneReset() {
    QtRig rig(false);
    rig.start();
    auto& w = rig.form();
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

// Texts from a card file are shown as they are: a card number that looks
// like markup is not rendered as markup, so the window shows what the tool
// prints.
void QtWindowTest::labelsShowTheirTextsLiterally() {
    QtRig rig(false);
    auto& w = rig.start();
    w.setControlText(shell::Control::lblCardID, "Edy番号：<b>1</b> &lt;");
    QLabel* label = rig.label("lblCardID");
    QCOMPARE(text(label), std::string("Edy番号：<b>1</b> &lt;"));
    // Rendered as markup the label would need far less room than the text.
    QVERIFY(label->sizeHint().width() >= QFontMetrics(label->font()).horizontalAdvance(label->text()));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" TOVANI_SOURCE_DIR "/tests/shell/screens.json");
    QApplication app(argc, argv);
    bridge::setLibraryPath(std::string(TOVANI_PROGRAM_DIR) + "/librowgate.so");
    QtWindowTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "qt_window_test.moc"
