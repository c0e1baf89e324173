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
// bits, as the engine writes an INTEGER. A SQL NULL is a column left empty
// and reads 0, as every reader of card files reads it; a text or a fraction
// is no whole number: nullopt, and `why` names the column and what it holds.
std::optional<int32_t> fieldNumber(char** values, char** names, int col, std::string& why);

// As fieldNumber, but 64-bit and NULL is no value: the counts and sums of the
// totals query.
std::optional<int64_t> wholeNumber64(char** values, char** names, int col, std::string& why);

// Name of column col as the engine gave it ("column N" without one).
std::string columnName(char** names, int col);

// The failure text of a query step: the step's prefix followed by the row
// callback's reason when it stopped the query, else by the engine's message.
std::string stepFailure(const std::string& prefix, const ViewQuery& query, const DbFile& db);

// A viewed card file: opened read-only, and all of the view's queries in one
// read transaction, so the count that sizes the table and the rows that fill
// it see the same rows while another process stores. The transaction ends
// before the file is closed, on every way out.
class ViewedFile {
public:
    ViewedFile() = default;
    ~ViewedFile() {
        if (inTransaction_) db.exec("COMMIT;");
    }
    ViewedFile(const ViewedFile&) = delete;
    ViewedFile& operator=(const ViewedFile&) = delete;

    DbFile db;

private:
    friend bool openViewedFile(const std::string& path, ViewContext& ctx, ViewedFile& file);
    bool inTransaction_ = false;
};

// Steps 1 to 7 of the history view, which the totals view repeats: open the
// existing file read-only (a missing one fails with "DB open error", a link
// or anything else that is no regular file with the path and why; nothing
// is ever created or written, so a file without the tables fails with the
// step's prefix and the engine's message), begin the read transaction,
// require exactly one CardInfo row and read it with
// exec_callback_CardInfoView. False with DBErrorMessage set on failure.
bool openViewedFile(const std::string& path, ViewContext& ctx, ViewedFile& file);

}  // namespace tovani::viewdb
