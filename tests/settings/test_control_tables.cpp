// The control tables as made by the install step, the type-code table, the
// mapping rule and the import-mode codes, and the install step itself.
#include "common/Text.h"
#include "settings/ControlTables.h"
#include "settings/TypeCodes.h"
#include "support/TestSupport.h"
#include "tablestore/Table.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kimport;
using kimport::test::fileExists;
using kimport::test::readFile;
using kimport::test::runCommand;
using kimport::test::TempDir;

namespace {

struct Column {
    const char* name;
    FieldType type;
    int size;
};

// Opens a table and checks the columns that callers rely on, by name.
void expectColumns(const std::string& path, const std::vector<Column>& columns, int fieldCount, int keyCount) {
    Table t;
    t.setPath(path);
    t.OpenTable();
    EXPECT_EQ(t.FieldCount(), fieldCount) << path;
    EXPECT_EQ(t.KeyFieldCount(), keyCount) << path;
    for (const Column& c : columns) {
        const FieldDef& f = t.FieldDefAt(t.FieldNamed(c.name));
        EXPECT_EQ(f.name, c.name);
        EXPECT_EQ(f.type, c.type) << c.name;
        EXPECT_EQ(f.size, c.size) << c.name;
    }
    EXPECT_EQ(t.RecordCount(), 0) << path;
}

void appendSetting(Table& impList, const std::string& name) {
    impList.BeginAppend();
    impList.SetValue(impList.FieldNamed("Bezeichnung"), Value::ofText(name));
    impList.SetAsBoolean(impList.FieldNamed("Eigene"), true);
    impList.PostRecord();
}

std::int64_t tableNameOf(Table& impList, const std::string& name) {
    EXPECT_TRUE(impList.SeekKey({Value::ofText(name)})) << name;
    return impList.AsInteger(impList.FieldNamed("TableName"));
}

}  // namespace

TEST(ControlTables, AreMadeWithTheColumnsTypesSizesAndKeysCallersRelyOn) {
    TempDir dir;
    makeControlTables(dir.path());

    expectColumns(impListPath(dir.path()),
                  {{"Bezeichnung", FieldType::String, 80},
                   {"Bemerkung", FieldType::Memo, 1},
                   {"Quellformat", FieldType::String, 10},
                   {"TableName", FieldType::AutoInc, 0},
                   {"VorDefTableName", FieldType::String, 8},
                   {"Quelldatei", FieldType::String, 255},
                   {"Zieldatei", FieldType::String, 255},
                   {"LetzterImport", FieldType::Date, 0},
                   {"Importmodus", FieldType::SmallInt, 0},
                   {"Andere", FieldType::String, 1},
                   {"ColNames", FieldType::Memo, 1},
                   {"FixBreak", FieldType::Memo, 1},
                   {"TMJ", FieldType::String, 10},
                   {"Eigene", FieldType::Boolean, 0}},
                  30, 1);
    {
        Table t;
        t.setPath(impListPath(dir.path()));
        t.OpenTable();
        EXPECT_EQ(t.FieldDefAt(0).name, "Bezeichnung");
        EXPECT_TRUE(t.InPrimaryIndex(0));
        EXPECT_EQ(typeCode(t.FieldDefAt(t.FieldNamed("TableName")).type), 14);
        // Callers spell these two both ways.
        EXPECT_EQ(t.FieldNamed("QuellDatei"), t.FieldNamed("Quelldatei"));
        EXPECT_EQ(t.FieldNamed("ZielDatei"), t.FieldNamed("Zieldatei"));
    }

    expectColumns(zStruktPath(dir.path()),
                  {{"Index", FieldType::String, 1},
                   {"Feldname", FieldType::String, 255},
                   {"Laenge", FieldType::String, 5},
                   {"Typbezeichnung", FieldType::String, 18},
                   {"Zuordnung", FieldType::String, 255},
                   {"Typ", FieldType::SmallInt, 0},
                   {"Div", FieldType::Float, 0},
                   {"Vorgabewert_alph", FieldType::String, 80},
                   {"Formel_alph", FieldType::Memo, 240},
                   {"Formel_num", FieldType::Memo, 240},
                   {"Runden", FieldType::SmallInt, 0},
                   {"FeldAkt", FieldType::Boolean, 0}},
                  26, 0);
    // Every saved setting copies at least ZStrukt.DB and ZStrukt.MB.
    EXPECT_TRUE(fileExists(dir.file("ZStrukt.MB")));

    expectColumns(qStruktPath(dir.path()),
                  {{"Index", FieldType::String, 1},
                   {"Feldname", FieldType::String, 255},
                   {"Typbezeichnung", FieldType::String, 18},
                   {"Typ", FieldType::SmallInt, 0},
                   {"Laenge", FieldType::String, 5},
                   {"NKommaStellen", FieldType::SmallInt, 0}},
                  6, 0);
    // The main window names it "QStrukt.DB"; the store must find it all the same.
    expectColumns(programTablePath(dir.path(), "QStrukt.DB"), {}, 6, 0);
}

