#include "tablestore/paradox/ParadoxPagedRecords.h"

#include "common/FileSets.h"
#include "tablestore/Bytes.h"
#include "tablestore/TableError.h"
#include "tablestore/paradox/ParadoxHeader.h"
#include "tablestore/paradox/ParadoxIndex.h"
#include "tablestore/paradox/ParadoxWriter.h"

#include <algorithm>
#include <cstring>

namespace kimport::paradox {

using namespace kimport::bytes;

namespace {

// A .PX larger than this is not read: the chain is walked instead (65535 blocks of 32 KB would be 2 GB).
constexpr std::uint64_t kMostIndexBytes = std::uint64_t{64} << 20;

[[noreturn]] void notKept(const TableImage& image, const std::string& detail) {
    throw TableError("Die Tabelle " + fileNameOf(image.dataPath) + " ist beschädigt (" + detail + ").",
                     TableError::Kind::Damaged, image.dataPath);
}

}  // namespace

PagedRecords::PagedRecords(TableImage& image, FileSystem& fs, BlockFile::Limits limits)
    : image_(image),
      files_(image, fs, limits),
      index_(image.keyLength()),
      verified_(kMaxBlocks + 1, false),
      blobs_(image, fs, files_) {
    if (image.keyFieldCount > 0) keyOrder_ = std::make_unique<KeyOrder>(image);
    approximatedOrder_ = keyOrder_ && keyOrderApproximated(image);
    if (files_.perBlock() == 0) notKept(image, "Satzlänge größer als ein Block");
    if (!(keyOrder_ && readIndexFile(fs))) walkChain(true);
    spareFirstBlock_ = index_.empty() && files_.totalBlocks() >= 1 && !files_.onFreeList(1);
}

bool PagedRecords::readIndexFile(FileSystem& fs) {
    const std::string path = indexPathFor(image_.dataPath, fs);
    const char* h = image_.originalHeader.data();
    // A table Paradox is to rebuild, or whose index it marked out of date, is walked.
    if (h[kRebuildFlagAt] || h[kRebuildFlag2At] || h[kIndexOutdatedAt] || !fs.exists(path)) return false;
    std::vector<char> px;
    try {
        auto file = fs.openRead(path);
        const std::uint64_t size = file->size();
        if (size > kMostIndexBytes) return false;
        px.resize(static_cast<std::size_t>(size));
        px.resize(readFullyAt(*file, 0, px.data(), px.size()));
    } catch (const IoError&) {
        return false;  // the chain holds the same
    }
    auto leaves = readPrimaryIndex(px, index_.keyLength(), static_cast<unsigned char>(h[kChangeCountAt]));
    if (!leaves) return false;
    // The leaves must be the chain as the header counts it: its ends, its length, its records.
    const std::size_t n = leaves->blocks.size();
    if (n != le16(h + kUsedBlocksAt)) return false;
    if (n > 0 && (leaves->blocks.front() != le16(h + kFirstBlockAt) || leaves->blocks.back() != le16(h + kLastBlockAt)))
        return false;
    std::vector<bool> seen(kMaxBlocks + 1, false);
    std::uint64_t records = 0;
    const std::uint64_t fileEnd = files_.fileSize();
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t b = leaves->blocks[i];
        if (b == 0 || b > files_.totalBlocks() || seen[b] || leaves->counts[i] == 0 ||
            leaves->counts[i] > files_.perBlock() || files_.endOf(b) > fileEnd)
            return false;
        seen[b] = true;
        records += leaves->counts[i];
        if (i > 0 && keyOrder_->compare(leaves->firstKeys.data() + (i - 1) * index_.keyLength(),
                                        leaves->firstKeys.data() + i * index_.keyLength()) >= 0)
            return false;
    }
    if (records != le32(h + kRecordCountAt)) return false;
    for (std::size_t i = 0; i < n; ++i)
        index_.append(leaves->blocks[i], leaves->counts[i], leaves->firstKeys.data() + i * index_.keyLength());
    fromIndexFile_ = true;
    return true;
}

