#include "desk/PodrBook.h"

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Podr.h"
#include "data/Rights.h"
#include "data/ui/PodrViews.h"
#include "data/ui/SrSelect.h"
#include "foundation/Messages.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kRootCaption = QStringLiteral("Основное подразделение предприятия");
const QString kRepeatName = QStringLiteral("Повторите ввод наименования");

QString Quoted(const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

// The departments under the same parent, every one of the list.
QList<T_Podr*> Children(qint32 numUp)
{
    QList<T_Podr*> out;
    T_PNList* list = PNList();
    for (int i = 0; i < list->PodrCount(); ++i) {
        T_Podr* p = list->GetPodr(i);
        if (p && !p->IsEnterprise() && !p->IsDismissedGroup() && p->NumUp == numUp)
            out << p;
    }
    return out;
}

bool InSubtree(const T_MPodr* node, qint32 num)
{
    for (const T_MPodr* child : node->Nodes())
        if ((child->Podr && child->Podr->Num == num) || InSubtree(child, num))
            return true;
    return false;
}

void SaveAndMark(T_Podr& p)
{
    p.Save();
    PNList()->SetLoaded(false);
}

} // namespace

// ---------------------------------------------------------------- the name dialog

TFormNewPodr::TFormNewPodr(QWidget* parent) : TFormNewInput(parent, QStringLiteral("FormNewPodr"))
{
    auto* layout = new QVBoxLayout(pnClient);
    edName = new QLineEdit(pnClient);
    edName->setObjectName(QStringLiteral("edName"));
    edName->setMaxLength(80);
    layout->addWidget(edName);
    setMinimumWidth(420);
}

bool TFormNewPodr::CanAccept()
{
    if (edName->text().trimmed().isEmpty()) {
        ShowError(kRepeatName);
        edName->setFocus();
        return false;
    }
    return true;
}

void TFormNewPodr::showEvent(QShowEvent* event)
{
    TFormNewInput::showEvent(event);
    edName->setText(Text);
    edName->selectAll();
    edName->setFocus();
}

bool InputPodrName(const QString& caption, QString& name)
{
    TFormNewPodr form;
    // A caption with "|" variants shows its full one.
    const QString full = caption.section(QLatin1Char('|'), 0, 0);
    form.setWindowTitle(full);
    form.lbMode->setText(full);
    form.Text = name;
    if (form.ShowModal() != mrOk)
        return false;
    name = form.edName->text().trimmed();
    return true;
}

// ---------------------------------------------------------------- the tree

TPodrTreeWidget::TPodrTreeWidget(TFormPodr* form, QWidget* parent) : QTreeWidget(parent), form_(form)
{
    setObjectName(QStringLiteral("tvp"));
    setHeaderHidden(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::InternalMove);
}

void TPodrTreeWidget::dropEvent(QDropEvent* event)
{
    QTreeWidgetItem* dragged = currentItem();
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    RunGuarded([&] { form_->DropPodr(dragged, target); });
}

// ---------------------------------------------------------------- the book

TFormPodr::TFormPodr(QWidget* parent)
    : TForm(parent, QStringLiteral("FormPodr")), tree_(std::make_unique<T_PNTree>(PNList()))
{
    SetButtonMnemonics(true);
    setWindowTitle(QStringLiteral("Структура предприятия"));
    auto* layout = new QVBoxLayout(this);
    cbDeleted_ = new QCheckBox(QStringLiteral("Удаленные подразделения"), this);
    cbDeleted_->setObjectName(QStringLiteral("cbDeleted"));
    layout->addWidget(cbDeleted_);
    tvp_ = new TPodrTreeWidget(this, this);
    layout->addWidget(tvp_);
    pnHead_ = new QWidget(this);
    pnHead_->setObjectName(QStringLiteral("pnHead"));
    auto* head = new QHBoxLayout(pnHead_);
    head->setContentsMargins(0, 0, 0, 0);
    head->addWidget(new QLabel(QStringLiteral("Начальник:"), pnHead_));
    lbHead_ = new QLabel(pnHead_);
    lbHead_->setObjectName(QStringLiteral("lbHead"));
    head->addWidget(lbHead_, 1);
    auto* btHead = new QPushButton(QStringLiteral("Назначить"), pnHead_);
    btHead->setObjectName(QStringLiteral("btHead"));
    head->addWidget(btHead);
    layout->addWidget(pnHead_);
    auto* buttons = new QHBoxLayout;
    btAdd_ = new QPushButton(this);
    btAdd_->setObjectName(QStringLiteral("btAdd"));
    auto* btChange = new QPushButton(QStringLiteral("Изменить"), this);
    btChange->setObjectName(QStringLiteral("btChange"));
    btDel_ = new QPushButton(this);
    btDel_->setObjectName(QStringLiteral("btDel"));
    auto* btClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    for (QPushButton* b : {btAdd_, btChange, btDel_, btHead, btClose})
        b->setAutoDefault(false);
    buttons->addWidget(btAdd_);
    buttons->addWidget(btChange);
    buttons->addWidget(btDel_);
    buttons->addStretch();
    buttons->addWidget(btClose);
    layout->addLayout(buttons);
    resize(460, 480);

    connect(cbDeleted_, &QCheckBox::toggled, this, guarded([this](bool on) { SetDeletedView(on); }));
    connect(btAdd_, &QPushButton::clicked, this, guarded([this] { Add(); }));
    connect(btChange, &QPushButton::clicked, this, guarded([this] { Change(); }));
    connect(btDel_, &QPushButton::clicked, this, guarded([this] { Delete(); }));
    connect(btHead, &QPushButton::clicked, this, guarded([this] { ChooseHead(); }));
    connect(btClose, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrCancel); }));
    connect(tvp_, &QTreeWidget::currentItemChanged, this, guarded([this] {
        if (!filling_)
            ShowHead();
    }));
    SetDeletedView(false);
}

