// Blob values in the .MB: small ones packed into shared 4 KB blocks in 16-byte
// chunks, large ones in blocks of whole 4 KB units of their own. A record finds
// its value by the pointer in its field's tail; the .MB has no list of values.
#include "tablestore/paradox/ParadoxMemo.h"

#include "common/FileSets.h"
#include "tablestore/Bytes.h"
#include "tablestore/TableError.h"
#include "tablestore/paradox/ParadoxFormat.h"

#include <algorithm>
#include <cstring>

namespace kimport::paradox {

using namespace kimport::bytes;

namespace {
constexpr std::size_t kChunks = kMbUnit / kMbChunkBytes;
// A graphic's prefix: the mark (01 00 00 01; OLE objects would say 01 00 00 02) and then its length.
constexpr char kGraphicPrefix[4] = {1, 0, 0, 1};
}  // namespace

MemoFile::MemoFile(const std::string& path, FileSystem& fs) : path_(path) {
    const char* first = nullptr;
    try {
        file_ = fs.openRead(path);
        window_ = std::make_unique<WindowedFile>(*file_, file_->size());
        first = bytesAt(0, 1);
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, path);
    }
    // Paradox scrambles the whole .MB of an encrypted table, its header block too; the table itself was
    // found unencrypted, so a header block that is not of type 0 is damage.
    if (first && first[kMbTypeAt] != kMbHeaderBlock)
        throw TableError(
            "Die Memodatei " + fileNameOf(path) + " ist verschlüsselt oder beschädigt und kann nicht gelesen werden.",
            TableError::Kind::Damaged, path);
}

// A read past the end answers nullptr rather than throwing: a pointer into a file cut short is one
// damaged value, not a damaged table.
const char* MemoFile::bytesAt(std::uint64_t offset, std::size_t n) const {
    const char* p = nullptr;
    return window_->read(offset, n, p) == n ? p : nullptr;
}

std::string MemoFile::valueOf(const char* field, int length, int physicalType) const {
    const std::size_t leader = static_cast<std::size_t>(length) - kBlobTailBytes;
    const char* tail = field + leader;
    std::uint32_t pointer = le32(tail + kBlobPointerAt);
    std::uint32_t size = le32(tail + kBlobLengthAt);
    if (size == 0) return {};
    std::string value;
    if (size <= leader) {
        // Short values live in the record alone; their pointer is 0 and the .MB knows nothing of them.
        value.assign(field, size);
    } else {
        std::size_t offset = pointer & ~kMbSlotMask;
        std::size_t index = pointer & kMbSlotMask;
        try {
            const char* block = bytesAt(offset, kMbBlobHeadBytes);
            if (!block) return {};
            if (index == kMbOwnBlockSlot) {
                if (block[kMbTypeAt] != kMbSingleBlob) return {};
                // The record's length wins when the block claims more: the rest is another value's.
                std::size_t stored = le32(block + kMbBlobLengthAt);
                std::size_t n = std::min<std::size_t>(size, stored);
                const char* whole = bytesAt(offset, kMbBlobHeadBytes + n);
                if (!whole) return {};
                value.assign(whole + kMbBlobHeadBytes, n);
            } else {
                if (block[kMbTypeAt] != kMbSubAllocated || index >= kMbSlots) return {};
                const char* unit = bytesAt(offset, kMbUnit);
                if (!unit) return {};
                const char* slot = unit + kMbSlotsAt + kMbSlotBytes * index;
                std::size_t startChunk = static_cast<unsigned char>(slot[kMbSlotStartAt]);
                std::size_t chunks = static_cast<unsigned char>(slot[kMbSlotChunksAt]);
                std::size_t last = static_cast<unsigned char>(slot[kMbSlotLastAt]);
                if (startChunk == 0 || chunks == 0) return {};  // a free slot: the value was deleted
                std::size_t stored = (chunks - 1) * kMbChunkBytes + last;
                std::size_t n = std::min<std::size_t>(size, stored);
                if (startChunk * kMbChunkBytes + n > kMbUnit) return {};
                value.assign(unit + startChunk * kMbChunkBytes, n);
            }
        } catch (const IoError& e) {
            throw TableError(e.what(), TableError::Kind::Io, path_);
        }
    }
    if (physicalType == kGraphic && value.size() >= kGraphicPrefixBytes) value.erase(0, kGraphicPrefixBytes);
    return value;
}

MemoWriter::MemoWriter(FileHandle& file) : file_(file), size_(kMbUnit) {
    // The header block as every .MB Paradox writes has it: bytes that are the same in every file seen
    // are copied so, not invented. The free-space list stays empty: a fresh file has no free space.
    header_.assign(kMbUnit, 0);
    char* h = header_.data();
    h[kMbTypeAt] = kMbHeaderBlock;
    putLe16(h + kMbUnitsAt, 1);
    const unsigned char constant[] = {0x82, 0x73, 0x02, 0x00, 0x29, 0x00};
    std::memcpy(h + kMbHeaderConstantAt, constant, sizeof constant);
    putLe16(h + kMbUnitSizeAt, kMbUnit);
    putLe16(h + kMbUnitSize2At, kMbUnit);
    h[kMbChunkSizeAt] = static_cast<char>(kMbChunkBytes);
    putLe16(h + kMbSlotCountAt, kMbSlots);
    putLe16(h + kMbSmallLimitAt, kMbSmallLimit);
    putLe16(h + kMbHeaderMarkAt, 0x02A1);
}

