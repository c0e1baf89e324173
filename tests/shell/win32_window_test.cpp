// The Win32 window end to end under Wine and Xvfb (scripts/test-windows-window
// prepares the folders and compares the views written out with the Linux
// build's): read back from its controls, the window shows what the behaviour
// sets, and the timer, the buttons and clicks on the table reach it. Last,
// TovaniViewer.exe itself reads the transit card for the screenshot.
// Environment: FELICA_VIRTUAL_READER, TOVANI_SAMPLES (samples/cards),
// TOVANI_OUT (texts and screenshot markers); run from a portable program folder.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <tuple>

#include "database/file_system.h"
#include "platform/os/paths.h"
#include "platform/os/process.h"
#include "platform/os/windows/wide.h"
#include "platform/profile/private_profile.h"
#include "shell/twips.h"
#include "shell/win32/win32_window.h"

namespace fs = std::filesystem;
using namespace tovani;
using shell::Control;
using shell::Win32Window;

namespace {

const std::string kShown = "履歴情報を表示しました。";
std::string env(const char* name) { return os::environmentVariable(name).value_or(""); }

void layCard(const fs::path& sample) {
    const fs::path card = os::osPath(env("FELICA_VIRTUAL_READER") + "/card.json");
    fs::remove(card);  // MinGW's copy_file does not overwrite
    fs::copy_file(sample, card);
}

// Runs the window's messages until done() holds; false after the timeout.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
    for (const DWORD start = ::GetTickCount();; ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT)) {
        for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) ::DispatchMessageW(&msg);
        if (done()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
    }
}

// Asked of the control itself, also in another process.
std::string text(HWND h, UINT msg = WM_GETTEXT, WPARAM index = 1024) {
    wchar_t buffer[1024] = {};
    ::SendMessageW(h, msg, index, reinterpret_cast<LPARAM>(buffer));
    return os::utf8(buffer);
}

// A click of the mouse in the middle of r, posted as the system posts it.
void click(HWND h, const RECT& r) {
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ::PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(h, WM_LBUTTONUP, 0, at);
    pumpUntil([] { return true; });
}

class Win32WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shell::ShellOptions options;
        options.messageBox = [](const std::string& t) { boxes.push_back(t); };
        window = std::make_unique<Win32Window>(options);
        ASSERT_TRUE(window->hwnd() && window->form().startUp());
        ::ShowWindow(window->hwnd(), SW_SHOW);
    }
    static void TearDownTestSuite() { window.reset(); }

    shell::frmMain& form() { return window->form(); }
    HWND control(Control c) { return window->control(c); }
    HWND grid() { return control(Control::grdRireki); }
    void press(Control c) {
        ::SendMessageW(control(c), BM_CLICK, 0, 0);
        pumpUntil([] { return true; });
    }

    // Labels, message line (in its painted colour), file list and table as
    // the controls show them and as the behaviour set them; the table also
    // goes to TOVANI_OUT/<name>.txt in tovani-view's text form.
    void expectShown(const std::string& name) {
        const ResultTable& t = form().Table;
        std::string shown, expected, layout, expectedLayout;
        for (auto [c, label] : {std::pair{Control::lblCardID, CardLabel::CardID},
                                {Control::lblSakuseiYmd, CardLabel::SakuseiYmd}, {Control::lblZandaka, CardLabel::Zandaka}}) {
            shown += text(control(c)) + "\n";
            expected += form().cardLabel(label) + "\n";
        }
        HDC dc = ::GetDC(control(Control::lblMess));
        ::SendMessageW(window->hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(control(Control::lblMess)));
        const COLORREF colour = ::GetTextColor(dc);
        ::ReleaseDC(control(Control::lblMess), dc);
        EXPECT_EQ(text(control(Control::lblMess)), form().message());
        EXPECT_EQ((Rgb{GetRValue(colour), GetGValue(colour), GetBValue(colour)}), form().messageColour());
        std::vector<std::string> files;
        for (WPARAM i = 0; i < static_cast<WPARAM>(::SendMessageW(control(Control::cmbRirekiFile), CB_GETCOUNT, 0, 0)); ++i)
            files.push_back(text(control(Control::cmbRirekiFile), CB_GETLBTEXT, i));
        EXPECT_EQ(files, form().rirekiFiles());
        ASSERT_EQ(Header_GetItemCount(ListView_GetHeader(grid())), t.cols() + Win32Window::FirstColumn);
        ASSERT_EQ(ListView_GetItemCount(grid()), t.rows() - 1);
        for (int r = 0; r < t.rows(); ++r) {
            for (int c = 0; c < t.cols(); ++c) {
                wchar_t cell[1024] = {};
                if (r == 0) {
                    LVCOLUMNW column{};
                    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
                    column.pszText = cell;
                    column.cchTextMax = 1024;
                    ListView_GetColumn(grid(), c + Win32Window::FirstColumn, &column);
                    layout += std::to_string(column.fmt & LVCFMT_JUSTIFYMASK) + ":" + std::to_string(column.cx) + " ";
                    expectedLayout += std::to_string(t.colAlignment(c) == CellAlign::Right ? LVCFMT_RIGHT : LVCFMT_LEFT) +
                                      ":" + std::to_string(shell::twipsToPixels(t.colWidth(c), window->dpiX())) + " ";
                } else {
                    ListView_GetItemText(grid(), r - 1, c + Win32Window::FirstColumn, cell, 1024);
                }
                shown += (c > 0 ? "\t" : "") + os::utf8(cell);
                expected += (c > 0 ? "\t" : "") + t.text(r, c);
            }
            shown += "\n";
            expected += "\n";
        }
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(layout, expectedLayout);
        std::ofstream(os::osPath(env("TOVANI_OUT") + "/" + name + ".txt"), std::ios::binary) << shown;
    }

    static inline std::unique_ptr<Win32Window> window;
    static inline std::vector<std::string> boxes;
};

