// The blob values (M, B, F, O, G fields) of a Paradox table whose records are read as needed
// (PagedRecords). The cursor reads and sets them through handles into the image's BlobStore, as for a
// table held whole; the blocks keep the fields as the file has them (leader and .MB pointer).
//
// A record handed to the cursor gets a handle for each value, read from the .MB; the field's bytes
// are remembered with the handle, so that a record written back with that handle keeps them and its
// value is not stored twice. A new value is appended to the .MB at once, as Paradox's own rules for
// writers allow: after its last block, through a patch of the old file in the table's save, the
// header's modification number raised, old blocks and the free-space list never touched (a replaced
// value stays unused where it was).
#pragma once

#include "common/FileSystem.h"
#include "tablestore/TableImage.h"
#include "tablestore/paradox/ParadoxBlockFile.h"
#include "tablestore/paradox/ParadoxMemo.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kimport::paradox {

class PagedBlobs {
public:
    // Over a table's image and its blocks; opens the .MB when the table has blob fields. Throws
    // TableError (Missing, Io, Damaged) as the reader does for the .MB.
    PagedBlobs(TableImage& image, FileSystem& fs, BlockFile& files);
    ~PagedBlobs();

    bool any() const { return !fields_.empty(); }
    // Turns a copy of a record into the cursor's row: each blob field holds the handle of its value.
    // The handles are appended to `added`. Throws TableError (Io).
    void toRow(char* row, std::vector<std::uint32_t>& added);
    // Turns the cursor's row into a record (`record` holds a copy of it): a handle handed out by toRow
    // gives back the field's bytes, any other value is appended to the .MB. The cursor's handles whose
    // values went into the .MB are appended to `stored`. Throws TableError (Limit, Io) and IoError.
    void toRecord(char* record, std::vector<std::uint32_t>& stored);
    // Lets go of handles no row holds any longer, and empties the list.
    void release(std::vector<std::uint32_t>& handles);
    // Before the save: what the .MB appender still holds goes into the patch.
    void finish();
    // After the save: the .MB written is the one read from now on. Throws TableError (Io, Damaged).
    void rebase();
    // After a failed save: the appender wrote into a patch that is gone.
    void abandon() { writer_.reset(); }

private:
    std::string valueOf(const char* field, const FieldDef& f) const;
    MemoWriter& writer();

    TableImage& image_;
    FileSystem& fs_;
    BlockFile& files_;
    std::vector<const FieldDef*> fields_;
    std::string path_;
    std::unique_ptr<MemoFile> memo_;
    std::unique_ptr<MemoWriter> writer_;
    std::map<std::uint32_t, std::string> appended_;   // values appended since the save, by .MB pointer
    std::map<std::uint32_t, std::string> readBytes_;  // handle → the field's bytes it was read from
};

}  // namespace kimport::paradox
