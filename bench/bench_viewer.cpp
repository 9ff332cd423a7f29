// The content viewer over a keyed Paradox table of 1,000,000 records: the time
// from showing the target table to the first 40 rows' texts, then 40-row
// windows read at random positions and in a sweep over the whole table. Built
// with the windows, it also times the grid: showing the window up to its first
// paint, and scrolling with a repaint after every step.
#include "BenchSupport.h"
#include "common/Prompter.h"
#include "tablestore/Table.h"
#include "wizard/ContentViewer.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

#ifdef KIMPORT_BENCH_WINDOW
#include "wizard/TfrmInhaltAnz.h"

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#endif

using namespace kimport;
using namespace kimport::bench;

namespace {

constexpr int kRecords = 1000000;
constexpr int kWindow = 40;
constexpr int kRandomWindows = 1000;

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Any message means the table could not be shown: the figures would be meaningless.
class FailingPrompter : public Prompter {
public:
    Answer message(MsgKind, Buttons, std::string_view text, int) override {
        std::fprintf(stderr, "unexpected message: %.*s\n", static_cast<int>(text.size()), text.data());
        std::exit(1);
    }
    void beep() override {}
    std::optional<std::string> inputQuery(std::string_view, std::string_view, std::string_view) override { return {}; }
    std::optional<std::string> openFile(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogSpec&) override { return {}; }
};

// Reads every cell of 40 rows from `first`, as a grid's repaint does; returns characters read.
std::size_t readWindow(TableRows& rows, std::int64_t first) {
    std::size_t chars = 0;
    for (std::int64_t r = first; r < first + kWindow; ++r)
        for (int c = 0; c < rows.columnCount(); ++c) chars += rows.text(r, c).size();
    return chars;
}

void benchCore(const std::string& path) {
    FailingPrompter prompter;
    const FormatSettings formats = FormatSettings::german();
    ContentViewer viewer(prompter, formats);
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        viewer.showTargetTable(path, true);
        readWindow(viewer.targetRows(), 0);
        best = std::min(best, msSince(start));
        if (viewer.targetRows().text(0, 0) != "1") {
            std::fprintf(stderr, "first row is %s, not key 1\n", viewer.targetRows().text(0, 0).c_str());
            std::exit(1);
        }
        viewer.close();
    }
    std::printf("%-46s %9.1f ms (best of 3)\n", "show target table to first 40 rows", best);

    viewer.showTargetTable(path, false);
    TableRows& rows = viewer.targetRows();
    std::mt19937 random(1);
    std::uniform_int_distribution<std::int64_t> position(0, rows.rowCount() - kWindow);
    std::size_t chars = 0;
    auto start = Clock::now();
    for (int i = 0; i < kRandomWindows; ++i) chars += readWindow(rows, position(random));
    std::printf("%-46s %9.3f ms per window\n", "40-row windows at 1,000 random positions", msSince(start) / kRandomWindows);

    start = Clock::now();
    std::int64_t windows = 0;
    for (std::int64_t first = 0; first + kWindow <= rows.rowCount(); first += kWindow, ++windows)
        chars += readWindow(rows, first);
    const double sweep = msSince(start);
    std::printf("%-46s %9.3f ms per window (%lld windows, %.0f ms)\n", "40-row windows in a sweep of the table",
                sweep / static_cast<double>(windows), static_cast<long long>(windows), sweep);
    if (chars == 0) std::exit(1);
}

#ifdef KIMPORT_BENCH_WINDOW
void benchWindow(const std::string& path) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench_viewer";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    FailingPrompter prompter;
    const FormatSettings formats = FormatSettings::german();
    TfrmInhaltAnz window(prompter, formats);
    auto* grid = window.findChild<QTableView*>(QStringLiteral("dbgInhaltZielDB"));

    auto start = Clock::now();
    window.showTargetTable(path, false);
    QApplication::processEvents();
    grid->viewport()->repaint();
    std::printf("%-46s %9.1f ms\n", "window: show target table to first paint", msSince(start));

    std::mt19937 random(2);
    std::uniform_int_distribution<int> row(0, kRecords - 1);
    start = Clock::now();
    for (int i = 0; i < kRandomWindows; ++i) {
        grid->scrollTo(grid->model()->index(row(random), 0), QAbstractItemView::PositionAtTop);
        grid->viewport()->repaint();
    }
    std::printf("%-46s %9.3f ms per step\n", "window: 1,000 random scrollTo + repaint", msSince(start) / kRandomWindows);

    QScrollBar* bar = grid->verticalScrollBar();
    bar->setValue(0);
    start = Clock::now();
    for (int i = 0; i < kRandomWindows; ++i) {
        bar->setValue(bar->value() + bar->pageStep());
        grid->viewport()->repaint();
    }
    std::printf("%-46s %9.3f ms per step\n", "window: 1,000 pages down + repaint", msSince(start) / kRandomWindows);
    window.close();
}
#endif

}  // namespace

int main() {
    std::string dir = (std::filesystem::temp_directory_path() / "kimport-bench-viewer/").string();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::printf("content viewer: %d records (long key, alpha 20, number, date, logical), keyed Paradox\n", kRecords);
    const auto start = Clock::now();
    writeArticles(dir, "Ziel.DB", kRecords, 1, true);
    std::printf("%-46s %9.1f ms\n", "(making the table)", msSince(start));

    benchCore(dir + "Ziel.DB");
#ifdef KIMPORT_BENCH_WINDOW
    benchWindow(dir + "Ziel.DB");
#endif
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-46s %9.1f MB\n", "peak memory", static_cast<double>(usage.ru_maxrss) / 1024);
    std::filesystem::remove_all(dir);
    return 0;
}
