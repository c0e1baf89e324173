#pragma once

// The FeliCa commands as operations on a card through a transport: each
// sends its frame, checks the answer and reports failures as the library's
// error values.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/felica/felica_errors.h"
#include "platform/felica/felica_frames.h"
#include "platform/felica/felica_transport.h"

namespace tovani::felica {

struct Outcome {
    bool ok = true;
    int32_t error = ErrorNone;   // first error value when !ok
    int32_t detail = 0;          // second error value when !ok
    std::string reason;          // what went wrong, in words
    bool refused = false;        // the reader/writer refused to carry the command
    bool otherCard = false;      // Polling: the card in the field is not a FeliCa card

    static Outcome success() { return {}; }
    static Outcome failure(int32_t error, int32_t detail, std::string reason) {
        return {false, error, detail, std::move(reason)};
    }
    // The reader/writer does not carry FeliCa command `commandCode`: a reader
    // failure unless the caller has a stand-in for the command.
    static Outcome refusedCommand(uint8_t commandCode);
};

// Polling; no answer is ErrorPolling, the code the caller reads as "no card",
// and so is a card of another kind (with `otherCard` set).
Outcome pollCard(Transport& t, std::array<uint8_t, 2> systemCode, uint8_t requestCode, PollingAnswer& out);

Outcome requestSystemCodes(Transport& t, const Idm& idm, std::vector<std::array<uint8_t, 2>>& out);

struct ServiceList {
    std::vector<uint16_t> services;  // in the card's order
    std::vector<uint16_t> areas;
    std::vector<uint16_t> areaEnds;
};
// Walks Search Service Code from index 0 to the end of the list. More than
// `maxEntries` services or areas is refused rather than cut short, so that a
// missing service is never mistaken for an absent one.
Outcome searchServiceCodes(Transport& t, const Idm& idm, size_t maxEntries, ServiceList& out);

// Reads the blocks of one service, as many per command as the reader carries.
// A command the card refuses is tried again in smaller pieces; a single block
// that the card refuses ends the read (the end of the service): the blocks
// before it are the result. No block at all is a failure.
Outcome readBlocks(Transport& t, const Idm& idm, uint16_t serviceCode, std::span<const uint16_t> blockNumbers,
                   std::vector<uint8_t>& data, size_t maxPerCommand);

// Whether the card has a service that needs no key: a one-block Read Without
// Encryption of its block 0 answers the block, or status flags (01 A6: no
// such service). The stand-in for Search Service Code, and for Polling by
// system code where Polling is refused.
Outcome serviceAnswers(Transport& t, const Idm& idm, uint16_t serviceCode, bool& present);

}  // namespace tovani::felica
