#include "common/FileSets.h"

#include "common/Text.h"

#include <cctype>
#include <filesystem>

namespace kimport {

std::string directoryOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string fileNameOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string extensionOf(const std::string& path) {
    std::string name = fileNameOf(path);
    auto dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string baseNameOf(const std::string& path) {
    std::string name = fileNameOf(path);
    auto dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string withTrailingSlash(std::string directory) {
    if (!directory.empty() && directory.back() != '/') directory += '/';
    return directory;
}

bool isDBaseFileExtension(std::string_view extension) {
    const std::string ext = asciiUpper(extension);
    for (const char* known : {".DBF", ".DBT", ".FPT", ".MDX", ".CDX", ".NDX"})
        if (ext == known) return true;
    return false;
}

bool isTableFileExtension(std::string_view extension) {
    if (isDBaseFileExtension(extension)) return true;
    const std::string ext = asciiUpper(extension);
    for (const char* known : {".DB", ".MB", ".PX", ".VAL", ".TV", ".FAM"})
        if (ext == known) return true;
    // Secondary indexes of a Paradox table: .X01 ... .YFF, .XG0 ...
    auto hexOrG = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == 'G'; };
    return ext.size() == 4 && (ext[1] == 'X' || ext[1] == 'Y') && hexOrG(ext[2]) && hexOrG(ext[3]);
}

bool isPlainBaseName(std::string_view name) {
    if (name.empty() || name.size() > 8) return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

std::vector<DirEntry> fileSetEntries(const std::string& directory, const std::string& baseName, FileSystem& fs) {
    std::vector<DirEntry> result;
    if (baseName.empty()) return result;
    for (DirEntry& e : fs.list(withTrailingSlash(directory))) {
        const auto dot = e.name.find_last_of('.');
        if (e.isDirectory || dot == std::string::npos || endsWith(e.name, kTempSuffix)) continue;
        if (equalsIgnoreCase(e.name.substr(0, dot), baseName) && isTableFileExtension(e.name.substr(dot)))
            result.push_back(std::move(e));
    }
    return result;
}

bool fileExistsIgnoringCase(const std::string& path, FileSystem& fs) {
    const std::string found = findIgnoringCase(path, fs);
    return fs.exists(found) && !fs.isDirectory(found);
}

std::string findIgnoringCase(const std::string& path, FileSystem& fs) {
    if (fs.exists(path)) return path;
    std::string dir = directoryOf(path);
    std::string name = fileNameOf(path);
    for (const DirEntry& e : fs.list(dir))
        if (!e.isDirectory && equalsIgnoreCase(e.name, name)) return dir + e.name;
    return path;
}

bool PathHasAttributes(const std::string& path, unsigned attributes, FileSystem& fs) {
    if (!fs.exists(path)) return false;
    unsigned have = fs.isDirectory(path) ? kDirectoryAttribute : 0x20;  // 0x20: an ordinary file
    return (have & attributes) == attributes;
}

bool CopyOneFile(const std::string& sourcePath, const std::string& targetPath, Prompter& prompter, FileSystem& fs) {
    std::string target = targetPath;
    if (!target.empty() && target[0] != '/') target = std::filesystem::absolute(target).string();
    if (fs.isDirectory(target)) target = withTrailingSlash(target) + fileNameOf(sourcePath);

    std::unique_ptr<FileHandle> source;
    try {
        source = fs.openRead(sourcePath);
    } catch (const IoError&) {
        prompter.error("Die Datei " + sourcePath + "kann nicht geöffnet werden");
        return false;
    }
    // The copy goes to a temporary file first, so a failing disk never leaves
    // a half-written file in place of a good one.
    std::string temp = target + kTempSuffix;
    std::unique_ptr<FileHandle> out;
    try {
        out = fs.create(temp);
    } catch (const IoError&) {
        prompter.error("Die Zieldatei " + target + "kann nicht angelegt werden");
        return false;
    }
    try {
        char buffer[8192];
        for (;;) {
            std::size_t got = source->read(buffer, sizeof buffer);
            if (got > 0) out->write(buffer, got);
            if (got < sizeof buffer) break;
        }
        out->sync();
        out.reset();
        fs.rename(temp, target);
    } catch (const IoError& e) {
        out.reset();
        fs.remove(temp);
        prompter.error("Die Zieldatei " + target + " konnte nicht geschrieben werden:\r\n" + e.what());
        return false;
    }
    return true;
}

int CopyFileSet(const std::string& sourceDirectory, const std::string& baseName, const std::string& targetDirectory,
                const std::string& newBaseName, Prompter& prompter, FileSystem& fs) {
    if (baseName.empty() || targetDirectory.empty()) {
        prompter.error("Quell- oder Zieldatei wurde nicht angegeben!");
        return -1;
    }
    if (!fs.isDirectory(targetDirectory)) {
        prompter.error("Zielpfad nicht vorhanden: " + targetDirectory);
        return -1;
    }
    const std::string target = withTrailingSlash(targetDirectory);
    const std::string sourceDir = withTrailingSlash(sourceDirectory.empty() ? "./" : sourceDirectory);
    int count = 0;
    bool failed = false;
    for (const DirEntry& e : fileSetEntries(sourceDir, baseName, fs)) {
        std::string name = newBaseName.empty() ? e.name : newBaseName + extensionOf(e.name);
        // A set with a file missing is no copy of the set: the caller must not take it for one.
        if (!CopyOneFile(sourceDir + e.name, target + name, prompter, fs)) failed = true;
        ++count;
    }
    return failed ? -1 : count;
}

int DeleteFileSet(const std::string& directory, const std::string& baseName, Prompter& prompter, FileSystem& fs) {
    if (baseName.empty()) {
        prompter.error("Dateien wurden nicht angegeben!");
        return -1;
    }
    const std::string dir = withTrailingSlash(directory.empty() ? "./" : directory);
    int count = 0;
    for (const DirEntry& e : fileSetEntries(dir, baseName, fs))
        if (fs.remove(dir + e.name)) ++count;
    return count;
}

}  // namespace kimport
