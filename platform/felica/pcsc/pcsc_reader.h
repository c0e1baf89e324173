#pragma once

// Real reader/writers through pcsc-lite: PC/SC readers with FeliCa that
// speak the contactless transparent session (the current USB FeliCa readers,
// CCID class, under pcscd; pcsc_frames.h), and ACS readers that take FeliCa
// by direct transmit (acs_frames.h). The reader's name chooses the route; for
// a name that says nothing the reader's firmware does, once per opening
// (never one failed exchange: a card of another kind fails some).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/felica/felica_transport.h"

namespace tovani::felica {

// Which PC/SC reader a transport opens.
struct PcscChoice {
    std::string readerName;          // this reader; empty: the first one listed
    bool requireFelicaCard = false;  // only a reader that shows a FeliCa card right now
    bool quiet = false;              // no message on stderr when no reader fits (another will be tried)
};

std::unique_ptr<Transport> makePcscTransport(PcscChoice choice);

// What pcscd reports of one reader, for `tovani-card readers`.
struct PcscReaderInfo {
    std::string name;
    bool answers = false;     // pcscd reports the reader's state
    bool cardPresent = false;
    bool felicaCard = false;  // the card's ATR is that of a FeliCa card
    std::string route;        // how FeliCa frames reach the card, in words
};

// The readers pcscd knows, in its order. False with a reason when pcscd
// cannot be reached; no reader at all is true with an empty list.
bool listPcscReaders(std::vector<PcscReaderInfo>& out, std::string& why);

}  // namespace tovani::felica
