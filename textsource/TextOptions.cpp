#include "textsource/TextOptions.h"

namespace kimport {

namespace {
const std::vector<std::pair<std::string, std::string>>& orders() {
    static const std::vector<std::pair<std::string, std::string>> table{
        {"TT/MM/JJJJ", "DD/MM/YYYY"}, {"MM/TT/JJJJ", "MM/DD/YYYY"}, {"JJJJ/MM/TT", "YYYY/MM/DD"},
        {"JJJJ/TT/MM", "YYYY/DD/MM"}, {"MM/JJJJ/TT", "MM/YYYY/DD"}, {"TT/JJJJ/MM", "DD/YYYY/MM"}};
    return table;
}
}  // namespace

const std::vector<std::string>& tmjItems() {
    static const std::vector<std::string> items = [] {
        std::vector<std::string> v;
        for (const auto& [shown, format] : orders()) v.push_back(shown);
        return v;
    }();
    return items;
}

std::string shortDateOfTmj(const std::string& shown) {
    for (const auto& [s, format] : orders())
        if (s == shown) return format;
    return "DD/MM/YYYY";
}

std::string tmjOfShortDate(const std::string& shortDate) {
    for (const auto& [shown, format] : orders())
        if (format == shortDate) return shown;
    return {};
}

TextOptionsForm optionsOnShow(FormatSettings& current, bool dos) {
    TextOptionsForm f;
    f.cbxDosToWin = dos;
    f.edtDecimal = std::string(1, current.decimalSeparator);
    f.edtTausend = std::string(1, current.thousandSeparator);
    f.edtTime = std::string(1, current.timeSeparator);
    f.edtDate = std::string(1, current.dateSeparator);
    f.comTMJ = tmjOfShortDate(current.shortDateFormat);
    if (f.comTMJ.empty()) {
        current.shortDateFormat = "DD/MM/YYYY";
        f.comTMJ = "TT/MM/JJJJ";
    }
    return f;
}

void applyOptionsOnClose(const TextOptionsForm& form, FormatSettings& current) {
    auto take = [](const std::string& edit, char& separator) {
        if (!edit.empty()) separator = edit[0];
    };
    take(form.edtDecimal, current.decimalSeparator);
    take(form.edtTausend, current.thousandSeparator);
    take(form.edtTime, current.timeSeparator);
    take(form.edtDate, current.dateSeparator);
    current.shortDateFormat = shortDateOfTmj(form.comTMJ);
}

}  // namespace kimport
