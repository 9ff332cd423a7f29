#include "app/RunCommand.h"

#include "app/SavedSettingRun.h"
#include "app/TextSourceOptions.h"
#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/Numbers.h"
#include "common/Text.h"
#include "common/UserMessage.h"
#include "formula/FieldFormulas.h"
#include "importrun/ImportRun.h"
#include "importrun/TerminalProgress.h"
#include "mapping/PreRunCheck.h"
#include "mapping/StartValueCheck.h"
#include "mapping/StructureMapping.h"
#include "progress/RunReport.h"
#include "settings/ControlTables.h"
#include "settings/SettingsStore.h"
#include "tablestore/TableFiles.h"
#include "tablestore/TableRoutines.h"
#include "textsource/StagingTable.h"

#include <atomic>
#include <cstdlib>
#include <algorithm>
#include <csignal>
#include <iostream>

namespace kimport {

namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) { interrupted.store(true); }

// Messages go to standard error; questions are answered Yes, as the one who started the run wants it done.
class StderrPrompter : public Prompter {
public:
    Answer message(MsgKind, Buttons buttons, std::string_view text, int) override {
        std::string t(text);
        for (std::size_t at; (at = t.find("\r\n")) != std::string::npos;) t.replace(at, 2, "\n");
        std::cerr << "\n" << t << "\n";
        if (buttons == Buttons::YesNoDefaultNo) return Answer::No;  // nobody is there to take it back
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
    }
    void beep() override {}
    std::optional<std::string> inputQuery(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> openFile(const FileDialogSpec&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialogSpec&) override { return std::nullopt; }
};

// A check refused the run before anything was written (its message was shown).
struct RunRefused {};

struct RunOptions {
    std::string source, target, startValue, programDir;
    std::string setting;  // --setting: a saved setting run unchanged
    int mode = 1;
    int codePage = 0;  // of a source or target that names none
    bool emptyTarget = false;
    bool useMapping = false;  // run by the mapping ZStrukt holds instead of a new automatic one
    std::string reportPath;   // --report: the run's report as CSV
    TextSourceOptions text;   // for a source that is no table
};

// Parses the options; an error text for bad arguments.
std::optional<std::string> parse(const std::vector<std::string>& args, RunOptions& o) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        std::optional<std::string> v;
        if (a == "--empty-target" || a == "--use-mapping") {
            (a == "--empty-target" ? o.emptyTarget : o.useMapping) = true;
            continue;
        }
        std::string error;
        if (takeTextOption(args, i, o.text, error)) {
            if (!error.empty()) return error;
            continue;
        }
        if (a != "--source" && a != "--target" && a != "--mode" && a != "--start-value" && a != "--program-dir" &&
            a != "--codepage" && a != "--setting" && a != "--report")
            return "unbekannte Option \"" + a + "\"";
        if (!(v = value())) return "der Option " + a + " fehlt ihr Wert";
        if (a == "--source") o.source = *v;
        else if (a == "--target") o.target = *v;
        else if (a == "--start-value") o.startValue = *v;
        else if (a == "--setting") o.setting = *v;
        else if (a == "--report") o.reportPath = *v;
        else if (a == "--program-dir") o.programDir = withTrailingSlash(*v);
        else if (a == "--codepage") {
            o.codePage = std::atoi(v->c_str());
            if (o.codePage <= 0 || !isSupportedCodePage(o.codePage)) return "unbekannte Codeseite \"" + *v + "\"";
        }
        else if (v->size() == 1 && (*v)[0] >= '1' && (*v)[0] <= '5') o.mode = (*v)[0] - '0';
        else return "--mode erwartet 1 bis 5";
    }
    if (o.setting.empty() && (o.source.empty() || o.target.empty()))
        return "--source und --target (oder --setting) müssen angegeben werden";
    return std::nullopt;
}

