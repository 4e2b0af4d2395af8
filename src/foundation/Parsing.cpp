#include "foundation/Parsing.h"
#include "platform/Rounding.h"
#include "platform/VariantOps.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

enum class T_CompiledExpression::Op : uint8_t {
    Const,
    Var,
    Neg,
    Not,
    Add,
    Sub,
    Or,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Mul,
    Div,
    And,
    Pow,
    Func,
    UserFunc,
    Raise,
};

using Op = T_CompiledExpression::Op;

namespace {

enum Fn : uint8_t {
    fnArctan,
    fnCos,
    fnSin,
    fnTan,
    fnAbs,
    fnExp,
    fnLn,
    fnLog,
    fnSqrt,
    fnSqr,
    fnInt,
    fnFrac,
    fnTrunc,
    fnRound,
    fnArcsin,
    fnArccos,
    fnSign,
    fnNot,
    fnIf,
    fnCount
};

struct Builtin {
    const char* name;
    int argc;
};

constexpr Builtin kBuiltins[fnCount] = {
    {"ARCTAN", 1},
    {"COS", 1},
    {"SIN", 1},
    {"TAN", 1},
    {"ABS", 1},
    {"EXP", 1},
    {"LN", 1},
    {"LOG", 1},
    {"SQRT", 1},
    {"SQR", 1},
    {"INT", 1},
    {"FRAC", 1},
    {"TRUNC", 1},
    {"ROUND", 1},
    {"ARCSIN", 1},
    {"ARCCOS", 1},
    {"SIGN", 1},
    {"NOT", 1},
    {"IF", 3},
};

int FindBuiltin(const QString& name)
{
    for (int i = 0; i < fnCount; ++i)
        if (name == QLatin1String(kBuiltins[i].name))
            return i;
    return -1;
}

bool IsBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0 || u == '\t' || u == '\n' || u == '\r' || u == ' ';
}

// What may follow a number, E or PI.
bool IsNumberDelimiter(QChar c)
{
    const char16_t u = c.unicode();
    return IsBlank(c) || (u < 128 && std::strchr("\"'),*+,-/:;<=>]^", static_cast<char>(u)) != nullptr);
}

// What may follow a name or a string literal.
bool IsIdentDelimiter(QChar c) { return IsNumberDelimiter(c) || c == u'(' || c == u'['; }

bool IsLatinLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

bool IsDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }

// A value from outside (a variable, a function handler) must be a finite number.
void CheckValue(const Variant& v, int pos)
{
    const VarType t = v.Type();
    if ((t == VarType::Double || t == VarType::Single || t == VarType::Date) && !std::isfinite(v.AsDouble()))
        RaiseParserError(peFloatingPointError, pos);
}

// The stack of compiled code: a Cell per value, and a Variant beside it
// only for values that are no real, integer or Boolean.
using Cell = T_CompiledExpression::Cell;
enum : uint8_t { kReal, kInt, kBool, kBoxed };

// Made on the first value that needs one: most formulas never do.
class Boxes {
public:
    explicit Boxes(int size) : size_(size) {}
    Variant& operator[](int i)
    {
        if (v_.empty())
            v_.resize(size_);
        return v_[i];
    }

private:
    int size_;
    std::vector<Variant> v_;
};

void Unbox(Variant&& v, Cell& c, Boxes& boxes, int i)
{
    switch (v.Type()) {
    case VarType::Double:
        c.tag = kReal;
        c.d = v.AsDouble();
        return;
    case VarType::Integer:
        c.tag = kInt;
        c.i = v.AsInteger();
        return;
    case VarType::Boolean:
        c.tag = kBool;
        c.i = v.AsBoolean() ? -1 : 0;
        return;
    default:
        c.tag = kBoxed;
        boxes[i] = std::move(v);
        return;
    }
}

template <typename T> bool Compared(Op op, T x, T y)
{
    switch (op) {
    case Op::Eq: return x == y;
    case Op::Ne: return x != y;
    case Op::Lt: return x < y;
    case Op::Le: return x <= y;
    case Op::Gt: return x > y;
    default: return x >= y;
    }
}

Cell RealCell(double d) { return {kReal, 0, d}; }
Cell IntCell(int i) { return {kInt, i, 0.0}; }

// A real, integer or Boolean cell as a Variant.
Variant NumberVariant(const Cell& c)
{
    switch (c.tag) {
    case kReal: return Variant(c.d);
    case kInt: return Variant(c.i);
    default: return Variant(c.i != 0);
    }
}

double RealOf(const Cell& c) { return c.tag == kReal ? c.d : double(c.i); }

