// The expression parser of the main window (Parser1): setting Expression
// compiles the text into a list of operations; reading Value runs them.
//
// Compilation failures are shown as a warning ("Syntax Error!", "Too many
// nestings!", "Term too long, sorry!") when the parser has a prompter, and
// leave no compiled form; Value then throws ExpressionError. Computations
// outside the floating-point range or domain throw FloatingPointError. Both
// are FormulaErrors, which the import run counts as field errors.
//
// Functions: COS SIN EXP LN ARCTAN SQRT ABS HEAV SIGN ZERO PH SINH COSH of one
// argument, MIN MAX RN ARG R RM of two. RN(n,k) and RM(a,b) depend on a
// random draw and a factor that nothing in the program sets: RN gives 1 when
// k rounds to the draw, which stays 0, and 0 otherwise; RM gives a.
#pragma once

#include "common/Prompter.h"
#include "formula/P8Build.h"

#include <array>
#include <string>
#include <string_view>

namespace kimport {

class TParser {
public:
    // Without a prompter compilation failures are only kept in ErrorMessage().
    explicit TParser(Prompter* prompter = nullptr) : prompter_(prompter) {}

    const std::string& Expression() const { return expression_; }
    void SetExpression(std::string_view text);

    // Runs the compiled operations from the current variable values.
    double Value();

    // Set when the last compilation failed.
    bool Error() const { return error_ != CompileError::None; }
    CompileError CompileFailure() const { return error_; }
    std::string ErrorMessage() const { return compileMessage(error_); }

    // The cell of variable A, B, C, D, E, T, X or Y; every cell starts at 0.
    double& Variable(char name);

    // The compiled operations in execution order (empty after a failure).
    const std::vector<Operation>& Operations() const { return program_.operations; }

private:
    Prompter* prompter_;
    std::string expression_;
    CompileError error_ = CompileError::None;
    Program program_;
    std::array<double, kVariableCells> variables_{};
};

}  // namespace kimport
