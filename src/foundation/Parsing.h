#pragma once
// The interpreter of the expressions in user formulas: numbers, 'strings',
// E and PI, variables, the built-in functions, arithmetic, comparison and
// logical operators. It evaluates straight over the text; the same grammar
// also compiles an expression once, for formulas run for many employees.

#include "platform/Exceptions.h"
#include "platform/Variant.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

// Message numbers of the interpreter and of the formula program runner.
enum TParserErrorId : int {
    peElseIfWithoutIf = 65152,
    peElseWithoutIf = 65153,
    peEndIfWithoutIf = 65154,
    peIfWithoutEndIf = 65155,
    peSyntaxError = 65173,
    peEmptyExpression = 65174,
    peMissingBracket = 65175,
    peDivisionByZero = 65176,
    peNegativeRoot = 65177,
    peNegativeLogarithm = 65178,
    peFloatingPointError = 65179,
    peNotEnoughArguments = 65180,
    peUnclosedQuote = 65181,
    peUnknownFunction = 65182,
    peUnknownVariable = 65183,
};

// The text of a message; "%s" in the texts of 65182 and 65183 is the name.
QString ParserErrorText(int id);

// The only error of the interpreter and the runner. Pos is the 1-based
// position in the expression text where the error was found; errors that
// leave the runner carry the column in the line instead.
class EExpressionParserError : public Exception {
public:
    EExpressionParserError(int id, const QString& message, int pos);
    int Id() const { return id_; }
    int Pos() const { return pos_; }

private:
    int id_;
    int pos_;
};

// The character classes of formula texts: blanks (#0, tab, LF, CR, space)
// and what may follow a name.
bool IsParserBlank(QChar c);
bool IsParserIdentDelimiter(QChar c);

// Raises the error of that number, with the name filled in.
[[noreturn]] void RaiseParserError(int id, int pos, const QString& name = QString());

class T_ExpressionParser;

// True when the name (upper case) is known; Value then holds its value.
using TParserVariableEvent = std::function<bool(const QString& name, Variant& value)>;
// True when the function is known. Pos stands after its "("; the handler
// reads each argument with Parser.ReadArgument; the ")" is checked after it.
using TParserFunctionEvent = std::function<bool(T_ExpressionParser& parser, const QString& name, Variant& value)>;

// Numbers for the names of variables, shared by the expressions of one
// formula program.
class T_ParserSymbols {
public:
    int Add(const QString& name);
    int IndexOf(const QString& name) const { return index_.value(name, -1); }
    const QString& Name(int index) const { return names_.at(index); }
    int Count() const { return int(names_.size()); }

private:
    QStringList names_;
    QHash<QString, int> index_;
};

// Answers the variables of compiled code by their symbol number.
class T_ParserScope {
public:
    virtual ~T_ParserScope() = default;
    // Value arrives as integer 0; false when the variable is unknown.
    virtual bool GetVariable(int symbol, const QString& name, Variant& value) = 0;
    // The quick answer for a variable holding a real number (a Double):
    // true with the number; false sends the request to GetVariable.
    virtual bool GetReal(int symbol, double& value)
    {
        (void)symbol;
        (void)value;
        return false;
    }
};

// One expression parsed once. Running it gives exactly what evaluating its
// text gives, errors and their positions included: an error found while
// compiling is raised at the point where the evaluation would meet it.
class T_CompiledExpression {
public:
    const QString& Text() const { return text_; }
    // The variable names the expression reads, in the order met; compiled
    // with its own symbol table, a symbol number is an index here.
    const QStringList& Names() const { return names_; }
    // A name followed by "(" that is not built in: only a function handler
    // can answer it, so such an expression is evaluated from its text when
    // a handler is set.
    bool HasUserFunctions() const { return hasUserFunctions_; }
    // Raises EExpressionParserError; the unknown function is 65182.
    void Run(T_ParserScope& scope, Variant& value) const;

    enum class Op : uint8_t;
    struct Instr {
        Op op;
        uint8_t fn;
        int32_t pos;
        int32_t a; // constant, symbol, or error number
        int32_t b; // name of a variable or a function
    };
    // A value on the stack of the running code; reals, integers and
    // Booleans are kept out of Variants, which are slow to make.
    struct Cell {
        uint8_t tag;
        int32_t i;
        double d;
    };

private:
    friend class T_ExpressionParser;
    QString text_;
    std::vector<Instr> code_;
    std::vector<Variant> consts_;
    std::vector<Cell> constCells_;
    QStringList names_;
    int maxDepth_ = 0;
    bool hasUserFunctions_ = false;
};

class T_ExpressionParser {
public:
    T_ExpressionParser();
    ~T_ExpressionParser();
    T_ExpressionParser(const T_ExpressionParser&) = delete;
    T_ExpressionParser& operator=(const T_ExpressionParser&) = delete;

    void Evaluate(const QString& text, Variant& value);
    // Runs a compiled expression with this parser's handlers.
    void Evaluate(const T_CompiledExpression& compiled, Variant& value);
    // Symbols: where variable names get their numbers (the expression's own
    // table when null).
    static T_CompiledExpression Compile(const QString& text, T_ParserSymbols* symbols = nullptr);

    // Upper case outside string literals, the same length; raises 65174,
    // 65175 and 65181.
    void Prepare(const QString& text, QString& prepared);
    // For a function handler: the next argument of the call being read.
    void ReadArgument(Variant& value);

    int Pos() const { return pos_; }
    int Length() const { return length_; }
    const QString& Text() const { return text_; }

    TParserFunctionEvent OnFunction;
    TParserVariableEvent OnVariable;

private:
    class Emitter;
    class DirectEmitter;
    class CompileEmitter;
    struct StopCompile {};

    QChar At(int pos) const { return pos >= 1 && pos <= length_ ? text_[pos - 1] : QChar(); }
    QChar CurChar() const { return At(pos_); }
    QChar NextChar();
    void SkipBlanks();
    int FindLiteralEnd(const QString& text, int open) const;
    [[noreturn]] void Raise(int id, int pos, const QString& name = QString());
    void Start(const QString& text);

    void Expression(Emitter& e);
    void Term(Emitter& e);
    void PowerTail(Emitter& e);
    void Factor(Emitter& e);
    bool Number(Emitter& e);
    bool StringLiteral(Emitter& e);
    void ReadNextArgument(Emitter& e);
    void Finish();

    int length_ = 0;
    int pos_ = 1;
    QString text_;
    std::vector<Variant> stack_;
    Emitter* emitter_ = nullptr;
    int nesting_ = 0;
    int userArgument_ = -1; // arguments read by the function handler, -1 outside one
};
