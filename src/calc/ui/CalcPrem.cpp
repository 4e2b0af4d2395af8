#include "calc/ui/CalcPrem.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/FieldValues.h"

#include "data/AppContext.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/Podr.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "data/ui/DpSelect.h"
#include "foundation/Messages.h"
#include "platform/DateTime.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum { colMark, colTabn, colFio, colPrem };

QString KindText(qint32 dopNum)
{
    const T_Dop* dop = dopNum > 0 ? DNList()->FindDop(dopNum) : nullptr;
    return dop != nullptr ? QStringLiteral("%1  %2").arg(dop->GetNumberText(), dop->GetName()) : QStringLiteral("???");
}

QString NotFoundText(qint32 dopNum)
{
    return Format(QStringLiteral("Начисление №%s в справочнике не найдено"), QString::number(dopNum));
}

const QString kMethodText
    = QStringLiteral("Формула расчета доплаты должна быть суммовой\r\n\"Сн=См\" или \"Формулой пользователя\"");

class OverrideCursor {
public:
    OverrideCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~OverrideCursor() { QApplication::restoreOverrideCursor(); }
    OverrideCursor(const OverrideCursor&) = delete;
    OverrideCursor& operator=(const OverrideCursor&) = delete;
};

} // namespace

TFormCalcPrem::TFormCalcPrem(QWidget* parent)
    : TForm(parent, QStringLiteral("FormCalcPrem")), cards_(std::make_unique<T_TNList>(PNList()))
{
    SetButtonMnemonics(true);
    setWindowTitle(QStringLiteral("Расчет премии за прошедшие периоды"));
    SetKeyPreview(true);
    auto* layout = new QVBoxLayout(this);
    auto* podrRow = new QHBoxLayout;
    podrRow->addWidget(new QLabel(QStringLiteral("Подразделение"), this));
    cbPodr = new QComboBox(this);
    cbPodr->setObjectName(QStringLiteral("cbPodr"));
    cbPodr->setMinimumWidth(260);
    podrRow->addWidget(cbPodr, 1);
    layout->addLayout(podrRow);

    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    lvt = new QTableWidget(0, 4, this);
    lvt->setObjectName(QStringLiteral("lvt"));
    lvt->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("Таб.№"), QStringLiteral("Ф.И.О."), QStringLiteral("Премия")});
    lvt->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvt->setSelectionMode(QAbstractItemView::SingleSelection);
    lvt->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvt->verticalHeader()->hide();
    lvt->setColumnWidth(colMark, 46);
    lvt->setColumnWidth(colTabn, 60);
    lvt->setColumnWidth(colFio, 220);
    lvt->horizontalHeader()->setStretchLastSection(true);
    left->addWidget(lvt, 1);
    lbCount = new QLabel(this);
    lbCount->setObjectName(QStringLiteral("lbCount"));
    left->addWidget(lbCount);
    body->addLayout(left, 3);

    auto* grid = new QGridLayout;
    int r = 0;
    grid->addWidget(new QLabel(QStringLiteral("Таблица начислений"), this), r, 0);
    lbTablDop = new QLabel(this);
    lbTablDop->setObjectName(QStringLiteral("lbTablDop"));
    grid->addWidget(lbTablDop, r, 1);
    btTablDop = MakeButton(this, "btTablDop", QStringLiteral("..."));
    grid->addWidget(btTablDop, r++, 2);
    grid->addWidget(new QLabel(QStringLiteral("Начисление премии"), this), r, 0);
    lbDop = new QLabel(this);
    lbDop->setObjectName(QStringLiteral("lbDop"));
    grid->addWidget(lbDop, r, 1);
    btDop = MakeButton(this, "btDop", QStringLiteral("..."));
    grid->addWidget(btDop, r++, 2);
    grid->addWidget(new QLabel(QStringLiteral("Процент"), this), r, 0);
    edProc = new QLineEdit(QStringLiteral("0"), this);
    edProc->setObjectName(QStringLiteral("edProc"));
    FilterTypedChars(edProc, TypedKind::Float);
    grid->addWidget(edProc, r++, 1);
    grid->addWidget(new QLabel(QStringLiteral("С"), this), r, 0);
    deBeg = MakeDateEdit(this, "deBeg");
    grid->addWidget(deBeg, r++, 1);
    grid->addWidget(new QLabel(QStringLiteral("По"), this), r, 0);
    deEnd = MakeDateEdit(this, "deEnd");
    grid->addWidget(deEnd, r++, 1);
    cbAuto = new QCheckBox(QStringLiteral("Разнести сразу"), this);
    cbAuto->setObjectName(QStringLiteral("cbAuto"));
    grid->addWidget(cbAuto, r++, 0, 1, 3);
    cbSumm = new QCheckBox(QStringLiteral("С суммированием"), this);
    cbSumm->setObjectName(QStringLiteral("cbSumm"));
    grid->addWidget(cbSumm, r++, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    btCalc = MakeButton(this, "btCalc", QStringLiteral("Рассчитать"));
    btVvWrite = MakeButton(this, "btVvWrite", QStringLiteral("Разнести"));
    buttons->addWidget(btCalc);
    buttons->addWidget(btVvWrite);
    grid->addLayout(buttons, r++, 0, 1, 3);
    grid->setRowStretch(r, 1);
    body->addLayout(grid, 2);
    layout->addLayout(body, 1);
    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    layout->addWidget(lbStatus);
    resize(860, 480);

    const TDateTime work = AppContext().Cfg.Workdate;
    deBeg->setDate(ToQDate(work));
    deEnd->setDate(ToQDate(work));
    const Tcfg& cfg = AppContext().Cfg;
    if (cfg.PremDop >= 1) {
        tablDop_ = cfg.PremDopTabl;
        dop_ = cfg.PremDop;
    } else if (const T_Dop* premia = DNList()->FindDopByTip(dtPremia)) {
        tablDop_ = dop_ = premia->DopNum;
    }
    cards_->SetSortMode(1);
    ShowKinds();
    FillPodrs();

    // The box is the mark: a click on it (or Space on the cell) sets the card's mark.
    connect(lvt, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (redrawing_ || item->column() != colMark || item->row() >= cards_->Count())
            return;
        T_Tabn* card = cards_->GetTabn(item->row());
        card->Checked = item->checkState() == Qt::Checked;
        ShowMark(item->row());
    });
    connect(cbPodr, &QComboBox::activated, this, guarded([this] { SetPodr(cbPodr->currentData().toInt()); }));
    connect(btCalc, &QPushButton::clicked, this, guarded([this] { Calculate(); }));
    connect(btVvWrite, &QPushButton::clicked, this, guarded([this] { DistributeSelected(); }));
    connect(btTablDop, &QPushButton::clicked, this, guarded([this] {
        const qint32 n = SelectDop(dfAccruals,
            QStringLiteral("Выберите доплату, таблица которой будет использована при выборке суммы доплат для расчета "
                           "премии"),
            tablDop_, 0);
        if (n >= 0)
            SetTablDop(n);
    }));
    connect(btDop, &QPushButton::clicked, this, guarded([this] {
        const qint32 n = SelectDop(
            dfAccruals, QStringLiteral("Выберите доплату, на которую будет разнесена сумма премии"), dop_, 0);
        if (n >= 0)
            SetDop(n);
    }));
}

