#pragma once

// Pieces the history and totals views share: strict reading of row values,
// the opening sequence of a viewed card file and the balance label.
// Internal to views/.

#include <cstdint>
#include <optional>
#include <string>

#include "database/db_access.h"
#include "views/card_views.h"

namespace tovani::viewdb {

constexpr int kGoOn = 0;
constexpr int kStop = 1;  // the engine ends the query; ViewQuery::failure says why

// A whole-number value of a row: an optional "-" and decimal digits within 32
// bits, as the engine writes an INTEGER. A text, a fraction or a SQL NULL is
// no whole number: nullopt, and `why` names the column and what it holds.
std::optional<int32_t> wholeNumber(char** values, char** names, int col, std::string& why);

// A number field of a stored row (CardInfo, Rireki): as wholeNumber, but a
// column left empty (SQL NULL) reads 0, as the card file readers of the
// balance overview read it, so no view refuses a file another one shows.
std::optional<int32_t> fieldNumber(char** values, char** names, int col, std::string& why);

// As wholeNumber, but 64-bit: the sums of the totals query.
std::optional<int64_t> wholeNumber64(char** values, char** names, int col, std::string& why);

// Name of column col as the engine gave it ("column N" without one).
std::string columnName(char** names, int col);

// The failure text of a query step: the step's prefix followed by the row
// callback's reason when it stopped the query, else by the engine's message.
std::string stepFailure(const std::string& prefix, const ViewQuery& query, const DbFile& db);

// Steps 1 to 7 of the history view, which the totals view repeats: choose the
// table statements by the kind shown last, open the existing file read-write
// (a missing file fails with "DB open error" and nothing is created), run the
// statements (a failure only notes its text), require exactly one CardInfo
// row and read it with exec_callback_CardInfoView. False with DBErrorMessage
// set on failure.
bool openViewedFile(const std::string& path, ViewContext& ctx, DbFile& db);

}  // namespace tovani::viewdb
