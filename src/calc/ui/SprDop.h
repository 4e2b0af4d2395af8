#pragma once
// The accrual reference book: the kinds of a chosen set, their move to and
// from the deleted kinds, their order, the new-accrual wizard and the card
// of the chosen kind on the second page. Also the stage routines the card
// and the wizard share.
//
//   ShowSprDop();                                  // modeless, one window
//   if (PlaceOnStage(dop, 120)) ...                // a free stage just below 120

#include "foundation/ui/base/FormBase.h"

#include <memory>

class QComboBox;

class QListWidget;
class QPushButton;
class QTabWidget;
class QTableView;
class T_Dop;
class T_DNSubList;
class T_DopTabl;
class TFormDoplEdit;
class SprDopModel;
class TObject;

// Whether the number is in the table; false for no table.
bool InTable(qint32 dopNum, const T_DopTabl* table);

// The accrual picker in stage order; answers the chosen kind's STADIAF or
// -1. forData false lists the accruals whatever isUder says.
qint32 SelectStageDop(bool isUder, bool forData, qint32 currentDopNum);

// Gives the kind a formula stage just below `stage` among the kinds of its
// own group; true when STADIAF changed. Where no number is free the clerk
// is asked whether to share the stage below.
bool PlaceOnStage(T_Dop& dop, qint32 stage);

// The calculation methods of accruals or of deductions into the combo, each with its number as item data.
void FillMethodCombo(QComboBox* combo, bool accrual);

// The data-stage bounds: 32000 and above, for a deduction the directory's
// highest formula stage and above, for an accrual its own formula stage and
// above give -1; below the column's range gives its lowest value.
qint32 BoundDataStage(bool uder, qint32 stadiaD, qint32 stadiaF, qint32 maxStadiaF);
// The formula stage as stored: at most 32000, not below the column's range.
qint32 BoundFormulaStage(qint32 stadiaF);

class TFormSprDop : public TForm {
    Q_OBJECT
public:
    explicit TFormSprDop(QWidget* parent = nullptr);
    ~TFormSprDop() override;

    // The set of that row of lvNabor (0..6).
    void SelectSet(int row);
    bool DeletedView() const { return deletedView_; }
    int SortMode() const;
    void SetSortMode(int mode);
    // Chooses the row of the kind; false when the view lacks it.
    bool SelectDopNum(qint32 dopNum);
    qint32 CurDopNum() const { return curDopNum_; }
    // The numbers of the shown rows in order.
    QList<qint32> ShownDops() const;
    // A cell as shown (row, column).
    QString CellText(int row, int column) const;

    // 16 delete, 17 restore, 18 destroy.
    void DopOperation(int op);
    void NewDop();
    void DelOrRestore();
    void MoveDop();
    // The page change as the tabs ask it; false keeps the page.
    bool ChangePage(int to);
    void ShowCardPage() { ChangePage(1); }

    TFormDoplEdit* Card() const { return card_; }

    QListWidget* lvNabor;
    QTableView* lvt;
    QTabWidget* pc;
    QPushButton* btNew;
    QPushButton* btDel;
    QPushButton* btMove;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void changeEvent(QEvent* event) override;

private:
    void ViewChanged(TObject* sender);
    void RowChosen(int row);
    void FindByDigit(int digit);
    void StepRow(int delta);

    std::unique_ptr<T_DNSubList> view_;
    SprDopModel* model_ = nullptr;
    TFormDoplEdit* card_ = nullptr;
    bool deletedView_ = false;
    qint32 curDopNum_ = -1;
    int page_ = 0;
    bool changingPage_ = false;
    bool refilling_ = false;
};

// The program's book, made on first use, shown and brought to front.
TFormSprDop& FormSprDop();
void ShowSprDop();
void FreeFormSprDop();
