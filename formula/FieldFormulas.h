// The formulas as the import run uses them: each failure (the three formula
// messages, an expression that does not compile, a floating-point error) is
// thrown as a FormulaError and counted by the run as a field error, without a
// message box per record.
#pragma once

#include "common/FormatSettings.h"
#include "formula/FormulaEvaluator.h"
#include "formula/TParser.h"

namespace kimport {

class FieldFormulas : public FormulaEvaluator {
public:
    // formats: the process-wide formats, read at every call.
    explicit FieldFormulas(const FormatSettings& formats) : formats_(formats) {}

    std::string evalText(const std::string& formula, Table& source) override;
    double evalNumber(const std::string& formula, Table& source) override;

private:
    const FormatSettings& formats_;
    TParser parser_;  // silent: the run counts instead of showing
};

}  // namespace kimport
