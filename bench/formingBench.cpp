// The pay sheet of a 10,000-employee department formed through the forming
// holder with the shipped template and written to a PDF file. Prints the
// time of the forming and of the printing (target: under 10 s together).

#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/Podr.h"
#include "data/Startup.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "db/Transaction.h"
#include "foundation/IniPersist.h"
#include "platform/ProgramFolder.h"
#include "reports/FastRep.h"
#include "reports/PrintBackend.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kEmployees = 10000;
const TDateTime kMar2024 = EncodeDate(2024, 3, 1);

QString S(const char* text) { return QString::fromUtf8(text); }

QTemporaryDir* g_program = nullptr;

void AddKind(qint32 dopNum, const char* naim, bool uder)
{
    T_Dop dop(DNList());
    dop.New = true;
    dop.DopNum = dopNum;
    dop.Naim = S(naim);
    dop.Uder = uder;
    dop.Save();
}

// Cards and their results of March, written in bulk.
void MakeEmployees()
{
    AddKind(101, "Оклад", false);
    AddKind(102, "Премия", false);
    AddKind(201, "Аванс", true);
    DNList()->SetLoaded(false);
    AppendRecordValues(DM()->SP, 2, {S("NUMPDP"), S("NAIM")}, {Variant(1), Variant(S("Цех"))});
    PNList()->Reload();
    Cursor sr(S("SR")), nc(S("NC"));
    sr.Open();
    nc.Open();
    Transaction tx({&sr, &nc});
    const auto put = [](Cursor& c, const QList<std::pair<const char*, Variant>>& values) {
        c.Append();
        for (const auto& [name, value] : values)
            c.FieldByName(S(name)).SetVariant(value);
        c.Post();
    };
    const Variant mar = Variant::FromDate(kMar2024);
    for (qint32 tabn = 1; tabn <= kEmployees; ++tabn) {
        put(sr,
            {{"TABNUM", tabn}, {"PODR", 2}, {"SNUM", tabn}, {"FIO", S("Работник %1").arg(tabn, 5, 10, QChar('0'))}});
        const double okl = 20000.0 + tabn % 500, prem = 1000.0 + tabn % 100, avans = 8000;
        const struct {
            qint32 dopNum;
            double time, sum;
        } rows[] = {{101, 160, okl}, {102, 0, prem}, {201, 0, avans}, {dnNachis, 160, okl + prem}, {dnUder, 0, avans},
            {dnVsego, 0, okl + prem - avans}};
        for (const auto& r : rows)
            put(nc,
                {{"TABNUM", tabn}, {"DOPNUM", r.dopNum}, {"DTIME", r.time}, {"SUM", r.sum}, {"DATERAS", mar},
                    {"DATEBEG", mar}});
    }
    tx.Commit();
}

void StartProgram()
{
    g_program = new QTemporaryDir;
    OpenFreshDataBase(*g_program);
    AppContext().Cfg.Workdate = kMar2024;
    MakeEmployees();
    // The shipped templates, as a program folder away from the program gets them.
    CopyShippedTexts(S(QOR_SHIPPED_TXT), TxtDir);
    EnsurePropisTable(AppContext().DataFolder(), S(QOR_BIN "/PROPIS.DB"));
}

void BM_PaySheetToPdf(benchmark::State& state)
{
    const QString pdf = g_program->filePath(S("rv.pdf"));
    int pages = 0;
    double formMs = 0, printMs = 0;
    ReportWindowFactories().Preview = [&](TDocument& doc, const QString&, int count, bool) -> IReportWindow* {
        formMs = 0;
        pages = count;
        QElapsedTimer t;
        t.start();
        doc.SetPrintBackend(std::make_shared<TPdfPrintBackend>(pdf));
        doc.Print(1, count);
        printMs = t.elapsed();
        doc.PreviewClosed();
        return nullptr;
    };
    TFormFastRep rep;
    T_Vedom descriptor;
    descriptor.Tip = 31;
    descriptor.Template = S("RV.dcf");
    T_PVVars params;
    params.Podr = 2;
    params.Date = kMar2024;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        rep.RunDocument(&descriptor, &params);
        formMs = t.elapsed() - printMs;
    }
    std::printf("pay sheet of %d employees: %d pages, formed in %.0f ms, printed to PDF in %.0f ms "
                "(%lld bytes), %.2f s in all (target < 10 s)\n",
        kEmployees, pages, formMs, printMs, static_cast<long long>(QFileInfo(pdf).size()), (formMs + printMs) / 1000.0);
}
BENCHMARK(BM_PaySheetToPdf)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    StartProgram();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    ShutDown();
    delete g_program;
    return 0;
}
