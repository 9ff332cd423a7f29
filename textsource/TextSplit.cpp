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

std::string TextLayout::otherSeparator() const {
    if (!other || otherChar.empty() || charCount(otherChar) != 1) return {};
    return otherChar;
}

namespace {

// The next value slot of `values`, reusing the text it held for the last line.
std::string& nextSlot(std::vector<std::string>& values, std::size_t& count) {
    if (count == values.size()) values.emplace_back();
    std::string& v = values[count++];
    v.clear();
    return v;
}

// The active separators of a layout: the ASCII ones by a table, the other one also when it is a
// character of several UTF-8 bytes (lines are UTF-8 by the time they are split, so a lead byte
// starts it and its bytes never occur inside another character).
class SeparatorSet {
public:
    explicit SeparatorSet(const TextLayout& layout) : wide_(layout.otherSeparator()) {
        for (char c : {';', ',', '\t', ' '})
            if ((c == ';' && layout.semicolon) || (c == ',' && layout.comma) || (c == '\t' && layout.tab) ||
                (c == ' ' && layout.space))
                add(c);
        if (wide_.size() == 1) {
            add(wide_[0]);
            wide_.clear();
        }
    }
    // The length of the separator at i, 0 when none stands there.
    std::size_t at(std::string_view line, std::size_t i) const {
        const char c = line[i];
        if (ascii_[static_cast<unsigned char>(c)]) return 1;
        if (!wide_.empty() && c == wide_[0] && line.compare(i, wide_.size(), wide_) == 0) return wide_.size();
        return 0;
    }
    // The position of the next separator from `from` on (line.size() when none).
    std::size_t next(std::string_view line, std::size_t from) const {
        if (wide_.empty() && single_) {  // the usual case: found by memchr
            const std::size_t at = line.find(single_, from);
            return at == std::string_view::npos ? line.size() : at;
        }
        while (from < line.size() && at(line, from) == 0) ++from;
        return from;
    }

private:
    void add(char c) {
        if (ascii_[static_cast<unsigned char>(c)]) return;
        ascii_[static_cast<unsigned char>(c)] = true;
        single_ = ++count_ == 1 ? c : 0;
    }
    std::array<bool, 256> ascii_{};
    std::string wide_;
    char single_ = 0;
    int count_ = 0;
};

bool isBlank(char c) { return c == ' '; }

}  // namespace

void splitDelimitedInto(std::string_view line, const TextLayout& layout, std::vector<std::string>& values, bool* open) {
    const char quote = layout.activeQuote();
    const SeparatorSet separators(layout);
    std::size_t count = 0;
    if (open) *open = false;
    if (quote == 0 || line.find(quote) == std::string_view::npos) {
        // Without a quote in the line the values are the pieces between separators (line ends dropped).
        const bool lineBreaks = line.find('\r') != std::string_view::npos || line.find('\n') != std::string_view::npos;
        for (std::size_t from = 0;;) {
            const std::size_t end = separators.next(line, from);
            std::string& v = nextSlot(values, count);
            v.assign(line.substr(from, end - from));
            if (lineBreaks)
                v.erase(std::remove_if(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n'; }), v.end());
            if (end == line.size()) break;
            from = end + separators.at(line, end);
        }
        values.resize(count);
        return;
    }
    // A quote opens a quoted section only at the start of a value, blanks before it dropped; anywhere else
    // it is a character of the value. A section that no quote closes is no section: its quote is a
    // character too, and the text after it is split as usual.
    std::string* v = &nextSlot(values, count);
    bool valueStart = true;  // only blanks so far in this value
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == quote && valueStart) {
            const std::size_t opened = i;
            const std::string before = *v;
            v->clear();
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
            valueStart = false;
            if (!closed) {
                *v = before + quote;
                i = opened + 1;
                if (open) *open = true;
            }
            continue;
        }
        if (const std::size_t n = separators.at(line, i)) {
            v = &nextSlot(values, count);
            valueStart = true;
            i += n;
            continue;
        }
        if (c != '\r' && c != '\n') *v += c;
        valueStart = valueStart && isBlank(c);
        ++i;
    }
    values.resize(count);
}

std::vector<std::string> SplitDelimitedLine(std::string_view line, const TextLayout& layout, bool* open) {
    std::vector<std::string> values;
    splitDelimitedInto(line, layout, values, open);
    return values;
}

QuoteScan scanQuotes(std::string_view line, const TextLayout& layout, bool startsInside) {
    const char quote = layout.activeQuote();
    QuoteScan scan;
    scan.openAtEnd = startsInside;
    if (quote == 0 || line.find(quote) == std::string_view::npos) return scan;
    // The quoted sections as splitDelimitedInto walks them, without building values.
    const SeparatorSet separators(layout);
    bool inside = startsInside, valueStart = !startsInside;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inside) {
            if (c != quote) continue;
            if (i + 1 < line.size() && line[i + 1] == quote) {  // a doubled quote stands for one
                ++i;
                continue;
            }
            inside = false;
            continue;
        }
        if (c == quote && valueStart) {
            inside = true;
            valueStart = false;
            scan.openedAt = i;
            continue;
        }
        if (const std::size_t n = separators.at(line, i)) {
            valueStart = true;
            i += n - 1;
            continue;
        }
        valueStart = valueStart && isBlank(c);
    }
    scan.openAtEnd = inside;
    if (!inside) scan.openedAt = std::string_view::npos;
    return scan;
}

bool quoteOpenAtEnd(std::string_view line, const TextLayout& layout, bool startsInside) {
    return scanQuotes(line, layout, startsInside).openAtEnd;
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