TFormCalcPrem::~TFormCalcPrem() = default;

void TFormCalcPrem::FillPodrs()
{
    cbPodr->clear();
    T_PNList* podrs = PNList();
    for (int i = 0; podrs != nullptr && i < podrs->PodrCount(); ++i) {
        const T_Podr* p = podrs->GetPodr(i);
        if (!p->IsEnterprise() && !p->Deleted)
            cbPodr->addItem(QStringLiteral("%1  %2").arg(p->Num).arg(p->GetName()), p->Num);
    }
}

void TFormCalcPrem::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (cbPodr->currentIndex() >= 0 && cards_->Podr() != cbPodr->currentData().toInt())
        RunGuarded([this] { SetPodr(cbPodr->currentData().toInt()); });
}

void TFormCalcPrem::SetPodr(qint32 podr)
{
    const int at = cbPodr->findData(podr);
    if (at >= 0)
        cbPodr->setCurrentIndex(at);
    prem_.clear();
    cards_->SetFilter(tfWorking);
    cards_->SetPodr(podr);
    cards_->EnsureLoaded();
    Redraw();
    if (lvt->rowCount() > 0)
        SelectRow(0);
}

void TFormCalcPrem::SelectRow(int row) { lvt->setCurrentCell(row, colTabn); }

void TFormCalcPrem::ShowKinds()
{
    lbTablDop->setText(KindText(tablDop_));
    lbDop->setText(KindText(dop_));
}

