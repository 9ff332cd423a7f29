// Splitting text lines into values, and the detections that preset the
// layout from the first line of a file.
#pragma once

#include "textsource/TextLayout.h"

#include <string>
#include <string_view>
#include <vector>

namespace kimport {

// Selects the quote character whose count in the line first reaches 2; leaves it when none does.
void DetectQuoteCharacter(std::string_view firstLine, TextLayout& layout);
// Switches ';' and ',' by their counts in the first line.
void DetectSeparators(std::string_view firstLine, TextLayout& layout);

// The values of a line by the separators and the quote character. A quote opens a quoted section
// only at the start of a value (after blanks at most); inside one two quote characters stand for
// one. A quote no other closes is an ordinary character; `open` tells that one was met.
std::vector<std::string> SplitDelimitedLine(std::string_view line, const TextLayout& layout, bool* open = nullptr);
// The same into `values`, whose strings are reused: reading a long file allocates once, not per value.
void splitDelimitedInto(std::string_view line, const TextLayout& layout, std::vector<std::string>& values, bool* open);
// The values of a line cut after the given character positions (ascending), each trimmed.
std::vector<std::string> SplitFixedLine(std::string_view line, const std::vector<int>& breaks);
// The values of a line by the layout: delimited, fixed, or the whole line as one value.
std::vector<std::string> splitLine(std::string_view line, const TextLayout& layout);
void splitLineInto(std::string_view line, const TextLayout& layout, std::vector<std::string>& values);

// How a line leaves the quoted sections: whether one is still open at its end, and where that one
// was opened when it was opened in this line. startsInside: the line continues a section left
// open by the line before.
struct QuoteScan {
    bool openAtEnd = false;
    std::size_t openedAt = std::string_view::npos;
};
QuoteScan scanQuotes(std::string_view line, const TextLayout& layout, bool startsInside = false);
bool quoteOpenAtEnd(std::string_view line, const TextLayout& layout, bool startsInside = false);

}  // namespace kimport
