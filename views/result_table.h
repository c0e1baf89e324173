#pragma once

// The result table every view is shown in: a grid of texts with one fixed
// header row, per-column alignment and width, a free-text tag and sorting of
// the data rows. Plain C++; the window shows it through a thin Qt adapter.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tovani {

// Horizontal alignment of a column; every cell is centred vertically.
enum class CellAlign { Left, Right };

class ResultTable {
public:
    // Told about changes so that a view of the table can follow. While the
    // table is locked nothing is told; unlocking tells one reset, so that
    // filling 100,000 rows costs one refresh, not one per cell.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void tableAboutToReset() = 0;  // shape or many cells will change
        virtual void tableReset() = 0;         // ... and now have
        virtual void cellChanged(int row, int col) = 0;
    };

    void setListener(Listener* listener) { listener_ = listener; }

    // Every cell text becomes empty; counts, widths, alignments and tag stay.
    void clear();

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    // Exactly that many rows/columns; cells that stay keep their texts.
    // Negative counts are taken as 0.
    void setRows(int rows);
    void setCols(int cols);

    // Row 0 is the header: sorting never moves fixed rows. Only 0 or 1 fixed
    // rows and 0 fixed columns are used by the program.
    int fixedRows() const { return fixedRows_; }
    int fixedCols() const { return fixedCols_; }
    void setFixedRows(int n);
    void setFixedCols(int n);

    // Cell texts; a cell outside the table reads as empty and ignores writes.
    const std::string& text(int row, int col) const;
    void setText(int row, int col, std::string text);

    CellAlign colAlignment(int col) const;
    void setColAlignment(int col, CellAlign align);
    // Width in twips (1/1440 inch).
    int colWidth(int col) const;
    void setColWidth(int col, int twips);

    const std::string& tag() const { return tag_; }
    void setTag(std::string tag) { tag_ = std::move(tag); }

    // The current cell's column (the one the user clicked), -1 for none.
    int currentCol() const { return currentCol_; }
    void setCurrentCol(int col) { currentCol_ = col; }

    // Locked: no notifications, and the window takes no input on the table.
    bool locked() const { return locked_; }
    void setLocked(bool locked);

    // Sorts the data rows (fixedRows() to rows()-1) by one column; rows move
    // whole and the sort is stable. Numeric reads the leading decimal number
    // of each text (no number = 0); text compares bytes, so case-sensitive.
    void sortNumeric(int col, bool ascending);
    void sortText(int col, bool ascending);
    // compare(rowA, rowB) answers -1, 0 or 1 for two data rows (their cells);
    // a positive answer places rowA after rowB.
    using RowCompare = std::function<int(const std::vector<std::string>& a,
                                         const std::vector<std::string>& b)>;
    void sortCustom(const RowCompare& compare);
    // Puts the data rows in a given order: order[i] is the data row (0 = the
    // first data row) that becomes data row i. For sorts that compute a key
    // per row once instead of per comparison. Anything but a permutation of
    // the data rows is refused (false) and changes nothing.
    bool reorderDataRows(const std::vector<int>& order);

private:
    void aboutToReset();
    void resetDone();
    template <class Less>
    void sortDataRows(Less less);

    std::vector<std::vector<std::string>> cells_;  // [row][col]
    std::vector<CellAlign> align_;
    std::vector<int> width_;
    int rows_ = 0;
    int cols_ = 0;
    int fixedRows_ = 1;
    int fixedCols_ = 0;
    int currentCol_ = -1;
    std::string tag_;
    bool locked_ = false;
    bool changedWhileLocked_ = false;
    Listener* listener_ = nullptr;
};

// Numeric value of a cell text as the numeric sort reads it.
double leadingNumber(const std::string& text);

}  // namespace tovani
