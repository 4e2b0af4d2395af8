#include "calc/ui/TbSelect.h"

#include "calc/ui/AccrualEditors.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/ui/DpSelect.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/Beep.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

TFormTbSelect* g_form = nullptr;

QTableWidget* ListView(QWidget* parent, const QString& name, const QStringList& headers)
{
    auto* v = new QTableWidget(0, headers.size(), parent);
    v->setObjectName(name);
    v->setHorizontalHeaderLabels(headers);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->verticalHeader()->hide();
    v->horizontalHeader()->setStretchLastSection(true);
    v->setColumnWidth(0, 46);
    v->setColumnWidth(1, 50);
    return v;
}

QTableWidgetItem* Cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

// A deduction list: a sheet with lines, red for a deduction's list.
QIcon ListImage(int index)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(index == 4 ? QColor(192, 32, 32) : QColor(0, 128, 0), 1));
    p.setBrush(Qt::white);
    p.drawRect(2, 1, 11, 13);
    for (int y = 4; y <= 11; y += 3)
        p.drawLine(4, y, 11, y);
    return QIcon(pm);
}

QIcon TableImage(int index) { return index >= 4 ? ListImage(index) : DopImage(index); }

} // namespace

TFormTbSelect::TFormTbSelect(QWidget* parent) : TForm(parent, QStringLiteral("FormTbSelect"))
{
    SetButtonMnemonics(true);
    setWindowTitle(QStringLiteral("Список таблиц"));
    SetRefuseSystemClose(true);
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("Список таблиц выбора начислений"), this);
    heading->setObjectName(QStringLiteral("lbHeader"));
    layout->addWidget(heading);
    pnFilter = new QWidget(this);
    pnFilter->setObjectName(QStringLiteral("pnFilter"));
    auto* filter = new QHBoxLayout(pnFilter);
    filter->setContentsMargins(0, 0, 0, 0);
    btAll = new QPushButton(QStringLiteral("Все"), pnFilter);
    btAll->setObjectName(QStringLiteral("btAll"));
    btFilterCancel = new QPushButton(QStringLiteral("Отмена"), pnFilter);
    btFilterCancel->setObjectName(QStringLiteral("btFilterCancel"));
    filter->addWidget(btAll);
    filter->addWidget(btFilterCancel);
    filter->addStretch();
    layout->addWidget(pnFilter);

    auto* body = new QHBoxLayout;
    lvTabl = ListView(
        this, QStringLiteral("lvTabl"), {QString(), QStringLiteral("№"), QStringLiteral("Наименование таблицы")});
    body->addWidget(lvTabl, 1);
    auto* right = new QVBoxLayout;
    lbOwner = new QLabel(this);
    lbOwner->setObjectName(QStringLiteral("lbOwner"));
    right->addWidget(lbOwner);
    lvDop = ListView(
        this, QStringLiteral("lvDop"), {QString(), QStringLiteral("№"), QStringLiteral("Наименование начисления")});
    right->addWidget(lvDop, 1);
    body->addLayout(right, 1);
    layout->addLayout(body, 1);

    auto* bottom = new QHBoxLayout;
    btDelete = new QPushButton(QStringLiteral("Удалить"), this);
    btDelete->setObjectName(QStringLiteral("btDelete"));
    btOk = new QPushButton(QStringLiteral("  Ok     "), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    bottom->addWidget(btDelete);
    bottom->addStretch();
    bottom->addWidget(btOk);
    bottom->addWidget(btCancel);
    for (QPushButton* b : {btAll, btFilterCancel, btDelete, btOk, btCancel})
        b->setAutoDefault(false);
    layout->addLayout(bottom);
    resize(720, 440);

    connect(btAll, &QPushButton::clicked, this, guarded([this] { SetFilter(3); }));
    connect(btFilterCancel, &QPushButton::clicked, this, guarded([this] { SetFilter(0); }));
    connect(btDelete, &QPushButton::clicked, this, guarded([this] { DeleteTable(); }));
    connect(btOk, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrOk); }));
    connect(btCancel, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrCancel); }));
    connect(lvTabl, &QTableWidget::currentCellChanged, this, guarded([this] {
        if (!filling_)
            ShowCurrent();
    }));
    connect(lvTabl, &QTableWidget::cellDoubleClicked, this, guarded([this] { SetModalResult(mrOk); }));
    connect(lvDop, &QTableWidget::currentCellChanged, this, guarded([this](int row, int, int, int) {
        if (row >= 0 && view_ && row < view_->DopCount())
            AppContext().LastDopNum = view_->GetDop(row)->DopNum;
    }));
}

TFormTbSelect::~TFormTbSelect() = default;

void TFormTbSelect::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    pnFilter->setVisible(DebugStopEnabled());
}

