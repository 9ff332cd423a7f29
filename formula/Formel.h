// The field formulas of a mapping rule, applied to the current record of the
// source table (the cursor's current record: the caller moves it).
//
// Text formula (Formel_alph): "literals" and #field references read from left
// to right, everything else skipped; e.g. "Sehr geehrter " + #Anrede + " " + #Name.
// A reference ends before a blank, a double quote, "+" or "#".
//
// Number formula (Formel_num): an expression for TParser in which #field
// references stand for the fields' values. A reference ends before a blank,
// "(", ")", "*", "+", "-", "/" or "^". Number fields (type codes 2, 3, 4, 6,
// 7, 14) give their text, other fields their text read with TextToNumber;
// finally every "," becomes ".", so decimal commas reach the parser as points.
//
// Failures are the three messages below. The ...OrThrow routines throw them as
// FieldFormulaError (the import run counts it as a field error); the others
// show them as error boxes and return the empty text, or for an unreadable
// number the formula prepared up to that field.
#pragma once

#include "common/FormatSettings.h"
#include "common/Prompter.h"
#include "formula/FormulaErrors.h"

#include <string>
#include <string_view>

namespace kimport {

class Table;
class TParser;

constexpr const char* kNoFormulaMessage = "Es wurde keine Formel eingegeben";
// "Das Feld \"Name\" ist nicht in der Tabelle enthalten"
std::string missingFieldMessage(std::string_view name);
// The message for a field whose text is no number.
std::string notNumericMessage(std::string_view name, std::string_view text);

// formats: the process-wide (current) number and date formats of "as text" values.
std::string EvalTextFormulaOrThrow(std::string_view formula, const Table& source, const FormatSettings& formats);
std::string EvalTextFormula(std::string_view formula, const Table& source, const FormatSettings& formats,
                            Prompter& prompter);

std::string PrepareNumberFormulaOrThrow(std::string_view formula, const Table& source, const FormatSettings& formats);
std::string PrepareNumberFormula(std::string_view formula, const Table& source, const FormatSettings& formats,
                                 Prompter& prompter);

// Prepares the number formula, gives it to the parser and reads its value.
// Throws FieldFormulaError, ExpressionError or FloatingPointError.
double EvalNumberFormula(std::string_view formula, const Table& source, const FormatSettings& formats, TParser& parser);

}  // namespace kimport
