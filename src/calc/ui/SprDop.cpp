#include "calc/ui/SprDop.h"
#include "calc/ui/DoplEdit.h"
#include "calc/ui/NewDopl.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Rights.h"
#include "data/ui/DpSelect.h"
#include "data/ui/InVvod.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormFuncs.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr qint32 kStageMax = 32000;
constexpr qint32 kStageMin = -32768; // DP's stage columns are Smallint

const struct {
    const char* name;
    quint8 filter;
} kSets[] = {
    {"Все начисления", 3},
    {"Доплаты", 1},
    {"Удержания", 2},
    {"Табличные", 35},
    {"Удаленные начисления", 7},
    {"Удаленные доплаты", 5},
    {"Удаленные удержания", 6},
};

enum { colImage, colNumber, colShown, colName, colFlags, colCount = colFlags + 6 };

const char* const kFlagTitles[] = {"Т", "В", "И", "Б", "Д", "Р"};

TFormSprDop* g_form = nullptr;

} // namespace

// ---------------------------------------------------------------- shared routines

bool InTable(qint32 dopNum, const T_DopTabl* table) { return table && table->IndexOfInteger(dopNum) >= 0; }

qint32 SelectStageDop(bool isUder, bool forData, qint32 currentDopNum)
{
    // The formula-stage call asks where the kind is computed, the data-stage
    // call where its input comes from; the titles say so.
    const quint8 kind = forData && isUder ? dfDeductions : dfAccruals;
    const QString title = forData
        ? QStringLiteral("Выберите начисление, ПЕРЕД которым будет рассчитано текущее")
        : QStringLiteral("Выберите начисление, со стадии которого будут взяты данные для расчета");
    const qint32 chosen = SelectDop(kind, title, currentDopNum, 4);
    if (chosen < 0)
        return -1;
    const T_Dop* dop = DNList()->FindDop(chosen);
    return dop ? dop->StadiaF : -1;
}

bool PlaceOnStage(T_Dop& dop, qint32 stage)
{
    QList<qint32> stages;
    T_DNSubList view(DNList(), dop.Uder ? dfDeductions : dfAccruals);
    for (int i = 0; i < view.DopCount(); ++i)
        stages << view.GetDop(i)->StadiaF;
    std::sort(stages.begin(), stages.end());
    const auto found = std::lower_bound(stages.begin(), stages.end(), stage);
    qint32 hi = stage + 2, lo = stage;
    if (found != stages.end()) {
        hi = *found;
        auto below = found;
        while (below != stages.begin() && *below == hi)
            --below;
        // No kind below: the free numbers under hi, down to 0.
        lo = *below != hi ? *below : hi > 1 ? 0 : hi - 1;
    }
    if (dop.StadiaF == lo && lo >= 1)
        return false;
    if (hi - 1 != lo) {
        qint32 place = (lo + hi) / 2;
        if (hi - place > 5)
            place = hi - 5;
        if (place == lo)
            ++place;
        dop.StadiaF = place;
        return true;
    }
    // Esc is "Отменить": the stage stays.
    const int answer = ChooseButton(QStringLiteral("Нет свободного номера для стадии"),
        QStringLiteral("Установить на стадию №%1").arg(lo),
        {Variant(3), Variant(QStringLiteral("Да")), Variant(QStringLiteral("Раздвинуть")),
            Variant(QStringLiteral("Отменить"))});
    if (answer != 1)
        return false;
    dop.StadiaF = lo;
    return true;
}

qint32 BoundDataStage(bool uder, qint32 stadiaD, qint32 stadiaF, qint32 maxStadiaF)
{
    if (stadiaD >= kStageMax || (uder && stadiaD >= maxStadiaF) || (!uder && stadiaD >= stadiaF))
        return -1;
    return std::max(stadiaD, kStageMin);
}

qint32 BoundFormulaStage(qint32 stadiaF) { return std::clamp(stadiaF, kStageMin, kStageMax); }

// ---------------------------------------------------------------- the list

// The rows as the view gave them at its last build: painting never makes
// the view rebuild (and call back) in the middle of a model query.
class SprDopModel : public QAbstractTableModel {
public:
    struct Row {
        qint32 num = -1;
        int image = -1;
        QStringList texts;
    };
    using QAbstractTableModel::QAbstractTableModel;

