#include "foundation/ui/base/FormFuncs.h"

#include "foundation/Messages.h"
#include "foundation/TextMeasure.h"
#include "foundation/ui/base/FormBase.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>

#include <algorithm>

namespace {

QList<TEnabledSetter>& EnabledSetters()
{
    static QList<TEnabledSetter> setters;
    return setters;
}

QList<QObject*>& Registered()
{
    static QList<QObject*> list;
    return list;
}

// The tab widget and index of a widget that is a page of a tab widget.
QTabWidget* TabOfPage(QWidget* page, int& index)
{
    auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
    if (!stack)
        return nullptr;
    auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
    if (!tabs)
        return nullptr;
    index = tabs->indexOf(page);
    return index >= 0 ? tabs : nullptr;
}

void SetControlVisible(QWidget* control, bool visible)
{
    if (!control)
        return;
    int index = -1;
    if (QTabWidget* tabs = TabOfPage(control, index))
        tabs->setTabVisible(index, visible);
    else
        control->setVisible(visible);
}

bool TakesTabFocus(QWidget* w, QWidget* window)
{
    return w->window() == window && w->isVisibleTo(window) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)
        && !w->focusProxy();
}

// The next or previous control of the focus chain that can take the focus.
QWidget* NextInChain(QWidget* from, bool forward)
{
    QWidget* window = from->window();
    QWidget* w = from;
    for (;;) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == from)
            return nullptr;
        if (TakesTabFocus(w, window))
            return w;
    }
}

bool IsWindowToHide(QWidget* w, QWidget* except)
{
    const Qt::WindowType type = w->windowType();
    return w != except && w->isWindow() && w->isVisible() && type != Qt::Popup && type != Qt::ToolTip
        && type != Qt::SplashScreen;
}

class MinimizeHandler final : public QObject {
public:
    explicit MinimizeHandler(QWidget* main) : QObject(main), main_(main) { main->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == main_ && event->type() == QEvent::WindowStateChange) {
            RunGuarded([&] {
                if (main_->isMinimized()) {
                    if (hidden_.isEmpty())
                        HideOtherForms(main_, hidden_);
                } else {
                    ShowHiddenForms(hidden_);
                }
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* main_;
    TFormList hidden_;
};

} // namespace

int ShowFormModal(QDialog* form)
{
    if (form->isMinimized())
        form->setWindowState(form->windowState() & ~Qt::WindowMinimized);
    if (form->isVisible())
        form->hide();
    const int result = RunModal(*form);
    QCoreApplication::processEvents();
    form->setResult(result);
    return result;
}

void ShowFormModeless(QWidget* form)
{
    if (form->isMinimized())
        form->setWindowState(form->windowState() & ~Qt::WindowMinimized);
    form->show();
    form->raise();
    form->activateWindow();
}

QWidget* GetActiveForm()
{
    QCoreApplication::processEvents();
    return QApplication::activeWindow();
}

void HideOtherForms(QWidget* form, TFormList& list)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (IsWindowToHide(w, form)) {
            list.append(w);
            w->hide();
        }
}

void ShowHiddenForms(TFormList& list)
{
    for (qsizetype i = list.size() - 1; i >= 0; --i)
        if (list[i])
            list[i]->show();
    list.clear();
}

void ScaleAllForms(int m, int d, bool up)
{
    if (m <= 0 || d <= 0 || m == d)
        return;
    const double factor = up ? double(m) / d : double(d) / m;
    const auto scale = [factor](QWidget* w) {
        QFont font = w->font();
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * factor);
        else if (font.pixelSize() > 0)
            font.setPixelSize(std::max(1, qRound(font.pixelSize() * factor)));
        w->setFont(font);
    };
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!qobject_cast<TForm*>(w) && !qobject_cast<QMainWindow*>(w))
            continue;
        // The program fonts are set on the controls themselves, which then
        // no longer follow the window's font: each is scaled on its own.
        const QList<QWidget*> own = w->findChildren<QWidget*>();
        scale(w);
        for (QWidget* child : own)
            if (child->testAttribute(Qt::WA_SetFont))
                scale(child);
        if (!(w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
            w->resize(qRound(w->width() * factor), qRound(w->height() * factor));
    }
}

void SetOwnerWindow(QWidget* owned, QWidget* owner)
{
    if (!owned || !owner)
        return;
    owned->winId();
    owner->window()->winId();
    if (owned->windowHandle())
        owned->windowHandle()->setTransientParent(owner->window()->windowHandle());
}

QPoint MapControlPoint(QWidget* from, QWidget* to, QPoint point) { return to->mapFromGlobal(from->mapToGlobal(point)); }

void CopyControlBounds(QWidget* from, QWidget* to)
{
    QRect r = from->geometry();
    if (from->parentWidget() != to->parentWidget() && from->parentWidget() && to->parentWidget())
        r.moveTopLeft(MapControlPoint(from->parentWidget(), to->parentWidget(), r.topLeft()));
    to->setGeometry(r);
}

