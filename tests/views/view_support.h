#pragma once

#include <string>
#include <vector>

#include "views/view_host.h"

namespace tovani::test {

// A font in which a text of n bytes is 90 n + 15 twips wide: the constant
// shows whether a width was measured as one text or added up letter by letter.
class FakeFont : public TextMeasure {
public:
    int textWidthTwips(const std::string& utf8) const override {
        measured.push_back(utf8);
        return 90 * static_cast<int>(utf8.size()) + 15;
    }
    mutable std::vector<std::string> measured;
};

// The texts of one table row, columns 0 to cols-1.
std::vector<std::string> rowTexts(const ResultTable& table, int row);

}  // namespace tovani::test
