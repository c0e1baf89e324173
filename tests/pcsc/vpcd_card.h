#pragma once

// A simulated PC/SC reader with FeliCa: a client of the vpcd reader driver
// (vsmartcard) that gives pcscd a reader whose card is served from a
// card-image folder by the shared card model.
//
// vpcd listens on a TCP port; every message either way is a two-byte
// big-endian length and the bytes. One-byte messages from vpcd: 00 power
// off, 01 power on, 02 reset, 04 "send the ATR"; longer ones are command
// APDUs, each answered with the response APDU.
//
// The folder as the reader's field (see platform/felica/card_model.h):
// card.json there means a card in the field, so the simulator is connected
// and pcscd sees a card with the FeliCa ATR; without it, or with
// "unplugged", the simulator stays away and pcscd sees an empty reader.
// Replacing card.json swaps the card at the next Polling.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/felica/card_model.h"

namespace tovani::test {

// Which reader the simulator plays, with what real devices were seen to do.
struct ReaderProfile {
    enum Kind {
        Rcs300,   // the transparent session (FF C2)
        Acr122,   // PN532 commands by direct transmit, the ACR122T's FeliCa ATR
        Acr1252,  // FeliCa frames by direct transmit
    } kind = Rcs300;
    // FeliCa command codes the transparent session refuses (C0 03 01 6A 80).
    std::vector<uint8_t> refusedCommands;
    // A session idle for longer than this is dropped (0: never).
    std::chrono::milliseconds dropIdleSession{0};
    // Not empty: a card of another kind (ISO 14443 type A) lies in the field
    // in card.json's place. Get Data gives this UID, FeliCa frames get no
    // answer, and with `otherCardFailsSwitch` the switch to FeliCa fails.
    std::vector<uint8_t> otherCardUid;
    bool otherCardFailsSwitch = false;

    ReaderProfile(Kind k = Rcs300, std::vector<uint8_t> refused = {}, std::chrono::milliseconds dropIdle = {},
                  std::vector<uint8_t> otherUid = {}, bool otherFailsSwitch = false)
        : kind(k), refusedCommands(std::move(refused)), dropIdleSession(dropIdle),
          otherCardUid(std::move(otherUid)), otherCardFailsSwitch(otherFailsSwitch) {}
};

// The readers the simulator plays, each under the name pcscd shows for the
// device (the name chooses the program's route, as a real reader's does).
struct NamedReader {
    std::string key;   // how tests and tovani-pcsc-sim --reader call it
    std::string name;  // the reader's name in pcscd, without the slot
    ReaderProfile profile;
};
const std::vector<NamedReader>& namedReaders();
// The reader called `key`; nullptr for an unknown one.
const NamedReader* findNamedReader(std::string_view key);

// The reader's side of the APDUs, answered from the card on the folder:
// Get Data (FF CA), and the transparent session (FF C2) or direct transmit
// (FF 00 00 00) as the profile has it.
class PcscCardAnswers {
public:
    explicit PcscCardAnswers(felica::CardFolder& field, ReaderProfile profile = {})
        : field_(field), profile_(std::move(profile)) {}
    std::vector<uint8_t> answer(std::span<const uint8_t> apdu);
    // Power off or reset ends a session.
    void reset() { session_ = false; felica_ = false; }
    // The ATR of a FeliCa card on this reader.
    std::vector<uint8_t> atr() const;

private:
    std::vector<uint8_t> answerApdu(std::span<const uint8_t> apdu);
    std::vector<uint8_t> manageSession(std::span<const uint8_t> objects);
    std::vector<uint8_t> switchProtocol(std::span<const uint8_t> objects);
    std::vector<uint8_t> exchange(std::span<const uint8_t> objects);
    std::vector<uint8_t> pn532(std::span<const uint8_t> command);
    std::vector<uint8_t> directFrame(std::span<const uint8_t> frame);
    std::vector<uint8_t> getData(uint8_t which);

    felica::CardFolder& field_;
    ReaderProfile profile_;
    bool session_ = false;
    bool felica_ = false;
    std::chrono::steady_clock::time_point lastAnswer_{};
};

class VpcdCard {
public:
    VpcdCard(std::string folder, uint16_t port, ReaderProfile profile = {});
    ~VpcdCard();
    VpcdCard(const VpcdCard&) = delete;
    VpcdCard& operator=(const VpcdCard&) = delete;

    // How a faulty reader garbles its answers to transparent exchanges, for
    // the tests of what the program makes of them.
    enum class Fault {
        None,
        OneByte,         // a lone byte, no status word
        PastTheEnd,      // the card frame's length runs past the end
        NoStatusObject,  // the card frame and 90 00, no C0 object
        Refused,         // 6A 81 for every exchange
    };
    void setFault(Fault f) { fault_ = f; }

private:
    void run();
    bool cardInField() const;
    bool serveOne(int fd);  // false when the connection is gone
    std::vector<uint8_t> garbled(std::vector<uint8_t> answer) const;

    felica::CardFolder field_;
    PcscCardAnswers answers_;
    uint16_t port_;
    int wake_[2] = {-1, -1};  // written to stop the thread
    std::atomic<bool> stop_{false};
    std::atomic<Fault> fault_{Fault::None};
    std::thread thread_;
};

}  // namespace tovani::test
