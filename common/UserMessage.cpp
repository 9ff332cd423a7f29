#include "common/UserMessage.h"

#include "common/FileSystem.h"

#include <filesystem>
#include <new>
#include <stdexcept>
#include <system_error>

namespace kimport {

std::string userMessage(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e) || dynamic_cast<const std::length_error*>(&e))
        return kOutOfMemoryMessage;
    if (const auto* f = dynamic_cast<const std::filesystem::filesystem_error*>(&e))
        return "Fehler bei " + f->path1().string() + ": " + systemErrorText(f->code().value());
    if (const auto* s = dynamic_cast<const std::system_error*>(&e))
        return std::string(kUnexpectedErrorMessage) + " (" + systemErrorText(s->code().value()) + ")";
    // A logic error of the library (out_of_range, invalid_argument) is a fault of ours, not the user's.
    if (dynamic_cast<const std::logic_error*>(&e) || dynamic_cast<const std::bad_cast*>(&e) ||
        dynamic_cast<const std::bad_exception*>(&e))
        return kUnexpectedErrorMessage;
    return e.what();
}

}  // namespace kimport
