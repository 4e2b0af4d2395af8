#include "data/FirstStart.h"

#include "data/AppContext.h"
#include "data/Calendar.h"
#include "data/Dops.h"
#include "foundation/DateFuncs.h"

bool AddBasicCalendar()
{
    T_CalendarList* calendars = CalendarList();
    if (!calendars || calendars->TipCount() != 0)
        return false;
    T_CalendarTip* tip = calendars->AddTip(ckMonthly);
    tip->Name = QStringLiteral("Основной календарь");
    // The whole year of the working month, a line a month: the book labels
    // its rows January to December, and the tax counts its months on them.
    tip->AddTable(FirstDayOfYear(Cfg.Workdate), LastDayOfYear(Cfg.Workdate), 10);
    tip->Save();
    return true;
}

int AddBuiltInKinds() { return DNList()->GenerateConstDops(); }
