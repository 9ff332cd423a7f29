// Times `kimport run` against the tools people would pick for the same job, each case the same rows
// from the same kind of source into the same kind of target:
// - a keyed Paradox table into a keyed Paradox table in modes 1 to 5, against sqlite3 moving the same
//   rows from an attached sqlite table into a keyed sqlite table;
// - a CSV file into a keyed table (mode 1 into an empty one, mode 5 into one holding half of the keys),
//   against sqlite3's .import and DuckDB's read_csv (through its Node package, two threads);
// - a German price list (semicolons, quoted free text, decimal commas, dd.mm.yyyy dates, keys
//   shuffled) into a keyed table in modes 1 and 5, against the same two;
// - a dBase table appended to a dBase table, against ogr2ogr -append and sqlite3.
// Prints one line a case with kimport's best time, the best peer's, their ratio and kimport's peak
// memory beside its goal, and checks every side's target after every run. Ends with bench_upsert.
// KIMPORT_BENCH_RECORDS (default 1,000,000) sets the rows, KIMPORT_BENCH_ROUNDS (default 3) the runs
// of each side, KIMPORT_BENCH_KEEP=1 keeps the folder for a profiler.
#include "ArticleTables.h"
#include "BenchSupport.h"
#include "ImportCase.h"
#include "PeerTools.h"
#include "PriceListCsv.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

using namespace kimport;
using namespace kimport::bench;

