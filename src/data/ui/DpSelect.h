#pragma once
// The accrual picker: a filtered, sorted list of the accrual directory to
// choose one kind from, or to mark several. One window, made on first use
// and reused, so the chosen set, the sort order and the last line stay
// from call to call.
//
//   qint32 num = SelectDop(dfDeductions, QStringLiteral("Выберите удержание"), current, 0);  // -1: cancelled
//   QList<qint32> marked{3, 40};
//   if (SelectDopList(dfAccruals, hint, marked, 3)) ...   // the marked numbers in list order
//
// The list kind is the view's filter (the df... bits of data/Dops.h). When
// it is one of the sets of the chooser the chooser is hidden; otherwise the
// clerk chooses the set. A typed digit asks for the number.

#include "foundation/TypeList.h"
#include "foundation/ui/base/FormBase.h"

#include <QIcon>
#include <QList>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class T_Dop;
class T_DNSubList;
class T_MDop;

// The image of a kind in the program's lists: -1 none, 0 a deduction (1
// marked), 2 an accrual (3 marked).
int GetDopImageIndex(const T_Dop* dop, bool mark);
int GetMDopImageIndex(const T_MDop* mdop);
// The shared images by that index; an empty icon for -1.
QIcon DopImage(int index);

class TFormDpSelect : public TForm {
    Q_OBJECT
public:
    explicit TFormDpSelect(QWidget* parent = nullptr);
    ~TFormDpSelect() override;

    qint32 SelectDop(quint8 kind, const QString& hint, qint32 current, quint8 sort);
    // Marks several kinds; the list gives the marks on entry and receives
    // the marked numbers after OK.
    bool SelectDopList(quint8 kind, const QString& hint, QList<qint32>& list, quint8 sort);

    int SortMode() const { return sortMode_; }
    quint8 Filter() const;
    qint32 CurDopNum() const { return curDopNum_; }
    bool MultiSelect() const { return multi_; }
    // The numbers of the shown lines in list order, and the marked ones.
    QList<qint32> ShownDops() const;
    QList<qint32> MarkedDops() const;

    QComboBox* cbNabor;
    QLabel* lbSort;
    QLabel* lbHint;
    QTableView* lvt;
    QPushButton* btOk;
    QPushButton* btCancel;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class DopListModel;

    bool Execute(quint8 kind, const QString& hint, qint32 current, quint8 sort);
    void Prepare(quint8 kind, const QString& hint, qint32 current, quint8 sort);
    void Finish();
    void SetSort(int mode);
    void NaborChosen();
    void ViewChanged(TObject* sender);
    // Refills the list and selects the line of keep, else the first line.
    void Refill(qint32 keep);
    void SelectRow(int row);
    void RowChosen();
    void ToggleCurrent();
    void SetAllMarks(bool on);
    void FindByNumber(int digit);
    void Confirm();
    void DoubleClicked();

    std::unique_ptr<T_DNSubList> view_;
    DopListModel* model_;
    int updateDepth_ = 0;
    int sortMode_ = 1;
    qint32 curDopNum_ = -1;
    bool multi_ = false;
    bool opening_ = false;
};

// The program's picker, made on first use; FreeFormDpSelect ends it.
TFormDpSelect& FormDpSelect();
void FreeFormDpSelect();

qint32 SelectDop(quint8 kind, const QString& hint, qint32 current, quint8 sort);
bool SelectDopList(quint8 kind, const QString& hint, QList<qint32>& list, quint8 sort);
