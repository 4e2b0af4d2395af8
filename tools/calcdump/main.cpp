// qor_calcdump [--names] <data folder> [<personnel number> | all]
// Opens the data base as the program does (its settings, its working
// date), prints the calculation dump (CalcDump.h) on stdout as UTF-8;
// --names adds the employees' names, the period and the rows' captions.
// Exit code: 0 dumped, 1 the data base could not be opened, 2 wrong
// arguments, 3 dumped, but an employee asked for could not be calculated
// (not found, or stopped by an error: see the error lines).

#include "CalcDump.h"

#include "calc/CalcContext.h"
#include "data/DBSetup.h"
#include "data/Startup.h"
#include "foundation/IniPersist.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void Print(FILE* to, const QString& line)
{
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

int Usage()
{
    Print(stderr, QStringLiteral("usage: qor_calcdump [--names] <data folder> [<personnel number> | all]"));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    TCalcDumpRequest request;
    request.Names = args.removeAll(QStringLiteral("--names")) > 0;
    if (args.isEmpty() || args.size() > 2)
        return Usage();
    if (args.size() == 2 && args[1] != QLatin1String("all")) {
        bool ok = false;
        request.TabNum = args[1].toInt(&ok);
        if (!ok || request.TabNum < 1)
            return Usage();
    }
    // Start-up would make a new data base in a folder that is not there.
    const QDir folder(args[0]);
    if (!folder.exists() || folder.entryList({QStringLiteral("SR.DB")}, QDir::Files).isEmpty()) {
        Print(stderr, QStringLiteral("qor_calcdump: no data base in \"%1\"").arg(args[0]));
        return 1;
    }

    // A program folder of its own: the user's program INI stays untouched.
    QTemporaryDir program;
    SetProgramFolder(program.path() + QLatin1Char('/'));
    IniSavingEnabled = false;
    int code = 0;
    try {
        StartUp(TStartStep::Globals);
        WriteDataAlias(folder.absolutePath() + QLatin1Char('/'));
        InitCalc();
        StartUp(TStartStep::DataModule);
        // Printed only when whole: a run that fails halfway prints no rows.
        QStringList lines;
        const int failed = CalcDump(request, [&lines](const QString& line) { lines << line; });
        for (const QString& line : lines)
            Print(stdout, line);
        if (failed > 0) {
            Print(stderr, QStringLiteral("qor_calcdump: %1 employee(s) could not be calculated").arg(failed));
            code = 3;
        }
    } catch (const Exception& e) {
        Print(stderr, QStringLiteral("qor_calcdump: ") + e.Message());
        code = 1;
    } catch (const ProgramExit& e) {
        code = e.Code() != 0 ? e.Code() : 1;
    }
    ShutDown();
    DoneCalc();
    return code;
}
