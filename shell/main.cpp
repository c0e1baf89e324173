// TovaniViewer: the program's window.

#include <QApplication>

#include "shell/frm_main.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tovani::shell::frmMain window(tovani::shell::ShellOptions{});
    window.startUp();
    window.show();
    return app.exec();
}
