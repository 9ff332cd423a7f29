// What compiled expressions compute: the examples of the parser, every
// operation code, floating-point failures reaching the caller, the order of
// the operations and the parser's state across compilations.
#include "support/ScriptedPrompter.h"
#include "formula/FormulaErrors.h"
#include "formula/P8Operations.h"
#include "formula/TParser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace kimport;

namespace {

double valueOf(std::string_view text) {
    TParser parser;
    parser.SetExpression(text);
    EXPECT_FALSE(parser.Error()) << text << ": " << parser.ErrorMessage();
    return parser.Value();
}

FloatingPointError::Kind failureOf(std::string_view text) {
    TParser parser;
    parser.SetExpression(text);
    EXPECT_FALSE(parser.Error()) << text;
    try {
        double v = parser.Value();
        ADD_FAILURE() << text << " gave " << v;
    } catch (const FloatingPointError& e) {
        return e.kind();
    }
    return FloatingPointError::Kind::InvalidOperation;
}

std::vector<int> codes(std::string_view text) {
    TParser parser;
    parser.SetExpression(text);
    std::vector<int> out;
    for (const Operation& op : parser.Operations()) out.push_back(codeOf(op.code));
    return out;
}

struct Prompts {
    ScriptedPrompter prompter;
    Prompts() {
        prompter.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
    }
};

}  // namespace

