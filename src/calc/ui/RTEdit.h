#pragma once
// The calculation tables of one accrual kind (method 4097): its types, the
// dated tables of the chosen type, their parameters and scale lines.
// Changes are made in edit mode and written when it is left with the
// clerk's consent; declining reads the stored tables again.

#include "calc/RTabl.h"
#include "foundation/ui/base/FormBase.h"

class QCheckBox;
class QComboBox;
class Tyq_DateEdit;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TRtLineDelegate;

class TFormRTEdit : public TForm {
    Q_OBJECT
public:
    // The kind must be in the directory.
    explicit TFormRTEdit(qint32 dopNum, QWidget* parent = nullptr);
    ~TFormRTEdit() override;

    T_RtList& List() { return list_; }
    T_RtTip* CurrentTip() const;
    T_RtTable* CurrentTable() const;
    bool EditMode() const { return edit_; }

    void SelectTip(qint32 tip);
    void SelectTable(int index);

    void NewTip();
    void RenameTip();
    void DeleteTip();
    // Asks the start date; a date another table of the type starts on is
    // refused. The new table is selected in edit mode.
    void NewTable();
    void DeleteTable();
    void EnterEditMode();
    // With changes asks first, then stores the fields and saves the type or
    // (No) drops the changes. Answers false when a field holds no valid value.
    bool LeaveEditMode();
    // Drops the changes and reads the stored tables.
    void CancelEdit();
    void NewLine();
    void DeleteLine();

    // The names of the "Метод расчета" list, by the stored index.
    static const QStringList& MethodNames();

    QComboBox* cbTip;
    QTableWidget* lvDate;
    Tyq_DateEdit* deDateBeg;
    QCheckBox* cbByYear;
    Tyq_DateEdit* deYearBeg;
    Tyq_DateEdit* deYearEnd;
    QLineEdit* edKMinZp;
    QComboBox* cbMetod;
    QLineEdit* edSumMinZp;
    QLineEdit* edSum;
    QTableWidget* sgLines;
    QPushButton* btEdit;
    QPushButton* btSave;
    QPushButton* btCancel;

    void done(int result) override;

private:
    friend class TRtLineDelegate;
    void Reread();
    void FillTips(qint32 select);
    void FillDates(int select);
    void ShowTable();
    void ShowLines();
    // Typed or changed since edit mode began (nothing is checked).
    bool HasChanges() const;
    // The open cell, the fields and the type, each value checked.
    void SaveChanges();
    void StoreTable();
    void UpdateControls();
    QByteArray Snapshot() const;
    // A cell's text as the line's value; false keeps the old one.
    bool SetCell(int row, int column, const QString& text);

    T_RtList list_;
    qint32 dopNum_;
    TDateTime lastDate_ = 0;
    QByteArray snapshot_;
    QString paramsState_;
    QWidget* params_ = nullptr;
    TRtLineDelegate* lineDelegate_ = nullptr;
    bool edit_ = false;
    bool filling_ = false;
    QList<QWidget*> browseOnly_;
};
