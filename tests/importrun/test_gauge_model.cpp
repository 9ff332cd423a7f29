// The progress window's state without a window: bar arithmetic and range
// checks, counters, show/close/cancel, configurations and animations; the
// terminal form of it.
#include "importrun/GaugeModel.h"
#include "importrun/ProgressClock.h"
#include "importrun/TerminalProgress.h"

#include "common/Numbers.h"
#include "support/ScriptedPrompter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <ctime>
#include <random>
#include <sstream>
#include <vector>

using namespace kimport;

namespace {

const char* const kQuestion =
    "Die Operation ist nicht vollständig durchgeführt worden.\r\nWenn Sie jetzt abbrechen kann sich das negativ "
    "auf den \r\nweiteren Ablauf des Programmes auswirken.\r\n\r\nMöchten Sie wirklich abbrechen?";

std::string rangeMessage(GaugeBar& bar, bool minimum, int value) {
    try {
        minimum ? bar.setMinValue(value) : bar.setMaxValue(value);
    } catch (const GaugeRangeError& e) {
        return e.what();
    }
    return "(no failure)";
}

// The visible pictures by name, for readable comparisons.
std::vector<std::string> visiblePictures(const GaugeModel& m) {
    std::vector<std::string> names;
    for (int i = 0; i < kPictureCount; ++i)
        if (m.pictureVisible(static_cast<Picture>(i))) names.emplace_back(pictureName(static_cast<Picture>(i)));
    return names;
}

using Names = std::vector<std::string>;

// A clock the test moves by hand; it counts how often it is read.
struct HandClock {
    static inline std::chrono::milliseconds now{0};
    static inline int reads = 0;
    static std::chrono::milliseconds read() {
        ++reads;
        return now;
    }
};

// A record loop as the operations write it: stop on cancel, pump, move the bar, count.
int runLoop(ProgressSink& sink, int records) {
    sink.prepareImportRun("Datensätze werden hinzugefügt...", records);
    sink.show();
    int done = 0;
    for (int record = 1; record <= records; ++record) {
        if (sink.cancelled()) break;
        sink.pump();
        sink.setPosition(record);
        sink.addToCounter(Counter::AnzHinzu);
        sink.addToCounter(Counter::Summe);
        ++done;
    }
    sink.appendStatus("fertig.");
    sink.finish();
    return done;
}

}  // namespace

TEST(GaugeBar, PercentageIsTruncatedAndZeroForAnEmptyRange) {
    GaugeBar bar;
    bar.setMaxValue(200);
    bar.setProgress(37);
    EXPECT_EQ(bar.percentDone(), 18);
    bar.setProgress(199);
    EXPECT_EQ(bar.percentDone(), 99);
    bar.setProgress(200);
    EXPECT_EQ(bar.percentDone(), 100);

    // A source of 0 records.
    GaugeBar empty;
    empty.setMaxValue(0);
    EXPECT_EQ(empty.percentDone(), 0);
    empty.setProgress(5);
    EXPECT_EQ(empty.progress(), 0);
    EXPECT_EQ(empty.percentDone(), 0);

    // Relative to the minimum, also below zero, and without overflow at the ends of the range.
    GaugeBar offset;
    offset.setMinValue(-100);
    offset.setProgress(0);
    EXPECT_EQ(offset.percentDone(), 50);
    GaugeBar huge;
    huge.setMaxValue(INT_MAX);
    huge.setProgress(INT_MAX / 2);
    EXPECT_EQ(huge.percentDone(), 49);
    huge.setProgress(INT_MAX);
    EXPECT_EQ(huge.percentDone(), 100);
}

