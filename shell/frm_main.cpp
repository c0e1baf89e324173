#include "shell/frm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "names/station_import.h"
#include "platform/profile/window_setting.h"
#include "shell/result_table_model.h"
#include "shell/twips.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "views/card_display.h"
#include "views/rireki_rows.h"

namespace tovani::shell {

namespace {

constexpr int PollingIntervalMs = 1000;
constexpr const char* WindowFontName = "ＭＳ Ｐゴシック";
constexpr const char* TableFontName = "ＭＳ ゴシック";
constexpr double FontPoints = 9.75;

// Designed client area and the frame's fixed size, in twips.
constexpr int DesignWidth = 9120;
constexpr int DesignHeight = 4875;
constexpr int FrameWidth = 6735;
constexpr int FrameHeight = 2415;
constexpr int MessageHeight = 375;

struct Place {
    int left, top, width, height;
};

QString qs(const std::string& s) { return QString::fromStdString(s); }

std::string defaultSettingsFile(const std::string& programDir) {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return settingsFilePath(programDir, ec ? std::string("TovaniViewer") : exe.stem().string());
}

ShellOptions withProgramDir(ShellOptions options) {
    if (options.programDir.empty()) options.programDir = dataFolder();
    return options;
}

}  // namespace

void installFontSubstitutions() {
    QFont::insertSubstitution(QString::fromUtf8(WindowFontName), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QString::fromUtf8(TableFontName), QStringLiteral("IPAGothic"));
}

frmMain::frmMain(ShellOptions options, QWidget* parent)
    : QWidget(parent),
      options_(withProgramDir(std::move(options))),
      nameLookup_{options_.programDir, Names, DBErrorMessage} {
    storedRireki_ = storedRirekiLookup(options_.programDir);
    if (options_.settingsFile.empty() && !options_.programDir.empty())
        options_.settingsFile = defaultSettingsFile(options_.programDir);
    setObjectName(QStringLiteral("frmMain"));
    installFontSubstitutions();
    buildControls();
    wireViews();
}

void frmMain::wireViews() {
    // Each click hands the views the window and the values it owns.
    auto context = [this] { return ViewContext{*this, Card, nameLookup_, DBErrorMessage, SortAscending, ViewValues}; };
    Views.RirekiHyouji = [this, context] {
        ViewContext ctx = context();
        tovani::cmdRirekiHyouji_Click(ctx, options_.programDir, selectedRirekiFile());
    };
    Views.Syuukei = [this, context] {
        ViewContext ctx = context();
        tovani::cmdSyuukei_Click(ctx, options_.programDir, selectedRirekiFile());
    };
    Views.Zandaka = [this, context] {
        // The files in the order of the list; the selection plays no part.
        std::vector<std::string> entries;
        for (int i = 0; i < cmbRirekiFile->count(); ++i) entries.push_back(rirekiFileAt(i));
        ViewContext ctx = context();
        tovani::cmdZandaka_Click(ctx, options_.programDir, entries);
    };
}

frmMain::~frmMain() {
    // A window destroyed without being closed still lets the reader go.
    if (!closed_) closeReader(Reader);
    // The model leaves the table before the table (a member) goes.
    delete grdRireki;
    grdRireki = nullptr;
    delete model_;
    model_ = nullptr;
}

int frmMain::tx(int twips) const { return twipsToPixels(twips, logicalDpiX()); }
int frmMain::ty(int twips) const { return twipsToPixels(twips, logicalDpiY()); }

void frmMain::buildControls() {
    QFont windowFont(QString::fromUtf8(WindowFontName));
    windowFont.setPointSizeF(FontPoints);
    setFont(windowFont);

    auto place = [this](QWidget* w, Place p) { w->setGeometry(tx(p.left), ty(p.top), tx(p.width), ty(p.height)); };
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };

    fraInfo = new QFrame(this);
    named(fraInfo, "fraInfo");
    fraInfo->setFrameShape(QFrame::Box);
    fraInfo->setFrameShadow(QFrame::Sunken);
    place(fraInfo, {0, 0, FrameWidth, FrameHeight});