    void Fill(T_DNSubList& view)
    {
        QList<Row> rows;
        for (int i = 0; i < view.DopCount(); ++i) {
            const T_Dop* d = view.GetDop(i);
            Row r{d->DopNum, GetMDopImageIndex(view.GetMDop(i)),
                {QString(), QString::number(d->DopNum), d->GetNumberText(), d->GetName()}};
            for (bool on : {d->Tabl >= 1, d->VList >= 1, d->Individ, d->FBalans, d->FDayClock, d->FRazov})
                r.texts << (on ? QStringLiteral("+") : QStringLiteral(" "));
            rows << r;
        }
        beginResetModel();
        rows_ = rows;
        endResetModel();
    }
    const QList<Row>& Rows() const { return rows_; }
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_.size(); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : colCount; }

    QString Text(int row, int column) const
    {
        if (row < 0 || row >= rows_.size())
            return QStringLiteral("???");
        return rows_[row].texts.value(column);
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole)
            return Text(index.row(), index.column());
        if (role == Qt::DecorationRole && index.column() == colImage && index.row() < rows_.size())
            return DopImage(rows_[index.row()].image);
        if (role == Qt::TextAlignmentRole && index.column() >= colFlags)
            return int(Qt::AlignCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        switch (section) {
        case colImage: return QString();
        case colNumber: return QStringLiteral("№");
        case colShown: return QStringLiteral("№(п)");
        case colName: return QStringLiteral("Наименование начисления");
        default: return QString::fromUtf8(kFlagTitles[section - colFlags]);
        }
    }

private:
    QList<Row> rows_;
};

// ---------------------------------------------------------------- the book

TFormSprDop::TFormSprDop(QWidget* parent) : TForm(parent, QStringLiteral("FormSprDop"))
{
    SetButtonMnemonics(true);
    setWindowTitle(QStringLiteral("Справочник доплат и удержаний"));
    SetKeyPreview(true);
    // The settings keep the kind chosen here at exit.
    SetDNPositionProvider([this] { return curDopNum_ >= 0 ? curDopNum_ : Cfg.DNPosition; });
    view_ = std::make_unique<T_DNSubList>(DNList(), 3);
    view_->SetSortMode(3);
    view_->OnChange = TNotifyEvent(this, &TFormSprDop::ViewChanged);

    auto* layout = new QVBoxLayout(this);
    auto* header = new QLabel(QStringLiteral("Справочник начислений"), this);
    QFont f = header->font();
    f.setBold(true);
    header->setFont(f);
    layout->addWidget(header);
    pc = new QTabWidget(this);
    layout->addWidget(pc, 1);

    auto* tabList = new QWidget;
    auto* listLayout = new QHBoxLayout(tabList);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Наборы"), tabList));
    lvNabor = new QListWidget(tabList);
    lvNabor->setObjectName(QStringLiteral("lvNabor"));
    for (const auto& set : kSets)
        lvNabor->addItem(QString::fromUtf8(set.name));
    lvNabor->setMaximumWidth(190);
    left->addWidget(lvNabor, 1);
    btNew = new QPushButton(QStringLiteral("Новое"), tabList);
    btDel = new QPushButton(QStringLiteral("Удалить"), tabList);
    btMove = new QPushButton(QStringLiteral("Переставить"), tabList);
    for (QPushButton* b : {btNew, btDel, btMove}) {
        b->setAutoDefault(false);
        left->addWidget(b);
    }
    listLayout->addLayout(left);
    lvt = new QTableView(tabList);
    lvt->setObjectName(QStringLiteral("lvt"));
    model_ = new SprDopModel(lvt);
    lvt->setModel(model_);
    lvt->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvt->setSelectionMode(QAbstractItemView::SingleSelection);
    lvt->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvt->verticalHeader()->hide();
    lvt->verticalHeader()->setDefaultSectionSize(20);
    // Tab leaves the list for the buttons; Enter opens the card.
    lvt->setTabKeyNavigation(false);
    ShowCurrentRowOnFocus(lvt);
    ShowCurrentRowOnFocus(lvNabor);
    lvt->setColumnWidth(colImage, 26);
    lvt->setColumnWidth(colNumber, 50);
    lvt->setColumnWidth(colShown, 60);
    lvt->horizontalHeader()->setSectionResizeMode(colName, QHeaderView::Stretch);
    KeepTitlesWhole(lvt->horizontalHeader());
    for (int c = colFlags; c < colCount; ++c)
        lvt->setColumnWidth(c, 24);
    listLayout->addWidget(lvt, 1);
    pc->addTab(tabList, QStringLiteral("Список"));

    card_ = new TFormDoplEdit(pc, true);
    pc->addTab(card_, QStringLiteral("Карточка"));

    connect(lvNabor, &QListWidget::currentRowChanged, this, guarded([this](int row) { SelectSet(row); }));
    connect(lvt->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        guarded([this](const QModelIndex& current, const QModelIndex&) { RowChosen(current.row()); }));
    connect(lvt, &QTableView::doubleClicked, this, guarded([this] { ChangePage(1); }));
    connect(lvt->horizontalHeader(), &QHeaderView::sectionClicked, this, guarded([this](int column) {
        switch (column) {
        case colImage: SetSortMode(3); break;
        case colNumber: SetSortMode(1); break;
        case colName: SetSortMode(2); break;
        default: break; // the shown number and the flags do not sort
        }
    }));
    connect(pc, &QTabWidget::currentChanged, this, [this](int to) {
        if (changingPage_ || to == page_)
            return;
        // The tabs moved already: back first, then through the check.
        changingPage_ = true;
        pc->setCurrentIndex(page_);
        changingPage_ = false;
        ChangePage(to);
    });
    connect(btNew, &QPushButton::clicked, this, guarded([this] {
        if (deletedView_)
            DopOperation(17);
        else
            NewDop();
    }));
    connect(btDel, &QPushButton::clicked, this, guarded([this] { DelOrRestore(); }));
    connect(btMove, &QPushButton::clicked, this, guarded([this] { MoveDop(); }));
    resize(760, 520);
}

