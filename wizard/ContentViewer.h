// The content viewer's state: which pages and tabs it shows, the captions, the
// status lines, the two tables and the text file it shows, and the messages for
// what could not be opened. The window TfrmInhaltAnz only draws this state.
#pragma once

#include "common/FormatSettings.h"
#include "common/Prompter.h"
#include "wizard/TableRows.h"

#include <array>
#include <cstdint>
#include <exception>
#include <optional>
#include <functional>
#include <string>

namespace kimport {

enum class ViewerPage { Source = 0, Target = 1, Text = 2 };  // TabSheet1, TabSheet2, TabSheet3

// A status bar: one text, or two panels when `second` is set.
struct StatusText {
    std::string first;
    std::optional<std::string> second;
    bool operator==(const StatusText&) const = default;
};

struct ViewerView {
    bool showing = false;
    std::string caption;
    // Whether each page has its tab; with none, the tab row is hidden and only the active page shows.
    std::array<bool, 3> tabVisible{true, true, false};
    std::string sourceTab = "Quelldatenbank", targetTab = "Zieldatenbank";
    ViewerPage activePage = ViewerPage::Source;
    StatusText sourceStatus, targetStatus, textStatus;

    bool anyTabVisible() const { return tabVisible[0] || tabVisible[1] || tabVisible[2]; }
};

// The message shown for a table that could not be opened; `tableFound` tells whether its data file is there.
std::string tableOpenErrorText(const std::exception& error, bool tableFound);

// "1.234 Datensätze"
std::string recordCountText(std::int64_t records);

class ContentViewer {
public:
    // Cell texts follow `formats` (kept by reference); failures are reported to `prompter`.
    ContentViewer(Prompter& prompter, const FormatSettings& formats);
    ContentViewer(Prompter&, FormatSettings&&) = delete;

    // One table, one text file or both tables; each replaces what was shown before.
    void showSourceTable(const std::string& path);
    void showTextFile(const std::string& path, bool dosConversion);
    void showTargetTable(const std::string& path, bool emptiedBeforeRun);
    void showBoth(const std::string& sourcePath, const std::string& targetPath, bool emptiedBeforeRun,
                  bool afterRun);
    // Lets go of the tables and the text; the next view starts with both table tabs again.
    void close();
    // The table this program already holds open under a path, if any: it is shown through that
    // object, since an exclusive hold leaves no second opening.
    std::function<Table*(const std::string& path)> heldTable;
    bool isShowing() const { return view_.showing; }

    const ViewerView& view() const { return view_; }
    TableRows& sourceRows() { return source_; }
    TableRows& targetRows() { return target_; }
    // The text file's lines joined with LF.
    const std::string& text() const { return text_; }
    std::int64_t textLines() const { return textLines_; }

private:
    void startView();
    void openTable(TableRows& rows, const std::string& path);
    StatusText targetStatus(bool emptiedBeforeRun, bool afterRun) const;

    Prompter& prompter_;
    TableRows source_, target_;
    std::string text_;
    std::int64_t textLines_ = 0;
    ViewerView view_;
};

}  // namespace kimport
