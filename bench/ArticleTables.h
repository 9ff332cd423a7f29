// The article records of the import benchmark (number, name, price, amount, date, flag) in every form
// a side reads or starts from: Paradox tables for kimport, sqlite and DuckDB tables for the peers, and
// one CSV file for all. Record i (from 0) has the number i + 1; `step` 2 gives every second record,
// which a target holding half of the keys holds.
#pragma once

#include "TargetFigures.h"
#include "tablestore/FieldDef.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kimport::bench {

// keyName: a source whose number goes by another name leaves the target's key unassigned (mode 4).
std::vector<FieldSpec> articleFields(const char* keyName = "Nr");

void fillArticleTable(const std::string& dir, const std::string& name, int records, int step, bool keyed,
                      const char* keyName = "Nr");

// CSV as sqlite3, DuckDB and kimport all read it without help: comma separated, the field names in the
// first line, decimal point, ISO dates, the flag as 1 or 0.
void writeArticleCsv(const std::string& path, int records);

// The columns in sqlite and DuckDB; `keyed` makes the number the primary key.
std::string sqliteArticleColumns(bool keyed, const char* keyName = "Nr");
std::string duckdbArticleColumns();
// SQL that fills `table` with the records (sqlite: a recursive count; DuckDB: range()).
std::string sqliteArticleRows(const std::string& table, int records, int step);
std::string duckdbArticleRows(const std::string& table, int records, int step);

// The figures of the records i = 0, step, 2·step … below `records`; with firstKey they carry the keys
// firstKey, firstKey + 1, … in that order instead of their own numbers.
Figures articleFigures(int records, int step, std::int64_t firstKey = 0);
FigureFields articleFigureFields();

}  // namespace kimport::bench
