#include "app/program/QorProgram.h"

#include "calc/CalcContext.h"
#include "data/ui/Program.h"

void RegisterProgramForms() {}

int QorMain()
{
    AddProgramUnit(QStringLiteral("calc"), &InitCalc, &DoneCalc);
    RegisterProgramForms();
    return RunProgram();
}
