#pragma once
// The new-accrual wizard. Leaving the number page reserves the number with
// a placeholder DP row; the wizard ending without a save deletes it again.
//
//   TFormNewDopl wizard;
//   if (wizard.ShowModal() == mrOk) ReloadAllLists();

#include "foundation/ui/base/DialogBases.h"

#include <memory>

class QCheckBox;
class QComboBox;
class Tyq_DateEdit;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class T_Dop;
class Tyq_FloatEdit;

class TFormNewDopl : public TFormMultyPage {
    Q_OBJECT
public:
    explicit TFormNewDopl(QWidget* parent = nullptr);
    ~TFormNewDopl() override;

    // The number held by the placeholder row; 0 none.
    qint32 Reserved() const { return reserved_; }
    const T_Dop& Dop() const { return *dop_; }

    // The number buttons.
    void NextNumber();
    void PrevNumber();
    // "Выбрать" of the two stages.
    void ChooseFormulaStage();
    void ChooseDataStage();
    // "Место в справочнике".
    void ChoosePlace();
    void SaveNewDop();

    void done(int result) override;

    QRadioButton* rbDopl;
    QRadioButton* rbUder;
    QLineEdit* edNaim;
    Tyq_DateEdit* deDateBeg;
    QSpinBox* edDopNum;
    QLineEdit* edDopNomer;
    QCheckBox* cbCheckCode;
    QComboBox* cbFormula;
    QSpinBox* edStadiaF;
    QSpinBox* edStadiaD;
    QCheckBox* cbTabl;
    QCheckBox* cbVList;
    Tyq_FloatEdit* edSum;
    QCheckBox* cbIndivid;
    QCheckBox* cbFBalans;
    QCheckBox* cbFDayClock;
    QCheckBox* cbFRazov;
    QWidget* tabType;
    QWidget* tabCode;
    QWidget* tabFormula;
    QWidget* tabCalc;
    QWidget* tabInd;
    QWidget* tabMisc;
    QWidget* tabValuta;
    QWidget* tabEnd;

protected:
    bool CanChangePage(int from, int to, bool backMove) override;
    void showEvent(QShowEvent* event) override;
    void PageChanged() override;

private:
    bool CheckPage(QWidget* page);
    void TypeChosen();
    void FillMethods(bool accrual);
    void FormulaStageLeft();
    void DataStageLeft();
    void Release();
    void Reserve(qint32 number);
    bool Uder() const;

    std::unique_ptr<T_Dop> dop_;
    bool methodsForAccruals_ = true;
    qint32 reserved_ = 0;
    qint32 placeAfter_ = 0; // the kind the new one follows in the order
    bool filling_ = false;
    bool skipping_ = false;
    bool closing_ = false;
};
