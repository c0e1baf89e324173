#pragma once

// The link between the command layer and a reader/writer. A transport moves
// whole FeliCa frames (length byte first) and knows nothing of their meaning,
// except that a Polling frame may need the reader's own polling operation.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/felica/felica_frames.h"

namespace tovani::felica {

enum class OpenResult {
    Opened,
    NotFound,    // no reader/writer is there
    OpenFailed,  // one is there but could not be opened or set up
};

enum class Exchange {
    Answered,    // `response` holds the card's frame
    NoAnswer,    // no card answered in time (no card, card lifted)
    ReaderFault, // the reader/writer itself failed
    Refused,     // the reader/writer does not carry this command (some PC/SC
                 // readers refuse FeliCa commands they do not know)
    OtherCard,   // only for Polling and cardIdentity: a card lies in the
                 // field, but it is not a FeliCa card (where the reader/writer
                 // can tell; elsewhere such a card does not answer)
};

class Transport {
public:
    virtual ~Transport() = default;
    virtual OpenResult open() = 0;
    virtual void close() = 0;
    // Asks the reader/writer whether it still answers.
    virtual bool isAlive() = 0;
    // Sends one command frame and waits for the answer frame.
    virtual Exchange transceive(std::span<const uint8_t> command, Frame& response) = 0;
    // Most blocks one Read Without Encryption may ask for on this reader.
    virtual size_t maxBlocksPerRead() const = 0;
    // Driver-level code of the last failure (second error value), 0 if none.
    virtual int32_t lastDetail() const { return 0; }
    // The IDm and PMm of the card in the field as the reader/writer itself
    // found it, without a Polling command: the stand-in for a reader that
    // refuses Polling. Refused where the reader/writer cannot tell;
    // OtherCard for a card of another kind.
    virtual Exchange cardIdentity(Idm& idm, Pmm& pmm) {
        (void)idm;
        (void)pmm;
        return Exchange::Refused;
    }
};

// The transport the environment asks for: the virtual reader when
// FELICA_VIRTUAL_READER names a folder, otherwise real hardware.
std::unique_ptr<Transport> makeDefaultTransport();

}  // namespace tovani::felica
