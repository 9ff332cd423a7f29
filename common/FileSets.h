// Operations on whole files and on file sets: every file of a table, found by
// directory + base name + one of the extensions a table's files carry. The base
// name is compared whole, never as a pattern, so that a name read from a file
// reaches only the files of that name. Failures are shown through the Prompter.
#pragma once

#include "common/FileSystem.h"
#include "common/Prompter.h"

#include <string>
#include <string_view>

namespace kimport {

// Suffix of the temporary files a safe write leaves behind only when it dies.
constexpr const char* kTempSuffix = ".kimp-tmp";

// Attribute bits for the directory test.
constexpr unsigned kDirectoryAttribute = 0x10;

// Copies every file of the set into the target directory, under newBaseName +
// the file's extension (or its own name when newBaseName is empty). Returns the
// number of files copied, or -1 after a message (also when any one of them
// could not be copied).
int CopyFileSet(const std::string& sourceDirectory, const std::string& baseName, const std::string& targetDirectory,
                const std::string& newBaseName, Prompter& prompter, FileSystem& fs = realFileSystem());

// Copies one file; the target may name a directory. The target is replaced
// only after the whole copy reached the disk. False after a message.
bool CopyOneFile(const std::string& sourcePath, const std::string& targetPath, Prompter& prompter,
                 FileSystem& fs = realFileSystem());

// Deletes every file of the set; returns the count deleted, or -1 after a message.
int DeleteFileSet(const std::string& directory, const std::string& baseName, Prompter& prompter,
                  FileSystem& fs = realFileSystem());

// True when the path exists and its attributes contain all the given bits.
bool PathHasAttributes(const std::string& path, unsigned attributes, FileSystem& fs = realFileSystem());

// The files of the table baseName in the directory, in the order the system lists
// them: base name equal without regard to letter case, extension one of a table's
// (isTableFileExtension); no folders, no temporary files of a save.
std::vector<DirEntry> fileSetEntries(const std::string& directory, const std::string& baseName, FileSystem& fs);
// ".DB", ".MB", ".PX", ".VAL", ".TV", ".FAM", secondary indexes ".Xnn"/".Ynn",
// ".DBF", ".DBT", ".FPT", ".MDX", ".CDX", ".NDX" (any letter case).
bool isTableFileExtension(std::string_view extension);
// The dBase ones among them: ".DBF", ".DBT", ".FPT", ".MDX", ".CDX", ".NDX".
bool isDBaseFileExtension(std::string_view extension);
// A base name stored in a control table or a settings package: one to eight
// letters, digits or "_" -- no path, no pattern, nothing the system reads specially.
bool isPlainBaseName(std::string_view name);

// Path pieces: directory with a trailing "/", file name, extension with its dot.
std::string directoryOf(const std::string& path);
std::string fileNameOf(const std::string& path);
std::string extensionOf(const std::string& path);
std::string baseNameOf(const std::string& path);
std::string withTrailingSlash(std::string directory);

// The path of an existing file whose name differs only in letter case, or
// the path itself when no such file exists.
std::string findIgnoringCase(const std::string& path, FileSystem& fs = realFileSystem());
// Whether a file (not a folder) of that name exists, in any letter case.
bool fileExistsIgnoringCase(const std::string& path, FileSystem& fs = realFileSystem());

}  // namespace kimport
