// TovaniViewer.exe: the program's window on Windows.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/os/process.h"
#include "platform/os/windows/wide.h"
#include "shell/win32/win32_window.h"
#include "shell/window_help.h"
#include "tools/command_line.h"

namespace {

std::string helpText() {
    return tovani::shell::windowHelpText({"; the reason in a message box\n", "", ""});
}

// A window program has no console: a text goes to the standard output or
// error when the caller gave one (a pipe, a file), else into a message box.
void say(DWORD stream, const std::string& text) {
    HANDLE out = ::GetStdHandle(stream);
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE &&
        ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return;
    ::MessageBoxW(nullptr, tovani::os::wide(text).c_str(), tovani::os::wide(tovani::shell::MessageBoxTitle).c_str(),
                  MB_OK);
}

int runMessageLoop(HWND window) {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Tab and the arrow keys move between the controls, Enter and the
        // space bar press the button that has the keyboard.
        if (::IsWindow(window) && ::IsDialogMessageW(window, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    std::vector<std::string> args = tovani::os::commandLineArguments(0, nullptr);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    switch (tovani::commonOption(static_cast<int>(argv.size()), argv.data())) {
    case tovani::CommonOption::Help:
        say(STD_OUTPUT_HANDLE, helpText());
        return 0;
    case tovani::CommonOption::Version:
        say(STD_OUTPUT_HANDLE, std::string("TovaniViewer ") + TOVANI_VERSION + "\n");
        return 0;
    case tovani::CommonOption::Misused:
        say(STD_ERROR_HANDLE, std::string(tovani::shell::WindowSynopsis) + "Try 'TovaniViewer --help' for more information.\n");
        return 2;
    case tovani::CommonOption::None:
        break;
    }

    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    tovani::shell::Win32Window window(tovani::shell::ShellOptions{});
    if (window.hwnd() == nullptr) {
        say(STD_ERROR_HANDLE, "TovaniViewer: the window could not be made: " + tovani::os::systemMessage(::GetLastError()) + "\n");
        return 1;
    }
    if (!window.form().startUp()) return 1;
    ::ShowWindow(window.hwnd(), show);
    ::UpdateWindow(window.hwnd());
    return runMessageLoop(window.hwnd());
}
