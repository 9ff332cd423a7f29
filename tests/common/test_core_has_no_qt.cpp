// The core must build without Qt: no file of it may include a Qt header.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace fs = std::filesystem;

TEST(CoreLayer, NoCoreFileIncludesAQtHeader) {
    const std::regex qtInclude(R"(^\s*#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/[^>"]*|qt[a-z]*\.h)[>"])");
    const std::regex windowFile(R"(^(Tfrm|Qt).*)");
    int scanned = 0;
    for (const char* dir : {"common", "tablestore", "progress", "formula", "textsource", "settings", "importrun", "mapping", "wizard"}) {
        fs::path root = fs::path(kimport::test::sourceDir()) / dir;
        if (!fs::exists(root)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file()) continue;
            std::string name = entry.path().filename().string();
            std::string ext = entry.path().extension().string();
            if ((ext != ".h" && ext != ".cpp") || std::regex_match(name, windowFile)) continue;
            ++scanned;
            std::ifstream in(entry.path());
            std::string line;
            int number = 0;
            while (std::getline(in, line)) {
                ++number;
                EXPECT_FALSE(std::regex_search(line, qtInclude))
                    << entry.path().string() << ":" << number << ": " << line;
            }
        }
    }
    EXPECT_GT(scanned, 10);
}
