#include "shell/frm_main.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "database/file_system.h"
#include "names/station_import.h"
#include "platform/os/paths.h"
#include "platform/os/program_folder.h"
#include "platform/profile/window_setting.h"
#include "shell/twips.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "views/card_display.h"
#include "views/rireki_rows.h"

namespace tovani::shell {

namespace {

// The frame's fixed size and the message line's height, in twips, as the
// controls are designed.
constexpr TwipsRect FramePlace = kControlDesigns[static_cast<size_t>(Control::fraInfo)].place;
constexpr int FrameWidth = FramePlace.width;
constexpr int FrameHeight = FramePlace.height;
constexpr int MessageHeight = kControlDesigns[static_cast<size_t>(Control::lblMess)].place.height;
static_assert(kControlDesigns[static_cast<size_t>(Control::lblMess)].id == Control::lblMess);

// The data folder, the executable's base name, ".ini": TovaniViewer.ini.
std::string defaultSettingsFile(const std::string& programDir) {
    std::string why;
    const std::string exe = os::executablePath(why);
    return settingsFilePath(programDir, exe.empty() ? std::string("TovaniViewer") : os::pathText(os::osPath(exe).stem()));
}

ShellOptions withProgramDir(ShellOptions options) {
    if (options.programDir.empty()) options.programDir = dataFolder();
    return options;
}

int labelIndex(CardLabel label) { return static_cast<int>(label); }

Control labelControl(CardLabel label) {
    switch (label) {
    case CardLabel::CardID: return Control::lblCardID;
    case CardLabel::Zandaka: return Control::lblZandaka;
    case CardLabel::SakuseiYmd: return Control::lblSakuseiYmd;
    }
    return Control::lblCardID;
}

}  // namespace

frmMain::frmMain(WindowControls& window, ShellOptions options)
    : window_(window),
      options_(withProgramDir(std::move(options))),
      nameLookup_{options_.programDir, Names, DBErrorMessage} {
    storedRireki_ = storedRirekiLookup(options_.programDir);
    if (options_.settingsFile.empty() && !options_.programDir.empty())
        options_.settingsFile = defaultSettingsFile(options_.programDir);
    wireViews();
}

frmMain::~frmMain() {
    if (!closed_) closeReader(Reader);
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
        ViewContext ctx = context();
        tovani::cmdZandaka_Click(ctx, options_.programDir, rirekiFiles_);
    };
}

int frmMain::tx(int twips) const { return twipsToPixels(twips, window_.dpiX()); }
int frmMain::ty(int twips) const { return twipsToPixels(twips, window_.dpiY()); }

bool frmMain::startUp() {
    // Without its own folder the program has no database library to load
    // (never one from the current folder): it says so and does not start.
    if (const std::string error = programFolderError(); !error.empty()) {
        std::fprintf(stderr, "TovaniViewer: %s\n", error.c_str());
        showMessageBox(error);
        return false;
    }
    window_.setCaption(Caption);
    setMessage("", ColourBlue);
    // Said once; the window then shows cards without storing them.
    dataFolderError_ = prepareDataFolder(options_.programDir, rirekiFolder(options_.programDir));
    if (!dataFolderError_.empty()) showMessageBox(dataFolderError_);
    loadWindowSetting();
    applyWindowSetting();
    layoutControls();
    setRirekiGrid(*this, Table, 1, Card.CardKind);
    setRirekiFileList();
    window_.enableControl(Control::cmdReset, false);
    // The delivered program always runs as its own executable, so the
    // station import button stays hidden.
    window_.showControl(Control::cmdCSVtoDB, false);
    initErrorMessages(Reader);
    Reader.LibraryInitialized = false;
    Reader.ReaderWriterOpened = false;
    if (openReader(Reader)) {
        cmdZandaka_Click();
        window_.startTimer(PollingIntervalMs);
    } else {
        showReadState(ReadStateError);
    }
    return true;
}

// --- layout -----------------------------------------------------------------

void frmMain::Form_Resize() { layoutControls(); }

void frmMain::layoutControls() {
    // Below the frame plus the message line the table has no room; it then
    // gets no height instead of a negative one.
    const PixelRect client = window_.placement();
    const int frameH = ty(FrameHeight);
    const int messH = ty(MessageHeight);
    window_.placeControl(Control::fraInfo, {0, 0, tx(FrameWidth), frameH});
    window_.placeControl(Control::grdRireki, {0, frameH, client.width, std::max(0, client.height - frameH - messH)});
    window_.placeControl(Control::lblMess, {0, client.height - messH, client.width, messH});
}

// --- ViewHost -----------------------------------------------------------------

void frmMain::setCardLabel(CardLabel label, const std::string& text) {
    labels_[labelIndex(label)] = text;
    window_.setControlText(labelControl(label), text);
}

std::string frmMain::cardLabel(CardLabel label) const { return labels_[labelIndex(label)]; }

void frmMain::setMessage(const std::string& text, Rgb colour) {
    message_ = text;
    messageColour_ = colour;
    // The user sees the text before the rest of the work runs.
    window_.setMessage(text, colour);
}

void frmMain::lockControls() {
    window_.enableControl(Control::fraInfo, false);
    Table.setLocked(true);
}

void frmMain::unlockControls() {
    Table.setLocked(false);
    window_.enableControl(Control::fraInfo, true);
}

void frmMain::showMessageBox(const std::string& text) {
    if (options_.messageBox)
        options_.messageBox(text);
    else
        window_.showMessageBox(text);
}

int frmMain::textWidthTwips(const std::string& utf8) const {
    return pixelsToTwips(window_.textWidthPixels(utf8), window_.dpiX());
}

// --- messages and the file list -------------------------------------------------

