// No text of the standard library reaches the user: a failure is said in German.
#include "common/UserMessage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <stdexcept>

using namespace kimport;

TEST(UserMessage, LibraryTextsNeverReachTheUser) {
    EXPECT_EQ(userMessage(std::bad_alloc()), kOutOfMemoryMessage);
    EXPECT_EQ(userMessage(std::length_error("basic_string::_M_create")), kOutOfMemoryMessage);
    EXPECT_EQ(userMessage(std::out_of_range("vector::_M_range_check")), kUnexpectedErrorMessage);
    const std::string denied = userMessage(std::filesystem::filesystem_error(
        "filesystem error", std::filesystem::path("/daten/x.db"), std::make_error_code(std::errc::permission_denied)));
    EXPECT_EQ(denied, "Fehler bei /daten/x.db: Zugriff verweigert");
    // The program's own failures are German already and name what failed.
    EXPECT_EQ(userMessage(std::runtime_error("Die Datei x.db kann nicht geöffnet werden.")),
              "Die Datei x.db kann nicht geöffnet werden.");
}
