// A grid's view of a table: chosen columns of every record, read when the
// model is refreshed. Used for the structure and mapping grids.
#pragma once

#include "tablestore/Table.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <set>

namespace kimport {

class QtTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    QtTableModel(Table& table, QStringList columns, QObject* parent = nullptr);

    // Reads the records again (the table is opened when needed).
    void refresh();
    void setColumns(QStringList columns);
    // Columns shown in bold with blue text.
    void setHighlighted(const QString& column) { highlighted_ = column; }
    const QStringList& columns() const { return columns_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    Table& table_;
    QStringList columns_;
    QString highlighted_;
    std::vector<QStringList> rows_;
};

}  // namespace kimport
