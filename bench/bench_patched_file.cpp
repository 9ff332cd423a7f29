// A save that changes 1,000 scattered 3 KB blocks of a 179 MB file (the data file of a 2.5 million
// record Paradox table: a 2 KB header and 61,000 blocks of 3 KB), swapped in through a FileSetWriter
// with its sync. Three ways: the PatchedFile (unchanged ranges cloned around the changed pages), the
// whole file cloned first and the blocks written over it, and the whole file written anew as a save
// without PatchedFile does. Prints each phase's time and peak memory and the folder's file system;
// TMPDIR chooses the folder (an XFS mount shows the clones). KIMPORT_BENCH_KEEP=1 keeps the file.
#include "BenchSupport.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/PatchedFile.h"

#include <sys/statfs.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>

using namespace kimport;
using namespace kimport::bench;

namespace {

constexpr std::uint64_t kHeader = 2048;
constexpr std::uint64_t kBlock = 3072;
constexpr std::uint64_t kBlocks = 61000;
constexpr int kChanged = 1000;

void makeFile(const std::string& path) {
    auto file = realFileSystem().create(path);
    std::vector<char> piece(kBlock * 341);  // about 1 MB
    std::mt19937 random(1);
    for (std::uint64_t written = 0; written < kHeader + kBlocks * kBlock;) {
        for (char& c : piece) c = static_cast<char>('A' + random() % 26);
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), kHeader + kBlocks * kBlock - written));
        file->write(piece.data(), n);
        written += n;
    }
    file->sync();
}

// The same 1,000 distinct blocks in every phase, in the order a run would change them.
std::vector<std::uint64_t> changedOffsets() {
    std::mt19937 random(7);
    std::set<std::uint64_t> seen;
    std::vector<std::uint64_t> offsets;
    while (offsets.size() < kChanged) {
        const std::uint64_t block = random() % kBlocks;
        if (seen.insert(block).second) offsets.push_back(kHeader + block * kBlock);
    }
    return offsets;
}

void patchedSave(const std::string& path) {
    FileSystem& fs = realFileSystem();
    FileSetWriter writer(fs, path);
    auto original = fs.openRead(path);
    PatchedFile file(writer, *original, path);
    const std::string block(kBlock, '#');
    for (std::uint64_t offset : changedOffsets()) file.write(offset, block.data(), block.size());
    file.finish();
    writer.commit();
}

void clonedThenWrittenSave(const std::string& path) {
    FileSystem& fs = realFileSystem();
    FileSetWriter writer(fs, path);
    auto original = fs.openRead(path);
    FileHandle& copy = writer.create(path);
    copy.copyFrom(*original, 0, original->size());
    const std::string block(kBlock, '#');
    for (std::uint64_t offset : changedOffsets()) {
        copy.seek(offset);
        copy.write(block.data(), block.size());
    }
    writer.commit();
}

void wholeSave(const std::string& path) {
    FileSystem& fs = realFileSystem();
    FileSetWriter writer(fs, path);
    auto original = fs.openRead(path);
    FileHandle& copy = writer.create(path);
    std::vector<std::uint64_t> offsets = changedOffsets();
    std::sort(offsets.begin(), offsets.end());
    std::vector<char> piece(1 << 20);
    const std::uint64_t size = original->size();
    for (std::uint64_t at = 0; at < size;) {
        const std::size_t n = readFullyAt(*original, at, piece.data(),
                                          static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), size - at)));
        // The changed blocks as the writer would produce them from the records held.
        for (auto it = std::upper_bound(offsets.begin(), offsets.end(), at < kBlock ? 0 : at - kBlock);
             it != offsets.end() && *it < at + n; ++it) {
            const std::uint64_t from = std::max(*it, at), to = std::min(*it + kBlock, at + n);
            if (from < to) std::memset(piece.data() + (from - at), '#', static_cast<std::size_t>(to - from));
        }
        copy.write(piece.data(), n);
        at += n;
    }
    writer.commit();
}

std::string fileSystemName(const std::string& dir) {
    struct statfs st {};
    if (::statfs(dir.c_str(), &st) != 0) return "?";
    switch (st.f_type) {
        case 0x58465342:
            return "XFS";
        case 0xEF53:
            return "ext4";
        case 0x9123683E:
            return "Btrfs";
        case 0x01021994:
            return "tmpfs";
        default:
            return "other";
    }
}

}  // namespace

int main() {
    const std::string dir = (std::filesystem::temp_directory_path() / "kimport-bench-patch/").string();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = dir + "GROSS.DB";
    makeFile(path);
    std::printf("patched save: %d scattered 3 KB blocks of a %.1f MB file on %s (clone unit %llu)\n", kChanged,
                static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0), fileSystemName(dir).c_str(),
                static_cast<unsigned long long>(realFileSystem().cloneUnit(path)));
    bool ok = true;
    auto phase = [&](const char* what, void (*save)(const std::string&)) {
        ::sync();  // the phase pays for its own writes only
        const PhaseResult r = runPhase([&] { save(path); });
        std::printf("%-32s %7.3f s   peak %6.1f MB\n", what, r.seconds, static_cast<double>(r.peakKb) / 1024);
        ok = ok && r.ok;
        return r.seconds;
    };
    phase("PatchedFile: clone gaps, write", patchedSave);
    phase("clone whole, write over it", clonedThenWrittenSave);
    phase("whole file written", wholeSave);
    if (!std::getenv("KIMPORT_BENCH_KEEP")) std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
