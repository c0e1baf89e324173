#pragma once

// A window without a screen: keeps the label texts, the message line and the
// table, and records every message box instead of waiting for a click. The
// command-line tools and the tests run the views through it, so they see
// exactly what the window would show.

#include <string>
#include <vector>

#include "views/view_host.h"

namespace tovani {

class PlainViewHost : public ViewHost {
public:
    // Every character of a text counts this many twips, the "A" included: a
    // fixed-pitch stand-in for the window's font.
    static constexpr int kTwipsPerChar = 120;

    ResultTable& table() override { return table_; }
    const ResultTable& table() const { return table_; }

    void setCardLabel(CardLabel label, const std::string& text) override;
    std::string cardLabel(CardLabel label) const override;

    void setMessage(const std::string& text, Rgb colour) override;
    std::string message() const override { return message_; }
    Rgb messageColour() const override { return messageColour_; }

    void lockControls() override;
    void unlockControls() override;
    bool locked() const { return locked_; }
    // How often the controls were locked and unlocked, for callers that check
    // the pairing.
    int lockCount() const { return lockCount_; }
    int unlockCount() const { return unlockCount_; }

    void showMessageBox(const std::string& text) override { messageBoxes_.push_back(text); }
    const std::vector<std::string>& messageBoxes() const { return messageBoxes_; }

    // Characters of the UTF-8 text (not bytes) times kTwipsPerChar.
    int textWidthTwips(const std::string& utf8) const override;

private:
    ResultTable table_;
    std::string cardId_, zandaka_, sakuseiYmd_;
    std::string message_;
    Rgb messageColour_{};
    bool locked_ = false;
    int lockCount_ = 0;
    int unlockCount_ = 0;
    std::vector<std::string> messageBoxes_;
};

}  // namespace tovani