TEST(GaugeBar, ProgressIsClampedAndFollowsTheBounds) {
    GaugeBar bar;
    bar.setMinValue(10);
    EXPECT_EQ(bar.progress(), 10) << "a new minimum raises the progress";
    bar.setProgress(5);
    EXPECT_EQ(bar.progress(), 10);
    bar.setProgress(500);
    EXPECT_EQ(bar.progress(), 100);
    bar.setMaxValue(60);
    EXPECT_EQ(bar.progress(), 60) << "a new maximum lowers the progress";
    bar.setMinValue(60);
    EXPECT_EQ(bar.minValue(), 60) << "minimum equal to maximum is allowed";
    EXPECT_EQ(bar.percentDone(), 0);
}

TEST(GaugeBar, CrossingBoundsFailsWithTheGermanMessage) {
    GaugeBar bar;  // 0..100
    EXPECT_EQ(rangeMessage(bar, true, 101), "Wert muß zwischen -2147483647 und 99 liegen");
    EXPECT_EQ(rangeMessage(bar, false, -1), "Wert muß zwischen 1 und 2147483647 liegen");
    bar.setMinValue(40);
    bar.setMaxValue(70);
    EXPECT_EQ(rangeMessage(bar, false, 39), "Wert muß zwischen 41 und 2147483647 liegen");
    EXPECT_EQ(rangeMessage(bar, true, 71), "Wert muß zwischen -2147483647 und 69 liegen");
    EXPECT_EQ(bar.minValue(), 40) << "a failed setting changes nothing";
    EXPECT_EQ(bar.maxValue(), 70);

    // The bounds in the message are computed without wrapping.
    GaugeBar low;
    low.setMinValue(INT_MIN);
    low.setMaxValue(INT_MIN);
    EXPECT_EQ(rangeMessage(low, true, 0), "Wert muß zwischen -2147483647 und -2147483649 liegen");

    // While the window is built from its description the checks are off.
    GaugeBar loading;
    loading.setLoading(true);
    loading.setMinValue(500);
    EXPECT_EQ(loading.minValue(), 500);
    EXPECT_EQ(loading.progress(), 500);
    loading.setMaxValue(1000);
    loading.setLoading(false);
    EXPECT_EQ(rangeMessage(loading, true, 1001), "Wert muß zwischen -2147483647 und 999 liegen");
}

TEST(GaugeBar, RepaintsOnlyWhenThePercentageChanges) {
    GaugeBar bar;
    int told = 0;
    bar.onRepaint = [&] { ++told; };
    bar.setMaxValue(1000);
    const int afterRange = bar.repaintCount();
    EXPECT_EQ(afterRange, 1);
    for (int p = 1; p <= 9; ++p) bar.setProgress(p);  // still 0 %
    EXPECT_EQ(bar.repaintCount(), afterRange);
    bar.setProgress(10);  // 1 %
    EXPECT_EQ(bar.repaintCount(), afterRange + 1);
    for (int p = 11; p <= 1000; ++p) bar.setProgress(p);
    EXPECT_EQ(bar.repaintCount(), afterRange + 100) << "one repaint per percent, not per record";
    bar.setProgress(5000);  // clamped to where it is
    bar.setMaxValue(1000);
    EXPECT_EQ(bar.repaintCount(), afterRange + 100);
    EXPECT_EQ(told, bar.repaintCount());
}

TEST(GaugeCounters, ShowTheCountsWithTheCurrentSettings) {
    FormatSettings current = FormatSettings::german();
    GaugeModel m(current);
    m.setCount(Counter::AnzHinzu, 999);
    EXPECT_EQ(m.counterText(Counter::AnzHinzu), "999");
    m.addToCounter(Counter::AnzHinzu);
    EXPECT_EQ(m.counterText(Counter::AnzHinzu), "1.000");
    m.addToCounter(Counter::AnzHinzu, 1233567);
    EXPECT_EQ(m.counterText(Counter::AnzHinzu), "1.234.567");
    EXPECT_EQ(m.count(Counter::AnzHinzu), 1234567);

    // The counts are numbers shown with the settings as they are now: another thousands
    // separator (the options window stays open during a run) changes the text, not the count.
    current.thousandSeparator = ',';
    m.addToCounter(Counter::AnzHinzu);
    EXPECT_EQ(m.counterText(Counter::AnzHinzu), "1,234,568");
    m.setCount(Counter::AnzFehler, 12345);
    EXPECT_EQ(m.counterText(Counter::AnzFehler), "12,345");
    m.addToCounter(Counter::AnzFehler, -12345);
    EXPECT_EQ(m.counterText(Counter::AnzFehler), "0");
}

