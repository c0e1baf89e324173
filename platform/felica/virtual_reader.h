#pragma once

// The virtual reader/writer: a folder stands for the reader, a card image
// named card.json in it for the card lying on it (see card_model.h for what
// the folder's contents mean).

#include <optional>
#include <string>

#include "platform/felica/card_model.h"
#include "platform/felica/felica_transport.h"
#include "platform/felica/reader_log.h"

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

    std::string cardPath() const { return field_.cardPath(); }

private:
    CardFolder field_;
    bool open_ = false;
    std::optional<ReaderLogConnection> log_;
};

}  // namespace tovani::felica
