// The records of a table image: rows of one fixed length in chunks of about 1 MB. A table that grows
// never moves what it holds, so appending to a large table needs no second copy of it.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace kimport {

class RowStore {
public:
    // The row's bytes; r must be below count().
    char* at(std::uint32_t r) const { return chunks_[r >> shift_].get() + static_cast<std::size_t>(r & mask_) * length_; }
    std::uint32_t count() const { return count_; }

    // Appends a copy of one row of `length` bytes (the same length for every row of the store).
    void append(const char* bytes, std::size_t length) {
        std::uint32_t got = 0;
        std::memcpy(grow(1, length, got), bytes, length);
    }
    // Room for up to `want` new rows at the end, side by side in one chunk; got says how many (at least
    // one). The rows count from now on; the caller fills them.
    char* grow(std::uint32_t want, std::size_t length, std::uint32_t& got) {
        if (chunks_.empty() && length_ != length) setLength(length);
        const std::uint32_t inChunk = count_ & mask_;
        if (inChunk == 0 && (count_ >> shift_) >= chunks_.size())
            chunks_.push_back(std::unique_ptr<char[]>(new char[static_cast<std::size_t>(mask_ + 1) * length_]));
        got = std::min(want, mask_ + 1 - inChunk);
        char* p = at(count_);
        count_ += got;
        return p;
    }
    // Drops the rows; the first chunk stays for the next ones.
    void clear() {
        if (chunks_.size() > 1) chunks_.resize(1);
        count_ = 0;
    }
    void reserve(std::uint64_t rows, std::size_t length) {
        if (chunks_.empty() && length_ != length) setLength(length);
        chunks_.reserve(static_cast<std::size_t>((rows + mask_) >> shift_));
    }

private:
    void setLength(std::size_t length) {
        length_ = std::max<std::size_t>(1, length);
        const std::size_t perChunk = std::bit_floor(std::max<std::size_t>(1, (std::size_t{1} << 20) / length_));
        shift_ = static_cast<unsigned>(std::countr_zero(perChunk));
        mask_ = static_cast<std::uint32_t>(perChunk - 1);
    }

    std::vector<std::unique_ptr<char[]>> chunks_;
    std::size_t length_ = 0;
    unsigned shift_ = 0;
    std::uint32_t mask_ = 0;
    std::uint32_t count_ = 0;
};

}  // namespace kimport
