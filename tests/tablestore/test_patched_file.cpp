// A file patched in a swap: every byte read and every file committed matches a model of the writes,
// whatever the budget of held pages, the way the unchanged ranges are copied, a failure or a kill;
// the old file stays as it was until the commit, and on XFS the new file shares what did not change.
// (The suite runs again on a mounted XFS when it can.)
#include "common/FileSets.h"
#include "support/FaultyFileSystem.h"
#include "support/SharedBlocks.h"
#include "support/TestSupport.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/PatchedFile.h"
#include "tablestore/TableError.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>

using namespace kimport;
using namespace kimport::test;

namespace {

struct Patch {
    std::uint64_t offset;
    std::string bytes;
};

// The model: what the file holds after the patches, a range skipped over by growing being zeros.
std::string patched(std::string bytes, const std::vector<Patch>& patches) {
    for (const Patch& p : patches) {
        if (bytes.size() < p.offset + p.bytes.size()) bytes.resize(p.offset + p.bytes.size(), '\0');
        bytes.replace(p.offset, p.bytes.size(), p.bytes);
    }
    return bytes;
}

// Writes on page ends and off them, within a page and across several, into the file and past its end.
std::vector<Patch> somePatches(std::uint64_t size, std::size_t unit, int count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Patch> patches;
    for (int i = 0; i < count; ++i) {
        std::uint64_t offset = random() % (size + 2 * unit + 1);
        if (random() % 3 == 0) offset -= offset % unit;
        std::size_t length = 1 + random() % (3 * unit);
        if (random() % 10 == 0) length = 1 + random() % (12 * unit);
        patches.push_back({offset, randomBytes(length, seed * 1000 + static_cast<unsigned>(i))});
        size = std::max<std::uint64_t>(size, offset + length);
    }
    return patches;
}

std::string readAllOf(PatchedFile& file) {
    std::string bytes(static_cast<std::size_t>(file.size()), '\0');
    EXPECT_EQ(file.read(0, bytes.data(), bytes.size()), bytes.size());
    return bytes;
}

bool anyTemporaryFile(const std::string& dir) {
    for (const std::string& name : listNames(dir))
        if (name.find(kTempSuffix) != std::string::npos) return true;
    return false;
}

// True when copies between files of the folder share their blocks.
bool clones(const TempDir& dir) {
    writeFile(dir.file("probe"), std::string(64 * 1024, 'p'));
    auto from = realFileSystem().openRead(dir.file("probe"));
    const bool cloned =
        realFileSystem().create(dir.file("probe.copy"))->copyFrom(*from, 0, 64 * 1024) == CopyWay::Clone;
    std::filesystem::remove(dir.file("probe"));
    std::filesystem::remove(dir.file("probe.copy"));
    return cloned;
}

class PatchedFileTest : public ::testing::Test {
protected:
    void TearDown() override { limitCopyWays(CopyWay::Clone); }
    TempDir dir;
    FileSystem& fs = realFileSystem();
    const std::size_t unit = static_cast<std::size_t>(fs.cloneUnit(dir.path()));
};

}  // namespace

