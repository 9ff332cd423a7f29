// Failures of the table store. The message is the German text the user sees.
#pragma once

#include <stdexcept>
#include <string>

namespace kimport {

class TableError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kimport
