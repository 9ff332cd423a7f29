// The builder's limits (20 levels of nesting, 50 terms per level), their
// messages, and texts far too long or too deep for a recursive reader.
#include "support/ScriptedPrompter.h"
#include "formula/P8Build.h"
#include "formula/TParser.h"

#include <gtest/gtest.h>

#include <string>

using namespace kimport;

namespace {

std::string repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

// n operands joined by op: "1+1+1".
std::string chain(int n, const std::string& op) {
    return "1" + repeated(op + "1", n - 1);
}

// n one-argument calls around x: "SIN(SIN(x))".
std::string calls(int n, const std::string& inner) {
    return repeated("sin(", n) + inner + repeated(")", n);
}

// A balanced tree of sums with 2^depth leaves.
std::string balanced(int depth) {
    return depth == 0 ? "a" : "(" + balanced(depth - 1) + "+" + balanced(depth - 1) + ")";
}

CompileError errorOf(const std::string& text) {
    return compileExpression(text).error;
}

}  // namespace

TEST(ParserLimits, TwentyLevelsOfNestingAndNoMore) {
    // A chain of n operands puts its last operand on level n-1.
    EXPECT_EQ(errorOf(chain(21, "+")), CompileError::None);
    EXPECT_EQ(errorOf(chain(22, "+")), CompileError::Nesting);
    EXPECT_EQ(errorOf(chain(21, "-")), CompileError::None);
    EXPECT_EQ(errorOf(chain(22, "-")), CompileError::Nesting);
    EXPECT_EQ(errorOf(chain(22, "/")), CompileError::Nesting);
    // Variables and numbers count as terms of their level; brackets do not.
    EXPECT_EQ(errorOf(calls(20, "x")), CompileError::None);
    EXPECT_EQ(errorOf(calls(21, "x")), CompileError::Nesting);
    EXPECT_EQ(errorOf(calls(19, "x^2")), CompileError::None);  // the 2 is part of the operation
    EXPECT_EQ(errorOf(calls(19, "x^5")), CompileError::None);  // the exponent 5 on level 20
    EXPECT_EQ(errorOf(calls(20, "x^5")), CompileError::Nesting);
    EXPECT_EQ(errorOf(repeated("(", 500) + chain(21, "*") + repeated(")", 500)), CompileError::None);

    TParser parser;
    parser.SetExpression(chain(21, "+"));
    EXPECT_EQ(parser.Value(), 21);
}

TEST(ParserLimits, FiftyTermsPerLevelAndNoMore) {
    EXPECT_EQ(errorOf(balanced(5)), CompileError::None);         // 32 leaves on level 5
    EXPECT_EQ(errorOf(balanced(6)), CompileError::TermTooLong);  // 64 on level 6
    // Level 6 filled with exactly 50 terms: 32 + 16 + 2, then with 52.
    auto shape = [](const std::string& deepest) {
        return "(" + balanced(5) + "+(" + balanced(4) + "+(a+(a+(" + deepest + ")))))";
    };
    EXPECT_EQ(errorOf(shape("a+" + balanced(1))), CompileError::None);
    EXPECT_EQ(errorOf(shape("a*a+" + balanced(1))), CompileError::TermTooLong);
    // The terms are made first operand first: a level overflowing on the left
    // is met before a nesting too deep on the right.
    EXPECT_EQ(errorOf(balanced(6) + "+" + chain(30, "+")), CompileError::TermTooLong);
    EXPECT_EQ(errorOf(chain(30, "-") + "-" + balanced(6)), CompileError::Nesting);
}

TEST(ParserLimits, EachFailureWarnsWithItsMessage) {
    ScriptedPrompter prompter;
    prompter.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
    prompter.expectMessage(MsgKind::Warning, Buttons::Ok, "Too many nestings!")
        .expectMessage(MsgKind::Warning, Buttons::Ok, "Term too long, sorry!")
        .expectMessage(MsgKind::Warning, Buttons::Ok, "Syntax Error!");
    TParser parser(&prompter);
    parser.SetExpression(chain(22, "+"));
    EXPECT_EQ(parser.ErrorMessage(), "Too many nestings!");
    parser.SetExpression(balanced(6));
    EXPECT_EQ(parser.ErrorMessage(), "Term too long, sorry!");
    // The syntax is checked before anything is built.
    parser.SetExpression(chain(40, "+") + "+");
    EXPECT_EQ(parser.ErrorMessage(), "Syntax Error!");
    EXPECT_TRUE(prompter.finished());
}

TEST(ParserLimits, VeryLongAndDeepTextsEndInAnAnswer) {
    // Brackets nest a million deep without a level; the reader must not recurse on them.
    EXPECT_EQ(errorOf(repeated("(", 1000000) + "1" + repeated(")", 1000000)), CompileError::None);
    EXPECT_EQ(errorOf(repeated("(", 1000000) + "1" + repeated(")", 999999)), CompileError::Syntax);
    EXPECT_EQ(errorOf(repeated("-(", 300000) + "1" + repeated(")", 300000)), CompileError::Nesting);
    EXPECT_EQ(errorOf(chain(200000, "+")), CompileError::Nesting);
    EXPECT_EQ(errorOf(chain(200000, "-")), CompileError::Nesting);
    EXPECT_EQ(errorOf(calls(100000, "1")), CompileError::Nesting);
    EXPECT_EQ(errorOf(repeated("max(1,", 100000) + "1" + repeated(")", 100000)), CompileError::Nesting);
    EXPECT_EQ(errorOf(std::string(1000000, '1')), CompileError::Syntax);  // beyond the double range
    EXPECT_EQ(errorOf("0." + std::string(100000, '0') + "1"), CompileError::Syntax);
    EXPECT_EQ(errorOf(std::string(100000, '1') + "E-99990"), CompileError::None);
}