// Random writes read back and committed exactly as the model has them: with a budget that never
// spills, one that spills often and one of a single page; with pages of the clone unit and of an odd
// size; over every way the unchanged ranges can be copied. The pages held never exceed the budget,
// and only a spill makes the new file before finish.
TEST_F(PatchedFileTest, RandomWritesEndAsTheModelWithinAnyBudget) {
    struct Case {
        std::uint64_t size;
        std::size_t budget;
        std::size_t pageSize;  // 0: the clone unit
        CopyWay way;
    };
    const std::vector<Case> cases = {
        {40 * unit, PatchedFile::kDefaultBudget, 0, CopyWay::Clone},
        {5 * unit + 123, PatchedFile::kDefaultBudget, 0, CopyWay::Clone},
        {0, PatchedFile::kDefaultBudget, 0, CopyWay::Clone},
        {40 * unit + 77, 3 * unit, 0, CopyWay::Clone},
        {40 * unit + 77, unit, 0, CopyWay::Clone},
        {13 * unit + 5, 8 * unit, 1000, CopyWay::Clone},
        {40 * unit + 77, 3 * unit, 0, CopyWay::KernelCopy},
        {40 * unit + 77, 3 * unit, 0, CopyWay::ReadWrite},
        {40 * unit + 77, PatchedFile::kDefaultBudget, 0, CopyWay::ReadWrite},
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size) + ", budget " + std::to_string(c.budget) + ", page " +
                     std::to_string(c.pageSize) + ", way " + std::to_string(static_cast<int>(c.way)));
        limitCopyWays(c.way);
        const std::string path = dir.file("DATEN.DB");
        const std::string before = randomBytes(static_cast<std::size_t>(c.size), ++seed);
        writeFile(path, before);
        const std::size_t page = c.pageSize ? c.pageSize : unit;
        const std::vector<Patch> patches = somePatches(c.size, page, 150, ++seed);
        std::mt19937 random(seed);
        {
            FileSetWriter writer(fs, path);
            auto original = fs.openRead(path);
            PatchedFile file(writer, *original, path, c.budget, c.pageSize);
            std::vector<Patch> done;
            for (const Patch& p : patches) {
                file.write(p.offset, p.bytes.data(), p.bytes.size());
                done.push_back(p);
                ASSERT_LE(file.heldBytes(), c.budget);
                const std::string model = patched(before, done);
                ASSERT_EQ(file.size(), model.size());
                // A piece anywhere, across held and unheld pages, and now and then the whole file.
                const std::uint64_t at = random() % (model.size() + 1);
                std::string piece(1 + random() % (4 * page), '\0');
                piece.resize(file.read(at, piece.data(), piece.size()));
                ASSERT_EQ(piece, model.substr(static_cast<std::size_t>(at), piece.size())) << "read at " << at;
                if (done.size() % 25 == 0) {
                    ASSERT_EQ(readAllOf(file), model);
                }
            }
            const bool spills = c.budget < PatchedFile::kDefaultBudget;
            EXPECT_EQ(fileExists(path + kTempSuffix), spills) << "the new file is made early only past the budget";
            file.finish();
            writer.commit();
        }
        EXPECT_EQ(readFile(path), patched(before, patches));
        EXPECT_FALSE(anyTemporaryFile(dir.path()));
    }
}

// The old file stays as it was until the writer's commit; then the path holds the model with the old
// file's permissions and owner. Where the file system clones, each byte of the new file goes in once:
// the unchanged ranges are cloned around the changed pages, never under them; where it copies, the
// old file is copied once.
TEST_F(PatchedFileTest, TheNewFileReplacesTheOldOnlyAtTheCommitAndEachByteGoesInOnce) {
    const std::string path = dir.file("KUNDEN.DB");
    const std::string before = randomBytes(30 * unit + 500, 11);
    writeFile(path, before);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 1234, 2345), 0);
    }
    // Changed pages apart and side by side, one at the start, the partial last page and an append.
    const std::vector<Patch> patches = {{0, "Kopf"},
                                        {3 * unit + 10, std::string(unit, 'x')},
                                        {17 * unit - 1, "zwei Seiten"},
                                        {18 * unit + 4, "daneben"},
                                        {30 * unit + 499, std::string(2 * unit, 'y')}};
    const std::string after = patched(before, patches);
    FaultyFileSystem counting(fs);
    {
        FileSetWriter writer(counting, path);
        auto original = counting.openRead(path);
        PatchedFile file(writer, *original, path);
        for (const Patch& p : patches) file.write(p.offset, p.bytes.data(), p.bytes.size());
        const std::uint64_t start = counting.bytesWritten(), held = file.heldBytes();
        file.finish();
        if (clones(dir)) {
            EXPECT_EQ(counting.bytesWritten() - start, after.size()) << "a byte cloned and then written over";
        } else {
            EXPECT_LE(counting.bytesWritten() - start, before.size() + held);
        }
        EXPECT_EQ(readFile(path), before);
        EXPECT_EQ(readFile(path + kTempSuffix), after);
        writer.commit();
    }
    EXPECT_EQ(readFile(path), after);
    EXPECT_FALSE(fileExists(path + kTempSuffix));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 2345u);
    }
}