void PagedRecords::walkChain(bool atOpen) {
    // Only the blocks' heads and first keys are read. At the open every block must lie whole in the
    // file and hold records: a chain this store could not keep as it is goes to the whole reader.
    // The chain's head: the header's at the open, later the list's, which every change keeps.
    const std::uint32_t firstBlock = atOpen ? le16(image_.originalHeader.data() + kFirstBlockAt)
                                            : static_cast<std::uint32_t>(index_.empty() ? 0 : index_.block(0));
    index_.clear();
    fromIndexFile_ = false;
    std::vector<bool> seen(kMaxBlocks + 1, false);
    std::vector<char> head(kBlockHeadBytes + index_.keyLength());
    for (std::uint32_t b = firstBlock; b != 0; b = nextOf(head.data())) {
        if (b > files_.totalBlocks() || seen[b]) notKept(image_, "Blockkette außerhalb der Datei oder mit Schleife");
        if (atOpen && files_.endOf(b) > files_.fileSize()) notKept(image_, "Blockverweis außerhalb der Datei");
        seen[b] = true;
        files_.peek(b, head.data(), head.size());
        const std::size_t n = recordsOf(head.data(), files_.recordSize());
        if (n == 0 || n > files_.perBlock()) notKept(image_, "Block ohne oder mit zu vielen Datensätzen");
        index_.append(b, n, head.data() + kBlockHeadBytes);
    }
}

template <class Op>
auto PagedRecords::guarded(Op&& op) -> decltype(op()) {
    files_.trim();
    try {
        return op();
    } catch (const IndexMismatch&) {
        // The .PX did not describe this block: the chain itself is read, and the step done again. No
        // step changes anything before it has read every block it needs.
        walkChain(false);
        return op();
    }
}

const char* PagedRecords::load(std::size_t pos) {
    const std::uint32_t b = index_.block(pos);
    const char* bytes = files_.read(b);
    if (fromIndexFile_ && !verified_[b]) {
        const std::size_t n = recordsOf(bytes, files_.recordSize());
        const std::uint32_t next = pos + 1 < index_.size() ? index_.block(pos + 1) : 0;
        const std::uint32_t prev = pos > 0 ? index_.block(pos - 1) : 0;
        if (n != index_.count(pos) || nextOf(bytes) != next || prevOf(bytes) != prev ||
            std::memcmp(bytes + kBlockHeadBytes, index_.firstKey(pos), index_.keyLength()) != 0)
            throw IndexMismatch{};
        verified_[b] = true;
    }
    return bytes;
}

char* PagedRecords::edit(std::size_t pos) {
    load(pos);
    return files_.change(index_.block(pos));
}

std::size_t PagedRecords::posOf(Place p) const {
    auto pos = index_.positionOf(p.at);
    if (!pos || p.slot >= index_.count(*pos))
        throw TableError("Der Datensatz ist nicht mehr in der Tabelle " + fileNameOf(image_.dataPath) + ".",
                         TableError::Kind::Usage, image_.dataPath);
    return *pos;
}

PagedRecords::Spot PagedRecords::end() const {
    if (index_.empty()) return Spot{};
    return Spot{index_.size() - 1, index_.count(index_.size() - 1)};
}

// ---- Walking ----

std::optional<Place> PagedRecords::shownFrom(std::size_t pos, std::size_t slot) {
    for (; pos < index_.size(); ++pos, slot = 0) {
        const std::size_t n = index_.count(pos);
        if (slot >= n) continue;
        if (!filter_) return placeOf(pos, slot);
        const char* b = load(pos);
        for (; slot < n; ++slot)
            if (passes(recordAt(b, slot))) return placeOf(pos, slot);
    }
    return std::nullopt;
}

std::optional<Place> PagedRecords::shownBefore(std::size_t pos, std::size_t slot) {
    for (;;) {
        if (slot > 0) {
            --slot;
            if (!filter_ || passes(recordAt(load(pos), slot))) return placeOf(pos, slot);
            continue;
        }
        if (pos == 0) return std::nullopt;
        --pos;
        slot = index_.count(pos);
    }
}

std::optional<Place> PagedRecords::first() {
    return guarded([&] { return shownFrom(0, 0); });
}

std::optional<Place> PagedRecords::last() {
    return guarded([&] { return shownBefore(index_.size(), 0); });
}

