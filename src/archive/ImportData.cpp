#include "archive/ImportData.h"

#include "archive/ImportMappings.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/Calendar.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/FolderRecovery.h"
#include "data/Globals.h"
#include "data/Rights.h"
#include "data/TableCatalogue.h"
#include "db/Cursor.h"
#include "db/Session.h"
#include "db/Tables.h"
#include "db/Transaction.h"
#include "foundation/DataSetFuncs.h"
#include "foundation/DateFuncs.h"
#include "foundation/DbfFile.h"
#include "foundation/FileFuncs.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

const QString kSection = QStringLiteral("Import");

// Null for a variable the file does not hold.
Variant Mem(const TClipperMemVarList& list, const QString& name)
{
    return list.IndexOf(name) >= 0 ? list.GetValue(name) : Variant::Null();
}

// A target table of the data folder, kept from other cursors meanwhile.
class Target : public Cursor {
public:
    explicit Target(const QString& name) : Cursor(name) { Open(true); }
};

TPaySheetImporter& PaySheetImporter()
{
    static TPaySheetImporter importer;
    return importer;
}

// A column variable, by the pay-sheet reader's rule: "GRAF" and a number
// above 0 in the name's characters 5 and 6.
bool HasPaySheetColumn(const TClipperMemVarList& ras)
{
    for (int i = 0; i < ras.Count(); ++i) {
        const QString& name = ras.Items(i).Name;
        if (name.startsWith(QStringLiteral("GRAF"), Qt::CaseInsensitive) && name.mid(4, 2).toInt() > 0)
            return true;
    }
    return false;
}

// The whole memory file, or false (and nothing of it) for one that does not
// read: half a file is no file.
bool LoadWholeMemFile(const QString& path, TClipperMemVarList& list)
{
    try {
        LoadClipperMemFile(path, list);
    } catch (const EAbort&) {
        throw;
    } catch (const Exception&) {
        list.Clear();
        return false;
    }
    return true;
}

// An old month's results: "NC" + YYYYMM; the month's first day.
bool ResultFileMonth(const QString& path, TDateTime& first)
{
    const QString base = QFileInfo(path).completeBaseName();
    bool ok = base.size() == 8;
    const int year = ok ? base.mid(2, 4).toInt(&ok) : 0;
    const int month = ok ? base.mid(6, 2).toInt(&ok) : 0;
    return ok && TryEncodeDate(year, month, 1, first);
}

} // namespace

void SetPaySheetImporter(TPaySheetImporter importer) { PaySheetImporter() = std::move(importer); }

bool ReadTaxLineAsText(const TClipperMemVarList& values, int scale, int line, double& threshold, double& tax,
    double& percent, QString& error)
{
    double* out[] = {&threshold, &tax, &percent};
    for (int column = 1; column <= 3; ++column) {
        const QString name = QStringLiteral("PN_ARR%1%2").arg(scale).arg(column);
        if (values.IndexOf(name) < 0) {
            error = QStringLiteral("шкала №%1: в файлах QO.POD и QO.PON нет ее строк").arg(scale);
            return false;
        }
        const TClipperMemVar& v = values.Items(values.IndexOf(name));
        const QStringList items = v.VarType == 'C'
            ? v.Value.AsString().split(QRegularExpression(QStringLiteral("[\\s;]+")), Qt::SkipEmptyParts)
            : QStringList();
        bool ok = false;
        if (line >= 1 && line <= items.size())
            *out[column - 1] = items[line - 1].toDouble(&ok);
        if (!ok || !std::isfinite(*out[column - 1])) {
            error = QStringLiteral("шкала №%1, строка %2: значение в файле QO.POD не читается").arg(scale).arg(line);
            return false;
        }
    }
    return true;
}

TImportData::TImportData() : ReadTaxLine(ReadTaxLineAsText) {}

void TImportData::LoadPaths()
{
    TIniFile& ini = ProgramIni();
    PathFrom = ini.ReadString(kSection, QStringLiteral("PathFrom"), PathFrom);
    PathTo = ini.ReadString(kSection, QStringLiteral("PathTo"), PathTo);
}

void TImportData::SavePaths()
{
    TIniFile& ini = ProgramIni();
    ini.WriteString(kSection, QStringLiteral("PathFrom"), PathFrom);
    ini.WriteString(kSection, QStringLiteral("PathTo"), PathTo);
    ini.UpdateFile();
}

