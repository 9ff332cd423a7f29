// What the user is told of a failure that ended an operation. The program's own
// exceptions carry German texts naming the file or value; the standard library's
// ("std::bad_alloc", "basic_string::_M_create") say nothing a user could act on.
#pragma once

#include <exception>
#include <string>

namespace kimport {

inline constexpr const char* kOutOfMemoryMessage =
    "Der Arbeitsspeicher reicht für diesen Vorgang nicht aus; er ist abgebrochen worden.";
inline constexpr const char* kUnexpectedErrorMessage = "Ein unerwarteter Fehler ist aufgetreten.";

std::string userMessage(const std::exception& e);

}  // namespace kimport
