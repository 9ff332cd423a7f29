#include "importrun/ImportRun.h"

#include "common/Numbers.h"
#include "common/Text.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/ValueConversion.h"

#include <climits>

namespace kimport {

std::string NextKeyText(const std::string& s, std::int64_t k) {
    std::size_t digits = s.size();
    while (digits > 0 && s[digits - 1] >= '0' && s[digits - 1] <= '9') --digits;
    std::string prefix = s.substr(0, digits);
    std::string number = digits < s.size() ? s.substr(digits) : "0";
    std::int64_t n = 0;
    for (char c : number) {
        n = n * 10 + (c - '0');
        if (n > INT32_MAX) throw ConversionError("'" + number + "' ist keine ganze Zahl");
    }
    return prefix + std::to_string(n + k);
}

ImportRun::ImportRun(RunTables tables, ProgressSink& progress, Prompter& prompter, const FormatSettings& regional,
                     const FormatSettings& current, FormulaEvaluator* formulas)
    : t_(tables), progress_(progress), prompter_(prompter), regional_(regional), current_(current),
      ctx_{tables.source, tables.target, progress, regional, current, formulas} {}

void ImportRun::openTables(bool looksUpKeys) {
    for (Table* t : {&t_.source, &t_.target, &t_.zStrukt})
        if (!t->Active()) t->OpenTable();
    rules_ = loadRunRules(t_.zStrukt, t_.source, t_.target);
    sourceCount_ = t_.source.RecordCount();
    // A target that may not be changed is refused before the first record.
    t_.target.CheckWritable();
    // The key fields in the target's key order (the mapping's rows may be in another), as far as assigned.
    std::vector<const RunRule*> byField(static_cast<std::size_t>(t_.target.KeyFieldCount()), nullptr);
    for (const RunRule& r : rules_)
        if (r.isKey() && r.targetField && *r.targetField < static_cast<int>(byField.size()))
            byField[static_cast<std::size_t>(*r.targetField)] = &r;
    lookupRules_.clear();
    for (const RunRule* r : byField) {
        if (!r || !r->assigned()) break;
        lookupRules_.push_back(r);
    }
    requireSomethingToFill();
    if (looksUpKeys) requireUsableKey();
    requireRoom(looksUpKeys);
    t_.source.MoveFirst();
}

void ImportRun::prepare(std::string_view status, bool looksUpKeys) {
    openTables(looksUpKeys);
    progress_.prepareImportRun(status, static_cast<int>(std::min<std::int64_t>(sourceCount_, INT_MAX)));
    progress_.show();
}

// Before each source record: end of source or cancel ends the loop; otherwise
// pending window messages run and the bar follows the record number.
bool ImportRun::nextRecord(bool pump) {
    if (t_.source.AtEnd() || progress_.cancelled()) return false;
    if (pump) progress_.pump();
    progress_.setPosition(static_cast<int>(std::min<std::int64_t>(t_.source.RecordNumber(), INT_MAX)));
    return true;
}

const RunRule* ImportRun::keyRule() const {
    for (const RunRule& r : rules_)
        if (r.isKey()) return &r;
    return nullptr;
}

std::optional<std::vector<Value>> ImportRun::lookupKey(bool countErrors) {
    std::vector<Value> values;
    for (const RunRule* key : lookupRules_) {
        if (!key->sourceField) t_.source.FieldNamed(key->rule.Zuordnung);  // ends the run with the store's message
        Value v = t_.source.GetValue(*key->sourceField);
        const bool textKey = key->targetField &&
                             naturalKind(t_.target.FieldDefAt(*key->targetField).type) == Value::Kind::Text;
        if (textKey) {
            std::string text = valueToText(v, regional_);
            if (key->rule.Ausrichtung_re && IsDigitString(text) && IsDigitString(key->laenge))
                text = PadLeft(trim(text), std::stoul(key->laenge));
            values.push_back(Value::ofText(text));
            continue;
        }
        // Other keys are looked up by the value itself, converted exactly to the field's type: a text
        // could not tell 0.30000000000000004 from 0.3, nor 12:00:00.250 from 12:00:00.
        bool usable = !v.isNull() && !(v.kind == Value::Kind::Text && trim(v.text).empty());
        if (usable && key->targetField) {
            try {
                convertValue(v, naturalKind(t_.target.FieldDefAt(*key->targetField).type), regional_);
            } catch (const ConversionError&) {
                usable = false;
            }
        }
        if (!usable) {
            // A record whose key is empty or no value of the key's type can be neither found nor added.
            if (countErrors) {
                CountFieldError(progress_);
                ++keyErrors_;
                if (!ctx_.report) return std::nullopt;
                if (ctx_.report->full()) {
                    ctx_.report->countOnly(ReportCounter::Errors);
                    return std::nullopt;
                }
                ReportEntry e;
                e.record = t_.source.RecordNumber();
                e.field = key->feldname;
                e.sourceValue = v.isNull() ? std::string() : valueToText(v, regional_);
                e.reason = e.sourceValue.empty() || trim(e.sourceValue).empty()
                               ? "Der Schlüsselwert ist leer; der Datensatz kann weder gefunden noch hinzugefügt werden."
                               : "Der Wert passt nicht in das Schlüsselfeld; der Datensatz kann weder gefunden noch "
                                 "hinzugefügt werden.";
                report(std::move(e));
            }
            return std::nullopt;
        }
        values.push_back(v);
    }
    return values;
}

bool ImportRun::seek(const std::vector<Value>& key) { return t_.target.SeekKey(key); }

void ImportRun::report(ReportEntry entry) {
    if (ctx_.report) ctx_.report->add(std::move(entry));
}

std::string ImportRun::keyText(const std::vector<Value>& key) const {
    std::string text;
    for (const Value& v : key) {
        if (!text.empty()) text += ", ";
        text += valueToText(v, regional_);
    }
    return text;
}

void ImportRun::reportUnprocessed(std::int64_t processed, ReportCounter counter) {
    if (processed >= sourceCount_) return;
    ReportEntry e;
    e.record = processed + 1;
    e.records = sourceCount_ - processed;
    e.reason = progress_.cancelled() ? "Nicht bearbeitet: der Lauf wurde abgebrochen."
                                     : "Nicht bearbeitet: für den Primärschlüssel gibt es keine Zuordnung.";
    e.counter = counter;
    report(std::move(e));
}

void ImportRun::KeyRuleMissing() {
    prompter_.error("Sie haben \"Schlüsselwerte ignorieren\" gewählt,\r\njedoch für den Primärschlüssel der Zieltabelle "
                    "keine\r\nFeldzuordnung aus der Quelltabelle eingetragen.");
    keyRuleMissing_ = true;
    progress_.close();
}

// The end of a mode comes after the save: "fertig." only for a target that has its records.
void ImportRun::finishMode() {
    saveTried_ = true;
    SaveTarget(t_.target, progress_);
    if (progress_.cancelled()) {
        sayCancelled();
        return;
    }
    progress_.appendStatus("fertig.");
    progress_.finish();
}

// A cancelled run says what it kept, and its window comes back with the counters and the error list:
// the cancel closed it, and the user must not guess what was imported.
void ImportRun::sayCancelled() {
    const std::int64_t kept = recordsWritten(progress_);
    // In place of the mode's two lines: the window keeps its size, and this is what counts now.
    progress_.setStatus("Der Import wurde abgebrochen. Bis dahin sind\r\n" + FormatCount(kept, current_) +
                        (kept == 1 ? " Datensatz" : " Datensätze") + " importiert und gespeichert.");
    progress_.reopen();
    progress_.finish();
}

void SaveTarget(Table& target, ProgressSink& progress) {
    try {
        target.Flush();
    } catch (const TableError& e) {
        if (e.kind() == TableError::Kind::Unfinished) {
            progress.appendStatus(" Das Speichern wird beim nächsten Öffnen der Zieltabelle abgeschlossen.");
        } else {
            progress.appendStatus(" nicht gespeichert; die Zieltabelle ist unverändert.");
            for (Counter c : {Counter::AnzHinzu, Counter::Ignor, Counter::Umben, Counter::AnzAkt, Counter::Summe})
                progress.setCount(c, 0);
        }
        progress.finish();
        throw;
    }
}

void SavePostedRecords(Table& target, ProgressSink& progress) {
    if (!target.Active()) return;
    target.CancelRecord();
    SaveTarget(target, progress);
}

void ImportRun::RunAppend() {
    prepare(kTextAppend);
    while (nextRecord()) {
        progress_.setStatus(kTextAppend);
        t_.target.BeginAppend();
        progress_.addToCounter(Counter::AnzHinzu);
        progress_.addToCounter(Counter::Summe);
        unposted_ = Counter::AnzHinzu;
        // The record is written once per rule; the first write creates it. A write of a field outside the
        // key can neither fail nor move the record, so such writes in a row are made as one: the table
        // holds the same as after each of them alone.
        bool editPending = false;
        try {
            for (std::size_t i = 0; i < rules_.size(); ++i) {
                const RunRule& r = rules_[i];
                if (t_.target.state() == Table::State::Browse) t_.target.BeginEdit();
                fillField(r, ctx_);
                const bool keyField = !r.targetField || *r.targetField < t_.target.KeyFieldCount();
                if (i > 0 && !keyField && i + 1 < rules_.size()) {
                    editPending = true;
                    continue;
                }
                editPending = false;
                t_.target.PostRecord();
                unposted_.reset();  // from the first write on the record is in the table
            }
        } catch (...) {
            if (editPending) t_.target.PostRecord();  // the fields written before the failure stay, as always
            throw;
        }
        t_.source.MoveNext();
    }
    finishMode();
}

void ImportRun::RunAppendNew(bool targetEmptied) {
    prepare(targetEmptied ? kTextAppend : kTextAppendNew, true);
    const RunRule* key = keyRule();
    std::int64_t processed = 0;
    const ReportCounter skipped = targetEmptied ? ReportCounter::Errors : ReportCounter::Ignored;
    while (nextRecord()) {
        if (!key) break;  // without a key rule nothing could ever be found
        if (!key->assigned()) {
            KeyRuleMissing();
            return;
        }
        ++processed;
        std::optional<std::vector<Value>> lookup = lookupKey();
        if (!lookup) {
            t_.source.MoveNext();
            continue;
        }
        bool found = seek(*lookup);
        if (found && ctx_.report && ctx_.report->full()) {
            ctx_.report->countOnly(skipped);
        } else if (found && ctx_.report) {
            ReportEntry e;
            e.record = t_.source.RecordNumber();
            e.field = key->feldname;
            e.sourceValue = key->sourceField ? valueToText(t_.source.GetValue(*key->sourceField), regional_)
                                             : keyText(*lookup);
            e.reason = targetEmptied ? "Der Schlüssel kommt in der Quelle mehrfach vor; nur sein erster Datensatz "
                                       "wurde eingelesen."
                                     : "Der Schlüssel ist in der Zieltabelle schon vorhanden; der Datensatz wurde "
                                       "nicht eingelesen.";
            e.counter = skipped;
            report(std::move(e));
        }
        // Appended records are looked up again; a second miss (the key rule changes the stored
        // key) appends once more, and the store refuses the duplicate.
        for (int pass = 0; pass < 2 && !found; ++pass) {
            t_.target.BeginAppend();
            progress_.addToCounter(Counter::AnzHinzu);
            unposted_ = Counter::AnzHinzu;
            progress_.addToCounter(Counter::Summe);
            fillFields(rules_, ctx_);
            t_.target.PostRecord();
            unposted_.reset();
            found = seek(*lookup);
        }
        t_.source.MoveNext();
    }
    reportUnprocessed(processed, skipped);
    saveTried_ = true;
    SaveTarget(t_.target, progress_);
    // Records whose key could not be looked up are counted as errors already, not as ignored ones. Those
    // a cancel left count with the ignored ones; the report has one entry for them.
    const std::int64_t handled = sourceCount_;
    std::int64_t added = progress_.count(Counter::AnzHinzu) + keyErrors_;
    if (targetEmptied) {
        progress_.setCount(Counter::AnzFehler, progress_.count(Counter::AnzFehler) + handled - added);
        progress_.setCount(Counter::Summe, progress_.count(Counter::Summe) + progress_.count(Counter::Ignor));
    } else {
        progress_.setCount(Counter::Ignor, handled - added);
        progress_.setCount(Counter::Summe, progress_.count(Counter::Summe) + progress_.count(Counter::Ignor));
    }
    if (progress_.cancelled()) {
        sayCancelled();
    } else {
        if (!targetEmptied) progress_.appendStatus("fertig.");
        progress_.finish();
    }
    progress_.setPosition(static_cast<int>(std::min<std::int64_t>(sourceCount_, INT_MAX)));
}

void ImportRun::writeKey(const RunRule& key, const Value& value) {
    if (!key.targetField) t_.target.FieldNamed(key.feldname);
    t_.target.SetValue(*key.targetField, value, current_);
}

bool ImportRun::RunRenameExisting(const std::string& startValue) {
    prepare(kTextRename, true);
    progress_.pump();  // once before the loop: this pass does not react to the window while it runs
    const RunRule* key = keyRule();
    Value v = Value::ofText(startValue);
    std::int64_t k = 0;
    while (nextRecord(false)) {
        if (!key) break;
        if (!key->assigned()) {
            KeyRuleMissing();
            return false;
        }
        // A key that cannot be looked up is counted once, by the second pass.
        std::optional<std::vector<Value>> lookup = lookupKey(false);
        if (!lookup) {
            t_.source.MoveNext();
            continue;
        }
        bool found = seek(*lookup);
        bool keyInIndex = key->targetField && t_.target.InPrimaryIndex(*key->targetField);
        if (found && keyInIndex) {
            auto restOfRecord = [&] {
                t_.target.PostRecord();
                for (const RunRule& r : rules_) {
                    if (r.isKey()) continue;
                    t_.target.BeginEdit();
                    fillField(r, ctx_);
                    t_.target.PostRecord();
                }
            };
            // A start value whose number does not fit ends the run: outside the guarded block.
            std::string text = key->type() == FieldType::String ? NextKeyText(startValue, k) : std::string();
            bool written = false;
            guardedFieldStep(progress_, [&] {
                switch (key->type()) {
                case FieldType::String: {
                    t_.target.BeginAppend();
                    if (key->rule.Ausrichtung_re && IsDigitString(text) && IsDigitString(key->laenge))
                        text = PadLeft(trim(text), std::stoul(key->laenge));
                    writeKey(*key, Value::ofText(text));
                    restOfRecord();
                    ++k;
                    break;
                }
                case FieldType::SmallInt: case FieldType::Integer: case FieldType::Float: case FieldType::Currency:
                case FieldType::Date: case FieldType::Time: case FieldType::DateTime: {
                    t_.target.BeginAppend();
                    writeKey(*key, v);
                    restOfRecord();
                    v = advanceKey(v, key->type());
                    break;
                }
                default:
                    break;
                }
                written = true;
            }, [&](const char* reason) {
                ReportEntry e;
                e.record = t_.source.RecordNumber();
                e.field = key->feldname;
                e.sourceValue = keyText(*lookup);
                e.triedValue = key->type() == FieldType::String ? text : valueToText(v, regional_);
                e.reason = std::string("Unter neuem Schlüssel nicht hinzugefügt: ") + reason;
                report(std::move(e));
            });
            // A failed record is dropped; the next one gets the same key.
            if (!written) t_.target.CancelRecord();
            progress_.addToCounter(Counter::Umben);
            progress_.addToCounter(Counter::Summe);
        }
        t_.source.MoveNext();
    }
    return true;
}

Value nextKeyValue(const Value& v, FieldType type, const FormatSettings& fs) {
    Value natural = convertValue(v, type == FieldType::Date ? Value::Kind::Date : type == FieldType::Time ? Value::Kind::Time
                                    : type == FieldType::DateTime ? Value::Kind::DateTime : Value::Kind::Float, fs);
    switch (natural.kind) {
    case Value::Kind::Date: return Value::ofDate(static_cast<DayNumber>(natural.integer + 1));
    case Value::Kind::Time: return Value::ofTime((natural.integer + 1000) % kMsPerDay);
    case Value::Kind::DateTime: return Value::ofDateTime(natural.number + 1000);
    default: return Value::ofFloat(natural.number + 1);
    }
}

Value ImportRun::advanceKey(const Value& v, FieldType type) const { return nextKeyValue(v, type, current_); }

void ImportRun::RunSelfIncrement(const std::string& startValue) {
    prepare(kTextUpdate);
    Value v = Value::ofText(startValue);
    std::int64_t k = 0;
    bool begun = false;
    while (nextRecord(false)) {
        t_.target.BeginAppend();  // posts the record begun before
        unposted_.reset();  // the record counted before is in the table now
        begun = true;
        for (const RunRule& r : rules_) {
            if (!r.isKey()) {
                fillField(r, ctx_);
                continue;
            }
            switch (r.type()) {
            case FieldType::String: {
                std::string text = NextKeyText(startValue, k);
                if (r.rule.Ausrichtung_re && IsDigitString(text) && IsDigitString(r.laenge))
                    text = PadLeft(trim(text), std::stoul(r.laenge));
                writeKey(r, Value::ofText(text));
                break;
            }
            case FieldType::SmallInt: case FieldType::Integer: case FieldType::Float: case FieldType::Currency:
            case FieldType::Date: case FieldType::Time: case FieldType::DateTime:
                writeKey(r, v);
                v = advanceKey(v, r.type());
                break;
            case FieldType::BCD:
                prompter_.message(MsgKind::Information, Buttons::Ok,
                                  "Die automatische Werterhöhung eines Datenbankfeldes vom Typ\r\n\"" + r.typBezeichnung +
                                      "\"\r\nist derzeit leider nicht möglich.");
                t_.target.CancelRecord();
                stoppedEarly_ = true;
                return;
            default:
                prompter_.message(MsgKind::Information, Buttons::Ok,
                                  "Die automatische Werterhöhung eines Datenbankfeldes vom Typ\r\n\"" + r.typBezeichnung +
                                      "\"\r\nist leider nicht möglich.");
                t_.target.CancelRecord();
                stoppedEarly_ = true;
                return;
            }
        }
        ++k;
        t_.source.MoveNext();
        progress_.pump();
        progress_.addToCounter(Counter::AnzHinzu);
        unposted_ = Counter::AnzHinzu;
        progress_.addToCounter(Counter::Summe);
    }
    if (begun) t_.target.PostRecord();
    unposted_.reset();
    finishMode();
}

void ImportRun::RunUpdate() {
    prepare(kTextUpdate, true);
    const RunRule* key = keyRule();
    while (nextRecord()) {
        if (key && key->assigned() && key->sourceField) {
            std::optional<std::vector<Value>> lookup = lookupKey();
            if (!lookup) {
                t_.source.MoveNext();
                continue;
            }
            if (seek(*lookup)) {
                progress_.addToCounter(Counter::AnzAkt);
                unposted_ = Counter::AnzAkt;
                progress_.addToCounter(Counter::Summe);
                t_.target.BeginEdit();
                for (const RunRule& r : rules_) {
                    if (r.assigned()) {
                        if (r.rule.FeldAkt) TransformField(r, ctx_);
                    } else {
                        ApplyUnassignedRule(r, ctx_);
                    }
                }
                t_.target.PostRecord();
                unposted_.reset();
            } else {
                t_.target.BeginAppend();
                progress_.addToCounter(Counter::AnzHinzu);
                unposted_ = Counter::AnzHinzu;
                progress_.addToCounter(Counter::Summe);
                fillFields(rules_, ctx_);
                t_.target.PostRecord();
                unposted_.reset();
            }
        } else if (key) {
            // A key rule without source field: its empty field name is not found.
            t_.source.FieldNamed(key->rule.Zuordnung);
        }
        t_.source.MoveNext();
    }
    finishMode();
}

void ImportRun::check(ImportMode mode) {
    mode_ = mode;
    const bool looksUp = mode == ImportMode::AppendNew || mode == ImportMode::RenameExisting || mode == ImportMode::Update;
    openTables(looksUp);
}

bool ImportRun::run(ImportMode mode, const std::string& startValue, bool targetEmptied) {
    mode_ = mode;
    saveTried_ = false;
    keyErrors_ = 0;
    bool renamed = true;
    try {
        switch (mode) {
        case ImportMode::Append: RunAppend(); break;
        case ImportMode::AppendNew: RunAppendNew(targetEmptied); break;
        case ImportMode::RenameExisting:
            renamed = RunRenameExisting(startValue);
            if (renamed && !progress_.cancelled()) RunAppendNew(targetEmptied);
            break;
        case ImportMode::SelfIncrement: RunSelfIncrement(startValue); break;
        case ImportMode::Update: RunUpdate(); break;
        }
    } catch (const std::exception& e) {
        ReportEntry entry;
        entry.record = t_.source.Active() ? t_.source.RecordNumber() : 0;
        entry.reason = std::string("Der Lauf wurde hier beendet: ") + e.what();
        entry.counter = ReportCounter::None;
        report(std::move(entry));
        endFailedRun();
        throw;
    } catch (...) {
        endFailedRun();
        throw;
    }
    // A mode that ended early (cancelled, a key rule missing, a key type it cannot count) saves here.
    if (!saveTried_) {
        SaveTarget(t_.target, progress_);
        if (progress_.cancelled()) sayCancelled();
    }
    return renamed;
}

void ImportRun::endFailedRun() {
    // The record that failed was counted but is dropped: the counters claim only what is kept.
    if (unposted_ && t_.target.state() != Table::State::Browse) {
        progress_.setCount(*unposted_, progress_.count(*unposted_) - 1);
        progress_.setCount(Counter::Summe, progress_.count(Counter::Summe) - 1);
    }
    unposted_.reset();
    // A run that fails on a record keeps what was posted before it; a failed save says so itself.
    if (!saveTried_) {
        try {
            SavePostedRecords(t_.target, progress_);
        } catch (const std::exception&) {
        }
    }
}

}  // namespace kimport
