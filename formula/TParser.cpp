#include "formula/TParser.h"

#include "formula/FormulaErrors.h"
#include "formula/P8Operations.h"

#include <algorithm>
#include <stdexcept>

namespace kimport {

void TParser::SetExpression(std::string_view text) {
    expression_ = std::string(text);
    program_ = {};
    CompileResult result = compileExpression(expression_);
    error_ = result.error;
    if (error_ != CompileError::None) {
        if (prompter_) prompter_->message(MsgKind::Warning, Buttons::Ok, compileMessage(error_));
        return;
    }
    program_ = std::move(result.program);
}

double TParser::Value() {
    if (error_ != CompileError::None || program_.operations.empty())
        throw ExpressionError("Der Ausdruck konnte nicht übersetzt werden");
    std::copy(variables_.begin(), variables_.end(), program_.cells.begin());
    runOperations(program_.operations, program_.cells.data());
    return program_.cells[program_.operations.back().result];
}

double& TParser::Variable(char name) {
    char upper = (name >= 'a' && name <= 'z') ? static_cast<char>(name - 'a' + 'A') : name;
    auto index = variableIndex(std::string_view(&upper, 1));
    if (!index) throw std::invalid_argument(std::string("no variable ") + name);
    return variables_[static_cast<std::size_t>(*index)];
}

}  // namespace kimport
