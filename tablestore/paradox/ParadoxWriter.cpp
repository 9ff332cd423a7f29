// Writes a table image back as a Paradox file set: .DB blocks filled in
// cursor order, a fresh .MB for blob values and, for keyed tables, a rebuilt
// .PX. All files replace the old ones at once.
//
// Every save writes the whole table anew, the way Paradox's own restructure
// does: blocks filled to capacity and chained 1, 2, 3 ..., no free blocks, the
// .PX built over them. Updating a file in place would mean splitting blocks as
// Paradox does and keeping its free lists; a fresh file is what every reader
// (Paradox, the BDE, pxlib) accepts, and the swap keeps the old one until it is done.
#include "tablestore/paradox/ParadoxWriter.h"

#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/Bytes.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/KeyOrder.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/paradox/ParadoxFormat.h"
#include "tablestore/paradox/ParadoxHeader.h"
#include "tablestore/paradox/ParadoxIndex.h"
#include "tablestore/paradox/ParadoxMemo.h"

#include <cstring>
#include <ctime>
#include <optional>

namespace kimport::paradox {

using namespace kimport::bytes;

// .Xnn/.Ynn (n a digit) index one field, .XGn/.YGn several: both go stale when the data changes.
static bool isSecondaryIndex(const std::string& ext) {
    return ext.size() == 4 && (ext[1] == 'X' || ext[1] == 'Y') &&
           ((std::isdigit(static_cast<unsigned char>(ext[2])) && std::isdigit(static_cast<unsigned char>(ext[3]))) ||
            (ext[2] == 'G' && std::isxdigit(static_cast<unsigned char>(ext[3]))));
}

void checkWritable(const TableImage& image, FileSystem& fs) {
    // Secondary indexes (.Xnn/.Ynn, .XGn/.YGn) would be left disagreeing with the data;
    // a table made anew removes the old one's.
    std::string base = baseNameOf(image.dataPath);
    for (const DirEntry& e : fs.list(directoryOf(image.dataPath))) {
        if (image.newStructure) break;
        if (e.isDirectory || !equalsIgnoreCase(baseNameOf(e.name), base)) continue;
        std::string ext = asciiUpper(extensionOf(e.name));
        if (isSecondaryIndex(ext))
            throw TableError("Die Tabelle " + fileNameOf(image.dataPath) + " hat die Sekundärindexdatei " + e.name +
                                 ", die beim Schreiben nicht nachgeführt werden kann. Bitte den Sekundärindex in "
                                 "Paradox entfernen und nach dem Import neu anlegen.",
                             TableError::Kind::Unsupported, image.dataPath);
    }
    for (const FieldDef& f : image.fields)
        if (f.letter == 0)
            throw TableError("Die Tabelle " + fileNameOf(image.dataPath) + " enthält das Feld " + f.name +
                                 " mit einem unbekannten Feldtyp und kann nicht geschrieben werden.",
                             TableError::Kind::Unsupported, image.dataPath);
    // Text keys under a language sort order are ordered by an approximation of it: a table whose
    // records it does not find in order is not written, rather than written in an order Paradox rejects.
    if (keyOrderApproximated(image) && image.order.size() > 1) {
        KeyOrder order(image);
        for (std::size_t p = 1; p < image.order.size(); ++p)
            if (order.compare(image.row(image.order.at(p - 1)), image.row(image.order.at(p))) > 0)
                throw sortOrderNotKept(image);
    }
}

bool keyOrderApproximated(const TableImage& image) {
    bool textKey = false;
    for (int i = 0; i < image.keyFieldCount; ++i)
        textKey = textKey || image.fields[static_cast<std::size_t>(i)].physicalType == kAlpha;
    return textKey && image.paradox.sortOrder != 0;
}

TableError sortOrderNotKept(const TableImage& image) {
    return TableError("Die Tabelle " + fileNameOf(image.dataPath) + " ist nach der Sortierfolge \"" +
                          image.paradox.sortOrderName +
                          "\" geordnet, die beim Schreiben nicht "
                          "nachgebildet werden kann. Bitte die Tabelle in Paradox auf die Sortierfolge "
                          "\"ascii\" umstellen.",
                      TableError::Kind::Unsupported, image.dataPath);
}

namespace {

// Block sizes a table may have, in KB; 16 and 32 are level-7 sizes.
constexpr int kBlockSizesKb[] = {1, 2, 3, 4, 16, 32};

std::size_t recordsPerBlock(int kb, std::size_t recordSize) {
    return (static_cast<std::size_t>(kb) * 1024 - kBlockHeadBytes) / recordSize;
}

bool fits(int kb, std::size_t recordSize, std::size_t records) {
    std::size_t perBlock = recordsPerBlock(kb, recordSize);
    return perBlock >= 1 && (records + perBlock - 1) / perBlock <= kMaxBlocks;
}

// Blocks above 4 KB are a level-7 feature: other levels keep their level and stay at 4 KB.
int largestBlockKb(const TableImage& image) {
    return image.paradox.version >= kLevel7 || image.paradox.mayRaiseLevel ? kMaxBlockKb : kMaxBlockKbBeforeLevel7;
}

}  // namespace

// Keeps the table's block size while its records fit into 65535 blocks, else takes the smallest
// larger one that holds them; a table that grows past 4 KB blocks becomes a level-7 table.
void chooseBlockSize(TableImage& image, std::size_t records) {
    const auto recordSize = static_cast<std::size_t>(image.recordLength);
    // Without a size of its own a table takes 2 KB blocks, or 4 KB when three records do not fit in 2,
    // as Paradox chooses for a new table.
    int kb =
        image.paradox.blockSizeKb != 0 ? image.paradox.blockSizeKb : (recordSize * 3 + kBlockHeadBytes > 2048 ? 4 : 2);
    if (!fits(kb, recordSize, records)) {
        int chosen = 0;
        for (int size : kBlockSizesKb)
            if (size > kb && size <= largestBlockKb(image) && fits(size, recordSize, records)) {
                chosen = size;
                break;
            }
        if (chosen == 0)
            throw TableError("Die Tabelle " + fileNameOf(image.dataPath) + " wird zu groß für eine Paradox-Tabelle: " +
                                 std::to_string(records) + " Datensätze passen nicht in 65535 Blöcke zu " +
                                 std::to_string(largestBlockKb(image)) + " KB.",
                             TableError::Kind::Limit, image.dataPath);
        kb = chosen;
    }
    if (kb > kMaxBlockKbBeforeLevel7 && image.paradox.version < kLevel7) {
        image.paradox.version = kLevel7;
        image.originalHeader = newHeader(image.fields, image.keyFieldCount, kLevel7, image.codePage,
                                         image.paradox.sortOrder, fileNameOf(image.dataPath));
    }
    image.paradox.blockSizeKb = kb;
}

namespace {

// A table made anew drops the old table's files that describe the old structure: its validity checks
// (.VAL) and secondary indexes name fields by number, which now mean other fields.
void removeStaleCompanions(const TableImage& image, bool hasBlobs, FileSetWriter& writer, FileSystem& fs) {
    std::string base = baseNameOf(image.dataPath);
    std::string dir = directoryOf(image.dataPath);
    for (const DirEntry& e : fs.list(dir.empty() ? "." : dir)) {
        if (e.isDirectory || !equalsIgnoreCase(baseNameOf(e.name), base)) continue;
        std::string ext = asciiUpper(extensionOf(e.name));
        if (ext == ".VAL" || isSecondaryIndex(ext) || (ext == ".MB" && !hasBlobs)) writer.removeAtCommit(dir + e.name);
    }
}

}  // namespace

std::uint64_t maxRecords(const TableImage& image) {
    return kMaxBlocks * recordsPerBlock(largestBlockKb(image), static_cast<std::size_t>(image.recordLength));
}

void writeTable(TableImage& image, FileSystem& fs, FileSetWriter* joined) {
    checkWritable(image, fs);
    const std::size_t recordSize = static_cast<std::size_t>(image.recordLength);
    const std::size_t records = image.order.size();
    chooseBlockSize(image, records);
    const std::size_t blockSize = static_cast<std::size_t>(image.paradox.blockSizeKb) * 1024;
    const std::size_t perBlock = (blockSize - kBlockHeadBytes) / recordSize;
    const std::size_t blocks = (records + perBlock - 1) / perBlock;

    std::int64_t maxAuto = image.lastAutoInc;
    std::vector<const FieldDef*> blobFields;
    for (const FieldDef& f : image.fields) {
        if (isBlobPhysical(f.physicalType)) blobFields.push_back(&f);
    }

    // The header keeps the last auto-increment value handed out; Paradox continues after it, so it
    // must not lie below a value a record holds (one imported or typed in by hand).
    image.order.forEach([&](std::uint32_t r) {
        for (const FieldDef& f : image.fields) {
            if (f.physicalType != kAutoInc) continue;
            std::uint32_t raw = be32(image.row(r) + f.offset);
            if (raw) maxAuto = std::max<std::int64_t>(maxAuto, static_cast<std::int32_t>(raw ^ kLongSignFlip));
        }
    });
    image.lastAutoInc = maxAuto;
    std::vector<char> header = buildHeader(image, static_cast<std::uint32_t>(records),
                                           static_cast<std::uint32_t>(blocks));
    const int changeStamp = static_cast<unsigned char>(header[kChangeCountAt]);

    std::optional<FileSetWriter> own;
    FileSetWriter& writer = joined ? *joined : own.emplace(fs, image.dataPath);
    FileHandle& dbFile = writer.create(image.dataPath);
    BufferedOutput out(dbFile);
    out.write(header.data(), header.size());

    const std::size_t keyLength = image.keyLength();
    std::vector<char> firstKeys;
    std::vector<std::uint16_t> counts;
    std::string dir = directoryOf(image.dataPath), base = baseNameOf(image.dataPath);
    // Blob values go into the .MB as the blocks are written: they are never held a second time. A new
    // companion's extension follows the case of the data file's (.db and .mb), an existing one's name stays.
    std::unique_ptr<MemoWriter> memo;
    if (!blobFields.empty())
        memo = std::make_unique<MemoWriter>(
            writer.create(findIgnoringCase(dir + base + (endsWith(image.dataPath, ".db") ? ".mb" : ".MB"), fs)));
    std::vector<char> block(blockSize);
    std::size_t position = 0;
    // The order as a plain list, walked by position while the blocks are filled.
    std::vector<std::uint32_t> rowsInOrder;
    rowsInOrder.reserve(records);
    image.order.forEach([&](std::uint32_t r) { rowsInOrder.push_back(r); });
    for (std::size_t b = 0; b < blocks; ++b) {
        std::memset(block.data(), 0, blockSize);
        std::size_t n = std::min(perBlock, records - position);
        // Block b + 1 of the chain 1 .. blocks; the previous block of the first is 0, as is the next of the last.
        putLe16(block.data() + kNextBlockAt, b + 1 < blocks ? static_cast<std::uint32_t>(b + 2) : 0);
        putLe16(block.data() + kPrevBlockAt, static_cast<std::uint32_t>(b));
        putLe16(block.data() + kLastRecordAt, static_cast<std::uint32_t>((n - 1) * recordSize) & 0xFFFF);
        for (std::size_t i = 0; i < n; ++i) {
            const char* src = image.row(rowsInOrder[position + i]);
            char* dst = block.data() + kBlockHeadBytes + i * recordSize;
            std::memcpy(dst, src, recordSize);
            for (const FieldDef* f : blobFields)
                memo->store(dst + f->offset, f->length, f->physicalType,
                           image.blobs.get(BlobStore::handleAt(src + f->offset)));
        }
        if (keyLength > 0) {
            firstKeys.insert(firstKeys.end(), block.data() + kBlockHeadBytes,
                             block.data() + kBlockHeadBytes + keyLength);
            counts.push_back(static_cast<std::uint16_t>(n));
        }
        out.write(block.data(), blockSize);
        position += n;
    }
    out.flush();
    if (memo) memo->finish();
    std::string pxPath = indexPathFor(image.dataPath, fs);
    if (image.keyFieldCount > 0) {
        PrimaryIndexInput in = indexInputFor(image, changeStamp);
        in.firstKeys = std::move(firstKeys);
        in.counts = std::move(counts);
        std::vector<char> px = buildPrimaryIndex(in);
        writer.create(pxPath).write(px.data(), px.size());
    } else if (fs.exists(pxPath)) {
        writer.removeAtCommit(pxPath);
    }
    if (image.newStructure) removeStaleCompanions(image, !blobFields.empty(), writer, fs);
    writer.commit();
    image.originalHeader = std::move(header);
}

}  // namespace kimport::paradox
