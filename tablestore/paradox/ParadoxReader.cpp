// Reads a Paradox table (.DB with its .MB) into a table image. Records are
// taken in the order of the block chain; every count, offset and pointer is
// checked against the file before it is used.
//
// The chain, not the physical order, is the table: Paradox inserts a block
// where a keyed record belongs and links it in, so block 34 may sit between
// blocks 4 and 5, and blocks it freed stay in the file with stale records.
// The header's counts are only hints; what the chain holds is what is read.
#include "tablestore/paradox/ParadoxReader.h"

#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/Bytes.h"
#include "tablestore/RowFeed.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/WindowedFile.h"
#include "tablestore/paradox/ParadoxFormat.h"
#include "tablestore/paradox/ParadoxMemo.h"

#include <algorithm>
#include <cstring>

namespace kimport::paradox {

namespace {

using namespace kimport::bytes;

[[noreturn]] void damaged(const std::string& path, const std::string& detail) {
    throw TableError("Die Tabelle " + fileNameOf(path) + " ist beschädigt (" + detail + ").", TableError::Kind::Damaged,
                     path);
}

struct HeaderFacts {
    int recordSize = 0, headerSize = 0, fileType = 0, blockKb = 0;
    std::uint32_t recordCount = 0;
    int usedBlocks = 0, firstBlock = 0, numFields = 0, keyFields = 0, sortOrder = 0, version = 0;
    std::uint32_t autoInc = 0;
    int codePage = 0;
};

HeaderFacts readHeader(const std::vector<char>& d, const std::string& path, int codePageIfNone) {
    if (d.size() < kExtensionAt) damaged(path, "Dateikopf zu kurz");
    HeaderFacts h;
    const char* p = d.data();
    h.recordSize = le16(p + kRecordSizeAt);
    h.headerSize = le16(p + kHeaderSizeAt);
    h.fileType = static_cast<unsigned char>(p[kFileTypeAt]);
    h.blockKb = static_cast<unsigned char>(p[kBlockSizeAt]);
    h.recordCount = le32(p + kRecordCountAt);
    h.usedBlocks = le16(p + kUsedBlocksAt);
    h.firstBlock = le16(p + kFirstBlockAt);
    h.numFields = static_cast<std::int16_t>(le16(p + kFieldCountAt));
    h.keyFields = static_cast<std::int16_t>(le16(p + kKeyFieldCountAt));
    h.sortOrder = static_cast<unsigned char>(p[kSortOrderAt]);
    h.version = static_cast<unsigned char>(p[kVersionAt]);
    h.autoInc = le32(p + kAutoIncAt);
    // A .PX or a secondary index has the same header: opened by mistake, it must not read as records.
    if (h.fileType != kKeyedTable && h.fileType != kUnkeyedTable)
        throw TableError("Die Datei " + fileNameOf(path) + " ist keine Paradox-Tabelle.", TableError::Kind::Damaged, path);
    if (h.version < kLevel30 || h.version > kLevel7)
        throw TableError("Die Tabelle " + fileNameOf(path) + " hat eine unbekannte Paradox-Version (" +
                         std::to_string(h.version) + ").",
                         TableError::Kind::Damaged, path);
    // Level 3 keeps the password's key in the first word; later levels put a fixed mark there and the
    // key in the extension. An encrypted table is scrambled block by block, .MB included: refused whole.
    std::uint32_t enc1 = le32(p + kEncryptionAt);
    bool encrypted = hasExtension(h.version) ? (d.size() >= kEncryption2At + 4 && le32(p + kEncryption2At) != 0) ||
                                                   (enc1 != 0 && enc1 != kPlainMark)
                                             : enc1 != 0;
    if (encrypted)
        throw TableError(
            "Die Tabelle " + fileNameOf(path) + " ist mit einem Kennwort verschlüsselt und kann nicht gelesen werden.",
            TableError::Kind::Unsupported, path);
    if (h.blockKb < 1 || h.blockKb > kMaxBlockKb) damaged(path, "ungültige Blockgröße");
    if (h.numFields <= 0 || h.numFields > kMaxFields) damaged(path, "ungültige Feldanzahl");
    if (h.keyFields < 0 || h.keyFields > h.numFields) damaged(path, "ungültige Schlüsselfeldanzahl");
    if (h.recordSize <= 0) damaged(path, "ungültige Satzlänge");
    if (h.headerSize < static_cast<int>(kExtensionAt) || static_cast<std::size_t>(h.headerSize) > d.size())
        damaged(path, "ungültige Kopflänge");
    if (hasExtension(h.version)) {
        if (d.size() < kExtensionEnd) damaged(path, "Dateikopf zu kurz");
        h.codePage = le16(p + kCodePageAt);
    }
    // Level 3 names no code page, and some later tables state 0 (ROMAN8 files): the caller's choice
    // comes first, then what the sort order implies, else DOS 437, which Paradox for DOS used.
    if (h.codePage == 0 && codePageIfNone != 0) h.codePage = codePageIfNone;
    if (h.codePage == 0) h.codePage = hasExtension(h.version) ? codePageForSortOrder(h.sortOrder) : 437;
    requireCodePage(h.codePage, path);
    return h;
}

// Where the records lie: a chain of blocks after the header, each with a 6-byte head (next block,
// previous block, bytes used after the first record). Every block is checked as it is met: inside
// the file, not met before (a loop would read forever), and its record count within its size.
struct BlockChain {
    std::string dataPath;
    std::uint64_t fileSize = 0;
    std::size_t headerEnd = 0, blockSize = 0, recordSize = 0;
    std::uint32_t headerRecordCount = 0;
    std::size_t firstBlock = 0;