Variant Box(const Cell& c, Boxes& boxes, int i)
{
    switch (c.tag) {
    case kReal: return Variant(c.d);
    case kInt: return Variant(c.i);
    case kBool: return Variant(c.i != 0);
    default: return std::move(boxes[i]);
    }
}

double Power(double x, double y, int pos)
{
    if (y == 0.0)
        return 1.0;
    if (x == 0.0) {
        if (y > 0.0)
            return 0.0;
        RaiseParserError(peDivisionByZero, pos);
    }
    // Small integral exponents multiply out, as the old runtime did on its
    // extended-precision unit; huge ones must not loop.
    if (y == std::trunc(y) && std::fabs(y) <= 64.0) {
        long double r = 1.0L;
        for (int i = static_cast<int>(std::fabs(y)); i > 0; --i)
            r *= x;
        if (y < 0.0)
            r = 1.0L / r;
        return CheckFloat(static_cast<double>(r));
    }
    if (x < 0.0 && y != std::trunc(y))
        RaiseInvalidOp();
    return CheckFloat(static_cast<double>(std::pow(static_cast<long double>(x), static_cast<long double>(y))));
}

void ApplyUnary(Op op, Variant& a, int pos)
{
    try {
        a = op == Op::Neg ? VarNeg(a) : VarNot(a);
    } catch (const EExpressionParserError&) {
        throw;
    } catch (const Exception&) {
        RaiseParserError(peFloatingPointError, pos);
    }
}

// a := a op b; a failure of "/" is 65176, of the others 65179, at the operator.
void ApplyBinary(Op op, Variant& a, const Variant& b, int pos)
{
    try {
        switch (op) {
        case Op::Add: a = VarAdd(a, b); return;
        case Op::Sub: a = VarSub(a, b); return;
        case Op::Or: a = VarOr(a, b); return;
        case Op::Eq: a = Variant(VarCompare(a, b) == 0); return;
        case Op::Ne: a = Variant(VarCompare(a, b) != 0); return;
        case Op::Lt: a = Variant(VarCompare(a, b) < 0); return;
        case Op::Le: a = Variant(VarCompare(a, b) <= 0); return;
        case Op::Gt: a = Variant(VarCompare(a, b) > 0); return;
        case Op::Ge: a = Variant(VarCompare(a, b) >= 0); return;
        case Op::Mul: a = VarMul(a, b); return;
        case Op::Div: a = VarDiv(a, b); return;
        case Op::And: a = VarAnd(a, b); return;
        case Op::Pow: a = Variant(Power(a.AsDouble(), b.AsDouble(), pos)); return;
        default: return;
        }
    } catch (const EExpressionParserError&) {
        throw;
    } catch (const Exception&) {
        RaiseParserError(op == Op::Div ? peDivisionByZero : peFloatingPointError, pos);
    }
}

// A built-in function of one real argument.
[[gnu::always_inline]] inline Cell FunctionOfReal(int fn, double x, int pos)
{
    switch (fn) {
    case fnArctan: return RealCell(std::atan(x));
    case fnCos: return RealCell(std::cos(x));
    case fnSin: return RealCell(std::sin(x));
    case fnTan: {
        const double c = std::cos(x);
        if (c == 0.0)
            RaiseParserError(peDivisionByZero, pos);
        return RealCell(CheckFloat(std::sin(x) / c));
    }
    case fnAbs: return RealCell(std::fabs(x));
    case fnExp: return RealCell(CheckFloat(std::exp(x)));
    case fnLn:
    case fnLog:
        if (x <= 0.0)
            RaiseParserError(peNegativeLogarithm, pos);
        return RealCell(fn == fnLn ? std::log(x) : std::log10(x));
    case fnSqrt:
        if (x < 0.0)
            RaiseParserError(peNegativeRoot, pos);
        return RealCell(std::sqrt(x));
    case fnSqr: return RealCell(CheckFloat(x * x));
    case fnInt:
    case fnTrunc: return IntCell(TruncToInt(x));
    case fnFrac: return RealCell(x - std::trunc(x));
    case fnRound: return IntCell(RoundToInt(x));
    case fnArcsin:
        if (std::fabs(x) > 1.0)
            RaiseInvalidOp();
        if (std::fabs(x) == 1.0)
            return RealCell(std::copysign(std::numbers::pi / 2, x));
        return RealCell(std::atan(x / std::sqrt(1.0 - x * x)));
    case fnArccos:
        if (std::fabs(x) > 1.0)
            RaiseInvalidOp();
        if (x == 1.0)
            return IntCell(0);
        if (x == -1.0)
            return RealCell(std::numbers::pi);
        return RealCell(std::numbers::pi / 2 - std::atan(x / std::sqrt(1.0 - x * x)));
    case fnSign:
        if (x > 0.0)
            return IntCell(1);
        if (x < 0.0)
            return IntCell(-1);
        return RealCell(x);
    case fnNot: return IntCell(~TruncToInt(x));
    default: return RealCell(0.0);
    }
}

