// The operation codes of compiled expressions and the names that go with them.
#pragma once

#include <optional>
#include <string_view>

namespace kimport {

// Code 2 is not used.
enum class OpCode : unsigned char {
    Variable = 0,
    Number = 1,
    Negate = 3,
    Add = 4,
    Subtract = 5,
    Multiply = 6,
    Divide = 7,
    WholePower = 8,
    GeneralPower = 9,
    Cos = 10,
    Sin = 11,
    Exp = 12,
    Ln = 13,
    Sqrt = 14,
    ArcTan = 15,
    Square = 16,
    Cube = 17,
    FourthPower = 18,
    Abs = 19,
    Max = 20,
    Min = 21,
    Heav = 22,
    Ph = 23,
    Rn = 24,
    Arg = 25,
    Sinh = 26,
    Cosh = 27,
    R = 28,
    Rm = 29,
    Sign = 30,
    Zero = 31,
};

inline int codeOf(OpCode code) {
    return static_cast<int>(code);
}

// The one-argument function names in the order the compiler tests them.
std::optional<OpCode> oneArgumentFunction(std::string_view upperName);
// The two-argument function names (MIN, MAX, RN, ARG, R, RM).
std::optional<OpCode> twoArgumentFunction(std::string_view upperName);
// A short name for dumps: the function name, or ADD, NEG, SQR, IPOW, POW, ...
std::string_view opName(OpCode code);
// How many operands the operation reads (0 for variables and numbers).
int operandCount(OpCode code);

// The variables every parser has, as their names sort.
constexpr std::string_view kVariableNames = "ABCDETXY";
// Index of a variable name in kVariableNames.
std::optional<int> variableIndex(std::string_view upperName);

}  // namespace kimport
