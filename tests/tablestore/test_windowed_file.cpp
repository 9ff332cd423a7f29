// The windowed reader hands out exactly the file's bytes, however the reads jump about: forward,
// backward, far ahead, past the end, and pieces larger than its window.
#include "support/TestSupport.h"
#include "tablestore/WindowedFile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace kimport;
using namespace kimport::test;

TEST(WindowedFile, HandsOutTheFilesBytesWhereverTheReadsGo) {
    TempDir dir;
    std::string content(3 * 1024 * 1024 + 777, '\0');
    std::mt19937 rng(5);
    for (char& c : content) c = static_cast<char>(rng() & 0xFF);
    writeFile(dir.file("daten.bin"), content);
    auto handle = realFileSystem().openRead(dir.file("daten.bin"));
    WindowedFile file(*handle, content.size());
    auto expectPiece = [&](std::uint64_t offset, std::size_t n) {
        const char* p = nullptr;
        const std::size_t got = file.read(offset, n, p);
        const std::size_t expected = offset >= content.size() ? 0 : std::min<std::size_t>(n, content.size() - offset);
        ASSERT_EQ(got, expected) << offset << "+" << n;
        if (got > 0) {
            EXPECT_EQ(std::string(p, got), content.substr(offset, got)) << offset << "+" << n;
        }
    };
    expectPiece(0, 4096);                    // fills the window
    expectPiece(4096, 4096);                 // inside it
    expectPiece((1 << 20) - 100, 4096);      // across its end, forward
    expectPiece(100, 4096);                  // back to the start
    expectPiece(3 * 1024 * 1024, 4096);      // far ahead, cut by the end of the file
    expectPiece(content.size(), 10);         // at the end: nothing
    expectPiece(content.size() + 5000, 10);  // past it: nothing
    expectPiece(10, 2 * 1024 * 1024 + 3);    // larger than the window
    for (int i = 0; i < 2000; ++i) expectPiece(rng() % (content.size() + 100), rng() % 70000);
}

namespace {
// Counts the bytes read from a file.
class CountingHandle : public FileHandle {
public:
    explicit CountingHandle(FileHandle& inner) : inner_(inner) {}
    std::size_t read(char* buffer, std::size_t n) override {
        const std::size_t got = inner_.read(buffer, n);
        bytes += got;
        return got;
    }
    void write(const char* data, std::size_t n) override { inner_.write(data, n); }
    void seek(std::uint64_t position) override { inner_.seek(position); }
    std::uint64_t size() override { return inner_.size(); }
    void sync() override { inner_.sync(); }
    std::uint64_t bytes = 0;

private:
    FileHandle& inner_;
};
}  // namespace

// A block chain running backwards must not read a whole window for every block.
TEST(WindowedFile, ReadsAFileWalkedBackwardsAboutOnce) {
    TempDir dir;
    const std::size_t size = 4 * 1024 * 1024, block = 4096;
    writeFile(dir.file("daten.bin"), std::string(size, 'x'));
    auto handle = realFileSystem().openRead(dir.file("daten.bin"));
    CountingHandle counting(*handle);
    WindowedFile file(counting, size);
    const char* p = nullptr;
    for (std::size_t k = size / block; k-- > 0;) ASSERT_EQ(file.read(k * block, block, p), block);
    EXPECT_LE(counting.bytes, 2 * size + (1 << 20));
    // Forward it is read once, in few pieces.
    CountingHandle forward(*handle);
    WindowedFile again(forward, size);
    for (std::size_t k = 0; k < size / block; ++k) ASSERT_EQ(again.read(k * block, block, p), block);
    EXPECT_EQ(forward.bytes, size);
}
