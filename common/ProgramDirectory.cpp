#include "common/ProgramDirectory.h"

#include "common/FileSets.h"
#include "common/Text.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

#ifndef KIMPORT_VERSION_TEXT
#define KIMPORT_VERSION_TEXT "Kelvaro Import"
#endif

namespace kimport {

std::string userHomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    // Started without HOME (by a service, say): the password database still knows it.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        *found->pw_dir)
        return found->pw_dir;
    return {};
}

namespace {

std::string homeDirectory() {
    std::string home = userHomeDirectory();
    if (home.empty()) throw IoError("Das persönliche Verzeichnis ist unbekannt: HOME ist nicht gesetzt.");
    return home;
}

// Makes the directory and every missing one above it.
void makeDirectories(const std::string& path, FileSystem& fs) {
    std::string sofar;
    for (const std::string& part : split(path, '/')) {
        sofar += part + "/";
        if (part.empty() || part == ".") continue;
        if (!fs.isDirectory(sofar)) fs.makeDirectory(sofar);
    }
}

bool isDataFile(const std::string& name) {
    const std::string ext = foldedUpper(extensionOf(name));
    return ext == ".DB" || ext == ".DBF";
}

// Leftovers of a folder that was in use are not part of a template.
bool isLeftover(const std::string& name) {
    return equalsIgnoreCase(name, "PKIMPORT.LCK") || endsWith(name, kTempSuffix) || name == kSetUpMark;
}

bool present(const std::string& path, FileSystem& fs) { return fs.exists(findIgnoringCase(path, fs)); }

void copyFile(const std::string& from, const std::string& to, FileSystem& fs) {
    const std::vector<char> data = fs.readAll(from);
    fs.writeAtomically(to, data.data(), data.size());
}

void completeDirectory(const std::string& from, const std::string& to, FileSystem& fs) {
    makeDirectories(to, fs);
    std::vector<DirEntry> entries = fs.list(from);
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });

    // A table's files belong together: the data file decides whether the user has the table, and
    // files of its name without it are what a cut-short copy left behind.
    std::map<std::string, std::vector<std::string>> tables;
    for (const DirEntry& e : entries)
        if (!e.isDirectory && isDataFile(e.name)) tables[foldedUpper(baseNameOf(e.name))];
    std::vector<std::string> singles;
    for (const DirEntry& e : entries) {
        if (e.isDirectory || isLeftover(e.name)) continue;
        auto table = tables.find(foldedUpper(baseNameOf(e.name)));
        if (table != tables.end())
            table->second.push_back(e.name);
        else
            singles.push_back(e.name);
    }

    for (const std::string& name : singles)
        if (!present(to + name, fs)) copyFile(from + name, to + name, fs);
    for (auto& [stem, names] : tables) {
        const bool complete = std::all_of(names.begin(), names.end(), [&](const std::string& n) {
            return !isDataFile(n) || present(to + n, fs);
        });
        if (complete) continue;
        std::stable_partition(names.begin(), names.end(), [](const std::string& n) { return !isDataFile(n); });
        for (const std::string& name : names) copyFile(from + name, to + name, fs);
    }
    for (const DirEntry& e : entries)
        if (e.isDirectory) completeDirectory(from + e.name + "/", to + e.name + "/", fs);
}

}  // namespace

std::string perUserProgramDirectory() {
    std::string base;
    // The base directory standard ignores a relative XDG_DATA_HOME.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        base = xdg;
    else
        base = withTrailingSlash(homeDirectory()) + ".local/share";
    return withTrailingSlash(base) + "Kelvaro/Import/";
}

void setUpProgramDirectory(const std::string& programDirIn, const std::string& templateDirIn, FileSystem& fs) {
    const std::string programDir = withTrailingSlash(programDirIn);
    const std::string mark = programDir + kSetUpMark;
    if (fs.exists(mark)) return;
    try {
        completeDirectory(withTrailingSlash(templateDirIn), programDir, fs);
        const std::string text = std::string(KIMPORT_VERSION_TEXT) + "\n";
        fs.writeAtomically(mark, text.data(), text.size());
    } catch (const IoError& e) {
        throw IoError("Das Programmverzeichnis " + programDir + " kann nicht eingerichtet werden: " + e.what());
    }
}

std::string resolveProgramDirectory(const std::string& executableDir, FileSystem& fs) {
    const std::string own = withTrailingSlash(executableDir);
    const std::string templateDir =
        withTrailingSlash(std::filesystem::path(own + kInstalledTemplateDir).lexically_normal().string());
    const bool installed = fs.isDirectory(templateDir);
    if (!installed && fs.canWriteIn(own)) return own;
    const std::string perUser = perUserProgramDirectory();
    if (installed) {
        setUpProgramDirectory(perUser, templateDir, fs);
    } else {
        // Nothing to fill it from: the missing control tables are reported where they are used.
        try {
            makeDirectories(perUser, fs);
        } catch (const IoError& e) {
            throw IoError("Das Programmverzeichnis " + perUser + " kann nicht angelegt werden: " + e.what());
        }
    }
    return perUser;
}

std::string executableDirectory(const char* argv0) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string path = ec ? std::filesystem::absolute(argv0 ? argv0 : "").string() : self.string();
    return directoryOf(path);
}

}  // namespace kimport
