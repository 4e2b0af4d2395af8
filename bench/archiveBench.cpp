// Saving the data base into a folder archive and restoring it, against the
// floor: the archiver alone packing the same table files with the same
// switches. 10,000 employees in 50 departments with a year of results
// (twelve months of about ten rows each). Prints the three times and the
// ratios of the save and the restore to the floor.

#include "archive/SaveRest.h"
#include "calc/CalcContext.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/Startup.h"
#include "data/TableCatalogue.h"
#include "db/Cursor.h"
#include "db/Transaction.h"
#include "foundation/IniPersist.h"
#include "platform/DateTime.h"
#include "platform/ProgramFolder.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kDepartments = 50;
constexpr int kPerDepartment = 200;
constexpr int kEmployees = kDepartments * kPerDepartment;
constexpr int kMonths = 12;
constexpr int kRowsPerMonth = 10;

QString S(const char* text) { return QString::fromUtf8(text); }

QTemporaryDir* g_program = nullptr;
QTemporaryDir* g_scratch = nullptr;

void MakeEmployees()
{
    Cursor sr(S("SR")), ncarc(S("NCARC"));
    sr.Open();
    ncarc.Open();
    Transaction tx({&sr, &ncarc});
    const auto put = [](Cursor& c, const QList<std::pair<const char*, Variant>>& values) {
        c.Append();
        for (const auto& [name, value] : values)
            c.FieldByName(S(name)).SetVariant(value);
        c.Post();
    };
    Variant monthEnds[kMonths];
    for (int m = 0; m < kMonths; ++m)
        monthEnds[m] = Variant::FromDate(m < kMonths - 1 ? EncodeDate(2023, m + 2, 1) - 1 : EncodeDate(2023, 12, 31));
    for (int podr = 1; podr <= kDepartments; ++podr) {
        for (int i = 0; i < kPerDepartment; ++i) {
            const qint32 tabn = (podr - 1) * kPerDepartment + i + 1;
            put(sr,
                {{"TABNUM", tabn}, {"PODR", podr}, {"SNUM", tabn}, {"FIO", S("Работник %1").arg(tabn)},
                    {"OKL", 20000.0 + 10 * (tabn % 500)}});
            for (const Variant& month : monthEnds)
                for (int r = 0; r < kRowsPerMonth; ++r)
                    put(ncarc,
                        {{"TABNUM", tabn}, {"DOPNUM", 500 + r}, {"DTIME", 8.0 * (r % 3)},
                            {"SUM", 1000.0 + tabn % 700 + r * 13.5}, {"DATERAS", month}, {"DATEBEG", month}});
        }
    }
    tx.Commit();
}

void StartProgram()
{
    g_program = new QTemporaryDir;
    g_scratch = new QTemporaryDir;
    OpenFreshDataBase(*g_program);
    MakeEmployees();
}

void SetUpObject(TSaveRestObject& obj)
{
    obj.TmpPath = g_scratch->path() + S("/TMP");
    obj.CopyPath = g_scratch->path() + S("/ARC");
    obj.Archivate = true;
    obj.SetArchiver(S("arj"));
    obj.SetDeArchiver(S("arj"));
    obj.ArcMask = S("Qor_arj.a*");
    QDir().mkpath(obj.TmpPath);
    QDir().mkpath(obj.CopyPath);
}

bool RunOperation(benchmark::State& state, bool (TSaveRestObject::*operation)())
{
    YesMessages answers;
    ScopedMessageService scope(&answers);
    TSaveRestObject& obj = SaveRestObject();
    SetUpObject(obj);
    if (!(obj.*operation)() || !answers.errors.isEmpty()) {
        state.SkipWithError((S("failed: ") + answers.errors.join(S(" / "))).toStdString().c_str());
        return false;
    }
    return true;
}

void Archive_Save(benchmark::State& state)
{
    for (auto _ : state)
        if (!RunOperation(state, &TSaveRestObject::Save))
            return;
}

void Archive_Restore(benchmark::State& state)
{
    for (auto _ : state)
        if (!RunOperation(state, &TSaveRestObject::Restore))
            return;
}

// The archiver alone over the live table files, as the save calls it.
void Archive_Floor(benchmark::State& state)
{
    const QString data = AppContext().DataFolder();
    QStringList files;
    for (int i = 0; i < TableCount; ++i)
        for (const QString& f : QDir(data).entryList({TableStructures()[i].Name() + S(".*")}, QDir::Files))
            files << data + f;
    const QString work = g_scratch->path() + S("/FLOOR/");
    for (auto _ : state) {
        state.PauseTiming();
        QDir(work).removeRecursively();
        QDir().mkpath(work);
        QFile inc(work + S("ARC.INC"));
        inc.open(QIODevice::WriteOnly);
        inc.write((files.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        inc.close();
        state.ResumeTiming();
        QProcess arj;
        arj.setWorkingDirectory(work);
        arj.start(S("arj"), TSaveRestObject().ArchiverParams.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        if (!arj.waitForFinished(-1) || arj.exitStatus() != QProcess::NormalExit || arj.exitCode() != 0) {
            state.SkipWithError(("arj failed: " + arj.readAll().right(500).toStdString()).c_str());
            return;
        }
    }
    state.counters["files"] = double(files.size());
}

class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (!r.error_occurred)
                times[QString::fromStdString(r.benchmark_name()).section(QLatin1Char('/'), 0, 0)]
                    = r.GetAdjustedRealTime();
    }
    QMap<QString, double> times;
};

} // namespace

// In this order: the restore reads what the save wrote.
BENCHMARK(Archive_Save)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(Archive_Restore)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(Archive_Floor)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    StartProgram();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double save = reporter.times.value(S("Archive_Save")), restore = reporter.times.value(S("Archive_Restore")),
                 floor = reporter.times.value(S("Archive_Floor"));
    if (save > 0 && restore > 0 && floor > 0) {
        std::printf("\n%d employees in %d departments, %d result rows\n", kEmployees, kDepartments,
            kEmployees * kMonths * kRowsPerMonth);
        std::printf("save:    %9.1f ms   save/floor:    %6.2f\n", save, save / floor);
        std::printf("restore: %9.1f ms   restore/floor: %6.2f\n", restore, restore / floor);
        std::printf("floor:   %9.1f ms   (arj alone)\n", floor);
    }
    benchmark::Shutdown();
    ShutDown();
    DoneCalc();
    delete g_scratch;
    delete g_program;
    return 0;
}
