// The records of a table read as a stream: a batch of them at a time in the image, about 1 MB, the next
// one read when the walk passes the last record held. A place is a record's position in the whole
// table, so numbers run on across batches. The walk goes forward only, and nothing can be changed:
// the cursor refuses every other call before it reaches the store, which refuses them too (Usage).
#pragma once

#include "tablestore/RecordStore.h"
#include "tablestore/RowFeed.h"

#include <memory>

namespace kimport {

class FeedRecords : public RecordStore {
public:
    // Counts the stream's records and reads its first batch into the image (whose rows it then owns);
    // throws what the feed throws for either.
    FeedRecords(TableImage& image, std::unique_ptr<RowFeed> feed);

    // From the first batch, read again when another one is held.
    std::optional<Place> first() override;
    std::optional<Place> next(Place p) override;
    std::uint64_t numberOf(Place p) override { return p.at + 1; }
    std::uint64_t count() override { return records_; }
    // Nothing for a record of a batch no longer held.
    const char* row(Place p) override;
    bool keyed() const override { return false; }
    // Only a batch is ever held: there is nothing to reserve room for.
    void reserve(std::uint64_t) override {}

    std::optional<Place> last() override { forwardOnly(); }
    std::optional<Place> prior(Place) override { forwardOnly(); }
    std::optional<Place> atNumber(std::uint64_t) override { forwardOnly(); }
    std::optional<Place> seek(const char*, int) override { forwardOnly(); }
    std::optional<Place> insert(const char*, std::optional<Place>) override { forwardOnly(); }
    std::optional<Place> update(Place, const char*) override { forwardOnly(); }
    std::optional<Place> erase(Place) override { forwardOnly(); }
    void clear() override { forwardOnly(); }
    void pack() override { forwardOnly(); }
    void setFilter(RecordFilter) override { forwardOnly(); }
    void save(FileSystem&, FileSetWriter*) override { forwardOnly(); }

private:
    [[noreturn]] void forwardOnly() const;
    // Replaces the batch held with the stream's next one that has a live record; false at the stream's end.
    bool nextBatch();
    void rewind();

    TableImage& image_;
    std::unique_ptr<RowFeed> feed_;
    std::uint64_t records_ = 0;
    std::uint64_t batchStart_ = 0;  // the records of the stream before the batch held
    bool firstBatchHeld_ = false;
    std::uint64_t cachedAt_ = ~0ULL;
    const char* cachedRow_ = nullptr;
};

}  // namespace kimport
