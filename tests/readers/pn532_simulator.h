#pragma once

// A simulated PN532 on a pseudo-terminal, for driving the real libnfc
// serial driver in tests: it speaks the chip's host frames (wake-up bytes,
// ACK, normal and extended frames with their checksums) and serves the card
// of a card-image folder through the shared card model. While the folder
// holds "unplugged" the chip answers nothing at all, as a board whose cable
// was pulled; when the file goes, the chip comes back freshly powered up.

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/felica/card_model.h"

namespace tovani::test::pn532 {

// Frame identifiers: host to chip, chip to host.
constexpr uint8_t HostToChip = 0xD4;
constexpr uint8_t ChipToHost = 0xD5;

constexpr std::array<uint8_t, 6> Ack{0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00};
constexpr std::array<uint8_t, 6> Nack{0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00};
// The chip's answer to a command it cannot carry out (syntax error).
constexpr std::array<uint8_t, 8> ErrorFrame{0x00, 0x00, 0xFF, 0x01, 0xFF, 0x7F, 0x81, 0x00};

// Wraps a payload (frame identifier first) in a frame: a normal frame up to
// 255 bytes, an extended one above. Empty for a payload past 65535 bytes.
std::vector<uint8_t> frame(std::span<const uint8_t> payload);

// Cuts the host's byte stream into frames. Bytes before a start code (the
// wake-up preamble, padding) are skipped; a frame whose checksums do not add
// up is reported as Bad and dropped.
class FrameReader {
public:
    enum class Kind { Command, Acknowledge, NotAcknowledge, Bad };
    struct Item {
        Kind kind = Kind::Bad;
        std::vector<uint8_t> payload;  // Command: frame identifier first
        std::string why;               // Bad: what was wrong
    };

    void feed(std::span<const uint8_t> bytes);
    // The next complete item, or nothing until more bytes come.
    std::optional<Item> next();

private:
    std::vector<uint8_t> buffer_;
};

// The chip's command set as far as a host driver uses it for FeliCa at
// 212/424 kbps: the answer payload to one command payload, or the error
// frame's payload {0x7F} for what the chip refuses. Status bytes are only
// ever 0x00 (fine), 0x01 (the card did not answer) or 0x27 (not possible
// now): nothing with bit 7 or bit 6 set.
class Chip {
public:
    explicit Chip(felica::CardFolder& field) : field_(field) {}

    std::vector<uint8_t> answer(std::span<const uint8_t> command);
    // Power-up state: no target, field off, registers cleared.
    void reset();

private:
    std::vector<uint8_t> listPassiveTarget(std::span<const uint8_t> params);
    std::vector<uint8_t> exchange(uint8_t answerCode, std::span<const uint8_t> cardFrame);

    felica::CardFolder& field_;
    bool targetSelected_ = false;
    bool fieldOn_ = false;
    std::map<uint16_t, uint8_t> registers_;
};

// The simulator on its own thread, behind a pseudo-terminal.
class Simulator {
public:
    explicit Simulator(std::string folder);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pseudo-terminal and starts answering; false with a reason.
    bool start(std::string& why);
    void stop();

    // "/dev/pts/N", and the connection string that reaches it.
    const std::string& ttyPath() const { return ttyPath_; }
    std::string connectionString() const { return "pn532_uart:" + ttyPath_; }

    // How many commands the chip has answered so far, and how many of them
    // with the error frame (a command it does not know or cannot carry out).
    size_t commandCount() const { return commands_.load(); }
    size_t refusedCount() const { return refused_.load(); }

    // A chip that goes wrong: from now on its answers to `command` (a chip
    // command code, or every command when none is given) come damaged.
    enum class Fault {
        None,
        DataChecksum,    // the data checksum does not add up
        LengthChecksum,  // the length checksum does not add up
        Truncated,       // the frame stops short of its end
    };
    void injectFault(Fault fault, std::optional<uint8_t> command = std::nullopt) {
        faultCommand_.store(command ? *command : -1);
        fault_.store(fault);
    }

private:
    void run();
    void handle(FrameReader::Item item);
    void send(std::span<const uint8_t> bytes);

    felica::CardFolder field_;
    Chip chip_;
    int master_ = -1;
    int slave_ = -1;      // held open so the terminal stays up between users
    int wake_[2]{-1, -1};  // written to end the loop
    std::string ttyPath_;
    std::thread thread_;
    std::vector<uint8_t> lastAnswer_;  // sent again on a NACK
    bool wasUnplugged_ = false;
    std::atomic<size_t> commands_{0};
    std::atomic<size_t> refused_{0};
    std::atomic<Fault> fault_{Fault::None};
    std::atomic<int> faultCommand_{-1};  // -1: every command
};

}  // namespace tovani::test::pn532
