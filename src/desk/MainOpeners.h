#pragma once
// The main menu's items whose windows live in later parts of the program
// (documents, archive, import, the period transition, the accrual set-up)
// open through here. A window registers the item's component name once,
// before the main window is made (RegisterProgramForms):
//
//   RegisterMenuOpener("mnVedRL", [](TFormMain& m) { ShowDocCatalog(1, m.CurPodr()); });
//
// An item without an opener is disabled by the main window's menu walk.
// The employee card page and the pickers the main window borrows have
// their own seams below.

#include <QString>
#include <functional>

class QWidget;
class TFormMain;

using TMenuOpener = std::function<void(TFormMain& main)>;

void RegisterMenuOpener(const QString& item, TMenuOpener opener);
void UnregisterMenuOpener(const QString& item);
bool HasMenuOpener(const QString& item);
// Runs the item's opener; false when none is registered.
bool RunMenuOpener(const QString& item, TFormMain& main);

// The page "Карточка": the embedded employee card, made with the main
// window as parent. Without a factory the page holds a plain placeholder.
class TCardPage {
public:
    virtual ~TCardPage() = default;
    virtual QWidget* Widget() = 0;
    // Shows the employee; the edit buttons only in staff mode.
    virtual void ShowTabn(qint32 tabNum, bool staffMode) = 0;
    // Leaves edit mode (asking whether to save); false keeps the page.
    virtual bool LeaveEditMode() { return true; }
};
using TCardPageFactory = std::function<TCardPage*(QWidget* parent)>;
void SetCardPageFactory(TCardPageFactory factory);
TCardPage* CreateCardPage(QWidget* parent);

// The accrual picker; answers the number or -1. Without one the clerk types
// the number (InputDopNum).
using TDopPicker = std::function<qint32(const QString& title)>;
void SetDopPicker(TDopPicker picker);
const TDopPicker& DopPicker();

// The formula editor of an accrual, at a position with a message (line -1:
// no position). Without one a formula error is only listed.
using TFormulaEditorOpener = std::function<void(qint32 dopNum, int line, int col, const QString& message)>;
void SetFormulaEditorOpener(TFormulaEditorOpener opener);
const TFormulaEditorOpener& FormulaEditorOpener();

// The new-employee wizard; the new employee's personnel number, 0 when
// none was added.
using TNewTabnWizard = std::function<qint32(qint32 podr)>;
void SetNewTabnWizard(TNewTabnWizard wizard);
const TNewTabnWizard& NewTabnWizard();