void frmMain::showReadState(ReadState state) {
    switch (state) {
    case ReadStateError:
        if (auto text = errorMessageText(Reader, Reader.LastErrorType)) setMessage(*text, ColourRed);
        break;
    case ReadStateRead:
        setMessage(HistoryShownMessage, ColourBlue);
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
    window_.paintNow();
}

void frmMain::setRirekiFileList() {
    rirekiFiles_.clear();
    int selected = -1;
    std::string error;
    // No data folder at all has been said at start-up.
    if (!options_.programDir.empty()) {
        if (listCardFiles(rirekiFolder(options_.programDir), rirekiFiles_, error))
            selected = selectedCardFile(rirekiFiles_, Card.CardKind, Card.CardID);
        else
            rirekiFiles_.clear();
    }
    window_.setRirekiFiles(rirekiFiles_, selected);
    // Not silent: without the folder no card can be stored. A data folder
    // that cannot be used has been said once already.
    if (!error.empty() && dataFolderError_.empty()) showMessageBox(error);
}

std::optional<std::string> frmMain::selectedRirekiFile() const {
    const int index = window_.rirekiFileIndex();
    if (index < 0 || static_cast<size_t>(index) >= rirekiFiles_.size()) return std::nullopt;
    return rirekiFiles_[static_cast<size_t>(index)];
}

// --- polling ------------------------------------------------------------------

void frmMain::tmrPolling_Timer() {
    window_.stopTimer();
    if (closed_) return;
    const ReadState state = readCard(Reader, Card, storedRireki_);
    const bool storable = dataFolderError_.empty();
    if (state == ReadStateRead && !storable)
        setMessage("Not stored: " + dataFolderError_, ColourRed);  // instead of the line that says all is well
    else
        showReadState(state);
    if (state == ReadStateError) {
        window_.enableControl(Control::cmdReset, true);
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
    if (!closed_) window_.startTimer(PollingIntervalMs);
}

void frmMain::cmdReset_Click() {
    window_.enableControl(Control::cmdReset, false);
    Reader.LastErrorType = 0;
    DBErrorMessage.clear();
    setMessage("", messageColour_);
    if (openReader(Reader))
        window_.startTimer(PollingIntervalMs);
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

void frmMain::buttonClicked(Control c) {
    switch (c) {
    case Control::cmdCSVtoDB: return cmdCSVtoDB_Click();
    case Control::cmdRirekiHyouji: return cmdRirekiHyouji_Click();
    case Control::cmdSyuukei: return cmdSyuukei_Click();
    case Control::cmdZandaka: return cmdZandaka_Click();
    case Control::cmdReset: return cmdReset_Click();
    default: return;
    }
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

// --- close -----------------------------------------------------------------------

void frmMain::Form_Unload() {
    if (closed_) return;
    closed_ = true;
    window_.stopTimer();
    closeReader(Reader);
    saveWindowSetting();
}

// --- placement -------------------------------------------------------------------

// Left and Top are the place of the window with its frame, Width and Height
// the size of its client area: the frame belongs to the window system and is
// not known before the window is shown, so storing the outer size would make
// the window grow by the frame at every start.
namespace {
// X11 keeps window coordinates and sizes in 16 bits; larger stored values
// are applied as far as the window system goes.
constexpr int MaxCoordinate = 32767;
int clampCoordinate(int px) { return std::clamp(px, -MaxCoordinate, MaxCoordinate); }
int clampSize(int px) { return std::clamp(px, 0, MaxCoordinate); }

// A window that overlaps no screen's free area by at least this much cannot
// be grabbed or seen: it was left on a monitor that is gone, or the file holds
// nonsense.
constexpr int MinVisibleWidth = 100;
constexpr int MinVisibleHeight = 50;

bool onSomeScreen(const PixelRect& r, const std::vector<PixelRect>& areas) {
    return std::any_of(areas.begin(), areas.end(), [&](const PixelRect& a) {
        return overlap(r.left, r.width, a.left, a.width) >= MinVisibleWidth &&
               overlap(r.top, r.height, a.top, a.height) >= MinVisibleHeight;
    });
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
    PixelRect r{clampCoordinate(tx(WindowSetting.Left)), clampCoordinate(ty(WindowSetting.Top)),
                std::max(clampSize(tx(WindowSetting.Width)), tx(FrameWidth)),
                std::max(clampSize(ty(WindowSetting.Height)), ty(FrameHeight + MessageHeight))};
    const std::vector<PixelRect> areas = window_.screenAreas();
    if (!areas.empty() && !onSomeScreen(r, areas)) {
        const PixelRect& primary = areas.front();
        r.width = tx(DesignWidth);
        r.height = ty(DesignHeight);
        // Centred; a screen smaller than the window shows its top left corner.
        r.left = std::max(primary.left + (primary.width - r.width) / 2, primary.left);
        r.top = std::max(primary.top + (primary.height - r.height) / 2, primary.top);
    }
    // Never larger than the screen it lands on: a size kept from a larger
    // monitor would hide the message line.
    window_.setPlacement(cutToScreen(r, areas));
}

void frmMain::saveWindowSetting() {
    const PixelRect at = window_.placement();
    const tovani::WindowSetting now{pixelsToTwips(at.left, window_.dpiX()), pixelsToTwips(at.top, window_.dpiY()),
                                    pixelsToTwips(at.width, window_.dpiX()), pixelsToTwips(at.height, window_.dpiY())};
    // The window is going away: there is no one left to show a box to.
    if (!tovani::saveWindowSetting(options_.settingsFile, now))
        std::fprintf(stderr, "TovaniViewer: the window placement could not be written to %s\n",
                     options_.settingsFile.c_str());
}

}  // namespace tovani::shell
