// An employee's entry lists as the batch calculation uses them: reading the
// period's input of one employee, and replacing his results, per employee
// of a 1,000-employee data base with 20 input rows each. Prints the time
// per employee.

#include "data/Dops.h"
#include "data/Globals.h"
#include "data/TableCatalogue.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "db/Session.h"
#include "db/Transaction.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kEmployees = 1000;
constexpr int kRowsPerEmployee = 20;
constexpr int kKinds = 30;

QTemporaryDir* g_dir = nullptr;
T_DNList* g_dn = nullptr;

void MakeDataBase()
{
    g_dir = new QTemporaryDir;
    DbSession::SetDataFolder(g_dir->path());
    for (const char* name : {"SR", "DP", "DPT", "VVOD", "NC", "NCARC"})
        TableStructures()[TableStructures().NumberOf(QString::fromLatin1(name))].CreateTable();
    Cfg.Workdate = 45000;
    Cursor dp(QStringLiteral("DP"));
    Cursor vvod(QStringLiteral("VVOD"));
    dp.Open();
    vvod.Open();
    Transaction tx({&dp, &vvod});
    for (int k = 1; k <= kKinds; ++k) {
        dp.Append();
        dp.FieldByName(QStringLiteral("DOPNUM")).SetInteger(k);
        dp.FieldByName(QStringLiteral("NAIM")).SetString(QStringLiteral("Вид %1").arg(k));
        dp.FieldByName(QStringLiteral("UDER")).SetBoolean(k > 20);
        dp.FieldByName(QStringLiteral("STADIAF")).SetInteger(k % 7);
        dp.Post();
    }
    for (int t = 1; t <= kEmployees; ++t) {
        for (int r = 1; r <= kRowsPerEmployee; ++r) {
            vvod.Append();
            vvod.FieldByName(QStringLiteral("TABNUM")).SetInteger(t);
            vvod.FieldByName(QStringLiteral("DOPNUM")).SetInteger(r);
            vvod.FieldByName(QStringLiteral("SUM")).SetFloat(100 * r);
            vvod.FieldByName(QStringLiteral("DATEVV")).SetDateTime(45000);
            vvod.Post();
        }
    }
    tx.Commit();
    g_dn = new T_DNList;
    g_dn->EnsureLoaded();
}

void LoadInput(benchmark::State& state)
{
    for (auto _ : state) {
        for (int t = 1; t <= kEmployees; ++t) {
            T_TabnDopList input(g_dn, tdkInput);
            input.SetSortMode(4);
            input.Date = Cfg.Workdate;
            input.SetTabn(t);
            benchmark::DoNotOptimize(input.Count());
        }
    }
}

void SaveResults(benchmark::State& state)
{
    for (auto _ : state) {
        for (int t = 1; t <= kEmployees; ++t) {
            T_TabnDopList results(g_dn, tdkNewResults);
            results.Date = Cfg.Workdate;
            results.SetTabn(t);
            for (int k = 1; k <= kKinds; ++k)
                results.SetValues(k, 8, Currency::FromDouble(12.34 * k), 0);
            results.SetValues(dnVsego, 0, Currency::FromDouble(1000), 0);
            results.Save();
        }
    }
}

} // namespace

BENCHMARK(LoadInput)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(SaveResults)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    MakeDataBase();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\n(per employee: the times above divided by %d)\n", kEmployees);
    delete g_dn;
    delete g_dir;
    return 0;
}
