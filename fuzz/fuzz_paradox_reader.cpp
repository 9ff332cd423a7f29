// Any bytes given as a Paradox table (and memo file) are read or refused with
// a TableError; reading never crashes, hangs or allocates without bound, and a
// table read as a stream gives as many records as read whole.
#include "MemoryFileSystem.h"
#include "StreamWalk.h"
#include "tablestore/Dump.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kimport::fuzz::MemoryFileSystem fs;
    kimport::fuzz::splitInput(data, size, fs.files["/t/F.DB"], fs.files["/t/F.MB"]);
    try {
        auto image = kimport::paradox::readTable("/t/F.DB", fs);
        std::ostringstream out;
        kimport::dumpTable(*image, out);
        // The same records as a stream in small batches.
        kimport::fuzz::checkStreamCount(kimport::paradox::openStream("/t/F.DB", fs), image->order.size());
        kimport::paradox::writeTable(*image, fs);  // what was read can be written back
        auto again = kimport::paradox::readTable("/t/F.DB", fs);
    } catch (const kimport::TableError&) {
    }
    return 0;
}
