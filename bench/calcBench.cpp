// The pay calculation of a whole enterprise against the floor: 10,000
// employees in 50 departments, each with a salary (the full norm, AutoCalc),
// five input accruals (one a user formula with an IF block), three
// deductions and income tax on last month's totals, calculated and saved.
// The floor does the same row reads and writes with hand-written SQLite
// statements: one transaction per department, prepared statements reused.
// Prints the time per 1,000 employees, the total, the floor and their ratio
// (target: at most 2.0), the peak resident size of the calculation, and a
// checksum of every stored result row, checked against the figure today's
// calculation gives (a faster calculation must not change one byte).
// "--employees=N" runs another size (1,000 and 50,000 have figures too);
// with --benchmark_repetitions=N the best of the runs is taken.

#include "calc/CalcContext.h"
#include "calc/PN.h"
#include "calc/TabnCalc.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/Calendar.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Startup.h"
#include "data/TabnDops.h"
#include "data/UserFormulas.h"
#include "db/Cursor.h"
#include "db/Sqlite.h"
#include "db/Transaction.h"
#include "foundation/IniPersist.h"
#include "foundation/Progress.h"
#include "platform/ProgramFolder.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QMap>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kDepartments = 50;
int g_perDepartment = 200;
int g_employees = kDepartments * 200;

// The checksum of the stored results by size, as the calculation gave them
// before it was made faster.
const std::vector<GoldenChecksum> kGolden
    = {{1000, 0x5b97ef88769b9cedULL}, {10000, 0xf2c512825dd44aa5ULL}, {50000, 0xc50854ebf71e5299ULL}};

const TDateTime kFeb2024 = EncodeDate(2024, 2, 29);
const TDateTime kMar2024 = EncodeDate(2024, 3, 1);

// The clerk's kinds: five input accruals, three automatic deductions.
constexpr qint32 kPremium = 501; // sum entered
constexpr qint32 kPercentOfSalary = 502; // percent of the salary
constexpr qint32 kHours = 503; // hours at the hourly rate
constexpr qint32 kByNorm = 504; // sum scaled by the time worked
constexpr qint32 kFormula = 505; // user formula with an IF block
constexpr qint32 kUnion = 601; // 1% of the accruals
constexpr qint32 kFixed = 602; // a fixed 300
constexpr qint32 kAlimony = 603; // 2% of accruals less deductions

QString S(const char* text) { return QString::fromUtf8(text); }

QTemporaryDir* g_program = nullptr;
QList<QList<qint32>> g_groups;
std::vector<int> g_resultRows; // rows each employee's calculation writes

void AddKind(qint32 dopNum, const char* naim, bool uder, qint32 formula, double sum, qint32 stadia)
{
    T_Dop dop(DNList());
    dop.New = true;
    dop.DopNum = dopNum;
    dop.Naim = S(naim);
    dop.Uder = uder;
    dop.Formula = formula;
    dop.Sum = sum;
    dop.StadiaF = stadia;
    dop.StadiaD = -1;
    dop.Save();
}

void MakeDirectory()
{
    DNList()->GenerateConstDops();
    const qint32 tax = DNList()->FindDopByTip(dtPodoh)->DopNum;
    // The tax on everything accrued before it.
    SetRecordValuesByKey(DM()->DP, {Variant(tax)}, {S("TABL")}, {Variant(0)});
    AddKind(kPremium, "Премия", false, 1, 0, 100);
    AddKind(kPercentOfSalary, "Надбавка", false, 132, 0, 100);
    AddKind(kHours, "Сверхурочные", false, 65, 0, 100);
    AddKind(kByNorm, "Доплата", false, 2, 0, 100);
    AddKind(kFormula, "Классность", false, cmUserFormula, 0, 110);
    AddKind(kUnion, "Профвзнос", true, 129, 1, 150);
    AddKind(kFixed, "Страховка", true, 1, 300, 150);
    AddKind(kAlimony, "Алименты", true, 131, 2, 160);
    DNList()->SetLoaded(false);
    UserFormulaList()->SetText(
        kFormula, S("IF TF > TK / 2\nK := 0.15\nELSEIF TF > 0\nK := 0.05\nELSE\nK := 0\nENDIF\nRESULT := ST * TF * K"));

    T_CalendarList* calendars = CalendarList();
    T_CalendarTip* tip = calendars->AddTip(ckMonthly);
    tip->Number = 0;
    tip->AddTable(EncodeDate(2024, 1, 1), EncodeDate(2024, 12, 31), 0);
    tip->Save();
    calendars->SetLoaded(false);

    AppendRecordValues(DM()->PNT, 1, {S("NAIM")}, {Variant(S("Основная"))});
    const int num = AppendNumberedRecord(DM()->PN,
        {S("TIP"), S("DATEBEG"), S("CURSVALUT"), S("METOD"), S("YEARBEG"), S("YEAREND")},
        {Variant(1), Variant::FromDate(EncodeDate(2024, 1, 1)), Variant(1.0), Variant(1),
            Variant::FromDate(EncodeDate(2024, 1, 1)), Variant::FromDate(EncodeDate(2024, 12, 31))});
    AppendRecordValues(DM()->PNL, num, {S("SUM"), S("SUMNAL"), S("PROC")}, {Variant(0.0), Variant(0.0), Variant(13.0)});
    AppendRecordValues(
        DM()->PNL, num, {S("SUM"), S("SUMNAL"), S("PROC")}, {Variant(100000.0), Variant(13000.0), Variant(20.0)});
    PxList()->SetLoaded(false);
}

