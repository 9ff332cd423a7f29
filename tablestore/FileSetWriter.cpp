#include "tablestore/FileSetWriter.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "common/UserMessage.h"
#include "tablestore/TableError.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace kimport {

namespace {

std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    return std::filesystem::absolute(path).lexically_normal().string();
}

// The files one save replaces: a Paradox table's .DB, .MB and .PX, or a dBase table's .DBF, .DBT and .FPT.
// Another table of the same base name in the other format is none of them.
bool inFamily(const std::string& name, const std::string& dataPath) {
    if (!equalsIgnoreCase(baseNameOf(name), baseNameOf(dataPath))) return false;
    std::string ext = asciiUpper(extensionOf(name));
    if (asciiUpper(extensionOf(dataPath)) == ".DB") return ext == ".DB" || ext == ".MB" || ext == ".PX";
    return ext == ".DBF" || ext == ".DBT" || ext == ".FPT";
}

// Everything `in` holds into the new file `out`: cloned where the file system shares blocks, so that a
// copy of a large table costs neither time nor space until one of them changes.
void copyWhole(FileHandle& in, FileHandle& out) { out.copyFrom(in, 0, in.size()); }

// The temporary files a save of the table left in its folder (without a journal, or waiting for one).
std::vector<std::string> leftTemporaryFiles(FileSystem& fs, const std::string& dataPath) {
    std::vector<std::string> found;
    const std::string dir = directoryOf(absolutePath(dataPath));
    const std::string suffix = kTempSuffix;
    for (const DirEntry& e : fs.list(dir))
        if (!e.isDirectory && endsWith(e.name, suffix) &&
            inFamily(e.name.substr(0, e.name.size() - suffix.size()), dataPath))
            found.push_back(dir + e.name);
    return found;
}

int swapRank(const std::string& path) {
    std::string ext = asciiUpper(extensionOf(path));
    if (ext == ".MB" || ext == ".DBT" || ext == ".FPT") return 0;
    if (ext == ".DB" || ext == ".DBF") return 1;
    return 2;
}

}  // namespace

FileSetWriter::FileSetWriter(FileSystem& fs, std::string dataPath) : fs_(fs), dataPath_(absolutePath(dataPath)) {
    // A save that died after its journal is completed first: its temporary files must not be reused.
    if (fs_.exists(journalPath(dataPath_))) recover(fs_, dataPath_);
}

FileSetWriter::~FileSetWriter() {
    if (committed_) return;
    for (Pending& p : files_) {
        p.file.reset();
        fs_.remove(p.tempPath);
    }
}

std::string FileSetWriter::journalPath(const std::string& dataPath) { return dataPath + ".journal" + kTempSuffix; }

FileHandle& FileSetWriter::create(const std::string& finalPath) {
    Pending p;
    // A file reached through a symbolic link is replaced where the link points; the link stays a link.
    p.finalPath = fs_.resolvedPath(absolutePath(finalPath));
    p.tempPath = p.finalPath + kTempSuffix;
    p.file = fs_.create(p.tempPath);
    files_.push_back(std::move(p));
    return *files_.back().file;
}

FileHandle& FileSetWriter::createUnfilled(const std::string& finalPath) {
    FileHandle& file = create(finalPath);
    files_.back().filled = false;
    return file;
}

FileSetWriter::Pending& FileSetWriter::pendingOf(const FileHandle& file) {
    for (Pending& p : files_)
        if (p.file.get() == &file) return p;
    throw TableError("Die Datei " + file.name() + " gehört nicht zu diesem Speichervorgang.", TableError::Kind::Usage,
                     dataPath_);
}

void FileSetWriter::markFilled(const FileHandle& file) { pendingOf(file).filled = true; }

void FileSetWriter::withdraw(const FileHandle& file) {
    Pending& p = pendingOf(file);
    const std::string temp = p.tempPath;
    files_.erase(files_.begin() + (&p - files_.data()));  // closes the file before it goes
    fs_.remove(temp);
}

void FileSetWriter::adopt(const std::string& finalPath, const std::string& writtenPath) {
    Pending p;
    p.finalPath = fs_.resolvedPath(absolutePath(finalPath));
    p.tempPath = p.finalPath + kTempSuffix;
    try {
        fs_.rename(writtenPath, p.tempPath);
        files_.push_back(std::move(p));
        return;
    } catch (const IoError&) {
        // Another file system (a link leads there): the bytes are copied instead.
    }
    copyWhole(*fs_.openRead(writtenPath), create(finalPath));
}