bool TImportData::AskStop()
{
    if (AskYesNo(QStringLiteral("Остановить процесс импорта данных?"),
            QStringLiteral("Остановка нарушит целостность данных \r\nи не позволит вести полноценную работу"), false))
        run_.RequestStop();
    return run_.Stopped();
}

QString TImportData::ErrorListToShow() const
{
    if (!listed_)
        return QString(); // the last import was refused: the list is an older one's
    const QString name = const_cast<TImportRun&>(run_).Errors().FileName(0);
    return QFileInfo(name).size() > 0 ? name : QString();
}

QString TImportData::Source(const QString& name) const { return FindFileNoCase(PathFrom, name); }

bool TImportData::LoadMem(const QString& name, TClipperMemVarList& list)
{
    const QString path = Source(name);
    if (path.isEmpty())
        return false;
    if (LoadWholeMemFile(path, list))
        return true;
    run_.Error(QStringLiteral("Файл %1 поврежден и не читается").arg(QFileInfo(path).fileName()));
    return false;
}

bool TImportData::CheckSource()
{
    const QString folder = QDir::cleanPath(PathFrom);
    if (!QFileInfo(PathFrom).isDir()) {
        ShowError(QStringLiteral("Импорт невозможен|Папка не найдена: ") + EscapeBars(PathFrom));
        return false;
    }
    const QString notChanged = QStringLiteral("\r\nИмпорт не выполнен, данные программы не изменены.");
    QStringList missing;
    const QString cfg = Source(QStringLiteral("QO.CFG"));
    if (cfg.isEmpty())
        missing << QStringLiteral("нет файла настроек QO.CFG");
    if (Source(QStringLiteral("SR.DBF")).isEmpty())
        missing << QStringLiteral("нет справочника работников SR.DBF");
    if (!missing.isEmpty()) {
        ShowError(QStringLiteral("В папке нет данных программы QO (DOS)|") + EscapeBars(folder) + QStringLiteral("\r\n")
            + EscapeBars(missing.join(QStringLiteral("\r\n"))) + notChanged);
        return false;
    }
    // Every table the stages read is opened now: a damaged header (a record
    // count the file's size belies) stops the import before anything is
    // replaced, rather than the stage that meets it dropping its rows.
    QStringList damaged;
    QString first;
    if (TClipperMemVarList values; !LoadWholeMemFile(cfg, values)) {
        first = QFileInfo(cfg).fileName();
        damaged << QStringLiteral("Файл настроек %1 поврежден и не читается").arg(first);
    }
    for (const QString& path : SourceTables()) {
        try {
            TDbfFile table(path);
        } catch (const Exception& e) {
            if (first.isEmpty())
                first = QFileInfo(path).fileName();
            damaged << e.Message();
        }
    }
    if (damaged.isEmpty())
        return true;
    ShowError(QStringLiteral("Поврежден файл ") + first + QLatin1Char('|') + EscapeBars(folder) + QStringLiteral("\r\n")
        + EscapeBars(damaged.join(QStringLiteral("\r\n"))) + notChanged);
    return false;
}

QStringList TImportData::SourceTables() const
{
    QStringList tables;
    for (const char* name : {"SPP.DBF", "DOPLAT.DBF", "SR.DBF", "SRDP.DBF", "VVODP.DBF", "VVOD.DBF", "NACH.DBF"})
        if (const QString path = Source(QLatin1String(name)); !path.isEmpty())
            tables << path;
    for (const QString& path : FindFilesNoCase(PathFrom, QStringLiteral("NC*.DBF")))
        if (TDateTime month = 0; ResultFileMonth(path, month))
            tables << path;
    return tables;
}

bool TImportData::AgreesToReplace()
{
    int64_t employees = 0;
    try {
        employees = Tables::RecordCount(QStringLiteral("SR"), AppContext().DataFolder());
    } catch (const Exception&) {
    }
    if (employees == 0)
        return true;
    return AskYesNo(QStringLiteral("Заменить данные программы данными QO (DOS)?"),
        QStringLiteral("В программе есть работники: %1.\r\nИмпорт заменит все данные программы: справочники, "
                       "работников, входные данные, результаты расчетов, налоги, календари и расчетные ведомости.\r\n"
                       "Прежде сохраните архив данных: после импорта вернуть их можно только восстановлением из "
                       "архива.")
            .arg(employees),
        false);
}

