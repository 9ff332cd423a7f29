// The .PX primary index of a keyed Paradox table written in key order.
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

// The whole .PX file.
std::vector<char> buildPrimaryIndex(const PrimaryIndexInput& in);

}  // namespace kimport::paradox
