// Every arrangement of the wizard's command line.
#include "support/TestSupport.h"
#include "wizard/CommandLine.h"

#include <gtest/gtest.h>

using namespace kimport;
using kimport::test::TempDir;
using kimport::test::writeFile;

namespace {
struct Files {
    TempDir dir;
    std::string a = dir.file("Quelle.DB"), b = dir.file("Ziel.DB"), missing = dir.file("fehlt.db");
    Files() {
        writeFile(a, "x");
        writeFile(b, "x");
    }
};
}  // namespace

TEST(CommandLine, OneOrTwoNames) {
    Files f;
    auto r = evaluateCommandLine({f.a});
    EXPECT_EQ(r.source, f.a);
    EXPECT_FALSE(r.error);
    r = evaluateCommandLine({f.missing});
    EXPECT_EQ(*r.error, "Die per Parameter übergebene Datei \"" + f.missing + "\" existiert leider nicht.");
    r = evaluateCommandLine({f.a, f.b});
    EXPECT_EQ(r.source, f.a);
    EXPECT_EQ(r.target, f.b);
    r = evaluateCommandLine({f.a, f.missing});
    EXPECT_EQ(*r.error, "Die übergebenen Parameter können weder als Quelldatei\r\nnoch als Zieldatei verwendet werden");
    EXPECT_TRUE(r.source.empty());
}

TEST(CommandLine, SourceAndTargetOptions) {
    Files f;
    auto r = evaluateCommandLine({"/q", f.a});
    EXPECT_EQ(r.source, f.a);
    r = evaluateCommandLine({"/Q", f.missing});
    EXPECT_EQ(*r.error, "Die per Parameter übergebene Datei \"" + f.missing + "\" existiert leider nicht.");
    r = evaluateCommandLine({"/Z", f.b});
    EXPECT_EQ(r.target, f.b);
    EXPECT_TRUE(r.source.empty());
    r = evaluateCommandLine({"/z", f.missing});
    EXPECT_EQ(*r.error, "Die per Parameter übergebene Zieldatei \"" + f.missing + "\" existiert leider nicht.");
    r = evaluateCommandLine({"-q", f.a});  // not an option
    EXPECT_TRUE(r.error);
}

TEST(CommandLine, TargetFirstWithExclamationMark) {
    Files f;
    for (const char* bang : {"!", "/!"}) {
        auto r = evaluateCommandLine({bang, f.b, f.a});
        EXPECT_EQ(r.target, f.b);
        EXPECT_EQ(r.source, f.a);
    }
    auto r = evaluateCommandLine({"!", f.missing, f.a});
    EXPECT_EQ(*r.error, "Die per Parameter übergebene Zieldatei \"" + f.missing + "\" existiert leider nicht.");
    r = evaluateCommandLine({"!", f.b, f.missing});
    EXPECT_EQ(*r.error, "Die per Parameter übergebene Quelldatei \"" + f.missing + "\" existiert leider nicht.");
    r = evaluateCommandLine({f.a, f.b, f.a});  // three without "!": nothing taken over, nothing said
    EXPECT_FALSE(r.error);
    EXPECT_TRUE(r.source.empty() && r.target.empty());
}

TEST(CommandLine, FourParameters) {
    Files f;
    auto r = evaluateCommandLine({"/q", f.a, "/z", f.b});
    EXPECT_EQ(r.source, f.a);
    EXPECT_EQ(r.target, f.b);
    r = evaluateCommandLine({"/Z", f.b, "/Q", f.a});
    EXPECT_EQ(r.source, f.a);
    EXPECT_EQ(r.target, f.b);
    r = evaluateCommandLine({"/q", f.missing, "/z", f.b});
    EXPECT_EQ(*r.error, "Die per Parameter übergebene Quelldatei\r\n\"" + f.missing + "\"\r\nexistiert leider nicht.");
    r = evaluateCommandLine({"/z", f.b, "/q", f.missing});
    EXPECT_EQ(*r.error, "Die per Parameter übergebene Quelldatei\r\n\"" + f.missing + "\"\r\nexistiert leider nicht");
    r = evaluateCommandLine({"/q", f.a, "/z", f.missing});
    EXPECT_EQ(*r.error, "Die per Parameter übergebene Zieldatei\r\n\"" + f.missing + "\"\r\nexistiert leider nicht.");
    r = evaluateCommandLine({f.a, "/q", f.b, "/z"});
    EXPECT_EQ(*r.error, "Die übergebenen Parameter sind ungültig.");
}

TEST(CommandLine, TooManyParameters) {
    Files f;
    auto r = evaluateCommandLine({"/q", f.a, "/z", f.b, "x"});
    EXPECT_EQ(*r.error, "Die übergebenen Parameter sind ungültig.\r\n\r\nHinweis: Möglicherweise haben Sie\r\nzu viele "
                        "Parameter eingegeben.");
    EXPECT_TRUE(r.source.empty() && r.target.empty());
}
