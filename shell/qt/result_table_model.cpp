#include "shell/qt/result_table_model.h"

#include <algorithm>

namespace tovani::shell {

ResultTableModel::ResultTableModel(ResultTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    takeShape();
    table_.setListener(this);
}

ResultTableModel::~ResultTableModel() { table_.setListener(nullptr); }

void ResultTableModel::takeShape() {
    fixedRows_ = std::min(table_.fixedRows(), table_.rows());
    rows_ = table_.rows() - fixedRows_;
    cols_ = table_.cols();
}

int ResultTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ResultTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cols_; }

static QVariant alignment(CellAlign align) {
    const Qt::Alignment h = align == CellAlign::Right ? Qt::AlignRight : Qt::AlignLeft;
    return QVariant::fromValue(static_cast<int>(h | Qt::AlignVCenter));
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.column() >= cols_) return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(table_.text(tableRow(index.row()), index.column()));
    case Qt::TextAlignmentRole:
        return alignment(table_.colAlignment(index.column()));
    default:
        return {};
    }
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= cols_) return {};
    switch (role) {
    case Qt::DisplayRole:
        return fixedRows_ > 0 ? QString::fromStdString(table_.text(0, section)) : QString();
    case Qt::TextAlignmentRole:
        return alignment(table_.colAlignment(section));
    default:
        return {};
    }
}

void ResultTableModel::tableAboutToReset() {
    if (resetting_) return;
    resetting_ = true;
    beginResetModel();
}

void ResultTableModel::tableReset() {
    if (!resetting_) return;
    takeShape();
    endResetModel();
    resetting_ = false;
    ++resets_;
    emit layoutRefreshed();
}

void ResultTableModel::cellChanged(int row, int col) {
    if (row < fixedRows_) {
        emit headerDataChanged(Qt::Horizontal, col, col);
        return;
    }
    const QModelIndex at = index(row - fixedRows_, col);
    emit dataChanged(at, at, {Qt::DisplayRole});
}

}  // namespace tovani::shell
