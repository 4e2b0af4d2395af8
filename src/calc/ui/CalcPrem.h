#pragma once
// The premium for past periods: for the marked employees of a department,
// a percentage of what they were paid in past months for the kinds of one
// kind's base table, put into the working month's input of a receiving
// kind, added to what is there or replacing it.

#include "foundation/ui/base/FormBase.h"
#include "platform/Currency.h"

#include <QHash>

#include <memory>

class QCheckBox;
class QComboBox;
class Tyq_DateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class T_TNList;
class T_Tabn;

class TFormCalcPrem : public TForm {
    Q_OBJECT
public:
    explicit TFormCalcPrem(QWidget* parent = nullptr);
    ~TFormCalcPrem() override;

    // The working employees of the department, by number.
    void SetPodr(qint32 podr);
    T_TNList& Cards() { return *cards_; }
    qint32 TablDop() const { return tablDop_; }
    qint32 Dop() const { return dop_; }
    void SetTablDop(qint32 dopNum);
    // Only a kind summing its sum (method 1) or a user formula (64).
    void SetDop(qint32 dopNum);

    // Sums and, with cbAuto, distributes; the checks come before any write.
    void Calculate();
    // The selected employee's premium into his input.
    void DistributeSelected();
    bool PremCalculated(qint32 tabNum) const;
    Currency Premium(qint32 tabNum) const;
    void SelectRow(int row);

    QComboBox* cbPodr;
    QTableWidget* lvt;
    QLabel* lbCount;
    QLabel* lbTablDop;
    QLabel* lbDop;
    QPushButton* btTablDop;
    QPushButton* btDop;
    QLineEdit* edProc;
    Tyq_DateEdit* deBeg;
    Tyq_DateEdit* deEnd;
    QCheckBox* cbAuto;
    QCheckBox* cbSumm;
    QPushButton* btCalc;
    QPushButton* btVvWrite;
    QLabel* lbStatus;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct TPrem {
        bool Calculated = false;
        Currency Premium;
    };
    void FillPodrs();
    void Redraw();
    // The row's box and image as the card's mark and premium stand.
    void ShowMark(int row);
    void ShowKinds();
    // The receiving kind as it stands now, else the error and a silent abort.
    void CheckDop() const;
    void Distribute(T_Tabn& card);
    T_Tabn* SelectedCard() const;

    std::unique_ptr<T_TNList> cards_;
    QHash<qint32, TPrem> prem_;
    qint32 tablDop_ = -1;
    qint32 dop_ = -1;
    bool redrawing_ = false; // the list is being filled: its changes are no clerk's
};

// Modal; Esc closes it.
void ShowCalcPrem();
