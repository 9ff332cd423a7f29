#include "tablestore/Dump.h"

#include "common/Numbers.h"
#include "tablestore/FormatCodec.h"


namespace kimport {

std::string dumpCell(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Null: return {};
    case Value::Kind::Text:
    case Value::Kind::Decimal: return v.text;
    case Value::Kind::Integer: return std::to_string(v.integer);
    case Value::Kind::Float: return shortestDecimal(v.number);
    case Value::Kind::Boolean: return v.boolean ? "true" : "false";
    case Value::Kind::Date: return isoDate(static_cast<DayNumber>(v.integer));
    case Value::Kind::Time: return isoTime(v.integer);
    case Value::Kind::DateTime: return isoDateTime(v.number);
    case Value::Kind::Bytes: {
        if (v.text.empty()) return {};
        static const char* hex = "0123456789abcdef";
        std::string out = "0x";
        for (char c : v.text) {
            auto b = static_cast<unsigned char>(c);
            out += hex[b >> 4];
            out += hex[b & 15];
        }
        return out;
    }
    }
    return {};
}

std::string csvQuote(const std::string& cell, char separator) {
    const char special[] = {separator, '"', '\r', '\n', '\0'};
    if (cell.find_first_of(special) == std::string::npos) return cell;
    std::string out = "\"";
    for (char c : cell) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

void dumpTable(const TableImage& image, std::ostream& out) {
    const FormatCodec& codec = codecFor(image.format);
    std::string line;
    bool first = true;
    for (const FieldDef& f : image.fields) {
        if (f.hidden) continue;
        if (!first) line += ',';
        line += csvQuote(f.name);
        first = false;
    }
    out << line << '\n';
    image.order.forEach([&](std::uint32_t r) {
        line.clear();
        bool firstCell = true;
        for (const FieldDef& f : image.fields) {
            if (f.hidden) continue;
            if (!firstCell) line += ',';
            line += csvQuote(dumpCell(codec.read(image, f, image.row(r))));
            firstCell = false;
        }
        out << line << '\n';
    });
}

}  // namespace kimport