TEST(GaugeShow, ResetsSixCountersAndCancelOnlyWhenNotVisible) {
    FormatSettings fs;
    GaugeModel m(fs);
    std::vector<GaugeChange> changes;
    m.onChange = [&](GaugeChange c) { changes.push_back(c); };
    for (int i = 0; i < kCounterCount; ++i) m.setCount(static_cast<Counter>(i), 7);

    m.show();
    EXPECT_TRUE(m.visible());
    for (Counter c :
         {Counter::AnzHinzu, Counter::Ignor, Counter::Umben, Counter::AnzAkt, Counter::Summe, Counter::AnzFehler})
        EXPECT_EQ(m.counterText(c), "0") << counterLabelName(c);
    EXPECT_EQ(m.counterText(Counter::SummeQuelle), "7") << "the run sets it before showing";
    EXPECT_EQ(m.counterText(Counter::AnzGeles2), "7");

    // Mode 3: the second pass shows the window again and must keep the first pass's counts.
    m.addToCounter(Counter::Umben, 3);
    m.addToCounter(Counter::AnzFehler);
    changes.clear();
    m.show();
    EXPECT_EQ(m.counterText(Counter::Umben), "3");
    EXPECT_EQ(m.counterText(Counter::AnzFehler), "1");
    EXPECT_TRUE(changes.empty()) << "no second show handling";

    m.close();
    EXPECT_FALSE(m.visible());
    EXPECT_EQ(m.counterText(Counter::Umben), "3") << "values stay until the next show";
    m.close();  // closing a hidden window still tells the window (it enables the wizard)
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0], GaugeChange::Closed);
    EXPECT_EQ(changes[1], GaugeChange::Closed);
    m.show();
    EXPECT_EQ(m.counterText(Counter::Umben), "0");
}

TEST(GaugeCancel, AsksBeforeCancellingAndCloseCaptionJustCloses) {
    FormatSettings fs;
    GaugeModel m(fs);
    ScriptedPrompter prompter;
    prompter.expectMessage(MsgKind::Warning, Buttons::YesNoDefaultNo, kQuestion, Answer::No)
        .expectMessage(MsgKind::Warning, Buttons::YesNoDefaultNo, kQuestion, Answer::Yes);
    m.prepareImportRun("Datensätze werden hinzugefügt...", 10);
    m.show();

    m.btnGaugeAbbrechenClick(prompter);  // No
    EXPECT_TRUE(m.visible());
    EXPECT_FALSE(m.cancelled());
    EXPECT_EQ(m.cancelCaption(), "&Abbrechen");

    m.btnGaugeAbbrechenClick(prompter);  // Yes
    EXPECT_FALSE(m.visible());
    EXPECT_TRUE(m.cancelled());
    EXPECT_TRUE(prompter.finished());

    m.show();
    EXPECT_FALSE(m.cancelled()) << "showing clears the cancel result";

    // After the operation the same button closes without a question
    // (an unexpected message would throw from the prompter).
    m.finish();
    EXPECT_EQ(m.cancelCaption(), "&Schließen");
    ScriptedPrompter silent;
    m.btnGaugeAbbrechenClick(silent);
    EXPECT_FALSE(m.visible());
    EXPECT_FALSE(m.cancelled());
    EXPECT_TRUE(silent.finished());
}

