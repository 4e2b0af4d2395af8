// The program under the crash harness: performs one write operation of the
// data layer on a copy of a fixture data base and may be killed in the
// middle of it.
//
//   qor_crash_helper setup <operation> <program folder>
//   qor_crash_helper run <operation> <program folder> [kill at call N]
//       prints "calls <count>" when the operation ran to its end
//   qor_crash_helper dump <program folder> <file>
//       starts up as the program does and writes the data folder's dump
//
// Messages go to stderr; questions are answered "Да". Exit codes: 0 done,
// 3 the dump's start-up showed an error, 4 an exception, 5 the program
// ended itself, 2 wrong arguments.

#include "CrashOperations.h"
#include "TableDump.h"

#include "archive/SaveRest.h"
#include "calc/CalcContext.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/FolderRecovery.h"
#include "data/Globals.h"
#include "db/CallHook.h"
#include "foundation/DateFuncs.h"
#include "foundation/Messages.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// Every process of a run sees the same day, so dated rows compare.
class FixedDayClock final : public IClock {
public:
    TDateTime Now() override { return EncodeDate(2024, 3, 15) + 0.5; }
    uint32_t TickCount() override
    {
        using namespace std::chrono;
        return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
};

class AnsweringMessages final : public IMessageService {
public:
    int errors = 0;

    int Show(const MessageRequest& r) override
    {
        if (r.kind == MsgKind::Error || r.kind == MsgKind::ErrorChoice)
            ++errors;
        std::fprintf(
            stderr, "message %s: %s|%s\n", qPrintable(MsgKindName(r.kind)), qPrintable(r.title), qPrintable(r.details));
        if (r.kind == MsgKind::Question) {
            for (const MsgButton& b : r.buttons) {
                if (b.caption == QStringLiteral("Да"))
                    return b.result;
            }
        }
        return r.escAnswer;
    }
    bool Input(const MessageRequest& r, Variant&) override
    {
        ++errors;
        std::fprintf(stderr, "input asked: %s\n", qPrintable(r.details));
        return false;
    }
};

long g_calls = 0;
long g_killAt = 0;

void CountCall(DbCall)
{
    if (++g_calls == g_killAt)
        std::raise(SIGKILL);
}

// The one place that knows the program's start-up order: up to the data
// base's opening, then (when asked) the opening, the data module and the
// built-in accrual kinds.
void StartUp(const QString& programFolder, bool openDataBase)
{
    SetProgramFolder(programFolder);
    InitGlobals();
    WriteDataAlias(programFolder + QStringLiteral("DB/"));
    InitDBSetup();
    ReloadUserSettings();
    LoadDataConfiguration();
    ReadErrorsSection();
    InitAppContext();
    InitCalc();
    if (!openDataBase)
        return;
    OpenDataBase();
    CreateDataModule();
    DNList()->GenerateConstDops();
}

// The archive folder as the next save or restore finds it, once it has
// finished a swap cut short: its files, tables, service files' contents.
QString DumpArchiveFolder(const QString& folder)
{
    if (!QFileInfo(folder).isDir())
        return QString();
    RecoverRestore(folder);
    const TArcHiveInfo hive = ReadArcHiveIni(folder);
    return QStringLiteral("archive\n") + DumpDataFolder(folder)
        + QStringLiteral("hive %1 %2 %3 %4\n")
              .arg(DtoS(hive.CurrentDate), hive.CurrentTime, DtoS(hive.DataDate))
              .arg(hive.SuccsessOperation)
        + QStringLiteral("list %1\n").arg(ReadArcInc(folder + ArcIncName()).join(QStringLiteral(", ")));
}

// No shutdown: what it might write is not part of the operation, and a
// killed copy would never write it either.
[[noreturn]] void Finish(int code)
{
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(code);
}

int Usage()
{
    std::fprintf(stderr,
        "usage: qor_crash_helper setup|run <operation> <program folder> [kill at]\n"
        "       qor_crash_helper dump <program folder> <file>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return Usage();
    FixedDayClock clock;
    SetClock(&clock);
    AnsweringMessages messages;
    SetMessageService(&messages);
    const QString mode = args[1];
    try {
        if (mode == QStringLiteral("dump")) {
            StartUp(args[2], true);
            QFile out(args[3]);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return 4;
            // The working date belongs to the state: tables of a new month
            // with the old month's date are a state between.
            out.write(
                (DumpDataFolder(GetDataPath()) + QStringLiteral("workdate %1\n").arg(DtoS(Cfg.Workdate))).toUtf8());
            out.write(DumpArchiveFolder(args[2] + QStringLiteral("ARC/")).toUtf8());
            out.close();
            // What the start would tell the clerk of an interrupted operation.
            std::printf("report %s\n", qPrintable(InterruptedOperationReport().replace(QStringLiteral("\r\n"), "; ")));
            Finish(messages.errors > 0 ? 3 : 0);
        }
        const CrashOperation* op = FindCrashOperation(args[2]);
        if (!op || (mode != QStringLiteral("setup") && mode != QStringLiteral("run")))
            return Usage();
        if (mode == QStringLiteral("setup")) {
            StartUp(args[3], true);
            if (op->setUp)
                op->setUp();
            Finish(0);
        }
        StartUp(args[3], !op->opensDataBase);
        g_killAt = args.size() > 4 ? args[4].toLong() : 0;
        SetDbCallHook(CountCall);
        op->run();
        SetDbCallHook(nullptr);
        std::printf("calls %ld\n", g_calls);
        Finish(0);
    } catch (const ProgramExit& e) {
        std::fprintf(stderr, "program exit %d\n", e.Code());
        Finish(5);
    } catch (const Exception& e) {
        std::fprintf(stderr, "exception: %s\n", qPrintable(e.Message()));
        Finish(4);
    }
}
