#pragma once
// The clerk's desk: the department tree with its employees, the employee's
// card, the period's input and results; the calculation drive, the period
// input, the staff operations and the whole menu.

#include "platform/DateTime.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <QTabWidget>
#include <cstdint>
#include <functional>
#include <memory>

class TFormOtl;
struct TCalcBatchResult;
class QAction;
class QComboBox;
class Tyq_DateEdit;
class QLabel;
class QMenu;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;
class QTreeWidget;
class TCardPage;
class TObject;
class T_PNTree;
class T_TNList;
class T_Tabn;
class T_TabnDop;
class T_TabnDopList;

// A page control whose page change the owner may refuse.
class VetoTabWidget : public QTabWidget {
    Q_OBJECT
public:
    explicit VetoTabWidget(QWidget* parent = nullptr);
    // Asked before a change; false keeps the page.
    std::function<bool(int from, int to)> canLeave;
    // After an accepted change.
    std::function<void(int to)> changed;

private:
    int last_ = 0;
    bool reverting_ = false;
};

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    qint32 CurTabn() const { return curTabn_; }
    qint32 CurPodr() const { return curPodr_; }
    int Mode() const { return mode_; }
    TDateTime ViewDate() const { return viewDate_; }
    bool DismissedView() const { return dismissedView_; }
    T_TNList& Cards() const { return *cards_; }
    T_TabnDopList& InputDops() const { return *inputDops_; }
    T_TabnDopList& InputUders() const { return *inputUders_; }
    T_TabnDopList& ResultDops() const { return *resultDops_; }
    T_TabnDopList& ResultUders() const { return *resultUders_; }
    const QStringList& Errors() const { return errors_; }
    // Employees of the last batch calculated / left uncalculated by a fatal message.
    int CalcCount() const { return calcCount_; }
    int CalcFailedCount() const { return calcFailed_; }

    void SetMainTitle(const QString& extra);
    void SetHeaderText(const QString& text);
    void LocateTabn(qint32 tabNum);
    void SetCurrentPodr(qint32 num);
    void SetCurrentTabn(qint32 tabNum);
    void SelectListIndex(QObject* sender, int index);
    T_Tabn* SelectedCard() const;
    qint32 SelectedTabn() const;
    bool NoTabnSelected(bool warn) const;
    void RequireTabn() const;
    void SetDismissedView(bool on);
    void ShowPodrStatus();
    void ShowTabnStatus();
    void RefreshCard();
    void RefreshVvod();
    void RefreshVvodPages();
    void SetViewDate(TDateTime date);
    void SetCalcMode(bool on);
    void SetStaffMode(bool on);
    void UpdateMenuEnabled();
    void UpdateCompareCheck();
    // The settings changed (the settings dialog's OK).
    void SettingsChanged();
    // An import or a restore put other data in place: the window shows it as
    // a new start would (month, ticks, dates, tree, list), keeping the
    // employee when the new data have him.
    void DataReplaced();
    void UpdateCalcCaption();
    // Shows a page of pcMain (0 list, 1 card, 2 period) and of pcVvod
    // (0 input, 1 results), as the clerk's click would.
    void ShowPage(int page);
    void ShowVvodPage(int page);

    // The calculation drive.
    bool CalcOneTabn(qint32 tabNum, bool show);
    bool CalcPodr(qint32 num, bool show, qint32& firstErrTabn);
    bool CalcEnterprise();
    // Add 0 starts the count anew; `failed` adds employees left uncalculated.
    void ShowCalcCount(int add, int failed = 0);
    // The department that could not be stored, told once; false then.
    bool ShowSaveFailure(const TCalcBatchResult& result);
    void ShowFormulaError();

    // The period input.
    void AddInputRow();
    void ChangeInputRow();
    void EditInputRow(qint32 dopNum);
    void DeleteInputRow();
    void SaveInputRows();
    void EditInputFormula();

    // The staff operations: 11 dismiss, 12 restore, 13 delete.
    void StaffOperation(int op);
    void NewTabn();
    void TransferTabn();
    void ReorderTabn();

    // Runs a menu item or action by its component name, as a click would
    // (a disabled one does nothing); false when there is none.
    bool Trigger(const QString& name);
    QAction* Action(const QString& name) const;

    // Components (named as the widgets are).
    VetoTabWidget* pcMain;
    QWidget* tabSR;
    QWidget* tabSrCard;
    QWidget* tabVvod;
    VetoTabWidget* pcVvod;
    QWidget* tabVvData;
    QWidget* tabVvRas;
    QWidget* pnOtl;
    QTreeWidget* tvp;
    QTreeView* lvt;
    QTreeView* lvd;
    QTreeView* lvu;
    QTreeView* lvRasD;
    QTreeView* lvRasU;
    QComboBox* cbVvPodr;
    QComboBox* cbVvTabNum;
    QLabel* lbNum;
    Tyq_DateEdit* dtVvodDate;
    Tyq_DateEdit* dtRasDate;
    QLabel* prgHeader;
    QToolButton* imLogo;
    QStatusBar* sBarPodr;
    QStatusBar* sBarTabn;
    QToolBar* tbSrBase;
    QToolBar* tbSrDel;
    QToolBar* CoolBarSrSpr;
    QLabel* StatusPanel(const QString& bar, int index) const;
    QLabel* TotalLabel(const QString& name) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class MainTabnModel;
    class DopListModel;

    void BuildMenu();
    // The debug panel: shown with the debug flag.
    void BuildDebugPanel(QWidget* parent);
    QAction* AddItem(QMenu* menu, const QString& name, const QString& caption, std::function<void()> handler);
    QAction* AddOpenerItem(QMenu* menu, const QString& name, const QString& caption);
    void BuildListPage();
    void BuildVvodPage();
    QTreeView* MakeDopView(const QString& name, T_TabnDopList* list, bool withTime, DopListModel*& model);
    void TreeChanged(TObject* sender);
    void CardsChanged(TObject* sender);
    void ListsChanged(TObject* sender);
    void ResultsChanged(TObject* sender);
    void TreeSelected();
    void ListSelected();
    void FillVvodCombos();
    bool CanLeavePage(int from, int to);
    void PageChanged(int to);
    void ClockTick();
    bool PageKeys(QKeyEvent* event);
    void StepEmployee(int delta);
    void ReloadCard(qint32 tabNum);
    // Paints and timers, not input, at most every half second of a run.
    void ProcessRunEvents();
    void ClearTotals();
    // Reads the input lists of CurTabn for ViewDate.
    void LoadInputLists();
    // An input edit may start: the working month is shown, and the input
    // lists are (read again if need be) those of CurTabn.
    bool InputEditable();
    T_TabnDop* SelectedInput(T_TabnDopList*& list) const;
    void RoutReserved(T_TabnDopList* sender, T_TabnDop* entry, bool& accept);

    qint32 curTabn_ = 0;
    qint32 curPodr_ = 0;
    TFormOtl* formOtl_ = nullptr; // made once, with the debug flag
    int mode_ = 0;
    int pageSwitchLock_ = 0;
    int lastPage_ = 0;
    TDateTime viewDate_ = 0;
    bool syncLock_ = false;
    bool dismissedView_ = false;
    bool creating_ = true;
    bool running_ = false;
    int clockMinute_ = -1;
    int calcCount_ = 0;
    int calcFailed_ = 0;
    uint32_t lastEventsTick_ = 0;
    QString title_;
    QString headerText_;
    QString tabnCountFormat_;
    QStringList errors_;
    std::unique_ptr<T_PNTree> tree_;
    std::unique_ptr<T_TNList> cards_;
    std::unique_ptr<T_TabnDopList> inputDops_;
    std::unique_ptr<T_TabnDopList> inputUders_;
    std::unique_ptr<T_TabnDopList> resultDops_;
    std::unique_ptr<T_TabnDopList> resultUders_;
    std::unique_ptr<TCardPage> card_;
    MainTabnModel* tabnModel_ = nullptr;
    DopListModel* lvdModel_ = nullptr;
    DopListModel* lvuModel_ = nullptr;
    DopListModel* rasDModel_ = nullptr;
    DopListModel* rasUModel_ = nullptr;
    QTimer* timer_ = nullptr;
    QHash<QString, QAction*> actions_;
    QHash<QAction*, bool> handled_;
    QList<QMenu*> topMenus_;
};

// The program's main window; nullptr while there is none.
TFormMain* FormMain();
