// Walks a table read as a stream in small batches; the count of live records it met must be the
// count the stream gave at opening and the count of the whole read, else the fuzzer stops.
#pragma once

#include "tablestore/RowFeed.h"

#include <cstdint>

namespace kimport::fuzz {

inline void checkStreamCount(TableStream stream, std::uint64_t wholeReadRecords) {
    const std::uint64_t counted = stream.feed->liveRecords();
    std::uint64_t walked = 0;
    while (stream.feed->nextBatch(*stream.image, 3)) {
        walked += stream.image->order.size();
        stream.image->clearRows();
    }
    if (walked != counted || walked != wholeReadRecords) __builtin_trap();
}

}  // namespace kimport::fuzz
