// New dBase IV tables: every field type of the program gets a dBase field,
// values go in through the codec and come back after writing and reading.
#include "common/CodePage.h"
#include "common/Text.h"
#include "support/TestSupport.h"
#include "tablestore/TableTestSupport.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfLanguageDrivers.h"

#include <gtest/gtest.h>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatCodec& codec() {
    return dbaseCodec();
}

void put(TableImage& t, std::uint32_t row, const std::string& name, const Value& v) {
    codec().write(t, field(t, name), t.row(row), v);
}

Value get(const TableImage& t, std::uint32_t row, const std::string& name) {
    return codec().read(t, field(t, name), t.row(row));
}

std::string rawField(const TableImage& t, std::uint32_t row, const std::string& name) {
    const FieldDef& f = field(t, name);
    return std::string(t.row(row) + f.offset, static_cast<std::size_t>(f.length));
}

std::uint32_t appendRow(TableImage& t) {
    std::uint32_t r = t.newRow();
    t.order.push_back(r);
    return r;
}

std::unique_ptr<TableImage> textTable(const std::string& path, int codePage, int length = 20) {
    auto t = dbase::newTable(path, {{"Name", FieldType::String, length}, {"Notiz", FieldType::Memo, 0}});
    t->codePage = codePage;
    t->dbase.languageDriver = dbase::languageDriverForCodePage(codePage);
    return t;
}

}  // namespace

TEST(DbfNewTable, GivesEveryFieldTypeADBaseIVField) {
    std::vector<FieldSpec> described = {
        {"Name", FieldType::String, 30},
        {"Klein", FieldType::SmallInt},
        {"Ganz", FieldType::Integer},
        {"Wort", FieldType::Word},
        {"Zahl", FieldType::Float},
        {"Betrag", FieldType::Currency},
        {"Genau", FieldType::BCD, 3},
        {"Ja", FieldType::Boolean},
        {"Tag", FieldType::Date},
        {"Zeit", FieldType::Time},
        {"Zeitpunkt", FieldType::DateTime},
        {"Notiz", FieldType::Memo},
        {"Formatiert", FieldType::FmtMemo},
        {"Daten", FieldType::Blob},
        {"Bild", FieldType::Graphic},
        {"Ole", FieldType::ParadoxOle},
        {"DbOle", FieldType::DBaseOle},
        {"Typisiert", FieldType::TypedBinary},
        {"Bytes", FieldType::Bytes, 8},
        {"Lfd", FieldType::AutoInc},
        {"Preis", FieldType::Float, 12, false, 3},
    };
    auto t = dbase::newTable("/tmp/x/NEU.DBF", described);
    struct Expect {
        char letter;
        int length;
        int decimals;
        FieldType type;
    };
    std::vector<Expect> expected = {
        {'C', 30, 0, FieldType::String}, {'N', 6, 0, FieldType::Float},     {'N', 11, 0, FieldType::Float},
        {'N', 6, 0, FieldType::Float},   {'N', 20, 4, FieldType::Float},    {'N', 20, 2, FieldType::Float},
        {'N', 20, 3, FieldType::Float},  {'L', 1, 0, FieldType::Boolean},   {'D', 8, 0, FieldType::Date},
        {'C', 12, 0, FieldType::String}, {'C', 23, 0, FieldType::String},   {'M', 10, 0, FieldType::Memo},
        {'M', 10, 0, FieldType::Memo},   {'M', 10, 0, FieldType::Blob},     {'M', 10, 0, FieldType::Blob},
        {'M', 10, 0, FieldType::Blob},   {'M', 10, 0, FieldType::DBaseOle}, {'M', 10, 0, FieldType::Blob},
        {'M', 10, 0, FieldType::Blob},   {'N', 11, 0, FieldType::Float},    {'N', 12, 3, FieldType::Float},
    };
    ASSERT_EQ(t->fields.size(), expected.size());
    int offset = 1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(described[i].name);
        const FieldDef& f = t->fields[i];
        EXPECT_EQ(f.letter, expected[i].letter);
        EXPECT_EQ(f.length, expected[i].length);
        EXPECT_EQ(f.decimals, expected[i].decimals);
        EXPECT_EQ(f.type, expected[i].type);
        EXPECT_EQ(f.size, f.letter == 'C' ? f.length : 0);
        EXPECT_EQ(f.offset, offset);
        offset += f.length;
    }
    EXPECT_EQ(t->recordLength, offset);
    EXPECT_EQ(t->dbase.version, 0x8B);  // memo fields: dBase IV with .DBT
    EXPECT_EQ(t->codePage, 1252);
    EXPECT_EQ(t->dbase.languageDriver, 0x57);

    auto plain = dbase::newTable("/tmp/x/OHNE.DBF", {{"A", FieldType::String, 5}});
    EXPECT_EQ(plain->dbase.version, 0x03);
}

