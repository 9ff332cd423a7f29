// The language driver byte of a dBase header (the "code page mark" of FoxPro)
// and the driver names of level-7 headers, mapped to code pages.
#pragma once

#include <string_view>

namespace kimport::dbase {

// The code page of a language driver byte; 0 when the byte names none we know (0x00 included).
int codePageOfLanguageDriver(int driver);
// The code page of a level-7 driver name such as "DB437US0" or "DBWINWE0"; 0 when unknown.
int codePageOfDriverName(std::string_view name);
// The byte to store for a code page in a table we write; 0 when the code page has none.
int languageDriverForCodePage(int codePage);
// The code page of a table that states none (byte 0x00 or one we do not know):
// Visual FoxPro tables are Windows tables (1252), all others DOS tables (437).
int usualCodePage(int version);

}  // namespace kimport::dbase
