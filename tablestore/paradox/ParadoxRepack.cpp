// A paged table whose blocks run out is written anew with larger blocks, block by block along its
// chain: the records keep their order and their .MB pointers, the .PX is rebuilt over the new blocks,
// and the files replace the old ones at once, as a whole save would make them.
#include "tablestore/FileSetWriter.h"
#include "tablestore/TableError.h"
#include "tablestore/paradox/ParadoxHeader.h"
#include "tablestore/paradox/ParadoxIndex.h"
#include "tablestore/paradox/ParadoxPagedRecords.h"
#include "tablestore/paradox/ParadoxWriter.h"

#include <cstring>

namespace kimport::paradox {

bool PagedRecords::makeRoom(FileSystem& fs, std::uint64_t records) {
    files_.requireNotLost();
    const int before = image_.paradox.blockSizeKb;
    const std::vector<char> header = image_.originalHeader;
    const int version = image_.paradox.version;
    chooseBlockSize(image_, static_cast<std::size_t>(records));
    if (image_.paradox.blockSizeKb == before) return false;
    try {
        const std::size_t rs = files_.recordSize();
        const std::size_t blockSize = static_cast<std::size_t>(image_.paradox.blockSizeKb) * 1024;
        const std::size_t perBlock = (blockSize - kBlockHeadBytes) / rs;
        const std::uint64_t total = index_.records();
        const auto blocks = static_cast<std::uint32_t>((total + perBlock - 1) / perBlock);
        std::vector<char> newHeader = buildHeader(image_, ChainCounts{static_cast<std::uint32_t>(total), blocks, blocks,
                                                                      blocks ? 1u : 0u, blocks, 0});
        FileSetWriter writer(fs, image_.dataPath);
        BufferedOutput out(writer.create(image_.dataPath));
        out.write(newHeader.data(), newHeader.size());
        std::vector<char> from(files_.blockSize()), to(blockSize, 0);
        std::vector<char> firstKeys;
        std::vector<std::uint16_t> counts;
        std::size_t filled = 0;
        std::uint32_t written = 0;
        auto flush = [&] {
            ++written;
            setNext(to.data(), written < blocks ? written + 1 : 0);
            setPrev(to.data(), written - 1);
            setRecords(to.data(), filled, rs);
            firstKeys.insert(firstKeys.end(), to.data() + kBlockHeadBytes, to.data() + kBlockHeadBytes + index_.keyLength());
            counts.push_back(static_cast<std::uint16_t>(filled));
            out.write(to.data(), to.size());
            std::memset(to.data(), 0, to.size());
            filled = 0;
        };
        for (std::size_t pos = 0; pos < index_.size(); ++pos) {
            // Read past the cache: the whole table goes through here once.
            files_.peek(index_.block(pos), from.data(), from.size());
            for (std::size_t i = 0; i < index_.count(pos); ++i) {
                std::memcpy(to.data() + kBlockHeadBytes + filled * rs, from.data() + kBlockHeadBytes + i * rs, rs);
                if (++filled == perBlock) flush();
            }
        }
        if (filled > 0) flush();
        out.flush();
        const std::string indexPath = indexPathFor(image_.dataPath, fs);
        if (keyOrder_) {
            PrimaryIndexInput in = indexInputFor(image_, static_cast<unsigned char>(newHeader[kChangeCountAt]));
            in.firstKeys = std::move(firstKeys);
            in.counts = std::move(counts);
            std::vector<char> px = buildPrimaryIndex(in);
            writer.create(indexPath).write(px.data(), px.size());
        }
        writer.commit();
        image_.originalHeader = std::move(newHeader);
    } catch (...) {
        // The old files stay, and so do the facts that describe them.
        image_.originalHeader = header;
        image_.paradox.blockSizeKb = before;
        image_.paradox.version = version;
        throw;
    }
    return true;
}

}  // namespace kimport::paradox
