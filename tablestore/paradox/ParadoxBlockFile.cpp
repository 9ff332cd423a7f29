#include "tablestore/paradox/ParadoxBlockFile.h"

#include "common/FileSets.h"
#include "tablestore/Bytes.h"
#include "tablestore/TableError.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace kimport::paradox {

using namespace kimport::bytes;

std::uint32_t nextOf(const char* block) { return le16(block + kNextBlockAt); }
std::uint32_t prevOf(const char* block) { return le16(block + kPrevBlockAt); }
std::size_t recordsOf(const char* block, std::size_t recordSize) {
    // The head counts the bytes after the first record; an empty block says -recordSize.
    const auto after = static_cast<std::int16_t>(le16(block + kLastRecordAt));
    return after < 0 ? 0 : static_cast<std::size_t>(after) / recordSize + 1;
}
void setNext(char* block, std::uint32_t next) { putLe16(block + kNextBlockAt, next); }
void setPrev(char* block, std::uint32_t prev) { putLe16(block + kPrevBlockAt, prev); }
void setRecords(char* block, std::size_t records, std::size_t recordSize) {
    const long after = (static_cast<long>(records) - 1) * static_cast<long>(recordSize);
    putLe16(block + kLastRecordAt, static_cast<std::uint32_t>(after) & 0xFFFF);
}

namespace {

template <class Step>
auto reading(const std::string& path, Step&& step) {
    try {
        return step();
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, path);
    }
}

// A patched file seen as a file handle: reads and writes at a position of its own.
class PatchedHandle : public FileHandle {
public:
    explicit PatchedHandle(PatchedFile& file) : file_(file) {}
    std::size_t read(char* buffer, std::size_t n) override {
        const std::size_t got = file_.read(position_, buffer, n);
        position_ += got;
        return got;
    }
    void write(const char* data, std::size_t n) override {
        file_.write(position_, data, n);
        position_ += n;
    }
    void seek(std::uint64_t position) override { position_ = position; }
    std::uint64_t size() override { return file_.size(); }
    void sync() override {}  // the patch's finish syncs the new file

private:
    PatchedFile& file_;
    std::uint64_t position_ = 0;
};

}  // namespace

BlockFile::BlockFile(const TableImage& image, FileSystem& fs, Limits limits)
    : fs_(fs), limits_(limits), path_(image.dataPath) {
    const char* h = image.originalHeader.data();
    headerSize_ = le16(h + kHeaderSizeAt);
    blockSize_ = static_cast<std::size_t>(static_cast<unsigned char>(h[kBlockSizeAt])) * 1024;
    recordSize_ = static_cast<std::size_t>(image.recordLength);
    totalBlocks_ = le16(h + kTotalBlocksAt);
    headerFreeHead_ = le16(h + kFirstFreeBlockAt);
    reading(path_, [&] {
        file_ = fs.openRead(path_);
        fileSize_ = file_->size();
        return 0;
    });
    readFreeList(headerFreeHead_);
}

BlockFile::~BlockFile() { dropPatches(); }

void BlockFile::readFreeList(std::uint32_t head) {
    // Followed from the head; a list that leaves the file or runs in a circle is left alone: its blocks
    // are not reused, and the header keeps naming it as it did.
    std::vector<std::uint32_t> list;
    std::unordered_set<std::uint32_t> seen;
    char bytes[kBlockHeadBytes];
    for (std::uint32_t b = head; b != 0; b = nextOf(bytes)) {
        if (b > totalBlocks_ || offsetOf(b) + blockSize_ > fileSize_ || !seen.insert(b).second) {
            freeUsable_ = false;
            return;
        }
        peek(b, bytes, sizeof bytes);
        list.push_back(b);
    }
    free_.assign(list.rbegin(), list.rend());
}

void BlockFile::fetch(std::uint32_t block, char* into, std::size_t n) {
    if (block == 0 || block > totalBlocks_)
        throw TableError("Die Tabelle " + fileNameOf(path_) + " ist beschädigt (Blockverweis außerhalb der Datei).",
                         TableError::Kind::Damaged, path_);
    const std::size_t got = reading(path_, [&] {
        if (patched_) return patched_->read(offsetOf(block), into, n);
        return readFullyAt(*file_, offsetOf(block), into, n);
    });
    // A block the file has not yet been grown to (ours, allocated earlier) reads as zeros.
    std::memset(into + got, 0, n - got);
}

void BlockFile::peek(std::uint32_t block, char* into, std::size_t n) {
    auto held = held_.find(block);
    if (held != held_.end()) {
        std::memcpy(into, held->second.bytes.data(), n);
        return;
    }
    fetch(block, into, n);
}

BlockFile::Held& BlockFile::hold(std::uint32_t block) {
    auto found = held_.find(block);
    if (found == held_.end()) {
        Held h;
        h.bytes.resize(blockSize_);
        fetch(block, h.bytes.data(), blockSize_);
        found = held_.emplace(block, std::move(h)).first;
    }
    found->second.lastUse = ++uses_;
    return found->second;
}

const char* BlockFile::read(std::uint32_t block) { return hold(block).bytes.data(); }

char* BlockFile::change(std::uint32_t block) {
    requireNotLost();
    Held& h = hold(block);
    h.changed = true;
    return h.bytes.data();
}

