// Speed of the formula interpreter: the same five formulas evaluated from
// their text, through the compiled form, and by muParser on the same
// values. Prints each time and the ratio to muParser; the compiled form is
// meant to stay within 3x of muParser.

#include "foundation/BlockParser.h"
#include "foundation/Parsing.h"

#include <benchmark/benchmark.h>
#include <muParser.h>

#include <QHash>
#include <cstdio>
#include <map>
#include <string>

namespace {

struct Formula {
    const char* ours;
    const char* muparser;
};

// ROUND takes one argument here, so rounding to kopecks is written out.
const Formula kFormulas[] = {
    {"S*TB/168", "S*TB/168"},
    {"ROUND(S*0.13*100)/100", "rint(S*0.13*100)/100"},
    {"IF(S>10000,S*0.1,S*0.05)+PR", "(S>10000 ? S*0.1 : S*0.05)+PR"},
    {"SQRT(A*A+B*B)", "sqrt(A*A+B*B)"},
    {"(A+B)*(C-D)/2", "(A+B)*(C-D)/2"},
};
constexpr int kCount = int(std::size(kFormulas));

const char* const kNames[] = {"S", "TB", "PR", "A", "B", "C", "D"};
constexpr int kVars = int(std::size(kNames));

struct Values {
    double v[kVars] = {23456.78, 168.0, 1500.0, 3.0, 4.0, 10.0, 2.5};
};

int IndexOf(const QString& name)
{
    for (int i = 0; i < kVars; ++i)
        if (name == QLatin1String(kNames[i]))
            return i;
    return -1;
}

void Muparser(benchmark::State& state)
{
    Values vals;
    mu::Parser p;
    for (int i = 0; i < kVars; ++i)
        p.DefineVar(kNames[i], &vals.v[i]);
    p.SetExpr(kFormulas[state.range(0)].muparser);
    for (auto _ : state)
        benchmark::DoNotOptimize(p.Eval());
}

void Direct(benchmark::State& state)
{
    Values vals;
    T_ExpressionParser p;
    p.OnVariable = [&vals](const QString& name, Variant& v) {
        const int i = IndexOf(name);
        if (i < 0)
            return false;
        v = Variant(vals.v[i]);
        return true;
    };
    const QString text = QString::fromLatin1(kFormulas[state.range(0)].ours);
    Variant v;
    for (auto _ : state) {
        p.Evaluate(text, v);
        benchmark::DoNotOptimize(v);
    }
}

// The host binds each name once, as the pay calculation binds its values.
class BoundScope final : public T_ParserScope {
public:
    BoundScope(const T_CompiledExpression& c, const Values& vals) : vals_(vals)
    {
        for (const QString& name : c.Names())
            slots_.push_back(IndexOf(name));
    }
    bool GetVariable(int symbol, const QString&, Variant& v) override
    {
        const int i = slots_[symbol];
        if (i < 0)
            return false;
        v = Variant(vals_.v[i]);
        return true;
    }
    bool GetReal(int symbol, double& v) override
    {
        const int i = slots_[symbol];
        if (i < 0)
            return false;
        v = vals_.v[i];
        return true;
    }

private:
    const Values& vals_;
    std::vector<int> slots_;
};

void Compiled(benchmark::State& state)
{
    Values vals;
    const T_CompiledExpression c = T_ExpressionParser::Compile(QString::fromLatin1(kFormulas[state.range(0)].ours));
    BoundScope scope(c, vals);
    Variant v;
    for (auto _ : state) {
        c.Run(scope, v);
        benchmark::DoNotOptimize(v);
    }
}

// The pay calculation's way: "RESULT := formula" compiled once, run by one
// runner over and over with the values bound through a source.
class PaySource final : public T_ParserVariableSource {
public:
    explicit PaySource(const Values& vals) : vals_(vals) {}
    int IndexOf(const QString& name) const override { return ::IndexOf(name); }
    void GetValue(int index, Variant& value) const override { value = Variant(vals_.v[index]); }
    bool GetReal(int index, double& value) const override
    {
        value = vals_.v[index];
        return true;
    }

private:
    const Values& vals_;
};

void Program(benchmark::State& state)
{
    Values vals;
    PaySource source(vals);
    const T_ParserCompiledText program(
        QStringLiteral("RESULT := ") + QString::fromLatin1(kFormulas[state.range(0)].ours));
    T_BlockParser runner;
    runner.SetVariableSource(&source);
    Variant v;
    for (auto _ : state) {
        runner.Run(program, v);
        benchmark::DoNotOptimize(v);
    }
}

BENCHMARK(Muparser)->DenseRange(0, kCount - 1);
BENCHMARK(Direct)->DenseRange(0, kCount - 1);
BENCHMARK(Compiled)->DenseRange(0, kCount - 1);
BENCHMARK(Program)->DenseRange(0, kCount - 1);

// Collects the time per evaluation of every run for the table at the end.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration)
                ns[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    std::map<std::string, double> ns;
};

// Checks that the three evaluators agree before timing them.
bool SameResults()
{
    Values vals;
    bool ok = true;
    for (int f = 0; f < kCount; ++f) {
        mu::Parser mp;
        for (int i = 0; i < kVars; ++i)
            mp.DefineVar(kNames[i], &vals.v[i]);
        mp.SetExpr(kFormulas[f].muparser);
        const double expected = mp.Eval();
        const T_CompiledExpression c = T_ExpressionParser::Compile(QString::fromLatin1(kFormulas[f].ours));
        BoundScope scope(c, vals);
        Variant v;
        c.Run(scope, v);
        if (v.AsDouble() != expected) {
            std::printf("formula %s: %.17g here, %.17g by muParser\n", kFormulas[f].ours, v.AsDouble(), expected);
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (!SameResults())
        return 1;
    benchmark::Initialize(&argc, argv);
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-30s %9s %9s %9s %9s %9s %9s %9s\n", "formula", "mu ns", "direct ns", "comp ns", "prog ns",
        "direct/mu", "comp/mu", "prog/mu");
    for (int f = 0; f < kCount; ++f) {
        const std::string k = "/" + std::to_string(f);
        const auto mu = reporter.ns.find("Muparser" + k), d = reporter.ns.find("Direct" + k),
                   c = reporter.ns.find("Compiled" + k), p = reporter.ns.find("Program" + k);
        if (mu == reporter.ns.end() || d == reporter.ns.end() || c == reporter.ns.end() || p == reporter.ns.end())
            continue;
        std::printf("%-30s %9.1f %9.1f %9.1f %9.1f %9.2f %9.2f %9.2f\n", kFormulas[f].ours, mu->second, d->second,
            c->second, p->second, d->second / mu->second, c->second / mu->second, p->second / mu->second);
    }
    return 0;
}
