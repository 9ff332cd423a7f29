// A Paradox table opened Paged is changed in its blocks: the same changes made to a copy held whole
// must give the same records, pxlib must read the patched file the same, its .PX must describe its
// chain, and a failure or a kill at any step of the save must leave the old table or the new one.
#include "support/FaultyFileSystem.h"
#include "tablestore/PxValidator.h"
#include "tablestore/SaveFaults.h"
#include "tablestore/TableTestSupport.h"
#include "tablestore/Bytes.h"
#include "tablestore/paradox/ParadoxFormat.h"
#include "tablestore/paradox/ParadoxPagedRecords.h"
#include "tablestore/paradox/ParadoxReader.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <random>
#include <set>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kDe = FormatSettings::german();
std::string pxreadExe() { return KIMPORT_PXREAD_EXE; }

// Records of 4 + 40 bytes: 46 to a 2 KB block, so a few hundred changes split and free many blocks.
std::string makeTable(const std::string& dir, const std::string& name, int records, int keyFields, int step = 2) {
    MakeTable(dir, name, {{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 40}}, keyFields);
    appendCustomers(dir + "/" + name, records, step);
    return dir + "/" + name;
}

void openTable(Table& t, const std::string& path, bool paged) {
    t.setPath(path);
    t.Exclusive = true;
    t.Paged = paged;
    t.OpenTable();
}

// What a step did, to compare the two sides: a key violation or a missing key counts as an outcome.
using Outcome = std::string;

Outcome post(Table& t) {
    try {
        t.PostRecord();
        return "ok";
    } catch (const TableError& e) {
        t.CancelRecord();
        return e.kind() == TableError::Kind::KeyViolation ? "key" : "error";
    }
}

// One random change to a keyed table: an insert, an edit, a key change or a delete.
Outcome keyedStep(Table& t, std::mt19937& random, int range) {
    const int kind = static_cast<int>(random() % 8);
    const int key = static_cast<int>(random() % static_cast<unsigned>(range)) + 1;
    if (kind < 4) {
        t.BeginAppend();
        t.SetAsInteger(0, key);
        t.SetAsString(1, "Neu " + std::to_string(key), kDe);
        return post(t);
    }
    if (!t.SeekKey({Value::ofInteger(key)})) return "none";
    if (kind < 6) {
        t.BeginEdit();
        t.SetAsString(1, "Geändert " + std::to_string(random() % 1000), kDe);
        return post(t);
    }
    if (kind == 6) {
        t.BeginEdit();
        t.SetAsInteger(0, static_cast<int>(random() % static_cast<unsigned>(range)) + 1);
        return post(t);
    }
    t.DeleteRecord();
    return "deleted";
}

// One random change to a table without a key: an append, an insert before a record, an edit, a delete.
Outcome unkeyedStep(Table& t, std::mt19937& random) {
    const int kind = static_cast<int>(random() % 6);
    const auto count = t.RecordCount();
    const int at = count > 0 ? static_cast<int>(random() % static_cast<unsigned>(count)) + 1 : 0;
    if (kind < 2 || at == 0) {
        t.BeginAppend();
        t.SetAsInteger(0, static_cast<int>(random() % 100000));
        return post(t);
    }
    if (!t.GoToRecord(at)) return "none";
    if (kind == 2) {
        t.BeginInsert();
        t.SetAsInteger(0, -at);
        return post(t);
    }
    if (kind == 3) {
        t.BeginEdit();
        t.SetAsString(1, "Geändert " + std::to_string(at), kDe);
        return post(t);
    }
    t.DeleteRecord();
    return "deleted";
}

