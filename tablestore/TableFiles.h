// The readers and writers of the two file formats, behind one set of calls.
// Readers throw TableError with a German message for files they cannot take
// (damaged, encrypted, memo file missing); they never read past what the
// file holds and never trust a count without checking it against the size.
#pragma once

#include "common/FileSystem.h"
#include "tablestore/RowFeed.h"
#include "tablestore/TableImage.h"

#include <memory>
#include <string>
#include <vector>

namespace kimport {

class FileSetWriter;

// Refuses a table whose code page cannot be converted, naming both.
void requireCodePage(int codePage, const std::string& dataPath);

// A table that names no code page is read in codePageIfNone (0: the format's usual one).
// openStream reads the structure and checks the records' layout; the feed hands out the records.
namespace paradox {
std::unique_ptr<TableImage> readTable(const std::string& dataPath, FileSystem& fs, int codePageIfNone = 0);
TableStream openStream(const std::string& dataPath, FileSystem& fs, int codePageIfNone = 0);
// Throws TableError when the table must not be written (an index we cannot keep up to date).
void checkWritable(const TableImage& image, FileSystem& fs);
// Writes the whole file set through a FileSetWriter (old files replaced at once). With `joined`, the files
// join that writer, which may hold files of other tables, and its commit replaces them all together.
void writeTable(TableImage& image, FileSystem& fs, FileSetWriter* joined = nullptr);
// A new, empty table image (not yet on disk).
std::unique_ptr<TableImage> newTable(const std::string& dataPath, const std::vector<FieldSpec>& fields,
                                     int keyFieldCount);
// The most records the table's records fit into (65535 blocks of at most 32 KB).
std::uint64_t maxRecords(const TableImage& image);
// Gives a new table another code page (its header names it).
void setCodePage(TableImage& image, int codePage);
}  // namespace paradox

namespace dbase {
std::unique_ptr<TableImage> readTable(const std::string& dataPath, FileSystem& fs, int codePageIfNone = 0);
TableStream openStream(const std::string& dataPath, FileSystem& fs, int codePageIfNone = 0);
void checkWritable(const TableImage& image, FileSystem& fs);
void writeTable(TableImage& image, FileSystem& fs, FileSetWriter* joined = nullptr);
// version: 0 or 0x8B dBase IV, 0x83 dBase III, 0xF5 FoxPro 2, 0x30 Visual FoxPro (the memo mark is set as needed).
std::unique_ptr<TableImage> newTable(const std::string& dataPath, const std::vector<FieldSpec>& fields,
                                     int version = 0);
// The most records a .DBF of this record length can hold (a 32-bit count and file size).
std::uint64_t maxRecords(const TableImage& image);
}  // namespace dbase

// By the data file's extension: ".DB" Paradox, ".DBF" dBase (any letter case).
bool isParadoxPath(const std::string& path);
bool isDBasePath(const std::string& path);

}  // namespace kimport
