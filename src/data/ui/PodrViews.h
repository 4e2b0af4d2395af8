#pragma once
// The department tree shown in a tree widget (the main window, the pickers).

#include <QtGlobal>
#include <qnamespace.h>

class QTreeWidget;
class QTreeWidgetItem;
class T_MPodr;
class T_PNTree;

// Item data: the department number under Qt::UserRole, the node under
// PodrNodeRole.
constexpr int PodrNodeRole = Qt::UserRole + 1;

// Fills the view from the tree (built first), each name optionally
// prefixed with "[007] ": numbers up to 999 with three digits, larger ones
// as they are, the dismissed employees' groups without a number. Selects
// and makes current the node of the department, or the first node when
// it has none (num 0 or not in the tree). Every level is expanded.
void FillTreeView(T_PNTree& tree, QTreeWidget* view, qint32 num, bool withNumbers);

// The node an item of such a view stands for; nullptr for none.
T_MPodr* PodrNodeOfItem(const QTreeWidgetItem* item);
// The department number of the view's current item; 0 when none.
qint32 CurrentPodrNum(const QTreeWidget* view);
