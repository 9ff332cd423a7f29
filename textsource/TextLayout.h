// The layout of a text source: how its lines are split into values (by
// separators and a quote character, or at fixed break positions), whether the
// first line holds the column names, the column names, and how its bytes are
// read (the DOS conversion, or an encoding chosen outright).
#pragma once

#include <array>
#include <string>
#include <vector>

namespace kimport {

enum class LayoutKind { None = -1, Variable = 0, Fixed = 1 };

// How the bytes of a text file become characters. Auto: UTF-8 for a file that starts with its
// byte-order mark or is valid UTF-8 throughout with non-ASCII bytes somewhere, UTF-16 for a file
// that starts with its byte-order mark, otherwise Windows-1252 (DOS 850 with the DOS conversion on).
// UTF-16 files (little- or big-endian, told by their byte-order mark) are read through iconv.
enum class TextEncoding { Auto, Windows1252, Dos850, Utf8, Utf16Le, Utf16Be };

constexpr int kBreakSlots = 100;

struct TextLayout {
    LayoutKind kind = LayoutKind::None;
    bool semicolon = false, comma = false, tab = false, space = false;
    bool other = false;        // cbxAndere
    std::string otherChar;     // edtAndere: at most one character (UTF-8, so one to four bytes)
    int quoteIndex = -1;       // comDelimiter: 0 none, 1 '"', 2 '\'', -1 nothing selected
    std::array<int, kBreakSlots> breaks{};  // -1 free; p >= 1 a boundary after character p
    bool namesInFirstLine = false;
    std::vector<std::string> columnNames;  // stored names (ColNames) for an existing setting
    bool dos = false;          // text read as DOS code page 850 (the options window's DOS switch)
    TextEncoding encoding = TextEncoding::Auto;

    TextLayout() { breaks.fill(-1); }

    // The quote character, or 0 when none is active (ActiveQuote).
    char activeQuote() const { return quoteIndex == 1 ? '"' : quoteIndex == 2 ? '\'' : 0; }
    // True when at least one separator is active (ActiveSeparators).
    bool anySeparator() const { return semicolon || comma || tab || space || !otherSeparator().empty(); }
    // The other separator as UTF-8 text: empty when it is off or is not exactly one character.
    std::string otherSeparator() const;
    // The break positions above 0 in ascending order (free slots and zeros left out).
    std::vector<int> sortedBreaks() const;
    // Splits by separators or quote (variable layout) or at breaks (fixed layout); else whole lines.
    bool splitsDelimited() const { return kind == LayoutKind::Variable && (anySeparator() || activeQuote() != 0); }
    bool splitsFixed() const { return kind == LayoutKind::Fixed && !sortedBreaks().empty(); }
};

}  // namespace kimport
