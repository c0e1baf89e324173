// TovaniViewer: the program's window.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/qt/qt_window.h"
#include "shell/window_help.h"
#include "tools/command_line.h"

namespace {

std::string helpText() {
    return tovani::shell::windowHelpText(
        {" (for example without a display); the\n"
         "     reason on standard error\n",
         "Qt's own options (for example -platform NAME) are taken as well.\n",
         "  DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM\n"
         "                         the display the window opens on, as for every Qt\n"
         "                         program\n"});
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
        std::fprintf(stderr, "%sTry 'TovaniViewer --help' for more information.\n",
                     tovani::shell::WindowSynopsis);
        return 2;
    case tovani::CommonOption::None:
        break;
    }
    qtDefaultHandler = qInstallMessageHandler(startUpMessages);
    startingQt = true;
    QApplication app(argc, argv);
    startingQt = false;
    tovani::shell::QtWindow window(tovani::shell::ShellOptions{});
    if (!window.form().startUp()) return 1;
    window.show();
    return app.exec();
}
