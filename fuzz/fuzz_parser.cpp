// Any text given to the expression parser ends in a value, a compilation
// message or a floating-point error. Short texts are also read by the
// word-for-word transcription of the recognition rules; the trees must match.
#include "formula/ExprTree.h"
#include "formula/FormulaErrors.h"
#include "formula/P8Recognise.h"
#include "formula/TParser.h"
#include "tests/formula/LiteralRecognizer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace kimport;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    TParser parser;
    parser.SetExpression(text);
    try {
        (void)parser.Value();
        if (parser.Error()) std::abort();  // a value without a compiled form
    } catch (const FloatingPointError&) {
        if (parser.Error()) std::abort();
    } catch (const ExpressionError&) {
        if (!parser.Error()) std::abort();
    }

    if (size <= 40) {
        auto fast = recogniseExpression(normaliseExpression(text));
        std::optional<std::string> fastTree;
        if (fast) fastTree = describe(*fast);
        test::LiteralRecognizer literal;
        auto expected = literal.recognise(text);
        if (fastTree != expected) {
            std::fprintf(stderr, "different trees for '%.*s': %s / %s\n", static_cast<int>(size), text.data(),
                         fastTree ? fastTree->c_str() : "syntax error", expected ? expected->c_str() : "syntax error");
            std::abort();
        }
    }
    return 0;
}
