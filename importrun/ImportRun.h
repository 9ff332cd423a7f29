// The import run: carries the source records into the target by one of the
// five import modes, filling each target field by its rule and counting in
// the progress window. Field errors are counted; failures of the table store
// (a key violation in mode 1, a failing lookup) and of the defaults'
// comparisons end the run as exceptions for the caller to show.
#pragma once

#include "common/Prompter.h"
#include "importrun/FieldTransform.h"
#include "importrun/RunRule.h"
#include "settings/TypeCodes.h"

#include <optional>
#include <string>
#include <vector>

namespace kimport {

struct RunTables {
    Table& source;
    Table& target;
    Table& zStrukt;
};

class ImportRun {
public:
    ImportRun(RunTables tables, ProgressSink& progress, Prompter& prompter, const FormatSettings& regional,
              const FormatSettings& current, FormulaEvaluator* formulas = nullptr);

    void RunAppend();
    void RunAppendNew(bool targetEmptied);
    // False when the key rule has no source field.
    bool RunRenameExisting(const std::string& startValue);
    void RunSelfIncrement(const std::string& startValue);
    void RunUpdate();

    // Throws what would refuse the run (a target that may not be written, a mapping that fills nothing,
    // a key the mode cannot look up), before anything is changed.
    void check(ImportMode mode);
    // The target fields no rule fills (no source field, formula or default), once checked: they stay empty.
    std::vector<std::string> unfilledFields() const;

    // Runs the mode as the start of a run does (mode 3: renaming, then mode 2), and saves the
    // target: a run that fails on a record keeps what was posted before it. False when mode 3's
    // renaming failed.
    bool run(ImportMode mode, const std::string& startValue, bool targetEmptied);

    // Where each field error, skipped record and the failure that ends a run is explained.
    void setReport(RunReport* report) { ctx_.report = report; }

    // Set when the key rule had no source field; the wizard then resets the mode page.
    bool keyRuleMissing() const { return keyRuleMissing_; }
    // Set when a mode ended early by its own decision (an unsupported key type).
    bool stoppedEarly() const { return stoppedEarly_; }

private:
    void prepare(std::string_view status, bool looksUpKeys = false);
    void openTables(bool looksUpKeys);
    void requireUsableKey() const;
    bool nextRecord(bool pump = true);
    const RunRule* keyRule() const;
    std::optional<std::vector<Value>> lookupKey(bool countErrors = true);
    bool seek(const std::vector<Value>& key);
    void KeyRuleMissing();
    void writeKey(const RunRule& key, const Value& value);
    void finishMode();
    void requireSomethingToFill() const;
    void requireRoom(bool looksUpKeys);
    void sayCancelled();
    std::uint64_t newKeysInSource();
    Value advanceKey(const Value& v, FieldType type) const;
    void report(ReportEntry entry);
    // After a failure that ends the run: the record being written is dropped, what was posted saved.
    void endFailedRun();
    std::string keyText(const std::vector<Value>& key) const;
    // The source records a mode did not reach (cancelled, or no key rule): one entry for all of them.
    void reportUnprocessed(std::int64_t processed, ReportCounter counter);

    RunTables t_;
    ProgressSink& progress_;
    Prompter& prompter_;
    const FormatSettings& regional_;
    const FormatSettings& current_;
    TransformContext ctx_;
    std::vector<RunRule> rules_;
    std::int64_t sourceCount_ = 0;
    // The target's key fields a lookup matches on: the leading ones that are assigned.
    std::vector<const RunRule*> lookupRules_;
    ImportMode mode_ = ImportMode::Append;
    std::int64_t keyErrors_ = 0;  // source records skipped because their key could not be a key
    bool keyRuleMissing_ = false;
    bool saveTried_ = false;  // the mode's end saved the target (or tried to)
    std::optional<Counter> unposted_;  // the counter that already counts the record not yet posted
    bool stoppedEarly_ = false;
};

// Saves the target when a run ends. A failed save is shown in the progress window: its status says
// that nothing was saved and the counters claim no record; then the error goes on to the caller.
void SaveTarget(Table& target, ProgressSink& progress);
// After a run that failed on a record: drops that record and saves what was posted before.
void SavePostedRecords(Table& target, ProgressSink& progress);

// The next generated text key: the trailing number of s plus k ("K100", 2 -> "K102").
// Throws ConversionError when that number does not fit 32 bits.
std::string NextKeyText(const std::string& s, std::int64_t k);
// The generated key after v for a key field of type code typ: numbers and dates count up by one
// (a day), times and timestamps by one second. Text is read with the given settings.
Value nextKeyValue(const Value& v, FieldType type, const FormatSettings& fs);

// The progress texts of the modes.
constexpr const char* kTextAppend = "Datensätze werden hinzugefügt...";
constexpr const char* kTextAppendNew = "Datensätze werden hinzugefügt,\r\nvorhandene Datensätze bleiben unberührt...";
constexpr const char* kTextRename = "Schlüsselwerte vorhandener Datensätze werden umbenannt...";
constexpr const char* kTextUpdate = "Vorhandene Datensätze werden aktualisiert,\r\nneue Datensätze hinzugefügt...";

}  // namespace kimport