void TFormCalcPrem::SetTablDop(qint32 dopNum)
{
    tablDop_ = dopNum;
    AppContext().Cfg.PremDopTabl = dopNum;
    ShowKinds();
}

void TFormCalcPrem::SetDop(qint32 dopNum)
{
    const T_Dop* dop = DNList()->FindDop(dopNum);
    if (dop == nullptr)
        ErrorAbort(NotFoundText(dopNum));
    if (dop->Formula != 1 && dop->Formula != 64)
        ErrorAbort(kMethodText);
    dop_ = dopNum;
    AppContext().Cfg.PremDop = dopNum;
    ShowKinds();
}

void TFormCalcPrem::CheckDop() const
{
    const T_Dop* dop = dop_ >= 1 ? DNList()->FindDop(dop_) : nullptr;
    if (dop == nullptr)
        ErrorAbort(NotFoundText(dop_));
    if (dop->Formula != 1 && dop->Formula != 64)
        ErrorAbort(kMethodText);
}

bool TFormCalcPrem::PremCalculated(qint32 tabNum) const { return prem_.value(tabNum).Calculated; }

Currency TFormCalcPrem::Premium(qint32 tabNum) const { return prem_.value(tabNum).Premium; }

T_Tabn* TFormCalcPrem::SelectedCard() const
{
    const int row = lvt->currentRow();
    return row >= 0 && row < cards_->Count() ? cards_->GetTabn(row) : nullptr;
}

void TFormCalcPrem::ShowMark(int row)
{
    QTableWidgetItem* mark = lvt->item(row, colMark);
    if (!mark || row >= cards_->Count())
        return;
    const T_Tabn* card = cards_->GetTabn(row);
    const bool wasRedrawing = redrawing_;
    redrawing_ = true;
    mark->setCheckState(card->Checked ? Qt::Checked : Qt::Unchecked);
    // A computed premium: the accrual image, marked while still to be distributed.
    if (prem_.value(card->TabNum()).Calculated)
        mark->setIcon(DopImage(GetDopImageIndex(DNList()->FindDop(dop_), card->Checked)));
    redrawing_ = wasRedrawing;
}

void TFormCalcPrem::Redraw()
{
    const int current = lvt->currentRow();
    redrawing_ = true;
    lvt->setRowCount(0);
    for (int i = 0; i < cards_->Count(); ++i) {
        const T_Tabn* card = cards_->GetTabn(i);
        const TPrem prem = prem_.value(card->TabNum());
        lvt->insertRow(i);
        auto* mark = new QTableWidgetItem;
        mark->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        lvt->setItem(i, colMark, mark);
        ShowMark(i);
        lvt->setItem(i, colTabn, new QTableWidgetItem(card->GetNumberText()));
        lvt->setItem(i, colFio, new QTableWidgetItem(card->GetFio()));
        auto* sum = new QTableWidgetItem(prem.Calculated ? FormatMoney(prem.Premium.ToDouble()) : QString());
        sum->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        lvt->setItem(i, colPrem, sum);
    }
    lbCount->setText(QStringLiteral("  Табельных номеров %1").arg(cards_->Count()));
    if (current >= 0 && current < lvt->rowCount())
        SelectRow(current);
    redrawing_ = false;
}

