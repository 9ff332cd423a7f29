// Copying ranges between open files: the same bytes whichever way they go, shared blocks where the file
// system clones (the suite runs again on a mounted XFS when it can), a full disk and a kill counted as
// the one operation a copy is.
#include "common/FileSystem.h"
#include "support/FaultyFileSystem.h"
#include "support/SharedBlocks.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>

using namespace kimport;
using namespace kimport::test;

namespace {

class CopyWays : public ::testing::Test {
protected:
    void TearDown() override { limitCopyWays(CopyWay::Clone); }
    TempDir dir;
    FileSystem& fs = realFileSystem();
};

}  // namespace

// Whole files and ranges off the file system's block size come out byte for byte, whichever way the
// bytes went; a clone happens where the file system offers one and shares the blocks it claims to.
TEST_F(CopyWays, EveryWayGivesTheSameBytesAndAClonedFileSharesItsBlocks) {
    const std::string bytes = randomBytes(3 * 1024 * 1024 + 123, 7);
    writeFile(dir.file("from.bin"), bytes);
    for (CopyWay best : {CopyWay::Clone, CopyWay::KernelCopy, CopyWay::ReadWrite}) {
        limitCopyWays(best);
        SCOPED_TRACE(static_cast<int>(best));
        auto from = fs.openRead(dir.file("from.bin"));
        {
            auto whole = fs.create(dir.file("whole.bin"));
            const CopyWay way = whole->copyFrom(*from, 0, bytes.size());
            EXPECT_LE(static_cast<int>(best), static_cast<int>(way)) << "never a better way than allowed";
            if (best == CopyWay::Clone && onXfs(dir.path())) {
                EXPECT_EQ(way, CopyWay::Clone);
            }
            whole->sync();
        }
        EXPECT_EQ(readFile(dir.file("whole.bin")), bytes);
        if (best == CopyWay::Clone && onXfs(dir.path())) {
            EXPECT_GE(sharedBytes(dir.file("whole.bin")), 3u * 1024 * 1024);
        }

        // A patched middle between two copied ranges that start and end off the block size.
        {
            auto patched = fs.create(dir.file("patched.bin"));
            patched->copyFrom(*from, 0, 5000);
            patched->seek(5000);
            patched->write("PATCH", 5);
            patched->copyFrom(*from, 5005, bytes.size() - 5005);
        }
        std::string expected = bytes;
        std::memcpy(expected.data() + 5000, "PATCH", 5);
        EXPECT_EQ(readFile(dir.file("patched.bin")), expected);
        EXPECT_EQ(readFile(dir.file("from.bin")), bytes) << "the source is never changed";
    }
}

TEST_F(CopyWays, ARangeBeyondTheSourcesEndIsRefusedNamingTheFile) {
    writeFile(dir.file("short.bin"), "0123456789");
    for (CopyWay best : {CopyWay::Clone, CopyWay::KernelCopy, CopyWay::ReadWrite}) {
        limitCopyWays(best);
        auto from = fs.openRead(dir.file("short.bin"));
        auto to = fs.create(dir.file("to.bin"));
        try {
            to->copyFrom(*from, 0, 100);
            ADD_FAILURE() << "a copy past the end must fail";
        } catch (const IoError& e) {
            EXPECT_NE(std::string(e.what()).find("short.bin"), std::string::npos) << e.what();
        }
    }
}

// Through the failing file system a copy is one operation, whatever its size: a fault or a kill lands
// before it or after it, and its bytes count against the space left.
TEST_F(CopyWays, ACopyIsOneOperationThatAFullDiskOrAKillStops) {
    const std::string bytes = randomBytes(200000, 3);
    writeFile(dir.file("from.bin"), bytes);
    {
        FaultyFileSystem faulty(fs);
        auto from = faulty.openRead(dir.file("from.bin"));
        auto to = faulty.create(dir.file("to.bin"));
        const int before = faulty.operationCount();
        to->copyFrom(*from, 0, bytes.size());
        EXPECT_EQ(faulty.operationCount(), before + 1);
        EXPECT_EQ(faulty.bytesWritten(), bytes.size());
    }
    {
        FaultyFileSystem full(fs);
        full.spaceLeft = 1000;
        auto from = full.openRead(dir.file("from.bin"));
        auto to = full.create(dir.file("full.bin"));
        EXPECT_THROW(to->copyFrom(*from, 0, bytes.size()), IoError);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        FaultyFileSystem dying(fs);
        dying.dieAtOperation = 3;  // open, create, then the copy
        auto from = dying.openRead(dir.file("from.bin"));
        auto to = dying.create(dir.file("killed.bin"));
        to->copyFrom(*from, 0, bytes.size());
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), FaultyFileSystem::kDiedAtOperation);
    EXPECT_EQ(readFile(dir.file("killed.bin")), "") << "killed before the copy: nothing of it arrived";
}
