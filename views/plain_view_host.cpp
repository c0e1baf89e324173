#include "views/plain_view_host.h"

namespace tovani {

void PlainViewHost::setCardLabel(CardLabel label, const std::string& text) {
    switch (label) {
        case CardLabel::CardID: cardId_ = text; break;
        case CardLabel::Zandaka: zandaka_ = text; break;
        case CardLabel::SakuseiYmd: sakuseiYmd_ = text; break;
    }
}

std::string PlainViewHost::cardLabel(CardLabel label) const {
    switch (label) {
        case CardLabel::CardID: return cardId_;
        case CardLabel::Zandaka: return zandaka_;
        case CardLabel::SakuseiYmd: return sakuseiYmd_;
    }
    return std::string();
}

void PlainViewHost::setMessage(const std::string& text, Rgb colour) {
    message_ = text;
    messageColour_ = colour;
}

void PlainViewHost::lockControls() {
    locked_ = true;
    ++lockCount_;
    table_.setLocked(true);
}

void PlainViewHost::unlockControls() {
    locked_ = false;
    ++unlockCount_;
    table_.setLocked(false);
}

int PlainViewHost::textWidthTwips(const std::string& utf8) const {
    int chars = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++chars;  // continuation bytes belong to the character before
    return chars * kTwipsPerChar;
}

}  // namespace tovani
