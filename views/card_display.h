#pragma once

// The plain parts of the main window that need no window system: showing a
// card just read, sorting the table by a click, and the list of card files
// with the entry to select.

#include <cstdint>
#include <string>
#include <vector>

#include "cards/card_data.h"
#include "views/result_table.h"
#include "views/rireki_rows.h"
#include "views/view_host.h"

namespace tovani {

// The card labels as every view shows them: the caption before the card
// number (empty for a kind the program does not read), the balance
// ("残高：" + grouped + " 円"), and the issue date ("作成年月日：" + the date,
// the date part empty when it is no calendar date; the whole label empty for
// transit and WAON cards, which have none).
std::string cardNumberCaption(int32_t cardKind);
std::string balanceLabel(int32_t zangaku);
std::string issueDateLabel(int32_t cardKind, int32_t hakkouYmd);

// Fills the three card labels and the table from a card just read: the
// card number, the balance after the newest entry ("残高：" + grouped + " 円",
// 0 when no entry is used), the issue date (Edy and nanaco only; the date
// part is empty when HakkouYmd is no calendar date), and one row per used
// entry of the kind's slots, newest in row 1 (one empty row when none is
// used). Does not touch SortAscending, the lock or the message line: the
// polling tick does.
void showCardInfo(ViewHost& host, const CardReadResults& results, NameLookup& names);

// The message line, in blue, once a card's history is shown.
inline constexpr const char* HistoryShownMessage = "履歴情報を表示しました。";

// The message line, in red, of a read whose store left `waiting` entries out
// (their card file was busy): the card is shown, the next read stores them.
std::string waitingEntriesMessage(int waiting);

// The click on the table: inverts SortAscending, then sorts the data rows by
// the current column as the view tag asks (numbers, text, or amounts, see
// the .cpp). Returns how many cells of the sorted column were not numbers in
// an amount sort: they are placed after every number, in their previous
// order, whatever the direction (0 for every other sort and for tables the
// views filled).
int sortByClick(ResultTable& table, bool& SortAscending, int32_t CardKind);

// The order of two amount-column texts for sortByClick: -1, 0 or 1, sign
// turned by the direction; a text that is not a number comes after every
// number in both directions and equals any other such text.
int compareAmountTexts(const std::string& a, const std::string& b, bool SortAscending);

// Names (without folder) of the card files in folder (rirekiFolder of
// store/db_files.h for the program's own): regular files whose
// names end in ".DB" exactly and do not start with ".", sorted by name
// compared with ASCII letters upper-cased, ties in byte order. A missing
// folder is created first (and listed empty). On failure to create or read
// the folder: false, names empty, and error says what and why.
bool listCardFiles(const std::string& folder, std::vector<std::string>& names, std::string& error);

// Index of the entry to select after a refill, -1 for none: none for an empty
// list; the first entry when CardID is empty (nothing read yet); otherwise
// the first entry equal, byte for byte, to dbFilePrefix(CardKind) + CardID +
// ".DB", or none when no entry is.
int selectedCardFile(const std::vector<std::string>& names, int32_t CardKind, const std::string& CardID);

}  // namespace tovani
