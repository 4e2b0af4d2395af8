// Each write operation of the data layer is killed (SIGKILL) after chosen
// table-layer calls; the next start of the program must find the data base
// exactly as it was before the operation or as the operation leaves it.
// QOR_CRASH_ALL=1 kills at every call instead of a spread of points.

#include "CrashOperations.h"

#include "support/DataFolderFixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kDefaultKillPoints = 24;
constexpr long kTailKillPoints = 6;

struct HelperRun {
    bool killed = false;
    int exitCode = -1;
    QString out;
    QString err;
};

std::unique_ptr<QProcess> StartHelper(const QStringList& args)
{
    auto p = std::make_unique<QProcess>();
    p->start(QStringLiteral(QOR_CRASH_HELPER), args);
    return p;
}

HelperRun Finish(QProcess& p)
{
    HelperRun r;
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("helper timed out");
        return r;
    }
    r.killed = p.exitStatus() == QProcess::CrashExit;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

HelperRun RunHelper(const QStringList& args) { return Finish(*StartHelper(args)); }

// Kills and starts run side by side; each helper waits for its disk.
constexpr int kParallel = 4;

// Work on a memory file system when there is one: a kill does not depend on
// the disk's syncs, and they are most of the time of a start.
QString WorkBase()
{
    const QString shm = QStringLiteral("/dev/shm");
    return QFileInfo(shm).isDir() && QFileInfo(shm).isWritable() ? shm : QDir::tempPath();
}

void CopyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(path);
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else
            ASSERT_TRUE(QFile::copy(path, target)) << target.toStdString();
    }
}

// The one place the test uses the program's start-up: a fresh data base
// made as a first start makes it, copied into a program folder of ours.
void MakeFreshProgramFolder(const QString& programFolder)
{
    DataFolderFixture fx;
    fx.OpenDataBase();
    fx.CloseDataBase();
    CopyTree(fx.DataPath(), programFolder + QStringLiteral("DB"));
}

// The next start: the helper starts up on the folder (so whatever the
// start-up mends is mended) and dumps the data folder into a file.
std::unique_ptr<QProcess> StartDump(const QString& programFolder)
{
    return StartHelper({QStringLiteral("dump"), programFolder, programFolder + QStringLiteral("dump.txt")});
}