bool FileSetWriter::belongsTo(const std::string& dataPath) const { return dataPath_ == absolutePath(dataPath); }

void FileSetWriter::removeAtCommit(const std::string& path) { removals_.push_back(absolutePath(path)); }

void FileSetWriter::commit() {
    for (const Pending& p : files_)
        if (!p.filled)
            throw TableError("Die Datei " + p.finalPath +
                                 " ist noch nicht fertig geschrieben; sie wird nicht gespeichert.",
                             TableError::Kind::Usage, p.finalPath);
    // New files take the permissions, owner and group of the ones they replace (a new companion those of
    // the data file), so a save never opens a private table to others.
    const std::string model = fs_.resolvedPath(dataPath_);
    for (Pending& p : files_) {
        if (p.file) p.file->sync();  // an adopted file was synced where it was written
        p.file.reset();
        const std::string& from = fs_.exists(p.finalPath) ? p.finalPath : model;
        if (fs_.exists(from)) fs_.copyOwnerAndMode(from, p.tempPath);
    }
    // Memo files first, the data file next, indexes last: a reader between two renames then finds an
    // old data file with a new memo file, which only ever grows, or a new data file with an old
    // index, which Paradox recognises as out of date by the change counter.
    std::stable_sort(files_.begin(), files_.end(),
                     [](const Pending& a, const Pending& b) { return swapRank(a.finalPath) < swapRank(b.finalPath); });
    // File names where they lie beside the journal, so that a later open from another working
    // directory finds them; absolute paths for files a link leads elsewhere.
    const std::string dir = directoryOf(dataPath_);
    auto journalName = [&](const std::string& path) {
        return directoryOf(path) == dir ? fileNameOf(path) : path;
    };
    std::string journal;
    for (const Pending& p : files_) journal += "R\t" + journalName(p.finalPath) + "\n";
    for (const std::string& r : removals_) journal += "D\t" + journalName(r) + "\n";
    journal += "END\n";
    try {
        fs_.writeAtomically(journalPath(dataPath_), journal.data(), journal.size());
    } catch (const IoError&) {
        // A journal in place whose folder could not be synced counts as written, as after a crash: its
        // temporary files must stay for the recovery, or it would carry out the removals without the renames.
        if (fs_.exists(journalPath(dataPath_))) committed_ = true;
        throw;
    }
    // From here on the new table counts; recover() finishes what a crash interrupts.
    committed_ = true;
    std::set<std::string> directories{dir};
    for (const Pending& p : files_) {
        fs_.rename(p.tempPath, p.finalPath);
        directories.insert(directoryOf(p.finalPath));
    }
    for (const std::string& r : removals_) fs_.remove(r);
    // Every folder that had a rename is synced before the journal goes, links into other folders too.
    for (const std::string& d : directories) fs_.syncDirectory(d);
    fs_.remove(journalPath(dataPath_));
}

bool FileSetWriter::hasRemains(FileSystem& fs, const std::string& dataPath) {
    const std::string journal = journalPath(absolutePath(dataPath));
    return fs.exists(journal) || fs.exists(journal + kTempSuffix) || !leftTemporaryFiles(fs, dataPath).empty();
}

void FileSetWriter::recover(FileSystem& fs, const std::string& dataPath) {
    const std::string dir = directoryOf(absolutePath(dataPath));
    std::string journal = journalPath(absolutePath(dataPath));
    if (fs.exists(journal)) {
        std::vector<char> bytes = fs.readAll(journal);
        std::string text(bytes.begin(), bytes.end());
        // A complete journal is carried out; an incomplete one only names temporary files to remove.
        const bool complete = endsWith(text, "END\n");
        std::set<std::string> directories{dir};
        for (const std::string& line : split(text, '\n')) {
            if (line.size() < 3 || line[1] != '\t') continue;
            std::string name = line.substr(2);
            std::string path = name.front() == '/' ? name : dir + fileNameOf(name);
            directories.insert(directoryOf(path));
            if (line[0] == 'R' && fs.exists(path + kTempSuffix)) {
                if (complete)
                    fs.rename(path + kTempSuffix, path);
                else
                    fs.remove(path + kTempSuffix);
            }
            if (line[0] == 'D' && complete) fs.remove(path);
        }
        for (const std::string& d : directories) fs.syncDirectory(d);
        fs.remove(journal);
    }
    if (fs.exists(journal + kTempSuffix)) fs.remove(journal + kTempSuffix);  // a journal cut short while written
    // Temporary files without a journal are the remains of a save that never committed.
    for (const std::string& path : leftTemporaryFiles(fs, dataPath)) fs.remove(path);
}

