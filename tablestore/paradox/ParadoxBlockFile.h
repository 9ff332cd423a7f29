// The data blocks of a .DB reached one at a time, for a table that is not held in memory: a block is
// read when needed and held in a small cache; a changed block stays there until the cache needs its
// place, then goes into a patched copy of the file (PatchedFile), which the save completes with the
// header and swaps in. Memory stays within the cache and the patch's budget, whatever the table's size
// and however many blocks change.
//
// Also keeps what the header says about the blocks: how many the file has and the list of free ones,
// so that a block emptied is reused before the file grows.
#pragma once

#include "common/FileSystem.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/PatchedFile.h"
#include "tablestore/TableImage.h"
#include "tablestore/paradox/ParadoxFormat.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kimport::paradox {

// A block's head: its neighbours in the chain and the records it holds.
std::uint32_t nextOf(const char* block);
std::uint32_t prevOf(const char* block);
std::size_t recordsOf(const char* block, std::size_t recordSize);
void setNext(char* block, std::uint32_t next);
void setPrev(char* block, std::uint32_t prev);
void setRecords(char* block, std::size_t records, std::size_t recordSize);

// The memory a table's blocks may take: the cache of blocks read and changed, and the changed pages
// the patch holds before it writes them into the new file.
struct BlockLimits {
    std::size_t cacheBytes = std::size_t{32} << 20;
    std::size_t patchBudget = std::size_t{48} << 20;
};

class BlockFile {
public:
    using Limits = BlockLimits;

    // Over the table's data file, with the facts of its header as read (image.originalHeader).
    // Throws TableError (Io) when it cannot be opened.
    BlockFile(const TableImage& image, FileSystem& fs, Limits limits = {});
    ~BlockFile();
    BlockFile(const BlockFile&) = delete;
    BlockFile& operator=(const BlockFile&) = delete;

    std::size_t blockSize() const { return blockSize_; }
    std::size_t recordSize() const { return recordSize_; }
    std::size_t perBlock() const { return (blockSize_ - kBlockHeadBytes) / recordSize_; }
    std::uint32_t totalBlocks() const { return totalBlocks_; }
    std::uint64_t fileSize() const { return fileSize_; }
    const std::string& path() const { return path_; }
    // Where the block ends in the file.
    std::uint64_t endOf(std::uint32_t block) const { return offsetOf(block) + blockSize_; }
    bool onFreeList(std::uint32_t block) const;

    // The block's bytes as they now stand, read when not held. Valid until trim(). Throws TableError
    // (Io, or Damaged for a block the file does not hold).
    const char* read(std::uint32_t block);
    // The same, to be changed: the block is written with the save.
    char* change(std::uint32_t block);
    // The first bytes of a block without holding it (a walk along the chain's heads).
    void peek(std::uint32_t block, char* into, std::size_t n);
    // A block for new records: the head of the free list, else a new one at the end of the file;
    // zeroed and held as changed. Throws TableError (Limit) past the format's 65535 blocks.
    std::uint32_t allocate();
    // Puts an emptied block, no longer in the chain, onto the free list.
    void release(std::uint32_t block);
    // A companion file of the table (its .MB) changed in the same save: a handle that reads and writes
    // a patched copy of it, made at the first call. Once it is made a failed save cannot be done again
    // (see save). Throws TableError (Io) when the file cannot be opened.
    FileHandle& companion(const std::string& path);
    // Blocks that can still be had: free ones and those the file may grow by.
    std::uint32_t blocksLeft() const;
    // Lets go of the least recently used blocks beyond the cache's size; changed ones go into the
    // patch. Called between operations, never while a block read is in use.
    void trim();

    // Writes the changed blocks, the header and the other files of the save (a rebuilt .PX) and swaps
    // them in at once. Afterwards the new file is the one read. On a failure the old files stay; the
    // changes can be saved again unless blocks had already gone into the patch (then they are lost
    // and every further save says so). Throws TableError and IoError as a table's save does.
    void save(const std::vector<char>& header, const std::string& indexPath, const std::vector<char>* index,
              bool removeIndex);
    // The header counts of the free list for the save.
    std::uint32_t firstFreeBlock() const { return freeUsable_ ? (free_.empty() ? 0 : free_.back()) : headerFreeHead_; }

    std::size_t heldBytes() const;
    // Throws TableError (Io) when a failed save lost changes that had gone into the patch.
    void requireNotLost() const;

private:
    struct Held {
        std::vector<char> bytes;
        bool changed = false;
        std::uint64_t lastUse = 0;
    };
    Held& hold(std::uint32_t block);
    void fetch(std::uint32_t block, char* into, std::size_t n);
    std::uint64_t offsetOf(std::uint32_t block) const {
        return headerSize_ + static_cast<std::uint64_t>(block - 1) * blockSize_;
    }
    PatchedFile& patch();
    void readFreeList(std::uint32_t head);

    FileSystem& fs_;
    Limits limits_;
    std::string path_;
    std::unique_ptr<FileHandle> file_;
    std::uint64_t fileSize_ = 0;
    std::size_t headerSize_ = 0, blockSize_ = 0, recordSize_ = 0;
    std::uint32_t totalBlocks_ = 0;
    std::unordered_map<std::uint32_t, Held> held_;
    std::uint64_t uses_ = 0;
    std::vector<std::uint32_t> free_;  // the free list, its head last
    bool freeUsable_ = true;           // false: a list we could not follow, left as it was
    std::uint32_t headerFreeHead_ = 0;
    struct Companion {
        std::unique_ptr<FileHandle> original;
        std::unique_ptr<PatchedFile> patch;
        std::unique_ptr<FileHandle> handle;
    };
    void dropPatches();

    std::unique_ptr<FileSetWriter> writer_;
    std::unique_ptr<PatchedFile> patched_;
    std::unique_ptr<Companion> companion_;
    bool spilled_ = false;  // blocks went into the patch before the save
    bool lost_ = false;
};

}  // namespace kimport::paradox
