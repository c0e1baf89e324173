#pragma once

// The window on Qt 6 Widgets: builds the controls of kControlDesigns, shows
// what the behaviour (frmMain) sets, and passes its events on: the timer's
// tick, the clicks on the buttons and the table, a resize and the close.

#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "shell/frm_main.h"
#include "shell/window_controls.h"

class QComboBox;
class QLabel;
class QTableView;
class QTimer;

namespace tovani::shell {

class ResultTableModel;

class QtWindow : public QWidget, public WindowControls {
    Q_OBJECT
public:
    explicit QtWindow(ShellOptions options, QWidget* parent = nullptr);
    ~QtWindow() override;

    // The window's behaviour and the values it owns.
    frmMain& form() { return form_; }

    // WindowControls
    void setCaption(const std::string& text) override;
    double dpiX() const override { return logicalDpiX(); }
    double dpiY() const override { return logicalDpiY(); }
    PixelRect placement() const override;
    void setPlacement(const PixelRect& place) override;
    std::vector<PixelRect> screenAreas() const override;
    void paintNow() override { repaint(); }
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

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void applyColumnWidths();
    QWidget* control(Control c) const { return controls_[static_cast<size_t>(c)]; }

    frmMain form_;
    std::array<QWidget*, kControlDesigns.size()> controls_{};
    QComboBox* cmbRirekiFile = nullptr;
    QTableView* grdRireki = nullptr;
    QLabel* lblMess = nullptr;
    QTimer* tmrPolling = nullptr;
    ResultTableModel* model_ = nullptr;
    bool headerDoubleClicked_ = false;  // the header's next click ends a double click
};

// Makes the two fonts the window asks for by name resolve to the IPA Gothic
// fonts where they are not installed. Called by the window; idempotent.
void installFontSubstitutions();

}  // namespace tovani::shell
