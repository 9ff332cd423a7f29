#include "ArticleTables.h"

#include "tablestore/Table.h"

#include <cstdio>

namespace kimport::bench {

namespace {

const DayNumber kFirstDay = dayNumberFromCivil(2010, 1, 1);

std::string articleName(int i) {
    return "Artikel Nummer " + std::to_string(i);
}
int cents(int i) {
    return i % 1000 * 25;
}
DayNumber day(int i) {
    return kFirstDay + i % 4000;
}

}  // namespace

std::vector<FieldSpec> articleFields(const char* keyName) {
    return {{keyName, FieldType::Integer, 0},  {"Name", FieldType::String, 30}, {"Preis", FieldType::Currency, 0},
            {"Menge", FieldType::SmallInt, 0}, {"Datum", FieldType::Date, 0},   {"Aktiv", FieldType::Boolean, 0}};
}

void fillArticleTable(const std::string& dir, const std::string& name, int records, int step, bool keyed,
                      const char* keyName) {
    MakeTable(dir, name, articleFields(keyName), keyed ? 1 : 0);
    Table t;
    t.setPath(dir + name);
    t.Exclusive = true;
    t.OpenTable();
    for (int i = 0; i < records; i += step) {
        t.BeginAppend();
        t.SetValue(0, Value::ofInteger(i + 1));
        t.SetValue(1, Value::ofText(articleName(i)));
        t.SetValue(2, Value::ofFloat(cents(i) / 100.0));
        t.SetValue(3, Value::ofInteger(i % 30000));
        t.SetValue(4, Value::ofDate(day(i)));
        t.SetValue(5, Value::ofBoolean(i % 3 == 0));
        t.PostRecord();
    }
}

void writeArticleCsv(const std::string& path, int records) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return;
    std::fputs("Nr,Name,Preis,Menge,Datum,Aktiv\n", out);
    for (int i = 0; i < records; ++i)
        std::fprintf(out, "%d,%s,%d.%02d,%d,%s,%d\n", i + 1, articleName(i).c_str(), cents(i) / 100, cents(i) % 100,
                     i % 30000, isoDate(day(i)).c_str(), i % 3 == 0 ? 1 : 0);
    std::fclose(out);
}

std::string sqliteArticleColumns(bool keyed, const char* keyName) {
    return std::string("(") + keyName + (keyed ? " INTEGER PRIMARY KEY" : " INTEGER") +
           ", Name TEXT, Preis REAL, Menge INTEGER, Datum TEXT, Aktiv INTEGER)";
}

std::string duckdbArticleColumns() {
    return "(Nr INTEGER PRIMARY KEY, Name VARCHAR, Preis DOUBLE, Menge SMALLINT, Datum DATE, Aktiv BOOLEAN)";
}

std::string sqliteArticleRows(const std::string& table, int records, int step) {
    return "WITH RECURSIVE c(i) AS (SELECT 0 UNION ALL SELECT i + " + std::to_string(step) + " FROM c WHERE i + " +
           std::to_string(step) + " < " + std::to_string(records) + ") INSERT INTO " + table +
           " SELECT i + 1, 'Artikel Nummer ' || i, (i % 1000) * 0.25, i % 30000, date('2010-01-01', '+' || (i % 4000) "
           "|| ' days'), i % 3 = 0 FROM c;";
}

std::string duckdbArticleRows(const std::string& table, int records, int step) {
    return "INSERT INTO " + table +
           " SELECT i + 1, 'Artikel Nummer ' || i, (i % 1000) * 0.25, i % 30000, DATE "
           "'2010-01-01' + CAST(i % 4000 AS INTEGER), i % 3 = 0 FROM range(0, " +
           std::to_string(records) + ", " + std::to_string(step) + ") AS r(i);";
}

Figures articleFigures(int records, int step, std::int64_t firstKey) {
    Figures f;
    for (int i = 0; i < records; i += step) {
        f += Figures{1, firstKey ? firstKey + f.records : i + 1, cents(i), civilFromDayNumber(day(i)).year,
                     static_cast<std::int64_t>(articleName(i).size())};
    }
    return f;
}

FigureFields articleFigureFields() {
    return {"Nr", "Name", "Preis", "Datum"};
}

}  // namespace kimport::bench