    // A last block cut short at the end of the file still counts when the records it uses are complete.
    std::size_t blocksInFile() const { return static_cast<std::size_t>((fileSize - headerEnd + blockSize - 1) / blockSize); }
    std::size_t perBlock() const { return (blockSize - kBlockHeadBytes) / recordSize; }
    std::uint64_t blockStart(std::size_t block) const {
        return headerEnd + static_cast<std::uint64_t>(block - 1) * blockSize;
    }
    // The bytes of a block the file holds.
    std::size_t bytesOf(std::size_t block) const {
        const std::uint64_t start = blockStart(block);
        return start >= fileSize ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(blockSize, fileSize - start));
    }
    // Checks a block before its records are taken (have: the bytes of it the file holds); returns
    // its record count from its head.
    std::size_t recordsIn(std::size_t block, const char* head, std::size_t have, std::vector<bool>& seen) const {
        if (block > blocksInFile()) damaged(dataPath, "Blockverweis außerhalb der Datei");
        if (seen[block]) damaged(dataPath, "Blockkette mit Schleife");
        seen[block] = true;
        if (have < kBlockHeadBytes || !head) damaged(dataPath, "Blockverweis außerhalb der Datei");
        // The head counts the bytes after the first record; an empty block says -recordSize.
        auto addDataSize = static_cast<std::int16_t>(le16(head + kLastRecordAt));
        const std::size_t count = addDataSize < 0 ? 0 : static_cast<std::size_t>(addDataSize) / recordSize + 1;
        if (count > perBlock()) damaged(dataPath, "Block mit zu vielen Datensätzen");
        if (kBlockHeadBytes + count * recordSize > have) damaged(dataPath, "Blockverweis außerhalb der Datei");
        return count;
    }
};

// Hands out the records block by block along the chain, with their blob values.
class BlockFeed : public RowFeed {
public:
    BlockFeed(std::unique_ptr<FileHandle> file, BlockChain chain, std::unique_ptr<MemoFile> memo)
        : file_(std::move(file)), chain_(std::move(chain)), memo_(std::move(memo)), blocks_(*file_, chain_.fileSize) {
        restart();
    }

    std::uint64_t liveRecords() override {
        // Only the blocks' heads are read; the chain is checked as a batch would check it.
        std::vector<bool> seen(chain_.blocksInFile() + 1, false);
        std::uint64_t records = 0;
        char head[kBlockHeadBytes];
        for (std::size_t block = chain_.firstBlock; block != 0; block = le16(head + kNextBlockAt)) {
            std::size_t have = 0;
            if (block <= chain_.blocksInFile() &&
                reading([&] { return readFullyAt(*file_, chain_.blockStart(block), head, sizeof head); }) == sizeof head)
                have = chain_.bytesOf(block);
            records += chain_.recordsIn(block, head, have, seen);
        }
        return records;
    }

