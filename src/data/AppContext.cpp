#include "data/AppContext.h"

#include "data/Calendar.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Podr.h"
#include "data/UserFormulas.h"
#include "db/DataFolderLock.h"
#include "db/Session.h"
#include "foundation/FileFuncs.h"
#include "foundation/IniFiles.h"
#include "platform/ProgramFolder.h"

#include <QDir>

namespace {

TAppContext g_record;
TDataHooks g_hooks;
bool g_running = false;

// The data INI's file in a folder: an existing one of any letter case, else
// the program's own name.
QString DataIniPath(const QString& folder)
{
    const QString own = ProgramName() + QStringLiteral(".ini");
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    if (files.contains(own))
        return folder + own;
    for (const QString& f : files)
        if (f.compare(own, Qt::CaseInsensitive) == 0)
            return folder + f;
    return folder + own;
}

} // namespace

// The names the units have always used, bound to the record's fields.
Tcfg& Cfg = g_record.Cfg;
qint32& CurrentUser = g_record.CurrentUser;
QString& LocalPath = g_record.LocalPath;
QString& NetworkPath = g_record.NetworkPath;
QString& DriverLocalPath = g_record.DriverLocalPath;
QString& DriverNetworkPath = g_record.DriverNetworkPath;

TAppContext::TAppContext() = default;

TAppContext::~TAppContext() = default;

QString TAppContext::DataFolder() const { return DbSession::DataFolder(); }

void TAppContext::SetDataFolder(const QString& folder)
{
    DataIni.reset();
    const QString path = folder.trimmed().isEmpty() ? QString() : AddBackslash(folder);
    DbSession::SetDataFolder(path);
    if (!path.isEmpty())
        DataIni = std::make_unique<TIniFile>(DataIniPath(path));
}

TAppContext& AppContext() { return g_record; }

TDataHooks& DataHooks() { return g_hooks; }

void SetDomainListHooks(TDomainList list, TDomainListHooks hooks) { g_hooks.Lists[size_t(list)] = std::move(hooks); }

void InitAppContext()
{
    InstallDNListHooks();
    SetDomainListHooks(TDomainList::Departments, OwnedListHooks(g_record.Departments));
    SetDomainListHooks(TDomainList::UserFormulas, OwnedListHooks(g_record.UserFormulas));
    SetDomainListHooks(TDomainList::Calendars, OwnedListHooks<T_CalendarList>(g_record.Calendars));
}

void DoneAppContext()
{
    SetDomainListHooks(TDomainList::Departments, {});
    SetDomainListHooks(TDomainList::Accruals, {});
    SetDomainListHooks(TDomainList::UserFormulas, {});
    SetDomainListHooks(TDomainList::Calendars, {});
    g_record.Departments.reset();
    g_record.Accruals.reset();
    g_record.UserFormulas.reset();
    g_record.Calendars.Reset();
    g_record.LastTabNum = 0;
    g_record.LastDopNum = 0;
    g_record.FormulaError = TFormulaError();
}

T_PNList* PNList() { return g_record.Departments.get(); }
T_UserFormulaList* UserFormulaList() { return g_record.UserFormulas.get(); }
T_CalendarList* CalendarList() { return g_record.Calendars.Get<T_CalendarList>(); }
T_Calendar* Calendar()
{
    T_CalendarList* list = CalendarList();
    return list != nullptr ? &list->Calendar() : nullptr;
}

bool ApplicationRunning() { return g_running; }
void SetApplicationRunning(bool running) { g_running = running; }
