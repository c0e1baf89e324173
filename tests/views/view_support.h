#pragma once

#include <string>
#include <vector>

#include "views/view_host.h"

namespace tovani::test {

// A font in which a text of n bytes is 90 n + 15 twips wide: the constant
// shows whether a width was measured as one text or added up letter by letter.
class FakeFont : public TextMeasure {
public:
    int textWidthTwips(const std::string& utf8) const override {
        measured.push_back(utf8);
        return 90 * static_cast<int>(utf8.size()) + 15;
    }
    mutable std::vector<std::string> measured;
};

// A window surface that keeps what the views write.
class FakeHost : public ViewHost {
public:
    int textWidthTwips(const std::string& utf8) const override { return font.textWidthTwips(utf8); }
    ResultTable& table() override { return grid; }
    void setCardLabel(CardLabel label, const std::string& text) override { labels[index(label)] = text; }
    std::string cardLabel(CardLabel label) const override { return labels[index(label)]; }
    void setMessage(const std::string& text, Rgb colour) override {
        messageText = text;
        colourNow = colour;
    }
    std::string message() const override { return messageText; }
    Rgb messageColour() const override { return colourNow; }
    void lockControls() override { ++locks; }
    void unlockControls() override { --locks; }
    void showMessageBox(const std::string& text) override { boxes.push_back(text); }

    FakeFont font;
    ResultTable grid;
    std::string labels[3];
    std::string messageText;
    Rgb colourNow;
    int locks = 0;
    std::vector<std::string> boxes;

private:
    static int index(CardLabel label) { return static_cast<int>(label); }
};

// The texts of one table row, columns 0 to cols-1.
std::vector<std::string> rowTexts(const ResultTable& table, int row);

}  // namespace tovani::test
