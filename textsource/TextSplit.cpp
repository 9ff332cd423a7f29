#include "textsource/TextSplit.h"

#include "common/Text.h"

#include <algorithm>
#include <array>

namespace kimport {

std::vector<int> TextLayout::sortedBreaks() const {
    std::vector<int> out;
    for (int b : breaks)
        if (b > 0) out.push_back(b);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

void DetectQuoteCharacter(std::string_view firstLine, TextLayout& layout) {
    int doubles = 0, apostrophes = 0;
    for (char c : firstLine) {
        if (c == '"' && ++doubles == 2) {
            layout.quoteIndex = 1;
            return;
        }
        if (c == '\'' && ++apostrophes == 2) {
            layout.quoteIndex = 2;
            return;
        }
    }
}

void DetectSeparators(std::string_view firstLine, TextLayout& layout) {
    auto s = std::count(firstLine.begin(), firstLine.end(), ';');
    auto c = std::count(firstLine.begin(), firstLine.end(), ',');
    if (c == 0) layout.comma = false;
    if (s > 0) layout.semicolon = false;
    if (c > s) {
        layout.comma = true;
        layout.semicolon = false;
    }
    if (c < s) {
        layout.semicolon = true;
        layout.comma = false;
    }
}

namespace {

// The next value slot of `values`, reusing the text it held for the last line.
std::string& nextSlot(std::vector<std::string>& values, std::size_t& count) {
    if (count == values.size()) values.emplace_back();
    std::string& v = values[count++];
    v.clear();
    return v;
}

}  // namespace

void splitDelimitedInto(std::string_view line, const TextLayout& layout, std::vector<std::string>& values, bool* open) {
    // Separators and quotes are ASCII: in UTF-8 text they never occur inside another character.
    const char quote = layout.activeQuote();
    std::size_t count = 0;
    if (open) *open = false;
    if (quote == 0 || line.find(quote) == std::string_view::npos) {
        // Without a quote in the line the values are the pieces between separators (line ends dropped).
        const bool lineBreaks = line.find('\r') != std::string_view::npos || line.find('\n') != std::string_view::npos;
        std::array<bool, 256> separator{};
        std::string active;
        for (char c : {';', ',', '\t', ' '})
            if (layout.isSeparator(c)) active += c;
        if (layout.other && layout.otherChar.size() == 1 && active.find(layout.otherChar[0]) == std::string::npos)
            active += layout.otherChar[0];
        for (char c : active) separator[static_cast<unsigned char>(c)] = true;
        // The end of the value starting at `from`: one separator (the usual case) is found by memchr.
        auto valueEnd = [&](std::size_t from) {
            if (active.size() == 1) {
                std::size_t at = line.find(active[0], from);
                return at == std::string_view::npos ? line.size() : at;
            }
            std::size_t i = from;
            while (i < line.size() && !separator[static_cast<unsigned char>(line[i])]) ++i;
            return i;
        };
        for (std::size_t from = 0;;) {
            const std::size_t end = valueEnd(from);
            std::string& v = nextSlot(values, count);
            v.assign(line.substr(from, end - from));
            if (lineBreaks)
                v.erase(std::remove_if(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n'; }), v.end());
            if (end == line.size()) break;
            from = end + 1;
        }
        values.resize(count);
        return;
    }
    std::string* v = &nextSlot(values, count);
    bool afterClose = false;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (quote != 0 && c == quote && !afterClose) {
            bool closed = false;
            for (++i; i < line.size(); ++i) {
                if (line[i] != quote) {
                    *v += line[i];
                    continue;
                }
                if (i + 1 < line.size() && line[i + 1] == quote) {  // a doubled quote stands for one
                    *v += quote;
                    ++i;
                    continue;
                }
                closed = true;
                ++i;
                break;
            }
            if (!closed && open) *open = true;
            // The character after a closing quote is never an opening quote.
            afterClose = closed;
            continue;
        }
        if (layout.isSeparator(c))
            v = &nextSlot(values, count);
        else if (c != '\r' && c != '\n')
            *v += c;
        afterClose = false;
        ++i;
    }
    values.resize(count);
}

std::vector<std::string> SplitDelimitedLine(std::string_view line, const TextLayout& layout, bool* open) {
    std::vector<std::string> values;
    splitDelimitedInto(line, layout, values, open);
    return values;
}

bool quoteOpenAtEnd(std::string_view line, const TextLayout& layout, bool startsInside) {
    const char quote = layout.activeQuote();
    if (quote == 0) return false;
    if (line.find(quote) == std::string_view::npos) return startsInside;
    // The quoted sections as SplitDelimitedLine walks them, without building values.
    bool inside = startsInside, afterClose = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (inside) {
            if (line[i] != quote) continue;
            if (i + 1 < line.size() && line[i + 1] == quote) {  // a doubled quote stands for one
                ++i;
                continue;
            }
            inside = false;
            afterClose = true;
            continue;
        }
        if (line[i] == quote && !afterClose) {
            inside = true;
            continue;
        }
        afterClose = false;
    }
    return inside;
}

std::vector<std::string> SplitFixedLine(std::string_view line, const std::vector<int>& breaks) {
    // Positions count characters, so that a value is never cut inside one.
    std::vector<std::string> values;
    std::size_t from = 0;
    const std::size_t length = charCount(line);
    for (int b : breaks) {
        auto to = static_cast<std::size_t>(b);
        values.push_back(from < length ? trim(charSlice(line, from, std::min(to, length) - from)) : std::string());
        from = to;
    }
    values.push_back(from < length ? trim(charSlice(line, from, length - from)) : std::string());
    return values;
}

std::vector<std::string> splitLine(std::string_view line, const TextLayout& layout) {
    std::vector<std::string> values;
    splitLineInto(line, layout, values);
    return values;
}

void splitLineInto(std::string_view line, const TextLayout& layout, std::vector<std::string>& values) {
    if (layout.splitsDelimited()) {
        splitDelimitedInto(line, layout, values, nullptr);
    } else if (layout.splitsFixed()) {
        values = SplitFixedLine(line, layout.sortedBreaks());
    } else {
        values.resize(1);
        values[0].assign(line);
    }
}

}  // namespace kimport
