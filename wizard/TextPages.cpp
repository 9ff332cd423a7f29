// The three tabs of the text page: the layout kind, the fixed breaks and the
// separated values with their preview; leaving them reads the text file into
// its staging table, which is then the source of the mapping and the run.
#include "common/FileSets.h"
#include "common/UserMessage.h"
#include "common/Text.h"
#include "tablestore/TableRoutines.h"
#include "textsource/ColumnLayout.h"
#include "textsource/StagingTable.h"
#include "textsource/TextFile.h"
#include "textsource/TextSplit.h"
#include "wizard/ImportWizard.h"

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
void ImportWizard::loadTextSource() {
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
    goTo(WizardPage::Seite1txt);
}

void ImportWizard::buildTextPreview() {
    TextLayout& layout = state_.textLayout;
    layout.kind = state_.rgrDatsatzlaenge == 1 ? LayoutKind::Fixed : LayoutKind::Variable;
    state_.textPreview = BuildPreview(findIgnoringCase(state_.edtQuelle, env_.fs), layout);
    // Renaming starts again at the first column.
    state_.renameColumn = 0;
    state_.edtRenCols = state_.textPreview.names.empty() ? std::string() : state_.textPreview.names[0];
}

// --- The options window ----------------------------------------------------------------

void ImportWizard::btnQOptionenClick() {
    state_.qOptionen = optionsOnShow(env_.formats.current, state_.textLayout.dos);
    state_.qOptionenVisible = true;
}

void ImportWizard::qOptionenClose() {
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

void ImportWizard::stgQuellDatFixClick(int column) { BreakMarkers(state_.textLayout.breaks).set(column); }

bool ImportWizard::stgQuellDatFixMouseDown(int column) {
    fixDragged_ = -1;
    BreakMarkers m(state_.textLayout.breaks);
    if (!m.press(column)) return false;
    fixDragged_ = m.dragged();
    return true;
}

void ImportWizard::stgQuellDatFixDragOver(int column) {
    if (fixDragged_ < 0 || column < 1) return;
    state_.textLayout.breaks[static_cast<std::size_t>(fixDragged_)] = column;
}

void ImportWizard::stgQuellDatFixDragDrop() {
    if (fixDragged_ < 0) return;
    BreakMarkers m(state_.textLayout.breaks);
    m.press(state_.textLayout.breaks[static_cast<std::size_t>(fixDragged_)]);
    // press() finds the first slot of that position; the drop frees every other one.
    m.drop();
    fixDragged_ = -1;
}

void ImportWizard::stgQuellDatFixDblClick(int column) { BreakMarkers(state_.textLayout.breaks).remove(column); }

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
    s.edtRenCols = s.textPreview.names.empty() ? std::string() : s.textPreview.names[static_cast<std::size_t>(r.current())];
    s.focusControl = "edtRenCols";
}
}  // namespace

void ImportWizard::btnErsteClick() {
    renameMove(state_, env_.prompter, [&](ColumnRenaming& r) { return r.first(state_.edtRenCols); });
}
void ImportWizard::btnLinksClick() {
    renameMove(state_, env_.prompter, [&](ColumnRenaming& r) { return r.previous(state_.edtRenCols); });
}
void ImportWizard::btnRechtsClick() {
    renameMove(state_, env_.prompter, [&](ColumnRenaming& r) { return r.next(state_.edtRenCols); });
}
void ImportWizard::btnLetzteClick() {
    renameMove(state_, env_.prompter, [&](ColumnRenaming& r) { return r.last(state_.edtRenCols); });
}
void ImportWizard::stgQuellDatVarSelect(int column) {
    ColumnRenaming r(state_.textPreview.names, env_.prompter);
    r.setCurrent(state_.renameColumn);
    if (!state_.textPreview.names.empty()) r.storeName(state_.edtRenCols);  // its result does not stop the move
    r.setCurrent(std::clamp(column, 0, std::max(0, static_cast<int>(state_.textPreview.names.size()) - 1)));
    state_.renameColumn = r.current();
    state_.edtRenCols = state_.textPreview.names.empty() ? std::string()
                                                         : state_.textPreview.names[static_cast<std::size_t>(r.current())];
}

void ImportWizard::textLayoutChanged() {
    if (state_.page != WizardPage::Seite1txt || state_.textPage != TextPage::TXTVariabel) return;
    buildTextPreview();
}

// Reads the text file into its staging table when the layout changed, and makes that table the source
// of the mapping. False (after the message) when the file or the table failed.
bool ImportWizard::buildTextStagingTable() {
    const TextLayout& layout = state_.textLayout;
    const std::vector<std::string>& names = state_.textPreview.names;
    if (!textLayoutMemory_.LayoutChanged(state_.edtQuelle, state_.edtZiel, layout, names)) return true;
    const std::string path = findIgnoringCase(state_.edtQuelle, env_.fs);
    StagingResult staged;
    tblQuelle.CloseTable();
    staged = BuildStagingTable(path, layout, names, env_.programDir + "Temp/", progress());
    ownTempFiles_.push_back(baseNameOf(staged.path));
    keepStagingReport(staged);
    tblQuelle.setPath(staged.path);
    ClearTableExclusive(tblQStrukt, env_.prompter);
    MappingTables t = mappingTables();
    if (!ReadSourceStructure(t, &sourceGrid)) return false;
    if (sampleFilesFlag || !state_.rbtNeueImport.checked) {
        // The rules saved aside when the target was read again go onto it; otherwise the loaded mapping
        // stands, without assignments to columns the file no longer has.
        if (rulesToCarry_)
            CarryOverRules(t);
        else
            DropMissingSources(t);
        rulesToCarry_ = false;
    } else if (AutoMap(t)) {
        state_.btnAufhebenEnabled = true;
    }
    textLayoutMemory_.RememberLayout(state_.edtQuelle, state_.edtZiel, layout, names);
    return true;
}

void ImportWizard::btnZurueckTxtClick() {
    leavePage();
    switch (state_.textPage) {
        case TextPage::TXTDatensatzlaenge:
            if (state_.rbtNeueImport.checked || state_.cbxZielAusw) goTo(WizardPage::Seite3);
            else if (state_.cbxQuelleAusw) goTo(WizardPage::Seite2);
            else goTo(WizardPage::Seite1);
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

void ImportWizard::btnWeiterTxtClick() {
    leavePage();
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
            goTo(WizardPage::Seite4);
            return;
        }
    }
}

}  // namespace kimport
