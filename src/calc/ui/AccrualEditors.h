#pragma once
// The editors that the accrual card opens: the user formula, the
// calculation tables and the picker of accrual-number tables.

#include <QString>

class QWidget;
class T_DopTabl;

// Shows the formula editor of the kind modeless, beside the owner when one
// is given, with the caret at (col, line) and msg in the status line.
void ShowFormulaEditor(QWidget* owner, int dopNum, int col, int line, const QString& msg, bool readOnly);

// The kind's calculation tables, modally. "Начисление №%s в справочнике не
// найдено" when the directory lacks the kind.
void ShowRTEdit(int dopNum);

// The picked table when the clerk confirms, else nullptr.
T_DopTabl* ShowTbSelect();
