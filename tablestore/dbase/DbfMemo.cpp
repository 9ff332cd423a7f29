#include "tablestore/dbase/DbfMemo.h"

#include <algorithm>
#include <cstring>

namespace kimport::dbase {

namespace {
constexpr std::uint32_t kFptHeaderBytes = 512;
constexpr std::uint32_t kFptBlockSize = 64;
constexpr std::uint32_t kDbtBlockSize = 512;
const char kDbtIVMark[4] = {'\xFF', '\xFF', '\x08', '\x00'};
}  // namespace

MemoFileReader::MemoFileReader(std::unique_ptr<FileHandle> file, MemoStyle style)
    : file_(std::move(file)), size_(file_->size()), window_(*file_, size_), style_(style) {
    if (style_ == MemoStyle::Fpt) {
        if (const char* h = bytesAt(0, 8)) blockSize_ = static_cast<unsigned char>(h[6]) << 8 | static_cast<unsigned char>(h[7]);
        // FoxPro's SET BLOCKSIZE TO 0 allocates by bytes.
        if (blockSize_ == 0) blockSize_ = 1;
    } else if (style_ == MemoStyle::DbtIV) {
        if (const char* h = bytesAt(0, 0x16)) {
            blockSize_ = le16(h + 0x14);
            if (blockSize_ == 0) blockSize_ = le32(h + 4);
            if (blockSize_ == 0) blockSize_ = kDbtBlockSize;
        }
    }
}

const char* MemoFileReader::bytesAt(std::uint64_t offset, std::size_t n) {
    const char* p = nullptr;
    return window_.read(offset, n, p) == n ? p : nullptr;
}

std::optional<std::string> MemoFileReader::untilEndMark(std::uint64_t offset, std::uint64_t maxLength, bool& tooLong) {
    // dBase III ends a value with 1A 1A, FoxPro with a single 1A: stop at the first.
    // The search goes no further than the longest value still wanted.
    const std::uint64_t searchable = std::min<std::uint64_t>(size_ - offset, maxLength + 1);
    std::string value;
    for (std::uint64_t done = 0; done < searchable;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(searchable - done, 1 << 16));
        const char* p = bytesAt(offset + done, n);
        if (!p) break;
        const char* mark = static_cast<const char*>(std::memchr(p, '\x1A', n));
        value.append(p, mark ? static_cast<std::size_t>(mark - p) : n);
        if (mark) break;
        done += n;
    }
    if (value.size() > maxLength) {
        tooLong = true;
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> MemoFileReader::valueAt(std::uint64_t block, std::uint64_t maxLength, bool& tooLong) {
    if (block == 0 || block > size_ / blockSize_) return std::nullopt;
    const std::uint64_t offset = block * blockSize_;
    if (offset >= size_) return std::nullopt;
    const std::uint64_t available = size_ - offset;
    auto limited = [&](std::uint64_t start, std::uint64_t length) -> std::optional<std::string> {
        if (length > maxLength) {
            tooLong = true;
            return std::nullopt;
        }
        const char* p = bytesAt(start, static_cast<std::size_t>(length));
        if (!p) return std::nullopt;
        return std::string(p, static_cast<std::size_t>(length));
    };
    switch (style_) {
        case MemoStyle::Fpt: {
            if (offset < kFptHeaderBytes || available < 8) return std::nullopt;
            const char* head = bytesAt(offset, 8);
            if (!head) return std::nullopt;
            return limited(offset + 8, std::min<std::uint64_t>(be32(head + 4), available - 8));
        }
        case MemoStyle::DbtIV: {
            const char* head = available >= 8 ? bytesAt(offset, 8) : nullptr;
            if (head && std::equal(kDbtIVMark, kDbtIVMark + 4, head)) {
                std::uint32_t stored = le32(head + 4);  // counts the 8 bytes of the block header
                return limited(offset + 8, stored < 8 ? 0 : std::min<std::uint64_t>(stored - 8, available - 8));
            }
            return untilEndMark(offset, maxLength, tooLong);  // some writers put dBase III values into dBase IV files
        }
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
