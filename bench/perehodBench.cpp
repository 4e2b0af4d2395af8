// The close of the month on a large enterprise: 10,000 calculated employees
// in 50 departments, each with two permanent accruals, three input rows,
// ten results of December 2023 and a year of archived input and results.
// Prints the time of the whole transition (target: under 10 s).

#include "archive/Perehod.h"
#include "calc/CalcContext.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/Dops.h"
#include "data/FirstStart.h"
#include "data/Globals.h"
#include "data/Podr.h"
#include "data/Startup.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "db/Tables.h"
#include "db/Transaction.h"
#include "foundation/IniPersist.h"
#include "platform/DateTime.h"
#include "platform/ProgramFolder.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kDepartments = 50;
constexpr int kPerDepartment = 200;
constexpr int kEmployees = kDepartments * kPerDepartment;
constexpr int kMonths = 12;
constexpr int kResultsPerMonth = 10;
constexpr int kInputPerMonth = 3;
constexpr qint32 kFirstKind = 500;

QString S(const char* text) { return QString::fromUtf8(text); }

QTemporaryDir* g_program = nullptr;

void Put(Cursor& c, const QList<std::pair<const char*, Variant>>& values)
{
    c.Append();
    for (const auto& [name, value] : values)
        c.FieldByName(S(name)).SetVariant(value);
    c.Post();
}

void MakeEnterprise()
{
    const TDateTime workdate = EncodeDate(2023, 12, 31);
    Cfg.Workdate = workdate;
    Cfg.NumYears = 2;
    AddBuiltInKinds();
    Cursor sp(S("SP")), dp(S("DP")), sr(S("SR")), srd(S("SRD")), vvod(S("VVOD")), vvarc(S("VVARC")), nc(S("NC")),
        ncarc(S("NCARC"));
    for (Cursor* c : {&sp, &dp, &sr, &srd, &vvod, &vvarc, &nc, &ncarc})
        c->Open();
    Transaction tx({&sp, &dp, &sr, &srd, &vvod, &vvarc, &nc, &ncarc});
    for (int k = 0; k < kResultsPerMonth; ++k)
        Put(dp, {{"DOPNUM", kFirstKind + k}, {"NAIM", S("Начисление %1").arg(k)}, {"STADIAF", 10}, {"SNUM", k}});
    Variant monthEnds[kMonths];
    for (int m = 0; m < kMonths; ++m)
        monthEnds[m] = Variant::FromDate(m < kMonths - 1 ? EncodeDate(2023, m + 2, 1) - 1 : workdate);
    const Variant now = Variant::FromDate(workdate);
    const Variant monthBeg = Variant::FromDate(EncodeDate(2023, 12, 1));
    for (int podr = 1; podr <= kDepartments; ++podr) {
        Put(sp, {{"NUM", podr + 1}, {"NUMPDP", 1}, {"NUMUP", 1}, {"SNUM", podr}, {"NAIM", S("Цех %1").arg(podr)}});
        for (int i = 0; i < kPerDepartment; ++i) {
            const qint32 tabn = (podr - 1) * kPerDepartment + i + 1;
            Put(sr,
                {{"TABNUM", tabn}, {"PODR", podr + 1}, {"SNUM", tabn}, {"FIO", S("Работник %1").arg(tabn)},
                    {"OKL", 20000.0 + 10 * (tabn % 500)}, {"DATERAS", now}});
            for (int k = 0; k < 2; ++k)
                Put(srd, {{"TABNUM", tabn}, {"DOPNUM", kFirstKind + k}, {"SUM", 100.0 * (k + 1)}});
            for (int k = 0; k < kInputPerMonth; ++k)
                Put(vvod,
                    {{"TABNUM", tabn}, {"DOPNUM", kFirstKind + 2 + k}, {"SUM", 50.0 + k}, {"DATEBEG", monthBeg},
                        {"DATEVV", now}});
            for (int k = 0; k < kResultsPerMonth; ++k)
                Put(nc,
                    {{"TABNUM", tabn}, {"DOPNUM", k == 0 ? dnVsego : kFirstKind + k},
                        {"SUM", 1000.0 + tabn % 700 + k * 13.5}, {"DATEBEG", now}, {"DATERAS", now}});
            for (int m = 0; m < kMonths - 1; ++m) {
                for (int k = 0; k < kResultsPerMonth; ++k)
                    Put(ncarc,
                        {{"TABNUM", tabn}, {"DOPNUM", kFirstKind + k}, {"SUM", 1000.0 + k}, {"DATEBEG", monthEnds[m]},
                            {"DATERAS", monthEnds[m]}});
                for (int k = 0; k < kInputPerMonth; ++k)
                    Put(vvarc,
                        {{"TABNUM", tabn}, {"DOPNUM", kFirstKind + 2 + k}, {"SUM", 50.0}, {"DATEBEG", monthEnds[m]},
                            {"DATEVV", monthEnds[m]}});
            }
        }
    }
    tx.Commit();
    DNList()->Reload();
    PNList()->Reload();
}

void StartProgram()
{
    g_program = new QTemporaryDir;
    OpenFreshDataBase(*g_program);
    MakeEnterprise();
}

void Perehod_Enterprise(benchmark::State& state)
{
    for (auto _ : state) {
        YesMessages answers;
        ScopedMessageService scope(&answers);
        bool done = false;
        try {
            RunPerehod({}, done);
        } catch (const Exception& e) {
            answers.errors << e.Message();
        }
        if (!answers.errors.isEmpty() || Tables::RecordCount(S("NC")) != 0) {
            state.SkipWithError((S("failed: ") + answers.errors.join(S(" / "))).toStdString().c_str());
            return;
        }
    }
    state.counters["employees"] = kEmployees;
    state.counters["archived_results"] = double(Tables::RecordCount(S("NCARC")));
    state.counters["new_input"] = double(Tables::RecordCount(S("VVOD")));
}

} // namespace

// Once: the transition moves the enterprise into the next month.
BENCHMARK(Perehod_Enterprise)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    StartProgram();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ShutDown();
    DoneCalc();
    delete g_program;
    return 0;
}