TEST(DbfNewTable, MakesValidUniqueFieldNames) {
    auto t = dbase::newTable("/tmp/x/N.DBF", {{"Straße Nr.", FieldType::String, 5},
                                              {"Kundennummer", FieldType::Integer},
                                              {"Kundennummer2", FieldType::Integer},
                                              {"kundennummerX", FieldType::Integer},
                                              {"1. Wert", FieldType::Float},
                                              {"", FieldType::Boolean}});
    std::vector<std::string> names;
    for (const FieldDef& f : t->fields) names.push_back(f.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"STRASSE_NR", "KUNDENNUMM", "KUNDENNU_2", "KUNDENNU_3", "F1__WERT", "F"}));
}

TEST(DbfNewTable, RefusesWhatDBaseCannotHold) {
    EXPECT_THROW(dbase::newTable("/tmp/x/N.DBF", {}), TableError);
    EXPECT_THROW(dbase::newTable("/tmp/x/N.DBF", {{"Lang", FieldType::String, 255}}), TableError);
    EXPECT_THROW(dbase::newTable("/tmp/x/N.DBF", {{"Leer", FieldType::String, 0}}), TableError);
    std::vector<FieldSpec> many(256, FieldSpec{"F", FieldType::Boolean});
    EXPECT_THROW(dbase::newTable("/tmp/x/N.DBF", many), TableError);
    std::vector<FieldSpec> wide(16, FieldSpec{"T", FieldType::String, 254});  // 4064 bytes per record
    EXPECT_THROW(dbase::newTable("/tmp/x/N.DBF", wide), TableError);
}

