// Which texts the expression parser accepts and which tree it reads from
// them: the examples of the operand rules, and the one-pass reader compared
// with the word-for-word transcription of the rules on every short text over
// a few alphabets and on random texts.
#include "formula/ExprTree.h"
#include "formula/P8Recognise.h"
#include "tests/formula/LiteralRecognizer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace kimport;

namespace {

std::optional<std::string> tree(std::string_view text) {
    auto t = recogniseExpression(normaliseExpression(text));
    if (!t) return std::nullopt;
    return describe(*t);
}

// Every sequence of up to maxLength pieces of the alphabet; stops at the first difference.
void compareAll(const std::vector<std::string>& alphabet, int maxLength) {
    test::LiteralRecognizer literal;
    std::vector<std::size_t> digits;
    std::size_t accepted = 0, total = 0;
    for (int length = 1; length <= maxLength; ++length) {
        digits.assign(static_cast<std::size_t>(length), 0);
        for (;;) {
            std::string text;
            for (std::size_t d : digits) text += alphabet[d];
            auto expected = literal.recognise(text);
            auto actual = tree(text);
            ASSERT_EQ(expected, actual) << "text: " << text;
            accepted += expected.has_value();
            ++total;
            std::size_t k = 0;
            while (k < digits.size() && ++digits[k] == alphabet.size()) digits[k++] = 0;
            if (k == digits.size()) break;
        }
    }
    // Enough valid texts to say something about the trees too.
    EXPECT_GT(accepted, 500u) << accepted << " of " << total;
}

}  // namespace

TEST(ParserLanguage, OperatorsGroupByTheOperandRules) {
    // "-" and "/" to the left; "+" and "*" split at their first occurrence.
    EXPECT_EQ(tree("A-B-C"), "SUB(SUB(A,B),C)");
    EXPECT_EQ(tree("A/B/C"), "DIV(DIV(A,B),C)");
    EXPECT_EQ(tree("A+B+C"), "ADD(A,ADD(B,C))");
    EXPECT_EQ(tree("A*B*C"), "MUL(A,MUL(B,C))");
    EXPECT_EQ(tree("A-B+C"), "ADD(SUB(A,B),C)");
    EXPECT_EQ(tree("A+B-C"), "ADD(A,SUB(B,C))");
    EXPECT_EQ(tree("A*B/C"), "MUL(A,DIV(B,C))");
    EXPECT_EQ(tree("A/B*C"), "MUL(DIV(A,B),C)");
    EXPECT_EQ(tree("2+3*4"), "ADD(2,MUL(3,4))");
    EXPECT_EQ(tree("(2+3)*4"), "MUL(ADD(2,3),4)");
    EXPECT_EQ(tree("A-B*C^2"), "SUB(A,MUL(B,SQR(C)))");
}

TEST(ParserLanguage, UnaryMinusTakesOnlyTheTermAfterIt) {
    EXPECT_EQ(tree("-A*B"), "MUL(NEG(A),B)");
    EXPECT_EQ(tree("-A^2"), "NEG(SQR(A))");
    EXPECT_EQ(tree("-2^2"), "NEG(SQR(2))");
    EXPECT_EQ(tree("-(A+B)"), "NEG(ADD(A,B))");
    EXPECT_EQ(tree("-A-B"), "SUB(NEG(A),B)");
    // A number with its sign is a number; a unary minus is no right operand.
    EXPECT_EQ(tree("2*-3"), "MUL(2,-3)");
    EXPECT_EQ(tree("A--2"), "SUB(A,-2)");
    EXPECT_EQ(tree("A*-B"), std::nullopt);
    EXPECT_EQ(tree("2*-(3)"), std::nullopt);
    EXPECT_EQ(tree("A+-B"), std::nullopt);
    EXPECT_EQ(tree("A/-B"), std::nullopt);
    EXPECT_EQ(tree("--A"), std::nullopt);
    EXPECT_EQ(tree("-PI"), std::nullopt);  // PI is a number, but "-PI" is not
    EXPECT_EQ(tree("+A"), std::nullopt);
    // ... but a product or quotient that starts with one is.
    EXPECT_EQ(tree("A*-B/C"), "MUL(A,DIV(NEG(B),C))");
    EXPECT_EQ(tree("A+-B-C"), "ADD(A,SUB(NEG(B),C))");
}

TEST(ParserLanguage, PowersAndTheirExponents) {
    EXPECT_EQ(tree("X^2"), "SQR(X)");
    EXPECT_EQ(tree("X^3"), "CUBE(X)");
    EXPECT_EQ(tree("X^4.0"), "QUAD(X)");
    EXPECT_EQ(tree("X^5"), "IPOW(X,5)");
    EXPECT_EQ(tree("X^-1"), "IPOW(X,-1)");
    EXPECT_EQ(tree("X^0"), "IPOW(X,0)");
    EXPECT_EQ(tree("X^0.5"), "POW(X,0.5)");
    EXPECT_EQ(tree("X^Y"), "POW(X,Y)");
    EXPECT_EQ(tree("X^(2)"), "POW(X,2)");
    EXPECT_EQ(tree("X^SIN(Y)"), "POW(X,SIN(Y))");
    EXPECT_EQ(tree("2^PI"), "POW(2,3.141592653589793)");
    EXPECT_EQ(tree("SIN(X)^2"), "SQR(SIN(X))");
    EXPECT_EQ(tree("(-8)^0.5"), "POW(-8,0.5)");
    // Only x^2, x^3 and x^4 may be the base of another power.
    EXPECT_EQ(tree("X^2^3"), "CUBE(SQR(X))");
    EXPECT_EQ(tree("X^2^5"), "IPOW(SQR(X),5)");
    EXPECT_EQ(tree("X^5^2"), std::nullopt);
    EXPECT_EQ(tree("X^Y^2"), std::nullopt);
    EXPECT_EQ(tree("X^-Y"), std::nullopt);
    EXPECT_EQ(tree("X^(-Y)"), "POW(X,NEG(Y))");
}

