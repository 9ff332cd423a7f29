// The options of `kimport run` for a text source: its layout (separators,
// quote, fixed breaks, names in the first line), how its bytes are read, and
// the separators its numbers and dates are written with.
#pragma once

#include "common/FormatSettings.h"
#include "textsource/TextLayout.h"

#include <optional>
#include <string>
#include <vector>

namespace kimport {

struct TextSourceOptions {
    TextLayout layout;
    // Which of the layout's options were given: the others are detected from the file.
    bool separatorGiven = false, quoteGiven = false, fixedGiven = false;
    std::optional<char> decimal, thousands, timeSeparator, dateSeparator;
    std::optional<std::string> dateOrder;  // "DD/MM/YYYY" form
};

// Takes the text option at args[i] (moving i past its value); false when args[i] is none.
// A bad value sets error.
bool takeTextOption(const std::vector<std::string>& args, std::size_t& i, TextSourceOptions& o, std::string& error);

// Without layout options the layout is detected as the wizard presets it: the quote character (the
// double quote when the first line shows none) and ';' or ',' from the first line; a first line
// without either, as long as the second, is read whole. A separator or quote given keeps the other
// detected.
void completeLayout(const std::string& path, TextSourceOptions& o);

// The number and date separators given override both format settings of the run.
void applyTextFormats(const TextSourceOptions& o, ProcessFormats& formats);

}  // namespace kimport
