#include "platform/felica/pcsc/pcsc_frames.h"

#include <algorithm>

namespace tovani::felica::pcsc_frames {

namespace {

constexpr uint8_t Cla = 0xFF;
constexpr uint8_t InsSession = 0xC2;

Apdu sessionApdu(uint8_t p2value, const std::vector<uint8_t>& objects) {
    Apdu a;
    a.reserve(objects.size() + 6);
    for (uint8_t b : {Cla, InsSession, uint8_t{0x00}, p2value, static_cast<uint8_t>(objects.size())}) a.push_back(b);
    for (uint8_t b : objects) a.push_back(b);
    a.push_back(0x00);  // Le: as much as the reader has
    return a;
}

}  // namespace

bool atrIsFelica(std::span<const uint8_t> atr) {
    // Registered application provider A0 00 00 03 06, then the standard byte
    // and the card name: 11 00 3B (FeliCa), or any standard with F0 11 / F0 12
    // (FeliCa 212 / 424 kbps, as the ACR122T names it).
    static constexpr uint8_t rid[] = {0xA0, 0x00, 0x00, 0x03, 0x06};
    for (auto it = atr.begin(); (it = std::search(it, atr.end(), std::begin(rid), std::end(rid))) != atr.end(); ++it) {
        const size_t at = static_cast<size_t>(it - atr.begin()) + sizeof rid;
        if (atr.size() - at < 3) return false;
        const uint8_t standard = atr[at], n1 = atr[at + 1], n2 = atr[at + 2];
        if (standard == 0x11 && n1 == 0x00 && n2 == 0x3B) return true;
        if (n1 == 0xF0 && (n2 == 0x11 || n2 == 0x12)) return true;
    }
    return false;
}

bool parseDataObjects(std::span<const uint8_t> bytes, std::vector<DataObject>& out, std::string& why) {
    out.clear();
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t start = pos;
        uint16_t t = bytes[pos++];
        if ((t & 0x1F) == 0x1F) {  // a tag of two bytes
            if (pos >= bytes.size()) {
                why = "data object at byte " + std::to_string(start) + ": tag cut off";
                return false;
            }
            if (bytes[pos] & 0x80) {
                why = "data object at byte " + std::to_string(start) + ": tag longer than two bytes";
                return false;
            }
            t = static_cast<uint16_t>((t << 8) | bytes[pos++]);
        }
        if (pos >= bytes.size()) {
            why = "data object at byte " + std::to_string(start) + ": length cut off";
            return false;
        }
        size_t length = bytes[pos++];
        if (length >= 0x80) {
            const size_t lengthBytes = length - 0x80;
            if (lengthBytes < 1 || lengthBytes > 2) {
                why = "data object at byte " + std::to_string(start) + ": length form " +
                      hexText(bytes.subspan(pos - 1, 1));
                return false;
            }
            if (bytes.size() - pos < lengthBytes) {
                why = "data object at byte " + std::to_string(start) + ": length cut off";
                return false;
            }
            length = 0;
            for (size_t i = 0; i < lengthBytes; ++i) length = (length << 8) | bytes[pos++];
        }
        if (bytes.size() - pos < length) {
            why = "data object at byte " + std::to_string(start) + ": length " + std::to_string(length) + " but " +
                  std::to_string(bytes.size() - pos) + " bytes left";
            return false;
        }
        out.push_back({t, bytes.subspan(pos, length)});
        pos += length;
    }
    return true;
}

void appendDataObject(std::vector<uint8_t>& out, uint16_t t, std::span<const uint8_t> value) {
    if (t > 0xFF) out.push_back(static_cast<uint8_t>(t >> 8));
    out.push_back(static_cast<uint8_t>(t & 0xFF));
    const size_t n = value.size();
    if (n >= 0x100) {
        out.insert(out.end(), {0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF)});
    } else if (n >= 0x80) {
        out.insert(out.end(), {0x81, static_cast<uint8_t>(n)});
    } else {
        out.push_back(static_cast<uint8_t>(n));
    }
    out.insert(out.end(), value.begin(), value.end());
}

Apdu startSession() {
    std::vector<uint8_t> o;
    appendDataObject(o, tag::StartSession, {});
    return sessionApdu(p2::ManageSession, o);
}

Apdu endSession() {
    std::vector<uint8_t> o;
    appendDataObject(o, tag::EndSession, {});
    return sessionApdu(p2::ManageSession, o);
}

Apdu switchToFelica() {
    std::vector<uint8_t> o;
    const uint8_t felica[] = {0x03, 0x00};  // standard FeliCa, no further layer
    appendDataObject(o, tag::SwitchProtocol, felica);
    return sessionApdu(p2::SwitchProtocol, o);
}

