#include "common/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <sys/sysmacros.h>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>


namespace kimport {

std::string systemErrorText(int error) {
    switch (error) {
    case ENOENT: return "Datei oder Verzeichnis nicht gefunden";
    case EACCES:
    case EPERM: return "Zugriff verweigert";
    case ENOSPC: return "Kein Speicherplatz mehr auf dem Datenträger";
    case EDQUOT: return "Speicherplatzkontingent überschritten";
    case EROFS: return "Datenträger ist schreibgeschützt";
    case EISDIR: return "Ist ein Verzeichnis";
    case EIO: return "Ein-/Ausgabefehler";
    case EEXIST: return "Datei existiert bereits";
    case ENOTDIR: return "Kein Verzeichnis";
    case EMFILE:
    case ENFILE: return "Zu viele offene Dateien";
    default: return std::strerror(error);
    }
}

namespace {

// What a path names that is no regular file, for messages.
std::string notAFileText(mode_t mode) {
    if (S_ISDIR(mode)) return systemErrorText(EISDIR);
    const char* what = S_ISFIFO(mode)  ? "eine benannte Pipe"
                       : S_ISCHR(mode) ? "ein zeichenorientiertes Gerät"
                       : S_ISBLK(mode) ? "ein blockorientiertes Gerät"
                       : S_ISSOCK(mode) ? "ein Socket"
                                        : "etwas anderes";
    return std::string("sie ist keine gewöhnliche Datei, sondern ") + what + ".";
}

class PosixFile : public FileHandle {
public:
    PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override { ::close(fd_); }

    std::size_t read(char* buffer, std::size_t n) override {
        std::size_t done = 0;
        while (done < n) {
            ssize_t r = ::read(fd_, buffer + done, n - done);
            if (r < 0) {
                if (errno == EINTR) continue;
                throw IoError("Lesefehler in " + path_ + ": " + systemErrorText(errno));
            }
            if (r == 0) break;
            done += static_cast<std::size_t>(r);
        }
        return done;
    }

    void write(const char* data, std::size_t n) override {
        while (n > 0) {
            ssize_t w = ::write(fd_, data, n);
            if (w < 0) {
                if (errno == EINTR) continue;
                throw IoError("Schreibfehler in " + path_ + ": " + systemErrorText(errno));
            }
            data += w;
            n -= static_cast<std::size_t>(w);
        }
    }

    void seek(std::uint64_t position) override {
        if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0)
            throw IoError("Positionierfehler in " + path_ + ": " + systemErrorText(errno));
    }

    std::uint64_t size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            throw IoError("Dateigröße von " + path_ + " unbekannt: " + systemErrorText(errno));
        return static_cast<std::uint64_t>(st.st_size);
    }

    void sync() override {
        if (::fsync(fd_) != 0)
            throw IoError("Schreibfehler in " + path_ + ": " + systemErrorText(errno));
    }

    int descriptor() const override { return fd_; }
    std::string name() const override { return path_; }

private:
    int fd_;
    std::string path_;
};

// Someone who locked this table's byte in an earlier lock file of the directory, deleted since, still
// uses the table: the system's lock list shows a lock on the same device and byte but another inode.
bool heldOnAnEarlierFile(const struct stat& current, std::uint64_t byte, bool exclusive) {
    FILE* locks = std::fopen("/proc/locks", "r");
    if (!locks) return false;
    char line[512];
    bool held = false;
    while (!held && std::fgets(line, sizeof line, locks)) {
        if (std::strstr(line, "->")) continue;  // a waiting request, not a lock
        char kind[16], advisory[16], mode[16], pid[32], where[64], start[32], end[32];
        if (std::sscanf(line, "%*s %15s %15s %15s %31s %63s %31s %31s", kind, advisory, mode, pid, where, start,
                        end) != 7)
            continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where, "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        if (major != major(current.st_dev) || minor != minor(current.st_dev) || inode == current.st_ino) continue;
        // Our lock files hold open-file-description locks on single bytes; anything else (whole-file locks,
        // flock, leases) belongs to other programs.
        if (std::strcmp(kind, "OFDLCK") != 0 || std::strcmp(end, "EOF") == 0) continue;
        if (std::strtoull(start, nullptr, 10) != byte || std::strtoull(end, nullptr, 10) != byte) continue;
        // A shared lock conflicts only with an exclusive one.
        held = exclusive || std::strcmp(mode, "WRITE") == 0;
    }
    std::fclose(locks);
    return held;
}

