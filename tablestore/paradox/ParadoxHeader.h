// The header of a Paradox .DB file: made new for a new table, or the header
// as read with its counts brought up to date.
//
// A header read from disk is kept byte for byte (TableImage::originalHeader) and
// only its counts, counters and time are rewritten on a save: the bytes we do not
// interpret (field numbers after a restructure, a referential-integrity mark) stay
// what Paradox wrote. A new header is made only for a new table or a new level.
#pragma once

#include "tablestore/FieldDef.h"
#include "tablestore/TableImage.h"

#include <cstdint>
#include <vector>

namespace kimport::paradox {

// The header for a save of the image: its originalHeader with the record and block counts, the
// block size, the auto-increment value and the update time set, and the change counter bumped
// (never below 2, so that a .PX written with it is taken as current).
// Expects an originalHeader that describes the image's fields. Throws nothing but std::bad_alloc.
std::vector<char> buildHeader(const TableImage& image, std::uint32_t records, std::uint32_t blocks);

// Where a table's records lie in its blocks, as the header counts it.
struct ChainCounts {
    std::uint32_t records = 0;
    std::uint32_t usedBlocks = 0;   // blocks in the chain
    std::uint32_t totalBlocks = 0;  // blocks in the file, free ones included
    std::uint32_t firstBlock = 0;   // 0 for an empty chain
    std::uint32_t lastBlock = 0;
    std::uint32_t firstFreeBlock = 0;
};
// The same for a file whose blocks were changed where they lie: the chain as it now stands.
std::vector<char> buildHeader(const TableImage& image, const ChainCounts& chain);

// Header bytes of a new table (counts zero) for these fields, laid out as Paradox lays out the level
// `version`: with the extension from level 4, padded to whole 2 KB units from level 3.5.
// tableName is stored as the name at creation; only its first 78 (260) bytes are kept.
// Throws TableError (Usage) when a field name cannot be written in the code page.
std::vector<char> newHeader(const std::vector<FieldDef>& fields, int keyFieldCount, int version, int codePage,
                            int sortOrder, const std::string& tableName);

}  // namespace kimport::paradox
