// Copying a range between two open files. A clone (FICLONERANGE) shares the source's blocks: nothing is
// copied and no space is taken until one side changes. It needs both ends of the range on the file
// system's block size, except where the range ends at the source's end; where it is refused the kernel
// copies (copy_file_range, which some file systems turn into a clone by themselves), and where that is
// refused too (another file system, an old kernel) the program reads and writes.
#include "common/FileSystem.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <vector>

namespace kimport {

namespace {

std::atomic<CopyWay> bestWay{CopyWay::Clone};

constexpr std::size_t kCopyPiece = 1 << 20;

CopyWay copyByReading(FileHandle& from, FileHandle& to, std::uint64_t offset, std::uint64_t length) {
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyPiece)));
    to.seek(offset);
    for (std::uint64_t done = 0; done < length;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, buffer.size()));
        const std::size_t got = readFullyAt(from, offset + done, buffer.data(), want);
        if (got != want)
            throw IoError("Lesefehler in " + from.name() + ": die Datei endet vor dem zu kopierenden Bereich");
        to.seek(offset + done);
        to.write(buffer.data(), got);
        done += got;
    }
    return CopyWay::ReadWrite;
}

bool tryClone(int from, int to, std::uint64_t offset, std::uint64_t length) {
    file_clone_range range{};
    range.src_fd = from;
    range.src_offset = offset;
    range.src_length = length;
    range.dest_offset = offset;
    return ::ioctl(to, FICLONERANGE, &range) == 0;
}

// False when the kernel cannot copy between these files at all (then nothing was copied); throws on a
// real failure such as a full disk.
bool tryKernelCopy(FileHandle& source, FileHandle& target, std::uint64_t offset, std::uint64_t length) {
    const int from = source.descriptor(), to = target.descriptor();
    loff_t in = static_cast<loff_t>(offset), out = static_cast<loff_t>(offset);
    std::uint64_t left = length;
    while (left > 0) {
        // The kernel copies through a pipe, piece by piece from where the call starts. A long range that
        // starts off a megabyte goes there first, so that the pieces after it fill the page cache in
        // whole large pages: on ext4 the copy and its later sync then take a fifth less.
        std::uint64_t want = std::min<std::uint64_t>(left, 1u << 30);
        const std::uint64_t past = static_cast<std::uint64_t>(in) % kCopyPiece;
        if (past != 0 && want > 2 * kCopyPiece) want = kCopyPiece - past;
        const ssize_t n = ::copy_file_range(from, &in, to, &out, static_cast<std::size_t>(want), 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            const bool unsupported = errno == ENOSYS || errno == EXDEV || errno == EOPNOTSUPP || errno == EINVAL;
            if (unsupported && left == length) return false;
            throw IoError("Schreibfehler in " + target.name() + ": " + systemErrorText(errno));
        }
        if (n == 0)
            throw IoError("Lesefehler in " + source.name() + ": die Datei endet vor dem zu kopierenden Bereich");
        left -= static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace

void limitCopyWays(CopyWay best) {
    bestWay = best;
}

CopyWay FileHandle::copyFrom(FileHandle& source, std::uint64_t offset, std::uint64_t length) {
    if (length == 0) return CopyWay::Clone;
    const int from = source.descriptor(), to = descriptor();
    const CopyWay best = bestWay.load();
    if (from >= 0 && to >= 0) {
        if (best == CopyWay::Clone && tryClone(from, to, offset, length)) return CopyWay::Clone;
        if (best != CopyWay::ReadWrite && tryKernelCopy(source, *this, offset, length)) return CopyWay::KernelCopy;
    }
    return copyByReading(source, *this, offset, length);
}

}  // namespace kimport
