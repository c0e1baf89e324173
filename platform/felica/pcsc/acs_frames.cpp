#include "platform/felica/pcsc/acs_frames.h"

#include "platform/felica/pcsc/pcsc_frames.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tovani::felica::acs_frames {

namespace {

constexpr uint8_t ToChip = 0xD4;
constexpr uint8_t FromChip = 0xD5;
constexpr uint8_t InListPassiveTarget = 0x4A;
constexpr uint8_t InDataExchange = 0x40;
constexpr uint8_t RFConfiguration = 0x32;
constexpr uint8_t StatusTimeout = 0x01;  // PN532: the card did not answer

bool contains(std::string_view haystack, std::string_view needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                       [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; }) !=
           haystack.end();
}

Apdu directTransmit(std::span<const uint8_t> data) {
    if (data.empty() || data.size() > 0xFF) return {};
    Apdu a{0xFF, 0x00, 0x00, 0x00, static_cast<uint8_t>(data.size())};
    a.insert(a.end(), data.begin(), data.end());
    return a;
}

// Splits off the status word; false (with the reason) unless it is 90 00.
bool body(std::span<const uint8_t> answer, std::span<const uint8_t>& out, std::string& why, bool& wellFormed) {
    wellFormed = false;
    if (!pcsc_frames::answerLengthFits(answer, why)) return false;
    wellFormed = true;
    const std::array<uint8_t, 2> sw{answer[answer.size() - 2], answer[answer.size() - 1]};
    if (sw != std::array<uint8_t, 2>{0x90, 0x00}) {
        why = "the reader failed the command (status word " + hexText(sw) + ")";
        return false;
    }
    out = answer.first(answer.size() - 2);
    return true;
}

// A FeliCa frame as the rest of an answer: its length byte counts it all.
bool wholeFrame(std::span<const uint8_t> rest, Frame& frame, std::string& why) {
    if (rest.empty() || rest[0] != rest.size()) {
        why = "a card frame whose length byte " + (rest.empty() ? std::string("is missing") : hexText(rest.first(1))) +
              " does not match its " + std::to_string(rest.size()) + " bytes";
        return false;
    }
    frame.assign(rest.begin(), rest.end());
    return true;
}

// The PN532's answer head: D5 and the answer code.
bool pn532Head(std::span<const uint8_t> b, uint8_t answerCode, std::string& why) {
    if (b.size() < 2 || b[0] != FromChip || b[1] != answerCode) {
        why = "not the PN532's answer " + hexText(std::array<uint8_t, 2>{FromChip, answerCode}) + ": " + hexText(b);
        return false;
    }
    return true;
}

}  // namespace

Route routeForReaderName(std::string_view name) {
    if (contains(name, "ACR122")) return Route::Acr122;
    for (std::string_view later : {"ACR125", "ACR128", "ACR131", "ACR155", "ACR158", "ACM125"})
        if (contains(name, later)) return Route::AcsDirect;
    if (contains(name, "RC-S") || contains(name, "FELICA")) return Route::Transparent;
    return Route::Undecided;
}

const char* routeName(Route route) {
    switch (route) {
    case Route::Acr122: return "pcsc-acr122";
    case Route::AcsDirect: return "pcsc-acs";
    case Route::Transparent:
    case Route::Undecided: break;
    }
    return "pcsc";
}

const char* routeDescription(Route route) {
    switch (route) {
    case Route::Transparent: return "pcsc: transparent session";
    case Route::Acr122: return "pcsc-acr122: PN532 commands by direct transmit";
    case Route::AcsDirect: return "pcsc-acs: FeliCa frames by direct transmit";
    case Route::Undecided: break;
    }
    return "pcsc: transparent session, or direct transmit if its firmware is ACS's";
}

Apdu pn532Polling(std::span<const uint8_t> frame) {
    if (frame.size() != 6 || frame[0] != 6 || frame[1] != code::Polling) return {};
    // One target at 212 kbps; the Polling frame goes without its length byte.
    std::vector<uint8_t> command{ToChip, InListPassiveTarget, 0x01, 0x01};
    command.insert(command.end(), frame.begin() + 1, frame.end());
    return directTransmit(command);
}

