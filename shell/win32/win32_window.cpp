#include "shell/win32/win32_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/os/windows/wide.h"
#include "shell/twips.h"

namespace tovani::shell {

namespace {

using os::wide;

constexpr const wchar_t* WindowClass = L"TovaniViewer";
constexpr const wchar_t* FrameClass = L"TovaniViewerFrame";
// Control ids start above IDOK and IDCANCEL, which the keyboard's Enter and
// Esc send to the window.
constexpr int ControlIdBase = 100;

HINSTANCE instance() { return ::GetModuleHandleW(nullptr); }

// Functions of Windows 10 (1607) and later, looked up so that the program
// still starts on older systems, with the system's DPI there.
template <class F>
F user32Function(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

UINT windowDpi(HWND hwnd) {
    static const auto getDpiForWindow = user32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(hwnd); dpi != 0) return dpi;
    }
    HDC dc = ::GetDC(hwnd);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSX);
    ::ReleaseDC(hwnd, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// The window's frame around a client area of w by h pixels at dpi.
RECT outerRect(HWND hwnd, int w, int h, UINT dpi) {
    static const auto adjustForDpi =
        user32Function<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT r{0, 0, w, h};
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    if (adjustForDpi == nullptr || !adjustForDpi(&r, style, FALSE, exStyle, dpi))
        ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return r;
}

int CALLBACK fontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool haveFont(const std::wstring& face) {
    LOGFONTW lf{};
    lf.lfCharSet = SHIFTJIS_CHARSET;
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    HDC dc = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(dc, &lf, fontFound, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, dc);
    return found;
}

// The fonts are asked for by name with the Japanese character set, so that a
// system without them still shows kana and kanji. Where they are missing
// (Wine, for one) the metric-compatible IPA Gothic fonts take their place if
// they are there, so that the texts keep the widths the places were made for.
HFONT makeFont(const char* face, UINT dpi, bool fixedPitch) {
    std::wstring name = wide(face);
    if (!haveFont(name)) {
        const std::wstring ipa = fixedPitch ? L"IPAGothic" : L"IPAPGothic";
        if (haveFont(ipa)) name = ipa;
    }
    LOGFONTW lf{};
    lf.lfHeight = -static_cast<LONG>(std::lround(FontPoints * dpi / 72.0));
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = fixedPitch ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS;
    name.copy(lf.lfFaceName, LF_FACESIZE - 1);
    return ::CreateFontIndirectW(&lf);
}

PixelRect pixelRect(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

BOOL CALLBACK addScreen(HMONITOR monitor, HDC, LPRECT, LPARAM user) {
    auto& areas = *reinterpret_cast<std::vector<PixelRect>*>(user);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoW(monitor, &info)) {
        const PixelRect area = pixelRect(info.rcWork);
        if ((info.dwFlags & MONITORINFOF_PRIMARY) != 0)
            areas.insert(areas.begin(), area);
        else
            areas.push_back(area);
    }
    return TRUE;
}

// fraInfo: a frame with an etched edge whose controls report to the window.
LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
        return ::SendMessageW(::GetParent(hwnd), msg, wp, lp);
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT r;
        ::GetClientRect(hwnd, &r);
        ::DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    default:
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void registerClasses(WNDPROC windowProc) {
    static bool registered = false;
    if (registered) return;
    registered = true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    // The program's icon is resource 1; a program without one gets the system's.
    wc.hIcon = static_cast<HICON>(::LoadImageW(instance(), MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    wc.hIconSm = static_cast<HICON>(::LoadImageW(instance(), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    wc.lpszClassName = WindowClass;
    ::RegisterClassExW(&wc);
    wc.lpfnWndProc = frameProc;
    wc.hIcon = wc.hIconSm = nullptr;
    wc.lpszClassName = FrameClass;
    ::RegisterClassExW(&wc);
}

bool inFrame(Control c) { return kControlDesigns[static_cast<size_t>(c)].inFrame; }

}  // namespace

Win32Window::Win32Window(ShellOptions options) : form_(*this, std::move(options)) {
    registerClasses(windowProc);
    ::CreateWindowExW(WS_EX_CONTROLPARENT, WindowClass, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance(), this);
    if (hwnd_ == nullptr) return;
    buildControls();
}

Win32Window::~Win32Window() {
    form_.Table.setListener(nullptr);
    if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
    if (windowFont_ != nullptr) ::DeleteObject(windowFont_);
    if (tableFont_ != nullptr) ::DeleteObject(tableFont_);
}

void Win32Window::buildControls() {
    for (const ControlDesign& d : kControlDesigns) {
        const wchar_t* cls = WC_STATICW;
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD exStyle = 0;
        switch (d.kind) {
        case ControlKind::Frame:
            cls = FrameClass;
            style |= WS_CLIPCHILDREN;
            exStyle = WS_EX_CONTROLPARENT;  // the keyboard's Tab goes through its controls
            break;
        case ControlKind::Label:
            // Card numbers and file texts are shown as they are: no "&" prefix.
            style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX | (d.id == Control::lblMess ? SS_CENTERIMAGE : 0);
            break;
        case ControlKind::DropDownList:
            cls = WC_COMBOBOXW;
            style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
            break;
        case ControlKind::Button:
            cls = WC_BUTTONW;
            style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case ControlKind::Table:
            cls = WC_LISTVIEWW;
            style |= LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_TABSTOP;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        }
        const auto index = static_cast<size_t>(d.id);
        HWND parent = d.inFrame ? control(Control::fraInfo) : hwnd_;
        controls_[index] = ::CreateWindowExW(exStyle, cls, wide(d.text).c_str(), style, 0, 0, 0, 0, parent,
                                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlIdBase + index)),
                                             instance(), nullptr);
        enabled_[index] = true;
    }
    HWND grid = control(Control::grdRireki);
    ListView_SetExtendedListViewStyle(grid, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    LVCOLUMNW empty{};
    empty.mask = LVCF_FMT | LVCF_WIDTH;
    empty.fmt = LVCFMT_LEFT | LVCFMT_FIXED_WIDTH;
    ListView_InsertColumn(grid, 0, &empty);
    form_.Table.setListener(this);
    applyDpi(windowDpi(hwnd_));
    showTableShape();
}

// Fonts and the controls' designed places for the window's DPI, at first and
// whenever the window lands on a screen of another.
void Win32Window::applyDpi(UINT dpi) {
    dpi_ = dpi;
    HFONT oldWindowFont = std::exchange(windowFont_, makeFont(WindowFontName, dpi_, false));
    HFONT oldTableFont = std::exchange(tableFont_, makeFont(TableFontName, dpi_, true));
    for (const ControlDesign& d : kControlDesigns) {
        HFONT font = d.id == Control::grdRireki ? tableFont_ : windowFont_;
        ::SendMessageW(control(d.id), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (d.id != Control::grdRireki && d.id != Control::lblMess)  // those two are the layout rule's
            placeControl(d.id, {twipsToPixels(d.place.left, dpi_), twipsToPixels(d.place.top, dpi_),
                                twipsToPixels(d.place.width, dpi_), twipsToPixels(d.place.height, dpi_)});
    }
    if (oldWindowFont != nullptr) ::DeleteObject(oldWindowFont);
    if (oldTableFont != nullptr) ::DeleteObject(oldTableFont);
    for (int c = 0; c < tableCols_; ++c)
        ListView_SetColumnWidth(control(Control::grdRireki), c + FirstColumn,
                                std::max(0, twipsToPixels(form_.Table.colWidth(c), dpi_)));
}

// --- messages ------------------------------------------------------------------

LRESULT CALLBACK Win32Window::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    return self->handle(msg, wp, lp);
}

LRESULT Win32Window::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wp) - ControlIdBase;
        if (HIWORD(wp) == BN_CLICKED && id >= 0 && id < static_cast<int>(kControlDesigns.size()))
            form_.buttonClicked(static_cast<Control>(id));
        return 0;
    }
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (notify(*reinterpret_cast<NMHDR*>(lp), result)) return result;
        break;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lp) == control(Control::lblMess)) {
            HDC dc = reinterpret_cast<HDC>(wp);
            ::SetTextColor(dc, RGB(messageColour_.r, messageColour_.g, messageColour_.b));
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_TIMER:
        if (wp != TimerId) break;
        form_.tmrPolling_Timer();
        ++ticks_;
        return 0;
    case WM_SIZE:
        // A minimised window keeps its layout; so does one still being built.
        if (wp != SIZE_MINIMIZED && control(Control::lblMess) != nullptr) form_.Form_Resize();
        return 0;
    case WM_DPICHANGED: {
        applyDpi(HIWORD(wp));
        const RECT* suggested = reinterpret_cast<const RECT*>(lp);
        ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        form_.Form_Resize();
        return 0;
    }
    case WM_CLOSE:
        form_.Form_Unload();
        ::DestroyWindow(hwnd_);
        return 0;
    case WM_ENDSESSION:
        // Windows logs off or shuts down without closing the window: the
        // reader is let go and the place saved all the same.
        if (wp) form_.Form_Unload();
        return 0;
    case WM_DESTROY:
        ::KillTimer(hwnd_, TimerId);
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

bool Win32Window::notify(NMHDR& header, LRESULT& result) {
    HWND grid = control(Control::grdRireki);
    if (header.hwndFrom == ListView_GetHeader(grid)) {
        // The empty first column keeps its width of nothing.
        const auto& h = reinterpret_cast<const NMHEADERW&>(header);
        if ((header.code == HDN_BEGINTRACKW || header.code == HDN_BEGINTRACKA ||
             header.code == HDN_DIVIDERDBLCLICKW || header.code == HDN_DIVIDERDBLCLICKA) && h.iItem < FirstColumn) {
            result = TRUE;
            return true;
        }
        return false;
    }
    if (header.hwndFrom != grid) return false;
    switch (header.code) {
    case LVN_GETDISPINFOW: {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
        if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return true;
        const int col = item.iSubItem - FirstColumn;
        const std::wstring text = col < 0 ? std::wstring() : wide(form_.Table.text(item.iItem + fixedRows_, col));
        const size_t n = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
        text.copy(item.pszText, n);
        item.pszText[n] = L'\0';
        return true;
    }
    case LVN_COLUMNCLICK: {
        const int col = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem - FirstColumn;
        if (col >= 0) form_.grdRireki_Click(col);
        return true;
    }
    case NM_CLICK: {
        // A click on a cell; one below the rows hits none. A double click
        // is no second click (NM_DBLCLK).
        const auto& at = reinterpret_cast<const NMITEMACTIVATE&>(header);
        if (at.iItem >= 0 && at.iSubItem >= FirstColumn) form_.grdRireki_Click(at.iSubItem - FirstColumn);
        return true;
    }
    default:
        return false;
    }
}

// --- the table -------------------------------------------------------------------

void Win32Window::tableReset() { showTableShape(); }

// Columns, header texts, alignments and widths, and the number of rows; the
// rows' texts are asked for as they are painted (LVN_GETDISPINFOW).
void Win32Window::showTableShape() {
    const ResultTable& table = form_.Table;
    HWND grid = control(Control::grdRireki);
    ::SendMessageW(grid, WM_SETREDRAW, FALSE, 0);
    const LONG_PTR style = ::GetWindowLongPtrW(grid, GWL_STYLE);
    const LONG_PTR header = table.fixedRows() > 0 ? style & ~LVS_NOCOLUMNHEADER : style | LVS_NOCOLUMNHEADER;
    if (header != style) ::SetWindowLongPtrW(grid, GWL_STYLE, header);
    fixedRows_ = std::min(table.fixedRows(), table.rows());
    for (; tableCols_ > table.cols(); --tableCols_) ListView_DeleteColumn(grid, tableCols_ - 1 + FirstColumn);
    for (int c = 0; c < table.cols(); ++c) {
        std::wstring text = fixedRows_ > 0 ? wide(table.text(0, c)) : std::wstring();
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = table.colAlignment(c) == CellAlign::Right ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = std::max(0, twipsToPixels(table.colWidth(c), dpi_));
        column.pszText = text.data();
        if (c < tableCols_)
            ListView_SetColumn(grid, c + FirstColumn, &column);
        else
            ListView_InsertColumn(grid, c + FirstColumn, &column);
    }
    tableCols_ = table.cols();
    const int rows = std::max(0, table.rows() - fixedRows_);
    ListView_SetItemState(grid, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(grid, rows, 0);
    if (rows > 0) ListView_EnsureVisible(grid, 0, FALSE);
    ::SendMessageW(grid, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(grid, nullptr, TRUE);
}

void Win32Window::cellChanged(int row, int col) {
    HWND grid = control(Control::grdRireki);
    if (row >= fixedRows_) {
        ListView_RedrawItems(grid, row - fixedRows_, row - fixedRows_);
        return;
    }
    std::wstring text = wide(form_.Table.text(row, col));
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = text.data();
    ListView_SetColumn(grid, col + FirstColumn, &column);
}

// --- WindowControls ------------------------------------------------------------

void Win32Window::setCaption(const std::string& text) { ::SetWindowTextW(hwnd_, wide(text).c_str()); }

PixelRect Win32Window::placement() const {
    // A minimised or maximised window answers the place it returns to: a
    // window closed from the task bar must not keep the far-off place that
    // minimised windows are parked at.
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if ((::IsIconic(hwnd_) || ::IsZoomed(hwnd_)) && ::GetWindowPlacement(hwnd_, &wp)) {
        RECT r = wp.rcNormalPosition;  // in the coordinates of the work area
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (::GetMonitorInfoW(::MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY), &info))
            ::OffsetRect(&r, info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top);
        const RECT frame = outerRect(hwnd_, 0, 0, dpi_);
        return {r.left, r.top, (r.right - r.left) - (frame.right - frame.left),
                (r.bottom - r.top) - (frame.bottom - frame.top)};
    }
    RECT outer{}, client{};
    ::GetWindowRect(hwnd_, &outer);
    ::GetClientRect(hwnd_, &client);
    return {outer.left, outer.top, client.right, client.bottom};
}

void Win32Window::setPlacement(const PixelRect& place) {
    const RECT outer = outerRect(hwnd_, place.width, place.height, dpi_);
    ::SetWindowPos(hwnd_, nullptr, place.left, place.top, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<PixelRect> Win32Window::screenAreas() const {
    std::vector<PixelRect> areas;
    ::EnumDisplayMonitors(nullptr, nullptr, addScreen, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

void Win32Window::paintNow() { ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

int Win32Window::textWidthPixels(const std::string& text) const {
    const std::wstring w = wide(text);
    HDC dc = ::GetDC(hwnd_);
    HGDIOBJ old = ::SelectObject(dc, windowFont_);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(hwnd_, dc);
    return size.cx;
}

void Win32Window::placeControl(Control c, const PixelRect& place) {
    // A drop-down list's height is that of its list when it drops down.
    const int height = c == Control::cmbRirekiFile ? place.height * 10 : place.height;
    ::SetWindowPos(control(c), nullptr, place.left, place.top, place.width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::setControlText(Control c, const std::string& text) {
    ::SetWindowTextW(control(c), wide(text).c_str());
}

void Win32Window::enableControl(Control c, bool enabled) {
    enabled_[static_cast<size_t>(c)] = enabled;
    const bool frameEnabled = enabled_[static_cast<size_t>(Control::fraInfo)];
    if (c != Control::fraInfo) {
        ::EnableWindow(control(c), enabled && (!inFrame(c) || frameEnabled));
        return;
    }
    ::EnableWindow(control(c), enabled);
    for (const ControlDesign& d : kControlDesigns)
        if (d.inFrame) ::EnableWindow(control(d.id), enabled && enabled_[static_cast<size_t>(d.id)]);
    // A button that had the keyboard lost it while it was disabled.
    if (enabled && ::GetFocus() == nullptr && ::GetActiveWindow() == hwnd_) ::SetFocus(control(Control::grdRireki));
}

void Win32Window::showControl(Control c, bool visible) { ::ShowWindow(control(c), visible ? SW_SHOW : SW_HIDE); }

void Win32Window::setMessage(const std::string& text, Rgb colour) {
    messageColour_ = colour;
    HWND line = control(Control::lblMess);
    ::SetWindowTextW(line, wide(text).c_str());
    ::InvalidateRect(line, nullptr, TRUE);  // the colour may be all that changed
    ::UpdateWindow(line);
}

void Win32Window::setRirekiFiles(const std::vector<std::string>& names, int selected) {
    HWND list = control(Control::cmbRirekiFile);
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    // A name that is no valid UTF-8 shows replacement characters where its
    // bytes fail.
    for (const std::string& name : names)
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(name).c_str()));
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int Win32Window::rirekiFileIndex() const {
    const LRESULT index = ::SendMessageW(control(Control::cmbRirekiFile), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void Win32Window::startTimer(int intervalMs) { ::SetTimer(hwnd_, TimerId, static_cast<UINT>(intervalMs), nullptr); }

void Win32Window::stopTimer() { ::KillTimer(hwnd_, TimerId); }

void Win32Window::showMessageBox(const std::string& text) {
    ::MessageBoxW(hwnd_, wide(text).c_str(), wide(MessageBoxTitle).c_str(), MB_OK);
}

}  // namespace tovani::shell
