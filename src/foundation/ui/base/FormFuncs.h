#pragma once
// Helpers for forms and controls: modal and modeless showing, the active
// form, hiding the other forms, enabling and showing groups of controls,
// grid column sizing and the arrow-key focus moves.

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>

class QAbstractItemView;
class QAction;
class QHeaderView;
class QDialog;
class QPushButton;
class QToolButton;
class QTableView;
class QTreeWidget;

// Restores a minimised form, closes it when it is visible, shows it modally
// (through RunModal), lets pending events run and answers its modal result,
// which the form keeps.
int ShowFormModal(QDialog* form);
// Restores a minimised form and shows it without waiting.
void ShowFormModeless(QWidget* form);
// Lets pending events run and answers the active window (nullptr when none).
QWidget* GetActiveForm();

using TFormList = QList<QPointer<QWidget>>;
// Hides every visible window but Form and remembers them in List.
void HideOtherForms(QWidget* form, TFormList& list);
// Shows the remembered windows again, from the last to the first, and
// empties the list.
void ShowHiddenForms(TFormList& list);
// Scales the fonts and sizes of every window of the program, the main window
// too, by M/D (D/M when Up is false): the window's font and every font set on
// one of its controls. Qt layouts own the positions, so only fonts and sizes
// change; a maximised window keeps its size. Every window stays whole on its
// screen, frame included: a step after which a shown window could not fit
// is undone with a beep, and answers false.
bool ScaleAllForms(int m, int d, bool up);

// What a window manager's frame usually takes around a window's client area
// (the title bar on top).
QMargins UsualWindowFrame();
// The frame around a window: the one its window manager draws, at least the
// usual one (a window not shown yet has none).
QMargins WindowFrame(const QWidget* window);
// Moves a window's client area, and shrinks it down to Least when need be,
// so that the window with its Frame lies whole in Available. False, with the
// place untouched, when even Least does not fit.
bool FitWhole(QRect& place, QSize least, QMargins frame, QRect available);
// The least size of a window at its present fonts (its layout worked out
// again first).
QSize LeastWindowSize(QWidget* window);
// The width a window needs for the window manager's title bar to show its
// caption whole: the caption in a bold title font and room for the frame's
// icon and buttons.
int CaptionWidth(const QWidget* window);
// Keeps Owned above Owner (its transient parent).
void SetOwnerWindow(QWidget* owned, QWidget* owner);

// A point in From's client coordinates, in To's.
QPoint MapControlPoint(QWidget* from, QWidget* to, QPoint point);
// Gives To the place and size of From (in To's parent's coordinates).
void CopyControlBounds(QWidget* from, QWidget* to);
// Sets Control's width so that its right edge lies Margin pixels left of
// Reference's right edge, at least MinWidth.
void FitWidthToControl(QWidget* control, QWidget* reference, int margin, int minWidth);
// Gives a column the width the other columns leave, at least the smallest
// section size; an index beyond the columns does nothing.
void FitListViewColumn(QTreeWidget* listView, int index);

// Visibility of controls; a page of a tab widget gets its tab shown or hidden.
void ShowHideControls(const QList<QWidget*>& show, const QList<QWidget*>& hide);
void ShowControls(const QList<QWidget*>& controls);
void HideControls(const QList<QWidget*>& controls);

// Enabled of a widget, an action (menu items are actions), a timer (start
// or stop; starting restarts its interval) or of a class that a higher layer
// registered; nullptr is ignored; any other object raises EAppException
// "SetEnabled: Unknown type of Component".
void SetEnabled(QObject* component, bool flag);
// A setter for a class of a higher layer (a data source): answers true when
// it took the object.
using TEnabledSetter = std::function<bool(QObject* component, bool flag)>;
void RegisterEnabledSetter(TEnabledSetter setter);
void EnableDisableComponents(const QList<QObject*>& enable, const QList<QObject*>& disable);
void EnableComponents(const QList<QObject*>& components);
void DisableComponents(const QList<QObject*>& components);
// The control and all its children.
void SetEnabledWithChildren(QWidget* control, bool flag);
// What the clerk can change in the controls under the roots (texts, marks,
// choices, dates, numbers, list rows), as one text: a window compares it
// with the one from the start of an edit to ask about saving only after a
// real change.
QString EditState(const QList<QWidget*>& roots);
// The one rule for closing (or leaving) with unsaved changes: "Сохранить
// изменения?" (AskSaveChanges with the details) comes before any value is
// checked; Yes runs save, No runs drop. A refused value (an exception, shown)
// answers false: the window stays as it is, to mend the value or to close
// again and drop it.
bool SaveOrDropChanges(const QString& details, const std::function<void()>& save, const std::function<void()>& drop);

// The name of a grid column's field: the model's horizontal header data
// under this role, or its title when the model gives none.
constexpr int FieldNameRole = Qt::UserRole + 1;
// The column whose title cell lies under a point of the grid (its own
// coordinates), -1 outside the title row or the columns.
int TitleColumnAt(QTableView* grid, int x, int y);
// The column of that field takes the free width of the grid, at least the
// larger of its title width + 10 and 20. No such column shows
// "dgColumnResize: Неверное имя столбца".
void dgColumnResize(QTableView* grid, const QString& fieldName);

// From now on every column of the header shows its title whole: a column
// narrower than its title is widened, and the view is kept wide enough for
// its stretched columns' titles; again whenever the header's font changes
// (the program fonts come after the window is made).
void KeepTitlesWhole(QHeaderView* header);

// Key-down routine: Up moves the focus to the previous control, Down to the
// next, and the key is cleared (0). When Control is a form whose focused
// control is a grid, only with Ctrl alone held.
void HandleArrowKeyFocus(QWidget* control, int& key, Qt::KeyboardModifiers shift);

// Gives every item of the list without one a mnemonic ("&" before a
// character), unique among the items: the first free initial of a word,
// else the first free letter or digit; then the same inside each sub-menu.
// Items that have one keep it unless an earlier item holds its letter.
void AssignMnemonics(const QList<QAction*>& items);
// The same rule over a window's push buttons, tool buttons and page tabs
// (hidden pages included), so each is unique within the window; letters
// of check boxes and labels with a buddy are left to them. Run again after
// a caption changes.
void AssignButtonMnemonics(QWidget* window);
// The character after the single "&" of a caption, lower case; null when none.
QChar MnemonicOf(const QString& caption);

// A list that takes the focus by key shows its current row selected: the
// first row when it has none.
void ShowCurrentRowOnFocus(QAbstractItemView* view);

// The program's registered objects (forms register themselves), each once.
int RegisterObject(QObject* object);
void UnregisterObject(QObject* object);
const QList<QObject*>& RegisteredObjects();

// While the main window is minimised the other windows are hidden; they come
// back, from the last to the first, when it is restored. Main calls this
// once for its main window.
void InstallMinimizeHandler(QWidget* mainWindow);

inline void DoNothing() {}
inline void NoOperation() {}

// ---------------------------------------------------------------- making controls

// The widget with its component name, by which tests and fonts find it.
template <typename W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}
// A button that Enter presses only while it has the focus.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QString& hint = QString());
// A text-only tool button that never takes the focus from the edits.
QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& text);
