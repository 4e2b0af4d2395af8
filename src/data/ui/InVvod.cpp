#include "data/ui/InVvod.h"
#include "data/ui/EntryValues.h"
#include "foundation/Messages.h"
#include "foundation/TextMeasure.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/NumEdit.h"
#include "platform/DateTime.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>

namespace {

TFormInVvod* g_inVvod = nullptr;
TFormInSrDop* g_inSrDop = nullptr;

// Enabled edits take the window colour, disabled ones the parent's.
void SetEditEnabled(QLineEdit* edit, bool on)
{
    edit->setEnabled(on);
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base,
        on ? QApplication::palette().color(QPalette::Base) : edit->parentWidget()->palette().color(QPalette::Window));
    edit->setPalette(pal);
}

// Shows the sum or the percent pair and enables them by the method.
// Answers the visible value edit.
QLineEdit* ApplyValueFlags(const TEntryValues& f, QLabel* lbSum, QLineEdit* edSum, QLabel* lbProc, QLineEdit* edProc)
{
    const bool percent = f.FValue && f.FPercent;
    lbProc->setVisible(percent);
    edProc->setVisible(percent);
    lbSum->setVisible(!percent);
    edSum->setVisible(!percent);
    SetEditEnabled(edSum, f.FValue);
    SetEditEnabled(edProc, f.FValue);
    return percent ? edProc : edSum;
}

void FocusAndSelect(QLineEdit* edit)
{
    edit->setFocus();
    edit->selectAll();
}

void PlaceValueEdits(QGridLayout* grid, int row, QLabel* lbSum, QWidget* edSum, QLabel* lbProc, QWidget* edProc)
{
    // The percent pair takes the sum pair's place.
    grid->addWidget(lbSum, row, 0);
    grid->addWidget(edSum, row, 1);
    grid->addWidget(lbProc, row, 0);
    grid->addWidget(edProc, row, 1);
}

} // namespace

// ---------------------------------------------------------------- TFormInVvod

TFormInVvod::TFormInVvod(QWidget* parent) : TFormNewInput(parent, QStringLiteral("FormInVvod"))
{
    setWindowTitle(QStringLiteral("Значение начисления"));
    auto* grid = new QGridLayout(pnClient);
    grid->setContentsMargins(12, 10, 12, 6);
    lbDTime = new QLabel(QStringLiteral("Часы"), pnClient);
    lbDTime->setObjectName(QStringLiteral("lbDTime"));
    edDTime = new Tyq_FloatEdit(pnClient);
    edDTime->setObjectName(QStringLiteral("edDTime"));
    lbSum = new QLabel(QStringLiteral("Сумма"), pnClient);
    lbSum->setObjectName(QStringLiteral("lbSum"));
    edSum = new Tyq_CurrencyEdit(pnClient);
    edSum->setObjectName(QStringLiteral("edSum"));
    lbProc = new QLabel(QStringLiteral("Процент  (%)"), pnClient);
    lbProc->setObjectName(QStringLiteral("lbProc"));
    edProc = new Tyq_FloatEdit(pnClient);
    edProc->setObjectName(QStringLiteral("edProc"));
    grid->addWidget(lbDTime, 0, 0);
    grid->addWidget(edDTime, 0, 1);
    PlaceValueEdits(grid, 1, lbSum, edSum, lbProc, edProc);
    grid->setColumnStretch(1, 1);
    setFixedWidth(320);
}

bool TFormInVvod::Execute(T_TabnDop* row)
{
    Row = row;
    return ShowModal() == mrOk;
}

void TFormInVvod::showEvent(QShowEvent* event)
{
    TFormNewInput::showEvent(event);
    if (!Row)
        return;
    const TEntryValues f = ReadEntryValues(Row);
    lbMode->setText(f.Mode);
    edDTime->SetValue(f.DTime);
    edSum->SetValue(f.Value);
    edProc->SetValue(f.Value);
    SetEditEnabled(edDTime, f.FTime && !ReadOnlyTime);
    QLineEdit* value = ApplyValueFlags(f, lbSum, edSum, lbProc, edProc);
    FocusAndSelect(edDTime->isEnabled() ? edDTime : value);
}

bool TFormInVvod::CanAccept()
{
    if (!Row)
        return true;
    Tyq_FloatEdit* value = edProc->isVisibleTo(this) ? edProc : edSum;
    const double dtime = edDTime->Value();
    WriteEntryValue(Row, value->Value(), edDTime->isEnabled() ? &dtime : nullptr);
    return true;
}

void TFormInVvod::hideEvent(QHideEvent* event)
{
    ReadOnlyTime = false;
    TFormNewInput::hideEvent(event);
}

// ---------------------------------------------------------------- TFormInSrDop

