#include "formula/P8Recognise.h"

#include <charconv>
#include <cmath>
#include <numbers>
#include <vector>

namespace kimport {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

// End of the number starting at from (no sign), or from when there is none.
std::size_t scanNumber(std::string_view s, std::size_t from) {
    std::size_t k = from, digits = 0;
    while (k < s.size() && isDigit(s[k])) ++k, ++digits;
    if (k < s.size() && s[k] == '.') {
        ++k;
        while (k < s.size() && isDigit(s[k])) ++k, ++digits;
    }
    if (digits == 0) return from;
    if (k < s.size() && s[k] == 'E') {
        std::size_t m = k + 1;
        if (m < s.size() && (s[m] == '+' || s[m] == '-')) ++m;
        if (m < s.size() && isDigit(s[m])) {
            while (m < s.size() && isDigit(s[m])) ++m;
            k = m;
        }
    }
    return k;
}

std::optional<double> convert(std::string_view literal) {
    if (!literal.empty() && literal[0] == '+') literal.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(literal.data(), literal.data() + literal.size(), value);
    if (ec != std::errc() || end != literal.data() + literal.size()) return std::nullopt;
    return value;
}

// The class of a recognised part, as far as the operand rules ask for it.
// F stands for functions and powers of every kind.
enum class Cls : unsigned char { V, N, B, U, Add, Sub, Mul, Div, F };

struct Operand {
    int node;
    Cls cls;
};

enum class Item : unsigned char { Operand, Negate, Plus, Minus, Star, Slash, Caret };

struct Entry {
    Item kind;
    Operand operand;
};

struct Frame {
    enum class Kind : unsigned char { Top, Bracket, OneArgument, TwoArguments } kind;
    OpCode code;
    std::size_t begin;  // first entry of this frame
    int firstArgument = -1;
};

class Recogniser {
public:
    explicit Recogniser(std::string_view s) : s_(s) {}

