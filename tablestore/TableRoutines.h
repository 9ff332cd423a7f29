// Routines over whole tables shared by the wizard and the settings store.
#pragma once

#include "common/Prompter.h"
#include "tablestore/Table.h"

#include <string>

namespace kimport {

// True when the field is filled and unique in every record (numbers compared
// numerically, texts character by character). Opens the table if needed.
bool HasUniqueValues(Table& table, const std::string& fieldName);

// Empties a table: closes it, opens it exclusively, deletes all records and
// leaves it closed. False after a message when it could not be emptied.
bool ClearTableExclusive(Table& table, Prompter& prompter);

}  // namespace kimport