std::optional<Place> PagedRecords::next(Place p) {
    // The cursor of an empty table holds no place of a block: nothing follows it.
    if (!index_.positionOf(p.at)) return std::nullopt;
    return guarded([&] { return shownFrom(posOf(p), p.slot + 1); });
}

std::optional<Place> PagedRecords::prior(Place p) {
    if (!index_.positionOf(p.at)) return std::nullopt;
    return guarded([&] { return shownBefore(posOf(p), p.slot); });
}

std::optional<Place> PagedRecords::atNumber(std::uint64_t number) {
    return guarded([&]() -> std::optional<Place> {
        if (number < 1) return std::nullopt;
        if (!filter_) {
            if (number > index_.records()) return std::nullopt;
            auto [pos, slot] = index_.locate(number - 1);
            return placeOf(pos, slot);
        }
        std::uint64_t seen = 0;
        for (auto p = shownFrom(0, 0); p; p = shownFrom(posOf(*p), p->slot + 1))
            if (++seen == number) return p;
        return std::nullopt;
    });
}

std::uint64_t PagedRecords::numberOf(Place p) {
    if (!index_.positionOf(p.at)) return 0;
    return guarded([&]() -> std::uint64_t {
        const std::size_t pos = posOf(p);
        if (!filter_) return index_.recordsBefore(pos) + p.slot + 1;
        std::uint64_t n = 0;
        for (auto q = shownFrom(0, 0); q; q = shownFrom(posOf(*q), q->slot + 1)) {
            ++n;
            if (q->at == p.at && q->slot == p.slot) break;
        }
        return n;
    });
}

std::uint64_t PagedRecords::count() {
    if (!filter_) return index_.records();
    return guarded([&] {
        std::uint64_t n = 0;
        for (auto p = shownFrom(0, 0); p; p = shownFrom(posOf(*p), p->slot + 1)) ++n;
        return n;
    });
}

const char* PagedRecords::row(Place p) {
    return guarded([&]() -> const char* {
        auto pos = index_.positionOf(p.at);
        if (!pos || p.slot >= index_.count(*pos)) return nullptr;
        const char* record = recordAt(load(*pos), p.slot);
        if (!blobs_.any()) return record;
        // The same record again keeps its handles: the cursor may hold them in a record it edits.
        if (p.at == rowPlace_.at && p.slot == rowPlace_.slot && rowVersion_ == version_) return row_.data();
        blobs_.release(rowHandles_);
        row_.assign(record, record + files_.recordSize());
        rowPlace_ = Place{UINT64_MAX, 0};
        blobs_.toRow(row_.data(), rowHandles_);
        rowPlace_ = p;
        rowVersion_ = version_;
        return row_.data();
    });
}

bool PagedRecords::passes(const char* record) {
    if (!blobs_.any()) return filter_(record);
    // A filter reads values as the cursor does; their handles go again at once.
    std::vector<char> row(record, record + files_.recordSize());
    std::vector<std::uint32_t> handles;
    struct Release {
        PagedBlobs& blobs;
        std::vector<std::uint32_t>& handles;
        ~Release() { blobs.release(handles); }
    } release{blobs_, handles};
    blobs_.toRow(row.data(), handles);
    return filter_(row.data());
}

const char* PagedRecords::recordFor(const char* row) {
    if (!blobs_.any()) return row;
    record_.assign(row, row + files_.recordSize());
    blobs_.toRecord(record_.data(), storedHandles_);
    return record_.data();
}

// ---- Keys ----

