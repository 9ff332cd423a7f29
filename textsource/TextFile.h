// Reading a text source: its bytes decided as UTF-8, Windows-1252 or DOS 850
// text, and its lines. CR, CR LF and LF each end a line; 0x1A ends the file.
// A record is a line, or, while a quoted section is open, several lines
// joined with CR LF (values exported from spreadsheets hold line breaks).
#pragma once

#include "common/FileSystem.h"
#include "textsource/TextLayout.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kimport {

class Utf16Decoder;

// The longest line a text file may have, in the file's bytes; a quoted value over several lines
// counts as one line. No target takes a longer value, and a line is held whole while it is split.
inline constexpr std::size_t kMaxTextLineBytes = std::size_t{64} << 20;

// The most lines a quoted value may span. A quote still open after them, or at the end of the
// file, is taken as a character, and the lines after it are read again as records of their own.
inline constexpr std::size_t kMaxQuotedLines = 10000;

// The encoding a file is read in when `chosen` is Auto: by its byte-order mark, else UTF-8 when all
// of the file is valid UTF-8 with a non-ASCII character somewhere, else Windows-1252 (DOS 850).
TextEncoding detectEncoding(const std::string& path, TextEncoding chosen, bool dos, FileSystem& fs = realFileSystem());

class TextFileReader {
public:
    // Throws TableError (German, naming the file) when the file cannot be opened or is no regular file.
    // Reading throws TableError for a line longer than kMaxTextLineBytes, naming its number.
    TextFileReader(const std::string& path, TextEncoding encoding, FileSystem& fs = realFileSystem());
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    // The next line as UTF-8 text, without its line end; false at the end of the file.
    bool nextLine(std::string& line);
    // The next record: a line, continued over line breaks inside an open quoted section when the
    // layout has an active quote character. `unclosed` tells a quote that no other closes (within
    // kMaxQuotedLines and kMaxTextLineBytes): the record then ends with the line it stands in.
    bool nextRecord(std::string& record, const TextLayout& layout, bool* unclosed = nullptr);
    // The number of the line the last record started on (from 1).
    std::int64_t lineNumber() const { return recordStart_; }
    TextEncoding encoding() const { return encoding_; }
    // The file's size in bytes, and how many of them were read into lines so far.
    std::uint64_t size() { return file_->size(); }
    std::uint64_t position() const;

private:
    bool rawLine(std::string& bytes);
    bool refill();
    void decodeInto(std::string& bytes, std::string& text) const;

    [[noreturn]] void tooLong(std::int64_t line) const;

    std::unique_ptr<FileHandle> file_;
    Utf16Decoder* utf16_ = nullptr;  // file_ itself, for a UTF-16 file
    std::uint64_t fileBytes_ = 0;
    std::deque<std::string> pending_;  // lines to read again after a quote no other closed
    std::vector<char> buffer_;  // read ahead in large blocks: lines are scanned in memory
    std::size_t pos_ = 0, end_ = 0;
    std::string bytes_, more_;
    std::string path_;
    TextEncoding encoding_;
    bool ended_ = false;
    std::int64_t lines_ = 0, recordStart_ = 0;
};

// Reads the first `count` lines (fewer at the end of the file), for previews and detection.
std::vector<std::string> firstLines(const std::string& path, TextEncoding encoding, std::size_t count,
                                    FileSystem& fs = realFileSystem());

}  // namespace kimport
