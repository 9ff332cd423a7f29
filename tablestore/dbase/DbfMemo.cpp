// The three memo layouts differ in what a value knows about itself: a dBase III
// value only ends at its mark, a dBase IV value has a head with its length, an
// FPT value a big-endian head with its type and length. A value may span as many
// blocks as it needs; block numbers in the records are the only index.
#include "tablestore/dbase/DbfMemo.h"

#include <algorithm>
#include <cstring>

namespace kimport::dbase {

namespace {
// Block lengths of dBase IV memo files are multiples of this; a size read that is none is not kept.
constexpr std::uint32_t kDbtIVBlockStep = 64;
// The 1A 1A that ends a dBase III value.
constexpr char kDbtEndMarks[2] = {kDbtEndMark, kDbtEndMark};
}  // namespace

MemoStyle memoStyleOf(int version) {
    if (isFoxPro(version)) return MemoStyle::Fpt;
    if (version == kDBaseIIIMemo) return MemoStyle::DbtIII;
    return (version & kDBaseIVMemoBit) || isLevel7(version) || version == kDBase5 ? MemoStyle::DbtIV
                                                                                  : MemoStyle::DbtIII;
}

MemoFileReader::MemoFileReader(std::unique_ptr<FileHandle> file, MemoStyle style)
    : file_(std::move(file)), size_(file_->size()), window_(*file_, size_), style_(style) {
    // A header cut short leaves the default of 512 bytes.
    if (style_ == MemoStyle::Fpt) {
        if (const char* h = bytesAt(0, kFptBlockSizeAt + 2)) blockSize_ = be16(h + kFptBlockSizeAt);
        // FoxPro's SET BLOCKSIZE TO 0 allocates by bytes.
        if (blockSize_ == 0) blockSize_ = 1;
    } else if (style_ == MemoStyle::DbtIV) {
        if (const char* h = bytesAt(0, kDbtIVBlockSizeAt + 2)) {
            // dBase keeps the size at 0x14; other writers put it at 4 and leave 0x14 empty.
            blockSize_ = le16(h + kDbtIVBlockSizeAt);
            if (blockSize_ == 0) blockSize_ = le32(h + kDbtIVBlockSize32At);
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
        const char* mark = static_cast<const char*>(std::memchr(p, kDbtEndMark, n));
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
    // Block 0 is the header in every layout: a pointer to it is no value.
    if (block == 0 || block > size_ / blockSize_) return std::nullopt;
    const std::uint64_t offset = block * blockSize_;
    if (offset >= size_) return std::nullopt;
    const std::uint64_t available = size_ - offset;
    // A stated length past the file's end is cut at the end: a file cut short keeps its values' starts.
    auto limited = [&](std::uint64_t start, std::uint64_t length) -> std::optional<std::string> {
        if (length > maxLength) {
            tooLong = true;
            return std::nullopt;
        }
        const char* p = bytesAt(start, static_cast<std::size_t>(length));
        if (!p) return std::nullopt;
        return std::string(p, static_cast<std::size_t>(length));
    };
    constexpr std::size_t kHead = kMemoValueHeadBytes;
    switch (style_) {
        case MemoStyle::Fpt: {
            // Block numbers inside the header point at no value: a damaged pointer, not a value.
            if (offset < kFptHeaderBytes || available < kHead) return std::nullopt;
            const char* head = bytesAt(offset, kHead);
            if (!head) return std::nullopt;
            return limited(offset + kHead, std::min<std::uint64_t>(be32(head + kFptValueLengthAt), available - kHead));
        }
        case MemoStyle::DbtIV: {
            const char* head = available >= kHead ? bytesAt(offset, kHead) : nullptr;
            if (head && std::equal(kDbtIVValueMark, kDbtIVValueMark + 4, head)) {
                std::uint32_t stored = le32(head + kDbtIVValueLengthAt);  // counts the 8 bytes of the head
                return limited(offset + kHead,
                               stored < kHead ? 0 : std::min<std::uint64_t>(stored - kHead, available - kHead));
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
    // dBase III files always have 512-byte blocks; the others keep the size they were read with, so
    // that the blocks of the values kept stay where their pointers say.
    if (style == MemoStyle::DbtIII || blockSize == 0 || blockSize > 0xFFFF)
        blockSize = style == MemoStyle::Fpt ? kFptBlockSize : kDbtBlockSize;
    if (style == MemoStyle::DbtIV && blockSize % kDbtIVBlockStep != 0) blockSize = kDbtBlockSize;
    blockSize_ = blockSize;
}

std::uint64_t MemoFileWriter::firstBlock() const {
    // An .FPT's header takes 512 bytes whatever the block size: with 64-byte blocks the first value
    // is in block 8. The .DBT's header is block 0.
    return style_ == MemoStyle::Fpt ? (kFptHeaderBytes + blockSize_ - 1) / blockSize_ : 1;
}

std::uint64_t MemoFileWriter::blocksFor(std::size_t length) const {
    std::uint64_t bytes = length + (style_ == MemoStyle::DbtIII ? sizeof kDbtEndMarks : kMemoValueHeadBytes);
    return (bytes + blockSize_ - 1) / blockSize_;
}

// The header of a fresh file: the next free block, where dBase and FoxPro append their next value, and
// the block size where the layout keeps it.
std::string MemoFileWriter::header(std::uint64_t nextFree) const {
    std::string h(style_ == MemoStyle::Fpt ? firstBlock() * blockSize_ : blockSize_, '\0');
    h.replace(nextFreeAt(), 4, nextFreeBytes(nextFree));
    if (style_ == MemoStyle::Fpt) {
        putBe16(h.data() + kFptBlockSizeAt, blockSize_);
        return h;
    }
    if (style_ == MemoStyle::DbtIV) {
        // The table's name and the two bytes dBase's own files have there; the block size where dBase
        // keeps it, which is the only place some readers look.
        h.replace(kDbtIVBaseNameAt, std::min<std::size_t>(baseName_.size(), kDbtIVBaseNameBytes),
                  baseName_.substr(0, kDbtIVBaseNameBytes));
        h[kDbtIVMarkAt] = 0x02;
        h[kDbtIVMarkAt + 1] = 0x01;
        putLe16(h.data() + kDbtIVBlockSizeAt, blockSize_);
    }
    return h;
}

std::string MemoFileWriter::valueHead(std::size_t length, std::uint32_t fptType) const {
    std::string head(kMemoValueHeadBytes, '\0');
    if (style_ == MemoStyle::Fpt) {
        putBe32(head.data() + kFptValueTypeAt, fptType);
        putBe32(head.data() + kFptValueLengthAt, static_cast<std::uint32_t>(length));
    } else if (style_ == MemoStyle::DbtIV) {
        std::copy(kDbtIVValueMark, kDbtIVValueMark + 4, head.data());
        putLe32(head.data() + kDbtIVValueLengthAt, static_cast<std::uint32_t>(length + head.size()));
    } else {
        head.clear();  // a dBase III value has no head
    }
    return head;
}

std::string MemoFileWriter::valueTail(std::size_t length) const {
    // No length is stored in dBase III: a value cannot hold 1A, which would end it early on reading.
    std::string tail = style_ == MemoStyle::DbtIII ? std::string(kDbtEndMarks, sizeof kDbtEndMarks) : std::string();
    const std::size_t used = length + tail.size() + (style_ == MemoStyle::DbtIII ? 0 : kMemoValueHeadBytes);
    const auto padding = static_cast<std::size_t>(blocksFor(length) * blockSize_ - used);
    if (style_ != MemoStyle::DbtIV) return tail.append(padding, '\0');
    // dBase IV fills the rest of a value's last block with 1F 20; readers that cut at 0x1F rely on it.
    for (std::size_t i = 0; i < padding; ++i) tail += kDbtIVFiller[i % 2];
    return tail;
}

void MemoFileWriter::writeValue(BufferedOutput& out, std::string_view value, std::uint32_t fptType) const {
    out.write(valueHead(value.size(), fptType));
    out.write(value.data(), value.size());
    out.write(valueTail(value.size()));
}

std::uint64_t MemoFileWriter::nextFreeAt() const {
    return style_ == MemoStyle::Fpt ? kFptNextFreeAt : kDbtNextFreeAt;
}

std::string MemoFileWriter::nextFreeBytes(std::uint64_t nextFree) const {
    std::string bytes(4, '\0');
    if (style_ == MemoStyle::Fpt)
        putBe32(bytes.data(), static_cast<std::uint32_t>(nextFree));
    else
        putLe32(bytes.data(), static_cast<std::uint32_t>(nextFree));
    return bytes;
}

std::uint32_t fptBlockType(const FieldDef& field) {
    switch (field.letter) {
        case 'M':
            return kFptText;
        case 'G':
            return kFptObject;
        default:
            return kFptPicture;
    }
}

}  // namespace kimport::dbase
