#pragma once
// The income-tax book: the types (PNT), their dated tables (PN) and each
// table's scale lines (PNL), edited in grids over the data module's linked
// cursors. The program's tax list is read again after the book closes.

#include "db/Cursor.h"
#include "foundation/ui/base/FormBase.h"

class QCheckBox;
class QComboBox;
class Tyq_DateEdit;
class QGroupBox;
class QLineEdit;
class QToolButton;
class TDBGrid;

class TFormSprPx : public TForm, private CursorObserver {
    Q_OBJECT
public:
    explicit TFormSprPx(QWidget* parent = nullptr);
    ~TFormSprPx() override;

    // Lines editable in place and the parameters enabled, or row selection.
    void SetEditMode(bool on);
    bool EditMode() const { return editMode_; }
    // With changes, asks whether to keep them (the parameters are stored, or
    // the lines put back as they were), then browse mode.
    void LeaveEditMode();

    // The chosen type; -1 when there is none.
    qint32 CurrentTip() const;
    void SelectTip(qint32 tip);

    void AddTip();
    void RenameTip();
    void DeleteTip();
    void AddTable();
    void ChangeTable();
    void DeleteTable();
    void DeleteLine();

    TDBGrid* DateGrid() const { return dgDate_; }
    TDBGrid* LineGrid() const { return dgLines_; }

    // The tables with fewer than two lines stop the calculation: closing
    // warns and may go back (false).
    bool CanLeave();

    void done(int result) override;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CursorChanged(Cursor& cursor, CursorChange change) override;
    void FillTips(qint32 select);
    void TipChosen();
    void ShowParams();
    // The typed parameters (FYEAR .. CURSVALUT, then DATEBEG), each checked.
    QList<Variant> TypedParams() const;
    bool ParamsChanged(const QList<Variant>& values) const;
    void StoreParams(const QList<Variant>& values);
    void RestoreLines();
    // Typed or stored since the change began (nothing is checked).
    bool HasChanges() const;
    // The typed row and parameters, each checked, into the table.
    void SaveChanges();
    // The lines as they were when the change began.
    void DropChanges();

    QComboBox* cbTip_ = nullptr;
    TDBGrid* dgDate_ = nullptr;
    TDBGrid* dgLines_ = nullptr;
    QGroupBox* gbParams_ = nullptr;
    QGroupBox* gbYear_ = nullptr;
    QCheckBox* cbFYear_ = nullptr;
    Tyq_DateEdit* deDateBeg_ = nullptr;
    Tyq_DateEdit* deYearBeg_ = nullptr;
    Tyq_DateEdit* deYearEnd_ = nullptr;
    QLineEdit* edDateBeg_ = nullptr;
    QLineEdit* edCursValut_ = nullptr;
    QLineEdit* edKMinZp_ = nullptr;
    QLineEdit* edMetod_ = nullptr;
    QLineEdit* edSum_ = nullptr;
    QLineEdit* edSumMinZp_ = nullptr;
    QToolButton* btTblChange_ = nullptr;
    bool editMode_ = false;
    bool filling_ = false;
    qint32 lastTip_ = -1;
    // The table being changed and its lines when the change began.
    qint32 editedNum_ = 0;
    QList<QList<Variant>> editedLines_;
    QString paramsState_;
};

// Right 28, then the book modally.
void ShowSprPx();
