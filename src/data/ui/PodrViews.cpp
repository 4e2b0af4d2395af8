#include "data/ui/PodrViews.h"

#include "data/Podr.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>

namespace {

QString NodeText(const T_MPodr* node, bool withNumbers)
{
    const T_Podr* podr = node->Podr;
    QString text = podr->GetName();
    if (withNumbers && !podr->IsDismissedGroup()) {
        const QString number = podr->Num >= 0 && podr->Num <= 999
            ? QStringLiteral("%1").arg(podr->Num, 3, 10, QLatin1Char('0'))
            : QString::number(podr->Num);
        text = QStringLiteral("[") + number + QStringLiteral("] ") + text;
    }
    return text;
}

void AddNodes(const T_MPodrList& nodes, QTreeWidgetItem* parent, QTreeWidget* view, bool withNumbers, qint32 num,
    QTreeWidgetItem*& selected)
{
    for (T_MPodr* node : nodes) {
        auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(view);
        item->setText(0, NodeText(node, withNumbers));
        item->setData(0, Qt::UserRole, node->Podr->Num);
        item->setData(0, PodrNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
        if (selected == nullptr && num != 0 && node->Podr->Num == num)
            selected = item;
        AddNodes(node->Nodes(), item, view, withNumbers, num, selected);
    }
}

} // namespace

void FillTreeView(T_PNTree& tree, QTreeWidget* view, qint32 num, bool withNumbers)
{
    if (view == nullptr)
        return;
    if (tree.Owner() != nullptr)
        tree.Owner()->EnsureLoaded();
    tree.EnsureBuilt();
    view->setUpdatesEnabled(false);
    view->clear();
    QTreeWidgetItem* selected = nullptr;
    AddNodes(*tree.Target(), nullptr, view, withNumbers, num, selected);
    view->expandAll();
    if (selected == nullptr && view->topLevelItemCount() > 0)
        selected = view->topLevelItem(0);
    if (selected != nullptr) {
        view->setCurrentItem(selected);
        selected->setSelected(true);
        view->scrollToItem(selected);
    }
    view->setUpdatesEnabled(true);
}

T_MPodr* PodrNodeOfItem(const QTreeWidgetItem* item)
{
    if (item == nullptr)
        return nullptr;
    return reinterpret_cast<T_MPodr*>(item->data(0, PodrNodeRole).value<quintptr>());
}

qint32 CurrentPodrNum(const QTreeWidget* view)
{
    const QTreeWidgetItem* item = view != nullptr ? view->currentItem() : nullptr;
    return item != nullptr ? item->data(0, Qt::UserRole).toInt() : 0;
}
