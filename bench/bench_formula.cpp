// Speed of the expression parser: one expression of 20 operations evaluated a
// million times, 10,000 different such expressions compiled, and texts of
// 10,000 characters compiled or refused (each must take under 50 ms).
#include "BenchSupport.h"
#include "formula/FormulaErrors.h"
#include "formula/P8Build.h"
#include "formula/TParser.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

using namespace kimport;

namespace {

// A random expression of exactly `operations` operations over variables and
// constants; every part is bracketed, so the tree is what the generator drew.
class ExpressionMaker {
public:
    explicit ExpressionMaker(unsigned seed) : random_(seed) {}

    std::string make(int operations) {
        if (operations == 0) return leaf();
        if (operations == 1 || random_() % 5 == 0) {
            static const char* const one[] = {"SIN(", "COS(", "ARCTAN(", "ABS("};
            if (random_() % 3 == 0) return "(" + make(operations - 1) + ")^2";
            return std::string(one[random_() % 4]) + make(operations - 1) + ")";
        }
        if (operations >= 3 && random_() % 4 == 0)  // divide, add, abs: a divisor that is never zero
            return "(" + make(operations - 3) + "/(" + std::to_string(2 + random_() % 7) + "+ABS(" + leaf() + ")))";
        int left = static_cast<int>(random_() % static_cast<unsigned>(operations - 1) / 2 + (operations - 1) / 4);
        static const char* const ops[] = {"+", "-", "*"};
        return "(" + make(left) + ops[random_() % 3] + make(operations - 1 - left) + ")";
    }

private:
    std::string leaf() {
        static const char* const variables[] = {"A", "B", "C", "X", "Y", "T"};
        if (random_() % 2) return variables[random_() % 6];
        return std::to_string(random_() % 1000) + "." + std::to_string(random_() % 100);
    }

    std::mt19937 random_;
};

double millis(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void report(const char* what, const bench::PhaseResult& r, int repetitions, const char* unit) {
    if (!r.ok) {
        std::printf("  %-58s FAILED\n", what);
        return;
    }
    std::printf("  %-58s %7.3f s  %7.0f ns per %s  (peak %ld KB)\n", what, r.seconds, r.seconds * 1e9 / repetitions,
                unit, r.peakKb);
}

// Compiles a long text once; the answer and the time.
void longText(const char* what, const std::string& text) {
    CompileResult warm = compileExpression(text);  // page in the code and the allocator
    auto start = std::chrono::steady_clock::now();
    CompileResult r = compileExpression(text);
    double ms = millis(std::chrono::steady_clock::now() - start);
    const char* answer = r.error == CompileError::None ? "compiled" : compileMessage(r.error);
    std::printf("  %-44s %6zu chars  %8.3f ms  %-22s %s\n", what, text.size(), ms, answer, ms < 50 ? "ok" : "TOO SLOW");
    (void)warm;
}

std::string repeated(const std::string& piece, std::size_t chars) {
    std::string out;
    while (out.size() + piece.size() <= chars) out += piece;
    return out;
}

}  // namespace

int main() {
    std::printf("Expression parser\n");

    ExpressionMaker maker(42);
    const std::string expression = maker.make(20);
    {
        TParser parser;
        parser.SetExpression(expression);
        std::printf("  expression (%zu operations): %s\n", parser.Operations().size(), expression.c_str());
    }

    double sink = 0;
    report("compile once, evaluate 1,000,000 times (20 operations)", bench::runPhase([&] {
               TParser parser;
               parser.SetExpression(expression);
               double sum = 0;
               for (int i = 0; i < 1000000; ++i) {
                   parser.Variable('X') = i * 1e-6;
                   sum += parser.Value();
               }
               sink += sum;
               if (sum == 0.123456789) std::puts("");
           }),
           1000000, "evaluation");

    // The same without trigonometry, whose extended-precision routines dominate above.
    const std::string arithmetic = "((A+1.5)*(B-2.25)+(C*3.5-X/4.5))*((Y+T)*0.5-(A-B)/(2+C^2))+(X*Y-T)*(T+0.25)";
    {
        TParser parser;
        parser.SetExpression(arithmetic);
        std::printf("  arithmetic only (%zu operations): %s\n", parser.Operations().size(), arithmetic.c_str());
    }
    report("compile once, evaluate 1,000,000 times (arithmetic only)", bench::runPhase([&] {
               TParser parser;
               parser.SetExpression(arithmetic);
               double sum = 0;
               for (int i = 0; i < 1000000; ++i) {
                   parser.Variable('X') = i * 1e-6;
                   sum += parser.Value();
               }
               if (sum == 0.123456789) std::puts("");
           }),
           1000000, "evaluation");

    std::vector<std::string> many;
    for (unsigned seed = 0; many.size() < 10000; ++seed) {
        ExpressionMaker m(seed);
        std::string e = m.make(20);
        if (compileExpression(e).program.operations.size() == 20) many.push_back(std::move(e));
    }
    report("compile 10,000 different expressions of 20 operations", bench::runPhase([&] {
               std::size_t operations = 0;
               for (const std::string& e : many) {
                   TParser parser;
                   parser.SetExpression(e);
                   operations += parser.Operations().size();
               }
               if (operations != 200000) std::puts("unexpected operation count");
           }),
           10000, "compilation");

    std::printf("Texts of 10,000 characters (limit 50 ms each)\n");
    longText("sum chain 1+1+...", repeated("1+", 9998) + "1");
    longText("difference chain 1-1-...", repeated("1-", 9998) + "1");
    longText("product chain with a syntax error at the end", repeated("2*", 9998) + "2*");
    longText("brackets 5,000 deep around a number", std::string(4999, '(') + "7" + std::string(4999, ')'));
    longText("20 operations in redundant brackets", std::string(4900, '(') + expression + std::string(4900, ')'));
    longText("a number of 10,000 digits", "1." + std::string(9998, '0'));
    longText("a number of 10,000 digits beyond the double range", std::string(10000, '9'));
    longText("nested calls SIN(SIN(...))", repeated("SIN(", 8000) + "1" + std::string(2000, ')'));
    longText("unbalanced brackets", std::string(10000, '('));
    longText("alternating unary minus and brackets", repeated("-(", 6666) + "1" + std::string(3333, ')'));
    longText("mixed operators, too deep", repeated("A*B-C/D+", 9992) + "E");
    return sink == 1 ? 1 : 0;
}
