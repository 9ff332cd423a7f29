// Checks a .PX primary index against its .DB the way a reader that uses the
// index would: every data block has a level-1 entry with its first key and
// record count, upper levels sum their children, the chain lists every block.
#pragma once

#include "support/TestSupport.h"
#include "tablestore/Bytes.h"

#include <cstring>
#include <string>
#include <vector>

namespace kimport::test {

inline std::string checkPrimaryIndex(const std::string& dbPath, const std::string& pxPath) {
    using namespace kimport::bytes;
    std::string db = readFile(dbPath), px = readFile(pxPath);
    if (db.size() < 0x78 || px.size() < 0x800) return "files too short";
    const char* d = db.data();
    const char* p = px.data();
    int recordSize = le16(d), headerSize = le16(d + 2), blockSize = d[5] * 1024;
    int keyFields = le16(d + 0x23);
    int keyLength = 0;
    for (int i = 0; i < keyFields; ++i) {
        int type = static_cast<unsigned char>(d[0x78 + 2 * i]);
        int size = static_cast<unsigned char>(d[0x78 + 2 * i + 1]);
        keyLength += type == 0x17 ? 17 : size;
    }
    if (le16(p) != keyLength + 6) return "PX record size";
    if (p[0x2C] != d[0x2D]) return "PX change stamp differs from the table's";
    // Data blocks in chain order: first key and count.
    std::vector<std::string> firstKeys;
    std::vector<int> counts;
    for (int b = le16(d + 0x0E); b != 0;) {
        const char* block = d + headerSize + (b - 1) * blockSize;
        int n = static_cast<std::int16_t>(le16(block + 4)) / recordSize + 1;
        firstKeys.emplace_back(block + 6, static_cast<std::size_t>(keyLength));
        counts.push_back(n);
        b = le16(block);
    }
    int pxBlock = p[5] * 1024, pxHeader = le16(p + 2), entry = keyLength + 6;
    int levels = static_cast<unsigned char>(p[0x20]), root = le16(p + 0x1E);
    auto decode = [](const char* e) { return static_cast<int>(be16(e) ^ 0x8000); };
    // Walk down from the root collecting the leaf entries in order.
    std::vector<std::pair<std::string, std::pair<int, int>>> leaves;
    std::string problem;
    std::function<int(int, int)> walk = [&](int block, int level) -> int {
        const char* b = p + pxHeader + (block - 1) * pxBlock;
        int n = static_cast<std::int16_t>(le16(b + 4)) / entry + 1;
        int total = 0;
        for (int i = 0; i < n; ++i) {
            const char* e = b + 6 + i * entry;
            std::string key(e, static_cast<std::size_t>(keyLength));
            int child = decode(e + keyLength), count = decode(e + keyLength + 2);
            if (level == 1) {
                leaves.push_back({key, {child, count}});
                total += count;
            } else {
                int below = walk(child, level - 1);
                if (below != count) problem = "upper entry count differs from its children";
                total += below;
            }
        }
        return total;
    };
    if (firstKeys.empty()) return le32(p + 6) == 0 ? "" : "entries in an empty index";
    walk(root, levels);
    if (!problem.empty()) return problem;
    if (leaves.size() != firstKeys.size()) return "level-1 entries differ from data blocks";
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        if (leaves[i].first != firstKeys[i]) return "level-1 key differs from block's first key";
        if (leaves[i].second.second != counts[i]) return "level-1 count differs from block's records";
        if (i > 0 && std::memcmp(leaves[i - 1].first.data(), leaves[i].first.data(), keyLength) > 0)
            return "index keys not ascending";
    }
    return "";
}

}  // namespace kimport::test