TEST(ControlTables, PathsHaveOneSeparatorBetweenDirectoryAndName) {
    EXPECT_EQ(programTablePath("/opt/kimport", "ImpList.DB"), "/opt/kimport/ImpList.DB");
    EXPECT_EQ(impListPath("/opt/kimport/"), "/opt/kimport/ImpList.DB");
    EXPECT_EQ(zStruktPath("/p/"), "/p/ZStrukt.DB");
    EXPECT_EQ(qStruktPath("/p/"), "/p/QStrukt.db");
    EXPECT_EQ(tempDirectory("/p"), "/p/Temp/");
}

TEST(ControlTables, ImpListRefusesASecondSettingOfTheSameNameAndCountsTableNameUp) {
    TempDir dir;
    makeControlTables(dir.path());
    Table impList;
    impList.setPath(impListPath(dir.path()));
    impList.Exclusive = true;
    impList.OpenTable();
    appendSetting(impList, "Artikel übernehmen");
    appendSetting(impList, "Kunden aus dBase");
    EXPECT_THROW(appendSetting(impList, "Artikel übernehmen"), TableError);
    impList.CancelRecord();
    EXPECT_EQ(impList.RecordCount(), 2);
    EXPECT_EQ(tableNameOf(impList, "Artikel übernehmen"), 1);
    EXPECT_EQ(tableNameOf(impList, "Kunden aus dBase"), 2);

    // The counter goes on after reopening and never reuses a number (the
    // refused row may have used one up).
    impList.CloseTable();
    impList.OpenTable();
    appendSetting(impList, "Preisliste");
    EXPECT_GT(tableNameOf(impList, "Preisliste"), 2);
    appendSetting(impList, "Preisliste 2");
    EXPECT_EQ(tableNameOf(impList, "Preisliste 2"), tableNameOf(impList, "Preisliste") + 1);
}

TEST(ControlTables, ZStruktRowsKeepTheirInsertionOrder) {
    TempDir dir;
    makeControlTables(dir.path());
    const std::vector<std::string> names = {"Preis", "ArtNr", "Zuletzt", "Bezeichnung", "Aktiv"};
    {
        Table z;
        z.setPath(zStruktPath(dir.path()));
        z.Exclusive = true;
        z.OpenTable();
        for (const std::string& n : names) {
            z.BeginAppend();
            z.SetValue(z.FieldNamed("Feldname"), Value::ofText(n));
            z.PostRecord();
        }
    }
    Table z;
    z.setPath(zStruktPath(dir.path()));
    z.OpenTable();
    std::vector<std::string> read;
    for (z.MoveFirst(); !z.AtEnd(); z.MoveNext()) read.push_back(z.AsString(z.FieldNamed("Feldname"), {}));
    EXPECT_EQ(read, names);
}