void FitWidthToControl(QWidget* control, QWidget* reference, int margin, int minWidth)
{
    QWidget* parent = control->parentWidget();
    const QPoint right = reference->mapTo(reference->window(), QPoint(reference->width(), 0));
    const int refRight = parent ? parent->mapFrom(parent->window(), right).x() : right.x();
    control->resize(std::max(minWidth, refRight - margin - control->x()), control->height());
}

void FitListViewColumn(QTreeWidget* listView, int index)
{
    QHeaderView* header = listView->header();
    if (index < 0 || index >= header->count())
        return;
    int others = 0;
    for (int i = 0; i < header->count(); ++i)
        if (i != index && !header->isSectionHidden(i))
            others += header->sectionSize(i);
    const int width = std::max(header->minimumSectionSize(), listView->viewport()->width() - others);
    header->resizeSection(index, width);
}

void ShowHideControls(const QList<QWidget*>& show, const QList<QWidget*>& hide)
{
    ShowControls(show);
    HideControls(hide);
}

void ShowControls(const QList<QWidget*>& controls)
{
    for (QWidget* w : controls)
        SetControlVisible(w, true);
}

void HideControls(const QList<QWidget*>& controls)
{
    for (QWidget* w : controls)
        SetControlVisible(w, false);
}

void SetEnabled(QObject* component, bool flag)
{
    if (!component)
        return;
    if (auto* w = qobject_cast<QWidget*>(component)) {
        w->setEnabled(flag);
    } else if (auto* a = qobject_cast<QAction*>(component)) {
        a->setEnabled(flag);
    } else if (auto* t = qobject_cast<QTimer*>(component)) {
        if (flag)
            t->start();
        else
            t->stop();
    } else {
        for (const TEnabledSetter& setter : EnabledSetters())
            if (setter(component, flag))
                return;
        RaiseError(QStringLiteral("SetEnabled: Unknown type of Component"));
    }
}

void RegisterEnabledSetter(TEnabledSetter setter) { EnabledSetters().append(std::move(setter)); }

void EnableDisableComponents(const QList<QObject*>& enable, const QList<QObject*>& disable)
{
    EnableComponents(enable);
    DisableComponents(disable);
}

void EnableComponents(const QList<QObject*>& components)
{
    for (QObject* c : components)
        SetEnabled(c, true);
}

void DisableComponents(const QList<QObject*>& components)
{
    for (QObject* c : components)
        SetEnabled(c, false);
}

void SetEnabledWithChildren(QWidget* control, bool flag)
{
    if (!control)
        return;
    control->setEnabled(flag);
    for (QWidget* child : control->findChildren<QWidget*>())
        child->setEnabled(flag);
}

int TitleColumnAt(QTableView* grid, int x, int y)
{
    QHeaderView* header = grid->horizontalHeader();
    if (!header->isVisible())
        return -1;
    const QRect r = header->geometry();
    if (!r.contains(x, y))
        return -1;
    return header->logicalIndexAt(x - r.x());
}

void dgColumnResize(QTableView* grid, const QString& fieldName)
{
    QAbstractItemModel* model = grid->model();
    QHeaderView* header = grid->horizontalHeader();
    int column = -1;
    for (int i = 0; model && i < model->columnCount() && column < 0; ++i) {
        QVariant name = model->headerData(i, Qt::Horizontal, FieldNameRole);
        if (!name.isValid())
            name = model->headerData(i, Qt::Horizontal, Qt::DisplayRole);
        if (name.toString().compare(fieldName, Qt::CaseInsensitive) == 0)
            column = i;
    }
    if (column < 0) {
        ShowError(QStringLiteral("dgColumnResize: Неверное имя столбца"));
        return;
    }
    int others = 0;
    for (int i = 0; i < header->count(); ++i)
        if (i != column && !header->isSectionHidden(i))
            others += header->sectionSize(i);
    const QString title = model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    const int least = std::max(TextWidthInFont(title, header->font()) + 10, 20);
    header->resizeSection(column, std::max(least, grid->viewport()->width() - others));
}

