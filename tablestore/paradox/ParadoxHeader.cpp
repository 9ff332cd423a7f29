// Headers of .DB files. A new header is laid out as Paradox lays out a new
// table's of that level, the pointers it fills in memory and its counters
// included, so that readers that check these bytes (pxlib does) accept it.
#include "tablestore/paradox/ParadoxHeader.h"

#include "common/CodePage.h"
#include "tablestore/Bytes.h"
#include "tablestore/TableError.h"
#include "tablestore/paradox/ParadoxFormat.h"

#include <cstring>
#include <ctime>

namespace kimport::paradox {

using namespace kimport::bytes;

std::vector<char> newHeader(const std::vector<FieldDef>& fields, int keyFieldCount, int version, int codePage,
                            int sortOrder, const std::string& tableName) {
    const std::size_t n = fields.size();
    // Level 3 headers have no extension: the variable part starts right after the common header and
    // ends with the field names.
    const bool extension = hasExtension(version);
    const std::size_t start = fieldListStart(version);
    std::vector<char> var;  // the variable part from start
    for (const FieldDef& f : fields) {
        var.push_back(static_cast<char>(f.physicalType));
        // A BCD field's size byte is its decimals: its length is always kBcdLength.
        var.push_back(static_cast<char>(f.physicalType == kBcd ? f.decimals : f.length));
    }
    // The table-name pointer and one pointer per field name: Paradox fills them in memory, files hold zeros.
    var.insert(var.end(), 4 + 4 * n, 0);
    std::vector<char> name(static_cast<std::size_t>(tableNameLength(version)), 0);
    std::memcpy(name.data(), tableName.data(), std::min(tableName.size(), name.size() - 1));
    var.insert(var.end(), name.begin(), name.end());
    for (const FieldDef& f : fields) {
        std::string encoded;
        if (!encodeCodePageExactly(f.name, codePage, encoded))
            throw TableError("Der Feldname \"" + f.name + "\" kann in der Codeseite " + std::to_string(codePage) +
                                 " der Tabelle " + tableName + " nicht gespeichert werden.",
                             TableError::Kind::Usage);
        var.insert(var.end(), encoded.begin(), encoded.end());
        var.push_back(0);
    }
    const std::size_t fieldNumbersAt = start + var.size();
    if (version != kLevel30) {
        // Field numbers 1..n (a restructure in Paradox may leave others) and the sort order's name.
        for (std::size_t i = 0; i < n; ++i) {
            char num[2];
            putLe16(num, static_cast<std::uint32_t>(i + 1));
            var.insert(var.end(), num, num + 2);
        }
        std::string sortName = sortOrderName(sortOrder);
        var.insert(var.end(), sortName.begin(), sortName.end());
        var.push_back(0);
    }
    const std::size_t realHeaderSize = start + var.size();
    // Level 3.0 headers end right after the field names; the others fill whole 2 KB units.
    const std::size_t headerSize =
        version == kLevel30 ? realHeaderSize : (realHeaderSize + kHeaderUnit - 1) / kHeaderUnit * kHeaderUnit;

    std::vector<char> h(headerSize, 0);
    int recordSize = 0;
    for (const FieldDef& f : fields) recordSize += f.length;
    putLe16(h.data() + kRecordSizeAt, static_cast<std::uint32_t>(recordSize));
    putLe16(h.data() + kHeaderSizeAt, static_cast<std::uint32_t>(headerSize));
    h[kFileTypeAt] = static_cast<char>(keyFieldCount > 0 ? kKeyedTable : kUnkeyedTable);
    h[kBlockSizeAt] = 2;  // chosen again by every save
    putLe16(h.data() + kFieldCountAt, static_cast<std::uint32_t>(n));
    putLe16(h.data() + kKeyFieldCountAt, static_cast<std::uint32_t>(keyFieldCount));
    // Paradox marks every unencrypted level-4+ table so; the real encryption word is in the extension.
    putLe32(h.data() + kEncryptionAt, kPlainMark);
    h[kSortOrderAt] = static_cast<char>(sortOrder);
    h[kChangeCountAt] = 1;
    h[kChangeCount2At] = 1;
    h[kVersionAt] = static_cast<char>(version);
    std::memcpy(h.data() + kPlainFileMarkAt, kPlainFileMark, 2);
    putLe16(h.data() + kUsedHeaderSizeAt, static_cast<std::uint32_t>(realHeaderSize));
    h[kLevel4MarkAt] = kLevel4Mark;
    if (!extension) {
        putLe32(h.data() + kEncryptionAt, 0);  // level 3 has no encryption mark: 0 is "not encrypted"
        std::memcpy(h.data() + start, var.data(), var.size());
        return h;
    }
    // The extension repeats the version, names the code page and says where the field numbers are;
    // its counters start at 1, as in a table Paradox has just made.
    putLe16(h.data() + kExtVersionAt, 0x0100u + static_cast<std::uint32_t>(version));
    putLe16(h.data() + kExtVersion2At, 0x0100u + static_cast<std::uint32_t>(version));
    putLe16(h.data() + kHighFieldIdAt, static_cast<std::uint32_t>(n + 1));
    putLe16(h.data() + kFieldNumbersAt, static_cast<std::uint32_t>(fieldNumbersAt - kExtensionAt));
    putLe16(h.data() + kCodePageAt, static_cast<std::uint32_t>(codePage));
    h[kExtFlagsAt] = 1;
    h[kExtFlagsAt + 1] = 1;
    putLe16(h.data() + kUsedHeaderSize2At, static_cast<std::uint32_t>(realHeaderSize - kUsedHeaderBias));
    putLe16(h.data() + kChangeCount4At, 1);
    std::memcpy(h.data() + start, var.data(), var.size());
    return h;
}

std::vector<char> buildHeader(const TableImage& image, std::uint32_t records, std::uint32_t blocks) {
    // A save that writes every block anew chains them 1..blocks without free ones.
    return buildHeader(image, ChainCounts{records, blocks, blocks, blocks ? 1u : 0u, blocks, 0});
}

std::vector<char> buildHeader(const TableImage& image, const ChainCounts& chain) {
    std::vector<char> h = image.originalHeader;
    char* p = h.data();
    putLe32(p + kRecordCountAt, chain.records);
    putLe16(p + kUsedBlocksAt, chain.usedBlocks);
    putLe16(p + kTotalBlocksAt, chain.totalBlocks);
    putLe16(p + kFirstBlockAt, chain.firstBlock);
    putLe16(p + kLastBlockAt, chain.lastBlock);
    putLe16(p + kMaxBlocksAt, chain.totalBlocks);
    putLe16(p + kFirstFreeBlockAt, chain.firstFreeBlock);
    p[kBlockSizeAt] = static_cast<char>(image.paradox.blockSizeKb);
    // Flags that make Paradox rebuild the table or its index: what we write needs neither.
    p[kRebuildFlagAt] = 0;
    p[kRebuildFlag2At] = 0;
    p[kIndexOutdatedAt] = 0;
    // The change counter tells Paradox that the index belongs to this version of the data; pxlib's
    // authors advise never less than 2 once a .PX exists.
    int change = (static_cast<unsigned char>(p[kChangeCountAt]) + 1) % 256;
    if (change < 2) change = 2;
    p[kChangeCountAt] = static_cast<char>(change);
    putLe32(p + kAutoIncAt, static_cast<std::uint32_t>(image.lastAutoInc));
    if (hasExtension(image.paradox.version) && h.size() >= kUpdateTimeAt + 4)
        putLe32(p + kUpdateTimeAt, static_cast<std::uint32_t>(std::time(nullptr)));
    return h;
}

}  // namespace kimport::paradox
