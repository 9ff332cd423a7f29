// One file of a save made from the file it replaces: the ranges that stay are taken over from the old
// file (shared blocks where the file system clones, an in-kernel copy elsewhere) and only the pages
// that changed are written, so a save that changes little of a large table costs little.
//
// Changes are held as pages of the clone unit, so that every unchanged range starts and ends where
// the file system can share it. A budget bounds the pages held: past it the new file is made at once
// and the least recently written pages go into it, however much is changed. Beside the budget a
// patch takes a bit for each page of the file (which pages went into the new file: 6 KB for 190 MB)
// and up to a megabyte while it writes pages out.
//
// The new file is a temporary file of a FileSetWriter: it has the writer's name, joins its journal
// and rename order, gets the old file's mode and owner, and replaces the old file only at the
// writer's commit. The old file is only ever read. A process that dies before the journal leaves a
// temporary file without one, which the table's next open (FileSetWriter::recover) removes.
// The table must stay locked from its open until the commit: another FileSetWriter of the table
// that finds a journal removes the table's temporary files, ours included; a locked table was
// recovered at its open, so no journal is left then.
#pragma once

#include "common/FileSystem.h"
#include "tablestore/FileSetWriter.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kimport {

class PatchedFile {
public:
    static constexpr std::size_t kDefaultBudget = std::size_t{64} << 20;

    // original: an open handle of the file at path, which the caller keeps open and unchanged while
    // this lives. writer: the swap the new file joins; it must outlive this. budget: the bytes of
    // changed pages held in memory (at least one page). unit: the page size, 0 for the file system's
    // clone unit.
    PatchedFile(FileSetWriter& writer, FileHandle& original, std::string path, std::size_t budget = kDefaultBudget,
                std::uint64_t unit = 0);
    // Without finish the new file is withdrawn from the swap and removed: the old file stays.
    ~PatchedFile();
    PatchedFile(const PatchedFile&) = delete;
    PatchedFile& operator=(const PatchedFile&) = delete;

    std::uint64_t size() const { return size_; }
    std::size_t unit() const { return unit_; }
    // The bytes of the changed pages held in memory; never more than the budget.
    std::size_t heldBytes() const { return pages_.size() * unit_; }

    // Up to n bytes at the offset as the file stands now (fewer where it ends). Throws IoError.
    std::size_t read(std::uint64_t offset, char* buffer, std::size_t n);
    // Writes n bytes at the offset. Past the end the file grows; a range skipped over reads as zeros.
    // The file never shrinks. Throws IoError, when a write past the budget could not spill pages;
    // a write over several pages may then be done in part.
    void write(std::uint64_t offset, const char* data, std::size_t n);
    // Completes the new file and hands it to the writer, whose commit swaps it in; reading and writing
    // end here. Throws IoError; a finish that failed may be tried again.
    void finish();

private:
    struct Page {
        std::vector<char> bytes;
        std::uint64_t lastWrite = 0;
    };

    void requireOpen() const;
    bool spilled(std::uint64_t page) const;
    void readUnheld(std::uint64_t offset, char* buffer, std::size_t n);
    Page& pageFor(std::uint64_t page, std::uint64_t from, std::uint64_t to);
    void makeRoom();
    void materialize();
    void writePages(const std::vector<std::uint64_t>& pages, bool withGaps);
    void dropWritten(const std::vector<std::uint64_t>& pages);

    FileSetWriter& writer_;
    FileHandle& original_;
    std::string path_;
    std::size_t unit_;
    std::size_t budget_;
    std::uint64_t originalSize_;
    std::uint64_t size_;
    std::map<std::uint64_t, Page> pages_;           // by page number
    std::map<std::uint64_t, std::uint64_t> byAge_;  // last write → page number, oldest first
    std::uint64_t writes_ = 0;
    std::vector<bool> spilled_;   // by page number: written into the new file and dropped (a bit a page)
    FileHandle* temp_ = nullptr;  // the new file, once made; the writer owns it
    bool finished_ = false;
};

}  // namespace kimport