// A patch that is dropped, or not yet finished when the swap is committed, never replaces the old
// file with a part of the new one; the temporary file it spilled to goes with it.
TEST_F(PatchedFileTest, AnUnfinishedPatchNeverReplacesTheFile) {
    const std::string path = dir.file("ARTIKEL.DBF");
    const std::string before = randomBytes(20 * unit, 5);
    writeFile(path, before);
    const std::vector<Patch> patches = somePatches(before.size(), unit, 40, 5);
    {
        FileSetWriter writer(fs, path);
        auto original = fs.openRead(path);
        auto file = std::make_unique<PatchedFile>(writer, *original, path, 2 * unit);
        for (const Patch& p : patches) file->write(p.offset, p.bytes.data(), p.bytes.size());
        ASSERT_TRUE(fileExists(path + kTempSuffix)) << "spilled";
        try {
            writer.commit();
            ADD_FAILURE() << "committed a file not yet finished";
        } catch (const TableError& e) {
            EXPECT_EQ(e.kind(), TableError::Kind::Usage);
            EXPECT_NE(std::string(e.what()).find("ARTIKEL.DBF"), std::string::npos) << e.what();
        }
        EXPECT_EQ(readFile(path), before);
        file.reset();
        EXPECT_FALSE(fileExists(path + kTempSuffix));
        writer.create(dir.file("ARTIKEL.DBT")).write("memo", 4);
        writer.commit();  // the rest of the swap goes on without it
    }
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(readFile(dir.file("ARTIKEL.DBT")), "memo");
    EXPECT_FALSE(anyTemporaryFile(dir.path()));
}

namespace {

// A table's data and memo file patched in one swap through fs, with a budget that spills both.
struct TwoFileSave {
    std::string dir;
    std::string db, mb;
    std::vector<Patch> dbPatches, mbPatches;
    std::size_t budget;

    void run(FileSystem& fs) const {
        FileSetWriter writer(fs, dir + "DATEN.DB");
        auto dbOriginal = fs.openRead(dir + "DATEN.DB");
        auto mbOriginal = fs.openRead(dir + "DATEN.MB");
        PatchedFile dbFile(writer, *dbOriginal, dir + "DATEN.DB", budget);
        PatchedFile mbFile(writer, *mbOriginal, dir + "DATEN.MB", budget);
        for (std::size_t i = 0; i < std::max(dbPatches.size(), mbPatches.size()); ++i) {
            if (i < mbPatches.size())
                mbFile.write(mbPatches[i].offset, mbPatches[i].bytes.data(), mbPatches[i].bytes.size());
            if (i < dbPatches.size())
                dbFile.write(dbPatches[i].offset, dbPatches[i].bytes.data(), dbPatches[i].bytes.size());
        }
        mbFile.finish();
        dbFile.finish();
        writer.commit();
    }
    void restore(const std::string& into) const {
        writeFile(into + "DATEN.DB", db);
        writeFile(into + "DATEN.MB", mb);
    }
};

TwoFileSave twoFileSave(const std::string& dir, std::size_t unit) {
    TwoFileSave save{dir, randomBytes(12 * unit + 700, 21), randomBytes(6 * unit, 22), {}, {}, 2 * unit};
    save.dbPatches = somePatches(save.db.size(), unit, 10, 23);
    save.mbPatches = somePatches(save.mb.size(), unit, 6, 24);
    return save;
}

// After the next open's recovery: true when both files are the new ones; otherwise both must be the old
// ones. No temporary file is left either way.
bool recoveredOldOrNew(FileSystem& fs, const TempDir& dir, const TwoFileSave& save, const std::string& newDb,
                       const std::string& newMb) {
    FileSetWriter::recover(fs, dir.file("DATEN.DB"));
    const std::string db = readFile(dir.file("DATEN.DB")), mb = readFile(dir.file("DATEN.MB"));
    EXPECT_FALSE(anyTemporaryFile(dir.path()));
    if (db == newDb && mb == newMb) return true;
    EXPECT_EQ(db, save.db);
    EXPECT_EQ(mb, save.mb);
    return false;
}

}  // namespace

