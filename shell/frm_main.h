#pragma once

// The program's one window: the frame with the card labels, the file list and
// the buttons, the result table, the message line and the polling timer. It
// owns the process-wide values of the program (reader state, card read
// results, sort direction, database error text, name caches, placement) and
// passes them by reference to the routines below the shell.

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "cards/card_data.h"
#include "names/station_lookup.h"
#include "platform/profile/window_setting.h"
#include "reader/reader.h"
#include "views/card_views.h"
#include "views/result_table.h"
#include "views/rireki_rows.h"
#include "views/view_host.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace tovani::shell {

class ResultTableModel;

struct ShellOptions {
    // The data folder: RirekiDB, Station.DB and the settings file lie here;
    // empty: the one dataFolder() decides.
    std::string programDir;
    // The settings file; empty: programDir + "/" + executable base name + ".ini".
    std::string settingsFile;
    // Shows a database failure and waits for the user; empty: the modal box
    // (text, OK only, no icon, title "Tovani Viewer"). Tests put a recorder here.
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

class frmMain : public QWidget, public ViewHost {
    Q_OBJECT
public:
    static constexpr const char* Caption = "Tovani Viewer 2.0.0.1";

    explicit frmMain(ShellOptions options, QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up, before the window is first shown: caption, stored placement,
    // layout, empty history table, file list, error texts, reader.
    void startUp();

    // ViewHost
    ResultTable& table() override { return Table; }
    void setCardLabel(CardLabel label, const std::string& text) override;
    std::string cardLabel(CardLabel label) const override;
    void setMessage(const std::string& text, Rgb colour) override;
    std::string message() const override;
    Rgb messageColour() const override;
    void lockControls() override;
    void unlockControls() override;
    void showMessageBox(const std::string& text) override;
    int textWidthTwips(const std::string& utf8) const override;

    void showReadState(ReadState state);
    void setRirekiFileList();

    // The entry of cmbRirekiFile the history and totals views open.
    std::string rirekiFileText() const;
    // The file name of entry index as its own bytes; empty outside the list.
    std::string rirekiFileAt(int index) const;

    const std::string& programDir() const { return options_.programDir; }
    const std::string& settingsFile() const { return options_.settingsFile; }

    // The process-wide values of the program, owned here.
    ReaderState Reader;
    CardReadResults Card;
    bool SortAscending = false;
    std::string DBErrorMessage;
    NameCaches Names;
    // Left and Top: the place of the window with its frame; Width and
    // Height: its client area (the frame is the window manager's and not
    // known before the window is shown).
    tovani::WindowSetting WindowSetting;
    ResultTable Table;
    ViewHooks Views;
    ViewData ViewValues;  // the month being summed, the cards of the overview

public slots:
    void tmrPolling_Timer();
    void cmdReset_Click();
    void cmdRirekiHyouji_Click();
    void cmdSyuukei_Click();
    void cmdZandaka_Click();
    void cmdCSVtoDB_Click();
    // A click on the table (a cell or the header) in column col.
    void grdRireki_Click(int col);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void layoutControls();
    void applyColumnWidths();
    void loadWindowSetting();
    void applyWindowSetting();
    void saveWindowSetting();
    void wireViews();
    // The selected entry of cmbRirekiFile; none when nothing is selected.
    std::optional<std::string> selectedRirekiFile() const;
    QLabel* cardLabelWidget(CardLabel label) const;
    int tx(int twips) const;  // twips to pixels, across
    int ty(int twips) const;  // ... and down

    ShellOptions options_;
    CardRirekiLookup storedRireki_;

public:
    // Station and bus-stop names for the history rows; refers to Names and
    // DBErrorMessage above.
    NameLookup& nameLookup() { return nameLookup_; }

private:
    NameLookup nameLookup_;
    // Why the data folder cannot take a card; empty when it can.
    std::string dataFolderError_;
    Rgb messageColour_ = ColourBlue;
    bool closed_ = false;
    bool headerDoubleClicked_ = false;  // the header's next click ends a double click

    QFrame* fraInfo = nullptr;
    QLabel* lblCardID = nullptr;
    QLabel* lblZandaka = nullptr;
    QLabel* lblSakuseiYmd = nullptr;
    QLabel* lblRireki = nullptr;
    QComboBox* cmbRirekiFile = nullptr;
    QPushButton* cmdCSVtoDB = nullptr;
    QPushButton* cmdRirekiHyouji = nullptr;
    QPushButton* cmdSyuukei = nullptr;
    QPushButton* cmdZandaka = nullptr;
    QPushButton* cmdReset = nullptr;
    QTableView* grdRireki = nullptr;
    QLabel* lblMess = nullptr;
    QTimer* tmrPolling = nullptr;
    ResultTableModel* model_ = nullptr;
};

// Makes the two fonts the window asks for by name resolve to the IPA Gothic
// fonts where they are not installed. Called by the window; idempotent.
void installFontSubstitutions();

}  // namespace tovani::shell
