#include "TargetFigures.h"

#include "tablestore/Table.h"

#include <cctype>
#include <cmath>
#include <vector>

namespace kimport::bench {

std::string Figures::text() const {
    return std::to_string(records) + " records, keys " + std::to_string(keySum) + ", cents " + std::to_string(centSum) +
           ", years " + std::to_string(yearSum) + ", text characters " + std::to_string(textChars);
}

std::int64_t utf8Characters(const std::string& text) {
    std::int64_t n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
}

Figures tableFigures(const std::string& path, const FigureFields& f) {
    Table t;
    t.Sequential = true;
    t.setPath(path);
    t.OpenTable();
    const int key = t.FieldNamed(f.key), text = t.FieldNamed(f.text), price = t.FieldNamed(f.price),
              date = t.FieldNamed(f.date);
    Figures r;
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) {
        ++r.records;
        r.keySum += t.AsInteger(key);
        if (!t.IsNull(price)) r.centSum += std::llround(t.AsFloat(price) * 100);
        if (!t.IsNull(date)) r.yearSum += civilFromDayNumber(static_cast<DayNumber>(t.GetValue(date).integer)).year;
        r.textChars += utf8Characters(t.GetValue(text).text);
    }
    return r;
}

Figures figuresFromLine(const std::string& line) {
    std::vector<std::int64_t> n;
    std::string number;
    for (char c : line + "\n") {
        if (std::isdigit(static_cast<unsigned char>(c)) || (c == '-' && number.empty())) {
            number += c;
        } else {
            if (!number.empty()) n.push_back(std::atoll(number.c_str()));
            number.clear();
        }
    }
    n.resize(5, 0);
    return {n[0], n[1], n[2], n[3], n[4]};
}

}  // namespace kimport::bench
