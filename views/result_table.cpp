#include "views/result_table.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tovani {

namespace {
const std::string kEmpty;
}

void ResultTable::aboutToReset() {
    if (locked_) {
        changedWhileLocked_ = true;
        return;
    }
    if (listener_) listener_->tableAboutToReset();
}

void ResultTable::resetDone() {
    if (!locked_ && listener_) listener_->tableReset();
}

void ResultTable::clear() {
    aboutToReset();
    for (auto& row : cells_)
        for (auto& cell : row) cell.clear();
    resetDone();
}

void ResultTable::setRows(int rows) {
    rows = std::max(rows, 0);
    if (rows == rows_) return;
    aboutToReset();
    rows_ = rows;
    cells_.resize(static_cast<size_t>(rows_), std::vector<std::string>(static_cast<size_t>(cols_)));
    resetDone();
}

void ResultTable::setCols(int cols) {
    cols = std::max(cols, 0);
    if (cols == cols_) return;
    aboutToReset();
    cols_ = cols;
    for (auto& row : cells_) row.resize(static_cast<size_t>(cols_));
    align_.resize(static_cast<size_t>(cols_), CellAlign::Left);
    width_.resize(static_cast<size_t>(cols_), 0);
    if (currentCol_ >= cols_) currentCol_ = -1;
    resetDone();
}

void ResultTable::setFixedRows(int n) {
    aboutToReset();
    fixedRows_ = std::clamp(n, 0, 1);
    resetDone();
}

void ResultTable::setFixedCols(int n) {
    aboutToReset();
    fixedCols_ = std::max(n, 0);
    resetDone();
}

const std::string& ResultTable::text(int row, int col) const {
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_) return kEmpty;
    return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

void ResultTable::setText(int row, int col, std::string text) {
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_) return;
    cells_[static_cast<size_t>(row)][static_cast<size_t>(col)] = std::move(text);
    if (locked_)
        changedWhileLocked_ = true;
    else if (listener_)
        listener_->cellChanged(row, col);
}

CellAlign ResultTable::colAlignment(int col) const {
    if (col < 0 || col >= cols_) return CellAlign::Left;
    return align_[static_cast<size_t>(col)];
}

void ResultTable::setColAlignment(int col, CellAlign align) {
    if (col < 0 || col >= cols_) return;
    aboutToReset();
    align_[static_cast<size_t>(col)] = align;
    resetDone();
}

int ResultTable::colWidth(int col) const {
    if (col < 0 || col >= cols_) return 0;
    return width_[static_cast<size_t>(col)];
}

void ResultTable::setColWidth(int col, int twips) {
    if (col < 0 || col >= cols_) return;
    aboutToReset();
    width_[static_cast<size_t>(col)] = twips;
    resetDone();
}

void ResultTable::setLocked(bool locked) {
    if (locked == locked_) return;
    if (locked) {
        locked_ = true;
        changedWhileLocked_ = false;
        return;
    }
    locked_ = false;
    if (changedWhileLocked_ && listener_) {
        // The listener saw nothing while locked: one reset brings it up to date.
        listener_->tableAboutToReset();
        listener_->tableReset();
    }
    changedWhileLocked_ = false;
}

template <class Less>
void ResultTable::sortDataRows(Less less) {
    if (rows_ - fixedRows_ < 2) return;
    aboutToReset();
    std::stable_sort(cells_.begin() + fixedRows_, cells_.end(), less);
    resetDone();
}

bool ResultTable::reorderDataRows(const std::vector<int>& order) {
    const int dataRows = std::max(rows_ - fixedRows_, 0);
    if (static_cast<int>(order.size()) != dataRows) return false;
    std::vector<bool> seen(order.size(), false);
    for (int r : order) {
        if (r < 0 || r >= dataRows || seen[static_cast<size_t>(r)]) return false;
        seen[static_cast<size_t>(r)] = true;
    }
    if (dataRows < 2) return true;
    aboutToReset();
    std::vector<std::vector<std::string>> moved;
    moved.reserve(order.size());
    const auto first = static_cast<size_t>(fixedRows_);
    for (int r : order) moved.push_back(std::move(cells_[first + static_cast<size_t>(r)]));
    std::move(moved.begin(), moved.end(), cells_.begin() + static_cast<long>(first));
    resetDone();
    return true;
}

double leadingNumber(const std::string& text) {
    const char* begin = text.c_str();
    while (*begin == ' ') ++begin;
    char* end = nullptr;
    double value = std::strtod(begin, &end);
    // "nan" is no number, and would break the sort's ordering besides.
    return end == begin || std::isnan(value) ? 0.0 : value;
}

void ResultTable::sortNumeric(int col, bool ascending) {
    if (col < 0 || col >= cols_) return;
    // Each text is read once, not once per comparison.
    const int dataRows = std::max(rows_ - fixedRows_, 0);
    std::vector<double> keys(static_cast<size_t>(dataRows));
    std::vector<int> order(static_cast<size_t>(dataRows));
    for (int r = 0; r < dataRows; ++r) {
        keys[static_cast<size_t>(r)] =
            leadingNumber(cells_[static_cast<size_t>(fixedRows_ + r)][static_cast<size_t>(col)]);
        order[static_cast<size_t>(r)] = r;
    }
    std::stable_sort(order.begin(), order.end(), [&keys, ascending](int a, int b) {
        const double x = keys[static_cast<size_t>(a)], y = keys[static_cast<size_t>(b)];
        return ascending ? x < y : y < x;
    });
    reorderDataRows(order);
}

void ResultTable::sortText(int col, bool ascending) {
    if (col < 0 || col >= cols_) return;
    const auto c = static_cast<size_t>(col);
    sortDataRows([c, ascending](const std::vector<std::string>& a, const std::vector<std::string>& b) {
        return ascending ? a[c] < b[c] : b[c] < a[c];
    });
}

void ResultTable::sortCustom(const RowCompare& compare) {
    sortDataRows([&compare](const std::vector<std::string>& a, const std::vector<std::string>& b) {
        return compare(a, b) < 0;
    });
}

}  // namespace tovani