    void restart() override {
        block_ = chain_.firstBlock;
        seen_.assign(chain_.blocksInFile() + 1, false);
    }

    bool nextBatch(TableImage& image, std::size_t rows) override {
        const std::uint32_t first = image.rowCount();
        const std::size_t most = std::min<std::size_t>(chain_.headerRecordCount, chain_.blocksInFile() * chain_.perBlock());
        image.rows.reserve(std::min(rows, most), chain_.recordSize);
        while (block_ != 0 && image.rowCount() - first < rows) {
            const char* b = nullptr;
            std::size_t have = 0;
            if (block_ <= chain_.blocksInFile())
                have = reading([&] { return blocks_.read(chain_.blockStart(block_), chain_.blockSize, b); });
            const std::size_t count = chain_.recordsIn(block_, b, have, seen_);
            for (std::size_t i = 0; i < count; ++i)
                image.order.push_back(image.appendRow(b + kBlockHeadBytes + i * chain_.recordSize));
            block_ = le16(b + kNextBlockAt);
        }
        if (memo_) takeBlobs(image, first);
        return image.rowCount() > first;
    }

private:
    // A read of the file; a failure of the disk is the table store's error, whenever the cursor meets it.
    template <class Read>
    std::size_t reading(Read&& read) {
        try {
            return read();
        } catch (const IoError& e) {
            throw TableError(e.what(), TableError::Kind::Io, chain_.dataPath);
        }
    }

    // Replaces the blob fields' pointers into the .MB by handles of the values read: the image never
    // points into a file, so a save can write a fresh .MB while the old one is still the table's.
    void takeBlobs(TableImage& image, std::uint32_t first) {
        for (std::uint32_t r = first; r < image.rowCount(); ++r) {
            for (const FieldDef& f : image.fields) {
                if (!isBlobPhysical(f.physicalType)) continue;
                char* p = image.row(r) + f.offset;
                std::string value = memo_->valueOf(p, f.length, f.physicalType);
                std::memset(p, 0, static_cast<std::size_t>(f.length));
                BlobStore::storeHandle(p, image.blobs.add(std::move(value)));
            }
        }
    }

    std::unique_ptr<FileHandle> file_;
    BlockChain chain_;
    std::unique_ptr<MemoFile> memo_;
    WindowedFile blocks_;
    std::size_t block_ = 0;
    std::vector<bool> seen_;
};

}  // namespace

