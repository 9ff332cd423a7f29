// UTF-8 text helpers. Every text inside the program is UTF-8; "length" in the
// rules of the program means characters (code points), not bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kimport {

std::size_t charCount(std::string_view text);
// The first n characters.
std::string firstChars(std::string_view text, std::size_t n);
// The last n characters.
std::string lastChars(std::string_view text, std::size_t n);
// Characters [from, from + count) counted from 0; clipped to the text.
std::string charSlice(std::string_view text, std::size_t from, std::size_t count);

// Upper case of a-z only (the rule of field-name comparisons).
std::string asciiUpper(std::string_view text);
std::string asciiLower(std::string_view text);
// Upper case of ASCII and Latin-1 letters, for comparing file and path names.
std::string foldedUpper(std::string_view text);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

std::string trim(std::string_view text);
// The same without a copy: a view into `text`.
std::string_view trimmedView(std::string_view text);
bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);
std::vector<std::string> split(std::string_view text, char separator);

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, char32_t cp);
// Decodes the code point at pos and advances pos; invalid bytes give U+FFFD.
char32_t nextCodePoint(std::string_view text, std::size_t& pos);
bool isValidUtf8(std::string_view text);
// True when every byte is below 0x80 (the text reads the same in every code page we know).
bool isAscii(std::string_view text);

// printf-style "%s" substitution, for the engine's message templates.
std::string formatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace kimport
