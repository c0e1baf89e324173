#pragma once

// Helpers for tests that look into real card files through the bridge.

#include <string>
#include <vector>

#include "cards/card_data.h"

namespace tovani::test {

using Rows = std::vector<std::vector<std::string>>;

// Runs each statement on the file (opened read-write, created when missing);
// returns the engine's message of the first failure, or "" when all ran.
std::string runSql(const std::string& path, const std::vector<std::string>& statements);

// All rows of a query as texts; a SQL NULL reads "NULL". A failure of the
// open or the query is a test failure.
Rows query(const std::string& path, const std::string& sql);

// A transit history entry whose every field is derived from its serial, so a
// stored row can be checked column by column.
RirekiInfo sfEntry(int32_t serial);

// A transit read holding the given serials in slots 0, 1, ... (the rest empty).
CardReadResults sfCard(const std::string& cardId, const std::vector<int32_t>& serials);

// The row text that sfEntry(serial) gives in a 13-column file.
std::vector<std::string> sfRow(int32_t serial);

// Marks the file read-only in its header (write format version 3): the engine
// then refuses every write, whoever the user is.
void makeReadOnlyDatabase(const std::string& path);

}  // namespace tovani::test
