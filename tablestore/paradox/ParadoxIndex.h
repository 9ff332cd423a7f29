// The .PX primary index of a keyed Paradox table written in key order.
//
// The index is always rebuilt whole, never updated: a save writes the data
// blocks in key order, each filled to capacity, so the index is a B-tree built
// bottom-up over the first key of every block, the way Paradox's own
// restructure builds it.
#pragma once

#include "common/FileSystem.h"
#include "tablestore/TableImage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kimport::paradox {

struct PrimaryIndexInput {
    std::vector<char> keyFieldInfo;       // 2 bytes per key field, as in the .DB header
    int keyLength = 0;                    // bytes of the key fields
    std::vector<char> firstKeys;          // first key of every data block, in chain order
    std::vector<std::uint16_t> counts;    // records of every data block
    std::vector<std::uint16_t> blocks;    // the data blocks' numbers; empty: 1, 2, 3 ... (a save's own)
    int version = 0;
    int sortOrder = 0;
    int changeStamp = 0;                  // the .DB's change counter
    std::string tableName;                // stored in the header
};

// The whole .PX file: a 2 KB header, then the index blocks numbered root first and leaves last,
// chained in that order. Expects firstKeys to hold keyLength bytes per entry of counts, the blocks
// in ascending key order. The block size is the smallest of 2, 4, ... 32 KB that holds three entries,
// the least Paradox accepts. Throws TableError (Limit) when even 32 KB blocks cannot.
std::vector<char> buildPrimaryIndex(const PrimaryIndexInput& in);

// The .PX beside a .DB: an existing one under its own name, a new one's extension in the letter case
// of the data file's.
std::string indexPathFor(const std::string& dataPath, FileSystem& fs);

// The input for the image's index without its blocks: the key fields, the level and sort order, the
// name, and the change counter of the header the .DB is saved with.
PrimaryIndexInput indexInputFor(const TableImage& image, int changeStamp);

// The lowest level of a .PX read back: one entry per data block, in chain order.
struct IndexLeaves {
    std::vector<std::uint32_t> blocks;
    std::vector<std::uint32_t> counts;
    std::vector<char> firstKeys;  // keyLength bytes per block
};
// Reads a whole .PX of a table whose key has keyLength bytes and whose header carries changeStamp.
// None when it is not an index this reader trusts: another stamp, a size or a level that does not fit,
// a child outside the file or met twice, a count that does not add up. The caller still has to check
// the leaves against the table (their blocks, their sum).
std::optional<IndexLeaves> readPrimaryIndex(const std::vector<char>& px, std::size_t keyLength, int changeStamp);

}  // namespace kimport::paradox
