#pragma once
// The input of one entry of an employee: TFormInVvod for a value of the
// period (time and sum or percent), TFormInSrDop for a permanent value with
// its period of validity, InputDopNum for an accrual number. The caller
// hands a temporary entry over in Row and reads it back after OK.
//
// What may be typed follows the kind's calculation method: the time only
// when the method takes time, the percent edit instead of the sum when the
// value is a percent. Both are stored in Sum (a percent x 10000 as well).

#include "foundation/ui/base/DialogBases.h"

class Tyq_DateEdit;
class QLabel;
class T_TabnDop;
class Tyq_CurrencyEdit;
class Tyq_FloatEdit;
class Tyq_IntegerEdit;

class TFormInVvod : public TFormNewInput {
    Q_OBJECT
public:
    explicit TFormInVvod(QWidget* parent = nullptr);

    // Shows the entry; true after OK, the entry then updated.
    bool Execute(T_TabnDop* row);

    T_TabnDop* Row = nullptr; // not owned
    bool ReadOnlyTime = false; // cleared on close

    QLabel* lbDTime;
    Tyq_FloatEdit* edDTime;
    QLabel* lbSum;
    Tyq_CurrencyEdit* edSum;
    QLabel* lbProc;
    Tyq_FloatEdit* edProc;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool CanAccept() override;
};

class TFormInSrDop : public TFormNewInput {
    Q_OBJECT
public:
    explicit TFormInSrDop(QWidget* parent = nullptr);

    bool Execute(T_TabnDop* row);

    T_TabnDop* Row = nullptr; // not owned

    QLabel* lbSum;
    Tyq_CurrencyEdit* edSum;
    QLabel* lbProc;
    Tyq_FloatEdit* edProc;
    Tyq_DateEdit* edDateBeg;
    Tyq_DateEdit* edDateEnd;

protected:
    void showEvent(QShowEvent* event) override;
    bool CanAccept() override;
};

class TFormFindDNum : public TForm {
    Q_OBJECT
public:
    explicit TFormFindDNum(QWidget* parent = nullptr);

    QLabel* lb;
    Tyq_IntegerEdit* edNum;

    void setVisible(bool visible) override;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
};

// Asks for an accrual number; true with Num set after Enter, false with Num
// unchanged after Esc.
bool InputDopNum(const QString& prompt, int& num);

// The program's dialogs, made on first use.
TFormInVvod& FormInVvod();
TFormInSrDop& FormInSrDop();
void FreeInputDialogs();