TFormSprDop::~TFormSprDop()
{
    if (curDopNum_ >= 0)
        Cfg.DNPosition = curDopNum_;
    SetDNPositionProvider({});
    if (view_)
        view_->OnChange = TNotifyEvent();
}

void TFormSprDop::SelectSet(int row)
{
    if (row < 0 || row >= int(std::size(kSets)))
        return;
    if (lvNabor->currentRow() != row) {
        lvNabor->setCurrentRow(row); // comes back here
        return;
    }
    const quint8 filter = kSets[row].filter;
    if (view_->Filter() != filter)
        view_->SetFilter(filter);
    deletedView_ = filter & dfDeleted;
    btNew->setText(deletedView_ ? QStringLiteral("Восстановить") : QStringLiteral("Новое"));
    btDel->setText(deletedView_ ? QStringLiteral("Уничтожить") : QStringLiteral("Удалить"));
    RefreshButtonMnemonics();
    ViewChanged(nullptr);
}

int TFormSprDop::SortMode() const { return view_->SortMode(); }

void TFormSprDop::SetSortMode(int mode)
{
    view_->SetSortMode(mode);
    ViewChanged(nullptr);
}

void TFormSprDop::ViewChanged(TObject*)
{
    if (refilling_)
        return; // the build below calls back
    refilling_ = true;
    const qint32 keep = curDopNum_;
    model_->Fill(*view_);
    refilling_ = false;
    curDopNum_ = -1;
    SelectDopNum(keep);
}

QList<qint32> TFormSprDop::ShownDops() const
{
    QList<qint32> out;
    for (const SprDopModel::Row& r : model_->Rows())
        out << r.num;
    return out;
}

QString TFormSprDop::CellText(int row, int column) const { return model_->Text(row, column); }

bool TFormSprDop::SelectDopNum(qint32 dopNum)
{
    const int row = ShownDops().indexOf(dopNum);
    if (row < 0 || dopNum < 0)
        return false;
    lvt->setCurrentIndex(model_->index(row, colName));
    return true;
}

void TFormSprDop::RowChosen(int row)
{
    if (row < 0 || row >= model_->rowCount()) {
        curDopNum_ = -1;
        return;
    }
    const qint32 num = model_->Rows()[row].num;
    curDopNum_ = num;
    AppContext().LastDopNum = num;
    if (!DM()->DP.FindKey({Variant(num)}))
        RaiseError(QStringLiteral("??? Есть в списке но нет в базе №%1").arg(num));
}

void TFormSprDop::DopOperation(int op)
{
    RequireOperation(static_cast<quint8>(op));
    if (curDopNum_ < 0)
        ErrorAbort(QStringLiteral("Не выбрано начисление"));
    T_Dop dop(DNList());
    dop.DopNum = curDopNum_;
    if (!dop.Refresh()) {
        ShowError(QStringLiteral("Начисление №%1 в справочнике не найдено").arg(curDopNum_));
        Abort();
    }
    if ((op == 16 || op == 18) && dop.Tip != 0)
        ErrorAbort(QStringLiteral("Невозможно удаление встроенных в расчет начислений"));
    const QString details = QStringLiteral("%1  %2").arg(dop.DopNum).arg(dop.Naim);
    switch (op) {
    case 16:
        if (dop.Deleted) {
            ShowError(QStringLiteral("Уже удалено"));
            return;
        }
        if (!AskYesNo(
                QStringLiteral("Убрать начисление из основного списка и перенести в список удаленных"), details, false))
            return;
        dop.Deleted = true;
        break;
    case 17:
        if (!dop.Deleted) {
            ShowError(QStringLiteral("Не удалено"));
            return;
        }
        if (!AskYesNo(QStringLiteral("Восстановить начисление в основной список"), details, false))
            return;
        dop.Deleted = false;
        break;
    case 18: ErrorAbort(QStringLiteral("Невозможно удаление начислений из справочника"));
    default: ShowError(QStringLiteral("Неизвестная операция")); return;
    }
    dop.Save();
    DNList()->Reload();
    ViewChanged(nullptr);
}

