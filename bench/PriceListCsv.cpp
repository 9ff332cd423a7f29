#include "PriceListCsv.h"

#include "tablestore/Value.h"

#include <cstdio>
#include <numeric>
#include <stdexcept>

namespace kimport::bench {

namespace {

// splitmix64: the same list on every machine and standard library (std's distributions differ).
struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    template <std::size_t N>
    const char* pick(const char* const (&words)[N]) {
        return words[below(N)];
    }
};

const char* const kNames[] = {"Holzschraube",  "Sechskantmutter", "Unterlegscheibe", "Dübel",
                              "Rohrschelle",   "Flachdichtung",   "Kabelbinder",     "Winkelverbinder",
                              "Gewindestange", "Scharnier",       "Schlauchschelle", "Spanplattenschraube",
                              "Türdrücker",    "Möbelgriff",      "Abzweigdose",     "Schleifpapier",
                              "Steinbohrer",   "Fensterbeschlag", "Übergangsmuffe",  "Kugelhahn"};
const char* const kMaterials[] = {"verzinkt", "Edelstahl A2", "Messing",       "Kunststoff",
                                  "schwarz",  "weiß",         "feuerverzinkt", "Stahl blank"};
const char* const kSeries[] = {"Profi", "Basic", "Eco", "Premium", "Handwerk"};
const char* const kColours[] = {"grau", "anthrazit", "RAL 9010", "silber", "braun"};
const char* const kInches[] = {"1/4", "3/8", "1/2", "3/4", "1", "1 1/4"};
const char* const kGroups[] = {"Befestigung", "Sanitär", "Elektro", "Beschläge", "Werkzeug", "Farben"};
const char* const kUnits[] = {"Stk", "m", "kg", "Pak", "Rol", "l"};

// Every draw in a statement of its own: the operands of + are evaluated in no fixed order, and the
// list must be the same whichever compiler built the benchmark.
struct Parts {
    std::string name, material, series, inch, colour, width, tenth, length, pack;
    explicit Parts(Random& r) {
        name = r.pick(kNames);
        material = r.pick(kMaterials);
        series = r.pick(kSeries);
        inch = r.pick(kInches);
        colour = r.pick(kColours);
        width = std::to_string(3 + r.below(8));
        tenth = std::to_string(r.below(10));
        length = std::to_string(10 * (2 + r.below(19)));
        pack = std::to_string(10 * (1 + r.below(20)));
    }
};

// A description with a comma, a semicolon or an inch mark, which the list must quote.
std::string needsQuotes(Random& r) {
    const Parts p(r);
    const std::string dim = p.width + "," + p.tenth + " x " + p.length + " mm";
    switch (r.below(4)) {
        case 0:
            return p.name + " " + dim + ", " + p.material + "; VPE " + p.pack;
        case 1:
            return p.name + " " + p.inch + "\", " + p.material + ", innen";
        case 2:
            return p.name + " \"" + p.series + "\", " + p.material + "; Farbe " + p.colour;
        default:
            return p.name + " " + dim + "; " + p.material + ", \"" + p.series + "\" " + p.inch + "\"";
    }
}

std::string plain(Random& r) {
    const Parts p(r);
    const std::string text = p.name + " " + p.width + "x" + p.length + " " + p.material;
    return r.below(2) ? text + " VPE " + p.pack : text;
}

std::string csvQuoted(const std::string& text) {
    std::string q = "\"";
    for (char c : text) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::string germanPrice(std::int64_t cents) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld,%02lld", static_cast<long long>(cents / 100),
                  static_cast<long long>(cents % 100));
    return buffer;
}

std::string germanDate(DayNumber day) {
    const CivilDate c = civilFromDayNumber(day);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", c.day, c.month, c.year);
    return buffer;
}

}  // namespace

PriceList writePriceLists(const std::string& path, const std::string& olderPath, std::int64_t rows) {
    Random r{20240301};
    std::vector<std::int32_t> keys(static_cast<std::size_t>(rows));
    std::iota(keys.begin(), keys.end(), 1);
    for (std::size_t i = keys.size(); i > 1; --i) std::swap(keys[i - 1], keys[r.below(i)]);

    const std::string header = "ArtNr;Bezeichnung;Warengruppe;Preis;Einheit;GueltigAb;Bestand\r\n";
    std::string list = header, older = header;
    PriceList result;
    const DayNumber firstDay = dayNumberFromCivil(2019, 1, 1);
    FILE* out = std::fopen(path.c_str(), "wb");
    FILE* olderOut = std::fopen(olderPath.c_str(), "wb");
    if (!out || !olderOut) {
        if (out) std::fclose(out);
        if (olderOut) std::fclose(olderOut);
        throw std::runtime_error("Preisliste nicht schreibbar: " + path);
    }
    for (std::int64_t row = 0; row < rows; ++row) {
        const std::int32_t key = keys[static_cast<std::size_t>(row)];
        const bool quote = r.below(100) < 60;
        const std::string text = quote ? needsQuotes(r) : plain(r);
        const std::string group = r.pick(kGroups), unit = r.pick(kUnits);
        const std::int64_t cents = 5 + static_cast<std::int64_t>(r.below(99995));
        const DayNumber day = firstDay + static_cast<DayNumber>(r.below(2200));
        const std::int64_t stock = static_cast<std::int64_t>(r.below(5000));
        const std::string start = std::to_string(key) + ";" + (quote ? csvQuoted(text) : text) + ";" + group + ";";
        list += start + germanPrice(cents) + ";" + unit + ";" + germanDate(day) + ";" + std::to_string(stock) + "\r\n";
        // The older list: the same article a year earlier, a tenth cheaper, with other stock.
        if (row % 2 == 0)
            older += start + germanPrice(cents - cents / 10) + ";" + unit + ";" + germanDate(day - 365) + ";" +
                     std::to_string((stock + 37) % 5000) + "\r\n";
        result.quotedRows += quote;
        result.all += Figures{1, key, cents, civilFromDayNumber(day).year, utf8Characters(text)};
        if (list.size() > (1u << 20)) result.bytes += std::fwrite(list.data(), 1, list.size(), out), list.clear();
        if (older.size() > (1u << 20)) std::fwrite(older.data(), 1, older.size(), olderOut), older.clear();
    }
    result.bytes += std::fwrite(list.data(), 1, list.size(), out);
    std::fwrite(older.data(), 1, older.size(), olderOut);
    std::fclose(out);
    std::fclose(olderOut);
    return result;
}

std::vector<FieldSpec> priceListFields() {
    return {{"ArtNr", FieldType::Integer, 0},       {"Bezeichnung", FieldType::String, 80},
            {"Warengruppe", FieldType::String, 20}, {"Preis", FieldType::Currency, 0},
            {"Einheit", FieldType::String, 5},      {"GueltigAb", FieldType::Date, 0},
            {"Bestand", FieldType::Integer, 0}};
}

FigureFields priceListFigureFields() {
    return {"ArtNr", "Bezeichnung", "Preis", "GueltigAb"};
}

}  // namespace kimport::bench
