// Where the program keeps its control tables, demo data and help: beside the executable in a
// build tree, otherwise in a per-user folder filled from the installed template on first start.
#pragma once

#include "common/FileSystem.h"

#include <string>

namespace kimport {

// The read-only template an installed program ships, relative to the executable's folder.
inline constexpr const char* kInstalledTemplateDir = "../share/kelvaro-import/vorlage/";
// Written last into a per-user folder: its set-up is complete.
inline constexpr const char* kSetUpMark = ".eingerichtet";

// $XDG_DATA_HOME/Kelvaro/Import/, or ~/.local/share/Kelvaro/Import/ when XDG_DATA_HOME is unset
// or not absolute; with a trailing "/".
std::string perUserProgramDirectory();

// The program directory, with a trailing "/": the executable's folder when this user may write
// in it and no installed template lies beside it (root may write in /usr/bin too); otherwise the
// per-user folder, set up from the template first. Throws IoError when the set-up fails.
std::string resolveProgramDirectory(const std::string& executableDir, FileSystem& fs = realFileSystem());

// Copies into programDir what it lacks of the template, then writes the set-up mark; does nothing
// once the mark is there. An existing file is never replaced: a table (its .DB/.DBF with the
// files of the same name beside it) is copied only when its data file is missing, and the data
// file comes last, so a set-up cut short is completed by the next one.
void setUpProgramDirectory(const std::string& programDir, const std::string& templateDir,
                           FileSystem& fs = realFileSystem());

// The user's home folder: HOME, else the password database; empty when neither knows it.
std::string userHomeDirectory();

// The folder of the running executable (from /proc/self/exe, else argv0), with a trailing "/".
std::string executableDirectory(const char* argv0);

}  // namespace kimport
