// The records of a .DBF read from the file as the cursor needs them, so that a table of any size costs
// little memory: record i lies at headerLength + i * recordLength, records marked deleted are skipped.
// A window of neighbouring records is held for walking; changed and appended records are held until
// the save, which patches only them, the end-of-file byte and the header's count and date into a
// clone of the old file (PatchedFile) and swaps it in through the table's journal. Afterwards the
// new file is the one read.
//
// What cannot be done in place is refused (Usage): an insert before a record, a pack, a clear, and a
// save joined to another table's swap. A table with memo fields is not held this way (Table opens it
// whole).
#pragma once

#include "common/FileSystem.h"
#include "tablestore/RecordStore.h"
#include "tablestore/TableImage.h"
#include "tablestore/dbase/DbfFormat.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace kimport::dbase {

class PagedRecords : public RecordStore {
public:
    // Over the image of a table opened as a stream (structure and header only); reads image.dataPath.
    // Throws TableError (Io) when the file cannot be opened.
    PagedRecords(TableImage& image, FileSystem& fs);

    std::optional<Place> first() override { return shownFrom(0); }
    std::optional<Place> last() override { return shownBefore(total_); }
    std::optional<Place> next(Place p) override { return shownFrom(p.at + 1); }
    std::optional<Place> prior(Place p) override { return shownBefore(p.at); }
    std::optional<Place> atNumber(std::uint64_t number) override;
    std::uint64_t numberOf(Place p) override;
    std::uint64_t count() override;
    const char* row(Place p) override { return p.at < total_ ? record(p.at) : nullptr; }

    bool keyed() const override { return false; }
    std::optional<Place> seek(const char*, int) override { return std::nullopt; }

    std::optional<Place> insert(const char* row, std::optional<Place> before) override;
    std::optional<Place> update(Place p, const char* row) override;
    std::optional<Place> erase(Place p) override;
    void clear() override;
    void pack() override;
    void setFilter(RecordFilter filter) override { filter_ = std::move(filter); }
    void reserve(std::uint64_t) override {}
    bool paged() const override { return true; }

    void save(FileSystem& fs, FileSetWriter* swap) override;

    // Memory held for records: the window and the changed records (for tests of the bound).
    std::size_t heldBytes() const;

private:
    const char* record(std::uint64_t i);
    bool live(std::uint64_t i) { return record(i)[0] != kDeletedRecord; }
    bool shown(std::uint64_t i) { return live(i) && (!filter_ || filter_(record(i))); }
    std::optional<Place> shownFrom(std::uint64_t i);
    std::optional<Place> shownBefore(std::uint64_t i);
    // Records marked deleted in the file as read, counted once by a walk over the flags.
    std::uint64_t deletedInFile();
    void readWindow(std::uint64_t first);
    [[noreturn]] void refuse(const char* what) const;

    TableImage& image_;
    FileSystem& fs_;
    std::unique_ptr<FileHandle> file_;
    std::uint64_t headerLength_ = 0;
    std::size_t recordLength_ = 0;
    std::uint64_t fileRecords_ = 0;  // records in the file as read
    std::uint64_t total_ = 0;        // with the ones appended since
    std::optional<std::uint64_t> deletedInFile_;
    std::uint64_t erased_ = 0;                            // deleted since the file was read
    std::map<std::uint64_t, std::vector<char>> changed_;  // changed and appended records by number
    std::uint64_t windowFirst_ = 0;
    std::vector<char> window_;
    RecordFilter filter_;
};

}  // namespace kimport::dbase
