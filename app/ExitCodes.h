// The exit codes of kimport, as its --help text, its manual page and the README
// give them, and the one a failure ends a command with.
#pragma once

#include "tablestore/TableError.h"

#include <exception>

namespace kimport {

// Everything done (for run: everything saved, without errors).
constexpr int kExitSuccess = 0;
// A failure. For run the last line on standard error says whether nothing was saved or the records were
// saved with errors; for the other commands the message before it names the table or setting.
constexpr int kExitFailure = 1;
// The command line itself is wrong: an unknown command or option, a missing value. Nothing was touched.
constexpr int kExitBadArguments = 2;
// run was cancelled with Ctrl+C; what was imported until then is saved.
constexpr int kExitCancelled = 3;

// The exit code of a command a table error ended, by its kind.
int exitCodeFor(TableError::Kind kind);
// The exit code of a command an exception ended: a table error by its kind, anything else (no memory,
// a fault of the program) as a failure.
int exitCodeFor(const std::exception& e);

}  // namespace kimport
