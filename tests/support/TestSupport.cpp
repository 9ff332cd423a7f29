#include "support/TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace kimport::test {

std::map<std::string, std::string> folderSnapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : listNames(dir))
        if (name != "PKIMPORT.LCK") files[name] = readFile(dir + name);
    return files;
}

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>('a' + random() % 26);
    return bytes;
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kimport-test-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) std::abort();
    path_ = std::string(buf.data()) + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> listNames(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(directory)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string sourceDir() {
#ifdef KIMPORT_SOURCE_DIR
    return KIMPORT_SOURCE_DIR;
#else
    const char* env = std::getenv("KIMPORT_SOURCE_DIR");
    return env ? env : ".";
#endif
}

CommandResult runCommand(const std::string& command) {
    TempDir dir;
    std::string full = "(" + command + ") >" + dir.file("out") + " 2>" + dir.file("err") + " </dev/null";
    int status = std::system(full.c_str());
    CommandResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(dir.file("out"));
    r.err = readFile(dir.file("err"));
    return r;
}

}  // namespace kimport::test
