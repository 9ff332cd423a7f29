// The preview of the formula editor: what a rule's formula gives for the
// current source record, as the preview memo shows it.
#pragma once

#include "common/FormatSettings.h"
#include "common/Prompter.h"

#include <optional>
#include <string>
#include <string_view>

namespace kimport {

class Table;
class TParser;

// Which formula column of the rule the editor's memo is bound to.
enum class FormulaKind { Text /* Formel_alph */, Number /* Formel_num */ };

// What the preview needs of the rule besides its formula.
struct FormulaTarget {
    std::string feldname;  // Feldname
    int typ = 1;           // Typ, the target's type code
    std::string laenge;    // Laenge as text ("-" for memos)
};

// Number: "Expression: \t<prepared>\r\nWert:\t\t<value>"; the formula messages
// and the parser's warning go to the prompter, and reading the value throws
// what the parser throws. Text: the result in double quotes, cut to Laenge with
// a note when the target holds fewer characters; nothing for an empty result.
// A Laenge that is no number throws ConversionError (for types other than
// memos 16 and 18).
std::optional<std::string> FormulaPreview(FormulaKind kind, std::string_view formula, const FormulaTarget& target,
                                          const Table& source, const FormatSettings& formats, TParser& parser,
                                          Prompter& prompter);

// The value as the preview writes it: shortest round-trip digits, the
// process-wide decimal separator.
std::string previewNumber(double value, const FormatSettings& formats);

// Caption of the window in preview state: Vorschau auf Tabellenfeld "Name".
std::string previewCaption(std::string_view feldname);

}  // namespace kimport
