// kimport copy: every value arrives exactly or nothing is copied; an existing
// table is replaced only by a complete new one.
#include "support/FaultyFileSystem.h"
#include "tablestore/TableCopy.h"
#include "tablestore/TableFiles.h"
#include "tablestore/TableTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace kimport;
using namespace kimport::test;

namespace {

std::string kimportExe() { return KIMPORT_KIMPORT_EXE; }

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

// Every value as the dump writes it, but FoxPro time stamps with their stored milliseconds.
std::vector<std::vector<std::string>> values(const std::string& path) {
    Table t;
    t.setPath(path);
    t.OpenTable();
    std::vector<std::vector<std::string>> rows;
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) {
        rows.emplace_back();
        for (int i = 0; i < t.FieldCount(); ++i) {
            std::string cell = dumpCell(t.GetValue(i));
            while (!cell.empty() && cell.back() == ' ') cell.pop_back();  // dBase text has no trailing blanks
            rows.back().push_back(cell);
        }
    }
    return rows;
}

}  // namespace

TEST(TableCopy, EveryFixtureArrivesExactlyInEitherFormatOrIsRefusedByFieldAndValue) {
    TempDir dir;
    std::vector<std::string> tables = fixtureTables("paradox");
    for (const std::string& t : fixtureTables("dbase")) tables.push_back(t);
    int copies = 0, refusals = 0;
    for (const std::string& table : tables) {
        const std::string source = fixturesDir() + table;
        const std::string stem = std::filesystem::path(table).stem().string();
        for (const std::string& target : {stem + "_p.DB", stem + "_d.DBF", stem + "_v.DBF"}) {
            SCOPED_TRACE(table + " -> " + target);
            std::string format = target.find("_v.") != std::string::npos ? " --format vfp" : "";
            const std::string dest = dir.file(target);
            auto r = runCommand(kimportExe() + " copy '" + source + "' '" + dest + "'" + format);
            if (r.exitCode != 0) {
                // Refused: a reason naming the field, and no table left behind.
                ++refusals;
                EXPECT_EQ(r.exitCode, 1);
                EXPECT_TRUE(r.err.find("Feld") != std::string::npos || r.err.find("Felder") != std::string::npos ||
                            r.err.find("zu lang") != std::string::npos)
                    << r.err;
                EXPECT_FALSE(std::filesystem::exists(dest)) << r.err;
                continue;
            }
            ++copies;
            EXPECT_EQ(values(dest), values(source));
            // Independent readers read the copy too.
            if (isParadoxPath(dest)) {
                auto px = runCommand(std::string(KIMPORT_PXREAD_EXE) + " '" + dest + "'");
                EXPECT_EQ(px.exitCode, 0) << px.err;
            } else {
                auto pl = runCommand("perl -MXBase -e '$t = XBase->new(name => $ARGV[0]) or die XBase->errstr; "
                                     "print $t->last_record + 1' '" + dest + "'");
                EXPECT_EQ(pl.exitCode, 0) << pl.err;
            }
        }
    }
    EXPECT_GE(copies, 60);
    EXPECT_GE(refusals, 1);
}

