#include "CrashOperations.h"

#include "archive/ImportData.h"
#include "archive/Perehod.h"
#include "archive/SaveRest.h"
#include "calc/TabnCalc.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/FirstStart.h"
#include "data/FolderRecovery.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/TableCatalogue.h"
#include "data/TabnDops.h"
#include "data/UserFormulas.h"
#include "db/Cursor.h"
#include "db/Tables.h"
#include "foundation/IniFiles.h"
#include "foundation/Messages.h"
#include "platform/Currency.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "reports/RasVedImport.h"
#include "support/FolderDisk.h"
#include "support/OldFolder.h"

#include <QDir>

namespace {

const QString kConfiguration = QStringLiteral("Configuration");
const QString kVersion = QStringLiteral("Version");

void StoreDataVersion(int version)
{
    DataIni().WriteInteger(kConfiguration, kVersion, version);
    DataIni().UpdateFile();
}

// ---------------------------------------------------------------- departments: a numbered row

void AppendDepartment()
{
    AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM"), QStringLiteral("NUMPDP"), QStringLiteral("SNUM")},
        {Variant(QStringLiteral("Новый цех|Цех №2")), Variant(1), Variant(7)});
}

// ---------------------------------------------------------------- accrual directory: a kind with its table

void SaveNewAccrualKind()
{
    T_DopTabl table;
    table.Naim = QStringLiteral("База премии");
    for (int n : {1, 3, 5, 8})
        table.AddInteger(n);
    T_Dop dop(DNList());
    dop.New = true;
    dop.Naim = QStringLiteral("Премия квартальная|Премия кв.");
    dop.Formula = 4;
    dop.StadiaF = 150;
    dop.Sum = 25;
    dop.Tabl = -1;
    dop.TablTable = &table;
    dop.Save();
}

// ---------------------------------------------------------------- user formulas

constexpr qint32 kFormulaDop = 41;

void SetUpFormula() { UserFormulaList()->SetText(kFormulaDop, QStringLiteral("Результат := Оклад * 0.5;")); }

void ReplaceFormula()
{
    UserFormulaList()->SetText(kFormulaDop,
        QStringLiteral("Если Стаж > 5 То\r\n  Результат := Оклад * 0.75\r\nИначе\r\n  Результат := Оклад * 0.5;"));
}

// ---------------------------------------------------------------- an employee's entries

constexpr qint32 kTabn = 17;

void AddKind(qint32 num, const QString& naim, bool uder, int stadiaF)
{
    AppendRecordValues(DM()->DP, 0, {"DOPNUM", "NAIM", "UDER", "STADIAF", "SNUM"},
        {Variant(num), Variant(naim), Variant(uder), Variant(stadiaF), Variant(num)});
}

void AddInput(qint32 dopNum, double sum)
{
    AppendRecordValues(DM()->VVOD, 0, {"TABNUM", "DOPNUM", "SUM", "DATEBEG", "DATEVV"},
        {Variant(kTabn), Variant(dopNum), Variant(sum), Variant::FromDate(GetMonthBeg(Cfg.Workdate)),
            Variant::FromDate(Cfg.Workdate)});
}

void SetUpEmployee()
{
    AddKind(501, QStringLiteral("Оклад"), false, 10);
    AddKind(502, QStringLiteral("Премия"), false, 150);
    AddKind(503, QStringLiteral("Удержание"), true, 40);
    AppendRecordValues(DM()->SR, kTabn, {"FIO", "DATERAS"},
        {Variant(QStringLiteral("Иванов И. И.")), Variant::FromDate(Cfg.Workdate)});
    AddInput(501, 100);
    AddInput(502, 200);
}

void SaveEmployeeInput()
{
    T_TabnDopList input(DNList(), tdkInput);
    input.Date = Cfg.Workdate;
    input.SetTabn(kTabn);
    input.SetValues(501, 0, Currency(), 0);
    input.SetValues(502, 8, Currency::FromDouble(250.5), 0);
    input.SetValues(503, 0, Currency::FromDouble(40), 13);
    input.Save();
}

// ---------------------------------------------------------------- start-up: rebuild and creation

// POST as an older program kept it: an extra field, so the check rebuilds it.
void SetUpOldPostTable()
{
    DestroyDataModule();
    const TTableStructures& catalogue = TableStructures();
    TableDef def = catalogue[catalogue.NumberOf(QStringLiteral("POST"))].Definition();
    def.fields.insert(2, FieldDef{QStringLiteral("OLDFIELD"), FieldType::String, 10, false});
    Tables::Delete(def.name);
    Tables::Create(def);
    Cursor post(def.name);
    post.Open();
    for (int i = 1; i <= 6; ++i)
        AppendRecordValues(post, i, {"NAIM", "OLDFIELD"},
            {Variant(QStringLiteral("Должность %1").arg(i)), Variant(QStringLiteral("x%1").arg(i))});
    StoreDataVersion(ProgramDataVersion - 1);
}

