#pragma once
// Work on the data folder that a killed process must not leave half done.
// Each leaves a mark in the data folder while it runs; the start-up
// (InitDBSetup, before anything reads the folder) finishes or undoes it.
//
// A restore brings its files and their indexes into the staging folder
// first; the journal written then is the point of no return: from there
// the swap is only ever finished, by the restore or by the next start.
// The import uses the same swap on the data folder, and the archive save on
// the archive's folder (finished by the next save or restore there).
//
//   const QString stage = RestoreStagingFolder(data);  // fill it, index it
//   SwapInRestoredFiles(data, oldNames);                // old table files
//
// A period close keeps the new working date in a small table written in
// the transaction of its tables; the data INI follows it after the commit,
// so the INI can never stay behind the tables.
//
//   CreateNewPeriodMark();                        // before the transaction
//   Transaction tx(QStringList{..., NewPeriodMarkName()});
//   ... WriteNewPeriodMark(oldDate, newDate); tx.Commit();
//   ... the INI written ...; DropNewPeriodMark();

#include "platform/DateTime.h"

#include <QString>
#include <QStringList>

class TCustomIniFile;

// "~~Restore/" of the data folder, with a trailing "/".
QString RestoreStagingFolder(const QString& dataFolder);
// "~~Restore.tmp": the names to delete and to bring in, one a line.
QString RestoreJournalName();
// Removes a staging folder that never reached its journal.
void DiscardRestoreStaging(const QString& dataFolder);
// Writes the journal, deletes the old files (names in the data folder that
// no staged file replaces), moves every staged file in over its namesake,
// then removes the staging folder and, last, the journal. A failure raises and
// leaves the journal for the next start.
void SwapInRestoredFiles(const QString& dataFolder, const QStringList& oldNames);
// The start-up's half: finishes a swap whose journal exists, discards a
// staging folder without one. True when a swap was finished.
bool RecoverRestore(const QString& dataFolder);

// The run-operation states of a restore or import (SetRunOperation): the
// data as they were until the journal is written, replaced from then on.
QString DataUnchangedState();
QString DataReplacedState();

// The operation a killed run left and the state of the data now, after
// this start's recovery ("Прервана операция: ...\r\nСостояние данных:
// ..."); empty when no operation was left running.
QString InterruptedOperationReport();

// "NEWPERIOD": the table of the old and the new working date.
QString NewPeriodMarkName();
void CreateNewPeriodMark();
// Inside the transaction that holds NewPeriodMarkName().
void WriteNewPeriodMark(TDateTime oldDate, TDateTime newDate);
void DropNewPeriodMark();
// The start-up's half: a committed mark whose old date the INI still holds
// moves the INI's "Workdate" on; the mark goes in every case. True when
// the INI was moved on.
bool RecoverNewPeriod(const QString& dataFolder, TCustomIniFile& dataIni);

// Both recoveries on the open data folder, under the exclusive lock when a
// mark is found (another running copy has already done them).
void RecoverDataFolder();