// Open-file-description locks: they conflict between two opens in the same
// process too, and the system drops them when the process dies.
class PosixLock : public FileLock {
public:
    PosixLock(int fd, std::uint64_t byte) : fd_(fd), byte_(byte) {}
    ~PosixLock() override { ::close(fd_); }

    bool changeMode(bool exclusive) override {
        // On the same open file description the lock changes in place; a refusal leaves it as it was.
        if (!set(exclusive)) return false;
        struct stat st {};
        if (exclusive && ::fstat(fd_, &st) == 0 && heldOnAnEarlierFile(st, byte_, true)) {
            set(false);
            return false;
        }
        return true;
    }

private:
    bool set(bool exclusive) {
        struct flock fl {};
        fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = static_cast<off_t>(byte_);
        fl.l_len = 1;
        return ::fcntl(fd_, F_OFD_SETLK, &fl) == 0;
    }

public:

private:
    int fd_;
    std::uint64_t byte_;
};

class RealFileSystem : public FileSystem {
public:
    std::unique_ptr<FileHandle> openRead(const std::string& path) override {
        // Without waiting: a named pipe with no writer would hold open() until one came.
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            throw IoError("Die Datei " + path + " kann nicht geöffnet werden: " + systemErrorText(errno));
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            const int error = errno;
            ::close(fd);
            throw IoError("Die Datei " + path + " kann nicht geöffnet werden: " + systemErrorText(error));
        }
        if (!S_ISREG(st.st_mode)) {
            ::close(fd);
            // Pipes, devices and sockets have no end to read to and no size to check: only plain files are read.
            throw IoError("Die Datei " + path + " kann nicht geöffnet werden: " + notAFileText(st.st_mode));
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return std::make_unique<PosixFile>(fd, path);
    }

