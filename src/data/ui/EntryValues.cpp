#include "data/ui/EntryValues.h"
#include "data/AppContext.h"
#include "data/Dops.h"
#include "data/Formula.h"
#include "data/TabnDops.h"

#include <cmath>

TEntryValues ReadEntryValues(T_TabnDop* row)
{
    TEntryValues v;
    T_Formula f(AppContext());
    f.SetRow(row);
    v.FTime = f.FTime;
    v.FValue = f.FValue;
    v.FPercent = f.FPercent;
    const T_Dop* dop = row->GetDop();
    v.Mode = dop ? QStringLiteral("[") + dop->GetNumberText() + QStringLiteral("] ") + dop->GetName()
                 : QStringLiteral("[%1] ").arg(row->DopNum);
    v.DTime = row->DTime;
    v.Value = row->Sum.ToDouble();
    v.DateBeg = row->DateBeg;
    v.DateEnd = row->DateEnd;
    return v;
}

void WriteEntryValue(T_TabnDop* row, double value, const double* dtime)
{
    row->Sum = Currency::FromRaw(std::llround(value * 10000));
    if (dtime)
        row->DTime = *dtime;
}

void WriteEntryPeriod(T_TabnDop* row, TDateTime beg, TDateTime end)
{
    row->DateBeg = beg;
    row->DateEnd = end;
}
