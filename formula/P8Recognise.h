// Recognising an expression: the text normalised (no spaces, a-z upper case)
// and read into the tree of the first form that fits each part.
//
// Which texts are accepted is decided by the operand rules of the four
// operators (a right operand is never a bare unary minus; "/" takes only a
// variable, number, bracket, function or power on its right), by the forms a
// unary minus and a power accept, and by the number syntax. Those rules fix
// one split per operator: the first "+" (so "A+B+C" is A+(B+C)), the last "-"
// ((A-B)-C), the first "*" (A*(B*C)), the last "/" ((A/B)/C) and the last "^",
// whose base may itself only be a power with exponent 2, 3 or 4. This reader
// finds exactly those trees in one pass with explicit stacks, so its time is
// linear in the text and bracket depth cannot exhaust the call stack.
#pragma once

#include "formula/ExprTree.h"

#include <optional>
#include <string>
#include <string_view>

namespace kimport {

// Spaces removed, letters a-z in upper case, other characters unchanged.
std::string normaliseExpression(std::string_view text);

// A number as the expressions write it: optional sign, digits with an optional
// "." (at least one digit), optional exponent "E" with optional sign and
// digits. A value outside the floating-point range is no number. Upper case only.
std::optional<double> readNumberLiteral(std::string_view text);

// The tree of a normalised text; empty for a syntax error.
std::optional<ExprTree> recogniseExpression(std::string_view normalised);

}  // namespace kimport