TEST(ControlTables, MappingRuleSurvivesTheTableWithEmptyAndZeroKeptApart) {
    TempDir dir;
    makeControlTables(dir.path());
    MappingRule filled = defaultRule();
    filled.Zuordnung = "PREIS";
    filled.Div = 0.0;  // a 0 is a filled option, not an empty one
    filled.Mul = 1.16;
    filled.Vorgabewert_alph = "unbekannt";
    filled.BedLeer = true;
    filled.Quellwert_num = -3.5;
    filled.Formel_alph = std::string(300, 'x') + " & [Name]";  // longer than the part kept in the record
    filled.Runden = 0;
    filled.Ausrichtung_li = true;
    filled.Ausrichtung_re = false;
    filled.StringAuswahlBeg = 2;
    filled.StringAuswahlEnd = 5;
    filled.FeldAkt = false;
    {
        Table z;
        z.setPath(zStruktPath(dir.path()));
        z.Exclusive = true;
        z.OpenTable();
        for (const MappingRule& r : {defaultRule(), filled}) {
            z.BeginAppend();
            z.SetValue(z.FieldNamed("Feldname"), Value::ofText("Feld"));
            writeMappingRule(z, r);
            z.PostRecord();
        }
    }
    Table z;
    z.setPath(zStruktPath(dir.path()));
    z.OpenTable();
    z.MoveFirst();
    EXPECT_EQ(readMappingRule(z), defaultRule());
    EXPECT_TRUE(z.IsNull(z.FieldNamed("Div")));
    EXPECT_TRUE(z.IsNull(z.FieldNamed("Runden")));
    EXPECT_FALSE(z.IsNull(z.FieldNamed("BedGleich")));  // flags are written false, not left empty
    z.MoveNext();
    EXPECT_EQ(readMappingRule(z), filled);

    // A reset writes the default rule and leaves the structure columns alone.
    z.BeginEdit();
    writeMappingRule(z, defaultRule());
    z.PostRecord();
    EXPECT_EQ(readMappingRule(z), defaultRule());
    EXPECT_EQ(z.AsString(z.FieldNamed("Feldname"), {}), "Feld");
}

TEST(TypeCodes, NamesDifferBetweenSourceAndTargetOnlyForShortAndLongIntegers) {
    EXPECT_EQ(sourceTypeName(2), "Ganzzahl kurz");
    EXPECT_EQ(targetTypeName(2), "Ganzzahl - kurz");
    EXPECT_EQ(sourceTypeName(3), "Ganzzahl lang");
    EXPECT_EQ(targetTypeName(3), "Ganzzahl - lang");
    for (int code = 1; code <= 22; ++code) {
        if (code == 2 || code == 3) continue;
        EXPECT_EQ(sourceTypeName(code), targetTypeName(code)) << code;
        EXPECT_NE(sourceTypeName(code), "unbekannt") << code;
    }
    EXPECT_EQ(sourceTypeName(1), "Zeichen/String");
    EXPECT_EQ(targetTypeName(7), "Währung");
    EXPECT_EQ(targetTypeName(13), "var. Byte(bin)");
    EXPECT_EQ(targetTypeName(14), "32 Bit Zähler");
    EXPECT_EQ(targetTypeName(21), "typ. Binär");
    EXPECT_EQ(targetTypeName(22), "Oracle TParam");
    for (int code : {0, 23, -1, 255}) {
        EXPECT_EQ(sourceTypeName(code), "unbekannt") << code;
        EXPECT_EQ(targetTypeName(code), "unbekannt") << code;
    }
    // Every name fits the Typbezeichnung column (text 18).
    for (int code = 0; code <= 23; ++code) {
        EXPECT_LE(charCount(sourceTypeName(code)), 18u) << code;
        EXPECT_LE(charCount(targetTypeName(code)), 18u) << code;
    }
}

TEST(TypeCodes, LaengeIsTheReportedSizeExceptForMemosAndUnknownCodes) {
    EXPECT_EQ(laengeText(1, 80), "80");
    EXPECT_EQ(laengeText(1, 255), "255");
    EXPECT_EQ(laengeText(3, 0), "0");
    EXPECT_EQ(laengeText(8, 2), "2");
    EXPECT_EQ(laengeText(15, 10), "10");
    EXPECT_EQ(laengeText(16, 10), "-");
    EXPECT_EQ(laengeText(18, 240), "-");
    EXPECT_EQ(laengeText(0, 4), "-");
    EXPECT_EQ(laengeText(23, 4), "-");
}

