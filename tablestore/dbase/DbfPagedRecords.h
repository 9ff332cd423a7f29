// The records of a .DBF read from the file as the cursor needs them, so that a table of any size costs
// little memory: record i lies at headerLength + i * recordLength, records marked deleted are skipped.
// A window of neighbouring records is held for walking; changed and appended records are held until
// the save, which patches only them, the end-of-file byte and the header's count and date into a
// clone of the old file (PatchedFile) and swaps it in through the table's journal. Afterwards the
// new file is the one read.
//
// Memo fields are read as needed too (PagedMemos): the row handed out for a record holds handles of
// its values in the image's BlobStore, valid until row() hands out another record or the records
// change (a filter's walk or a count leaves them valid). A changed record's new values are held with
// it and appended to the memo file at the save, which swaps the memo file in with the .DBF; values
// kept from the file keep their blocks. Once insert or update has taken a row, the handles in it are
// let go of: the cursor's edit row is done with them.
//
// What cannot be done in place is refused (Usage): an insert before a record, a pack, a clear, and a
// save joined to another table's swap.
#pragma once

#include "common/FileSystem.h"
#include "tablestore/RecordStore.h"
#include "tablestore/TableImage.h"
#include "tablestore/dbase/DbfFormat.h"
#include "tablestore/dbase/DbfPagedMemos.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace kimport::dbase {

class PagedRecords : public RecordStore {
public:
    // Over the image of a table opened as a stream (structure and header only); reads image.dataPath
    // and its memo file. Throws TableError (Io) when a file cannot be opened.
    PagedRecords(TableImage& image, FileSystem& fs);
    ~PagedRecords() override;

    std::optional<Place> first() override { return shownFrom(0); }
    std::optional<Place> last() override { return shownBefore(total_); }
    std::optional<Place> next(Place p) override { return shownFrom(p.at + 1); }
    std::optional<Place> prior(Place p) override { return shownBefore(p.at); }
    std::optional<Place> atNumber(std::uint64_t number) override;
    std::uint64_t numberOf(Place p) override;
    std::uint64_t count() override;
    const char* row(Place p) override;

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

    // Memory held for records: the window and the changed records with their memo values (for tests
    // of the bound).
    std::size_t heldBytes() const;

private:
    // A changed or appended record in the file's layout, with the memo values not yet in the file.
    struct Held {
        std::vector<char> bytes;
        PagedMemos::NewValues memos;
    };

    // A record in the file's layout (memo fields hold block numbers).
    const char* record(std::uint64_t i);
    bool live(std::uint64_t i) { return record(i)[0] != kDeletedRecord; }
    bool shown(std::uint64_t i);
    // A copy of record i in the cursor's layout; the memo handles it took are appended to `added`.
    void toRow(std::uint64_t i, std::vector<char>& row, std::vector<std::uint32_t>& added);
    // The record as the store will hold it from now on, from a row the cursor hands in.
    Held heldFrom(const char* row) const;
    // Lets go of the record row() handed out last and of the handles of a row taken.
    void letGo(const char* taken);
    std::optional<Place> shownFrom(std::uint64_t i);
    std::optional<Place> shownBefore(std::uint64_t i);
    // Records marked deleted in the file as read, counted once by a walk over the flags.
    std::uint64_t deletedInFile();
    void readWindow(std::uint64_t first);

    TableImage& image_;
    FileSystem& fs_;
    std::unique_ptr<FileHandle> file_;
    std::uint64_t headerLength_ = 0;
    std::size_t recordLength_ = 0;
    std::uint64_t fileRecords_ = 0;  // records in the file as read
    std::uint64_t total_ = 0;        // with the ones appended since
    std::optional<std::uint64_t> deletedInFile_;
    std::uint64_t erased_ = 0;                            // deleted since the file was read
    std::map<std::uint64_t, Held> changed_;  // changed and appended records by number
    std::uint64_t windowFirst_ = 0;
    std::vector<char> window_;
    RecordFilter filter_;
    std::unique_ptr<PagedMemos> memos_;  // for a table with memo fields
    // The record row() handed out last, in the cursor's layout, and the memo handles it holds.
    std::optional<std::uint64_t> shownAt_;
    std::vector<char> shownRow_;
    std::vector<std::uint32_t> shownHandles_;
    std::vector<char> filterRow_;  // a record in the cursor's layout for the filter, memo tables only
};

}  // namespace kimport::dbase
