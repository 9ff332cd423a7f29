// The records of a .DB read from its blocks as the cursor needs them, so that a table of any size
// costs little memory: the store keeps the chain as a list of blocks (ParadoxBlockIndex.h) and reaches
// records through a cache of blocks (ParadoxBlockFile.h). Changes go into the blocks where they lie,
// as Paradox makes them: a record is added to its block (a keyed one to the block of the key before
// it), a full block is split in two and the new half linked in after it (the last block, added to at
// its end, gets a new block instead), an emptied block leaves the chain for the free list. The save
// patches the changed blocks and the header into a clone of the old file, rebuilds the .PX from the
// blocks' first keys and swaps both in through the table's journal.
//
// A place is a block's number and a slot in it, so that it stays valid when the chain's list is
// rebuilt. The list comes from the .PX when the .PX belongs to the data (its stamp, its counts); each
// block is checked against it when first read, and a .PX found wrong is dropped for a walk along the
// chain. Blob values are reached through PagedBlobs: rows handed out hold handles, new values are
// appended to the .MB. A table the store cannot follow (a chain leaving the file, a block in the chain
// without records) is held whole instead (Table).
#pragma once

#include "common/FileSystem.h"
#include "tablestore/KeyOrder.h"
#include "tablestore/RecordStore.h"
#include "tablestore/TableImage.h"
#include "tablestore/paradox/ParadoxBlockFile.h"
#include "tablestore/paradox/ParadoxBlockIndex.h"
#include "tablestore/paradox/ParadoxPagedBlobs.h"

#include <memory>
#include <optional>
#include <vector>

namespace kimport::paradox {

class PagedRecords : public RecordStore {
public:
    // Over the image of a table opened as a stream (structure and header only). Throws TableError:
    // Io when the files cannot be read, Damaged when the chain is not one this store can keep.
    PagedRecords(TableImage& image, FileSystem& fs, BlockFile::Limits limits = {});

    std::optional<Place> first() override;
    std::optional<Place> last() override;
    std::optional<Place> next(Place p) override;
    std::optional<Place> prior(Place p) override;
    std::optional<Place> atNumber(std::uint64_t number) override;
    std::uint64_t numberOf(Place p) override;
    std::uint64_t count() override;
    const char* row(Place p) override;

    bool keyed() const override { return keyOrder_ != nullptr; }
    std::optional<Place> seek(const char* probe, int fields) override;

    std::optional<Place> insert(const char* row, std::optional<Place> before) override;
    std::optional<Place> update(Place p, const char* row) override;
    std::optional<Place> erase(Place p) override;
    void clear() override;
    void pack() override {}  // a Paradox table keeps no removed records
    void setFilter(RecordFilter filter) override { filter_ = std::move(filter); }
    void reserve(std::uint64_t) override {}
    std::uint64_t room() const override;
    bool makeRoom(FileSystem& fs, std::uint64_t records) override;
    bool paged() const override { return true; }

    void save(FileSystem& fs, FileSetWriter* swap) override;

    // Memory held for blocks (for tests of the bound).
    std::size_t heldBytes() const { return files_.heldBytes(); }
    // Whether the chain's list was taken from the .PX (for tests).
    bool listFromIndexFile() const { return fromIndexFile_; }

private:
    struct Spot {
        std::size_t pos = 0;  // chain position
        std::size_t slot = 0;
    };
    struct IndexMismatch {};

    template <class Op>
    auto guarded(Op&& op) -> decltype(op());
    bool readIndexFile(FileSystem& fs);
    void walkChain(bool atOpen);
    const char* load(std::size_t pos);
    char* edit(std::size_t pos);
    const char* recordAt(const char* block, std::size_t slot) const {
        return block + kBlockHeadBytes + slot * files_.recordSize();
    }
    Place placeOf(std::size_t pos, std::size_t slot) const { return Place{index_.block(pos), static_cast<std::uint32_t>(slot)}; }
    std::size_t posOf(Place p) const;
    Spot end() const;
    std::optional<Place> shownFrom(std::size_t pos, std::size_t slot);
    std::optional<Place> shownBefore(std::size_t pos, std::size_t slot);
    Spot lowerBound(const char* probe, int fields);
    bool holdsKey(Spot s, const char* row);
    void checkOrder(std::size_t pos);
    Place insertAt(Spot at, const char* row);
    Place startChain(const char* row);
    void removeAt(Spot at);
    void unlinkEmptied(std::size_t pos);
    void noteAutoIncrement(const char* row);
    bool passes(const char* record);
    // The record for a row of the cursor's (blob values stored); valid until the next call.
    const char* recordFor(const char* row);
    void changed() { ++version_; }

    TableImage& image_;
    BlockFile files_;
    BlockIndex index_;
    std::unique_ptr<KeyOrder> keyOrder_;
    bool approximatedOrder_ = false;
    bool fromIndexFile_ = false;
    std::vector<bool> verified_;  // by block number: checked against the .PX's list
    bool spareFirstBlock_ = false;  // block 1, out of the chain, waiting for an emptied table's next record
    RecordFilter filter_;
    PagedBlobs blobs_;
    // The last row handed out with blob handles, kept while the same record is asked for again.
    std::vector<char> row_;
    std::vector<std::uint32_t> rowHandles_;
    Place rowPlace_{UINT64_MAX, 0};
    std::uint64_t rowVersion_ = 0, version_ = 0;
    std::vector<char> record_;
    std::vector<std::uint32_t> storedHandles_;
};

}  // namespace kimport::paradox