// A data folder whose tables were never made.
void SetUpEmptyDataFolder()
{
    DestroyDataModule();
    const TTableStructures& catalogue = TableStructures();
    for (int i = 0; i < catalogue.Count(); ++i)
        Tables::Delete(catalogue[i].Name());
    StoreDataVersion(0);
}

void OpenTheDataBase() { OpenDataBase(); }

// ---------------------------------------------------------------- the period transition

constexpr qint32 kPodr = 2;

// Answers the first button: the warning's Ok and the question's "Да".
class FirstButton final : public IMessageService {
public:
    int Show(const MessageRequest&) override { return 1; }
    bool Input(const MessageRequest&, Variant&) override { return false; }
};

void SetUpMonth()
{
    // Stored, so the next start reads the INI's date, not a default.
    Cfg.Workdate = EncodeDate(2024, 3, 31);
    SaveSettings();
    AddBuiltInKinds();
    AddKind(501, QStringLiteral("Оклад"), false, 10);
    AppendRecordValues(
        DM()->SP, kPodr, {"NUMPDP", "NUMUP", "NAIM"}, {Variant(1), Variant(1), Variant(QStringLiteral("Цех"))});
    for (qint32 tabn = 1; tabn <= 3; ++tabn) {
        AppendRecordValues(DM()->SR, tabn, {"FIO", "PODR", "DATERAS"},
            {Variant(QStringLiteral("Работник %1").arg(tabn)), Variant(kPodr), Variant::FromDate(Cfg.Workdate)});
        AppendRecordValues(
            DM()->SRD, 0, {"TABNUM", "DOPNUM", "SUM"}, {Variant(tabn), Variant(501), Variant(100.0 * tabn)});
        AppendRecordValues(DM()->VVOD, 0, {"TABNUM", "DOPNUM", "SUM", "DATEBEG", "DATEVV"},
            {Variant(tabn), Variant(501), Variant(10.0), Variant::FromDate(GetMonthBeg(Cfg.Workdate)),
                Variant::FromDate(Cfg.Workdate)});
        AppendRecordValues(DM()->NC, 0, {"TABNUM", "DOPNUM", "SUM", "DATEBEG", "DATERAS"},
            {Variant(tabn), Variant(dnVsego), Variant(1000.0 * tabn), Variant::FromDate(Cfg.Workdate),
                Variant::FromDate(Cfg.Workdate)});
    }
}

void ClosePeriod()
{
    FirstButton answers;
    ScopedMessageService scope(&answers);
    bool done = false;
    RunPerehod({}, done);
}

// ---------------------------------------------------------------- archive restore

// A save without archiver into the program folder's "ARC/", read in place.
TSaveRestObject& ArchiveObject()
{
    TSaveRestObject& o = SaveRestObject();
    o.CopyPath = ProgramFolder() + QStringLiteral("ARC");
    o.CopyBase = true;
    o.Archivate = false;
    o.DelTmp = false;
    o.ShowBars = false;
    o.ExtraFiles = {DataIni().FileName()};
    return o;
}

// The archive holds employees and a March date; afterwards the data base
// gets more rows, loses some and moves to April, so a restore changes
// tables and INI alike.
void SetUpArchive()
{
    Cfg.Workdate = EncodeDate(2024, 3, 31);
    SaveSettings();
    for (qint32 tabn = 1; tabn <= 5; ++tabn)
        AppendRecordValues(DM()->SR, tabn, {"FIO"}, {Variant(QStringLiteral("Работник %1").arg(tabn))});
    AppendDepartment();
    QDir().mkpath(ProgramFolder() + QStringLiteral("ARC"));
    if (!ArchiveObject().Save())
        throw EAppException(QStringLiteral("the archive was not saved"));
    AppendDepartment();
    AppendRecordValues(DM()->SR, 6, {"FIO"}, {Variant(QStringLiteral("Работник 6"))});
    DM()->SR.First();
    DM()->SR.Delete();
    Cfg.Workdate = EncodeDate(2024, 4, 30);
    SaveSettings();
}

void RestoreArchive()
{
    if (!ArchiveObject().Restore())
        throw EAppException(QStringLiteral("the archive was not restored"));
}

// ---------------------------------------------------------------- archive save

void SaveArchive()
{
    // The archive folder has room for exactly one new copy beside the last
    // archive: the new copy's size is the work folder's, less what the save
    // has put into the staging folder so far.
    const QString arc = ProgramFolder() + QStringLiteral("ARC");
    FolderDisk disk(arc, [&] {
        return FolderDisk::Bytes(SaveRestObject().WorkFolderPath()) - FolderDisk::Bytes(RestoreStagingFolder(arc));
    });
    if (!ArchiveObject().Save())
        throw EAppException(QStringLiteral("the archive was not saved"));
}

// ---------------------------------------------------------------- the pay calculation of a department

constexpr qint32 kCalcPodr = 3;

