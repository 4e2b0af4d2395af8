#pragma once
// The employee card: one personnel card (T_xTabn) with its pay and tax
// data, last month's tax totals, the permanent accruals and the history.
//
// Embedded in the main window (a parent given: display mode 11, one for
// the whole run):
//
//   auto* card = new TFormTabnEdit(tabPage);
//   card->ShowEmbedded(tabNum, staffMode);   // the edit button only when editable
//   ...
//   if (!card->LeaveEditMode()) veto();      // a failed save keeps the page
//
// Standalone (F3): ShowTabnCard(tabNum) makes a read-only window that is
// freed when it closes.

#include "foundation/TypeList.h"
#include "foundation/ui/base/FormBase.h"

#include <QString>
#include <functional>
#include <memory>

class Cursor;
class QButtonGroup;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class Tyq_DateEdit;
class QScrollArea;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QWidget;
class TDBGrid;
class T_CtgrList;
class T_PostList;
class T_TabnDop;
class T_UserList;
class T_xTabn;
class Tyq_ComboEdit;
class Tyq_CurrencyEdit;
class Tyq_FloatEdit;
class Tyq_IntegerEdit;

enum : qint32 { tdmStandalone = 0, tdmEmbedded = 11 };

class TFormTabnEdit : public TForm {
    Q_OBJECT
public:
    // With a parent the card is a plain child widget (embedded); without,
    // a window of its own.
    explicit TFormTabnEdit(QWidget* parent = nullptr);
    ~TFormTabnEdit() override;

    // The picker of an accrual kind to add (title shown); true with the
    // number. Tests and the main window may put another picker here.
    static std::function<bool(int& dopNum, const QString& title)>& DopPicker();

    void ShowEmbedded(qint32 tabNum, bool editable);
    // Ends edit mode first (the question saves the old employee), then
    // shows the new one.
    void SetTabn(qint32 tabNum);
    qint32 TabNum() const { return tabNum_; }
    qint32 DisplayMode() const { return displayMode_; }
    T_xTabn& Card() { return *card_; }
    void LoadCard();

    bool EditMode() const { return editMode_; }
    // On asks right 14 (a refusal aborts silently); off asks whether to
    // save and reloads the card either way.
    void SetEditMode(bool on);
    // SetEditMode(false) for callers that must refuse a page change when
    // the save fails: false then, and edit mode stays.
    bool LeaveEditMode();
    // The card is in edit mode, so leaving it will ask to save.
    bool Modified() const { return editMode_; }
    // Writes the form into the card and saves it; raises on a failure.
    void SaveCard();
    bool PermModified() const { return permModified_; }

    // The permanent accruals page.
    void AddDop();
    void ChangeDop();
    void DeleteDop();
    void EditPermanentEntry(T_TabnDop* entry);
    void PostPermanentToInput();
    // The text of a cell of lvd (columns: number, name, sum, from, to).
    QString DopCellText(int row, int column) const;

    QTabWidget* pcSrCard;
    QWidget* tabBase;
    QWidget* tabDop;
    QWidget* tabPN;
    QWidget* tabTabnDop;
    QWidget* tabMovie;
    QWidget* pnChange;
    QToolButton* sbChange;
    QLabel* lbNum;
    QLabel* lbName;
    QScrollArea* sbBase;
    QScrollArea* sbDop;
    QScrollArea* sbPN;
    QWidget* pnMovie;

    QLineEdit* edFio;
    QLineEdit* edTabNomer;
    Tyq_DateEdit* edDateBeg;
    Tyq_DateEdit* edDateRecept;
    Tyq_DateEdit* edDateRelease;
    Tyq_IntegerEdit* edOrderRecept;
    QLineEdit* edOrderRelease;
    Tyq_ComboEdit* edPost;
    QComboBox* cbCUser;
    QComboBox* cbCtgr;
    QComboBox* cbTipPN;
    Tyq_FloatEdit* edVychet;
    Tyq_IntegerEdit* edMinZarp;
    QLabel* lbDateRas;
    Tyq_CurrencyEdit* edSum;
    Tyq_CurrencyEdit* edOkl;
    Tyq_CurrencyEdit* edAvan;
    QComboBox* cbKSop;
    QComboBox* cbCalendar;
    QRadioButton* rbPNL;
    QRadioButton* rbPNC;
    QRadioButton* rbPNF;
    Tyq_FloatEdit* edPNLgota;
    QButtonGroup* rgFS;
    QPlainTextEdit* mmComment;

    Tyq_CurrencyEdit* edPNPay;
    Tyq_CurrencyEdit* edPNSumTo;
    Tyq_CurrencyEdit* edPNSumAll;
    Tyq_IntegerEdit* edPNMesAll;
    Tyq_CurrencyEdit* edPNDopOsv;
    Tyq_IntegerEdit* edPNKolMinZp;
    Tyq_CurrencyEdit* edPNSumOsv;

    QWidget* barTabnDop;
    QToolButton* btAddDop;
    QToolButton* btChangeDop;
    QToolButton* btDelDop;
    QTreeWidget* lvd;

    TDBGrid* grSrh;
    TDBGrid* grSrd;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void BuildBase();
    void BuildPN();
    void BuildDops();
    void BuildMovie();
    void FillLists();
    void ShowFields();
    void ShowCaption();
    void ShowTaxChoice();
    void RefreshDops();
    void OpenHistory();
    void CardsChanged(TObject* sender);
    T_TabnDop* SelectedDop() const;
    QString DopName(qint32 dopNum) const;
    void SetPanelsEnabled(bool on);
    void SelectByObject(QComboBox* combo, qint32 value);

    std::unique_ptr<T_xTabn> card_;
    std::unique_ptr<T_PostList> posts_;
    std::unique_ptr<T_CtgrList> ctgrs_;
    std::unique_ptr<T_UserList> users_;
    std::unique_ptr<Cursor> srh_;
    std::unique_ptr<Cursor> srd_;
    TNotifyLink cardsLink_;
    qint32 tabNum_ = 0;
    qint32 displayMode_ = tdmStandalone;
    bool loading_ = false;
    bool editMode_ = false;
    bool permModified_ = false;
    QString entryState_; // the fields when edit mode began
};

// F3: below 1 takes the last selected number; nothing without one.
// The card's lists of categories, clerks, tax tables, calendars and pay
// systems, as the card and the new-employee wizard show them.
void FillCardCombos(T_CtgrList& ctgrs, T_UserList& users, QComboBox* ctgr, QComboBox* user, QComboBox* tipPN,
    QComboBox* calendar, QComboBox* ksop);

// The salary field with its caption and unit, as the card and the wizard put
// it into a form: a monthly salary ("Оклад") for salaries; for the other pay
// systems an hourly rate typed in kopecks ("Тариф"), of which the
// calculation takes a hundredth, with the rate in rubles shown beside it.
void AddPayRow(QFormLayout* form, Tyq_CurrencyEdit* okl, QComboBox* ksop);

TFormTabnEdit* ShowTabnCard(qint32 tabNum);
