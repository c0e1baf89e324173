// The Win32 window end to end, under Wine and Xvfb (scripts/test-windows-window
// prepares the folders): its controls show what the behaviour sets, read
// back from the controls themselves, and the timer, the buttons and clicks on
// the table reach the behaviour. Each sample card is laid on the virtual
// reader; what the views show is written out (in tovani-view's text form) for
// the script to compare with the Linux build's. Last, TovaniViewer.exe itself
// reads the transit card for the screenshot and saves its place at close.
//
// Environment: FELICA_VIRTUAL_READER (the reader's folder), TOVANI_SAMPLES
// (samples/cards), TOVANI_OUT (where the texts and the screenshot markers
// go). Runs from a copy of the program folder, marked portable, with Station.DB.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "database/file_system.h"
#include "platform/os/paths.h"
#include "platform/os/process.h"
#include "platform/os/windows/wide.h"
#include "platform/profile/private_profile.h"
#include "shell/twips.h"
#include "shell/win32/win32_window.h"
#include "store/db_files.h"

namespace fs = std::filesystem;
using namespace tovani;
using shell::Control;
using shell::Win32Window;

namespace {

const std::string kShown = "履歴情報を表示しました。";

// The card on the virtual reader. (MinGW's copy_file fails to overwrite.)
void layCard(const fs::path& sample) {
    const fs::path card = os::osPath(os::environmentVariable("FELICA_VIRTUAL_READER").value_or("") + "/card.json");
    fs::remove(card);
    fs::copy_file(sample, card);
}
std::string env(const char* name) { return os::environmentVariable(name).value_or(""); }

// Runs the window's messages until done() holds; false after 20 seconds.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

// Asked of the control itself, also in another process.
std::string text(HWND h) {
    wchar_t buffer[1024] = {};
    ::SendMessageW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
    return os::utf8(buffer);
}

std::string cell(HWND grid, int row, int col) {
    wchar_t buffer[1024] = {};
    LVITEMW item{};
    item.iSubItem = col + Win32Window::FirstColumn;
    item.pszText = buffer;
    item.cchTextMax = 1024;
    ::SendMessageW(grid, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return os::utf8(buffer);
}

// The message line's colour, as the window paints it.
Rgb messageColour(Win32Window& w) {
    HWND line = w.control(Control::lblMess);
    HDC dc = ::GetDC(line);
    ::SendMessageW(w.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(line));
    const COLORREF c = ::GetTextColor(dc);
    ::ReleaseDC(line, dc);
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

// A click of the mouse, posted as the system posts it.
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
        ASSERT_NE(window->hwnd(), nullptr);
        ASSERT_TRUE(window->form().startUp());
        ::ShowWindow(window->hwnd(), SW_SHOW);
    }
    static void TearDownTestSuite() { window.reset(); }

    shell::frmMain& form() { return window->form(); }
    HWND grid() { return window->control(Control::grdRireki); }
    void press(Control c) {
        ::SendMessageW(window->control(c), BM_CLICK, 0, 0);
        pumpUntil([] { return true; });
    }
    void tick() {
        const int before = window->ticks();
        ASSERT_TRUE(pumpUntil([&] { return window->ticks() > before; })) << "the timer does not tick";
    }

    // Every control shows what the behaviour set; what the table shows is
    // written to TOVANI_OUT/<name>.txt as tovani-view writes a view.
    void expectShown(const std::string& name) {
        auto& f = form();
        const ResultTable& t = f.Table;
        std::string shown;
        for (auto [label, c] : {std::pair{CardLabel::CardID, Control::lblCardID}, {CardLabel::SakuseiYmd, Control::lblSakuseiYmd},
                                {CardLabel::Zandaka, Control::lblZandaka}}) {
            EXPECT_EQ(text(window->control(c)), f.cardLabel(label));
            shown += text(window->control(c)) + "\n";
        }
        EXPECT_EQ(text(window->control(Control::lblMess)), f.message());
        EXPECT_EQ(messageColour(*window), f.messageColour());
        HWND list = window->control(Control::cmbRirekiFile);
        std::vector<std::string> files;
        for (LRESULT i = 0; i < ::SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t buffer[MAX_PATH] = {};
            ::SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
            files.push_back(os::utf8(buffer));
        }
        EXPECT_EQ(files, f.rirekiFiles());
        ASSERT_EQ(Header_GetItemCount(ListView_GetHeader(grid())), t.cols() + Win32Window::FirstColumn);
        ASSERT_EQ(ListView_GetItemCount(grid()), t.rows() - 1);
        for (int c = 0; c < t.cols(); ++c) {
            wchar_t header[256] = {};
            LVCOLUMNW column{};
            column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
            column.pszText = header;
            column.cchTextMax = 256;
            ListView_GetColumn(grid(), c + Win32Window::FirstColumn, &column);
            EXPECT_EQ(os::utf8(header), t.text(0, c));
            EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, t.colAlignment(c) == CellAlign::Right ? LVCFMT_RIGHT : LVCFMT_LEFT);
            EXPECT_EQ(column.cx, shell::twipsToPixels(t.colWidth(c), window->dpiX()));
            shown += (c > 0 ? "\t" : "") + os::utf8(header);
        }
        for (int r = 0; r + 1 < t.rows(); ++r) {
            shown += "\n";
            for (int c = 0; c < t.cols(); ++c) {
                EXPECT_EQ(cell(grid(), r, c), t.text(r + 1, c)) << "row " << r + 1 << ", column " << c;
                shown += (c > 0 ? "\t" : "") + cell(grid(), r, c);
            }
        }
        std::ofstream(os::osPath(env("TOVANI_OUT") + "/" + name + ".txt"), std::ios::binary) << shown << "\n";
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
        ::GetWindowRect(window->control(d.id), &r);
        ::MapWindowPoints(nullptr, window->control(Control::fraInfo), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, shell::twipsToPixels(d.place.left, dpi)) << d.name;
        EXPECT_EQ(r.top, shell::twipsToPixels(d.place.top, dpi)) << d.name;
        EXPECT_EQ(r.right - r.left, shell::twipsToPixels(d.place.width, dpi)) << d.name;
        if (d.kind == shell::ControlKind::Button) {
            EXPECT_EQ(text(window->control(d.id)), d.text);
        }
    }
    for (Control c : {Control::lblMess, Control::grdRireki}) {
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(window->control(c), WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
        EXPECT_EQ(font.lfHeight, -std::lround(shell::FontPoints * dpi / 72));
    }
    EXPECT_TRUE(::GetWindowLongPtrW(grid(), GWL_STYLE) & LVS_OWNERDATA);
    EXPECT_FALSE(::IsWindowVisible(window->control(Control::cmdCSVtoDB)));
    EXPECT_FALSE(::IsWindowEnabled(window->control(Control::cmdReset)));
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
        tick();
        expectShown("read-" + sample.stem().string());
        const auto& card = form().Card;
        if (form().message() == kShown && !form().Table.text(1, 0).empty()) {
            EXPECT_TRUE(fileExists(cardDbPath(form().programDir(), card.CardKind, card.CardID)));
            EXPECT_EQ(text(window->control(Control::cmbRirekiFile)), dbFilePrefix(card.CardKind) + card.CardID + ".DB");
        }
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Win32WindowTest, TheViewButtons) {
    press(Control::cmdZandaka);
    expectShown("balances");
    const auto files = form().rirekiFiles();
    ASSERT_FALSE(files.empty());
    for (size_t i = 0; i < files.size(); ++i) {
        ::SendMessageW(window->control(Control::cmbRirekiFile), CB_SETCURSEL, i, 0);
        press(Control::cmdRirekiHyouji);
        expectShown("history-" + files[i]);
        press(Control::cmdSyuukei);
        expectShown("totals-" + files[i]);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Win32WindowTest, ClicksOnTheHeaderAndOnCellsSort) {
    // Wide enough for every column of a transit history.
    window->setPlacement({0, 0, 1200, 600});
    const auto& files = form().rirekiFiles();
    const auto transit = std::find_if(files.begin(), files.end(), [](const std::string& f) { return f.rfind("SF_", 0) == 0; });
    ASSERT_NE(transit, files.end());
    ::SendMessageW(window->control(Control::cmbRirekiFile), CB_SETCURSEL, transit - files.begin(), 0);
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
    for (const auto& d : shell::kControlDesigns) {
        if (d.inFrame) {
            EXPECT_FALSE(::IsWindowEnabled(window->control(d.id))) << d.name;
        }
    }
    const bool ascending = form().SortAscending;
    RECT r;
    Header_GetItemRect(ListView_GetHeader(grid()), 1, &r);
    click(ListView_GetHeader(grid()), r);
    EXPECT_EQ(form().SortAscending, ascending);
    form().unlockControls();
    EXPECT_TRUE(::IsWindowEnabled(window->control(Control::cmdZandaka)));
    EXPECT_FALSE(::IsWindowEnabled(window->control(Control::cmdReset)));  // as it was
}

TEST_F(Win32WindowTest, TheMessageBoxHasAnOkButtonOnlyAndTheTitle) {
    static std::vector<std::string> seen;  // the box's visible controls
    ::SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND box = ::FindWindowW(L"#32770", L"Tovani Viewer");
        if (box == nullptr) return;
        ::KillTimer(nullptr, id);
        for (HWND c = ::GetWindow(box, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
            wchar_t cls[32] = {};
            ::GetClassNameW(c, cls, 32);
            const bool icon = ::SendMessageW(c, STM_GETICON, 0, 0) != 0;
            if (::IsWindowVisible(c) && (icon || ::GetWindowTextLengthW(c) > 0))
                seen.push_back(os::utf8(cls) + ":" + (icon ? "icon" : text(c)));
        }
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    window->showMessageBox("DB open error: a&b");
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"Button:OK", "Static:DB open error: a&b"}));
}

