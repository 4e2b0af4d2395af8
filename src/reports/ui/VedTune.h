#pragma once
// The pay-sheet column set-up: the definition's name, its columns in order
// and, for the selected column, the accrual and deduction kinds it sums.
//
//   qint32 number = -1;               // a new definition
//   if (SetupPaySheet(number)) ...    // number now names a stored definition
//
// A new definition takes its number only when it is saved, inside the
// save's own transaction, so two clerks never share one.

#include "foundation/ui/base/FormBase.h"
#include "reports/RasVed.h"

#include <QList>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class T_DNSubList;

class TFormVedTune : public TForm {
    Q_OBJECT
public:
    explicit TFormVedTune(QWidget* parent = nullptr);
    ~TFormVedTune() override;

    // Opens the definition (-1: a new one) modally; true when a stored
    // definition of that number exists after OK.
    bool Execute(qint32& number);

    // The column commands, as the buttons call them.
    void AddColumn();
    void RenameColumn();
    void DeleteColumn();
    void MoveColumn(int delta);
    // Flips the mark of the kind in that row of "Состав".
    void ToggleKind(int row);

    const T_RasVed& Definition() const { return ved_; }
    int SelectedColumn() const;

    QLabel* lbHeader;
    QLineEdit* edName;
    QTreeWidget* lvCol; // "Столбцы"
    QTreeWidget* lvDop; // "Состав"
    QPushButton* btAdd;
    QPushButton* btEdit;
    QPushButton* btDel;
    QPushButton* btUp;
    QPushButton* btDown;
    QPushButton* btOk;
    QPushButton* btCancel;

protected:
    bool FormKeyDown(QKeyEvent* event) override;

private:
    void FillDops();
    void FillColumns(int select);
    void ColumnChanged(int row);
    // The marks back into the column: its numbers the view does not show
    // stay, the shown ones are the checked kinds.
    void WriteBack(int column);
    void ShowMarks(int column);
    int RequireColumn() const;
    // Ok: nothing changed closes without a question; otherwise a name is
    // needed and the save is asked.
    void Accept();
    // What the clerk may change, as one text: the name and the columns.
    QString Shape(const QString& name) const;

    T_RasVed ved_;
    QString entry_; // the shape when the window opened
    std::unique_ptr<T_DNSubList> view_;
    int shownColumn_ = -1;
    bool marksChanged_ = false;
    int updating_ = 0;
};

bool SetupPaySheet(qint32& number);
