#include "tablestore/KeyOrder.h"

#include "common/CodePage.h"
#include "common/Text.h"
#include "tablestore/paradox/ParadoxFormat.h"

#include <string>


namespace kimport {

namespace {
// Base letter of a Latin character: "é" -> 'E', "ß" -> 'S'; others unchanged.
unsigned char baseLetter(char32_t cp) {
    if (cp < 0x80) return static_cast<unsigned char>(cp >= 'a' && cp <= 'z' ? cp - 32 : cp);
    static const char* const latin1 = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTSAAAAAAACEEEEIIIIDNOOOOO/OUUUUYTY";
    if (cp >= 0xC0 && cp <= 0xFF) return static_cast<unsigned char>(latin1[cp - 0xC0]);
    return 0xFF;  // everything else after the letters
}
}  // namespace

KeyOrder::KeyOrder(const TableImage& image)
    : image_(image), keyFields_(image.keyFieldCount), byteOrder_(image.paradox.sortOrder == 0) {
    for (int i = 0; i < keyFields_ && i < static_cast<int>(image.fields.size()); ++i)
        textKey_ = textKey_ || image.fields[static_cast<std::size_t>(i)].physicalType == paradox::kAlpha;
    for (int b = 0; b < 256; ++b) {
        std::string one(1, static_cast<char>(b));
        std::string utf8 = decodeCodePage(one, image.codePage);
        std::size_t pos = 0;
        weight_[b] = b == 0 ? 0 : baseLetter(nextCodePoint(utf8, pos));
    }
}

}  // namespace kimport
