#pragma once

// What a window must offer the window's behaviour (shell/frm_main.h): its
// controls and their state, the timer, the message box, the screens and its
// own place, and the width of a text in its font. The behaviour is written
// once over this; the Qt window (shell/qt/) and the Win32 window implement it
// and build their controls from kControlDesigns. They make a frmMain over
// themselves, call its startUp before the window is first shown, and pass
// their events on:
//   the timer's tick                     frmMain::tmrPolling_Timer
//   a click on a button                  frmMain::cmdReset_Click, ...
//   a click on a cell or a header cell   frmMain::grdRireki_Click(column)
//   a new size of the client area        frmMain::Form_Resize
//   the window closes (never refused)    frmMain::Form_Unload
// Choosing an entry of cmbRirekiFile is no event: the behaviour asks for the
// selection when a button needs it.
//
// Every text is UTF-8 and shown as plain text, never as markup. Every place
// and size here is in pixels of the desktop; the behaviour converts twips
// itself with dpiX()/dpiY() (shell/twips.h). Nothing here is called before
// the window has built its controls, and everything is called on the
// window's one thread.

#include <array>
#include <string>
#include <vector>

#include "platform/profile/window_setting.h"
#include "views/view_host.h"

namespace tovani::shell {

// The controls of the window by their names. tmrPolling is no control: see
// startTimer/stopTimer.
enum class Control {
    fraInfo,
    lblCardID,
    lblZandaka,
    lblSakuseiYmd,
    lblRireki,
    cmbRirekiFile,
    cmdCSVtoDB,
    cmdRirekiHyouji,
    cmdSyuukei,
    cmdZandaka,
    cmdReset,
    grdRireki,
    lblMess,
};

enum class ControlKind { Frame, Label, DropDownList, Button, Table };

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// One control as the window builds it: the object name (the control's own),
// its kind, its fixed text, and its designed place in twips, inside fraInfo
// for the controls in the frame and inside the client area otherwise. The
// places of fraInfo's left edge, grdRireki and lblMess are the behaviour's
// (the layout rule, Form_Resize).
struct ControlDesign {
    Control id;
    const char* name;
    ControlKind kind;
    const char* text;
    TwipsRect place;
    bool inFrame;
};

inline constexpr std::array<ControlDesign, 13> kControlDesigns = {{
    {Control::fraInfo, "fraInfo", ControlKind::Frame, "", {0, 0, 6735, 2415}, false},
    {Control::lblCardID, "lblCardID", ControlKind::Label, "", {240, 240, 5535, 375}, true},
    {Control::lblZandaka, "lblZandaka", ControlKind::Label, "", {240, 600, 5535, 375}, true},
    {Control::lblSakuseiYmd, "lblSakuseiYmd", ControlKind::Label, "", {240, 960, 5535, 375}, true},
    {Control::lblRireki, "lblRireki", ControlKind::Label, "履歴ファイル", {240, 1560, 1095, 255}, true},
    {Control::cmbRirekiFile, "cmbRirekiFile", ControlKind::DropDownList, "", {1440, 1440, 4455, 315}, true},
    {Control::cmdCSVtoDB, "cmdCSVtoDB", ControlKind::Button, "CSV", {6000, 1440, 615, 375}, true},
    {Control::cmdRirekiHyouji, "cmdRirekiHyouji", ControlKind::Button, "全履歴表示", {240, 1920, 1335, 375}, true},
    {Control::cmdSyuukei, "cmdSyuukei", ControlKind::Button, "月別集計", {1800, 1920, 1335, 375}, true},
    {Control::cmdZandaka, "cmdZandaka", ControlKind::Button, "全カード残高", {3360, 1920, 1335, 375}, true},
    {Control::cmdReset, "cmdReset", ControlKind::Button, "再読込", {5160, 1920, 1335, 375}, true},
    {Control::grdRireki, "grdRireki", ControlKind::Table, "", {0, 0, 0, 0}, false},  // the layout rule's
    {Control::lblMess, "lblMess", ControlKind::Label, "", {0, 0, 0, 375}, false},    // ... and so is this
}};

// The window's designed client area, in twips.
inline constexpr int DesignWidth = 9120;
inline constexpr int DesignHeight = 4875;

// The fonts, asked for by name: the window's (labels, buttons, list, message
// line; it also measures the table's column widths) and the table's.
inline constexpr const char* WindowFontName = "ＭＳ Ｐゴシック";
inline constexpr const char* TableFontName = "ＭＳ ゴシック";
inline constexpr double FontPoints = 9.75;

// The title of every message box.
inline constexpr const char* MessageBoxTitle = "Tovani Viewer";

class WindowControls {
public:
    virtual ~WindowControls() = default;

