// What the field transformation needs of the formulas: a text formula's
// result and a number formula's value, both against the source's current
// record. A formula that cannot be evaluated throws; the caller counts a
// field error.
#pragma once

#include <string>

namespace kimport {

class Table;

class FormulaEvaluator {
public:
    virtual ~FormulaEvaluator() = default;
    virtual std::string evalText(const std::string& formula, Table& source) = 0;
    virtual double evalNumber(const std::string& formula, Table& source) = 0;
};

}  // namespace kimport
