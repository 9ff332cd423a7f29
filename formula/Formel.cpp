#include "formula/Formel.h"

#include "common/Numbers.h"
#include "common/Text.h"
#include "formula/TParser.h"
#include "tablestore/Table.h"

namespace kimport {

namespace {

bool isNumberType(FieldType type) {
    switch (type) {
        case FieldType::SmallInt:
        case FieldType::Integer:
        case FieldType::Word:
        case FieldType::Float:
        case FieldType::Currency:
        case FieldType::AutoInc:
            return true;
        default:
            return false;
    }
}

int fieldOf(const Table& source, const std::string& name) {
    if (auto index = source.LookupField(name)) return *index;
    throw FieldFormulaError(missingFieldMessage(name), {});
}

// Start of the last character: a literal or reference starting there is not read.
std::size_t lastCharacterStart(std::string_view text) {
    std::size_t at = text.size();
    while (at > 0) {
        --at;
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) break;
    }
    return at;
}

std::string trimmedFormula(std::string_view formula) {
    std::string f = trim(formula);
    if (f.empty()) throw FieldFormulaError(kNoFormulaMessage, {});
    return f;
}

// Where the field reference starting with the "#" at `at` ends. Field names may hold "#" (a field
// "Nr#"): the longest name that exists is taken, and "#" ends a name only where no field has the
// longer name, so that #PLZ#Ort still joins two fields.
std::size_t referenceEnd(const std::string& f, std::size_t at, const Table& source) {
    std::size_t end = f.find_first_of(" \"+", at + 1);
    if (end == std::string::npos) end = f.size();
    for (std::size_t candidate = end; candidate > at + 1;) {
        if (source.LookupField(trim(std::string_view(f).substr(at + 1, candidate - at - 1)))) return candidate;
        std::size_t hash = f.rfind('#', candidate - 1);
        if (hash == std::string::npos || hash <= at) break;
        candidate = hash;
    }
    std::size_t hash = f.find('#', at + 1);
    return hash != std::string::npos && hash < end ? hash : end;
}

// A number as the formula reads it: the shortest text that reads back to the same double, and a
// negative number in brackets, so that #Neg^2 squares the number and -#Neg negates it.
// It is written with the regional decimal separator, as field texts are, until the formula is complete.
std::string numberInFormula(double value, const FormatSettings& formats) {
    std::string text = shortestDecimal(value);
    for (char& c : text)
        if (c == '.') c = formats.decimalSeparator;
    return value < 0 ? "(" + text + ")" : text;
}

}  // namespace

std::string missingFieldMessage(std::string_view name) {
    return "Das Feld \"" + std::string(name) + "\" ist nicht in der Tabelle enthalten";
}

std::string notNumericMessage(std::string_view name, std::string_view text) {
    return "Das Tabellenfeld:\t\"" + std::string(name) + "\"\r\nmit dem Inhalt:\t\t\"" + std::string(text) +
           "\"\r\nkann zu keinem gültigen numerischen Wert konvertiert werden.\r\n\r\nDie Formel kann nicht "
           "bearbeitet werden.";
}

std::string EvalTextFormulaOrThrow(std::string_view formula, const Table& source, const FormatSettings& formats) {
    const std::string f = trimmedFormula(formula);
    const std::size_t stop = lastCharacterStart(f);
    std::string result;
    std::size_t i = 0;
    while (i < stop) {
        if (f[i] == '"') {
            std::size_t close = f.find('"', i + 1);
            if (close == std::string::npos) {
                result.append(f, i + 1);
                break;
            }
            result.append(f, i + 1, close - i - 1);
            i = close + 1;
        } else if (f[i] == '#') {
            std::size_t end = referenceEnd(f, i, source);
            const std::string name = trim(std::string_view(f).substr(i + 1, end - i - 1));
            result += source.AsString(fieldOf(source, name), formats);
            i = end;
        } else {
            ++i;
        }
    }
    return result;
}

std::string EvalTextFormula(std::string_view formula, const Table& source, const FormatSettings& formats,
                            Prompter& prompter) {
    try {
        return EvalTextFormulaOrThrow(formula, source, formats);
    } catch (const FieldFormulaError& e) {
        prompter.error(e.what());
        return e.partial();
    }
}

std::string PrepareNumberFormulaOrThrow(std::string_view formula, const Table& source, const FormatSettings& formats) {
    const std::string f = trimmedFormula(formula);
    std::string out;
    std::size_t i = 0;
    while (i < f.size()) {
        if (f[i] != '#') {
            out += f[i++];
            continue;
        }
        std::size_t end = f.find_first_of(" ()*+-/^", i + 1);
        if (end == std::string::npos) end = f.size();
        const std::string name = trim(std::string_view(f).substr(i + 1, end - i - 1));
        const int field = fieldOf(source, name);
        if (isNumberType(source.FieldDefAt(field).type)) {
            if (!source.IsNull(field)) out += numberInFormula(source.AsFloat(field), formats);
        } else {
            const std::string text = source.AsString(field, formats);
            double value = 0;
            try {
                value = TextToNumber(text, formats);
            } catch (const ConversionError&) {
                throw FieldFormulaError(notNumericMessage(name, text), out);
            }
            out += numberInFormula(value, formats);
        }
        i = end;
    }
    for (char& c : out)
        if (c == ',') c = '.';
    return out;
}

std::string PrepareNumberFormula(std::string_view formula, const Table& source, const FormatSettings& formats,
                                 Prompter& prompter) {
    try {
        return PrepareNumberFormulaOrThrow(formula, source, formats);
    } catch (const FieldFormulaError& e) {
        prompter.error(e.what());
        return e.partial();
    }
}

double EvalNumberFormula(std::string_view formula, const Table& source, const FormatSettings& formats,
                         TParser& parser) {
    parser.SetExpression(PrepareNumberFormulaOrThrow(formula, source, formats));
    return parser.Value();
}

}  // namespace kimport
