// Copies between the two formats keep every value the other format can hold.
#include "tablestore/TableTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace kimport;
using namespace kimport::test;

namespace {

std::string kimportExe() { return KIMPORT_KIMPORT_EXE; }

// A dump with trailing blanks of every cell removed: dBase text has none.
std::string withoutTrailingBlanks(const std::string& dump) {
    std::string out;
    std::string cell;
    for (char c : dump) {
        if (c == ',' || c == '\n') {
            while (!cell.empty() && cell.back() == ' ') cell.pop_back();
            out += cell;
            out += c;
            cell.clear();
        } else {
            cell += c;
        }
    }
    return out + cell;
}

// The records of a dump as cells (RFC 4180 quoting), the header line left out.
std::vector<std::vector<std::string>> records(const std::string& dump) {
    std::vector<std::vector<std::string>> rows(1);
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < dump.size(); ++i) {
        char c = dump[i];
        if (quoted) {
            if (c == '"' && i + 1 < dump.size() && dump[i + 1] == '"') cell += dump[++i];
            else if (c == '"') quoted = false;
            else cell += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',' || c == '\n') {
            rows.back().push_back(cell);
            cell.clear();
            if (c == '\n') rows.emplace_back();
        } else {
            cell += c;
        }
    }
    rows.pop_back();
    rows.erase(rows.begin());
    return rows;
}

// Cells agree when equal, or as numbers within the last digits of a double
// (a number field of dBase holds a currency value to its declared decimals).
void expectSameRecords(const std::string& actual, const std::string& expected) {
    auto a = records(actual), e = records(expected);
    ASSERT_EQ(a.size(), e.size());
    for (std::size_t r = 0; r < a.size(); ++r) {
        ASSERT_EQ(a[r].size(), e[r].size()) << "record " << r;
        for (std::size_t c = 0; c < a[r].size(); ++c) {
            if (a[r][c] == e[r][c]) continue;
            char* endA = nullptr;
            char* endE = nullptr;
            double x = std::strtod(a[r][c].c_str(), &endA), y = std::strtod(e[r][c].c_str(), &endE);
            bool numbers = !a[r][c].empty() && *endA == 0 && !e[r][c].empty() && *endE == 0;
            EXPECT_TRUE(numbers && std::fabs(x - y) <= 1e-9 * std::max(1.0, std::fabs(y)))
                << "record " << r << " cell " << c << ": " << a[r][c] << " vs " << e[r][c];
        }
    }
}

}  // namespace

TEST(CrossFormatCopy, ParadoxTablesCopiedToDBaseKeepTheirValues) {
    TempDir dir;
    // Tables whose types dBase holds exactly (text, numbers, dates, logical values).
    for (const char* t : {"paradox/paradoxReader/ORDERS.DB", "paradox/paradoxReader/CONTACTS.DB",
                          "paradox/paradoxReader/AREA-PDX/AREACODE.DB", "paradox/paradoxdriver/fields/long.db",
                          "paradox/paradoxdriver/fields/logical.db", "paradox/paradoxdriver/fields/date35.db"}) {
        SCOPED_TRACE(t);
        std::string dest = dir.file(std::filesystem::path(t).stem().string() + ".DBF");
        auto r = runCommand(kimportExe() + " copy '" + fixturesDir() + t + "' '" + dest + "'");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::string expected = withoutTrailingBlanks(readFile(fixturesDir() + "expected/" + t + ".csv"));
        // dBase field names are upper case and at most 10 characters: compare the records only.
        expectSameRecords(dumpOf(dest), expected);
    }
}

TEST(CrossFormatCopy, DBaseTablesCopiedToParadoxKeepTheirValues) {
    TempDir dir;
    for (const char* t : {"dbase/DBFFile/PYACFL.DBF", "dbase/DBFFile/dbase_03_fixed.dbf", "dbase/infused-dbf/dbase_83.dbf",
                          "dbase/infused-dbf/dbase_8b.dbf", "dbase/infused-dbf/dbase_f5.dbf"}) {
        SCOPED_TRACE(t);
        std::string dest = dir.file(std::filesystem::path(t).stem().string() + ".DB");
        auto r = runCommand(kimportExe() + " copy '" + fixturesDir() + t + "' '" + dest + "'");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(dumpOf(dest), readFile(fixturesDir() + "expected/" + t + ".csv"));
    }
}
