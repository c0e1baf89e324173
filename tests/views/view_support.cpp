#include "view_support.h"

namespace tovani::test {

std::vector<std::string> rowTexts(const ResultTable& table, int row) {
    std::vector<std::string> texts;
    for (int c = 0; c < table.cols(); ++c) texts.push_back(table.text(row, c));
    return texts;
}

}  // namespace tovani::test
