#pragma once

// Card database files: storing a card read and reading card files back.
// Every routine sets DBErrorMessage to its failure text and leaves it as it
// was on success.

#include <cstdint>
#include <string>

#include "cards/card_data.h"
#include "cards/decoders.h"

namespace tovani {

struct CardInfoRecord {
    int32_t CardKind = 0;
    std::string CardID;
    int32_t HakkouYmd = 0;
};

// The exact table statements of a card file.
std::string createCardInfoSql();
std::string createRirekiSql(int32_t cardKind);

// The one reader of a CardInfo row and the one of a Rireki row, for the
// store, the views and the overview alike, so that no reader refuses a file
// another one shows. A SQL NULL reads 0; a text or a fraction where a whole
// number belongs, or too few columns, refuses the row: false, the record
// unchanged, and `why` says what is wrong. Rireki fields past the row's
// columns keep what the record held (an Edy file has no Charge, a WAON file
// no transit codes); CardInfo gives no issue date for transit and WAON cards.
bool readCardInfoRow(CardInfoRecord& record, int columnCount, char** values, char** names, std::string& why);
bool readRirekiRow(RirekiInfo& record, int columnCount, char** values, char** names, std::string& why);

// Row callbacks of the store's queries (user argument: CardInfoRecord*,
// RirekiInfo*); exec_callback_count lives with the database helpers.
int exec_callback_CardInfo(void* user, int columnCount, char** values, char** names);
int exec_callback_Rireki(void* user, int columnCount, char** values, char** names);

// What a store did. stored: false when it failed (DBErrorMessage says why).
// waiting: the entries of the read it left out (their amount is unknown, see
// card.AmountUnknown) that the file does not hold yet, or all of them when
// the read has nothing else to store (the file is not opened then); the next
// read that can look the card's history up stores them.
struct StoreResult {
    bool stored = false;
    int waiting = 0;
    explicit operator bool() const { return stored; }
};

// Stores the read in `card` into the file at path (created when missing).
// A read without an entry to store touches no file, and a file this call
// made is removed again when the store fails before any history is in it.
StoreResult insertRirekiDB(const std::string& path, const CardReadResults& card, std::string& DBErrorMessage);

bool selectCardInfoDB(const std::string& path, CardInfoRecord& record, std::string& DBErrorMessage);

// serial >= 0: that transaction; negative: the newest stored one.
bool selectRerekiDB(const std::string& path, int32_t serial, RirekiInfo& record,
                    std::string& DBErrorMessage);

// The transit lookup over the card files under programDir, for readCard.
// A file that cannot be read (other than "no such file or row") answers
// Unreadable and its reason goes to standard error.
CardRirekiLookup storedRirekiLookup(const std::string& programDir);

}  // namespace tovani
