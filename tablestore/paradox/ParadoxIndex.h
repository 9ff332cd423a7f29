// The .PX primary index of a keyed Paradox table written in key order.
//
// The index is always rebuilt whole, never updated: a save writes the data
// blocks in key order, each filled to capacity, so the index is a B-tree built
// bottom-up over the first key of every block, the way Paradox's own
// restructure builds it.
#pragma once

#include "common/FileSystem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kimport::paradox {

struct PrimaryIndexInput {
    std::vector<char> keyFieldInfo;       // 2 bytes per key field, as in the .DB header
    int keyLength = 0;                    // bytes of the key fields
    std::vector<char> firstKeys;          // first key of every data block, in chain order
    std::vector<std::uint16_t> counts;    // records of every data block
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

}  // namespace kimport::paradox
