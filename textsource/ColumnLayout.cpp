#include "textsource/ColumnLayout.h"

#include "common/Text.h"

#include <algorithm>

namespace kimport {

int BreakMarkers::count() const {
    int n = 0;
    while (n < kBreakSlots && slots_[static_cast<std::size_t>(n)] > 0) ++n;
    return n;
}

int BreakMarkers::slotOf(int position) const {
    for (int s = 0; s < kBreakSlots; ++s)
        if (slots_[static_cast<std::size_t>(s)] == position) return s;
    return -1;
}

void BreakMarkers::compact() {
    std::vector<int> positions;
    for (int p : slots_)
        if (p > 0) positions.push_back(p);
    slots_.fill(-1);
    std::copy(positions.begin(), positions.end(), slots_.begin());
}

bool BreakMarkers::set(int column) {
    if (column <= 0 || slotOf(column) >= 0) return false;
    if (count() >= kBreakSlots) return false;
    // Markers deleted earlier leave free slots among the used ones: close the gaps first.
    if (std::any_of(slots_.begin(), slots_.begin() + count(), [](int p) { return p <= 0; }) ||
        slots_[static_cast<std::size_t>(count())] > 0)
        compact();
    int free = slotOf(-1);
    if (free < 0) free = slotOf(0);
    if (free < 0) return false;
    slots_[static_cast<std::size_t>(free)] = column;
    compact();
    return true;
}

bool BreakMarkers::press(int column) {
    dragged_ = column > 0 ? slotOf(column) : -1;
    return dragged_ >= 0;
}

void BreakMarkers::dragTo(int column) {
    if (dragged_ < 0 || column < 1) return;
    slots_[static_cast<std::size_t>(dragged_)] = column;
}

void BreakMarkers::drop() {
    if (dragged_ < 0) return;
    const int position = slots_[static_cast<std::size_t>(dragged_)];
    for (int s = 0; s < kBreakSlots; ++s)
        if (s != dragged_ && slots_[static_cast<std::size_t>(s)] == position) slots_[static_cast<std::size_t>(s)] = -1;
    dragged_ = -1;
    compact();
}

bool BreakMarkers::remove(int column) {
    int s = column > 0 ? slotOf(column) : -1;
    if (s < 0) return false;
    slots_[static_cast<std::size_t>(s)] = -1;
    compact();
    return true;
}

std::vector<std::vector<std::string>> characterGrid(const std::string& text, int& columns) {
    std::vector<std::vector<std::string>> rows;
    columns = 1;
    std::string_view body = trimmedView(text);
    rows.emplace_back();
    for (std::size_t pos = 0; pos < body.size() && rows.size() <= 20;) {
        std::size_t start = pos;
        char32_t c = nextCodePoint(body, pos);
        if (c == '\n') {
            if (rows.size() == 20) break;
            rows.emplace_back();
            continue;
        }
        if (c == '\r') continue;
        if (rows.size() == 1) ++columns;
        if (rows.size() == 1 || static_cast<int>(rows.back().size()) < columns)
            rows.back().emplace_back(body.substr(start, pos - start));
    }
    return rows;
}

bool ColumnRenaming::storeName(const std::string& typed) {
    if (names_.empty()) return true;
    if (typed.empty()) {
        prompter_.message(MsgKind::Information, Buttons::OkHelp, "Bitte geben Sie eine Spaltenbezeichnung ein.",
                          kRenameHelpContext);
        return false;
    }
    if (typed[0] == ' ') {
        prompter_.message(MsgKind::Error, Buttons::OkHelp, "Feldnamen dürfen nicht mit einem Leerzeichen beginnen",
                          kRenameHelpContext);
        return false;
    }
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (static_cast<int>(i) == current_ || !equalsIgnoreCase(names_[i], typed)) continue;
        prompter_.message(MsgKind::Error, Buttons::OkHelp,
                          "Die Spaltenbezeichnung \"" + foldedUpper(names_[i]) + "\"\r\nwurde bereits für die Spalte " +
                              std::to_string(i + 1) + "\r\nvergeben.",
                          kRenameHelpContext);
        return false;
    }
    names_[static_cast<std::size_t>(current_)] = foldedUpper(firstChars(typed, kMaxColumnName));
    return true;
}

bool ColumnRenaming::moveTo(const std::string& typed, int column) {
    if (!storeName(typed)) return false;
    current_ = std::clamp(column, 0, std::max(0, static_cast<int>(names_.size()) - 1));
    return true;
}

bool ColumnRenaming::first(const std::string& typed) { return moveTo(typed, 0); }
bool ColumnRenaming::previous(const std::string& typed) { return moveTo(typed, current_ - 1); }
bool ColumnRenaming::next(const std::string& typed) { return moveTo(typed, current_ + 1); }
bool ColumnRenaming::last(const std::string& typed) { return moveTo(typed, static_cast<int>(names_.size()) - 1); }

void ColumnRenaming::select(const std::string& typed, int column) {
    storeName(typed);  // its result does not stop the move
    current_ = std::clamp(column, 0, std::max(0, static_cast<int>(names_.size()) - 1));
}

}  // namespace kimport
