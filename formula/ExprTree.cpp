#include "formula/ExprTree.h"

#include <charconv>
#include <utility>

namespace kimport {

namespace {

void appendNumber(std::string& out, double value) {
    char buf[40];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, ec == std::errc() ? end : buf);
}

}  // namespace

std::string describe(const ExprTree& tree) {
    std::string out;
    if (tree.root < 0) return out;
    // (node, next operand to write); iterative because trees may be thousands deep.
    std::vector<std::pair<int, int>> stack{{tree.root, 0}};
    while (!stack.empty()) {
        auto& [index, step] = stack.back();
        const ExprNode& node = tree.nodes[static_cast<std::size_t>(index)];
        if (node.code == OpCode::Variable) {
            out += kVariableNames[static_cast<std::size_t>(node.variable)];
            stack.pop_back();
            continue;
        }
        if (node.code == OpCode::Number) {
            appendNumber(out, node.number);
            stack.pop_back();
            continue;
        }
        const int count = node.second >= 0 ? 2 : 1;
        if (step == 0) {
            out += opName(node.code);
            out += '(';
            step = 1;
            stack.emplace_back(node.first, 0);
        } else if (step == 1 && count == 2) {
            out += ',';
            step = 2;
            stack.emplace_back(node.second, 0);
        } else {
            out += ')';
            stack.pop_back();
        }
    }
    return out;
}

}  // namespace kimport