void HandleArrowKeyFocus(QWidget* control, int& key, Qt::KeyboardModifiers shift)
{
    if (!control || (key != Qt::Key_Up && key != Qt::Key_Down))
        return;
    QWidget* focus = control->isWindow() ? control->focusWidget() : control;
    if (control->isWindow() && qobject_cast<QAbstractItemView*>(focus)
        && (shift & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return;
    if (!focus)
        focus = control;
    if (QWidget* next = NextInChain(focus, key == Qt::Key_Down))
        next->setFocus(key == Qt::Key_Down ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    key = 0;
}

QChar MnemonicOf(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i)
        if (caption[i] == QLatin1Char('&')) {
            if (caption[i + 1] != QLatin1Char('&'))
                return caption[i + 1].toLower();
            ++i; // "&&" is a plain "&"
        }
    return QChar();
}

void AssignMnemonics(const QList<QAction*>& items)
{
    QSet<QChar> used;
    for (const QAction* a : items)
        if (const QChar m = MnemonicOf(a->text()); !a->isSeparator() && !m.isNull())
            used.insert(m);
    for (QAction* a : items) {
        if (a->isSeparator())
            continue;
        const QString text = a->text();
        if (MnemonicOf(text).isNull()) {
            const auto free = [&](qsizetype i) {
                const QChar c = text[i];
                return !c.isSpace() && c != QLatin1Char('&') && !used.contains(c.toLower());
            };
            const auto wordStart
                = [&](qsizetype i) { return text[i].isLetterOrNumber() && (i == 0 || text[i - 1].isSpace()); };
            qsizetype at = -1;
            for (int pass = 0; pass < 3 && at < 0; ++pass)
                for (qsizetype i = 0; i < text.size() && at < 0; ++i)
                    if (free(i) && (pass == 2 || (pass == 0 ? wordStart(i) : text[i].isLetterOrNumber())))
                        at = i;
            if (at >= 0) {
                used.insert(text[at].toLower());
                a->setText(text.left(at) + QLatin1Char('&') + text.mid(at));
            }
        }
        if (QMenu* menu = a->menu())
            AssignMnemonics(menu->actions());
    }
}

int RegisterObject(QObject* object)
{
    QList<QObject*>& list = Registered();
    const qsizetype i = list.indexOf(object);
    if (i >= 0)
        return static_cast<int>(i);
    list.append(object);
    return static_cast<int>(list.size() - 1);
}

void UnregisterObject(QObject* object) { Registered().removeAll(object); }

const QList<QObject*>& RegisteredObjects() { return Registered(); }

QString EditState(const QList<QWidget*>& roots)
{
    QStringList parts;
    const auto add = [&parts](const QWidget* w) {
        if (const auto* line = qobject_cast<const QLineEdit*>(w))
            parts << line->text();
        else if (const auto* button = qobject_cast<const QAbstractButton*>(w); button && button->isCheckable())
            parts << (button->isChecked() ? QStringLiteral("+") : QStringLiteral("-"));
        else if (const auto* combo = qobject_cast<const QComboBox*>(w))
            parts << combo->currentText();
        else if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(w))
            parts << spin->text();
        else if (const auto* plain = qobject_cast<const QPlainTextEdit*>(w))
            parts << plain->toPlainText();
        else if (const auto* tree = qobject_cast<const QTreeWidget*>(w))
            for (int i = 0; i < tree->topLevelItemCount(); ++i)
                for (int c = 0; c < tree->columnCount(); ++c)
                    parts << tree->topLevelItem(i)->text(c);
    };
    for (const QWidget* root : roots) {
        if (!root)
            continue;
        add(root);
        for (const QWidget* w : root->findChildren<QWidget*>())
            // A line edit inside a combo or a spin box is its owner's text.
            if (!qobject_cast<const QComboBox*>(w->parentWidget())
                && !qobject_cast<const QAbstractSpinBox*>(w->parentWidget()))
                add(w);
    }
    return parts.join(QChar(0x1F));
}

namespace {

class TitlesWhole final : public QObject {
public:
    explicit TitlesWhole(QHeaderView* header) : QObject(header), header_(header)
    {
        header->installEventFilter(this);
        Fit();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::Show)
            Fit();
        return false;
    }

private:
    void Fit()
    {
        QAbstractItemModel* model = header_->model();
        auto* view = qobject_cast<QAbstractItemView*>(header_->parentWidget());
        if (!model || !view || header_->orientation() != Qt::Horizontal)
            return;
        const QFontMetrics fm(header_->font());
        const int margin = 2 * header_->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header_) + 2;
        int need = 0;
        int stretched = 0;
        int widestStretched = 0;
        for (int i = 0; i < header_->count(); ++i) {
            if (header_->isSectionHidden(i))
                continue;
            const int title = fm.horizontalAdvance(model->headerData(i, Qt::Horizontal).toString()) + margin;
            if (header_->sectionResizeMode(i) == QHeaderView::Stretch) {
                ++stretched;
                widestStretched = std::max(widestStretched, title);
                continue;
            }
            if (header_->sectionSize(i) < title)
                header_->resizeSection(i, title);
            need += header_->sectionSize(i);
        }
        if (stretched == 0)
            return;
        need += stretched * widestStretched; // the stretched columns share the room alike
        auto* table = qobject_cast<QTableView*>(view);
        const int rows = table && table->verticalHeader()->isVisible() ? table->verticalHeader()->width() : 0;
        view->setMinimumWidth(need + rows + 2 * view->frameWidth()
            + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view));
    }

    QHeaderView* header_;
};

} // namespace

void KeepTitlesWhole(QHeaderView* header)
{
    if (!header)
        return;
    for (QObject* child : header->children())
        if (dynamic_cast<TitlesWhole*>(child))
            return;
    new TitlesWhole(header);
}

void InstallMinimizeHandler(QWidget* mainWindow) { new MinimizeHandler(mainWindow); }

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QString& hint)
{
    auto* b = Named(new QPushButton(text, parent), name);
    b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
}

QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& text)
{
    auto* b = Named(new QToolButton(parent), name);
    b->setText(text);
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}