// Cards, their input and February's totals, written in bulk.
void MakeEmployees()
{
    Cursor sr(S("SR")), vvod(S("VVOD")), ncarc(S("NCARC"));
    for (Cursor* c : {&sr, &vvod, &ncarc})
        c->Open();
    Transaction tx({&sr, &vvod, &ncarc});
    const auto put = [](Cursor& c, const QList<std::pair<const char*, Variant>>& values) {
        c.Append();
        for (const auto& [name, value] : values)
            c.FieldByName(S(name)).SetVariant(value);
        c.Post();
    };
    const Variant mar = Variant::FromDate(kMar2024), feb = Variant::FromDate(kFeb2024);
    for (int podr = 1; podr <= kDepartments; ++podr) {
        QList<qint32> group;
        for (int i = 0; i < g_perDepartment; ++i) {
            const qint32 tabn = (podr - 1) * g_perDepartment + i + 1;
            group << tabn;
            put(sr,
                {{"TABNUM", tabn}, {"PODR", podr}, {"SNUM", tabn}, {"FIO", S("Работник %1").arg(tabn)},
                    {"OKL", 20000.0 + 10 * (tabn % 500)}, {"LGOTAPN", 1.0}, {"SPNTABL", 1}});
            const struct {
                qint32 dopNum;
                double time, sum, proc;
            } input[] = {{kPremium, 0, 1000.0 + tabn % 100, 0}, {kPercentOfSalary, 0, 0, 10},
                {kHours, 4.0 + tabn % 8, 0, 0}, {kByNorm, 0, 2500, 0}, {kFormula, 1, 0, 0}};
            for (const auto& e : input)
                put(vvod,
                    {{"TABNUM", tabn}, {"DOPNUM", e.dopNum}, {"DTIME", e.time}, {"SUM", e.sum}, {"PROC", e.proc},
                        {"DATEVV", mar}, {"DATEBEG", mar}});
            const struct {
                qint32 dopNum;
                double time, sum;
            } totals[] = {{dnPNSumOsv, 0, 0}, {dnPNDopOsv, 0, 0}, {dnPNSumAll, 1, 30000}, {dnPNSumTo, 0, 30000},
                {dnPNPay, 0, 3900}, {dnNachis, 160, 30000}, {dnUder, 160, 4500}, {dnVsego, 8.2, 0}};
            for (const auto& t : totals)
                put(ncarc,
                    {{"TABNUM", tabn}, {"DOPNUM", t.dopNum}, {"DTIME", t.time}, {"SUM", t.sum}, {"DATERAS", feb},
                        {"DATEBEG", feb}});
        }
        g_groups << group;
    }
    tx.Commit();
}

void StartProgram()
{
    g_program = new QTemporaryDir;
    OpenFreshDataBase(*g_program);
    AppContext().Cfg.Workdate = kMar2024;
    AppContext().Cfg.AutoCalc = true;
    MakeDirectory();
    MakeEmployees();
}

// The whole enterprise through the program's batch run.
bool RunLayer(QString& error)
{
    TCalcSources sources = CalcSources(AppContext());
    TCalcBatchOptions options;
    TSilentProgress silent;
    options.Progress = &silent;
    g_resultRows.assign(size_t(g_employees) + 1, 0);
    options.OnCalculated = [](T_rTabn& calc, bool) { g_resultRows[calc.TabNum()] = calc.NewResults().Count(); };
    TCalcBatchResult result;
    CalcTabnGroups(sources, g_groups, options, result);
    if (result.Calculated != g_employees || !result.Errors.isEmpty()) {
        error = S("%1 calculated; %2").arg(result.Calculated).arg(result.Errors.mid(0, 3).join(S(" / ")));
        return false;
    }
    return true;
}

// ---- the hand-written floor

