#pragma once

// A program folder and a virtual reader in temporary folders, and a window
// started on them whose message boxes are recorded instead of shown.

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database/bridge.h"
#include "shell/frm_main.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace tovani::test {

// Message lines the window shows while it polls.
inline const std::string kAskForCard = "Edy/nanaco/WAON/Suica/ICOCA等のカードをカードリーダーの上に置いてください。";
inline const std::string kShown = "履歴情報を表示しました。";

class WindowRig {
public:
    // readerPresent false: FELICA_VIRTUAL_READER names a folder that does not exist.
    explicit WindowRig(bool readerPresent = true);
    ~WindowRig();

    // A new window on the same folders, started up (the previous one closed).
    shell::frmMain& start();
    void close();
    shell::frmMain& w() { return *window_; }

    void laySample(const std::string& name);  // a card image of samples/cards
    void lift();
    void unplug();
    void plugIn();
    void tick();  // one tick of tmrPolling

    std::string programDir() const { return program_.path().toStdString(); }
    std::string readerDir() const;
    std::string iniPath() const { return programDir() + "/TovaniViewer.ini"; }
    std::string cardFile() const;  // of the card read last

    QLabel* label(const char* name) const;
    QPushButton* button(const char* name) const;
    QComboBox* files() const;
    QTableView* grid() const;
    QTimer* timer() const;

    std::vector<std::string> boxes;  // texts of the message boxes shown
    std::function<void()> whileBoxShown;  // runs as if the user acted while a box waits

private:
    QTemporaryDir program_;
    QTemporaryDir reader_;
    bool readerPresent_;
    std::unique_ptr<shell::frmMain> window_;
};

// Rows in the Rireki table of a card file; -1 when it cannot be read.
int storedRows(const std::string& path);
// The texts of one table column, data rows only.
std::vector<std::string> column(const ResultTable& table, int col);

// The main function of a window test program: runs the slots of Tests on the
// offscreen platform with the two screens of screens.json (unless
// QT_QPA_PLATFORM names another) with the bridge library at bridgePath.
template <class Tests>
int runWindowTests(int argc, char** argv,
                   const std::string& bridgePath = std::string(TOVANI_PROGRAM_DIR) + "/librowgate.so") {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" TOVANI_SOURCE_DIR "/tests/shell/screens.json");
    QApplication app(argc, argv);
    bridge::setLibraryPath(bridgePath);
    Tests tests;
    return QTest::qExec(&tests, argc, argv);
}

}  // namespace tovani::test
