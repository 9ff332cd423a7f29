#include "importrun/FieldTransform.h"

#include "common/Numbers.h"
#include "common/Text.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/ValueConversion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>

namespace kimport {

namespace {

// Carries out the steps of one rule for one field. The steps write a value into the target and read it back
// for the next step, as rules have always been carried out, and results depend on that: a text field cuts what
// is too long, a number field reads a text as its number. Where the long way cannot change what is stored,
// counted or reported, a step takes a shortcut; each rests on one of these invariants (with
// TransformContext::takeShortcuts false every step takes the long way, and a test compares the two over a
// spread of field types, values and options):
//  1. The source record neither moves nor changes while one field is filled: its value is read once.
//  2. Dates, times, time stamps, logical values and empty values never read as a digit string: date and time
//     formats put a character that is no digit between their parts, logical values read True or False, an
//     empty value reads as nothing. Left alignment need not format them.
//  3. Only the left cut at overlength reads the last value written: it is kept for that rule alone.
//  4. A text has no more characters than bytes, and a text value reads as itself: a text whose bytes fit the
//     field is not counted character by character to see whether the field cut it.
//  5. Which values read as a digit string, without formatting them: an integer when it is not negative; a
//     text when it is one; a float when it is whole, not negative and below 10^15 (written with 15
//     significant digits: no exponent, no decimals), and never when it is negative or its fraction shows
//     within those 15 digits. Only a float that close to a whole number is formatted to find out.
//  6. Right alignment writes the field's own text padded with blanks; a field that reads that text back as
//     the number it holds gains nothing. So it is for a whole-number field (short, long, word,
//     auto-increment) holding a value, and for a field of decimals holding a whole number from 0 to below
//     10^15, whose text is its digits (5). The padded text would become the last value written, which the
//     left cut reads (3): for a whole-number field that cut keeps the end of the same digits, and a number
//     has no blanks to trim; for a field of decimals the shortcut is taken only without that rule.
//  7. Positions outside the source text add nothing to a cut-out: only those inside it are visited. A source
//     that cannot be read fails alike at every position, counted for as many as a text holds in a field.
class Transform {
public:
    Transform(const RunRule& r, TransformContext& c) : rule_(r), opt_(r.rule), ctx_(c) {}

    int target() const {
        if (!rule_.targetField)
            throw TableError(ctx_.target.TableName + ": Feld '" + rule_.feldname + "' nicht gefunden",
                             TableError::Kind::Usage);
        return *rule_.targetField;
    }
    // Several steps read the source value (invariant 1: once).
    const Value& source() const {
        if (!rule_.sourceField)
            throw TableError(ctx_.source.TableName + ": Feld '" + opt_.Zuordnung + "' nicht gefunden",
                             TableError::Kind::Usage);
        if (!sourceValue_ || !ctx_.takeShortcuts) sourceValue_ = ctx_.source.GetValue(*rule_.sourceField);
        return *sourceValue_;
    }
    std::string sourceText() const { return valueToText(source(), ctx_.regional); }
    // Invariant 2.
    static bool neverDigits(const Value& v) {
        return v.kind == Value::Kind::Date || v.kind == Value::Kind::Time || v.kind == Value::Kind::DateTime ||
               v.kind == Value::Kind::Boolean || v.kind == Value::Kind::Null;
    }
    std::string targetText() const { return ctx_.target.AsString(target(), ctx_.regional); }

    // The last value written, as text before the field cut it to its size:
    // the left cut at overlength keeps the end of what was written.
    void remember(const Value& v) {
        if (opt_.Ueberl_abschneid_li || !ctx_.takeShortcuts) lastWritten_ = v;  // invariant 3
        noteOverlength(v);
    }
    // A text field cuts what is longer than its size; the last value written decides what is noted.
    void noteOverlength(const Value& v) {
        overlong_.reset();
        if (!ctx_.report || v.isNull()) return;
        const FieldDef& f = ctx_.target.FieldDefAt(target());
        if (f.type != FieldType::String) return;
        const auto size = static_cast<std::size_t>(f.size);
        if (v.kind == Value::Kind::Text && ctx_.takeShortcuts) {  // invariant 4
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
        if (ctx_.takeShortcuts && neverDigits(s)) return;  // invariant 2
        std::string trimmed = trim(valueToText(s, ctx_.regional));
        if (IsDigitString(trimmed)) write(Value::ofText(trimmed));
    }

    // Whether the value reads as a digit string, formatting it only where invariant 5 leaves it open.
    bool readsAsDigits(const Value& v) const {
        if (!ctx_.takeShortcuts) return IsDigitString(valueToText(v, ctx_.regional));
        switch (v.kind) {
        case Value::Kind::Integer: return v.integer >= 0;
        case Value::Kind::Float: {
            const double x = v.number;
            if (!std::isfinite(x) || x < 0) return false;  // -0 is written as 0
            if (x == std::floor(x)) return x < 1e15;
            // A fraction above a ten-billionth of the number shows within 15 significant digits; a smaller
            // one may be rounded away, and then the text decides.
            if (std::fabs(x - std::nearbyint(x)) > x * 1e-10) return false;
            return IsDigitString(valueToText(v, ctx_.regional));
        }
        case Value::Kind::Text: return IsDigitString(v.text);
        default: return !neverDigits(v) && IsDigitString(valueToText(v, ctx_.regional));
        }
    }
    // Whole-number fields read their text back exactly: blanks in front change nothing.
    static bool isWholeNumberField(FieldType t) {
        return t == FieldType::SmallInt || t == FieldType::Integer || t == FieldType::Word || t == FieldType::AutoInc;
    }

    // A number field holding a whole number from 0 to below 10^15 (invariant 6).
    bool holdsPlainWholeNumber() const {
        if (naturalKind(ctx_.target.FieldDefAt(target()).type) != Value::Kind::Float || ctx_.target.IsNull(target()))
            return false;
        const Value v = ctx_.target.GetValue(target());
        return v.kind == Value::Kind::Float && v.number >= 0 && v.number < 1e15 && v.number == std::floor(v.number);
    }

    void alignRight() {
        // Invariant 6: nothing to pad. (Checked first because it is cheap; a missing field still fails below.)
        if (ctx_.takeShortcuts && rule_.sourceField && rule_.targetField) {
            if (isWholeNumberField(ctx_.target.FieldDefAt(target()).type) && !ctx_.target.IsNull(target())) return;
            if (!opt_.Ueberl_abschneid_li && holdsPlainWholeNumber()) return;
        }
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
        const int to = *opt_.StringAuswahlEnd;
        if (to < from) return;
        std::int64_t first = from, last = to;
        if (ctx_.takeShortcuts) {  // invariant 7
            std::optional<std::size_t> length;
            try {
                length = charCount(sourceText());
            } catch (const TableError&) {
            }
            if (length) {
                first = std::max(first, std::int64_t{1});
                last = std::min(last, static_cast<std::int64_t>(*length));
            } else {
                last = std::min(last, std::max(from, 0) + std::int64_t{65535});
            }
        }
        for (std::int64_t pos = first; pos <= last; ++pos) {
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