TableStream openStream(const std::string& dataPath, FileSystem& fs, int codePageIfNone) {
    // The header is read first, then the blocks through a window: the file is never held twice.
    std::unique_ptr<FileHandle> file;
    std::uint64_t fileSize = 0;
    std::vector<char> d;  // the file's first bytes, at least the header
    try {
        file = fs.openRead(dataPath);
        fileSize = file->size();
        d.resize(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kMostHeaderBytes)));
        d.resize(readFullyAt(*file, 0, d.data(), d.size()));
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, dataPath);
    }
    HeaderFacts h = readHeader(d, dataPath, codePageIfNone);
    auto image = std::make_unique<TableImage>();
    image->format = TableFormat::Paradox;
    image->dataPath = dataPath;
    image->paradox.version = h.version;
    image->codePage = h.codePage;
    image->keyFieldCount = h.keyFields;
    image->recordLength = h.recordSize;
    image->paradox.blockSizeKb = h.blockKb;
    image->paradox.sortOrder = h.sortOrder;
    image->lastAutoInc = h.autoInc;

    // Field descriptions and names in the variable part of the header: a type and a size byte per
    // field, a table-name pointer and a pointer per field (both only meaningful in Paradox's memory),
    // the table name at creation, then the field names, each ending with a zero byte.
    const std::size_t start = fieldListStart(h.version);
    const std::size_t n = static_cast<std::size_t>(h.numFields);
    std::size_t namesAt = start + 2 * n + 4 + 4 * n + static_cast<std::size_t>(tableNameLength(h.version));
    const std::size_t headerEnd = static_cast<std::size_t>(h.headerSize);
    if (namesAt >= headerEnd) damaged(dataPath, "Feldbeschreibungen außerhalb des Dateikopfs");
    int offset = 0;
    std::size_t pos = namesAt;
    for (std::size_t i = 0; i < n; ++i) {
        FieldDef f;
        f.physicalType = static_cast<unsigned char>(d[start + 2 * i]);
        int size = static_cast<unsigned char>(d[start + 2 * i + 1]);
        TypeInfo info = typeInfo(f.physicalType);
        f.letter = info.letter;
        f.type = info.logical;
        f.length = f.physicalType == kBcd ? static_cast<int>(kBcdLength) : size;
        f.decimals = f.physicalType == kBcd ? size : 0;
        if (f.length <= 0) damaged(dataPath, "Feldlänge 0");
        // The size a user sees: the text length, the leader of a blob, the decimals of a BCD field.
        if (f.physicalType == kAlpha || f.physicalType == kBytes) f.size = size;
        else if (isBlobPhysical(f.physicalType)) {
            if (size < static_cast<int>(kBlobTailBytes)) damaged(dataPath, "Blob-Feld zu kurz");
            f.size = size - static_cast<int>(kBlobTailBytes);
        } else if (f.physicalType == kBcd) f.size = size;
        f.offset = offset;
        offset += f.length;
        std::size_t end = pos;
        while (end < headerEnd && d[end]) ++end;
        if (end >= headerEnd) damaged(dataPath, "Feldnamen außerhalb des Dateikopfs");
        f.name = decodeCodePage(std::string_view(d.data() + pos, end - pos), h.codePage);
        pos = end + 1;
        image->fields.push_back(std::move(f));
    }
    if (offset != h.recordSize) damaged(dataPath, "Satzlänge passt nicht zu den Feldern");
    // After the names come a field number per field and the sort order's name. Only the name is
    // kept: a writer needs it to say which order it cannot keep. A header without it is still read.
    if (hasExtension(h.version)) {
        std::size_t sortAt = pos + 2 * n;
        std::size_t end = sortAt;
        while (end < headerEnd && d[end]) ++end;
        if (end < headerEnd) image->paradox.sortOrderName.assign(d.data() + sortAt, end - sortAt);
    }
    // Kept as read: a save rewrites only its counts (ParadoxHeader), every other byte stays Paradox's.
    image->originalHeader.assign(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(headerEnd));

    bool hasBlobs = false;
    for (const FieldDef& f : image->fields) hasBlobs = hasBlobs || isBlobPhysical(f.physicalType);
    std::unique_ptr<MemoFile> memo;
    // A table with blob fields is refused without its .MB rather than read with every value longer
    // than its leader silently empty.
    if (hasBlobs) {
        std::string mbPath = findIgnoringCase(directoryOf(dataPath) + baseNameOf(dataPath) + ".MB", fs);
        if (!fs.exists(mbPath))
            throw TableError("Die Memodatei " + fileNameOf(mbPath) + " der Tabelle " + fileNameOf(dataPath) + " fehlt.",
                             TableError::Kind::Missing, mbPath);
        memo = std::make_unique<MemoFile>(mbPath, fs);
        image->hasMemoFile = true;
    }
    BlockChain chain{dataPath, fileSize, headerEnd, static_cast<std::size_t>(h.blockKb) * 1024,
                     static_cast<std::size_t>(h.recordSize), h.recordCount, static_cast<std::size_t>(h.firstBlock)};
    auto feed = std::make_unique<BlockFeed>(std::move(file), chain, std::move(memo));
    return TableStream{std::move(image), std::move(feed)};
}

std::unique_ptr<TableImage> readTable(const std::string& dataPath, FileSystem& fs, int codePageIfNone) {
    return readWhole(openStream(dataPath, fs, codePageIfNone));
}

}  // namespace kimport::paradox
