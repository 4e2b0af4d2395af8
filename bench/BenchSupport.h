#pragma once
// What the benchmarks share: a fresh data base in a temporary program
// folder, and a message service that answers every question with its first
// button and keeps the errors, so that a refused operation stops a
// benchmark instead of timing nothing.

#include "calc/CalcContext.h"
#include "data/DBSetup.h"
#include "data/Startup.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"
#include "platform/ProgramFolder.h"

#include <QStringList>
#include <QTemporaryDir>

class YesMessages final : public IMessageService {
public:
    int Show(const MessageRequest& request) override
    {
        if (request.kind == MsgKind::Error || request.kind == MsgKind::ErrorChoice)
            errors << request.Describe();
        return request.buttons.isEmpty() ? request.defaultButton : request.buttons.first().result;
    }
    bool Input(const MessageRequest&, Variant&) override { return false; }
    QStringList errors;
};

// The program folder's data base created and opened, nothing saved to INI.
inline void OpenFreshDataBase(const QTemporaryDir& program)
{
    SetProgramFolder(program.path() + QLatin1Char('/'));
    IniSavingEnabled = false;
    StartUp(TStartStep::Globals);
    WriteDataAlias(program.path() + QStringLiteral("/DB/"));
    InitCalc();
    StartUp(TStartStep::DataModule);
}
