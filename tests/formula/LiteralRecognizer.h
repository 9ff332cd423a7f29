// The recognition rules of expressions transcribed word for word: every form
// tried in its order on the text itself, every split position tried from the
// left with the bracket counts and the operand tables. Slow (memoised, for
// short texts only), but plainly right; the tests and the fuzz target compare
// the one-pass reader against it.
#pragma once

#include "formula/OpCode.h"
#include "formula/P8Recognise.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kimport::test {

class LiteralRecognizer {
public:
    // The tree in the form of describe(), or nothing for a syntax error.
    std::optional<std::string> recognise(std::string_view raw) {
        memo_.clear();
        text_ = normaliseExpression(raw);
        std::string_view t = text_;
        while (t.size() >= 2 && t.front() == '(' && t.back() == ')' && formOf(t.substr(1, t.size() - 2)).form != None)
            t = t.substr(1, t.size() - 2);
        Result r = firstFit(t);
        if (r.form == None) return std::nullopt;
        return r.tree;
    }

private:
    enum Form { None, Variable, Number, Bracketed, Unary, Add, Sub, Mul, Div, Func1, Small, Whole, General, Func2 };
    struct Result {
        Form form = None;
        std::string tree;
        double value = 0;
    };

    static bool in(Form f, std::initializer_list<Form> set) {
        return std::find(set.begin(), set.end(), f) != set.end();
    }

    static bool balanced(std::string_view s) {
        return std::count(s.begin(), s.end(), '(') == std::count(s.begin(), s.end(), ')');
    }

    static std::string number(double v) {
        char buf[40];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
        return std::string(buf, ec == std::errc() ? end : buf);
    }

    // A part as an operand sees it: bracketed, or the first form that fits.
    Result formOf(std::string_view s) {
        auto key = std::make_pair(static_cast<std::size_t>(s.data() - text_.data()), s.size());
        if (auto it = memo_.find(key); it != memo_.end()) return it->second;
        Result r;
        if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
            Result inner = formOf(s.substr(1, s.size() - 2));
            if (inner.form != None) r = {Bracketed, inner.tree, 0};
        }
        if (r.form == None) r = firstFit(s);
        memo_[key] = r;
        return r;
    }

    bool bracketed(std::string_view s) { return formOf(s).form == Bracketed; }

    Result firstFit(std::string_view s) {
        if (s.empty()) return {};
        if (auto v = variableIndex(s))
            return {Variable, std::string(1, kVariableNames[static_cast<std::size_t>(*v)]), 0};
        if (s == "PI") return {Number, number(std::numbers::pi), std::numbers::pi};
        if (auto v = readNumberLiteral(s)) return {Number, number(*v), *v};
        if (s[0] == '-' && s.size() > 1) {
            Result rest = formOf(s.substr(1));
            if (in(rest.form, {Bracketed, Variable, Func1, Small, Func2, Whole, General}))
                return {Unary, "NEG(" + rest.tree + ")", 0};
        }
        const std::initializer_list<Form> F = {Func1, Small, Whole, General, Func2};
        auto with = [](std::initializer_list<Form> a, std::initializer_list<Form> b) {
            std::string set;
            for (Form f : a) set += static_cast<char>('a' + f);
            for (Form f : b) set += static_cast<char>('a' + f);
            return set;
        };
        if (auto r = binary(s, '+', Add, "ADD", with({Variable, Number, Bracketed, Unary, Sub, Mul, Div}, F),
                            with({Variable, Number, Bracketed, Add, Sub, Mul, Div}, F)))
            return *r;
        if (auto r = binary(s, '-', Sub, "SUB", with({Variable, Number, Bracketed, Unary, Sub, Mul, Div}, F),
                            with({Variable, Number, Bracketed, Mul, Div}, F)))
            return *r;
        if (auto r = binary(s, '*', Mul, "MUL", with({Variable, Number, Bracketed, Unary, Div}, F),
                            with({Variable, Number, Bracketed, Mul, Div}, F)))
            return *r;
        if (auto r = binary(s, '/', Div, "DIV", with({Variable, Number, Bracketed, Unary, Div}, F),
                            with({Variable, Number, Bracketed}, F)))
            return *r;
        for (std::string_view name :
             {"COS", "SIN", "EXP", "LN", "ARCTAN", "SQRT", "ABS", "HEAV", "SIGN", "ZERO", "PH", "SINH", "COSH"}) {
            if (s.substr(0, name.size()) == name && bracketed(s.substr(name.size())))
                return {Func1, std::string(name) + "(" + formOf(s.substr(name.size())).tree + ")", 0};
        }
        for (Form kind : {Small, Whole, General})
            if (auto r = power(s, kind)) return *r;
        for (std::string_view name : {"MIN", "MAX", "RN", "ARG", "R", "RM"}) {
            if (s.substr(0, name.size()) != name) continue;
            std::string_view rest = s.substr(name.size());
            if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')') continue;
            std::string_view args = rest.substr(1, rest.size() - 2);
            for (std::size_t c = args.find(','); c != std::string_view::npos; c = args.find(',', c + 1)) {
                Result l = formOf(args.substr(0, c)), r = formOf(args.substr(c + 1));
                if (l.form != None && r.form != None)
                    return {Func2, std::string(name) + "(" + l.tree + "," + r.tree + ")", 0};
            }
        }
        return {};
    }

    std::optional<Result> binary(std::string_view s, char op, Form form, const char* name, const std::string& left,
                                 const std::string& right) {
        for (std::size_t p = 1; p + 1 < s.size(); ++p) {
            if (s[p] != op) continue;
            std::string_view l = s.substr(0, p), r = s.substr(p + 1);
            if (!balanced(l) || !balanced(r)) continue;
            Result fl = formOf(l), fr = formOf(r);
            if (fl.form == None || fr.form == None) continue;
            if (left.find(static_cast<char>('a' + fl.form)) == std::string::npos) continue;
            if (right.find(static_cast<char>('a' + fr.form)) == std::string::npos) continue;
            return Result{form, std::string(name) + "(" + fl.tree + "," + fr.tree + ")", 0};
        }
        return std::nullopt;
    }

    std::optional<Result> power(std::string_view s, Form kind) {
        for (std::size_t p = 1; p + 1 < s.size(); ++p) {
            if (s[p] != '^') continue;
            std::string_view l = s.substr(0, p), r = s.substr(p + 1);
            if (!balanced(l) || !balanced(r)) continue;
            Result base = formOf(l);
            if (!in(base.form, {Variable, Number, Bracketed, Func1, Small, Func2})) continue;
            Result e = formOf(r);
            const bool num = e.form == Number;
            const bool small = num && (e.value == 2 || e.value == 3 || e.value == 4);
            const bool whole = num && std::trunc(e.value) == e.value;
            if (kind == Small && small) {
                const char* n = e.value == 2 ? "SQR(" : e.value == 3 ? "CUBE(" : "QUAD(";
                return Result{Small, n + base.tree + ")", 0};
            }
            if (kind == Whole && whole && !small) return Result{Whole, "IPOW(" + base.tree + "," + e.tree + ")", 0};
            if (kind == General && ((num && !whole) || in(e.form, {Variable, Bracketed, Func1, Func2})))
                return Result{General, "POW(" + base.tree + "," + e.tree + ")", 0};
        }
        return std::nullopt;
    }

    std::string text_;
    std::map<std::pair<std::size_t, std::size_t>, Result> memo_;
};

}  // namespace kimport::test