// The guard of the built-in functions: every failure other than the
// interpreter's own becomes 65179.
template <typename F> auto Guarded(int pos, F f)
{
    try {
        return f();
    } catch (const EExpressionParserError&) {
        throw;
    } catch (const Exception&) {
        RaiseParserError(peFloatingPointError, pos);
    }
}

bool Truth(const Variant& v, int pos)
{
    return Guarded(pos, [&] { return VarIsTrue(v); });
}

// args[0] := fn(args...).
void ApplyFunction(int fn, Variant* args, int pos)
{
    if (fn == fnIf) {
        const bool c = Truth(args[0], pos);
        args[0] = std::move(c ? args[1] : args[2]);
        return;
    }
    args[0] = NumberVariant(Guarded(pos, [&] { return FunctionOfReal(fn, args[0].AsDouble(), pos); }));
}

} // namespace

// ---------------------------------------------------------------------------
// Errors

QString ParserErrorText(int id)
{
    switch (id) {
    case peElseIfWithoutIf: return QStringLiteral("ELSEIF без IF");
    case peElseWithoutIf: return QStringLiteral("ELSE без IF");
    case peEndIfWithoutIf: return QStringLiteral("ENDIF без IF");
    case peIfWithoutEndIf: return QStringLiteral("IF без ENDIF");
    case peSyntaxError: return QStringLiteral("Синтаксическая ошибка");
    case peEmptyExpression: return QStringLiteral("Пустое выражение");
    case peMissingBracket: return QStringLiteral("Не хватает скобки");
    case peDivisionByZero: return QStringLiteral("Деление на нуль");
    case peNegativeRoot: return QStringLiteral("Выражение под корнем меньше нуля");
    case peNegativeLogarithm: return QStringLiteral("Выражение под логарифмом меньше нуля");
    case peFloatingPointError: return QStringLiteral("Ошибка в операции с плавающей точкой");
    case peNotEnoughArguments: return QStringLiteral("Недостаточное количество аргументов");
    case peUnclosedQuote: return QStringLiteral("Имеются незакрытые кавычки");
    case peUnknownFunction: return QStringLiteral("Не определена функция \"%s\"");
    case peUnknownVariable: return QStringLiteral("Не определена переменная \"%s\"");
    }
    return QString();
}

EExpressionParserError::EExpressionParserError(int id, const QString& message, int pos)
    : Exception(message), id_(id), pos_(pos)
{
}

void RaiseParserError(int id, int pos, const QString& name)
{
    QString text = ParserErrorText(id);
    if (id == peUnknownFunction || id == peUnknownVariable)
        text.replace(QLatin1String("%s"), name);
    throw EExpressionParserError(id, text, pos);
}

bool IsParserBlank(QChar c) { return IsBlank(c); }
bool IsParserIdentDelimiter(QChar c) { return IsIdentDelimiter(c); }

int T_ParserSymbols::Add(const QString& name)
{
    const auto it = index_.constFind(name);
    if (it != index_.constEnd())
        return it.value();
    names_.append(name);
    index_.insert(name, int(names_.size()) - 1);
    return int(names_.size()) - 1;
}

// ---------------------------------------------------------------------------
// What the grammar produces: values at once (evaluation) or code (compiling).

class T_ExpressionParser::Emitter {
public:
    virtual ~Emitter() = default;
    virtual void Const(const Variant& v) = 0;
    virtual void Variable(const QString& name, int pos) = 0;
    virtual void Unary(Op op, int pos) = 0;
    virtual void Binary(Op op, int pos) = 0;
    virtual void Function(int fn, int pos) = 0;
    // Pos of the parser stands after the "(".
    virtual void UserFunction(const QString& name, int pos) = 0;
};

class T_ExpressionParser::DirectEmitter final : public T_ExpressionParser::Emitter {
public:
    explicit DirectEmitter(T_ExpressionParser& p) : p_(p), st_(p.stack_) {}

    void Const(const Variant& v) override { st_.push_back(v); }

    void Variable(const QString& name, int pos) override
    {
        Variant v(0);
        if (!p_.OnVariable || !p_.OnVariable(name, v))
            RaiseParserError(peUnknownVariable, pos, name);
        CheckValue(v, pos);
        st_.push_back(std::move(v));
    }