// Builds the staging table of a text source in Temp of the program directory and makes it the source.
bool readTextSource(RunOptions& o, TerminalProgress& progress, Table& source, std::int64_t& errors,
                    RunReport& report) {
    completeLayout(o.source, o.text);
    TextPreview preview = BuildPreview(o.source, o.text.layout);
    // The run reads the text as a stream of staging records: no staging table is held or written.
    StagingResult staged = OpenStagingStream(o.source, o.text.layout, preview.names, o.programDir + "Temp/", progress, source);
    progress.endLine();
    if (staged.surplusLines > 0) {
        std::cerr << "kimport run: " << staged.surplusLines
                  << (staged.surplusLines == 1 ? " Zeile hat" : " Zeilen haben")
                  << " mehr Werte als die erste Zeile (Zeile";
        for (std::size_t k = 0; k < staged.firstSurplus.size(); ++k)
            std::cerr << (k ? ", " : " ") << staged.firstSurplus[k];
        std::cerr << (staged.surplusLines > static_cast<std::int64_t>(staged.firstSurplus.size()) ? ", ..." : "")
                  << "); ihre übrigen Werte sind nicht importiert.\n";
    }
    if (staged.unclosedQuotes > 0)
        std::cerr << "kimport run: " << staged.unclosedQuotes
                  << (staged.unclosedQuotes == 1 ? " Anführungszeichen wird" : " Anführungszeichen werden")
                  << " nicht geschlossen und als Zeichen gelesen.\n";
    if (staged.cancelled) return false;
    errors = staged.readErrors;
    // The report names lines of the file; what the reading could not take counts with the run's errors here.
    report.startWithReading(std::move(staged.lineOfRecord), staged.readProblems);
    return true;
}

// Target fields nothing fills stay empty in every record the run writes: said before the run, and noted
// in the report. The automatic mapping goes by equal names, which a copy to dBase may have shortened.
void tellUnfilledFields(const std::vector<std::string>& fields, bool useMapping, RunReport& report) {
    if (fields.empty()) return;
    std::string list;
    for (const std::string& f : fields) list += (list.empty() ? "" : ", ") + f;
    const std::string text = std::string(fields.size() == 1 ? "Das Feld " : "Die Felder ") + list +
                             " der Zieltabelle " + (fields.size() == 1 ? "füllt" : "füllen") +
                             " weder ein Quellfeld noch eine Formel noch ein Vorgabewert; " +
                             (fields.size() == 1 ? "es bleibt" : "sie bleiben") + " leer.";
    std::cerr << "kimport run: Hinweis: " << text
              << (useMapping ? "\n" : " Eine eigene Zuordnung (im Assistenten gespeichert) nimmt --use-mapping.\n");
    ReportEntry e;
    e.record = 0;
    e.reason = text;
    e.counter = ReportCounter::None;
    report.add(std::move(e));
}

// The report into the CSV file --report names; without it the first entries on standard error.
bool writeReport(const RunOptions& o, const RunReport& report) {
    if (!o.reportPath.empty()) {
        try {
            saveReportCsv(report, o.reportPath);
        } catch (const std::exception& e) {
            std::cerr << "kimport run: der Bericht " << o.reportPath << " konnte nicht geschrieben werden: " << userMessage(e)
                      << "\n";
            return false;
        }
        return true;
    }
    constexpr std::size_t kShown = 20;
    const auto& entries = report.entries();
    for (std::size_t i = 0; i < entries.size() && i < kShown; ++i)
        std::cerr << "  " << describeEntry(report, entries[i]) << "\n";
    const std::int64_t more = static_cast<std::int64_t>(entries.size()) + report.omitted() - static_cast<std::int64_t>(kShown);
    if (more > 0) std::cerr << "  ... und " << more << " weitere; --report DATEI.csv schreibt alle.\n";
    return true;
}

