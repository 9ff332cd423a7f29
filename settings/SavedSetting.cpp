#include "settings/SavedSetting.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "settings/ColumnValues.h"
#include "tablestore/TableFiles.h"

#include <charconv>

namespace kimport {

std::string sourceFormatOf(const std::string& sourcePath) {
    if (isParadoxPath(sourcePath)) return "Paradox";
    if (isDBasePath(sourcePath)) return "dBase";
    return "Text";
}

bool isTextSourcePath(const std::string& sourcePath) { return sourceFormatOf(sourcePath) == "Text"; }

std::string encodeBreaks(const std::array<int, kBreakSlots>& breaks) {
    std::string text;
    for (int b : breaks) text += std::to_string(b) + ";";
    return text;
}

std::array<int, kBreakSlots> decodeBreaks(const std::string& text) {
    std::array<int, kBreakSlots> breaks;
    breaks.fill(-1);
    std::size_t slot = 0, from = 0;
    for (std::size_t at; slot < breaks.size() && (at = text.find(';', from)) != std::string::npos; from = at + 1) {
        const std::string piece = trim(text.substr(from, at - from));
        int value = -1;
        auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
        breaks[slot++] = error == std::errc() && end == piece.data() + piece.size() && value > 0 ? value : -1;
    }
    return breaks;
}

std::string encodeColumnNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += n + ";";
    return text;
}

std::vector<std::string> decodeColumnNames(const std::string& text) {
    std::vector<std::string> names;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(';', from)) != std::string::npos; from = at + 1)
        names.push_back(text.substr(from, at - from));
    return names;
}

SavedSetting readSetting(const Table& t) {
    SavedSetting s;
    s.name = textOf(t, "Bezeichnung");
    s.remark = textOf(t, "Bemerkung");
    s.sourceFormat = textOf(t, "Quellformat");
    s.sourcePath = textOf(t, "Quelldatei");
    s.targetPath = textOf(t, "Zieldatei");
    s.emptyTarget = flagOf(t, "ZielLeeren");
    s.backupCopy = flagOf(t, "Sicherungskopie");
    if (const int i = t.FieldNamed("LetzterImport"); !t.IsNull(i))
        s.lastImport = static_cast<DayNumber>(t.GetValue(i).integer);
    s.mode = shortOf(t, "Importmodus").value_or(1);
    TextLayout& l = s.layout;
    const std::optional<int> fixVar = shortOf(t, "FixVar");
    l.kind = !fixVar ? LayoutKind::None : *fixVar == 1 ? LayoutKind::Fixed : LayoutKind::Variable;
    l.semicolon = flagOf(t, "Semic");
    l.comma = flagOf(t, "Komma");
    l.tab = flagOf(t, "Tab");
    l.space = flagOf(t, "Space");
    l.otherChar = textOf(t, "Andere");
    l.other = !l.otherChar.empty();
    l.quoteIndex = shortOf(t, "Delimiter").value_or(0);
    l.breaks = decodeBreaks(textOf(t, "FixBreak"));
    l.namesInFirstLine = flagOf(t, "NamesInFirstLine");
    l.columnNames = decodeColumnNames(textOf(t, "ColNames"));
    s.dosToWin = flagOf(t, "DosToWin");
    l.dos = s.dosToWin;
    s.decimal = textOf(t, "Decimal");
    s.thousands = textOf(t, "Tausend");
    s.time = textOf(t, "Zeit");
    s.date = textOf(t, "Datum");
    s.shortDate = textOf(t, "TMJ");
    s.own = flagOf(t, "Eigene");
    if (const int i = t.FieldNamed("TableName"); !t.IsNull(i)) s.tableName = t.AsInteger(i);
    s.vorDefTableName = textOf(t, "VorDefTableName");
    return s;
}

