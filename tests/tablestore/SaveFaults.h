// A save of a changed table failed, then killed, at each of its file operations in turn, every time on
// a fresh copy of the table's folder: each must leave the old table or the new one as the next open
// sees it, and a save that left the old one must leave its files as they were.
#pragma once

#include "support/FaultyFileSystem.h"
#include "tablestore/TableTestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <functional>
#include <map>
#include <string>

namespace kimport::test {

struct SaveUnderFaults {
    std::map<std::string, std::string> files;  // the folder before: file name → content
    std::string table;                         // the table's data file among them
    std::function<void(Table&, const std::string&)> open;
    std::function<void(Table&)> change;
    // Further checks of a folder after each try (an index that must fit its data, say).
    std::function<void(const TempDir&)> alsoCheck = {};
    int leastOperations = 4;
};

inline void expectOldOrNewAfterEveryFault(const SaveUnderFaults& s) {
    auto fresh = [&](const TempDir& work) {
        for (const auto& [name, content] : s.files) writeFile(work.file(name), content);
    };
    std::string before, after;
    int operations = 0;
    {
        TempDir work;
        fresh(work);
        before = dumpOf(work.file(s.table));
        FaultyFileSystem counting(realFileSystem());
        Table t(counting);
        s.open(t, work.file(s.table));
        s.change(t);
        const int start = counting.operationCount();
        t.CloseTable();
        operations = counting.operationCount() - start;
        after = dumpOf(work.file(s.table));
        if (s.alsoCheck) s.alsoCheck(work);
    }
    ASSERT_GE(operations, s.leastOperations);
    ASSERT_NE(after, before);
    int died = 0;
    for (int at = 1; at <= operations; ++at) {
        SCOPED_TRACE(at);
        for (bool kill : {false, true}) {
            SCOPED_TRACE(kill ? "killed" : "failed");
            TempDir work;
            fresh(work);
            bool failed = true;
            if (!kill) {
                FaultyFileSystem faulty(realFileSystem());
                Table t(faulty);
                s.open(t, work.file(s.table));
                s.change(t);
                faulty.failAtOperation = faulty.operationCount() + at;
                try {
                    t.CloseTable();
                    failed = false;
                } catch (const TableError&) {
                }
            } else {
                const pid_t child = fork();
                ASSERT_GE(child, 0);
                if (child == 0) {
                    FaultyFileSystem faulty(realFileSystem());
                    Table t(faulty);
                    s.open(t, work.file(s.table));
                    s.change(t);
                    faulty.dieAtOperation = faulty.operationCount() + at;
                    t.CloseTable();
                    _exit(0);
                }
                int status = 0;
                waitpid(child, &status, 0);
                ASSERT_TRUE(WIFEXITED(status));
                died += WEXITSTATUS(status) == FaultyFileSystem::kDiedAtOperation ? 1 : 0;
            }
            const std::string seen = dumpOf(work.file(s.table));  // the open completes a swap begun
            EXPECT_TRUE(seen == before || seen == after);
            if (failed && seen == before) {
                EXPECT_EQ(folderSnapshot(work.path()), s.files);
            }
            if (s.alsoCheck) s.alsoCheck(work);
        }
    }
    EXPECT_EQ(died, operations);
}

}  // namespace kimport::test
