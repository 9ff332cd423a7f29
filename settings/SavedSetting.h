// One import setting as a row of ImpList holds it: names, files, choices, the
// mode, the text layout of a text source and the number and date formats in
// effect when it was saved. Read from and written to the current row.
#pragma once

#include "common/FormatSettings.h"
#include "tablestore/Table.h"
#include "textsource/TextLayout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kimport {

struct SavedSetting {
    std::string name;             // Bezeichnung
    std::string remark;           // Bemerkung
    std::string sourceFormat;     // Quellformat: "Paradox", "dBase" or "Text"
    std::string sourcePath;       // Quelldatei (upper case as stored)
    std::string targetPath;       // Zieldatei
    bool emptyTarget = false;     // ZielLeeren
    bool backupCopy = false;      // Sicherungskopie
    std::optional<DayNumber> lastImport;
    int mode = 1;                 // Importmodus 1..5
    // A text source: FixVar, separators, quote, breaks, names in the first line, ColNames.
    TextLayout layout;
    bool dosToWin = false;
    // Decimal, Tausend, Zeit, Datum (one character each, empty for none) and TMJ.
    std::string decimal, thousands, time, date, shortDate;
    bool own = true;              // Eigene
    std::optional<std::int64_t> tableName;
    std::string vorDefTableName;
};


// Quellformat for a source path: ".DB" "Paradox", ".DBF" "dBase", anything else "Text".
std::string sourceFormatOf(const std::string& sourcePath);
bool isTextSourcePath(const std::string& sourcePath);

SavedSetting readSetting(const Table& impList);
// Writes every column but TableName (the table store gives it) into the row being edited or appended.
void writeSetting(Table& impList, const SavedSetting& setting);

// A text source's stored layout says how to split its lines: a variable layout names a separator or a
// quote, a fixed one at least one break. Without it the file would be read with a guessed layout.
bool textLayoutComplete(const SavedSetting& setting);
// The message for a setting whose text layout is incomplete.
std::string incompleteLayoutMessage(const SavedSetting& setting);

// The base name of the setting's mapping table as the row holds it: TableName for an own setting,
// else VorDefTableName.
std::string storedMappingBaseName(const SavedSetting& setting);
// The same when it is a plain file name (isPlainBaseName), else empty: a row names only its own
// files in the program directory, never a path or a pattern.
std::string mappingBaseName(const SavedSetting& setting);
// The message for a row whose stored base name is no plain file name.
std::string unusableBaseNameMessage(const SavedSetting& setting);

// The formats as a setting stores them, and putting them back (an empty column changes nothing).
void storeFormats(const FormatSettings& formats, SavedSetting& setting);
void restoreFormats(const SavedSetting& setting, FormatSettings& formats);

// FixBreak: the 100 slots, each followed by ";". Reading collects digits into numbers at every ";".
std::string encodeBreaks(const std::array<int, kBreakSlots>& breaks);
std::array<int, kBreakSlots> decodeBreaks(const std::string& text);
// ColNames: each name followed by ";".
std::string encodeColumnNames(const std::vector<std::string>& names);
std::vector<std::string> decodeColumnNames(const std::string& text);

}  // namespace kimport
