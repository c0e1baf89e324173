#pragma once

// The APDUs a PC/SC reader with FeliCa (the contactless transparent session)
// is driven with, and the parsing of its answers. Pure functions over bytes,
// apart from the device calls in pcsc_reader.cpp, so that a reader's answer
// can be checked without hardware. A reader is untrusted input: every length
// is checked before it is read, and anything that does not add up is refused
// with a reason.
//
// Command: FF C2 00 P2 Lc <data objects> 00. Data objects are tag, length,
// value; tags 5F xx and FF xx take two bytes; a length of 0x80 or more is
// written 81 len or 82 hi lo.
//   P2 00 manage session: 81 00 start, 82 00 end
//   P2 01 transparent exchange: 5F 46 04 <timer, microseconds, little endian>
//         then 95 len <FeliCa frame>
//   P2 02 switch protocol: 8F 02 03 00 (FeliCa)
// Answer: data objects, then the status word. C0 03 ii s1 s2 is the reader's
// own status (ii = 1-based index of the failing object, 00 90 00 all fine),
// 97 len <frame> the card's answer frame. Real readers were seen to answer
// 64 00 or 64 01 when the card is silent, 63 01 when another data object
// failed, and 6A 80 for a FeliCa command they will not carry.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/felica/felica_frames.h"

namespace tovani::felica::pcsc_frames {

using Apdu = std::vector<uint8_t>;

// pcsc-lite's answer buffer: a Read Without Encryption answer of 15 blocks
// (270 bytes with the data objects) does not fit, 14 blocks do.
constexpr size_t MaxAnswerLength = 264;
constexpr size_t MaxBlocksPerRead = 14;
// How long the reader waits for the card's answer to one frame.
constexpr uint32_t ExchangeTimerMicroseconds = 100000;

// The ATR a PC/SC reader shows for a FeliCa card in its field.
constexpr std::array<uint8_t, 20> FelicaAtr{0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                                            0x03, 0x06, 0x11, 0x00, 0x3B, 0x00, 0x00, 0x00, 0x00, 0x42};
// The part of that ATR that names a FeliCa card (registered application
// provider, standard, card name), whatever the reader puts around it; the
// ACR122T's own FeliCa ATR (another standard byte, card name F0 11 or F0 12)
// counts too.
bool atrIsFelica(std::span<const uint8_t> atr);

namespace tag {
constexpr uint16_t StartSession = 0x81;
constexpr uint16_t EndSession = 0x82;
constexpr uint16_t SwitchProtocol = 0x8F;
constexpr uint16_t Transceive = 0x95;
constexpr uint16_t CardFrame = 0x97;
constexpr uint16_t Status = 0xC0;
constexpr uint16_t Timer = 0x5F46;
}  // namespace tag

namespace p2 {
constexpr uint8_t ManageSession = 0x00;
constexpr uint8_t TransparentExchange = 0x01;
constexpr uint8_t SwitchProtocol = 0x02;
}  // namespace p2

struct DataObject {
    uint16_t tag = 0;
    std::span<const uint8_t> value;
};

// Splits bytes into data objects. False, with a reason, when a tag or length
// is cut off, a length is not one of the three forms, or a value runs past
// the end.
bool parseDataObjects(std::span<const uint8_t> bytes, std::vector<DataObject>& out, std::string& why);
// Appends one data object in the same encoding.
void appendDataObject(std::vector<uint8_t>& out, uint16_t tag, std::span<const uint8_t> value);

Apdu startSession();
Apdu endSession();
Apdu switchToFelica();
// Empty when the frame is empty or longer than a FeliCa frame can be.
Apdu transparentExchange(std::span<const uint8_t> frame, uint32_t timerMicroseconds = ExchangeTimerMicroseconds);
// Get Data: the card's identifier (the IDm of a FeliCa card).
Apdu getUid();
// Get Data: the card's PMm (as far as the reader offers it).
Apdu getPmm();

// What one answer of the transparent session says.
struct SessionAnswer {
    enum Kind {
        Done,        // all fine; `cardFrame` holds the card's frame when the command carried one
        CardSilent,  // the card did not answer in time (no card, card lifted)
        Refused,     // the reader will not carry this command (C0 status 6A 80)
        Failed,      // the reader failed the command
    } kind = Failed;
    std::array<uint8_t, 2> statusWord{};
    std::optional<std::array<uint8_t, 3>> status;  // the C0 object
    std::optional<Frame> cardFrame;                // the 97 object
};

// Parses the answer of a transparent-session APDU. False, with a reason, when
// the answer is malformed: shorter than a status word, longer than the answer
// buffer, a data object running past the end, a C0 object that is not three
// bytes, an object given twice, or a successful exchange without the card's
// frame. A well-formed answer that reports a failure is true with kind
// CardSilent, Refused or Failed and the reason in `why`.
bool parseSessionAnswer(std::span<const uint8_t> answer, bool expectCardFrame, SessionAnswer& out,
                        std::string& why);

// The answer of Get Data: the identifier and 90 00.
// Whether an answer has a status word and no more bytes than pcsc-lite's
// buffer holds; every answer parser checks this first.
bool answerLengthFits(std::span<const uint8_t> answer, std::string& why);

bool parseUidAnswer(std::span<const uint8_t> answer, std::vector<uint8_t>& uid, std::string& why);

}  // namespace tovani::felica::pcsc_frames
