#pragma once

// Decoders of the history and card-information blocks of the four card
// families. Each works on the byte buffer of one read and an offset into it
// (16 x block number), writes into CardReadResults, and refuses (false,
// nothing written) a buffer too short for the offset.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "cards/card_data.h"

namespace tovani {

// Edy: history service 0x170F (blocks 0-5), information service 0x110B.
bool decodeEdyRireki(CardReadResults& card, std::span<const uint8_t> buf, size_t offset, int index);
bool decodeEdyInfo(CardReadResults& card, std::span<const uint8_t> buf, size_t offset);

// nanaco: history service 0x564F (blocks 0-4), information service 0x558B
// (decodeNanacoInfo reads both information blocks, 32 bytes).
bool decodeNanacoRireki(CardReadResults& card, std::span<const uint8_t> buf, size_t offset, int index);
bool decodeNanacoInfo(CardReadResults& card, std::span<const uint8_t> buf, size_t offset);

// WAON: history service 0x680B, one record per block pair (offset of the
// pair's first block, index = block / 2), information service 0x684F.
bool decodeWaonRireki(CardReadResults& card, std::span<const uint8_t> buf, size_t offset, int index);
void sortWaonRireki(CardReadResults& card);
bool decodeWaonInfo(CardReadResults& card, std::span<const uint8_t> buf, size_t offset);

// Transit (SF): history service 0x090F (blocks 0-19), information 0x008B.
// The oldest entries take their amounts from the card's own file: the lookup
// fills `out` with the stored transaction of that serial number (negative:
// the newest stored one) and says whether it was found, is not stored, or
// could not be read. An empty function finds nothing.
enum class StoredRireki {
    Found,
    NotStored,   // no file for the card yet, or no such transaction in it
    Unreadable,  // the file could not be read (locked, damaged): nothing is known
};
using RirekiLookup = std::function<StoredRireki(int32_t serial, RirekiInfo& out)>;
// The stored transactions of any transit card, by card number: what the
// caller of a card read hands it (the store binds it to a program folder).
using CardRirekiLookup = std::function<StoredRireki(const std::string& cardId, int32_t serial, RirekiInfo& out)>;
// An entry whose amount depends on an unreadable lookup is decoded, marked in
// card.AmountUnknown and left out of the store, so that no wrong amount is
// ever stored; the next read works it out again.
bool decodeSFRireki(CardReadResults& card, std::span<const uint8_t> buf, size_t offset, int index,
                    const RirekiLookup& lookup);
bool decodeSFInfo(CardReadResults& card, std::span<const uint8_t> buf, size_t offset);

}  // namespace tovani