void SetUpDepartment()
{
    Cfg.Workdate = EncodeDate(2024, 3, 31);
    SaveSettings();
    AddBuiltInKinds();
    AddBasicCalendar();
    // The sum entered is the amount ("Сн=См").
    AppendRecordValues(DM()->DP, 0, {"DOPNUM", "NAIM", "UDER", "STADIAF", "SNUM", "FORMULA"},
        {Variant(501), Variant(QStringLiteral("Оклад")), Variant(false), Variant(10), Variant(501), Variant(1)});
    AppendRecordValues(DM()->DP, 0, {"DOPNUM", "NAIM", "UDER", "STADIAF", "SNUM", "FORMULA"},
        {Variant(503), Variant(QStringLiteral("Удержание")), Variant(true), Variant(240), Variant(503), Variant(1)});
    AppendRecordValues(DM()->SP, kCalcPodr, {"NUMPDP", "NUMUP", "NAIM"},
        {Variant(1), Variant(1), Variant(QStringLiteral("Бухгалтерия"))});
    // An income-tax scale: 12 % of everything.
    AppendRecordValues(DM()->PNT, 1, {"NAIM"}, {Variant(QStringLiteral("Основная"))});
    AppendRecordValues(DM()->PN, 1, {"TIP", "DATEBEG", "METOD", "CURSVALUT", "YEARBEG", "YEAREND"},
        {Variant(1), Variant::FromDate(EncodeDate(2024, 1, 1)), Variant(1), Variant(1.0),
            Variant::FromDate(EncodeDate(2024, 1, 1)), Variant::FromDate(EncodeDate(2024, 12, 1))});
    for (const double from : {0.0, 1000000.0})
        AppendRecordValues(
            DM()->PNL, 1, {"SUM", "SUMNAL", "PROC"}, {Variant(from), Variant(from * 0.12), Variant(12.0)});
    for (qint32 tabn = 1; tabn <= 4; ++tabn) {
        AppendRecordValues(DM()->SR, tabn, {"FIO", "PODR", "SPNTABL"},
            {Variant(QStringLiteral("Работник %1").arg(tabn)), Variant(kCalcPodr), Variant(1)});
        for (const auto& [dopNum, sum] : {std::pair{501, 1000.0 * tabn}, std::pair{503, 10.0 * tabn}})
            AppendRecordValues(DM()->VVOD, 0, {"TABNUM", "DOPNUM", "SUM", "DATEBEG", "DATEVV"},
                {Variant(tabn), Variant(dopNum), Variant(sum), Variant::FromDate(GetMonthBeg(Cfg.Workdate)),
                    Variant::FromDate(Cfg.Workdate)});
    }
}

void CalculateDepartment()
{
    TCalcBatchResult result;
    CalcPodr(CalcSources(AppContext()), kCalcPodr, {}, result);
    if (result.Calculated != 4 || !result.Errors.isEmpty())
        throw EAppException(
            QStringLiteral("the department was not calculated: ") + result.Errors.join(QLatin1Char(' ')));
}

// ---------------------------------------------------------------- the import of the predecessor's data

QString OldFolderPath() { return ProgramFolder() + QStringLiteral("OLD/"); }

// Something of every table the import refills, so that a half import
// would show.
void SetUpImport()
{
    SetUpDepartment();
    QDir().mkpath(OldFolderPath());
    WriteOldFolder(OldFolderPath());
}

void ImportOldData()
{
    SetPaySheetImporter(ImportOldPaySheet);
    TImportData import;
    import.PathFrom = OldFolderPath();
    import.PathTo = DataFolder();
    import.ErrorFolder = ProgramFolder();
    if (!import.Execute())
        throw EAppException(QStringLiteral("the import did not end"));
}

void TwoSeparateWrites()
{
    AppendDepartment();
    AppendDepartment();
}

} // namespace

const QList<CrashOperation>& CrashOperations()
{
    static const QList<CrashOperation> operations{
        {"AppendNumberedRecord", false, nullptr, AppendDepartment},
        {"AccrualKindSave", false, nullptr, SaveNewAccrualKind},
        {"UserFormulaSave", false, SetUpFormula, ReplaceFormula},
        {"EmployeeEntriesSave", false, SetUpEmployee, SaveEmployeeInput},
        {"TableRebuildAtStartUp", true, SetUpOldPostTable, OpenTheDataBase},
        {"DataBaseCreation", true, SetUpEmptyDataFolder, OpenTheDataBase},
        {"PeriodTransition", false, SetUpMonth, ClosePeriod},
        {"Restore", false, SetUpArchive, RestoreArchive},
        {"ArchiveSave", false, SetUpArchive, SaveArchive},
        {"DepartmentCalculation", false, SetUpDepartment, CalculateDepartment},
        {"Import", false, SetUpImport, ImportOldData},
    };
    return operations;
}

const CrashOperation& CrashSelfCheckOperation()
{
    static const CrashOperation op{"TwoSeparateWrites", false, nullptr, TwoSeparateWrites};
    return op;
}

const CrashOperation* FindCrashOperation(const QString& name)
{
    for (const CrashOperation& op : CrashOperations()) {
        if (name == QLatin1String(op.name))
            return &op;
    }
    if (name == QLatin1String(CrashSelfCheckOperation().name))
        return &CrashSelfCheckOperation();
    return nullptr;
}
