#pragma once
// The values of an entry as the input dialogs show and write them, read
// and written apart from the widgets.

#include "platform/DateTime.h"

#include <QString>

class T_TabnDop;

struct TEntryValues {
    QString Mode; // "[number] name" of the kind
    bool FTime = false, FValue = false, FPercent = false; // of the kind's method
    double DTime = 0;
    double Value = 0; // Sum / 10000: a sum or a percent
    TDateTime DateBeg = 0, DateEnd = 0;
};

TEntryValues ReadEntryValues(T_TabnDop* row);
// Sum := value x 10000 rounded; DTime only when given.
void WriteEntryValue(T_TabnDop* row, double value, const double* dtime);
void WriteEntryPeriod(T_TabnDop* row, TDateTime beg, TDateTime end);
