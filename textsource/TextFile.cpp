#include "textsource/TextFile.h"

#include "common/CodePage.h"
#include "common/Text.h"
#include "tablestore/TableError.h"
#include "textsource/TextSplit.h"

#include <array>
#include <vector>

namespace kimport {

namespace {

constexpr std::size_t kDetectBytes = 1 << 20;
constexpr std::size_t kReadBlock = 1 << 16;

// CR, LF and the end-of-file mark 0x1A: the bytes a line scan stops at.
constexpr auto kEndsLine = [] {
    std::array<bool, 256> stops{};
    stops['\r'] = stops['\n'] = stops[0x1A] = true;
    return stops;
}();

bool hasBom(const std::string& bytes) { return bytes.rfind("\xEF\xBB\xBF", 0) == 0; }

}  // namespace

TextEncoding detectEncoding(const std::string& path, TextEncoding chosen, bool dos, FileSystem& fs) {
    if (chosen != TextEncoding::Auto) return chosen;
    std::string head(kDetectBytes, '\0');
    try {
        auto file = fs.openRead(path);
        head.resize(file->read(head.data(), head.size()));
    } catch (const IoError&) {
        head.clear();  // the reader opened next says why
    }
    if (hasBom(head)) return TextEncoding::Utf8;
    if (dos) return TextEncoding::Dos850;
    bool ascii = true;
    for (char c : head) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return TextEncoding::Windows1252;
    // A multi-byte character cut by the end of the sample is no reason to doubt the rest.
    std::size_t end = head.size();
    for (int back = 0; back < 3 && end > 0 && (static_cast<unsigned char>(head[end - 1]) & 0xC0) == 0x80; ++back) --end;
    if (end > 0 && static_cast<unsigned char>(head[end - 1]) >= 0xC0) --end;
    return isValidUtf8(std::string_view(head).substr(0, end)) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

TextFileReader::TextFileReader(const std::string& path, TextEncoding encoding, FileSystem& fs)
    : path_(path), encoding_(encoding) {
    try {
        file_ = fs.openRead(path);
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, path);
    }
}

bool TextFileReader::refill() {
    if (buffer_.empty()) buffer_.resize(kReadBlock);
    try {
        end_ = file_->read(buffer_.data(), buffer_.size());
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, path_);
    }
    pos_ = 0;
    return end_ > 0;
}

void TextFileReader::tooLong(std::int64_t line) const {
    throw TableError("Die Zeile " + std::to_string(line) + " der Datei " + path_ + " ist länger als " +
                         std::to_string(kMaxTextLineBytes >> 20) + " MB; so lange Zeilen nimmt keine Zieltabelle auf.",
                     TableError::Kind::Value, path_);
}

bool TextFileReader::rawLine(std::string& bytes) {
    bytes.clear();
    if (ended_) return false;
    bool any = false;
    for (;;) {
        if (pos_ == end_ && !refill()) {
            ended_ = true;
            break;
        }
        const char* data = buffer_.data();
        std::size_t i = pos_;
        while (i < end_ && !kEndsLine[static_cast<unsigned char>(data[i])]) ++i;
        // Checked before the bytes are taken: a file without line ends never fills the memory.
        if (bytes.size() + (i - pos_) > kMaxTextLineBytes) tooLong(lines_ + 1);
        bytes.append(data + pos_, i - pos_);
        any = any || i > pos_;
        pos_ = i;
        if (i == end_) continue;
        const char c = data[i];
        ++pos_;
        if (c == 0x1A) {
            ended_ = true;
            break;
        }
        any = true;
        // CR LF is one line end, even when the block ends between the two.
        if (c == '\r' && (pos_ < end_ || refill()) && buffer_[pos_] == '\n') ++pos_;
        break;
    }
    if (!any) return false;
    if (lines_ == 0 && hasBom(bytes)) bytes.erase(0, 3);
    return true;
}

// Decodes `bytes` into `text`; ASCII and valid UTF-8 lines are moved, not copied.
void TextFileReader::decodeInto(std::string& bytes, std::string& text) const {
    if (isAscii(bytes) || (encoding_ == TextEncoding::Utf8 && isValidUtf8(bytes))) {
        text.swap(bytes);
        return;
    }
    // A line that is no UTF-8 after all is read as Windows text rather than dropped.
    text = decodeCodePage(bytes, encoding_ == TextEncoding::Dos850 ? 850 : 1252);
}

bool TextFileReader::nextLine(std::string& line) {
    if (!rawLine(bytes_)) return false;
    ++lines_;
    decodeInto(bytes_, line);
    return true;
}

bool TextFileReader::nextRecord(std::string& record, const TextLayout& layout, bool* unclosed) {
    if (unclosed) *unclosed = false;
    if (!nextLine(record)) return false;
    recordStart_ = lines_;
    if (!layout.splitsDelimited() || layout.activeQuote() == 0) return true;
    // Each line joined is scanned once, from inside the quoted section it continues.
    for (bool open = quoteOpenAtEnd(record, layout); open; open = quoteOpenAtEnd(more_, layout, true)) {
        if (!nextLine(more_)) {
            if (unclosed) *unclosed = true;
            break;
        }
        if (record.size() + 2 + more_.size() > kMaxTextLineBytes) tooLong(recordStart_);
        record += "\r\n";
        record += more_;
    }
    return true;
}

std::vector<std::string> firstLines(const std::string& path, TextEncoding encoding, std::size_t count, FileSystem& fs) {
    TextFileReader reader(path, encoding, fs);
    std::vector<std::string> lines;
    std::string line;
    while (lines.size() < count && reader.nextLine(line)) lines.push_back(std::move(line));
    return lines;
}

}  // namespace kimport