TEST(DbfNewTable, EveryValueComesBackAfterWritingAndReading) {
    TempDir dir;
    const std::string path = dir.file("WERTE.DBF");
    auto t = dbase::newTable(path, {{"Name", FieldType::String, 20},
                                    {"Anzahl", FieldType::Integer},
                                    {"Betrag", FieldType::Currency},
                                    {"Wert", FieldType::Float},
                                    {"Ok", FieldType::Boolean},
                                    {"Tag", FieldType::Date},
                                    {"Zeit", FieldType::Time},
                                    {"Notiz", FieldType::Memo},
                                    {"Daten", FieldType::Blob}});
    const std::string longMemo = "Zeile 1 äöü\r\n" + std::string(1500, 'x') + "\r\nEnde";
    const std::string blob("\x00\x1A\xFF\x1A\x1A binary", 13);
    std::uint32_t full = appendRow(*t);
    put(*t, full, "NAME", Value::ofText("Müller & Söhne"));
    put(*t, full, "ANZAHL", Value::ofInteger(-1234567890));
    put(*t, full, "BETRAG", Value::ofFloat(1234.5));
    put(*t, full, "WERT", Value::ofFloat(-0.0625));
    put(*t, full, "OK", Value::ofBoolean(true));
    put(*t, full, "TAG", Value::ofDate(dayNumberFromCivil(2024, 2, 29)));
    put(*t, full, "ZEIT", Value::ofText("08:30:00"));
    put(*t, full, "NOTIZ", Value::ofText(longMemo));
    put(*t, full, "DATEN", Value::ofBytes(blob));
    std::uint32_t empty = appendRow(*t);
    for (const FieldDef& f : t->fields) put(*t, empty, f.name, Value::null());
    std::uint32_t gone = appendRow(*t);
    put(*t, gone, "NAME", Value::ofText("gelöscht"));
    put(*t, gone, "NOTIZ", Value::ofText("Memo eines gelöschten Satzes"));
    t->order.erase(2);
    t->dbase.deletedRows.push_back(gone);
    dbase::writeTable(*t, realFileSystem());

    auto back = dbase::readTable(path, realFileSystem());
    EXPECT_EQ(back->dbase.version, 0x8B);
    EXPECT_EQ(back->codePage, 1252);
    ASSERT_EQ(back->order.size(), 2u);
    ASSERT_EQ(back->dbase.deletedRows.size(), 1u);
    std::uint32_t r = back->order.at(0);
    EXPECT_EQ(get(*back, r, "NAME"), Value::ofText("Müller & Söhne"));
    EXPECT_EQ(get(*back, r, "ANZAHL"), Value::ofFloat(-1234567890));
    EXPECT_EQ(get(*back, r, "BETRAG"), Value::ofFloat(1234.5));
    EXPECT_EQ(rawField(*back, r, "BETRAG"), "             1234.50");
    EXPECT_EQ(get(*back, r, "WERT"), Value::ofFloat(-0.0625));
    EXPECT_EQ(get(*back, r, "OK"), Value::ofBoolean(true));
    EXPECT_EQ(get(*back, r, "TAG"), Value::ofDate(dayNumberFromCivil(2024, 2, 29)));
    EXPECT_EQ(rawField(*back, r, "TAG"), "20240229");
    EXPECT_EQ(get(*back, r, "ZEIT"), Value::ofText("08:30:00"));
    EXPECT_EQ(get(*back, r, "NOTIZ"), Value::ofText(longMemo));
    // The file's memo field reads back as a memo; its bytes are kept as they were.
    EXPECT_EQ(field(*back, "DATEN").type, FieldType::Memo);
    EXPECT_EQ(back->blobs.get(BlobStore::handleAt(back->row(r) + field(*back, "DATEN").offset)), blob);
    std::uint32_t e = back->order.at(1);
    for (const FieldDef& f : back->fields) {
        EXPECT_TRUE(get(*back, e, f.name).isNull()) << f.name;
        EXPECT_TRUE(codec().isNull(*back, f, back->row(e))) << f.name;
    }
    EXPECT_EQ(rawField(*back, e, "OK"), " ");  // readers take '?' for false
    std::uint32_t d = back->dbase.deletedRows[0];
    EXPECT_EQ(back->row(d)[0], '*');
    EXPECT_EQ(get(*back, d, "NOTIZ"), Value::ofText("Memo eines gelöschten Satzes"));

    // Language driver 0x57 and the text bytes of Windows-1252.
    std::string file = readFile(path);
    EXPECT_EQ(static_cast<unsigned char>(file[0x1D]), 0x57);
    EXPECT_NE(file.find("M\xFCller & S\xF6hne"), std::string::npos);
}

TEST(DbfCodec, WritesTextInTheTablesCodePage) {
    struct Case {
        int codePage;
        int driver;
        std::string bytes;
    };
    for (const Case& c : {Case{1252, 0x57,
                               "Gr\xF6\xDF"
                               "e \xC4rger"},
                          Case{850, 0x02,
                               "Gr\x94\xE1"
                               "e \x8Erger"},
                          Case{437, 0x01,
                               "Gr\x94\xE1"
                               "e \x8Erger"}}) {
        SCOPED_TRACE(c.codePage);
        TempDir dir;
        auto t = textTable(dir.file("T.DBF"), c.codePage);
        std::uint32_t r = appendRow(*t);
        put(*t, r, "NAME", Value::ofText("Größe Ärger"));
        put(*t, r, "NOTIZ", Value::ofText("Größe Ärger"));
        EXPECT_EQ(rawField(*t, r, "NAME"), c.bytes + std::string(20 - c.bytes.size(), ' '));
        dbase::writeTable(*t, realFileSystem());
        std::string file = readFile(dir.file("T.DBF"));
        EXPECT_EQ(static_cast<unsigned char>(file[0x1D]), c.driver);
        EXPECT_NE(readFile(dir.file("T.DBT")).find(c.bytes), std::string::npos);

        auto back = dbase::readTable(dir.file("T.DBF"), realFileSystem());
        EXPECT_EQ(back->codePage, c.codePage);
        EXPECT_EQ(get(*back, back->order.at(0), "NAME"), Value::ofText("Größe Ärger"));
        EXPECT_EQ(get(*back, back->order.at(0), "NOTIZ"), Value::ofText("Größe Ärger"));
    }
}

