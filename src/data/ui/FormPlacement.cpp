#include "data/ui/FormPlacement.h"

#include "data/ui/FormRegistry.h"
#include "data/ui/ProgramFonts.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"

#include <QHeaderView>
#include <QSplitter>
#include <QStringList>
#include <QWidget>

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

void RestoreFormPosition(QWidget* form)
{
    if (!form || form->objectName().isEmpty())
        return;
    TIniFile& ini = ProgramIni();
    const QString section = Section(form);
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
    form->setGeometry(place);
    Qt::WindowStates states = form->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == wsMinimized)
        states |= Qt::WindowMinimized;
    else if (state == wsMaximized)
        states |= Qt::WindowMaximized;
    form->setWindowState(states);

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

void SaveFormPlacements()
{
    if (!IniSavingEnabled)
        return;
    for (QWidget* form : ProgramForms())
        SaveFormPosition(form);
    ProgramIni().UpdateFile();
}

void RestoreFormPlacements()
{
    ApplyFontsToAllForms();
    const QList<QWidget*> forms = ProgramForms();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it)
        RestoreFormPosition(*it);
}