MemoWriter::MemoWriter(FileHandle& file, std::vector<char> header, std::uint64_t end)
    : file_(file), header_(std::move(header)), size_((end + kMbUnit - 1) / kMbUnit * kMbUnit) {
    header_.resize(kMbUnit, 0);
    modification_ = static_cast<std::uint16_t>(le16(header_.data() + kMbModificationAt) + 1);
    if (modification_ == 0) modification_ = 1;
}

// A value over the small-value limit gets whole units of its own, its head in the first.
std::uint32_t MemoWriter::addLarge(const std::string& data) {
    const std::size_t units = (data.size() + kMbBlobHeadBytes + kMbUnit - 1) / kMbUnit;
    if (size_ + units * kMbUnit > kMbMaxOffset)
        throw TableError("Die Memodatei wird zu groß (mehr als 4 GB).", TableError::Kind::Limit);
    const std::uint64_t offset = size_;
    char head[kMbBlobHeadBytes] = {};
    head[kMbTypeAt] = kMbSingleBlob;
    putLe16(head + kMbUnitsAt, static_cast<std::uint32_t>(units));
    putLe32(head + kMbBlobLengthAt, static_cast<std::uint32_t>(data.size()));
    putLe16(head + kMbBlobModAt, modification_);
    static const char zeros[kMbUnit] = {};
    file_.seek(offset);
    file_.write(head, sizeof head);
    file_.write(data.data(), data.size());
    file_.write(zeros, units * kMbUnit - kMbBlobHeadBytes - data.size());  // blocks are whole units
    size_ += units * kMbUnit;
    return static_cast<std::uint32_t>(offset) | kMbOwnBlockSlot;
}

// The shared block being filled is held until it is full or the file is finished, then written in
// its place: values come in record order and fill it from the bottom up.
void MemoWriter::closeSubBlock() {
    if (openSubBlock_ == 0) return;
    file_.seek(openSubBlock_);
    file_.write(subBlock_.data(), subBlock_.size());
    openSubBlock_ = 0;
}

std::uint32_t MemoWriter::addSmall(const std::string& data, std::uint8_t& slotIndex) {
    std::size_t chunks = (data.size() + kMbChunkBytes - 1) / kMbChunkBytes;
    // A new shared block when the open one has no slot or too few chunks left; blocks are never
    // revisited, so a file holds about as many shared blocks as its small values need.
    if (openSubBlock_ == 0 || nextSlot_ < 0 || static_cast<std::size_t>(nextChunk_) + chunks > kChunks) {
        if (size_ + kMbUnit > kMbMaxOffset)
            throw TableError("Die Memodatei wird zu groß (mehr als 4 GB).", TableError::Kind::Limit);
        closeSubBlock();
        openSubBlock_ = static_cast<std::uint32_t>(size_);
        size_ += kMbUnit;
        subBlock_.assign(kMbUnit, 0);
        char* b = subBlock_.data();
        b[kMbTypeAt] = kMbSubAllocated;
        putLe16(b + kMbUnitsAt, 1);
        nextChunk_ = static_cast<int>(kMbFirstDataChunk);
        nextSlot_ = static_cast<int>(kMbSlots) - 1;  // slots are used from the top down, as Paradox does
    }
    char* b = subBlock_.data();
    slotIndex = static_cast<std::uint8_t>(nextSlot_--);
    char* slot = b + kMbSlotsAt + kMbSlotBytes * slotIndex;
    slot[kMbSlotStartAt] = static_cast<char>(nextChunk_);
    slot[kMbSlotChunksAt] = static_cast<char>(chunks);
    putLe16(slot + kMbSlotModAt, modification_);
    slot[kMbSlotLastAt] = static_cast<char>(data.size() - (chunks - 1) * kMbChunkBytes);
    std::memcpy(b + static_cast<std::size_t>(nextChunk_) * kMbChunkBytes, data.data(), data.size());
    nextChunk_ += static_cast<int>(chunks);
    return openSubBlock_ | slotIndex;
}

void MemoWriter::store(char* field, int length, int physicalType, const std::string& value) {
    const std::size_t leader = static_cast<std::size_t>(length) - kBlobTailBytes;
    std::memset(field, 0, static_cast<std::size_t>(length));
    if (value.empty()) return;
    std::string data = value;
    if (physicalType == kGraphic) {
        char prefix[kGraphicPrefixBytes];
        std::memcpy(prefix, kGraphicPrefix, sizeof kGraphicPrefix);
        putLe32(prefix + sizeof kGraphicPrefix, static_cast<std::uint32_t>(value.size()));
        data.insert(0, prefix, kGraphicPrefixBytes);
    }
    if (data.size() > 0xFFFFFFFFu) throw TableError("Ein Memo- oder Blobwert ist zu groß.", TableError::Kind::Limit);
    // The leader always holds the value's first bytes, even when the .MB holds it all: Paradox shows
    // them without reading the .MB.
    std::memcpy(field, data.data(), std::min(leader, data.size()));
    char* tail = field + leader;
    putLe32(tail + kBlobLengthAt, static_cast<std::uint32_t>(data.size()));
    if (data.size() <= leader) return;
    std::uint32_t pointer;
    if (data.size() <= kMbSmallLimit) {
        std::uint8_t slot = 0;
        pointer = addSmall(data, slot);
    } else {
        pointer = addLarge(data);
    }
    putLe32(tail + kBlobPointerAt, pointer);
    putLe16(tail + kBlobModAt, modification_);
}

// The header last, over the unit kept free for it at the start.
void MemoWriter::finish() {
    closeSubBlock();
    putLe16(header_.data() + kMbModificationAt, modification_);
    file_.seek(0);
    file_.write(header_.data(), header_.size());
}

}  // namespace kimport::paradox
