#pragma once

// Real reader/writers through libnfc (FeliCa at 212 kbps, the reader as
// initiator). The frame handling is kept apart from the device calls so that
// it can be checked without hardware.

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nfc/nfc-types.h>

#include "platform/felica/felica_transport.h"
#include "platform/felica/libnfc_devices.h"

namespace tovani::felica {

namespace libnfc_frames {

// A PN532 carries at most 14 blocks in one Read Without Encryption answer.
constexpr size_t MaxBlocksPerRead = 14;
// Every exchange waits at most this long for the card.
constexpr int TimeoutMs = 300;

// libnfc polls through its own target selection, which takes the Polling
// command without its length byte. Empty unless `command` is a well-formed
// Polling frame.
std::vector<uint8_t> pollingInitData(std::span<const uint8_t> command);

// The Polling answer frame rebuilt from what libnfc reports of the target;
// nothing when the report does not hold a sound answer.
std::optional<Frame> pollingAnswerFromTarget(const nfc_felica_info& info);

// Classifies the result of nfc_initiator_transceive_bytes (received byte
// count or a negative libnfc error code) and checks the received frame:
// an answer whose length byte disagrees with the byte count is no answer.
Exchange classifyTransceive(int result, std::span<const uint8_t> received, Frame& response);

// A libnfc error code as a transport outcome: a card that does not answer
// (an RF transmission error, a released target) is no answer; anything else
// is the reader's fault. A timeout is the reader's fault too: the chip
// reports a silent card itself, so a timeout means the chip did not answer,
// as when the reader was pulled.
Exchange classifyError(int error);

}  // namespace libnfc_frames

}  // namespace tovani::felica
