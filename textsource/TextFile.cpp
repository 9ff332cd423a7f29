#include "textsource/TextFile.h"

#include "common/CodePage.h"
#include "common/Text.h"
#include "tablestore/TableError.h"
#include "textsource/TextSplit.h"
#include "textsource/Utf16Decoder.h"

#include <array>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

namespace kimport {

namespace {

constexpr std::size_t kReadBlock = 1 << 16;

// CR, LF and the end-of-file mark 0x1A: the bytes a line scan stops at.
constexpr auto kEndsLine = [] {
    std::array<bool, 256> stops{};
    stops['\r'] = stops['\n'] = stops[0x1A] = true;
    return stops;
}();

bool hasBom(const std::string& bytes) { return bytes.rfind("\xEF\xBB\xBF", 0) == 0; }

}  // namespace

namespace {

// How the bytes of a file read, from all of them: a UTF-8 character may first occur anywhere.
TextEncoding scanEncoding(FileHandle& file, bool dos) {
    std::vector<char> block(kReadBlock);
    std::size_t kept = 0;  // bytes of a character cut by the last block
    bool first = true, nonAscii = false;
    for (;;) {
        const std::size_t got = file.read(block.data() + kept, block.size() - kept);
        const std::size_t end = kept + got;
        std::string_view bytes(block.data(), end);
        if (first) {
            first = false;
            if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return TextEncoding::Utf8;
            if (bytes.substr(0, 2) == "\xFF\xFE") return TextEncoding::Utf16Le;
            if (bytes.substr(0, 2) == "\xFE\xFF") return TextEncoding::Utf16Be;
            if (dos) return TextEncoding::Dos850;
        }
        // A character cut by the end of the block is checked with the next one.
        std::size_t whole = end;
        if (got > 0) {
            std::size_t back = 0;
            while (back < 3 && whole > 0 && (static_cast<unsigned char>(bytes[whole - 1]) & 0xC0) == 0x80) --whole, ++back;
            if (whole > 0 && static_cast<unsigned char>(bytes[whole - 1]) >= 0xC0) --whole;
            else whole = end;
        }
        const std::string_view checked = bytes.substr(0, whole);
        if (!isAscii(checked)) {
            if (!isValidUtf8(checked)) return TextEncoding::Windows1252;
            nonAscii = true;
        }
        if (got == 0) break;
        kept = end - whole;
        std::memmove(block.data(), block.data() + whole, kept);
    }
    return nonAscii ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

// The last file decided, so that every preview of the same file does not read it whole again.
struct DecidedEncoding {
    const FileSystem* fs = nullptr;
    std::string path, identity;
    bool dos = false;
    TextEncoding encoding = TextEncoding::Auto;
};
std::mutex decidedMutex;
DecidedEncoding decided;

}  // namespace

TextEncoding detectEncoding(const std::string& path, TextEncoding chosen, bool dos, FileSystem& fs) {
    if (chosen != TextEncoding::Auto) return chosen;
    TextEncoding found = dos ? TextEncoding::Dos850 : TextEncoding::Windows1252;
    try {
        auto file = fs.openRead(path);
        // The same file unchanged: its identity (inode, size, time) and its first block are the same.
        std::string head(kReadBlock, '\0');
        head.resize(file->read(head.data(), head.size()));
        const std::string identity = fs.identity(path) + ":" + std::to_string(std::hash<std::string>{}(head));
        {
            std::lock_guard<std::mutex> lock(decidedMutex);
            if (decided.fs == &fs && decided.path == path && decided.identity == identity && decided.dos == dos)
                return decided.encoding;
        }
        file->seek(0);
        found = scanEncoding(*file, dos);
        std::lock_guard<std::mutex> lock(decidedMutex);
        decided = DecidedEncoding{&fs, path, identity, dos, found};
    } catch (const IoError&) {
        // the reader opened next says why
    }
    return found;
}

TextFileReader::TextFileReader(const std::string& path, TextEncoding encoding, FileSystem& fs)
    : path_(path), encoding_(encoding) {
    try {
        file_ = fs.openRead(path);
        if (encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be) {
            auto decoder = std::make_unique<Utf16Decoder>(std::move(file_), encoding == TextEncoding::Utf16Be);
            utf16_ = decoder.get();
            file_ = std::move(decoder);
        }
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, path);
    }
}

std::uint64_t TextFileReader::position() const {
    return utf16_ ? utf16_->consumed() : fileBytes_ - (end_ - pos_);
}

bool TextFileReader::refill() {
    if (buffer_.empty()) buffer_.resize(kReadBlock);
    try {
        end_ = file_->read(buffer_.data(), buffer_.size());
        fileBytes_ += end_;
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
    const bool utf8 = encoding_ == TextEncoding::Utf8 || utf16_;
    if (isAscii(bytes) || (utf8 && isValidUtf8(bytes))) {
        text.swap(bytes);
        return;
    }
    // A line that is no UTF-8 after all is read as Windows text rather than dropped.
    text = decodeCodePage(bytes, encoding_ == TextEncoding::Dos850 ? 850 : 1252);
}

bool TextFileReader::nextLine(std::string& line) {
    if (!pending_.empty()) {
        line = std::move(pending_.front());
        pending_.pop_front();
        ++lines_;
        return true;
    }
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
    QuoteScan scan = scanQuotes(record, layout);
    if (!scan.openAtEnd) return true;
    // Each line joined is scanned once, from inside the quoted section it continues. Where the
    // section open at the end was opened: the line (counted from 0 in the record) and its start.
    std::vector<std::size_t> lineStarts{0};
    std::size_t openedIn = 0;
    while (scan.openAtEnd) {
        const bool readMore = lineStarts.size() < kMaxQuotedLines && nextLine(more_);
        if (readMore && record.size() + 2 + more_.size() <= kMaxTextLineBytes) {
            lineStarts.push_back(record.size() + 2);
            record += "\r\n";
            record += more_;
            scan = scanQuotes(more_, layout, true);
            if (scan.openAtEnd && scan.openedAt != std::string_view::npos) openedIn = lineStarts.size() - 1;
            continue;
        }
        // No quote closes the section: its quote is a character (the split takes it so), and the
        // lines after the one it opened in are read again, each as it stands.
        if (readMore) pending_.push_front(std::move(more_));
        for (std::size_t k = lineStarts.size() - 1; k > openedIn; --k) {
            pending_.push_front(record.substr(lineStarts[k]));
            record.resize(lineStarts[k] - 2);
        }
        lines_ = recordStart_ + static_cast<std::int64_t>(openedIn);
        if (unclosed) *unclosed = true;
        return true;
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
