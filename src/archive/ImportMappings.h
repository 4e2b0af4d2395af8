#pragma once
// Row conversions of the import's two richest stages: the accrual and
// deduction kinds (DOPLAT.DBF into DP and DPT) and the personnel cards
// (SR.DBF and SRDP.DBF into SR and SRD). The target cursors are open and
// already emptied; a row that fails is cancelled, listed and counted.

#include "foundation/ClMem.h"
#include "platform/DateTime.h"

#include <QByteArray>
#include <QString>

class Cursor;
class TDbfFile;
class TImportRun;

// The built-in type of an old code; 0 for any code without one.
int OldKindTip(int code);
// Positions 1..199 whose flag is not '0', as the integer-list BLOB; a
// position past the end of the text is not set.
QByteArray FlagsToInfo(const QByteArray& flags);
// Groups of three characters as numbers (0 when not one; leading blanks
// are accepted, trailing ones are not); a shorter rest is dropped.
QByteArray NumbersToInfo(const QByteArray& text);

// DOPLAT.DBF into DP and DPT. Fills the PROF list (bit digit to
// individual deduction) from the kinds.
void ImportKinds(TDbfFile& source, Cursor& dp, Cursor& dpt, const TClipperMemVarList& deductions,
    TClipperMemVarList& prof, TImportRun& run, bool debugMode);

// SR.DBF into SR and SRD; new personnel numbers from 1 in source order.
void ImportCards(
    TDbfFile& source, Cursor& sr, Cursor& srd, const TClipperMemVarList& prof, TDateTime workdate, TImportRun& run);
// SRDP.DBF into SRD, for working employees only.
void ImportFurtherAccruals(TDbfFile& source, Cursor& sr, Cursor& srd, TImportRun& run);

// The new personnel number of an old department and number: a working
// employee first (index PODR), then a dismissed one by OLDPODR and SNUM.
bool FindImportedEmployee(Cursor& sr, int department, int oldNumber, int& tabNum, bool dismissedToo = true);