// The state that start found; a failed start is a failure. `report`: what
// the start tells of an interrupted operation.
QString StateFound(QProcess& dump, const QString& programFolder, QString* failure, QString* report = nullptr)
{
    const HelperRun r = Finish(dump);
    if (r.killed || r.exitCode != 0)
        *failure = QStringLiteral("the start-up failed (exit %1):\n%2").arg(r.exitCode).arg(r.err);
    if (report != nullptr)
        *report = r.out.section(QStringLiteral("report "), 1).trimmed();
    QFile f(programFolder + QStringLiteral("dump.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

QString StateAfterStart(const QString& programFolder, QString* failure)
{
    return StateFound(*StartDump(programFolder), programFolder, failure);
}

QList<long> KillPoints(long calls)
{
    const int wanted = kDefaultKillPoints;
    QList<long> points;
    if (qEnvironmentVariableIntValue("QOR_CRASH_ALL") == 1 || calls <= wanted) {
        for (long n = 1; n <= calls; ++n)
            points << n;
        return points;
    }
    for (int i = 0; i < wanted; ++i) {
        const long n = 1 + long(i) * (calls - 1) / (wanted - 1);
        if (points.isEmpty() || points.last() != n)
            points << n;
    }
    // The last calls are where an operation commits and then writes what
    // lies outside the tables (the INI, a mark's removal).
    for (long n = std::max(1L, calls - kTailKillPoints); n < calls; ++n) {
        if (!points.contains(n))
            points << n;
    }
    std::sort(points.begin(), points.end());
    return points;
}

// The lines of a state found in neither expected state.
QString StrayLines(const QString& found, const QString& before, const QString& after)
{
    const QStringList b = before.split(QLatin1Char('\n'));
    const QStringList a = after.split(QLatin1Char('\n'));
    const QSet<QString> known(b.begin(), b.end());
    QSet<QString> all = known;
    all.unite(QSet<QString>(a.begin(), a.end()));
    QStringList out;
    for (const QString& line : found.split(QLatin1Char('\n'))) {
        if (!all.contains(line) && out.size() < 12)
            out << line;
    }
    return out.join(QLatin1Char('\n'));
}

struct KillFigures {
    long calls = 0;
    int killed = 0, asBefore = 0, asAfter = 0;
    QStringList between; // what a start found that was neither
    QStringList untrue; // reports of an interrupted operation the data contradict
};

// Whether the start's report of the interrupted operation is true of the
// state it found; an operation that names itself is named until it is done.
bool ReportTrue(const CrashOperation& op, const QString& report, bool asBefore, bool asAfter)
{
    static const QStringList named{
        QStringLiteral("Restore"), QStringLiteral("DepartmentCalculation"), QStringLiteral("Import")};
    if (report.isEmpty())
        return asAfter || !named.contains(QString::fromLatin1(op.name));
    if (report.contains(QStringLiteral("Состояние данных: данные остались прежними")))
        return asBefore;
    if (report.contains(QStringLiteral("Состояние данных: данные заменены новыми целиком")))
        return asAfter;
    return true;
}

// Prepares the operation's fixture, runs it whole, then kills it at the
// chosen calls and starts up after each kill.
void KillEverywhere(const CrashOperation& op, KillFigures& f)
{
    QTemporaryDir work(WorkBase() + QStringLiteral("/qor_crash-XXXXXX"));
    ASSERT_TRUE(work.isValid());
    const QString fixture = work.path() + QStringLiteral("/fixture/");
    MakeFreshProgramFolder(fixture);
    const HelperRun setUp = RunHelper({QStringLiteral("setup"), QString::fromLatin1(op.name), fixture});
    ASSERT_EQ(setUp.exitCode, 0) << setUp.err.toStdString();

    QString failure;
    const QString beforeFolder = work.path() + QStringLiteral("/before/");
    CopyTree(fixture, beforeFolder);
    const QString before = StateAfterStart(beforeFolder, &failure);
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();

    const QString afterFolder = work.path() + QStringLiteral("/after/");
    CopyTree(fixture, afterFolder);
    const HelperRun whole = RunHelper({QStringLiteral("run"), QString::fromLatin1(op.name), afterFolder});
    ASSERT_EQ(whole.exitCode, 0) << whole.err.toStdString();
    ASSERT_TRUE(whole.out.startsWith(QStringLiteral("calls "))) << whole.out.toStdString();
    f.calls = whole.out.mid(6).trimmed().toLong();
    ASSERT_GT(f.calls, 0);
    const QString after = StateAfterStart(afterFolder, &failure);
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
    if (!op.opensDataBase) {
        ASSERT_NE(before, after) << "the operation changed nothing";
    }

    const QList<long> points = KillPoints(f.calls);
    for (qsizetype first = 0; first < points.size(); first += kParallel) {
        const QList<long> batch = points.mid(first, kParallel);
        QStringList folders;
        std::vector<std::unique_ptr<QProcess>> runs;
        for (const long n : batch) {
            folders << work.path() + QStringLiteral("/kill%1/").arg(n);
            CopyTree(fixture, folders.last());
            runs.push_back(
                StartHelper({QStringLiteral("run"), QString::fromLatin1(op.name), folders.last(), QString::number(n)}));
        }
        std::vector<std::unique_ptr<QProcess>> dumps;
        for (size_t i = 0; i < runs.size(); ++i) {
            const HelperRun r = Finish(*runs[i]);
            ASSERT_TRUE(r.killed) << "not killed after call " << batch[i] << " (exit " << r.exitCode
                                  << "): " << r.err.toStdString();
            ++f.killed;
            dumps.push_back(StartDump(folders[int(i)]));
        }
        for (size_t i = 0; i < dumps.size(); ++i) {
            SCOPED_TRACE(QStringLiteral("killed after call %1 of %2").arg(batch[i]).arg(f.calls).toStdString());
            QString report;
            const QString found = StateFound(*dumps[i], folders[int(i)], &failure, &report);
            ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
            if (!ReportTrue(op, report, found == before, found == after))
                f.untrue << QStringLiteral("killed after call %1: %2").arg(batch[i]).arg(report);
            // An operation of the start-up is finished by the next start:
            // there, before and after are the same state.
            if (found == after)
                ++f.asAfter;
            else if (found == before)
                ++f.asBefore;
            else
                f.between << QStringLiteral("killed after call %1; lines of neither:\n%2")
                                 .arg(batch[i])
                                 .arg(StrayLines(found, before, after));
            QDir(folders[int(i)]).removeRecursively();
        }
    }
}

class CrashSafety : public ::testing::TestWithParam<CrashOperation> {};

TEST_P(CrashSafety, KilledAtAnyCallTheNextStartFindsTheStateBeforeOrAfter)
{
    const CrashOperation& op = GetParam();
    KillFigures f;
    KillEverywhere(op, f);
    std::printf("[ crash    ] %s: %ld calls, killed at %d, found as before %d, as after %d, neither %d\n", op.name,
        f.calls, f.killed, f.asBefore, f.asAfter, int(f.between.size()));
    EXPECT_GT(f.killed, 0);
    EXPECT_TRUE(f.between.isEmpty()) << f.between.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(f.untrue.isEmpty()) << f.untrue.join(QLatin1Char('\n')).toStdString();
}

// Two writes that do not belong together: the harness must see the state
// between them, or it proves nothing.
TEST(CrashHarness, SeesTheStateBetweenTwoSeparateWrites)
{
    KillFigures f;
    KillEverywhere(CrashSelfCheckOperation(), f);
    EXPECT_GT(f.asBefore, 0);
    EXPECT_GT(f.asAfter, 0);
    EXPECT_FALSE(f.between.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Operations, CrashSafety, ::testing::ValuesIn(CrashOperations()),
    [](const ::testing::TestParamInfo<CrashOperation>& info) { return std::string(info.param.name); });

} // namespace
