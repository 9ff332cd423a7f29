// The variants no sample file covers, built byte by byte from the format's
// layout: Visual FoxPro varchar and null flags, level 7, dBase II, FoxPro
// block size 1, long character fields, memo block sizes and language drivers.
#include "common/CodePage.h"
#include "support/TestSupport.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/TableCopy.h"
#include "tablestore/TableTestSupport.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfFormat.h"

#include <gtest/gtest.h>

#include <bit>

using namespace kimport;
using namespace kimport::test;

namespace {

struct Desc {
    std::string name;
    char letter;
    int length;
    int decimals = 0;
    std::uint8_t flags = 0;
};

// A table with 32-byte descriptors; Visual FoxPro versions get their offsets, flags and backlink.
std::string buildDbf(int version, int driver, const std::vector<Desc>& fields,
                     const std::vector<std::string>& records) {
    const bool vfp = dbase::isVisualFoxPro(version);
    std::string h(32, '\0');
    h[0] = static_cast<char>(version);
    h[1] = 124, h[2] = 3, h[3] = 4;
    int recordLength = 1;
    for (const Desc& f : fields) {
        std::string d(32, '\0');
        d.replace(0, f.name.size(), f.name);
        d[11] = f.letter;
        if (vfp) dbase::putLe32(d.data() + 12, static_cast<std::uint32_t>(recordLength));
        d[16] = static_cast<char>(f.length & 0xFF);
        d[17] = static_cast<char>(f.decimals);
        d[18] = static_cast<char>(f.flags);
        recordLength += f.length + (f.letter == 'C' ? 256 * f.decimals : 0);
        h += d;
    }
    h += '\x0D';
    if (vfp) h += std::string(263, '\0');
    dbase::putLe32(h.data() + 4, static_cast<std::uint32_t>(records.size()));
    dbase::putLe16(h.data() + 8, static_cast<std::uint32_t>(h.size()));
    dbase::putLe16(h.data() + 10, static_cast<std::uint32_t>(recordLength));
    h[0x1D] = static_cast<char>(driver);
    for (const std::string& r : records) {
        EXPECT_EQ(r.size(), static_cast<std::size_t>(recordLength));
        h += r;
    }
    return h + "\x1A";
}

std::string le32(std::uint32_t v) {
    std::string s(4, '\0');
    dbase::putLe32(s.data(), v);
    return s;
}
std::string le64(std::uint64_t v) {
    std::string s(8, '\0');
    dbase::putLe64(s.data(), v);
    return s;
}
std::string be32(std::uint32_t v) {
    std::string s(4, '\0');
    dbase::putBe32(s.data(), v);
    return s;
}
std::string be64(std::uint64_t v) {
    std::string s(8, '\0');
    dbase::putBe64(s.data(), v);
    return s;
}
std::string padded(const std::string& s, std::size_t n, char fill = ' ') {
    return s + std::string(n - s.size(), fill);
}

Value valueOf(const TableImage& t, std::uint32_t row, std::size_t field) {
    return dbaseCodec().read(t, t.fields[field], t.row(row));
}

double msOf(int y, int m, int d, int hh, int mm, int ss) {
    return static_cast<double>(dayNumberFromCivil(y, m, d)) * 86400000.0 + ((hh * 60 + mm) * 60 + ss) * 1000.0;
}

}  // namespace

