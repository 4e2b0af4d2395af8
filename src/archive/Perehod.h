#pragma once
// The close of the working month: the input and results go to the archive
// tables, the clerk's net pay and permanent accruals become the new month's
// input, the calculated marks are cleared and the working date moves one
// month on. All table writes are one transaction, which also records the
// new working date (data/FolderRecovery.h); the data INI is written after
// the commit, and a process killed before that gets its INI moved on at
// the next start. A failure leaves the month as it was.
//
//   TPerehodSteps steps;
//   steps.OfferSave = [&] { saveDialog.exec(); };
//   bool done = false;
//   RunPerehod(steps, done);        // done: the clerk confirmed; restart then

#include "platform/DateTime.h"

#include <QString>

#include <functional>

// The last day of the month after the working date's month.
TDateTime PerehodNewPeriod(TDateTime workdate);
// The first day of the month numYears * 12 + 1 months before the working
// date's month: the oldest archive month kept.
TDateTime PerehodWindowStart(TDateTime workdate, int numYears);
// "Переход на Апрель  2000".
QString PerehodHeader(TDateTime newPeriod);

struct TPerehodSteps {
    // The save offer between the warning and the question; the transition
    // goes on whatever it did.
    std::function<void()> OfferSave;
    // Called after each writing step (7..13) inside the transaction.
    std::function<void(int step)> AfterStep;
};

// Refusals (no exclusive access, an uncalculated working employee, no kind
// of the last month's pay) raise before anything changes; "No" to the
// question ends in the silent abort. done turns true once the clerk has
// confirmed, also when a later step fails. The shared lock is taken back
// on every way out.
void RunPerehod(const TPerehodSteps& steps, bool& done);