TEST(GaugeCancel, ARecordLoopStopsBeforeTheNextRecordOnlyWhenConfirmed) {
    FormatSettings fs;
    for (Answer answer : {Answer::No, Answer::Yes}) {
        GaugeModel m(fs);
        ScriptedPrompter prompter;
        prompter.expectMessage(MsgKind::Warning, Buttons::YesNoDefaultNo, kQuestion, answer);
        int pumps = 0;
        // The user presses the button while the fourth record's events run.
        m.onPump = [&] {
            if (++pumps == 4) m.btnGaugeAbbrechenClick(prompter);
        };
        const int done = runLoop(m, 10);
        EXPECT_TRUE(prompter.finished());
        if (answer == Answer::No) {
            EXPECT_EQ(done, 10);
            EXPECT_TRUE(m.visible());
            EXPECT_EQ(m.bar().percentDone(), 100);
        } else {
            EXPECT_EQ(done, 4) << "the record in progress is finished, the next one not begun";
            EXPECT_FALSE(m.visible());
            EXPECT_EQ(m.bar().percentDone(), 40);
        }
        EXPECT_EQ(m.count(Counter::AnzHinzu), done);
        EXPECT_EQ(m.status(), "Datensätze werden hinzugefügt...fertig.");
    }
}

TEST(GaugeConfigurations, ImportRunTextReadAndShortLoops) {
    FormatSettings fs;
    GaugeModel m(fs);
    EXPECT_EQ(m.bar().foreColor(), 0x0000FFu);
    EXPECT_EQ(m.bar().backColor(), 0xFFFFFFu);
    EXPECT_EQ(m.bar().border(), GaugeBorder::None);
    EXPECT_FALSE(m.helpVisible()) << "hidden until an operation shows it";

    m.prepareTextRead("Textdatei wird eingelesen...", 2500);
    EXPECT_EQ(m.height(), 220);
    EXPECT_EQ(m.cancelLeft(), 120);
    EXPECT_FALSE(m.helpVisible());
    EXPECT_FALSE(m.counterPanelVisible());
    EXPECT_TRUE(m.readLinesVisible());
    EXPECT_EQ(m.counterText(Counter::AnzGeles2), "0");
    EXPECT_TRUE(m.animateTimer1());
    EXPECT_FALSE(m.animateTimer2());
    EXPECT_EQ(m.bar().maxValue(), 2500);
    m.setAnimation(GaugeAnimation::Sizing);
    EXPECT_FALSE(m.animateTimer1());
    EXPECT_TRUE(m.animateTimer2());
    m.endTextRead();
    EXPECT_TRUE(m.counterPanelVisible());
    EXPECT_FALSE(m.readLinesVisible());
    EXPECT_FALSE(m.animateTimer1() || m.animateTimer2());

    m.finish();
    m.prepareImportRun("Datensätze werden hinzugefügt...", 0);
    EXPECT_EQ(m.height(), 275);
    EXPECT_EQ(m.cancelLeft(), 60);
    EXPECT_EQ(m.cancelCaption(), "&Abbrechen");
    EXPECT_TRUE(m.helpVisible());
    EXPECT_EQ(m.bar().percentDone(), 0);
    EXPECT_EQ(m.status(), "Datensätze werden hinzugefügt...");

    m.prepareShort("Importeinstellung wird überprüft...", 12);
    EXPECT_EQ(m.height(), 120);
    EXPECT_EQ(m.cancelLeft(), 120);
    EXPECT_FALSE(m.helpVisible());

    // A new range above the old one is set in the order that never crosses.
    m.setRange(200, 300);
    EXPECT_EQ(m.bar().minValue(), 200);
    EXPECT_EQ(m.bar().maxValue(), 300);
    EXPECT_THROW(m.setRange(50, 10), GaugeRangeError);
}

