#include "data/Globals.h"
#include "data/AppContext.h"
#include "foundation/DateFuncs.h"
#include "foundation/FileFuncs.h"
#include "foundation/FileList.h"
#include "foundation/IniFiles.h"
#include "foundation/Messages.h"
#include "platform/Clock.h"
#include "platform/Disk.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <algorithm>
#include <cmath>
#include <memory>

TDateTime StartDate = 0;
TDateTime MinWorkDate = 0;
TDateTime MaxWorkDate = 0;

namespace {
QList<qint32> g_runStates;
} // namespace

const QList<qint32>& RunStateHistory() { return g_runStates; }
void ClearRunStateHistory() { g_runStates.clear(); }

void ComputeWorkDateBounds()
{
    const TDateTime dates[] = {Cfg.BegPeriod, Cfg.EndPeriod, Cfg.Workdate, Cfg.BegDate, Date(), StartDate};
    MinWorkDate = *std::min_element(std::begin(dates), std::end(dates));
    MaxWorkDate = *std::max_element(std::begin(dates), std::end(dates)) + 3650;
}
QString TMP;
QString TxtDir;
QString TmpTableName;

namespace {

const QString kConfiguration = QStringLiteral("Configuration");
const QString kErrors = QStringLiteral("Errors");
const QString kNetWorkCFG = QStringLiteral("NetWorkCFG");

QObject* g_owner = nullptr;
T_yqFileList* g_fileList = nullptr;

std::array<VarDesc, 4> NetWorkCfg()
{
    TAppContext& r = AppContext();
    return {{
        {"LocalPath", 'C', &r.LocalPath},
        {"NetworkPath", 'C', &r.NetworkPath},
        {"DriverLocalPath", 'C', &r.DriverLocalPath},
        {"DriverNetworkPath", 'C', &r.DriverNetworkPath},
    }};
}

bool SameField(const CfgFieldDesc& d, const Tcfg& a, const Tcfg& b)
{
    return std::visit([&](auto member) { return a.*member == b.*member; }, d.Field);
}

bool SectionHasKey(const QStringList& keys, const char* name)
{
    const QString key = QString::fromLatin1(name);
    for (const QString& k : keys)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// A step of 0 or less would divide by zero when money is rounded.
void MendRoundS(Tcfg& cfg)
{
    if (cfg.RoundS > 0 && std::isfinite(cfg.RoundS))
        return;
    const QString stored = FloatToStr(cfg.RoundS);
    cfg.RoundS = 1.0;
    if (AppContext().RoundSReported)
        return;
    AppContext().RoundSReported = true;
    ShowWarning(QStringLiteral("Неверный шаг округления в настройках|Записан шаг ") + stored
        + QStringLiteral(", шаг должен быть больше нуля. Принят шаг 1."));
}

Variant FieldValue(const CfgFieldDesc& d, const Tcfg& cfg)
{
    switch (d.Kind) {
    case 'B': return Variant(cfg.*std::get<bool Tcfg::*>(d.Field));
    case 'C':
    case 'S': return Variant(cfg.*std::get<QString Tcfg::*>(d.Field));
    case 'D': return Variant::FromDate(cfg.*std::get<double Tcfg::*>(d.Field));
    case 'I': return Variant(static_cast<int>(cfg.*std::get<qint32 Tcfg::*>(d.Field)));
    case 'N': return Variant(cfg.*std::get<double Tcfg::*>(d.Field));
    default:
        ShowError(QStringLiteral("GetCFGVarValue: Неизвестный тип переменной ") + QString::fromLatin1(d.Name));
        return Variant();
    }
}

template <std::size_t N> const CfgFieldDesc* FindField(const CfgFieldDesc (&fields)[N], const QString& name)
{
    for (const CfgFieldDesc& d : fields)
        if (name.compare(QString::fromLatin1(d.Name), Qt::CaseInsensitive) == 0)
            return &d;
    return nullptr;
}

QString MakeWorkFolder(const QString& path)
{
    if (!EnsureDirectory(path))
        ShowError(QStringLiteral("Не могу создать рабочую папку|") + EscapeBars(path));
    return path;
}

} // namespace

void SetCfgDefaults(Tcfg& cfg)
{
    cfg = Tcfg{};
    cfg.BegDate = StoD(QStringLiteral("19950101"));
    cfg.BegPeriod = cfg.BegDate;
    cfg.EndPeriod = StartDate;
    cfg.Workdate = StartDate;
    cfg.NaimGlBuh = QStringLiteral("Гл. бухгалтер");
    cfg.NaimDirector = QStringLiteral("Директор");
    cfg.NumYears = 2;
    cfg.NumFullYears = 2;
    cfg.AutoCalc = true;
    cfg.DecimalPos = 2;
    cfg.PNInt = true;
    cfg.Round = true;
    cfg.RoundS = 1.0;
    cfg.MinUderNum = 200;
    cfg.Rub = QStringLiteral("руб.");
    cfg.Kop = QStringLiteral("коп.");
    cfg.CurrencyDivider = QStringLiteral("-");
    cfg.Password = QStringLiteral("Marigold");
}

// ---------------------------------------------------------------- the run state

namespace {

QString g_operation;
QString g_operationState;

const QString kOperation = QStringLiteral("Operation");
const QString kOperationState = QStringLiteral("OperationState");

// The one writer of "Errors": the run state and the operation beside it.
// Written past IniSavingEnabled on purpose. A failure is reported and the
// work goes on: the run state only informs the next start.
void WriteRunState()
{
    try {
        TIniFile& ini = ProgramIni();
        ini.WriteInteger(kErrors, QString::fromLatin1(CfgErrorFields[0].Name), Cfg.Error);
        if (g_operation.isEmpty()) {
            ini.DeleteKey(kErrors, kOperation);
            ini.DeleteKey(kErrors, kOperationState);
        } else {
            ini.WriteString(kErrors, kOperation, g_operation);
            ini.WriteString(kErrors, kOperationState, g_operationState);
        }
        ini.UpdateFile();
    } catch (const Exception& e) {
        ShowError(QStringLiteral("Не могу записать состояние программы|") + EscapeBars(e.Message()));
    }
}

} // namespace

void SetRunState(qint32 state)
{
    if (state == -1) {
        ++Cfg.Error;
    } else {
        Cfg.Error = state;
        // A new start or a clean end: nothing is left running.
        g_operation.clear();
        g_operationState.clear();
    }
    g_runStates.append(Cfg.Error);
    WriteRunState();
}

void SetRunOperation(const QString& operation, const QString& state)
{
    g_operation = operation;
    g_operationState = operation.isEmpty() ? QString() : state;
    WriteRunState();
}

void SetRunOperationState(const QString& state)
{
    if (g_operation.isEmpty() || g_operationState == state)
        return;
    g_operationState = state;
    WriteRunState();
}

TRunOperation::TRunOperation(const QString& operation, const QString& state)
    : operation_(g_operation), state_(g_operationState)
{
    SetRunOperation(operation, state);
}

TRunOperation::~TRunOperation() { SetRunOperation(operation_, state_); }

TInterruptedOperation ReadRunOperation()
{
    TIniFile& ini = ProgramIni();
    return {ini.ReadString(kErrors, kOperation, QString()), ini.ReadString(kErrors, kOperationState, QString())};
}

void ReadErrorsSection()
{
    const auto vars = BindCfgFields(CfgErrorFields, Cfg);
    RestProgramIniSection(kErrors, vars);
}

// ---------------------------------------------------------------- user settings

QString UserSectionName() { return QStringLiteral("User") + QString::number(CurrentUser); }

void SetTNPositionProvider(std::function<qint32()> provider) { DataHooks().TNPosition = std::move(provider); }

void SetDNPositionProvider(std::function<qint32()> provider) { DataHooks().DNPosition = std::move(provider); }

void LoadUserSettings()
{
    const auto program = BindCfgFields(CfgProgramFields, Cfg);
    const auto user = BindCfgFields(CfgUserFields, Cfg);
    RestConfigurationSection(program);
    RestProgramIniSection(UserSectionName(), user);
}

void ReloadUserSettings()
{
    ProgramIni().Reread();
    LoadUserSettings();
}

void SaveUserSettings()
{
    if (!IniSavingEnabled)
        return;
    const TDataHooks& hooks = DataHooks();
    if (hooks.TNPosition)
        Cfg.TNPosition = hooks.TNPosition();
    if (hooks.DNPosition)
        Cfg.DNPosition = hooks.DNPosition();
    const auto program = BindCfgFields(CfgProgramFields, Cfg);
    const auto user = BindCfgFields(CfgUserFields, Cfg);
    SaveConfigurationSection(program);
    SaveProgramIniSection(UserSectionName(), user);
    ProgramIni().UpdateFile();
}

// ---------------------------------------------------------------- data configuration

void SetDataFolder(const QString& folder) { AppContext().SetDataFolder(folder); }

QString DataFolder() { return AppContext().DataFolder(); }

TIniFile& DataIni()
{
    if (!AppContext().DataIni)
        throw EAppException(QStringLiteral("Папка данных не задана"));
    return *AppContext().DataIni;
}

void LoadDataConfiguration(TMemIniFile& ini, Tcfg& cfg, Tcfg& loaded)
{
    ini.Reread();
    const auto vars = BindCfgFields(CfgDataFields, cfg);
    RestIniSection(ini, kConfiguration, vars);
    loaded = cfg;
    MendRoundS(cfg);
    const TDateTime workMonth = FirstDayOfMonth(cfg.Workdate);
    if (workMonth < cfg.BegDate)
        cfg.BegDate = workMonth;
}

void SaveDataConfiguration(TMemIniFile& ini, Tcfg& cfg, Tcfg& loaded)
{
    if (!IniSavingEnabled)
        return;
    // Another copy may have changed other entries since we read them: only
    // what this copy changed is written over the file's current content.
    ini.Reread();
    QStringList present;
    ini.ReadSection(kConfiguration, present);
    const auto vars = BindCfgFields(CfgDataFields, cfg);
    for (std::size_t i = 0; i < vars.size(); ++i) {
        const CfgFieldDesc& d = CfgDataFields[i];
        if (SameField(d, cfg, loaded) && SectionHasKey(present, d.Name))
            continue;
        try {
            WriteIniValue(ini, kConfiguration, QString::fromLatin1(d.Name), FieldValue(d, cfg));
        } catch (const Exception& e) {
            ShowError(QStringLiteral("SaveDataConfiguration: |") + EscapeBars(e.Message()));
        }
    }
    ini.UpdateFile();
    loaded = cfg;
}

void LoadDataConfiguration() { LoadDataConfiguration(DataIni(), Cfg, AppContext().CfgLoaded); }

void SaveDataConfiguration()
{
    if (IniSavingEnabled)
        SaveDataConfiguration(DataIni(), Cfg, AppContext().CfgLoaded);
}

void SaveSettings()
{
    SaveUserSettings();
    SaveDataConfiguration();
}

Variant GetCFGVarValue(const QString& name)
{
    const CfgFieldDesc* d = FindField(CfgDataFields, name);
    if (!d)
        d = FindField(CfgProgramFields, name);
    if (!d)
        d = FindField(CfgErrorFields, name);
    return d ? FieldValue(*d, Cfg) : Variant();
}

// ---------------------------------------------------------------- "NetWorkCFG"

void ReadNetWorkCFG() { RestProgramIniSection(kNetWorkCFG, NetWorkCfg()); }

void WriteNetWorkCFG() { SaveProgramIniSection(kNetWorkCFG, NetWorkCfg()); }

// ---------------------------------------------------------------- process-wide values

QObject* GlobalOwner()
{
    if (!g_owner)
        throw EAppException(QStringLiteral("GlobalOwner: InitGlobals не вызвана"));
    return g_owner;
}

T_yqFileList& GlobalFileList()
{
    if (!g_fileList)
        throw EAppException(QStringLiteral("GlobalFileList: InitGlobals не вызвана"));
    return *g_fileList;
}

void ReadExtraFiles()
{
    T_yqFileList& list = GlobalFileList();
    list.clear();
    list.ReadFiles(DataFolder(), QStringLiteral("*.ini"));
    list.ReadFiles(DataFolder(), QStringLiteral("PROPIS.*"));
}

QString AppName() { return QStringLiteral("Qor"); }

QString AppTitle() { return QStringLiteral("Qor. Заработная плата и кадры"); }

void CopyShippedTexts(const QString& shippedFolder, const QString& txtFolder)
{
    const QDir from(shippedFolder), to(txtFolder);
    if (!from.exists() || !to.exists() || from.canonicalPath() == to.canonicalPath())
        return;
    QStringList present;
    for (const QString& name : to.entryList(QDir::Files))
        present << name.toUpper();
    // A full disk fails every file alike: the clerk hears of it once.
    QStringList failed;
    QString reason;
    for (const QString& name : from.entryList(QDir::Files)) {
        if (present.contains(name.toUpper()))
            continue;
        QFile source(from.filePath(name));
        if (!source.copy(to.filePath(name))) {
            failed << name;
            if (reason.isEmpty())
                reason = DiskInfo().FreeSpace(to.path()) < source.size() ? QStringLiteral("на диске нет места")
                                                                         : source.errorString();
            QFile::remove(to.filePath(name)); // no half-written template
        }
    }
    if (!failed.isEmpty())
        ShowError(QStringLiteral("Не могу скопировать шаблоны в папку шаблонов|") + EscapeBars(to.path())
            + QStringLiteral("\r\nНе скопировано файлов: %1 (%2)").arg(failed.size()).arg(EscapeBars(reason))
            + QStringLiteral("\r\nПроверьте место на диске; документы без шаблонов не будут сформированы."));
}

void InitGlobals()
{
    if (g_owner)
        DoneGlobals();
    StartDate = Date();
    g_owner = new QObject;
    g_owner->setObjectName(QStringLiteral("GlobalOwner"));
    TMP = MakeWorkFolder(ProgramFolder() + QStringLiteral("TMP/"));
    TxtDir = MakeWorkFolder(ProgramFolder() + QStringLiteral("TXT/"));
    CopyShippedTexts(QFileInfo(ProgramFilePath()).absolutePath() + QStringLiteral("/TXT/"), TxtDir);
    TmpTableName = TMP + QStringLiteral("TMP");
    SetCfgDefaults(Cfg);
    AppContext().CfgLoaded = Cfg;
    AppContext().RoundSReported = false;
    g_fileList = new T_yqFileList;
}

void DoneGlobals()
{
    SetDataFolder(QString());
    delete g_fileList;
    g_fileList = nullptr;
    delete g_owner;
    g_owner = nullptr;
    TMP.clear();
    TxtDir.clear();
    TmpTableName.clear();
    for (const VarDesc& v : NetWorkCfg())
        std::get<QString*>(v.Address)->clear();
}
