// The column layout editor's logic: break markers set, moved and deleted on
// the character grid (100 slots, compacted when full), and the renaming of
// columns with its checks and the navigation between columns.
#pragma once

#include "common/Prompter.h"
#include "textsource/TextLayout.h"

#include <string>
#include <vector>

namespace kimport {

// The marker operations on the break slots of a layout.
class BreakMarkers {
public:
    explicit BreakMarkers(std::array<int, kBreakSlots>& breakSlots) : slots_(breakSlots) {}

    // Slots in use counted from the first (the break count).
    int count() const;
    // The slot holding the position, or -1.
    int slotOf(int position) const;
    // A click on column c: a new marker there unless c is 0, one is there already, or all 100 slots
    // are taken; a full list is compacted first when a slot is free. True when a marker was set.
    bool set(int column);
    // Starts dragging the marker at the column; false when there is none.
    bool press(int column);
    // The dragged marker over column c (at least 1) takes that position.
    void dragTo(int column);
    // Drops the dragged marker: another marker at the same place goes, so the two become one.
    void drop();
    // A double click on column c: its marker goes.
    bool remove(int column);
    // Positions moved to the front in their order, the rest freed.
    void compact();
    int dragged() const { return dragged_; }

private:
    std::array<int, kBreakSlots>& slots_;
    int dragged_ = -1;
};

// The texts of the character grid: the file's start, trimmed as a whole, at most 20 lines, each as
// characters; the grid has one column more than the first line has characters.
std::vector<std::vector<std::string>> characterGrid(const std::string& text, int& columns);

// The renaming of the preview's columns.
class ColumnRenaming {
public:
    ColumnRenaming(std::vector<std::string>& names, Prompter& prompter) : names_(names), prompter_(prompter) {}

    int current() const { return current_; }
    // After a preview: column 0 is current.
    void reset() { current_ = 0; }
    // Makes a column current without storing anything (the state the window shows).
    void setCurrent(int column) { current_ = column; }
    // Checks the name typed for the current column and stores it in upper case; false after the message.
    bool storeName(const std::string& typed);
    // The navigation buttons; each stores the typed name first and does nothing when that fails.
    bool first(const std::string& typed);
    bool previous(const std::string& typed);
    bool next(const std::string& typed);
    bool last(const std::string& typed);
    // A click into the grid: the typed name is stored if it can be, the clicked column becomes current.
    void select(const std::string& typed, int column);

    bool canGoBack() const { return current_ > 0; }
    bool canGoOn() const { return current_ + 1 < static_cast<int>(names_.size()); }

private:
    bool moveTo(const std::string& typed, int column);
    std::vector<std::string>& names_;
    Prompter& prompter_;
    int current_ = 0;
};

constexpr int kRenameHelpContext = 18;
constexpr std::size_t kMaxColumnName = 25;

}  // namespace kimport
