// Memo files beside a .DBF: .DBT in the dBase III and IV layouts and the
// big-endian .FPT of FoxPro. Reading answers by block number through a window
// on the file, which is never held whole beside the values taken from it;
// writing only ever appends (to a fresh copy, or to a patch of the old file),
// so no reader ever meets a reused block.
#pragma once

#include "tablestore/FileSetWriter.h"
#include "tablestore/WindowedFile.h"
#include "tablestore/dbase/DbfFormat.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kimport::dbase {

// The layout of the memo file a table of this version reads: the .FPT for FoxPro, dBase IV's .DBT for
// the versions with its bit, dBase 5 and level 7, dBase III's for the others. Clipper and FoxBASE
// tables of dBase versions may carry an .FPT instead, which only the file's extension tells.
MemoStyle memoStyleOf(int version);

// Reads values by block number. Nothing in a memo file is trusted: a pointer into the header or past
// the end, a length past the end or a missing end mark give no value or a value cut at the file's
// end, never an error, so one damaged value costs only itself.
class MemoFileReader {
public:
    // Takes the file and reads the block size from its header (the style's usual one when the header
    // is cut short). Throws IoError when the file cannot be read; the table's reader turns it into
    // its own error.
    MemoFileReader(std::unique_ptr<FileHandle> file, MemoStyle style);
    // The value that starts at the block; nullopt when the pointer leads outside
    // the values or the value is longer than maxLength (then tooLong is set). maxLength bounds
    // what a damaged file can make the reader hold (dBase III values have no stored length).
    // Throws IoError when the file cannot be read.
    std::optional<std::string> valueAt(std::uint64_t block, std::uint64_t maxLength, bool& tooLong);
    std::uint64_t size() const { return size_; }
    std::uint32_t blockSize() const { return blockSize_; }
    // The file read, for a patch of it that appends values.
    FileHandle& file() { return *file_; }

private:
    std::optional<std::string> untilEndMark(std::uint64_t offset, std::uint64_t maxLength, bool& tooLong);
    // n bytes at the offset, or nullptr where the file ends first; valid until the next read.
    const char* bytesAt(std::uint64_t offset, std::size_t n);

    std::unique_ptr<FileHandle> file_;
    std::uint64_t size_;
    WindowedFile window_;
    MemoStyle style_;
    std::uint32_t blockSize_ = 512;
};

// Lays out a memo file for a writer that streams it: the caller asks how many blocks each value takes,
// hands out block numbers from firstBlock() on, writes header(nextFree) and then each value in that
// order. The writer holds no file and throws only what the BufferedOutput throws (IoError). A save
// in place takes the value's head and tail and the header's next free block from it instead.
class MemoFileWriter {
public:
    // tableBaseName goes into the dBase IV header; blockSize 0 takes the style's usual one. dBase III
    // files always get 512-byte blocks and dBase IV files a multiple of 64, whatever is asked.
    MemoFileWriter(MemoStyle style, std::string tableBaseName, std::uint32_t blockSize = 0);
    std::uint32_t blockSize() const { return blockSize_; }
    // Block number of the first value.
    std::uint64_t firstBlock() const;
    // Blocks a value of this many bytes takes, block header and end mark included.
    std::uint64_t blocksFor(std::size_t length) const;
    // The header block, stating the next free block.
    std::string header(std::uint64_t nextFree) const;
    // Writes one value from the start of a block and pads the last block. Expects the output to stand
    // at the start of the value's block. fptType: kFptText, kFptPicture (binary) or kFptObject (OLE).
    void writeValue(BufferedOutput& out, std::string_view value, std::uint32_t fptType) const;
    // What goes before and after a value of this length in its blocks (head; end mark and padding), for
    // a writer that puts the value's bytes between them itself.
    std::string valueHead(std::size_t length, std::uint32_t fptType) const;
    std::string valueTail(std::size_t length) const;
    // Where the header keeps the next free block, and its 4 bytes there: what an append to an existing
    // file changes in its header.
    std::uint64_t nextFreeAt() const;
    std::string nextFreeBytes(std::uint64_t nextFree) const;

private:
    MemoStyle style_;
    std::string baseName_;
    std::uint32_t blockSize_;
};

// The memo block type FoxPro gives a field's values.
std::uint32_t fptBlockType(const FieldDef& field);

}  // namespace kimport::dbase
