#include "reports/ui/VedTune.h"
#include "foundation/ui/base/FormFuncs.h"

#include "data/Dops.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/UiTypes.h"
#include "foundation/ui/dialogs/GetMean.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The settings keep no filter of the directory for this list: every current
// kind is offered, the working-time balance kind left out.
constexpr quint8 kTuneFilter = dfNoBalans;

QTreeWidget* MakeList(QWidget* parent, const char* name, const QStringList& headers)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setRootIsDecorated(false);
    list->setHeaderLabels(headers);
    list->setAllColumnsShowFocus(true);
    list->header()->setStretchLastSection(true);
    return list;
}

} // namespace

TFormVedTune::TFormVedTune(QWidget* parent) : TForm(parent, QStringLiteral("FormVedTune"))
{
    setWindowTitle(QStringLiteral("Настройка ведомости"));
    auto* layout = new QVBoxLayout(this);
    lbHeader = new QLabel(QStringLiteral("Список столбцов ведомости"), this);
    lbHeader->setObjectName(QStringLiteral("lbHeader"));
    QFont bold = lbHeader->font();
    bold.setBold(true);
    lbHeader->setFont(bold);
    layout->addWidget(lbHeader);
    edName = new QLineEdit(this);
    edName->setObjectName(QStringLiteral("edName"));
    layout->addWidget(edName);

    auto* lists = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Столбцы"), this));
    lvCol = MakeList(this, "lvCol", {QStringLiteral("№"), QStringLiteral("Наименование")});
    lvCol->setColumnWidth(0, 40);
    left->addWidget(lvCol, 1);
    auto* colButtons = new QHBoxLayout;
    btAdd = MakeButton(this, "btAdd", QStringLiteral("Добавить"), QStringLiteral("Добавить столбец ведомости"));
    btEdit = MakeButton(this, "btEdit", QStringLiteral("Изменить"), QStringLiteral("Изменить наименование столбца"));
    btDel = MakeButton(this, "btDel", QStringLiteral("Удалить"), QStringLiteral("Удалить столбец"));
    btUp = MakeButton(this, "btUp", QStringLiteral("▲"));
    btDown = MakeButton(this, "btDown", QStringLiteral("▼"));
    for (QPushButton* b : {btAdd, btEdit, btDel, btUp, btDown})
        colButtons->addWidget(b);
    left->addLayout(colButtons);
    lists->addLayout(left, 2);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Состав"), this));
    lvDop = MakeList(this, "lvDop", {QStringLiteral("№"), QStringLiteral("Наименование")});
    lvDop->setColumnWidth(0, 70);
    right->addWidget(lvDop, 1);
    lists->addLayout(right, 3);
    layout->addLayout(lists, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btOk = MakeButton(this, "btOk", QStringLiteral("   Ok    "));
    btCancel = MakeButton(this, "btCancel", QStringLiteral("Отмена"));
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    layout->addLayout(buttons);
    resize(760, 460);

    connect(btAdd, &QPushButton::clicked, this, guarded([this] { AddColumn(); }));
    connect(btEdit, &QPushButton::clicked, this, guarded([this] { RenameColumn(); }));
    connect(btDel, &QPushButton::clicked, this, guarded([this] { DeleteColumn(); }));
    connect(btUp, &QPushButton::clicked, this, guarded([this] { MoveColumn(-1); }));
    connect(btDown, &QPushButton::clicked, this, guarded([this] { MoveColumn(1); }));
    connect(btOk, &QPushButton::clicked, this, guarded([this] { Accept(); }));
    connect(btCancel, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
    connect(lvCol, &QTreeWidget::currentItemChanged, this,
        guarded([this] { ColumnChanged(lvCol->indexOfTopLevelItem(lvCol->currentItem())); }));
    // A box ticked with the mouse changes the column as a key press does.
    connect(lvDop, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (updating_ > 0 || column != 0)
            return;
        if (shownColumn_ < 0) {
            ++updating_;
            item->setCheckState(0, Qt::Unchecked);
            --updating_;
            return;
        }
        marksChanged_ = true;
    });
    connect(lvDop, &QTreeWidget::itemDoubleClicked, this,
        guarded([this](QTreeWidgetItem* item, int) { ToggleKind(lvDop->indexOfTopLevelItem(item)); }));
    SetKeyPreview(true);
}

TFormVedTune::~TFormVedTune() = default;

bool TFormVedTune::Execute(qint32& number)
{
    ved_.Clear();
    ved_.Name.clear();
    ved_.Number = number;
    if (number != -1)
        ved_.LoadByNumber(number);
    edName->setText(ved_.Name);
    FillDops();
    shownColumn_ = -1;
    FillColumns(0);
    entry_ = Shape(ved_.Name);
    if (ShowModal() != mrOk || ved_.Number < 0)
        return false;
    // A definition left without columns was deleted by its save, and one
    // not saved has no row: the caller keeps the number it had.
    if (!T_RasVed::Exists(ved_.Number))
        return false;
    number = ved_.Number;
    return true;
}

void TFormVedTune::FillDops()
{
    view_ = std::make_unique<T_DNSubList>(DNList(), kTuneFilter);
    view_->Rebuild();
    ++updating_;
    lvDop->clear();
    for (int i = 0; i < view_->DopCount(); ++i) {
        const T_Dop* dop = view_->GetDop(i);
        auto* item = new QTreeWidgetItem(lvDop, {dop->GetNumberText(), dop->GetName()});
        item->setData(0, Qt::UserRole, dop->DopNum);
        item->setCheckState(0, Qt::Unchecked);
    }
    if (lvDop->topLevelItemCount() > 0)
        lvDop->setCurrentItem(lvDop->topLevelItem(0));
    --updating_;
}

void TFormVedTune::FillColumns(int select)
{
    ++updating_;
    lvCol->clear();
    for (int i = 0; i < ved_.ColumnCount(); ++i)
        new QTreeWidgetItem(lvCol, {QString::number(i + 1), ved_.Column(i)->Name});
    --updating_;
    shownColumn_ = -1;
    if (select >= 0 && select < lvCol->topLevelItemCount())
        lvCol->setCurrentItem(lvCol->topLevelItem(select));
    else
        ShowMarks(-1);
}

int TFormVedTune::SelectedColumn() const
{
    QTreeWidgetItem* item = lvCol->currentItem();
    return item ? lvCol->indexOfTopLevelItem(item) : -1;
}

int TFormVedTune::RequireColumn() const
{
    const int column = SelectedColumn();
    if (column < 0 || column >= ved_.ColumnCount())
        ErrorAbort(QStringLiteral("Не выбран столбец ведомости"));
    return column;
}

void TFormVedTune::ColumnChanged(int row)
{
    if (updating_ > 0)
        return;
    if (marksChanged_)
        WriteBack(shownColumn_);
    ShowMarks(row);
}

void TFormVedTune::WriteBack(int column)
{
    marksChanged_ = false;
    if (column < 0 || column >= ved_.ColumnCount())
        return;
    T_RasVedItem* col = ved_.Column(column);
    QList<int> hidden;
    for (int i = 0; i < col->Count(); ++i)
        if (view_->IndexOfDopNum(col->GetInteger(i)) < 0)
            hidden.append(col->GetInteger(i));
    col->Clear();
    for (int i = 0; i < lvDop->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lvDop->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked)
            col->AddInteger(item->data(0, Qt::UserRole).toInt());
    }
    for (int n : hidden)
        col->AddInteger(n);
}

