// A UTF-16 text file read as UTF-8: the text reader splits lines on CR and LF bytes, which UTF-16
// text does not have as single bytes. The byte-order mark, where there is one, tells the byte
// order (else the one chosen holds) and is dropped; a unit that is no character
// (a lone surrogate) becomes U+FFFD rather than ending the read.
#pragma once

#include "common/FileSystem.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kimport {

class Utf16Decoder : public FileHandle {
public:
    Utf16Decoder(std::unique_ptr<FileHandle> file, bool bigEndian);
    ~Utf16Decoder() override;
    Utf16Decoder(const Utf16Decoder&) = delete;
    Utf16Decoder& operator=(const Utf16Decoder&) = delete;

    std::size_t read(char* buffer, std::size_t n) override;
    void write(const char*, std::size_t) override;
    void seek(std::uint64_t) override;
    void sync() override {}
    // The size of the UTF-16 file.
    std::uint64_t size() override { return file_->size(); }
    // The bytes of the UTF-16 file converted so far.
    std::uint64_t consumed() const { return consumed_; }

private:
    bool fill();

    std::unique_ptr<FileHandle> file_;
    void* converter_;
    std::vector<char> in_;
    std::size_t inPos_ = 0, inEnd_ = 0;
    std::uint64_t consumed_ = 0;
    bool started_ = false, ended_ = false;
    bool bigEndian_;
};

}  // namespace kimport
