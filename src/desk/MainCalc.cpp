#include "desk/Main.h"

#include "calc/RTabl.h"
#include "calc/TabnCalc.h"
#include "calc/ui/AccrualEditors.h"
#include "calc/ui/EditFml.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "data/ui/InVvod.h"
#include "data/ui/SrSelect.h"
#include "desk/MainOpeners.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/dialogs/TextView.h"
#include "platform/Clock.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QMenuBar>
#include <QTreeView>

namespace {

// Other actions wait while a department or the enterprise is calculated:
// the menu, the pages and the window's own keys (F3, Alt+X, ...).
class BlockWindow {
public:
    explicit BlockWindow(QMainWindow* w) : w_(w)
    {
        w_->menuBar()->setEnabled(false);
        w_->centralWidget()->setEnabled(false);
        for (QAction* a : w_->actions())
            if (a->isEnabled()) {
                a->setEnabled(false);
                keys_ << a;
            }
    }
    ~BlockWindow()
    {
        w_->menuBar()->setEnabled(true);
        w_->centralWidget()->setEnabled(true);
        for (QAction* a : keys_)
            a->setEnabled(true);
    }
    BlockWindow(const BlockWindow&) = delete;
    BlockWindow& operator=(const BlockWindow&) = delete;

private:
    QMainWindow* w_;
    QList<QAction*> keys_;
};

QString NotFoundDopText(qint32 dopNum)
{
    return QStringLiteral("\"") + Format(QStringLiteral("Начисление №%s в справочнике не найдено"), dopNum)
        + QStringLiteral("\"");
}

} // namespace

// ---------------------------------------------------------------- calculation drive

bool TFormMain::CalcOneTabn(qint32 tabNum, bool show)
{
    errors_.clear();
    AppContext().FormulaError.DopNum = -1;
    bool ok = true;
    {
        const BusyScope busy;
        ok = ::CalcOneTabn(CalcSources(AppContext()), tabNum, 0, errors_);
    }
    if (!ok && show) {
        bool found = false;
        auto card = T_Tabn::CreateByTabNum(tabNum, found);
        const QString shown = found ? card->GetNumberText() : QString::number(tabNum);
        ShowView(QStringLiteral("Ошибки при расчете"), Format(QStringLiteral("Табельный номер [%s]"), shown), errors_,
            AppContext().FormulaError.DopNum > 0);
        ShowFormulaError();
    }
    ProcessRunEvents();
    return ok;
}

void TFormMain::ProcessRunEvents()
{
    const uint32_t now = GetTickCount();
    if (now - lastEventsTick_ < 500)
        return;
    lastEventsTick_ = now;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool TFormMain::CalcPodr(qint32 num, bool show, qint32& firstErrTabn)
{
    if (show)
        firstErrTabn = 0;
    TCalcBatchResult result;
    TCalcBatchOptions options;
    qint32 last = 0;
    options.OnCalculated = [&](T_rTabn& calc, bool calculated) {
        last = calc.TabNum();
        ShowCalcCount(calculated ? 1 : 0, calculated ? 0 : 1);
        ProcessRunEvents();
    };
    {
        BlockWindow block(this);
        const BusyScope busy;
        ::CalcPodr(CalcSources(AppContext()), num, options, result);
    }
    if (!ShowSaveFailure(result))
        return false;
    if (firstErrTabn < 1)
        firstErrTabn = result.FirstErrTabn;
    if (!result.Errors.isEmpty()) {
        if (show)
            ShowView(QStringLiteral("Ошибки при расчете подразделения"),
                Format(QStringLiteral("Номер подразделения [%d]"), num), result.Errors, false);
        else
            errors_ = result.Errors;
        LocateTabn(firstErrTabn);
    }
    if (show && !result.LastOk)
        LocateTabn(last);
    // Every employee's outcome counts, not only the last one's.
    return result.Errors.isEmpty();
}

bool TFormMain::CalcEnterprise()
{
    TCalcBatchResult result;
    TCalcBatchOptions options;
    options.OnCalculated = [this](T_rTabn&, bool calculated) {
        ShowCalcCount(calculated ? 1 : 0, calculated ? 0 : 1);
        ProcessRunEvents();
    };
    {
        BlockWindow block(this);
        const BusyScope busy;
        ::CalcEnterprise(CalcSources(AppContext()), options, result);
    }
    if (!ShowSaveFailure(result))
        return false;
    if (result.FirstErrTabn > 0)
        LocateTabn(result.FirstErrTabn);
    if (!result.Errors.isEmpty())
        ShowView(
            QStringLiteral("Ошибки при расчете предприятия"), QStringLiteral("Список ошибок"), result.Errors, false);
    return result.Errors.isEmpty();
}

bool TFormMain::ShowSaveFailure(const TCalcBatchResult& result)
{
    if (result.SaveError.isEmpty())
        return true;
    // The line counted each employee as he was calculated: it shows what was stored.
    ShowCalcCount(0);
    ShowCalcCount(result.Calculated, int(result.NotCalculated.size()));
    ShowError(result.SaveError);
    return false;
}

void TFormMain::ShowFormulaError()
{
    const TFormulaError& e = AppContext().FormulaError;
    if (e.DopNum <= 0)
        return;
    // An editor already open on the kind is brought forward at the error;
    // the parser counts lines from 0, the editor from 1.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* editor = qobject_cast<TFormEditFml*>(w);
        if (!editor || !editor->isVisible() || editor->DopNum() != e.DopNum)
            continue;
        editor->SetCaretPos(e.Col, e.Line < 0 ? 1 : e.Line + 1);
        editor->SetStatus(e.Message);
        if (editor->isMinimized())
            editor->showNormal();
        editor->raise();
        editor->activateWindow();
        return;
    }
    if (FormulaEditorOpener())
        FormulaEditorOpener()(e.DopNum, e.Line, e.Col, e.Message);
}

