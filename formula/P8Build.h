// Compiling an expression: recognising it, then building the list of
// operations that computes it, level by level from the deepest up.
#pragma once

#include "formula/ExprTree.h"
#include "formula/OpCode.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace kimport {

// The root is level 0, its operands level 1 and so on; variables and numbers
// count as terms of their level, and so does the exponent of a whole-number
// or general power. The exponent of x^2, x^3, x^4 is part of the operation.
constexpr int kMaxNesting = 20;
constexpr int kMaxTermsPerLevel = 50;

struct Operation {
    OpCode code;
    std::uint32_t first;  // operand cells
    std::uint32_t second;
    std::uint32_t result;  // the cell the operation writes
};

// Cells 0 to 7 are the variables in the order of kVariableNames; the
// constants and the results of the operations follow.
constexpr std::uint32_t kVariableCells = 8;

struct Program {
    std::vector<Operation> operations;  // in execution order; the last gives the value
    std::vector<double> cells;
};

enum class CompileError { None, Syntax, Nesting, TermTooLong };

// "Syntax Error!", "Too many nestings!", "Term too long, sorry!"; empty for None.
const char* compileMessage(CompileError error);

struct CompileResult {
    CompileError error = CompileError::None;
    Program program;  // empty unless error is None
};

// Normalises, recognises and builds. Never throws for any text.
CompileResult compileExpression(std::string_view text);
// Builds the operations of a recognised tree, checking the nesting and level limits.
CompileResult buildProgram(const ExprTree& tree);

}  // namespace kimport
