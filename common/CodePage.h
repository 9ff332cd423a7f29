// Conversion between UTF-8 and the single-byte DOS and Windows code pages
// that Paradox and dBase tables and DOS text files are written in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kimport {

// True for the code pages we hold a table for (437, 850, 852, 857, 860, 861,
// 863, 865, 866, 874, 1250, 1251, 1252) and for 28591 (ISO-8859-1).
bool isSupportedCodePage(int codePage);

// Decodes bytes of the code page to UTF-8. An unknown code page is read as 1252.
std::string decodeCodePage(std::string_view bytes, int codePage);

// Encodes UTF-8 text into the code page. A character the code page cannot hold
// becomes "?" and is counted in *unmappable (when given).
std::string encodeCodePage(std::string_view text, int codePage, std::size_t* unmappable = nullptr);

// The DOS-to-Windows conversion of texts: the text's characters are taken as
// the Windows-1252 reading of the bytes and re-read as DOS 850 bytes, so a
// text read as "\x81" gives "ü". The character count stays the same.
std::string DosToWindowsText(std::string_view text);

}  // namespace kimport
