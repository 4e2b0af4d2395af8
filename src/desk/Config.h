#pragma once
// The settings dialog: the dates of the data and the period, the rounding
// and calculation switches, the director and the chief accountant, and the
// name variants shown.

#include "foundation/ui/base/FormBase.h"
#include "platform/DateTime.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class Tyq_DateEdit;
class QPushButton;
class QTabWidget;
class Tyq_FloatEdit;
class Tyq_IntegerEdit;

class TFormConfig : public TForm {
    Q_OBJECT
public:
    explicit TFormConfig(QWidget* parent = nullptr);

    // Fills the controls from the settings (read from the data INI first).
    void LoadControls();
    // What a date button does with the picked date D on its edit (0 begin,
    // 1 working date, 2 period begin, 3 period end).
    void ApplyPickedDate(int edit, TDateTime d);
    // The OK step: false keeps the dialog (a date that does not read, a
    // working date before the begin, a period that ends before it begins).
    bool Apply();

    QTabWidget* pcConfig;
    Tyq_DateEdit* edBegDate;
    Tyq_DateEdit* edWorkDate;
    Tyq_DateEdit* edBegPeriod;
    Tyq_DateEdit* edEndPeriod;
    QCheckBox* cbCalcCompare;
    QCheckBox* cbAutoCalc;
    QCheckBox* cbPNInt;
    QCheckBox* cbTabNomer;
    QCheckBox* cbDopNomer;
    QCheckBox* cbRound;
    QCheckBox* cbRoundB;
    Tyq_FloatEdit* edRoundS;
    Tyq_IntegerEdit* edNumYears;
    Tyq_IntegerEdit* edMinUderNum;
    Tyq_IntegerEdit* edTabnDirector;
    QLineEdit* edNaimDirector;
    QLineEdit* edFioDir;
    Tyq_IntegerEdit* edTabnGlBuh;
    QLineEdit* edNaimGlBuh;
    QLineEdit* edFioGlb;
    QButtonGroup* rgFio;
    QButtonGroup* rgPodr;
    QButtonGroup* rgDop;
    QPushButton* btOk;
    QPushButton* btCancel;

private:
    Tyq_DateEdit* DateEdit(int edit) const;
    void PickTabn(Tyq_IntegerEdit* number, QLineEdit* fio, const QString& prompt);
    void ShowFio(Tyq_IntegerEdit* number, QLineEdit* fio);
};

// Shows the dialog modally; true after OK.
bool ShowFormConfig();
