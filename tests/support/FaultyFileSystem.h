// A file system for tests that passes everything to another one until a
// chosen fault strikes: the disk runs full after N bytes, the N-th operation
// fails, the process dies at the N-th operation (a kill at that very step), or
// renames are refused (a crash just before the files are swapped).
#pragma once

#include "common/FileSystem.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace kimport {

class FaultyFileSystem : public FileSystem {
public:
    explicit FaultyFileSystem(FileSystem& inner) : inner_(inner) {}

    // Writes beyond this many bytes (counted over all files) fail with "no space".
    std::optional<std::uint64_t> spaceLeft;
    // The operation with this number (counted from 1 over all calls) fails.
    std::optional<int> failAtOperation;
    // The process ends (_exit with kDiedAtOperation) when the operation with this number is about to be
    // carried out: nothing is unwound, no temporary file removed, as when it is killed there. For a child
    // process made by fork.
    std::optional<int> dieAtOperation;
    static constexpr int kDiedAtOperation = 86;
    // Every rename fails, as when the process dies before the swap.
    bool refuseRenames = false;
    // Renames for which this returns true fail (from, to).
    std::function<bool(const std::string&, const std::string&)> refuseRename;

    int operationCount() const { return operations_; }
    std::uint64_t bytesWritten() const { return written_; }
    // The bytes handed out by reads, over all files: what a reader took from the disk.
    std::uint64_t bytesRead() const { return read_; }

    std::unique_ptr<FileHandle> openRead(const std::string& path) override;
    std::unique_ptr<FileHandle> create(const std::string& path) override;
    void rename(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool exists(const std::string& path) override { return inner_.exists(path); }
    bool isDirectory(const std::string& path) override { return inner_.isDirectory(path); }
    std::vector<DirEntry> list(const std::string& directory) override { return inner_.list(directory); }
    void makeDirectory(const std::string& path) override;
    bool removeDirectory(const std::string& path) override { return inner_.removeDirectory(path); }
    void syncDirectory(const std::string& directory) override;
    std::uint64_t cloneUnit(const std::string& path) override { return inner_.cloneUnit(path); }
    std::unique_ptr<FileLock> tryLock(const std::string& lockFile, std::uint64_t byte, bool exclusive) override {
        return inner_.tryLock(lockFile, byte, exclusive);
    }
    bool canWriteIn(const std::string& directory) override { return inner_.canWriteIn(directory); }
    std::string identity(const std::string& path) override { return inner_.identity(path); }
    bool canWrite(const std::string& path) override { return inner_.canWrite(path); }
    std::uint64_t inodeOf(const std::string& path) override { return inner_.inodeOf(path); }
    std::string resolvedPath(const std::string& path) override { return inner_.resolvedPath(path); }
    void copyOwnerAndMode(const std::string& from, const std::string& to) override {
        inner_.copyOwnerAndMode(from, to);
    }

    // Counts one operation and throws when it is the one chosen to fail.
    void step(const std::string& what);
    // Accounts n bytes about to be written; throws when the disk is full.
    void consume(std::size_t n, const std::string& path);
    // Accounts n bytes a read handed out.
    void noteRead(std::size_t n) { read_ += n; }

private:
    // Counts one operation; ends the process when it is the one chosen to die at.
    void count();

    FileSystem& inner_;
    int operations_ = 0;
    std::uint64_t written_ = 0;
    std::uint64_t read_ = 0;
};

}  // namespace kimport
