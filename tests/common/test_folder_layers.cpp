// The concept folders stand in layers: a folder's core files include only their own folder and
// those below it, so that no two folders depend on each other, directly or round a circle.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

TEST(CoreLayer, NoFolderIncludesOneAboveIt) {
    // Bottom first, as CONTRIBUTING.md draws them.
    const std::vector<std::string> layers{"common",   "tablestore", "progress", "formula", "textsource",
                                          "settings", "importrun",  "mapping",  "wizard"};
    const std::regex include(R"(^\s*#\s*include\s*"([a-z]+)/)");
    const std::regex windowFile(R"(^(Tfrm|Qt).*)");
    int scanned = 0;
    for (std::size_t level = 0; level < layers.size(); ++level) {
        const fs::path root = fs::path(kimport::test::sourceDir()) / layers[level];
        ASSERT_TRUE(fs::exists(root)) << root;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            const std::string name = entry.path().filename().string();
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp") || std::regex_match(name, windowFile))
                continue;
            ++scanned;
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                std::smatch m;
                if (!std::regex_search(line, m, include)) continue;
                const auto found = std::find(layers.begin(), layers.end(), m[1].str());
                // The windows' Qt helpers (qtshared/) sit above every core folder, as app/ does.
                const bool above = found == layers.end() ? m[1].str() == "app" || m[1].str() == "qtshared"
                                                         : static_cast<std::size_t>(found - layers.begin()) > level;
                EXPECT_FALSE(above) << entry.path().string() << ":" << number << ": " << line;
            }
        }
    }
    EXPECT_GT(scanned, 100);
}
