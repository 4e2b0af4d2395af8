#pragma once
// The DOS predecessor's pay sheet (QO.RAS) as this program's pay-sheet
// definition. Every variable "GRAF"+N (N from the name's characters 5 and
// 6, above 0) is column N: the first 27 characters of its text are the
// title, and a '1' at character 27+i selects accrual i (columns 1-6) or
// i+199 (columns 7 on). Characters past the text's end are not set.
//
//   ImportOldPaySheet(ras, [&](const QString& e) { errors << e; });

#include "foundation/ClMem.h"

#include <QString>

#include <functional>

class T_RasVedBase;

inline const QString kOldPaySheetName = QStringLiteral("Основная расчетная ведомость");

using TImportErrorSink = std::function<void(const QString&)>;

// The column number a variable name gives; 0 for any other variable.
int OldPaySheetColumnNumber(const QString& name);
// The columns in number order; a value that is not text is listed and
// skipped. Answers the number of columns read.
int ReadOldPaySheet(const TClipperMVA& ras, T_RasVedBase& sheet, const TImportErrorSink& error);
// Every stored pay sheet is replaced by the one of QO.RAS, all or nothing,
// stored as definition 0 (the one the payment sheet by results pays by).
// A QO.RAS without columns changes nothing and answers false.
bool ImportOldPaySheet(const TClipperMVA& ras, const TImportErrorSink& error);
