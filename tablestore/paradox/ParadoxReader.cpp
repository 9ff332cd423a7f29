// Reads a Paradox table (.DB with its .MB) into a table image. Records are
// taken in the order of the block chain; every count, offset and pointer is
// checked against the file before it is used.
#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/Bytes.h"
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
    if (d.size() < 0x58) damaged(path, "Dateikopf zu kurz");
    HeaderFacts h;
    const char* p = d.data();
    h.recordSize = le16(p + 0x00);
    h.headerSize = le16(p + 0x02);
    h.fileType = static_cast<unsigned char>(p[0x04]);
    h.blockKb = static_cast<unsigned char>(p[0x05]);
    h.recordCount = le32(p + 0x06);
    h.usedBlocks = le16(p + 0x0A);
    h.firstBlock = le16(p + 0x0E);
    h.numFields = static_cast<std::int16_t>(le16(p + 0x21));
    h.keyFields = static_cast<std::int16_t>(le16(p + 0x23));
    h.sortOrder = static_cast<unsigned char>(p[0x29]);
    h.version = static_cast<unsigned char>(p[0x39]);
    h.autoInc = le32(p + 0x49);
    if (h.fileType != 0 && h.fileType != 2)
        throw TableError("Die Datei " + fileNameOf(path) + " ist keine Paradox-Tabelle.", TableError::Kind::Damaged, path);
    if (h.version < kLevel30 || h.version > kLevel7)
        throw TableError("Die Tabelle " + fileNameOf(path) + " hat eine unbekannte Paradox-Version (" +
                         std::to_string(h.version) + ").",
                         TableError::Kind::Damaged, path);
    std::uint32_t enc1 = le32(p + 0x25);
    bool encrypted = hasExtension(h.version)
                         ? (d.size() >= 0x60 && le32(p + 0x5C) != 0) || (enc1 != 0 && enc1 != 0xFF00FF00u)
                         : enc1 != 0;
    if (encrypted)
        throw TableError("Die Tabelle " + fileNameOf(path) +
                         " ist mit einem Kennwort verschlüsselt und kann nicht gelesen werden.");
    if (h.blockKb < 1 || h.blockKb > 32) damaged(path, "ungültige Blockgröße");
    if (h.numFields <= 0 || h.numFields > 255) damaged(path, "ungültige Feldanzahl");
    if (h.keyFields < 0 || h.keyFields > h.numFields) damaged(path, "ungültige Schlüsselfeldanzahl");
    if (h.recordSize <= 0) damaged(path, "ungültige Satzlänge");
    if (h.headerSize < 0x58 || static_cast<std::size_t>(h.headerSize) > d.size()) damaged(path, "ungültige Kopflänge");
    if (hasExtension(h.version)) {
        if (d.size() < 0x78) damaged(path, "Dateikopf zu kurz");
        h.codePage = le16(p + 0x6A);
    }
    if (h.codePage == 0 && codePageIfNone != 0) h.codePage = codePageIfNone;
    if (h.codePage == 0) h.codePage = hasExtension(h.version) ? codePageForSortOrder(h.sortOrder) : 437;
    requireCodePage(h.codePage, path);
    return h;
}

}  // namespace

