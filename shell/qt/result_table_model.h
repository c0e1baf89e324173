#pragma once

// The Qt face of the result table: a thin QAbstractTableModel over
// tovani::ResultTable. The table's fixed header row is the view's horizontal
// header, so sorting (which moves only data rows) can never move it; model
// row r is table row r + fixedRows. The model follows the table through its
// Listener: a reset for changes of shape or many cells (one per locked fill),
// dataChanged for a single cell.

#include <QAbstractTableModel>
#include <QFont>

#include "views/result_table.h"

namespace tovani::shell {

class ResultTableModel : public QAbstractTableModel, private ResultTable::Listener {
    Q_OBJECT
public:
    explicit ResultTableModel(ResultTable& table, QObject* parent = nullptr);
    ~ResultTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    ResultTable& table() { return table_; }
    // Table row shown at a model row (data rows start under the header).
    int tableRow(int modelRow) const { return modelRow + fixedRows_; }

    // Number of resets since construction; lets a test prove that a locked
    // fill of many rows reached the view as one reset.
    int resetCount() const { return resets_; }

signals:
    // The shape may have changed: the window sets column widths again.
    void layoutRefreshed();

private:
    void tableAboutToReset() override;
    void tableReset() override;
    void cellChanged(int row, int col) override;
    void takeShape();

    ResultTable& table_;
    // The shape the view was last told about; the table itself may already
    // hold another while it is locked.
    int rows_ = 0;
    int cols_ = 0;
    int fixedRows_ = 0;
    int resets_ = 0;
    bool resetting_ = false;
};

}  // namespace tovani::shell