TEST(TypeCodes, ClassesAndTypePairs) {
    for (int code : {1, 5, 9, 10, 11, 16, 18}) {
        EXPECT_EQ(sourceClass(code), TypeClass::S) << code;
        EXPECT_EQ(targetClass(code), TypeClass::S) << code;
    }
    for (int code : {2, 3, 4, 6, 7}) {
        EXPECT_EQ(sourceClass(code), TypeClass::Z) << code;
        EXPECT_EQ(targetClass(code), TypeClass::Z) << code;
    }
    for (int code : {0, 8, 12, 13, 15, 17, 19, 20, 21, 22, 23}) {
        EXPECT_EQ(sourceClass(code), TypeClass::None) << code;
        EXPECT_EQ(targetClass(code), TypeClass::None) << code;
    }
    // A counter feeds numbers but takes no options itself.
    EXPECT_EQ(sourceClass(14), TypeClass::Z);
    EXPECT_EQ(targetClass(14), TypeClass::None);

    EXPECT_EQ(typePair(1, 1), TypePair::SS);
    EXPECT_EQ(typePair(9, 3), TypePair::SZ);
    EXPECT_EQ(typePair(14, 16), TypePair::ZS);
    EXPECT_EQ(typePair(6, 2), TypePair::ZZ);
    EXPECT_EQ(typePair(14, 14), std::nullopt);
    EXPECT_EQ(typePair(8, 1), std::nullopt);
    EXPECT_EQ(typePair(1, 12), std::nullopt);
    EXPECT_EQ(typePairName(TypePair::SZ), "SZ");
    EXPECT_EQ(typePairName(TypePair::ZS), "ZS");
}

TEST(TypeCodes, DefaultRuleAssignsNothingAndOnlyAlignsRightAndUpdates) {
    MappingRule r = defaultRule();
    EXPECT_TRUE(r.Zuordnung.empty());
    EXPECT_FALSE(r.Div || r.Mul || r.Vorgabewert_num || r.Quellwert_num || r.Runden || r.StringAuswahlBeg ||
                 r.StringAuswahlEnd);
    EXPECT_TRUE(r.Vorgabewert_alph.empty() && r.Quellwert_alph.empty() && r.Formel_alph.empty() &&
                r.Formel_num.empty());
    EXPECT_FALSE(r.BedGleich || r.BedKleiner || r.BedGroesser || r.BedLeer || r.Ausrichtung_li ||
                 r.Ueberl_abschneid_li || r.Ueberl_abschneid_re);
    EXPECT_TRUE(r.Ausrichtung_re);
    EXPECT_TRUE(r.FeldAkt);
}

TEST(ImportModes, CodesCaptionsAndRuns) {
    EXPECT_EQ(importModeFromCode(0), std::nullopt);
    EXPECT_EQ(importModeFromCode(6), std::nullopt);
    for (int code = 1; code <= 5; ++code) EXPECT_EQ(importModeCode(*importModeFromCode(code)), code);
    EXPECT_EQ(decidingCaption(ImportMode::Append), "An das &Ende anhängen");
    EXPECT_EQ(decidingCaption(ImportMode::AppendNew), "Vorhandene Datensätze &ignorieren");
    EXPECT_EQ(decidingCaption(ImportMode::RenameExisting), "Ein&lesen von Datensätzen, die bereits vorhanden sind");
    EXPECT_EQ(decidingCaption(ImportMode::SelfIncrement), "Schlüsselwerte &selbständig erhöhen");
    EXPECT_EQ(decidingCaption(ImportMode::Update), "A&ktualisieren der Zieldatenbank");
    EXPECT_EQ(runName(ImportMode::Append), "RunAppend");
    EXPECT_EQ(runName(ImportMode::AppendNew), "RunAppendNew");
    EXPECT_EQ(runName(ImportMode::RenameExisting), "RunRenameExisting");
    EXPECT_EQ(runName(ImportMode::SelfIncrement), "RunSelfIncrement");
    EXPECT_EQ(runName(ImportMode::Update), "RunUpdate");
}

