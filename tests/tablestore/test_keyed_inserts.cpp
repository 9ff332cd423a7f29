// Keys that come in no order (a price list sorted by name, say) are checked in a hash and sorted into
// the order in one go: lookups, record numbers, key changes, deletes and saves in between must see the
// table exactly as a plain sorted map of the same keys.
#include "tablestore/TableTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kDe = FormatSettings::german();

bool post(Table& t) {
    try {
        t.PostRecord();
        return true;
    } catch (const TableError& e) {
        EXPECT_EQ(e.kind(), TableError::Kind::KeyViolation);
        t.CancelRecord();
        return false;
    }
}

}  // namespace

TEST(KeyedInserts, KeysInNoOrderGiveTheTableASortedMapWouldHold) {
    TempDir dir;
    MakeTable(dir.path(), "K.DB", {{"Nr", FieldType::Integer}, {"Name", FieldType::String, 20}}, 1);
    Table t;
    t.setPath(dir.file("K.DB"));
    t.Exclusive = true;
    t.OpenTable();
    std::map<std::int64_t, std::string> model;
    std::mt19937 random(17);
    auto someKey = [&] { return static_cast<std::int64_t>(random() % 6000) + 1; };
    for (int step = 0; step < 6000; ++step) {
        SCOPED_TRACE(step);
        const int kind = static_cast<int>(random() % 10);
        const std::int64_t key = someKey();
        if (kind < 6) {
            t.BeginAppend();
            t.SetAsInteger(0, key);
            t.SetAsString(1, "N" + std::to_string(step), kDe);
            ASSERT_EQ(post(t), !model.count(key));
            model.emplace(key, "N" + std::to_string(step));
        } else if (kind == 6) {
            // A key changed: refused when taken, else the record moves.
            if (!t.SeekKey({Value::ofInteger(key)})) continue;
            const std::int64_t to = someKey();
            t.BeginEdit();
            t.SetAsInteger(0, to);
            ASSERT_EQ(post(t), to == key || !model.count(to));
            if (to != key && !model.count(to)) {
                model[to] = model[key];
                model.erase(key);
            }
        } else if (kind == 7) {
            ASSERT_EQ(t.SeekKey({Value::ofInteger(key)}), model.count(key) == 1);
            if (!model.count(key)) continue;
            t.DeleteRecord();
            model.erase(key);
        } else if (kind == 8) {
            // Found by its key: its values and its number among the sorted keys.
            ASSERT_EQ(t.SeekKey({Value::ofInteger(key)}), model.count(key) == 1);
            if (!model.count(key)) continue;
            EXPECT_EQ(t.AsString(1, kDe), model[key]);
            EXPECT_EQ(t.RecordNumber(), std::distance(model.begin(), model.find(key)) + 1);
        } else {
            ASSERT_EQ(t.RecordCount(), static_cast<std::int64_t>(model.size()));
            if (model.empty()) continue;
            const auto n = static_cast<std::int64_t>(random() % model.size()) + 1;
            ASSERT_TRUE(t.GoToRecord(n));
            EXPECT_EQ(t.AsInteger(0), std::next(model.begin(), n - 1)->first);
        }
        if (step == 3000) t.Flush();
    }
    std::vector<std::int64_t> walked, listed;
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) walked.push_back(t.AsInteger(0));
    for (const auto& [key, name] : model) listed.push_back(key);
    EXPECT_EQ(walked, listed);
    t.CloseTable();
    const Rows rows = contentsOf(dir.file("K.DB"));
    ASSERT_EQ(rows.size(), model.size());
    auto it = model.begin();
    for (std::size_t i = 0; i < rows.size(); ++i, ++it) {
        EXPECT_EQ(rows[i][0], std::to_string(it->first));
        EXPECT_EQ(rows[i][1], it->second);
    }
}
