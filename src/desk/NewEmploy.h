#pragma once
// The new-employee wizard: name, personnel number, place of work, pay,
// income tax and the totals of the previous place of work, saved as one
// card. The number is reserved in SR (a row with PODR 0) when the clerk
// leaves the number page, and released again unless the wizard saves.
//
//   TFormNewEmploy wizard;
//   wizard.ShowModal();          // mrOk after "Да" saved the employee

#include "foundation/ui/base/DialogBases.h"

#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class Tyq_DateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class T_CtgrList;
class T_UserList;
class T_xTabn;
class Tyq_CurrencyEdit;
class Tyq_FloatEdit;
class Tyq_IntegerEdit;

class TFormNewEmploy : public TFormMultyPage {
    Q_OBJECT
public:
    enum TPage { pgFio, pgTN, pgPodr, pgKso, pgPN, pgLastData, pgEnd };

    explicit TFormNewEmploy(QWidget* parent = nullptr);
    ~TFormNewEmploy() override;

    T_xTabn* Card() const { return card_.get(); }
    qint32 Reserved() const { return reserved_; }
    // The personnel number the last "Да" saved; 0 before.
    qint32 SavedTabNum() const { return saved_; }

    void InitWizard();
    void NextNumber();
    void PrevNumber();
    void ReleaseNumber();
    void ChoosePodr();
    void ChoosePost();
    // Unless noAsk, AskSaveChanges must answer Yes; raises on a failure.
    void SaveNewEmployee(bool noAsk);

    // Fio
    QLineEdit* edFio;
    QComboBox* cbCUser;
    Tyq_IntegerEdit* edOrder;
    Tyq_DateEdit* edDateOrder;
    Tyq_DateEdit* edDateBeg;
    // TN
    Tyq_IntegerEdit* edTabNum;
    QToolButton* sbNextNum;
    QToolButton* sbPrevNum;
    QLineEdit* edSTabNum;
    QCheckBox* cbCheckSTabNum;
    // Podr
    QLineEdit* edPodr;
    QPushButton* btPodr;
    QGroupBox* gbPost;
    QLineEdit* edPost;
    QPushButton* btPost;
    QComboBox* cbCtgr;
    // Kso
    QComboBox* cbKSop;
    Tyq_CurrencyEdit* edOkl;
    Tyq_CurrencyEdit* edAvan;
    QComboBox* cbCalendar;
    QLabel* lbMin;
    QLabel* lbMax;
    QLabel* lbVacancy;
    Tyq_CurrencyEdit* edVychet;
    QButtonGroup* rgFS;
    // PN
    QComboBox* cbTipPN;
    QRadioButton* rbPNF;
    QRadioButton* rbPNL;
    QRadioButton* rbPNC;
    Tyq_FloatEdit* edPNLgota;
    Tyq_IntegerEdit* edMinZarp;
    // LastData
    Tyq_CurrencyEdit* edVsego;
    Tyq_CurrencyEdit* edPNPay;
    Tyq_CurrencyEdit* edPNSumTo;
    Tyq_CurrencyEdit* edPNSumAll;
    Tyq_IntegerEdit* edPNMesAll;
    Tyq_CurrencyEdit* edPNDopOsv;
    Tyq_IntegerEdit* edPNKolMinZp;
    Tyq_CurrencyEdit* edPNSumOsv;
    // End
    QPlainTextEdit* mmComment;
    QPushButton* btCancel;
    QPushButton* btSave;

    void done(int result) override;

protected:
    bool CanChangePage(int from, int to, bool backMove) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* MakePage(const QString& title);
    void FillCombos();
    void ShowTaxChoice();
    void ReserveNumber();
    bool TabNomerTaken(const QString& tabNomer) const;
    // True when SR (or an archive) holds the number.
    static bool NumberUsed(qint32 n);

    std::unique_ptr<T_xTabn> card_;
    std::unique_ptr<T_CtgrList> ctgrs_;
    std::unique_ptr<T_UserList> users_;
    QString headerText_;
    qint32 reserved_ = 0;
    qint32 saved_ = 0;
    bool closing_ = false;
};
