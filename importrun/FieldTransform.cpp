#include "importrun/FieldTransform.h"

#include "common/Numbers.h"
#include "common/Text.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/ValueConversion.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

namespace kimport {

namespace {

class Transform {
public:
    Transform(const RunRule& r, TransformContext& c) : rule_(r), opt_(r.rule), ctx_(c) {}

    int target() const {
        if (!rule_.targetField)
            throw TableError(ctx_.target.TableName + ": Feld '" + rule_.feldname + "' nicht gefunden",
                             TableError::Kind::Usage);
        return *rule_.targetField;
    }
    // Several steps read the source value; the source does not move while one field is filled.
    const Value& source() const {
        if (!rule_.sourceField)
            throw TableError(ctx_.source.TableName + ": Feld '" + opt_.Zuordnung + "' nicht gefunden",
                             TableError::Kind::Usage);
        if (!sourceValue_) sourceValue_ = ctx_.source.GetValue(*rule_.sourceField);
        return *sourceValue_;
    }
    std::string sourceText() const { return valueToText(source(), ctx_.regional); }
    // Dates, times and logical values never read as a digit string: no need to format them.
    static bool neverDigits(const Value& v) {
        return v.kind == Value::Kind::Date || v.kind == Value::Kind::Time || v.kind == Value::Kind::DateTime ||
               v.kind == Value::Kind::Boolean || v.kind == Value::Kind::Null;
    }
    std::string targetText() const { return ctx_.target.AsString(target(), ctx_.regional); }

    // The last value written, as text before the field cut it to its size:
    // the left cut at overlength keeps the end of what was written.
    void remember(const Value& v) {
        if (opt_.Ueberl_abschneid_li) lastWritten_ = v;  // nothing else reads it
        noteOverlength(v);
    }
    // A text field cuts what is longer than its size; the last value written decides what is noted.
    void noteOverlength(const Value& v) {
        overlong_.reset();
        if (!ctx_.report || v.isNull()) return;
        const FieldDef& f = ctx_.target.FieldDefAt(target());
        if (f.type != FieldType::String) return;
        const auto size = static_cast<std::size_t>(f.size);
        if (v.kind == Value::Kind::Text) {
            if (v.text.size() > size && charCount(v.text) > size) overlong_ = v.text;
            return;
        }
        std::string text = valueToText(v, ctx_.regional);
        if (charCount(text) > size) overlong_ = std::move(text);
    }
    // A value the field cut, unless the rule asked for the cut: a note in the report, no error.
    void reportCut() {
        if (!overlong_ || opt_.Ueberl_abschneid_li) return;
        if (ctx_.report->full()) {
            ctx_.report->countOnly(ReportCounter::None);
            return;
        }
        ReportEntry e;
        e.record = ctx_.source.RecordNumber();
        e.field = rule_.feldname;
        e.sourceValue = firstChars(*overlong_, RunReport::kMaxValueChars);
        const std::string stored = targetText();
        e.triedValue = firstChars(stored, RunReport::kMaxValueChars);
        e.reason = "Der Wert ist länger als das Feld (" + std::to_string(ctx_.target.FieldDefAt(target()).size) +
                   " Zeichen) und wurde gekürzt gespeichert.";
        e.counter = ReportCounter::None;
        ctx_.report->add(std::move(e));
    }
    // Each write notes what it tried when it fails, for the report (no cost while writes succeed).
    void write(const Value& v) {
        try {
            ctx_.target.SetValue(target(), v, ctx_.regional);
        } catch (...) {
            noteTried(v);
            lastWriteFailed_ = true;
            throw;
        }
        lastWriteFailed_ = false;
        remember(v);
    }
    void writeText(const std::string& text) {
        try {
            ctx_.target.SetValue(target(), Value::ofText(text), ctx_.current);
        } catch (...) {
            noteTried(Value::ofText(text));
            lastWriteFailed_ = true;
            throw;
        }
        lastWriteFailed_ = false;
        remember(Value::ofText(text));
    }
    void writeNumber(double d) { write(Value::ofFloat(d)); }

