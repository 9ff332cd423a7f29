// A fresh program directory with its control tables, ImpList open, for the settings operations.
#pragma once

#include "support/ScriptedPrompter.h"
#include "settings/ControlTables.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace kimport::test {

// Appends a row of the catalogue (or of a VorDef.DB) for a setting and returns it as read back.
inline SavedSetting appendSetting(Table& table, const std::string& name, bool own, const std::string& vorDefName,
                                  int mode) {
    SavedSetting s;
    s.name = name;
    s.own = own;
    s.vorDefTableName = vorDefName;
    s.mode = mode;
    table.BeginAppend();
    writeSetting(table, s);
    table.PostRecord();
    table.Flush();
    return readSetting(table);
}

struct ControlTablesFixture {
    TempDir dir;
    ScriptedPrompter prompter;
    Table impList, zStrukt;

    ControlTablesFixture() {
        prompter.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
        makeControlTables(dir.path());
        impList.setPath(impListPath(dir.path()));
        zStrukt.setPath(zStruktPath(dir.path()));
        impList.Exclusive = zStrukt.Exclusive = true;
        impList.OpenTable();
    }
    SettingsTables tables(FileSystem& fs = realFileSystem()) {
        return SettingsTables{impList, zStrukt, prompter, fs, dir.path()};
    }
};

}  // namespace kimport::test
