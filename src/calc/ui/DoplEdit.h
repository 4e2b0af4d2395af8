#pragma once
// The card of one accrual or deduction kind: name, codes, method, stages,
// its base table, the deductions taken before it and the tables it is
// part of. Modeless on its own (ShowDoplEdit) or embedded in the book.
//
// Everything edited stays in the controls until the save: the kind is
// looked up by number at each step, so a directory reload in between never
// leaves the card holding a freed kind.

#include "foundation/TypeList.h"
#include "foundation/ui/base/FormBase.h"

#include <QList>
#include <QMap>

class QCheckBox;
class QComboBox;
class Tyq_DateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class T_Dop;
class Tyq_FloatEdit;

class TFormDoplEdit : public TForm {
    Q_OBJECT
public:
    explicit TFormDoplEdit(QWidget* parent = nullptr, bool embedded = false);
    ~TFormDoplEdit() override;

    // Shows the kind (-1: none). A new number leaves edit mode first.
    void SetDopNum(qint32 dopNum);
    qint32 DopNum() const { return dopNum_; }
    // "Форма уже активна" when shown already, else the kind and show().
    void ShowFor(qint32 dopNum);

    bool EditMode() const { return editMode_; }
    // Entering needs right 14 (a refusal aborts silently).
    void EnterEditMode();
    // Asks about saving when something changed; re-reads the kind.
    void LeaveEditMode();
    void ToggleEditMode();

    // The "Добавить" / "Удалить" of the deductions.
    void AddVych();
    void DelVych();
    // The table tab's two buttons.
    void SelectExistingTable();
    void CreateOwnTable();
    // "Выбрать" of the formula and of the data stage.
    void ChooseFormulaStage();
    void ChooseDataStage();
    // "Редактор" and F5.
    void OpenEditor();
    // Ctrl+PgUp / Ctrl+PgDn.
    void StepDop(int delta);

    QString Heading() const;

    QLabel* lbHeading;
    QTabWidget* pc;
    QPushButton* btEdit;
    QLineEdit* edNaim;
    QLineEdit* edDopNomer;
    Tyq_DateEdit* deDateBeg;
    Tyq_FloatEdit* edSum;
    QCheckBox* cbTabl;
    QCheckBox* cbVList;
    QCheckBox* cbFBalans;
    QCheckBox* cbFDayClock;
    QCheckBox* cbFRazov;
    QCheckBox* cbIndivid;
    QComboBox* cbFormula;
    QSpinBox* edStadiaF;
    QSpinBox* edStadiaD;
    QPushButton* btStadiaF;
    QPushButton* btStadiaD;
    QCheckBox* cbNakopl;
    QPushButton* btEditor;
    QLabel* lbIn;
    QListWidget* lvIn;
    QLabel* lbVych;
    QListWidget* lvVych;
    QPushButton* btAddVych;
    QPushButton* btDelVych;
    QLabel* lbTabl;
    QListWidget* lvTabl;
    QCheckBox* cbOwnTable;
    QLabel* lbOwner;
    QPushButton* btSelectTable;
    QPushButton* btCreateTable;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    // What the save writes, taken from the controls before any write.
    struct Snapshot {
        QString Naim, DopNomer;
        qint64 DateBeg = 0;
        double Sum = 0;
        bool FBalans = false, FDayClock = false, FRazov = false, Individ = false, Nakopl = false;
        qint32 Formula = 0, StadiaF = 0, StadiaD = 0;
        // The tables: 0 none, -1 a new one made on save, else a DPT number.
        qint32 TablNum = 0, VListNum = 0;
        QList<qint32> VychList, TablMarks;
        QMap<qint32, bool> Membership; // kinds with a table: this kind in it
        friend bool operator==(const Snapshot&, const Snapshot&) = default;
    };

    Snapshot Capture() const;
    void Save(const Snapshot& s);
    void Fill();
    void FillMethods(bool accrual);
    void UpdateEnabled();
    void DirectoryChanged(TObject* sender);
    void NakoplClicked();
    void DataStageLeft();
    void FormulaStageLeft();
    void TablClicked();
    void VListClicked();
    void SetTablMarks(const QList<qint32>& numbers);
    qint32 CurrentMethod() const;

    qint32 dopNum_ = -1;
    bool embedded_;
    bool editMode_ = false;
    bool filling_ = false;
    bool uder_ = false;
    bool methodsForAccruals_ = true;
    qint32 tablNum_ = 0;
    qint32 vlistNum_ = 0;
    Snapshot entry_; // the controls as edit mode began
    TNotifyLink link_;
};

// Opens a new card on the kind, modeless; below 1 the kind shown last,
// nothing when there is none (AppContext().LastDopNum, which the cards and
// the book set). "Не найдено начисление №N" for an unknown kind.
void ShowDoplEdit(qint32 dopNum);