int TFormTbSelect::TableImageIndex(const T_DopTabl* table)
{
    if (table == nullptr)
        return -1;
    T_DNList* dn = DNList();
    const T_Dop* owner = dn != nullptr ? dn->FindDop(table->DopNum) : nullptr;
    if (table->Tip == 1)
        return owner != nullptr && owner->Uder ? 4 : 5;
    return GetDopImageIndex(owner, false);
}

T_DopTabl* TFormTbSelect::Execute()
{
    Fill(-1);
    if (ShowModal() != mrOk)
        return nullptr;
    return CurrentTable();
}

void TFormTbSelect::SetFilter(int tip)
{
    filter_ = tip;
    const T_DopTabl* current = CurrentTable();
    Fill(current != nullptr ? current->Num : -1);
}

T_DopTabl* TFormTbSelect::CurrentTable() const
{
    const int row = lvTabl->currentRow();
    if (row < 0 || row >= shown_.size() || DNList() == nullptr)
        return nullptr;
    return DNList()->Tables().FindByNum(shown_[row]);
}

void TFormTbSelect::SelectRow(int row) { lvTabl->setCurrentCell(row, 1); }

void TFormTbSelect::Fill(qint32 keep)
{
    T_DNList* dn = DNList();
    filling_ = true;
    lvTabl->setRowCount(0);
    shown_.clear();
    int at = 0;
    if (dn != nullptr) {
        dn->EnsureLoaded();
        T_TablSubList tables;
        tables.Fill(dn->Tables(), filter_);
        for (T_DopTabl* t : tables) {
            const int row = lvTabl->rowCount();
            lvTabl->insertRow(row);
            auto* image = Cell(QString());
            image->setIcon(TableImage(TableImageIndex(t)));
            lvTabl->setItem(row, 0, image);
            lvTabl->setItem(row, 1, Cell(QString::number(t->Num)));
            lvTabl->setItem(row, 2, Cell(t->Naim));
            if (t->Num == keep)
                at = row;
            shown_ << t->Num;
        }
    }
    filling_ = false;
    lvTabl->setCurrentCell(shown_.isEmpty() ? -1 : at, 1);
    ShowCurrent();
}

void TFormTbSelect::ShowCurrent()
{
    lvDop->setRowCount(0);
    T_DopTabl* table = CurrentTable();
    if (table == nullptr) {
        view_.reset();
        lbOwner->setText(QStringLiteral("Владелец :"));
        return;
    }
    const T_Dop* owner = DNList()->FindDop(table->DopNum);
    if (owner == nullptr)
        MessageBeep();
    lbOwner->setText(QStringLiteral("Владелец :  ")
        + (owner != nullptr ? owner->GetName() : QStringLiteral("??? Не определено ???")));
    view_ = std::make_unique<T_DNSubList>(DNList(), table->Tip == 1 ? dfDeductions : dfAccruals);
    for (int i = 0; i < view_->DopCount(); ++i) {
        T_MDop* m = view_->GetMDop(i);
        m->Checked = table->IndexOfInteger(m->Dop->DopNum) >= 0;
        lvDop->insertRow(i);
        auto* image = Cell(QString());
        image->setIcon(DopImage(GetMDopImageIndex(m)));
        image->setData(Qt::CheckStateRole, m->Checked ? Qt::Checked : Qt::Unchecked);
        lvDop->setItem(i, 0, image);
        lvDop->setItem(i, 1, Cell(m->Dop->GetNumberText()));
        lvDop->setItem(i, 2, Cell(m->Dop->GetName()));
    }
}

void TFormTbSelect::DeleteTable()
{
    T_DopTabl* table = CurrentTable();
    if (table == nullptr)
        ErrorAbort(QStringLiteral("Не выбрана таблица"));
    const qint32 num = table->Num;
    T_DNList* dn = DNList();
    for (int i = 0; i < dn->DopCount(); ++i) {
        const T_Dop* d = dn->GetDop(i);
        if (d->Tabl == num || d->VList == num)
            ErrorAbort(QStringLiteral("Таблица используется...|Удаление невозможно"));
    }
    if (!ConfirmDelete(QStringLiteral("[%1]  \"%2\"").arg(num).arg(table->Naim), QString()))
        return;
    const int row = lvTabl->currentRow();
    DeleteTablRecord(num);
    dn->Reload();
    Fill(-1);
    if (!shown_.isEmpty())
        SelectRow(std::min(row, int(shown_.size()) - 1));
}

TFormTbSelect& FormTbSelect() { return MakeOnFirstUse(g_form, &FreeFormTbSelect); }

void FreeFormTbSelect()
{
    delete g_form;
    g_form = nullptr;
}

T_DopTabl* ShowTbSelect() { return FormTbSelect().Execute(); }
