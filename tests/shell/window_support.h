#pragma once

// A program folder and a virtual reader in temporary folders, and the
// window's behaviour started on them over a window without a toolkit
// (fake_window.h) whose message boxes are recorded instead of shown.

#include <memory>
#include <string>
#include <vector>

#include "fake_window.h"
#include "shell/frm_main.h"
#include "support/temp_dir.h"
#include "views/result_table.h"

namespace tovani::test {

// Message lines the window shows while it polls.
inline const std::string kAskForCard = "Edy/nanaco/WAON/Suica/ICOCA等のカードをカードリーダーの上に置いてください。";
inline const std::string kShown = "履歴情報を表示しました。";

// The folders and the card on the reader.
class CardRig {
public:
    // readerPresent false: FELICA_VIRTUAL_READER names a folder that does not exist.
    explicit CardRig(bool readerPresent = true);

    void laySample(const std::string& name);  // a card image of samples/cards
    void lift();
    void unplug();
    void plugIn();

    std::string programDir() const { return program_.str(); }
    std::string readerDir() const;
    std::string iniPath() const { return programDir() + "/TovaniViewer.ini"; }
    shell::ShellOptions options() const;  // programDir and iniPath

private:
    TempDir program_;
    TempDir reader_;
    bool readerPresent_;
};

class WindowRig : public CardRig {
public:
    using CardRig::CardRig;
    ~WindowRig();

    // A new window on the same folders, started up (the previous one closed).
    shell::frmMain& start();
    // The window closes: Form_Unload, then it is gone.
    void close();
    shell::frmMain& w() { return *form_; }
    FakeWindow& window() { return *window_; }
    void tick() { form_->tmrPolling_Timer(); }

    std::string cardFile() const;  // of the card read last
    const std::vector<std::string>& boxes() const { return window_->boxes; }
    std::string text(shell::Control c) const { return window_->text.at(c); }

    // The free areas of the screens each new window finds.
    std::vector<PixelRect> screens{{0, 0, 1280, 800}, {1280, 0, 1024, 768}};

private:
    std::unique_ptr<FakeWindow> window_;
    std::unique_ptr<shell::frmMain> form_;
};

// Rows in the Rireki table of a card file; -1 when it cannot be read.
int storedRows(const std::string& path);
// The texts of one table column, data rows only.
std::vector<std::string> column(const ResultTable& table, int col);

}  // namespace tovani::test