    void Unary(Op op, int pos) override { ApplyUnary(op, st_.back(), pos); }

    void Binary(Op op, int pos) override
    {
        Variant b = std::move(st_.back());
        st_.pop_back();
        ApplyBinary(op, st_.back(), b, pos);
    }

    void Function(int fn, int pos) override
    {
        const size_t first = st_.size() - kBuiltins[fn].argc;
        ApplyFunction(fn, &st_[first], pos);
        st_.resize(first + 1);
    }

    void UserFunction(const QString& name, int pos) override
    {
        Variant v;
        const int saved = p_.userArgument_;
        p_.userArgument_ = 0;
        bool known = false;
        try {
            known = p_.OnFunction && p_.OnFunction(p_, name, v);
        } catch (...) {
            p_.userArgument_ = saved;
            throw;
        }
        p_.userArgument_ = saved;
        if (!known)
            RaiseParserError(peUnknownFunction, pos, name);
        CheckValue(v, pos);
        st_.push_back(std::move(v));
    }

private:
    T_ExpressionParser& p_;
    std::vector<Variant>& st_;
};

class T_ExpressionParser::CompileEmitter final : public T_ExpressionParser::Emitter {
public:
    CompileEmitter(T_CompiledExpression& c, T_ParserSymbols& symbols) : c_(c), symbols_(symbols) {}

    void Const(const Variant& v) override
    {
        c_.consts_.push_back(v);
        T_CompiledExpression::Cell cell{};
        Boxes box(1);
        Unbox(Variant(v), cell, box, 0);
        c_.constCells_.push_back(cell);
        Emit(Op::Const, 0, 0, int(c_.consts_.size()) - 1, 0, +1);
    }

    void Variable(const QString& name, int pos) override
    {
        int local = int(c_.names_.indexOf(name));
        if (local < 0) {
            c_.names_.append(name);
            local = int(c_.names_.size()) - 1;
        }
        Emit(Op::Var, 0, pos, symbols_.Add(name), local, +1);
    }

    void Unary(Op op, int pos) override { Emit(op, 0, pos, 0, 0, 0); }
    // A numeric constant on the right is read by the operator itself
    // (fn = 1, a = the constant); its stack slot stays reserved.
    void Binary(Op op, int pos) override
    {
        if (!c_.code_.empty() && c_.code_.back().op == Op::Const && c_.constCells_[c_.code_.back().a].tag != kBoxed) {
            const int k = c_.code_.back().a;
            c_.code_.pop_back();
            --depth_;
            Emit(op, 1, pos, k, 0, 0);
            return;
        }
        Emit(op, 0, pos, 0, 0, -1);
    }
    void Function(int fn, int pos) override { Emit(Op::Func, uint8_t(fn), pos, 0, 0, 1 - kBuiltins[fn].argc); }

    // What follows depends on the handler, so compiling ends here.
    void UserFunction(const QString& name, int pos) override
    {
        c_.consts_.push_back(Variant(name));
        c_.constCells_.push_back({kBoxed, 0, 0.0});
        Emit(Op::UserFunc, 0, pos, 0, int(c_.consts_.size()) - 1, +1);
        c_.hasUserFunctions_ = true;
        throw StopCompile();
    }

    void Error(const EExpressionParserError& e)
    {
        c_.consts_.push_back(Variant(e.Message()));
        c_.constCells_.push_back({kBoxed, 0, 0.0});
        Emit(Op::Raise, 0, e.Pos(), e.Id(), int(c_.consts_.size()) - 1, 0);
    }

private:
    void Emit(Op op, uint8_t fn, int pos, int a, int b, int depthChange)
    {
        c_.code_.push_back({op, fn, pos, a, b});
        depth_ += depthChange;
        c_.maxDepth_ = std::max(c_.maxDepth_, depth_);
    }

    T_CompiledExpression& c_;
    T_ParserSymbols& symbols_;
    int depth_ = 0;
};

// ---------------------------------------------------------------------------
// The parser

T_ExpressionParser::T_ExpressionParser() = default;
T_ExpressionParser::~T_ExpressionParser() = default;

void T_ExpressionParser::Raise(int id, int pos, const QString& name)
{
    pos_ = pos;
    RaiseParserError(id, pos, name);
}

QChar T_ExpressionParser::NextChar()
{
    ++pos_;
    SkipBlanks();
    return CurChar();
}

void T_ExpressionParser::SkipBlanks()
{
    while (pos_ <= length_ && IsBlank(text_[pos_ - 1]))
        ++pos_;
}

