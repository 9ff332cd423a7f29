// The column layout editor's logic: break markers on the character grid and
// the renaming of columns with its checks.
#include "support/ScriptedPrompter.h"
#include "textsource/ColumnLayout.h"

#include <gtest/gtest.h>

using namespace kimport;

namespace {

std::vector<int> used(const std::array<int, kBreakSlots>& slots) {
    std::vector<int> out;
    for (int p : slots)
        if (p > 0) out.push_back(p);
    return out;
}

}  // namespace

TEST(BreakMarkers, AreSetMovedOntoEachOtherAndDeleted) {
    TextLayout l;
    BreakMarkers m(l.breaks);
    EXPECT_FALSE(m.set(0));  // the first character column takes no marker
    EXPECT_TRUE(m.set(5));
    EXPECT_FALSE(m.set(5));  // a second click there changes nothing
    EXPECT_TRUE(m.set(8));
    EXPECT_TRUE(m.set(12));
    EXPECT_EQ(used(l.breaks), (std::vector<int>{5, 8, 12}));
    // Dragging the marker at 8 onto the one at 12 leaves one marker at 12.
    ASSERT_TRUE(m.press(8));
    m.dragTo(10);
    m.dragTo(12);
    m.drop();
    EXPECT_EQ(used(l.breaks), (std::vector<int>{5, 12}));
    EXPECT_FALSE(m.press(7));
    EXPECT_FALSE(m.remove(7));  // a double click where no marker is changes nothing
    EXPECT_TRUE(m.remove(5));
    EXPECT_EQ(used(l.breaks), (std::vector<int>{12}));
    EXPECT_EQ(m.count(), 1);
}

TEST(BreakMarkers, HundredSlotsAtMostAndFreedOnesAreUsedAgain) {
    TextLayout l;
    BreakMarkers m(l.breaks);
    for (int c = 1; c <= 100; ++c) ASSERT_TRUE(m.set(c));
    EXPECT_FALSE(m.set(101));  // no free slot: the click is ignored
    EXPECT_TRUE(m.remove(50));
    EXPECT_TRUE(m.set(150));  // the freed slot is found after compacting
    EXPECT_EQ(m.count(), 100);
    EXPECT_EQ(m.slotOf(50), -1);
}

TEST(CharacterGrid, HasOneColumnMoreThanTheFirstLineAndTwentyLines) {
    int columns = 0;
    std::string text = "  0123456789\r\n" + std::string(30, 'x') + "\r\n";
    for (int i = 0; i < 30; ++i) text += "z\r\n";
    auto rows = characterGrid(text, columns);
    EXPECT_EQ(columns, 11);
    EXPECT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows[0].front(), "0");  // the text is trimmed as a whole
    EXPECT_EQ(rows[1].size(), 11u);   // longer lines are cut to the grid
}

TEST(ColumnRenaming, ChecksEmptyLeadingBlankAndRepeatedNames) {
    std::vector<std::string> names{"FELD_1", "FELD_2", "FELD_3", "FELD_4", "ARTIKEL"};
    ScriptedPrompter p;
    p.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
    ColumnRenaming r(names, p);
    EXPECT_TRUE(r.next("FELD_1"));
    EXPECT_EQ(r.current(), 1);
    p.expectMessage(MsgKind::Error, Buttons::OkHelp,
                    "Die Spaltenbezeichnung \"ARTIKEL\"\r\nwurde bereits für die Spalte 5\r\nvergeben.");
    EXPECT_FALSE(r.next("artikel"));
    EXPECT_EQ(names[1], "FELD_2");
    p.expectMessage(MsgKind::Information, Buttons::OkHelp, "Bitte geben Sie eine Spaltenbezeichnung ein.");
    EXPECT_FALSE(r.last(""));
    p.expectMessage(MsgKind::Error, Buttons::OkHelp, "Feldnamen dürfen nicht mit einem Leerzeichen beginnen");
    EXPECT_FALSE(r.first(" x"));
    EXPECT_TRUE(r.last("preis"));
    EXPECT_EQ(names[1], "PREIS");
    EXPECT_EQ(r.current(), 4);
    EXPECT_FALSE(r.canGoOn());
    EXPECT_TRUE(r.storeName("artikel"));  // its own name again is fine
    EXPECT_EQ(names[4], "ARTIKEL");
    EXPECT_TRUE(p.finished());
}