void TFormCalcPrem::Calculate()
{
    bool any = false;
    for (const T_Tabn* card : *cards_)
        any = any || card->Checked;
    if (!any) {
        // Esc stops: a stray key must never put premiums into the input.
        const int choice = ChooseButton(QStringLiteral("Не выбран ни один табельный номер"), QString(),
            {3, QStringLiteral("Рассчитать выделенного"), QStringLiteral("Выбрать всех"), QStringLiteral("Отмена")});
        if (choice == 1) {
            T_Tabn* card = SelectedCard();
            if (card == nullptr)
                ErrorAbort(QStringLiteral("Не выбран работник"));
            card->Checked = true;
        } else if (choice == 2) {
            cards_->CheckAll();
        } else {
            return;
        }
    }
    OverrideCursor busy;
    lbStatus->setText(QStringLiteral("Расчет..."));
    prem_.clear();
    Redraw();
    const double p = StrToFloatDef(edProc->text().trimmed(), 0) / 100;
    if (p < 0.00001)
        ErrorAbort(QStringLiteral("Процент не может быть равен 0"));
    const TDateTime b = GetMonthBeg(FromQDate(deBeg->date()));
    const TDateTime e = GetMonthEnd(FromQDate(deEnd->date()));
    if (b > e)
        ErrorAbort(QStringLiteral("Начальная дата больше конечной"));
    const TDateTime workdate = AppContext().Cfg.Workdate;
    if (e >= GetMonthBeg(workdate))
        ErrorAbort(QStringLiteral("Конечная дата должна входить в прошлые периоды"));
    const T_Dop* tablDop = tablDop_ > 0 ? DNList()->FindDop(tablDop_) : nullptr;
    if (tablDop == nullptr || tablDop->TablTable == nullptr)
        ErrorAbort(QStringLiteral("Неверно определена таблица выборки начислений"));
    if (cbAuto->isChecked())
        CheckDop();
    // The numbers, not the table: reading the cards may reload the directory.
    QSet<qint32> kinds;
    for (int i = 0; i < tablDop->TablTable->Count(); ++i)
        kinds.insert(tablDop->TablTable->GetInteger(i));

    T_dTabn results(DNList());
    for (const T_Tabn* card : *cards_) {
        if (!card->Checked)
            continue;
        Currency sum;
        results.SetTabNum(card->TabNum());
        for (TDateTime d = b; d < e; d = IncMonth(d, 1)) {
            results.SetDate(d);
            for (const T_TabnDop* entry : results.GetNcList())
                if (kinds.contains(entry->DopNum))
                    sum += entry->Sum;
        }
        TPrem& prem = prem_[card->TabNum()];
        prem.Premium = Currency::CentsFromDouble(Currency::CentsFromDouble(sum.ToDouble()).ToDouble() * p);
        prem.Calculated = true;
    }
    if (!cbAuto->isChecked()) {
        Redraw();
        lbStatus->setText(QStringLiteral("Расчет  выполнен"));
        return;
    }
    for (T_Tabn* card : *cards_)
        Distribute(*card);
    Redraw();
    lbStatus->setText(QStringLiteral("Расчет ")
        + (cbSumm->isChecked() ? QStringLiteral("с СУММИРОВАНИЕМ") : QStringLiteral("с ЗАМЕЩЕНИЕМ"))
        + QStringLiteral(" выполнен"));
}

void TFormCalcPrem::Distribute(T_Tabn& card)
{
    const TPrem prem = prem_.value(card.TabNum());
    if (!prem.Calculated || !card.Checked)
        return;
    T_dTabn input(DNList());
    input.SetTabNum(card.TabNum());
    input.SetDate(AppContext().Cfg.Workdate);
    T_TabnDopList& vvod = input.GetVvodList();
    const Currency present = cbSumm->isChecked() ? vvod.GetSum(dop_) : Currency();
    vvod.SetValues(dop_, 0, present + prem.Premium, 0);
    vvod.SaveInput();
    card.Checked = false;
}

void TFormCalcPrem::DistributeSelected()
{
    T_Tabn* card = SelectedCard();
    if (card == nullptr)
        ErrorAbort(QStringLiteral("Не выбран работник"));
    if (!card->Checked)
        ErrorAbort(PremCalculated(card->TabNum()) ? QStringLiteral("Уже разнесено") : QStringLiteral("Не рассчитано"));
    if (!PremCalculated(card->TabNum()))
        ErrorAbort(QStringLiteral("Не рассчитано"));
    CheckDop();
    Distribute(*card);
    Redraw();
}

bool TFormCalcPrem::FormKeyDown(QKeyEvent* event)
{
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    if (event->key() == Qt::Key_Space && (lvt->hasFocus() || focusWidget() == nullptr)) {
        if (T_Tabn* card = SelectedCard()) {
            card->Checked = !card->Checked;
            Redraw();
        }
        return true;
    }
    if (keypad && (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Minus)) {
        if (event->key() == Qt::Key_Plus)
            cards_->CheckAll();
        else
            cards_->UncheckAll();
        Redraw();
        return true;
    }
    return TForm::FormKeyDown(event);
}

void ShowCalcPrem()
{
    TFormCalcPrem form;
    form.ShowModal();
}