bool TImportData::Execute()
{
    if (running_)
        return false;
    listed_ = false;
    RequireOperation(3);
    if (PathFrom.trimmed().isEmpty() || PathTo.trimmed().isEmpty()) {
        ShowError(QStringLiteral("Не определены пути"));
        return false;
    }
    // The tables filled are always the open data folder's: no other target.
    const QString data = AppContext().DataFolder();
    if (QDir(PathTo).canonicalPath() != QDir(data).canonicalPath()) {
        ShowError(QStringLiteral("Импорт возможен только в каталог открытых данных|") + data);
        return false;
    }
    // A wrong folder must not cost the data base a single row.
    if (!CheckSource() || !AgreesToReplace())
        return false;
    if (!LockDataBaseExclusive()) {
        ShowError(QStringLiteral("Импорт невозможен: с данными работают другие пользователи|") + LockDataBaseError());
        return false;
    }
    const TRunOperation operation(QStringLiteral("Импорт данных QO (DOS)"), DataUnchangedState());
    running_ = true;
    completed_ = false;
    run_.ResetStop();
    run_.Counters().Clear();
    run_.Errors().SetFolder(ErrorFolder.isEmpty() ? ProgramFolder() : ErrorFolder);
    TDataSetList closed;
    // The stages fill a copy of the data base beside it, which takes the
    // place of the tables and the data INI in one swap at the end (finished
    // by the next start when the program is killed in it); anything before
    // leaves the data base as it was.
    struct Finally {
        TImportData& self;
        TDataSetList& closed;
        const QString& data;
        const Tcfg settings;
        bool swapped = false;
        ~Finally()
        {
            DbSession::SetDataFolder(data);
            if (!swapped) {
                DiscardRestoreStaging(data);
                AppContext().Cfg = settings;
            }
            self.run_.BeginStage(QStringLiteral("Обновление данных..."));
            try {
                OpenDataBases(&closed);
            } catch (const Exception& e) {
                ShowError(e.Message());
            }
            try {
                self.run_.Errors().Free();
            } catch (const Exception& e) {
                ShowError(e.Message());
            }
            if (DM() != nullptr) {
                try {
                    ReloadAllLists();
                } catch (const Exception& e) {
                    ShowError(e.Message());
                }
            }
            if (swapped && !self.run_.Stopped())
                AppContext().Cfg.CalcCompare = true;
            try {
                SaveSettings();
            } catch (const Exception& e) {
                ShowError(e.Message());
            }
            LockDataBaseShared();
            self.running_ = false;
        }
    };
    {
        Finally finally{*this, closed, data, AppContext().Cfg};
        CloseDataBases(&closed);
        run_.Errors().New();
        listed_ = true;
        const QString stage = StageDataBase(data);
        DbSession::SetDataFolder(stage);
        Stages();
        DbSession::SetDataFolder(data);
        // The settings the stages changed go with the tables.
        {
            TIniFile staged(stage + QFileInfo(DataIni().FileName()).fileName());
            Tcfg loaded = AppContext().CfgLoaded;
            SaveDataConfiguration(staged, AppContext().Cfg, loaded);
        }
        SwapInRestoredFiles(data, {});
        finally.swapped = true;
        DataIni().Reread();
        if (IniSavingEnabled) // else the staged INI was not written and memory holds the settings
            LoadDataConfiguration();
    }
    completed_ = !run_.Stopped();
    if (completed_)
        SavePaths();
    // The list first: "the end" is not said over errors nobody has seen.
    const QString errors = ErrorListToShow();
    if (!errors.isEmpty() && ShowErrorList)
        ShowErrorList(errors);
    const int count = run_.Errors().ErrorCount();
    AppMessageBox((completed_ ? QStringLiteral("Импорт закончен") : QStringLiteral("Импорт прерван !"))
            + (count > 0 ? QStringLiteral("\r\nОшибок: %1, их список в файле ").arg(count) + errors : QString()),
        QStringLiteral("Импорт данных"));
    return completed_;
}

QString TImportData::StageDataBase(const QString& data)
{
    const QString stage = RestoreStagingFolder(data);
    DiscardRestoreStaging(data);
    if (!EnsureDirectory(stage))
        throw EFCreateError(QStringLiteral("Не могу создать папку ") + stage);
    for (int i = 0; i < TableCount; ++i) {
        const QString name = TableStructures()[i].Name();
        if (!Tables::Exists(name, data))
            continue;
        const QString file = Tables::FilePath(name, data);
        CopyOneFile(file, stage + QFileInfo(file).fileName());
    }
    const QString ini = DataIni().FileName();
    if (QFileInfo::exists(ini))
        CopyOneFile(ini, stage + QFileInfo(ini).fileName());
    return stage;
}

