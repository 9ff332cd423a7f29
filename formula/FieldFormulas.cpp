#include "formula/FieldFormulas.h"

#include "formula/Formel.h"

namespace kimport {

std::string FieldFormulas::evalText(const std::string& formula, Table& source) {
    return EvalTextFormulaOrThrow(formula, source, formats_);
}

double FieldFormulas::evalNumber(const std::string& formula, Table& source) {
    return EvalNumberFormula(formula, source, formats_, parser_);
}

}  // namespace kimport
