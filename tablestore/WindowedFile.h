// Reads a file piece by piece through a window, so that a table's records or memo values are taken
// without holding the whole file. Reads that go on forward fill a 1 MB window; a jump back or far
// ahead reads only the piece asked for, so a scattered block chain costs no more than the file.
#pragma once

#include "common/FileSystem.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kimport {

class WindowedFile {
public:
    WindowedFile(FileHandle& file, std::uint64_t size) : file_(file), size_(size) {}

    std::uint64_t size() const { return size_; }
    // Up to n bytes at the offset (fewer where the file ends); p points at them until the next call.
    // Throws IoError.
    std::size_t read(std::uint64_t offset, std::size_t n, const char*& p) {
        const std::uint64_t end = windowStart_ + window_.size();
        if (offset >= windowStart_ && offset + n <= end) {
            p = window_.data() + (offset - windowStart_);
            return n;
        }
        if (offset >= size_) return 0;
        const bool forward = window_.empty() || (offset >= end && offset - end < kWindow);
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size_ - offset, forward ? std::max(n, kWindow) : n));
        window_.resize(want);
        window_.resize(readFullyAt(file_, offset, window_.data(), want));
        windowStart_ = offset;
        p = window_.data();
        return std::min(n, window_.size());
    }

private:
    static constexpr std::size_t kWindow = 1 << 20;
    FileHandle& file_;
    std::uint64_t size_;
    std::vector<char> window_;
    std::uint64_t windowStart_ = 0;
};

}  // namespace kimport
