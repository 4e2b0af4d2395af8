#include "data/Formula.h"

#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/Dops.h"
#include "data/Money.h"
#include "data/TabnDops.h"
#include "data/UserFormulas.h"
#include "foundation/Parsing.h"
#include "platform/Exceptions.h"

#include <QHash>

#include <array>
#include <cmath>
#include <memory>

namespace {

constexpr double e = FormulaEpsilon;

// In the order of the variable record.
constexpr std::array<const char*, 10> kVariables = {"S", "T", "VN", "VU", "ST", "NN", "TF", "TK", "TB", "TD"};

// The largest amount an entry's sum can hold after rounding to kopecks.
constexpr double kMaxAmount = 9.2e12;

constexpr quint16 kBalanceCode = 199;

// A user formula's program compiled once per text: a run calculates the
// same formulas for every employee. Programs are never changed once made.
std::shared_ptr<const T_ParserCompiledText> CompiledProgram(const QString& text)
{
    static QHash<QString, std::shared_ptr<const T_ParserCompiledText>> made;
    if (const auto it = made.constFind(text); it != made.constEnd())
        return it.value();
    auto program = std::make_shared<const T_ParserCompiledText>(text);
    if (made.size() >= 256)
        made.clear();
    made.insert(text, program);
    return program;
}

double Accrual(int code, double S, double T, const TFormulaInputs& in)
{
    switch (code) {
    case 1: return S;
    case 2: return in.TB <= e ? 0 : in.TF / in.TB * S;
    case 3: return in.TF * S;
    case 4:
        if (in.TB <= e)
            return 0;
        return in.TF > in.TB ? S : in.TF / in.TB * S;
    case 65: return T * S;
    case 66: return in.TB <= e ? 0 : T / in.TB * S;
    case 67: return in.TD <= e ? 0 : T * S / in.TD;
    case 129: return in.VN * S / 100;
    case 130: return in.TF > in.TB ? (in.TF - in.TB) * S * in.ST / 100 : 0;
    case 131: return in.TF > in.TB && in.TF > e && in.TB > e ? (in.TF - in.TB) * S * in.VN / (100 * in.TF) : 0;
    case 132: return in.TB * in.ST * S / 100;
    case 133:
    case 134: return in.TF * in.ST * S / 100;
    case 193: return T <= 0 ? S : in.ST * T * S / 100;
    case 194:
        if (in.TF <= e)
            return 0;
        return T <= e ? S : T * S * in.VN / (100 * in.TF);
    case 197:
        if (in.TF <= e)
            return 0;
        return T <= e ? S : T * in.VN / in.TF;
    case 198: return in.TF <= e ? 0 : 2 * T * in.VN / in.TF;
    case kBalanceCode: return T * in.ST;
    case 200: return 2 * T * in.ST;
    default: return 0; // 64 and 4097 are not computed here
    }
}

double Deduction(int code, double S, const TFormulaInputs& in)
{
    switch (code) {
    case 1: return S;
    // 130 takes the tax out of the base before the call: the same product as 129.
    case 129:
    case 130: return in.VN * S / 100;
    case 131: return (in.VN - in.VU) * S / 100;
    default: return 0;
    }
}

void KeepFormulaError(TFormulaError& error, qint32 dopNum, int line, int col, const QString& message)
{
    error.DopNum = dopNum;
    error.Line = line;
    error.Col = col;
    error.Message = message;
}

} // namespace

double CalcMethodAmount(int code, bool deduction, double S, double T, const TFormulaInputs& in)
{
    return deduction ? Deduction(code, S, in) : Accrual(code, S, T, in);
}

// ---------------------------------------------------------------- T_Formula

T_Formula::T_Formula(IFormulaContext& context) : Context(context) {}

T_Formula::~T_Formula() = default;

T_UserFormulaInfo* T_Formula::GetInfo()
{
    if (!info_)
        info_ = std::make_unique<T_UserFormulaInfo>();
    return info_.get();
}

