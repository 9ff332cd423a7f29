// The tools the import benchmark compares kimport with, run as their users run them: sqlite3 with a
// script, DuckDB through its Node package (bench/duckdb/run.mjs), GDAL's ogr2ogr. Each gives back the
// same figures of its target as kimport's table does, so that the benchmark can tell that both sides
// did the same job.
#pragma once

#include "TargetFigures.h"

#include <string>

namespace kimport::bench {

void writeText(const std::string& path, const std::string& text);
bool haveCommand(const std::string& name);
// The first line a shell command prints ("" when it prints nothing).
std::string firstLineOf(const std::string& command);
// A path in single quotes for the shell.
std::string shellQuoted(const std::string& path);

// sqlite3 running a script (dot commands and SQL) on a database file.
std::string sqliteCommand(const std::string& db, const std::string& script);
// The figures of the table t in a sqlite database; dates are ISO text there.
Figures sqliteFigures(const std::string& db, const FigureFields& f);

// DuckDB's runner, installed by `make bench` into bench-node/ beside bin/ (or the folder
// KIMPORT_BENCH_NODE names). `missing` says why it cannot be used; empty when it can.
struct DuckDb {
    std::string runner, version, missing;
};
DuckDb findDuckDb(const std::string& benchExecutable, const std::string& scratchDir);
std::string duckdbCommand(const DuckDb& duck, const std::string& db, const std::string& script);
Figures duckdbFigures(const DuckDb& duck, const std::string& db, const FigureFields& f, const std::string& scratchDir);

}  // namespace kimport::bench
