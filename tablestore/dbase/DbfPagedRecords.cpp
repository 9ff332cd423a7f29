#include "tablestore/dbase/DbfPagedRecords.h"

#include "common/FileSets.h"
#include "tablestore/Bytes.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/PatchedFile.h"
#include "tablestore/TableError.h"
#include "tablestore/dbase/DbfPaths.h"
#include "tablestore/dbase/DbfWriter.h"

#include <algorithm>
#include <cstring>

namespace kimport::dbase {

namespace {

// Records read at once for walking, and pieces of the flag count: large enough that a walk makes few
// reads, small enough to be nothing beside a table.
constexpr std::size_t kWindowBytes = std::size_t{64} << 10;
constexpr std::size_t kCountPieceBytes = std::size_t{1} << 20;

}  // namespace

PagedRecords::PagedRecords(TableImage& image, FileSystem& fs) : image_(image), fs_(fs) {
    headerLength_ = image.originalHeader.size();
    recordLength_ = static_cast<std::size_t>(image.recordLength);
    fileRecords_ = le32(image.originalHeader.data() + kRecordCountAt);
    total_ = fileRecords_;
    try {
        file_ = fs.openRead(image.dataPath);
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, image.dataPath);
    }
    if (image.hasMemoFile) memos_ = std::make_unique<PagedMemos>(image, fs);
}

PagedRecords::~PagedRecords() {
    if (memos_) memos_->release(shownHandles_);
}

void PagedRecords::readWindow(std::uint64_t first) {
    const std::uint64_t per = std::max<std::size_t>(1, kWindowBytes / recordLength_);
    windowFirst_ = first - first % per;
    const std::uint64_t n = std::min<std::uint64_t>(per, fileRecords_ - windowFirst_);
    window_.resize(static_cast<std::size_t>(n) * recordLength_);
    std::size_t got = 0;
    try {
        got = readFullyAt(*file_, headerLength_ + windowFirst_ * recordLength_, window_.data(), window_.size());
    } catch (const IoError& e) {
        window_.clear();
        throw TableError(e.what(), TableError::Kind::Io, image_.dataPath);
    }
    if (got != window_.size()) {
        window_.clear();
        throw TableError("Die Tabelle " + shownName(image_.dataPath) +
                             " ist beschädigt: die Datensätze sind "
                             "unvollständig.",
                         TableError::Kind::Damaged, image_.dataPath);
    }
}

const char* PagedRecords::record(std::uint64_t i) {
    if (!changed_.empty()) {
        auto held = changed_.find(i);
        if (held != changed_.end()) return held->second.bytes.data();
    }
    if (window_.empty() || i < windowFirst_ || i >= windowFirst_ + window_.size() / recordLength_) readWindow(i);
    return window_.data() + (i - windowFirst_) * recordLength_;
}

void PagedRecords::toRow(std::uint64_t i, std::vector<char>& row, std::vector<std::uint32_t>& added) {
    const char* bytes = record(i);
    row.assign(bytes, bytes + recordLength_);
    auto held = changed_.find(i);
    try {
        memos_->toRow(row.data(), held == changed_.end() ? nullptr : &held->second.memos, added);
    } catch (...) {
        memos_->release(added);
        throw;
    }
}

const char* PagedRecords::row(Place p) {
    if (p.at >= total_) return nullptr;
    if (!memos_) return record(p.at);
    // Asked for again and again while the cursor stands on a record: its values are read once.
    if (shownAt_ != p.at) {
        std::vector<char> row;
        std::vector<std::uint32_t> handles;
        toRow(p.at, row, handles);
        memos_->release(shownHandles_);
        shownRow_ = std::move(row);
        shownHandles_ = std::move(handles);
        shownAt_ = p.at;
    }
    return shownRow_.data();
}

bool PagedRecords::shown(std::uint64_t i) {
    if (!live(i)) return false;
    if (!filter_) return true;
    if (!memos_) return filter_(record(i));
    // The filter may look at memo values; the record's are let go of as soon as it has.
    std::vector<std::uint32_t> added;
    toRow(i, filterRow_, added);
    bool passes = false;
    try {
        passes = filter_(filterRow_.data());
    } catch (...) {
        memos_->release(added);
        throw;
    }
    memos_->release(added);
    return passes;
}

PagedRecords::Held PagedRecords::heldFrom(const char* row) const {
    Held h;
    h.bytes.assign(row, row + recordLength_);
    h.bytes[0] = kLiveRecord;
    if (memos_) memos_->fromRow(row, h.bytes.data(), h.memos);
    return h;
}

void PagedRecords::letGo(const char* taken) {
    if (!memos_) return;
    memos_->release(shownHandles_);
    shownAt_.reset();
    if (!taken) return;
    // The handles of the edit row (the cursor's new values, the ones it copied from the record shown):
    // their values are the store's now.
    std::vector<std::uint32_t> handles = memos_->handlesOf(taken);
    memos_->release(handles);
}

std::optional<Place> PagedRecords::shownFrom(std::uint64_t i) {
    for (; i < total_; ++i)
        if (shown(i)) return Place{i};
    return std::nullopt;
}

std::optional<Place> PagedRecords::shownBefore(std::uint64_t i) {
    while (i > 0)
        if (shown(--i)) return Place{i};
    return std::nullopt;
}

