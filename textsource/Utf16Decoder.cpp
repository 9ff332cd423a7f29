#include "textsource/Utf16Decoder.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace kimport {

namespace {

constexpr std::size_t kBlock = 1 << 16;
constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

iconv_t handleOf(void* p) { return static_cast<iconv_t>(p); }

}  // namespace

Utf16Decoder::Utf16Decoder(std::unique_ptr<FileHandle> file, bool bigEndian)
    : file_(std::move(file)), in_(kBlock), bigEndian_(bigEndian) {
    iconv_t cd = iconv_open("UTF-8", bigEndian ? "UTF-16BE" : "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw IoError("UTF-16 kann auf diesem System nicht gelesen werden.");
    converter_ = cd;
}

Utf16Decoder::~Utf16Decoder() { iconv_close(handleOf(converter_)); }

void Utf16Decoder::write(const char*, std::size_t) { throw IoError("Eine UTF-16-Datei wird nur gelesen."); }
void Utf16Decoder::seek(std::uint64_t) { throw IoError("Eine UTF-16-Datei wird nur von vorn gelesen."); }

// Moves what is left of the input to the front and reads behind it; false when nothing came.
bool Utf16Decoder::fill() {
    if (ended_) return false;
    std::memmove(in_.data(), in_.data() + inPos_, inEnd_ - inPos_);
    inEnd_ -= inPos_;
    inPos_ = 0;
    const std::size_t got = file_->read(in_.data() + inEnd_, in_.size() - inEnd_);
    if (got == 0) ended_ = true;
    inEnd_ += got;
    if (!started_ && inEnd_ >= 2) {
        started_ = true;
        // The byte-order mark, where there is one, says the order whatever was chosen.
        const auto b0 = static_cast<unsigned char>(in_[0]), b1 = static_cast<unsigned char>(in_[1]);
        const bool bigMark = b0 == 0xFE && b1 == 0xFF, littleMark = b0 == 0xFF && b1 == 0xFE;
        if (bigMark || littleMark) {
            inPos_ = 2;
            consumed_ = 2;
            if (bigMark != bigEndian_) {
                iconv_t cd = iconv_open("UTF-8", bigMark ? "UTF-16BE" : "UTF-16LE");
                if (cd != reinterpret_cast<iconv_t>(-1)) {
                    iconv_close(handleOf(converter_));
                    converter_ = cd;
                    bigEndian_ = bigMark;
                }
            }
        }
    }
    return got > 0;
}

std::size_t Utf16Decoder::read(char* buffer, std::size_t n) {
    char* out = buffer;
    std::size_t room = n;
    while (room >= 4) {  // room for any one character
        if (inEnd_ - inPos_ < 4 && !ended_) fill();
        std::size_t left = inEnd_ - inPos_;
        if (left == 0) break;
        char* from = in_.data() + inPos_;
        const std::size_t before = left;
        const std::size_t r = iconv(handleOf(converter_), &from, &left, &out, &room);
        inPos_ += before - left;
        consumed_ += before - left;
        if (r != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) break;
        if (errno == EINVAL && !ended_) {  // a character cut by the block: read on
            fill();
            continue;
        }
        // EILSEQ, or a last odd byte: one unit stands for the character it could not be.
        const std::size_t skip = std::min<std::size_t>(2, inEnd_ - inPos_);
        inPos_ += skip;
        consumed_ += skip;
        if (room < 3) break;
        std::memcpy(out, kReplacement, 3);
        out += 3;
        room -= 3;
    }
    return static_cast<std::size_t>(out - buffer);
}

}  // namespace kimport
