#include "support/TestSupport.h"

#include <gtest/gtest.h>

using kimport::test::runCommand;

namespace {
std::string kimportExe() { return KIMPORT_KIMPORT_EXE; }
}  // namespace

TEST(KimportCli, VersionHelpAndBadArguments) {
    auto version = runCommand(kimportExe() + " --version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Kelvaro Import 1.0c\n");

    auto help = runCommand(kimportExe() + " --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Aufruf: kimport"), std::string::npos);

    auto none = runCommand(kimportExe());
    EXPECT_EQ(none.exitCode, 2);
    auto unknown = runCommand(kimportExe() + " frobnicate");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unbekannter Befehl"), std::string::npos);
}
