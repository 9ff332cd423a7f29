#include "tablestore/dbase/DbfMemo.h"

#include <algorithm>

namespace kimport::dbase {

namespace {
constexpr std::uint32_t kFptHeaderBytes = 512;
constexpr std::uint32_t kFptBlockSize = 64;
constexpr std::uint32_t kDbtBlockSize = 512;
const char kDbtIVMark[4] = {'\xFF', '\xFF', '\x08', '\x00'};
}  // namespace

MemoFileReader::MemoFileReader(std::vector<char> data, MemoStyle style) : data_(std::move(data)), style_(style) {
    if (style_ == MemoStyle::Fpt) {
        if (data_.size() >= 8)
            blockSize_ = static_cast<unsigned char>(data_[6]) << 8 | static_cast<unsigned char>(data_[7]);
        // FoxPro's SET BLOCKSIZE TO 0 allocates by bytes.
        if (blockSize_ == 0) blockSize_ = 1;
    } else if (style_ == MemoStyle::DbtIV && data_.size() >= 0x16) {
        blockSize_ = le16(data_.data() + 0x14);
        if (blockSize_ == 0) blockSize_ = le32(data_.data() + 4);
        if (blockSize_ == 0) blockSize_ = kDbtBlockSize;
    }
}

std::optional<std::string_view> MemoFileReader::untilEndMark(std::uint64_t offset, std::uint64_t maxLength,
                                                             bool& tooLong) const {
    // dBase III ends a value with 1A 1A, FoxPro with a single 1A: stop at the first.
    // The search goes no further than the longest value still wanted.
    auto begin = data_.begin() + static_cast<std::ptrdiff_t>(offset);
    std::uint64_t searchable = std::min<std::uint64_t>(data_.size() - offset, maxLength + 1);
    auto end = std::find(begin, begin + static_cast<std::ptrdiff_t>(searchable), '\x1A');
    auto length = static_cast<std::uint64_t>(end - begin);
    if (length > maxLength) {
        tooLong = true;
        return std::nullopt;
    }
    return std::string_view(data_.data() + offset, static_cast<std::size_t>(length));
}

std::optional<std::string_view> MemoFileReader::valueAt(std::uint64_t block, std::uint64_t maxLength,
                                                        bool& tooLong) const {
    const std::uint64_t size = data_.size();
    if (block == 0 || block > size / blockSize_) return std::nullopt;
    const std::uint64_t offset = block * blockSize_;
    if (offset >= size) return std::nullopt;
    const std::uint64_t available = size - offset;
    const char* p = data_.data() + offset;
    auto limited = [&](const char* start, std::uint64_t length) -> std::optional<std::string_view> {
        if (length > maxLength) {
            tooLong = true;
            return std::nullopt;
        }
        return std::string_view(start, static_cast<std::size_t>(length));
    };
    switch (style_) {
        case MemoStyle::Fpt:
            if (offset < kFptHeaderBytes || available < 8) return std::nullopt;
            return limited(p + 8, std::min<std::uint64_t>(be32(p + 4), available - 8));
        case MemoStyle::DbtIV:
            if (available >= 8 && std::equal(kDbtIVMark, kDbtIVMark + 4, p)) {
                std::uint32_t stored = le32(p + 4);  // counts the 8 bytes of the block header
                return limited(p + 8, stored < 8 ? 0 : std::min<std::uint64_t>(stored - 8, available - 8));
            }
            return untilEndMark(offset, maxLength, tooLong);  // some writers put dBase III values into dBase IV files
        case MemoStyle::DbtIII:
            return untilEndMark(offset, maxLength, tooLong);
        case MemoStyle::None:
            break;
    }
    return std::nullopt;
}

MemoFileWriter::MemoFileWriter(MemoStyle style, std::string tableBaseName, std::uint32_t blockSize)
    : style_(style), baseName_(std::move(tableBaseName)) {
    // dBase III files always have 512-byte blocks; the others keep the size they were read with.
    if (style == MemoStyle::DbtIII || blockSize == 0 || blockSize > 0xFFFF)
        blockSize = style == MemoStyle::Fpt ? kFptBlockSize : kDbtBlockSize;
    if (style == MemoStyle::DbtIV && blockSize % 64 != 0) blockSize = kDbtBlockSize;
    blockSize_ = blockSize;
}

std::uint64_t MemoFileWriter::firstBlock() const {
    return style_ == MemoStyle::Fpt ? (kFptHeaderBytes + blockSize_ - 1) / blockSize_ : 1;
}

std::uint64_t MemoFileWriter::blocksFor(std::size_t length) const {
    std::uint64_t bytes = length + (style_ == MemoStyle::DbtIII ? 2 : 8);
    return (bytes + blockSize_ - 1) / blockSize_;
}

std::string MemoFileWriter::header(std::uint64_t nextFree) const {
    std::string h(style_ == MemoStyle::Fpt ? firstBlock() * blockSize_ : blockSize_, '\0');
    auto next = static_cast<std::uint32_t>(nextFree);
    if (style_ == MemoStyle::Fpt) {
        putBe32(h.data(), next);
        h[6] = static_cast<char>(blockSize_ >> 8);
        h[7] = static_cast<char>(blockSize_ & 0xFF);
        return h;
    }
    putLe32(h.data(), next);
    if (style_ == MemoStyle::DbtIV) {
        h.replace(8, std::min<std::size_t>(baseName_.size(), 8), baseName_.substr(0, 8));
        h[0x12] = 0x02;
        h[0x13] = 0x01;
        putLe16(h.data() + 0x14, blockSize_);
    }
    return h;
}

void MemoFileWriter::writeValue(BufferedOutput& out, std::string_view value, std::uint32_t fptType) const {
    char head[8];
    std::size_t used = value.size();
    if (style_ == MemoStyle::Fpt) {
        putBe32(head, fptType);
        putBe32(head + 4, static_cast<std::uint32_t>(value.size()));
        out.write(head, 8);
        out.write(value.data(), value.size());
        used += 8;
    } else if (style_ == MemoStyle::DbtIV) {
        std::copy(kDbtIVMark, kDbtIVMark + 4, head);
        putLe32(head + 4, static_cast<std::uint32_t>(value.size() + 8));
        out.write(head, 8);
        out.write(value.data(), value.size());
        used += 8;
    } else {
        out.write(value.data(), value.size());
        out.write("\x1A\x1A", 2);
        used += 2;
    }
    auto padding = static_cast<std::size_t>(blocksFor(value.size()) * blockSize_ - used);
    if (style_ != MemoStyle::DbtIV) return out.fill('\0', padding);
    // dBase IV fills the rest of a value's last block with 1F 20; readers that cut at 0x1F rely on it.
    for (std::size_t i = 0; i < padding; ++i) out.write(i % 2 == 0 ? "\x1F" : " ", 1);
}

std::uint32_t fptBlockType(const FieldDef& field) {
    switch (field.letter) {
        case 'M':
            return 1;
        case 'G':
            return 2;
        default:
            return 0;
    }
}

}  // namespace kimport::dbase
