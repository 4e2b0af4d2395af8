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

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>

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

// The peak resident size of the process from now on: the kernel's high-water
// mark is set back to the present size.
inline void ResetPeakResident()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// The peak resident size since the last reset, in MB (0 when unknown).
inline double PeakResidentMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return 0;
}

// "--employees=N" taken out of the arguments (the benchmark library refuses
// options it does not know); fallback when absent.
inline int TakeEmployeesOption(int& argc, char** argv, int fallback)
{
    int value = fallback;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--employees=", 12) == 0)
            value = std::atoi(argv[i] + 12);
        else
            argv[out++] = argv[i];
    }
    argc = out;
    return value > 0 ? value : fallback;
}
