#pragma once
// The runner of user formula programs: one statement a line, assignments
// "name := expression" and IF / ELSEIF / ELSE / ENDIF blocks, { } and //
// comments, own variables and the result variable RESULT.

#include "foundation/Parsing.h"
#include "foundation/TypeList.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class T_ParserVariable : public TObject {
public:
    T_ParserVariable(const QString& name, const Variant& value) : Name(name), Value(value) {}
    QString Name;
    Variant Value;
};

// The own variables of a program, names in upper case.
class T_ParserVariableList : public T_yqOwnerListOf<T_ParserVariable> {
public:
    // The variable with exactly that name, or nullptr.
    T_ParserVariable* FindVariable(const QString& name) const;
    // Unassigned when there is none.
    void GetValue(const QString& name, Variant& value) const;
    // Creates the variable or replaces its value; answers it.
    T_ParserVariable* SetValue(const QString& name, const Variant& value);
};

// Outer variables that a host numbers once, so that a compiled program
// finds them without a lookup by name on every run (the pay calculation's
// values). A name the source does not know goes on to OnVariable.
class T_ParserVariableSource {
public:
    virtual ~T_ParserVariableSource() = default;
    // The number of the variable (the name comes upper case), or -1.
    virtual int IndexOf(const QString& name) const = 0;
    virtual void GetValue(int index, Variant& value) const = 0;
    // The quick answer for a variable holding a real number: true with it
    // (the same number GetValue gives as a Double).
    virtual bool GetReal(int index, double& value) const
    {
        (void)index;
        (void)value;
        return false;
    }
};

// One line of a program, read once.
struct T_ParserStatement {
    enum Kind : uint8_t { Empty, Assign, If, ElseIf, Else, EndIf, Fail };
    Kind kind = Empty;
    int line = 0; // 0-based
    int col = 1; // 1-based: the keyword, or the error of a Fail
    int exprCol = 1; // where the expression text starts in the line
    int error = 0; // Fail: the message number
    QString target; // Assign: the variable, upper case
    int targetSymbol = -1;
    QString text; // the expression, or the condition
    T_CompiledExpression expr;
};

// A formula program parsed once. Running it gives what running its text
// gives, errors and their positions included: a malformed line becomes a
// statement that raises its error when it is reached.
class T_ParserCompiledText {
public:
    T_ParserCompiledText() = default;
    explicit T_ParserCompiledText(const QString& program) { Compile(program); }
    void Compile(const QString& program);
    const QString& Program() const { return program_; }
    int LineCount() const { return lineCount_; }
    const T_ParserSymbols& Symbols() const { return symbols_; }

private:
    friend class T_BlockParser;
    QString program_;
    std::vector<T_ParserStatement> statements_;
    T_ParserSymbols symbols_;
    int lineCount_ = 0;
    int resultSymbol_ = -1;
    uint64_t id_ = 0; // tells programs apart for the bindings a runner keeps
};

class T_BlockParser {
public:
    T_BlockParser();
    ~T_BlockParser();
    T_BlockParser(const T_BlockParser&) = delete;
    T_BlockParser& operator=(const T_BlockParser&) = delete;

    // Load, then Execute. Every error is EExpressionParserError with Pos
    // the column of the failing place (see GetPosition).
    void Run(const QString& text, Variant& result);
    // A compiled program, from a fresh state: no own variables, RESULT 0.
    // One runner may so serve many employees in turn.
    void Run(const T_ParserCompiledText& program, Variant& result);
    // Splits the lines (CR, LF, CRLF) and blanks the comments.
    void Load(const QString& text);
    void Execute(Variant& result);

    // The statement being run, or the failing place after an error: Line
    // 0-based, Col 1-based (whoever shows it to the clerk adds 1 to Line).
    void GetPosition(int& col, int& line) const;
    void SetPosition(int col, int line);

    // "RESULT" is the result; other names are the own variables
    // (Unassigned when there is none).
    void GetVar(const QString& name, Variant& value) const;
    void SetVar(const QString& name, const Variant& value);

    // Asked after the own variables and before OnVariable; not owned.
    void SetVariableSource(T_ParserVariableSource* source);

    const QStringList& Lines() const { return lines_; }
    T_ParserVariableList& Variables() { return variables_; }
    T_ExpressionParser& Parser() { return parser_; }
    int SkipDepth() const { return skipDepth_; }

    TParserFunctionEvent OnFunction;
    TParserVariableEvent OnVariable;

    // Lines as the runner sees them: split, comments blanked (columns kept,
    // trailing blanks of a line that held a comment removed).
    static QStringList SplitProgram(const QString& text);
    // Never raises: a malformed line gives a Fail statement.
    static T_ParserStatement ParseStatement(const QString& line, int index);

private:
    class Scope;
    struct Frame {
        int code; // 1 IF, 2 ELSEIF, 3 ELSE
        bool taken; // a branch of this IF has run
        bool outerSkipping; // the whole IF lies in a skipped block
        int line;
        int col;
    };

    bool RequestVariable(const QString& name, Variant& value);
    void ResetRun();
    template <typename Eval, typename Assign>
    void ExecuteStatement(const T_ParserStatement& st, Eval eval, Assign assign);
    [[noreturn]] void Fail(int id, int col);
    void Finish(Variant& result);

    T_ExpressionParser parser_;
    QStringList lines_;
    std::vector<Frame> ifStack_;
    T_ParserVariableList variables_;
    int skipDepth_ = 0;
    int lastLine_ = -1;
    int line_ = 0;
    int col_ = 1;
    Variant result_;
    T_ParserVariableSource* source_ = nullptr;

    // Bindings of the last compiled program run: own variable per symbol,
    // source number per symbol.
    std::vector<Variant*> ownSlots_;
    std::vector<int> sourceSlots_;
    uint64_t boundProgram_ = 0;
};