// A failure at any operation, from the first write on (spills included) to the last of the commit,
// leaves both files old or both new once the next open has recovered the swap, and no temporary file.
TEST_F(PatchedFileTest, AFailureAtAnyOperationLeavesBothFilesOldOrBothNew) {
    TwoFileSave save = twoFileSave(dir.path(), unit);
    const std::string newDb = patched(save.db, save.dbPatches), newMb = patched(save.mb, save.mbPatches);
    save.restore(dir.path());
    FaultyFileSystem counting(fs);
    save.run(counting);
    ASSERT_EQ(readFile(dir.file("DATEN.DB")), newDb);
    ASSERT_EQ(readFile(dir.file("DATEN.MB")), newMb);
    const int operations = counting.operationCount();
    ASSERT_GT(operations, 20);
    int keptOld = 0, gotNew = 0;
    for (int failAt = 1; failAt <= operations; ++failAt) {
        SCOPED_TRACE(failAt);
        save.restore(dir.path());
        FaultyFileSystem faulty(fs);
        faulty.failAtOperation = failAt;
        try {
            save.run(faulty);
        } catch (const IoError&) {
        }
        recoveredOldOrNew(fs, dir, save, newDb, newMb) ? ++gotNew : ++keptOld;
    }
    EXPECT_GT(keptOld, 0);
    EXPECT_GT(gotNew, 0);
}

// A process killed at any operation, from the first write on to the last of finish and commit, leaves
// both files old or both new after the next open's recovery.
TEST_F(PatchedFileTest, AKillAtAnyOperationLeavesBothFilesOldOrBothNew) {
    TwoFileSave save = twoFileSave(dir.path(), unit);
    const std::string newDb = patched(save.db, save.dbPatches), newMb = patched(save.mb, save.mbPatches);
    save.restore(dir.path());
    FaultyFileSystem counting(fs);
    save.run(counting);
    const int operations = counting.operationCount();
    int keptOld = 0, gotNew = 0;
    for (int dieAt = 1; dieAt <= operations; ++dieAt) {
        SCOPED_TRACE(dieAt);
        save.restore(dir.path());
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FaultyFileSystem dying(fs);
            dying.dieAtOperation = dieAt;
            save.run(dying);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), FaultyFileSystem::kDiedAtOperation);
        recoveredOldOrNew(fs, dir, save, newDb, newMb) ? ++gotNew : ++keptOld;
    }
    EXPECT_GT(keptOld, 0);
    EXPECT_GT(gotNew, 0);
}

// On XFS a patch of one page of a 10 MB file leaves all but a few pages of the new file sharing their
// blocks with the old one.
TEST_F(PatchedFileTest, OnXfsThePatchedFileSharesAllButTheChangedPage) {
    if (!onXfs(dir.path())) GTEST_SKIP() << "no XFS here";
    const std::string path = dir.file("GROSS.DB");
    const std::string before = randomBytes(10 * 1024 * 1024 + 300, 31);
    writeFile(path, before);
    std::filesystem::create_hard_link(path, dir.file("ALT.bin"));  // keeps the old blocks in use after the swap
    const std::vector<Patch> patches = {{5 * 1024 * 1024 + 1000, "eine Seite"}};
    {
        FileSetWriter writer(fs, path);
        auto original = fs.openRead(path);
        PatchedFile file(writer, *original, path);
        for (const Patch& p : patches) file.write(p.offset, p.bytes.data(), p.bytes.size());
        file.finish();
        writer.commit();
    }
    const std::string after = readFile(path);
    EXPECT_EQ(after, patched(before, patches));
    EXPECT_GE(sharedBytes(path) + 2 * unit, after.size());
}
