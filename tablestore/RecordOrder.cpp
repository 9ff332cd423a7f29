#include "tablestore/RecordOrder.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>

namespace kimport {

std::size_t RecordOrder::chunkStart(std::size_t c) const {
    if (starts_.size() < chunks_.size()) starts_.resize(chunks_.size());
    if (validStarts_ == 0) {
        starts_[0] = 0;
        validStarts_ = 1;
    }
    for (; validStarts_ <= c; ++validStarts_)
        starts_[validStarts_] = starts_[validStarts_ - 1] + chunks_[validStarts_ - 1].size();
    return starts_[c];
}

std::pair<std::size_t, std::size_t> RecordOrder::locate(std::size_t position) const {
    if (position >= size_) return {chunks_.size(), position - size_};
    // Walking the cursor asks for neighbouring positions: try the chunk found last time and the next one.
    for (std::size_t c = cacheChunk_; c < cacheChunk_ + 2 && c < chunks_.size(); ++c) {
        const std::size_t start = chunkStart(c);
        if (position >= start && position < start + chunks_[c].size()) {
            cacheChunk_ = c;
            return {c, position - start};
        }
    }
    // The last chunk's start is known without the others'.
    if (const std::size_t lastStart = size_ - chunks_.back().size(); position >= lastStart) {
        cacheChunk_ = chunks_.size() - 1;
        return {cacheChunk_, position - lastStart};
    }
    // Otherwise: compute starts until one lies past the position, then search them.
    std::size_t last = validStarts_ == 0 ? 0 : validStarts_ - 1;
    while (chunkStart(last) + chunks_[last].size() <= position) ++last;
    const auto first = starts_.begin();
    std::size_t c = static_cast<std::size_t>(std::upper_bound(first, first + static_cast<std::ptrdiff_t>(last + 1), position) -
                                             first) - 1;
    // Only a table's single chunk can be empty, so the last start not past the position is its chunk.
    cacheChunk_ = c;
    return {c, position - starts_[c]};
}

RecordOrder::RowId RecordOrder::atSearched(std::size_t position) const {
    if (position >= size_) throw std::out_of_range("RecordOrder::at");
    auto [c, o] = locate(position);
    cachedChunk_ = c;
    cachedFrom_ = position - o;
    cachedCount_ = chunks_[c].size();
    return chunks_[c][o];
}

void RecordOrder::insert(std::size_t position, RowId row) {
    forgetCachedChunk();
    if (position > size_) position = size_;
    if (chunks_.empty()) chunks_.emplace_back();
    std::size_t c, o;
    if (position == size_) {
        c = chunks_.size() - 1;
        o = chunks_[c].size();
    } else {
        std::tie(c, o) = locate(position);
    }
    auto& chunk = chunks_[c];
    chunk.insert(chunk.begin() + static_cast<std::ptrdiff_t>(o), row);
    ++size_;
    if (chunk.size() >= 2 * kChunk) {
        std::vector<RowId> upper(chunk.begin() + static_cast<std::ptrdiff_t>(kChunk), chunk.end());
        chunk.resize(kChunk);
        chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(c + 1), std::move(upper));
    }
    startsChangedAfter(c);
    // The chunk just changed is where the next access most likely goes.
    cacheChunk_ = c;
}

void RecordOrder::erase(std::size_t position) {
    forgetCachedChunk();
    if (position >= size_) throw std::out_of_range("RecordOrder::erase");
    auto [c, o] = locate(position);
    chunks_[c].erase(chunks_[c].begin() + static_cast<std::ptrdiff_t>(o));
    --size_;
    if (chunks_[c].empty() && chunks_.size() > 1) {
        chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(c));
        if (validStarts_ > c) validStarts_ = c;
        cacheChunk_ = 0;
    } else {
        startsChangedAfter(c);
        cacheChunk_ = c;
    }
}

void RecordOrder::clear() {
    forgetCachedChunk();
    chunks_.clear();
    starts_.clear();
    validStarts_ = 0;
    cacheChunk_ = 0;
    size_ = 0;
}

}  // namespace kimport
