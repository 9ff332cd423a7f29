#include "formula/P8Build.h"

#include "formula/P8Recognise.h"

#include <array>
#include <utility>

namespace kimport {

const char* compileMessage(CompileError error) {
    switch (error) {
        case CompileError::None:
            return "";
        case CompileError::Syntax:
            return "Syntax Error!";
        case CompileError::Nesting:
            return "Too many nestings!";
        case CompileError::TermTooLong:
            return "Term too long, sorry!";
    }
    return "";
}

CompileResult buildProgram(const ExprTree& tree) {
    CompileResult out;
    Program& program = out.program;
    program.cells.assign(kVariableCells, 0.0);
    const auto& nodes = tree.nodes;

    auto leafCell = [&](const ExprNode& node) -> std::uint32_t {
        if (node.code == OpCode::Variable) return static_cast<std::uint32_t>(node.variable);
        program.cells.push_back(node.number);
        return static_cast<std::uint32_t>(program.cells.size() - 1);
    };

    const ExprNode& root = nodes[static_cast<std::size_t>(tree.root)];
    if (root.code == OpCode::Variable || root.code == OpCode::Number) {
        std::uint32_t cell = leafCell(root);
        program.operations.push_back({root.code, cell, cell, cell});
        return out;
    }

    // Preorder, first operand before second, so the first limit met is the
    // one the builder would meet making the terms in that order.
    std::array<int, kMaxNesting + 1> perLevel{};
    std::array<std::vector<int>, kMaxNesting + 1> operationsOf;  // nodes by level, in order made
    std::vector<std::uint32_t> cellOf(nodes.size(), 0);
    std::vector<std::pair<int, int>> stack{{tree.root, 0}};
    while (!stack.empty()) {
        auto [index, level] = stack.back();
        stack.pop_back();
        if (level > kMaxNesting) {
            out.error = CompileError::Nesting;
            out.program = {};
            return out;
        }
        if (++perLevel[static_cast<std::size_t>(level)] > kMaxTermsPerLevel) {
            out.error = CompileError::TermTooLong;
            out.program = {};
            return out;
        }
        const ExprNode& node = nodes[static_cast<std::size_t>(index)];
        if (node.code == OpCode::Variable || node.code == OpCode::Number) {
            cellOf[static_cast<std::size_t>(index)] = leafCell(node);
            continue;
        }
        program.cells.push_back(0.0);
        cellOf[static_cast<std::size_t>(index)] = static_cast<std::uint32_t>(program.cells.size() - 1);
        operationsOf[static_cast<std::size_t>(level)].push_back(index);
        if (node.second >= 0) stack.emplace_back(node.second, level + 1);
        stack.emplace_back(node.first, level + 1);
    }

    for (std::size_t level = operationsOf.size(); level-- > 0;) {
        for (int index : operationsOf[level]) {
            const ExprNode& node = nodes[static_cast<std::size_t>(index)];
            std::uint32_t first = cellOf[static_cast<std::size_t>(node.first)];
            std::uint32_t second = node.second >= 0 ? cellOf[static_cast<std::size_t>(node.second)] : first;
            program.operations.push_back({node.code, first, second, cellOf[static_cast<std::size_t>(index)]});
        }
    }
    return out;
}

CompileResult compileExpression(std::string_view text) {
    auto tree = recogniseExpression(normaliseExpression(text));
    if (!tree) {
        CompileResult out;
        out.error = CompileError::Syntax;
        return out;
    }
    return buildProgram(*tree);
}

}  // namespace kimport
