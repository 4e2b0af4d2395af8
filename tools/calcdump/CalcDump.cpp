#include "CalcDump.h"

#include "calc/TabnCalc.h"
#include "data/AppContext.h"
#include "data/TabnDops.h"
#include "db/Transaction.h"
#include "foundation/DateFuncs.h"
#include "foundation/Progress.h"
#include "platform/SysUtils.h"

int CalcDump(const TCalcDumpRequest& request, const std::function<void(const QString&)>& out)
{
    const TCalcSources sources = CalcSources(AppContext());
    TSilentProgress silent;
    TCalcBatchOptions options;
    options.Progress = &silent;
    TCalcBatchResult result;
    qsizetype printed = 0;
    int failed = 0;
    out(request.Names ? QStringLiteral("TABNUM;DOPNUM;NAME;DTIME;SUM") : QStringLiteral("TABNUM;DOPNUM;DTIME;SUM"));
    options.OnCalculated = [&](T_rTabn& calc, bool ok) {
        // Not loaded (no such card) or stopped: no results at all, or a fatal error.
        if (!ok && (calc.Failed() || calc.NewResults().Count() == 0))
            ++failed;
        if (request.Names) {
            int year = 0, month = 0, day = 0;
            DecodeDate(calc.Date(), year, month, day);
            out(QStringLiteral("# %1 %2, %3 %4")
                    .arg(calc.TabNum())
                    .arg(calc.GetFio(), month >= 1 && month <= 12 ? MonthNameByNum(month) : QString())
                    .arg(year));
        }
        for (T_TabnDop* e : calc.NewResults()) {
            if (request.Names)
                out(Format(QStringLiteral("%d;%d;%s;%.4f;%.2f"), calc.TabNum(), e->DopNum, calc.GetRowCaption(e),
                    e->DTime, e->Sum.ToDouble()));
            else
                out(Format(QStringLiteral("%d;%d;%.4f;%.2f"), calc.TabNum(), e->DopNum, e->DTime, e->Sum.ToDouble()));
        }
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
    return failed;
}