void writeSetting(Table& t, const SavedSetting& s) {
    putText(t, "Bezeichnung", s.name);
    putText(t, "Bemerkung", s.remark);
    putText(t, "Quellformat", s.sourceFormat);
    putText(t, "Quelldatei", s.sourcePath);
    putText(t, "Zieldatei", s.targetPath);
    putFlag(t, "ZielLeeren", s.emptyTarget);
    putFlag(t, "Sicherungskopie", s.backupCopy);
    const int last = t.FieldNamed("LetzterImport");
    if (s.lastImport)
        t.SetValue(last, Value::ofDate(*s.lastImport));
    else
        t.Clear(last);
    putShort(t, "Importmodus", s.mode);
    const TextLayout& l = s.layout;
    const bool text = isTextSourcePath(s.sourcePath);
    const bool fixed = text && l.kind == LayoutKind::Fixed;
    putText(t, "ColNames", text ? encodeColumnNames(l.columnNames) : "");
    // A table source leaves the text columns empty.
    auto flag = [&](const char* column, bool value) {
        if (text)
            putFlag(t, column, value);
        else
            t.Clear(t.FieldNamed(column));
    };
    flag("NamesInFirstLine", l.namesInFirstLine);
    putShort(t, "FixVar", text ? std::optional<int>(fixed ? 1 : 0) : std::nullopt);
    flag("Semic", !fixed && l.semicolon);
    flag("Komma", !fixed && l.comma);
    flag("Tab", !fixed && l.tab);
    flag("Space", !fixed && l.space);
    putText(t, "Andere", text && !fixed && l.other ? l.otherChar : "");
    putShort(t, "Delimiter", text && !fixed ? std::optional<int>(std::max(l.quoteIndex, 0)) : std::nullopt);
    putText(t, "FixBreak", fixed ? encodeBreaks(l.breaks) : "");
    putFlag(t, "DosToWin", s.dosToWin);
    putText(t, "Decimal", s.decimal);
    putText(t, "Tausend", s.thousands);
    putText(t, "Zeit", s.time);
    putText(t, "Datum", s.date);
    putText(t, "TMJ", s.shortDate);
    putFlag(t, "Eigene", s.own);
    putText(t, "VorDefTableName", s.vorDefTableName);
}

bool textLayoutComplete(const SavedSetting& s) {
    // Without a source name the missing source is the message, not the layout.
    if (s.sourcePath.empty() || !isTextSourcePath(s.sourcePath)) return true;
    return s.layout.splitsFixed() || s.layout.splitsDelimited();
}

std::string incompleteLayoutMessage(const SavedSetting& s) {
    return "In der Importeinstellung \"" + s.name + "\" ist der Aufbau der Textdatei nicht vollständig gespeichert "
           "(Trennzeichen oder Spaltengrenzen fehlen).\r\n\r\nBitte verwenden Sie die Option \"Vorhandene "
           "Einstellungen ändern\" und legen Sie den Aufbau fest.";
}

std::string storedMappingBaseName(const SavedSetting& s) {
    if (s.own) return s.tableName ? std::to_string(*s.tableName) : std::string();
    return s.vorDefTableName;
}

std::string mappingBaseName(const SavedSetting& s) {
    std::string stored = storedMappingBaseName(s);
    return isPlainBaseName(stored) ? stored : std::string();
}

std::string unusableBaseNameMessage(const SavedSetting& s) {
    return "Die Importeinstellung \"" + s.name + "\" nennt als Zuordnungstabelle \"" + storedMappingBaseName(s) +
           "\".\r\nErlaubt ist nur ein einfacher Dateiname aus höchstens 8 Buchstaben, Ziffern oder \"_\".";
}

void storeFormats(const FormatSettings& f, SavedSetting& s) {
    s.decimal = std::string(1, f.decimalSeparator);
    s.thousands = std::string(1, f.thousandSeparator);
    s.time = std::string(1, f.timeSeparator);
    s.date = std::string(1, f.dateSeparator);
    s.shortDate = f.shortDateFormat;
}

void restoreFormats(const SavedSetting& s, FormatSettings& f) {
    if (!s.decimal.empty()) f.decimalSeparator = s.decimal[0];
    if (!s.thousands.empty()) f.thousandSeparator = s.thousands[0];
    if (!s.time.empty()) f.timeSeparator = s.time[0];
    if (!s.date.empty()) f.dateSeparator = s.date[0];
    if (!s.shortDate.empty()) f.shortDateFormat = s.shortDate;
}

}  // namespace kimport
