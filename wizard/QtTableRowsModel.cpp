#include "wizard/QtTableRowsModel.h"

#include <algorithm>
#include <climits>

namespace kimport {

QtTableRowsModel::QtTableRowsModel(TableRows& rows, QObject* parent) : QAbstractTableModel(parent), rows_(rows) {}

int QtTableRowsModel::rowCount(const QModelIndex& parent) const {
    // A view counts rows in int; a table cannot hold more anyway.
    return parent.isValid() ? 0 : static_cast<int>(std::min<std::int64_t>(rows_.rowCount(), INT_MAX));
}

int QtTableRowsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_.columnCount(); }

QVariant QtTableRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (rows_.alignsRight(index.column()) ? Qt::AlignRight : Qt::AlignLeft));
    if (role != Qt::DisplayRole) return {};
    // Reading a cell moves the rows' cache, not the model's state.
    return QString::fromStdString(rows_.text(index.row(), index.column()));
}

QVariant QtTableRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        if (section < 0 || section >= rows_.columnCount()) return {};
        return QString::fromStdString(rows_.columnNames()[static_cast<std::size_t>(section)]);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

}  // namespace kimport
