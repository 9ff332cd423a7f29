// Any bytes given as a dBase table (and memo file) are read or refused with a
// TableError; reading never crashes, hangs or allocates without bound, and a
// table read as a stream gives as many records as read whole.
#include "MemoryFileSystem.h"
#include "StreamWalk.h"
#include "tablestore/Dump.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kimport::fuzz::MemoryFileSystem fs;
    std::string table, memo;
    kimport::fuzz::splitInput(data, size, table, memo);
    fs.files["/t/F.DBF"] = table;
    fs.files["/t/F.DBT"] = memo;
    fs.files["/t/F.FPT"] = memo;
    try {
        auto image = kimport::dbase::readTable("/t/F.DBF", fs);
        std::ostringstream out;
        kimport::dumpTable(*image, out);
        // The same records as a stream in small batches.
        kimport::fuzz::checkStreamCount(kimport::dbase::openStream("/t/F.DBF", fs), image->order.size());
    } catch (const kimport::TableError&) {
    }
    return 0;
}
