#pragma once
// The calculation dump: employees calculated as the program's batch run
// does it, and for each his result rows in calculation order, then his
// error lines, as plain text in the program's fixed format settings:
//
//   TABNUM;DOPNUM;DTIME;SUM
//   17;3;160,0000;16000,00
//   ...
//   ***  Ошибки при расчете. Табельный номер [18]
//   Не определен календарь №5 на дату "01.03.2024"
//   (an empty line)
//
// With names, each employee starts with a line "# <number> <name>, <month
// year>" and every row carries the row's caption after its number: the
// kind's name, or "999" ... "990" for the running totals:
//
//   TABNUM;DOPNUM;NAME;DTIME;SUM
//   # 17 Иванов Иван Иванович, Март 2024
//   17;3;Оклад;160,0000;16000,00
//
// Nothing is saved: the run is rolled back when the dump is written.

#include <QString>

#include <functional>

// What to dump; TabNum 0: every working employee of every department.
struct TCalcDumpRequest {
    qint32 TabNum = 0;
    bool Names = false;
};

// Runs on the open data base; every line goes to `out` (without its end).
// Answers the number of employees that could not be calculated (not found,
// or stopped by an error).
int CalcDump(const TCalcDumpRequest& request, const std::function<void(const QString&)>& out);