TEST(GaugeAnimation, DocumentTravelsIntoTheDatabase) {
    FormatSettings fs;
    GaugeModel m(fs);
    EXPECT_EQ(visiblePictures(m), (Names{"ImgFolderFull", "Database1"}));
    m.AnimateTimer1Timer();
    EXPECT_EQ(visiblePictures(m), (Names{"ImgFolderFull", "Database1", "Image3"}));
    for (int n = 4; n <= 12; ++n) {
        m.AnimateTimer1Timer();
        EXPECT_EQ(visiblePictures(m), (Names{"ImgFolderFull", "Database1", "Image" + std::to_string(n)}));
    }
    m.AnimateTimer1Timer();  // frame 10
    EXPECT_EQ(visiblePictures(m), (Names{"ImgFolderFull", "DataBase2"}));
    EXPECT_EQ(m.frame(), 0);
    m.AnimateTimer1Timer();  // the next round starts with the first database again
    EXPECT_EQ(visiblePictures(m), (Names{"ImgFolderFull", "Database1", "Image3"}));
}

TEST(GaugeAnimation, RedWheelTurnsAndSharesTheFrameCounter) {
    FormatSettings fs;
    GaugeModel m(fs);
    for (int n = 0; n <= 6; ++n) {
        m.AnimateTimer2Timer();
        EXPECT_EQ(visiblePictures(m), (Names{"ImgFolderFull", "Database1", "RedImage" + std::to_string(n)}));
    }
    EXPECT_EQ(m.frame(), 0);
    m.AnimateTimer2Timer();
    EXPECT_EQ(visiblePictures(m), (Names{"ImgFolderFull", "Database1", "RedImage0"}));

    // Left by animation 1 at frame 8, the counter is past the wheel's last frame:
    // that tick changes no picture and starts the wheel over.
    GaugeModel shared(fs);
    for (int i = 0; i < 8; ++i) shared.AnimateTimer1Timer();
    const Names before = visiblePictures(shared);
    shared.AnimateTimer2Timer();
    EXPECT_EQ(visiblePictures(shared), before);
    EXPECT_EQ(shared.frame(), 0);
    shared.AnimateTimer2Timer();
    EXPECT_EQ(shared.pictureVisible(Picture::RedImage0), true);
}

TEST(TerminalProgress, AChangedStatusIsDrawnAtTheNextPumpOnceTheIntervalHasPassed) {
    FormatSettings fs;
    std::ostringstream out;
    std::atomic<bool> interrupted{false};
    HandClock::now = std::chrono::milliseconds(5000);
    TerminalProgress p(fs, out, interrupted, HandClock::read);
    p.prepareImportRun("Datensätze werden hinzugefügt...", 10);
    p.show();
    p.pump();
    EXPECT_NE(out.str().find("hinzugefügt"), std::string::npos);
    // A pass that pumps seldom still shows its new status (the line is redrawn at most every 100 ms).
    HandClock::now += std::chrono::milliseconds(120);
    p.setStatus("Feldgrößen werden definiert...");
    p.pump();
    EXPECT_NE(out.str().find("Feldgrößen"), std::string::npos);
    // Within the interval the line stays as it is, however often the run pumps.
    p.setStatus("Datensätze werden geprüft...");
    for (int i = 0; i < 1000; ++i) p.pump();
    EXPECT_EQ(out.str().find("geprüft"), std::string::npos);
    HandClock::now += std::chrono::milliseconds(100);
    for (int i = 0; i < 64 && out.str().find("geprüft") == std::string::npos; ++i) p.pump();
    EXPECT_NE(out.str().find("geprüft"), std::string::npos);
}

// Progress displays redraw by a clock cheap enough to read at every record: the system's monotonic clock at
// its last tick, in milliseconds. It is never ahead of the exact clock and behind it by less than a tick.
TEST(ProgressClock, IsTheMonotonicClockInMillisecondsAtItsLastTick) {
    using std::chrono::milliseconds;
    milliseconds tick{1};
#ifdef CLOCK_MONOTONIC_COARSE
    timespec resolution{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &resolution);
    tick += std::chrono::duration_cast<milliseconds>(std::chrono::seconds(resolution.tv_sec) +
                                                     std::chrono::nanoseconds(resolution.tv_nsec));
#endif
    auto exact = [] {
        return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    };
    for (int i = 0; i < 100; ++i) {
        const milliseconds before = exact();
        const milliseconds coarse = progressClockNow();
        const milliseconds after = exact();
        EXPECT_LE(coarse, after);
        EXPECT_GE(coarse, before - tick);
    }
}

