// libFuzzer target: the text reader and the splitting of lines. The first two bytes
// choose the layout (separators, quote, breaks, encoding); the rest is the file.
// Records start on ever later lines: a quote no other closes gives its lines back.
#include "MemoryFileSystem.h"
#include "textsource/TextFile.h"
#include "textsource/TextSplit.h"

#include <cstdint>
#include <string>

using namespace kimport;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t choice = data[0], breakAt = data[1];
    TextLayout layout;
    layout.kind = choice & 1 ? LayoutKind::Fixed : LayoutKind::Variable;
    layout.semicolon = choice & 2;
    layout.comma = choice & 4;
    layout.tab = choice & 8;
    layout.quoteIndex = (choice >> 4) % 3;
    layout.breaks[0] = breakAt % 40;
    layout.breaks[1] = breakAt / 7;
    if (breakAt & 0x80) {
        layout.other = true;
        layout.otherChar = "§";
    }
    const TextEncoding encodings[] = {TextEncoding::Utf8, TextEncoding::Windows1252, TextEncoding::Utf16Le,
                                      TextEncoding::Auto};
    fuzz::MemoryFileSystem fs;
    const std::string path = "/t/daten.txt";
    fs.files[path].assign(reinterpret_cast<const char*>(data + 2), size - 2);
    TextEncoding encoding = encodings[(choice >> 6) & 3];
    if (encoding == TextEncoding::Auto) encoding = detectEncoding(path, encoding, breakAt & 0x40, fs);
    TextFileReader reader(path, encoding, fs);
    std::string record;
    bool unclosed = false;
    std::int64_t lastLine = 0;
    for (int n = 0; n < 1000 && reader.nextRecord(record, layout, &unclosed); ++n) {
        std::vector<std::string> values = splitLine(record, layout);
        if (values.empty()) __builtin_trap();  // a line always gives at least one value
        if (reader.lineNumber() <= lastLine) __builtin_trap();
        lastLine = reader.lineNumber();
    }
    return 0;
}