TFormPodr::~TFormPodr() = default;

void TFormPodr::SetDeletedView(bool on)
{
    deletedView_ = on;
    if (cbDeleted_->isChecked() != on)
        cbDeleted_->setChecked(on);
    btAdd_->setText(on ? QStringLiteral("Восстановить") : QStringLiteral("Добавить"));
    btDel_->setText(on ? QStringLiteral("Уничтожить") : QStringLiteral("Удалить"));
    RefreshButtonMnemonics();
    pnHead_->setVisible(!on);
    // The deleted view has no parent links to move along.
    tvp_->setDragEnabled(!on);
    tree_->SetFilter(on ? pfDeleted : pfCurrent);
    Refill(0);
}

void TFormPodr::Refill(qint32 current)
{
    filling_ = true;
    tree_->Rebuild();
    FillTreeView(*tree_, tvp_, current, false);
    const QList<QTreeWidgetItem*> top = tvp_->invisibleRootItem()->takeChildren();
    root_ = new QTreeWidgetItem(QStringList{kRootCaption});
    root_->addChildren(top);
    tvp_->addTopLevelItem(root_);
    tvp_->expandAll();
    QTreeWidgetItem* item = current ? ItemOf(current) : nullptr;
    // Without a department to show, the first one: the root is no department
    // and a click on "Изменить" there changed nothing.
    if (!item && root_->childCount() > 0)
        item = root_->child(0);
    tvp_->setCurrentItem(item ? item : root_);
    filling_ = false;
    ShowHead();
}

void TFormPodr::Reload(qint32 current)
{
    PNList()->SetLoaded(false);
    PNList()->EnsureLoaded();
    Refill(current);
}

QTreeWidgetItem* TFormPodr::ItemOf(qint32 num) const
{
    if (num == 0)
        return root_;
    for (QTreeWidgetItemIterator it(tvp_); *it; ++it) {
        const T_MPodr* node = PodrNodeOfItem(*it);
        if (node && node->Podr && node->Podr->Num == num)
            return *it;
    }
    return nullptr;
}

T_Podr* TFormPodr::CurrentPodr() const
{
    const T_MPodr* node = PodrNodeOfItem(tvp_->currentItem());
    return node ? node->Podr : nullptr;
}

T_Podr* TFormPodr::RequireCurrentPodr(const QString& none) const
{
    if (tvp_->currentItem() && tvp_->currentItem() == root_)
        ErrorAbort(none + QStringLiteral("|\"") + kRootCaption
            + QStringLiteral("\" - вершина структуры, ее нельзя изменить или удалить"));
    T_Podr* p = CurrentPodr();
    if (!p)
        ErrorAbort(none);
    return p;
}

void TFormPodr::SetCurrent(qint32 num)
{
    if (QTreeWidgetItem* item = ItemOf(num))
        tvp_->setCurrentItem(item);
}

QString TFormPodr::HeadShown() const { return lbHead_->text(); }

void TFormPodr::ShowHead()
{
    const T_Podr* p = CurrentPodr();
    QString fio;
    if (!p || p->NumNach == 0 || !GetFioByTabn(p->NumNach, fio))
        fio = QStringLiteral("???");
    lbHead_->setText(fio);
}

void TFormPodr::Add()
{
    if (deletedView_) {
        T_Podr* p = CurrentPodr();
        if (!p)
            return;
        p->Deleted = false;
        const qint32 num = p->Num;
        SaveAndMark(*p);
        Reload(num);
        return;
    }
    QString name;
    if (!InputPodrName(QStringLiteral("Новое подразделение|Нов. подр."), name))
        return;
    if (name.isEmpty())
        ErrorAbort(kRepeatName);
    T_PNList* list = PNList();
    T_Podr p;
    p.Num = -1;
    p.NumUp = 0;
    p.SNum = list->MaxSNum() + 1;
    p.NumPdp = list->FirstEnterprise();
    p.Naim = name;
    SaveAndMark(p);
    Reload(p.Num);
}