void TFormVedTune::ShowMarks(int column)
{
    const T_RasVedItem* col = column >= 0 && column < ved_.ColumnCount() ? ved_.Column(column) : nullptr;
    shownColumn_ = col ? column : -1;
    ++updating_;
    for (int i = 0; i < lvDop->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lvDop->topLevelItem(i);
        const bool on = col && col->IndexOfInteger(item->data(0, Qt::UserRole).toInt()) >= 0;
        item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
    --updating_;
    marksChanged_ = false;
}

void TFormVedTune::ToggleKind(int row)
{
    QTreeWidgetItem* item = lvDop->topLevelItem(row);
    if (!item || shownColumn_ < 0)
        return;
    item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    marksChanged_ = true;
}

void TFormVedTune::AddColumn()
{
    QString name = QStringLiteral("Столбец №%1").arg(ved_.ColumnCount() + 1);
    if (!InputString(QStringLiteral("Наименование нового столбца"), name))
        return;
    if (marksChanged_)
        WriteBack(shownColumn_);
    T_RasVedItem* col = ved_.AddColumn();
    col->Name = name;
    col->Number = ved_.ColumnCount();
    FillColumns(ved_.ColumnCount() - 1);
}

void TFormVedTune::RenameColumn()
{
    const int column = RequireColumn();
    QString name = ved_.Column(column)->Name;
    if (!InputString(QStringLiteral("Измените наименование столбца"), name))
        return;
    ved_.Column(column)->Name = name;
    lvCol->topLevelItem(column)->setText(1, name);
}

void TFormVedTune::DeleteColumn()
{
    const int column = RequireColumn();
    if (!ConfirmDelete(QStringLiteral("\"") + ved_.Column(column)->Name + QStringLiteral("\""), QString()))
        return;
    marksChanged_ = false;
    ved_.DeleteObject(column);
    FillColumns(qMin(column, ved_.ColumnCount() - 1));
}

void TFormVedTune::MoveColumn(int delta)
{
    const int column = RequireColumn();
    const int other = column + delta;
    if (other < 0 || other >= ved_.ColumnCount())
        return;
    if (marksChanged_)
        WriteBack(shownColumn_);
    ved_.Exchange(column, other);
    FillColumns(other);
}

QString TFormVedTune::Shape(const QString& name) const
{
    QStringList parts{name};
    for (int c = 0; c < ved_.ColumnCount(); ++c) {
        const T_RasVedItem* col = ved_.Column(c);
        QStringList numbers{col->Name};
        for (int i = 0; i < col->Count(); ++i)
            numbers << QString::number(col->GetInteger(i));
        parts << numbers.join(QLatin1Char(','));
    }
    return parts.join(QLatin1Char(';'));
}

void TFormVedTune::Accept()
{
    WriteBack(SelectedColumn());
    if (Shape(edName->text()) != entry_) {
        if (edName->text().trimmed().isEmpty()) {
            edName->setFocus();
            ErrorAbort(QStringLiteral("Введите наименование ведомости"));
        }
        if (AskSaveChanges(QStringLiteral("\"") + edName->text() + QStringLiteral("\""))) {
            ved_.Name = edName->text();
            ved_.Save();
        }
    }
    SetModalResult(mrOk);
}

bool TFormVedTune::FormKeyDown(QKeyEvent* event)
{
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (lvDop->hasFocus() && (enter || key == Qt::Key_Space)) {
        GuardedCall([&] {
            const int row = lvDop->indexOfTopLevelItem(lvDop->currentItem());
            ToggleKind(row);
            if (key == Qt::Key_Space && row + 1 < lvDop->topLevelItemCount())
                lvDop->setCurrentItem(lvDop->topLevelItem(row + 1));
        });
        return true;
    }
    if (lvCol->hasFocus() && enter) {
        GuardedCall([this] { RenameColumn(); });
        return true;
    }
    return TForm::FormKeyDown(event);
}

bool SetupPaySheet(qint32& number)
{
    TFormVedTune form;
    return form.Execute(number);
}
