#include "foundation/BlockParser.h"
#include "platform/VariantOps.h"

#include <atomic>

namespace {

const QString kResult = QStringLiteral("RESULT");

bool IsWordChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9');
}

// TrimRight: every character up to the space.
void TrimRight(QString& s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1].unicode() <= ' ')
        --n;
    s.truncate(n);
}

std::atomic<uint64_t> lastProgramId{0};

} // namespace

// ---------------------------------------------------------------------------
// T_ParserVariableList

T_ParserVariable* T_ParserVariableList::FindVariable(const QString& name) const
{
    return Find([&](T_ParserVariable* v) { return v->Name == name; });
}

void T_ParserVariableList::GetValue(const QString& name, Variant& value) const
{
    const T_ParserVariable* v = FindVariable(name);
    value = v ? v->Value : Variant();
}

T_ParserVariable* T_ParserVariableList::SetValue(const QString& name, const Variant& value)
{
    T_ParserVariable* v = FindVariable(name);
    if (v) {
        v->Value = value;
        return v;
    }
    v = new T_ParserVariable(name, value);
    AddObject(v);
    return v;
}

// ---------------------------------------------------------------------------
// Reading a program

QStringList T_BlockParser::SplitProgram(const QString& text)
{
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);

    // { } comments nest and run across lines; // holds outside them. Quotes
    // do not protect either: a brace inside a literal opens a comment too.
    int depth = 0;
    for (QString& line : lines) {
        bool touched = false;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if (depth > 0) {
                if (c == u'{')
                    ++depth;
                else if (c == u'}')
                    --depth;
            } else if (c == u'{') {
                depth = 1;
            } else if (c == u'/' && i + 1 < line.size() && line[i + 1] == u'/') {
                for (qsizetype k = i; k < line.size(); ++k)
                    line[k] = u' ';
                touched = true;
                break;
            } else {
                continue;
            }
            line[i] = u' ';
            touched = true;
        }
        if (touched)
            TrimRight(line);
    }
    return lines;
}

T_ParserStatement T_BlockParser::ParseStatement(const QString& line, int index)
{
    T_ParserStatement st;
    st.line = index;
    const int n = int(line.size());
    auto blank = [&](int k) { return k < n && IsParserBlank(line[k]); };
    auto at = [&](int k) { return k < n ? line[k] : QChar(); };
    auto fail = [&](int col) {
        st.kind = T_ParserStatement::Fail;
        st.error = peSyntaxError;
        st.col = col;
        return st;
    };

    int i = 0;
    while (blank(i))
        ++i;
    if (i >= n)
        return st; // empty
    const int wordStart = i;
    while (i < n && IsWordChar(line[i]))
        ++i;
    if (i == wordStart || !IsParserIdentDelimiter(at(i)))
        return fail(i + 1);
    const QString word = line.mid(wordStart, i - wordStart).toUpper();
    int j = i;
    while (blank(j))
        ++j;
    st.col = wordStart + 1;
    if (at(j) == u':' && at(j + 1) == u'=') {
        st.kind = T_ParserStatement::Assign;
        st.target = word;
        st.exprCol = j + 3;
        st.text = line.mid(j + 2);
        return st;
    }

    if (word == QLatin1String("IF"))
        st.kind = T_ParserStatement::If;
    else if (word == QLatin1String("ELSEIF"))
        st.kind = T_ParserStatement::ElseIf;
    else if (word == QLatin1String("ELSE"))
        st.kind = T_ParserStatement::Else;
    else if (word == QLatin1String("ENDIF"))
        st.kind = T_ParserStatement::EndIf;
    else
        return fail(j + 1); // where ":=" should stand
    // "IF(X > 1)" is no statement: the keyword needs a blank after it.
    if (!IsParserBlank(at(i)))
        return fail(i + 1);
    st.exprCol = j + 1;
    st.text = line.mid(j);
    // Text after ELSE or ENDIF would be silently lost ("ELSE X := 1").
    if ((st.kind == T_ParserStatement::Else || st.kind == T_ParserStatement::EndIf) && j < n)
        return fail(j + 1);
    return st;
}