// TovaniViewer.exe from the program folder, as a user starts it: it reads the
// transit card, stays for the screenshot, and takes its place from its
// settings file and saves it there at close.
TEST_F(Win32WindowTest, TheProgramReadsACardAndKeepsItsPlace) {
    ::PostMessageW(window->hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(pumpUntil([] { return window->hwnd() == nullptr; }));
    const std::string samples = env("TOVANI_SAMPLES"), out = env("TOVANI_OUT");
    layCard(os::osPath(samples + "/transit.json"));
    // Its place from its settings file, wide enough for the station names.
    const std::string ini = programFolder() + "/TovaniViewer.ini";
    const std::pair<const char*, int> place[] = {{"Left", 240}, {"Top", 240}, {"Width", 13200}, {"Height", 6000}};
    for (auto [key, twips] : place) writePrivateProfileString("Setting", key, std::to_string(twips), ini);
    std::wstring program = os::wide(programFolder() + "\\TovaniViewer.exe");
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process));
    // Shown once the tick has stored the card and selected its file, and the
    // program has painted and waits for the user.
    HWND shown = nullptr;
    const auto item = [&](Control c) { return ::GetDlgItem(shown, 100 + static_cast<int>(c)); };
    EXPECT_TRUE(pumpUntil([&] {
        shown = ::FindWindowW(L"TovaniViewer", nullptr);
        HWND files = shown ? ::GetDlgItem(item(Control::fraInfo), 100 + static_cast<int>(Control::cmbRirekiFile)) : nullptr;
        return files && text(item(Control::lblMess)) == kShown && text(files).rfind("SF_", 0) == 0;
    }));
    ::WaitForInputIdle(process.hProcess, 5000);
    std::ofstream(os::osPath(out + "/screenshot-ready"));
    EXPECT_TRUE(pumpUntil([&] { return fileExists(out + "/screenshot-taken"); }, 120000));
    ::PostMessageW(shown, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD status = 1;
    ::GetExitCodeProcess(process.hProcess, &status);
    EXPECT_EQ(status, 0u);
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
