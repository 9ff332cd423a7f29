#include "importrun/GaugeModel.h"

#include "common/Numbers.h"

namespace kimport {

const char* const kCancelQuestion =
    "Die Operation ist nicht vollständig durchgeführt worden.\r\n"
    "Wenn Sie jetzt abbrechen kann sich das negativ auf den \r\n"
    "weiteren Ablauf des Programmes auswirken.\r\n\r\n"
    "Möchten Sie wirklich abbrechen?";

namespace {

constexpr std::int64_t kMaxInt = 2147483647;

GaugeRangeError outOfRange(std::int64_t low, std::int64_t high) {
    return GaugeRangeError("Wert muß zwischen " + std::to_string(low) + " und " + std::to_string(high) + " liegen");
}

Picture image(int n) {
    return static_cast<Picture>(static_cast<int>(Picture::Image3) + n - 3);
}
Picture redImage(int n) {
    return static_cast<Picture>(static_cast<int>(Picture::RedImage0) + n);
}

}  // namespace

// --- the bar ---------------------------------------------------------------

void GaugeBar::repaint() {
    ++repaints_;
    if (onRepaint) onRepaint();
}

void GaugeBar::setMinValue(int value) {
    if (value == min_) return;
    // The bound in the message is computed wide: a maximum of INT_MIN must not wrap.
    if (value > max_ && !loading_) throw outOfRange(-kMaxInt, std::int64_t{max_} - 1);
    min_ = value;
    sameShownValid_ = false;
    if (progress_ < value) progress_ = value;
    repaint();
}

void GaugeBar::setMaxValue(int value) {
    if (value == max_) return;
    if (value < min_ && !loading_) throw outOfRange(std::int64_t{min_} + 1, kMaxInt);
    max_ = value;
    sameShownValid_ = false;
    if (progress_ > value) progress_ = value;
    repaint();
}

void GaugeBar::setProgress(int value) {
    if (value < min_)
        value = min_;
    else if (value > max_)
        value = max_;
    if (value == progress_) return;
    // A run moves the bar for every record: within the values that show the same percent nothing
    // needs computing.
    if (!sameShownValid_) findSameShown();
    if (sameShownValid_) {
        const bool samePercent = value >= sameShownFrom_ && value <= sameShownTo_;
        progress_ = value;
        if (samePercent) return;
        findSameShown();
        repaint();
        return;
    }
    const int before = percentDone();
    progress_ = value;
    if (percentDone() != before) repaint();
}

void GaugeBar::findSameShown() {
    const std::int64_t range = std::int64_t{max_} - min_;
    sameShownValid_ = range > 0 && progress_ >= min_;
    if (!sameShownValid_) return;
    // percentDone() is p for min + ceil(p * range / 100) <= value <= min + ceil((p + 1) * range / 100) - 1.
    const std::int64_t p = percentDone();
    sameShownFrom_ = min_ + (p * range + 99) / 100;
    sameShownTo_ = min_ + ((p + 1) * range + 99) / 100 - 1;
}

int GaugeBar::percentDone() const {
    const std::int64_t range = std::int64_t{max_} - min_;
    if (range == 0) return 0;
    return static_cast<int>(100 * (std::int64_t{progress_} - min_) / range);
}

void GaugeBar::setKind(GaugeKind kind) {
    if (kind == kind_) return;
    kind_ = kind;
    repaint();
}

void GaugeBar::setShowText(bool show) {
    if (show == showText_) return;
    showText_ = show;
    repaint();
}

void GaugeBar::setBorder(GaugeBorder border) {
    if (border == border_) return;
    border_ = border;
    repaint();
}

void GaugeBar::setForeColor(std::uint32_t rgb) {
    if (rgb == foreColor_) return;
    foreColor_ = rgb;
    repaint();
}

void GaugeBar::setBackColor(std::uint32_t rgb) {
    if (rgb == backColor_) return;
    backColor_ = rgb;
    repaint();
}

// --- names -------------------------------------------------------------------

const char* pictureName(Picture picture) {
    static const char* const names[kPictureCount] = {
        "ImgFolderFull", "Database1", "DataBase2", "Image3",    "Image4",    "Image5",    "Image6",
        "Image7",        "Image8",    "Image9",    "Image10",   "Image11",   "Image12",   "RedImage0",
        "RedImage1",     "RedImage2", "RedImage3", "RedImage4", "RedImage5", "RedImage6",
    };
    return names[static_cast<int>(picture)];
}

const std::array<CounterRow, 7>& counterRows() {
    static const std::array<CounterRow, 7> rows{{
        {"Anzahl der zu importierenden Datensätze", "lblSummeQuelle", Counter::SummeQuelle},
        {"Anzahl hinzugefügter Datensätze", "lblAnzHinzu", Counter::AnzHinzu},
        {"Anzahl ignorierter Datensätze", "lblIgnor", Counter::Ignor},
        {"Anzahl umbenannter Datensätze", "lblUmben", Counter::Umben},
        {"Anzahl aktualisierter Datensätze", "lblAnzAkt", Counter::AnzAkt},
        {"Summe bearbeiteter Datensätze", "lblSumme", Counter::Summe},
        {"Anzahl der aufgetretenen Fehler:", "lblAnzFehler", Counter::AnzFehler},
    }};
    return rows;
}

const char* counterLabelName(Counter counter) {
    if (counter == Counter::AnzGeles2) return "lblAnzGeles2";
    for (const CounterRow& row : counterRows())
        if (row.counter == counter) return row.labelName;
    return "";
}

// --- configurations ----------------------------------------------------------

GaugeModel::GaugeModel(const FormatSettings& current) : formats_(&current) {
    // The window's bar: blue on white, framed by the window rather than by itself.
    bar_.setBackColor(0xFFFFFF);
    bar_.setForeColor(0x0000FF);
    bar_.setBorder(GaugeBorder::None);
}

void GaugeModel::prepareImportRun(std::string_view status, int maximum) {
    setHeight(275);
    setCancelLeft(60);
    setCancelCaption(kCancelCaption);
    setHelpVisible(true);
    setCounterPanelVisible(true);
    setRange(0, maximum);
    setStatus(status);
}

void GaugeModel::prepareTextRead(std::string_view status, int lines) {
    setHeight(220);
    setCancelLeft(120);
    setCancelCaption(kCancelCaption);
    setHelpVisible(false);
    setStatus(status);
    setRange(0, lines);
    setCount(Counter::AnzGeles2, 0);
    setReadLinesVisible(true);
    setCounterPanelVisible(false);
    setAnimation(GaugeAnimation::Document);
}

void GaugeModel::prepareShort(std::string_view status, int maximum) {
    setHeight(120);
    setCancelLeft(120);
    setCancelCaption(kCancelCaption);
    setHelpVisible(false);
    setStatus(status);
    setRange(0, maximum);
}

void GaugeModel::endTextRead() {
    setCounterPanelVisible(true);
    setReadLinesVisible(false);
    setAnimation(GaugeAnimation::None);
}

// --- showing and closing -----------------------------------------------------

void GaugeModel::show() {
    // Mode 3 shows the window again for its second pass; the counters must survive that.
    if (visible_) return;
    for (Counter c :
         {Counter::AnzFehler, Counter::AnzHinzu, Counter::AnzAkt, Counter::Ignor, Counter::Umben, Counter::Summe})
        counts_[index(c)] = 0;
    cancelled_ = false;
    report_ = nullptr;
    visible_ = true;
    notify(GaugeChange::Shown);
}

void GaugeModel::reopen() {
    if (visible_) return;
    visible_ = true;
    notify(GaugeChange::Shown);
}

void GaugeModel::showReport(const RunReport* report) {
    report_ = report;
    notify(GaugeChange::Layout);
}

void GaugeModel::close() {
    // Told even when already hidden, so the window enables the wizard in any case.
    visible_ = false;
    notify(GaugeChange::Closed);
}

void GaugeModel::btnGaugeAbbrechenClick(Prompter& prompter) {
    if (cancelCaption_ != kCancelCaption) {
        close();
        return;
    }
    // Enter keeps the operation going: stopping it cannot be taken back.
    if (prompter.message(MsgKind::Warning, Buttons::YesNoDefaultNo, kCancelQuestion) != Answer::Yes) return;
    close();
    cancelled_ = true;
}

bool GaugeModel::confirmStop(Prompter& prompter) {
    if (!visible_ || cancelCaption_ != kCancelCaption) return true;
    btnGaugeAbbrechenClick(prompter);
    return cancelled_;
}

// --- texts, bar and counters -------------------------------------------------

void GaugeModel::setStatus(std::string_view text) {
    // Mode 1 sets the same text for every record.
    if (text == status_) return;
    status_ = text;
    notify(GaugeChange::Status);
}

void GaugeModel::setRange(int minimum, int maximum) {
    // Order the two steps so that a valid new range never crosses the old one.
    if (minimum > bar_.maxValue()) {
        bar_.setMaxValue(maximum);
        bar_.setMinValue(minimum);
    } else {
        bar_.setMinValue(minimum);
        bar_.setMaxValue(maximum);
    }
}

void GaugeModel::addToCounter(Counter counter, std::int64_t n) {
    counts_[index(counter)] += n;
    notify(GaugeChange::Counters);
}

void GaugeModel::setCount(Counter counter, std::int64_t value) {
    counts_[index(counter)] = value;
    notify(GaugeChange::Counters);
}

std::int64_t GaugeModel::count(Counter counter) const { return counts_[index(counter)]; }

std::string GaugeModel::counterText(Counter counter) const { return FormatCount(counts_[index(counter)], *formats_); }

// --- layout ------------------------------------------------------------------

void GaugeModel::setHeight(int height) {
    if (height == height_) return;
    height_ = height;
    notify(GaugeChange::Layout);
}

void GaugeModel::setCancelLeft(int left) {
    if (left == cancelLeft_) return;
    cancelLeft_ = left;
    notify(GaugeChange::Layout);
}

void GaugeModel::setCancelCaption(std::string_view caption) {
    if (caption == cancelCaption_) return;
    cancelCaption_ = caption;
    notify(GaugeChange::Layout);
}

void GaugeModel::setHelpVisible(bool visible) {
    if (visible == helpVisible_) return;
    helpVisible_ = visible;
    notify(GaugeChange::Layout);
}

void GaugeModel::setCounterPanelVisible(bool visible) {
    if (visible == counterPanelVisible_) return;
    counterPanelVisible_ = visible;
    notify(GaugeChange::Layout);
}

void GaugeModel::setReadLinesVisible(bool visible) {
    if (visible == readLinesVisible_) return;
    readLinesVisible_ = visible;
    notify(GaugeChange::Layout);
}

// --- animations --------------------------------------------------------------

void GaugeModel::setAnimation(GaugeAnimation animation) {
    const bool one = animation == GaugeAnimation::Document;
    const bool two = animation == GaugeAnimation::Sizing;
    if (one == timer1_ && two == timer2_) return;
    timer1_ = one;
    timer2_ = two;
    notify(GaugeChange::Timers);
}

void GaugeModel::setPicture(Picture picture, bool visible) {
    pictures_[static_cast<int>(picture)] = visible;
}

// A document travels from the folder into the database, which then changes its picture.
void GaugeModel::AnimateTimer1Timer() {
    const int f = frame_;
    if (f == 0) {
        if (pictureVisible(Picture::DataBase2)) {
            setPicture(Picture::DataBase2, false);
            setPicture(Picture::Database1, true);
        }
        setPicture(Picture::Image3, true);
    } else if (f <= 9) {
        setPicture(image(f + 2), false);
        setPicture(image(f + 3), true);
    } else if (f == 10) {
        setPicture(Picture::Image12, false);
        setPicture(Picture::Database1, false);
        setPicture(Picture::DataBase2, true);
    }
    frame_ = f >= 10 ? 0 : f + 1;
    notify(GaugeChange::Pictures);
}

// The frame counter is shared with animation 1, so it may arrive here above 6.
void GaugeModel::AnimateTimer2Timer() {
    const int f = frame_;
    if (f == 0) {
        setPicture(Picture::RedImage6, false);
        setPicture(Picture::RedImage0, true);
    } else if (f <= 6) {
        setPicture(redImage(f - 1), false);
        setPicture(redImage(f), true);
    }
    frame_ = f >= 6 ? 0 : f + 1;
    notify(GaugeChange::Pictures);
}

}  // namespace kimport