void T_Formula::SetRow(T_TabnDop* row)
{
    Row = row;
    Found = FTime = FValue = FPercent = FBase = IsUserFormula = false;
    Code = 0;
    deduction_ = false;
    // A stale TK of an earlier entry must not reach this one's formula.
    if (info_)
        info_->TK = 0;

    const T_Dop* dop = nullptr;
    if (row != nullptr && row->DopNum >= 0 && row->DopNum < dnFirstReserved) {
        T_DNList* directory = row->Owner != nullptr ? row->Owner : Context.FormulaDirectory();
        if (directory != nullptr)
            dop = directory->FindDop(row->DopNum);
        if (dop != nullptr && dop->DopNum != row->DopNum)
            dop = nullptr;
    }
    if (dop != nullptr) {
        deduction_ = dop->Uder;
        if (dop->Tip == 1) {
            Code = kBalanceCode;
            Name = QStringLiteral("Учет баланса рабочего времени");
            FTime = true;
            Found = true;
        } else {
            const bool byBalance = dop->Tip == 2 || dop->Tip == 3;
            const TCalcMethodInfo* method
                = byBalance ? FindCalcMethod(kBalanceCode, true) : FindCalcMethod(dop->Formula, !dop->Uder);
            if (method != nullptr) {
                Code = method->Code;
                Name = method->NameText();
                FTime = method->FTime;
                FValue = method->FValue;
                FPercent = method->FPercent;
                FBase = method->FBase;
                Found = true;
                IsUserFormula = !byBalance && !dop->Uder && Code == cmUserFormula;
                if (byBalance)
                    deduction_ = false;
            }
        }
    }
    if (!Found) {
        Name = row != nullptr ? QStringLiteral("Формула не определена для №%1").arg(row->DopNum)
                              : QStringLiteral("Формула не определена для №???");
        throw EAppException(Name);
    }
}

double T_Formula::Calculate(double ST, double VN, double VU, double TF, double TB, double TD)
{
    if (!Found || Row == nullptr)
        return 0;
    const double S = Row->Sum.ToDouble();
    const double T = Row->DTime;
    Context.LastFormulaError().DopNum = -1;
    double result = 0;
    if (Code == cmUserFormula) {
        T_UserFormulaInfo* info = GetInfo();
        info->S = S;
        info->T = T;
        info->VN = VN;
        info->VU = VU;
        info->ST = ST;
        info->NN = Row->DopNum;
        info->TF = TF;
        info->TB = TB;
        info->TD = TD;
        result = CalcUserFormula();
    } else {
        result = CalcMethodAmount(Code, deduction_, S, T, TFormulaInputs{ST, VN, VU, TF, TB, TD});
    }
    return RoundToKop(result);
}

double T_Formula::CalcUserFormula()
{
    const qint32 dopNum = Row != nullptr ? Row->DopNum : 0;
    T_UserFormulaList* formulas = Context.FormulaTexts();
    const QString text = formulas != nullptr ? formulas->GetText(dopNum) : QString();
    if (text.trimmed().isEmpty())
        throw EAppException(QStringLiteral("Не определена формула пользователя начисления №%1").arg(dopNum));

    Compiled& compiled = compiled_[dopNum];
    if (!compiled.program || compiled.text != text) {
        compiled.program = CompiledProgram(text);
        compiled.text = text;
    }
    if (!runner_) {
        runner_ = std::make_unique<T_BlockParser>();
        runner_->SetVariableSource(this);
        runner_->OnVariable = [this](const QString& name, Variant& value) { return GetVariable(name, value); };
    }
    Variant result;
    try {
        runner_->Run(*compiled.program, result);
    } catch (const EExpressionParserError& err) {
        int col = 1;
        int line = 0;
        runner_->GetPosition(col, line);
        KeepFormulaError(Context.LastFormulaError(), dopNum, line, col, err.Message());
        throw;
    }
    double value = 0;
    try {
        value = result.AsDouble();
    } catch (const Exception& err) {
        KeepFormulaError(Context.LastFormulaError(), dopNum, 0, 1, err.Message());
        throw;
    }
    if (!std::isfinite(value) || std::fabs(value) >= kMaxAmount) {
        const QString message
            = QStringLiteral("Результат формулы пользователя начисления №%1 вне допустимого диапазона").arg(dopNum);
        KeepFormulaError(Context.LastFormulaError(), dopNum, 0, 1, message);
        throw EAppException(message);
    }
    return value;
}

int T_Formula::IndexOf(const QString& name) const
{
    const QString upper = name.toUpper();
    for (size_t i = 0; i < kVariables.size(); ++i) {
        if (upper == QLatin1String(kVariables[i]))
            return int(i);
    }
    return -1;
}

double T_Formula::VariableValue(int index) const
{
    if (!info_)
        return 0;
    const T_UserFormulaInfo& v = *info_;
    const double values[] = {v.S, v.T, v.VN, v.VU, v.ST, v.NN, v.TF, v.TK, v.TB, v.TD};
    return index >= 0 && index < int(std::size(values)) ? values[index] : 0;
}

void T_Formula::GetValue(int index, Variant& value) const { value = Variant(VariableValue(index)); }

bool T_Formula::GetReal(int index, double& value) const
{
    if (index < 0 || index >= int(kVariables.size()))
        return false;
    value = VariableValue(index);
    return true;
}

bool T_Formula::GetVariable(const QString& name, Variant& value)
{
    const int index = IndexOf(name);
    if (index < 0) {
        value = Variant();
        return false;
    }
    GetInfo();
    GetValue(index, value);
    return true;
}