std::string pxread(const std::string& path) {
    auto r = runCommand(pxreadExe() + " '" + path + "'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

// Applies the same random steps to a paged and a whole copy, comparing outcomes and a record now and
// then, and checks both sides' files after the save.
void compareSides(int records, int keyFields, int steps, unsigned seed) {
    TempDir pagedDir, wholeDir;
    const std::string pagedPath = makeTable(pagedDir.path(), "KUNDEN.DB", records, keyFields);
    const std::string wholePath = makeTable(wholeDir.path(), "KUNDEN.DB", records, keyFields);
    Table paged, whole;
    openTable(paged, pagedPath, true);
    openTable(whole, wholePath, false);
    std::mt19937 randomPaged(seed), randomWhole(seed), pick(seed + 1);
    for (int i = 0; i < steps; ++i) {
        SCOPED_TRACE(i);
        const Outcome a = keyFields ? keyedStep(paged, randomPaged, records * 3) : unkeyedStep(paged, randomPaged);
        const Outcome b = keyFields ? keyedStep(whole, randomWhole, records * 3) : unkeyedStep(whole, randomWhole);
        ASSERT_EQ(a, b);
        ASSERT_EQ(paged.RecordCount(), whole.RecordCount());
        if (i % 50 == 0 && whole.RecordCount() > 0) {
            const auto n = static_cast<std::int64_t>(pick() % static_cast<unsigned>(whole.RecordCount())) + 1;
            ASSERT_TRUE(paged.GoToRecord(n));
            ASSERT_TRUE(whole.GoToRecord(n));
            ASSERT_EQ(paged.AsInteger(0), whole.AsInteger(0));
            ASSERT_EQ(paged.AsString(1, kDe), whole.AsString(1, kDe));
        }
        // A save in between: later steps change the file the first save wrote.
        if (i == steps / 2) {
            paged.Flush();
            whole.Flush();
        }
    }
    paged.CloseTable();
    whole.CloseTable();
    EXPECT_EQ(dumpOf(pagedPath), dumpOf(wholePath));
    EXPECT_EQ(pxread(pagedPath), pxread(wholePath));
    // The same records, but in blocks changed where they lay rather than written afresh.
    EXPECT_NE(readFile(pagedPath), readFile(wholePath));
    if (keyFields) {
        EXPECT_EQ(checkPrimaryIndex(pagedPath, pagedDir.file("KUNDEN.PX")), "");
    }
    // Every block is whole and counted: the file is as long as the header says.
    const std::string db = readFile(pagedPath);
    const std::size_t blockSize = static_cast<std::size_t>(db[paradox::kBlockSizeAt]) * 1024;
    EXPECT_EQ(db.size(), bytes::le16(db.data() + paradox::kHeaderSizeAt) +
                             bytes::le16(db.data() + paradox::kTotalBlocksAt) * blockSize);
}

}  // namespace

TEST(ParadoxPaged, RandomChangesToAKeyedTableGiveTheRecordsOfAWholeSave) {
    compareSides(600, 1, 1500, 7);
    compareSides(40, 1, 400, 11);  // a small table emptied and filled again
}

TEST(ParadoxPaged, RandomChangesToATableWithoutKeyGiveTheRecordsOfAWholeSave) {
    compareSides(300, 0, 800, 5);
}

TEST(ParadoxPaged, EmptyingTheTableKeepsBlockOneOutOfTheFreeList) {
    TempDir dir;
    const std::string path = makeTable(dir.path(), "KUNDEN.DB", 120, 1);
    {
        Table t;
        openTable(t, path, true);
        while (t.RecordCount() > 0) {
            t.MoveFirst();
            t.DeleteRecord();
        }
        t.CloseTable();
    }
    std::string db = readFile(path);
    EXPECT_EQ(bytes::le32(db.data() + paradox::kRecordCountAt), 0u);
    EXPECT_EQ(bytes::le16(db.data() + paradox::kFirstBlockAt), 0u);
    EXPECT_EQ(bytes::le16(db.data() + paradox::kUsedBlocksAt), 0u);
    // The free list holds every block but the first.
    const std::size_t blockSize = static_cast<std::size_t>(db[paradox::kBlockSizeAt]) * 1024;
    const std::size_t headerSize = bytes::le16(db.data() + paradox::kHeaderSizeAt);
    int free = 0;
    for (std::uint32_t b = bytes::le16(db.data() + paradox::kFirstFreeBlockAt); b != 0 && free < 100; ++free) {
        EXPECT_NE(b, 1u);
        b = bytes::le16(db.data() + headerSize + (b - 1) * blockSize);
    }
    EXPECT_EQ(free, bytes::le16(db.data() + paradox::kTotalBlocksAt) - 1);
    EXPECT_EQ(pxread(path), "Nr\tName\n");
    // Filled again, the free blocks are used before the file grows.
    const std::size_t size = db.size();
    {
        Table t;
        openTable(t, path, true);
        for (int i = 1; i <= 100; ++i) {
            t.BeginAppend();
            t.SetAsInteger(0, i);
            t.PostRecord();
        }
        t.CloseTable();
    }
    EXPECT_EQ(readFile(path).size(), size);
    EXPECT_EQ(contentsOf(path).size(), 100u);
    EXPECT_EQ(checkPrimaryIndex(path, dir.file("KUNDEN.PX")), "");
}

TEST(ParadoxPaged, TheChainIsTakenFromTheIndexOnlyWhenItDescribesTheData) {
    TempDir dir;
    const std::string path = makeTable(dir.path(), "KUNDEN.DB", 900, 1);
    auto listFromIndex = [&] {
        TableStream s = paradox::openStream(path, realFileSystem(), 0);
        paradox::PagedRecords store(*s.image, realFileSystem());
        // Every record is reached in key order, whichever list was taken.
        std::int64_t n = 0, lastKey = -1;
        for (auto p = store.first(); p; p = store.next(*p)) {
            const std::int64_t key = bytes::be32(store.row(*p)) ^ paradox::kLongSignFlip;
            EXPECT_GT(key, lastKey);
            lastKey = key;
            ++n;
        }
        EXPECT_EQ(n, 900);
        return store.listFromIndexFile();
    };
    EXPECT_TRUE(listFromIndex());
    // An index of another version of the data (its stamp) is not used.
    std::string px = readFile(dir.file("KUNDEN.PX"));
    const std::string good = px;
    px[paradox::kIndexStampAt] = static_cast<char>(px[paradox::kIndexStampAt] + 1);
    writeFile(dir.file("KUNDEN.PX"), px);
    EXPECT_FALSE(listFromIndex());
    // An index that lies about a block's first key is found out when the block is read; the chain
    // is walked then, and a change still lands where the key belongs.
    px = good;
    const std::size_t entry = 4 + 6;
    const std::size_t leaf = paradox::kIndexHeaderSize + (static_cast<std::size_t>(bytes::le16(px.data() + paradox::kIndexRootAt)) - 1) *
                                                            static_cast<std::size_t>(px[paradox::kBlockSizeAt]) * 1024;
    ASSERT_EQ(px[paradox::kIndexLevelsAt], 1);
    px[leaf + paradox::kBlockHeadBytes + 5 * entry + 3] ^= 0x01;  // the sixth block's first key, changed a little
    writeFile(dir.file("KUNDEN.PX"), px);
    {
        Table t;
        openTable(t, path, true);
        ASSERT_TRUE(t.SeekKey({Value::ofInteger(460)}));
        t.BeginAppend();
        t.SetAsInteger(0, 461);
        t.PostRecord();
        t.CloseTable();
    }
    EXPECT_EQ(checkPrimaryIndex(path, dir.file("KUNDEN.PX")), "");
    const Rows rows = contentsOf(path);
    ASSERT_EQ(rows.size(), 901u);
    EXPECT_EQ(rows[230][0], "461");
}

TEST(ParadoxPaged, ChangesBeyondTheMemoryLimitsGoIntoTheNewFileAndAreSavedAllTheSame) {
    TempDir dir;
    const std::string path = makeTable(dir.path(), "KUNDEN.DB", 20000, 1);
    const paradox::BlockFile::Limits small{64 << 10, 256 << 10};
    std::size_t most = 0;
    {
        TableStream s = paradox::openStream(path, realFileSystem(), 0);
        paradox::PagedRecords store(*s.image, realFileSystem(), small);
        std::mt19937 random(3);
        std::vector<char> row(static_cast<std::size_t>(s.image->recordLength), 0);
        for (int i = 0; i < 3000; ++i) {
            // Odd keys fall between the present ones: each goes into a block in the middle of the chain.
            const std::uint32_t key = (random() % 20000) * 4 + 1;
            bytes::putBe32(row.data(), key ^ paradox::kLongSignFlip);
            store.insert(row.data(), std::nullopt);
            most = std::max(most, store.heldBytes());
        }
        store.save(realFileSystem(), nullptr);
    }
    // The limits hold, with a block or two beside the cache and the patch's page map.
    EXPECT_LT(most, small.cacheBytes + small.patchBudget + (64u << 10));
    EXPECT_EQ(checkPrimaryIndex(path, dir.file("KUNDEN.PX")), "");
    const Rows rows = contentsOf(path);
    EXPECT_GT(rows.size(), 22000u);
    for (std::size_t i = 1; i < rows.size(); ++i) ASSERT_LT(std::stoll(rows[i - 1][0]), std::stoll(rows[i][0]));
}

TEST(ParadoxPaged, AFailureOrAKillAtEveryStepOfASaveLeavesTheOldOrTheNewTable) {
    TempDir dir;
    makeTable(dir.path(), "KUNDEN.DB", 200, 1);
    // Changes that split blocks, free one and move a key.
    auto change = [](Table& t) {
        for (int k = 101; k < 160; k += 2) {
            t.BeginAppend();
            t.SetAsInteger(0, k);
            t.PostRecord();
        }
        for (int k = 300; k < 400; k += 2) {
            ASSERT_TRUE(t.SeekKey({Value::ofInteger(k)}));
            t.DeleteRecord();
        }
        ASSERT_TRUE(t.SeekKey({Value::ofInteger(2)}));
        t.BeginEdit();
        t.SetAsInteger(0, 1001);
        t.PostRecord();
    };
    expectOldOrNewAfterEveryFault({folderSnapshot(dir.path()), "KUNDEN.DB",
                                   [](Table& t, const std::string& p) { openTable(t, p, true); }, change,
                                   [](const TempDir& work) {
                                       // The index always belongs to the data beside it.
                                       EXPECT_EQ(checkPrimaryIndex(work.file("KUNDEN.DB"), work.file("KUNDEN.PX")), "");
                                   }});
}

// Memo values of every size: none, within the leader, in a shared block, in blocks of their own.
std::string memoValue(std::mt19937& random) {
    static const std::size_t sizes[] = {0, 7, 300, 1500, 5000};
    const std::size_t n = sizes[random() % 5];
    std::string v;
    for (std::size_t i = 0; i < n; ++i) v += static_cast<char>('a' + (i + n) % 26);
    return v;
}

TEST(ParadoxPaged, MemoValuesAreAppendedToTheMbAndTheOldOnesKept) {
    TempDir pagedDir, wholeDir;
    const std::vector<FieldSpec> fields{{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 20}, {"Notiz", FieldType::Memo, 20}};
    for (const TempDir* d : {&pagedDir, &wholeDir}) {
        MakeTable(d->path(), "NOTIZEN.DB", fields, 1);
        Table t;
        t.setPath(d->file("NOTIZEN.DB"));
        t.OpenTable();
        std::mt19937 random(9);
        for (int i = 1; i <= 300; ++i) {
            t.BeginAppend();
            t.SetAsInteger(0, i * 2);
            t.SetAsString(2, memoValue(random), kDe);
            t.PostRecord();
        }
        t.CloseTable();
    }
    const std::string memoBefore = readFile(pagedDir.file("NOTIZEN.MB"));
    Table paged, whole;
    openTable(paged, pagedDir.file("NOTIZEN.DB"), true);
    openTable(whole, wholeDir.file("NOTIZEN.DB"), false);
    std::mt19937 randomPaged(4), randomWhole(4);
    for (int i = 0; i < 500; ++i) {
        SCOPED_TRACE(i);
        for (auto [t, random] : {std::pair{&paged, &randomPaged}, std::pair{&whole, &randomWhole}}) {
            const int kind = static_cast<int>((*random)() % 5);
            const int key = static_cast<int>((*random)() % 700) + 1;
            const std::string value = memoValue(*random);
            if (kind == 0) {
                t->BeginAppend();
                t->SetAsInteger(0, key);
                t->SetAsString(2, value, kDe);
                post(*t);
            } else if (t->SeekKey({Value::ofInteger(key)})) {
                t->BeginEdit();
                if (kind == 1) t->SetAsString(2, value, kDe);      // a new value
                if (kind == 2) t->SetAsString(1, value.substr(0, 20), kDe);  // the memo kept
                if (kind == 3) t->SetAsInteger(0, key + 1000);     // moved with its memo
                if (kind == 4) {
                    t->CancelRecord();
                    t->DeleteRecord();
                } else {
                    post(*t);
                }
            }
        }
        ASSERT_EQ(paged.RecordCount(), whole.RecordCount());
        if (i % 40 == 0) {
            ASSERT_TRUE(paged.GoToRecord(i / 40 + 1));
            ASSERT_TRUE(whole.GoToRecord(i / 40 + 1));
            ASSERT_EQ(paged.AsString(2, kDe), whole.AsString(2, kDe));
        }
        if (i == 250) {
            paged.Flush();
            whole.Flush();
        }
    }
    paged.CloseTable();
    whole.CloseTable();
    EXPECT_EQ(dumpOf(pagedDir.file("NOTIZEN.DB")), dumpOf(wholeDir.file("NOTIZEN.DB")));
    EXPECT_EQ(pxread(pagedDir.file("NOTIZEN.DB")), pxread(wholeDir.file("NOTIZEN.DB")));
    EXPECT_EQ(checkPrimaryIndex(pagedDir.file("NOTIZEN.DB"), pagedDir.file("NOTIZEN.PX")), "");
    // The old .MB is still there, byte for byte but its header's modification number; values were added behind it.
    const std::string memoAfter = readFile(pagedDir.file("NOTIZEN.MB"));
    ASSERT_GT(memoAfter.size(), memoBefore.size());
    EXPECT_EQ(memoAfter.substr(8, memoBefore.size() - 8), memoBefore.substr(8));
    EXPECT_EQ(memoAfter.size() % paradox::kMbUnit, 0u);
}

// Killed at random moments while it saves rounds of changes again and again, a paged table is always
// found whole: all of one round or none of it, its .PX fitting its chain, pxlib reading the same.
TEST(ParadoxPaged, AProcessKilledAtRandomLeavesOneWholeRound) {
    TempDir dir;
    const std::string path = makeTable(dir.path(), "KUNDEN.DB", 3000, 1, 4);
    for (int trial = 0; trial < 10; ++trial) {
        SCOPED_TRACE(trial);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Table t;
            openTable(t, path, true);
            for (int round = 1;; ++round) {
                // Each round: new keys between the present ones (splits), its number in some names.
                for (int i = 0; i < 60; ++i) {
                    t.BeginAppend();
                    t.SetAsInteger(0, static_cast<std::int64_t>(trial * 100000 + round * 97 + i * 211) % 12000 * 4 + 1);
                    t.SetAsString(1, "Runde " + std::to_string(round), kDe);
                    if (post(t) != "ok") continue;
                }
                for (int k = 4; k <= 40; k += 4) {
                    if (!t.SeekKey({Value::ofInteger(k)})) continue;
                    t.BeginEdit();
                    t.SetAsString(1, "Runde " + std::to_string(round), kDe);
                    t.PostRecord();
                }
                t.Flush();
            }
        }
        usleep(static_cast<useconds_t>(30000 + trial * 17000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const Rows rows = contentsOf(path);  // the open completes or undoes a save begun
        std::set<std::string> rounds;
        for (const auto& r : rows)
            if (std::stoll(r[0]) <= 40 && std::stoll(r[0]) % 4 == 0) rounds.insert(r[1]);
        EXPECT_EQ(rounds.size(), 1u) << *rounds.begin();
        for (std::size_t i = 1; i < rows.size(); ++i) ASSERT_LT(std::stoll(rows[i - 1][0]), std::stoll(rows[i][0]));
        EXPECT_EQ(checkPrimaryIndex(path, dir.file("KUNDEN.PX")), "");
        const std::string seen = pxread(path);
        EXPECT_EQ(static_cast<std::size_t>(std::count(seen.begin(), seen.end(), '\n')), rows.size() + 1);
    }
    for (const std::string& name : listNames(dir.path())) EXPECT_EQ(name.find(".kimp-tmp"), std::string::npos) << name;
}

TEST(ParadoxPaged, AnMbParadoxWroteTakesNewValuesBehindItsOwn) {
    TempDir pagedDir, wholeDir;
    for (const TempDir* d : {&pagedDir, &wholeDir}) {
        copyFixture("paradox/paradoxdriver/fields/memo.db", d->path());
        copyFixture("paradox/paradoxdriver/fields/memo.mb", d->path());
        Table t;
        openTable(t, d->file("memo.db"), d == &pagedDir);
        ASSERT_TRUE(t.GoToRecord(1));
        t.BeginEdit();
        t.SetAsString(1, std::string(3000, 'x') + "ende", kDe);
        t.PostRecord();
        ASSERT_TRUE(t.GoToRecord(2));
        t.BeginEdit();
        t.SetAsString(1, "kurz und neu, aber länger als der Vorspann des Feldes", kDe);
        t.PostRecord();
        t.CloseTable();
    }
    EXPECT_EQ(dumpOf(pagedDir.file("memo.db")), dumpOf(wholeDir.file("memo.db")));
    EXPECT_EQ(pxread(pagedDir.file("memo.db")), pxread(wholeDir.file("memo.db")));
}

// The .DB never points into an .MB that lacks its values: both files change in one swap.
TEST(ParadoxPaged, AFailureOrAKillAtEveryStepOfASaveWithMemoValuesLeavesTheOldOrTheNewTable) {
    TempDir dir;
    MakeTable(dir.path(), "NOTIZEN.DB",
              {{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 20}, {"Notiz", FieldType::Memo, 20}}, 1);
    {
        Table t;
        openTable(t, dir.file("NOTIZEN.DB"), false);
        for (int i = 1; i <= 120; ++i) {
            t.BeginAppend();
            t.SetAsInteger(0, i * 2);
            t.SetAsString(2, std::string(static_cast<std::size_t>(i * 37 % 3000), 'm'), kDe);
            t.PostRecord();
        }
        t.CloseTable();
    }
    auto change = [](Table& t) {
        for (int k = 1; k < 80; k += 2) {
            t.BeginAppend();
            t.SetAsInteger(0, k);
            t.SetAsString(2, "Neu " + std::string(static_cast<std::size_t>(k * 53), 'n'), kDe);
            t.PostRecord();
        }
        ASSERT_TRUE(t.SeekKey({Value::ofInteger(100)}));
        t.BeginEdit();
        t.SetAsString(2, std::string(4000, 'g'), kDe);
        t.PostRecord();
    };
    expectOldOrNewAfterEveryFault({folderSnapshot(dir.path()), "NOTIZEN.DB",
                                   [](Table& t, const std::string& p) { openTable(t, p, true); }, change,
                                   [](const TempDir& work) {
                                       EXPECT_EQ(checkPrimaryIndex(work.file("NOTIZEN.DB"), work.file("NOTIZEN.PX")), "");
                                   }});
}

// New memo values went into the patched .MB at once: a save that fails cannot be done again, and says
// so rather than write records whose values are gone. The table stays as it was.
TEST(ParadoxPaged, AFailedSaveAfterMemoValuesWereAppendedIsReportedNotRepeated) {
    TempDir dir;
    MakeTable(dir.path(), "NOTIZEN.DB",
              {{"Nr", FieldType::Integer, 0}, {"Notiz", FieldType::Memo, 10}}, 1);
    const auto before = folderSnapshot(dir.path());
    FaultyFileSystem faulty(realFileSystem());
    Table t(faulty);
    openTable(t, dir.file("NOTIZEN.DB"), true);
    t.BeginAppend();
    t.SetAsInteger(0, 1);
    t.SetAsString(1, std::string(500, 'x'), kDe);
    t.PostRecord();
    faulty.failAtOperation = faulty.operationCount() + 1;
    EXPECT_THROW(t.Flush(), TableError);
    try {
        t.Flush();
        ADD_FAILURE() << "saved";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("verworfen"), std::string::npos) << e.what();
    }
    t.CloseDiscarding();
    EXPECT_EQ(folderSnapshot(dir.path()), before);
}

// A table whose blocks would run out is written anew with larger blocks before a run, its records
// and memo values unchanged, and is then changed block by block as before.
TEST(ParadoxPaged, ATableOutOfBlocksIsRewrittenWithLargerOnes) {
    TempDir dir, twin;
    const std::vector<FieldSpec> fields{{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 20}, {"Notiz", FieldType::Memo, 12}};
    for (const TempDir* d : {&dir, &twin}) {
        MakeTable(d->path(), "VOLL.DB", fields, 1);
        Table t;
        openTable(t, d->file("VOLL.DB"), false);
        for (int i = 1; i <= 700; ++i) {
            t.BeginAppend();
            t.SetAsInteger(0, i * 3);
            t.SetAsString(2, std::string(static_cast<std::size_t>(i % 50 * 40), 'v'), kDe);
            t.PostRecord();
        }
        t.CloseTable();
    }
    const std::string path = dir.file("VOLL.DB");
    const std::string before = dumpOf(path);
    ASSERT_EQ(readFile(path)[paradox::kBlockSizeAt], 2);
    {
        TableStream s = paradox::openStream(path, realFileSystem(), 0);
        paradox::PagedRecords store(*s.image, realFileSystem());
        // More records than 65535 blocks of 2 KB hold: the next size that holds them.
        EXPECT_TRUE(store.makeRoom(realFileSystem(), 65535u * 60u));
    }
    EXPECT_EQ(readFile(path)[paradox::kBlockSizeAt], 3);
    EXPECT_EQ(dumpOf(path), before);
    EXPECT_EQ(checkPrimaryIndex(path, dir.file("VOLL.PX")), "");
    EXPECT_EQ(pxread(path), pxread(twin.file("VOLL.DB")));
    {
        TableStream s = paradox::openStream(path, realFileSystem(), 0);
        paradox::PagedRecords store(*s.image, realFileSystem());
        // No blocks above 4 KB below level 7: refused, the files as they were.
        EXPECT_THROW(store.makeRoom(realFileSystem(), 65535u * 200u), TableError);
        EXPECT_EQ(readFile(path)[paradox::kBlockSizeAt], 3);
    }
    // Changed paged afterwards, as a whole save would change its twin.
    for (const TempDir* d : {&dir, &twin}) {
        Table t;
        openTable(t, d->file("VOLL.DB"), d == &dir);
        for (int k = 1; k < 600; k += 3) {
            t.BeginAppend();
            t.SetAsInteger(0, k);
            t.SetAsString(2, "neu " + std::to_string(k), kDe);
            t.PostRecord();
        }
        t.CloseTable();
    }
    EXPECT_EQ(dumpOf(path), dumpOf(twin.file("VOLL.DB")));
    EXPECT_EQ(checkPrimaryIndex(path, dir.file("VOLL.PX")), "");
}
