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
constexpr std::size_t kTail = 10;
constexpr std::size_t kSlots = 64;
constexpr std::size_t kFirstDataChunk = 21;  // chunks 0-20 hold the block header and the slot table
constexpr std::size_t kChunks = kMbUnit / 16;
constexpr std::size_t kSmallLimit = 2048;
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
    if (first && first[0] != 0)
        throw TableError(
            "Die Memodatei " + fileNameOf(path) + " ist verschlüsselt oder beschädigt und kann nicht gelesen werden.",
            TableError::Kind::Damaged, path);
}

const char* MemoFile::bytesAt(std::uint64_t offset, std::size_t n) const {
    const char* p = nullptr;
    return window_->read(offset, n, p) == n ? p : nullptr;
}

std::string MemoFile::valueOf(const char* field, int length, int physicalType) const {
    const std::size_t leader = static_cast<std::size_t>(length) - kTail;
    const char* tail = field + leader;
    std::uint32_t pointer = le32(tail);
    std::uint32_t size = le32(tail + 4);
    if (size == 0) return {};
    std::string value;
    if (size <= leader) {
        value.assign(field, size);
    } else {
        std::size_t offset = pointer & 0xFFFFFF00u;
        std::size_t index = pointer & 0xFFu;
        try {
            const char* block = bytesAt(offset, 9);
            if (!block) return {};
            if (index == 0xFF) {
                if (block[0] != 2) return {};
                std::size_t stored = le32(block + 3);
                std::size_t n = std::min<std::size_t>(size, stored);
                const char* whole = bytesAt(offset, 9 + n);
                if (!whole) return {};
                value.assign(whole + 9, n);
            } else {
                if (block[0] != 3 || index >= kSlots) return {};
                const char* unit = bytesAt(offset, kMbUnit);
                if (!unit) return {};
                const char* slot = unit + 0x0C + 5 * index;
                std::size_t startChunk = static_cast<unsigned char>(slot[0]);
                std::size_t chunks = static_cast<unsigned char>(slot[1]);
                std::size_t last = static_cast<unsigned char>(slot[4]);
                if (startChunk == 0 || chunks == 0) return {};
                std::size_t stored = (chunks - 1) * 16 + last;
                std::size_t n = std::min<std::size_t>(size, stored);
                if (startChunk * 16 + n > kMbUnit) return {};
                value.assign(unit + startChunk * 16, n);
            }
        } catch (const IoError& e) {
            throw TableError(e.what(), TableError::Kind::Io, path_);
        }
    }
    if (physicalType == kGraphic && value.size() >= 8) value.erase(0, 8);
    return value;
}

MemoWriter::MemoWriter(FileHandle& file) : file_(file), size_(kMbUnit) {
    header_.assign(kMbUnit, 0);
    char* h = header_.data();
    putLe16(h + 0x01, 1);
    const unsigned char constant[] = {0x82, 0x73, 0x02, 0x00, 0x29, 0x00};
    std::memcpy(h + 0x05, constant, sizeof constant);
    putLe16(h + 0x0B, 0x1000);
    putLe16(h + 0x0D, 0x1000);
    h[0x10] = 0x10;
    putLe16(h + 0x11, 0x0040);
    putLe16(h + 0x13, 0x0800);
    putLe16(h + 0x29, 0x02A1);
}

std::uint32_t MemoWriter::addLarge(const std::string& data) {
    const std::size_t units = (data.size() + 9 + kMbUnit - 1) / kMbUnit;
    if (size_ + units * kMbUnit > 0xFFFFFF00u)
        throw TableError("Die Memodatei wird zu groß (mehr als 4 GB).", TableError::Kind::Limit);
    const std::uint64_t offset = size_;
    char head[9] = {};
    head[0] = 2;
    putLe16(head + 1, static_cast<std::uint32_t>(units));
    putLe32(head + 3, static_cast<std::uint32_t>(data.size()));
    putLe16(head + 7, modification_);
    static const char zeros[kMbUnit] = {};
    file_.seek(offset);
    file_.write(head, sizeof head);
    file_.write(data.data(), data.size());
    file_.write(zeros, units * kMbUnit - 9 - data.size());
    size_ += units * kMbUnit;
    return static_cast<std::uint32_t>(offset) | 0xFFu;
}

void MemoWriter::closeSubBlock() {
    if (openSubBlock_ == 0) return;
    file_.seek(openSubBlock_);
    file_.write(subBlock_.data(), subBlock_.size());
    openSubBlock_ = 0;
}

std::uint32_t MemoWriter::addSmall(const std::string& data, std::uint8_t& slotIndex) {
    std::size_t chunks = (data.size() + 15) / 16;
    if (openSubBlock_ == 0 || nextSlot_ < 0 || static_cast<std::size_t>(nextChunk_) + chunks > kChunks) {
        if (size_ + kMbUnit > 0xFFFFFF00u)
            throw TableError("Die Memodatei wird zu groß (mehr als 4 GB).", TableError::Kind::Limit);
        closeSubBlock();
        openSubBlock_ = static_cast<std::uint32_t>(size_);
        size_ += kMbUnit;
        subBlock_.assign(kMbUnit, 0);
        char* b = subBlock_.data();
        b[0] = 3;
        putLe16(b + 1, 1);
        nextChunk_ = static_cast<int>(kFirstDataChunk);
        nextSlot_ = static_cast<int>(kSlots) - 1;  // slots are used from the top down
    }
    char* b = subBlock_.data();
    slotIndex = static_cast<std::uint8_t>(nextSlot_--);
    char* slot = b + 0x0C + 5 * slotIndex;
    slot[0] = static_cast<char>(nextChunk_);
    slot[1] = static_cast<char>(chunks);
    putLe16(slot + 2, modification_);
    slot[4] = static_cast<char>(data.size() - (chunks - 1) * 16);
    std::memcpy(b + static_cast<std::size_t>(nextChunk_) * 16, data.data(), data.size());
    nextChunk_ += static_cast<int>(chunks);
    return openSubBlock_ | slotIndex;
}

void MemoWriter::store(char* field, int length, int physicalType, const std::string& value) {
    const std::size_t leader = static_cast<std::size_t>(length) - kTail;
    std::memset(field, 0, static_cast<std::size_t>(length));
    if (value.empty()) return;
    std::string data = value;
    if (physicalType == kGraphic) {
        char prefix[8];
        std::memcpy(prefix, kGraphicPrefix, 4);
        putLe32(prefix + 4, static_cast<std::uint32_t>(value.size()));
        data.insert(0, prefix, 8);
    }
    if (data.size() > 0xFFFFFFFFu) throw TableError("Ein Memo- oder Blobwert ist zu groß.", TableError::Kind::Limit);
    std::memcpy(field, data.data(), std::min(leader, data.size()));
    char* tail = field + leader;
    putLe32(tail + 4, static_cast<std::uint32_t>(data.size()));
    if (data.size() <= leader) return;
    std::uint32_t pointer;
    if (data.size() <= kSmallLimit) {
        std::uint8_t slot = 0;
        pointer = addSmall(data, slot);
    } else {
        pointer = addLarge(data);
    }
    putLe32(tail, pointer);
    putLe16(tail + 8, modification_);
}

void MemoWriter::finish() {
    closeSubBlock();
    putLe16(header_.data() + 0x03, modification_);
    file_.seek(0);
    file_.write(header_.data(), header_.size());
}

}  // namespace kimport::paradox
