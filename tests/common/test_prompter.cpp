#include "support/ScriptedPrompter.h"

#include <gtest/gtest.h>

using namespace kimport;

TEST(ScriptedPrompter, AnswersScriptedMessagesInOrder) {
    ScriptedPrompter p;
    p.expectMessage(MsgKind::Confirmation, Buttons::YesNo, "Weiter?", Answer::No)
        .expectInput("Import umbenennen", "Neue Bezeichnung", std::string("Neu"))
        .expectBeep()
        .expectOpenFile(std::nullopt);
    EXPECT_EQ(p.message(MsgKind::Confirmation, Buttons::YesNo, "Weiter?"), Answer::No);
    EXPECT_EQ(p.inputQuery("Import umbenennen", "Neue Bezeichnung", ""), std::optional<std::string>("Neu"));
    p.beep();
    EXPECT_EQ(p.openFile({}), std::nullopt);
    EXPECT_TRUE(p.finished());
}

TEST(ScriptedPrompter, FailsOnUnexpectedOrDifferentMessages) {
    ScriptedPrompter p;
    EXPECT_THROW(p.message(MsgKind::Error, Buttons::Ok, "Überraschung"), ScriptFailure);

    ScriptedPrompter q;
    q.expectError("A");
    EXPECT_THROW(q.message(MsgKind::Warning, Buttons::Ok, "A"), ScriptFailure);

    ScriptedPrompter r;
    std::vector<std::string> failures;
    r.onFailure = [&](const std::string& f) { failures.push_back(f); };
    r.expectError("A");
    r.message(MsgKind::Error, Buttons::Ok, "B");
    r.expectError("unused");
    EXPECT_FALSE(r.finished());
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[1].find("unused"), std::string::npos);
}
