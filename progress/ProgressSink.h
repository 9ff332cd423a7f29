// What a long operation (the import run, reading a text file, the mapping and
// settings loops) reports to while it works, and the one place it learns that
// the user cancelled. GaugeModel implements it for the progress window; the
// command line can implement it for a terminal.
//
// Protocol of an operation:
//   sink.prepareImportRun(text, records);  // or prepareTextRead / prepareShort
//   sink.show();                            // resets counters and cancel unless already shown
//   while (more && !sink.cancelled()) {
//       sink.pump();                        // lets the window repaint and react to the cancel button
//       sink.setPosition(recordNumber);
//       ... sink.addToCounter(Counter::AnzHinzu);
//   }
//   sink.appendStatus("fertig.");
//   sink.finish();                          // the cancel button now only closes
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kimport {

// The number labels of the progress window; each holds its count as text with
// thousands separators.
enum class Counter {
    SummeQuelle,  // records in the source (set by the run before it shows the window)
    AnzHinzu,     // appended
    Ignor,        // skipped because their key exists
    Umben,        // added under a new key
    AnzAkt,       // updated
    Summe,        // total
    AnzFehler,    // field errors
    AnzGeles2,    // lines read from a text file
};
inline constexpr int kCounterCount = 8;

// Which of the two animations runs: 1 while a text file is read, 2 while the
// staging table's field sizes are determined.
enum class GaugeAnimation { None, Document, Sizing };

class ProgressSink {
public:
    virtual ~ProgressSink() = default;

    // Set-ups; none of them shows the window.
    // Import run: counters shown, help button shown, cancel button "&Abbrechen", bar 0..maximum.
    virtual void prepareImportRun(std::string_view status, int maximum) = 0;
    // Reading a text file: counters hidden, read lines shown from "0", animation 1 running.
    virtual void prepareTextRead(std::string_view status, int lines) = 0;
    // The short loops (mapping, pre-run check, reading in settings): small window, no help.
    virtual void prepareShort(std::string_view status, int maximum) = 0;
    // After reading a text file: counters back, read lines hidden, animations stopped.
    virtual void endTextRead() = 0;

    virtual void show() = 0;
    virtual void close() = 0;
    // Shows a closed window again as it was, its counters and status kept (after a cancel closed it).
    virtual void reopen() {}
    // The operation has ended: the cancel button reads "&Schließen" and only closes.
    virtual void finish() = 0;

    virtual void setStatus(std::string_view text) = 0;
    virtual const std::string& status() const = 0;
    void appendStatus(std::string_view text) { setStatus(status() + std::string(text)); }

    // Bar range and position; out-of-range positions are clamped, a minimum
    // above the maximum throws GaugeRangeError.
    virtual void setRange(int minimum, int maximum) = 0;
    virtual void setPosition(int position) = 0;

    // Counters are counts; their labels show them with FormatCount under the
    // number settings in force when they are shown.
    virtual void addToCounter(Counter counter, std::int64_t n = 1) = 0;
    virtual void setCount(Counter counter, std::int64_t value) = 0;
    virtual std::int64_t count(Counter counter) const = 0;

    virtual void setAnimation(GaugeAnimation animation) = 0;

    // True once the user confirmed cancelling; operations stop before their next record.
    virtual bool cancelled() const = 0;
    // Called between records so the window can repaint and its cancel button can work.
    virtual void pump() = 0;
    // After a run: the report of what it could not do, for the window to offer (kept by reference until
    // the next operation is shown). Sinks without a window ignore it.
    virtual void showReport(const class RunReport* /*report*/) {}
};

// The records a run wrote into its target: added, updated and added under a new key.
inline std::int64_t recordsWritten(const ProgressSink& progress) {
    return progress.count(Counter::AnzHinzu) + progress.count(Counter::AnzAkt) + progress.count(Counter::Umben);
}

// Shows the window for an operation and closes it when the operation ends, also by an exception:
// a window left open would keep the wizard disabled.
class ShownProgress {
public:
    explicit ShownProgress(ProgressSink* progress) : progress_(progress) {
        if (progress_) progress_->show();
    }
    ~ShownProgress() { close(); }
    ShownProgress(const ShownProgress&) = delete;
    ShownProgress& operator=(const ShownProgress&) = delete;
    void close() {
        if (progress_) progress_->close();
        progress_ = nullptr;
    }

private:
    ProgressSink* progress_;
};

}  // namespace kimport
