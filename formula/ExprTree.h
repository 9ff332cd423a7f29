// The tree of a recognised expression: nodes in one array, children by index,
// so that neither building nor freeing a very deep tree recurses.
#pragma once

#include "formula/OpCode.h"

#include <string>
#include <vector>

namespace kimport {

struct ExprNode {
    OpCode code = OpCode::Number;
    int first = -1;   // first operand node
    int second = -1;  // second operand node; the exponent of a whole-number power
    double number = 0;
    int variable = 0;  // index into kVariableNames
};

struct ExprTree {
    std::vector<ExprNode> nodes;
    int root = -1;

    int add(const ExprNode& node) {
        nodes.push_back(node);
        return static_cast<int>(nodes.size()) - 1;
    }
};

// A canonical text of the tree, e.g. "SUB(SUB(A,B),C)"; numbers in their
// shortest round-trip form. Tests compare trees by it.
std::string describe(const ExprTree& tree);

}  // namespace kimport