void TImportData::Stages()
{
    ConfigStage();
    run_.BeginStage(QStringLiteral("Открывается база"));
    // A stage that fails is listed and leaves its tables as they were.
    const auto guarded = [this](const QString& name, const std::function<void()>& stage) {
        try {
            stage();
        } catch (const EAbort&) {
            throw;
        } catch (const Exception& e) {
            run_.Error(name + QStringLiteral("\r\n") + e.Message());
        }
    };
    guarded(QStringLiteral("Справочник подразделений"), [this] { DepartmentsStage(); });
    guarded(QStringLiteral("Вычеты"), [this] { DeductionsStage(); });
    guarded(QStringLiteral("Подоходный налог"), [this] { IncomeTaxStage(); });
    if (run_.Stopped())
        return;
    guarded(QStringLiteral("Справочник доплат и удержаний"), [this] { KindsStage(); });
    guarded(QStringLiteral("Формулы пользователя"), [this] { UserFormulasStage(); });
    guarded(QStringLiteral("Справочник работников"), [this] { CardsStage(); });
    if (run_.Stopped())
        return;
    guarded(QStringLiteral("Архив входных данных"),
        [this] { InputStage(QStringLiteral("VVODP.DBF"), QStringLiteral("VVARC"), true); });
    if (run_.Stopped())
        return;
    guarded(QStringLiteral("Входные данные"),
        [this] { InputStage(QStringLiteral("VVOD.DBF"), QStringLiteral("VVOD"), false); });
    if (run_.Stopped())
        return;
    guarded(QStringLiteral("Данные расчетов"), [this] { ResultsStage(); });
    if (run_.Stopped())
        return;
    guarded(QStringLiteral("Календари"), [this] { CalendarsStage(); });
    if (run_.Stopped())
        return;
    guarded(QStringLiteral("Расчетные ведомости"), [this] { PaySheetStage(); });
}

void TImportData::ConfigStage()
{
    run_.BeginStage(QStringLiteral("Конфигурация"));
    config_.Clear();
    LoadMem(QStringLiteral("QO.CFG"), config_);
    const Variant version = Mem(config_, QStringLiteral("CFG_VERSIA"));
    if (!version.IsNull() && version.AsDouble() < 5.0)
        ErrorAbort(QStringLiteral("Модификация данных версии ниже 5.0 невозможна"));
    Tcfg& cfg = AppContext().Cfg;
    const auto has = [this](const char* name) { return config_.IndexOf(QLatin1String(name)) >= 0; };
    const auto value = [this](const char* name) { return config_.GetValue(QLatin1String(name)); };
    if (has("CFG_ZSIZE"))
        cfg.DecimalPos = value("CFG_ZSIZE").AsInteger();
    const int month = has("CFG_DATE") ? value("CFG_DATE").AsInteger() : 1;
    const int year = has("CFG_YEAR") ? value("CFG_YEAR").AsInteger() : 1995;
    TDateTime first = 0;
    if (!TryEncodeDate(year, month, 1, first))
        ErrorAbort(QStringLiteral("Неверный рабочий месяц в QO.CFG: %1.%2").arg(month).arg(year));
    workdate_ = LastDayOfMonth(first);
    cfg.Workdate = workdate_;
    if (has("CFG_DKOP"))
        cfg.Kop = value("CFG_DKOP").AsString();
    if (has("CFG_DRUB"))
        cfg.Rub = value("CFG_DRUB").AsString();
    if (has("CFG_GLBUH"))
        cfg.NaimGlBuh = value("CFG_GLBUH").AsString();
    if (has("CFG_RUKOV"))
        cfg.NaimDirector = value("CFG_RUKOV").AsString();
    const std::pair<const char*, int> counters[]
        = {{"CFG_NGLB", 1}, {"CFG_NRUK", 1}, {"CFG_MAXCAL", 2}, {"CFG_MAXPN", 6}, {"CFG_AMAXPN", 4}};
    for (const auto& [name, def] : counters)
        run_.Count(QLatin1String(name), has(name) ? value(name).AsInteger() : def);
    cfg.NumFullYears = has("CFG_NYEARS") ? value("CFG_NYEARS").AsInteger() : 9;
    if (has("CFG_POVR"))
        cfg.AutoCalc = value("CFG_POVR").AsBoolean();
    if (has("CFG_ROUND"))
        cfg.Round = value("CFG_ROUND").AsBoolean();
    if (has("CFG_ROUNDB"))
        cfg.RoundB = value("CFG_ROUNDB").AsBoolean();
    if (has("CFG_ROUNDS"))
        cfg.RoundS = value("CFG_ROUNDS").AsDouble();
    cfg.NumYears = 20;
    Tcfg defaults;
    SetCfgDefaults(defaults);
    cfg.Password = defaults.Password;
    cfg.PassCheck = false;
}