    // A failure of a guarded step: counted and reported, then the next step runs.
    template <class Step>
    void guarded(Step&& step) {
        tried_.clear();
        guardedFieldStep(ctx_.progress, std::forward<Step>(step), [this](const char* reason) { report(reason); });
    }

    double sourceNumber() const { return convertValue(source(), Value::Kind::Float, ctx_.regional).number; }

    void run() {
        guarded([&] { write(source()); });
        if (opt_.Div && *opt_.Div != 0) guarded([&] { scaled(1.0 / *opt_.Div, *opt_.Div, true); });
        if (opt_.Mul && *opt_.Mul != 0) guarded([&] { scaled(*opt_.Mul, *opt_.Mul, false); });
        if (!opt_.Vorgabewert_alph.empty()) applyDefault(true);
        if (opt_.Vorgabewert_num) applyDefault(false);
        if (!opt_.Formel_alph.empty()) guarded([&] { write(Value::ofText(textFormula())); });
        if (!opt_.Formel_num.empty()) guarded([&] { writeNumber(numberFormula()); });
        // A value the field did not take was counted once: shaping what is not there counts nothing more.
        if (!lastWriteFailed_) {
            if (opt_.Ausrichtung_li) guarded([&] { alignLeft(); });
            if (opt_.Ausrichtung_re) guarded([&] { alignRight(); });
            guarded([&] { cutLeftAtOverlength(); });
            cutOut();
        }
        if (opt_.Runden) guarded([&] { round(); });
        reportCut();
    }

    void runUnassigned() {
        if (!opt_.Vorgabewert_alph.empty()) guarded([&] { writeText(opt_.Vorgabewert_alph); });
        if (opt_.Vorgabewert_num) guarded([&] { writeNumber(*opt_.Vorgabewert_num); });
        if (!opt_.Formel_alph.empty()) guarded([&] { write(Value::ofText(textFormula())); });
        if (!opt_.Formel_num.empty()) guarded([&] { writeNumber(numberFormula()); });
        reportCut();
    }

private:
    void noteTried(const Value& v) {
        if (!ctx_.report || ctx_.report->full()) return;
        try {
            tried_ = valueToText(v, ctx_.regional);
        } catch (const std::exception&) {
            tried_.clear();
        }
    }
    void report(const char* reason) {
        if (!ctx_.report) return;
        if (ctx_.report->full()) {
            ctx_.report->countOnly(ReportCounter::Errors);
            return;
        }
        ReportEntry e;
        e.record = ctx_.source.RecordNumber();
        e.field = rule_.feldname;
        if (rule_.sourceField) {
            try {
                e.sourceValue = sourceText();
            } catch (const std::exception&) {
            }
        }
        e.triedValue = tried_;
        e.reason = reason;
        ctx_.report->add(std::move(e));
    }

    void scaled(double factor, double by, bool divide) {
        const Value& s = source();
        if (s.isNull()) {
            write(Value::null());
            return;
        }
        double x = convertValue(s, Value::Kind::Float, ctx_.regional).number;
        writeNumber(divide ? x / by : x * factor);
    }

    std::string textFormula() {
        if (!ctx_.formulas) throw FormulaError("Formeln sind nicht verfügbar");
        return ctx_.formulas->evalText(opt_.Formel_alph, ctx_.source);
    }
    double numberFormula() {
        if (!ctx_.formulas) throw FormulaError("Formeln sind nicht verfügbar");
        return ctx_.formulas->evalNumber(opt_.Formel_num, ctx_.source);
    }

    // The default D written by one assignment of ApplyDefault.
    void writeDefault(bool textDefault) {
        guarded([&] {
            if (textDefault) writeText(opt_.Vorgabewert_alph);
            else writeNumber(*opt_.Vorgabewert_num);
        });
    }

