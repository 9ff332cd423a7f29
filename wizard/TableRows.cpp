#include "wizard/TableRows.h"

#include <algorithm>
#include <exception>

namespace kimport {

namespace {

// Views paint from the top row down; a cache miss there mostly needs the rows below it,
// while scrolling up needs those above.
constexpr std::int64_t kRowsBefore = 80;

const std::string kNoText;

}  // namespace

TableRows::TableRows(const FormatSettings& formats, FileSystem& fs) : formats_(formats), table_(fs) {}

TableRows::~TableRows() { close(); }

void TableRows::open(const std::string& path) {
    close();
    path_ = path;
    table_.Exclusive = false;
    table_.setPath(path);
    table_.OpenTable();
    readStructure(table_);
}

void TableRows::show(Table& held) {
    close();
    held_ = &held;
    path_ = held.path();
    readStructure(held);
}

void TableRows::readStructure(const Table& table) {
    names_.reserve(static_cast<std::size_t>(table.FieldCount()));
    for (int i = 0; i < table.FieldCount(); ++i) names_.push_back(table.FieldDefAt(i).name);
    count_ = table.RecordCount();
}

void TableRows::close() {
    // Nothing is ever changed here, so nothing may be written either.
    held_ = nullptr;
    if (table_.Active()) table_.CloseDiscarding();
    names_.clear();
    count_ = 0;
    first_ = cachedRows_ = 0;
    cells_.clear();
}

const std::string& TableRows::text(std::int64_t row, int column) {
    if (row < 0 || row >= count_ || column < 0 || column >= columnCount()) return kNoText;
    if (row < first_ || row >= first_ + cachedRows_) load(row);
    return cells_[static_cast<std::size_t>((row - first_) * columnCount() + column)];
}

void TableRows::load(std::int64_t row) {
    first_ = std::clamp(row - kRowsBefore, std::int64_t{0}, std::max<std::int64_t>(0, count_ - kWindowRows));
    cachedRows_ = std::min(kWindowRows, count_ - first_);
    const int columns = columnCount();
    cells_.resize(static_cast<std::size_t>(cachedRows_ * columns));
    auto cell = cells_.begin();
    Table& table = held_ ? *held_ : table_;
    // A held table closed or being edited by its owner meanwhile is not moved: its cells stay empty.
    if (!table.Active() || table.state() != Table::State::Browse) {
        std::fill(cells_.begin(), cells_.end(), std::string());
        return;
    }
    const std::int64_t ownersRecord = table.RecordNumber();
    const bool ownerAtEnd = table.AtEnd();
    for (std::int64_t r = 0; r < cachedRows_; ++r) {
        const bool there = table.GoToRecord(first_ + r + 1);
        for (int c = 0; c < columns; ++c, ++cell) {
            // A grid cannot put up a message on every repaint: a value that cannot be read stays empty.
            try {
                *cell = there ? table.AsString(c, formats_) : std::string();
            } catch (const std::exception&) {
                cell->clear();
            }
        }
    }
    if (!held_) return;
    // The owner finds its cursor where it left it.
    if (ownerAtEnd) {
        table.MoveLast();
        table.MoveNext();
    } else if (ownersRecord > 0) {
        table.GoToRecord(ownersRecord);
    } else {
        table.MoveFirst();
    }
}

}  // namespace kimport
