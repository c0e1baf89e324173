#pragma once

// The virtual reader/writer: a folder stands for the reader, a card image
// named card.json in it for the card lying on it.
//
//   folder exists          the reader/writer is found and opens
//   card.json              that card lies on the reader (read again at every
//                          Polling, so replacing the file swaps the card)
//   no card.json           polling finds no card
//   a file "unplugged"     the reader/writer stops answering
//   folder missing at open no reader/writer is found

#include <optional>
#include <string>

#include "platform/felica/card_image.h"
#include "platform/felica/felica_transport.h"

namespace tovani::felica {

class VirtualReader : public Transport {
public:
    explicit VirtualReader(std::string folder);

    OpenResult open() override;
    void close() override;
    bool isAlive() override;
    Exchange transceive(std::span<const uint8_t> command, Frame& response) override;
    // The virtual reader carries any read the program asks for in one
    // command; the simulated card sets the real limit.
    size_t maxBlocksPerRead() const override { return 20; }

    std::string cardPath() const { return folder_ + "/card.json"; }

private:
    void layCardFromFile();

    std::string folder_;
    bool open_ = false;
    std::optional<SimulatedCard> card_;
    std::string lastReport_;  // a broken image is reported once, not at every poll
};

}  // namespace tovani::felica