TEST(ImportModes, SavingDerivesTheCodeFromTheButtonsTheLaterTestWinning) {
    auto mode = [](bool ende, bool ign, bool umb, bool self, bool akt) {
        return importModeFromButtons({ende, ign, umb, self, akt});
    };
    EXPECT_EQ(mode(true, false, false, false, false), ImportMode::Append);
    EXPECT_EQ(mode(true, true, false, false, false), ImportMode::AppendNew);
    EXPECT_EQ(mode(true, false, true, false, false), ImportMode::RenameExisting);
    EXPECT_EQ(mode(true, false, false, true, false), ImportMode::SelfIncrement);
    EXPECT_EQ(mode(false, false, false, false, true), ImportMode::Update);
    // A sub-option decides even without the main button.
    EXPECT_EQ(mode(false, true, false, false, false), ImportMode::AppendNew);
    EXPECT_EQ(mode(true, true, false, true, false), ImportMode::SelfIncrement);
    EXPECT_EQ(mode(true, true, true, false, false), ImportMode::RenameExisting);
    EXPECT_EQ(mode(true, false, false, false, true), ImportMode::Update);
    EXPECT_EQ(mode(false, true, true, true, true), ImportMode::Update);
    EXPECT_EQ(mode(false, false, false, false, false), std::nullopt);
}

TEST(ImportModes, LoadingSetsTheButtonsAndDisablesOnlyForAnUnchangedRunOrCodeOne) {
    using F = ModeButtonFlags;
    for (bool forEdit : {false, true}) {
        ModeButtonsOnLoad one = modeButtonsOnLoad(ImportMode::Append, forEdit);
        EXPECT_EQ(one.checked, (F{true, false, false, false, false}));
        EXPECT_EQ(one.disabled, (F{false, true, true, true, false}));
        ModeButtonsOnLoad two = modeButtonsOnLoad(ImportMode::AppendNew, forEdit);
        EXPECT_EQ(two.checked, (F{true, true, false, false, false}));
        EXPECT_EQ(two.disabled, F{});
        ModeButtonsOnLoad five = modeButtonsOnLoad(ImportMode::Update, forEdit);
        EXPECT_EQ(five.checked, (F{false, false, false, false, true}));
        EXPECT_EQ(five.disabled, F{});
    }
    EXPECT_EQ(modeButtonsOnLoad(ImportMode::RenameExisting, false).checked, (F{true, false, true, false, false}));
    EXPECT_EQ(modeButtonsOnLoad(ImportMode::RenameExisting, false).disabled, (F{false, true, false, true, true}));
    EXPECT_EQ(modeButtonsOnLoad(ImportMode::SelfIncrement, false).checked, (F{true, false, false, true, false}));
    EXPECT_EQ(modeButtonsOnLoad(ImportMode::SelfIncrement, false).disabled, (F{false, true, true, false, true}));
    EXPECT_EQ(modeButtonsOnLoad(ImportMode::RenameExisting, true).disabled, F{});
    EXPECT_EQ(modeButtonsOnLoad(ImportMode::SelfIncrement, true).disabled, F{});
    // What is loaded is saved back unchanged.
    for (int code = 1; code <= 5; ++code)
        for (bool forEdit : {false, true}) {
            ImportMode m = *importModeFromCode(code);
            EXPECT_EQ(importModeFromButtons(modeButtonsOnLoad(m, forEdit).checked), m) << code;
        }
}

namespace {

std::int64_t recordCount(const std::string& path) {
    Table t;
    t.setPath(path);
    t.OpenTable();
    return t.RecordCount();
}

std::vector<std::string> crlfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = bytes.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(bytes.substr(from, at - from));
    EXPECT_EQ(from, bytes.size()) << "text after the last line end";
    return lines;
}

}  // namespace

