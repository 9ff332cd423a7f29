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

TextEncoding detectEncoding(const std::string& path, TextEncoding chosen, bool dos) {
    if (chosen != TextEncoding::Auto) return chosen;
    std::ifstream in(path, std::ios::binary);
    std::string head(kDetectBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
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

TextFileReader::TextFileReader(const std::string& path, TextEncoding encoding)
    : in_(path, std::ios::binary), path_(path), encoding_(encoding) {
    if (!in_) throw TableError("Die Datei " + path + " kann nicht geöffnet werden.", TableError::Kind::Io, path);
}

bool TextFileReader::refill() {
    if (buffer_.empty()) buffer_.resize(kReadBlock);
    in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    pos_ = 0;
    end_ = static_cast<std::size_t>(in_.gcount());
    return end_ > 0;
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
    std::string more;
    while (quoteOpenAtEnd(record, layout)) {
        if (!nextLine(more)) {
            if (unclosed) *unclosed = true;
            break;
        }
        record += "\r\n" + more;
    }
    return true;
}

std::vector<std::string> firstLines(const std::string& path, TextEncoding encoding, std::size_t count) {
    TextFileReader reader(path, encoding);
    std::vector<std::string> lines;
    std::string line;
    while (lines.size() < count && reader.nextLine(line)) lines.push_back(line);
    return lines;
}

}  // namespace kimport
