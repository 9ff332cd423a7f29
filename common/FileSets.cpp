#include "common/FileSets.h"

#include "common/Text.h"

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

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    std::string p = foldedUpper(pattern), n = foldedUpper(name);
    std::size_t pi = 0, ni = 0, starP = std::string::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::string::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    std::string rest = p.substr(pi);
    if (rest.find_first_not_of('*') == std::string::npos) return true;
    return rest == ".*";  // "NAME.*" also matches a file without extension, as the system's listing does
}

std::vector<DirEntry> matchingEntries(const std::string& pattern, FileSystem& fs) {
    std::vector<DirEntry> result;
    std::string dir = directoryOf(pattern);
    std::string namePattern = fileNameOf(pattern);
    for (DirEntry& e : fs.list(dir))
        if (wildcardMatch(namePattern, e.name) && !endsWith(e.name, kTempSuffix)) result.push_back(std::move(e));
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

int CopyFileSet(const std::string& sourcePattern, const std::string& targetDirectory, const std::string& newBaseName,
                Prompter& prompter, FileSystem& fs) {
    if (sourcePattern.empty() || targetDirectory.empty()) {
        prompter.error("Quell- oder Zieldatei wurde nicht angegeben!");
        return -1;
    }
    if (!fs.isDirectory(targetDirectory)) {
        prompter.error("Zielpfad nicht vorhanden: " + targetDirectory);
        return -1;
    }
    std::string target = withTrailingSlash(targetDirectory);
    std::string sourceDir = directoryOf(sourcePattern);
    int count = 0;
    bool failed = false;
    for (const DirEntry& e : matchingEntries(sourcePattern, fs)) {
        if (e.isDirectory) continue;
        std::string name = newBaseName.empty() ? e.name : newBaseName + extensionOf(e.name);
        // A set with a file missing is no copy of the set: the caller must not take it for one.
        if (!CopyOneFile(sourceDir + e.name, target + name, prompter, fs)) failed = true;
        ++count;
    }
    return failed ? -1 : count;
}

int DeleteFileSet(const std::string& pattern, Prompter& prompter, FileSystem& fs) {
    if (pattern.empty()) {
        prompter.error("Dateien wurden nicht angegeben!");
        return -1;
    }
    std::string dir = directoryOf(pattern);
    int count = 0;
    for (const DirEntry& e : matchingEntries(pattern, fs))
        if (!e.isDirectory && fs.remove(dir + e.name)) ++count;
    return count;
}

}  // namespace kimport
