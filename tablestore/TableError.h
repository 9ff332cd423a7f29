// Failures of the table store. The message is the German text the user sees;
// the kind lets callers decide what to do without reading the text.
#pragma once

#include <stdexcept>
#include <string>

namespace kimport {

class TableError : public std::runtime_error {
public:
    enum class Kind {
        Usage,         // a call the table does not allow (no such field, not open, a value of the wrong kind)
        Value,         // a value the field cannot hold
        Io,            // reading or writing a file failed; a failed save left the table as it was
        Unfinished,    // a save stopped after its journal: it is completed at the next open
        Damaged,       // the file is not a sound table
        Locked,        // another user or program has the table
        KeyViolation,  // a record's key exists already
        ReadOnly,      // the files or the folder may not be written
        Changed,       // another program changed the table since it was read
        Unsupported,   // a sound table this program cannot read (its code page, an encryption)
    };

    explicit TableError(const std::string& message, Kind kind = Kind::Usage, std::string file = {})
        : std::runtime_error(message), kind_(kind), file_(std::move(file)) {}

    Kind kind() const { return kind_; }
    // The table file the failure concerns, where it is known.
    const std::string& file() const { return file_; }

private:
    Kind kind_;
    std::string file_;
};

}  // namespace kimport