TEST(DbfVariants, VisualFoxProVarcharNullFlagsAndBinaryTypes) {
    TempDir dir;
    std::vector<Desc> fields = {
        {"NAME", 'V', 250},  {"CODE", 'Q', 10, 0, 0x02}, {"AMOUNT", 'I', 4, 0, 0x02},    {"PRICE", 'Y', 8, 4},
        {"RATE", 'B', 8, 2}, {"WHEN", 'T', 8},           {"_NullFlags", '0', 1, 0, 0x05}};
    // Bits: NAME length 0, CODE length 1 and null 2, AMOUNT null 3.
    std::string first = " " + padded("Bad Meets Evil", 249, '\0') + "\x0E" + padded("\x01\x02\x03", 9, '\0') + "\x03" +
                        le32(static_cast<std::uint32_t>(-5)) + le64(123456) + le64(std::bit_cast<std::uint64_t>(2.5)) +
                        le32(2459499) + le32(81289999) + "\x03";
    std::string second = " " + std::string(250, 'x') + std::string(10, '\0') + le32(0) +
                         le64(static_cast<std::uint64_t>(-10000)) + le64(0) + le32(0) + le32(0) + "\x0C";
    writeFile(dir.file("VAR.DBF"), buildDbf(0x32, 0x03, fields, {first, second}));

    auto t = dbase::readTable(dir.file("VAR.DBF"), realFileSystem());
    EXPECT_EQ(t->fields[0].type, FieldType::String);
    EXPECT_EQ(t->fields[0].size, 250);
    EXPECT_EQ(t->fields[1].type, FieldType::VarBytes);
    EXPECT_EQ(t->fields[1].size, 10);
    EXPECT_EQ(t->fields[1].nullBit, 2);
    EXPECT_EQ(t->fields[2].nullBit, 3);
    EXPECT_EQ(t->fields[4].type, FieldType::Float);
    EXPECT_TRUE(t->fields[6].hidden);
    EXPECT_EQ(valueOf(*t, 0, 0), Value::ofText("Bad Meets Evil"));
    EXPECT_EQ(valueOf(*t, 0, 1), Value::ofBytes("\x01\x02\x03"));
    EXPECT_EQ(valueOf(*t, 0, 2), Value::ofInteger(-5));
    EXPECT_EQ(valueOf(*t, 0, 3), Value::ofFloat(12.3456));
    EXPECT_EQ(valueOf(*t, 0, 4), Value::ofFloat(2.5));
    // Stored a millisecond short, as FoxPro's writers do: read as the whole second FoxPro shows.
    EXPECT_EQ(valueOf(*t, 0, 5), Value::ofDateTime(msOf(2021, 10, 11, 22, 34, 50)));
    EXPECT_EQ(valueOf(*t, 1, 0), Value::ofText(std::string(250, 'x')));
    EXPECT_TRUE(valueOf(*t, 1, 1).isNull());
    EXPECT_TRUE(valueOf(*t, 1, 2).isNull());
    EXPECT_EQ(valueOf(*t, 1, 3), Value::ofFloat(-1));
    EXPECT_TRUE(valueOf(*t, 1, 5).isNull());

    std::uint32_t blank = t->newRow();
    for (std::size_t f : {0u, 1u, 5u}) EXPECT_TRUE(valueOf(*t, blank, f).isNull()) << f;
    EXPECT_TRUE(valueOf(*t, blank, 2).isNull());  // a nullable integer of a blank record holds no value

    // Writing through the codec sets and clears the same bits.
    dbaseCodec().write(*t, t->fields[0], t->row(1), Value::ofText("kurz"));
    dbaseCodec().write(*t, t->fields[2], t->row(1), Value::ofInteger(42));
    dbaseCodec().write(*t, t->fields[2], t->row(0), Value::null());
    EXPECT_EQ(static_cast<unsigned char>(t->row(1)[t->fields[6].offset]), 0x05);  // length bit on, AMOUNT null off
    EXPECT_EQ(static_cast<unsigned char>(t->row(1)[t->fields[0].offset + 249]), 4);
    dbase::writeTable(*t, realFileSystem());
    auto back = dbase::readTable(dir.file("VAR.DBF"), realFileSystem());
    EXPECT_EQ(back->originalHeader.size(), 32u + 7 * 32 + 1 + 263);
    EXPECT_EQ(valueOf(*back, 1, 0), Value::ofText("kurz"));
    EXPECT_EQ(valueOf(*back, 1, 2), Value::ofInteger(42));
    EXPECT_TRUE(valueOf(*back, 0, 2).isNull());
    EXPECT_EQ(valueOf(*back, 0, 0), Value::ofText("Bad Meets Evil"));
}

