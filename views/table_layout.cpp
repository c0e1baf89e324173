#include "views/table_layout.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace tovani {

int widthOfLetters(const TextMeasure& font, int n) {
    if (n <= 0) return 0;
    return font.textWidthTwips(std::string(static_cast<size_t>(n), 'A'));
}

void layoutTable(const TextMeasure& font, ResultTable& table, int32_t dataRows,
                 const char* tag, std::span<const ColumnSpec> columns) {
    table.clear();
    table.setCols(static_cast<int>(columns.size()));
    const int64_t rows = int64_t{std::max<int32_t>(dataRows, 0)} + 1;
    table.setRows(static_cast<int>(std::min<int64_t>(rows, INT32_MAX)));
    table.setFixedCols(0);
    table.setFixedRows(1);
    table.setTag(tag);
    for (size_t i = 0; i < columns.size(); ++i) {
        const int col = static_cast<int>(i);
        table.setText(0, col, columns[i].header);
        table.setColAlignment(col, columns[i].align);
        table.setColWidth(col, widthOfLetters(font, columns[i].widthInA));
    }
}

}  // namespace tovani