namespace {

const int kRecords = std::getenv("KIMPORT_BENCH_RECORDS") ? std::atoi(std::getenv("KIMPORT_BENCH_RECORDS")) : 1000000;
const int kRounds =
    std::getenv("KIMPORT_BENCH_ROUNDS") ? std::max(1, std::atoi(std::getenv("KIMPORT_BENCH_ROUNDS"))) : 3;
// Modes 3 and 4 count new keys up from here, above every key there is.
const std::int64_t kStart = 2 * static_cast<std::int64_t>(kRecords) + 1;

std::string dir;

void copyFile(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// A fresh kimport target: the Paradox template's files copied over Ziel's.
std::function<void()> paradoxFrom(const std::string& name) {
    return [name] {
        for (const char* ext : {".DB", ".PX"}) copyFile(dir + name + ext, dir + "Ziel" + ext);
    };
}

// A peer's fresh target: a copy of its template, or no database at all when the script makes the table.
std::function<void()> databaseFrom(const std::string& templ, const std::string& target) {
    return [templ, target] {
        std::filesystem::remove(target);
        std::filesystem::remove(target + ".wal");
        if (!templ.empty()) copyFile(dir + templ, target);
    };
}

Side kimportSide(const std::string& kimport, const std::string& templ, const std::string& args, const FigureFields& f) {
    return {"kimport", paradoxFrom(templ),
            kimport + " run --program-dir " + dir + "prog " + args + " --target " + dir + "Ziel.DB >/dev/null 2>" +
                dir + "kimport-stderr.txt",
            [f] { return tableFigures(dir + "Ziel.DB", f); }};
}

Side sqliteSide(const std::string& templ, const std::string& sql, const std::string& scriptName,
                const FigureFields& f) {
    const std::string db = dir + "run.sqlite", script = dir + scriptName;
    writeText(script, sql);
    return {"sqlite3", databaseFrom(templ, db), sqliteCommand(db, script), [db, f] { return sqliteFigures(db, f); }};
}

Side duckdbSide(const DuckDb& duck, const std::string& templ, const std::string& sql, const std::string& scriptName,
                const FigureFields& f) {
    const std::string db = dir + "run.duckdb", script = dir + scriptName;
    writeText(script, sql);
    return {"DuckDB", databaseFrom(templ, db), duckdbCommand(duck, db, script),
            [duck, db, f] { return duckdbFigures(duck, db, f, dir); }};
}

// Runs a set-up command; false (and says so) when it fails.
bool setUp(const std::string& what, const std::string& command) {
    if (std::system(command.c_str()) == 0) return true;
    std::printf("Vorbereitung fehlgeschlagen: %s\n", what.c_str());
    return false;
}

const char* const kArticleUpdate =
    " ON CONFLICT(Nr) DO UPDATE SET Name = excluded.Name, Preis = excluded.Preis, Menge = excluded.Menge, "
    "Datum = excluded.Datum, Aktiv = excluded.Aktiv;";
const char* const kPriceUpdate =
    " ON CONFLICT(ArtNr) DO UPDATE SET Bezeichnung = excluded.Bezeichnung, Warengruppe = excluded.Warengruppe, "
    "Preis = excluded.Preis, Einheit = excluded.Einheit, GueltigAb = excluded.GueltigAb, Bestand = excluded.Bestand;";
const char* const kPriceColumnsSqlite =
    "(ArtNr INTEGER PRIMARY KEY, Bezeichnung TEXT, Warengruppe TEXT, Preis REAL, Einheit TEXT, GueltigAb TEXT, "
    "Bestand INTEGER)";
const char* const kPriceColumnsDuckdb =
    "(ArtNr INTEGER PRIMARY KEY, Bezeichnung VARCHAR, Warengruppe VARCHAR, Preis DOUBLE, Einheit VARCHAR, "
    "GueltigAb DATE, Bestand INTEGER)";

// sqlite3 reads neither decimal commas nor dd.mm.yyyy dates: the list goes into a staging table as text
// and is converted on its way into t, which is what a sqlite3 user has to do for such a file.
std::string sqlitePriceLoad(const std::string& csv, const std::string& conflict) {
    return std::string(
               "CREATE TEMP TABLE s(ArtNr TEXT, Bezeichnung TEXT, Warengruppe TEXT, Preis TEXT, Einheit TEXT, "
               "GueltigAb TEXT, Bestand TEXT);\n.mode csv\n.separator ;\n.import --skip 1 ") +
           csv +
           " s\nINSERT INTO t SELECT CAST(ArtNr AS INTEGER), Bezeichnung, Warengruppe, CAST(replace(Preis, ',', '.') "
           "AS REAL), Einheit, substr(GueltigAb, 7, 4) || '-' || substr(GueltigAb, 4, 2) || '-' || substr(GueltigAb, "
           "1, 2), CAST(Bestand AS INTEGER) FROM s WHERE true" +
           conflict + "\n";
}

std::string duckdbPriceLoad(const std::string& csv, const std::string& conflict) {
    return "INSERT INTO t SELECT * FROM read_csv('" + csv +
           "', header = true, delim = ';', quote = '\"', escape = '\"', decimal_separator = ',', dateformat = "
           "'%d.%m.%Y', columns = {'ArtNr': 'INTEGER', 'Bezeichnung': 'VARCHAR', 'Warengruppe': 'VARCHAR', 'Preis': "
           "'DOUBLE', 'Einheit': 'VARCHAR', 'GueltigAb': 'DATE', 'Bestand': 'INTEGER'})" +
           conflict + "\n";
}

std::string duckdbArticleLoad(const std::string& csv, const std::string& conflict) {
    return "INSERT INTO t SELECT * FROM read_csv('" + csv +
           "', header = true, delim = ',', quote = '\"', dateformat = '%Y-%m-%d', columns = {'Nr': 'INTEGER', 'Name': "
           "'VARCHAR', 'Preis': 'DOUBLE', 'Menge': 'SMALLINT', 'Datum': 'DATE', 'Aktiv': 'BOOLEAN'})" +
           conflict + "\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kimport = kimportBeside(argc, argv);
    if (!haveCommand("sqlite3")) {
        std::printf("sqlite3 fehlt: scripts/install-deps --bench\n");
        return 1;
    }
    dir = freshBenchFolder("kimport-bench-import");
    const DuckDb duck = findDuckDb(argv[0], dir);
    const bool ogr = haveCommand("ogr2ogr");
    std::printf("import: %d records a case; peers: sqlite3 %s", kRecords,
                firstLineOf("sqlite3 --version | cut -d' ' -f1").c_str());
    if (duck.missing.empty()) std::printf(", DuckDB %s (@duckdb/node-api, 2 threads)", duck.version.c_str());
    if (ogr) std::printf(", %s", firstLineOf("ogr2ogr --version").c_str());
    std::printf("\n");
    if (!duck.missing.empty()) std::printf("DuckDB fehlt: %s; verglichen wird ohne DuckDB.\n", duck.missing.c_str());
    if (!ogr) std::printf("ogr2ogr fehlt (scripts/install-deps --bench); dBase wird nur mit sqlite3 verglichen.\n");
    std::fflush(stdout);

    // kimport's sources and targets. Level-7 targets may take 32 KB blocks, so that 5,000,000 records fit.
    fillArticleTable(dir, "Quelle.DB", kRecords, 1, true);
    fillArticleTable(dir, "OhneNr.DB", kRecords, 1, false, "Lfd");  // no key: key fields pair with key fields
    fillArticleTable(dir, "Leer.DB", kRecords, kRecords, true);     // one record, emptied by --empty-target
    fillArticleTable(dir, "Halb.DB", kRecords, 2, true);
    MakeTable(dir, "PreisLeer.DB", priceListFields(), 1);
    bool ok = true;
    for (const char* name : {"Leer", "Halb", "PreisLeer"}) {
        const std::string from = dir + name + ".DB", to = dir + name + "7.DB";
        ok = ok && setUp(name, kimport + " copy " + from + " " + to + " --format paradox7 >/dev/null 2>&1");
        for (const char* ext : {".DB", ".PX"}) std::filesystem::rename(dir + name + "7" + ext, dir + name + ext);
    }
    ok = ok && setUp("Quelle.DBF",
                     kimport + " copy " + dir + "Quelle.DB " + dir + "Quelle.DBF --format dbase4 >/dev/null 2>&1");
    writeArticleCsv(dir + "quelle.csv", kRecords);
    const PriceList prices = writePriceLists(dir + "preisliste.csv", dir + "preise-alt.csv", kRecords);
    const std::string priceOptions =
        " --names-first-line --encoding utf8 --separator ';' --quote '\"' --decimal , --date-sep . --date-order "
        "DD/MM/YYYY";
    for (const char* ext : {".DB", ".PX"}) copyFile(dir + "PreisLeer" + ext, dir + "PreisHalb" + ext);
    ok =
        ok && setUp("PreisHalb", kimport + " run --program-dir " + dir + "prog --source " + dir + "preise-alt.csv" +
                                     priceOptions + " --target " + dir + "PreisHalb.DB --empty-target >/dev/null 2>&1");

    // The peers' sources and templates hold the same rows.
    const std::string sq = dir + "setup.sql";
    writeText(sq, "CREATE TABLE s" + sqliteArticleColumns(true) + ";\n" + sqliteArticleRows("s", kRecords, 1) +
                      "\nCREATE TABLE ohne" + sqliteArticleColumns(false, "Lfd") + ";\n" +
                      sqliteArticleRows("ohne", kRecords, 1) + "\n");
    ok = ok && setUp("quelle.sqlite", sqliteCommand(dir + "quelle.sqlite", sq));
    writeText(sq, "CREATE TABLE t" + sqliteArticleColumns(true) + ";\n" + sqliteArticleRows("t", kRecords, 2) + "\n");
    ok = ok && setUp("halb.sqlite", sqliteCommand(dir + "halb.sqlite", sq));
    writeText(sq, "CREATE TABLE t" + sqliteArticleColumns(false) + ";\n" + sqliteArticleRows("t", kRecords, 1) + "\n");
    ok = ok && setUp("voll.sqlite", sqliteCommand(dir + "voll.sqlite", sq));
    writeText(
        sq, std::string("CREATE TABLE t") + kPriceColumnsSqlite + ";\n" + sqlitePriceLoad(dir + "preise-alt.csv", ";"));
    ok = ok && setUp("preise-halb.sqlite", sqliteCommand(dir + "preise-halb.sqlite", sq));
    if (duck.missing.empty()) {
        writeText(sq, "CREATE TABLE t" + duckdbArticleColumns() + ";\n" + duckdbArticleRows("t", kRecords, 2) + "\n");
        ok = ok && setUp("halb.duckdb", duckdbCommand(duck, dir + "halb.duckdb", sq));
        writeText(sq, std::string("CREATE TABLE t") + kPriceColumnsDuckdb + ";\n" +
                          duckdbPriceLoad(dir + "preise-alt.csv", ";"));
        ok = ok && setUp("preise-halb.duckdb", duckdbCommand(duck, dir + "preise-halb.duckdb", sq));
    }
    if (!ok) return 1;

    const FigureFields af = articleFigureFields(), pf = priceListFigureFields();
    const Figures all = articleFigures(kRecords, 1), half = articleFigures(kRecords, 2);
    const std::string attach = "ATTACH '" + dir + "quelle.sqlite' AS q;\n";
    const std::string newTable = "CREATE TABLE t" + sqliteArticleColumns(true) + ";\n";
    std::vector<ImportCase> cases;
    auto tableCase = [&](int mode, const char* templ, const char* source, const std::string& sql, Figures expected) {
        std::string args = std::string("--source ") + dir + source + " --mode " + std::to_string(mode);
        if (mode == 1) args += " --empty-target";
        if (mode == 3 || mode == 4) args += " --start-value " + std::to_string(kStart);
        const std::string name = "table mode " + std::to_string(mode);
        cases.push_back({name,
                         kimportSide(kimport, templ, args, af),
                         {sqliteSide(mode == 1 ? "" : "halb.sqlite", sql, "mode" + std::to_string(mode) + ".sql", af)},
                         expected,
                         dir + "Ziel.DB"});
    };
    // Mode 1, into the emptied target: every row appended (sqlite3: into a new keyed table).
    tableCase(1, "Leer", "Quelle.DB", newTable + attach + "INSERT INTO t SELECT * FROM q.s;\n", all);
    // Mode 2: rows whose key is there are left out (sqlite3: INSERT OR IGNORE).
    tableCase(2, "Halb", "Quelle.DB", attach + "INSERT OR IGNORE INTO t SELECT * FROM q.s;\n", all);
    // Mode 3: a row whose key is there comes in under a new key counted up from the start value, in
    // key order; the others under their own (sqlite3: the same keys by row_number(), then the rest).
    {
        Figures expected = all;
        expected += articleFigures(kRecords, 2, kStart);
        tableCase(3, "Halb", "Quelle.DB",
                  attach + "BEGIN;\nINSERT INTO t SELECT " + std::to_string(kStart - 1) +
                      " + row_number() OVER (ORDER BY s.Nr), s.Name, s.Preis, s.Menge, s.Datum, s.Aktiv FROM q.s AS s "
                      "WHERE EXISTS (SELECT 1 FROM main.t AS u WHERE u.Nr = s.Nr) ORDER BY s.Nr;\n"
                      "INSERT OR IGNORE INTO t SELECT * FROM q.s;\nCOMMIT;\n",
                  expected);
    }
    // Mode 4: from a source without key every row gets a new key counted up from the start value in
    // file order (sqlite3: the start value plus the source's row id, which counts the rows from 1).
    {
        Figures expected = half;
        expected += articleFigures(kRecords, 1, kStart);
        tableCase(4, "Halb", "OhneNr.DB",
                  attach + "INSERT INTO t SELECT " + std::to_string(kStart - 1) +
                      " + rowid, Name, Preis, Menge, Datum, Aktiv FROM q.ohne ORDER BY rowid;\n",
                  expected);
    }
    // Mode 5: rows whose key is there replace theirs, the others are added (sqlite3: an upsert).
    tableCase(5, "Halb", "Quelle.DB", attach + "INSERT INTO t SELECT * FROM q.s WHERE true" + kArticleUpdate + "\n",
              all);

    // CSV into a keyed table: sqlite3 .import (mode 5 through a staging table and an upsert), DuckDB read_csv.
    const std::string csv = dir + "quelle.csv";
    const std::string csvOptions =
        " --names-first-line --separator , --quote '\"' --decimal . --thousands space "
        "--date-sep - --date-order YYYY/MM/DD";
    for (int mode : {1, 5}) {
        ImportCase c{"csv mode " + std::to_string(mode),
                     kimportSide(kimport, mode == 1 ? "Leer" : "Halb",
                                 "--source " + csv + csvOptions + " --mode " + std::to_string(mode) +
                                     (mode == 1 ? " --empty-target" : ""),
                                 af),
                     {},
                     all,
                     dir + "Ziel.DB"};
        const std::string sqliteSql =
            mode == 1 ? newTable + ".import --csv --skip 1 " + csv + " t\n"
                      : "CREATE TEMP TABLE s" + sqliteArticleColumns(false) + ";\n.import --csv --skip 1 " + csv +
                            " s\nINSERT INTO t SELECT * FROM s WHERE true" + kArticleUpdate + "\n";
        c.peers.push_back(
            sqliteSide(mode == 1 ? "" : "halb.sqlite", sqliteSql, "csv" + std::to_string(mode) + ".sql", af));
        if (duck.missing.empty()) {
            const std::string duckSql =
                mode == 1 ? "CREATE TABLE t" + duckdbArticleColumns() + ";\n" + duckdbArticleLoad(csv, ";")
                          : duckdbArticleLoad(csv, kArticleUpdate);
            c.peers.push_back(duckdbSide(duck, mode == 1 ? "" : "halb.duckdb", duckSql,
                                         "csv" + std::to_string(mode) + ".duck.sql", af));
        }
        cases.push_back(std::move(c));
    }

    // The price list into a keyed table, mode 1 into the emptied target and mode 5 into one holding
    // every second article at its older price.
    const std::string list = dir + "preisliste.csv";
    for (int mode : {1, 5}) {
        ImportCase c{"prices mode " + std::to_string(mode),
                     kimportSide(kimport, mode == 1 ? "PreisLeer" : "PreisHalb",
                                 "--source " + list + priceOptions + " --mode " + std::to_string(mode) +
                                     (mode == 1 ? " --empty-target" : ""),
                                 pf),
                     {},
                     prices.all,
                     dir + "Ziel.DB"};
        const std::string conflict = mode == 1 ? ";" : kPriceUpdate;
        c.peers.push_back(sqliteSide(mode == 1 ? "" : "preise-halb.sqlite",
                                     (mode == 1 ? std::string("CREATE TABLE t") + kPriceColumnsSqlite + ";\n" : "") +
                                         sqlitePriceLoad(list, conflict),
                                     "prices" + std::to_string(mode) + ".sql", pf));
        if (duck.missing.empty())
            c.peers.push_back(
                duckdbSide(duck, mode == 1 ? "" : "preise-halb.duckdb",
                           (mode == 1 ? std::string("CREATE TABLE t") + kPriceColumnsDuckdb + ";\n" : "") +
                               duckdbPriceLoad(list, conflict),
                           "prices" + std::to_string(mode) + ".duck.sql", pf));
        cases.push_back(std::move(c));
    }

    // dBase to dBase: the rows appended to a table that holds them already (no key, so mode 1).
    {
        std::filesystem::create_directories(dir + "dbf");
        std::filesystem::create_directories(dir + "ogr");
        Figures twice = all;
        twice += all;
        ImportCase c{"dbf append",
                     {"kimport", [] { copyFile(dir + "Quelle.DBF", dir + "dbf/ziel.dbf"); },
                      kimport + " run --program-dir " + dir + "prog --source " + dir + "Quelle.DBF --target " + dir +
                          "dbf/ziel.dbf >/dev/null 2>" + dir + "kimport-stderr.txt",
                      [af] { return tableFigures(dir + "dbf/ziel.dbf", af); }},
                     {},
                     twice,
                     dir + "dbf/ziel.dbf"};
        if (ogr)
            c.peers.push_back({"ogr2ogr", [] { copyFile(dir + "Quelle.DBF", dir + "ogr/ziel.dbf"); },
                               "ogr2ogr -append -nln ziel " + dir + "ogr/ziel.dbf " + dir + "Quelle.DBF >/dev/null",
                               [af] { return tableFigures(dir + "ogr/ziel.dbf", af); }});
        // sqlite3: the attached table's rows into a table without key that holds them already.
        c.peers.push_back(sqliteSide("voll.sqlite", attach + "INSERT INTO t SELECT * FROM q.s;\n", "dbf.sql", af));
        cases.push_back(std::move(c));
    }

    std::printf(
        "ratio = kimport s / peer s (best of %d runs each, alternating); goal MB = 1.5 x the target's "
        "files + 100 MB\n",
        kRounds);
    printCaseHead();
    for (const ImportCase& c : cases) {
        const bool caseOk = runCase(c, kRounds);
        if (!caseOk) std::system(("tail -3 " + dir + "kimport-stderr.txt").c_str());
        ok = caseOk && ok;
    }
    std::printf(
        "csv: %.1f MB. prices: %.1f MB, %d rows, %.0f %% quoted; half of the keys in mode 5's target, with "
        "older prices. sqlite3 reads neither decimal commas nor dd.mm.yyyy dates: it imports the list as text "
        "into a staging table and converts in SQL (replace(Preis, ',', '.'), substr() of the date). Every time "
        "includes the start of its process (DuckDB's that of node, about 0.25 s).\n",
        static_cast<double>(std::filesystem::file_size(csv)) / 1e6, static_cast<double>(prices.bytes) / 1e6, kRecords,
        100.0 * static_cast<double>(prices.quotedRows) / std::max(1, kRecords));

    if (!std::getenv("KIMPORT_BENCH_KEEP")) std::filesystem::remove_all(dir);
    // A small change to a large table: 1,000 rows into 2,500,000 (appended, updated, inserted between
    // present keys so that blocks split), against sqlite3 on the same rows (bench_upsert beside us).
    std::printf("\n");
    std::fflush(stdout);
    const std::string upsert = (std::filesystem::path(argv[0]).parent_path() / "bench_upsert").string();
    ok = std::system(("'" + upsert + "' '" + kimport + "'").c_str()) == 0 && ok;
    return ok ? 0 : 1;
}
