#pragma once

// FeliCa through the direct transmit of ACS readers under pcscd, which do not
// speak the transparent session. Pure functions over bytes, as in
// pcsc_frames.h; a reader's answer is untrusted input.
//
// ACR122U / ACR122T (a PN532 inside): FF 00 00 00 Lc <PN532 command>, the
// answer being the PN532's answer and 90 00.
//   Polling:  D4 4A 01 01 <Polling frame without its length byte>
//             -> D5 4B <targets> [01 <the card's Polling answer frame>]
//   Exchange: D4 40 01 <frame> -> D5 41 <status> <the card's frame>
// ACR1252U and later ACS readers: FF 00 00 00 Lc <frame>, the answer being
// the card's frame and 90 00.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/felica/felica_frames.h"

namespace tovani::felica::acs_frames {

using Apdu = std::vector<uint8_t>;

// How a PC/SC reader carries FeliCa frames.
enum class Route {
    Transparent,  // the contactless transparent session (RC-S300 class)
    Acr122,       // PN532 commands by direct transmit
    AcsDirect,    // the frame itself by direct transmit
    Undecided,    // the name says nothing: the reader's firmware tells, at the
                  // first card it is connected to
};

// The route a reader's name shows.
Route routeForReaderName(std::string_view readerName);
// The route the answer to firmwareVersion() shows: ACS readers answer their
// firmware's name ("ACR122U207", "ACR1252U_V202.2"); an ACR122 takes PN532
// commands, any other ACS reader the frames themselves, and a reader that
// answers anything else speaks the transparent session.
Route routeForFirmware(std::span<const uint8_t> answer);
// The route's name in the reader log and in `tovani-card readers`.
const char* routeName(Route route);
// What the route is, in words, for `tovani-card readers`.
const char* routeDescription(Route route);

// Empty unless `frame` is a well-formed Polling frame.
Apdu pn532Polling(std::span<const uint8_t> frame);
// Empty when the frame is empty or does not fit one command.
Apdu pn532Exchange(std::span<const uint8_t> frame);
// RFConfiguration: give up on a card that does not answer polling after two
// tries (a PN532 tries for ever by default).
Apdu pn532RetryLimits();
// ACS readers' firmware query.
Apdu firmwareVersion();
// Empty when the frame is empty or does not fit one command.
Apdu directFrame(std::span<const uint8_t> frame);

struct DirectAnswer {
    enum Kind {
        Done,        // `cardFrame` holds the card's frame
        CardSilent,  // no card answered
        Failed,      // the reader or its chip failed the command
    } kind = Failed;
    Frame cardFrame;
};

// Each parser is false, with a reason, for a malformed answer; a well-formed
// answer that reports a failure is true with the reason in `why`.
bool parsePn532PollingAnswer(std::span<const uint8_t> answer, DirectAnswer& out, std::string& why);
bool parsePn532ExchangeAnswer(std::span<const uint8_t> answer, DirectAnswer& out, std::string& why);
// Any PN532 answer without a card frame (RFConfiguration).
bool parsePn532Answer(std::span<const uint8_t> answer, uint8_t answerCode, std::string& why);
bool parseDirectFrameAnswer(std::span<const uint8_t> answer, DirectAnswer& out, std::string& why);

}  // namespace tovani::felica::acs_frames
