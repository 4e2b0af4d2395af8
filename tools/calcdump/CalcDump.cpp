#include "CalcDump.h"

#include "calc/TabnCalc.h"
#include "data/AppContext.h"
#include "data/TabnDops.h"
#include "db/Transaction.h"
#include "foundation/Progress.h"
#include "platform/SysUtils.h"

void CalcDump(const TCalcDumpRequest& request, const std::function<void(const QString&)>& out)
{
    const TCalcSources sources = CalcSources(AppContext());
    TSilentProgress silent;
    TCalcBatchOptions options;
    options.Progress = &silent;
    TCalcBatchResult result;
    qsizetype printed = 0;
    out(QStringLiteral("TABNUM;DOPNUM;DTIME;SUM"));
    options.OnCalculated = [&](T_rTabn& calc, bool) {
        for (const T_TabnDop* e : calc.NewResults())
            out(Format(QStringLiteral("%d;%d;%.4f;%.2f"), calc.TabNum(), e->DopNum, e->DTime, e->Sum.ToDouble()));
        for (; printed < result.Errors.size(); ++printed)
            out(result.Errors[printed]);
    };
    // The department transactions become savepoints of this one, which is
    // never committed: a dump changes nothing.
    Transaction dryRun(QStringList{QStringLiteral("NC"), QStringLiteral("SR")});
    if (request.TabNum > 0)
        CalcTabnGroups(sources, {{request.TabNum}}, options, result);
    else
        CalcEnterprise(sources, options, result);
    dryRun.Rollback();
}
