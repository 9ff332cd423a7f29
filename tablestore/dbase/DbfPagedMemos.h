// The memo values of a table whose records are read as needed (PagedRecords). The cursor reads and
// sets memo values through handles into the image's BlobStore, as for a table held whole; the file's
// records keep block numbers. A record handed to the cursor gets a handle for each of its values,
// read from the memo file (the handle remembers the block) or taken from the values a change holds;
// its holder lets go of the handles once no row holds them, so values of records passed by do not
// pile up.
//
// A changed record keeps its values beside it: a value read from the memo file keeps its block and
// is never written again, every other value is held until the save. The save appends those after
// the memo file's last block through a patch of the old file, updates the header's next free block
// and points the records at the new blocks; old blocks are never written, a replaced value stays
// where it was, unused, as dBase leaves it.
#pragma once

#include "common/FileSystem.h"
#include "tablestore/TableImage.h"
#include "tablestore/dbase/DbfMemo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kimport {
class FileSetWriter;
}

namespace kimport::dbase {

class PagedMemos {
public:
    // A changed record's values not yet in the memo file, one per memo field in field order: empty
    // where the field's pointer tells where its value is (or that it has none). Empty for none at all.
    using NewValues = std::vector<std::string>;
    // A changed record in the file's layout with its new values, as the save takes it.
    struct Changed {
        char* record;
        const NewValues* values;
    };

    // Over the image of a table with memo fields; opens the memo file read (image.dbase.memoPath).
    // Throws TableError (Io) when it cannot be opened.
    PagedMemos(TableImage& image, FileSystem& fs);

    // Turns a copy of a record in the file's layout into a row in the cursor's: each memo pointer
    // becomes the handle of the value, taken from `values` when it holds one for the field, else read
    // from the memo file. The handles added are appended to `added`, also when this throws TableError
    // (Io) meanwhile. A pointer that leads to no value gives none, as a whole read does.
    void toRow(char* row, const NewValues* values, std::vector<std::uint32_t>& added);
    // Turns a row in the cursor's layout into a record in the file's (`record` holds a copy of the
    // row): a value read from the memo file keeps its block, every other one is copied into `values`
    // and its pointer left blank until the save. Throws TableError (Limit) when a block number does
    // not fit a pointer.
    void fromRow(const char* row, char* record, NewValues& values) const;
    // Lets go of handles no row holds any longer, and empties the list.
    void release(std::vector<std::uint32_t>& handles);
    // The handles of the memo fields in a row (0 where it has none).
    std::vector<std::uint32_t> handlesOf(const char* row) const;

    // Throws TableError (Changed) when another program changed or replaced the memo file since it
    // was read: values appended to it would not be where the records' pointers say.
    void requireUnchanged() const;
    // Appends the new values of the changed records to the memo file and points their fields at
    // them; the patched memo file joins `files`, which swaps it in with the data file. Returns false,
    // touching nothing, when no record has a new value. Throws TableError (Limit) when the file
    // would outgrow its pointers, (Unsupported) when its block size is one an append cannot keep, and
    // IoError; the records may then point anywhere, a save done again sets them afresh.
    bool append(FileSetWriter& files, const std::vector<Changed>& changed);
    // After the swap: the memo file written is the one read from now on. Throws TableError (Io).
    void rebase();

private:
    void open();

    TableImage& image_;
    FileSystem& fs_;
    std::vector<const FieldDef*> fields_;
    MemoStyle style_;
    std::unique_ptr<MemoFileReader> reader_;
};

}  // namespace kimport::dbase
