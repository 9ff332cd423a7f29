#include "app/TextSourceOptions.h"

#include "common/Text.h"
#include "textsource/TextFile.h"
#include "textsource/TextSplit.h"

namespace kimport {

namespace {

std::optional<char> oneChar(const std::string& v) {
    if (v == "space") return ' ';
    if (v == "tab") return '\t';
    if (v.size() == 1) return v[0];
    return std::nullopt;
}

// One character of any script, as UTF-8 (the terminal's encoding): a separator need not be ASCII.
std::optional<std::string> oneCharacter(const std::string& v) {
    if (auto c = oneChar(v)) return std::string(1, *c);
    if (!v.empty() && isValidUtf8(v) && charCount(v) == 1) return v;
    return std::nullopt;
}

// ';' or ',' by their counts in the first line, else the tab when it has one.
void detectSeparators(const std::string& first, TextLayout& l) {
    DetectSeparators(first, l);
    if (!l.semicolon && !l.comma && first.find('\t') != std::string::npos) l.tab = true;
}

}  // namespace

bool takeTextOption(const std::vector<std::string>& args, std::size_t& i, TextSourceOptions& o, std::string& error) {
    const std::string& a = args[i];
    TextLayout& l = o.layout;
    if (a == "--names-first-line") return l.namesInFirstLine = true;
    if (a == "--dos") return l.dos = true;
    static const char* const withValue[] = {"--separator", "--quote", "--fixed", "--encoding", "--decimal",
                                            "--thousands", "--time-sep", "--date-sep", "--date-order"};
    bool known = false;
    for (const char* name : withValue) known = known || a == name;
    if (!known) return false;
    if (i + 1 >= args.size()) {
        error = "der Option " + a + " fehlt ihr Wert";
        return true;
    }
    const std::string v = args[++i];
    auto bad = [&] { error = "ungültiger Wert \"" + v + "\" für " + a; };
    if (a == "--separator") {
        o.separatorGiven = true;
        l.kind = LayoutKind::Variable;
        auto c = oneCharacter(v);
        if (!c) return bad(), true;
        if (*c == ";") l.semicolon = true;
        else if (*c == ",") l.comma = true;
        else if (*c == "\t") l.tab = true;
        else if (*c == " ") l.space = true;
        else if (l.other && l.otherChar != *c) return error = "--separator nimmt nur ein Zeichen außer ; , Tab und Leerzeichen", true;
        else l.other = true, l.otherChar = *c;
    } else if (a == "--quote") {
        o.quoteGiven = true;
        if (l.kind == LayoutKind::None) l.kind = LayoutKind::Variable;
        l.quoteIndex = v == "\"" ? 1 : v == "'" ? 2 : v == "none" ? 0 : -2;
        if (l.quoteIndex == -2) return bad(), true;
    } else if (a == "--fixed") {
        o.fixedGiven = true;
        l.kind = LayoutKind::Fixed;
        std::size_t slot = 0;
        for (const std::string& part : split(v, ',')) {
            int p = std::atoi(part.c_str());
            if (p < 1 || slot >= static_cast<std::size_t>(kBreakSlots)) return bad(), true;
            l.breaks[slot++] = p;
        }
    } else if (a == "--encoding") {
        std::string e = asciiLower(v);
        if (e == "utf8" || e == "utf-8") l.encoding = TextEncoding::Utf8;
        // UTF-16 in the order of its byte-order mark; without one little-endian unless named.
        else if (e == "utf16" || e == "utf-16" || e == "utf16le" || e == "utf-16le") l.encoding = TextEncoding::Utf16Le;
        else if (e == "utf16be" || e == "utf-16be") l.encoding = TextEncoding::Utf16Be;
        else if (e == "cp1252" || e == "1252") l.encoding = TextEncoding::Windows1252;
        else if (e == "cp850" || e == "850") l.encoding = TextEncoding::Dos850;
        else return bad(), true;
    } else if (a == "--date-order") {
        std::string order;
        for (char c : v) order += c == 'T' || c == 't' ? 'D' : c == 'J' || c == 'j' ? 'Y' : static_cast<char>(std::toupper(c));
        if (order != "DD/MM/YYYY" && order != "MM/DD/YYYY" && order != "YYYY/MM/DD" && order != "DD/MM/YY" &&
            order != "MM/DD/YY" && order != "YY/MM/DD")
            return bad(), true;
        o.dateOrder = order;
    } else {
        auto c = oneChar(v);
        if (!c) return bad(), true;
        if (a == "--decimal") o.decimal = *c;
        else if (a == "--thousands") o.thousands = *c;
        else if (a == "--time-sep") o.timeSeparator = *c;
        else o.dateSeparator = *c;
    }
    return true;
}

void completeLayout(const std::string& path, TextSourceOptions& o) {
    TextLayout& l = o.layout;
    if (o.fixedGiven || (o.separatorGiven && o.quoteGiven)) return;
    std::vector<std::string> lines = firstLines(path, detectEncoding(path, l.encoding, l.dos), 2);
    if (lines.empty()) return;
    const std::string& first = lines[0];
    // What was given stays; what was not is detected as it would be without any option.
    if (o.separatorGiven || o.quoteGiven) {
        if (!o.quoteGiven) {
            l.quoteIndex = 1;
            DetectQuoteCharacter(first, l);
        }
        if (!o.separatorGiven) detectSeparators(first, l);
        return;
    }
    const bool sameLength = lines.size() == 2 && trim(lines[0]).size() == trim(lines[1]).size();
    const bool separated = first.find(';') != std::string::npos || first.find(',') != std::string::npos ||
                           first.find('\t') != std::string::npos;
    if (sameLength && !separated) {
        l.kind = LayoutKind::Fixed;  // no breaks: one column with the whole line
        return;
    }
    l.kind = LayoutKind::Variable;
    // The double quote unless the first line shows the apostrophe: a doubled quote inside a quoted
    // value stands for one, so this reads every spreadsheet's CSV.
    l.quoteIndex = 1;
    DetectQuoteCharacter(first, l);
    detectSeparators(first, l);
}

void applyTextFormats(const TextSourceOptions& o, ProcessFormats& formats) {
    for (FormatSettings* f : {&formats.regional, &formats.current}) {
        if (o.decimal) f->decimalSeparator = *o.decimal;
        if (o.thousands) f->thousandSeparator = *o.thousands;
        if (o.timeSeparator) f->timeSeparator = *o.timeSeparator;
        if (o.dateSeparator) f->dateSeparator = *o.dateSeparator;
        if (o.dateOrder) f->shortDateFormat = *o.dateOrder;
    }
}

}  // namespace kimport
