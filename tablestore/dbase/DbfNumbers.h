// The ASCII numbers of dBase N and F fields: read leniently, written with
// exactly the field's decimals and independent of the C locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kimport::dbase {

// The number in a field's text; nullopt for blanks, an overflow mark ("***") or text that is no number.
std::optional<double> parseFieldNumber(std::string_view text);
// The value with exactly `decimals` decimals, rounded half away from zero from
// its shortest decimal form (so 2.675 gives "2.68"); "" for NaN and infinity.
std::string formatFixed(double value, int decimals);
// The same for a decimal text ("-12.345", as BCD values come); "" when it is no such text.
std::string formatFixed(std::string_view decimalText, int decimals);

}  // namespace kimport::dbase
