#include "tablestore/paradox/ParadoxBlockIndex.h"

#include <algorithm>
#include <cstring>

namespace kimport::paradox {

void BlockIndex::append(std::uint32_t block, std::size_t count, const char* key) { insert(size(), block, count, key); }

void BlockIndex::insert(std::size_t pos, std::uint32_t block, std::size_t count, const char* key) {
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(pos), block);
    counts_.insert(counts_.begin() + static_cast<std::ptrdiff_t>(pos), static_cast<std::uint32_t>(count));
    if (keyLength_ > 0) {
        const auto at = firstKeys_.begin() + static_cast<std::ptrdiff_t>(pos * keyLength_);
        if (key)
            firstKeys_.insert(at, key, key + keyLength_);
        else
            firstKeys_.insert(at, keyLength_, 0);
    }
    records_ += count;
    renumberFrom(pos);
    sumsChanged();
}

void BlockIndex::erase(std::size_t pos) {
    positionOf_[blocks_[pos]] = kNowhere;
    records_ -= counts_[pos];
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(pos));
    counts_.erase(counts_.begin() + static_cast<std::ptrdiff_t>(pos));
    if (keyLength_ > 0) {
        const auto at = firstKeys_.begin() + static_cast<std::ptrdiff_t>(pos * keyLength_);
        firstKeys_.erase(at, at + static_cast<std::ptrdiff_t>(keyLength_));
    }
    renumberFrom(pos);
    sumsChanged();
}

void BlockIndex::setCount(std::size_t pos, std::size_t count) {
    records_ = records_ - counts_[pos] + count;
    counts_[pos] = static_cast<std::uint32_t>(count);
    sumsChanged();
}

void BlockIndex::setFirstKey(std::size_t pos, const char* key) {
    if (keyLength_ > 0) std::memcpy(firstKeys_.data() + pos * keyLength_, key, keyLength_);
}

void BlockIndex::setBlock(std::size_t pos, std::uint32_t block) {
    positionOf_[blocks_[pos]] = kNowhere;
    blocks_[pos] = block;
    positionOf_[block] = static_cast<std::uint32_t>(pos);
}

void BlockIndex::clear() {
    for (std::uint32_t b : blocks_) positionOf_[b] = kNowhere;
    blocks_.clear();
    counts_.clear();
    firstKeys_.clear();
    records_ = 0;
    sumsChanged();
}

void BlockIndex::renumberFrom(std::size_t pos) {
    for (std::size_t p = pos; p < blocks_.size(); ++p) positionOf_[blocks_[p]] = static_cast<std::uint32_t>(p);
}

void BlockIndex::makeSums() const {
    if (sumsValid_) return;
    before_.resize(blocks_.size() + 1);
    std::uint64_t sum = 0;
    for (std::size_t p = 0; p < blocks_.size(); ++p) {
        before_[p] = sum;
        sum += counts_[p];
    }
    before_[blocks_.size()] = sum;
    sumsValid_ = true;
}

std::uint64_t BlockIndex::recordsBefore(std::size_t pos) const {
    makeSums();
    return before_[pos];
}

std::pair<std::size_t, std::size_t> BlockIndex::locate(std::uint64_t record) const {
    if (blocks_.empty() || record >= records_) return {blocks_.size(), 0};
    makeSums();
    // The last position whose records start at or before this one (empty blocks are skipped over).
    auto it = std::upper_bound(before_.begin(), before_.end() - 1, record);
    std::size_t pos = static_cast<std::size_t>(it - before_.begin()) - 1;
    while (pos < blocks_.size() && record - before_[pos] >= counts_[pos]) ++pos;
    return {pos, static_cast<std::size_t>(pos < blocks_.size() ? record - before_[pos] : 0)};
}

}  // namespace kimport::paradox
