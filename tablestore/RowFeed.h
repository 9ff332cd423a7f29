// A table read as a stream: its structure at once, its records a batch at a time
// in cursor order, so that a table walked once from the start is never held whole.
#pragma once

#include "tablestore/TableImage.h"

#include <cstdint>
#include <memory>

namespace kimport {

class RowFeed {
public:
    virtual ~RowFeed() = default;
    // The live records of the whole table, counted without keeping them; a damaged record chain is
    // reported here, before the first batch is used.
    virtual std::uint64_t liveRecords() = 0;
    // The next batch starts again with the first record.
    virtual void restart() = 0;
    // Appends the next records, about `rows` of them, to the image (its rows, order, deleted rows and
    // memo values); false when none is left.
    virtual bool nextBatch(TableImage& image, std::size_t rows) = 0;
};

struct TableStream {
    std::unique_ptr<TableImage> image;  // structure only: no records yet
    std::unique_ptr<RowFeed> feed;
};

// Reads all records of a stream into its image.
inline std::unique_ptr<TableImage> readWhole(TableStream stream) {
    while (stream.feed->nextBatch(*stream.image, SIZE_MAX)) {
    }
    return std::move(stream.image);
}

}  // namespace kimport