// Displays ask at every record: fast calls are due about once per interval; after a pause one of the
// next few calls is due, and calls that keep coming slowly are due each time the interval has passed.
// The clock is read at every call only while calls come slowly.
TEST(ProgressTicker, FastCallsAreDueOncePerIntervalAndSlowCallsFollowTheClock) {
    using std::chrono::milliseconds;
    HandClock::now = milliseconds(1000);
    HandClock::reads = 0;
    ProgressTicker ticker(milliseconds(20), HandClock::read);
    EXPECT_TRUE(ticker.due());
    // 200 ms of calls 50 to the millisecond.
    std::vector<milliseconds> dueAt;
    int calls = 0;
    for (int micro = 20; micro <= 200000; micro += 20, ++calls) {
        HandClock::now = milliseconds(1000 + micro / 1000);
        if (ticker.due()) dueAt.push_back(HandClock::now);
    }
    ASSERT_GE(dueAt.size(), 9u);
    EXPECT_LE(dueAt.size(), 10u);
    milliseconds last{1000};
    for (milliseconds at : dueAt) {
        EXPECT_GE(at - last, milliseconds(20));
        EXPECT_LE(at - last, milliseconds(22));  // within 64 calls of the interval's end
        last = at;
    }
    EXPECT_LT(HandClock::reads, calls / 4);
    // After a pause one of the next 64 calls is due.
    auto callsUntilDue = [&] {
        int n = 1;
        while (!ticker.due() && n < 1000) ++n;
        return n;
    };
    HandClock::now += milliseconds(40);
    EXPECT_LE(callsUntilDue(), 64);
    // Calls while the clock stands still are not due and read it ever more seldom.
    HandClock::reads = 0;
    for (int i = 0; i < 6400; ++i) EXPECT_FALSE(ticker.due());
    EXPECT_LE(HandClock::reads, 7 + 6400 / 64);
    HandClock::now += milliseconds(40);
    EXPECT_LE(callsUntilDue(), 64);
    // Calls 40 ms apart are each due, the clock read at each.
    HandClock::reads = 0;
    for (int i = 0; i < 3; ++i) {
        HandClock::now += milliseconds(40);
        EXPECT_TRUE(ticker.due());
    }
    EXPECT_EQ(HandClock::reads, 3);
}

// The bar repaints exactly when the shown percent changes, however the position and range move.
TEST(GaugeBar, RepaintsExactlyWhenThePercentShownChanges) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 200; ++trial) {
        GaugeBar bar;
        const int low = static_cast<int>(rng() % 1000) - 500;
        const int span = static_cast<int>(rng() % 5000);
        bar.setMinValue(-1000);  // below any maximum set next
        bar.setMaxValue(low + span);
        bar.setMinValue(low);
        int expected = bar.repaintCount();
        int shown = bar.percentDone();
        for (int step = 0; step < 500; ++step) {
            const int r = static_cast<int>(rng() % 10);
            if (r < 7) bar.setProgress(bar.progress() + static_cast<int>(rng() % 40));
            else if (r < 9) bar.setProgress(low - 10 + static_cast<int>(rng() % (span + 20)));
            else {
                bar.setMaxValue(bar.maxValue() + 1 + static_cast<int>(rng() % 100));
                ++expected;  // a new range always repaints
                shown = bar.percentDone();
                ASSERT_EQ(bar.repaintCount(), expected);
                continue;
            }
            if (bar.percentDone() != shown) ++expected;
            shown = bar.percentDone();
            ASSERT_EQ(bar.repaintCount(), expected) << "trial " << trial << " step " << step;
        }
    }
}
