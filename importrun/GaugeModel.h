// The progress window as plain state: status line, counters, bar, cancel
// button, animation pictures and the window's configurations. Operations drive
// it through ProgressSink; TfrmGauge draws it and forwards clicks and timer
// ticks to it, so every decision here runs in a unit test without a window.
#pragma once

#include "common/FormatSettings.h"
#include "common/Prompter.h"
#include "progress/ProgressSink.h"
#include "progress/RunReport.h"

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kimport {

// A minimum or maximum that would cross the other bound.
class GaugeRangeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class GaugeKind { Text, HorizontalBar, VerticalBar, Pie, Needle };
enum class GaugeBorder { None, Single };

// The state of the bar control TGauge. Colours are 0xRRGGBB.
class GaugeBar {
public:
    int minValue() const { return min_; }
    int maxValue() const { return max_; }
    int progress() const { return progress_; }
    void setMinValue(int value);
    void setMaxValue(int value);
    void setProgress(int value);
    void addProgress(int value) { setProgress(progress_ + value); }
    // 100 * (progress - min) / (max - min), truncated; 0 when max == min.
    int percentDone() const;

    // While the window is built from its description the range checks are off.
    void setLoading(bool loading) { loading_ = loading; }
    bool loading() const { return loading_; }

    GaugeKind kind() const { return kind_; }
    void setKind(GaugeKind kind);
    bool showText() const { return showText_; }
    void setShowText(bool show);
    GaugeBorder border() const { return border_; }
    void setBorder(GaugeBorder border);
    std::uint32_t foreColor() const { return foreColor_; }
    void setForeColor(std::uint32_t rgb);
    std::uint32_t backColor() const { return backColor_; }
    void setBackColor(std::uint32_t rgb);

    // How often the bar asked to be repainted; a million records must not
    // mean a million repaints.
    int repaintCount() const { return repaints_; }
    // Told whenever the bar must be repainted (the widget showing it sets it).
    std::function<void()> onRepaint;

private:
    void repaint();
    // The values of progress_ that show the same percent as it does now.
    void findSameShown();

    int min_ = 0;
    int max_ = 100;
    int progress_ = 0;
    bool sameShownValid_ = false;
    std::int64_t sameShownFrom_ = 0, sameShownTo_ = 0;
    bool loading_ = false;
    GaugeKind kind_ = GaugeKind::HorizontalBar;
    bool showText_ = true;
    GaugeBorder border_ = GaugeBorder::Single;
    std::uint32_t foreColor_ = 0x000000;
    std::uint32_t backColor_ = 0xFFFFFF;
    int repaints_ = 0;
};

// The animation pictures, in the order of their names.
enum class Picture {
    ImgFolderFull,
    Database1,
    DataBase2,
    Image3,
    Image4,
    Image5,
    Image6,
    Image7,
    Image8,
    Image9,
    Image10,
    Image11,
    Image12,
    RedImage0,
    RedImage1,
    RedImage2,
    RedImage3,
    RedImage4,
    RedImage5,
    RedImage6,
};
inline constexpr int kPictureCount = 20;
const char* pictureName(Picture picture);

// One row of the counter panel: caption, number label and its counter.
struct CounterRow {
    const char* caption;
    const char* labelName;
    Counter counter;
};
const std::array<CounterRow, 7>& counterRows();
// The label name of a counter ("lblAnzHinzu", "lblAnzGeles2").
const char* counterLabelName(Counter counter);

// What changed, so the window redraws only that.
enum class GaugeChange { Status, Counters, Layout, Pictures, Timers, Shown, Closed };

inline constexpr const char* kCancelCaption = "&Abbrechen";
inline constexpr const char* kCloseCaption = "&Schließen";
inline constexpr int kGaugeHelpContext = 19;
extern const char* const kCancelQuestion;

class GaugeModel : public ProgressSink {
public:
    // The number settings are the process's current ones; they may change
    // while the model lives, and counters follow them.
    explicit GaugeModel(const FormatSettings& current);
    explicit GaugeModel(FormatSettings&&) = delete;

    // ProgressSink
    void prepareImportRun(std::string_view status, int maximum) override;
    void prepareTextRead(std::string_view status, int lines) override;
    void prepareShort(std::string_view status, int maximum) override;
    void endTextRead() override;
    void show() override;
    void close() override;
    void reopen() override;
    void finish() override { setCancelCaption(kCloseCaption); }
    void setStatus(std::string_view text) override;
    const std::string& status() const override { return status_; }
    void setRange(int minimum, int maximum) override;
    void setPosition(int position) override { bar_.setProgress(position); }
    void addToCounter(Counter counter, std::int64_t n = 1) override;
    void setCount(Counter counter, std::int64_t value) override;
    std::int64_t count(Counter counter) const override;
    void setAnimation(GaugeAnimation animation) override;
    bool cancelled() const override { return cancelled_; }
    void pump() override {
        if (onPump) onPump();
    }

    // The cancel button. With "&Abbrechen" it asks first; Yes closes and
    // cancels, No changes nothing. Any other caption just closes.
    void btnGaugeAbbrechenClick(Prompter& prompter);
    // The user ends the program: true when no operation runs any more, or when the user confirmed
    // cancelling the one that does (the cancel button's question).
    bool confirmStop(Prompter& prompter);
    // Timer ticks: the next frame of animation 1 or 2.
    void AnimateTimer1Timer();
    void AnimateTimer2Timer();

    // The counter as its label shows it, with thousands separators.
    std::string counterText(Counter counter) const;
    GaugeBar& bar() { return bar_; }
    const GaugeBar& bar() const { return bar_; }
    bool visible() const { return visible_; }

    // Layout: window height as the operations give it (title bar included),
    // left of the cancel button, which rows and buttons are shown.
    int height() const { return height_; }
    void setHeight(int height);
    int cancelLeft() const { return cancelLeft_; }
    void setCancelLeft(int left);
    const std::string& cancelCaption() const { return cancelCaption_; }
    void setCancelCaption(std::string_view caption);
    bool helpVisible() const { return helpVisible_; }
    void showReport(const RunReport* report) override;
    const RunReport* report() const { return report_; }
    // "&Fehlerliste…": once a run has ended with something in its report.
    bool reportButtonVisible() const { return report_ && !report_->empty(); }
    // Where the cancel button stands: moved right of "&Fehlerliste…" while that is shown.
    int cancelButtonLeft() const { return reportButtonVisible() ? kCancelLeftBesideReport : cancelLeft_; }
    static constexpr int kCancelLeftBesideReport = 108;
    void setHelpVisible(bool visible);
    bool counterPanelVisible() const { return counterPanelVisible_; }
    void setCounterPanelVisible(bool visible);
    bool readLinesVisible() const { return readLinesVisible_; }
    void setReadLinesVisible(bool visible);

    bool pictureVisible(Picture picture) const { return pictures_[static_cast<int>(picture)]; }
    bool animateTimer1() const { return timer1_; }
    bool animateTimer2() const { return timer2_; }
    int frame() const { return frame_; }

    // The window listens here; long operations call pump() between records.
    std::function<void(GaugeChange)> onChange;
    std::function<void()> onPump;

private:
    static int index(Counter counter) { return static_cast<int>(counter); }
    void notify(GaugeChange change) {
        if (onChange) onChange(change);
    }
    void setPicture(Picture picture, bool visible);

    const FormatSettings* formats_;
    std::string status_ = "Schlüsselwerte vorhandener Datensätze werden umbenannt.";
    // Counts are kept as numbers and formatted when shown: a run adds to them for every record.
    std::array<std::int64_t, kCounterCount> counts_{};
    GaugeBar bar_;
    bool visible_ = false;
    bool cancelled_ = false;
    int height_ = 275;
    int cancelLeft_ = 120;
    std::string cancelCaption_ = kCancelCaption;
    bool helpVisible_ = false;
    const RunReport* report_ = nullptr;
    bool counterPanelVisible_ = true;
    bool readLinesVisible_ = false;
    std::array<bool, kPictureCount> pictures_{true, true};  // folder and first database
    bool timer1_ = false;
    bool timer2_ = false;
    int frame_ = 0;
};

}  // namespace kimport