namespace {

struct SetCopy {
    std::string fromDir, toDir;
    std::vector<DirEntry> from;
    std::string targetName(const std::string& newBaseName, const std::string& name, bool upper) const {
        return toDir + newBaseName + (upper ? asciiUpper(extensionOf(name)) : extensionOf(name));
    }
};

SetCopy setCopy(FileSystem& fs, const std::string& fromDirectory, const std::string& baseName,
                const std::string& toDirectory) {
    SetCopy c{withTrailingSlash(fromDirectory.empty() ? "./" : fromDirectory),
              withTrailingSlash(toDirectory.empty() ? "./" : toDirectory), {}};
    c.from = fileSetEntries(c.fromDir, baseName, fs);
    return c;
}

}  // namespace

int addFileSetCopy(FileSetWriter& writer, FileSystem& fs, const std::string& fromDirectory, const std::string& baseName,
                   const std::string& toDirectory, const std::string& newBaseName, bool upperCaseExtensions) {
    const SetCopy c = setCopy(fs, fromDirectory, baseName, toDirectory);
    std::vector<std::string> written;
    for (const DirEntry& e : c.from) {
        const std::string target = findIgnoringCase(c.targetName(newBaseName, e.name, upperCaseExtensions), fs);
        copyWhole(*fs.openRead(c.fromDir + e.name), writer.create(target));
        written.push_back(fs.resolvedPath(target));
    }
    for (const DirEntry& e : fileSetEntries(c.toDir, newBaseName, fs))
        if (std::find(written.begin(), written.end(), fs.resolvedPath(c.toDir + e.name)) == written.end())
            writer.removeAtCommit(c.toDir + e.name);
    return static_cast<int>(written.size());
}

int copyFileSetAtOnce(FileSystem& fs, const std::string& fromDirectory, const std::string& baseName,
                      const std::string& toDirectory, const std::string& newBaseName, bool upperCaseExtensions) {
    const SetCopy c = setCopy(fs, fromDirectory, baseName, toDirectory);
    if (c.from.empty()) return 0;
    // The journal belongs to the data file of the set (the first file when it has none).
    std::string dataPath = c.targetName(newBaseName, c.from.front().name, upperCaseExtensions);
    for (const DirEntry& e : c.from)
        if (equalsIgnoreCase(extensionOf(e.name), ".DB") || equalsIgnoreCase(extensionOf(e.name), ".DBF"))
            dataPath = c.targetName(newBaseName, e.name, upperCaseExtensions);
    FileSetWriter writer(fs, dataPath);
    const int copied = addFileSetCopy(writer, fs, fromDirectory, baseName, toDirectory, newBaseName, upperCaseExtensions);
    writer.commit();
    return copied;
}

int copyFileSetAtOnce(FileSystem& fs, const std::string& fromDirectory, const std::string& baseName,
                      const std::string& toDirectory, const std::string& newBaseName, bool upperCaseExtensions,
                      Prompter& prompter) {
    try {
        return copyFileSetAtOnce(fs, fromDirectory, baseName, toDirectory, newBaseName, upperCaseExtensions);
    } catch (const std::exception& e) {
        prompter.error(userMessage(e));
        return -1;
    }
}

void BufferedOutput::write(const char* data, std::size_t n) {
    if (buffer_.size() + n > buffer_.capacity()) flush();
    if (n >= buffer_.capacity()) {
        file_.write(data, n);
        written_ += n;
        return;
    }
    buffer_.insert(buffer_.end(), data, data + n);
}

void BufferedOutput::fill(char c, std::size_t n) {
    while (n > 0) {
        if (buffer_.size() == buffer_.capacity()) flush();
        std::size_t take = std::min(n, buffer_.capacity() - buffer_.size());
        buffer_.insert(buffer_.end(), take, c);
        n -= take;
    }
}

void BufferedOutput::flush() {
    if (buffer_.empty()) return;
    file_.write(buffer_.data(), buffer_.size());
    written_ += buffer_.size();
    buffer_.clear();
}

}  // namespace kimport