TEST(DbfVariants, Level7TablesUseTheParadoxEncodings) {
    TempDir dir;
    struct L7 {
        std::string name;
        char letter;
        int length;
    };
    std::vector<L7> fields = {{"Kundennummer_lang", '+', 4}, {"Name", 'C', 20}, {"Betrag", 'I', 4},
                              {"Zeitpunkt", '@', 8},         {"Kurs", 'O', 8},  {"Tag", 'D', 8}};
    std::string h(0x44, '\0');
    h[0] = '\x8C';
    h.replace(0x20, 8, "DB850DE0");
    int recordLength = 1;
    for (const L7& f : fields) {
        std::string d(48, '\0');
        d.replace(0, f.name.size(), f.name);
        d[0x20] = f.letter;
        d[0x21] = static_cast<char>(f.length);
        if (f.letter == '+') dbase::putLe32(d.data() + 0x28, 3);
        recordLength += f.length;
        h += d;
    }
    h += '\x0D';
    h += std::string(40, '\x11');  // a field-properties block we skip
    dbase::putLe32(h.data() + 4, 2);
    dbase::putLe16(h.data() + 8, static_cast<std::uint32_t>(h.size()));
    dbase::putLe16(h.data() + 10, static_cast<std::uint32_t>(recordLength));
    auto ordered = [](double d) {
        auto raw = std::bit_cast<std::uint64_t>(d);
        return be64(d < 0 ? ~raw : raw | 0x8000000000000000ull);
    };
    std::string name = encodeCodePage("Größe", 850);
    h += " " + be32(0x80000001) + padded(name, 20) + be32(static_cast<std::uint32_t>(-7) ^ 0x80000000u) +
         ordered(msOf(2021, 10, 11, 22, 34, 50) + 123) + ordered(-2.5) + "20240229";
    h += " " + be32(0) + std::string(20, ' ') + be32(0) + be64(0) + be64(0) + "        ";
    writeFile(dir.file("L7.DBF"), h + "\x1A");

    auto t = dbase::readTable(dir.file("L7.DBF"), realFileSystem());
    EXPECT_EQ(t->codePage, 850);
    EXPECT_EQ(t->fields[0].name, "Kundennummer_lang");
    EXPECT_EQ(t->fields[0].type, FieldType::AutoInc);
    EXPECT_EQ(t->fields[3].type, FieldType::DateTime);
    EXPECT_EQ(t->lastAutoInc, 2);
    EXPECT_EQ(valueOf(*t, 0, 0), Value::ofInteger(1));
    EXPECT_EQ(valueOf(*t, 0, 1), Value::ofText("Größe"));
    EXPECT_EQ(valueOf(*t, 0, 2), Value::ofInteger(-7));
    EXPECT_EQ(valueOf(*t, 0, 3), Value::ofDateTime(msOf(2021, 10, 11, 22, 34, 50) + 123));
    EXPECT_EQ(valueOf(*t, 0, 4), Value::ofFloat(-2.5));
    EXPECT_EQ(valueOf(*t, 0, 5), Value::ofDate(dayNumberFromCivil(2024, 2, 29)));
    for (std::size_t f = 0; f < t->fields.size(); ++f) EXPECT_TRUE(valueOf(*t, 1, f).isNull()) << f;

    // The codec writes the same encodings.
    dbaseCodec().write(*t, t->fields[2], t->row(1), Value::ofInteger(-7));
    dbaseCodec().write(*t, t->fields[4], t->row(1), Value::ofFloat(-2.5));
    for (std::size_t f : {2u, 4u}) {
        const FieldDef& d = t->fields[f];
        EXPECT_EQ(std::string(t->row(1) + d.offset, static_cast<std::size_t>(d.length)),
                  std::string(t->row(0) + d.offset, static_cast<std::size_t>(d.length)));
    }
    EXPECT_THROW(dbase::checkWritable(*t, realFileSystem()), TableError);
}

