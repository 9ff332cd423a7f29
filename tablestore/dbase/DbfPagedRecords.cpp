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
        if (held != changed_.end()) return held->second.data();
    }
    if (window_.empty() || i < windowFirst_ || i >= windowFirst_ + window_.size() / recordLength_) readWindow(i);
    return window_.data() + (i - windowFirst_) * recordLength_;
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
    if (before) refuse("Einfügen vor einem Datensatz");
    if (total_ >= UINT32_MAX)
        throw TableError("Die Tabelle " + shownName(image_.dataPath) + " kann keine weiteren Datensätze aufnehmen",
                         TableError::Kind::Limit, image_.dataPath);
    std::vector<char>& r = changed_[total_];
    r.assign(row, row + recordLength_);
    r[0] = kLiveRecord;
    return Place{total_++};
}

std::optional<Place> PagedRecords::update(Place p, const char* row) {
    std::vector<char>& r = changed_[p.at];
    r.assign(row, row + recordLength_);
    r[0] = kLiveRecord;
    return p;
}

std::optional<Place> PagedRecords::erase(Place p) {
    // The record stays in the file, marked deleted, as dBase keeps it until a pack.
    auto held = changed_.find(p.at);
    if (held == changed_.end()) {
        const char* now = record(p.at);
        held = changed_.emplace(p.at, std::vector<char>(now, now + recordLength_)).first;
    }
    held->second[0] = kDeletedRecord;
    ++erased_;
    return shownFrom(p.at + 1);
}

void PagedRecords::clear() {
    refuse("Leeren");
}

void PagedRecords::pack() {
    refuse("Packen");
}

void PagedRecords::refuse(const char* what) const {
    throw TableError(std::string(what) + " ist bei der Tabelle " + shownName(image_.dataPath) +
                         " nicht möglich, solange sie seitenweise geöffnet ist.",
                     TableError::Kind::Usage, image_.dataPath);
}

std::size_t PagedRecords::heldBytes() const {
    std::size_t held = window_.capacity();
    for (const auto& entry : changed_) held += entry.second.capacity() + 64;  // with the map's node
    return held;
}

void PagedRecords::save(FileSystem& fs, FileSetWriter* swap) {
    // The new file is read afterwards in place of the old one, which a swap of other tables would
    // only replace at its own commit.
    if (swap) refuse("Speichern zusammen mit anderen Tabellen");
    std::vector<const char*> changed;
    for (const auto& entry : changed_) changed.push_back(entry.second.data());
    const std::string header = headerInPlace(image_, static_cast<std::uint32_t>(total_), changed);
    {
        FileSetWriter files(fs, image_.dataPath);
        PatchedFile data(files, *file_, image_.dataPath);
        data.write(0, header.data(), header.size());
        for (const auto& [i, bytes] : changed_)
            data.write(headerLength_ + i * recordLength_, bytes.data(), bytes.size());
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
    image_.originalHeader.assign(header.begin(), header.end());
    if (deletedInFile_) *deletedInFile_ += erased_;
    erased_ = 0;
    fileRecords_ = total_;
    changed_.clear();
    window_.clear();
}

}  // namespace kimport::dbase