TFormInSrDop::TFormInSrDop(QWidget* parent) : TFormNewInput(parent, QStringLiteral("FormInSrDop"))
{
    setWindowTitle(QStringLiteral("Постоянное начисление"));
    auto* grid = new QGridLayout(pnClient);
    grid->setContentsMargins(12, 10, 12, 6);
    lbSum = new QLabel(QStringLiteral("Сумма"), pnClient);
    lbSum->setObjectName(QStringLiteral("lbSum"));
    edSum = new Tyq_CurrencyEdit(pnClient);
    edSum->setObjectName(QStringLiteral("edSum"));
    lbProc = new QLabel(QStringLiteral("Процент  (%)"), pnClient);
    lbProc->setObjectName(QStringLiteral("lbProc"));
    edProc = new Tyq_FloatEdit(pnClient);
    edProc->setObjectName(QStringLiteral("edProc"));
    PlaceValueEdits(grid, 0, lbSum, edSum, lbProc, edProc);
    auto* lbPeriod = new QLabel(QStringLiteral("Период действия:"), pnClient);
    QFont bold = lbPeriod->font();
    bold.setBold(true);
    lbPeriod->setFont(bold);
    grid->addWidget(lbPeriod, 1, 0, 1, 2);
    auto* lbDateBeg = new QLabel(QStringLiteral("Начало"), pnClient);
    edDateBeg = MakeDateEdit(pnClient, "edDateBeg");
    auto* lbDateEnd = new QLabel(QStringLiteral("Окончание"), pnClient);
    edDateEnd = MakeDateEdit(pnClient, "edDateEnd");
    grid->addWidget(lbDateBeg, 2, 0);
    grid->addWidget(edDateBeg, 2, 1);
    grid->addWidget(lbDateEnd, 3, 0);
    grid->addWidget(edDateEnd, 3, 1);
    grid->setColumnStretch(1, 1);
    setFixedWidth(320);
}

bool TFormInSrDop::Execute(T_TabnDop* row)
{
    Row = row;
    return ShowModal() == mrOk;
}

void TFormInSrDop::showEvent(QShowEvent* event)
{
    TFormNewInput::showEvent(event);
    if (!Row)
        return;
    const TEntryValues f = ReadEntryValues(Row);
    lbMode->setText(f.Mode);
    edSum->SetValue(f.Value);
    edProc->SetValue(f.Value);
    QLineEdit* value = ApplyValueFlags(f, lbSum, edSum, lbProc, edProc);
    // No end shows the begin.
    edDateBeg->setDate(ToQDate(f.DateBeg));
    edDateEnd->setDate(ToQDate(f.DateEnd == 0 ? f.DateBeg : f.DateEnd));
    FocusAndSelect(value);
}

bool TFormInSrDop::CanAccept()
{
    if (!Row)
        return true;
    const TDateTime beg = FromQDate(edDateBeg->date());
    const TDateTime end = FromQDate(edDateEnd->date());
    // An end before the begin would silently become an open end.
    if (end < beg) {
        ShowError(QStringLiteral("Дата окончания раньше даты начала"));
        edDateEnd->setFocus();
        return false;
    }
    Tyq_FloatEdit* value = edProc->isVisibleTo(this) ? edProc : edSum;
    WriteEntryValue(Row, value->Value(), nullptr);
    WriteEntryPeriod(Row, beg, beg + 1 >= end ? 0 : end);
    return true;
}

// ---------------------------------------------------------------- InputDopNum

TFormFindDNum::TFormFindDNum(QWidget* parent) : TForm(parent, QStringLiteral("FormFindDNum"))
{
    setWindowTitle(QStringLiteral("Номер"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 8, 8, 8);
    lb = new QLabel(this);
    lb->setObjectName(QStringLiteral("lb"));
    edNum = new Tyq_IntegerEdit(this);
    edNum->setObjectName(QStringLiteral("edNum"));
    edNum->setFixedWidth(80);
    row->addWidget(lb);
    row->addWidget(edNum);
    SetKeyPreview(true);
}

bool TFormFindDNum::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        SetModalResult(mrOk);
        return true;
    }
    if (event->key() == Qt::Key_Escape) {
        SetModalResult(mrCancel);
        return true;
    }
    return false;
}

void TFormFindDNum::setVisible(bool visible)
{
    TForm::setVisible(visible);
    // Showing hands the edit a tab focus, which selects the number: the
    // caret goes back after it, so that typing goes on with the number.
    if (visible) {
        edNum->deselect();
        edNum->setCursorPosition(edNum->text().size());
    }
}

bool InputDopNum(const QString& prompt, int& num)
{
    TFormFindDNum form;
    form.lb->setText(prompt);
    form.edNum->SetValue(num);
    form.setFixedWidth(TextWidthInFont(prompt, form.lb->font()) + form.edNum->width() + 6 + 24);
    form.edNum->setFocus();
    form.edNum->deselect();
    form.edNum->setCursorPosition(form.edNum->text().size());
    if (form.ShowModal() != mrOk)
        return false;
    num = form.edNum->Value();
    return true;
}

TFormInVvod& FormInVvod() { return MakeOnFirstUse(g_inVvod, FreeInputDialogs); }
TFormInSrDop& FormInSrDop() { return MakeOnFirstUse(g_inSrDop, FreeInputDialogs); }

void FreeInputDialogs()
{
    delete g_inVvod;
    g_inVvod = nullptr;
    delete g_inSrDop;
    g_inSrDop = nullptr;
}