// The closing quote of the literal opening at Open (1-based), or 0. Blanks
// between a quote and the next one are passed over, so 'a' 'b' is one
// literal.
int T_ExpressionParser::FindLiteralEnd(const QString& text, int open) const
{
    const int n = int(text.size());
    auto skip = [&](int i) {
        while (i <= n && IsBlank(text[i - 1]))
            ++i;
        return i;
    };
    int i = open;
    for (;;) {
        i = skip(i + 1);
        if (i > n)
            return 0;
        if (text[i - 1] != u'\'')
            continue;
        const int j = skip(i + 1);
        if (j <= n && text[j - 1] == u'\'') {
            i = j;
            continue;
        }
        return i;
    }
}

void T_ExpressionParser::Prepare(const QString& text, QString& prepared)
{
    text_ = text;
    length_ = int(text.size());
    if (text.isEmpty())
        Raise(peEmptyExpression, 1);
    QString r;
    r.reserve(text.size());
    std::vector<int> round, square; // open brackets not closed yet
    int roundDepth = 0, squareDepth = 0;
    int firstStrayRound = 0, firstStraySquare = 0;
    const int n = int(text.size());
    bool blankOnly = true;
    for (int i = 1; i <= n;) {
        const QChar c = text[i - 1];
        if (c == u'\'') {
            const int close = FindLiteralEnd(text, i);
            if (close == 0)
                Raise(peUnclosedQuote, i);
            r += QStringView(text).mid(i - 1, close - i + 1);
            i = close + 1;
            blankOnly = false;
            continue;
        }
        if (!IsBlank(c))
            blankOnly = false;
        auto open = [](std::vector<int>& stack, int& depth, int pos) {
            stack.push_back(pos);
            ++depth;
        };
        auto close = [](std::vector<int>& stack, int& depth, int& stray, int pos) {
            if (!stack.empty())
                stack.pop_back();
            else if (stray == 0)
                stray = pos;
            --depth;
        };
        switch (c.unicode()) {
        case '(': open(round, roundDepth, i); break;
        case ')': close(round, roundDepth, firstStrayRound, i); break;
        case '[': open(square, squareDepth, i); break;
        case ']': close(square, squareDepth, firstStraySquare, i); break;
        default: break;
        }
        r += c.toUpper();
        ++i;
    }
    if (blankOnly)
        Raise(peEmptyExpression, 1);
    // The caret goes to the first closing bracket too many, or to the
    // innermost one left open.
    if (roundDepth < 0)
        Raise(peMissingBracket, firstStrayRound);
    if (squareDepth < 0)
        Raise(peMissingBracket, firstStraySquare);
    if (roundDepth > 0)
        Raise(peMissingBracket, round.back());
    if (squareDepth > 0)
        Raise(peMissingBracket, square.back());
    prepared = r;
}

void T_ExpressionParser::Start(const QString& text)
{
    QString prepared;
    Prepare(text, prepared);
    text_ = prepared;
    length_ = int(prepared.size());
    pos_ = 1;
}

// Expression := Term { op Term }: + - | and the comparisons, one level.
void T_ExpressionParser::Expression(Emitter& e)
{
    // Groups and arguments nest through here; a formula nested deeper than
    // any clerk writes must not exhaust the stack.
    constexpr int kMaxNesting = 200;
    struct Nesting {
        int& depth;
        explicit Nesting(int& d) : depth(++d) {}
        ~Nesting() { --depth; }
    } nesting(nesting_);
    if (nesting_ > kMaxNesting)
        Raise(peSyntaxError, pos_);
    Term(e);
    for (;;) {
        const int at = pos_;
        Op op;
        switch (CurChar().unicode()) {
        case '+': op = Op::Add; break;
        case '-': op = Op::Sub; break;
        case '|': op = Op::Or; break;
        case '=': op = Op::Eq; break;
        case '<':
            if (At(pos_ + 1) == u'>') {
                op = Op::Ne;
                ++pos_;
            } else if (At(pos_ + 1) == u'=') {
                op = Op::Le;
                ++pos_;
            } else {
                op = Op::Lt;
            }
            break;
        case '>':
            if (At(pos_ + 1) == u'<') {
                op = Op::Ne;
                ++pos_;
            } else if (At(pos_ + 1) == u'=') {
                op = Op::Ge;
                ++pos_;
            } else {
                op = Op::Gt;
            }
            break;
        case '!':
            if (At(pos_ + 1) != u'=') {
                NextChar(); // a lone "!" does nothing here
                continue;
            }
            op = Op::Ne;
            ++pos_;
            break;
        default: {
            const QChar c = CurChar();
            if (c != QChar() && c != u')' && c != u',')
                Raise(peSyntaxError, pos_);
            return;
        }
        }
        NextChar();
        Term(e);
        e.Binary(op, at);
    }
}

