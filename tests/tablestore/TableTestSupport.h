// Helpers for the table store tests: fixture paths, dumps as strings.
#pragma once

#include "support/TestSupport.h"
#include "tablestore/Dump.h"
#include "tablestore/Table.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kimport::test {

inline std::string fixturesDir() { return sourceDir() + "/tests/fixtures/"; }

inline std::string dumpImage(const TableImage& image) {
    std::ostringstream out;
    dumpTable(image, out);
    return out.str();
}

// A keyed table of numbers and names (Nr integer key, Name text of 20), holding records Nr 1 to `records`.
inline void makeNumberedTable(const std::string& path, int records) {
    MakeTable(path.substr(0, path.find_last_of('/') + 1), path.substr(path.find_last_of('/') + 1),
              {{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 20}}, 1);
    Table t;
    t.setPath(path);
    t.OpenTable();
    for (int n = 1; n <= records; ++n) {
        t.BeginAppend();
        t.SetAsInteger(0, n);
        t.PostRecord();
    }
    t.CloseTable();
}

// Appends customers to a table whose first two fields are a number and a text: numbers step, 2·step
// ... records·step, each named "Kunde <number>".
inline void appendCustomers(const std::string& path, int records, int step = 1) {
    Table t;
    t.setPath(path);
    t.Exclusive = true;
    t.OpenTable();
    for (int i = 1; i <= records; ++i) {
        t.BeginAppend();
        t.SetAsInteger(0, i * step);
        t.SetAsString(1, "Kunde " + std::to_string(i * step), FormatSettings::german());
        t.PostRecord();
    }
    t.CloseTable();
}

// A field of a table image by its exact name.
inline const FieldDef& field(const TableImage& t, const std::string& name) {
    for (const FieldDef& f : t.fields)
        if (f.name == name) return f;
    throw std::runtime_error("no field " + name);
}

inline std::string dumpOf(const std::string& path, FileSystem& fs = realFileSystem()) {
    Table t(fs);
    t.setPath(path);
    t.OpenTable();
    std::ostringstream out;
    dumpTable(t.image(), out);
    return out.str();
}

// A table's dump as the cursor walks it, for a table whose image holds no records (opened Paged).
inline std::string dumpByCursor(Table& t) {
    std::string out;
    for (int i = 0; i < t.FieldCount(); ++i) out += (i ? "," : "") + csvQuote(t.FieldDefAt(i).name);
    out += '\n';
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) {
        for (int i = 0; i < t.FieldCount(); ++i) out += (i ? "," : "") + csvQuote(dumpCell(t.GetValue(i)));
        out += '\n';
    }
    return out;
}

// The Perl XBase module's view of a .DBF: every record with its deletion flag, memos included, sorted
// (a whole save may gather deleted records that a save in place leaves where they were). Throws when
// the module cannot read the table.
inline std::string perlView(const std::string& path) {
    CommandResult r = runCommand(
        "perl -MXBase -e '$t = XBase->new(name => $ARGV[0]) or die XBase->errstr; "
        "for $i (0 .. $t->last_record) { @r = $t->get_record($i); "
        "print join(\"|\", map { defined $_ ? $_ : \"<undef>\" } @r), \"\\n\" }' '" +
        path + "'");
    if (r.exitCode != 0) throw std::runtime_error("XBase cannot read " + path + ": " + r.err);
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    std::string sorted;
    for (const std::string& line : lines) sorted += line + "\n";
    return sorted;
}

// Tables below fixtures/<format> with an expected dump (relative paths like "paradox/x/T.DB").
inline std::vector<std::string> fixtureTables(const std::string& format, bool withErrors = false) {
    std::vector<std::string> tables;
    std::string root = fixturesDir() + "expected/";
    for (const auto& e : std::filesystem::recursive_directory_iterator(root + format)) {
        std::string p = e.path().string().substr(root.size());
        if (p.size() > 4 && p.substr(p.size() - 4) == ".csv") tables.push_back(p.substr(0, p.size() - 4));
        if (withErrors && p.size() > 10 && p.substr(p.size() - 10) == ".error.txt")
            tables.push_back(p.substr(0, p.size() - 10));
    }
    std::sort(tables.begin(), tables.end());
    return tables;
}

// Copies a fixture table's whole file set into a directory; returns the new data path.
inline std::string copyFixture(const std::string& relative, const std::string& directory) {
    std::filesystem::path src = fixturesDir() + relative;
    std::string base = src.stem().string();
    for (const auto& e : std::filesystem::directory_iterator(src.parent_path())) {
        if (e.path().stem().string() == base)
            std::filesystem::copy_file(e.path(), directory + e.path().filename().string(),
                                       std::filesystem::copy_options::overwrite_existing);
    }
    return directory + src.filename().string();
}

// Records as texts (German formats) in cursor order; an empty cell is a null value.
using Rows = std::vector<std::vector<std::string>>;

inline Rows contents(Table& t) {
    Rows rows;
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) {
        std::vector<std::string> row;
        for (int i = 0; i < t.FieldCount(); ++i) row.push_back(t.AsString(i, FormatSettings::german()));
        rows.push_back(row);
    }
    return rows;
}

inline Rows contentsOf(const std::string& path) {
    Table t;
    t.setPath(path);
    t.OpenTable();
    return contents(t);
}

// Removes every record of a table, as a user emptying it between two imports.
inline void emptyTable(const std::string& path) {
    Table t;
    t.setPath(path);
    t.Exclusive = true;
    t.OpenTable();
    t.ClearTable();
    t.CloseTable();
}

// Makes a table in the directory and appends the rows; returns its path.
inline std::string makeTableWithRows(const std::string& directory, const std::string& name,
                                     const std::vector<FieldSpec>& fields, int keys, const Rows& rows) {
    MakeTable(directory, name, fields, keys);
    Table t;
    t.setPath(directory + name);
    t.OpenTable();
    for (const auto& row : rows) {
        t.BeginAppend();
        for (std::size_t i = 0; i < row.size(); ++i)
            if (!row[i].empty()) t.SetValue(static_cast<int>(i), Value::ofText(row[i]), FormatSettings::german());
        t.PostRecord();
    }
    t.CloseTable();
    return directory + name;
}

}  // namespace kimport::test
