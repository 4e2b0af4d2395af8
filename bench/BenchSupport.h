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

#include <benchmark/benchmark.h>

#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

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

// Keeps each benchmark's best real and processor time over its runs
// (--benchmark_repetitions=N, best with --benchmark_enable_random_interleaving):
// on a shared machine the best run is the one least disturbed. Names are
// taken up to the first "/".
class BestTimesReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred || r.run_type != Run::RT_Iteration)
                continue;
            const QString name = QString::fromStdString(r.benchmark_name()).section(QLatin1Char('/'), 0, 0);
            const auto keep = [&name](QMap<QString, double>& best, double v) {
                best[name] = best.contains(name) ? std::min(best[name], v) : v;
            };
            keep(real, r.GetAdjustedRealTime());
            keep(cpu, r.GetAdjustedCPUTime());
        }
    }
    QMap<QString, double> real;
    QMap<QString, double> cpu; // of the benchmark's thread: without its waits for the disk
};

// A checksum of a benchmark's results kept from a run of the code before
// it was made faster, by size.
struct GoldenChecksum {
    int employees;
    quint64 checksum;
};

// Prints the checksum of every run ("label: <hex> (as kept)"); 1 when the
// runs disagree or differ from the kept figure of this size, else 0.
inline int CheckChecksums(
    const char* label, const std::vector<quint64>& runs, const std::vector<GoldenChecksum>& kept, int employees)
{
    if (runs.empty())
        return 0;
    std::printf("%s: %016llx", label, static_cast<unsigned long long>(runs.front()));
    for (quint64 c : runs)
        if (c != runs.front()) {
            std::printf(" -- the runs DIFFER (%016llx)!\n", static_cast<unsigned long long>(c));
            return 1;
        }
    for (const GoldenChecksum& g : kept) {
        if (g.employees != employees)
            continue;
        if (g.checksum == runs.front()) {
            std::printf(" (as kept)\n");
            return 0;
        }
        std::printf(" -- DIFFERS from the kept %016llx!\n", static_cast<unsigned long long>(g.checksum));
        return 1;
    }
    std::printf(" (no figure kept for this size)\n");
    return 0;
}