TEST(TableCopy, DBaseNumbersKeepTheirWidthAndDecimalsAndTheVariantStays) {
    TempDir dir;
    MakeTable(dir.path(), "ZAHLEN.DBF",
              {{"GANZ", FieldType::Float, 18, false, 0}, {"BETRAG", FieldType::Float, 9, false, 2},
               {"NAME", FieldType::String, 10}});
    {
        Table t;
        t.setPath(dir.file("ZAHLEN.DBF"));
        t.OpenTable();
        t.BeginAppend();
        t.SetAsFloat(0, 123456789012345.0);
        t.SetAsFloat(1, 12.5);
        t.CloseTable();
    }
    EXPECT_EQ(copyTable(dir.file("ZAHLEN.DBF"), dir.file("KOPIE.DBF"), {}).records, 1u);
    auto image = dbase::readTable(dir.file("KOPIE.DBF"), realFileSystem());
    EXPECT_EQ(field(*image, "GANZ").length, 18);
    EXPECT_EQ(field(*image, "GANZ").decimals, 0);  // 0 decimals are decimals given, not "none"
    EXPECT_EQ(field(*image, "BETRAG").decimals, 2);
    EXPECT_EQ(dumpOf(dir.file("KOPIE.DBF")), "GANZ,BETRAG,NAME\n123456789012345,12.5,\n");

    // A Visual FoxPro table keeps its version, its memo block size and records longer than 4000 bytes.
    std::vector<FieldSpec> wide;
    for (int i = 0; i < 30; ++i) wide.push_back({"T" + std::to_string(i), FieldType::String, 250});
    wide.push_back({"NOTIZ", FieldType::Memo});
    auto vfp = dbase::newTable(dir.file("BREIT.DBF"), wide, 0x30);
    {
        Table t;
        t.setPath(dir.file("BREIT.DBF"));
        t.CreateTable(std::move(vfp));
        t.BeginAppend();
        t.SetAsString(29, "ende", FormatSettings::german());
        t.SetAsString(30, "ein Memo", FormatSettings::german());
        t.CloseTable();
    }
    copyTable(dir.file("BREIT.DBF"), dir.file("BREIT2.DBF"), {});
    auto copied = dbase::readTable(dir.file("BREIT2.DBF"), realFileSystem());
    EXPECT_EQ(copied->dbase.version, 0x30);
    EXPECT_GT(copied->recordLength, 7500);
    EXPECT_EQ(dumpOf(dir.file("BREIT2.DBF")), dumpOf(dir.file("BREIT.DBF")));
}

TEST(TableCopy, ParadoxNumbersIntoDBaseTakeTheirDigitsFromTheDataOrAreRefused) {
    TempDir dir;
    std::string src = makeTableWithRows(dir.path(), "Werte.DB",
                                        {{"Nr", FieldType::Integer}, {"Wert", FieldType::Float},
                                         {"Geld", FieldType::Currency}, {"Zeit", FieldType::Time}},
                                        1, {{"1", "0,123456789012345", "19,995", "12:30:15"}, {"2", "0,0000001", "", ""}});
    ASSERT_EQ(runCommand(kimportExe() + " copy '" + src + "' '" + dir.file("W.DBF") + "'").exitCode, 0);
    EXPECT_EQ(dumpOf(dir.file("W.DBF")), "NR,WERT,GELD,ZEIT\n1,0.123456789012345,19.995,12:30:15\n2,0.0000001,,\n");

    // 1e20 needs 21 digits: dBase IV cannot hold it, Visual FoxPro can.
    std::string big = makeTableWithRows(dir.path(), "Gross.DB", {{"Nr", FieldType::Integer}, {"Wert", FieldType::Float}},
                                        1, {{"1", "1"}, {"2", "100000000000000000000"}});
    auto r = runCommand(kimportExe() + " copy '" + big + "' '" + dir.file("G.DBF") + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Feld Wert"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("100000000000000000000"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("G.DBF")));
    ASSERT_EQ(runCommand(kimportExe() + " copy '" + big + "' '" + dir.file("G.DBF") + "' --format vfp").exitCode, 0);
    EXPECT_EQ(dumpOf(dir.file("G.DBF")), "NR,WERT\n1,1\n2,100000000000000000000\n");
}

TEST(TableCopy, AFailedOrKilledCopyLeavesTheExistingTableAsItWas) {
    TempDir dir;
    std::string target = makeTableWithRows(dir.path(), "Ziel.DBF", {{"Name", FieldType::String, 20}}, 0,
                                           {{"bleibt"}, {"erhalten"}});
    Rows many;
    for (int i = 0; i < 20000; ++i) many.push_back({"Satz " + std::to_string(i)});
    std::string src = makeTableWithRows(dir.path(), "Quelle.DB", {{"Name", FieldType::String, 20}}, 0, many);
    const std::string before = readFile(target);

    // A full disk, or the swap refused: the old table stays, whole, and no temporary file is left.
    FaultyFileSystem full(realFileSystem());
    full.spaceLeft = 1000;
    EXPECT_THROW(copyTable(src, target, {}, full), TableError);
    FaultyFileSystem noSwap(realFileSystem());
    noSwap.refuseRenames = true;
    EXPECT_THROW(copyTable(src, target, {}, noSwap), TableError);
    EXPECT_EQ(readFile(target), before);
    for (const std::string& name : listNames(dir.path())) EXPECT_EQ(name.find(".kimp-tmp"), std::string::npos) << name;

    // Killed at any moment: afterwards the target is the old table or the whole new one.
    const std::string oldDump = dumpOf(target);
    for (int trial = 0; trial < 6; ++trial) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) copyTable(src, target, {});
        }
        usleep(static_cast<useconds_t>(15000 + trial * 11000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::string now = dumpOf(target);
        EXPECT_TRUE(now == oldDump || records(now).size() == many.size()) << "trial " << trial;
    }
}