void TImportData::DepartmentsStage()
{
    run_.BeginStage(QStringLiteral("Справочник подразделений"));
    const QString path = Source(QStringLiteral("SPP.DBF"));
    if (path.isEmpty())
        return run_.Error(QStringLiteral("Не найден файл SPP.DBF"));
    TDbfFile source(path);
    Target sp(QStringLiteral("SP"));
    Transaction tx({&sp});
    sp.EmptyTable();
    int count = 0;
    while (!run_.Stopped() && source.Next()) {
        run_.Step(++count, source.RecordCount());
        try {
            const int code = source.Integer(QStringLiteral("CODP"));
            if (code == 0)
                continue;
            const QString full = source.Text(QStringLiteral("NAIMPOLN")).trimmed();
            const QString brief = source.Text(QStringLiteral("NAIM")).trimmed();
            const QString name = (full.isEmpty() ? brief : full + QLatin1Char('|') + brief).left(80);
            AppendImportRow(sp, run_, QStringLiteral("SP"), [&] {
                SetField(sp, "NUM", code);
                SetField(sp, "SNUM", code);
                SetField(sp, "NUMPDP", 0);
                SetField(sp, "NUMUP", 0);
                SetField(sp, "DELETED", false);
                SetField(sp, "USER", 0);
                SetField(sp, "NAIM", name);
            });
        } catch (const Exception& e) {
            ImportRowFailed(sp, e, run_, QStringLiteral("SP"));
        }
    }
    const int enterprise = AddEnterpriseRecord(sp);
    for (sp.First(); !sp.Eof(); sp.Next()) {
        if (sp.FieldByName(QStringLiteral("NUMPDP")).AsInteger() >= 0
            && sp.FieldByName(QStringLiteral("NUM")).AsInteger() != enterprise) {
            sp.Edit();
            SetField(sp, "NUMPDP", enterprise);
            sp.Post();
        }
    }
    tx.Commit();
}

void TImportData::DeductionsStage()
{
    run_.BeginStage(QStringLiteral("Вычеты"));
    deductions_.Clear();
    LoadMem(QStringLiteral("QO.VCH"), deductions_);
}

void TImportData::IncomeTaxStage()
{
    run_.BeginStage(QStringLiteral("Подоходный налог"));
    TClipperMemVarList tax;
    LoadMem(QStringLiteral("QO.PON"), tax);
    LoadMem(QStringLiteral("QO.POD"), tax);
    const Variant pnStr = Mem(tax, QStringLiteral("PX_PNSTR"));
    if (!pnStr.IsNull()) {
        run_.Counters().SetValue(QStringLiteral("PX_PNSTR"), pnStr);
        deductions_.SetValue(QStringLiteral("UD_VYCH200"), pnStr);
    }
    const Variant pnInt = Mem(tax, QStringLiteral("PX_PNINT"));
    if (!pnInt.IsNull())
        AppContext().Cfg.PNInt = pnInt.AsBoolean();

    const int scales = run_.Counter(QStringLiteral("CFG_AMAXPN"));
    const int lines = run_.Counter(QStringLiteral("CFG_MAXPN"));
    int year = 0, month = 0, day = 0;
    DecodeDate(workdate_, year, month, day);
    const auto monthStart = [&](const char* name, int def) {
        const Variant v = Mem(tax, QLatin1String(name));
        return EncodeDate(year, std::clamp(v.IsNull() ? def : v.AsInteger(), 1, 12), 1);
    };
    const auto number = [&](const char* name) {
        const Variant v = Mem(tax, QLatin1String(name));
        return v.IsNull() ? Variant(0) : v;
    };
    Target pnt(QStringLiteral("PNT")), pn(QStringLiteral("PN")), pnl(QStringLiteral("PNL"));
    Transaction tx({&pnt, &pn, &pnl});
    // All three, or a second import collides on the old rows' keys.
    pnt.EmptyTable();
    pn.EmptyTable();
    pnl.EmptyTable();
    for (int n = 1; n <= scales && !run_.Stopped(); ++n) {
        run_.Step(n, scales);
        AppendImportRow(pnt, run_, QStringLiteral("PNT"), [&] {
            SetField(pnt, "TIP", n);
            SetField(pnt, "NAIM", QStringLiteral("Таблица №%1").arg(n));
            SetField(pnt, "USER", 0);
        });
        AppendImportRow(pn, run_, QStringLiteral("PN"), [&] {
            SetField(pn, "NUM", n);
            SetField(pn, "TIP", n);
            SetField(pn, "DATEBEG", Variant::FromDate(0));
            const Variant fyear = Mem(tax, QStringLiteral("PN_ARRP%1").arg(n));
            SetField(pn, "FYEAR", !fyear.IsNull() && fyear.AsBoolean());
            SetField(pn, "YEARBEG", Variant::FromDate(monthStart("PX_BEGIN", 1)));
            SetField(pn, "YEAREND", Variant::FromDate(monthStart("PX_END", 12)));
            SetField(pn, "METOD", number("PX_METOD"));
            SetField(pn, "KMINZP", number("PX_KMINZP"));
            SetField(pn, "SUMMINZP", number("PX_MINZP"));
            SetField(pn, "SUM", number("PX_PNSUM"));
            SetField(pn, "CURSVALUT", number("PX_CURSV"));
            SetField(pn, "USER", 0);
        });
        for (int k = 1; k <= lines; ++k) {
            double threshold = 0, taxSum = 0, percent = 0;
            QString error;
            if (!ReadTaxLine(tax, n, k, threshold, taxSum, percent, error)) {
                run_.Error(ImportHeading(QStringLiteral("PNL")) + QStringLiteral("\r\n") + error);
                break;
            }
            if (threshold > 999998)
                break;
            AppendImportRow(pnl, run_, QStringLiteral("PNL"), [&] {
                SetField(pnl, "NUM", n);
                SetField(pnl, "SUM", threshold);
                SetField(pnl, "SUMNAL", taxSum);
                SetField(pnl, "PROC", percent);
                SetField(pnl, "USER", 0);
            });
        }
    }
    tx.Commit();
}