void T_ParserCompiledText::Compile(const QString& program)
{
    program_ = program;
    statements_.clear();
    symbols_ = T_ParserSymbols();
    id_ = ++lastProgramId;
    const QStringList lines = T_BlockParser::SplitProgram(program);
    lineCount_ = int(lines.size());
    for (int i = 0; i < lineCount_; ++i) {
        T_ParserStatement st = T_BlockParser::ParseStatement(lines[i], i);
        switch (st.kind) {
        case T_ParserStatement::Empty: continue;
        case T_ParserStatement::Assign: st.targetSymbol = symbols_.Add(st.target); [[fallthrough]];
        case T_ParserStatement::If:
        case T_ParserStatement::ElseIf: st.expr = T_ExpressionParser::Compile(st.text, &symbols_); break;
        default: break;
        }
        statements_.push_back(std::move(st));
    }
    resultSymbol_ = symbols_.IndexOf(kResult);
}

// ---------------------------------------------------------------------------
// The runner

// Variables of compiled code: the own ones first, then the source, then
// OnVariable, exactly as RequestVariable answers the text's evaluation.
class T_BlockParser::Scope final : public T_ParserScope {
public:
    explicit Scope(T_BlockParser& r) : r_(r) {}

    bool GetReal(int symbol, double& value) override
    {
        const Variant* own = r_.ownSlots_[symbol];
        if (own && !own->IsEmpty()) {
            if (own->Type() != VarType::Double)
                return false;
            value = own->AsDouble();
            return true;
        }
        const int k = r_.sourceSlots_[symbol];
        return k >= 0 && r_.source_->GetReal(k, value);
    }

    bool GetVariable(int symbol, const QString& name, Variant& value) override
    {
        const Variant* own = r_.ownSlots_[symbol];
        if (own && !own->IsEmpty()) {
            value = *own;
            return true;
        }
        const int k = r_.sourceSlots_[symbol];
        if (k >= 0) {
            r_.source_->GetValue(k, value);
            return true;
        }
        if (r_.OnVariable)
            return r_.OnVariable(name, value);
        value = Variant();
        return false;
    }

private:
    T_BlockParser& r_;
};

T_BlockParser::T_BlockParser() : result_(Currency())
{
    parser_.OnVariable = [this](const QString& name, Variant& value) { return RequestVariable(name, value); };
    parser_.OnFunction = [this](T_ExpressionParser& p, const QString& name, Variant& value) {
        return OnFunction && OnFunction(p, name, value);
    };
}

T_BlockParser::~T_BlockParser() = default;

bool T_BlockParser::RequestVariable(const QString& name, Variant& value)
{
    Variant own;
    GetVar(name, own);
    if (!own.IsEmpty()) {
        value = own;
        return true;
    }
    if (source_) {
        const int k = source_->IndexOf(name);
        if (k >= 0) {
            source_->GetValue(k, value);
            return true;
        }
    }
    if (OnVariable)
        return OnVariable(name, value);
    value = Variant();
    return false;
}

void T_BlockParser::GetVar(const QString& name, Variant& value) const
{
    const QString upper = name.toUpper();
    if (upper == kResult)
        value = result_;
    else
        variables_.GetValue(upper, value);
}

void T_BlockParser::SetVar(const QString& name, const Variant& value)
{
    const QString upper = name.toUpper();
    if (upper == kResult)
        result_ = value;
    else
        variables_.SetValue(upper, value);
}

void T_BlockParser::SetVariableSource(T_ParserVariableSource* source)
{
    source_ = source;
    boundProgram_ = 0;
}

void T_BlockParser::GetPosition(int& col, int& line) const
{
    col = col_;
    line = line_;
}

void T_BlockParser::SetPosition(int col, int line)
{
    col_ = col;
    line_ = line;
}

void T_BlockParser::Fail(int id, int col)
{
    col_ = col;
    RaiseParserError(id, col);
}

void T_BlockParser::ResetRun()
{
    ifStack_.clear();
    skipDepth_ = 0;
    line_ = 0;
    col_ = 1;
}

void T_BlockParser::Load(const QString& text)
{
    lines_ = SplitProgram(text);
    lastLine_ = int(lines_.size()) - 1;
    ResetRun();
}

