#include "wizard/QtTableModel.h"

#include <QBrush>
#include <QFont>

namespace kimport {

QtTableModel::QtTableModel(Table& table, QStringList columns, QObject* parent)
    : QAbstractTableModel(parent), table_(table), columns_(std::move(columns)) {}

void QtTableModel::setColumns(QStringList columns) {
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
    refresh();
}

void QtTableModel::refresh() {
    beginResetModel();
    rows_.clear();
    try {
        if (!table_.Active()) table_.OpenTable();
        std::vector<std::optional<int>> fields;
        for (const QString& c : columns_) fields.push_back(table_.LookupField(c.toStdString()));
        for (table_.MoveFirst(); !table_.AtEnd(); table_.MoveNext()) {
            QStringList row;
            for (const auto& f : fields)
                row << (f ? QString::fromStdString(table_.AsString(*f, table_.regional)) : QString());
            rows_.push_back(row);
        }
        table_.MoveFirst();
    } catch (const std::exception&) {
        // A table that cannot be read shows no rows; its message came when it was opened.
    }
    endResetModel();
}

int QtTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int QtTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_.size(); }

QVariant QtTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    if (role == Qt::DisplayRole) return rows_[static_cast<std::size_t>(index.row())].value(index.column());
    if (role == Qt::ForegroundRole && columns_.value(index.column()) == highlighted_) return QBrush(Qt::blue);
    return {};
}

QVariant QtTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) return columns_.value(section);
    if (role == Qt::FontRole && columns_.value(section) == highlighted_) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    return {};
}

}  // namespace kimport
