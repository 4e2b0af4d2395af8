#pragma once
// The amount of one accrual entry by the calculation method of its kind:
// the built-in methods from the entry's sum S and time T and six values of
// the pay calculation, method 64 by the kind's user formula.
//
//   T_Formula f(AppContext());                        // or a context of its own
//   f.SetRow(entry);                                   // raises: no method
//   if (f.IsUserFormula) f.GetInfo()->TK = normHours;
//   entry->Sum = Currency::FromDouble(f.Calculate(rate, base, deducted, worked, norm, dayLength));

#include "data/AppContext.h"
#include "foundation/BlockParser.h"
#include "foundation/TypeList.h"

#include <QString>

#include <memory>
#include <unordered_map>

class T_TabnDop;

// What the pay calculation hands to a method.
struct TFormulaInputs {
    double ST = 0; // the employee's rate
    double VN = 0; // base sum
    double VU = 0; // deducted so far
    double TF = 0; // time worked
    double TB = 0; // working-time norm
    double TD = 0; // length of the working day
};

// The zero threshold of the methods: a divisor at or below it gives no division.
constexpr double FormulaEpsilon = 1e-7;

// The amount of a built-in method, not rounded. A user formula (64), the
// calculation tables (4097) and an unknown code give 0.
double CalcMethodAmount(int code, bool deduction, double S, double T, const TFormulaInputs& in);

// The variables a user formula reads.
class T_UserFormulaInfo : public TObject {
public:
    double S = 0, T = 0, VN = 0, VU = 0, ST = 0, NN = 0, TF = 0, TK = 0, TB = 0, TD = 0;
};

class T_Formula : public TObject, public T_ParserVariableSource {
public:
    // Everything the formula reads of the data base comes from the context
    // (not owned; it outlives the formula).
    explicit T_Formula(IFormulaContext& context);
    ~T_Formula() override;
    T_Formula(const T_Formula&) = delete;
    T_Formula& operator=(const T_Formula&) = delete;

    bool FValue = false;
    bool FTime = false;
    QString Name;
    quint16 Code = 0; // 0: no method
    T_TabnDop* Row = nullptr; // not owned
    bool Found = false;
    bool FBase = false;
    bool FPercent = false;
    bool IsUserFormula = false; // an accrual of method 64
    IFormulaContext& Context;

    // Attaches the entry and looks its method up in the directory every
    // time (an entry object may be reused for another kind). TK goes back
    // to 0. No method: raises "Формула не определена для №N" ("№???"
    // without an entry).
    void SetRow(T_TabnDop* row);
    // The amount of the attached entry rounded to kopecks; 0 without a method.
    double Calculate(double ST, double VN, double VU, double TF, double TB, double TD);
    double Calculate(const TFormulaInputs& in) { return Calculate(in.ST, in.VN, in.VU, in.TF, in.TB, in.TD); }
    // The variables, made on first use.
    T_UserFormulaInfo* GetInfo();
    // S, T, VN, VU, ST, NN, TF, TK, TB, TD (any letter case); other names
    // give the empty Variant and false.
    bool GetVariable(const QString& name, Variant& value);
    // Runs the entry's user formula ("Не определена формула пользователя
    // начисления №N" when it has none). A failure is also kept as the
    // program's last formula error, with its line and column.
    double CalcUserFormula();

    // The user formula's variables by number, for the compiled programs.
    int IndexOf(const QString& name) const override;
    void GetValue(int index, Variant& value) const override;
    bool GetReal(int index, double& value) const override;

private:
    struct Compiled {
        QString text;
        std::shared_ptr<const T_ParserCompiledText> program;
    };
    double VariableValue(int index) const;

    bool deduction_ = false;
    std::unique_ptr<T_UserFormulaInfo> info_;
    std::unique_ptr<T_BlockParser> runner_;
    // Compiled programs by accrual number, made again when the text changes.
    std::unordered_map<qint32, Compiled> compiled_;
};
