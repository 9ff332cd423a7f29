// A German supplier's price list as a spreadsheet exports it: UTF-8, semicolon separated, CRLF, the
// field names in the first line, decimal comma, dates as dd.mm.yyyy, the article numbers shuffled.
// About 60 % of the descriptions are quoted because they hold commas, semicolons or doubled quotes
// (inch marks, series names), the way real free text does; the rest are plain.
#pragma once

#include "TargetFigures.h"
#include "tablestore/FieldDef.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kimport::bench {

struct PriceList {
    std::uint64_t bytes = 0;
    std::int64_t quotedRows = 0;
    Figures all;  // of the whole list, as a target holds it after the import
};

// Writes `rows` articles to `path` and every second of them (the same articles with older prices and
// stock) to `olderPath`: a target filled from that one holds half of the keys, scattered.
PriceList writePriceLists(const std::string& path, const std::string& olderPath, std::int64_t rows);

// The keyed Paradox target the list goes into; its field names are the list's first line.
std::vector<FieldSpec> priceListFields();

// The figures' fields of the price list.
FigureFields priceListFigureFields();

}  // namespace kimport::bench
