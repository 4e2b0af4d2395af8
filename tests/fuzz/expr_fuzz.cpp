// The expression interpreter on any formula text: evaluated straight from
// the text and through its compiled form, it must give the same value, or
// the same error with the same number, message and position.

#include "FuzzSupport.h"

#include "foundation/Parsing.h"
#include "platform/Codec.h"

#include <QHash>

#include <cmath>

namespace {

bool LookUp(const QString& name, Variant& value)
{
    static const QHash<QString, Variant> vars{
        {QStringLiteral("A"), Variant(3.0)},
        {QStringLiteral("S"), Variant(30000.0)},
        {QStringLiteral("TB"), Variant(168.0)},
        {QStringLiteral("I"), Variant(7)},
        {QStringLiteral("C"), Variant(Currency::FromDouble(1.5))},
        {QStringLiteral("D"), Variant::FromDate(45366.5)},
        {QStringLiteral("L"), Variant(true)},
        {QStringLiteral("U"), Variant()},
        {QStringLiteral("N"), Variant::Null()},
        {QStringLiteral("TXT"), Variant(QStringLiteral("Abc"))},
        {QStringLiteral("NUM"), Variant(QStringLiteral("12,5"))},
        {QStringLiteral("BAD"), Variant(std::nan(""))},
        {QStringLiteral("HUGE"), Variant(HUGE_VAL)},
    };
    const auto it = vars.constFind(name);
    if (it == vars.constEnd())
        return false;
    value = it.value();
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = FromCp1251(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    int directPos = 0, compiledPos = 0;
    const FuzzOutcome direct = FuzzRun([&](FuzzOutcome& o) {
        T_ExpressionParser p;
        p.OnVariable = LookUp;
        try {
            p.Evaluate(text, o.value);
        } catch (...) {
            directPos = p.Pos();
            throw;
        }
    });
    const FuzzOutcome compiled = FuzzRun([&](FuzzOutcome& o) {
        const T_CompiledExpression c = T_ExpressionParser::Compile(text);
        T_ExpressionParser p;
        p.OnVariable = LookUp;
        try {
            p.Evaluate(c, o.value);
        } catch (...) {
            compiledPos = p.Pos();
            throw;
        }
    });
    FuzzCheck(direct == compiled, "the direct and the compiled expression agree",
        text + QStringLiteral("\ndirect:   ") + FuzzShow(direct) + QStringLiteral("\ncompiled: ") + FuzzShow(compiled));
    if (direct.id != 0)
        FuzzCheck(directPos == direct.pos && compiledPos == compiled.pos, "the parser stays at the error's position",
            text + QStringLiteral("\n%1 %2 %3").arg(direct.pos).arg(directPos).arg(compiledPos));
    return 0;
}
