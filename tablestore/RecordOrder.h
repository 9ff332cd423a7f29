// The order in which a cursor walks the records: a sequence of row ids kept
// in chunks, so inserting in the middle of a million rows stays cheap.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace kimport {

class RecordOrder {
public:
    using RowId = std::uint32_t;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    RowId at(std::size_t position) const {
        // A cursor walks neighbouring positions: the chunk found last answers without a search.
        if (position - cachedFrom_ < cachedCount_) return chunks_[cachedChunk_][position - cachedFrom_];
        return atSearched(position);
    }
    void insert(std::size_t position, RowId row);
    void push_back(RowId row) { insert(size_, row); }
    void erase(std::size_t position);
    void clear();
    // First position whose row is not less than the probe (rows ordered by less).
    template <class RowLessThanProbe> std::size_t lowerBound(RowLessThanProbe&& rowLessThanProbe) const {
        if (size_ == 0 || rowLessThanProbe(chunks_.back().back())) return size_;  // appending in order
        // Chunks are ordered too: find the first whose last row is not less than the probe. Lookups
        // mostly come in key order, often alternating between two places (a record and the new key
        // it gets): the chunks of the last two lookups and their neighbours are tried first.
        std::size_t lo = 0, hi = chunks_.size();
        auto narrowBy = [&](std::size_t c) {
            if (rowLessThanProbe(chunks_[c].back())) lo = c + 1; else hi = c;
        };
        for (std::size_t hint : hints_) {
            if (hint < lo || hint >= hi) continue;
            narrowBy(hint);
            if (hi == hint && hint > lo) narrowBy(hint - 1);
            else if (lo == hint + 1 && hint + 1 < hi) narrowBy(hint + 1);
        }
        while (lo < hi) {
            std::size_t mid = (lo + hi) / 2;
            if (rowLessThanProbe(chunks_[mid].back())) lo = mid + 1; else hi = mid;
        }
        const auto& chunk = chunks_[lo];
        std::size_t a = 0, b = chunk.size();
        // In the chunk of the last lookup, gallop out from where it ended: the next key is mostly near.
        if (lo == lastChunk_ && lastOffset_ < b) {
            std::size_t at = lastOffset_, step = 1;
            if (rowLessThanProbe(chunk[at])) {
                a = at + 1;
                while (a + step - 1 < b && rowLessThanProbe(chunk[a + step - 1])) {
                    a += step;
                    step *= 2;
                }
                b = std::min(b, a + step - 1);
            } else {
                b = at;
                while (b >= step && !rowLessThanProbe(chunk[b - step])) {
                    b -= step;
                    step *= 2;
                }
                a = b >= step ? b - step + 1 : 0;
            }
        }
        while (a < b) {
            std::size_t mid = (a + b) / 2;
            if (rowLessThanProbe(chunk[mid])) a = mid + 1; else b = mid;
        }
        lastChunk_ = lo;
        lastOffset_ = a;
        cacheChunk_ = lo;  // the caller reads the row found next
        if (hints_[0] != lo) {
            hints_[1] = hints_[0];
            hints_[0] = lo;
        }
        return chunkStart(lo) + a;
    }
    // Calls f for every row in order.
    template <class F> void forEach(F&& f) const {
        for (const auto& chunk : chunks_)
            for (RowId r : chunk) f(r);
    }

private:
    static constexpr std::size_t kChunk = 1024;
    RowId atSearched(std::size_t position) const;
    // Chunk and offset of a position.
    std::pair<std::size_t, std::size_t> locate(std::size_t position) const;
    // Any change may move rows between chunks or the chunks themselves.
    void forgetCachedChunk() { cachedCount_ = 0; }
    // Position of chunk c's first row.
    std::size_t chunkStart(std::size_t c) const;
    // A change in chunk c moves the starts of the chunks after it.
    void startsChangedAfter(std::size_t c) {
        if (validStarts_ > c + 1) validStarts_ = c + 1;
    }

    std::vector<std::vector<RowId>> chunks_;
    std::size_t size_ = 0;
    // starts_[c] for c < validStarts_: kept across lookups, so that finding a position does not walk
    // all chunks. Changes usually come in key order, so few starts need computing again.
    mutable std::vector<std::size_t> starts_;
    mutable std::size_t validStarts_ = 0;
    mutable std::size_t cacheChunk_ = 0;
    // The chunk found last by at(), holding cachedCount_ rows from position cachedFrom_ on.
    mutable std::size_t cachedChunk_ = 0, cachedFrom_ = 0, cachedCount_ = 0;
    mutable std::size_t hints_[2] = {0, 0};
    mutable std::size_t lastChunk_ = 0, lastOffset_ = 0;
};

}  // namespace kimport