    // --- The window itself ---------------------------------------------------

    // The window's caption.
    virtual void setCaption(const std::string& text) = 0;

    // Logical dots per inch across and down: 1440 twips are this many pixels.
    virtual double dpiX() const = 0;
    virtual double dpiY() const = 0;

    // Where the window is: left and top of the window with its frame, width
    // and height of its client area (the frame is the window system's and
    // may not be known before the window is shown). setPlacement puts the
    // window there, as it is given; the behaviour has already fitted it to
    // the screens. placement() answers what setPlacement set until the
    // window has been shown, and after that where the window really is.
    virtual PixelRect placement() const = 0;
    virtual void setPlacement(const PixelRect& place) = 0;

    // The free area (without task bars and docks) of every screen, the
    // primary screen first; empty when the window system tells none.
    virtual std::vector<PixelRect> screenAreas() const = 0;

    // Paints every control whose look has changed, before returning, so that
    // the user sees it while the behaviour goes on working.
    virtual void paintNow() = 0;

    // The width in pixels that text takes in the window's font (not the
    // table's): the table's column widths are measured with it.
    virtual int textWidthPixels(const std::string& text) const = 0;

    // --- Controls ------------------------------------------------------------

    // Moves and sizes a control, relative to its parent (fraInfo for the
    // controls in it, the client area otherwise).
    virtual void placeControl(Control control, const PixelRect& place) = 0;

    // The text of a label or a button.
    virtual void setControlText(Control control, const std::string& text) = 0;

    // A disabled control takes no input; disabling fraInfo disables
    // everything in it too (and enabling it enables them again as each was).
    virtual void enableControl(Control control, bool enabled) = 0;

    // Shows or hides a control.
    virtual void showControl(Control control, bool visible) = 0;

    // lblMess: its text in that colour, painted before returning.
    virtual void setMessage(const std::string& text, Rgb colour) = 0;

    // cmbRirekiFile: replaces the entries by names, in that order, and
    // selects entry `selected` (-1: none). A name is a file's own bytes and
    // may be no valid UTF-8: show it as well as the bytes allow.
    virtual void setRirekiFiles(const std::vector<std::string>& names, int selected) = 0;
    // The entry of cmbRirekiFile selected now (the user may have chosen
    // another since setRirekiFiles), -1 for none.
    virtual int rirekiFileIndex() const = 0;

    // grdRireki shows the behaviour's ResultTable (frmMain::Table), which
    // tells every change through its Listener: the window's table follows
    // it, its column widths are the table's colWidth converted from twips,
    // and a click on a cell or on a header cell is frmMain::grdRireki_Click
    // with the column, one per click (a double click is one click).

    // --- tmrPolling ------------------------------------------------------------

    // Calls frmMain::tmrPolling_Timer every intervalMs milliseconds from now
    // on (again from now when it runs already), until stopTimer.
    virtual void startTimer(int intervalMs) = 0;
    virtual void stopTimer() = 0;

    // --- Message box -------------------------------------------------------

    // Modal: the text (plain), an OK button only, no icon, the title
    // MessageBoxTitle; returns when the user has closed it. Events of the
    // window may run meanwhile (the user may close the window).
    virtual void showMessageBox(const std::string& text) = 0;
};

}  // namespace tovani::shell
