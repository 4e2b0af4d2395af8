// The formula program runner on any program text: run from the text and
// from its compiled form (twice, by one runner, as the pay calculation runs
// it for employee after employee), it must end alike: the same RESULT, or
// the same error at the same line and column.

#include "FuzzSupport.h"

#include "foundation/BlockParser.h"
#include "platform/Codec.h"

#include <QHash>

namespace {

// The pay calculation's values, numbered once.
class PaySource final : public T_ParserVariableSource {
public:
    int IndexOf(const QString& name) const override
    {
        static const QStringList names{QStringLiteral("S"), QStringLiteral("T"), QStringLiteral("TB")};
        return int(names.indexOf(name));
    }
    void GetValue(int index, Variant& value) const override
    {
        static const double values[] = {30000.0, 8.0, 168.0};
        value = Variant(values[index]);
    }
    bool GetReal(int index, double& value) const override
    {
        Variant v;
        GetValue(index, v);
        value = v.AsDouble();
        return true;
    }
};

// What the source does not know.
bool Outer(const QString& name, Variant& value)
{
    static const QHash<QString, Variant> vars{
        {QStringLiteral("TF"), Variant(84.0)},
        {QStringLiteral("K"), Variant(2)},
        {QStringLiteral("TXT"), Variant(QStringLiteral("Abc"))},
        {QStringLiteral("U"), Variant()},
    };
    const auto it = vars.constFind(name);
    if (it == vars.constEnd())
        return false;
    value = it.value();
    return true;
}

// Runs and records, the runner's position after an error included.
template <class F> FuzzOutcome RunOn(T_BlockParser& r, F&& run)
{
    FuzzOutcome o = FuzzRun([&](FuzzOutcome& out) { run(out.value); });
    if (!o.error.isEmpty())
        r.GetPosition(o.col, o.line);
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString program = FromCp1251(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    PaySource source;

    T_BlockParser direct;
    direct.OnVariable = Outer;
    direct.SetVariableSource(&source);
    const FuzzOutcome fromText = RunOn(direct, [&](Variant& v) { direct.Run(program, v); });

    const T_ParserCompiledText compiled(program);
    T_BlockParser runner;
    runner.OnVariable = Outer;
    runner.SetVariableSource(&source);
    const FuzzOutcome first = RunOn(runner, [&](Variant& v) { runner.Run(compiled, v); });
    const FuzzOutcome second = RunOn(runner, [&](Variant& v) { runner.Run(compiled, v); });

    const QString shown = program + QStringLiteral("\ntext:     ") + FuzzShow(fromText) + QStringLiteral("\ncompiled: ")
        + FuzzShow(first) + QStringLiteral("\nagain:    ") + FuzzShow(second);
    FuzzCheck(fromText == first, "the program run from its text and compiled agree", shown);
    FuzzCheck(first == second, "a compiled program runs alike every time", shown);
    return 0;
}