std::unique_ptr<TableImage> readTable(const std::string& dataPath, FileSystem& fs, int codePageIfNone) {
    // The header is read first, then the blocks through a window: the file is never held twice.
    std::unique_ptr<FileHandle> file;
    std::uint64_t fileSize = 0;
    std::vector<char> d;  // the file's first bytes, at least the header (its size is a 16-bit number)
    try {
        file = fs.openRead(dataPath);
        fileSize = file->size();
        d.resize(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, 65536)));
        d.resize(readFullyAt(*file, 0, d.data(), d.size()));
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, dataPath);
    }
    HeaderFacts h = readHeader(d, dataPath, codePageIfNone);
    auto image = std::make_unique<TableImage>();
    image->format = TableFormat::Paradox;
    image->dataPath = dataPath;
    image->version = h.version;
    image->codePage = h.codePage;
    image->keyFieldCount = h.keyFields;
    image->recordLength = h.recordSize;
    image->paradoxBlockSizeKb = h.blockKb;
    image->paradoxSortOrder = h.sortOrder;
    image->lastAutoInc = h.autoInc;

    // Field descriptions and names in the variable part of the header.
    const std::size_t start = hasExtension(h.version) ? 0x78 : 0x58;
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
        if (f.physicalType == kAlpha || f.physicalType == kBytes) f.size = size;
        else if (isBlobPhysical(f.physicalType)) {
            if (size < 10) damaged(dataPath, "Blob-Feld zu kurz");
            f.size = size - 10;
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
    if (hasExtension(h.version)) {
        std::size_t sortAt = pos + 2 * n;
        std::size_t end = sortAt;
        while (end < headerEnd && d[end]) ++end;
        if (end < headerEnd) image->paradoxSortOrderName.assign(d.data() + sortAt, end - sortAt);
    }
    image->originalHeader.assign(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(headerEnd));

    bool hasBlobs = false;
    for (const FieldDef& f : image->fields) hasBlobs = hasBlobs || isBlobPhysical(f.physicalType);
    std::unique_ptr<MemoFile> memo;
    if (hasBlobs) {
        std::string mbPath = findIgnoringCase(directoryOf(dataPath) + baseNameOf(dataPath) + ".MB", fs);
        if (!fs.exists(mbPath))
            throw TableError("Die Memodatei " + fileNameOf(mbPath) + " der Tabelle " + fileNameOf(dataPath) +
                             " fehlt.");
        memo = std::make_unique<MemoFile>(mbPath, fs);
        image->hasMemoFile = true;
    }

    // Walk the block chain.
    const std::size_t blockSize = static_cast<std::size_t>(h.blockKb) * 1024;
    // A last block cut short at the end of the file still counts when the records it uses are complete.
    const auto blocksInFile = static_cast<std::size_t>((fileSize - headerEnd + blockSize - 1) / blockSize);
    const std::size_t perBlock = (blockSize - 6) / static_cast<std::size_t>(h.recordSize);
    std::vector<bool> seen(blocksInFile + 1, false);
    image->rows.reserve(std::min<std::size_t>(h.recordCount, blocksInFile * perBlock) *
                        static_cast<std::size_t>(h.recordSize));
    WindowedFile blocks(*file, fileSize);
    auto blockBytes = [&](std::uint64_t blockStart) -> std::pair<const char*, std::size_t> {
        const char* b = nullptr;
        try {
            const std::size_t have = blocks.read(blockStart, blockSize, b);
            return {b, have};
        } catch (const IoError& e) {
            throw TableError(e.what(), TableError::Kind::Io, dataPath);
        }
    };
    std::size_t block = static_cast<std::size_t>(h.firstBlock);
    while (block != 0) {
        if (block > blocksInFile) damaged(dataPath, "Blockverweis außerhalb der Datei");
        if (seen[block]) damaged(dataPath, "Blockkette mit Schleife");
        seen[block] = true;
        const std::uint64_t blockStart = headerEnd + static_cast<std::uint64_t>(block - 1) * blockSize;
        if (blockStart + 6 > fileSize) damaged(dataPath, "Blockverweis außerhalb der Datei");
        const auto [b, have] = blockBytes(blockStart);
        if (have < 6) damaged(dataPath, "Blockverweis außerhalb der Datei");
        auto addDataSize = static_cast<std::int16_t>(le16(b + 4));
        long count = addDataSize < 0 ? 0 : addDataSize / h.recordSize + 1;
        if (static_cast<std::size_t>(count) > perBlock) damaged(dataPath, "Block mit zu vielen Datensätzen");
        if (6 + static_cast<std::size_t>(count) * static_cast<std::size_t>(h.recordSize) > have)
            damaged(dataPath, "Blockverweis außerhalb der Datei");
        for (long i = 0; i < count; ++i) {
            std::uint32_t r =
                image->appendRow(b + 6 + static_cast<std::size_t>(i) * static_cast<std::size_t>(h.recordSize));
            image->order.push_back(r);
        }
        block = le16(b);
    }

    if (memo) {
        for (std::uint32_t r = 0; r < image->rowCount; ++r) {
            for (const FieldDef& f : image->fields) {
                if (!isBlobPhysical(f.physicalType)) continue;
                char* p = image->row(r) + f.offset;
                std::string value = memo->valueOf(p, f.length, f.physicalType);
                std::memset(p, 0, static_cast<std::size_t>(f.length));
                BlobStore::storeHandle(p, image->blobs.add(std::move(value)));
            }
        }
    }
    return image;
}

}  // namespace kimport::paradox
