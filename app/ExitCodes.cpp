#include "app/ExitCodes.h"

namespace kimport {

int exitCodeFor(TableError::Kind kind) {
    // The documented codes tell success, failure, bad arguments and a cancel apart; which failure it was
    // is the message's part. A table error is never a bad argument, not even a call the table does not
    // allow (pack of a Paradox table, a --format of the other family): the command line was well formed,
    // and scripts that branch on 2 expect nothing to have been looked at. No default: a new kind must
    // be placed here.
    switch (kind) {
        case TableError::Kind::Usage:
        case TableError::Kind::Value:
        case TableError::Kind::Limit:
        case TableError::Kind::KeyViolation:
        case TableError::Kind::Missing:
        case TableError::Kind::Damaged:
        case TableError::Kind::Unsupported:
        case TableError::Kind::Locked:
        case TableError::Kind::ReadOnly:
        case TableError::Kind::Changed:
        case TableError::Kind::Io:
            return kExitFailure;
        case TableError::Kind::Unfinished:
            // Completed at the next open, but not by this command: its caller must not take it as done.
            return kExitFailure;
    }
    return kExitFailure;
}

int exitCodeFor(const std::exception& e) {
    if (const auto* table = dynamic_cast<const TableError*>(&e)) return exitCodeFor(table->kind());
    return kExitFailure;
}

}  // namespace kimport