void TFormSprDop::NewDop()
{
    RequireOperation(15);
    TFormNewDopl wizard(this);
    if (wizard.ShowModal() == mrOk) {
        ReloadAllLists();
        ViewChanged(nullptr);
    }
}

void TFormSprDop::DelOrRestore() { DopOperation(deletedView_ ? 18 : 16); }

void TFormSprDop::MoveDop()
{
    RequireOperation(14);
    if (deletedView_) {
        ShowError(QStringLiteral("В удаленных не переставляется"));
        return;
    }
    if (curDopNum_ < 0)
        ErrorAbort(QStringLiteral("Не выбрано начисление"));
    if (SortMode() != 3)
        ErrorAbort(QStringLiteral("Не отсортировано по положению в справочнике"));
    const T_Dop* dop = DNList()->FindDop(curDopNum_);
    if (!dop)
        return;
    const qint32 before = SelectDop(dop->Uder ? dfDeductions : dfAccruals,
        QStringLiteral("Выберите номер, перед которым будет стоять текущий"), curDopNum_, 3);
    if (before <= 0)
        return;
    MoveDopBefore(curDopNum_, before);
    DNList()->Reload();
    ViewChanged(nullptr);
}

bool TFormSprDop::ChangePage(int to)
{
    if (to == page_ || to < 0 || to > 1)
        return false;
    if (page_ == 1) {
        if (!RunGuarded([this] { card_->LeaveEditMode(); }))
            return false;
    } else {
        if (curDopNum_ < 0) {
            ShowError(QStringLiteral("Не выбрано начисление"));
            return false;
        }
        if (!RunGuarded([this] { card_->SetDopNum(curDopNum_); }))
            return false;
    }
    page_ = to;
    changingPage_ = true;
    pc->setCurrentIndex(to);
    changingPage_ = false;
    return true;
}

void TFormSprDop::StepRow(int delta)
{
    const int count = model_->rowCount();
    if (count == 0)
        return;
    const int row = lvt->currentIndex().row();
    const int next = row < 0 ? 0 : std::clamp(row + delta, 0, count - 1);
    lvt->setCurrentIndex(model_->index(next, colName));
}

void TFormSprDop::FindByDigit(int digit)
{
    int num = digit;
    if (!InputDopNum(QStringLiteral("Номер начисления"), num))
        return;
    if (!SelectDopNum(num))
        ShowError(QStringLiteral("Не найден номер"));
}

bool TFormSprDop::FormKeyDown(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (ctrl && (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown)) {
        StepRow(event->key() == Qt::Key_PageUp ? -1 : 1);
        if (page_ == 1)
            RunGuarded([this] { card_->SetDopNum(curDopNum_); });
        return true;
    }
    if (page_ == 1)
        return false; // the card's own keys
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && focusWidget() == lvt) {
        ChangePage(1);
        return true;
    }
    if (event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9 && !(event->modifiers() & ~Qt::KeypadModifier)
        && !card_->EditMode()) {
        RunGuarded([&] { FindByDigit(event->key() - Qt::Key_0); });
        return true;
    }
    return TForm::FormKeyDown(event);
}

void TFormSprDop::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    changingPage_ = true;
    pc->setCurrentIndex(0);
    changingPage_ = false;
    page_ = 0;
    SelectSet(0);
    lvNabor->setFocus();
}

void TFormSprDop::done(int result)
{
    // A failed save of the card's edits keeps the book open.
    if (!RunGuarded([this] { card_->SetDopNum(-1); }))
        return;
    TForm::done(result);
}

void TFormSprDop::changeEvent(QEvent* event)
{
    TForm::changeEvent(event);
    // Back in the book, F4 opens the kind chosen here.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && curDopNum_ >= 0)
        AppContext().LastDopNum = curDopNum_;
}

TFormSprDop& FormSprDop() { return MakeOnFirstUse(g_form, FreeFormSprDop); }

void ShowSprDop()
{
    TFormSprDop& form = FormSprDop();
    form.show();
    form.raise();
    form.activateWindow();
}

void FreeFormSprDop()
{
    delete g_form;
    g_form = nullptr;
}

void FillMethodCombo(QComboBox* combo, bool accrual)
{
    TStringItems items;
    FillCalcMethods(items, accrual);
    combo->clear();
    for (const TStringItem& i : items)
        combo->addItem(i.Text, static_cast<int>(i.Object));
    combo->setCurrentIndex(0);
}
