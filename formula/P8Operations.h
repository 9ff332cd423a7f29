// What each operation code computes. Arithmetic runs in extended precision
// and every result is stored as a double; leaving the double range or the
// domain of a function raises FloatingPointError to the caller.
#pragma once

#include "formula/P8Build.h"

#include <cstdint>

namespace kimport {

// The result of one operation from its operands (y is ignored by one-operand codes).
double applyOperation(OpCode code, double x, double y);

// Runs the operations in order on the cells.
void runOperations(const std::vector<Operation>& operations, double* cells);

// A whole power x^n multiplies n - 1 times, as written, which is how its results have always rounded; from
// this exponent on one library power serves, so that a huge exponent ends at once.
inline constexpr int kMostRepeatedMultiplications = 1024;
// The multiplications the whole powers of this thread have done so far (a library power counts one): what a
// test counts to see that a huge exponent ends at once.
std::uint64_t wholePowerMultiplications();

}  // namespace kimport
