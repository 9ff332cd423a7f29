#include "tablestore/TableFiles.h"
#include "wizard/TextLayoutController.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "common/UserMessage.h"
#include "tablestore/TableRoutines.h"
#include "textsource/ColumnLayout.h"
#include "textsource/StagingTable.h"
#include "textsource/TextFile.h"
#include "textsource/TextSplit.h"

#include <algorithm>

namespace kimport {

namespace {

// The text box shows the start of the file: enough to choose the layout, fast for any size.
constexpr std::size_t kShownLines = 500;

const char* const kNoLayoutKind =
    "Bitte wählen Sie, ob die Länge der zu importierenden\r\nZeichenketten fest, oder variabel sein soll.\r\n\r\n"
    "Hinweis:\r\nWählen Sie \"Variable Datensatzlänge\", wenn die\r\nZeichenketten durch ein bestimmtes Zeichen,\r\n"
    "(Semikolon, Komma...) getrennt werden sollen.";

}  // namespace

// Leaving the target page with a text source: the first two lines (trimmed) of equal length
// suggest a fixed layout; the text box shows the file.
void TextLayoutController::loadTextSource() {
    const std::string path = findIgnoringCase(state_.edtQuelle, env_.fs);
    TextLayout& layout = state_.textLayout;
    std::vector<std::string> lines;
    try {
        lines = firstLines(path, detectEncoding(path, layout.encoding, layout.dos), kShownLines);
    } catch (const TableError& e) {
        env_.prompter.error(userMessage(e));
        return;
    }
    if (layout.quoteIndex < 0) layout.quoteIndex = 0;  // "(keine)" shown at first
    auto trimmed = [&](std::size_t i) { return i < lines.size() ? trim(lines[i]) : std::string(); };
    // A loaded setting keeps the kind it was saved with.
    if (state_.rbtNeueImport.checked || layout.kind == LayoutKind::None)
        state_.rgrDatsatzlaenge = lines.size() >= 2 && charCount(trimmed(0)) == charCount(trimmed(1)) ? 1 : 0;
    state_.retQuellDat.clear();
    for (const std::string& l : lines) state_.retQuellDat += l + "\n";
    c_.goTo(WizardPage::Seite1txt);
}

void TextLayoutController::restoreLayout(const SavedSetting& setting) {
    c_.tblQuelle.CloseTable();
    TextLayout& layout = state_.textLayout;
    const bool dos = layout.dos;
    layout = setting.layout;
    layout.dos = dos;
    state_.rgrDatsatzlaenge = setting.layout.kind == LayoutKind::Fixed ? 1 : 0;
    const int kind = state_.rgrDatsatzlaenge;
    loadTextSource();  // the text box; it suggests a kind, the stored one holds
    state_.rgrDatsatzlaenge = kind;
    buildTextPreview();
}

void TextLayoutController::stageForRun() {
    const std::string path = findIgnoringCase(state_.edtQuelle, env_.fs);
    StagingResult staged =
        BuildStagingTable(path, state_.textLayout, state_.textPreview.names, env_.programDir + "Temp/", c_.progress());
    c_.ownTempFiles.push_back(baseNameOf(staged.path));
    c_.keepStagingReport(staged);
    c_.tblQuelle.setPath(staged.path);
}

void TextLayoutController::buildTextPreview() {
    TextLayout& layout = state_.textLayout;
    layout.kind = state_.rgrDatsatzlaenge == 1 ? LayoutKind::Fixed : LayoutKind::Variable;
    state_.textPreview = BuildPreview(findIgnoringCase(state_.edtQuelle, env_.fs), layout);
    // Renaming starts again at the first column.
    state_.renameColumn = 0;
    state_.edtRenCols = state_.textPreview.names.empty() ? std::string() : state_.textPreview.names[0];
}

// --- The options window ----------------------------------------------------------------

void TextLayoutController::btnQOptionenClick() {
    state_.qOptionen = optionsOnShow(env_.formats.current, state_.textLayout.dos);
    state_.qOptionenVisible = true;
}

void TextLayoutController::qOptionenClose() {
    if (!state_.qOptionenVisible) return;
    state_.qOptionenVisible = false;
    applyOptionsOnClose(state_.qOptionen, env_.formats.current);
    if (state_.qOptionen.cbxDosToWin == state_.textLayout.dos) return;
    state_.textLayout.dos = state_.qOptionen.cbxDosToWin;
    // A text source shown in the content viewer is read again with the new conversion.
    if (state_.contentViewerOpenedFrom == 2 && !isTablePath(state_.edtQuelle)) {
        ContentViewerRequest& r = state_.viewerRequest;
        r = ContentViewerRequest{};
        r.kind = ContentViewerRequest::Kind::SourceText;
        r.source = findIgnoringCase(state_.edtQuelle, env_.fs);
        r.dosConversion = state_.textLayout.dos;
    }
    // The text shown follows at once: read again in the DOS code page, or as it was.
    if (state_.page == WizardPage::Seite1txt && state_.textPage == TextPage::TXTDatensatzlaenge) {
        const int kind = state_.rgrDatsatzlaenge;  // the user's choice stays
        loadTextSource();
        state_.rgrDatsatzlaenge = kind;
    }
}

// --- The character grid of TXTFix ---------------------------------------------------

void TextLayoutController::stgQuellDatFixClick(int column) {
    BreakMarkers(state_.textLayout.breaks).set(column);
}

bool TextLayoutController::stgQuellDatFixMouseDown(int column) {
    fixDragged_ = -1;
    BreakMarkers m(state_.textLayout.breaks);
    if (!m.press(column)) return false;
    fixDragged_ = m.dragged();
    return true;
}

void TextLayoutController::stgQuellDatFixDragOver(int column) {
    if (fixDragged_ < 0 || column < 1) return;
    state_.textLayout.breaks[static_cast<std::size_t>(fixDragged_)] = column;
}

void TextLayoutController::stgQuellDatFixDragDrop() {
    if (fixDragged_ < 0) return;
    BreakMarkers m(state_.textLayout.breaks);
    m.press(state_.textLayout.breaks[static_cast<std::size_t>(fixDragged_)]);
    // press() finds the first slot of that position; the drop frees every other one.
    m.drop();
    fixDragged_ = -1;
}

void TextLayoutController::stgQuellDatFixDblClick(int column) {
    BreakMarkers(state_.textLayout.breaks).remove(column);
}

// --- Renaming columns ----------------------------------------------------------------

namespace {
template <class Move>
void renameMove(WizardState& s, Prompter& prompter, Move move) {
    ColumnRenaming r(s.textPreview.names, prompter);
    r.setCurrent(s.renameColumn);
    if (!move(r)) {
        s.focusControl = "edtRenCols";
        return;
    }
    s.renameColumn = r.current();
    s.edtRenCols =
        s.textPreview.names.empty() ? std::string() : s.textPreview.names[static_cast<std::size_t>(r.current())];
    s.focusControl = "edtRenCols";
}
}  // namespace

void TextLayoutController::btnErsteClick() {
    renameMove(state_, env_.prompter, [&](ColumnRenaming& r) { return r.first(state_.edtRenCols); });
}
void TextLayoutController::btnLinksClick() {
    renameMove(state_, env_.prompter, [&](ColumnRenaming& r) { return r.previous(state_.edtRenCols); });
}
void TextLayoutController::btnRechtsClick() {
    renameMove(state_, env_.prompter, [&](ColumnRenaming& r) { return r.next(state_.edtRenCols); });
}
void TextLayoutController::btnLetzteClick() {
    renameMove(state_, env_.prompter, [&](ColumnRenaming& r) { return r.last(state_.edtRenCols); });
}
void TextLayoutController::stgQuellDatVarSelect(int column) {
    ColumnRenaming r(state_.textPreview.names, env_.prompter);
    r.setCurrent(state_.renameColumn);
    if (!state_.textPreview.names.empty()) r.storeName(state_.edtRenCols);  // its result does not stop the move
    r.setCurrent(std::clamp(column, 0, std::max(0, static_cast<int>(state_.textPreview.names.size()) - 1)));
    state_.renameColumn = r.current();
    state_.edtRenCols = state_.textPreview.names.empty()
                            ? std::string()
                            : state_.textPreview.names[static_cast<std::size_t>(r.current())];
}

void TextLayoutController::textLayoutChanged() {
    if (state_.page != WizardPage::Seite1txt || state_.textPage != TextPage::TXTVariabel) return;
    buildTextPreview();
}

// Reads the text file into its staging table when the layout changed, and makes that table the source
// of the mapping. False (after the message) when the file or the table failed.
bool TextLayoutController::buildTextStagingTable() {
    const TextLayout& layout = state_.textLayout;
    const std::vector<std::string>& names = state_.textPreview.names;
    if (!textLayoutMemory_.LayoutChanged(state_.edtQuelle, state_.edtZiel, layout, names)) return true;
    c_.tblQuelle.CloseTable();
    stageForRun();
    ClearTableExclusive(c_.tblQStrukt, env_.prompter);
    MappingTables t = c_.mappingTables();
    if (!ReadSourceStructure(t, &c_.sourceGrid)) return false;
    if (c_.sampleFilesFlag || !state_.rbtNeueImport.checked) {
        // The rules saved aside when the target was read again go onto it; otherwise the loaded mapping
        // stands, without assignments to columns the file no longer has.
        if (c_.rulesToCarry)
            CarryOverRules(t);
        else
            DropMissingSources(t);
        c_.rulesToCarry = false;
    } else if (AutoMap(t)) {
        state_.btnAufhebenEnabled = true;
    }
    textLayoutMemory_.RememberLayout(state_.edtQuelle, state_.edtZiel, layout, names);
    return true;
}

void TextLayoutController::btnZurueckTxtClick() {
    c_.leavePage();
    switch (state_.textPage) {
        case TextPage::TXTDatensatzlaenge:
            if (state_.rbtNeueImport.checked || state_.cbxZielAusw)
                c_.goTo(WizardPage::Seite3);
            else if (state_.cbxQuelleAusw)
                c_.goTo(WizardPage::Seite2);
            else
                c_.goTo(WizardPage::Seite1);
            return;
        case TextPage::TXTFix:
            state_.textPage = TextPage::TXTDatensatzlaenge;
            return;
        case TextPage::TXTVariabel:
            // Stepping back to the breaks frees the slots the sorting left at 0.
            if (state_.rgrDatsatzlaenge == 1) {
                for (int& b : state_.textLayout.breaks)
                    if (b == 0) b = -1;
                state_.textPage = TextPage::TXTFix;
            } else {
                state_.textPage = TextPage::TXTDatensatzlaenge;
            }
            return;
    }
}

void TextLayoutController::btnWeiterTxtClick() {
    c_.leavePage();
    switch (state_.textPage) {
        case TextPage::TXTDatensatzlaenge: {
            if (state_.rgrDatsatzlaenge != 0 && state_.rgrDatsatzlaenge != 1) {
                env_.prompter.message(MsgKind::Information, Buttons::Ok, kNoLayoutKind);
                return;
            }
            if (state_.rgrDatsatzlaenge == 1) {
                state_.fixGrid = characterGrid(state_.retQuellDat, state_.fixGridColumns);
                state_.textPage = TextPage::TXTFix;
                return;
            }
            const std::string path = findIgnoringCase(state_.edtQuelle, env_.fs);
            std::vector<std::string> first =
                firstLines(path, detectEncoding(path, state_.textLayout.encoding, state_.textLayout.dos), 1);
            if (!first.empty()) {
                DetectQuoteCharacter(first[0], state_.textLayout);
                DetectSeparators(first[0], state_.textLayout);
            }
            buildTextPreview();
            state_.textPage = TextPage::TXTVariabel;
            return;
        }
        case TextPage::TXTFix:
            buildTextPreview();
            state_.textPage = TextPage::TXTVariabel;
            return;
        case TextPage::TXTVariabel: {
            // The name being edited is checked and stored first.
            ColumnRenaming r(state_.textPreview.names, env_.prompter);
            r.setCurrent(state_.renameColumn);
            if (!state_.textPreview.names.empty() && !r.storeName(state_.edtRenCols)) {
                state_.focusControl = "edtRenCols";
                return;
            }
            if (!buildTextStagingTable()) return;
            c_.goTo(WizardPage::Seite4);
            return;
        }
    }
}

}  // namespace kimport
