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

// The values of a line by the separators and the quote character. Inside a quoted section two
// quote characters stand for one. `open` tells whether a quoted section was still open at the end.
std::vector<std::string> SplitDelimitedLine(std::string_view line, const TextLayout& layout, bool* open = nullptr);
// The same into `values`, whose strings are reused: reading a long file allocates once, not per value.
void splitDelimitedInto(std::string_view line, const TextLayout& layout, std::vector<std::string>& values, bool* open);
// The values of a line cut after the given character positions (ascending), each trimmed.
std::vector<std::string> SplitFixedLine(std::string_view line, const std::vector<int>& breaks);
// The values of a line by the layout: delimited, fixed, or the whole line as one value.
std::vector<std::string> splitLine(std::string_view line, const TextLayout& layout);
void splitLineInto(std::string_view line, const TextLayout& layout, std::vector<std::string>& values);

// True when a quoted section is still open at the end of the line; startsInside: the line
// continues one left open by the line before.
bool quoteOpenAtEnd(std::string_view line, const TextLayout& layout, bool startsInside = false);

}  // namespace kimport
