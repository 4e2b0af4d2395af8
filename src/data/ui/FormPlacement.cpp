#include "data/ui/FormPlacement.h"

#include "data/ui/FormRegistry.h"
#include "data/ui/ProgramFonts.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/base/FormFuncs.h"

#include <QApplication>
#include <QHeaderView>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStringList>
#include <QWidget>

#include <algorithm>

namespace {

enum : int { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };
enum : int { bsNone = 0, bsSingle = 1, bsSizeable = 2, bsDialog = 3 };

QString Section(const QWidget* form) { return form->objectName() + QStringLiteral("Position"); }

int WindowStateOf(const QWidget* form)
{
    if (form->windowState() & Qt::WindowMinimized)
        return wsMinimized;
    if (form->windowState() & Qt::WindowMaximized)
        return wsMaximized;
    return wsNormal;
}

int BorderStyleOf(const QWidget* form)
{
    if (form->windowFlags() & Qt::FramelessWindowHint)
        return bsNone;
    if (form->minimumSize() == form->maximumSize())
        return form->inherits("QDialog") ? bsDialog : bsSingle;
    return bsSizeable;
}

QString Numbers(const QList<int>& values)
{
    QString text;
    for (int v : values)
        text += QStringLiteral("%1").arg(qBound(0, v, 9999), 4, 10, QLatin1Char('0'));
    return text;
}

// Four-digit numbers; false on anything else.
bool ParseNumbers(const QString& text, QList<int>& values)
{
    values.clear();
    if (text.isEmpty() || text.size() % 4)
        return false;
    for (int i = 0; i < text.size(); i += 4) {
        bool ok = false;
        values.append(text.mid(i, 4).toInt(&ok));
        if (!ok)
            return false;
    }
    return true;
}

QList<int> HeaderSizes(const QHeaderView* header)
{
    QList<int> sizes;
    for (int i = 0; i < header->count(); ++i)
        sizes.append(header->sectionSize(i));
    return sizes;
}

// A view's own header is named after the view; "" when neither has a name.
QString HeaderKey(const QHeaderView* header)
{
    if (!header->objectName().isEmpty())
        return header->objectName();
    const QWidget* view = header->parentWidget();
    if (!view || view->objectName().isEmpty())
        return QString();
    return view->objectName() + (header->orientation() == Qt::Horizontal ? QStringLiteral(".h") : QStringLiteral(".v"));
}

// Set on a window when it is first shown while the program runs.
const char* const kShown = "qorShown";
// Set by RestoreFormPosition: whether a place was stored.
const char* const kStored = "qorStoredPlace";

const QSize kMainLeast(1024, 700);

bool WasShown(const QWidget* w) { return w->property(kShown).toBool(); }

QRect AvailableFor(const QWidget* w, const QWidget* owner)
{
    QScreen* screen = owner ? owner->screen() : w->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// The window a new one is centred on: its parent's, else the active one,
// else the main window.
QWidget* OwnerOf(QWidget* w)
{
    if (QWidget* parent = w->parentWidget())
        return parent->window();
    QWidget* active = QApplication::activeWindow();
    if (active && active != w && active->isVisible())
        return active;
    QWidget* main = MainForm();
    return main && main != w && main->isVisible() ? main : nullptr;
}

// The size that shows the window's contents: its size hint, and enough
// more that a page in a scroll area shows whole (a scroll area's own hint
// does not say what it holds).
QSize ContentSizeHint(QWidget* w)
{
    QSize more(0, 0);
    for (QScrollArea* area : w->findChildren<QScrollArea*>())
        if (QWidget* inner = area->widget(); inner && area->widgetResizable())
            more = more.expandedTo(inner->sizeHint() - area->viewport()->size());
    return w->sizeHint().expandedTo(w->size() + more);
}

// The window's least size worked out again at its present fonts, and held
// to the screen's free area: a window that would not fit there lets its
// layouts squeeze the controls instead.
void HoldLeastToScreen(QWidget* w, QRect available)
{
    const QSize room = available.marginsRemoved(UsualWindowFrame()).size();
    const QSize least = LeastWindowSize(w);
    if (least.width() > room.width() || least.height() > room.height())
        w->setMinimumSize(least.boundedTo(room));
}

// A shown window whose least size grew past the screen (its lists filled,
// its fonts changed) is held to the screen again; a size given from outside
// is left alone.
void KeepWhole(QWidget* w)
{
    if (w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
        return;
    const QRect available = AvailableFor(w, nullptr);
    const QSize room = available.marginsRemoved(UsualWindowFrame()).size();
    const QSize size = w->size();
    const QSize least = w->minimumSize();
    const bool pushedWide = size.width() > room.width() && size.width() == least.width();
    const bool pushedHigh = size.height() > room.height() && size.height() == least.height();
    if (!pushedWide && !pushedHigh)
        return;
    w->setMinimumSize(least.boundedTo(room));
    QRect place = w->geometry();
    place.setSize(size.boundedTo(room));
    FitWhole(place, w->minimumSize(), UsualWindowFrame(), available);
    w->setGeometry(place);
}

void PlaceOnFirstShow(QWidget* w)
{
    w->setProperty(kShown, true);
    ApplyProgramFonts(w);
    HoldLeastToScreen(w, AvailableFor(w, OwnerOf(w)));
    const bool stored = w->property(kStored).isValid() ? w->property(kStored).toBool() : RestoreFormPosition(w);
    if (stored || (w->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        return;
    QWidget* owner = OwnerOf(w);
    const QRect available = AvailableFor(w, owner);
    bool maximize = false;
    const QRect place = FirstPlacement(w->geometry(), ContentSizeHint(w), qobject_cast<QMainWindow*>(w) != nullptr,
        owner ? owner->geometry() : QRect(), available, maximize);
    w->setGeometry(place);
    if (maximize)
        w->setWindowState(w->windowState() | Qt::WindowMaximized);
}

class WindowPlacement final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::Resize && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (WasShown(w) && IsProgramWindow(w))
                KeepWhole(w);
        }
        if ((type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (IsProgramWindow(w))
                RunGuarded([&] {
                    if (type == QEvent::Show && !WasShown(w))
                        PlaceOnFirstShow(w);
                    else if (type == QEvent::Hide && WasShown(w))
                        SaveFormPosition(w);
                });
        }
        return false;
    }
};

WindowPlacement* g_placement = nullptr;

void RestoreLayouts(QWidget* form, TIniFile& ini, const QString& section)
{
    QList<int> values;
    for (QSplitter* splitter : form->findChildren<QSplitter*>()) {
        const QString text = ini.ReadString(section, QStringLiteral("Splitter.") + splitter->objectName(), QString());
        if (text.isEmpty() || splitter->objectName().isEmpty())
            continue;
        if (!ParseNumbers(text, values) || values.size() != splitter->count())
            ShowError(QStringLiteral("Splitter Rest Error"));
        else
            splitter->setSizes(values);
    }
    for (QHeaderView* header : form->findChildren<QHeaderView*>()) {
        const QString name = HeaderKey(header);
        if (name.isEmpty())
            continue;
        const QString text = ini.ReadString(section, QStringLiteral("Header.") + name, QString());
        if (text.isEmpty() || !ParseNumbers(text, values))
            continue;
        for (int i = 0; i < values.size() && i < header->count(); ++i)
            header->resizeSection(i, values[i]);
    }
}

} // namespace

void SaveFormPosition(QWidget* form)
{
    if (!form || !IniSavingEnabled)
        return;
    if (form->objectName().isEmpty()) {
        ShowError(QStringLiteral("Нет имени формы:\r\n") + QString::fromLatin1(form->metaObject()->className()));
        return;
    }
    TIniFile& ini = ProgramIni();
    const QString section = Section(form);
    // A minimised or maximised form keeps its normal place for the next run.
    const QRect normal
        = form->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized) ? form->normalGeometry() : form->geometry();
    const QRect place = normal.isValid() ? normal : form->geometry();
    ini.WriteInteger(section, QStringLiteral("Left"), place.x());
    ini.WriteInteger(section, QStringLiteral("Top"), place.y());
    ini.WriteInteger(section, QStringLiteral("Width"), place.width());
    ini.WriteInteger(section, QStringLiteral("Height"), place.height());
    ini.WriteInteger(section, QStringLiteral("WindowState"), WindowStateOf(form));
    ini.WriteInteger(section, QStringLiteral("BorderStyle"), BorderStyleOf(form));
    ini.WriteBool(section, QStringLiteral("Visible"), form->isVisible());
    for (const QSplitter* splitter : form->findChildren<QSplitter*>())
        if (!splitter->objectName().isEmpty())
            ini.WriteString(section, QStringLiteral("Splitter.") + splitter->objectName(), Numbers(splitter->sizes()));
    for (const QHeaderView* header : form->findChildren<QHeaderView*>()) {
        const QString name = HeaderKey(header);
        if (!name.isEmpty() && header->count() > 0)
            ini.WriteString(section, QStringLiteral("Header.") + name, Numbers(HeaderSizes(header)));
    }
}

bool RestoreFormPosition(QWidget* form)
{
    if (!form || form->objectName().isEmpty())
        return false;
    TIniFile& ini = ProgramIni();
    const QString section = Section(form);
    QStringList keys;
    ini.ReadSection(section, keys);
    // Without a stored place the window keeps its own: a move to the
    // design's (0, 0) would put its frame off the screen.
    const bool stored = keys.contains(QStringLiteral("Left"), Qt::CaseInsensitive)
        || keys.contains(QStringLiteral("Width"), Qt::CaseInsensitive);
    form->setProperty(kStored, stored);
    if (!stored) {
        RestoreLayouts(form, ini, section);
        return false;
    }
    const int state = ini.ReadInteger(section, QStringLiteral("WindowState"), WindowStateOf(form));
    QRect place = form->geometry();
    place.moveLeft(ini.ReadInteger(section, QStringLiteral("Left"), place.x()));
    place.moveTop(ini.ReadInteger(section, QStringLiteral("Top"), place.y()));
    const int border = ini.ReadInteger(section, QStringLiteral("BorderStyle"), BorderStyleOf(form));
    if ((border == bsNone) != (BorderStyleOf(form) == bsNone)) {
        // setWindowFlags hides the window: only when the style really differs.
        const bool visible = form->isVisible();
        form->setWindowFlag(Qt::FramelessWindowHint, border == bsNone);
        if (visible)
            form->show();
    }
    place.setWidth(ini.ReadInteger(section, QStringLiteral("Width"), place.width()));
    place.setHeight(ini.ReadInteger(section, QStringLiteral("Height"), place.height()));
    // A place saved on a larger or another screen is brought onto this one.
    QScreen* screen = QGuiApplication::screenAt(place.center());
    if (!screen)
        screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        HoldLeastToScreen(form, screen->availableGeometry());
        place = FitOnScreen(place, screen->availableGeometry());
    }
    form->setGeometry(place);
    Qt::WindowStates states = form->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == wsMinimized)
        states |= Qt::WindowMinimized;
    else if (state == wsMaximized)
        states |= Qt::WindowMaximized;
    form->setWindowState(states);
    RestoreLayouts(form, ini, section);
    return true;
}

