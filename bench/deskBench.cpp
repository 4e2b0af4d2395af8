// The clerk's desk on a large enterprise: the program started on an
// existing data base of 10,000 employees in 50 departments, timed from the
// call of the program block to the main window showing the first
// department's list; and the switch between the two largest departments
// (2,000 employees each), timed from the tree's click to the list filled.
// Targets: start-up under 1 s, a switch under 100 ms.

#include "app/program/QorProgram.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Startup.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/Program.h"
#include "db/Cursor.h"
#include "db/Transaction.h"
#include "desk/Main.h"
#include "foundation/IniPersist.h"
#include "platform/ProgramFolder.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <chrono>
#include <cstdio>

namespace {

constexpr int kDepartments = 50;
constexpr int kEmployees = 10000;
constexpr int kLarge = 2000; // employees of departments 1 and 2 each

QString S(const char* text) { return QString::fromUtf8(text); }

YesMessages* g_answers = nullptr;
QList<qint32> g_podr; // department numbers in creation order

// Runs the program block; `inLoop` runs once the main loop is up, then the
// main window is closed as the clerk would.
int RunProgram(const std::function<void(TFormMain&)>& inLoop)
{
    SetProgramStepHook([inLoop](const QString& step) {
        if (step == QLatin1String("MainLoop"))
            QTimer::singleShot(0, [inLoop] {
                auto* main = qobject_cast<TFormMain*>(MainForm());
                if (main && inLoop)
                    inLoop(*main);
                if (MainForm())
                    MainForm()->close();
            });
    });
    const int rc = QorMain();
    SetProgramStepHook({});
    return rc;
}

void MakeEnterprise()
{
    StartUp(TStartStep::DataModule);
    for (int d = 1; d <= kDepartments; ++d)
        g_podr << AppendNumberedRecord(DM()->SP, {S("NAIM")}, {Variant(S("Подразделение %1").arg(d))});
    Cursor sr(S("SR"));
    sr.Open();
    Transaction tx({&sr});
    for (int tabn = 1; tabn <= kEmployees; ++tabn) {
        // The first two departments are the large ones; the rest share the remainder.
        const int index = tabn <= 2 * kLarge ? (tabn - 1) / kLarge : 2 + (tabn - 1) % (kDepartments - 2);
        sr.Append();
        sr.FieldByName(S("TABNUM")).SetVariant(tabn);
        sr.FieldByName(S("PODR")).SetVariant(g_podr[index]);
        sr.FieldByName(S("SNUM")).SetVariant(tabn);
        sr.FieldByName(S("FIO")).SetVariant(S("Работник %1").arg(tabn, 5, 10, QLatin1Char('0')));
        sr.FieldByName(S("OKL")).SetVariant(20000.0 + 10 * (tabn % 500));
        sr.Post();
    }
    tx.Commit();
    ShutDown();
}

QTreeWidgetItem* PodrItem(TFormMain& main, qint32 num)
{
    for (QTreeWidgetItemIterator it(main.tvp); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == num)
            return *it;
    return nullptr;
}

int ListRows(TFormMain& main) { return main.lvt->model() ? main.lvt->model()->rowCount() : 0; }

void Desk_StartUp(benchmark::State& state)
{
    for (auto _ : state) {
        QElapsedTimer timer;
        double seconds = -1;
        int rows = 0;
        timer.start();
        RunProgram([&](TFormMain& main) {
            seconds = double(timer.nsecsElapsed()) / 1e9;
            rows = ListRows(main);
        });
        if (seconds < 0 || rows == 0 || !g_answers->errors.isEmpty()) {
            state.SkipWithError(
                (S("no department list shown: ") + g_answers->errors.join(S(" / "))).toStdString().c_str());
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["rows"] = rows;
    }
}

void Desk_SwitchDepartment(benchmark::State& state)
{
    QString failure;
    RunProgram([&](TFormMain& main) {
        QTreeWidgetItem* items[2] = {PodrItem(main, g_podr[0]), PodrItem(main, g_podr[1])};
        if (!items[0] || !items[1]) {
            failure = S("the large departments are not in the tree");
            return;
        }
        int which = 0;
        for (auto _ : state) {
            which = 1 - which;
            const auto start = std::chrono::steady_clock::now();
            main.tvp->setCurrentItem(items[which]);
            QApplication::processEvents();
            const auto end = std::chrono::steady_clock::now();
            if (main.CurPodr() != g_podr[which] || ListRows(main) != kLarge) {
                failure = S("the list shows %1 rows of department %2").arg(ListRows(main)).arg(main.CurPodr());
                return;
            }
            state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        }
    });
    if (!failure.isEmpty())
        state.SkipWithError(failure.toStdString().c_str());
}

} // namespace

BENCHMARK(Desk_StartUp)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(Desk_SwitchDepartment)->Unit(benchmark::kMillisecond)->Iterations(50)->UseManualTime();

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir program;
    SetProgramFolder(program.path() + QLatin1Char('/'));
    YesMessages answers;
    g_answers = &answers;
    ScopedMessageService scope(&answers);
    // The first start makes the data base; the enterprise is written into it.
    if (RunProgram({}) != 0 || !answers.errors.isEmpty()) {
        std::fprintf(stderr, "first start failed: %s\n", qPrintable(answers.errors.join(S(" / "))));
        return 1;
    }
    MakeEnterprise();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf(
        "\n%d employees in %d departments; targets: start-up < 1000 ms, switch < 100 ms\n", kEmployees, kDepartments);
    return 0;
}
