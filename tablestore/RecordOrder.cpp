#include "tablestore/RecordOrder.h"

#include <stdexcept>

namespace kimport {

std::pair<std::size_t, std::size_t> RecordOrder::locate(std::size_t position) const {
    // Walking the cursor asks for neighbouring positions: start from the chunk found last time.
    std::size_t c = 0, start = 0;
    if (cacheChunk_ < chunks_.size() && position >= cacheStart_) {
        c = cacheChunk_;
        start = cacheStart_;
    }
    for (; c < chunks_.size(); ++c) {
        if (position < start + chunks_[c].size()) {
            cacheChunk_ = c;
            cacheStart_ = start;
            return {c, position - start};
        }
        start += chunks_[c].size();
    }
    return {chunks_.size(), position - start};
}

RecordOrder::RowId RecordOrder::at(std::size_t position) const {
    if (position >= size_) throw std::out_of_range("RecordOrder::at");
    auto [c, o] = locate(position);
    return chunks_[c][o];
}

void RecordOrder::insert(std::size_t position, RowId row) {
    if (position > size_) position = size_;
    if (chunks_.empty()) chunks_.emplace_back();
    std::size_t c, o;
    if (position == size_) {
        c = chunks_.size() - 1;
        o = chunks_[c].size();
    } else {
        std::tie(c, o) = locate(position);
    }
    std::size_t start = position - o;
    auto& chunk = chunks_[c];
    chunk.insert(chunk.begin() + static_cast<std::ptrdiff_t>(o), row);
    ++size_;
    if (chunk.size() >= 2 * kChunk) {
        std::vector<RowId> upper(chunk.begin() + static_cast<std::ptrdiff_t>(kChunk), chunk.end());
        chunk.resize(kChunk);
        chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(c + 1), std::move(upper));
    }
    // The chunk just changed is where the next access most likely goes.
    cacheChunk_ = c;
    cacheStart_ = start;
}

void RecordOrder::erase(std::size_t position) {
    if (position >= size_) throw std::out_of_range("RecordOrder::erase");
    auto [c, o] = locate(position);
    std::size_t start = position - o;
    chunks_[c].erase(chunks_[c].begin() + static_cast<std::ptrdiff_t>(o));
    --size_;
    if (chunks_[c].empty() && chunks_.size() > 1) {
        chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(c));
        cacheChunk_ = cacheStart_ = 0;
    } else {
        cacheChunk_ = c;
        cacheStart_ = start;
    }
}

void RecordOrder::clear() {
    chunks_.clear();
    cacheChunk_ = cacheStart_ = 0;
    size_ = 0;
}

std::size_t RecordOrder::lowerBound(const std::function<bool(RowId)>& rowLessThanProbe) const {
    if (size_ == 0 || rowLessThanProbe(chunks_.back().back())) return size_;  // appending in order
    // Chunks are ordered too: find the first whose last row is not less than the probe.
    std::size_t lo = 0, hi = chunks_.size();
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (rowLessThanProbe(chunks_[mid].back())) lo = mid + 1; else hi = mid;
    }
    const auto& chunk = chunks_[lo];
    std::size_t a = 0, b = chunk.size();
    while (a < b) {
        std::size_t mid = (a + b) / 2;
        if (rowLessThanProbe(chunk[mid])) a = mid + 1; else b = mid;
    }
    std::size_t before = 0;
    for (std::size_t c = 0; c < lo; ++c) before += chunks_[c].size();
    return before + a;
}

}  // namespace kimport
