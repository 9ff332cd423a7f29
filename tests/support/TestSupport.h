// Helpers shared by the tests: a temporary directory that cleans up after
// itself, and small file utilities.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kimport::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The directory with a trailing "/".
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
std::vector<std::string> listNames(const std::string& directory);
// Every file of a folder by name with its bytes, but the lock file (which locking leaves behind).
std::map<std::string, std::string> folderSnapshot(const std::string& dir);
// n letters a to z drawn from the seed: the same bytes for the same seed.
std::string randomBytes(std::size_t n, unsigned seed);

// The source tree (for fixtures and scanning sources).
std::string sourceDir();

// Runs a command through the shell; returns its exit code and captures stdout/stderr.
struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
CommandResult runCommand(const std::string& command);

}  // namespace kimport::test
