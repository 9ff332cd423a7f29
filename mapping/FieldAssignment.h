// Assigning a source field to a target field by hand, and taking assignments
// back: the checks before an assignment (counter fields, a key target fed by
// values that are not unique, a shorter key target) and "a&lle aufheben".
#pragma once

#include "mapping/StructureMapping.h"

namespace kimport {

enum class AssignResult { Assigned, Refused, Nothing };
// "zuo&rdnen": the current QStrukt row into the current ZStrukt rule. Refused after the message
// that refused it (the length warning does not refuse); Nothing without a field on either side.
// The rule's other columns stay.
AssignResult AssignField(MappingTables& t, bool targetEmptied);

// "a&lle aufheben": asks first; clears every rule's assignment (the options stay) with the progress
// window, as far as it is not cancelled. False when the question was not answered Yes.
bool UnassignAll(MappingTables& t);

// True when some rule has an assignment.
bool AnyAssignment(Table& zStrukt);

}  // namespace kimport
