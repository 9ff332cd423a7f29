#include "tablestore/dbase/DbfMemoPointer.h"

#include "tablestore/TableError.h"
#include "tablestore/dbase/DbfFormat.h"
#include "tablestore/dbase/DbfPaths.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace kimport::dbase {

std::optional<std::uint64_t> memoPointer(const FieldDef& f, const char* field) {
    if (hasBinaryMemoPointer(f)) return le32(field);
    // Some writers pad the digits with zero bytes rather than blanks.
    std::string_view text(field, static_cast<std::size_t>(f.length));
    std::size_t first = text.find_first_not_of(std::string_view(" \0", 2));
    if (first == std::string_view::npos) return 0;
    std::size_t last = text.find_last_not_of(std::string_view(" \0", 2));
    text = text.substr(first, last - first + 1);
    if (text.size() > 10) return std::nullopt;
    std::uint64_t block = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        block = block * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return block;
}

void putMemoPointer(const TableImage& image, const FieldDef& f, char* field, std::uint64_t block) {
    if (hasBinaryMemoPointer(f)) {
        putLe32(field, static_cast<std::uint32_t>(block));
        return;
    }
    std::fill_n(field, f.length, ' ');
    if (block == 0) return;
    std::string digits = std::to_string(block);
    if (digits.size() > static_cast<std::size_t>(f.length))
        throw TableError("Die Memodatei der Tabelle " + shownName(image.dataPath) + " würde zu groß.",
                         TableError::Kind::Limit, image.dataPath);
    std::copy(digits.begin(), digits.end(), field + f.length - static_cast<int>(digits.size()));
}

}  // namespace kimport::dbase
