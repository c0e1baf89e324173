#pragma once

// What the views and the polling display need of the window: the result
// table, the three card labels, the message line, the busy lock, a message
// box and the width of a text in the window's font. The Qt window implements
// it; tests and command-line tools use a plain one (views/plain_view_host.h),
// so the window and the tools run the same view code.

#include <cstdint>
#include <string>

#include "views/result_table.h"

namespace tovani {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb ColourRed{255, 0, 0};
inline constexpr Rgb ColourBlue{0, 0, 255};

enum class CardLabel { CardID, Zandaka, SakuseiYmd };  // lblCardID, lblZandaka, lblSakuseiYmd

// Width in twips of a text in the window's font (not the table's).
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual int textWidthTwips(const std::string& utf8) const = 0;
};

class ViewHost : public TextMeasure {
public:
    virtual ResultTable& table() = 0;
    virtual void setCardLabel(CardLabel label, const std::string& text) = 0;
    virtual std::string cardLabel(CardLabel label) const = 0;
    // lblMess: text and colour, repainted at once.
    virtual void setMessage(const std::string& text, Rgb colour) = 0;
    virtual std::string message() const = 0;
    virtual Rgb messageColour() const = 0;
    // lockControls / unlockControls: the frame and its controls take no
    // input and the table is locked, until unlocked (also after a failure).
    virtual void lockControls() = 0;
    virtual void unlockControls() = 0;
    // Modal box: the text, an OK button only, no icon, title "Tovani Viewer".
    virtual void showMessageBox(const std::string& text) = 0;
};

}  // namespace tovani