TEST(DbfNewTable, AChangedCodePageIsNamedInTheHeader) {
    TempDir dir;
    auto t = dbase::newTable(dir.file("T.DBF"), {{"Name", FieldType::String, 10}});
    t->codePage = 850;  // the language driver byte left as it was
    put(*t, appendRow(*t), "NAME", Value::ofText("Öl"));
    dbase::writeTable(*t, realFileSystem());
    EXPECT_EQ(t->dbase.languageDriver, 0x02);
    auto back = dbase::readTable(dir.file("T.DBF"), realFileSystem());
    EXPECT_EQ(back->codePage, 850);
    EXPECT_EQ(get(*back, back->order.at(0), "NAME"), Value::ofText("Öl"));
}

TEST(DbfCodec, CutsOverlongTextAfterItsFirstCharacters) {
    auto t = textTable("/tmp/x/T.DBF", 850, 5);
    std::uint32_t r = appendRow(*t);
    put(*t, r, "NAME", Value::ofText("ÄÖÜäöüß"));
    EXPECT_EQ(get(*t, r, "NAME"), Value::ofText("ÄÖÜäö"));
    put(*t, r, "NAME", Value::ofText("  ab  "));  // leading blanks stay, trailing ones are padding
    EXPECT_EQ(get(*t, r, "NAME"), Value::ofText("  ab"));
}

TEST(DbfCodec, ACharacterTheCodePageCannotHoldIsAFieldErrorAndKeepsTheOldValue) {
    auto dos = textTable("/tmp/x/T.DBF", 850);
    std::uint32_t r = appendRow(*dos);
    put(*dos, r, "NAME", Value::ofText("für"));
    try {
        codec().write(*dos, field(*dos, "NAME"), dos->row(r), Value::ofText("5 € für 3 €"));
        FAIL() << "no error";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("\"€\""), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("NAME"), std::string::npos) << e.what();
    }
    EXPECT_EQ(get(*dos, r, "NAME"), Value::ofText("für"));
    EXPECT_THROW(codec().write(*dos, field(*dos, "NOTIZ"), dos->row(r), Value::ofText("€")), TableError);

    auto windows = textTable("/tmp/x/T.DBF", 1252);
    r = appendRow(*windows);
    codec().write(*windows, field(*windows, "NAME"), windows->row(r), Value::ofText("5 €"));
    EXPECT_EQ(rawField(*windows, r, "NAME").substr(0, 3), "5 \x80");
}