Apdu transparentExchange(std::span<const uint8_t> frame, uint32_t timerMicroseconds) {
    if (frame.empty() || frame.size() > MaxFrameLength) return {};
    std::vector<uint8_t> o;
    const uint8_t timer[] = {static_cast<uint8_t>(timerMicroseconds), static_cast<uint8_t>(timerMicroseconds >> 8),
                             static_cast<uint8_t>(timerMicroseconds >> 16),
                             static_cast<uint8_t>(timerMicroseconds >> 24)};
    appendDataObject(o, tag::Timer, timer);
    appendDataObject(o, tag::Transceive, frame);
    // Lc is one byte: a frame of 248 bytes or more does not fit a short APDU.
    if (o.size() > 0xFF) return {};
    return sessionApdu(p2::TransparentExchange, o);
}

Apdu getUid() { return {Cla, 0xCA, 0x00, 0x00, 0x00}; }
Apdu getPmm() { return {Cla, 0xCA, 0x01, 0x00, 0x00}; }

bool answerLengthFits(std::span<const uint8_t> answer, std::string& why) {
    if (answer.size() < 2) {
        why = "answer of " + std::to_string(answer.size()) + " bytes has no status word";
        return false;
    }
    if (answer.size() > MaxAnswerLength) {
        why = "answer of " + std::to_string(answer.size()) + " bytes, more than the " +
              std::to_string(MaxAnswerLength) + " a reader may send";
        return false;
    }
    return true;
}

bool parseSessionAnswer(std::span<const uint8_t> answer, bool expectCardFrame, SessionAnswer& out,
                        std::string& why) {
    out = {};
    if (!answerLengthFits(answer, why)) return false;
    out.statusWord = {answer[answer.size() - 2], answer[answer.size() - 1]};
    const std::span<const uint8_t> body = answer.first(answer.size() - 2);
    if (out.statusWord != std::array<uint8_t, 2>{0x90, 0x00}) {
        // A failed command need not carry data objects: the status word says it.
        out.kind = SessionAnswer::Failed;
        why = "the reader refused the command (status word " + hexText(out.statusWord) + ")";
        return true;
    }
    std::vector<DataObject> objects;
    if (!parseDataObjects(body, objects, why)) return false;
    for (const DataObject& o : objects) {
        if (o.tag == tag::Status) {
            if (out.status) {
                why = "two status objects";
                return false;
            }
            if (o.value.size() != 3) {
                why = "status object of " + std::to_string(o.value.size()) + " bytes";
                return false;
            }
            out.status = std::array<uint8_t, 3>{o.value[0], o.value[1], o.value[2]};
        } else if (o.tag == tag::CardFrame) {
            if (out.cardFrame) {
                why = "two card frames";
                return false;
            }
            out.cardFrame = Frame(o.value.begin(), o.value.end());
        }
        // Other objects (protocol and RF status and the like) tell nothing
        // the program needs.
    }
    if (out.status && (*out.status)[1] != 0x90) {
        const uint8_t s1 = (*out.status)[1], s2 = (*out.status)[2];
        const std::string status = " (status " + hexText(*out.status) + ")";
        if (s1 == 0x64 && (s2 == 0x00 || s2 == 0x01)) {
            // No answer from the card (00: none at all, 01: none in time).
            out.kind = SessionAnswer::CardSilent;
            why = "the card did not answer" + status;
        } else if (s1 == 0x6A && s2 == 0x80) {
            out.kind = SessionAnswer::Refused;
            why = "the reader refused the command" + status;
        } else if (s1 == 0x63 && s2 == 0x01) {
            out.kind = SessionAnswer::Failed;
            why = "the reader failed another data object of the command" + status;
        } else if (s1 == 0x62 || s1 == 0x63) {
            // Other warnings say that nothing came back either.
            out.kind = SessionAnswer::CardSilent;
            why = "the card did not answer" + status;
        } else {
            // 67 00 wrong length, 6A 81 not supported, 6F 00 and the like.
            out.kind = SessionAnswer::Failed;
            why = "the reader failed the command" + status;
        }
        return true;
    }
    if (expectCardFrame) {
        // The status word alone is not enough: without the C0 object a card
        // that did not answer cannot be told from one that did.
        if (!out.status) {
            why = "an exchange answer without a status object";
            return false;
        }
        if (!out.cardFrame) {
            why = "a successful exchange without the card's frame";
            return false;
        }
        if (out.cardFrame->empty()) {
            out.kind = SessionAnswer::CardSilent;
            why = "the card's frame is empty";
            return true;
        }
    }
    out.kind = SessionAnswer::Done;
    return true;
}

bool parseUidAnswer(std::span<const uint8_t> answer, std::vector<uint8_t>& uid, std::string& why) {
    uid.clear();
    if (!answerLengthFits(answer, why)) return false;
    const std::array<uint8_t, 2> sw{answer[answer.size() - 2], answer[answer.size() - 1]};
    if (sw != std::array<uint8_t, 2>{0x90, 0x00}) {
        why = "the reader refused Get Data (status word " + hexText(sw) + ")";
        return false;
    }
    uid.assign(answer.begin(), answer.end() - 2);
    if (uid.empty()) {
        why = "Get Data answered no identifier";
        return false;
    }
    return true;
}

}  // namespace tovani::felica::pcsc_frames
