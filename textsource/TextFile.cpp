#include "textsource/TextFile.h"

#include "common/CodePage.h"
#include "common/Text.h"
#include "tablestore/TableError.h"
#include "textsource/TextSplit.h"

#include <vector>

namespace kimport {

namespace {

constexpr std::size_t kDetectBytes = 1 << 20;

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

bool TextFileReader::rawLine(std::string& bytes) {
    bytes.clear();
    if (ended_) return false;
    std::streambuf* buf = in_.rdbuf();
    bool any = false;
    for (;;) {
        int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof() || c == 0x1A) {
            ended_ = true;
            return any;
        }
        any = true;
        if (c == '\r') {
            if (buf->sgetc() == '\n') buf->sbumpc();
            break;
        }
        if (c == '\n') break;
        bytes += static_cast<char>(c);
    }
    if (lines_ == 0 && hasBom(bytes)) bytes.erase(0, 3);
    return true;
}

std::string TextFileReader::decode(const std::string& bytes) const {
    switch (encoding_) {
        case TextEncoding::Utf8:
            // A line that is no UTF-8 after all is read as Windows text rather than dropped.
            return isValidUtf8(bytes) ? bytes : decodeCodePage(bytes, 1252);
        case TextEncoding::Dos850:
            return decodeCodePage(bytes, 850);
        default:
            return decodeCodePage(bytes, 1252);
    }
}

bool TextFileReader::nextLine(std::string& line) {
    std::string bytes;
    if (!rawLine(bytes)) return false;
    ++lines_;
    line = decode(bytes);
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
