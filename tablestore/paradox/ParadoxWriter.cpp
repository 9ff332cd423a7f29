// Writes a table image back as a Paradox file set: .DB blocks filled in
// cursor order, a fresh .MB for blob values and, for keyed tables, a rebuilt
// .PX. All files replace the old ones at once.
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

namespace kimport::paradox {

using namespace kimport::bytes;

void checkWritable(const TableImage& image, FileSystem& fs) {
    // Secondary indexes (.Xnn/.Ynn, .XGn/.YGn) would be left disagreeing with the data.
    std::string base = baseNameOf(image.dataPath);
    for (const DirEntry& e : fs.list(directoryOf(image.dataPath))) {
        if (e.isDirectory || !equalsIgnoreCase(baseNameOf(e.name), base)) continue;
        std::string ext = asciiUpper(extensionOf(e.name));
        bool secondary = ext.size() == 4 && (ext[1] == 'X' || ext[1] == 'Y') &&
                         ((std::isdigit(static_cast<unsigned char>(ext[2])) &&
                           std::isdigit(static_cast<unsigned char>(ext[3]))) ||
                          (ext[2] == 'G' && std::isxdigit(static_cast<unsigned char>(ext[3]))));
        if (secondary)
            throw TableError("Die Tabelle " + fileNameOf(image.dataPath) + " hat die Sekundärindexdatei " + e.name +
                             ", die beim Schreiben nicht nachgeführt werden kann. Bitte den Sekundärindex in "
                             "Paradox entfernen und nach dem Import neu anlegen.");
    }
    for (const FieldDef& f : image.fields)
        if (f.letter == 0)
            throw TableError("Die Tabelle " + fileNameOf(image.dataPath) + " enthält das Feld " + f.name +
                             " mit einem unbekannten Feldtyp und kann nicht geschrieben werden.");
    // Text keys under a language sort order are ordered by an approximation of it: a table whose
    // records it does not find in order is not written, rather than written in an order Paradox rejects.
    bool textKey = false;
    for (int i = 0; i < image.keyFieldCount; ++i) textKey = textKey || image.fields[static_cast<std::size_t>(i)].physicalType == kAlpha;
    if (textKey && image.paradoxSortOrder != 0 && image.order.size() > 1) {
        KeyOrder order(image);
        for (std::size_t p = 1; p < image.order.size(); ++p)
            if (order.compare(image.row(image.order.at(p - 1)), image.row(image.order.at(p))) > 0)
                throw TableError("Die Tabelle " + fileNameOf(image.dataPath) + " ist nach der Sortierfolge \"" +
                                 image.paradoxSortOrderName + "\" geordnet, die beim Schreiben nicht nachgebildet "
                                 "werden kann. Bitte die Tabelle in Paradox auf die Sortierfolge \"ascii\" umstellen.");
    }
}

void writeTable(TableImage& image, FileSystem& fs) {
    checkWritable(image, fs);
    const std::size_t recordSize = static_cast<std::size_t>(image.recordLength);
    if (image.paradoxBlockSizeKb == 0) image.paradoxBlockSizeKb = recordSize * 3 + 6 > 2048 ? 4 : 2;
    std::size_t blockSize = static_cast<std::size_t>(image.paradoxBlockSizeKb) * 1024;
    while ((blockSize - 6) / recordSize < 1) {
        if (image.paradoxBlockSizeKb >= 32) throw TableError("Die Datensätze sind zu lang für eine Paradox-Tabelle.");
        image.paradoxBlockSizeKb *= 2;
        blockSize *= 2;
    }
    const std::size_t perBlock = (blockSize - 6) / recordSize;
    const std::size_t records = image.order.size();
    const std::size_t blocks = (records + perBlock - 1) / perBlock;
    if (blocks > 0xFFFF)
        throw TableError("Die Tabelle " + fileNameOf(image.dataPath) +
                         " wird zu groß für eine Paradox-Tabelle (mehr als 65535 Blöcke).");

    std::int64_t maxAuto = image.lastAutoInc;
    std::vector<const FieldDef*> blobFields;
    for (const FieldDef& f : image.fields) {
        if (isBlobPhysical(f.physicalType)) blobFields.push_back(&f);
    }

    image.order.forEach([&](std::uint32_t r) {
        for (const FieldDef& f : image.fields) {
            if (f.physicalType != kAutoInc) continue;
            std::uint32_t raw = be32(image.row(r) + f.offset);
            if (raw) maxAuto = std::max<std::int64_t>(maxAuto, static_cast<std::int32_t>(raw ^ 0x80000000u));
        }
    });
    image.lastAutoInc = maxAuto;
    std::vector<char> header = buildHeader(image, static_cast<std::uint32_t>(records),
                                           static_cast<std::uint32_t>(blocks));
    const int changeStamp = static_cast<unsigned char>(header[0x2D]);

    FileSetWriter writer(fs, image.dataPath);
    FileHandle& dbFile = writer.create(image.dataPath);
    BufferedOutput out(dbFile);
    out.write(header.data(), header.size());

    const int keyLength = [&] {
        int n = 0;
        for (int i = 0; i < image.keyFieldCount; ++i) n += image.fields[static_cast<std::size_t>(i)].length;
        return n;
    }();
    std::vector<char> firstKeys;
    std::vector<std::uint16_t> counts;
    MemoWriter memo;
    std::vector<char> block(blockSize);
    std::size_t position = 0;
    std::vector<std::uint32_t> rowsInOrder;
    rowsInOrder.reserve(records);
    image.order.forEach([&](std::uint32_t r) { rowsInOrder.push_back(r); });
    for (std::size_t b = 0; b < blocks; ++b) {
        std::memset(block.data(), 0, blockSize);
        std::size_t n = std::min(perBlock, records - position);
        putLe16(block.data() + 0, b + 1 < blocks ? static_cast<std::uint32_t>(b + 2) : 0);
        putLe16(block.data() + 2, static_cast<std::uint32_t>(b));
        putLe16(block.data() + 4, static_cast<std::uint32_t>((n - 1) * recordSize) & 0xFFFF);
        for (std::size_t i = 0; i < n; ++i) {
            const char* src = image.row(rowsInOrder[position + i]);
            char* dst = block.data() + 6 + i * recordSize;
            std::memcpy(dst, src, recordSize);
            for (const FieldDef* f : blobFields)
                memo.store(dst + f->offset, f->length, f->physicalType,
                           image.blobs.get(BlobStore::handleAt(src + f->offset)));
        }
        if (keyLength > 0) {
            firstKeys.insert(firstKeys.end(), block.data() + 6, block.data() + 6 + keyLength);
            counts.push_back(static_cast<std::uint16_t>(n));
        }
        out.write(block.data(), blockSize);
        position += n;
    }
    out.flush();
    std::string dir = directoryOf(image.dataPath), base = baseNameOf(image.dataPath);
    if (!blobFields.empty()) {
        std::string mbPath = findIgnoringCase(dir + base + (endsWith(image.dataPath, ".db") ? ".mb" : ".MB"), fs);
        memo.write(writer.create(mbPath));
    }
    std::string pxPath = findIgnoringCase(dir + base + (endsWith(image.dataPath, ".db") ? ".px" : ".PX"), fs);
    if (image.keyFieldCount > 0) {
        PrimaryIndexInput in;
        in.keyFieldInfo.assign(image.originalHeader.begin() + (hasExtension(image.version) ? 0x78 : 0x58),
                               image.originalHeader.begin() + (hasExtension(image.version) ? 0x78 : 0x58) +
                                   2 * image.keyFieldCount);
        in.keyLength = keyLength;
        in.firstKeys = std::move(firstKeys);
        in.counts = std::move(counts);
        in.version = image.version;
        in.sortOrder = image.paradoxSortOrder;
        in.changeStamp = changeStamp;
        in.tableName = base + ".PX";
        std::vector<char> px = buildPrimaryIndex(in);
        writer.create(pxPath).write(px.data(), px.size());
    } else if (fs.exists(pxPath)) {
        writer.removeAtCommit(pxPath);
    }
    writer.commit();
    image.originalHeader = std::move(header);
}

}  // namespace kimport::paradox
