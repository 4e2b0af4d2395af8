#include "app/program/QorProgram.h"

#include "calc/CalcContext.h"
#include "data/ui/DpSelect.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/Program.h"
#include "desk/Main.h"
#include "desk/MainOpeners.h"

void RegisterProgramForms()
{
    RegisterMenuOpener(QStringLiteral("mnHelpContents"), [](TFormMain&) { ShowProgramHelp(); });
    RegisterForm(QStringLiteral("FormMain"), [] { return new TFormMain(); });
    // Kind 0 leaves the set chooser to the clerk; -1: nothing preselected.
    SetDopPicker([](const QString& title) { return SelectDop(0, title, -1, 0); });
}

int QorMain()
{
    AddProgramUnit(QStringLiteral("calc"), &InitCalc, &DoneCalc);
    RegisterProgramForms();
    return RunProgram();
}
