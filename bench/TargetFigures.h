// What a benchmark checks in a target after each run, on every side alike: the records, the sum of
// their keys, of their prices in cents, of their dates' years and of their texts' lengths in
// characters. Equal figures on both sides mean both did the same job: a price read with the wrong
// decimal separator, a date read in the wrong order, an update not made, a quote left doubled or a
// text cut at a quoted semicolon all show.
#pragma once

#include <cstdint>
#include <string>

namespace kimport::bench {

struct Figures {
    std::int64_t records = 0, keySum = 0, centSum = 0, yearSum = 0, textChars = 0;

    Figures& operator+=(const Figures& o) {
        records += o.records, keySum += o.keySum, centSum += o.centSum, yearSum += o.yearSum, textChars += o.textChars;
        return *this;
    }
    bool operator==(const Figures&) const = default;
    std::string text() const;
};

// The fields the figures are taken from, by name.
struct FigureFields {
    std::string key, text, price, date;
};

std::int64_t utf8Characters(const std::string& text);

// Read from a Paradox or dBase table (kimport's targets, and ogr2ogr's .dbf).
Figures tableFigures(const std::string& path, const FigureFields& f);

// The five figures from a tool's one-line answer: whole numbers split by anything else.
Figures figuresFromLine(const std::string& line);

}  // namespace kimport::bench
