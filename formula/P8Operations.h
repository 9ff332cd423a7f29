// What each operation code computes. Arithmetic runs in extended precision
// and every result is stored as a double; leaving the double range or the
// domain of a function raises FloatingPointError to the caller.
#pragma once

#include "formula/P8Build.h"

namespace kimport {

// The result of one operation from its operands (y is ignored by one-operand codes).
double applyOperation(OpCode code, double x, double y);

// Runs the operations in order on the cells.
void runOperations(const std::vector<Operation>& operations, double* cells);

}  // namespace kimport
