// The rows of one table as the content grids read them: column names, the
// record count and the text of any cell, read when asked. The table is only
// read, never changed; a window of recently read rows spares a repaint from
// moving the cursor once per cell.
#pragma once

#include "common/FileSystem.h"
#include "common/FormatSettings.h"
#include "tablestore/Table.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kimport {

class TableRows {
public:
    // Rows read around a cell that is not cached yet.
    static constexpr std::int64_t kWindowRows = 200;

    // Cell texts follow `formats` (kept by reference: the caller's current settings).
    explicit TableRows(const FormatSettings& formats, FileSystem& fs = realFileSystem());
    explicit TableRows(FormatSettings&&, FileSystem& = realFileSystem()) = delete;
    ~TableRows();
    TableRows(const TableRows&) = delete;
    TableRows& operator=(const TableRows&) = delete;

    // Opens the table anew (a table shown before is closed first). Throws what the
    // table store throws; the rows are then empty.
    void open(const std::string& path);
    // Shows a table this program holds open already (exclusively, so that no second opening is
    // possible): read through it, its cursor put back after every read, and never closed here.
    void show(Table& held);
    // Lets go of the table without saving anything.
    void close();
    bool isOpen() const { return held_ ? held_->Active() : table_.Active(); }
    const std::string& path() const { return path_; }

    const std::vector<std::string>& columnNames() const { return names_; }
    int columnCount() const { return static_cast<int>(names_.size()); }
    std::int64_t rowCount() const { return count_; }
    // The text of a cell, rows from 0 in key order (physical order without key);
    // empty outside the table.
    const std::string& text(std::int64_t row, int column);
    // Numbers stand to the right of their column, as in a list of amounts.
    bool alignsRight(int column) const;

private:
    void load(std::int64_t row);
    void readStructure(const Table& table);
    std::string shownText(Table& table, int column) const;

    const FormatSettings& formats_;
    Table table_;
    Table* held_ = nullptr;
    std::string path_;
    std::vector<std::string> names_;
    std::vector<FieldType> types_;
    std::int64_t count_ = 0;
    // Rows [first_, first_ + cachedRows_), each columnCount() texts in a row.
    std::int64_t first_ = 0, cachedRows_ = 0;
    std::vector<std::string> cells_;
};

}  // namespace kimport
