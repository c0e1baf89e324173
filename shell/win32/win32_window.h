#pragma once

// The window on Win32 and comctl32 (version 6): builds the controls of
// kControlDesigns, shows what the behaviour (frmMain) sets, and passes its
// events on: the timer's tick, the clicks on the buttons and the table, a
// resize, a new DPI and the close. The result table is a virtual report-view
// list view: it asks for the texts of the rows it paints, so that 100,000
// rows cost no more than 20.

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "shell/frm_main.h"
#include "shell/window_controls.h"
#include "views/result_table.h"

namespace tovani::shell {

class Win32Window : public WindowControls, private ResultTable::Listener {
public:
    // A list view aligns its first column left whatever it is told, and the
    // table's first column is right-aligned in most views: the list view's
    // column 0 is an empty one of no width, and table column c is list-view
    // column c + FirstColumn.
    static constexpr int FirstColumn = 1;
    static constexpr UINT_PTR TimerId = 1;

    // Makes the window, hidden, with its controls. hwnd() is null when the
    // system refused to make it.
    explicit Win32Window(ShellOptions options);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // The window's behaviour and the values it owns.
    frmMain& form() { return form_; }
    HWND hwnd() const { return hwnd_; }
    HWND control(Control c) const { return controls_[static_cast<size_t>(c)]; }
    // Ticks of tmrPolling handled so far.
    int ticks() const { return ticks_; }

    // WindowControls
    void setCaption(const std::string& text) override;
    double dpiX() const override { return dpi_; }
    double dpiY() const override { return dpi_; }
    PixelRect placement() const override;
    void setPlacement(const PixelRect& place) override;
    std::vector<PixelRect> screenAreas() const override;
    void paintNow() override;
    int textWidthPixels(const std::string& text) const override;
    void placeControl(Control control, const PixelRect& place) override;
    void setControlText(Control control, const std::string& text) override;
    void enableControl(Control control, bool enabled) override;
    void showControl(Control control, bool visible) override;
    void setMessage(const std::string& text, Rgb colour) override;
    void setRirekiFiles(const std::vector<std::string>& names, int selected) override;
    int rirekiFileIndex() const override;
    void startTimer(int intervalMs) override;
    void stopTimer() override;
    void showMessageBox(const std::string& text) override;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    bool notify(NMHDR& header, LRESULT& result);
    void buildControls();
    void applyDpi(UINT dpi);
    void showTableShape();

    // ResultTable::Listener
    void tableAboutToReset() override {}
    void tableReset() override;
    void cellChanged(int row, int col) override;

    HWND hwnd_ = nullptr;
    std::array<HWND, kControlDesigns.size()> controls_{};
    // Each control's own enabled state; one in fraInfo takes input only
    // while fraInfo does too.
    std::array<bool, kControlDesigns.size()> enabled_{};
    HFONT windowFont_ = nullptr;
    HFONT tableFont_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    Rgb messageColour_ = ColourBlue;
    int ticks_ = 0;
    // The shape the list view was last told about: the table may hold
    // another while it is locked.
    int tableCols_ = 0;
    int fixedRows_ = 0;
    // Made last: its constructor touches no control, the controls outlive it.
    frmMain form_;
};

}  // namespace tovani::shell