    std::optional<ExprTree> run() {
        frames_.push_back({Frame::Kind::Top, OpCode::Number, 0});
        bool expectOperand = true;
        std::size_t i = 0;
        const std::size_t n = s_.size();
        while (i < n) {
            const char c = s_[i];
            if (expectOperand) {
                if (c == '+' || c == '-') {
                    std::size_t end = scanNumber(s_, i + 1);
                    if (end > i + 1) {
                        // "-2^2" is minus (2^2): a unary minus is tried before powers.
                        if (c == '-' && end < n && s_[end] == '^') {
                            entries_.push_back({Item::Negate, {}});
                            ++i;
                            continue;
                        }
                        if (!number(s_.substr(i, end - i))) return std::nullopt;
                        i = end;
                        expectOperand = false;
                        continue;
                    }
                    if (c == '+') return std::nullopt;  // no unary plus
                    entries_.push_back({Item::Negate, {}});
                    ++i;
                    continue;
                }
                if (isDigit(c) || c == '.') {
                    std::size_t end = scanNumber(s_, i);
                    if (end == i || !number(s_.substr(i, end - i))) return std::nullopt;
                    i = end;
                    expectOperand = false;
                    continue;
                }
                if (isUpper(c)) {
                    std::size_t end = i;
                    while (end < n && isUpper(s_[end])) ++end;
                    std::string_view word = s_.substr(i, end - i);
                    const bool call = end < n && s_[end] == '(';
                    if (call) {
                        if (auto code = oneArgumentFunction(word))
                            frames_.push_back({Frame::Kind::OneArgument, *code, entries_.size()});
                        else if (auto code2 = twoArgumentFunction(word))
                            frames_.push_back({Frame::Kind::TwoArguments, *code2, entries_.size()});
                        else
                            return std::nullopt;
                        i = end + 1;
                        continue;
                    }
                    if (word == "PI") {
                        push({tree_.add({OpCode::Number, -1, -1, std::numbers::pi}), Cls::N});
                    } else if (auto v = variableIndex(word)) {
                        ExprNode node;
                        node.code = OpCode::Variable;
                        node.variable = *v;
                        push({tree_.add(node), Cls::V});
                    } else {
                        return std::nullopt;
                    }
                    i = end;
                    expectOperand = false;
                    continue;
                }
                if (c == '(') {
                    frames_.push_back({Frame::Kind::Bracket, OpCode::Number, entries_.size()});
                    ++i;
                    continue;
                }
                return std::nullopt;
            }
            // After an operand.
            switch (c) {
                case '+':
                    entries_.push_back({Item::Plus, {}});
                    break;
                case '-':
                    entries_.push_back({Item::Minus, {}});
                    break;
                case '*':
                    entries_.push_back({Item::Star, {}});
                    break;
                case '/':
                    entries_.push_back({Item::Slash, {}});
                    break;
                case '^':
                    entries_.push_back({Item::Caret, {}});
                    break;
                case ',': {
                    Frame& f = frames_.back();
                    if (f.kind != Frame::Kind::TwoArguments || f.firstArgument >= 0) return std::nullopt;
                    auto first = reduce(f.begin);
                    if (!first) return std::nullopt;
                    f.firstArgument = first->node;
                    entries_.resize(f.begin);
                    break;
                }
                case ')': {
                    if (frames_.size() < 2) return std::nullopt;
                    Frame f = frames_.back();
                    auto inner = reduce(f.begin);
                    if (!inner) return std::nullopt;
                    entries_.resize(f.begin);
                    frames_.pop_back();
                    if (f.kind == Frame::Kind::Bracket) {
                        push({inner->node, Cls::B});
                    } else if (f.kind == Frame::Kind::OneArgument) {
                        push({tree_.add({f.code, inner->node, -1, 0}), Cls::F});
                    } else {
                        if (f.firstArgument < 0) return std::nullopt;
                        push({tree_.add({f.code, f.firstArgument, inner->node, 0}), Cls::F});
                    }
                    ++i;
                    continue;  // an operand again
                }
                default:
                    return std::nullopt;
            }
            ++i;
            expectOperand = true;
        }
        if (expectOperand || frames_.size() != 1) return std::nullopt;
        auto root = reduce(0);
        if (!root) return std::nullopt;
        tree_.root = root->node;
        return std::move(tree_);
    }

private:
    bool number(std::string_view literal) {
        auto value = convert(literal);
        if (!value) return false;
        push({tree_.add({OpCode::Number, -1, -1, *value}), Cls::N});
        return true;
    }

    void push(Operand operand) { entries_.push_back({Item::Operand, operand}); }

    int node(OpCode code, int first, int second = -1) { return tree_.add({code, first, second, 0}); }

    const ExprNode& at(int index) const { return tree_.nodes[static_cast<std::size_t>(index)]; }

    // A base followed by "^" and exponents. Every exponent but the last must be
    // 2, 3 or 4, since only those powers may serve as a base again.
    std::optional<Operand> power(std::size_t& i, std::size_t end) {
        Operand acc = entries_[i++].operand;
        while (i < end && entries_[i].kind == Item::Caret) {
            ++i;
            if (i >= end || entries_[i].kind != Item::Operand) return std::nullopt;
            Operand e = entries_[i++].operand;
            const bool last = !(i < end && entries_[i].kind == Item::Caret);
            const double y = e.cls == Cls::N ? at(e.node).number : 0;
            if (e.cls == Cls::N && (y == 2 || y == 3 || y == 4)) {
                OpCode code = y == 2 ? OpCode::Square : y == 3 ? OpCode::Cube : OpCode::FourthPower;
                acc = {node(code, acc.node), Cls::F};
            } else if (!last) {
                return std::nullopt;
            } else if (e.cls == Cls::N && std::trunc(y) == y) {
                acc = {node(OpCode::WholePower, acc.node, e.node), Cls::F};
            } else {
                acc = {node(OpCode::GeneralPower, acc.node, e.node), Cls::F};
            }
        }
        return acc;
    }