PagedRecords::Spot PagedRecords::lowerBound(const char* probe, int fields) {
    if (index_.empty()) return Spot{};
    // The block after the last one whose first key is below the probe cannot hold its first match.
    std::size_t lo = 0, hi = index_.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (keyOrder_->compare(index_.firstKey(mid), probe, fields) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    const std::size_t pos = lo == 0 ? 0 : lo - 1;
    const char* b = load(pos);
    std::size_t from = 0, to = index_.count(pos);
    while (from < to) {
        const std::size_t mid = (from + to) / 2;
        if (keyOrder_->compare(recordAt(b, mid), probe, fields) < 0)
            from = mid + 1;
        else
            to = mid;
    }
    if (from == index_.count(pos) && pos + 1 < index_.size()) {
        load(pos + 1);  // its first key, as the list says, is checked
        return Spot{pos + 1, 0};
    }
    return Spot{pos, from};
}

bool PagedRecords::holdsKey(Spot s, const char* row) {
    return s.pos < index_.size() && s.slot < index_.count(s.pos) &&
           keyOrder_->compare(recordAt(load(s.pos), s.slot), row) == 0;
}

std::optional<Place> PagedRecords::seek(const char* probe, int fields) {
    if (!keyOrder_) return std::nullopt;
    return guarded([&]() -> std::optional<Place> {
        const Spot s = lowerBound(probe, fields);
        if (s.pos < index_.size() && s.slot < index_.count(s.pos) &&
            keyOrder_->compare(recordAt(load(s.pos), s.slot), probe, fields) == 0)
            return placeOf(s.pos, s.slot);
        return std::nullopt;
    });
}

void PagedRecords::checkOrder(std::size_t pos) {
    // Under a sort order we only approximate, a block whose records we would not put in this order
    // is not changed: Paradox would find the table out of order.
    if (!approximatedOrder_) return;
    const char* b = load(pos);
    for (std::size_t i = 1; i < index_.count(pos); ++i)
        if (keyOrder_->compare(recordAt(b, i - 1), recordAt(b, i)) >= 0) throw sortOrderNotKept(image_);
}

// ---- Changes ----

Place PagedRecords::startChain(const char* row) {
    std::uint32_t block = 0;
    if (spareFirstBlock_) {
        block = 1;
        std::memset(files_.change(1), 0, files_.blockSize());
        spareFirstBlock_ = false;
    } else {
        block = files_.allocate();
    }
    verified_[block] = true;
    char* b = files_.change(block);
    setNext(b, 0);
    setPrev(b, 0);
    std::memcpy(b + kBlockHeadBytes, row, files_.recordSize());
    setRecords(b, 1, files_.recordSize());
    index_.append(block, 1, row);
    return placeOf(0, 0);
}

Place PagedRecords::insertAt(Spot at, const char* row) {
    if (index_.empty()) return startChain(row);
    const std::size_t rs = files_.recordSize();
    const std::size_t pos = at.pos, slot = at.slot, n = index_.count(pos);
    char* b = edit(pos);
    if (n < files_.perBlock()) {
        char* place = b + kBlockHeadBytes + slot * rs;
        std::memmove(place + rs, place, (n - slot) * rs);
        std::memcpy(place, row, rs);
        setRecords(b, n + 1, rs);
        index_.setCount(pos, n + 1);
        if (slot == 0) index_.setFirstKey(pos, row);
        return placeOf(pos, slot);
    }
    const std::uint32_t block = index_.block(pos);
    if (pos + 1 == index_.size() && slot == n) {
        // Added after the last record: a new block, as Paradox does, rather than a split.
        const std::uint32_t added = files_.allocate();
        verified_[added] = true;
        char* a = files_.change(added);
        setPrev(a, block);
        setNext(a, 0);
        std::memcpy(a + kBlockHeadBytes, row, rs);
        setRecords(a, 1, rs);
        setNext(b, added);
        index_.insert(pos + 1, added, 1, row);
        return placeOf(pos + 1, 0);
    }
    // A full block is split in half; the upper half goes into a new block linked in after it.
    const std::uint32_t following = nextOf(b);
    char* after = following ? edit(pos + 1) : nullptr;
    const std::uint32_t added = files_.allocate();
    verified_[added] = true;
    char* a = files_.change(added);
    const std::size_t keep = (n + 1) / 2;
    std::memcpy(a + kBlockHeadBytes, b + kBlockHeadBytes + keep * rs, (n - keep) * rs);
    std::memset(b + kBlockHeadBytes + keep * rs, 0, (n - keep) * rs);
    setRecords(b, keep, rs);
    setRecords(a, n - keep, rs);
    setNext(a, following);
    setPrev(a, block);
    setNext(b, added);
    if (after) setPrev(after, added);
    index_.setCount(pos, keep);
    index_.insert(pos + 1, added, n - keep, a + kBlockHeadBytes);
    return slot <= keep ? insertAt(Spot{pos, slot}, row) : insertAt(Spot{pos + 1, slot - keep}, row);
}

std::optional<Place> PagedRecords::insert(const char* row, std::optional<Place> before) {
    return guarded([&]() -> std::optional<Place> {
        Spot at = end();
        if (keyOrder_) {
            at = lowerBound(row, keyOrder_->keyFields());
            if (holdsKey(at, row)) return std::nullopt;
            // Into the block of the key before it, as Paradox does: the blocks' first keys stay.
            if (at.slot == 0 && at.pos > 0) at = Spot{at.pos - 1, index_.count(at.pos - 1)};
            if (!index_.empty()) checkOrder(at.pos);
        } else if (before) {
            at = Spot{posOf(*before), before->slot};
        }
        const Place p = insertAt(at, recordFor(row));
        noteAutoIncrement(row);
        changed();
        blobs_.release(storedHandles_);  // their values are in the .MB now
        return p;
    });
}

std::optional<Place> PagedRecords::update(Place p, const char* row) {
    const bool keyMoves = keyOrder_ && guarded([&] {
        return keyOrder_->compare(recordAt(load(posOf(p)), p.slot), row) != 0;
    });
    if (!keyMoves) {
        guarded([&] {
            char* b = edit(posOf(p));
            std::memcpy(b + kBlockHeadBytes + p.slot * files_.recordSize(), recordFor(row), files_.recordSize());
            return 0;
        });
        noteAutoIncrement(row);
        changed();
        blobs_.release(storedHandles_);
        return p;
    }
    // A record whose key changes moves: added at its new key's place first, so that a table that cannot
    // take it keeps the old record, then the old one, found again by its key, taken out.
    const std::vector<char> old = guarded([&] {
        const char* r = recordAt(load(posOf(p)), p.slot);
        return std::vector<char>(r, r + files_.recordSize());
    });
    if (!insert(row, std::nullopt)) return std::nullopt;
    return guarded([&] {
        changed();
        removeAt(lowerBound(old.data(), keyOrder_->keyFields()));
        const Spot at = lowerBound(row, keyOrder_->keyFields());
        return std::optional<Place>(placeOf(at.pos, at.slot));
    });
}

void PagedRecords::removeAt(Spot at) {
    const std::size_t rs = files_.recordSize();
    const std::size_t n = index_.count(at.pos);
    if (n > 1) {
        char* b = edit(at.pos);
        char* place = b + kBlockHeadBytes + at.slot * rs;
        std::memmove(place, place + rs, (n - at.slot - 1) * rs);
        std::memset(b + kBlockHeadBytes + (n - 1) * rs, 0, rs);
        setRecords(b, n - 1, rs);
        index_.setCount(at.pos, n - 1);
        if (at.slot == 0) index_.setFirstKey(at.pos, b + kBlockHeadBytes);
        return;
    }
    // The block empties: its neighbours (and theirs, should block 1 take one's records) are read first.
    for (std::size_t p = at.pos >= 2 ? at.pos - 2 : 0; p <= at.pos + 2 && p < index_.size(); ++p) load(p);
    unlinkEmptied(at.pos);
}

void PagedRecords::unlinkEmptied(std::size_t pos) {
    const std::uint32_t block = index_.block(pos);
    if (index_.size() == 1) {
        // The table is empty now. Block 1 is never free in a Paradox file: it waits for the next record.
        if (block == 1) {
            char* b = edit(pos);
            std::memset(b, 0, files_.blockSize());
            setRecords(b, 0, files_.recordSize());
            spareFirstBlock_ = true;
        } else {
            files_.release(block);
        }
        index_.erase(pos);
        return;
    }
    if (block == 1) {
        // Block 1 stays: it takes over a neighbour's records and place, and the neighbour is freed.
        const bool fromNext = pos + 1 < index_.size();
        const std::size_t other = fromNext ? pos + 1 : pos - 1;
        const std::uint32_t freed = index_.block(other);
        char* b = edit(pos);
        const char* o = load(other);
        const std::uint32_t next = fromNext ? nextOf(o) : nextOf(b);
        const std::uint32_t prev = fromNext ? prevOf(b) : prevOf(o);
        std::memcpy(b + kLastRecordAt, o + kLastRecordAt, files_.blockSize() - kLastRecordAt);
        setNext(b, next);
        setPrev(b, prev);
        if (fromNext && next) setPrev(edit(pos + 2), 1);
        if (!fromNext && prev) setNext(edit(pos - 2), 1);
        index_.setCount(pos, index_.count(other));
        index_.setFirstKey(pos, b + kBlockHeadBytes);
        index_.erase(other);
        files_.release(freed);
        return;
    }
    const std::uint32_t prev = pos > 0 ? index_.block(pos - 1) : 0;
    const std::uint32_t next = pos + 1 < index_.size() ? index_.block(pos + 1) : 0;
    if (prev) setNext(edit(pos - 1), next);
    if (next) setPrev(edit(pos + 1), prev);
    index_.erase(pos);
    files_.release(block);
}

std::optional<Place> PagedRecords::erase(Place p) {
    changed();
    return guarded([&] {
        const Spot at{posOf(p), p.slot};
        // What follows the record: its successor in the block, else the next block's first.
        const bool empties = index_.count(at.pos) == 1;
        const std::uint32_t followingBlock = at.pos + 1 < index_.size() ? index_.block(at.pos + 1) : 0;
        removeAt(at);
        if (!empties) return shownFrom(at.pos, at.slot);
        // Block 1 may have taken over the following block's records.
        auto pos = followingBlock ? index_.positionOf(followingBlock) : std::nullopt;
        if (!pos && followingBlock && p.at == 1) pos = index_.positionOf(1);
        if (!pos) return std::optional<Place>{};
        return shownFrom(*pos, 0);
    });
}

void PagedRecords::clear() {
    refuseWhilePaged("Leeren", image_.dataPath);
}

void PagedRecords::noteAutoIncrement(const char* row) {
    // The header keeps the last value handed out; it must not lie below one a record holds.
    for (const FieldDef& f : image_.fields) {
        if (f.physicalType != kAutoInc) continue;
        const std::uint32_t raw = be32(row + f.offset);
        if (raw) image_.lastAutoInc = std::max<std::int64_t>(image_.lastAutoInc, static_cast<std::int32_t>(raw ^ kLongSignFlip));
    }
}

std::uint64_t PagedRecords::room() const {
    // Every block still to be had takes at least half a block of records (a split leaves two halves).
    return static_cast<std::uint64_t>(files_.blocksLeft()) * std::max<std::size_t>(1, files_.perBlock() / 2);
}

void PagedRecords::save(FileSystem& fs, FileSetWriter* swap) {
    // The new file is read afterwards in place of the old one, which a swap of other tables would
    // only replace at its own commit.
    if (swap) refuseWhilePaged("Speichern zusammen mit anderen Tabellen", image_.dataPath);
    ChainCounts chain;
    chain.records = static_cast<std::uint32_t>(index_.records());
    chain.usedBlocks = static_cast<std::uint32_t>(index_.size());
    chain.totalBlocks = files_.totalBlocks();
    chain.firstBlock = index_.empty() ? 0 : index_.block(0);
    chain.lastBlock = index_.empty() ? 0 : index_.block(index_.size() - 1);
    chain.firstFreeBlock = files_.firstFreeBlock();
    std::vector<char> header = buildHeader(image_, chain);
    const std::string indexPath = indexPathFor(image_.dataPath, fs);
    std::vector<char> px;
    if (keyOrder_) {
        PrimaryIndexInput in = indexInputFor(image_, static_cast<unsigned char>(header[kChangeCountAt]));
        in.firstKeys = index_.firstKeys();
        in.counts.assign(index_.counts().begin(), index_.counts().end());
        in.blocks.assign(index_.blocks().begin(), index_.blocks().end());
        px = buildPrimaryIndex(in);
    }
    files_.requireNotLost();
    try {
        blobs_.finish();
        files_.save(header, indexPath, keyOrder_ ? &px : nullptr, !keyOrder_ && fs.exists(indexPath));
    } catch (...) {
        blobs_.abandon();
        throw;
    }
    image_.originalHeader = std::move(header);
    blobs_.rebase();
    changed();
}

}  // namespace kimport::paradox
