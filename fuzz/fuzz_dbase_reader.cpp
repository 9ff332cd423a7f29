// Any bytes given as a dBase table (and memo file) are read or refused with a
// TableError; reading never crashes, hangs or allocates without bound.
#include "MemoryFileSystem.h"
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
    } catch (const kimport::TableError&) {
    }
    return 0;
}
