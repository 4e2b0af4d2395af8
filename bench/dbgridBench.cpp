// The data-aware grid's model on a 100,000-row table in name order: what a
// clerk's scrolling, stepping and typing cost. Targets: a screen of rows at
// any position well under 50 ms, a step of the cursor under 5 ms.

#include "db/Cursor.h"
#include "db/Session.h"
#include "db/Tables.h"
#include "db/Transaction.h"
#include "foundation/ui/grids/DBGrid.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <memory>
#include <random>

namespace {

constexpr int kRows = 100000;
constexpr int kScreenRows = 30;

struct Fixture {
    QTemporaryDir dir;
    Cursor cursor{QStringLiteral("POST")};
    TDBGridModel model;

    Fixture()
    {
        DbSession::SetDataFolder(dir.path());
        Tables::Create(TableDef{QStringLiteral("POST"),
            {FieldDef{QStringLiteral("NUM"), FieldType::Integer, 0, false},
                FieldDef{QStringLiteral("NAIM"), FieldType::String, 40, false},
                FieldDef{QStringLiteral("USER"), FieldType::Integer, 0, false}},
            {IndexDef{QString(), IndexOption::Primary | IndexOption::Unique, QStringLiteral("NUM")},
                IndexDef{QStringLiteral("NAIM"), IndexOption::CaseInsensitive, QStringLiteral("NAIM")}}});
        {
            Cursor c(QStringLiteral("POST"));
            c.Open();
            Transaction tx({&c});
            std::mt19937 rng(7);
            for (int num = 1; num <= kRows; ++num) {
                c.Append();
                c[QStringLiteral("NUM")].SetInteger(num);
                c[QStringLiteral("NAIM")].SetString(
                    QStringLiteral("Должность %1").arg(rng() % 1000000, 6, 10, QLatin1Char('0')));
                c.Post();
            }
            tx.Commit();
        }
        cursor.SetIndexName(QStringLiteral("NAIM"));
        cursor.Open();
        model.Columns().Add(QStringLiteral("NAIM"));
        model.Columns().Add(QStringLiteral("NUM"));
        model.SetDataSet(&cursor);
    }
};

Fixture& Data()
{
    static Fixture fixture;
    return fixture;
}

// The rows read again (a post, a refresh, a range change).
void Reload(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state)
        f.model.Reload();
}

// A screen of rows somewhere in the table, as a jump of the scroll bar shows it.
void ScreenAtRandom(benchmark::State& state)
{
    Fixture& f = Data();
    std::mt19937 rng(11);
    for (auto _ : state) {
        const int top = int(rng() % (kRows - kScreenRows));
        for (int r = top; r < top + kScreenRows; ++r)
            benchmark::DoNotOptimize(f.model.CellText(r, 0));
    }
    state.counters["blocks read"] = f.model.BlocksRead();
}

// Holding Down: the cursor goes to the next row, the view follows.
void StepDown(benchmark::State& state)
{
    Fixture& f = Data();
    f.cursor.SetRecNo(kRows / 2);
    f.model.Reload();
    int row = f.model.CursorRow();
    for (auto _ : state) {
        if (++row >= kRows) {
            state.PauseTiming();
            f.cursor.SetRecNo(kRows / 2);
            f.model.Reload();
            row = f.model.CursorRow() + 1;
            state.ResumeTiming();
        }
        f.model.MoveToRow(row);
    }
}

// A name typed into the middle of the table and posted by leaving the row.
void TypeAndPost(benchmark::State& state)
{
    Fixture& f = Data();
    f.cursor.SetRecNo(kRows / 2);
    int n = 0;
    for (auto _ : state) {
        f.model.SetCellText(0, QStringLiteral("Должность %1").arg(++n % 1000000, 6, 10, QLatin1Char('0')));
        f.cursor.Post();
    }
}

} // namespace

BENCHMARK(Reload)->Unit(benchmark::kMillisecond);
BENCHMARK(ScreenAtRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(StepDown)->Unit(benchmark::kMicrosecond);
BENCHMARK(TypeAndPost)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
