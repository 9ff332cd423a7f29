// The two predefined settings the install step puts into a new catalogue, read
// in from a VorDef.DB it writes beside them: a table import with a division and
// a conditional default, and a text import that updates a keyed table.
#pragma once

#include <string>

namespace kimport {

// Adds the demo settings to the program directory's catalogue, unless settings of those names exist.
void addDemoSettings(const std::string& programDir);

}  // namespace kimport
