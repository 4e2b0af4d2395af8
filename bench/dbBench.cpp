// The table layer against hand-written SQLite statements on the same file
// (the floor), for the four workloads the program leans on. Prints each
// time, the ratio layer / floor (target: at most 2.0) and the append rate
// (target: at least 100,000 rows per second).

#include "db/Cursor.h"
#include "db/Session.h"
#include "db/Sqlite.h"
#include "db/Tables.h"
#include "db/Transaction.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QMap>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <random>

namespace {

constexpr int kRows = 100000;
constexpr int kLookups = 100000;
constexpr int kRangeRows = 1000;
constexpr int kRangePasses = 100;

FieldDef F(const char* name, FieldType type) { return FieldDef{QString::fromUtf8(name), type, 0, false}; }

// The period input table.
TableDef VvodShape(const char* name)
{
    return TableDef{QString::fromUtf8(name),
        {F("PRIM", FieldType::AutoInc), F("TABNUM", FieldType::Integer), F("DOPNUM", FieldType::Integer),
            F("DTIME", FieldType::Float), F("SUM", FieldType::Float), F("PROC", FieldType::Float),
            F("DATEVV", FieldType::Date), F("DATEBEG", FieldType::Date), F("USER", FieldType::Integer)},
        {IndexDef{QString(), IndexOption::Primary | IndexOption::Unique, QStringLiteral("PRIM")},
            IndexDef{QStringLiteral("TABNUM"), {}, QStringLiteral("TABNUM;DATEVV")},
            IndexDef{QStringLiteral("TABDATE"), {}, QStringLiteral("TABNUM;DATEBEG")}}};
}

struct Fixture {
    QTemporaryDir dir;
    Fixture()
    {
        DbSession::SetDataFolder(dir.path());
        Tables::Create(VvodShape("VVOD"));
        Tables::Create(VvodShape("APPEND"));
        // 100 employees with 1,000 rows each, inserted in a mixed order.
        Cursor c(QStringLiteral("VVOD"));
        c.Open();
        Transaction tx({&c});
        const Field tabnum = c.FieldByName(QStringLiteral("TABNUM"));
        const Field sum = c.FieldByName(QStringLiteral("SUM"));
        const Field date = c.FieldByName(QStringLiteral("DATEVV"));
        for (int i = 0; i < kRows; ++i) {
            c.Append();
            tabnum.SetInteger((i * 37) % 100);
            sum.SetFloat(i * 1.5);
            date.SetDateTime(45000 + i % 30);
            c.Post();
        }
        tx.Commit();
    }
    QString Path(const char* table) const { return dir.path() + QLatin1Char('/') + QLatin1String(table) + ".DB"; }
};

Fixture& Data()
{
    static Fixture f;
    return f;
}

// A raw connection, as a hand-written program would have it.
std::unique_ptr<SqliteConnection> Raw(const char* table) { return SqliteConnection::Open(Data().Path(table), false); }

void ReadColumns(sqlite3_stmt* s, double& sink)
{
    for (int i = 0; i < 10; ++i) {
        if (sqlite3_column_type(s, i) == SQLITE_FLOAT)
            sink += sqlite3_column_double(s, i);
        else
            sink += double(sqlite3_column_int64(s, i));
    }
}

void EmptyAppendTable() { Tables::Empty(QStringLiteral("APPEND")); }

// ---- appending 100,000 rows in one transaction

void Append_Layer(benchmark::State& state)
{
    Data();
    for (auto _ : state) {
        state.PauseTiming();
        EmptyAppendTable();
        state.ResumeTiming();
        Cursor c(QStringLiteral("APPEND"));
        c.Open();
        Transaction tx({&c});
        const Field tabnum = c.FieldByName(QStringLiteral("TABNUM"));
        const Field dopnum = c.FieldByName(QStringLiteral("DOPNUM"));
        const Field dtime = c.FieldByName(QStringLiteral("DTIME"));
        const Field sum = c.FieldByName(QStringLiteral("SUM"));
        const Field proc = c.FieldByName(QStringLiteral("PROC"));
        const Field datevv = c.FieldByName(QStringLiteral("DATEVV"));
        const Field datebeg = c.FieldByName(QStringLiteral("DATEBEG"));
        const Field user = c.FieldByName(QStringLiteral("USER"));
        for (int i = 0; i < kRows; ++i) {
            c.Append();
            tabnum.SetInteger(i % 500);
            dopnum.SetInteger(i % 40);
            dtime.SetFloat(8.0);
            sum.SetFloat(i * 0.25);
            proc.SetFloat(13.0);
            datevv.SetDateTime(45000 + i % 30);
            datebeg.SetDateTime(45000);
            user.SetInteger(1);
            c.Post();
        }
        tx.Commit();
    }
    state.counters["rows/s"]
        = benchmark::Counter(double(kRows) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void Append_Floor(benchmark::State& state)
{
    Data();
    for (auto _ : state) {
        state.PauseTiming();
        EmptyAppendTable();
        state.ResumeTiming();
        auto db = Raw("APPEND");
        db->Exec("BEGIN IMMEDIATE");
        sqlite3_stmt* s = db->Prepare("INSERT INTO data(\"TABNUM\",\"DOPNUM\",\"DTIME\",\"SUM\",\"PROC\",\"DATEVV\","
                                      "\"DATEBEG\",\"USER\") VALUES(?,?,?,?,?,?,?,?)");
        for (int i = 0; i < kRows; ++i) {
            sqlite3_bind_int64(s, 1, i % 500);
            sqlite3_bind_int64(s, 2, i % 40);
            sqlite3_bind_double(s, 3, 8.0);
            sqlite3_bind_double(s, 4, i * 0.25);
            sqlite3_bind_double(s, 5, 13.0);
            sqlite3_bind_double(s, 6, 45000 + i % 30);
            sqlite3_bind_double(s, 7, 45000);
            sqlite3_bind_int64(s, 8, 1);
            sqlite3_step(s);
            sqlite3_reset(s);
        }
        db->Exec("COMMIT");
    }
    state.counters["rows/s"]
        = benchmark::Counter(double(kRows) * double(state.iterations()), benchmark::Counter::kIsRate);
}

// ---- 100,000 random lookups on the primary index

void FindKey_Layer(benchmark::State& state)
{
    Data();
    Cursor c(QStringLiteral("VVOD"));
    c.Open();
    const Field sum = c.FieldByName(QStringLiteral("SUM"));
    double sink = 0;
    for (auto _ : state) {
        std::mt19937 rng(1);
        for (int i = 0; i < kLookups; ++i) {
            if (c.FindKey({Variant(int(rng() % kRows) + 1)}))
                sink += sum.AsFloat();
        }
    }
    benchmark::DoNotOptimize(sink);
}

void FindKey_Floor(benchmark::State& state)
{
    Data();
    auto db = Raw("VVOD");
    sqlite3_stmt* s = db->Prepare("SELECT rowid,* FROM data WHERE \"PRIM\"=?");
    double sink = 0;
    for (auto _ : state) {
        std::mt19937 rng(1);
        for (int i = 0; i < kLookups; ++i) {
            sqlite3_bind_int64(s, 1, int(rng() % kRows) + 1);
            if (sqlite3_step(s) == SQLITE_ROW)
                ReadColumns(s, sink);
            sqlite3_reset(s);
        }
    }
    benchmark::DoNotOptimize(sink);
}

// ---- a range of 1,000 rows walked 100 times

void Range_Layer(benchmark::State& state)
{
    Data();
    Cursor c(QStringLiteral("VVOD"));
    c.SetIndexName(QStringLiteral("TABNUM"));
    c.Open();
    const Field sum = c.FieldByName(QStringLiteral("SUM"));
    double sink = 0;
    int64_t rows = 0;
    for (auto _ : state) {
        for (int pass = 0; pass < kRangePasses; ++pass) {
            c.SetRange({Variant(pass)}, {Variant(pass)});
            for (c.First(); !c.Eof(); c.Next()) {
                sink += sum.AsFloat();
                ++rows;
            }
        }
    }
    if (rows != int64_t(kRangeRows) * kRangePasses * state.iterations())
        state.SkipWithError("wrong row count");
    benchmark::DoNotOptimize(sink);
}

void Range_Floor(benchmark::State& state)
{
    Data();
    auto db = Raw("VVOD");
    sqlite3_stmt* s
        = db->Prepare("SELECT rowid,* FROM data WHERE \"TABNUM\"=? ORDER BY \"TABNUM\",\"DATEVV\",\"PRIM\"");
    double sink = 0;
    for (auto _ : state) {
        for (int pass = 0; pass < kRangePasses; ++pass) {
            sqlite3_bind_int64(s, 1, pass);
            while (sqlite3_step(s) == SQLITE_ROW)
                ReadColumns(s, sink);
            sqlite3_reset(s);
        }
    }
    benchmark::DoNotOptimize(sink);
}

// ---- Next over the whole table

void Next_Layer(benchmark::State& state)
{
    Data();
    Cursor c(QStringLiteral("VVOD"));
    c.Open();
    const Field sum = c.FieldByName(QStringLiteral("SUM"));
    double sink = 0;
    for (auto _ : state) {
        for (c.First(); !c.Eof(); c.Next())
            sink += sum.AsFloat();
    }
    benchmark::DoNotOptimize(sink);
}

void Next_Floor(benchmark::State& state)
{
    Data();
    auto db = Raw("VVOD");
    sqlite3_stmt* s = db->Prepare("SELECT rowid,* FROM data ORDER BY \"PRIM\"");
    double sink = 0;
    for (auto _ : state) {
        while (sqlite3_step(s) == SQLITE_ROW)
            ReadColumns(s, sink);
        sqlite3_reset(s);
    }
    benchmark::DoNotOptimize(sink);
}

// Remembers each run's time to print the ratios at the end.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            times[QString::fromStdString(r.benchmark_name())] = r.GetAdjustedRealTime();
            const auto it = r.counters.find("rows/s");
            if (it != r.counters.end())
                rates[QString::fromStdString(r.benchmark_name())] = it->second.value;
        }
    }
    QMap<QString, double> times;
    QMap<QString, double> rates;
};

} // namespace

BENCHMARK(Append_Layer)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Append_Floor)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(FindKey_Layer)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(FindKey_Floor)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Range_Layer)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Range_Floor)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Next_Layer)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Next_Floor)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-10s %12s %12s %8s\n", "workload", "layer, ms", "floor, ms", "ratio");
    for (const char* w : {"Append", "FindKey", "Range", "Next"}) {
        const QString name = QString::fromLatin1(w);
        const auto layer = reporter.times.constFind(name + "_Layer/iterations:5");
        const auto floor = reporter.times.constFind(name + "_Floor/iterations:5");
        if (layer == reporter.times.constEnd() || floor == reporter.times.constEnd())
            continue;
        std::printf("%-10s %12.1f %12.1f %8.2f%s\n", w, *layer, *floor, *layer / *floor,
            *layer / *floor <= 2.0 ? "" : "  > 2.0!");
    }
    const auto rate = reporter.rates.constFind(QStringLiteral("Append_Layer/iterations:5"));
    if (rate != reporter.rates.constEnd())
        std::printf("appending through the layer: %.0f rows/s%s\n", *rate, *rate >= 100000 ? "" : "  (< 100,000!)");
    benchmark::Shutdown();
    return 0;
}
