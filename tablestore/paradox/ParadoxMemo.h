// The Paradox .MB file: reading blob values a record points to, and writing a
// fresh file that holds a table's blobs.
//
// A save never updates an .MB in place: it writes a new file with only the values
// the records use, so the free-space list Paradox keeps in the header never needs
// to be understood, and no value is ever left half changed.
#pragma once

#include "common/FileSystem.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/WindowedFile.h"

#include <cstdint>
#include <string>
#include <memory>
#include <vector>

namespace kimport::paradox {

class MemoFile {
public:
    // Opens the .MB at path for reading. Throws TableError: Io when it cannot be read, Damaged when
    // its first block is not a plain header (the table itself was found unencrypted, so a scrambled
    // .MB means damage). Only regular files are opened (FileSystem::openRead).
    MemoFile(const std::string& path, FileSystem& fs);
    // The value a blob field of `length` bytes points to (leader, 4-byte
    // pointer, 4-byte size, 2-byte modification number). Graphics lose their
    // 8-byte prefix. A pointer outside the file, to a block of the wrong type or to
    // an unused slot gives an empty value: one damaged value does not cost the table.
    // Throws TableError (Io) when the file cannot be read.
    std::string valueOf(const char* field, int length, int physicalType) const;

private:
    // n bytes at the offset, or nullptr when the file ends first. The memo file is read through a
    // window: it is never held whole beside the values taken from it.
    const char* bytesAt(std::uint64_t offset, std::size_t n) const;

    std::string path_;
    std::unique_ptr<FileHandle> file_;
    std::unique_ptr<WindowedFile> window_;
};

// Writes blobs into a new .MB (or after the end of an old one) as they come: small ones share sub-allocated
// blocks, large ones get blocks of their own. Only the sub-allocated block being
// filled and the header are held; the header is written last, by finish().
// The file handle (from a FileSetWriter) must outlive the writer; writes to it
// throw IoError, which the table's save turns into its own error.
class MemoWriter {
public:
    explicit MemoWriter(FileHandle& file);
    // Appends to an existing .MB instead, as Paradox's rules allow: new blocks after its end (a size
    // rounded up to whole units), old blocks and the free-space list left alone, the header's
    // modification number raised once for the values added. header: the file's first block as read.
    MemoWriter(FileHandle& file, std::vector<char> header, std::uint64_t end);
    // Stores a value for a blob field and fills the field's 10-byte tail (and leader).
    // An empty value is no value: the field is zeroed and nothing is written.
    // Throws TableError (Limit) when the value or the file would exceed 4 GB.
    void store(char* field, int length, int physicalType, const std::string& value);
    // Writes the open sub-allocated block and the header; nothing may be stored after it.
    void finish();

private:
    std::uint32_t addSmall(const std::string& data, std::uint8_t& slot);
    std::uint32_t addLarge(const std::string& data);
    void closeSubBlock();

    FileHandle& file_;
    std::vector<char> header_;      // the first block
    std::vector<char> subBlock_;    // the type-3 block being filled
    std::uint64_t size_ = 0;        // the file's length so far, the open sub-block included
    std::uint32_t openSubBlock_ = 0;  // offset of the type-3 block being filled, 0 = none
    int nextChunk_ = 0;
    int nextSlot_ = 0;
    // Every value of a fresh file has the same modification number; Paradox only compares them
    // between a record's tail and the .MB, never across values.
    std::uint16_t modification_ = 1;
};

}  // namespace kimport::paradox