    auto label = [&](const char* name, const char* text, Place p) {
        auto* l = new QLabel(QString::fromUtf8(text), fraInfo);
        // Card numbers and file texts are shown as they are, never as markup.
        l->setTextFormat(Qt::PlainText);
        named(l, name);
        place(l, p);
        return l;
    };
    lblCardID = label("lblCardID", "", {240, 240, 5535, 375});
    lblZandaka = label("lblZandaka", "", {240, 600, 5535, 375});
    lblSakuseiYmd = label("lblSakuseiYmd", "", {240, 960, 5535, 375});
    lblRireki = label("lblRireki", "履歴ファイル", {240, 1560, 1095, 255});

    cmbRirekiFile = new QComboBox(fraInfo);
    named(cmbRirekiFile, "cmbRirekiFile");
    place(cmbRirekiFile, {1440, 1440, 4455, 315});

    auto button = [&](const char* name, const char* text, Place p, void (frmMain::*slot)()) {
        auto* b = new QPushButton(QString::fromUtf8(text), fraInfo);
        named(b, name);
        place(b, p);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    cmdCSVtoDB = button("cmdCSVtoDB", "CSV", {6000, 1440, 615, 375}, &frmMain::cmdCSVtoDB_Click);
    cmdRirekiHyouji = button("cmdRirekiHyouji", "全履歴表示", {240, 1920, 1335, 375}, &frmMain::cmdRirekiHyouji_Click);
    cmdSyuukei = button("cmdSyuukei", "月別集計", {1800, 1920, 1335, 375}, &frmMain::cmdSyuukei_Click);
    cmdZandaka = button("cmdZandaka", "全カード残高", {3360, 1920, 1335, 375}, &frmMain::cmdZandaka_Click);
    cmdReset = button("cmdReset", "再読込", {5160, 1920, 1335, 375}, &frmMain::cmdReset_Click);

    grdRireki = new QTableView(this);
    named(grdRireki, "grdRireki");
    QFont tableFont(QString::fromUtf8(TableFontName));
    tableFont.setPointSizeF(FontPoints);
    tableFont.setStyleHint(QFont::TypeWriter);
    grdRireki->setFont(tableFont);
    grdRireki->horizontalHeader()->setFont(tableFont);
    grdRireki->verticalHeader()->hide();  // no fixed columns
    grdRireki->verticalHeader()->setDefaultSectionSize(QFontMetrics(tableFont).height() + 4);
    grdRireki->horizontalHeader()->setHighlightSections(false);
    grdRireki->horizontalHeader()->setSectionsClickable(true);
    grdRireki->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRireki->setSelectionMode(QAbstractItemView::SingleSelection);
    grdRireki->setWordWrap(false);
    model_ = new ResultTableModel(Table, this);
    grdRireki->setModel(model_);
    connect(model_, &ResultTableModel::layoutRefreshed, this, &frmMain::applyColumnWidths);
    connect(grdRireki, &QTableView::clicked, this, [this](const QModelIndex& at) { grdRireki_Click(at.column()); });
    // A double click on the header ends with a release that the header
    // reports as another click; it is one click, as it is on a cell.
    QHeaderView* header = grdRireki->horizontalHeader();
    connect(header, &QHeaderView::sectionPressed, this, [this] { headerDoubleClicked_ = false; });
    connect(header, &QHeaderView::sectionDoubleClicked, this, [this] { headerDoubleClicked_ = true; });
    connect(header, &QHeaderView::sectionClicked, this, [this](int col) {
        if (std::exchange(headerDoubleClicked_, false)) return;
        grdRireki_Click(col);
    });

    lblMess = new QLabel(this);
    lblMess->setTextFormat(Qt::PlainText);
    named(lblMess, "lblMess");
    setMessage("", ColourBlue);

    tmrPolling = new QTimer(this);
    tmrPolling->setObjectName(QStringLiteral("tmrPolling"));
    tmrPolling->setInterval(PollingIntervalMs);
    connect(tmrPolling, &QTimer::timeout, this, &frmMain::tmrPolling_Timer);

    resize(tx(DesignWidth), ty(DesignHeight));
}

void frmMain::startUp() {
    setWindowTitle(QString::fromUtf8(Caption));
    // Said once; the window then shows cards without storing them.
    dataFolderError_ = prepareDataFolder(options_.programDir, rirekiFolder(options_.programDir));
    if (!dataFolderError_.empty()) showMessageBox(dataFolderError_);
    loadWindowSetting();
    applyWindowSetting();
    layoutControls();
    setRirekiGrid(*this, Table, 1, Card.CardKind);
    setRirekiFileList();
    cmdReset->setEnabled(false);
    // The delivered program always runs as its own executable, so the
    // station import button stays hidden.
    cmdCSVtoDB->hide();
    initErrorMessages(Reader);
    Reader.LibraryInitialized = false;
    Reader.ReaderWriterOpened = false;
    if (openReader(Reader)) {
        cmdZandaka_Click();
        tmrPolling->setInterval(PollingIntervalMs);
        tmrPolling->start();
    } else {
        showReadState(ReadStateError);
    }
}

// --- layout -----------------------------------------------------------------

void frmMain::layoutControls() {
    // Below the frame plus the message line the table has no room; it then
    // gets no height instead of a negative one.
    const int w = width();
    const int h = height();
    const int frameH = ty(FrameHeight);
    const int messH = ty(MessageHeight);
    fraInfo->move(0, fraInfo->y());
    grdRireki->setGeometry(0, frameH, w, std::max(0, h - frameH - messH));
    lblMess->setGeometry(0, h - messH, w, messH);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
}

void frmMain::applyColumnWidths() {
    const auto dpi = grdRireki->logicalDpiX();
    for (int c = 0; c < Table.cols(); ++c)
        grdRireki->setColumnWidth(c, std::max(0, twipsToPixels(Table.colWidth(c), dpi)));
    grdRireki->horizontalHeader()->setVisible(Table.fixedRows() > 0);
}

// --- ViewHost -----------------------------------------------------------------

QLabel* frmMain::cardLabelWidget(CardLabel label) const {
    switch (label) {
    case CardLabel::CardID: return lblCardID;
    case CardLabel::Zandaka: return lblZandaka;
    case CardLabel::SakuseiYmd: return lblSakuseiYmd;
    }
    return lblCardID;
}

void frmMain::setCardLabel(CardLabel label, const std::string& text) { cardLabelWidget(label)->setText(qs(text)); }

std::string frmMain::cardLabel(CardLabel label) const { return cardLabelWidget(label)->text().toStdString(); }

void frmMain::setMessage(const std::string& text, Rgb colour) {
    messageColour_ = colour;
    QPalette p = lblMess->palette();
    p.setColor(QPalette::WindowText, QColor(colour.r, colour.g, colour.b));
    lblMess->setPalette(p);
    lblMess->setText(qs(text));
    // The user sees the text before the rest of the work runs.
    lblMess->repaint();
}

std::string frmMain::message() const { return lblMess->text().toStdString(); }

Rgb frmMain::messageColour() const { return messageColour_; }

void frmMain::lockControls() {
    fraInfo->setEnabled(false);
    Table.setLocked(true);
}

void frmMain::unlockControls() {
    Table.setLocked(false);
    fraInfo->setEnabled(true);
}

void frmMain::showMessageBox(const std::string& text) {
    if (options_.messageBox) {
        options_.messageBox(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tovani Viewer"), qs(text), QMessageBox::Ok, this);
    // The failure text may quote a file's content or path: shown as it is.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

int frmMain::textWidthTwips(const std::string& utf8) const {
    const int px = QFontMetrics(font()).horizontalAdvance(qs(utf8));
    return pixelsToTwips(px, logicalDpiX());
}

// --- messages and the file list -------------------------------------------------

void frmMain::showReadState(ReadState state) {
    switch (state) {
    case ReadStateError:
        if (auto text = errorMessageText(Reader, Reader.LastErrorType)) setMessage(*text, ColourRed);
        break;
    case ReadStateRead:
        setMessage("履歴情報を表示しました。", ColourBlue);
        break;
    case ReadStateNoCard:
        setMessage("Edy/nanaco/WAON/Suica/ICOCA等のカードをカードリーダーの上に置いてください。", ColourBlue);
        break;
    case ReadStateNotSupported:
        setMessage("Edy/nanaco/WAON/Suica/ICOCA等のカードではありません。", ColourRed);
        break;
    case ReadStateSameCard:
        break;
    }
    repaint();
}

void frmMain::setRirekiFileList() {
    cmbRirekiFile->clear();
    if (options_.programDir.empty()) return;  // no data folder at all, said at start-up
    std::vector<std::string> files;
    std::string error;
    if (!listCardFiles(rirekiFolder(options_.programDir), files, error)) {
        // Not silent: without the folder no card can be stored. A data folder
        // that cannot be used has been said once already.
        if (dataFolderError_.empty()) showMessageBox(error);
        return;
    }
    // The shown text is for the eye; the name's own bytes ride along, so a
    // name that is no valid UTF-8 still opens the file it names.
    for (const auto& f : files)
        cmbRirekiFile->addItem(qs(f), QByteArray(f.data(), static_cast<qsizetype>(f.size())));
    cmbRirekiFile->setCurrentIndex(selectedCardFile(files, Card.CardKind, Card.CardID));
}

std::string frmMain::rirekiFileAt(int index) const {
    const QByteArray bytes = cmbRirekiFile->itemData(index).toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::string frmMain::rirekiFileText() const { return rirekiFileAt(cmbRirekiFile->currentIndex()); }

std::optional<std::string> frmMain::selectedRirekiFile() const {
    if (cmbRirekiFile->currentIndex() < 0) return std::nullopt;
    return rirekiFileText();
}

// --- polling ------------------------------------------------------------------

void frmMain::tmrPolling_Timer() {
    tmrPolling->stop();
    const ReadState state = readCard(Reader, Card, storedRireki_);
    const bool storable = dataFolderError_.empty();
    if (state == ReadStateRead && !storable)
        setMessage("Not stored: " + dataFolderError_, ColourRed);  // instead of the line that says all is well
    else
        showReadState(state);
    if (state == ReadStateError) {
        cmdReset->setEnabled(true);
        return;
    }
    if (state == ReadStateRead) {
        lockControls();
        showCardInfo(*this, Card, nameLookup_);
        SortAscending = false;
        const std::string path = cardDbPath(options_.programDir, Card.CardKind, Card.CardID);
        const StoreResult stored = storable ? insertRirekiDB(path, Card, DBErrorMessage) : StoreResult{true, 0};
        unlockControls();
        if (!stored) showMessageBox(DBErrorMessage);
        // What was stored is kept; the rest waits for the next read, no box.
        else if (stored.waiting > 0) setMessage(waitingEntriesMessage(stored.waiting), ColourRed);
        setRirekiFileList();
    }
    // A close during the message box has switched polling off for good.
    if (!closed_) tmrPolling->start(PollingIntervalMs);
}

void frmMain::cmdReset_Click() {
    cmdReset->setEnabled(false);
    Reader.LastErrorType = 0;
    DBErrorMessage.clear();
    setMessage("", messageColour_);
    if (openReader(Reader))
        tmrPolling->start(PollingIntervalMs);
    else
        showReadState(ReadStateError);
}

// --- buttons and the table ---------------------------------------------------------

void frmMain::cmdRirekiHyouji_Click() {
    if (Views.RirekiHyouji) Views.RirekiHyouji();
}

void frmMain::cmdSyuukei_Click() {
    if (Views.Syuukei) Views.Syuukei();
}

void frmMain::cmdZandaka_Click() {
    if (Views.Zandaka) Views.Zandaka();
}

void frmMain::cmdCSVtoDB_Click() {
    struct BoxSink : MessageSink {
        frmMain& w;
        explicit BoxSink(frmMain& window) : w(window) {}
        void showMessage(const std::string& text) override { w.showMessageBox(text); }
    } sink(*this);
    CSVtoDB(options_.programDir, sink, DBErrorMessage);
}

void frmMain::grdRireki_Click(int col) {
    if (Table.locked()) return;  // the locked table takes no input
    Table.setCurrentCol(col);
    sortByClick(Table, SortAscending, Card.CardKind);
}

// --- placement and close -----------------------------------------------------------

void frmMain::closeEvent(QCloseEvent* event) {
    closed_ = true;
    tmrPolling->stop();
    closeReader(Reader);
    saveWindowSetting();
    event->accept();
}

}  // namespace tovani::shell

namespace tovani::shell {

// Left and Top are the place of the window with its frame, Width and Height
// the size of its client area: the frame belongs to the window manager and is
// not known before the window is shown, so storing the outer size would make
// the window grow by the frame at every start.
namespace {
// X11 keeps window coordinates and sizes in 16 bits; larger stored values
// are applied as far as the window system goes.
constexpr int MaxCoordinate = 32767;
int clampCoordinate(int px) { return std::clamp(px, -MaxCoordinate, MaxCoordinate); }
int clampSize(int px) { return std::clamp(px, 0, std::min(MaxCoordinate, QWIDGETSIZE_MAX)); }

// A window that overlaps no screen's free area by at least this much cannot
// be grabbed or seen: it was left on a monitor that is gone, or the file holds
// nonsense.
constexpr int MinVisibleWidth = 100;
constexpr int MinVisibleHeight = 50;

bool onSomeScreen(const QRect& r) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect seen = r.intersected(screen->availableGeometry());
        if (seen.width() >= MinVisibleWidth && seen.height() >= MinVisibleHeight) return true;
    }
    return false;
}

}  // namespace

void frmMain::loadWindowSetting() {
    WindowSetting = tovani::loadWindowSetting(options_.settingsFile, DesignWidth, DesignHeight);
}

void frmMain::applyWindowSetting() {
    // Never smaller than the frame and the message line, which must show
    // whole. A place on no screen gives way to the designed size centred on
    // the primary screen. Values that pass are applied as stored; only a
    // size larger than its screen is cut to it.
    QRect r(clampCoordinate(tx(WindowSetting.Left)), clampCoordinate(ty(WindowSetting.Top)),
            std::max(clampSize(tx(WindowSetting.Width)), tx(FrameWidth)),
            std::max(clampSize(ty(WindowSetting.Height)), ty(FrameHeight + MessageHeight)));
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary != nullptr && !onSomeScreen(r)) {
        const QRect area = primary->availableGeometry();
        r.setSize(QSize(tx(DesignWidth), ty(DesignHeight)));
        r.moveCenter(area.center());
        // A screen smaller than the window shows its top left corner.
        r.moveTopLeft(QPoint(std::max(r.left(), area.left()), std::max(r.top(), area.top())));
    }
    // Never larger than the screen it lands on: a size kept from a larger
    // monitor would hide the message line.
    std::vector<PixelRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect a = screen->availableGeometry();
        areas.push_back({a.x(), a.y(), a.width(), a.height()});
    }
    const PixelRect fit = cutToScreen({r.x(), r.y(), r.width(), r.height()}, areas);
    move(fit.left, fit.top);
    resize(fit.width, fit.height);
}

void frmMain::saveWindowSetting() {
    const QPoint at = pos();
    const tovani::WindowSetting now{pixelsToTwips(at.x(), logicalDpiX()), pixelsToTwips(at.y(), logicalDpiY()),
                                    pixelsToTwips(width(), logicalDpiX()), pixelsToTwips(height(), logicalDpiY())};
    // The window is going away: there is no one left to show a box to.
    if (!tovani::saveWindowSetting(options_.settingsFile, now))
        std::fprintf(stderr, "TovaniViewer: the window placement could not be written to %s\n",
                     options_.settingsFile.c_str());
}

}  // namespace tovani::shell