TEST(TableCopy, AnExistingTargetThatIsNoTableIsNeverReplaced) {
    TempDir dir, elsewhere;
    std::string src = makeTableWithRows(dir.path(), "Quelle.DB", {{"Name", FieldType::String, 20}}, 0, {{"neu"}});
    const std::string secret = "root:x:0:0:root:/root:/bin/bash\n";
    writeFile(elsewhere.file("passwd"), secret);
    for (const char* name : {"L.DB", "L.DBF"}) {
        std::filesystem::create_symlink(elsewhere.file("passwd"), dir.file(name));
        try {
            copyTable(src, dir.file(name), {});
            ADD_FAILURE() << name << " was replaced";
        } catch (const TableError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Die Zieldatei " + dir.file(name) + " ist keine lesbare " +
                                                      (std::string(name) == "L.DB" ? "Paradox" : "dBase") +
                                                      "-Tabelle und wird nicht ersetzt:\r\n",
                                                  0),
                      0u)
                << e.what();
        }
        EXPECT_TRUE(std::filesystem::is_symlink(dir.file(name)));
        std::filesystem::remove(dir.file(name));
    }
    EXPECT_EQ(readFile(elsewhere.file("passwd")), secret);
    EXPECT_EQ(listNames(elsewhere.path()), (std::vector<std::string>{"passwd"}));
    // A table behind a link is replaced where the link points; the link stays.
    std::string table = makeTableWithRows(elsewhere.path(), "T.DB", {{"Name", FieldType::String, 20}}, 0, {{"alt"}});
    std::filesystem::create_symlink(table, dir.file("T.DB"));
    copyTable(src, dir.file("T.DB"), {});
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("T.DB")));
    EXPECT_EQ(contentsOf(table), (Rows{{"neu"}}));
}

TEST(TableCopy, ARecordThatCannotBeCopiedNamesRecordFieldAndValueAndPostsNothing) {
    TempDir dir;
    std::string src = makeTableWithRows(dir.path(), "Quelle.DB", {{"Name", FieldType::String, 20}}, 0,
                                        {{"eins"}, {"zwei"}, {"drei €"}});
    Table source;
    source.setPath(src);
    source.OpenTable();
    auto image = dbase::newTable(dir.file("DOS.DBF"), {{"Name", FieldType::String, 20}});
    image->codePage = 437;  // has no "€"
    image->dbase.languageDriver = 0x01;
    Table dest;
    dest.setPath(dir.file("DOS.DBF"));
    dest.CreateTable(std::move(image));
    try {
        CopyRecords(source, dest);
        FAIL() << "copied";
    } catch (const TableError& e) {
        std::string m = e.what();
        EXPECT_NE(m.find("Datensatz 3, Feld Name, Wert \"drei €\""), std::string::npos) << m;
    }
    EXPECT_EQ(dest.RecordCount(), 2);  // the failed record was not posted half-filled
    dest.CloseDiscarding();
    EXPECT_FALSE(std::filesystem::exists(dir.file("DOS.DBF")));
}

