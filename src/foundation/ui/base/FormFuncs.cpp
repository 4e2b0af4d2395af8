#include "foundation/ui/base/FormFuncs.h"

#include "foundation/Messages.h"
#include "foundation/TextMeasure.h"
#include "foundation/ui/base/Beep.h"
#include "foundation/ui/base/FormBase.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
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

bool ScaleAllForms(int m, int d, bool up)
{
    if (m <= 0 || d <= 0 || m == d)
        return true;
    const double factor = up ? double(m) / d : double(d) / m;
    // What the step changed, to undo it exactly.
    QList<QPair<QPointer<QWidget>, QFont>> fonts;
    QList<QPair<QPointer<QWidget>, QRect>> places;
    const auto scale = [&](QWidget* w) {
        fonts.append({w, w->font()});
        QFont font = w->font();
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * factor);
        else if (font.pixelSize() > 0)
            font.setPixelSize(std::max(1, qRound(font.pixelSize() * factor)));
        w->setFont(font);
    };
    QList<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TForm*>(w) || qobject_cast<QMainWindow*>(w))
            windows.append(w);
    for (QWidget* w : windows)
        places.append({w, w->geometry()});
    for (QWidget* w : windows) {
        // The program fonts are set on the controls themselves, which then
        // no longer follow the window's font: each is scaled on its own.
        const QList<QWidget*> own = w->findChildren<QWidget*>();
        scale(w);
        for (QWidget* child : own)
            if (child->testAttribute(Qt::WA_SetFont))
                scale(child);
    }
    bool fits = true;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        QWidget* w = windows[i];
        if (w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
            continue;
        const QRect before = places[i].second;
        QRect place(before.topLeft(), QSize(qRound(before.width() * factor), qRound(before.height() * factor)));
        const QSize least = LeastWindowSize(w);
        place.setSize(place.size().expandedTo(least));
        QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
        if (screen && !FitWhole(place, least, WindowFrame(w), screen->availableGeometry()) && w->isVisible()) {
            fits = false;
            break;
        }
        w->setGeometry(place);
    }
    if (fits)
        return true;
    for (auto it = fonts.rbegin(); it != fonts.rend(); ++it)
        if (it->first)
            it->first->setFont(it->second);
    for (const auto& [w, place] : places)
        if (w) {
            LeastWindowSize(w);
            w->setGeometry(place);
        }
    MessageBeep();
    return false;
}

QMargins UsualWindowFrame() { return QMargins(8, 32, 8, 8); }

QMargins WindowFrame(const QWidget* window)
{
    const QMargins usual = UsualWindowFrame();
    if (!window->isVisible())
        return usual;
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return QMargins(std::max(usual.left(), inner.left() - outer.left()),
        std::max(usual.top(), inner.top() - outer.top()), std::max(usual.right(), outer.right() - inner.right()),
        std::max(usual.bottom(), outer.bottom() - inner.bottom()));
}

bool FitWhole(QRect& place, QSize least, QMargins frame, QRect available)
{
    const QRect room = available.marginsRemoved(frame);
    if (least.width() > room.width() || least.height() > room.height())
        return false;
    place.setSize(place.size().boundedTo(room.size()).expandedTo(least));
    place.moveLeft(std::clamp(place.left(), room.left(), room.right() - place.width() + 1));
    place.moveTop(std::clamp(place.top(), room.top(), room.bottom() - place.height() + 1));
    return true;
}

QSize LeastWindowSize(QWidget* window)
{
    if (QLayout* layout = window->layout()) {
        // A control's layout tells the window's of a new size only through a
        // posted event; the size is wanted now.
        for (QWidget* w : window->findChildren<QWidget*>())
            if (w->layout())
                w->layout()->invalidate();
        layout->invalidate();
        layout->activate();
    }
    return window->minimumSize().expandedTo(window->minimumSizeHint());
}

int CaptionWidth(const QWidget* window)
{
    // Window managers draw the title in a bold font of about 10 points;
    // the icon and three buttons take a square each.
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(std::max(font.pointSizeF(), 10.0));
    const QFontMetrics fm(font);
    return fm.horizontalAdvance(window->windowTitle()) + 4 * (fm.height() + 12) + 16;
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

namespace {

// A caption and the way to write it back.
struct Caption {
    QString text;
    std::function<void(const QString&)> set;
};

QString WithoutMnemonic(const QString& caption)
{
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) {
            if (caption[i + 1] == QLatin1Char('&'))
                out += caption[++i]; // "&&" stays
            continue;
        }
        out += caption[i];
    }
    return out;
}

