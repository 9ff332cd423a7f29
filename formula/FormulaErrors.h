// The failures of expressions and field formulas. Every one carries the German
// text the user sees; the import run catches FormulaError and counts a field error.
#pragma once

#include <stdexcept>
#include <string>

namespace kimport {

class FormulaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One of the three messages of the field formulas. partial() is what the
// routine would have returned: empty, or the number formula prepared up to
// the field whose text is no number.
class FieldFormulaError : public FormulaError {
public:
    FieldFormulaError(const std::string& message, std::string partial)
        : FormulaError(message), partial_(std::move(partial)) {}
    const std::string& partial() const { return partial_; }

private:
    std::string partial_;
};

// Reading the value of an expression that did not compile.
class ExpressionError : public FormulaError {
public:
    using FormulaError::FormulaError;
};

// A computation outside the floating-point range or domain.
class FloatingPointError : public FormulaError {
public:
    enum class Kind { InvalidOperation, ZeroDivide, Overflow };
    explicit FloatingPointError(Kind kind);
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

}  // namespace kimport
