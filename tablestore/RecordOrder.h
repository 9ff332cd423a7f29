// The order in which a cursor walks the records: a sequence of row ids kept
// in chunks, so inserting in the middle of a million rows stays cheap.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace kimport {

class RecordOrder {
public:
    using RowId = std::uint32_t;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    RowId at(std::size_t position) const;
    void insert(std::size_t position, RowId row);
    void push_back(RowId row) { insert(size_, row); }
    void erase(std::size_t position);
    void clear();
    // First position whose row is not less than the probe (rows ordered by less).
    std::size_t lowerBound(const std::function<bool(RowId)>& rowLessThanProbe) const;
    // Calls f for every row in order.
    template <class F> void forEach(F&& f) const {
        for (const auto& chunk : chunks_)
            for (RowId r : chunk) f(r);
    }

private:
    static constexpr std::size_t kChunk = 1024;
    // Chunk and offset of a position.
    std::pair<std::size_t, std::size_t> locate(std::size_t position) const;

    std::vector<std::vector<RowId>> chunks_;
    std::size_t size_ = 0;
    mutable std::size_t cacheChunk_ = 0, cacheStart_ = 0;
};

}  // namespace kimport
