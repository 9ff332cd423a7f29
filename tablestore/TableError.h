// Failures of the table store. The message is the German text the user sees;
// the kind lets callers decide what to do without reading the text.
//
// Every throw names its kind: a damaged file, a missing one and a call the
// table does not allow need different answers (report the file, ask for
// another one, fix the program), and a kind taken by default would hide which.
#pragma once

#include <stdexcept>
#include <string>

namespace kimport {

class TableError : public std::runtime_error {
public:
    enum class Kind {
        Usage,         // a call the table does not allow (no such field, not open, fields a new table cannot have)
        Value,         // a value the field cannot hold
        Limit,         // the table would outgrow its format (records, fields, a record's or a memo file's bytes)
        Io,            // reading or writing a file failed; a failed save left the table as it was
        Unfinished,    // a save stopped after its journal: it is completed at the next open
        Missing,       // the table, its memo file or its folder does not exist
        Damaged,       // the file is not a sound table
        Locked,        // another user or program has the table
        KeyViolation,  // a record's key exists already
        ReadOnly,      // the files or the folder may not be written
        Changed,       // another program changed the table since it was read
        Unsupported,   // a sound table this program cannot read (its code page, an encryption) or keep
                       // sound when writing (an index it cannot update, a version it only reads)
    };

    TableError(const std::string& message, Kind kind, std::string file = {})
        : std::runtime_error(message), kind_(kind), file_(std::move(file)) {}

    Kind kind() const { return kind_; }
    // The table file the failure concerns, where it is known.
    const std::string& file() const { return file_; }

private:
    Kind kind_;
    std::string file_;
};

}  // namespace kimport
