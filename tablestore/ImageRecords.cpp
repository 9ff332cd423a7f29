#include "tablestore/ImageRecords.h"

#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfFormat.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kimport {

ImageRecords::ImageRecords(TableImage& image) : image_(image) {
    if (image.format == TableFormat::Paradox && image.keyFieldCount > 0) keyOrder_ = std::make_unique<KeyOrder>(image);
}

std::optional<Place> ImageRecords::shownFrom(std::size_t position) const {
    const std::size_t n = image_.order.size();
    while (position < n && !shown(position)) ++position;
    if (position >= n) return std::nullopt;
    return Place{position};
}

std::optional<Place> ImageRecords::last() {
    std::size_t p = image_.order.size();
    while (p > 0 && !shown(p - 1)) --p;
    if (p == 0) return std::nullopt;
    return Place{p - 1};
}

std::optional<Place> ImageRecords::prior(Place place) {
    auto p = static_cast<std::size_t>(place.at);
    while (p > 0 && !shown(p - 1)) --p;
    if (p == 0 || image_.order.empty()) return std::nullopt;
    return Place{p - 1};
}

std::optional<Place> ImageRecords::atNumber(std::uint64_t number) {
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
    if (image_.order.empty()) return 0;
    if (!filter_) return place.at + 1;
    std::uint64_t n = 0;
    for (std::size_t p = 0; p <= place.at; ++p) n += shown(p) ? 1 : 0;
    return n;
}

std::uint64_t ImageRecords::count() {
    if (!filter_) return image_.order.size();
    std::uint64_t n = 0;
    image_.order.forEach([&](std::uint32_t r) { n += filter_(image_.row(r)) ? 1 : 0; });
    return n;
}

std::size_t ImageRecords::keyPosition(const char* row) const {
    // Records mostly come in key order: the search looks after the last one first.
    return image_.order.lowerBound([&](std::uint32_t r) { return keyOrder_->compare(image_.row(r), row) < 0; });
}

bool ImageRecords::takenBy(std::size_t position, std::optional<std::size_t> self, const char* row) const {
    return position < image_.order.size() && (!self || position != *self) &&
           keyOrder_->compare(image_.row(image_.order.at(position)), row) == 0;
}

std::optional<Place> ImageRecords::seek(const char* probe, int fields) {
    if (!keyOrder_) return std::nullopt;
    std::size_t at =
        image_.order.lowerBound([&](std::uint32_t r) { return keyOrder_->compare(image_.row(r), probe, fields) < 0; });
    if (at < image_.order.size() && keyOrder_->compare(image_.row(image_.order.at(at)), probe, fields) == 0)
        return Place{at};
    return std::nullopt;
}

std::optional<Place> ImageRecords::insert(const char* row, std::optional<Place> before) {
    std::size_t at = image_.order.size();
    if (keyOrder_) {
        at = keyPosition(row);
        if (takenBy(at, std::nullopt, row) || takenBy(at + 1, std::nullopt, row)) return std::nullopt;
    } else if (before) {
        at = static_cast<std::size_t>(before->at);
    }
    const std::uint32_t r = image_.appendRow(row);
    image_.order.insert(at, r);
    orderChanged();
    return Place{at};
}

std::optional<Place> ImageRecords::update(Place place, const char* row) {
    const auto at = static_cast<std::size_t>(place.at);
    const std::uint32_t r = image_.order.at(at);
    // A change that keeps the key can neither collide nor move.
    const bool keyMoves = keyOrder_ && keyOrder_->compare(image_.row(r), row) != 0;
    if (keyMoves) {
        const std::size_t target = keyPosition(row);
        if (takenBy(target, at, row) || takenBy(target + 1, at, row)) return std::nullopt;
    }
    std::memcpy(image_.row(r), row, static_cast<std::size_t>(image_.recordLength));
    if (!keyMoves) return place;
    image_.order.erase(at);
    const std::size_t to = keyPosition(image_.row(r));
    image_.order.insert(to, r);
    orderChanged();
    return Place{to};
}

std::optional<Place> ImageRecords::erase(Place place) {
    const auto at = static_cast<std::size_t>(place.at);
    const std::uint32_t r = image_.order.at(at);
    image_.order.erase(at);
    orderChanged();
    if (image_.format == TableFormat::DBase) {
        image_.row(r)[0] = dbase::kDeletedRecord;  // as dBase marks it; the row stays in the file
        image_.dbase.deletedRows.push_back(r);
    }
    return shownFrom(at);
}

void ImageRecords::clear() {
    image_.order.clear();
    image_.dbase.deletedRows.clear();
    image_.rows = RowStore();
    image_.blobs.clear();
    orderChanged();
}

void ImageRecords::pack() {
    if (image_.format != TableFormat::DBase) return;
    image_.dbase.deletedRows.clear();
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
    if (image_.format == TableFormat::Paradox)
        paradox::writeTable(image_, fs, swap);
    else
        dbase::writeTable(image_, fs, swap);
}

}  // namespace kimport
