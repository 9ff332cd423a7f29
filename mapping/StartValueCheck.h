// The start value of the two modes that make key values: it is read for the
// type of the target's key field, and the keys the run will make from it are
// simulated and looked up in the target before anything is written. Every
// refusal shows its message (some with a help button).
#pragma once

#include "common/FormatSettings.h"
#include "common/Prompter.h"
#include "tablestore/Table.h"

#include <string>

namespace kimport {

struct StartValueTables {
    Table& zStrukt;  // the first rule with a key field is the key rule
    Table& source;
    Table& target;
};

// Mode 4: the start value and its successors, one per source record, must all be new keys. Without
// `lookUpKeys` (a target emptied before the run) only the start value itself is checked.
bool IncrementCheck(StartValueTables t, const std::string& startValue, Prompter& prompter,
                    const FormatSettings& formats, bool lookUpKeys = true);

// Mode 3: the new keys of the source records whose key the target holds already must be new keys.
bool RenameCheck(StartValueTables t, const std::string& startValue, Prompter& prompter, const FormatSettings& formats);

}  // namespace kimport