std::uint64_t PagedRecords::deletedInFile() {
    if (deletedInFile_) return *deletedInFile_;
    // Only the flags count; the file is read a piece at a time.
    std::uint64_t deleted = 0;
    std::vector<char> piece;
    const std::uint64_t per = std::max<std::size_t>(1, kCountPieceBytes / recordLength_);
    for (std::uint64_t r = 0; r < fileRecords_; r += per) {
        const std::uint64_t n = std::min(per, fileRecords_ - r);
        piece.resize(static_cast<std::size_t>(n) * recordLength_);
        std::size_t got = 0;
        try {
            got = readFullyAt(*file_, headerLength_ + r * recordLength_, piece.data(), piece.size());
        } catch (const IoError& e) {
            throw TableError(e.what(), TableError::Kind::Io, image_.dataPath);
        }
        if (got != piece.size())
            throw TableError("Die Tabelle " + shownName(image_.dataPath) +
                                 " ist beschädigt: die Datensätze sind "
                                 "unvollständig.",
                             TableError::Kind::Damaged, image_.dataPath);
        for (std::uint64_t k = 0; k < n; ++k)
            deleted += piece[static_cast<std::size_t>(k) * recordLength_] == kDeletedRecord;
    }
    deletedInFile_ = deleted;
    return deleted;
}

std::uint64_t PagedRecords::count() {
    if (!filter_) return total_ - deletedInFile() - erased_;
    std::uint64_t n = 0;
    for (std::uint64_t i = 0; i < total_; ++i) n += shown(i) ? 1 : 0;
    return n;
}

std::optional<Place> PagedRecords::atNumber(std::uint64_t number) {
    if (number < 1) return std::nullopt;
    if (!filter_ && deletedInFile() + erased_ == 0) {
        if (number > total_) return std::nullopt;
        return Place{number - 1};
    }
    std::uint64_t seen = 0;
    for (std::uint64_t i = 0; i < total_; ++i)
        if (shown(i) && ++seen == number) return Place{i};
    return std::nullopt;
}

std::uint64_t PagedRecords::numberOf(Place p) {
    if (p.at >= total_) return 0;
    if (!filter_ && deletedInFile() + erased_ == 0) return p.at + 1;
    std::uint64_t n = 0;
    for (std::uint64_t i = 0; i <= p.at; ++i) n += shown(i) ? 1 : 0;
    return n;
}

std::optional<Place> PagedRecords::insert(const char* row, std::optional<Place> before) {
    if (before) refuseWhilePaged("Einfügen vor einem Datensatz", image_.dataPath);
    if (total_ >= UINT32_MAX)
        throw TableError("Die Tabelle " + shownName(image_.dataPath) + " kann keine weiteren Datensätze aufnehmen",
                         TableError::Kind::Limit, image_.dataPath);
    Held h = heldFrom(row);
    changed_[total_] = std::move(h);
    letGo(row);
    return Place{total_++};
}

std::optional<Place> PagedRecords::update(Place p, const char* row) {
    Held h = heldFrom(row);
    changed_[p.at] = std::move(h);
    letGo(row);
    return p;
}

std::optional<Place> PagedRecords::erase(Place p) {
    // The record stays in the file, marked deleted, as dBase keeps it until a pack.
    auto held = changed_.find(p.at);
    if (held == changed_.end()) {
        const char* now = record(p.at);
        held = changed_.emplace(p.at, Held{std::vector<char>(now, now + recordLength_), {}}).first;
    }
    held->second.bytes[0] = kDeletedRecord;
    ++erased_;
    letGo(nullptr);
    return shownFrom(p.at + 1);
}

void PagedRecords::clear() {
    refuseWhilePaged("Leeren", image_.dataPath);
}

void PagedRecords::pack() {
    refuseWhilePaged("Packen", image_.dataPath);
}

std::size_t PagedRecords::heldBytes() const {
    std::size_t held = window_.capacity() + shownRow_.capacity() + filterRow_.capacity();
    for (const auto& entry : changed_) {
        held += entry.second.bytes.capacity() + 64;  // with the map's node
        for (const std::string& value : entry.second.memos) held += value.capacity() + sizeof value;
    }
    return held;
}

void PagedRecords::save(FileSystem& fs, FileSetWriter* swap) {
    // The new file is read afterwards in place of the old one, which a swap of other tables would
    // only replace at its own commit.
    if (swap) refuseWhilePaged("Speichern zusammen mit anderen Tabellen", image_.dataPath);
    // Values appended to a memo file another program replaced would not be where the records say.
    if (memos_) memos_->requireUnchanged();
    std::vector<const char*> changed;
    std::vector<PagedMemos::Changed> withMemos;
    for (auto& [i, h] : changed_) {
        changed.push_back(h.bytes.data());
        if (!h.memos.empty()) withMemos.push_back({h.bytes.data(), &h.memos});
    }
    const std::string header = headerInPlace(image_, static_cast<std::uint32_t>(total_), changed);
    bool memosAppended = false;
    {
        FileSetWriter files(fs, image_.dataPath);
        // The new values first: their blocks go into the records' pointers.
        if (memos_) memosAppended = memos_->append(files, withMemos);
        PatchedFile data(files, *file_, image_.dataPath);
        data.write(0, header.data(), header.size());
        for (const auto& [i, h] : changed_)
            data.write(headerLength_ + i * recordLength_, h.bytes.data(), h.bytes.size());
        // Appended records go over the old end-of-file byte, which follows them again.
        if (total_ > fileRecords_) data.write(headerLength_ + total_ * recordLength_, &kEndOfFile, 1);
        data.finish();
        files.commit();
    }
    // The new file is the one read from now on.
    std::unique_ptr<FileHandle> reopened;
    try {
        reopened = fs_.openRead(image_.dataPath);
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, image_.dataPath);
    }
    file_ = std::move(reopened);
    if (memosAppended) memos_->rebase();
    image_.originalHeader.assign(header.begin(), header.end());
    if (deletedInFile_) *deletedInFile_ += erased_;
    erased_ = 0;
    fileRecords_ = total_;
    changed_.clear();
    window_.clear();
    letGo(nullptr);
}

}  // namespace kimport::dbase
