#include "window_support.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <filesystem>

#include "database/db_access.h"
#include "store/db_files.h"

namespace tovani::test {

namespace fs = std::filesystem;

WindowRig::WindowRig(bool readerPresent) : readerPresent_(readerPresent) {
    qputenv("FELICA_VIRTUAL_READER", QByteArray::fromStdString(readerDir()));
}

WindowRig::~WindowRig() { close(); }

std::string WindowRig::readerDir() const {
    const std::string dir = reader_.path().toStdString();
    return readerPresent_ ? dir : dir + "/no-such-reader";
}

shell::frmMain& WindowRig::start() {
    close();
    shell::ShellOptions options;
    options.programDir = programDir();
    options.settingsFile = iniPath();
    options.messageBox = [this](const std::string& text) {
        boxes.push_back(text);
        if (whileBoxShown) whileBoxShown();
    };
    window_ = std::make_unique<shell::frmMain>(std::move(options));
    window_->startUp();
    return *window_;
}

void WindowRig::close() {
    if (!window_) return;
    window_->close();
    window_.reset();
}

void WindowRig::laySample(const std::string& name) {
    fs::copy_file(fs::path(TOVANI_SOURCE_DIR) / "samples/cards" / name, readerDir() + "/card.json",
                  fs::copy_options::overwrite_existing);
}

void WindowRig::lift() { fs::remove(readerDir() + "/card.json"); }

void WindowRig::unplug() { QFile(QString::fromStdString(readerDir() + "/unplugged")).open(QIODevice::WriteOnly); }

void WindowRig::plugIn() { fs::remove(readerDir() + "/unplugged"); }

void WindowRig::tick() { window_->tmrPolling_Timer(); }

std::string WindowRig::cardFile() const {
    return cardDbPath(programDir(), window_->Card.CardKind, window_->Card.CardID);
}

QLabel* WindowRig::label(const char* name) const { return window_->findChild<QLabel*>(name); }
QPushButton* WindowRig::button(const char* name) const { return window_->findChild<QPushButton*>(name); }
QComboBox* WindowRig::files() const { return window_->findChild<QComboBox*>("cmbRirekiFile"); }
QTableView* WindowRig::grid() const { return window_->findChild<QTableView*>("grdRireki"); }
QTimer* WindowRig::timer() const { return window_->findChild<QTimer*>("tmrPolling"); }

static int countRow(void* user, int, char** values, char**) {
    *static_cast<int*>(user) = valueToInt32(values[0]);
    return 0;
}

int storedRows(const std::string& path) {
    if (!fileExists(path)) return -1;
    DbFile db;
    int n = -1;
    if (!db.open(path, bridge::OpenReadOnly) || !db.exec("SELECT COUNT(*) FROM Rireki;", countRow, &n)) return -1;
    return n;
}

std::vector<std::string> column(const ResultTable& table, int col) {
    std::vector<std::string> texts;
    for (int r = table.fixedRows(); r < table.rows(); ++r) texts.push_back(table.text(r, col));
    return texts;
}

}  // namespace tovani::test