std::uint32_t BlockFile::allocate() {
    requireNotLost();
    std::uint32_t block = 0;
    if (freeUsable_ && !free_.empty()) {
        block = free_.back();
        free_.pop_back();
    } else {
        if (totalBlocks_ >= kMaxBlocks)
            throw TableError("Die Tabelle " + fileNameOf(path_) + " hat alle 65535 Blöcke belegt und kann keine "
                                 "weiteren Datensätze aufnehmen.",
                             TableError::Kind::Limit, path_);
        block = ++totalBlocks_;
    }
    Held& h = held_[block];
    h.bytes.assign(blockSize_, 0);
    h.changed = true;
    h.lastUse = ++uses_;
    return block;
}

void BlockFile::release(std::uint32_t block) {
    char* b = change(block);
    std::memset(b, 0, blockSize_);
    setRecords(b, 0, recordSize_);
    // A list we could not follow is not grown: the block stays empty and unused.
    if (!freeUsable_) return;
    setNext(b, free_.empty() ? 0 : free_.back());
    free_.push_back(block);
}

bool BlockFile::onFreeList(std::uint32_t block) const {
    // A list we could not follow may hold any block.
    return !freeUsable_ || std::find(free_.begin(), free_.end(), block) != free_.end();
}

std::uint32_t BlockFile::blocksLeft() const {
    return static_cast<std::uint32_t>(kMaxBlocks - totalBlocks_) +
           (freeUsable_ ? static_cast<std::uint32_t>(free_.size()) : 0);
}

PatchedFile& BlockFile::patch() {
    if (!patched_) {
        writer_ = std::make_unique<FileSetWriter>(fs_, path_);
        patched_ = std::make_unique<PatchedFile>(*writer_, *file_, path_, limits_.patchBudget);
    }
    return *patched_;
}

FileHandle& BlockFile::companion(const std::string& path) {
    requireNotLost();
    if (!companion_) {
        auto c = std::make_unique<Companion>();
        reading(path, [&] {
            c->original = fs_.openRead(path);
            return 0;
        });
        patch();
        c->patch = std::make_unique<PatchedFile>(*writer_, *c->original, path, limits_.patchBudget / 4);
        c->handle = std::make_unique<PatchedHandle>(*c->patch);
        companion_ = std::move(c);
        // What is written into it exists nowhere else.
        spilled_ = true;
    }
    return *companion_->handle;
}

void BlockFile::dropPatches() {
    // The patches withdraw their files from the writer, which must outlive them.
    companion_.reset();
    patched_.reset();
    writer_.reset();
}

void BlockFile::trim() {
    if (held_.size() * blockSize_ <= limits_.cacheBytes) return;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> byAge;
    byAge.reserve(held_.size());
    for (const auto& [block, h] : held_) byAge.emplace_back(h.lastUse, block);
    std::sort(byAge.begin(), byAge.end());
    // Down to three quarters, so that a walk does not trim at every block.
    std::size_t keep = limits_.cacheBytes / blockSize_ * 3 / 4;
    for (std::size_t i = 0; i + keep < byAge.size(); ++i) {
        auto found = held_.find(byAge[i].second);
        if (found->second.changed) {
            reading(path_, [&] {
                patch().write(offsetOf(found->first), found->second.bytes.data(), blockSize_);
                return 0;
            });
            spilled_ = true;
        }
        held_.erase(found);
    }
}

void BlockFile::requireNotLost() const {
    if (lost_)
        throw TableError("Die Änderungen an der Tabelle " + fileNameOf(path_) + " konnten nicht gespeichert werden "
                             "und sind verworfen; die Tabelle ist unverändert. Bitte öffnen Sie sie erneut.",
                         TableError::Kind::Io, path_);
}

void BlockFile::save(const std::vector<char>& header, const std::string& indexPath, const std::vector<char>* index,
                     bool removeIndex) {
    requireNotLost();
    try {
        PatchedFile& data = patch();
        // Blocks in file order: the patch then writes its pages in one pass.
        std::vector<std::uint32_t> changed;
        for (const auto& [block, h] : held_)
            if (h.changed) changed.push_back(block);
        std::sort(changed.begin(), changed.end());
        for (std::uint32_t block : changed) data.write(offsetOf(block), held_[block].bytes.data(), blockSize_);
        data.write(0, header.data(), header.size());
        // A file cut short in its last block is made whole: every block full size.
        const std::uint64_t end = offsetOf(totalBlocks_ + 1);
        if (data.size() < end) {
            const char zero = 0;
            data.write(end - 1, &zero, 1);
        }
        data.finish();
        if (companion_) companion_->patch->finish();
        if (index) writer_->create(indexPath).write(index->data(), index->size());
        if (removeIndex) writer_->removeAtCommit(indexPath);
        writer_->commit();
    } catch (...) {
        // What went into the patch is gone with it; what is still held can be saved again.
        dropPatches();
        if (spilled_) lost_ = true;
        throw;
    }
    dropPatches();
    spilled_ = false;
    for (auto& entry : held_) entry.second.changed = false;
    // The new file is the one read from now on; the old one is gone.
    reading(path_, [&] {
        file_ = fs_.openRead(path_);
        fileSize_ = file_->size();
        return 0;
    });
}

std::size_t BlockFile::heldBytes() const {
    return held_.size() * (blockSize_ + 64) + free_.capacity() * sizeof(std::uint32_t) +
           (patched_ ? patched_->heldBytes() : 0) + (companion_ ? companion_->patch->heldBytes() : 0);
}

}  // namespace kimport::paradox