// Term := [ - | ! ] Power { * / & Power }, Power := Factor { ^ Factor }.
// "^" binds tighter than "*" (2 * 3 ^ 2 = 18), and the leading sign
// tighter still: it belongs to the first factor (-2 ^ 2 = 4).
void T_ExpressionParser::Term(Emitter& e)
{
    const int at = pos_;
    const QChar c = CurChar();
    if (c == u'-' || c == u'!') {
        NextChar();
        Factor(e);
        e.Unary(c == u'-' ? Op::Neg : Op::Not, at);
    } else {
        Factor(e);
    }
    PowerTail(e);
    for (;;) {
        const int opAt = pos_;
        Op op;
        switch (CurChar().unicode()) {
        case '*': op = Op::Mul; break;
        case '/': op = Op::Div; break;
        case '&': op = Op::And; break;
        default: return;
        }
        NextChar();
        Factor(e);
        PowerTail(e);
        e.Binary(op, opAt);
    }
}

void T_ExpressionParser::PowerTail(Emitter& e)
{
    while (CurChar() == u'^') {
        const int opAt = pos_;
        NextChar();
        Factor(e);
        e.Binary(Op::Pow, opAt);
    }
}

void T_ExpressionParser::Factor(Emitter& e)
{
    const int start = pos_;
    const QChar c = CurChar();
    if (c == u'(') {
        NextChar();
        Expression(e);
        if (CurChar() != u')')
            Raise(peMissingBracket, pos_);
        NextChar();
        return;
    }
    if (Number(e))
        return;
    if (c == u'\'' && StringLiteral(e))
        return;
    if (!IsLatinLetter(c))
        Raise(peSyntaxError, start);

    int end = start;
    while (IsLatinLetter(At(end)) || IsDigit(At(end)))
        ++end;
    if (!IsIdentDelimiter(At(end)))
        Raise(peSyntaxError, start);
    const QString name = text_.mid(start - 1, end - start);

    if (name == QLatin1String("E") || name == QLatin1String("PI")) {
        int after = end;
        while (after <= length_ && IsBlank(At(after)))
            ++after;
        if (IsNumberDelimiter(At(after))) {
            pos_ = after;
            e.Const(Variant(name.size() == 1 ? std::numbers::e : std::numbers::pi));
            return;
        }
    }

    pos_ = end;
    SkipBlanks();
    if (CurChar() != u'(') {
        e.Variable(name, start);
        return;
    }
    NextChar();
    const int fn = FindBuiltin(name);
    if (fn >= 0) {
        Expression(e);
        for (int i = 1; i < kBuiltins[fn].argc; ++i)
            ReadNextArgument(e);
        if (CurChar() != u')')
            Raise(peMissingBracket, pos_);
        NextChar();
        e.Function(fn, start);
        return;
    }
    e.UserFunction(name, start);
    if (CurChar() != u')')
        Raise(peMissingBracket, pos_);
    NextChar();
}

// [sign] digits and "." [E [sign] digits], followed by a number delimiter.
bool T_ExpressionParser::Number(Emitter& e)
{
    const int start = pos_;
    int p = pos_;
    std::string s;
    if (At(p) == u'+' || At(p) == u'-') {
        if (At(p) == u'-')
            s += '-';
        ++p;
    }
    const int bodyStart = p;
    int dots = 0, digits = 0;
    while (IsDigit(At(p)) || At(p) == u'.') {
        if (At(p) == u'.')
            ++dots;
        else
            ++digits;
        ++p;
    }
    // ".5" and "5." are numbers; a lone "." is not.
    if (digits == 0 || dots > 1)
        return false;
    if (At(bodyStart) == u'.')
        s += '0';
    for (int i = bodyStart; i < p; ++i)
        s += char(At(i).unicode());
    if (At(p - 1) == u'.')
        s += '0';
    bool negativeExponent = false;
    if (At(p) == u'E') {
        int q = p + 1;
        std::string exp = "e";
        if (At(q) == u'+' || At(q) == u'-') {
            negativeExponent = At(q) == u'-';
            exp += char(At(q).unicode());
            ++q;
        }
        const int expDigits = q;
        while (IsDigit(At(q)))
            exp += char(At(q++).unicode());
        if (q == expDigits)
            return false;
        s += exp;
        p = q;
    }
    if (!IsNumberDelimiter(At(p)))
        return false;
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (!negativeExponent)
            Raise(peFloatingPointError, start);
        value = 0.0; // too small to hold: zero
    } else if (ec != std::errc() || ptr != s.data() + s.size()) {
        return false;
    }
    pos_ = p;
    SkipBlanks();
    e.Const(Variant(value));
    return true;
}

