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
    // Level 3 headers have no extension: the variable part starts at 0x58 and ends with the field names.
    const bool extension = hasExtension(version);
    const std::size_t start = extension ? 0x78 : 0x58;
    std::vector<char> var;  // the variable part from start
    for (const FieldDef& f : fields) {
        var.push_back(static_cast<char>(f.physicalType));
        var.push_back(static_cast<char>(f.physicalType == kBcd ? f.decimals : f.length));
    }
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
    const std::size_t headerSize = version == kLevel30 ? realHeaderSize : (realHeaderSize + 0x7FF) / 0x800 * 0x800;

    std::vector<char> h(headerSize, 0);
    int recordSize = 0;
    for (const FieldDef& f : fields) recordSize += f.length;
    putLe16(h.data() + 0x00, static_cast<std::uint32_t>(recordSize));
    putLe16(h.data() + 0x02, static_cast<std::uint32_t>(headerSize));
    h[0x04] = static_cast<char>(keyFieldCount > 0 ? 0 : 2);
    h[0x05] = 2;
    putLe16(h.data() + 0x21, static_cast<std::uint32_t>(n));
    putLe16(h.data() + 0x23, static_cast<std::uint32_t>(keyFieldCount));
    putLe32(h.data() + 0x25, 0xFF00FF00u);
    h[0x29] = static_cast<char>(sortOrder);
    h[0x2D] = 1;
    h[0x2E] = 1;
    h[0x39] = static_cast<char>(version);
    h[0x3E] = 0x1F;
    h[0x3F] = 0x0F;
    putLe16(h.data() + 0x51, static_cast<std::uint32_t>(realHeaderSize));
    h[0x56] = 0x20;
    if (!extension) {
        putLe32(h.data() + 0x25, 0);  // level 3 has no encryption mark: 0 is "not encrypted"
        std::memcpy(h.data() + start, var.data(), var.size());
        return h;
    }
    putLe16(h.data() + 0x58, 0x0100u + static_cast<std::uint32_t>(version));
    putLe16(h.data() + 0x5A, 0x0100u + static_cast<std::uint32_t>(version));
    putLe16(h.data() + 0x64, static_cast<std::uint32_t>(n + 1));
    putLe16(h.data() + 0x66, static_cast<std::uint32_t>(fieldNumbersAt - 0x58));
    putLe16(h.data() + 0x6A, static_cast<std::uint32_t>(codePage));
    h[0x6C] = 1;
    h[0x6D] = 1;
    putLe16(h.data() + 0x6E, static_cast<std::uint32_t>(realHeaderSize - 0x61));
    putLe16(h.data() + 0x70, 1);
    std::memcpy(h.data() + start, var.data(), var.size());
    return h;
}

std::vector<char> buildHeader(const TableImage& image, std::uint32_t records, std::uint32_t blocks) {
    std::vector<char> h = image.originalHeader;
    char* p = h.data();
    putLe32(p + 0x06, records);
    putLe16(p + 0x0A, blocks);
    putLe16(p + 0x0C, blocks);
    putLe16(p + 0x0E, blocks ? 1 : 0);
    putLe16(p + 0x10, blocks);
    p[0x05] = static_cast<char>(image.paradoxBlockSizeKb);
    p[0x14] = 0;
    p[0x2A] = 0;
    // The change counter tells Paradox that the index belongs to this version of the data.
    int change = (static_cast<unsigned char>(p[0x2D]) + 1) % 256;
    if (change < 2) change = 2;
    p[0x2D] = static_cast<char>(change);
    putLe16(p + 0x3A, blocks);
    putLe32(p + 0x49, static_cast<std::uint32_t>(image.lastAutoInc));
    putLe16(p + 0x4D, 0);
    p[0x4F] = 0;
    if (hasExtension(image.version) && h.size() >= 0x64)
        putLe32(p + 0x60, static_cast<std::uint32_t>(std::time(nullptr)));
    return h;
}

}  // namespace kimport::paradox
