#pragma once

// The error values the component delivers through get_last_error_types.
// The numbers are those of the reader/writer library's error table, whose
// texts the program shows.

#include <cstdint>

namespace tovani::felica {

constexpr int32_t ErrorNone = 1000;                 // no error
constexpr int32_t ErrorInvalidArgument = 1002;      // a buffer or count the caller passed does not fit
constexpr int32_t ErrorNotInitialized = 1005;       // library not initialised
constexpr int32_t ErrorAlreadyInitialized = 1006;   // library initialised twice
constexpr int32_t ErrorOpenFailed = 1027;           // a reader/writer was found but could not be opened
constexpr int32_t ErrorNoReaderWriter = 1028;       // no reader/writer found
constexpr int32_t ErrorNotOpen = 1029;              // reader/writer not open
constexpr int32_t ErrorAlreadyOpen = 1030;          // reader/writer opened twice
constexpr int32_t ErrorPolling = 1036;              // polling found no card
constexpr int32_t ErrorReadFailed = 1040;           // the card's answer to a read was malformed
constexpr int32_t ErrorReadRefused = 1042;          // the card refused the read or stopped answering
constexpr int32_t ErrorNotPolled = 1046;            // no polling yet
constexpr int32_t ErrorIdmMismatch = 1049;          // the IDm of a read is not that of the polled card
constexpr int32_t ErrorSystemCodeList = 1061;       // the card's system code list could not be taken
constexpr int32_t ErrorServiceCodeList = 1062;      // the card's service code list could not be taken
constexpr int32_t ErrorReaderNotAnswering = 1069;   // the reader/writer does not answer

}  // namespace tovani::felica