void SaveFormPlacements()
{
    if (!IniSavingEnabled)
        return;
    QList<QWidget*> forms = ProgramForms();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!forms.contains(w) && IsProgramWindow(w))
            forms.append(w);
    // A window never shown (a placeholder) would write the design's place
    // over the one its real window saved.
    for (QWidget* form : forms)
        if (WasShown(form))
            SaveFormPosition(form);
    ProgramIni().UpdateFile();
}

void RestoreFormPlacements()
{
    // A window made on first use outlives a run of the program block when
    // several run in one process: its marks belong to the run that showed
    // it, so this run places it afresh from its own INI and saves it only
    // when it shows it.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!w->isVisible()) {
            w->setProperty(kShown, QVariant());
            w->setProperty(kStored, QVariant());
        }
    ApplyFontsToAllForms();
    const QList<QWidget*> forms = ProgramForms();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it)
        RestoreFormPosition(*it);
}

bool IsProgramWindow(const QWidget* w)
{
    if (!w || !w->isWindow() || w->objectName().isEmpty() || IsPlaceholderForm(w))
        return false;
    if (qobject_cast<const QMainWindow*>(w))
        return true;
    const auto* form = qobject_cast<const TForm*>(w);
    if (!form || form->CentresItself())
        return false;
    for (const char* excluded : {"TFormMessage", "TFormLabel", "TStopForm", "TFormMyReport"})
        if (w->inherits(excluded))
            return false;
    return true;
}

void InstallWindowPlacement()
{
    if (g_placement)
        return;
    g_placement = new WindowPlacement(qApp);
    qApp->installEventFilter(g_placement);
}

void RemoveWindowPlacement()
{
    delete g_placement;
    g_placement = nullptr;
}

QRect FirstPlacement(QRect current, QSize hint, bool mainWindow, QRect owner, QRect available, bool& maximize)
{
    maximize = false;
    const QRect room = available.marginsRemoved(UsualWindowFrame());
    QSize size = current.size().expandedTo(hint);
    if (mainWindow) {
        if (room.width() < kMainLeast.width() || room.height() < kMainLeast.height())
            maximize = true;
        size = size.expandedTo(kMainLeast);
    }
    size = size.boundedTo(room.size());
    const QPoint centre = owner.isValid() ? owner.center() : room.center();
    QRect place(QPoint(0, 0), size);
    place.moveCenter(centre);
    return FitOnScreen(place, available);
}

QRect FitOnScreen(QRect place, QRect available)
{
    FitWhole(place, QSize(0, 0), UsualWindowFrame(), available);
    return place;
}