// The checks the wizard makes before it runs: something is assigned, the mode is one the target's key
// and the emptying leave, and a start value gives new keys. False after the message.
bool runChecksPass(const RunOptions& o, Table& source, Table& target, Table& zStrukt, Prompter& prompter,
                   const FormatSettings& formats) {
    PreRunResult pre = PreRunCheck(zStrukt, o.target, o.emptyTarget, nullptr);
    if (!pre.anyAssignment) {
        prompter.error(kNoAssignmentMessage);
        return false;
    }
    ModePageState page;
    applyKeySituation(pre.situation, page);
    const std::vector<ImportMode> modes = availableModes(page);
    const auto mode = static_cast<ImportMode>(o.mode);
    if (std::find(modes.begin(), modes.end(), mode) == modes.end()) {
        std::string list;
        for (ImportMode m : modes) list += (list.empty() ? "" : ", ") + std::to_string(importModeCode(m));
        prompter.error("Der Importmodus " + std::to_string(o.mode) + " ist hier nicht möglich: " +
                       keySituationText(pre.situation) + ". Möglich " + (modes.size() == 1 ? "ist Modus " : "sind die Modi ") +
                       list + ".");
        return false;
    }
    StartValueTables tables{zStrukt, source, target};
    if (mode == ImportMode::SelfIncrement)
        return IncrementCheck(tables, o.startValue, prompter, formats, !o.emptyTarget);
    if (mode == ImportMode::RenameExisting) return RenameCheck(tables, o.startValue, prompter, formats);
    return true;
}

}  // namespace

