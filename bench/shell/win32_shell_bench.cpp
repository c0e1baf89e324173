// Times the Win32 window's table with 100,000 transit history rows, as
// shell_bench does the Qt window's: the layout and every row written under
// the lock (names from the caches) until the list view has been painted, and
// a sort by click on an amount column.
//
// usage: win32_shell_bench.exe [ROUNDS]   (under Wine with a display:
//        bench/shell/window-bench runs it)

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "shell/win32/win32_window.h"
#include "transit_rows.h"
#include "views/rireki_rows.h"

namespace {

using Clock = std::chrono::steady_clock;
using tovani::bench::kRows;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Paints what is due and runs every message waiting.
void paintAndRun(HWND window) {
    ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);

    tovani::shell::ShellOptions options;
    options.programDir = "no-data";  // every name comes from the cache
    tovani::shell::Win32Window window(options);
    window.setPlacement({0, 0, 1200, 800});
    ::ShowWindow(window.hwnd(), SW_SHOW);
    paintAndRun(window.hwnd());
    tovani::shell::frmMain& w = window.form();
    tovani::bench::cacheStationNames(w.Names);
    const auto rows = tovani::bench::transitRows();
    w.Card.CardKind = tovani::CardKindSF;  // the sort by click follows the kind on show

    std::vector<double> fill, sort;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        w.lockControls();
        tovani::setRirekiGrid(w, w.Table, kRows, tovani::CardKindSF);
        for (int i = 0; i < kRows; ++i)
            tovani::setRirekiRow(w.Table, i + 1, rows[static_cast<size_t>(i)], tovani::CardKindSF, w.nameLookup());
        w.unlockControls();
        paintAndRun(window.hwnd());
        fill.push_back(msSince(start));

        start = Clock::now();
        w.SortAscending = round % 2 == 1;  // alternate the direction the click picks
        w.grdRireki_Click(7);              // 残高, an amount column
        paintAndRun(window.hwnd());
        sort.push_back(msSince(start));
        const bool sorted = w.Table.text(w.SortAscending ? 1 : kRows, 7) == "500,000" &&
                            ListView_GetItemCount(window.control(tovani::shell::Control::grdRireki)) == kRows;
        if (!sorted) {
            std::fprintf(stderr, "win32_shell_bench: the table was not filled and sorted\n");
            return 1;
        }
    }
    auto report = [](const char* what, std::vector<double> ms) {
        std::sort(ms.begin(), ms.end());
        std::printf("%-58s min %8.1f ms  median %8.1f ms  max %8.1f ms\n", what, ms.front(), ms[ms.size() / 2],
                    ms.back());
    };
    std::printf("%d transit rows, %d rounds, Win32 list view\n", kRows, rounds);
    report("setRirekiGrid + setRirekiRow under lock, view painted", fill);
    report("sort by click on the amount column 残高, view painted", sort);
    return 0;
}