// ---------------------------------------------------------------- period input

void TFormMain::AddInputRow()
{
    if (pcMain->currentWidget() != tabVvod || !InputEditable())
        return;
    qint32 num = -1;
    if (DopPicker()) {
        num = DopPicker()(QStringLiteral("Выбор начисления для ввода"));
    } else {
        int typed = 0;
        if (!InputDopNum(QStringLiteral("Номер начисления"), typed))
            return;
        num = typed;
    }
    if (num >= 0)
        EditInputRow(num);
}

T_TabnDop* TFormMain::SelectedInput(T_TabnDopList*& list) const
{
    QTreeView* view = lvd->hasFocus() && lvd->currentIndex().isValid() ? lvd : lvu;
    list = view == lvd ? inputDops_.get() : inputUders_.get();
    const QModelIndex idx = view->currentIndex();
    if (!idx.isValid() || idx.row() >= list->Count()) {
        if (view == lvu && lvd->currentIndex().isValid()) {
            list = inputDops_.get();
            const int row = lvd->currentIndex().row();
            return row < list->Count() ? list->GetTabnDop(row) : nullptr;
        }
        return nullptr;
    }
    return list->GetTabnDop(idx.row());
}

void TFormMain::ChangeInputRow()
{
    if (!InputEditable())
        return;
    T_TabnDopList* list = nullptr;
    if (T_TabnDop* e = SelectedInput(list))
        EditInputRow(e->DopNum);
}

void TFormMain::EditInputRow(qint32 dopNum)
{
    if (dopNum < 0)
        return;
    RequireTabn();
    if (!InputEditable())
        return;
    T_Dop* dop = DNList()->FindDop(dopNum);
    if (!dop)
        ErrorAbort(NotFoundDopText(dopNum));
    T_TabnDopList* list = dop->Uder ? inputUders_.get() : inputDops_.get();
    T_TabnDop row(curTabn_, DNList(), tdkInput);
    row.DopNum = dopNum;
    if (const T_TabnDop* old = list->FindTabnDop(dopNum)) {
        row.Sum = old->Sum;
        row.DTime = old->DTime;
        row.Proc = old->Proc;
    }
    row.DateBeg = Cfg.Workdate;
    row.DateOp = Cfg.Workdate;
    row.RelinkDop();
    if (!FormInVvod().Execute(&row))
        return;
    list->SetValues(row.DopNum, row.DTime, row.Sum, row.Proc);
    SaveInputRows();
    RefreshVvodPages();
}

void TFormMain::DeleteInputRow()
{
    if (!InputEditable())
        return;
    T_TabnDopList* list = nullptr;
    T_TabnDop* e = SelectedInput(list);
    if (!e)
        return;
    T_Dop* dop = e->GetDop();
    const QString text
        = dop ? QStringLiteral("\"") + dop->GetName() + QStringLiteral("\"") : NotFoundDopText(e->DopNum);
    if (!ConfirmDelete(QString(), text))
        return;
    list->FreeObject(e);
    SaveInputRows();
    RefreshVvodPages();
}

void TFormMain::SaveInputRows()
{
    if (inputDops_->TabNum != curTabn_ || inputUders_->TabNum != curTabn_)
        ErrorAbort(QStringLiteral("Не определен табельный номер"));
    // The lists' own month: the list of a past month is refused by the save.
    T_TabnDopList all(DNList(), tdkInput);
    all.Date = inputDops_->Date;
    all.TabNum = curTabn_;
    all.AddFrom(*inputDops_);
    all.AddFrom(*inputUders_);
    all.SaveInput();
    all.ClearRefs();
    ReloadCard(curTabn_);
    UpdateCalcCaption();
    ShowTabnStatus();
}

void TFormMain::EditInputFormula()
{
    if (!Action(QStringLiteral("acVvodChange"))->isEnabled() || !InputEditable())
        return;
    T_TabnDopList* list = nullptr;
    T_TabnDop* e = SelectedInput(list);
    if (!e)
        return;
    T_Dop* dop = e->GetDop();
    if (!dop)
        ErrorAbort(NotFoundDopText(e->DopNum));
    if (dop->Formula == cmUserFormula && FormulaEditorOpener())
        FormulaEditorOpener()(e->DopNum, -1, 0, QString());
}