TEST(TableCopy, ReplacingATableRemovesOnlyItsOwnFilesThatNoLongerBelong) {
    TempDir dir;
    std::string withMemo = makeTableWithRows(dir.path(), "Alt.DB",
                                             {{"Nr", FieldType::Integer}, {"Notiz", FieldType::Memo, 10}}, 1,
                                             {{"1", std::string(40, 'x')}});
    writeFile(dir.file("Alt.VAL"), "checks");
    writeFile(dir.file("Alt.X02"), "index");
    writeFile(dir.file("Alt.Y02"), "index");
    writeFile(dir.file("Alt.TXT"), "not a table file");
    writeFile(dir.file("Altneu.MB"), "another table");
    std::string plain = makeTableWithRows(dir.path(), "Neu.DB", {{"Name", FieldType::String, 5}}, 0, {{"a"}});
    ASSERT_EQ(runCommand(kimportExe() + " copy '" + plain + "' '" + withMemo + "'").exitCode, 0);
    std::vector<std::string> names = listNames(dir.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Alt.DB", "Alt.TXT", "Altneu.MB", "Neu.DB", "PKIMPORT.LCK"}));
    EXPECT_EQ(dumpOf(withMemo), "Name\na\n");
}

TEST(TableCopy, FormatsChooseTheVariantAndPackRemovesDeletedRecords) {
    TempDir dir;
    std::string src = makeTableWithRows(dir.path(), "Liste.DB", {{"Name", FieldType::String, 10}, {"Preis", FieldType::Float}},
                                        0, {{"Äpfel", "1,5"}, {"Birnen", "2"}});
    for (const char* format : {"paradox3", "paradox4", "paradox5", "paradox7"}) {
        SCOPED_TRACE(format);
        std::string dest = dir.file(std::string(format) + ".DB");
        auto r = runCommand(kimportExe() + " copy '" + src + "' '" + dest + "' --format " + format);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(dumpOf(dest), dumpOf(src));
        EXPECT_EQ(runCommand(std::string(KIMPORT_PXREAD_EXE) + " '" + dest + "'").exitCode, 0);
    }
    const std::string level3 = readFile(dir.file("paradox3.DB"));
    EXPECT_EQ(static_cast<unsigned char>(level3[0x39]), 0x03);
    EXPECT_LT(static_cast<unsigned char>(level3[2]) | static_cast<unsigned char>(level3[3]) << 8, 0x800);  // exact

    // Binary values into FoxPro 2: a picture field in an .FPT, every byte kept (0x1A too).
    auto image = paradox::newTable(dir.file("Bilder.DB"), {{"Bild", FieldType::Blob, 0}}, 0);
    {
        Table t;
        t.setPath(dir.file("Bilder.DB"));
        t.CreateTable(std::move(image));
        t.BeginAppend();
        t.SetValue(0, Value::ofBytes(std::string("A\x1A\x1A\x00" "B", 5)));
        t.CloseTable();
    }
    auto fox = runCommand(kimportExe() + " copy '" + dir.file("Bilder.DB") + "' '" + dir.file("fox.DBF") + "' --format foxpro");
    ASSERT_EQ(fox.exitCode, 0) << fox.err;
    EXPECT_EQ(dbase::readTable(dir.file("fox.DBF"), realFileSystem())->dbase.version, 0xF5);
    EXPECT_EQ(dumpOf(dir.file("fox.DBF")), "BILD\n0x411a1a0042\n");
    EXPECT_EQ(static_cast<unsigned char>(readFile(dir.file("paradox7.DB"))[0x39]), 0x0C);
    for (const char* format : {"dbase3", "dbase4", "foxpro", "vfp"}) {
        SCOPED_TRACE(format);
        std::string dest = dir.file(std::string(format) + ".DBF");
        auto r = runCommand(kimportExe() + " copy '" + src + "' '" + dest + "' --format " + format);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(contentsOf(dest), contentsOf(src));
    }
    EXPECT_EQ(runCommand(kimportExe() + " copy '" + src + "' '" + dir.file("x.DB") + "' --format vfp").exitCode, 1);
    EXPECT_EQ(runCommand(kimportExe() + " copy '" + src + "' '" + dir.file("x.DB") + "' --format dbase5").exitCode, 2);

    std::string dbf = dir.file("dbase4.DBF");
    {
        Table t;
        t.setPath(dbf);
        t.OpenTable();
        t.DeleteRecord();
        t.CloseTable();
    }
    EXPECT_EQ(dbase::readTable(dbf, realFileSystem())->rowCount(), 2u);
    auto r = runCommand(kimportExe() + " pack '" + dbf + "'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(dbase::readTable(dbf, realFileSystem())->rowCount(), 1u);
    EXPECT_EQ(contentsOf(dbf), (Rows{{"Birnen", "2"}}));
}
