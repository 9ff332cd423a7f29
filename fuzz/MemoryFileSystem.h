// A file system in memory for the fuzz targets: fast, and nothing touches the disk.
#pragma once

#include "common/FileSystem.h"

#include <cstring>
#include <functional>
#include <map>

namespace kimport::fuzz {

class MemoryFileSystem : public FileSystem {
public:
    std::map<std::string, std::string> files;

    std::unique_ptr<FileHandle> openRead(const std::string& path) override {
        auto it = files.find(path);
        if (it == files.end()) throw IoError("Die Datei " + path + " kann nicht geöffnet werden");
        return std::make_unique<Reader>(it->second);
    }
    std::unique_ptr<FileHandle> create(const std::string& path) override {
        files[path].clear();
        return std::make_unique<Writer>(files[path]);
    }
    void rename(const std::string& from, const std::string& to) override {
        files[to] = files[from];
        files.erase(from);
    }
    bool remove(const std::string& path) override { return files.erase(path) > 0; }
    bool exists(const std::string& path) override { return files.count(path) > 0; }
    bool isDirectory(const std::string& path) override { return path.empty() || path.back() == '/'; }
    std::vector<DirEntry> list(const std::string& directory) override {
        std::vector<DirEntry> out;
        for (auto& [name, content] : files)
            if (name.rfind(directory, 0) == 0 && name.find('/', directory.size()) == std::string::npos)
                out.push_back({name.substr(directory.size()), false});
        return out;
    }
    void makeDirectory(const std::string&) override {}
    void syncDirectory(const std::string&) override {}
    struct NoLock : FileLock {
        bool changeMode(bool) override { return true; }
    };
    std::unique_ptr<FileLock> tryLock(const std::string&, std::uint64_t, bool) override {
        return std::make_unique<NoLock>();
    }
    bool canWriteIn(const std::string&) override { return true; }
    std::string identity(const std::string& path) override {
        auto it = files.find(path);
        // Changes with the contents: each input of a target reuses the same names.
        return it == files.end() ? std::string() : std::to_string(std::hash<std::string>{}(it->second));
    }

private:
    struct Reader : FileHandle {
        explicit Reader(const std::string& d) : data(d) {}
        std::size_t read(char* buffer, std::size_t n) override {
            std::size_t take = std::min(n, data.size() - std::min(pos, data.size()));
            if (take) std::memcpy(buffer, data.data() + pos, take);
            pos += take;
            return take;
        }
        void write(const char*, std::size_t) override { throw IoError("read only"); }
        void seek(std::uint64_t p) override { pos = p; }
        std::uint64_t size() override { return data.size(); }
        void sync() override {}
        const std::string& data;
        std::size_t pos = 0;
    };
    struct Writer : FileHandle {
        explicit Writer(std::string& d) : data(d) {}
        std::size_t read(char*, std::size_t) override { return 0; }
        void write(const char* p, std::size_t n) override {
            if (pos + n > data.size()) data.resize(pos + n);
            if (n) std::memcpy(data.data() + pos, p, n);
            pos += n;
        }
        void seek(std::uint64_t p) override { pos = p; }
        std::uint64_t size() override { return data.size(); }
        void sync() override {}
        std::string& data;
        std::size_t pos = 0;
    };
};

// Splits a fuzz input into a table file and its memo file at the marker
// "|MEMO|"; without it the whole input is the table (the raw sample tables
// serve as seeds unchanged).
inline void splitInput(const std::uint8_t* data, std::size_t size, std::string& table, std::string& memo) {
    std::string all(reinterpret_cast<const char*>(data), size);
    auto at = all.find("|MEMO|");
    if (at == std::string::npos) {
        table = std::move(all);
        return;
    }
    table = all.substr(0, at);
    memo = all.substr(at + 6);
}

// Splits a fuzz input into named files: the input up to the first marker "|FILE:NAME|" is the file
// `first`, each marker starts the file NAME (the names as a package would give them).
inline std::map<std::string, std::string> splitFiles(const std::uint8_t* data, std::size_t size,
                                                     const std::string& first) {
    std::map<std::string, std::string> files;
    const std::string all(reinterpret_cast<const char*>(data), size);
    std::string name = first;
    std::size_t from = 0;
    for (;;) {
        const std::size_t marker = all.find("|FILE:", from);
        const std::size_t nameEnd = marker == std::string::npos ? marker : all.find('|', marker + 6);
        if (nameEnd == std::string::npos) {
            files[name] = all.substr(from);
            return files;
        }
        files[name] = all.substr(from, marker - from);
        name = all.substr(marker + 6, nameEnd - marker - 6);
        from = nameEnd + 1;
    }
}

}  // namespace kimport::fuzz
