// Times what the wizard does with a large text source before the user sees it:
// the text box's first 500 lines with the encoding check, the detection of
// quote and separators from the first line, and the 20-line preview.
// The file (1 GB unless KIMPORT_BENCH_PREVIEW_MB says otherwise) is written
// once and dropped from the page cache, so the first reading is from disk.
#include "BenchSupport.h"
#include "textsource/StagingTable.h"
#include "textsource/TextFile.h"
#include "textsource/TextSplit.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace kimport;

namespace {

const long kMegabytes =
    std::getenv("KIMPORT_BENCH_PREVIEW_MB") ? std::atol(std::getenv("KIMPORT_BENCH_PREVIEW_MB")) : 1024;

void writeLargeCsv(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "Nr;Name;Ort;Preis;Menge\r\n";
    const long long target = kMegabytes * 1024LL * 1024LL;
    char line[128];
    for (long long i = 0, written = 0; written < target; ++i) {
        int n = std::snprintf(line, sizeof line, "%lld;\"Artikel Nummer %lld\";Köln;%lld,%02lld;%lld\r\n", i + 1, i,
                              i % 1000, i % 100, i % 30000);
        out.write(line, n);
        written += n;
    }
}

void dropFromCache(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    std::string dir = std::filesystem::temp_directory_path() / "kimport-bench-preview";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/Gross.csv";
    std::printf("writing %ld MB ...\n", kMegabytes);
    writeLargeCsv(path);
    std::printf("file: %.1f MB\n", std::filesystem::file_size(path) / 1048576.0);
    dropFromCache(path);

    auto start = std::chrono::steady_clock::now();
    TextLayout layout;
    layout.encoding = detectEncoding(path, TextEncoding::Auto, false);
    std::vector<std::string> shown = firstLines(path, layout.encoding, 500);
    double textBox = msSince(start);

    auto detectStart = std::chrono::steady_clock::now();
    DetectQuoteCharacter(shown.at(0), layout);
    DetectSeparators(shown.at(0), layout);
    layout.kind = LayoutKind::Variable;
    layout.namesInFirstLine = true;
    TextPreview preview = BuildPreview(path, layout);
    double previewMs = msSince(detectStart);

    std::printf("text box (encoding check + 500 lines): %.1f ms\n", textBox);
    std::printf("detection + 20-line preview:           %.1f ms (%zu columns, %zu rows)\n", previewMs,
                preview.names.size(), preview.rows.size());
    std::printf("until the preview shows:               %.1f ms (goal < 500 ms)\n", textBox + previewMs);
    std::filesystem::remove_all(dir);
    return textBox + previewMs < 500 ? 0 : 1;
}
