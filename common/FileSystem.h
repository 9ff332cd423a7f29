// The file access seam: every file the core reads or writes goes through it,
// so tests can swap in a file system that fails on purpose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kimport {

// A failed file operation; the text is German and names the file.
class IoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How a range of bytes went from one file into another: blocks shared with the source (a clone, which
// costs no space and no copying), copied inside the kernel, or read and written by the program.
enum class CopyWay { Clone, KernelCopy, ReadWrite };

class FileHandle {
public:
    virtual ~FileHandle() = default;
    // Reads up to n bytes at the current position; returns the count read (0 at the end).
    virtual std::size_t read(char* buffer, std::size_t n) = 0;
    // Writes all n bytes or throws IoError.
    virtual void write(const char* data, std::size_t n) = 0;
    virtual void seek(std::uint64_t position) = 0;
    virtual std::uint64_t size() = 0;
    // Forces written data to the disk; throws IoError.
    virtual void sync() = 0;
    // Puts length bytes of source, from offset on, at the same offset of this file (which grows to hold
    // them), the cheapest way both files allow: shared blocks where the file system clones, an in-kernel
    // copy elsewhere, reading and writing at last. The source must hold the whole range. Throws IoError
    // (a full disk included); the position of either file is unspecified afterwards.
    virtual CopyWay copyFrom(FileHandle& source, std::uint64_t offset, std::uint64_t length);
    // The operating system's descriptor of the open file, -1 for a file that has none.
    virtual int descriptor() const { return -1; }
    // The path the file was opened under, for messages ("" when it has none).
    virtual std::string name() const { return {}; }
};

// Reads n bytes from the position, or fewer when the file ends first.
inline std::size_t readFullyAt(FileHandle& file, std::uint64_t position, char* buffer, std::size_t n) {
    file.seek(position);
    std::size_t got = 0;
    while (got < n) {
        std::size_t r = file.read(buffer + got, n - got);
        if (r == 0) break;
        got += r;
    }
    return got;
}

// Held while a lock on a file is wanted; released when destroyed.
class FileLock {
public:
    virtual ~FileLock() = default;
    // Turns a shared lock into an exclusive one or back, without letting go of
    // it in between; false (and the lock as it was) when another holds it.
    virtual bool changeMode(bool exclusive) = 0;
};

struct DirEntry {
    std::string name;
    bool isDirectory = false;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Opening throws IoError when the file cannot be opened.
    virtual std::unique_ptr<FileHandle> openRead(const std::string& path) = 0;
    // Creates the file, replacing an existing one; it can be read back while it is written.
    virtual std::unique_ptr<FileHandle> create(const std::string& path) = 0;
    virtual void rename(const std::string& from, const std::string& to) = 0;
    // Returns false when the file could not be removed.
    virtual bool remove(const std::string& path) = 0;
    virtual bool exists(const std::string& path) = 0;
    virtual bool isDirectory(const std::string& path) = 0;
    // Entries of a directory in the order the system lists them, without "." and "..".
    virtual std::vector<DirEntry> list(const std::string& directory) = 0;
    virtual void makeDirectory(const std::string& path) = 0;
    // Removes an empty directory; false when it could not be removed.
    virtual bool removeDirectory(const std::string& path) { (void)path; return false; }
    // True when files can be created in the directory.
    virtual bool canWriteIn(const std::string& directory) = 0;
    // True when this user may change the file: write permission, and for the
    // superuser a write bit at all, so that a file made read-only stays so.
    virtual bool canWrite(const std::string& path) { return exists(path); }
    // The path with every symbolic link followed (the path itself when it is none or does not exist).
    virtual std::string resolvedPath(const std::string& path) { return path; }
    // Gives `to` the permissions, owner and group of `from`, as far as this user may.
    virtual void copyOwnerAndMode(const std::string& from, const std::string& to) { (void)from, (void)to; }
    // The inode number of a file or directory (0 when unknown): the same for every path that reaches it.
    virtual std::uint64_t inodeOf(const std::string& path) { (void)path; return 0; }
    // Changes whenever the file is replaced or written (inode, size, time); empty when it does not exist.
    virtual std::string identity(const std::string& path) = 0;
    // The unit in which copyFrom can share blocks between files of this path's file system: ranges
    // that start and end on it are cloned where the file system clones at all.
    virtual std::uint64_t cloneUnit(const std::string& path) { (void)path; return 4096; }
    // Syncs a directory so that renames in it survive a crash.
    virtual void syncDirectory(const std::string& directory) = 0;
    // Takes a shared or exclusive lock on one byte of a lock file (created when
    // missing) without waiting; nullptr when another open holds a conflicting
    // lock. Throws IoError when the lock file cannot be opened or created.
    virtual std::unique_ptr<FileLock> tryLock(const std::string& lockFile, std::uint64_t byte, bool exclusive) = 0;

    // Whole-file helpers built on the primitives above.
    std::vector<char> readAll(const std::string& path);
    // Writes the bytes to a temporary file beside the path, syncs it and renames it over the path.
    void writeAtomically(const std::string& path, const char* data, std::size_t n);
};

// The operating system's file system.
FileSystem& realFileSystem();

// For tests of the slower ways on a file system that clones: the best way copyFrom may take from now on.
void limitCopyWays(CopyWay best);

// Text of errno for messages.
std::string systemErrorText(int error);

}  // namespace kimport