void TImportData::KindsStage()
{
    run_.BeginStage(QStringLiteral("Справочник доплат и удержаний"));
    const QString path = Source(QStringLiteral("DOPLAT.DBF"));
    if (path.isEmpty())
        return run_.Error(QStringLiteral("Не найден файл DOPLAT.DBF"));
    TDbfFile source(path);
    Target dp(QStringLiteral("DP")), dpt(QStringLiteral("DPT")), dph(QStringLiteral("DPH"));
    Transaction tx({&dp, &dpt, &dph});
    dp.EmptyTable();
    dpt.EmptyTable();
    dph.EmptyTable();
    prof_.Clear();
    ImportKinds(source, dp, dpt, deductions_, prof_, run_, DebugStopEnabled());
    tx.Commit();
}

void TImportData::UserFormulasStage()
{
    run_.BeginStage(QStringLiteral("Формулы пользователя"));
    TClipperMemVarList formulas;
    LoadMem(QStringLiteral("QO.FML"), formulas);
    Target bin(QStringLiteral("Bin"));
    Transaction tx({&bin});
    bin.SetIndexName(QStringLiteral("INFO"));
    bin.SetRange({2}, {2});
    while (!bin.IsEmpty())
        bin.Delete();
    bin.CancelRange();
    for (int i = 0; i < formulas.Count() && !run_.Stopped(); ++i) {
        run_.Step(i + 1, formulas.Count());
        const TClipperMemVar& v = formulas.Items(i);
        if (!v.Name.startsWith(QStringLiteral("_FORMUL")))
            continue;
        bool ok = false;
        const int number = v.Name.mid(7).toInt(&ok);
        if (!ok || number <= 0)
            continue;
        if (v.VarType != 'C') {
            run_.Error(QStringLiteral("Ошибка в значении формулы пользователя формулы №%1").arg(number));
            continue;
        }
        // A blank formula is no formula, as when a clerk saves one.
        if (v.Value.AsString().trimmed().isEmpty())
            continue;
        try {
            QByteArray blob;
            WriteTextBlob(blob, v.Value.AsString());
            bin.Append();
            SetField(bin, "CLASS", 2);
            SetField(bin, "VID", number);
            SetField(bin, "TIP", 0);
            SetField(bin, "SUBTIP", 0);
            bin.FieldByName(QStringLiteral("INFO")).SetBlob(blob);
            SetField(bin, "USER", 0);
            bin.Post();
        } catch (const Exception&) {
            try {
                bin.Cancel();
            } catch (const Exception&) {
            }
            run_.Error(QStringLiteral("Ошибка при импорте формулы пользователя №%1").arg(number));
        }
    }
    tx.Commit();
}