TEST(DbfVariants, DBaseIIFilesWithTheirShortDescriptors) {
    TempDir dir;
    std::string h(521, '\0');
    h[0] = '\x02';
    dbase::putLe16(h.data() + 1, 2);
    dbase::putLe16(h.data() + 6, 1 + 10 + 6 + 1);
    auto desc = [&](std::size_t i, const std::string& name, char type, int length, int decimals) {
        std::size_t p = 8 + 16 * i;
        h.replace(p, name.size(), name);
        h[p + 11] = type;
        h[p + 12] = static_cast<char>(length);
        h[p + 15] = static_cast<char>(decimals);
    };
    desc(0, "NAME", 'C', 10, 0);
    desc(1, "WERT", 'N', 6, 2);
    desc(2, "OK", 'L', 1, 0);
    h[8 + 16 * 3] = '\x0D';
    h += " Meier      12.50T";
    h += "*Alt        -1.00F";
    writeFile(dir.file("ALT.DBF"), h);
    auto t = dbase::readTable(dir.file("ALT.DBF"), realFileSystem());
    ASSERT_EQ(t->fields.size(), 3u);
    EXPECT_EQ(t->order.size(), 1u);
    EXPECT_EQ(t->dbase.deletedRows.size(), 1u);
    EXPECT_EQ(valueOf(*t, 0, 0), Value::ofText("Meier"));
    EXPECT_EQ(valueOf(*t, 0, 1), Value::ofFloat(12.5));
    EXPECT_EQ(valueOf(*t, 0, 2), Value::ofBoolean(true));
    EXPECT_EQ(valueOf(*t, 1, 1), Value::ofFloat(-1));
}

TEST(DbfVariants, FoxProMemoFilesWithBlockSizeOne) {
    TempDir dir;
    std::string fpt(512, '\0');
    fpt.replace(6, 2, std::string("\x00\x01", 2));
    fpt += be32(1) + be32(5) + "Hallo";
    fpt += be32(1) + be32(4) + "Welt";
    dbase::putBe32(fpt.data(), static_cast<std::uint32_t>(fpt.size()));
    writeFile(dir.file("bs1.fpt"), fpt);
    writeFile(dir.file("bs1.dbf"), buildDbf(0xF5, 0, {{"ID", 'N', 3}, {"TEXT", 'M', 10}},
                                            {"   1       512", "   2       525", "   3          "}));
    auto t = dbase::readTable(dir.file("bs1.dbf"), realFileSystem());
    EXPECT_EQ(valueOf(*t, 0, 1), Value::ofText("Hallo"));
    EXPECT_EQ(valueOf(*t, 1, 1), Value::ofText("Welt"));
    EXPECT_TRUE(valueOf(*t, 2, 1).isNull());
    // Written back with the block size it had, read back the same.
    dbase::writeTable(*t, realFileSystem());
    EXPECT_EQ(dbase::be32(readFile(dir.file("bs1.fpt")).data() + 4), 1u);
    auto back = dbase::readTable(dir.file("bs1.dbf"), realFileSystem());
    EXPECT_EQ(valueOf(*back, 1, 1), Value::ofText("Welt"));
}

TEST(DbfVariants, DBaseIVMemoFilesWithOtherBlockSizes) {
    for (bool sizeAtFour : {false, true}) {
        SCOPED_TRACE(sizeAtFour);
        TempDir dir;
        const std::uint32_t block = sizeAtFour ? 1024 : 64;
        std::string dbt(block, '\0');
        if (sizeAtFour)
            dbase::putLe32(dbt.data() + 4, block);
        else
            dbase::putLe16(dbt.data() + 0x14, block);
        dbt += std::string("\xFF\xFF\x08\x00", 4) + le32(8 + 70) + std::string(70, 'a');
        dbt.resize(3 * block, ' ');
        dbt += std::string("\xFF\xFF\x08\x00", 4) + le32(8 + 3) + "end";
        writeFile(dir.file("M.DBT"), dbt);
        writeFile(dir.file("M.DBF"), buildDbf(0x8B, 0, {{"TEXT", 'M', 10}}, {"          1", "          3"}));
        auto t = dbase::readTable(dir.file("M.DBF"), realFileSystem());
        EXPECT_EQ(valueOf(*t, 0, 0), Value::ofText(std::string(70, 'a')));
        EXPECT_EQ(valueOf(*t, 1, 0), Value::ofText("end"));
    }
}

