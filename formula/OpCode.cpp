#include "formula/OpCode.h"

#include <array>
#include <utility>

namespace kimport {

namespace {

using Named = std::pair<std::string_view, OpCode>;

constexpr std::array<Named, 13> kOneArgument{{
    {"COS", OpCode::Cos},
    {"SIN", OpCode::Sin},
    {"EXP", OpCode::Exp},
    {"LN", OpCode::Ln},
    {"ARCTAN", OpCode::ArcTan},
    {"SQRT", OpCode::Sqrt},
    {"ABS", OpCode::Abs},
    {"HEAV", OpCode::Heav},
    {"SIGN", OpCode::Sign},
    {"ZERO", OpCode::Zero},
    {"PH", OpCode::Ph},
    {"SINH", OpCode::Sinh},
    {"COSH", OpCode::Cosh},
}};

constexpr std::array<Named, 6> kTwoArguments{{
    {"MIN", OpCode::Min},
    {"MAX", OpCode::Max},
    {"RN", OpCode::Rn},
    {"ARG", OpCode::Arg},
    {"R", OpCode::R},
    {"RM", OpCode::Rm},
}};

template <std::size_t N>
std::optional<OpCode> find(const std::array<Named, N>& names, std::string_view name) {
    for (const auto& [n, code] : names)
        if (n == name) return code;
    return std::nullopt;
}

}  // namespace

std::optional<OpCode> oneArgumentFunction(std::string_view upperName) {
    return find(kOneArgument, upperName);
}
std::optional<OpCode> twoArgumentFunction(std::string_view upperName) {
    return find(kTwoArguments, upperName);
}

std::string_view opName(OpCode code) {
    for (const auto& [n, c] : kOneArgument)
        if (c == code) return n;
    for (const auto& [n, c] : kTwoArguments)
        if (c == code) return n;
    switch (code) {
        case OpCode::Variable:
            return "VAR";
        case OpCode::Number:
            return "NUM";
        case OpCode::Negate:
            return "NEG";
        case OpCode::Add:
            return "ADD";
        case OpCode::Subtract:
            return "SUB";
        case OpCode::Multiply:
            return "MUL";
        case OpCode::Divide:
            return "DIV";
        case OpCode::WholePower:
            return "IPOW";
        case OpCode::GeneralPower:
            return "POW";
        case OpCode::Square:
            return "SQR";
        case OpCode::Cube:
            return "CUBE";
        case OpCode::FourthPower:
            return "QUAD";
        default:
            return "?";
    }
}

int operandCount(OpCode code) {
    switch (code) {
        case OpCode::Variable:
        case OpCode::Number:
            return 0;
        case OpCode::Add:
        case OpCode::Subtract:
        case OpCode::Multiply:
        case OpCode::Divide:
        case OpCode::WholePower:
        case OpCode::GeneralPower:
        case OpCode::Max:
        case OpCode::Min:
        case OpCode::Rn:
        case OpCode::Arg:
        case OpCode::R:
        case OpCode::Rm:
            return 2;
        default:
            return 1;
    }
}

std::optional<int> variableIndex(std::string_view upperName) {
    if (upperName.size() != 1) return std::nullopt;
    std::size_t at = kVariableNames.find(upperName[0]);
    if (at == std::string_view::npos) return std::nullopt;
    return static_cast<int>(at);
}

}  // namespace kimport
