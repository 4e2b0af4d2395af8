#pragma once
// The picker of the directory's tables of accrual numbers: the base tables
// (Tip 0) and the deduction lists (Tip 1), each with its owner and its
// member kinds marked. A table nobody refers to can be deleted here.
// One window, made on first use.

#include "foundation/ui/base/FormBase.h"

#include <QList>

#include <memory>

class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;
class T_DNSubList;
class T_DopTabl;

class TFormTbSelect : public TForm {
    Q_OBJECT
public:
    explicit TFormTbSelect(QWidget* parent = nullptr);
    ~TFormTbSelect() override;

    // Modal; the chosen table, or nullptr when cancelled.
    T_DopTabl* Execute();

    // The base tables by default (only they can serve as a kind's base);
    // 3 lists every table.
    void SetFilter(int tip);
    int Filter() const { return filter_; }
    // The shown tables' numbers in list order.
    const QList<qint32>& ShownTables() const { return shown_; }
    T_DopTabl* CurrentTable() const;
    void SelectRow(int row);
    // Refused while a kind refers to the table; else after confirmation.
    void DeleteTable();

    // Base tables: the owner's image; deduction lists: 4 for a deduction's,
    // else 5.
    static int TableImageIndex(const T_DopTabl* table);

    QTableWidget* lvTabl;
    QTableWidget* lvDop;
    QLabel* lbOwner;
    QWidget* pnFilter;
    QPushButton* btAll;
    QPushButton* btFilterCancel;
    QPushButton* btDelete;
    QPushButton* btOk;
    QPushButton* btCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Fill(qint32 keep);
    void ShowCurrent();

    std::unique_ptr<T_DNSubList> view_;
    QList<qint32> shown_;
    int filter_ = 0;
    bool filling_ = false;
};

TFormTbSelect& FormTbSelect();
void FreeFormTbSelect();
