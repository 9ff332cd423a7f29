#include "formula/FormelPreview.h"

#include "common/Numbers.h"
#include "common/Text.h"
#include "formula/Formel.h"
#include "formula/TParser.h"
#include "tablestore/FieldType.h"

namespace kimport {

std::string previewNumber(double value, const FormatSettings& formats) {
    std::string text = shortestDecimal(value);
    for (char& c : text)
        if (c == '.') c = formats.decimalSeparator;
    return text;
}

std::string previewCaption(std::string_view feldname) {
    return "Vorschau auf Tabellenfeld \"" + std::string(feldname) + "\"";
}

std::optional<std::string> FormulaPreview(FormulaKind kind, std::string_view formula, const FormulaTarget& target,
                                          const Table& source, const FormatSettings& formats, TParser& parser,
                                          Prompter& prompter) {
    if (kind == FormulaKind::Number) {
        const std::string prepared = PrepareNumberFormula(formula, source, formats, prompter);
        parser.SetExpression(prepared);
        const double value = parser.Value();
        return "Expression: \t" + prepared + "\r\nWert:\t\t" + previewNumber(value, formats);
    }
    const std::string result = EvalTextFormula(formula, source, formats, prompter);
    if (result.empty()) return std::nullopt;
    if (!isMemoType(fieldTypeOfCode(target.typ))) {
        const auto length = parseInteger(target.laenge);
        if (length >= 0 && charCount(result) > static_cast<std::size_t>(length)) {
            return "\"" + firstChars(result, static_cast<std::size_t>(length)) +
                   "\"\r\n\r\n* String wird abgeschnitten, weil das Zielfeld nur " + std::to_string(length) +
                   " Zeichen aufnehmen kann *";
        }
    }
    return "\"" + result + "\"";
}

}  // namespace kimport