    // <0, 0, >0 for S against C; a null S is smaller than anything. Not guarded:
    // a value that cannot be compared ends the run.
    int compare(const Value& s, const Value& c) const {
        if (s.isNull()) return -1;
        auto number = [&](const Value& v) { return comparableNumber(v); };
        if (s.kind == Value::Kind::Text && c.kind == Value::Kind::Text) return s.text.compare(c.text) < 0 ? -1 : s.text == c.text ? 0 : 1;
        double a = number(s), b = number(c);
        return a < b ? -1 : a > b ? 1 : 0;
    }
    double comparableNumber(const Value& v) const {
        switch (v.kind) {
        case Value::Kind::Text: return parseFloat(v.text, ctx_.regional.decimalSeparator);
        // Dates, times and logical values compare as the numbers they are written as.
        default: return convertValue(v, Value::Kind::Float, ctx_.regional).number;
        }
    }

    void flagBlocks(const Value& c, bool textDefault) {
        const Value& s = source();
        const bool eq = opt_.BedGleich, lt = opt_.BedKleiner, gt = opt_.BedGroesser;
        if (eq && compare(s, c) == 0) writeDefault(textDefault);
        if (lt && compare(s, c) < 0) writeDefault(textDefault);
        if (gt && compare(s, c) > 0) writeDefault(textDefault);
        if (eq && lt && compare(s, c) <= 0) writeDefault(textDefault);
        if (eq && gt && compare(s, c) >= 0) writeDefault(textDefault);
        if (lt && gt && compare(s, c) != 0) writeDefault(textDefault);
    }

    void applyDefault(bool textDefault) {
        const bool noComparison = opt_.Quellwert_alph.empty() && !opt_.Quellwert_num;
        if (noComparison && !isMemoType(rule_.type())) {
            // Reading Laenge is not guarded: only an unnamed type ("-") fails here.
            if (static_cast<std::int64_t>(charCount(sourceText())) > parseInteger(rule_.laenge)) writeDefault(textDefault);
        }
        if (textDefault && !opt_.Quellwert_alph.empty() && sourceText() == opt_.Quellwert_alph)
            writeDefault(textDefault);
        if (!textDefault && !opt_.Quellwert_alph.empty()) flagBlocks(Value::ofText(opt_.Quellwert_alph), textDefault);
        if (opt_.Quellwert_num) flagBlocks(Value::ofFloat(*opt_.Quellwert_num), textDefault);
    }

    void alignLeft() {
        const Value& s = source();
        if (neverDigits(s)) return;
        std::string trimmed = trim(valueToText(s, ctx_.regional));
        if (IsDigitString(trimmed)) write(Value::ofText(trimmed));
    }

    // Whether the value reads as a digit string, without formatting numbers to find out.
    bool readsAsDigits(const Value& v) const {
        switch (v.kind) {
        case Value::Kind::Integer: return v.integer >= 0;
        // Whole numbers below 10^15 are written without exponent and decimals.
        case Value::Kind::Float: return std::isfinite(v.number) && v.number >= 0 && v.number == std::floor(v.number) && v.number < 1e15;
        case Value::Kind::Text: return IsDigitString(v.text);
        default: return !neverDigits(v) && IsDigitString(valueToText(v, ctx_.regional));
        }
    }
    // Whole-number fields read their text back exactly: blanks in front change nothing.
    static bool isWholeNumberField(FieldType t) {
        return t == FieldType::SmallInt || t == FieldType::Integer || t == FieldType::Word || t == FieldType::AutoInc;
    }

    // A number field holding a whole number from 0 to below 10^15: its text is exactly its digits, and
    // that text, padded or not, reads back as the same number.
    bool holdsPlainWholeNumber() const {
        if (naturalKind(ctx_.target.FieldDefAt(target()).type) != Value::Kind::Float || ctx_.target.IsNull(target()))
            return false;
        const Value v = ctx_.target.GetValue(target());
        return v.kind == Value::Kind::Float && v.number >= 0 && v.number < 1e15 && v.number == std::floor(v.number);
    }