QByteArray FilePath(const char* table) { return (AppContext().DataFolder() + S(table) + S(".DB")).toUtf8(); }

double ReadRows(sqlite3_stmt* s, int& rows)
{
    double sink = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        ++rows;
        for (int i = 0, n = sqlite3_column_count(s); i < n; ++i)
            sink += sqlite3_column_type(s, i) == SQLITE_FLOAT ? sqlite3_column_double(s, i)
                                                              : double(sqlite3_column_int64(s, i));
    }
    sqlite3_reset(s);
    return sink;
}

// The layer's reads and writes of each employee: his card, input,
// permanent accruals, stored results, last month's totals twice (the
// carried balance and the tax totals), his results replaced and the
// card's sum and date written.
int64_t RunFloor()
{
    const QString folder = AppContext().DataFolder();
    auto host = SqliteConnection::Open(QString::fromUtf8(FilePath("NC")), false);
    auto vvod = SqliteConnection::Open(QString::fromUtf8(FilePath("VVOD")), false);
    auto srd = SqliteConnection::Open(QString::fromUtf8(FilePath("SRD")), false);
    auto ncarc = SqliteConnection::Open(QString::fromUtf8(FilePath("NCARC")), false);
    host->Exec("ATTACH DATABASE '" + FilePath("SR") + "' AS sr");
    sqlite3_stmt* readCard = host->Prepare("SELECT rowid,* FROM sr.data WHERE \"TABNUM\"=?");
    sqlite3_stmt* readInput
        = vvod->Prepare("SELECT rowid,* FROM data WHERE \"TABNUM\"=? ORDER BY \"TABNUM\",\"DATEVV\",\"PRIM\"");
    sqlite3_stmt* readPermanent = srd->Prepare("SELECT rowid,* FROM data WHERE \"TABNUM\"=?");
    sqlite3_stmt* readResults
        = host->Prepare("SELECT rowid,* FROM main.data WHERE \"TABNUM\"=? ORDER BY \"TABNUM\",\"DATERAS\",\"PRIM\"");
    sqlite3_stmt* readTotals = ncarc->Prepare("SELECT rowid,* FROM data WHERE \"TABNUM\"=? AND \"DATERAS\" "
                                              "BETWEEN ? AND ? ORDER BY \"TABNUM\",\"DATERAS\",\"PRIM\"");
    sqlite3_stmt* deleteResults = host->Prepare("DELETE FROM main.data WHERE \"TABNUM\"=?");
    sqlite3_stmt* insertResult = host->Prepare("INSERT INTO main.data(\"TABNUM\",\"DOPNUM\",\"UDER\",\"DATERAS\","
                                               "\"DTIME\",\"SUM\",\"DATEBEG\") VALUES(?,?,?,?,?,?,?)");
    sqlite3_stmt* writeCard = host->Prepare("UPDATE sr.data SET \"SUM\"=?,\"DATERAS\"=? WHERE \"TABNUM\"=?");
    int64_t rows = 0;
    for (const QList<qint32>& group : g_groups) {
        host->Exec("BEGIN IMMEDIATE");
        for (qint32 tabn : group) {
            int read = 0;
            double sum = 0;
            for (sqlite3_stmt* s : {readCard, readInput, readPermanent, readResults}) {
                sqlite3_bind_int64(s, 1, tabn);
                sum += ReadRows(s, read);
            }
            for (int twice = 0; twice < 2; ++twice) {
                sqlite3_bind_int64(readTotals, 1, tabn);
                sqlite3_bind_double(readTotals, 2, EncodeDate(2024, 2, 1));
                sqlite3_bind_double(readTotals, 3, kFeb2024);
                sum += ReadRows(readTotals, read);
            }
            sqlite3_bind_int64(deleteResults, 1, tabn);
            sqlite3_step(deleteResults);
            sqlite3_reset(deleteResults);
            for (int r = 0; r < g_resultRows[tabn]; ++r) {
                sqlite3_bind_int64(insertResult, 1, tabn);
                sqlite3_bind_int64(insertResult, 2, 500 + r);
                sqlite3_bind_int64(insertResult, 3, 0);
                sqlite3_bind_double(insertResult, 4, kMar2024);
                sqlite3_bind_double(insertResult, 5, 8.0);
                sqlite3_bind_double(insertResult, 6, sum / (r + 1));
                sqlite3_bind_double(insertResult, 7, kMar2024);
                sqlite3_step(insertResult);
                sqlite3_reset(insertResult);
            }
            sqlite3_bind_double(writeCard, 1, sum);
            sqlite3_bind_double(writeCard, 2, kMar2024);
            sqlite3_bind_int64(writeCard, 3, tabn);
            sqlite3_step(writeCard);
            sqlite3_reset(writeCard);
            rows += read + g_resultRows[tabn] + 1;
        }
        host->Exec("COMMIT");
    }
    return rows;
}