TEST(DbfVariants, LongCharacterFieldsKeepTheirHighByteInTheDecimals) {
    TempDir dir;
    const std::string text = std::string(299, 'x') + "y";
    writeFile(dir.file("LANG.DBF"), buildDbf(0xF5, 0, {{"TEXT", 'C', 44, 1}}, {" " + text}));
    auto t = dbase::readTable(dir.file("LANG.DBF"), realFileSystem());
    EXPECT_EQ(t->fields[0].length, 300);
    EXPECT_EQ(t->fields[0].size, 300);
    EXPECT_EQ(valueOf(*t, 0, 0), Value::ofText(text));
    dbase::writeTable(*t, realFileSystem());
    EXPECT_EQ(valueOf(*dbase::readTable(dir.file("LANG.DBF"), realFileSystem()), 0, 0), Value::ofText(text));
}

TEST(DbfVariants, ClipperTablesWithAFoxProMemoKeepIt) {
    TempDir dir;
    std::string fpt(512, '\0');
    fpt.replace(6, 2, std::string("\x00\x40", 2));
    fpt += be32(1) + be32(6) +
           "Clip"
           "\r\n" +
           std::string(50, '\0');
    dbase::putBe32(fpt.data(), 9);
    writeFile(dir.file("CLIP.FPT"), fpt);
    writeFile(dir.file("CLIP.DBF"), buildDbf(0x03, 0, {{"TEXT", 'M', 10}}, {"          8"}));
    auto t = dbase::readTable(dir.file("CLIP.DBF"), realFileSystem());
    EXPECT_EQ(valueOf(*t, 0, 0), Value::ofText("Clip\r\n"));
    dbase::writeTable(*t, realFileSystem());
    EXPECT_FALSE(fileExists(dir.file("CLIP.DBT")));
    EXPECT_EQ(valueOf(*dbase::readTable(dir.file("CLIP.DBF"), realFileSystem()), 0, 0), Value::ofText("Clip\r\n"));
}

TEST(DbfVariants, SmtMemoFilesAreRefused) {
    TempDir dir;
    writeFile(dir.file("H6.DBF"), buildDbf(0xE5, 0, {{"TEXT", 'M', 10}}, {"          1"}));
    writeFile(dir.file("H6.SMT"), std::string(1024, '\0'));
    EXPECT_THROW(dbase::readTable(dir.file("H6.DBF"), realFileSystem()), TableError);
}

TEST(DbfVariants, ACodePageWeCannotConvertIsATableErrorBeforeTheNames) {
    TempDir dir;
    ASSERT_FALSE(isSupportedCodePage(895));
    // Driver 0x68 names code page 895; a table naming none is read in the code page asked for.
    writeFile(dir.file("CP.DBF"), buildDbf(0x03, 0x68, {{"N\x81", 'C', 1}}, {" \x81"}));
    writeFile(dir.file("OHNE.DBF"), buildDbf(0x03, 0x00, {{"N\x81", 'C', 1}}, {" \x81"}));
    for (const auto& [file, codePageIfNone] : {std::pair{"CP.DBF", 0}, std::pair{"OHNE.DBF", 895}}) {
        try {
            dbase::readTable(dir.file(file), realFileSystem(), codePageIfNone);
            ADD_FAILURE() << file << " was read";
        } catch (const TableError& e) {
            EXPECT_EQ(e.kind(), TableError::Kind::Unsupported);
            EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "no TableError: " << e.what();
        }
    }
}