Apdu pn532Exchange(std::span<const uint8_t> frame) {
    if (frame.empty() || frame.size() > 0xFF - 3) return {};
    std::vector<uint8_t> command{ToChip, InDataExchange, 0x01};
    command.insert(command.end(), frame.begin(), frame.end());
    return directTransmit(command);
}

Apdu pn532RetryLimits() {
    // Item 05: retries of ATR, of PSL, and of passive activation.
    const uint8_t command[] = {ToChip, RFConfiguration, 0x05, 0xFF, 0x01, 0x02};
    return directTransmit(command);
}

Apdu firmwareVersion() { return {0xFF, 0x00, 0x48, 0x00, 0x00}; }

Route routeForFirmware(std::span<const uint8_t> answer) {
    const auto startsWith = [&](std::string_view name) {
        return answer.size() >= name.size() && std::equal(name.begin(), name.end(), answer.begin());
    };
    if (startsWith("ACR122")) return Route::Acr122;
    if (startsWith("ACR") || startsWith("ACM")) return Route::AcsDirect;
    return Route::Transparent;
}

Apdu directFrame(std::span<const uint8_t> frame) { return directTransmit(frame); }

bool parsePn532PollingAnswer(std::span<const uint8_t> answer, DirectAnswer& out, std::string& why) {
    out = {};
    std::span<const uint8_t> b;
    bool wellFormed = false;
    if (!body(answer, b, why, wellFormed)) return wellFormed;
    if (!pn532Head(b, InListPassiveTarget + 1, why)) return false;
    if (b.size() < 3) {
        why = "the PN532's polling answer has no target count";
        return false;
    }
    if (b[2] == 0) {
        out.kind = DirectAnswer::CardSilent;
        why = "no card answered polling";
        return true;
    }
    // One target was asked for: its number, then the card's Polling answer.
    if (b[2] != 1 || b.size() < 4) {
        why = "the PN532 reports " + std::to_string(b[2]) + " targets";
        return false;
    }
    if (!wholeFrame(b.subspan(4), out.cardFrame, why)) return false;
    out.kind = DirectAnswer::Done;
    return true;
}

bool parsePn532ExchangeAnswer(std::span<const uint8_t> answer, DirectAnswer& out, std::string& why) {
    out = {};
    std::span<const uint8_t> b;
    bool wellFormed = false;
    if (!body(answer, b, why, wellFormed)) return wellFormed;
    if (!pn532Head(b, InDataExchange + 1, why)) return false;
    if (b.size() < 3) {
        why = "the PN532's exchange answer has no status byte";
        return false;
    }
    const uint8_t status = b[2];
    if (status != 0) {
        out.kind = (status & 0x3F) == StatusTimeout ? DirectAnswer::CardSilent : DirectAnswer::Failed;
        why = (out.kind == DirectAnswer::CardSilent ? "the card did not answer (PN532 status " : "PN532 error (status ") +
              hexText(b.subspan(2, 1)) + ")";
        return true;
    }
    if (!wholeFrame(b.subspan(3), out.cardFrame, why)) return false;
    out.kind = DirectAnswer::Done;
    return true;
}

bool parsePn532Answer(std::span<const uint8_t> answer, uint8_t answerCode, std::string& why) {
    std::span<const uint8_t> b;
    bool wellFormed = false;
    return body(answer, b, why, wellFormed) && pn532Head(b, answerCode, why);
}

bool parseDirectFrameAnswer(std::span<const uint8_t> answer, DirectAnswer& out, std::string& why) {
    out = {};
    std::span<const uint8_t> b;
    bool wellFormed = false;
    if (!body(answer, b, why, wellFormed)) {
        if (!wellFormed) return false;
        // 63 00, "operation failed", is what the reader answers when the
        // card stays silent.
        if (answer[answer.size() - 2] == 0x63 && answer[answer.size() - 1] == 0x00) {
            out.kind = DirectAnswer::CardSilent;
            why = "the card did not answer (status word 63 00)";
        }
        return true;
    }
    if (b.empty()) {
        out.kind = DirectAnswer::CardSilent;
        why = "the card did not answer (no frame)";
        return true;
    }
    if (!wholeFrame(b, out.cardFrame, why)) return false;
    out.kind = DirectAnswer::Done;
    return true;
}

}  // namespace tovani::felica::acs_frames