// The one rule of menus, buttons and page tabs: a mnemonic kept where it is
// the first of its letter; the others get the first free initial of a
// word, else the first free letter or digit. `taken` are letters that
// other controls of the window hold already.
void GiveMnemonics(QList<Caption>& items, QSet<QChar> taken)
{
    QList<Caption*> lacking;
    for (Caption& c : items) {
        const QChar m = MnemonicOf(c.text);
        if (!m.isNull() && !taken.contains(m)) {
            taken.insert(m);
            continue;
        }
        if (!m.isNull()) {
            c.text = WithoutMnemonic(c.text).replace(QLatin1Char('&'), QStringLiteral("&&"));
            c.set(c.text);
        }
        lacking << &c;
    }
    for (Caption* c : lacking) {
        const QString& text = c->text;
        const auto free = [&](qsizetype i) {
            const QChar ch = text[i];
            return !ch.isSpace() && ch != QLatin1Char('&') && (i == 0 || text[i - 1] != QLatin1Char('&'))
                && !taken.contains(ch.toLower());
        };
        const auto wordStart
            = [&](qsizetype i) { return text[i].isLetterOrNumber() && (i == 0 || text[i - 1].isSpace()); };
        qsizetype at = -1;
        for (int pass = 0; pass < 3 && at < 0; ++pass)
            for (qsizetype i = 0; i < text.size() && at < 0; ++i)
                if (free(i) && (pass == 2 || (pass == 0 ? wordStart(i) : text[i].isLetterOrNumber())))
                    at = i;
        if (at >= 0) {
            taken.insert(text[at].toLower());
            c->set(text.left(at) + QLatin1Char('&') + text.mid(at));
        }
    }
}

} // namespace

void AssignMnemonics(const QList<QAction*>& items)
{
    QList<Caption> captions;
    for (QAction* a : items)
        if (!a->isSeparator())
            captions.append({a->text(), [a](const QString& text) { a->setText(text); }});
    GiveMnemonics(captions, {});
    for (QAction* a : items)
        if (QMenu* menu = a->menu(); menu && !a->isSeparator())
            AssignMnemonics(menu->actions());
}

void AssignButtonMnemonics(QWidget* window)
{
    if (!window)
        return;
    QList<Caption> captions;
    QSet<QChar> taken;
    // The pages first: their initials are the ones a clerk guesses.
    for (QTabWidget* tabs : window->findChildren<QTabWidget*>())
        for (int i = 0; i < tabs->count(); ++i)
            captions.append({tabs->tabText(i), [tabs, i](const QString& text) { tabs->setTabText(i, text); }});
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (qobject_cast<QPushButton*>(b) || qobject_cast<QToolButton*>(b)) {
            if (!b->text().trimmed().isEmpty() && b->text().trimmed() != QLatin1String("..."))
                captions.append({b->text(), [b](const QString& text) { b->setText(text); }});
        } else if (const QChar m = MnemonicOf(b->text()); !m.isNull()) {
            taken.insert(m); // a check box's own letter
        }
    }
    for (const QLabel* l : window->findChildren<QLabel*>())
        if (l->buddy())
            if (const QChar m = MnemonicOf(l->text()); !m.isNull())
                taken.insert(m);
    GiveMnemonics(captions, taken);
}

namespace {

class CurrentRowOnFocus final : public QObject {
public:
    explicit CurrentRowOnFocus(QAbstractItemView* view) : QObject(view), view_(view) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // Before the view's own focus handling, which would make the first
        // row current without selecting it.
        if (event->type() == QEvent::FocusIn && static_cast<QFocusEvent*>(event)->reason() != Qt::MouseFocusReason
            && view_->model() && view_->selectionModel()) {
            QModelIndex current = view_->currentIndex();
            if (!current.isValid() && view_->model()->rowCount(view_->rootIndex()) > 0)
                current = view_->model()->index(0, 0, view_->rootIndex());
            if (current.isValid() && !view_->selectionModel()->isSelected(current))
                view_->setCurrentIndex(current);
        }
        return false;
    }

private:
    QAbstractItemView* view_;
};

} // namespace

void ShowCurrentRowOnFocus(QAbstractItemView* view) { view->installEventFilter(new CurrentRowOnFocus(view)); }

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

bool SaveOrDropChanges(const QString& details, const std::function<void()>& save, const std::function<void()>& drop)
{
    return RunGuarded(AskSaveChanges(details) ? save : drop);
}

namespace {

class TitlesWhole final : public QObject {
public:
    explicit TitlesWhole(QHeaderView* header) : QObject(header), header_(header)
    {
        header->installEventFilter(this);
        // A width given later (a stored one, a window's own) is held too.
        connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
            if (!fitting_ && header_->sectionResizeMode(section) != QHeaderView::Stretch && size > 0
                && size < TitleWidth(section))
                QTimer::singleShot(0, this, [this] { Fit(); });
        });
        connect(header, &QHeaderView::sectionCountChanged, this, [this] { Fit(); });
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
        fitting_ = true;
        const QScopeGuard done([this] { fitting_ = false; });
        int need = 0;
        int stretched = 0;
        int widestStretched = 0;
        for (int i = 0; i < header_->count(); ++i) {
            if (header_->isSectionHidden(i))
                continue;
            const int title = TitleWidth(i);
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

    int TitleWidth(int section) const
    {
        const QAbstractItemModel* model = header_->model();
        if (!model)
            return 0;
        const int margin = 2 * header_->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header_) + 2;
        return QFontMetrics(header_->font()).horizontalAdvance(model->headerData(section, Qt::Horizontal).toString())
            + margin;
    }

    QHeaderView* header_;
    bool fitting_ = false;
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