    std::unique_ptr<FileHandle> create(const std::string& path) override {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0)
            throw IoError("Die Datei " + path + " kann nicht angelegt werden: " + systemErrorText(errno));
        return std::make_unique<PosixFile>(fd, path);
    }

    void rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0)
            throw IoError("Die Datei " + from + " kann nicht in " + to + " umbenannt werden: " +
                          systemErrorText(errno));
    }

    bool remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

    bool exists(const std::string& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }

    bool isDirectory(const std::string& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    std::vector<DirEntry> list(const std::string& directory) override {
        std::vector<DirEntry> result;
        DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
        if (!dir) return result;
        std::string base = directory;
        if (!base.empty() && base.back() != '/') base += '/';
        while (dirent* e = ::readdir(dir)) {
            std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            result.push_back({name, isDirectory(base + name)});
        }
        ::closedir(dir);
        return result;
    }

    void makeDirectory(const std::string& path) override {
        if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
            throw IoError("Das Verzeichnis " + path + " kann nicht angelegt werden: " + systemErrorText(errno));
    }

    bool removeDirectory(const std::string& path) override { return ::rmdir(path.c_str()) == 0; }

    std::uint64_t cloneUnit(const std::string& path) override {
        struct statfs st {};
        if (::statfs(path.c_str(), &st) != 0 || st.f_bsize <= 0) return FileSystem::cloneUnit(path);
        return static_cast<std::uint64_t>(st.f_bsize);
    }

    void syncDirectory(const std::string& directory) override {
        int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return;
        ::fsync(fd);
        ::close(fd);
    }

    std::unique_ptr<FileLock> tryLock(const std::string& lockFile, std::uint64_t byte, bool exclusive) override {
        // A lock file deleted (or replaced) by someone while another instance holds its lock would let
        // us lock a new file beside the old one: only a lock on the file that is there now counts.
        for (int attempt = 0; attempt < 20; ++attempt) {
            bool existed = exists(lockFile);
            // Always opened for writing, so that the lock can become exclusive later.
            int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0)
                throw IoError("Die Sperrdatei " + lockFile + " kann nicht geöffnet werden: " + systemErrorText(errno));
            if (!existed) ::fchmod(fd, 0666);  // every user of the directory locks through this file
            struct flock fl {};
            fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
            fl.l_whence = SEEK_SET;
            fl.l_start = static_cast<off_t>(byte);
            fl.l_len = 1;
            if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
                ::close(fd);
                return nullptr;
            }
            struct stat locked {}, onDisk {};
            if (::fstat(fd, &locked) == 0 && ::stat(lockFile.c_str(), &onDisk) == 0 &&
                locked.st_ino == onDisk.st_ino && locked.st_dev == onDisk.st_dev) {
                if (!heldOnAnEarlierFile(locked, byte, exclusive)) return std::make_unique<PosixLock>(fd, byte);
                ::close(fd);
                return nullptr;
            }
            ::close(fd);
        }
        throw IoError("Die Sperrdatei " + lockFile + " wird fortwährend ersetzt; die Sperre kann nicht gesetzt werden.");
    }

    bool canWrite(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || ::access(path.c_str(), W_OK) != 0) return false;
        return ::geteuid() != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    }

    std::string resolvedPath(const std::string& path) override {
        auto real = [](const std::string& p) -> std::string {
            char* r = ::realpath(p.empty() ? "." : p.c_str(), nullptr);
            if (!r) return {};
            std::string result = r;
            std::free(r);
            return result;
        };
        std::string whole = real(path);
        if (!whole.empty()) return whole;
        // A file that does not exist yet: its directory resolved, its name as given.
        auto slash = path.find_last_of('/');
        std::string directory = real(slash == std::string::npos ? std::string(".") : path.substr(0, slash));
        if (directory.empty()) return path;
        return (directory == "/" ? std::string() : directory) + "/" +
               (slash == std::string::npos ? path : path.substr(slash + 1));
    }

    void copyOwnerAndMode(const std::string& from, const std::string& to) override {
        struct stat st {};
        if (::stat(from.c_str(), &st) != 0) return;
        ::chmod(to.c_str(), st.st_mode & 07777);
        // Another user's file keeps at least its group; the new file then belongs to whoever saved it.
        if (::chown(to.c_str(), st.st_uid, st.st_gid) != 0) {
            if (::chown(to.c_str(), static_cast<uid_t>(-1), st.st_gid) != 0) return;
        }
        ::chmod(to.c_str(), st.st_mode & 07777);  // chown may have dropped set-id bits
    }

    bool canWriteIn(const std::string& directory) override {
        return ::access(directory.empty() ? "." : directory.c_str(), W_OK) == 0;
    }

    std::uint64_t inodeOf(const std::string& path) override {
        struct stat st {};
        return ::stat(path.empty() ? "." : path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_ino) : 0;
    }

    std::string identity(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return {};
        return std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) +
               "." + std::to_string(st.st_mtim.tv_nsec);
    }
};

}  // namespace

FileSystem& realFileSystem() {
    static RealFileSystem fs;
    return fs;
}

std::vector<char> FileSystem::readAll(const std::string& path) {
    auto file = openRead(path);
    std::vector<char> data(static_cast<std::size_t>(file->size()));
    std::size_t got = file->read(data.data(), data.size());
    data.resize(got);
    return data;
}

void FileSystem::writeAtomically(const std::string& path, const char* data, std::size_t n) {
    std::string temp = path + ".kimp-tmp";
    try {
        auto file = create(temp);
        file->write(data, n);
        file->sync();
        file.reset();
        rename(temp, path);
    } catch (...) {
        remove(temp);
        throw;
    }
    auto slash = path.find_last_of('/');
    syncDirectory(slash == std::string::npos ? std::string() : path.substr(0, slash));
}

}  // namespace kimport
