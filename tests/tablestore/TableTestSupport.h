// Helpers for the table store tests: fixture paths, dumps as strings.
#pragma once

#include "support/TestSupport.h"
#include "tablestore/Dump.h"
#include "tablestore/Table.h"

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

}  // namespace kimport::test