TEST(ParserLanguage, NumbersFunctionsAndNormalising) {
    EXPECT_EQ(tree("((7))"), "7");
    EXPECT_EQ(tree(" pi * 2 "), "MUL(3.141592653589793,2)");
    EXPECT_EQ(tree("1.5*2"), "MUL(1.5,2)");
    EXPECT_EQ(tree("1,5*2"), std::nullopt);
    EXPECT_EQ(tree("1E+5+2"), "ADD(1e+05,2)");
    EXPECT_EQ(tree("2E-3*e"), "MUL(0.002,E)");
    EXPECT_EQ(tree(".5+5."), "ADD(0.5,5)");
    EXPECT_EQ(tree("1E400"), std::nullopt);  // outside the double range: no number
    EXPECT_EQ(tree("2E"), std::nullopt);
    EXPECT_EQ(tree("2A"), std::nullopt);
    // SIN and COS are tried first, but only where a bracket follows.
    EXPECT_EQ(tree("sinh(0)+cosh(0)"), "ADD(SINH(0),COSH(0))");
    EXPECT_EQ(tree("exp(e)"), "EXP(E)");
    EXPECT_EQ(tree("max(2,5)"), "MAX(2,5)");
    EXPECT_EQ(tree("r(3,4)*rm(1,2)"), "MUL(R(3,4),RM(1,2))");
    EXPECT_EQ(tree("max(min(1,2),-x)"), "MAX(MIN(1,2),NEG(X))");
    EXPECT_EQ(tree("max(1,2,3)"), std::nullopt);
    EXPECT_EQ(tree("sin(1,2)"), std::nullopt);
    EXPECT_EQ(tree("max(1)"), std::nullopt);
    EXPECT_EQ(tree("(1,2)"), std::nullopt);
    EXPECT_EQ(tree("foo(1)"), std::nullopt);
    EXPECT_EQ(tree("sin 1"), std::nullopt);  // spaces go first: "SIN1"
    // Unbalanced or empty brackets, empty text, stray characters.
    for (const char* bad : {"", "   ", "(", ")", "()", "(1", "1)", ")1(", "(1))", "1+", "*1", "1\t+2", "#", "1;2"})
        EXPECT_EQ(tree(bad), std::nullopt) << bad;
}

TEST(ParserLanguage, AgreesWithTheLiteralRulesOnAllShortArithmeticTexts) {
    compareAll({"A", "2", "-", "+", "*", "/", "^", "(", ")"}, 6);
}

TEST(ParserLanguage, AgreesWithTheLiteralRulesOnAllShortTextsWithNumbersAndCalls) {
    compareAll({"X", "-2", "3", "0.5", "PI", "-", "*", "^", "MAX(", "SIN(", ",", ")", "1E+"}, 4);
}

// Random expressions built from the forms, some of them damaged by one edit.
class RandomExpression {
public:
    explicit RandomExpression(unsigned seed) : random_(seed) {}

    std::string next() {
        std::string text = term(0);
        if (pick(3) == 0 && !text.empty()) damage(text);
        return text;
    }

private:
    std::size_t pick(std::size_t n) { return random_() % n; }

    std::string term(int depth) {
        static const char* const leaves[] = {"A", "X", "E", "2", "3", "4", "5", "-2", "0.5", "PI", "1E+3", "2.", "-1"};
        static const char* const ops[] = {"+", "-", "*", "/", "^", "^"};
        static const char* const one[] = {"SIN(", "COS(", "SINH(", "LN(", "SQRT(", "ABS(", "PH("};
        static const char* const two[] = {"MAX(", "MIN(", "R(", "RM(", "RN(", "ARG("};
        if (depth > 4) return leaves[pick(std::size(leaves))];
        switch (pick(9)) {
            case 0:
            case 1:
                return leaves[pick(std::size(leaves))];
            case 2:
                return "(" + term(depth + 1) + ")";
            case 3:
                return "-" + term(depth + 1);
            case 4:
                return std::string(one[pick(std::size(one))]) + term(depth + 1) + ")";
            case 5:
                return std::string(two[pick(std::size(two))]) + term(depth + 1) + "," + term(depth + 1) + ")";
            default:
                return term(depth + 1) + ops[pick(std::size(ops))] + term(depth + 1);
        }
    }

    void damage(std::string& text) {
        static const char* const pieces[] = {"(", ")", "-", "+", "*", "^", ",", "2", "A", "E"};
        std::size_t at = pick(text.size());
        switch (pick(3)) {
            case 0:
                text.erase(at, 1);
                break;
            case 1:
                text.insert(at, pieces[pick(std::size(pieces))]);
                break;
            default:
                std::swap(text[at], text[pick(text.size())]);
                break;
        }
    }

    std::mt19937 random_;
};

TEST(ParserLanguage, AgreesWithTheLiteralRulesOnRandomExpressions) {
    RandomExpression generator(20240611);
    test::LiteralRecognizer literal;
    int accepted = 0, refused = 0;
    for (int i = 0; i < 30000; ++i) {
        std::string text = generator.next();
        if (text.size() > 60) continue;  // the literal rules are slow on long texts
        auto expected = literal.recognise(text);
        ASSERT_EQ(expected, tree(text)) << "text: " << text;
        (expected ? accepted : refused) += 1;
    }
    EXPECT_GT(accepted, 3000);
    EXPECT_GT(refused, 3000);
}
