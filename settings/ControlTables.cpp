#include "settings/ControlTables.h"

#include "common/FileSets.h"
#include "settings/ColumnValues.h"

namespace kimport {

namespace {

FieldSpec text(const char* name, int characters) { return {name, FieldType::String, characters}; }
FieldSpec logical(const char* name) { return {name, FieldType::Boolean}; }
FieldSpec shortInt(const char* name) { return {name, FieldType::SmallInt}; }
FieldSpec number(const char* name) { return {name, FieldType::Float}; }
// size = bytes of the memo kept in the record itself.
FieldSpec memo(const char* name, int leader) { return {name, FieldType::Memo, leader}; }

}  // namespace

const TableLayout& impListLayout() {
    static const TableLayout layout{{
                                        text("Bezeichnung", 80),
                                        memo("Bemerkung", 1),
                                        text("Quellformat", 10),
                                        {"TableName", FieldType::AutoInc},
                                        text("VorDefTableName", 8),
                                        text("Quelldatei", 255),
                                        text("Zieldatei", 255),
                                        logical("ZielLeeren"),
                                        logical("Sicherungskopie"),
                                        {"LetzterImport", FieldType::Date},
                                        shortInt("Importmodus"),
                                        shortInt("Marks"),
                                        text("MarkFeld", 80),
                                        logical("Semic"),
                                        logical("Komma"),
                                        logical("Tab"),
                                        logical("Space"),
                                        text("Andere", 1),
                                        shortInt("Delimiter"),
                                        memo("ColNames", 1),
                                        memo("FixBreak", 1),
                                        shortInt("FixVar"),
                                        logical("DosToWin"),
                                        text("Decimal", 1),
                                        text("Tausend", 1),
                                        text("Zeit", 1),
                                        text("Datum", 1),
                                        text("TMJ", 10),
                                        logical("NamesInFirstLine"),
                                        logical("Eigene"),
                                    },
                                    1};
    return layout;
}

const TableLayout& zStruktLayout() {
    static const TableLayout layout{{
                                        text("Index", 1),
                                        text("Feldname", 255),
                                        text("Laenge", 5),  // dBase text fields reach 4 digits; older tables have 3
                                        text("Typbezeichnung", 18),
                                        text("Zuordnung", 255),
                                        shortInt("Typ"),
                                        number("Div"),
                                        number("Mul"),
                                        text("Vorgabewert_alph", 80),
                                        number("Vorgabewert_num"),
                                        logical("BedGleich"),
                                        logical("BedKleiner"),
                                        logical("BedGroesser"),
                                        logical("BedLeer"),
                                        text("Quellwert_alph", 80),
                                        number("Quellwert_num"),
                                        memo("Formel_alph", 240),
                                        memo("Formel_num", 240),
                                        shortInt("Runden"),
                                        logical("Ausrichtung_li"),
                                        logical("Ausrichtung_re"),
                                        logical("Ueberl_abschneid_li"),
                                        logical("Ueberl_abschneid_re"),
                                        shortInt("StringAuswahlBeg"),
                                        shortInt("StringAuswahlEnd"),
                                        logical("FeldAkt"),
                                    },
                                    0};
    return layout;
}

const TableLayout& qStruktLayout() {
    static const TableLayout layout{{
                                        text("Index", 1),
                                        text("Feldname", 255),
                                        text("Typbezeichnung", 18),
                                        shortInt("Typ"),
                                        text("Laenge", 5),  // dBase text fields reach 4 digits; older tables have 3
                                        shortInt("NKommaStellen"),
                                    },
                                    0};
    return layout;
}

std::string programTablePath(const std::string& programDir, const std::string& fileName) {
    return withTrailingSlash(programDir) + fileName;
}

std::string impListPath(const std::string& programDir) { return programTablePath(programDir, kImpListFile); }
std::string zStruktPath(const std::string& programDir) { return programTablePath(programDir, kZStruktFile); }
std::string qStruktPath(const std::string& programDir) { return programTablePath(programDir, kQStruktFile); }
std::string tempDirectory(const std::string& programDir) {
    return programTablePath(programDir, std::string(kTempDirName) + "/");
}

void makeControlTables(const std::string& programDir, FileSystem& fs) {
    MakeTable(programDir, kImpListFile, impListLayout().fields, impListLayout().keyFieldCount, fs);
    MakeTable(programDir, kZStruktFile, zStruktLayout().fields, zStruktLayout().keyFieldCount, fs);
    MakeTable(programDir, kQStruktFile, qStruktLayout().fields, qStruktLayout().keyFieldCount, fs);
}

MappingRule readMappingRule(const Table& t) {
    MappingRule r;
    r.Zuordnung = textOf(t, "Zuordnung");
    r.Div = numberOf(t, "Div");
    r.Mul = numberOf(t, "Mul");
    r.Vorgabewert_alph = textOf(t, "Vorgabewert_alph");
    r.Vorgabewert_num = numberOf(t, "Vorgabewert_num");
    r.BedGleich = flagOf(t, "BedGleich");
    r.BedKleiner = flagOf(t, "BedKleiner");
    r.BedGroesser = flagOf(t, "BedGroesser");
    r.BedLeer = flagOf(t, "BedLeer");
    r.Quellwert_alph = textOf(t, "Quellwert_alph");
    r.Quellwert_num = numberOf(t, "Quellwert_num");
    r.Formel_alph = textOf(t, "Formel_alph");
    r.Formel_num = textOf(t, "Formel_num");
    r.Runden = shortOf(t, "Runden");
    r.Ausrichtung_li = flagOf(t, "Ausrichtung_li");
    r.Ausrichtung_re = flagOf(t, "Ausrichtung_re");
    r.Ueberl_abschneid_li = flagOf(t, "Ueberl_abschneid_li");
    r.Ueberl_abschneid_re = flagOf(t, "Ueberl_abschneid_re");
    r.StringAuswahlBeg = shortOf(t, "StringAuswahlBeg");
    r.StringAuswahlEnd = shortOf(t, "StringAuswahlEnd");
    r.FeldAkt = flagOf(t, "FeldAkt");
    return r;
}

void writeMappingRule(Table& t, const MappingRule& r) {
    putText(t, "Zuordnung", r.Zuordnung);
    putNumber(t, "Div", r.Div);
    putNumber(t, "Mul", r.Mul);
    putText(t, "Vorgabewert_alph", r.Vorgabewert_alph);
    putNumber(t, "Vorgabewert_num", r.Vorgabewert_num);
    putFlag(t, "BedGleich", r.BedGleich);
    putFlag(t, "BedKleiner", r.BedKleiner);
    putFlag(t, "BedGroesser", r.BedGroesser);
    putFlag(t, "BedLeer", r.BedLeer);
    putText(t, "Quellwert_alph", r.Quellwert_alph);
    putNumber(t, "Quellwert_num", r.Quellwert_num);
    putText(t, "Formel_alph", r.Formel_alph);
    putText(t, "Formel_num", r.Formel_num);
    putShort(t, "Runden", r.Runden);
    putFlag(t, "Ausrichtung_li", r.Ausrichtung_li);
    putFlag(t, "Ausrichtung_re", r.Ausrichtung_re);
    putFlag(t, "Ueberl_abschneid_li", r.Ueberl_abschneid_li);
    putFlag(t, "Ueberl_abschneid_re", r.Ueberl_abschneid_re);
    putShort(t, "StringAuswahlBeg", r.StringAuswahlBeg);
    putShort(t, "StringAuswahlEnd", r.StringAuswahlEnd);
    putFlag(t, "FeldAkt", r.FeldAkt);
}

}  // namespace kimport