TEST(DbfCodec, RefusesNumbersWiderThanTheFieldAndKeepsTheOldValue) {
    auto t = dbase::newTable("/tmp/x/Z.DBF", {{"Betrag", FieldType::Float, 6, false, 2}, {"Nr", FieldType::SmallInt}});
    std::uint32_t r = appendRow(*t);
    put(*t, r, "BETRAG", Value::ofFloat(999.99));
    EXPECT_EQ(rawField(*t, r, "BETRAG"), "999.99");
    put(*t, r, "BETRAG", Value::ofFloat(-99.99));
    EXPECT_EQ(rawField(*t, r, "BETRAG"), "-99.99");
    // Too wide for two decimals but whole with fewer: written with fewer, as dBase programs do.
    put(*t, r, "BETRAG", Value::ofFloat(1000));
    EXPECT_EQ(rawField(*t, r, "BETRAG"), "1000.0");
    put(*t, r, "BETRAG", Value::ofFloat(-100));
    EXPECT_EQ(rawField(*t, r, "BETRAG"), "-100.0");
    put(*t, r, "BETRAG", Value::ofFloat(123456));
    EXPECT_EQ(rawField(*t, r, "BETRAG"), "123456");
    put(*t, r, "BETRAG", Value::ofFloat(-99.99));
    for (double tooWide : {1234567.0, -10000.5, 99999.95, 1e300}) {
        SCOPED_TRACE(tooWide);
        try {
            codec().write(*t, field(*t, "BETRAG"), t->row(r), Value::ofFloat(tooWide));
            ADD_FAILURE() << "written";
        } catch (const TableError& e) {
            EXPECT_NE(std::string(e.what()).find("passt nicht in das Feld BETRAG"), std::string::npos) << e.what();
        }
        EXPECT_EQ(rawField(*t, r, "BETRAG"), "-99.99");
    }
    put(*t, r, "NR", Value::ofInteger(-99999));
    EXPECT_THROW(codec().write(*t, field(*t, "NR"), t->row(r), Value::ofInteger(1000000)), TableError);
    EXPECT_EQ(get(*t, r, "NR"), Value::ofFloat(-99999));
    EXPECT_EQ(rawField(*t, r, "NR").find('*'), std::string::npos);
}

TEST(DbfCodec, RoundsHalfAwayFromZeroAtTheFieldsDecimals) {
    auto t = dbase::newTable("/tmp/x/Z.DBF", {{"Wert", FieldType::Float, 10, false, 2}});
    std::uint32_t r = appendRow(*t);
    struct Case {
        double value;
        const char* text;
    };
    for (const Case& c : {Case{2.675, "      2.68"}, Case{-2.675, "     -2.68"}, Case{0.125, "      0.13"},
                          Case{1.005, "      1.01"}, Case{-0.001, "      0.00"}, Case{99.999, "    100.00"},
                          Case{12345.5, "  12345.50"}, Case{1e-9, "      0.00"}}) {
        SCOPED_TRACE(c.text);
        put(*t, r, "WERT", Value::ofFloat(c.value));
        EXPECT_EQ(rawField(*t, r, "WERT"), c.text);
    }
    // Decimal values (BCD) keep digits a double would lose.
    auto wide = dbase::newTable("/tmp/x/Z.DBF", {{"Genau", FieldType::BCD, 2}});
    r = appendRow(*wide);
    put(*wide, r, "GENAU", Value::ofDecimal("12345678901234567.891"));
    EXPECT_EQ(rawField(*wide, r, "GENAU"), "12345678901234567.89");
    put(*wide, r, "GENAU", Value::ofDecimal("-0.005"));
    EXPECT_EQ(rawField(*wide, r, "GENAU"), "               -0.01");
    EXPECT_THROW(dbaseCodec().write(*wide, wide->fields[0], wide->row(r), Value::ofDecimal("1.2.3")),
                 TableError);
}

