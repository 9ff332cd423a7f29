#include "tablestore/FeedRecords.h"

#include "tablestore/TableError.h"

#include <algorithm>

namespace kimport {

FeedRecords::FeedRecords(TableImage& image, std::unique_ptr<RowFeed> feed) : image_(image), feed_(std::move(feed)) {
    records_ = feed_->liveRecords();
    rewind();
}

void FeedRecords::forwardOnly() const {
    throw TableError(
        "Die Tabelle " + image_.dataPath + " wird nur der Reihe nach gelesen; dies ist dabei nicht möglich.",
        TableError::Kind::Usage, image_.dataPath);
}

bool FeedRecords::nextBatch() {
    // About 1 MB of records at a time: large enough that a batch costs little, small enough to stay put in memory.
    const std::size_t rows =
        std::max<std::size_t>(64, (std::size_t{1} << 20) / static_cast<std::size_t>(image_.recordLength));
    cachedAt_ = ~0ULL;
    for (;;) {
        image_.clearRows();
        if (!feed_->nextBatch(image_, rows)) return false;
        if (!image_.order.empty()) return true;  // a batch of deleted records only: on to the next
    }
}

void FeedRecords::rewind() {
    feed_->restart();
    nextBatch();
    batchStart_ = 0;
    firstBatchHeld_ = true;
}

std::optional<Place> FeedRecords::first() {
    if (!firstBatchHeld_) rewind();
    if (image_.order.empty()) return std::nullopt;
    return Place{0};
}

std::optional<Place> FeedRecords::next(Place p) {
    const std::size_t held = image_.order.size();
    if (p.at + 1 - batchStart_ < held) return Place{p.at + 1};
    // At the end nothing is held; the last place keeps its number.
    firstBatchHeld_ = false;
    batchStart_ += held;
    if (!nextBatch()) return std::nullopt;
    return Place{p.at + 1};
}

const char* FeedRecords::row(Place p) {
    if (p.at == cachedAt_) return cachedRow_;
    if (p.at < batchStart_ || p.at - batchStart_ >= image_.order.size()) return nullptr;
    cachedRow_ = image_.row(image_.order.at(static_cast<std::size_t>(p.at - batchStart_)));
    cachedAt_ = p.at;
    return cachedRow_;
}

}  // namespace kimport