    void alignRight() {
        // A whole-number field holding a value reads it back without blanks: nothing to pad.
        // (Checked first because it is cheap; a missing field still fails below, as it always did.)
        if (rule_.sourceField && rule_.targetField && isWholeNumberField(ctx_.target.FieldDefAt(target()).type) &&
            !ctx_.target.IsNull(target()))
            return;
        // The same for a whole number in a field of decimals, unless the left cut reads what was written last.
        if (rule_.sourceField && rule_.targetField && !opt_.Ueberl_abschneid_li && holdsPlainWholeNumber()) return;
        const Value& s = source();
        if (!readsAsDigits(s) || !IsDigitString(rule_.laenge)) return;
        write(Value::ofText(PadLeft(trim(targetText()), static_cast<std::size_t>(std::stoul(rule_.laenge)))));
    }

    void cutLeftAtOverlength() {
        if (!opt_.Ueberl_abschneid_li || !IsDigitString(rule_.laenge)) return;
        // A missing field fails the step with the store's message.
        const int from = rule_.sourceField ? *rule_.sourceField : (source(), 0);
        if (ctx_.source.DataSize(from) <= ctx_.target.DataSize(target())) return;
        std::string written = lastWritten_ ? valueToText(*lastWritten_, ctx_.regional) : targetText();
        write(Value::ofText(CutLeft(trim(written), static_cast<std::size_t>(std::stoul(rule_.laenge)))));
    }

    void cutOut() {
        if (!opt_.StringAuswahlBeg || !opt_.StringAuswahlEnd || *opt_.StringAuswahlBeg == 0 || *opt_.StringAuswahlEnd == 0)
            return;
        guarded([&] { writeText(""); });
        const int from = *opt_.StringAuswahlBeg;
        int to = *opt_.StringAuswahlEnd;
        if (to < from) return;
        // Positions past the end add nothing: the loop need not go beyond the longest text a field holds.
        to = std::min(to, std::max(from, 0) + 65535);
        for (int pos = from; pos <= to; ++pos) {
            guarded([&] {
                std::string text = sourceText();
                if (pos < 1 || static_cast<std::size_t>(pos) > charCount(text)) return;
                writeText(targetText() + charSlice(text, static_cast<std::size_t>(pos - 1), 1));
            });
        }
    }

    void round() {
        Value v = ctx_.target.GetValue(target());
        if (v.isNull() || (v.kind == Value::Kind::Text && trim(v.text).empty()))
            throw ConversionError("'' ist keine Zahl");
        double x = convertValue(v, Value::Kind::Float, ctx_.regional).number;
        writeNumber(RoundDecimals(*opt_.Runden, x, ctx_.current));
    }

    const RunRule& rule_;
    const MappingRule& opt_;
    TransformContext& ctx_;
    std::optional<Value> lastWritten_;
    mutable std::optional<Value> sourceValue_;
    std::string tried_;
    std::optional<std::string> overlong_;  // the last value written, where the field cut it
    bool lastWriteFailed_ = false;
};

}  // namespace

void CountFieldError(ProgressSink& progress) { progress.addToCounter(Counter::AnzFehler); }

void TransformField(const RunRule& rule, TransformContext& ctx) { Transform(rule, ctx).run(); }

void ApplyUnassignedRule(const RunRule& rule, TransformContext& ctx) { Transform(rule, ctx).runUnassigned(); }

void fillField(const RunRule& rule, TransformContext& ctx) {
    if (rule.assigned())
        TransformField(rule, ctx);
    else
        ApplyUnassignedRule(rule, ctx);
}

void fillFields(const std::vector<RunRule>& rules, TransformContext& ctx) {
    for (const RunRule& r : rules) fillField(r, ctx);
}

}  // namespace kimport
