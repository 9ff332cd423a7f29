// Replaces the files of a table all at once: every new file is written to a
// temporary file beside its final name and synced; a journal naming the files
// is synced; then the files are renamed over the old ones and the journal is
// removed. A process that dies before the journal exists leaves the old table;
// one that dies after it is completed at the next open (recover).
#pragma once

#include "common/FileSystem.h"
#include "common/Prompter.h"

#include <memory>
#include <string>
#include <vector>

namespace kimport {

class FileSetWriter {
public:
    FileSetWriter(FileSystem& fs, std::string dataPath);
    ~FileSetWriter();  // an uncommitted writer removes its temporary files
    FileSetWriter(const FileSetWriter&) = delete;
    FileSetWriter& operator=(const FileSetWriter&) = delete;

    // A file to write that will replace finalPath at commit.
    FileHandle& create(const std::string& finalPath);
    // The same for a file its caller fills over time, reading back what it wrote (a patched copy of
    // the old file): commit refuses to swap it in (Usage) until markFilled names its handle, so that a
    // half-written file never replaces a whole one. withdraw drops it with its temporary file.
    FileHandle& createUnfilled(const std::string& finalPath);
    void markFilled(const FileHandle& file);
    void withdraw(const FileHandle& file);
    // A file written and synced elsewhere (a table built apart) that replaces finalPath at commit. It is
    // moved beside finalPath now, or copied there when it lies on another file system.
    void adopt(const std::string& finalPath, const std::string& writtenPath);
    // A file that is removed at commit (an index that no longer belongs to the table).
    void removeAtCommit(const std::string& path);
    void commit();
    // True when the writer's journal is the one of the table with this data file.
    bool belongsTo(const std::string& dataPath) const;
    FileSystem& fileSystem() const { return fs_; }

    // Completes or rolls back an interrupted commit of the table whose data file is dataPath.
    static void recover(FileSystem& fs, const std::string& dataPath);
    static std::string journalPath(const std::string& dataPath);
    // True when a save of the table left its journal or temporary files: it died, or is at work now.
    static bool hasRemains(FileSystem& fs, const std::string& dataPath);

private:
    struct Pending {
        std::string finalPath;
        std::string tempPath;
        std::unique_ptr<FileHandle> file;
        bool filled = true;
    };
    Pending& pendingOf(const FileHandle& file);
    FileSystem& fs_;
    std::string dataPath_;
    std::vector<Pending> files_;
    std::vector<std::string> removals_;
    bool committed_ = false;
};

// Copies the table files of baseName in fromDirectory (common/FileSets: exact name, a table's
// extensions) to toDirectory under newBaseName, all at once as a save: a copy that fails or dies
// leaves the files that were there. Files of the old set the new one lacks go. Extensions are
// written in upper case when asked. Returns the number of files copied (0: none to copy); throws
// IoError (or TableError from the journal) when the copy cannot be made.
int copyFileSetAtOnce(FileSystem& fs, const std::string& fromDirectory, const std::string& baseName,
                      const std::string& toDirectory, const std::string& newBaseName, bool upperCaseExtensions);
// The same, telling the user why it failed; -1 then.
int copyFileSetAtOnce(FileSystem& fs, const std::string& fromDirectory, const std::string& baseName,
                      const std::string& toDirectory, const std::string& newBaseName, bool upperCaseExtensions,
                      Prompter& prompter);
// The same as part of a larger swap: the files join the writer, which replaces them at its commit.
int addFileSetCopy(FileSetWriter& writer, FileSystem& fs, const std::string& fromDirectory, const std::string& baseName,
                   const std::string& toDirectory, const std::string& newBaseName, bool upperCaseExtensions);

// Writes through a buffer in large pieces, for writers that emit many small parts.
class BufferedOutput {
public:
    explicit BufferedOutput(FileHandle& file, std::size_t capacity = 1 << 20) : file_(file) { buffer_.reserve(capacity); }
    ~BufferedOutput() = default;
    void write(const char* data, std::size_t n);
    void write(const std::string& s) { write(s.data(), s.size()); }
    void fill(char c, std::size_t n);
    void flush();
    std::uint64_t position() const { return written_ + buffer_.size(); }

private:
    FileHandle& file_;
    std::vector<char> buffer_;
    std::uint64_t written_ = 0;
};

}  // namespace kimport
