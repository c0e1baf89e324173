#pragma once

// A window without a toolkit: keeps what the behaviour sets on its controls
// and records its message boxes instead of waiting for a click. 96 dpi: 15
// twips a pixel.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shell/window_controls.h"

namespace tovani::test {

class FakeWindow : public shell::WindowControls {
public:
    using Control = shell::Control;

    FakeWindow() {
        for (const auto& d : shell::kControlDesigns) text[d.id] = d.text;
    }

    void setCaption(const std::string& t) override { caption = t; }
    double dpiX() const override { return dpi; }
    double dpiY() const override { return dpi; }
    PixelRect placement() const override { return place; }
    void setPlacement(const PixelRect& p) override { place = p; }
    std::vector<PixelRect> screenAreas() const override { return screens; }
    void paintNow() override { ++paints; }
    // Fixed pitch: every character (not byte) of a UTF-8 text is 8 pixels.
    int textWidthPixels(const std::string& t) const override {
        int chars = 0;
        for (unsigned char c : t) chars += (c & 0xC0) != 0x80;
        return chars * 8;
    }
    void placeControl(Control c, const PixelRect& p) override { places[c] = p; }
    void setControlText(Control c, const std::string& t) override { text[c] = t; }
    void enableControl(Control c, bool on) override { disabled[c] = !on; }
    void showControl(Control c, bool on) override { hidden[c] = !on; }
    void setMessage(const std::string& t, Rgb colour) override {
        text[Control::lblMess] = t;
        messageColour = colour;
        if (onMessage) onMessage();
    }
    void setRirekiFiles(const std::vector<std::string>& names, int selected) override {
        files = names;
        selection = selected;
    }
    int rirekiFileIndex() const override { return selection; }
    void startTimer(int intervalMs) override {
        timerOn = true;
        interval = intervalMs;
    }
    void stopTimer() override { timerOn = false; }
    void showMessageBox(const std::string& t) override {
        boxes.push_back(t);
        if (whileBoxShown) whileBoxShown();
    }

    // Whether a control takes input: enabled itself, and so is the frame
    // around it.
    bool enabled(Control c) const {
        if (disabled.count(c) && disabled.at(c)) return false;
        const bool inFrame = c != Control::fraInfo && c != Control::grdRireki && c != Control::lblMess;
        return !inFrame || enabled(Control::fraInfo);
    }
    bool visible(Control c) const { return !hidden.count(c) || !hidden.at(c); }
    // The file list's selected entry, "" for none.
    std::string selectedFile() const { return selection < 0 ? std::string() : files.at(size_t(selection)); }

    std::string caption;
    double dpi = 96;
    PixelRect place;
    std::vector<PixelRect> screens;
    int paints = 0;
    std::map<Control, PixelRect> places;
    std::map<Control, std::string> text;
    std::map<Control, bool> disabled, hidden;
    Rgb messageColour;
    std::function<void()> onMessage;  // runs as the message line is painted
    std::vector<std::string> files;
    int selection = -1;
    bool timerOn = false;
    int interval = 0;
    std::vector<std::string> boxes;       // texts of the message boxes shown
    std::function<void()> whileBoxShown;  // runs as if the user acted while a box waits
};

}  // namespace tovani::test
