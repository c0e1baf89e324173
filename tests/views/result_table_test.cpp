#include "views/result_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovani {
namespace {

// Counts what a view of the table would be told.
struct Recorder : ResultTable::Listener {
    int aboutToReset = 0, resets = 0, cells = 0;
    void tableAboutToReset() override { ++aboutToReset; }
    void tableReset() override { ++resets; }
    void cellChanged(int, int) override { ++cells; }
};

ResultTable tableOf(const std::vector<std::vector<std::string>>& rows) {
    ResultTable t;
    t.setCols(static_cast<int>(rows[0].size()));
    t.setRows(static_cast<int>(rows.size()));
    for (int r = 0; r < t.rows(); ++r)
        for (int c = 0; c < t.cols(); ++c) t.setText(r, c, rows[static_cast<size_t>(r)][static_cast<size_t>(c)]);
    return t;
}

std::vector<std::string> column(const ResultTable& t, int col) {
    std::vector<std::string> out;
    for (int r = 0; r < t.rows(); ++r) out.push_back(t.text(r, col));
    return out;
}

TEST(ResultTable, SortsMoveWholeDataRowsAndNeverTheHeader) {
    const std::vector<std::vector<std::string>> rows = {
        {"No", "Name"}, {"10", "b"}, {"9", "B"}, {"10", "a"}, {"", "c"}, {"-2", "A"}};
    struct Case {
        const char* what;
        void (*sort)(ResultTable&);
        std::vector<std::string> col0, col1;
    };
    const Case cases[] = {
        {"numeric ascending, stable for equal values",
         [](ResultTable& t) { t.sortNumeric(0, true); },
         {"No", "-2", "", "9", "10", "10"}, {"Name", "A", "c", "B", "b", "a"}},
        {"numeric descending",
         [](ResultTable& t) { t.sortNumeric(0, false); },
         {"No", "10", "10", "9", "", "-2"}, {"Name", "b", "a", "B", "c", "A"}},
        {"text ascending is case-sensitive (capitals first)",
         [](ResultTable& t) { t.sortText(1, true); },
         {"No", "-2", "9", "10", "10", ""}, {"Name", "A", "B", "a", "b", "c"}},
        {"text descending",
         [](ResultTable& t) { t.sortText(1, false); },
         {"No", "", "10", "10", "9", "-2"}, {"Name", "c", "b", "a", "B", "A"}},
        {"custom: a positive answer places the first row after the second",
         [](ResultTable& t) {
             t.sortCustom([](const std::vector<std::string>& a, const std::vector<std::string>& b) {
                 return a[1].size() == b[1].size() ? (a[1] < b[1] ? 1 : a[1] > b[1] ? -1 : 0) : 0;
             });
         },
         {"No", "", "10", "10", "9", "-2"}, {"Name", "c", "b", "a", "B", "A"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResultTable t = tableOf(rows);
        c.sort(t);
        EXPECT_EQ(column(t, 0), c.col0);
        EXPECT_EQ(column(t, 1), c.col1);
    }
}

TEST(ResultTable, ShapeChangesKeepCellsAndRefuseOutsideWrites) {
    ResultTable t = tableOf({{"h0", "h1"}, {"a", "b"}});
    t.setColWidth(1, 1200);
    t.setColAlignment(1, CellAlign::Right);
    t.setText(5, 0, "outside");
    t.setText(0, -1, "outside");
    EXPECT_EQ(t.text(5, 0), "");
    t.setRows(3);
    t.setCols(3);
    EXPECT_EQ(t.text(1, 1), "b");
    EXPECT_EQ(t.text(2, 2), "");
    EXPECT_EQ(t.colWidth(1), 1200);
    EXPECT_EQ(t.colAlignment(1), CellAlign::Right);
    t.clear();
    EXPECT_EQ(t.text(0, 0), "");
    EXPECT_EQ(t.rows(), 3);
    EXPECT_EQ(t.colWidth(1), 1200);  // clearing empties texts only
    t.setCurrentCol(2);
    t.setCols(2);
    EXPECT_EQ(t.currentCol(), -1);  // the clicked column no longer exists
    t.setRows(-4);
    EXPECT_EQ(t.rows(), 0);
}

TEST(ResultTable, ALockedFillTellsTheViewOneResetAtTheEnd) {
    ResultTable t;
    Recorder seen;
    t.setListener(&seen);
    t.setLocked(true);
    t.setCols(8);
    t.setRows(100001);
    for (int r = 0; r < t.rows(); ++r) t.setText(r, 0, std::to_string(r));
    t.sortNumeric(0, false);
    EXPECT_EQ(seen.aboutToReset + seen.resets + seen.cells, 0);
    t.setLocked(false);
    EXPECT_EQ(seen.aboutToReset, 1);
    EXPECT_EQ(seen.resets, 1);
    EXPECT_EQ(seen.cells, 0);
    EXPECT_EQ(t.text(1, 0), "100000");

    // Unlocked, a cell is one change and a shape change one reset.
    t.setText(1, 1, "x");
    t.setRows(3);
    EXPECT_EQ(seen.cells, 1);
    EXPECT_EQ(seen.resets, 2);
    // Locking and unlocking without a change tells nothing.
    t.setLocked(true);
    t.setLocked(false);
    EXPECT_EQ(seen.resets, 2);
}

TEST(ResultTable, ReorderTakesOnlyAPermutationOfTheDataRows) {
    const std::vector<std::vector<std::string>> rows = {{"No", "Name"}, {"1", "a"}, {"2", "b"}, {"3", "c"}};
    struct Case {
        std::vector<int> order;
        bool taken;
        std::vector<std::string> col1;
    };
    const Case cases[] = {
        {{2, 0, 1}, true, {"Name", "c", "a", "b"}},
        {{0, 1, 2}, true, {"Name", "a", "b", "c"}},
        {{0, 1}, false, {"Name", "a", "b", "c"}},        // too short
        {{0, 1, 2, 3}, false, {"Name", "a", "b", "c"}},  // would take the header along
        {{0, 0, 1}, false, {"Name", "a", "b", "c"}},
        {{-1, 0, 1}, false, {"Name", "a", "b", "c"}},
    };
    for (const Case& c : cases) {
        ResultTable t = tableOf(rows);
        Recorder seen;
        t.setListener(&seen);
        EXPECT_EQ(t.reorderDataRows(c.order), c.taken);
        EXPECT_EQ(column(t, 1), c.col1);
        EXPECT_EQ(column(t, 0)[1], c.col1[1] == "c" ? "3" : "1") << "whole rows move";
        EXPECT_EQ(seen.resets, c.taken ? 1 : 0);
    }
}

}  // namespace
}  // namespace tovani