void TFormPodr::Change()
{
    T_Podr* p = RequireCurrentPodr(QStringLiteral("Не выбрано подразделение"));
    QString name = p->Naim;
    if (!InputPodrName(QStringLiteral("Изменение наименования"), name))
        return;
    p->Naim = name;
    const qint32 num = p->Num;
    SaveAndMark(*p);
    Reload(num);
}

void TFormPodr::Delete()
{
    T_Podr* p = RequireCurrentPodr(QStringLiteral("Не выбрано подразделение"));
    const qint32 num = p->Num;
    if (!deletedView_) {
        const T_MPodr* node = PodrNodeOfItem(tvp_->currentItem());
        if ((node && node->Nodes().Count() > 0) || !p->IsUnused(false))
            ErrorAbort(QStringLiteral("Невозможно удаление непустого подразделения"));
        p->Deleted = true;
        SaveAndMark(*p);
        Reload(0);
        return;
    }
    if (!p->IsUnused(true) || !Children(num).isEmpty())
        ErrorAbort(QStringLiteral("Невозможно удаление подразделения, на которое имеются ссылки в справочнике"));
    if (!DeletePodrRecord(num))
        throw EAppException(QStringLiteral("Не найдено подразделение №") + QString::number(num));
    Reload(0);
}

void TFormPodr::ChooseHead()
{
    T_Podr* p = RequireCurrentPodr(QStringLiteral("Не найдено подразделение"));
    const qint32 tabn = SelectTabn(
        p->Num, p->NumNach, QStringLiteral("Выберите начальника подразделения\r\n") + Quoted(p->GetName()));
    if (tabn < 0)
        return;
    p->NumNach = tabn;
    const qint32 num = p->Num;
    SaveAndMark(*p);
    Reload(num);
}

void TFormPodr::PlaceAbove(T_Podr& dragged, const T_Podr& target)
{
    const qint32 place = target.SNum;
    for (T_Podr* sibling : Children(dragged.NumUp)) {
        if (sibling == &dragged || sibling->SNum < place)
            continue;
        sibling->SNum += 1;
        sibling->Save();
    }
    dragged.SNum = place;
}

bool TFormPodr::IncludeInto(T_Podr& dragged, const T_Podr& target)
{
    if (dragged.NumUp == target.Num)
        return false;
    const T_MPodr* node = tree_->FindNode(dragged.Num);
    if (node && InSubtree(node, target.Num)) {
        ShowError(QStringLiteral("Невозможно включить подразделение в собственную структуру"));
        return false;
    }
    if (!AskYesNo(QStringLiteral("Назначить головное подразделение для\r\n\t") + Quoted(dragged.GetName()),
            QStringLiteral("Выбрано:  ") + Quoted(target.GetName()), false))
        return false;
    dragged.NumUp = target.Num;
    return true;
}

void TFormPodr::DropPodr(QTreeWidgetItem* draggedItem, QTreeWidgetItem* targetItem)
{
    if (deletedView_ || !draggedItem)
        return;
    const T_MPodr* draggedNode = PodrNodeOfItem(draggedItem);
    if (!draggedNode || !draggedNode->Podr)
        return;
    T_Podr& dragged = *draggedNode->Podr;
    if (&dragged != CurrentPodr())
        ErrorAbort(QStringLiteral("Ошибка синхронизации"));
    if (!targetItem || targetItem == draggedItem)
        return;
    const T_MPodr* targetNode = PodrNodeOfItem(targetItem);
    const T_Podr* target = targetNode ? targetNode->Podr : nullptr;
    if (!target && targetItem != root_)
        return;
    if (!target) {
        if (dragged.NumUp == 0)
            return;
        if (!AskYesNo(QStringLiteral("Сделать основным подразделением предприятия\r\n") + Quoted(dragged.GetName()),
                QString(), false))
            return;
        dragged.NumUp = 0;
    } else if (target->NumUp == dragged.NumUp) {
        // Esc and the window's close answer "Отменить".
        const int choice
            = ChooseButton(QStringLiteral("Выбрано:  ") + Quoted(target->GetName()) + QStringLiteral("\r\n"), QString(),
                {Variant(3), Variant(QStringLiteral("Установить выше выбранного подразделения")),
                    Variant(QStringLiteral("Включить в структуру выбранного подразделения")),
                    Variant(QStringLiteral("Отменить"))});
        if (choice == 1)
            PlaceAbove(dragged, *target);
        else if (choice != 2 || !IncludeInto(dragged, *target))
            return;
    } else if (!IncludeInto(dragged, *target)) {
        return;
    }
    const qint32 num = dragged.Num;
    SaveAndMark(dragged);
    Reload(num);
}

void ShowPodrBook()
{
    RequireOperation(opDepartmentsBook);
    TFormPodr form;
    form.ShowModal();
}
