#include "PeerTools.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kimport::bench {

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool haveCommand(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string firstLineOf(const std::string& command) {
    std::string line;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        if (std::fgets(buffer, sizeof buffer, p)) line = buffer;
        while (std::fgets(buffer, sizeof buffer, p)) {
        }
        pclose(p);
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

std::string shellQuoted(const std::string& path) {
    std::string q = "'";
    for (char c : path) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string sqliteCommand(const std::string& db, const std::string& script) {
    return "sqlite3 -batch -bail " + shellQuoted(db) + " < " + shellQuoted(script) + " >/dev/null";
}

Figures sqliteFigures(const std::string& db, const FigureFields& f) {
    const std::string sql = "SELECT count(*), coalesce(sum(" + f.key + "), 0), coalesce(sum(CAST(round(" + f.price +
                            " * 100) AS INTEGER)), 0), coalesce(sum(CAST(substr(" + f.date +
                            ", 1, 4) AS INTEGER)), 0), coalesce(sum(length(" + f.text + ")), 0) FROM t;";
    return figuresFromLine(firstLineOf("sqlite3 -batch " + shellQuoted(db) + " " + shellQuoted(sql) + " 2>&1"));
}

DuckDb findDuckDb(const std::string& benchExecutable, const std::string& scratchDir) {
    DuckDb d;
    const char* given = std::getenv("KIMPORT_BENCH_NODE");
    const std::filesystem::path folder =
        given ? std::filesystem::path(given)
              : std::filesystem::absolute(benchExecutable).parent_path().parent_path() / "bench-node";
    d.runner = (folder / "run.mjs").string();
    if (!haveCommand("node")) {
        d.missing = "node fehlt";
    } else if (!std::filesystem::exists(d.runner) ||
               !std::filesystem::exists(folder / "node_modules/@duckdb/node-api/package.json")) {
        d.missing = "@duckdb/node-api ist nicht in " + folder.string() + " installiert (make bench installiert es)";
    } else {
        const std::string script = scratchDir + "duckdb-version.sql";
        writeText(script, "SELECT version();\n");
        d.version = firstLineOf("node " + shellQuoted(d.runner) + " :memory: " + shellQuoted(script) + " 2>/dev/null");
        if (d.version.empty()) d.missing = "DuckDB lässt sich nicht starten (node " + d.runner + ")";
    }
    return d;
}

std::string duckdbCommand(const DuckDb& duck, const std::string& db, const std::string& script) {
    return "node " + shellQuoted(duck.runner) + " " + shellQuoted(db) + " " + shellQuoted(script) + " >/dev/null";
}

Figures duckdbFigures(const DuckDb& duck, const std::string& db, const FigureFields& f, const std::string& scratchDir) {
    const std::string script = scratchDir + "duckdb-figures.sql";
    writeText(script, "SELECT count(*), coalesce(sum(" + f.key + "), 0), coalesce(sum(round(" + f.price +
                          " * 100)::BIGINT), 0), coalesce(sum(year(" + f.date + ")), 0), coalesce(sum(length(" +
                          f.text + ")), 0) FROM t;\n");
    return figuresFromLine(
        firstLineOf("node " + shellQuoted(duck.runner) + " " + shellQuoted(db) + " " + shellQuoted(script) + " 2>&1"));
}

}  // namespace kimport::bench
