// The records of a table held whole in its TableImage: the rows in its RowStore, the live ones in
// cursor order in its RecordOrder, a keyed table's order kept by KeyOrder. A place is a position in
// that order. A save writes the whole image through the format's writer.
//
// Keys that come in rising order are searched for near the last one, as a sorted source brings them.
// Once they come in no order, a keyed insert no longer searches for its place: whether its key is taken is asked of a hash of all keys (KeyHash), and the row waits among
// the pending ones until something needs the order (a walk, a record number, a save); then the pending
// rows are sorted once and merged in. A place handed out
// for such a row, or for one found by its whole key, names the row itself (slot kByRow) and stays
// good across the merge.
//
// Removing a dBase record marks its row deleted and keeps it among the image's deleted rows, as the
// file keeps it until a pack; a Paradox record's row is left behind unused.
#pragma once

#include "tablestore/KeyHash.h"
#include "tablestore/KeyOrder.h"
#include "tablestore/RecordStore.h"
#include "tablestore/TableImage.h"

#include <memory>

namespace kimport {

class ImageRecords : public RecordStore {
public:
    // Over an image whose order holds its live rows (in key order when keyed); the image must outlive it.
    explicit ImageRecords(TableImage& image);

    std::optional<Place> first() override {
        settle();
        return shownFrom(0);
    }
    std::optional<Place> last() override;
    std::optional<Place> next(Place p) override { return shownFrom(positionOf(p) + 1); }
    std::optional<Place> prior(Place p) override;
    std::optional<Place> atNumber(std::uint64_t number) override;
    std::uint64_t numberOf(Place p) override;
    std::uint64_t count() override;
    const char* row(Place p) override {
        if (p.slot == kByRow) return image_.row(static_cast<std::uint32_t>(p.at));
        if (image_.order.empty()) return nullptr;
        // Every value read asks for the current row: the last one found answers without a lookup.
        if (cachedVersion_ != version_ || cachedAt_ != p.at) {
            cachedRow_ = image_.row(image_.order.at(static_cast<std::size_t>(p.at)));
            cachedAt_ = p.at;
            cachedVersion_ = version_;
        }
        return cachedRow_;
    }

    bool keyed() const override { return keyOrder_ != nullptr; }
    std::optional<Place> seek(const char* probe, int fields) override;

    std::optional<Place> insert(const char* row, std::optional<Place> before) override;
    std::optional<Place> update(Place p, const char* row) override;
    std::optional<Place> erase(Place p) override;
    void clear() override;
    void pack() override;
    void setFilter(RecordFilter filter) override { filter_ = std::move(filter); }
    void reserve(std::uint64_t more) override;

    void save(FileSystem& fs, FileSetWriter* swap) override;
    void settle() override;

private:
    static constexpr std::uint32_t kByRow = UINT32_MAX;
    // The position of a place; a place by row is found in the order, which is settled first.
    std::size_t positionOf(Place p);
    bool pending(std::uint32_t row) const { return row < isPending_.size() && isPending_[row]; }
    void makePending(std::uint32_t row);
    void ensureKeys();
    // Whether a lookup or insert of this key goes through the hash (keys have come out of order).
    bool hashed(const char* row);
    // Whether the record at this position, other than `self`, has the row's key.
    bool takenBy(std::size_t position, std::optional<std::size_t> self, const char* row) const;
    static constexpr int kDescentsBeforeHash = 64;
    bool shown(std::size_t position) const { return !filter_ || filter_(image_.row(image_.order.at(position))); }
    // The first position from this one on that the filter lets through.
    std::optional<Place> shownFrom(std::size_t position) const;
    // Where a row with this key belongs: before the first record whose key is not less.
    std::size_t keyPosition(const char* row) const;
    // Order positions change: places handed out before no longer hold.
    void orderChanged() { ++version_; }

    TableImage& image_;
    std::unique_ptr<KeyOrder> keyOrder_;
    RecordFilter filter_;
    std::uint64_t version_ = 0;
    std::uint64_t cachedVersion_ = ~0ULL;
    std::uint64_t cachedAt_ = 0;
    char* cachedRow_ = nullptr;
    KeyHash keys_;
    std::vector<std::uint32_t> pending_;  // keyed rows not yet in the order, as they came
    std::vector<bool> isPending_;         // by row id
    std::vector<char> lastKeys_[2];       // the keys of the last two whole-key lookups or inserts
    int descents_ = 0;                    // those whose key lay below the one before
    std::size_t keyLength_ = 0;
};

}  // namespace kimport
