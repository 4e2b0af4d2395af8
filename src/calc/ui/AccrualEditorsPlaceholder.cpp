// Stand-ins until the editors land; the real ones replace this file.
#include "calc/ui/AccrualEditors.h"

void ShowFormulaEditor(QWidget*, int, int, int, const QString&, bool) {}

void ShowRTEdit(int) {}

T_DopTabl* ShowTbSelect() { return nullptr; }