void TImportData::CardsStage()
{
    run_.BeginStage(QStringLiteral("Справочник работников"));
    AppContext().Cfg.CalcCompare = true;
    const QString path = Source(QStringLiteral("SR.DBF"));
    if (path.isEmpty())
        return run_.Error(QStringLiteral("Не найден файл SR.DBF"));
    TDbfFile source(path);
    Target sr(QStringLiteral("SR")), srd(QStringLiteral("SRD")), srh(QStringLiteral("SRH"));
    Transaction tx({&sr, &srd, &srh});
    sr.EmptyTable();
    srd.EmptyTable();
    srh.EmptyTable();
    ImportCards(source, sr, srd, prof_, workdate_, run_);
    if (!run_.Stopped()) {
        run_.BeginStage(QStringLiteral("Справочник постоянных доплат"));
        const QString further = Source(QStringLiteral("SRDP.DBF"));
        if (further.isEmpty()) {
            run_.Error(QStringLiteral("Не найден файл SRDP.DBF"));
        } else {
            TDbfFile accruals(further);
            ImportFurtherAccruals(accruals, sr, srd, run_);
        }
    }
    tx.Commit();
}

void TImportData::InputStage(const QString& fileName, const QString& table, bool archive)
{
    run_.BeginStage(QStringLiteral("Входные данные: ") + QFileInfo(fileName).completeBaseName());
    const QString path = Source(fileName);
    if (path.isEmpty())
        return run_.Error(QStringLiteral("Не найден файл ") + fileName);
    TDbfFile source(path);
    Target target(table);
    Transaction tx({&target});
    target.EmptyTable();
    const TDateTime date = archive ? LastDayOfMonth(IncMonth(FirstDayOfMonth(workdate_), -1)) : workdate_;
    const QString counter = archive ? QStringLiteral("VVArc") : QStringLiteral("VV");
    EmployeeRows(source, target, QStringLiteral("TABEL"), counter, [&](int tabNum) {
        const int dopNum = source.Integer(QStringLiteral("KDOP"));
        const double time = source.Number(QStringLiteral("TAB"));
        const double sum = source.Number(QStringLiteral("SUMM"));
        AppendImportRow(target, run_, counter, [&] {
            SetField(target, "TABNUM", tabNum);
            SetField(target, "DOPNUM", dopNum);
            SetField(target, "DTIME", time);
            SetField(target, "SUM", sum);
            SetField(target, "DATEVV", Variant::FromDate(date));
            SetField(target, "DATEBEG", Variant::FromDate(date));
            SetField(target, "USER", 0);
        });
    });
    tx.Commit();
}

void TImportData::EmployeeRows(TDbfFile& source, Cursor& target, const QString& tabField, const QString& counter,
    const std::function<void(int tabNum)>& row)
{
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    int count = 0;
    while (!run_.Stopped() && source.Next()) {
        run_.Step(++count, source.RecordCount());
        try {
            int tabNum = 0;
            if (!FindImportedEmployee(sr, source.Integer(QStringLiteral("COD")), source.Integer(tabField), tabNum)) {
                run_.Count(counter + QStringLiteral("_NotFound"));
                continue;
            }
            row(tabNum);
        } catch (const Exception& e) {
            ImportRowFailed(target, e, run_, counter);
        }
    }
}

void TImportData::ResultsStage()
{
    const QString nach = Source(QStringLiteral("NACH.DBF"));
    if (nach.isEmpty())
        run_.Error(QStringLiteral("Не найден файл NACH.DBF"));
    else
        ResultFile(nach, QStringLiteral("NC"), FirstDayOfMonth(workdate_));
    if (run_.Stopped())
        return;
    Target ncarc(QStringLiteral("NCARC"));
    Transaction tx({&ncarc});
    ncarc.EmptyTable();
    ncarc.Close();
    for (const QString& path : FindFilesNoCase(PathFrom, QStringLiteral("NC*.DBF"))) {
        if (run_.Stopped())
            break;
        TDateTime first = 0;
        if (!ResultFileMonth(path, first)) {
            ShowError(QStringLiteral("Неопознанный файл начислений:|") + QFileInfo(path).fileName());
            continue;
        }
        try {
            ResultFile(path, QStringLiteral("NCARC"), first);
        } catch (const EAbort&) {
            throw;
        } catch (const Exception& e) {
            run_.Error(QFileInfo(path).fileName() + QStringLiteral("\r\n") + e.Message());
        }
    }
    tx.Commit();
}

