// The records of an open table as the cursor (Table) reaches them: walking, reading, looking up a key,
// adding, changing and removing records, and writing them to the table's files. The cursor keeps its
// place as a Place the store handed out and leaves to the store how the records are held: all in memory
// (ImageRecords), a batch at a time from a stream (FeedRecords), or read from the files as needed.
//
// The store is made over the table's TableImage, which keeps the structure (fields, key, the format's
// facts); it must outlive the store. A filter, while set, hides records from every walk, number and
// count; a key lookup finds any record.
#pragma once

#include "common/FileSets.h"
#include "tablestore/TableError.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace kimport {

class FileSetWriter;
class FileSystem;

// Where a record lies, in terms only the store that handed it out reads: a position in the walk, or a
// block and a record slot in it. Valid until the store's records change (a record added, changed or
// removed, the table cleared or packed, a stream's next batch).
struct Place {
    std::uint64_t at = 0;
    std::uint32_t slot = 0;
};

// True for a record (its row in the format's layout) that a filter lets through.
using RecordFilter = std::function<bool(const char* row)>;

class RecordStore {
public:
    virtual ~RecordStore() = default;

    // Walking in key order (the file's order without a key) over the records the filter lets through;
    // none past either end. Reading may need the files, so a store may throw TableError (Damaged, Io).
    virtual std::optional<Place> first() = 0;
    virtual std::optional<Place> last() = 0;
    virtual std::optional<Place> next(Place p) = 0;
    virtual std::optional<Place> prior(Place p) = 0;
    // The record with this number (from 1) among those the filter lets through.
    virtual std::optional<Place> atNumber(std::uint64_t number) = 0;
    // The number (from 1) of the record at p: how many records the filter lets through up to it, its own
    // included.
    virtual std::uint64_t numberOf(Place p) = 0;
    // How many records the filter lets through.
    virtual std::uint64_t count() = 0;
    // The record's bytes in the format's row layout, valid until the next call that changes the store
    // or reads another record; nullptr where the store holds none (a stream past its end).
    virtual const char* row(Place p) = 0;

    // Whether records are kept in primary-key order (a keyed Paradox table).
    virtual bool keyed() const = 0;
    // The first record whose leading `fields` key fields equal the probe row's, whether the filter lets
    // it through or not.
    virtual std::optional<Place> seek(const char* probe, int fields) = 0;

    // Adds a copy of the row: at its key's place when keyed, else before `before` (at the end without
    // one). None when another record has its key (nothing changed then); throws TableError (Limit)
    // when no further record fits.
    virtual std::optional<Place> insert(const char* row, std::optional<Place> before) = 0;
    // Replaces the record at p with the row; a record whose key changed moves to its new key's place.
    // None when another record has that key (nothing changed then).
    virtual std::optional<Place> update(Place p, const char* row) = 0;
    // Removes the record at p and gives the first record after it the filter lets through.
    virtual std::optional<Place> erase(Place p) = 0;
    // Removes every record, with its memo values.
    virtual void clear() = 0;
    // Drops what removed records still hold in the files (dBase records marked deleted, memo values no
    // record uses), so that the next save writes only the live ones.
    virtual void pack() = 0;
    // Hides the records the filter does not let through; an empty filter shows all.
    virtual void setFilter(RecordFilter filter) = 0;
    // Makes room for this many more records at once (a hint: a store that cannot, does nothing).
    virtual void reserve(std::uint64_t more) = 0;
    // How many more records the store can surely take as it holds them; a table that needs more is
    // held whole (which may choose larger blocks).
    virtual std::uint64_t room() const { return UINT64_MAX; }
    // With nothing pending: rewrites the table's files so that they hold this many records (larger
    // blocks), as a save would, the records unchanged. False when it cannot (the store is then as it
    // was); after true the store is stale and the table must be opened again. Throws as a save does.
    virtual bool makeRoom(FileSystem& fs, std::uint64_t records) {
        (void)fs, (void)records;
        return false;
    }
    // Brings the image's order up to date with what the store holds back (for readers of the image).
    virtual void settle() {}
    // True for a store that reads its records from the files as needed and writes only what changed.
    virtual bool paged() const { return false; }

    // Writes the table's files through the swap (one of its own when null), as the format's writer does;
    // throws what the writer throws. The records held stay as they are.
    virtual void save(FileSystem& fs, FileSetWriter* swap) = 0;
};

// The refusal of what a store that reads its records as needed cannot do in place (Usage).
[[noreturn]] inline void refuseWhilePaged(const std::string& what, const std::string& dataPath) {
    throw TableError(what + " ist bei der Tabelle " + fileNameOf(dataPath) +
                         " nicht möglich, solange sie seitenweise geöffnet ist.",
                     TableError::Kind::Usage, dataPath);
}

}  // namespace kimport
