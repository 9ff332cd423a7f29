// Conversion between UTF-8 and the code pages that Paradox and dBase tables
// and DOS text files are written in. The common single-byte DOS and Windows
// pages go through our own tables; every other page through the C library's
// iconv. A code page that neither knows is refused, never guessed.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kimport {

// A code page that cannot be converted; the text is German and names it.
class CodePageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True for every code page we can convert: our tables (437, 850, 852, 857,
// 860, 861, 863, 865, 866, 874, 1250, 1251, 1252), 28591 (ISO-8859-1), and
// what iconv knows (737, 1253-1258, Mac pages, 932, 936, 949, 950, ...).
bool isSupportedCodePage(int codePage);
// Throws CodePageError with "Die Codeseite N ... wird nicht unterstützt" when it is not supported.
void requireSupportedCodePage(int codePage, std::string_view whose);
// True when every character takes one byte (a cut at any byte keeps whole characters).
bool isSingleByteCodePage(int codePage);

// Decodes bytes of the code page to UTF-8. Throws CodePageError for an unsupported code page.
std::string decodeCodePage(std::string_view bytes, int codePage);

// Encodes UTF-8 text into the code page. A character the code page cannot hold
// becomes "?" and is counted in *unmappable (when given).
std::string encodeCodePage(std::string_view text, int codePage, std::size_t* unmappable = nullptr);

// Encodes exactly: false, with the first character that the code page cannot
// hold in *unmappable, when there is one. At most maxBytes bytes are written,
// cut before a character that would not fit whole.
bool encodeCodePageExactly(std::string_view text, int codePage, std::string& out, char32_t* unmappable = nullptr,
                           std::size_t maxBytes = std::string::npos);

// The DOS-to-Windows conversion of texts: the text's characters are taken as
// the Windows-1252 reading of the bytes and re-read as DOS 850 bytes, so a
// text read as "\x81" gives "ü". The character count stays the same.
std::string DosToWindowsText(std::string_view text);

}  // namespace kimport
