#pragma once

// Card images: a FeliCa card described in JSON (systems in the order the card
// reports them, each with its IDm and its services with their blocks), and a
// simulated card that answers command frames from such an image.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/felica/felica_frames.h"

namespace tovani::felica {

using Block = std::array<uint8_t, BlockSize>;

struct ServiceImage {
    uint16_t code = 0;  // the service code as a number (0x090F travels as 0F 09)
    std::vector<Block> blocks;
};

struct SystemImage {
    std::array<uint8_t, 2> systemCode{};  // as sent in Polling
    Idm idm{};
    std::vector<ServiceImage> services;
};

struct CardImage {
    Pmm pmm{};
    std::vector<SystemImage> systems;
    std::string comment;  // optional, kept for dumps
};

// Parses the JSON text of a card image. On failure `why` names what is wrong
// (for example "systems[0].services[1].blocks[3]: not 32 hex digits").
bool parseCardImage(const std::string& text, CardImage& out, std::string& why);
// Reads and parses a file; `why` includes no file name.
bool loadCardImage(const std::string& path, CardImage& out, std::string& why);
// The image as JSON text in the same format, blocks as upper-case hex.
std::string cardImageToJson(const CardImage& image);

// A card that answers Polling, Request System Code, Search Service Code and
// Read Without Encryption from its image, the way a FeliCa card does: it
// refuses blocks past the end of a service, unknown services and commands
// asking for more blocks than it carries.
class SimulatedCard {
public:
    static constexpr size_t DefaultMaxBlocksPerRead = 15;

    explicit SimulatedCard(CardImage image, size_t maxBlocksPerRead = DefaultMaxBlocksPerRead);
    // The answer frame, or nothing when the card stays silent.
    std::optional<Frame> respond(std::span<const uint8_t> command);

private:
    const SystemImage* systemByIdm(std::span<const uint8_t> idm) const;
    std::optional<Frame> answerPolling(std::span<const uint8_t> command);
    std::optional<Frame> answerRead(std::span<const uint8_t> command);

    CardImage image_;
    size_t maxBlocksPerRead_;
    size_t polled_ = 0;  // index of the system polled last (systems is never empty when polled)
    bool hasPolled_ = false;
};

}  // namespace tovani::felica
