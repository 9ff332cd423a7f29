#include "wizard/ContentViewer.h"
#include "common/UserMessage.h"

#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/Numbers.h"
#include "common/Text.h"
#include "tablestore/TableError.h"
#include "textsource/TextFile.h"

namespace kimport {

namespace {

const char* const kNoAccess = "Auf diese Datenbank konnte nicht zugegriffen werden.";
const char* const kNotOpened = "Die Datenbank konnte nicht geöffnet werden.";

std::string upperFileName(const std::string& path) { return foldedUpper(fileNameOf(path)); }

}  // namespace

std::string tableOpenErrorText(const std::exception& error, bool tableFound) {
    // The engine's failures are those the table store meets on a table that is there: damaged,
    // unreadable, encrypted, locked. A table that is not there, and a code page or file failure no
    // table error wrapped, are the other database failures.
    if (dynamic_cast<const TableError*>(&error)) return tableFound ? kNoAccess : kNotOpened;
    if (dynamic_cast<const CodePageError*>(&error) || dynamic_cast<const IoError*>(&error)) return kNotOpened;
    return error.what();
}

std::string recordCountText(std::int64_t records) {
    return FormatCount(records, FormatSettings::german()) + " Datensätze";
}

ContentViewer::ContentViewer(Prompter& prompter, const FormatSettings& formats)
    : prompter_(prompter), source_(formats), target_(formats) {}

void ContentViewer::close() {
    source_.close();
    target_.close();
    text_.clear();
    text_.shrink_to_fit();
    textLines_ = 0;
    view_ = ViewerView{};
}

void ContentViewer::startView() {
    close();
    view_.showing = true;
    view_.tabVisible = {false, false, false};
    view_.sourceStatus = {recordCountText(0), {}};
    view_.targetStatus = {recordCountText(0), {}};
    view_.textStatus = {"0 Zeilen", {}};
}

void ContentViewer::openTable(TableRows& rows, const std::string& path) {
    try {
        if (Table* held = heldTable ? heldTable(path) : nullptr) {
            rows.show(*held);
            return;
        }
        rows.open(path);
    } catch (const std::exception& e) {
        prompter_.error(tableOpenErrorText(e, fileExistsIgnoringCase(path)));  // found as the table store looks for it
    }
}

StatusText ContentViewer::targetStatus(bool emptiedBeforeRun, bool afterRun) const {
    StatusText status{recordCountText(target_.rowCount()), {}};
    if (emptiedBeforeRun)
        status.second = afterRun ? "Datenbankinhalt wurde vor dem Importlauf gelöscht!"
                                 : "Datenbankinhalt wird vor dem Importlauf gelöscht!";
    return status;
}

void ContentViewer::showSourceTable(const std::string& path) {
    startView();
    view_.caption = upperFileName(path);
    view_.activePage = ViewerPage::Source;
    openTable(source_, path);
    view_.sourceStatus = {recordCountText(source_.rowCount()), {}};
}

void ContentViewer::showTargetTable(const std::string& path, bool emptiedBeforeRun) {
    startView();
    view_.caption = upperFileName(path);
    view_.activePage = ViewerPage::Target;
    openTable(target_, path);
    view_.targetStatus = targetStatus(emptiedBeforeRun, false);
}

void ContentViewer::showBoth(const std::string& sourcePath, const std::string& targetPath, bool emptiedBeforeRun,
                             bool afterRun) {
    startView();
    view_.caption = KIMPORT_VERSION_TEXT " - Datenbankinhalte";
    view_.tabVisible = {true, true, false};
    view_.sourceTab = "Quelldatenbank: " + upperFileName(sourcePath);
    view_.targetTab = "Zieldatenbank: " + upperFileName(targetPath);
    view_.activePage = afterRun ? ViewerPage::Target : ViewerPage::Source;
    openTable(source_, sourcePath);
    openTable(target_, targetPath);
    view_.sourceStatus = {recordCountText(source_.rowCount()), {}};
    view_.targetStatus = targetStatus(emptiedBeforeRun, afterRun);
}

void ContentViewer::showTextFile(const std::string& path, bool dosConversion) {
    startView();
    view_.caption = upperFileName(path);
    view_.activePage = ViewerPage::Text;
    // Read exactly as the text source reads it, so the lines shown are the lines imported.
    try {
        TextFileReader reader(path, detectEncoding(path, TextEncoding::Auto, dosConversion));
        // The first 32 MB are shown; the lines beyond are counted, not held.
        constexpr std::size_t kShownBytes = std::size_t{32} << 20;
        std::string line;
        while (reader.nextLine(line)) {
            if (text_.size() < kShownBytes) {
                if (textLines_ > 0) text_ += '\n';
                text_ += line.size() > kShownBytes ? firstChars(line, kShownBytes / 4) : line;
            }
            ++textLines_;
        }
    } catch (const std::exception& e) {
        prompter_.error(userMessage(e));
    }
    view_.textStatus = {FormatCount(textLines_, FormatSettings::german()) + " Zeilen", {}};
}

}  // namespace kimport