TEST(ParserValues, ArithmeticAndPowers) {
    EXPECT_EQ(valueOf("2 + 3 * 4"), 14);
    EXPECT_EQ(valueOf("(2+3)*4"), 20);
    EXPECT_EQ(valueOf("10-4-3"), 3);
    EXPECT_EQ(valueOf("100/10/5"), 2);
    EXPECT_EQ(valueOf("-2^2"), -4);
    EXPECT_EQ(valueOf("(-2)^2"), 4);
    EXPECT_EQ(valueOf("2^10"), 1024);
    EXPECT_EQ(valueOf("2^-1"), 0.5);
    EXPECT_EQ(valueOf("5^0"), 1);
    EXPECT_EQ(valueOf("0^0"), 1);
    EXPECT_EQ(valueOf("(-2)^5"), -32);
    EXPECT_EQ(valueOf("(-2)^-3"), -0.125);
    EXPECT_EQ(valueOf("2^2^3"), 64);  // (2^2)^3
    EXPECT_DOUBLE_EQ(valueOf("2^0.5"), std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(valueOf("8^(1/3)"), 2.0);
    EXPECT_EQ(failureOf("(-8)^0.5"), FloatingPointError::Kind::InvalidOperation);
    EXPECT_EQ(valueOf("((7))"), 7);
    EXPECT_EQ(valueOf("pi*2"), 6.283185307179586);
    EXPECT_EQ(valueOf("1.5*2"), 3);
    EXPECT_EQ(valueOf("2*-3"), -6);
    EXPECT_EQ(valueOf("x+1"), 1);  // no variable is ever set
    EXPECT_EQ(valueOf("10*1.16"), 11.6);
}

TEST(ParserValues, Functions) {
    EXPECT_EQ(valueOf("sqrt(16)+abs(-3)"), 7);
    EXPECT_EQ(valueOf("max(2,5)"), 5);
    EXPECT_EQ(valueOf("min(2,5)"), 2);
    EXPECT_EQ(valueOf("sign(-7)"), -1);
    EXPECT_EQ(valueOf("zero(0)"), 0);
    EXPECT_EQ(valueOf("heav(0)"), 1);
    // SIN and COS are tested first, yet SINH and COSH are their own functions.
    EXPECT_EQ(valueOf("sinh(0)"), 0);
    EXPECT_EQ(valueOf("cosh(0)"), 1);
    EXPECT_DOUBLE_EQ(valueOf("sinh(1)"), std::sinh(1.0));
    EXPECT_DOUBLE_EQ(valueOf("cosh(1)"), std::cosh(1.0));
    EXPECT_DOUBLE_EQ(valueOf("sin(1)"), std::sin(1.0));
    EXPECT_DOUBLE_EQ(valueOf("cos(1)"), std::cos(1.0));
    EXPECT_DOUBLE_EQ(valueOf("exp(1)"), std::numbers::e);
    EXPECT_DOUBLE_EQ(valueOf("ln(exp(2))"), 2);
    EXPECT_DOUBLE_EQ(valueOf("arctan(1)*4"), std::numbers::pi);
    EXPECT_EQ(valueOf("r(3,4)"), 5);
    EXPECT_DOUBLE_EQ(valueOf("sin(pi/6)^2+cos(pi/6)^2"), 1);
}

TEST(ParserValues, EveryOperationCode) {
    using C = OpCode;
    const double pi = std::numbers::pi;
    EXPECT_EQ(applyOperation(C::Negate, 2, 0), -2);
    EXPECT_EQ(applyOperation(C::Add, 2, 3), 5);
    EXPECT_EQ(applyOperation(C::Subtract, 2, 3), -1);
    EXPECT_EQ(applyOperation(C::Multiply, 2, 3), 6);
    EXPECT_EQ(applyOperation(C::Divide, 3, 2), 1.5);
    // Code 8: the exponent truncated and taken without sign, reciprocal for a negative one.
    EXPECT_EQ(applyOperation(C::WholePower, 3, 4.9), 81);
    EXPECT_EQ(applyOperation(C::WholePower, 2, -3), 0.125);
    EXPECT_EQ(applyOperation(C::WholePower, 0, 0), 1);
    EXPECT_EQ(applyOperation(C::WholePower, -3, 3), -27);
    EXPECT_DOUBLE_EQ(applyOperation(C::GeneralPower, 9, 0.5), 3);
    EXPECT_EQ(applyOperation(C::Square, -3, 0), 9);
    EXPECT_EQ(applyOperation(C::Cube, -3, 0), -27);
    EXPECT_EQ(applyOperation(C::FourthPower, -3, 0), 81);
    EXPECT_EQ(applyOperation(C::Abs, -2.5, 0), 2.5);
    EXPECT_EQ(applyOperation(C::Max, 2, 2), 2);
    EXPECT_EQ(applyOperation(C::Max, -1, 3), 3);
    EXPECT_EQ(applyOperation(C::Min, -1, 3), -1);
    EXPECT_EQ(applyOperation(C::Heav, -0.0, 0), 1);
    EXPECT_EQ(applyOperation(C::Heav, -1e-300, 0), 0);
    // PH: one turn; halves go to the even neighbour, so 3*pi gives -pi and pi stays pi.
    EXPECT_DOUBLE_EQ(applyOperation(C::Ph, 3 * pi, 0), -pi);
    EXPECT_DOUBLE_EQ(applyOperation(C::Ph, pi, 0), pi);
    EXPECT_NEAR(applyOperation(C::Ph, 2 * pi + 1, 0), 1, 1e-12);
    EXPECT_NEAR(applyOperation(C::Ph, -2 * pi - 1, 0), -1, 1e-12);
    // ARG: the angle of the point (x, y), per quadrant and on the y axis.
    EXPECT_DOUBLE_EQ(applyOperation(C::Arg, 1, 1), pi / 4);
    EXPECT_DOUBLE_EQ(applyOperation(C::Arg, -1, 1), 3 * pi / 4);
    EXPECT_DOUBLE_EQ(applyOperation(C::Arg, -1, -1), 5 * pi / 4);
    EXPECT_DOUBLE_EQ(applyOperation(C::Arg, 0, 2), pi / 2);
    EXPECT_DOUBLE_EQ(applyOperation(C::Arg, 0, 0), -pi / 2);
    EXPECT_DOUBLE_EQ(applyOperation(C::Arg, 0, -2), -pi / 2);
    EXPECT_DOUBLE_EQ(applyOperation(C::R, -5, 12), 13);
    EXPECT_EQ(applyOperation(C::Sign, 0, 0), 0);
    EXPECT_EQ(applyOperation(C::Sign, 1e-300, 0), 1);
    EXPECT_EQ(applyOperation(C::Zero, 0, 0), 0);
    EXPECT_EQ(applyOperation(C::Zero, -3, 0), 1);
    // RN and RM keep their documented results: nothing draws or sets the factor.
    EXPECT_EQ(applyOperation(C::Rn, 7, 0), 1);
    EXPECT_EQ(applyOperation(C::Rn, 7, 0.5), 1);  // rounds to 0
    EXPECT_EQ(applyOperation(C::Rn, 7, 1.5), 0);  // rounds to 2
    EXPECT_EQ(applyOperation(C::Rn, 7, 3), 0);
    EXPECT_EQ(applyOperation(C::Rm, 3, 4), 3);
    EXPECT_EQ(valueOf("rn(10,0)+rn(10,4)+rm(3,4)"), 4);
}

TEST(ParserValues, FloatingPointFailuresReachTheCaller) {
    using K = FloatingPointError::Kind;
    EXPECT_EQ(failureOf("1/0"), K::ZeroDivide);
    EXPECT_EQ(failureOf("0/0"), K::InvalidOperation);
    EXPECT_EQ(failureOf("x/y"), K::InvalidOperation);
    EXPECT_EQ(failureOf("ln(0)"), K::ZeroDivide);
    EXPECT_EQ(failureOf("ln(-1)"), K::InvalidOperation);
    EXPECT_EQ(failureOf("sqrt(-1)"), K::InvalidOperation);
    EXPECT_EQ(failureOf("0^0.5"), K::ZeroDivide);  // the logarithm of 0
    EXPECT_EQ(failureOf("0^-1"), K::ZeroDivide);
    EXPECT_EQ(failureOf("exp(1000)"), K::Overflow);
    EXPECT_EQ(failureOf("1E308*10"), K::Overflow);
    EXPECT_EQ(failureOf("1E308+1E308"), K::Overflow);
    EXPECT_EQ(failureOf("sinh(800)"), K::Overflow);
    EXPECT_EQ(failureOf("cosh(-800)"), K::Overflow);
    EXPECT_EQ(failureOf("10^400"), K::Overflow);
    EXPECT_EQ(failureOf("1E200^2"), K::Overflow);
    EXPECT_EQ(failureOf("r(1.5E308,1.5E308)"), K::Overflow);
    // Inside one operation extended precision carries what a double could not.
    EXPECT_DOUBLE_EQ(valueOf("r(1E200,1E200)"), std::sqrt(2.0) * 1E200);
    EXPECT_STREQ(FloatingPointError(K::ZeroDivide).what(), "Gleitkommadivision durch Null");
}

TEST(ParserValues, HugeWholeExponentsEndAtOnce) {
    // A small exponent multiplies as written: the count sees every multiplication.
    std::uint64_t before = wholePowerMultiplications();
    EXPECT_EQ(valueOf("1.5^10"), std::pow(1.5, 10));
    EXPECT_EQ(wholePowerMultiplications() - before, 9u);

    before = wholePowerMultiplications();
    EXPECT_EQ(failureOf("2^1E300"), FloatingPointError::Kind::Overflow);
    EXPECT_EQ(failureOf("0.5^-1E300"), FloatingPointError::Kind::ZeroDivide);
    EXPECT_EQ(valueOf("0.5^1E300"), 0);
    EXPECT_EQ(valueOf("1^-1E300"), 1);
    EXPECT_EQ(valueOf("(-1)^1000000000000001"), -1);
    EXPECT_EQ(valueOf("(-1)^1E15"), 1);
    EXPECT_DOUBLE_EQ(valueOf("1.000001^100000"), std::pow(1.000001, 100000));
    // Seven powers, none of them more work than the longest repeated multiplication.
    EXPECT_LE(wholePowerMultiplications() - before, 7u * kMostRepeatedMultiplications);
}

TEST(ParserValues, OperationsRunDeepestLevelFirst) {
    EXPECT_EQ(codes("7"), (std::vector<int>{1}));
    EXPECT_EQ(codes("x"), (std::vector<int>{0}));
    EXPECT_EQ(codes("2+3*4"), (std::vector<int>{6, 4}));
    // Level 2: ADD, ADD (left before right); level 1: MUL, SQR; level 0: SUB.
    EXPECT_EQ(codes("(1+2)*(3+4)-sin(5)^2"), (std::vector<int>{4, 4, 11, 6, 16, 5}));
    EXPECT_EQ(codes("-max(a,b^0.5)"), (std::vector<int>{9, 20, 3}));
}

TEST(ParserValues, ValueReadsTheCurrentCellsEachTime) {
    TParser parser;
    parser.SetExpression("x*2+y");
    EXPECT_EQ(parser.Value(), 0);
    parser.Variable('x') = 3;
    EXPECT_EQ(parser.Value(), 6);
    parser.Variable('Y') = 0.5;
    EXPECT_EQ(parser.Value(), 6.5);
    EXPECT_EQ(parser.Value(), 6.5);
    parser.SetExpression("x");  // a single variable: one operation that does nothing
    EXPECT_EQ(parser.Value(), 3);
    EXPECT_THROW(parser.Variable('Z'), std::invalid_argument);
}

TEST(ParserValues, AFailedCompilationWarnsAndLeavesNoCompiledForm) {
    Prompts p;
    p.prompter.expectMessage(MsgKind::Warning, Buttons::Ok, "Syntax Error!")
        .expectMessage(MsgKind::Warning, Buttons::Ok, "Syntax Error!")
        .expectMessage(MsgKind::Warning, Buttons::Ok, "Syntax Error!");
    TParser parser(&p.prompter);
    EXPECT_THROW(parser.Value(), ExpressionError);  // nothing compiled yet
    parser.SetExpression("1.5*2");
    EXPECT_EQ(parser.Value(), 3);
    parser.SetExpression("1,5*2");  // the comma is no decimal mark
    EXPECT_TRUE(parser.Error());
    EXPECT_EQ(parser.Expression(), "1,5*2");
    EXPECT_TRUE(parser.Operations().empty());
    EXPECT_THROW(parser.Value(), ExpressionError);
    parser.SetExpression("2*-(3)");
    EXPECT_THROW(parser.Value(), ExpressionError);
    parser.SetExpression("");
    EXPECT_TRUE(parser.Error());
    parser.SetExpression("max(2,5)");
    EXPECT_FALSE(parser.Error());
    EXPECT_EQ(parser.Value(), 5);
    EXPECT_TRUE(p.prompter.finished());
}
