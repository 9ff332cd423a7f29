#include "tablestore/FileSetWriter.h"

#include "common/FileSets.h"
#include "common/Text.h"

#include <filesystem>

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
    p.finalPath = absolutePath(finalPath);
    p.tempPath = finalPath + kTempSuffix;
    p.file = fs_.create(p.tempPath);
    files_.push_back(std::move(p));
    return *files_.back().file;
}

void FileSetWriter::removeAtCommit(const std::string& path) { removals_.push_back(absolutePath(path)); }

void FileSetWriter::commit() {
    for (Pending& p : files_) {
        p.file->sync();
        p.file.reset();
    }
    // File names only: the journal lies beside them, whatever the working directory of a later open.
    std::string journal;
    for (const Pending& p : files_) journal += "R\t" + fileNameOf(p.finalPath) + "\n";
    for (const std::string& r : removals_) journal += "D\t" + fileNameOf(r) + "\n";
    journal += "END\n";
    fs_.writeAtomically(journalPath(dataPath_), journal.data(), journal.size());
    // From here on the new table counts; recover() finishes what a crash interrupts.
    committed_ = true;
    for (const Pending& p : files_) fs_.rename(p.tempPath, p.finalPath);
    for (const std::string& r : removals_) fs_.remove(r);
    fs_.syncDirectory(directoryOf(dataPath_));
    fs_.remove(journalPath(dataPath_));
}

void FileSetWriter::recover(FileSystem& fs, const std::string& dataPath) {
    const std::string dir = directoryOf(absolutePath(dataPath));
    std::string journal = journalPath(absolutePath(dataPath));
    if (fs.exists(journal)) {
        std::vector<char> bytes = fs.readAll(journal);
        std::string text(bytes.begin(), bytes.end());
        if (endsWith(text, "END\n")) {
            for (const std::string& line : split(text, '\n')) {
                if (line.size() < 3 || line[1] != '\t') continue;
                std::string path = dir + fileNameOf(line.substr(2));
                if (line[0] == 'R' && fs.exists(path + kTempSuffix)) fs.rename(path + kTempSuffix, path);
                if (line[0] == 'D') fs.remove(path);
            }
            fs.syncDirectory(dir);
        }
        fs.remove(journal);
    }
    // Temporary files without a journal are the remains of a save that never committed.
    const std::string suffix = kTempSuffix;
    for (const DirEntry& e : fs.list(dir))
        if (!e.isDirectory && endsWith(e.name, suffix) &&
            inFamily(e.name.substr(0, e.name.size() - suffix.size()), dataPath))
            fs.remove(dir + e.name);
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
