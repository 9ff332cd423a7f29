#include "support/FaultyFileSystem.h"

#include <cerrno>
#include <unistd.h>

namespace kimport {

namespace {

class FaultyFile : public FileHandle {
public:
    FaultyFile(FaultyFileSystem& fs, std::unique_ptr<FileHandle> inner, std::string path)
        : fs_(fs), inner_(std::move(inner)), path_(std::move(path)) {}

    std::size_t read(char* buffer, std::size_t n) override {
        fs_.step("Lesefehler in " + path_);
        const std::size_t got = inner_->read(buffer, n);
        fs_.noteRead(got);
        return got;
    }
    void write(const char* data, std::size_t n) override {
        fs_.step("Schreibfehler in " + path_);
        fs_.consume(n, path_);
        inner_->write(data, n);
    }
    void seek(std::uint64_t position) override { inner_->seek(position); }
    std::uint64_t size() override { return inner_->size(); }
    void sync() override {
        fs_.step("Schreibfehler in " + path_);
        inner_->sync();
    }
    // One operation however the bytes go; they count against the space left as written bytes do (a
    // clone takes none on a file system that shares blocks, but the tests take the stricter case).
    CopyWay copyFrom(FileHandle& source, std::uint64_t offset, std::uint64_t length) override {
        fs_.step("Schreibfehler in " + path_);
        fs_.consume(length, path_);
        auto* faulty = dynamic_cast<FaultyFile*>(&source);
        return inner_->copyFrom(faulty ? *faulty->inner_ : source, offset, length);
    }
    std::string name() const override { return path_; }

private:
    FaultyFileSystem& fs_;
    std::unique_ptr<FileHandle> inner_;
    std::string path_;
};

}  // namespace

void FaultyFileSystem::count() {
    ++operations_;
    if (dieAtOperation && operations_ == *dieAtOperation) ::_exit(kDiedAtOperation);
}

void FaultyFileSystem::step(const std::string& what) {
    count();
    if (failAtOperation && operations_ == *failAtOperation)
        throw IoError(what + ": " + systemErrorText(EIO));
}

void FaultyFileSystem::consume(std::size_t n, const std::string& path) {
    if (spaceLeft && written_ + n > *spaceLeft) {
        written_ = *spaceLeft;
        throw IoError("Schreibfehler in " + path + ": " + systemErrorText(ENOSPC));
    }
    written_ += n;
}

std::unique_ptr<FileHandle> FaultyFileSystem::openRead(const std::string& path) {
    step("Die Datei " + path + " kann nicht geöffnet werden");
    return std::make_unique<FaultyFile>(*this, inner_.openRead(path), path);
}

std::unique_ptr<FileHandle> FaultyFileSystem::create(const std::string& path) {
    step("Die Datei " + path + " kann nicht angelegt werden");
    return std::make_unique<FaultyFile>(*this, inner_.create(path), path);
}

void FaultyFileSystem::rename(const std::string& from, const std::string& to) {
    step("Die Datei " + from + " kann nicht umbenannt werden");
    if (refuseRenames || (refuseRename && refuseRename(from, to)))
        throw IoError("Die Datei " + from + " kann nicht in " + to + " umbenannt werden: " + systemErrorText(EIO));
    inner_.rename(from, to);
}

bool FaultyFileSystem::remove(const std::string& path) {
    count();
    return inner_.remove(path);
}

void FaultyFileSystem::makeDirectory(const std::string& path) {
    step("Das Verzeichnis " + path + " kann nicht angelegt werden");
    inner_.makeDirectory(path);
}

void FaultyFileSystem::syncDirectory(const std::string& directory) {
    step("Schreibfehler in " + directory);
    inner_.syncDirectory(directory);
}

}  // namespace kimport
