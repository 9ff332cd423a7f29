#include "tablestore/ImageRecords.h"

#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfFormat.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kimport {

namespace {

std::uint32_t rowOf(std::uint32_t r) { return r; }
std::uint32_t rowOf(const std::pair<std::uint64_t, std::uint32_t>& p) { return p.second; }

}  // namespace

ImageRecords::ImageRecords(TableImage& image)
    : image_(image), keys_(image, image.keyLength()), keyLength_(image.keyLength()) {
    if (image.format == TableFormat::Paradox && image.keyFieldCount > 0) keyOrder_ = std::make_unique<KeyOrder>(image);
}

void ImageRecords::makePending(std::uint32_t row) {
    if (isPending_.size() <= row) isPending_.resize(std::max<std::size_t>(row + 1, isPending_.size() * 2));
    isPending_[row] = true;
    pending_.push_back(row);
}

void ImageRecords::ensureKeys() {
    if (!keys_.built()) keys_.build();
}

void ImageRecords::settle() {
    if (pending_.empty()) return;
    // Sorted once, then merged with the order in one pass. Keys of up to eight bytes that compare as
    // bytes are sorted as numbers, without reaching into the rows at every comparison.
    RecordOrder merged;
    auto emit = [&](auto&& sortedPending, auto&& pendingBelow) {
        std::size_t k = 0;
        image_.order.forEach([&](std::uint32_t r) {
            while (k < sortedPending.size() && pendingBelow(sortedPending[k], r)) merged.push_back(rowOf(sortedPending[k++]));
            merged.push_back(r);
        });
        for (; k < sortedPending.size(); ++k) merged.push_back(rowOf(sortedPending[k]));
    };
    if (keyOrder_->comparesBytes() && keyLength_ <= 8) {
        auto number = [&](std::uint32_t r) {
            const auto* p = reinterpret_cast<const unsigned char*>(image_.row(r));
            std::uint64_t v = 0;
            for (std::size_t i = 0; i < 8; ++i) v = (v << 8) | (i < keyLength_ ? p[i] : 0);
            return v;
        };
        std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed;
        keyed.reserve(pending_.size());
        for (std::uint32_t r : pending_) {
            keyed.emplace_back(number(r), r);
            isPending_[r] = false;
        }
        std::vector<std::uint32_t>().swap(pending_);  // its memory is needed for the merge
        std::sort(keyed.begin(), keyed.end());
        emit(keyed, [&](const std::pair<std::uint64_t, std::uint32_t>& p, std::uint32_t r) { return p.first < number(r); });
    } else {
        std::sort(pending_.begin(), pending_.end(), [&](std::uint32_t a, std::uint32_t b) {
            return keyOrder_->compare(image_.row(a), image_.row(b)) < 0;
        });
        emit(pending_, [&](std::uint32_t p, std::uint32_t r) { return keyOrder_->compare(image_.row(p), image_.row(r)) < 0; });
    }
    image_.order = std::move(merged);
    for (std::uint32_t r : pending_) isPending_[r] = false;
    pending_.clear();
    orderChanged();
}

std::size_t ImageRecords::positionOf(Place p) {
    settle();
    if (p.slot != kByRow) return static_cast<std::size_t>(p.at);
    const auto r = static_cast<std::uint32_t>(p.at);
    const std::size_t at = keyPosition(image_.row(r));
    if (at < image_.order.size() && image_.order.at(at) == r) return at;
    // Not found by its key (a row no longer in the order): past the end.
    return image_.order.size();
}

std::optional<Place> ImageRecords::shownFrom(std::size_t position) const {
    const std::size_t n = image_.order.size();
    while (position < n && !shown(position)) ++position;
    if (position >= n) return std::nullopt;
    return Place{position};
}

std::optional<Place> ImageRecords::last() {
    settle();
    std::size_t p = image_.order.size();
    while (p > 0 && !shown(p - 1)) --p;
    if (p == 0) return std::nullopt;
    return Place{p - 1};
}

std::optional<Place> ImageRecords::prior(Place place) {
    auto p = positionOf(place);
    while (p > 0 && !shown(p - 1)) --p;
    if (p == 0 || image_.order.empty()) return std::nullopt;
    return Place{p - 1};
}

std::optional<Place> ImageRecords::atNumber(std::uint64_t number) {
    settle();
    if (number < 1) return std::nullopt;
    if (!filter_) {
        if (number > image_.order.size()) return std::nullopt;
        return Place{number - 1};
    }
    std::uint64_t seen = 0;
    for (std::size_t p = 0; p < image_.order.size(); ++p)
        if (shown(p) && ++seen == number) return Place{p};
    return std::nullopt;
}

std::uint64_t ImageRecords::numberOf(Place place) {
    const std::size_t at = positionOf(place);
    if (image_.order.empty()) return 0;
    if (!filter_) return at + 1;
    std::uint64_t n = 0;
    for (std::size_t p = 0; p <= at; ++p) n += shown(p) ? 1 : 0;
    return n;
}

std::uint64_t ImageRecords::count() {
    if (!filter_) return image_.order.size() + pending_.size();
    settle();
    std::uint64_t n = 0;
    image_.order.forEach([&](std::uint32_t r) { n += filter_(image_.row(r)) ? 1 : 0; });
    return n;
}

std::size_t ImageRecords::keyPosition(const char* row) const {
    // Records mostly come in key order: the search looks after the last one first.
    return image_.order.lowerBound([&](std::uint32_t r) { return keyOrder_->compare(image_.row(r), row) < 0; });
}


