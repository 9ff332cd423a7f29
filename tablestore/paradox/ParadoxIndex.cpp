// Builds a .PX bottom-up: one entry per data block, blocks of entries filled but
// for one slot, one level above for each level that needs more than one block.
// Paradox searches it from the root, taking the last entry whose key is not
// greater than the one looked for, so each entry's key is the first key below it.
#include "tablestore/paradox/ParadoxIndex.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/Bytes.h"
#include "tablestore/TableError.h"
#include "tablestore/paradox/ParadoxFormat.h"

#include <cstring>
#include <functional>

namespace kimport::paradox {

using namespace kimport::bytes;

namespace {

struct Entry {
    std::vector<char> key;
    std::uint32_t child;   // data block or index block
    std::uint32_t count;   // records below
};

// The numbers of an index entry are stored like S field values, so they sort with the key bytes.
void putEncodedShort(char* p, std::uint32_t v) { putBe16(p, (v & 0xFFFF) ^ kShortSignFlip); }
std::uint32_t encodedShort(const char* p) { return (be16(p) ^ kShortSignFlip) & 0xFFFF; }

}  // namespace

std::vector<char> buildPrimaryIndex(const PrimaryIndexInput& in) {
    const std::size_t entrySize = static_cast<std::size_t>(in.keyLength) + kIndexEntryTail;
    // A block must hold at least three entries (Paradox's rule: a key takes at most a third of a
    // block); larger keys get larger blocks.
    int kb = 2;
    while ((static_cast<std::size_t>(kb) * 1024 - kBlockHeadBytes) / entrySize < 3) {
        kb *= 2;
        if (kb > kMaxBlockKb)
            throw TableError("Der Primärschlüssel ist zu lang für einen Paradox-Index.", TableError::Kind::Limit);
    }
    const std::size_t blockSize = static_cast<std::size_t>(kb) * 1024;
    const std::size_t capacity = (blockSize - kBlockHeadBytes) / entrySize;
    const std::size_t fill = capacity - 1;  // one slot left free, as bulk builds do

    // Levels from the leaves up; each level is a list of blocks of entries. The leaves point at the
    // data blocks in chain order.
    std::vector<std::vector<std::vector<Entry>>> levels;
    std::vector<Entry> current;
    for (std::size_t i = 0; i < in.counts.size(); ++i) {
        Entry e;
        e.key.assign(in.firstKeys.begin() + static_cast<std::ptrdiff_t>(i * static_cast<std::size_t>(in.keyLength)),
                     in.firstKeys.begin() + static_cast<std::ptrdiff_t>((i + 1) * static_cast<std::size_t>(in.keyLength)));
        e.child = in.blocks.empty() ? static_cast<std::uint32_t>(i + 1) : in.blocks[i];
        e.count = in.counts[i];
        current.push_back(std::move(e));
    }
    if (!current.empty()) {
        for (;;) {
            std::vector<std::vector<Entry>> blocks;
            for (std::size_t i = 0; i < current.size(); i += fill)
                blocks.emplace_back(current.begin() + static_cast<std::ptrdiff_t>(i),
                                    current.begin() + static_cast<std::ptrdiff_t>(std::min(current.size(), i + fill)));
            levels.push_back(std::move(blocks));
            if (levels.back().size() == 1) break;
            // One entry per block of the level below: its first key and the records under it.
            std::vector<Entry> upper;
            for (const auto& block : levels.back()) {
                Entry e;
                e.key = block.front().key;
                e.child = 0;  // numbered below
                e.count = 0;
                for (const Entry& c : block) e.count += c.count;
                upper.push_back(std::move(e));
            }
            current = std::move(upper);
        }
    }

    // Number blocks root first, then each lower level, leaves last, as the index files of Paradox's own
    // restructure are laid out; the root is then always block 1, which the header names.
    std::vector<std::uint32_t> firstNumber(levels.size());
    std::uint32_t next = 1;
    for (std::size_t l = levels.size(); l-- > 0;) {
        firstNumber[l] = next;
        next += static_cast<std::uint32_t>(levels[l].size());
    }
    const std::uint32_t totalBlocks = next - 1;
    for (std::size_t l = 1; l < levels.size(); ++l) {
        std::uint32_t child = firstNumber[l - 1];
        for (auto& block : levels[l])
            for (Entry& e : block) e.child = child++;
    }
    // The header counts the entries of every level, not the records of the table.
    std::size_t totalEntries = 0;
    for (const auto& level : levels)
        for (const auto& block : level) totalEntries += block.size();

    // The header in the common layout; an empty index still has its root block number 1.
    std::vector<char> out(kIndexHeaderSize + totalBlocks * blockSize, 0);
    char* h = out.data();
    putLe16(h + kRecordSizeAt, static_cast<std::uint32_t>(entrySize));
    putLe16(h + kHeaderSizeAt, static_cast<std::uint32_t>(kIndexHeaderSize));
    h[kFileTypeAt] = kPrimaryIndex;
    h[kBlockSizeAt] = static_cast<char>(kb);
    putLe32(h + kRecordCountAt, static_cast<std::uint32_t>(totalEntries));
    putLe16(h + kUsedBlocksAt, totalBlocks);
    putLe16(h + kTotalBlocksAt, totalBlocks);
    putLe16(h + kFirstBlockAt, totalBlocks ? 1 : 0);
    putLe16(h + kLastBlockAt, totalBlocks);
    putLe16(h + kIndexRootAt, 1);
    h[kIndexLevelsAt] = static_cast<char>(levels.size());
    const std::size_t keyFields = in.keyFieldInfo.size() / 2;
    putLe16(h + kFieldCountAt, static_cast<std::uint32_t>(keyFields));
    h[kSortOrderAt] = static_cast<char>(in.sortOrder);
    // Paradox rejects an index whose stamp is not the .DB's change counter as out of date.
    h[kIndexStampAt] = static_cast<char>(in.changeStamp);
    h[kVersionAt] = static_cast<char>(in.version);
    putLe16(h + kMaxBlocksAt, totalBlocks);
    // The variable part: the key fields' type and size bytes, a zero pointer and the table name.
    std::size_t pos = kExtensionAt;
    std::memcpy(h + pos, in.keyFieldInfo.data(), in.keyFieldInfo.size());
    pos += in.keyFieldInfo.size() + 4;
    std::size_t nameLen = static_cast<std::size_t>(tableNameLength(in.version));
    std::memcpy(h + pos, in.tableName.data(), std::min(in.tableName.size(), nameLen - 1));
    pos += nameLen;
    putLe16(h + kUsedHeaderSizeAt, static_cast<std::uint32_t>(pos));

    for (std::size_t l = levels.size(); l-- > 0;) {
        for (std::size_t b = 0; b < levels[l].size(); ++b) {
            std::uint32_t number = firstNumber[l] + static_cast<std::uint32_t>(b);
            char* block = out.data() + kIndexHeaderSize + (number - 1) * blockSize;
            putLe16(block + kNextBlockAt, number < totalBlocks ? number + 1 : 0);
            putLe16(block + kPrevBlockAt, number > 1 ? number - 1 : 0);
            // The head's third word counts the bytes after the first entry, as in data blocks.
            const auto& entries = levels[l][b];
            putLe16(block + kLastRecordAt,
                    static_cast<std::uint32_t>((static_cast<long>(entries.size()) - 1) * static_cast<long>(entrySize)) &
                        0xFFFF);
            char* e = block + kBlockHeadBytes;
            for (const Entry& entry : entries) {
                std::memcpy(e, entry.key.data(), entry.key.size());
                putEncodedShort(e + in.keyLength, entry.child);
                putEncodedShort(e + in.keyLength + 2, entry.count);
                putEncodedShort(e + in.keyLength + 4, 0);  // always zero, encoded: 80 00
                e += entrySize;
            }
        }
    }
    return out;
}

std::string indexPathFor(const std::string& dataPath, FileSystem& fs) {
    return findIgnoringCase(directoryOf(dataPath) + baseNameOf(dataPath) + (endsWith(dataPath, ".db") ? ".px" : ".PX"),
                            fs);
}

PrimaryIndexInput indexInputFor(const TableImage& image, int changeStamp) {
    PrimaryIndexInput in;
    // The key fields lead the field list: their type and size bytes are the .PX's field list.
    const auto fieldList =
        image.originalHeader.begin() + static_cast<std::ptrdiff_t>(fieldListStart(image.paradox.version));
    in.keyFieldInfo.assign(fieldList, fieldList + 2 * image.keyFieldCount);
    in.keyLength = static_cast<int>(image.keyLength());
    in.version = image.paradox.version;
    in.sortOrder = image.paradox.sortOrder;
    in.changeStamp = changeStamp;
    in.tableName = baseNameOf(image.dataPath) + ".PX";  // stored as Paradox stores it; readers ignore it
    return in;
}

std::optional<IndexLeaves> readPrimaryIndex(const std::vector<char>& px, std::size_t keyLength, int changeStamp) {
    if (px.size() < kExtensionAt) return std::nullopt;
    const char* h = px.data();
    const std::size_t entry = keyLength + kIndexEntryTail;
    const std::size_t headerSize = le16(h + kHeaderSizeAt);
    const std::size_t blockSize = static_cast<std::size_t>(static_cast<unsigned char>(h[kBlockSizeAt])) * 1024;
    const std::uint32_t blocks = le16(h + kTotalBlocksAt);
    const int levels = static_cast<unsigned char>(h[kIndexLevelsAt]);
    if (h[kFileTypeAt] != kPrimaryIndex || le16(h + kRecordSizeAt) != entry || blockSize == 0 ||
        blockSize > static_cast<std::size_t>(kMaxBlockKb) * 1024 || headerSize < kExtensionAt ||
        static_cast<unsigned char>(h[kIndexStampAt]) != changeStamp || levels > 16 ||
        headerSize + static_cast<std::uint64_t>(blocks) * blockSize > px.size())
        return std::nullopt;
    IndexLeaves leaves;
    if (levels == 0) return blocks == 0 ? std::optional<IndexLeaves>(leaves) : std::nullopt;
    std::vector<bool> seen(blocks + 1, false);
    bool sound = true;
    // Entries from the root down; each upper entry's count must be its children's sum.
    std::function<std::uint64_t(std::uint32_t, int)> walk = [&](std::uint32_t block, int level) -> std::uint64_t {
        if (!sound || block == 0 || block > blocks || seen[block]) {
            sound = false;
            return 0;
        }
        seen[block] = true;
        const char* b = px.data() + headerSize + (block - 1) * blockSize;
        const auto after = static_cast<std::int16_t>(le16(b + kLastRecordAt));
        const std::size_t n = after < 0 ? 0 : static_cast<std::size_t>(after) / entry + 1;
        if (kBlockHeadBytes + n * entry > blockSize) {
            sound = false;
            return 0;
        }
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < n && sound; ++i) {
            const char* e = b + kBlockHeadBytes + i * entry;
            const std::uint32_t child = encodedShort(e + keyLength);
            const std::uint32_t count = encodedShort(e + keyLength + 2);
            if (level == 1) {
                leaves.blocks.push_back(child);
                leaves.counts.push_back(count);
                leaves.firstKeys.insert(leaves.firstKeys.end(), e, e + keyLength);
                total += count;
            } else {
                const std::uint64_t below = walk(child, level - 1);
                // A count above 65535 does not fit the entry: Paradox keeps its low bits.
                if ((below & 0xFFFF) != count) sound = false;
                total += below;
            }
        }
        return total;
    };
    walk(le16(h + kIndexRootAt), levels);
    if (!sound) return std::nullopt;
    return leaves;
}

}  // namespace kimport::paradox
