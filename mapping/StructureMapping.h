// The two structure tables and the mapping: QStrukt gets one row per source
// field, ZStrukt one row per target field with its mapping rule; a new
// setting gets a proposed mapping, a stored one is checked against the
// target and its rules carried over when the target is read again.
#pragma once

#include "common/FileSystem.h"
#include "common/Prompter.h"
#include "progress/ProgressSink.h"
#include "tablestore/Table.h"

#include <optional>
#include <string>

namespace kimport {

struct MappingTables {
    Table& source;      // the source table (for a text source its staging table)
    Table& target;
    Table& qStrukt;
    Table& zStrukt;
    Table& tempStrukt;  // the mapping copy Temp/tmp.db
    Prompter& prompter;
    FileSystem& fs;
    std::string programDir;  // with a trailing "/"
    ProgressSink* progress = nullptr;
};

// How the source grid shows QStrukt after reading: Index column and Feldname width.
struct SourceGridLayout {
    bool indexVisible = false;
    int feldnameWidth = 24;
};

// How the mapping grid shows ZStrukt: Index column only when some target field is a key field.
struct TargetGridLayout {
    bool indexVisible = false;
    int feldnameWidth = 16;
    int zuordnungWidth = 16;
};

// Fill the emptied tables; failures show their message and end the reading.
// Both return false after their message when the structure could not be read.
bool ReadSourceStructure(MappingTables& t, SourceGridLayout* layout = nullptr);
bool ReadTargetStructure(MappingTables& t);

// Proposes assignments by key fields and equal names; true when it assigned anything.
bool AutoMap(MappingTables& t);

// True while ZStrukt still describes the target; clears assignments whose source field is gone.
// The table variant also clears storedMappingValid when the structure changed.
bool CheckStoredMapping(MappingTables& t, bool textVariant, const std::string& sourcePath, bool& storedMappingValid);

void SaveMappingCopy(MappingTables& t);
void CarryOverRules(MappingTables& t);
void DropMissingSources(MappingTables& t);
// Writes the default rule into the current ZStrukt row.
void ResetRule(Table& zStrukt);
// Backspace/Delete in the mapping grid: the assignment of the current row is cleared.
void ClearAssignment(Table& zStrukt);

// The caption of lblIndexfeld: the first key field's name in double quotes, if there is one.
std::optional<std::string> keyFieldLabel(Table& zStrukt);
TargetGridLayout targetGridLayout(Table& zStrukt);

}  // namespace kimport
