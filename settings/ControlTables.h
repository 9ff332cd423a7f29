// The program's own tables in the program directory (ImpList, ZStrukt,
// QStrukt): file names, columns and keys, and reading and writing the mapping
// rule of a ZStrukt row. The program only opens these tables; the install
// step (tools/make_program_files) makes them with makeControlTables.
#pragma once

#include "settings/TypeCodes.h"
#include "tablestore/FieldDef.h"
#include "tablestore/Table.h"

#include <string>
#include <vector>

namespace kimport {

inline constexpr const char* kImpListFile = "ImpList.DB";
inline constexpr const char* kZStruktFile = "ZStrukt.DB";
// Made under this name; the table store finds it whatever the letter case.
inline constexpr const char* kQStruktFile = "QStrukt.db";
// Base name of the working mapping table's file set (ZStrukt.DB, ZStrukt.MB, ...).
inline constexpr const char* kZStruktBaseName = "ZStrukt";
inline constexpr const char* kTempDirName = "Temp";
inline constexpr const char* kDemosDirName = "Demos";

struct TableLayout {
    std::vector<FieldSpec> fields;
    int keyFieldCount = 0;  // the leading fields that form the primary key
};

// Catalogue of saved settings; primary key `Bezeichnung`.
const TableLayout& impListLayout();
// Working mapping table, one row per target field; no key, rows stay in insertion order.
const TableLayout& zStruktLayout();
// Working list of source fields; no key.
const TableLayout& qStruktLayout();

// programDir with a trailing "/" (added when missing) + name.
std::string programTablePath(const std::string& programDir, const std::string& fileName);
std::string impListPath(const std::string& programDir);
std::string zStruktPath(const std::string& programDir);
std::string qStruktPath(const std::string& programDir);
// The working directory programDir + "Temp/".
std::string tempDirectory(const std::string& programDir);

// Makes (or replaces with empty ones) the three control tables in the
// directory. Throws TableError.
void makeControlTables(const std::string& programDir, FileSystem& fs = realFileSystem());

// The rule columns of the current ZStrukt row (or the row being edited).
MappingRule readMappingRule(const Table& zStrukt);
// Writes every rule column into the row being edited or appended; an option
// that is off becomes a null value. The structure columns stay untouched.
void writeMappingRule(Table& zStrukt, const MappingRule& rule);

}  // namespace kimport
