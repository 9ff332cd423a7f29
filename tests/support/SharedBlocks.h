// What the file system says about a file's blocks, for tests of clones: whether a folder lies on XFS
// (which clones), and how many bytes of a file share their blocks with another file.
#pragma once

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kimport::test {

inline bool onXfs(const std::string& path) {
    constexpr long kXfsMagic = 0x58465342;
    struct statfs st {};
    return ::statfs(path.c_str(), &st) == 0 && st.f_type == kXfsMagic;
}

// The bytes of the file that share their blocks with another file, as the file system reports them.
inline std::uint64_t sharedBytes(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    constexpr unsigned kExtents = 256;
    std::vector<char> buffer(sizeof(fiemap) + kExtents * sizeof(fiemap_extent));
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    map->fm_start = 0;
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_flags = FIEMAP_FLAG_SYNC;
    map->fm_extent_count = kExtents;
    std::uint64_t shared = 0;
    if (::ioctl(fd, FS_IOC_FIEMAP, map) == 0)
        for (unsigned i = 0; i < map->fm_mapped_extents; ++i)
            if (map->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED) shared += map->fm_extents[i].fe_length;
    ::close(fd);
    return shared;
}

}  // namespace kimport::test