std::optional<Place> ImageRecords::seek(const char* probe, int fields) {
    if (!keyOrder_) return std::nullopt;
    // Once keys come out of order, a whole key is looked up in the hash: the record is named by its
    // row, its place in the order is not needed to read or change it.
    if (fields >= keyOrder_->keyFields() && hashed(probe)) {
        if (auto r = keys_.find(probe)) return Place{*r, kByRow};
        return std::nullopt;
    }
    settle();
    std::size_t at =
        image_.order.lowerBound([&](std::uint32_t r) { return keyOrder_->compare(image_.row(r), probe, fields) < 0; });
    if (at < image_.order.size() && keyOrder_->compare(image_.row(image_.order.at(at)), probe, fields) == 0)
        return Place{at};
    return std::nullopt;
}

bool ImageRecords::hashed(const char* row) {
    if (keys_.built()) return true;
    // Keys that rise from one lookup or insert to the next are found near the last one: searched for
    // as before, also when two rising runs alternate (a record and the new key it gets). Keys in no
    // order would search the whole order each time: past a few that lie below both runs they go
    // through the hash.
    auto below = [&](const std::vector<char>& last) {
        return !last.empty() && std::memcmp(last.data(), row, keyLength_) > 0;
    };
    if (below(lastKeys_[0]) && below(lastKeys_[1])) ++descents_;
    std::swap(lastKeys_[0], lastKeys_[1]);
    lastKeys_[0].assign(row, row + keyLength_);
    if (descents_ < kDescentsBeforeHash) return false;
    ensureKeys();
    return true;
}

std::optional<Place> ImageRecords::insert(const char* row, std::optional<Place> before) {
    if (keyOrder_ && hashed(row)) {
        if (keys_.find(row)) return std::nullopt;
        const std::uint32_t r = image_.appendRow(row);
        makePending(r);
        keys_.add(r);
        return Place{r, kByRow};
    }
    settle();
    std::size_t at = image_.order.size();
    if (keyOrder_) {
        at = keyPosition(row);
        if (takenBy(at, std::nullopt, row) || takenBy(at + 1, std::nullopt, row)) return std::nullopt;
    } else if (before) {
        at = positionOf(*before);
    }
    const std::uint32_t r = image_.appendRow(row);
    image_.order.insert(at, r);
    orderChanged();
    return Place{at};
}

std::optional<Place> ImageRecords::update(Place place, const char* row) {
    const auto recordLength = static_cast<std::size_t>(image_.recordLength);
    const std::uint32_t r = place.slot == kByRow ? static_cast<std::uint32_t>(place.at)
                                                 : image_.order.at(static_cast<std::size_t>(place.at));
    // A change that keeps the key can neither collide nor move.
    if (!keyOrder_ || std::memcmp(image_.row(r), row, keyLength_) == 0) {
        std::memcpy(image_.row(r), row, recordLength);
        orderChanged();
        return place;
    }
    if (keys_.built()) {
        // The new key is checked in the hash; the record waits among the pending rows.
        if (keys_.find(row)) return std::nullopt;
        if (!pending(r)) {
            const std::size_t at = positionOf(Place{r, kByRow});
            image_.order.erase(at);
            makePending(r);
        }
        keys_.remove(r);
        std::memcpy(image_.row(r), row, recordLength);
        keys_.add(r);
        orderChanged();
        return Place{r, kByRow};
    }
    const std::size_t at = positionOf(place);
    const std::size_t target = keyPosition(row);
    if (takenBy(target, at, row) || takenBy(target + 1, at, row)) return std::nullopt;
    std::memcpy(image_.row(r), row, recordLength);
    image_.order.erase(at);
    const std::size_t to = keyPosition(image_.row(r));
    image_.order.insert(to, r);
    orderChanged();
    return Place{to};
}

bool ImageRecords::takenBy(std::size_t position, std::optional<std::size_t> self, const char* row) const {
    return position < image_.order.size() && (!self || position != *self) &&
           keyOrder_->compare(image_.row(image_.order.at(position)), row) == 0;
}

std::optional<Place> ImageRecords::erase(Place place) {
    const auto at = positionOf(place);
    const std::uint32_t r = image_.order.at(at);
    if (keyOrder_ && keys_.built()) keys_.remove(r);
    image_.order.erase(at);
    orderChanged();
    if (image_.format == TableFormat::DBase) {
        image_.row(r)[0] = dbase::kDeletedRecord;  // as dBase marks it; the row stays in the file
        image_.dbase.deletedRows.push_back(r);
    }
    return shownFrom(at);
}

void ImageRecords::clear() {
    pending_.clear();
    isPending_.clear();
    keys_.clear();
    image_.order.clear();
    image_.dbase.deletedRows.clear();
    image_.rows = RowStore();
    image_.blobs.clear();
    orderChanged();
}

void ImageRecords::pack() {
    if (image_.format != TableFormat::DBase) return;
    image_.dbase.deletedRows.clear();
    settle();
    keys_.clear();  // rows are numbered anew
    image_.compact();
    // The memo file is written afresh, without the values no record uses.
    image_.blobs.forgetOrigins();
    image_.dbase.memoPath.clear();
    orderChanged();
}

void ImageRecords::reserve(std::uint64_t more) {
    // Only the list of chunks grows here: the rows held are never moved.
    try {
        image_.rows.reserve(image_.rowCount() + std::min<std::uint64_t>(more, UINT32_MAX),
                            static_cast<std::size_t>(image_.recordLength));
    } catch (const std::bad_alloc&) {
    }
}

void ImageRecords::save(FileSystem& fs, FileSetWriter* swap) {
    // The hash of keys is made again when next needed: the save's memory is the table's.
    keys_.clear();
    settle();
    if (image_.format == TableFormat::Paradox)
        paradox::writeTable(image_, fs, swap);
    else
        dbase::writeTable(image_, fs, swap);
}

}  // namespace kimport