bool T_ExpressionParser::StringLiteral(Emitter& e)
{
    const int open = pos_;
    const int close = FindLiteralEnd(text_, open);
    if (close == 0)
        Raise(peUnclosedQuote, open);
    if (!IsIdentDelimiter(At(close + 1)))
        return false;
    QString value = text_.mid(open, close - open - 1);
    value.replace(QLatin1String("''"), QLatin1String("'"));
    pos_ = close + 1;
    SkipBlanks();
    e.Const(Variant(value));
    return true;
}

void T_ExpressionParser::ReadNextArgument(Emitter& e)
{
    if (CurChar() != u',')
        Raise(peNotEnoughArguments, pos_);
    NextChar();
    Expression(e);
}

void T_ExpressionParser::ReadArgument(Variant& value)
{
    if (userArgument_ < 0 || emitter_ == nullptr)
        Raise(peSyntaxError, pos_);
    if (userArgument_ > 0) {
        if (CurChar() != u',')
            Raise(peNotEnoughArguments, pos_);
        NextChar();
    }
    ++userArgument_;
    Expression(*emitter_);
    value = std::move(stack_.back());
    stack_.pop_back();
}

// The whole text must be one expression: "1,5" is no number.
void T_ExpressionParser::Finish()
{
    if (CurChar() != QChar())
        Raise(peSyntaxError, pos_);
}

void T_ExpressionParser::Evaluate(const QString& text, Variant& value)
{
    DirectEmitter e(*this);
    Emitter* const saved = emitter_;
    emitter_ = &e;
    stack_.clear();
    try {
        Start(text);
        SkipBlanks();
        Expression(e);
        Finish();
    } catch (const EExpressionParserError& err) {
        pos_ = err.Pos();
        emitter_ = saved;
        stack_.clear();
        throw;
    } catch (...) {
        emitter_ = saved;
        stack_.clear();
        throw;
    }
    emitter_ = saved;
    value = std::move(stack_.back());
    stack_.clear();
}

T_CompiledExpression T_ExpressionParser::Compile(const QString& text, T_ParserSymbols* symbols)
{
    T_CompiledExpression c;
    c.text_ = text;
    T_ParserSymbols own;
    CompileEmitter e(c, symbols ? *symbols : own);
    T_ExpressionParser p;
    try {
        p.Start(text);
        p.SkipBlanks();
        p.Expression(e);
        p.Finish();
    } catch (const StopCompile&) {
    } catch (const EExpressionParserError& err) {
        e.Error(err);
    }
    return c;
}

void T_ExpressionParser::Evaluate(const T_CompiledExpression& compiled, Variant& value)
{
    if (compiled.HasUserFunctions() && OnFunction) {
        Evaluate(compiled.Text(), value);
        return;
    }
    class ByName final : public T_ParserScope {
    public:
        explicit ByName(T_ExpressionParser& p) : p_(p) {}
        bool GetVariable(int, const QString& name, Variant& v) override
        {
            return p_.OnVariable && p_.OnVariable(name, v);
        }

    private:
        T_ExpressionParser& p_;
    } scope(*this);
    try {
        compiled.Run(scope, value);
    } catch (const EExpressionParserError& err) {
        pos_ = err.Pos();
        throw;
    }
}

// ---------------------------------------------------------------------------
// Running compiled code