// FNV-1a over every result row (NC in personnel number and row order, every
// column but the row's own number) and every card's sum and date (SR), each
// value with its storage class.
quint64 ResultChecksum()
{
    quint64 h = 14695981039346656037ULL;
    const auto mix = [&h](const void* data, size_t n) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < n; ++i) {
            h ^= p[i];
            h *= 1099511628211ULL;
        }
    };
    auto nc = SqliteConnection::Open(QString::fromUtf8(FilePath("NC")), false);
    nc->Exec("ATTACH DATABASE '" + FilePath("SR") + "' AS sr");
    for (const char* sql : {"SELECT \"TABNUM\",\"DOPNUM\",\"UDER\",\"DATERAS\",\"DTIME\",\"SUM\",\"DATEBEG\" "
                            "FROM main.data ORDER BY \"TABNUM\",rowid",
             "SELECT \"TABNUM\",\"SUM\",\"DATERAS\" FROM sr.data ORDER BY \"TABNUM\""}) {
        sqlite3_stmt* s = nc->Prepare(sql);
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int i = 0, n = sqlite3_column_count(s); i < n; ++i) {
                const int type = sqlite3_column_type(s, i);
                mix(&type, sizeof type);
                if (type == SQLITE_FLOAT) {
                    const double v = sqlite3_column_double(s, i);
                    mix(&v, sizeof v);
                } else if (type == SQLITE_INTEGER) {
                    const sqlite3_int64 v = sqlite3_column_int64(s, i);
                    mix(&v, sizeof v);
                } else if (type == SQLITE_TEXT) {
                    mix(sqlite3_column_text(s, i), size_t(sqlite3_column_bytes(s, i)));
                }
            }
        }
        sqlite3_reset(s);
    }
    return h;
}

std::vector<quint64> g_checksums; // of every run
double g_peakMb = 0; // the highest of the runs

void Enterprise_Floor(benchmark::State& state)
{
    int64_t rows = 0;
    for (auto _ : state)
        rows = RunFloor();
    state.counters["rows"] = double(rows);
}

void Enterprise_Layer(benchmark::State& state)
{
    ResetPeakResident();
    for (auto _ : state) {
        QString error;
        if (!RunLayer(error)) {
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
    }
    g_peakMb = std::max(g_peakMb, PeakResidentMb());
    g_checksums.push_back(ResultChecksum());
}

} // namespace

BENCHMARK(Enterprise_Floor)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(Enterprise_Layer)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    g_employees = TakeEmployeesOption(argc, argv, g_employees);
    g_perDepartment = std::max(1, g_employees / kDepartments);
    g_employees = g_perDepartment * kDepartments;
    QCoreApplication app(argc, argv);
    StartProgram();
    // A first run leaves every employee with stored results, as the floor
    // and the timed run then find them.
    QString error;
    if (!RunLayer(error)) {
        std::fprintf(stderr, "the calculation failed: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    BestTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double layer = reporter.real.value(S("Enterprise_Layer")), floor = reporter.real.value(S("Enterprise_Floor"));
    std::printf("\n%d employees in %d departments\n", g_employees, kDepartments);
    if (layer > 0)
        std::printf("calculation: %8.1f ms per 1,000 employees, %8.1f ms in all\n", layer * 1000 / g_employees, layer);
    if (floor > 0)
        std::printf("floor:       %8.1f ms per 1,000 employees, %8.1f ms in all\n", floor * 1000 / g_employees, floor);
    if (layer > 0 && floor > 0) {
        std::printf("ratio:       %8.2f%s\n", layer / floor, layer / floor <= 2.0 ? "" : "  (> 2.0!)");
        const double layerCpu = reporter.cpu.value(S("Enterprise_Layer")),
                     floorCpu = reporter.cpu.value(S("Enterprise_Floor"));
        if (floorCpu > 0)
            std::printf("processor time: calculation %.0f ms, floor %.0f ms, ratio %.2f\n", layerCpu, floorCpu,
                layerCpu / floorCpu);
    }
    int status = 0;
    if (layer > 0) {
        std::printf(
            "peak resident size of the calculation: %.0f MB%s\n", g_peakMb, g_peakMb < 300 ? "" : "  (>= 300 MB!)");
        status = CheckChecksums("results checksum", g_checksums, kGolden, g_employees);
    }
    benchmark::Shutdown();
    ShutDown();
    DoneCalc();
    delete g_program;
    return status;
}
