#pragma once

// The common steps of every table layout (history, monthly totals, balances):
// clear, size, one fixed header row, the view tag, then per column its header
// text, alignment and width. Widths are given as a number of capital letters
// "A" in the window's font, so the columns follow the font the user sees.

#include <cstdint>
#include <span>

#include "views/result_table.h"
#include "views/view_host.h"

namespace tovani {

struct ColumnSpec {
    const char* header;  // text of row 0
    CellAlign align;
    int widthInA;        // width of that many "A" in the window's font
};

// Twips that n letters "A" take in the window's font (0 for n <= 0).
int widthOfLetters(const TextMeasure& font, int n);

// Clears every cell, sets the column count to columns.size() and the row
// count to dataRows + 1 (negative counts give the header row alone), no fixed
// columns, one fixed row, the tag, then each column's header, alignment and
// width in column order. Data rows are left empty.
void layoutTable(const TextMeasure& font, ResultTable& table, int32_t dataRows,
                 const char* tag, std::span<const ColumnSpec> columns);

}  // namespace tovani
