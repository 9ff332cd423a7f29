// A content grid's model over TableRows: every cell is read when the view asks
// for it, so a table of a million records opens as fast as a small one.
#pragma once

#include "wizard/TableRows.h"

#include <QAbstractTableModel>

namespace kimport {

class QtTableRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit QtTableRowsModel(TableRows& rows, QObject* parent = nullptr);

    // Bracket a change of the rows (another table opened or closed).
    void beginReset() { beginResetModel(); }
    void endReset() { endResetModel(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TableRows& rows_;
};

}  // namespace kimport
