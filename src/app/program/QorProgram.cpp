#include "app/program/QorProgram.h"

#include "calc/CalcContext.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/Program.h"
#include "desk/Main.h"
#include "desk/MainOpeners.h"

void RegisterProgramForms()
{
    RegisterMenuOpener(QStringLiteral("mnHelpContents"), [](TFormMain&) { ShowProgramHelp(); });
    RegisterForm(QStringLiteral("FormMain"), [] { return new TFormMain(); });
}

int QorMain()
{
    AddProgramUnit(QStringLiteral("calc"), &InitCalc, &DoneCalc);
    RegisterProgramForms();
    return RunProgram();
}
