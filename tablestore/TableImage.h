// An open table held in memory: its structure, its records as raw rows in the
// format's own record layout, the order a cursor walks them in, and its memo
// and blob values. Readers fill it; writers turn it back into files.
#pragma once

#include "tablestore/BlobStore.h"
#include "tablestore/FieldDef.h"
#include "tablestore/RecordOrder.h"
#include "tablestore/RowStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kimport {

enum class TableFormat { Paradox, DBase };

// What only a Paradox table has: the header facts its writer needs to write it back as it was.
struct ParadoxFacts {
    int version = 0;      // file version byte, paradox::kLevel30 .. kLevel7
    int blockSizeKb = 0;  // data block size; 0 = the writer chooses
    // A new table whose level we chose: it may become a level-7 table when it needs blocks above 4 KB.
    // A table read from disk, or made at a level asked for, keeps its level.
    bool mayRaiseLevel = false;
    int sortOrder = 0;          // sort order byte of text keys (0 = ascii)
    std::string sortOrderName;  // its name as the header gives it, for messages
};

// What only a dBase table has: its variant, its memo file as read, and the records marked deleted.
struct DbaseFacts {
    int version = 0;         // version byte: the variant, and whether it has a memo file
    int languageDriver = 0;  // the header's code-page byte as read (0: none named)
    int memoBlockSize = 0;   // memo file block size as read (0 = the variant's usual)
    // The memo file read, and its identity then: a save appends to it while it is still that file.
    std::string memoPath;
    std::string memoIdentity;
    // Rows marked deleted, kept as they were; a save writes them back among the others.
    std::vector<std::uint32_t> deletedRows;
    // Rows 0 .. rowsFromFile-1 were read in the file's physical order; a save keeps
    // deleted ones among them where they were.
    std::uint32_t rowsFromFile = 0;
};

struct TableImage {
    TableFormat format = TableFormat::Paradox;
    std::string dataPath;          // the .DB or .DBF file
    int codePage = 1252;           // code page of text, memos and field names
    std::vector<FieldDef> fields;  // including hidden ones (FoxPro _NullFlags)
    int keyFieldCount = 0;         // leading fields forming the primary key (Paradox)
    int recordLength = 0;          // bytes per in-memory row

    RowStore rows;                 // the rows, recordLength bytes each; row ids count from 0
    RecordOrder order;             // live rows in cursor order
    // A table made anew (CreateTable): its save also removes the old table's files that no longer belong.
    bool newStructure = false;

    BlobStore blobs;
    std::int64_t lastAutoInc = 0;  // last value handed to an auto-increment field

    // Header bytes as read, so that a table is written back with what we do not interpret.
    std::vector<char> originalHeader;
    bool hasMemoFile = false;
    // Records the header counts but a file cut short no longer holds; such a table is only read.
    std::uint32_t missingRecords = 0;
    // Values met while reading that could not be read and count as empty (a date "NotAYear").
    mutable std::size_t unreadableValues = 0;
    mutable std::vector<char> blankRow_;  // made on first use: the fields are fixed by then

    // The facts of the table's own format; the other format's stay as they were made.
    ParadoxFacts paradox;
    DbaseFacts dbase;

    std::uint32_t rowCount() const { return rows.count(); }
    // The bytes of the primary key: the key fields lead the record, so it is its first this many bytes.
    std::size_t keyLength() const {
        std::size_t n = 0;
        for (int i = 0; i < keyFieldCount; ++i) n += static_cast<std::size_t>(fields[static_cast<std::size_t>(i)].length);
        return n;
    }
    char* row(std::uint32_t r) { return rows.at(r); }
    const char* row(std::uint32_t r) const { return rows.at(r); }
    // A zeroed (Paradox) or blank (dBase) row in the format's layout.
    const std::vector<char>& blankRow() const;
    // Appends a zeroed (Paradox) or blank (dBase) row and returns its id; not yet in the order.
    std::uint32_t newRow() { return appendRow(blankRow().data()); }
    // Appends a copy of recordLength bytes and returns its id; not yet in the order.
    std::uint32_t appendRow(const char* bytes);
    // Leaves out rows no longer in the order (after deletes and edits).
    void compact();
    // Drops every row with its memo values; the structure stays (a stream's next batch comes after).
    void clearRows() {
        rows.clear();
        order.clear();
        dbase.deletedRows.clear();
        blobs.clear();
    }
};

}  // namespace kimport