    // The entries of one frame from begin to the end, read as a term of any form.
    std::optional<Operand> reduce(std::size_t begin) {
        const std::size_t end = entries_.size();
        elems_.clear();
        ops_.clear();
        std::size_t i = begin;
        if (i == end) return std::nullopt;
        for (;;) {
            bool negate = false;
            if (entries_[i].kind == Item::Negate) {
                negate = true;
                ++i;
            }
            if (i >= end || entries_[i].kind != Item::Operand) return std::nullopt;
            auto p = power(i, end);
            if (!p) return std::nullopt;
            if (negate) {
                // A unary minus takes a variable, bracket, function or power, not a number.
                if (p->cls == Cls::N) return std::nullopt;
                p = Operand{node(OpCode::Negate, p->node), Cls::U};
            }
            elems_.push_back(*p);
            if (i == end) break;
            Item op = entries_[i].kind;
            if (op != Item::Plus && op != Item::Minus && op != Item::Star && op != Item::Slash) return std::nullopt;
            ops_.push_back(op);
            if (++i == end) return std::nullopt;
        }
        return combine();
    }

    // Operands joined by + - * /, combined by the operand rules.
    std::optional<Operand> combine() {
        // "/": left-associative; its right operand is no unary minus.
        quots_.clear();
        outer_.clear();
        Operand cur = elems_[0];
        for (std::size_t k = 0; k < ops_.size(); ++k) {
            const Operand& r = elems_[k + 1];
            if (ops_[k] == Item::Slash) {
                if (r.cls == Cls::U) return std::nullopt;
                cur = {node(OpCode::Divide, cur.node, r.node), Cls::Div};
            } else {
                quots_.push_back(cur);
                outer_.push_back(ops_[k]);
                cur = r;
            }
        }
        quots_.push_back(cur);

        // "*": right-associative (the first "*" splits); a bare unary minus is no right operand.
        terms_.clear();
        termOps_.clear();
        std::size_t runStart = 0;
        for (std::size_t k = 0; k <= outer_.size(); ++k) {
            if (k < outer_.size() && outer_[k] == Item::Star) continue;
            Operand acc = quots_[k];
            if (k > runStart && acc.cls == Cls::U) return std::nullopt;
            for (std::size_t j = k; j-- > runStart;) acc = {node(OpCode::Multiply, quots_[j].node, acc.node), Cls::Mul};
            terms_.push_back(acc);
            if (k < outer_.size()) termOps_.push_back(outer_[k]);
            runStart = k + 1;
        }

        // "-": left-associative; "+": right-associative; neither takes a bare unary minus on the right.
        diffs_.clear();
        Operand diff = terms_[0];
        for (std::size_t k = 0; k < termOps_.size(); ++k) {
            const Operand& r = terms_[k + 1];
            if (termOps_[k] == Item::Minus) {
                if (r.cls == Cls::U) return std::nullopt;
                diff = {node(OpCode::Subtract, diff.node, r.node), Cls::Sub};
            } else {
                diffs_.push_back(diff);
                diff = r;
            }
        }
        Operand acc = diff;
        if (!diffs_.empty() && acc.cls == Cls::U) return std::nullopt;
        for (std::size_t j = diffs_.size(); j-- > 0;) acc = {node(OpCode::Add, diffs_[j].node, acc.node), Cls::Add};
        return acc;
    }

    std::string_view s_;
    ExprTree tree_;
    std::vector<Entry> entries_;
    std::vector<Frame> frames_;
    // Scratch of reduce(), kept to spare allocations.
    std::vector<Operand> elems_, quots_, terms_, diffs_;
    std::vector<Item> ops_, outer_, termOps_;
};

}  // namespace

std::string normaliseExpression(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == ' ') continue;
        out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
}

std::optional<double> readNumberLiteral(std::string_view text) {
    std::size_t start = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (scanNumber(text, start) != text.size() || text.size() == start) return std::nullopt;
    return convert(text);
}

std::optional<ExprTree> recogniseExpression(std::string_view normalised) {
    return Recogniser(normalised).run();
}

}  // namespace kimport
