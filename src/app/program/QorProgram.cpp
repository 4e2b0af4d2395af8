#include "app/program/QorProgram.h"

#include "calc/CalcContext.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/Program.h"
#include "desk/Brows.h"
#include "desk/NewEmploy.h"
#include "desk/TabnEdit.h"

void RegisterProgramForms()
{
    RegisterForm("FormTabnEdit", [] { return new TFormTabnEdit(); });
    RegisterForm("FormNewEmploy", [] { return new TFormNewEmploy(); });
    RegisterForm("FormBrows", [] { return new TFormBrows(); });
}

int QorMain()
{
    AddProgramUnit(QStringLiteral("calc"), &InitCalc, &DoneCalc);
    RegisterProgramForms();
    return RunProgram();
}
