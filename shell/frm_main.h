#pragma once

// The program's one window, as behaviour: start-up, the polling tick,
// restart, the buttons, the message line for each read, the file list,
// sorting by click, the layout rule, the placement and its saving at close.
// It owns the process-wide values of the program (reader state, card read
// results, sort direction, database error text, name caches, placement) and
// passes them by reference to the routines below the shell. It shows itself
// through a WindowControls (shell/window_controls.h), which the Qt window and
// the Win32 window implement and whose events they pass on to the methods
// below; it knows no toolkit.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cards/card_data.h"
#include "names/station_lookup.h"
#include "platform/profile/window_setting.h"
#include "reader/reader.h"
#include "shell/window_controls.h"
#include "views/card_views.h"
#include "views/result_table.h"
#include "views/rireki_rows.h"
#include "views/view_host.h"

namespace tovani::shell {

struct ShellOptions {
    // The data folder: RirekiDB, Station.DB and the settings file lie here;
    // empty: the one dataFolder() decides.
    std::string programDir;
    // The settings file; empty: programDir + "/" + executable base name + ".ini".
    std::string settingsFile;
    // Shows a database failure and waits for the user; empty: the window's
    // modal box (WindowControls::showMessageBox). Tests put a recorder here.
    std::function<void(const std::string&)> messageBox;
};

// What the three view buttons run: the history, totals and balance views of
// views/card_views.h, set by the constructor. The start-up runs Zandaka as if
// its button had been clicked. An empty one does nothing.
struct ViewHooks {
    std::function<void()> RirekiHyouji;
    std::function<void()> Syuukei;
    std::function<void()> Zandaka;
};

class frmMain : public ViewHost {
public:
    static constexpr const char* Caption = "Tovani Viewer 2.0.0.1";
    static constexpr int PollingIntervalMs = 1000;

    // Touches no control yet: the window may build its controls after this.
    frmMain(WindowControls& window, ShellOptions options);
    // A window that goes without Form_Unload still lets the reader go.
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Start-up, before the window is first shown: caption, stored placement,
    // layout, empty history table, file list, error texts, reader; with the
    // reader open, the balance overview and the timer. False, after a
    // message box that says why, when the program's own folder cannot be
    // found: the window then closes without being shown.
    bool startUp();

    // --- Events the window passes on --------------------------------------

    void tmrPolling_Timer();
    void cmdReset_Click();
    void cmdRirekiHyouji_Click();
    void cmdSyuukei_Click();
    void cmdZandaka_Click();
    void cmdCSVtoDB_Click();
    // A click on the button c: its handler above (nothing for another control).
    void buttonClicked(Control c);
    // A click on the table (a cell or the header) in column col.
    void grdRireki_Click(int col);
    // The client area has a new size (placement()): the layout rule.
    void Form_Resize();
    // The window closes (it cannot refuse): timer off, reader closed,
    // placement saved. Later events do nothing harmful; the timer stays off.
    void Form_Unload();

    // --- ViewHost -----------------------------------------------------------

    ResultTable& table() override { return Table; }
    void setCardLabel(CardLabel label, const std::string& text) override;
    std::string cardLabel(CardLabel label) const override;
    void setMessage(const std::string& text, Rgb colour) override;
    std::string message() const override { return message_; }
    Rgb messageColour() const override { return messageColour_; }
    void lockControls() override;
    void unlockControls() override;
    void showMessageBox(const std::string& text) override;
    int textWidthTwips(const std::string& utf8) const override;

    void showReadState(ReadState state);
    void setRirekiFileList();

    // The entries of cmbRirekiFile, each a file name's own bytes.
    const std::vector<std::string>& rirekiFiles() const { return rirekiFiles_; }
    // The entry selected now; none when nothing is.
    std::optional<std::string> selectedRirekiFile() const;

    const std::string& programDir() const { return options_.programDir; }
    const std::string& settingsFile() const { return options_.settingsFile; }

    // Station and bus-stop names for the history rows; refers to Names and
    // DBErrorMessage below.
    NameLookup& nameLookup() { return nameLookup_; }

    // The process-wide values of the program, owned here.
    ReaderState Reader;
    CardReadResults Card;
    bool SortAscending = false;
    std::string DBErrorMessage;
    NameCaches Names;
    // Left and Top: the place of the window with its frame; Width and
    // Height: its client area (the frame is the window system's and not
    // known before the window is shown). Twips.
    tovani::WindowSetting WindowSetting;
    ResultTable Table;
    ViewHooks Views;
    ViewData ViewValues;  // the month being summed, the cards of the overview

private:
    void layoutControls();
    void loadWindowSetting();
    void applyWindowSetting();
    void saveWindowSetting();
    void wireViews();
    int tx(int twips) const;  // twips to pixels, across
    int ty(int twips) const;  // ... and down

    WindowControls& window_;
    ShellOptions options_;
    CardRirekiLookup storedRireki_;
    NameLookup nameLookup_;
    // Why the data folder cannot take a card; empty when it can.
    std::string dataFolderError_;
    std::vector<std::string> rirekiFiles_;
    std::string labels_[3];  // lblCardID, lblZandaka, lblSakuseiYmd
    std::string message_;
    Rgb messageColour_ = ColourBlue;
    bool closed_ = false;
};

}  // namespace tovani::shell
