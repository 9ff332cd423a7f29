// Helpers shared by the text source tests.
#pragma once

#include "textsource/TextLayout.h"

namespace kimport::test {

// Semicolons, the double quote, names in the first line when asked: the commonest layout.
inline TextLayout semicolonLayout(bool namesInFirstLine = true) {
    TextLayout l;
    l.kind = LayoutKind::Variable;
    l.semicolon = true;
    l.quoteIndex = 1;
    l.namesInFirstLine = namesInFirstLine;
    return l;
}

}  // namespace kimport::test
