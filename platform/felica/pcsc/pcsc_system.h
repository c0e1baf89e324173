#pragma once

// The PC/SC calls the reader route makes, over pcsc-lite on Linux and
// winscard.dll on Windows (UTF-16 reader names there, never the ANSI code
// page). Result codes are PC/SC's own, the same on both systems.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tovani::felica::pcsc_system {

using Result = int32_t;
constexpr Result Success = 0;
constexpr Result InsufficientBuffer = static_cast<Result>(0x80100008);
constexpr Result Timeout = static_cast<Result>(0x8010000A);
constexpr Result NoSmartcard = static_cast<Result>(0x8010000C);
constexpr Result NoService = static_cast<Result>(0x8010001D);
constexpr Result ServiceStopped = static_cast<Result>(0x8010001E);
constexpr Result NoReadersAvailable = static_cast<Result>(0x8010002E);
constexpr Result UnresponsiveCard = static_cast<Result>(0x80100066);
constexpr Result UnpoweredCard = static_cast<Result>(0x80100067);
constexpr Result ResetCard = static_cast<Result>(0x80100068);
constexpr Result RemovedCard = static_cast<Result>(0x80100069);

// The service that owns the readers, for messages: "pcscd" or "the Smart
// Card service".
extern const char* const serviceName;

// The code's name, e.g. "Service not available." or "SCARD_E_NO_SERVICE".
std::string errorName(Result rv);

struct ReaderStatus {
    bool gone = false;     // unknown, ignored or unavailable: the reader is not there to use
    bool present = false;  // a card lies on it
    std::vector<uint8_t> atr;
};

class Context {
public:
    Context() = default;
    ~Context() { release(); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    Result establish();
    void release();
    bool established() const { return established_; }

    // The readers in the service's order; none is Success with an empty list.
    Result readers(std::vector<std::string>& names);
    // The states of the named readers, without waiting.
    Result states(const std::vector<std::string>& names, std::vector<ReaderStatus>& out);

private:
    friend class Card;
    uintptr_t handle_ = 0;
    bool established_ = false;
};

class Card {
public:
    Card() = default;
    ~Card() { disconnect(); }
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;

    // Shared, T=0 or T=1.
    Result connect(Context& context, const std::string& reader);
    // The card is left as it is.
    void disconnect();
    bool connected() const { return connected_; }
    // One APDU; `answer` comes sized to hold the longest answer taken and is
    // cut to what came back. `claimed` is the length the reader gave; past
    // the room it had, `answer` is empty.
    Result transmit(std::span<const uint8_t> apdu, std::vector<uint8_t>& answer, size_t& claimed);

private:
    uintptr_t handle_ = 0;
    bool t0_ = false;
    bool connected_ = false;
};

}  // namespace tovani::felica::pcsc_system