TEST(DbfCodec, ReadsNumbersDatesAndLogicalsInTheirLenientForms) {
    auto t = dbase::newTable(
        "/tmp/x/Z.DBF",
        {{"Wert", FieldType::Float, 8, false, 2}, {"Tag", FieldType::Date}, {"Ok", FieldType::Boolean}});
    std::uint32_t r = appendRow(*t);
    auto setRaw = [&](const std::string& name, const std::string& raw) {
        std::copy(raw.begin(), raw.end(), t->row(r) + field(*t, name).offset);
    };
    struct NumberCase {
        std::string raw;
        Value value;
    };
    for (const NumberCase& c : {NumberCase{"    1.50", Value::ofFloat(1.5)}, NumberCase{"  -    5", Value::ofFloat(-5)},
                                NumberCase{"    1,25", Value::ofFloat(1.25)}, NumberCase{"      +3", Value::ofFloat(3)},
                                NumberCase{"     .50", Value::ofFloat(0.5)}, NumberCase{"********", Value::null()},
                                NumberCase{"        ", Value::null()}, NumberCase{std::string(8, '\0'), Value::null()},
                                NumberCase{"   12abc", Value::null()}, NumberCase{"     inf", Value::null()},
                                NumberCase{"   1 2  ", Value::null()}}) {
        SCOPED_TRACE(c.raw);
        setRaw("WERT", c.raw);
        EXPECT_EQ(get(*t, r, "WERT"), c.value);
    }
    struct DateCase {
        std::string raw;
        Value value;
    };
    for (const DateCase& c :
         {DateCase{"20240229", Value::ofDate(dayNumberFromCivil(2024, 2, 29))}, DateCase{"20230229", Value::null()},
          DateCase{"00000000", Value::null()}, DateCase{"        ", Value::null()}, DateCase{"NotAYear", Value::null()},
          DateCase{"18700630", Value::ofDate(dayNumberFromCivil(1870, 6, 30))}}) {
        SCOPED_TRACE(c.raw);
        setRaw("TAG", c.raw);
        EXPECT_EQ(get(*t, r, "TAG"), c.value);
    }
    struct LogicalCase {
        char raw;
        Value value;
    };
    for (const LogicalCase& c :
         {LogicalCase{'T', Value::ofBoolean(true)}, LogicalCase{'y', Value::ofBoolean(true)},
          LogicalCase{'f', Value::ofBoolean(false)}, LogicalCase{'N', Value::ofBoolean(false)},
          LogicalCase{'?', Value::null()}, LogicalCase{' ', Value::null()}, LogicalCase{'\0', Value::null()}}) {
        setRaw("OK", std::string(1, c.raw));
        EXPECT_EQ(get(*t, r, "OK"), c.value) << static_cast<int>(c.raw);
    }
}

// An independent reader (the Perl XBase module) reads what we wrote.
TEST(DbfNewTable, PerlXBaseReadsATableWeWrote) {
    TempDir dir;
    const std::string path = dir.file("KUNDEN.DBF");
    auto t = dbase::newTable(path, {{"Name", FieldType::String, 20},
                                    {"Betrag", FieldType::Float, 10, false, 2},
                                    {"Seit", FieldType::Date},
                                    {"Aktiv", FieldType::Boolean},
                                    {"Notiz", FieldType::Memo}});
    const std::string longMemo = std::string(700, 'a') + "|Ende";
    std::uint32_t r = appendRow(*t);
    put(*t, r, "NAME", Value::ofText("Jürgen Groß"));
    put(*t, r, "BETRAG", Value::ofFloat(-1234.5));
    put(*t, r, "SEIT", Value::ofDate(dayNumberFromCivil(1999, 12, 31)));
    put(*t, r, "AKTIV", Value::ofBoolean(false));
    put(*t, r, "NOTIZ", Value::ofText(longMemo));
    r = appendRow(*t);
    put(*t, r, "NAME", Value::ofText("Zweiter"));
    put(*t, r, "AKTIV", Value::ofBoolean(true));
    put(*t, r, "NOTIZ", Value::ofText("kurz"));
    dbase::writeTable(*t, realFileSystem());

    CommandResult out = runCommand(
        "perl -MXBase -e '$t = XBase->new(name => $ARGV[0]) or die XBase->errstr; "
        "print join(\",\", $t->field_names), \"\\n\"; "
        "for $i (0 .. $t->last_record) { @r = $t->get_record($i); "
        "print join(\"|\", map { defined $_ ? $_ : \"<undef>\" } @r), \"\\n\" }' " +
        path);
    ASSERT_EQ(out.exitCode, 0) << out.err;
    EXPECT_EQ(out.out,
              "NAME,BETRAG,SEIT,AKTIV,NOTIZ\n"
              "0|" +
                  encodeCodePage("Jürgen Groß", 1252) + "|-1234.5|19991231|0|" + longMemo +
                  "\n"
                  "0|Zweiter|<undef>|<undef>|1|kurz\n");
}