void T_CompiledExpression::Run(T_ParserScope& scope, Variant& value) const
{
    constexpr int kInline = 8;
    Cell inlineCells[kInline];
    std::vector<Cell> heapCells;
    Cell* cells = inlineCells;
    if (maxDepth_ > kInline) {
        heapCells.resize(maxDepth_);
        cells = heapCells.data();
    }
    Boxes boxes(maxDepth_);
    // Any operator the fast paths below do not cover goes through the
    // same Variant operators as the evaluation from the text.
    auto general = [&](const Instr& in, int top) {
        Variant a = Box(cells[top], boxes, top);
        if (in.op == Op::Neg || in.op == Op::Not) {
            ApplyUnary(in.op, a, in.pos);
        } else {
            const Variant b = Box(cells[top + 1], boxes, top + 1);
            ApplyBinary(in.op, a, b, in.pos);
        }
        Unbox(std::move(a), cells[top], boxes, top);
    };
    int sp = 0;
    for (const Instr& in : code_) {
        switch (in.op) {
        case Op::Const:
            cells[sp] = constCells_[in.a];
            if (cells[sp].tag == kBoxed)
                boxes[sp] = consts_[in.a];
            ++sp;
            break;
        case Op::Var: {
            Cell& c = cells[sp];
            if (scope.GetReal(in.a, c.d)) {
                if (!std::isfinite(c.d))
                    RaiseParserError(peFloatingPointError, in.pos);
                c.tag = kReal;
            } else {
                Variant var(0);
                const QString& name = names_[in.b];
                if (!scope.GetVariable(in.a, name, var))
                    RaiseParserError(peUnknownVariable, in.pos, name);
                CheckValue(var, in.pos);
                Unbox(std::move(var), c, boxes, sp);
            }
            ++sp;
            break;
        }
        case Op::Not: general(in, sp - 1); break;
        case Op::Neg:
            if (cells[sp - 1].tag == kReal)
                cells[sp - 1].d = -cells[sp - 1].d;
            else
                general(in, sp - 1);
            break;
        case Op::Add:
        case Op::Sub:
        case Op::Mul:
        case Op::Div:
        case Op::Pow:
        case Op::Eq:
        case Op::Ne:
        case Op::Lt:
        case Op::Le:
        case Op::Gt:
        case Op::Ge: {
            if (in.fn)
                cells[sp] = constCells_[in.a];
            else
                --sp;
            Cell& a = cells[sp - 1];
            const Cell& b = cells[sp];
            if (a.tag == kBoxed || b.tag == kBoxed) {
                general(in, sp - 1);
                break;
            }
            // Integers and Booleans meet only integers: 64-bit integer
            // arithmetic and comparison, as VarAdd and VarCompare do.
            const bool integral = a.tag != kReal && b.tag != kReal;
            if (integral && in.op != Op::Div && in.op != Op::Pow) {
                const int64_t x = a.i, y = b.i;
                int64_t r = 0;
                switch (in.op) {
                case Op::Add: r = x + y; break;
                case Op::Sub: r = x - y; break;
                case Op::Mul: r = x * y; break;
                default: {
                    a.tag = kBool;
                    a.i = Compared(in.op, x, y) ? -1 : 0;
                    continue;
                }
                }
                if (r >= INT32_MIN && r <= INT32_MAX)
                    a = IntCell(int(r));
                else
                    a = RealCell(double(r));
                break;
            }
            const double x = RealOf(a), y = RealOf(b);
            double r = 0.0;
            switch (in.op) {
            case Op::Add: r = x + y; break;
            case Op::Sub: r = x - y; break;
            case Op::Mul: r = x * y; break;
            case Op::Div:
                if (y == 0.0)
                    RaiseParserError(peDivisionByZero, in.pos);
                r = x / y;
                break;
            case Op::Pow: r = Guarded(in.pos, [&] { return Power(x, y, in.pos); }); break;
            default: {
                a.tag = kBool;
                a.i = Compared(in.op, x, y) ? -1 : 0;
                continue;
            }
            }
            if (!std::isfinite(r))
                RaiseParserError(in.op == Op::Div ? peDivisionByZero : peFloatingPointError, in.pos);
            a = RealCell(r);
            break;
        }
        case Op::Func: {
            sp -= kBuiltins[in.fn].argc;
            Cell& a = cells[sp];
            if (in.fn == fnIf) {
                const bool c = a.tag == kBoxed ? Truth(boxes[sp], in.pos) : a.tag == kReal ? a.d != 0.0 : a.i != 0;
                const int pick = sp + (c ? 1 : 2);
                a = cells[pick];
                if (a.tag == kBoxed)
                    boxes[sp] = std::move(boxes[pick]);
            } else if (a.tag != kBoxed) {
                const double x = RealOf(a);
                a = Guarded(in.pos, [&] { return FunctionOfReal(in.fn, x, in.pos); });
            } else {
                Variant arg = Box(a, boxes, sp);
                ApplyFunction(in.fn, &arg, in.pos);
                Unbox(std::move(arg), a, boxes, sp);
            }
            ++sp;
            break;
        }
        case Op::UserFunc: RaiseParserError(peUnknownFunction, in.pos, consts_[in.b].AsString());
        case Op::Raise: throw EExpressionParserError(in.a, consts_[in.b].AsString(), in.pos);
        default:
            if (in.fn)
                cells[sp] = constCells_[in.a];
            else
                --sp;
            general(in, sp - 1);
            break;
        }
    }
    value = Box(cells[0], boxes, 0);
}