void TImportData::ResultFile(const QString& path, const QString& table, TDateTime month)
{
    const QString base = QFileInfo(path).completeBaseName();
    run_.BeginStage(QStringLiteral("Данные расчетов: ") + QFileInfo(path).fileName());
    TDbfFile source(path);
    Target target(table);
    std::unique_ptr<Transaction> own;
    if (table == QStringLiteral("NC")) {
        own = std::make_unique<Transaction>(std::initializer_list<Cursor*>{&target});
        target.EmptyTable();
    }
    EmployeeRows(source, target, QStringLiteral("TABH"), base, [&](int tabNum) {
        const int old = source.Integer(QStringLiteral("KODDOP"));
        int dopNum = old;
        if (old >= 992 && old <= 999)
            dopNum = 2147483639 + (old - 992);
        else if (old >= 900)
            run_.Count(base);
        const double time = source.Number(QStringLiteral("KOLI"));
        const double sum = source.Number(QStringLiteral("SUMN"));
        AppendImportRow(target, run_, base, [&] {
            SetField(target, "TABNUM", tabNum);
            SetField(target, "DOPNUM", dopNum);
            SetField(target, "UDER", old >= 200 && old <= 899);
            SetField(target, "SUM", sum);
            SetField(target, "DTIME", time);
            SetField(target, "DATERAS", Variant::FromDate(month));
            SetField(target, "DATEBEG", Variant::FromDate(month));
        });
    });
    if (own)
        own->Commit();
}

void TImportData::CalendarsStage()
{
    run_.BeginStage(QStringLiteral("Календари"));
    const QStringList files = FindFilesNoCase(PathFrom, QStringLiteral("qo.ca*"));
    if (files.isEmpty())
        return;
    // A damaged file is named; the stored calendars then stay.
    for (const QString& file : files)
        if (TClipperMemVarList values; !LoadWholeMemFile(file, values)) {
            run_.Error(QStringLiteral("Календари\r\nФайл %1 поврежден и не читается").arg(QFileInfo(file).fileName()));
            return;
        }
    if (T_CalendarList* list = CalendarList()) {
        list->ImportOldCalendars(PathFrom, workdate_);
    } else {
        T_CalendarList own;
        own.ImportOldCalendars(PathFrom, workdate_);
    }
}

void TImportData::PaySheetStage()
{
    run_.BeginStage(QStringLiteral("Расчетные ведомости"));
    TClipperMemVarList ras;
    // Without QO.RAS or a column in it the stored pay sheets stay: nothing
    // would replace them.
    if (!LoadMem(QStringLiteral("QO.RAS"), ras))
        return;
    if (!HasPaySheetColumn(ras) || !PaySheetImporter())
        return run_.Error(QStringLiteral("Расчетные ведомости\r\nВ файле QO.RAS нет столбцов расчетной ведомости"));
    PaySheetImporter()(ras, [this](const QString& line) { run_.Error(line); });
}

bool TImportData::LocalImport()
{
    if (running_)
        return false;
    RequireOperation(3);
    // No folder is no folder: never the working directory's QO.RAS.
    if (PathFrom.trimmed().isEmpty()) {
        ShowError(QStringLiteral("Не определены пути"));
        return false;
    }
    const QString path = QFileInfo(PathFrom).isDir() ? Source(QStringLiteral("QO.RAS")) : QString();
    if (path.isEmpty()) {
        ShowError(QStringLiteral("Не найден ") + QDir(PathFrom).filePath(QStringLiteral("QO.RAS")));
        return false;
    }
    TClipperMemVarList ras;
    if (!LoadWholeMemFile(path, ras)) {
        ShowError(QStringLiteral("Файл поврежден и не читается|") + EscapeBars(path));
        return false;
    }
    if (!HasPaySheetColumn(ras) || !PaySheetImporter()) {
        ShowError(QStringLiteral("Нет столбцов расчетной ведомости|") + path);
        return false;
    }
    if (!AskYesNo(QStringLiteral("Заменить расчетные ведомости?"),
            QStringLiteral("Все сохраненные расчетные ведомости будут заменены ведомостью из QO.RAS"), false))
        return false;
    QStringList errors;
    const bool written = PaySheetImporter()(ras, [&](const QString& line) { errors << line; });
    if (!errors.isEmpty())
        ShowError(QStringLiteral("Ошибки импорта расчетной ведомости|") + errors.join(QStringLiteral("\r\n")));
    if (written)
        AppMessageBox(QStringLiteral("Импорт закончен"), QStringLiteral("Импорт данных"));
    return written;
}