TEST(DbfVariants, ACopyKeepsFieldNamesOfElevenBytesApart) {
    TempDir dir;
    // Some writers fill all eleven bytes of a name; the header of a copy holds ten.
    writeFile(dir.file("LANG.DBF"),
              buildDbf(0x03, 0x03, {{"ABCDEFGHIJK", 'C', 3}, {"ABCDEFGHIJL", 'C', 3}, {"KURZ", 'C', 2}}, {" einzweok"}));
    copyTable(dir.file("LANG.DBF"), dir.file("KOPIE.DBF"), {});
    auto copy = dbase::readTable(dir.file("KOPIE.DBF"), realFileSystem());
    ASSERT_EQ(copy->fields.size(), 3u);
    EXPECT_EQ(copy->fields[0].name, "ABCDEFGHIJ");
    EXPECT_EQ(copy->fields[1].name, "ABCDEFGH_2");
    EXPECT_EQ(copy->fields[2].name, "KURZ");
    EXPECT_EQ(valueOf(*copy, 0, 1), Value::ofText("zwe"));
    // A table made with two names that would meet in ten bytes is refused, and nothing is written.
    auto clash = dbase::newTable(dir.file("NEU.DBF"), {{"ABCDEFGHIJK", FieldType::String, 3}}, 0);
    clash->fields.push_back(clash->fields[0]);
    clash->fields[1].name = "ABCDEFGHIJL";
    clash->fields[1].offset += 3;
    clash->recordLength += 3;
    EXPECT_THROW(dbase::writeTable(*clash, realFileSystem()), TableError);
    EXPECT_FALSE(fileExists(dir.file("NEU.DBF")));
}

TEST(DbfVariants, VisualFoxProMarksAMemoFileInItsHeaderFlags) {
    TempDir dir;
    const std::string source = fixturesDir() + "dbase/DBFFile/vfp9_30_memo.dbf";
    ASSERT_EQ(readFile(source)[28], '\x02');
    copyTable(source, dir.file("KOPIE.DBF"), {});
    EXPECT_EQ(readFile(dir.file("KOPIE.DBF"))[28], '\x02');
    auto plain = dbase::newTable(dir.file("OHNE.DBF"), {{"NAME", FieldType::String, 10}}, 0x30);
    dbase::writeTable(*plain, realFileSystem());
    EXPECT_EQ(readFile(dir.file("OHNE.DBF"))[28], '\0');
    auto withMemo = dbase::newTable(dir.file("MIT.DBF"), {{"TEXT", FieldType::Memo, 10}}, 0x30);
    dbase::writeTable(*withMemo, realFileSystem());
    EXPECT_EQ(readFile(dir.file("MIT.DBF"))[28], '\x02');
}

TEST(DbfVariants, TheLanguageDriverChoosesTheCodePage) {
    struct Case {
        int driver;
        int codePage;
        const char* text;
    };
    for (const Case& c :
         {Case{0x00, 437, "ü"}, Case{0x01, 437, "ü"}, Case{0x02, 850, "ü"}, Case{0x0F, 437, "ü"}, Case{0x10, 850, "ü"},
          Case{0x03, 1252, "\xC2\x81"}, Case{0x57, 1252, "\xC2\x81"}, Case{0x64, 852, "ü"}, Case{0x65, 866, "Б"},
          Case{0xC9, 1251, "Ѓ"}, Case{0xC8, 1250, "\xC2\x81"}, Case{0xF0, 437, "ü"}}) {
        SCOPED_TRACE(c.driver);
        TempDir dir;
        writeFile(dir.file("CP.DBF"), buildDbf(0x03, c.driver, {{"N\x81", 'C', 1}}, {" \x81"}));
        auto t = dbase::readTable(dir.file("CP.DBF"), realFileSystem());
        EXPECT_EQ(t->codePage, c.codePage);
        EXPECT_EQ(t->dbase.languageDriver, c.driver);
        EXPECT_EQ(t->fields[0].name, std::string("N") + c.text);
        if (std::string(c.text) != "\xC2\x81") {
            EXPECT_EQ(valueOf(*t, 0, 0), Value::ofText(c.text));
        }
    }
}