TEST_F(Win32WindowTest, ControlsAtTheirPlacesInTheJapaneseFonts) {
    EXPECT_EQ(text(window->hwnd()), "Tovani Viewer 2.0.0.1");
    const double dpi = window->dpiX();
    for (const auto& d : shell::kControlDesigns) {
        if (!d.inFrame) continue;
        RECT r;
        ::GetWindowRect(control(d.id), &r);
        ::MapWindowPoints(nullptr, control(Control::fraInfo), reinterpret_cast<POINT*>(&r), 2);
        const auto px = [dpi](int twips) { return shell::twipsToPixels(twips, dpi); };
        EXPECT_EQ(std::tuple(r.left, r.top, r.right - r.left), std::tuple(px(d.place.left), px(d.place.top), px(d.place.width)))
            << d.name;
        EXPECT_TRUE(d.kind != shell::ControlKind::Button || text(control(d.id)) == d.text) << d.name;
    }
    for (Control c : {Control::lblMess, Control::grdRireki}) {
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control(c), WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
        EXPECT_EQ(font.lfHeight, -std::lround(shell::FontPoints * dpi / 72));
    }
    EXPECT_FALSE(::IsWindowVisible(control(Control::cmdCSVtoDB)));
    expectShown("start");
}

TEST_F(Win32WindowTest, EachSampleCardOnTheReader) {
    std::vector<fs::path> samples;
    for (const auto& e : fs::directory_iterator(os::osPath(env("TOVANI_SAMPLES"))))
        if (e.path().extension() == ".json") samples.push_back(e.path());
    std::sort(samples.begin(), samples.end());
    ASSERT_GE(samples.size(), 4u);
    for (const fs::path& sample : samples) {
        SCOPED_TRACE(sample.filename().string());
        layCard(sample);
        const int ticks = window->ticks();
        ASSERT_TRUE(pumpUntil([&] { return window->ticks() > ticks; })) << "the timer does not tick";
        // (The card files are compared with the Linux build's by the script.)
        expectShown("read-" + sample.stem().string());
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Win32WindowTest, TheViewButtons) {
    press(Control::cmdZandaka);
    expectShown("balances");
    const auto files = form().rirekiFiles();
    for (WPARAM i = 0; i < files.size(); ++i) {
        ::SendMessageW(control(Control::cmbRirekiFile), CB_SETCURSEL, i, 0);
        press(Control::cmdRirekiHyouji);
        expectShown("history-" + files[i]);
        press(Control::cmdSyuukei);
        expectShown("totals-" + files[i]);
    }
    EXPECT_FALSE(files.empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Win32WindowTest, ClicksOnTheHeaderAndOnCellsSort) {
    window->setPlacement({0, 0, 1200, 600});  // every column of a transit history in sight
    const auto& files = form().rirekiFiles();
    const auto transit = std::find_if(files.begin(), files.end(), [](auto& f) { return f.rfind("SF_", 0) == 0; });
    ::SendMessageW(control(Control::cmbRirekiFile), CB_SETCURSEL, transit - files.begin(), 0);
    press(Control::cmdRirekiHyouji);
    ASSERT_EQ(form().Table.cols(), 8);
    RECT r{};
    ASSERT_TRUE(Header_GetItemRect(ListView_GetHeader(grid()), 7 + Win32Window::FirstColumn, &r));
    click(ListView_GetHeader(grid()), r);
    EXPECT_EQ(form().Table.currentCol(), 7);
    EXPECT_TRUE(form().SortAscending);
    expectShown("sorted-by-header");
    ASSERT_TRUE(ListView_GetSubItemRect(grid(), 1, 1 + Win32Window::FirstColumn, LVIR_BOUNDS, &r));
    click(grid(), r);
    EXPECT_EQ(form().Table.currentCol(), 1);
    EXPECT_FALSE(form().SortAscending);
    expectShown("sorted-by-cell");
}

TEST_F(Win32WindowTest, LockedControlsTakeNoInput) {
    form().lockControls();
    for (const auto& d : shell::kControlDesigns)
        EXPECT_EQ(::IsWindowEnabled(control(d.id)) != 0, !d.inFrame && d.id != Control::fraInfo) << d.name;
    form().unlockControls();
    EXPECT_TRUE(::IsWindowEnabled(control(Control::cmdZandaka)));
    EXPECT_FALSE(::IsWindowEnabled(control(Control::cmdReset)));  // as it was
}

TEST_F(Win32WindowTest, TheMessageBoxHasAnOkButtonOnlyAndTheTitle) {
    static std::vector<std::string> seen;  // the box's visible controls, icons as "icon"
    ::SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND box = ::FindWindowW(L"#32770", L"Tovani Viewer");
        if (box == nullptr) return;
        ::KillTimer(nullptr, id);
        for (HWND c = ::GetWindow(box, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
            const bool icon = ::SendMessageW(c, STM_GETICON, 0, 0) != 0;
            if (::IsWindowVisible(c) && (icon || ::GetWindowTextLengthW(c) > 0)) seen.push_back(icon ? "icon" : text(c));
        }
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    window->showMessageBox("DB open error: a&b");
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"DB open error: a&b", "OK"}));
}

