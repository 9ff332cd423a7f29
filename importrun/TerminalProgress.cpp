#include "importrun/TerminalProgress.h"

#include "common/Text.h"

namespace kimport {

void TerminalProgress::pump() {
    GaugeModel::pump();
    if (ticker_.due() || !drawn_) draw();
}

void TerminalProgress::draw() {
    const int percent = bar().percentDone();
    const int width = 30;
    std::string line = "\r[";
    for (int i = 0; i < width; ++i) line += i < percent * width / 100 ? '#' : ' ';
    // One line: the status text without its line breaks.
    std::string text;
    for (char c : status()) text += (c == '\r' || c == '\n') ? ' ' : c;
    line += "] " + std::to_string(percent) + "% " + text;
    out_ << line << "\x1b[K" << std::flush;
    drawn_ = true;
}

void TerminalProgress::finish() {
    GaugeModel::finish();
    draw();
}

void TerminalProgress::endLine() {
    if (drawn_) out_ << "\n" << std::flush;
    drawn_ = false;
}

}  // namespace kimport