// The errors leave the runner with Pos = Col, the column in the line.
template <typename Eval, typename Assign>
void T_BlockParser::ExecuteStatement(const T_ParserStatement& st, Eval eval, Assign assign)
{
    line_ = st.line;
    col_ = 1;
    auto evaluate = [&](Variant& v) {
        col_ = st.exprCol;
        try {
            eval(st, v);
        } catch (const EExpressionParserError& e) {
            col_ = st.exprCol + e.Pos() - 1;
            throw EExpressionParserError(e.Id(), e.Message(), col_);
        }
    };
    auto condition = [&]() {
        Variant v;
        evaluate(v);
        try {
            return VarIsTrue(v);
        } catch (const Exception&) {
            Fail(peFloatingPointError, st.exprCol);
        }
    };

    switch (st.kind) {
    case T_ParserStatement::Empty: return;
    case T_ParserStatement::Fail: Fail(st.error, st.col);
    case T_ParserStatement::Assign:
        if (skipDepth_ == 0) {
            Variant v;
            evaluate(v);
            assign(st, std::move(v));
        }
        return;
    case T_ParserStatement::If: {
        Frame f{1, false, skipDepth_ > 0, st.line, st.col};
        if (f.outerSkipping) {
            ++skipDepth_;
        } else {
            f.taken = condition();
            if (!f.taken)
                ++skipDepth_;
        }
        ifStack_.push_back(f);
        return;
    }
    case T_ParserStatement::ElseIf: {
        if (ifStack_.empty() || ifStack_.back().code == 3)
            Fail(peElseIfWithoutIf, st.col);
        Frame& f = ifStack_.back();
        f.code = 2;
        if (f.outerSkipping)
            return;
        // Once a branch has run, the later ones are passed over unread.
        if (f.taken) {
            skipDepth_ = 1;
            return;
        }
        skipDepth_ = 0;
        f.taken = condition();
        if (!f.taken)
            skipDepth_ = 1;
        return;
    }
    case T_ParserStatement::Else: {
        if (ifStack_.empty() || ifStack_.back().code == 3)
            Fail(peElseWithoutIf, st.col);
        Frame& f = ifStack_.back();
        f.code = 3;
        if (!f.outerSkipping) {
            skipDepth_ = f.taken ? 1 : 0;
            f.taken = true;
        }
        return;
    }
    case T_ParserStatement::EndIf:
        if (ifStack_.empty())
            Fail(peEndIfWithoutIf, st.col);
        ifStack_.pop_back();
        if (skipDepth_ > 0)
            --skipDepth_;
        return;
    }
}

// An IF left open would silently skip the rest of the program.
void T_BlockParser::Finish(Variant& result)
{
    if (!ifStack_.empty()) {
        line_ = ifStack_.back().line;
        Fail(peIfWithoutEndIf, ifStack_.back().col);
    }
    result = result_;
}

void T_BlockParser::Execute(Variant& result)
{
    auto eval = [this](const T_ParserStatement& st, Variant& v) { parser_.Evaluate(st.text, v); };
    auto assign = [this](const T_ParserStatement& st, Variant&& v) { SetVar(st.target, v); };
    while (line_ <= lastLine_) {
        ExecuteStatement(ParseStatement(lines_[line_], line_), eval, assign);
        ++line_;
    }
    col_ = 1;
    Finish(result);
}

void T_BlockParser::Run(const QString& text, Variant& result)
{
    Load(text);
    Execute(result);
}

void T_BlockParser::Run(const T_ParserCompiledText& program, Variant& result)
{
    ResetRun();
    variables_.Clear();
    result_ = Variant(Currency());
    lines_.clear();
    lastLine_ = program.lineCount_ - 1;

    const T_ParserSymbols& symbols = program.symbols_;
    if (boundProgram_ != program.id_) {
        sourceSlots_.assign(symbols.Count(), -1);
        if (source_)
            for (int i = 0; i < symbols.Count(); ++i)
                sourceSlots_[i] = source_->IndexOf(symbols.Name(i));
        boundProgram_ = program.id_;
    }
    ownSlots_.assign(symbols.Count(), nullptr);
    if (program.resultSymbol_ >= 0)
        ownSlots_[program.resultSymbol_] = &result_;

    Scope scope(*this);
    auto eval = [&](const T_ParserStatement& st, Variant& v) {
        // A user function is read by its handler from the text.
        if (st.expr.HasUserFunctions() && OnFunction)
            parser_.Evaluate(st.text, v);
        else
            st.expr.Run(scope, v);
    };
    auto assign = [&](const T_ParserStatement& st, Variant&& v) {
        Variant*& slot = ownSlots_[st.targetSymbol];
        if (slot)
            *slot = std::move(v);
        else
            slot = &variables_.SetValue(st.target, v)->Value;
    };
    for (const T_ParserStatement& st : program.statements_)
        ExecuteStatement(st, eval, assign);
    line_ = program.lineCount_;
    col_ = 1;
    Finish(result);
}
