// TovaniViewer: the program's window.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "database/file_system.h"
#include "platform/felica/reader_help.h"
#include "shell/qt/qt_window.h"
#include "tools/command_line.h"

namespace {

constexpr const char* kSynopsis = "Usage: TovaniViewer [-h | --help | --version]\n";

std::string helpText() {
    return std::string(kSynopsis) +
           "\n"
           "Reads the history of Japanese contactless prepaid cards (transit IC cards,\n"
           "Edy, nanaco, WAON) from a FeliCa reader/writer, keeps every card's history\n"
           "in a database file of its own, and shows the history, the totals per month\n"
           "and the balances of all stored cards in one window. While the window is open\n"
           "it polls the reader/writer once a second; a card laid on it is read, shown\n"
           "and stored. Nothing is ever written to a card.\n"
           "\n"
           "Exit status:\n"
           "  0  the window was closed\n"
           "  1  the window could not be opened (for example without a display); the\n"
           "     reason on standard error\n"
           "  2  wrong command line: -h, --help or --version with anything else\n"
           "\n"
           "Options:\n"
           "  -h, --help  print this help and exit\n"
           "  --version   print the version and exit\n"
           "Qt's own options (for example -platform NAME) are taken as well.\n"
           "\n"
           "Environment:\n" +
           tovani::felica::readerEnvironmentHelp() + tovani::dataFolderEnvironmentHelp +
           "  DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM\n"
           "                         the display the window opens on, as for every Qt\n"
           "                         program\n"
           "\n"
           "Files:\n"
           "  DATA/RirekiDB/*.DB     the card files, one per card: every transaction read\n"
           "  DATA/Station.DB        the station and bus-stop names of transit histories\n"
           "                         (built by tovani-import-stations)\n"
           "  DATA/TovaniViewer.ini  the window's place and size, saved at close\n"
           "  PROGRAM/librowgate.so  the database library\n"
           "\n" +
           tovani::dataFolderHelp;
}

// Qt ends the process with abort() when it cannot reach a display; that is
// a failure to start, said on standard error, not a crash.
QtMessageHandler qtDefaultHandler = nullptr;
bool startingQt = false;

void startUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (qtDefaultHandler) qtDefaultHandler(type, context, text);
    if (type == QtFatalMsg && startingQt) std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so that they need no display.
    switch (tovani::commonOption(argc, argv)) {
    case tovani::CommonOption::Help:
        std::fputs(helpText().c_str(), stdout);
        return 0;
    case tovani::CommonOption::Version:
        std::printf("TovaniViewer %s\n", TOVANI_VERSION);
        return 0;
    case tovani::CommonOption::Misused:
        std::fprintf(stderr, "%sTry 'TovaniViewer --help' for more information.\n", kSynopsis);
        return 2;
    case tovani::CommonOption::None:
        break;
    }
    qtDefaultHandler = qInstallMessageHandler(startUpMessages);
    startingQt = true;
    QApplication app(argc, argv);
    startingQt = false;
    // Without its own folder the program has no database library to load
    // (never one from the current folder): it says so and ends.
    if (const std::string error = tovani::programFolderError(); !error.empty()) {
        std::fprintf(stderr, "TovaniViewer: %s\n", error.c_str());
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tovani Viewer"), QString::fromStdString(error),
                        QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return 1;
    }
    tovani::shell::QtWindow window(tovani::shell::ShellOptions{});
    window.form().startUp();
    window.show();
    return app.exec();
}