int runImportCommand(const std::vector<std::string>& args, const std::string& programDir) {
    RunOptions o;
    o.programDir = programDir;
    if (auto error = parse(args, o)) {
        std::cerr << "kimport run: " << *error << "\n";
        return kExitBadArguments;
    }
    std::signal(SIGINT, onInterrupt);
    ProcessFormats formats;
    StderrPrompter prompter;
    if (!o.setting.empty()) {
        // A saved setting decides everything but the start value (and, when given, the two files).
        std::optional<SettingForRun> saved = prepareSavedSetting(o.programDir, o.setting, o.source, o.target, formats, prompter);
        if (!saved) {
            std::cerr << "kimport run: nichts importiert; die Zieltabelle ist unverändert.\n";
            return kExitFailure;
        }
        o.source = saved->source;
        o.target = saved->target;
        o.mode = saved->mode;
        o.emptyTarget = saved->emptyTarget;
        o.useMapping = true;
        if (saved->textSource) {
            o.text.layout = saved->layout;
            o.text.separatorGiven = o.text.quoteGiven = o.text.fixedGiven = true;  // the setting's layout holds
        }
    }
    applyTextFormats(o.text, formats);
    TerminalProgress progress(formats.current, std::cerr, interrupted);
    Table source, target, qStrukt, zStrukt, temp;
    for (Table* t : {&source, &target, &qStrukt, &zStrukt, &temp}) {
        t->Exclusive = true;
        t->regional = formats.regional;
    }
    source.Exclusive = false;
    // A source table is walked from the start only: it is read as a stream, never held whole.
    source.Sequential = isTablePath(o.source);
    source.setPath(o.source);
    // The target is read and changed block by block: a run costs what it changes, not the table's size.
    target.Paged = true;
    target.setPath(o.target);
    source.CodePageIfNone = target.CodePageIfNone = o.codePage;
    qStrukt.setPath(qStruktPath(o.programDir));
    zStrukt.setPath(zStruktPath(o.programDir));
    MappingTables tables{source, target, qStrukt, zStrukt, temp, prompter, realFileSystem(), o.programDir, nullptr};
    bool failed = false, notSaved = false, refused = false;
    bool started = false;  // from here on the target may change: emptied, then filled
    RunReport report;
    std::int64_t textErrors = 0;  // lines of a text source that could not be read whole
    try {
        // A text source is read into its staging table first; the run reads that table.
        if (!isTablePath(o.source)) {
            if (!readTextSource(o, progress, source, textErrors, report)) return kExitFailure;
            source.CodePageIfNone = 0;
        }
        // Damaged or locked tables are reported before anything is written.
        if (!source.Active()) source.OpenTable();  // a text source is open as its stream already
        target.OpenTable();
        if (std::uint32_t missing = source.image().missingRecords)
            std::cerr << "kimport run: Warnung: die Quelle ist zu kurz; " << missing
                      << (missing == 1 ? " Datensatz fehlt" : " Datensätze fehlen") << " am Dateiende und "
                      << (missing == 1 ? "wird" : "werden") << " nicht importiert.\n";
        if (o.useMapping) {
            bool valid = true;
            if (!CheckStoredMapping(tables, !isTablePath(o.source), o.source, valid)) return kExitFailure;
        } else {
            if (!ClearTableExclusive(qStrukt, prompter) || !ClearTableExclusive(zStrukt, prompter)) return kExitFailure;
            for (Table* t : {&qStrukt, &zStrukt}) t->Exclusive = true;
            if (!ReadSourceStructure(tables) || !ReadTargetStructure(tables)) return kExitFailure;
            AutoMap(tables);
        }
        if (!runChecksPass(o, source, target, zStrukt, prompter, formats.current)) {
            refused = true;
            throw RunRefused();
        }
        FieldFormulas formulas(formats.current);
        ImportRun run(RunTables{source, target, zStrukt}, progress, prompter, formats.regional, formats.current,
                      &formulas);
        run.setReport(&report);
        run.check(static_cast<ImportMode>(o.mode));  // before the target is emptied
        tellUnfilledFields(run.unfilledFields(), o.useMapping, report);
        started = true;
        if (o.emptyTarget) {
            target.CloseTable();
            if (!ClearTableExclusive(target, prompter)) return kExitFailure;
            target.Exclusive = true;
            target.OpenTable();
        }
        progress.setCount(Counter::SummeQuelle, source.RecordCount());
        bool renamed = run.run(static_cast<ImportMode>(o.mode), o.startValue, o.emptyTarget);
        progress.endLine();
        progress.addToCounter(Counter::AnzFehler, textErrors);
        if (!renamed) {
            std::cerr << "Beim Umbenennen vorhandener Schlüsselwerte sind Fehler aufgetreten.\n";
            failed = true;
        }
        if (run.keyRuleMissing() || run.stoppedEarly()) failed = true;
        // A saved setting records the day once its run saved records.
        if (!o.setting.empty() && recordsWritten(progress) > 0) {
            Table impList;
            impList.setPath(impListPath(o.programDir));
            impList.Exclusive = true;
            recordLastImport(impList, o.setting);
            impList.CloseTable();
        }
    } catch (const RunRefused&) {
        failed = true;
    } catch (const std::exception& e) {
        progress.endLine();
        std::cerr << "kimport run: " << userMessage(e) << "\n";
        failed = true;
        // The run saved what was posted before the failure, unless the save itself failed.
        auto* error = dynamic_cast<const TableError*>(&e);
        notSaved = target.Active() && target.HasUnsavedChanges() && !(error && error->kind() == TableError::Kind::Unfinished);
    }
    for (const CounterRow& row : counterRows()) std::cout << row.caption << '\t' << progress.counterText(row.counter) << '\n';
    if (!writeReport(o, report)) failed = true;
    try {
        target.CloseDiscarding();  // saved already, or not to be saved
        if (o.useMapping) {
            zStrukt.CloseTable();
        } else {
            ClearTableExclusive(zStrukt, prompter);
            ClearTableExclusive(qStrukt, prompter);
        }
    } catch (const std::exception& e) {
        std::cerr << "kimport run: " << userMessage(e) << "\n";
        failed = true;
    }
    // What happened, in one line, and the exit code that says the same.
    const std::int64_t errors = progress.count(Counter::AnzFehler);
    if (refused || !started) {
        std::cerr << "kimport run: nichts importiert; die Zieltabelle ist unverändert.\n";
        return kExitFailure;
    }
    if (notSaved) {
        std::cerr << "kimport run: nichts gespeichert; die Zieltabelle ist unverändert.\n";
        return kExitFailure;
    }
    if (interrupted.load()) {
        std::cerr << "kimport run: abgebrochen; die bis dahin importierten Datensätze sind gespeichert.\n";
        return kExitCancelled;
    }
    if (failed) {
        std::cerr << "kimport run: abgebrochen nach einem Fehler; was davor importiert wurde, ist gespeichert.\n";
        return kExitFailure;
    }
    if (errors > 0) {
        std::cerr << "kimport run: gespeichert, aber mit " << errors << (errors == 1 ? " Fehler.\n" : " Fehlern.\n");
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace kimport
