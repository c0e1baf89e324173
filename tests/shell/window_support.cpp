#include "window_support.h"

#include <cstdlib>
#include <filesystem>

#include "database/db_access.h"
#include "store/db_files.h"

namespace tovani::test {

namespace fs = std::filesystem;

CardRig::CardRig(bool readerPresent) : readerPresent_(readerPresent) {
    setenv("FELICA_VIRTUAL_READER", readerDir().c_str(), 1);
}

std::string CardRig::readerDir() const {
    return readerPresent_ ? reader_.str() : reader_.str() + "/no-such-reader";
}

shell::ShellOptions CardRig::options() const {
    shell::ShellOptions options;
    options.programDir = programDir();
    options.settingsFile = iniPath();
    return options;
}

void CardRig::laySample(const std::string& name) {
    fs::copy_file(fs::path(TOVANI_SOURCE_DIR) / "samples/cards" / name, readerDir() + "/card.json",
                  fs::copy_options::overwrite_existing);
}

void CardRig::lift() { fs::remove(readerDir() + "/card.json"); }

void CardRig::unplug() { writeFile(readerDir() + "/unplugged", ""); }

void CardRig::plugIn() { fs::remove(readerDir() + "/unplugged"); }

WindowRig::~WindowRig() { close(); }

shell::frmMain& WindowRig::start() {
    close();
    window_ = std::make_unique<FakeWindow>();
    window_->screens = screens;
    form_ = std::make_unique<shell::frmMain>(*window_, options());
    form_->startUp();
    return *form_;
}

void WindowRig::close() {
    if (!form_) return;
    form_->Form_Unload();
    form_.reset();
}

std::string WindowRig::cardFile() const { return cardDbPath(programDir(), form_->Card.CardKind, form_->Card.CardID); }

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
