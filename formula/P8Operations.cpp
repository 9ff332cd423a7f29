#include "formula/P8Operations.h"

#include "formula/FormulaErrors.h"

#include <cmath>
#include <numbers>

namespace kimport {

FloatingPointError::FloatingPointError(Kind kind)
    : FormulaError(kind == Kind::InvalidOperation ? "Ungültige Gleitkommaoperation"
                   : kind == Kind::ZeroDivide     ? "Gleitkommadivision durch Null"
                                                  : "Gleitkommaüberlauf"),
      kind_(kind) {}

namespace {

using Ext = long double;

[[noreturn]] void fail(FloatingPointError::Kind kind) {
    throw FloatingPointError(kind);
}

double store(Ext value) {
    double d = static_cast<double>(value);
    if (std::isnan(d)) fail(FloatingPointError::Kind::InvalidOperation);
    if (std::isinf(d)) fail(FloatingPointError::Kind::Overflow);
    return d;
}

constexpr Ext kPi = std::numbers::pi;  // the double nearest to pi, as the expressions use it

// RM adds its second operand times this factor; nothing in the program sets it.
constexpr Ext kRmFactor = 0;
// The draw RN compares with; nothing in the program draws, so it stays 0.
constexpr Ext kRnDraw = 0;

thread_local std::uint64_t multiplications = 0;

Ext wholePower(Ext x, double exponent) {
    const double n = std::fabs(std::trunc(exponent));
    if (n == 0) return 1;
    Ext p = x;
    // Repeated multiplication as written, but a huge exponent must not loop for ages.
    if (n <= kMostRepeatedMultiplications) {
        int i = 1;
        for (; i < static_cast<int>(n); ++i) p *= x;
        multiplications += static_cast<std::uint64_t>(i - 1);
    } else {
        p = std::pow(x, static_cast<Ext>(n));
        ++multiplications;
    }
    if (std::isinf(p)) fail(FloatingPointError::Kind::Overflow);
    if (exponent < 0) {
        if (p == 0) fail(FloatingPointError::Kind::ZeroDivide);
        p = 1 / p;
    }
    return p;
}

Ext logarithm(Ext x) {
    if (x < 0 || std::isnan(x)) fail(FloatingPointError::Kind::InvalidOperation);
    if (x == 0) fail(FloatingPointError::Kind::ZeroDivide);
    return std::log(x);
}

Ext compute(OpCode code, Ext x, Ext y) {
    switch (code) {
        case OpCode::Variable:
        case OpCode::Number:
            return x;
        case OpCode::Negate:
            return -x;
        case OpCode::Add:
            return x + y;
        case OpCode::Subtract:
            return x - y;
        case OpCode::Multiply:
            return x * y;
        case OpCode::Divide:
            if (y == 0)
                fail(x == 0 || std::isnan(x) ? FloatingPointError::Kind::InvalidOperation
                                             : FloatingPointError::Kind::ZeroDivide);
            return x / y;
        case OpCode::WholePower:
            return wholePower(x, static_cast<double>(y));
        case OpCode::GeneralPower:
            return std::exp(y * logarithm(x));
        case OpCode::Cos:
            return std::cos(x);
        case OpCode::Sin:
            return std::sin(x);
        case OpCode::Exp:
            return std::exp(x);
        case OpCode::Ln:
            return logarithm(x);
        case OpCode::Sqrt:
            if (x < 0) fail(FloatingPointError::Kind::InvalidOperation);
            return std::sqrt(x);
        case OpCode::ArcTan:
            return std::atan(x);
        case OpCode::Square:
            return x * x;
        case OpCode::Cube:
            return x * (x * x);
        case OpCode::FourthPower:
            return (x * x) * (x * x);
        case OpCode::Abs:
            return std::fabs(x);
        case OpCode::Max:
            return x >= y ? x : y;
        case OpCode::Min:
            return x >= y ? y : x;
        case OpCode::Heav:
            return x >= 0 ? 1 : 0;
        case OpCode::Ph: {
            Ext t = x / (2 * kPi);
            return (t - std::nearbyint(t)) * (2 * kPi);  // halves to the even neighbour
        }
        case OpCode::Rn:
            return std::nearbyint(y) == kRnDraw ? 1 : 0;
        case OpCode::Arg:
            if (x > 0) return std::atan(y / x);
            if (x < 0) return std::atan(y / x) + kPi;
            return y > 0 ? kPi / 2 : -kPi / 2;
        case OpCode::Sinh:
            return std::sinh(x);  // the difference of two exponentials loses every digit near 0
        case OpCode::Cosh:
            return std::cosh(x);
        case OpCode::R:
            return std::sqrt(x * x + y * y);
        case OpCode::Rm:
            return x + y * kRmFactor;
        case OpCode::Sign:
            return x > 0 ? 1 : x == 0 ? 0 : -1;
        case OpCode::Zero:
            return x == 0 ? 0 : 1;
    }
    fail(FloatingPointError::Kind::InvalidOperation);
}

}  // namespace

std::uint64_t wholePowerMultiplications() { return multiplications; }

double applyOperation(OpCode code, double x, double y) {
    return store(compute(code, x, y));
}

void runOperations(const std::vector<Operation>& operations, double* cells) {
    for (const Operation& op : operations) {
        if (op.code == OpCode::Variable || op.code == OpCode::Number) continue;
        cells[op.result] = store(compute(op.code, cells[op.first], cells[op.second]));
    }
}

}  // namespace kimport
