#pragma once

// The connection to the card reader/writer, the texts of its error values,
// and one complete attempt to read the card lying on it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cards/card_data.h"
#include "cards/decoders.h"
#include "platform/felica/felica.h"

namespace tovani {

// The result of one readCard.
enum ReadState : int32_t {
    ReadStateError = 0,         // the reader/writer failed; the connection is closed
    ReadStateRead = 1,          // a supported card was read; the results are rewritten
    ReadStateNoCard = 2,        // polling found no card
    ReadStateSameCard = 3,      // the card is the one read last
    ReadStateNotSupported = 4,  // neither a supported system nor a supported history service
};

// The error value meaning that polling found no card.
constexpr int32_t ErrorTypeNoCard = 1036;
constexpr int ErrorMessageCount = 98;

// Everything the reader keeps between calls.
struct ReaderState {
    felica::FelicaLibrary Library;
    bool LibraryInitialized = false;  // initialize_library succeeded, dispose_library not yet called
    bool ReaderWriterOpened = false;  // open_reader_writer_auto succeeded, close_reader_writer not yet called
    int32_t LastErrorType = 0;        // first error value of the last failure
    int32_t LastErrorType2 = 0;       // second error value; kept, never shown
    // Texts of error values 1000..1097, filled once by initErrorMessages.
    std::array<std::string, ErrorMessageCount> ErrorMessages;
};

void initErrorMessages(ReaderState& reader);

// The text for an error value: none outside 1000..1097; 1096 has the empty text.
std::optional<std::string> errorMessageText(const ReaderState& reader, int32_t errorType);

// Initialises the library, opens the reader/writer and checks that it
// answers. On failure the connection is wound back and LastErrorType tells why
// (unless the library itself could not be initialised).
bool openReader(ReaderState& reader);

// Ends whatever part of the connection is open.
void closeReader(ReaderState& reader);

// One attempt to read the card on the reader into `card`. The transit decoder
// looks the oldest amounts up through storedRireki (storedRirekiLookup of
// store/card_store.h gives the one over a program folder's card files).
ReadState readCard(ReaderState& reader, CardReadResults& card, const CardRirekiLookup& storedRireki);

// The services readCard reads of a system (codes as numbers, 0x090F), from
// the same table it reads by; empty for a system it does not read.
std::vector<uint16_t> servicesRead(const std::array<uint8_t, 2>& systemCode);

// "ReadStateRead" and so on, for messages of tools and tests.
const char* readStateName(ReadState state);

}  // namespace tovani
