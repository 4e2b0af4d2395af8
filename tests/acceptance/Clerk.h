#pragma once
// The clerk's hands for the acceptance test: widgets found by their names,
// clicks and keys through QTest, the program run as main() runs it, and the
// few readings the scenario compares with its hand-worked figures.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <functional>
#include <ostream>

// Texts in failure messages as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

class QAction;
class QComboBox;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class TFormMain;
class Tyq_DateEdit;
class TPreviewForm;

// The named child; a missing one fails the test and answers nullptr.
QObject* FindNamed(QObject* root, const QString& name);
template <typename T = QWidget> T* Child(QObject* root, const char* name)
{
    QObject* found = FindNamed(root, QString::fromLatin1(name));
    T* typed = qobject_cast<T*>(found);
    if (!typed)
        ADD_FAILURE() << "no " << name << " of the wanted class in " << root->objectName().toStdString();
    return typed;
}

// The widget's window made the active one, as the clerk's click makes it.
void Activate(QWidget* w);
// A left click in the middle of the widget, as the mouse gives it.
void Click(QWidget* w);
// A tool bar's or a window's action clicked on its button.
void ClickAction(QWidget* window, const char* name);
// Focus, everything selected, the text typed a character at a time.
void TypeInto(QWidget* edit, const QString& text);
// A date as the clerk types it: a click into the middle of the field, then
// the date's keys one by one; the field must show exactly that date.
void TypeDate(Tyq_DateEdit* edit, const QString& date);
// Keys on whatever has the focus.
void Type(const QString& text);
void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
// A combo box's item chosen with the arrow keys.
void ChooseItem(QComboBox* combo, int index);
// The first item of a tree with the text in one of its columns; nullptr when none.
QTreeWidgetItem* TreeItem(QTreeWidget* tree, const QString& text);
// A click on a tree item, on a list row.
void ClickItem(QTreeWidget* tree, QTreeWidgetItem* item);
void ClickRow(QTreeView* view, int row, int column = 1);
// The row of a list whose column shows the text; -1 when none.
int RowOf(QTreeView* view, int column, const QString& text);
QString CellText(QTreeView* view, int row, int column);
// Saves a screenshot under test-artifacts/acceptance-<name>.png.
void Shot(QWidget* w, const QString& name);
// The visible top-level window of the class, nullptr when none.
QWidget* OpenWindow(const char* className);

// The program run as main() runs it; `inLoop` in its main loop, then the
// main window is closed as the clerk closes it. Answers the exit code.
int RunSession(const std::function<void(TFormMain&)>& inLoop);

// The preview's document printed into a PDF file, answered as its text.
// The one place that knows how a preview prints into a file.
QString PrintToPdf(TPreviewForm& preview, const QString& file);
