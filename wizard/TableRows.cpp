#include "wizard/TableRows.h"

#include <algorithm>
#include <cstdio>
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
    // Only the rows shown are read: a large table costs the viewer no more than a small one.
    table_.Paged = true;
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
    types_.clear();
    for (int i = 0; i < table.FieldCount(); ++i) {
        names_.push_back(table.FieldDefAt(i).name);
        types_.push_back(table.FieldDefAt(i).type);
    }
    count_ = table.RecordCount();
}

bool TableRows::alignsRight(int column) const {
    if (column < 0 || column >= static_cast<int>(types_.size())) return false;
    switch (types_[static_cast<std::size_t>(column)]) {
    case FieldType::SmallInt: case FieldType::Integer: case FieldType::Word: case FieldType::AutoInc:
    case FieldType::Float: case FieldType::Currency: case FieldType::BCD:
        return true;
    default: return false;
    }
}

namespace {

// Money with its two decimals and grouped thousands, as a user writes an amount: 1.234,50.
std::string moneyText(double value, const FormatSettings& fs) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    std::string digits = buffer;
    const std::size_t point = digits.find('.');
    std::string whole = digits.substr(0, point), out;
    const bool negative = !whole.empty() && whole[0] == '-';
    if (negative) whole.erase(0, 1);
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0 && fs.thousandSeparator) out += fs.thousandSeparator;
        out += whole[i];
    }
    return (negative ? "-" : "") + out + fs.decimalSeparator + digits.substr(point + 1);
}

}  // namespace

// A cell as the user reads it: logical values as Ja/Nein, money with two decimals.
std::string TableRows::shownText(Table& table, int column) const {
    const FieldType type = types_[static_cast<std::size_t>(column)];
    if ((type == FieldType::Boolean || type == FieldType::Currency) && table.IsNull(column)) return {};
    if (type == FieldType::Boolean) return table.GetValue(column).boolean ? "Ja" : "Nein";
    if (type == FieldType::Currency) return moneyText(table.GetValue(column).number, formats_);
    return table.AsString(column, formats_);
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
                *cell = there ? shownText(table, c) : std::string();
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