// TovaniViewer.exe as a user starts it: it takes its place from its settings
// file, reads the transit card, waits for the screenshot and saves its place.
TEST_F(Win32WindowTest, TheProgramReadsACardAndKeepsItsPlace) {
    ::PostMessageW(window->hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(pumpUntil([] { return window->hwnd() == nullptr; }));
    layCard(os::osPath(env("TOVANI_SAMPLES") + "/transit.json"));
    const std::string ini = programFolder() + "/TovaniViewer.ini", out = env("TOVANI_OUT");
    const std::pair<const char*, int> place[] = {{"Left", 240}, {"Top", 240}, {"Width", 13200}, {"Height", 6000}};
    for (auto [key, twips] : place) writePrivateProfileString("Setting", key, std::to_string(twips), ini);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(os::wide(programFolder() + "\\TovaniViewer.exe").c_str(), nullptr, nullptr, nullptr,
                                 FALSE, 0, nullptr, nullptr, &start, &process));
    // Shown once the tick has stored the card and selected its file, and
    // the program has painted and waits for the user.
    HWND shown = nullptr;
    const auto item = [&](HWND parent, Control c) { return ::GetDlgItem(parent, 100 + static_cast<int>(c)); };
    EXPECT_TRUE(pumpUntil([&] {
        shown = ::FindWindowW(L"TovaniViewer", nullptr);
        return shown && text(item(shown, Control::lblMess)) == kShown &&
               text(item(item(shown, Control::fraInfo), Control::cmbRirekiFile)).rfind("SF_", 0) == 0;
    }));
    ::WaitForInputIdle(process.hProcess, 5000);
    std::ofstream(os::osPath(out + "/screenshot-ready"));
    EXPECT_TRUE(pumpUntil([&] { return fileExists(out + "/screenshot-taken"); }, 120000));
    ::PostMessageW(shown, WM_CLOSE, 0, 0);
    DWORD status = 1;
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    EXPECT_TRUE(::GetExitCodeProcess(process.hProcess, &status) && status == 0);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    for (auto [key, twips] : place) EXPECT_EQ(getPrivateProfileInt("Setting", key, 0, ini), twips) << key;
}

}  // namespace

int main(int argc, char** argv) {
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