TEST(MakeProgramFiles, MakesControlTablesAndDemosAndCanRunAgain) {
    TempDir dir;
    const std::string tool = KIMPORT_MAKE_PROGRAM_FILES_EXE;
    auto first = runCommand(tool + " " + dir.path());
    ASSERT_EQ(first.exitCode, 0) << first.err;
    {
        Table impList;
        impList.setPath(impListPath(dir.path()));
        impList.OpenTable();
        appendSetting(impList, "Alt");
    }
    // A second run keeps the saved settings and adds no second pair of demo settings; a fresh one
    // starts again with the demo settings alone.
    auto second = runCommand(tool + " " + dir.path());
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(recordCount(impListPath(dir.path())), 3);
    auto fresh = runCommand(tool + " --fresh " + dir.path());
    ASSERT_EQ(fresh.exitCode, 0) << fresh.err;

    EXPECT_EQ(recordCount(impListPath(dir.path())), 2);
    EXPECT_EQ(recordCount(zStruktPath(dir.path())), 0);
    EXPECT_EQ(recordCount(qStruktPath(dir.path())), 0);

    const std::string demos = dir.file("Demos/");
    EXPECT_EQ(recordCount(demos + "Artikel.DB"), 30);
    EXPECT_EQ(recordCount(demos + "KUNDEN.DBF"), 25);
    EXPECT_EQ(recordCount(demos + "ArtikelNeu.DB"), 0);
    EXPECT_EQ(recordCount(demos + "KundenNeu.DB"), 0);

    Table artikel;
    artikel.setPath(demos + "Artikel.DB");
    artikel.OpenTable();
    EXPECT_EQ(artikel.KeyFieldCount(), 1);
    ASSERT_TRUE(artikel.SeekKey({Value::ofText("10010")}));
    EXPECT_EQ(artikel.AsString(artikel.FieldNamed("Bezeichnung"), {}), "Schraubendreher Größe 2");
    EXPECT_DOUBLE_EQ(artikel.AsFloat(artikel.FieldNamed("Preis")), 4.95);
    ASSERT_TRUE(artikel.SeekKey({Value::ofText("10090")}));
    EXPECT_FALSE(artikel.AsBoolean(artikel.FieldNamed("Aktiv")));
    EXPECT_EQ(artikel.AsString(artikel.FieldNamed("Angelegt"), FormatSettings::german()), "20.06.2021");
    EXPECT_EQ(artikel.AsString(artikel.FieldNamed("Bemerkung"), {}), "Auslaufartikel, nur Restbestand");

    Table kunden;
    kunden.setPath(demos + "KUNDEN.DBF");
    kunden.OpenTable();
    kunden.MoveFirst();
    EXPECT_EQ(kunden.AsInteger(kunden.FieldNamed("KUNDENNR")), 10001);
    EXPECT_EQ(kunden.AsString(kunden.FieldNamed("ORT"), {}), "München");
    EXPECT_EQ(kunden.AsString(kunden.FieldNamed("PLZ"), {}), "80331");

    // Windows text files: 1252 bytes, CR LF, names in the first line.
    std::vector<std::string> preise = crlfLines(readFile(demos + "Preisliste.txt"));
    ASSERT_EQ(preise.size(), 21u);
    EXPECT_EQ(preise[0], "ArtNr;Bezeichnung;Preis;Einheit;Warengruppe;G\xFCltig ab");
    EXPECT_EQ(preise[1], "10010;Schraubendreher Gr\xF6\xDF" "e 2;5,25;St\xFC" "ck;Werkzeug;01.01.2024");

    std::vector<std::string> fest = crlfLines(readFile(demos + "Kunden_fest.txt"));
    ASSERT_EQ(fest.size(), 17u);
    EXPECT_EQ(fest[0].substr(0, 10), "KundenNr  ");
    EXPECT_TRUE(std::all_of(fest.begin(), fest.end(), [&](const std::string& l) { return l.size() == fest[0].size(); }))
        << "fixed-width records differ in length";
    EXPECT_NE(fest[2].find("M\xFCnster"), std::string::npos);
}

TEST(MakeProgramFiles, RefusesAMissingArgumentAndReportsAMissingDemoSource) {
    const std::string tool = KIMPORT_MAKE_PROGRAM_FILES_EXE;
    EXPECT_EQ(runCommand(tool).exitCode, 2);
    TempDir dir;
    auto r = runCommand(tool + " " + dir.path() + " " + dir.file("fehlt"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Artikel.csv"), std::string::npos) << r.err;
}
