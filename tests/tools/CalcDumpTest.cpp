// The calculation dump of a small enterprise against the committed
// references (tests/fixtures/calcdump), through the tool itself on a data
// folder built by the calculation's builders. After a change of the
// calculation that is meant, rewrite the references with
// QOR_UPDATE_GOLDEN=1 and commit them on their own.

#include "db/Cursor.h"
#include "support/CalcBuilders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct TRun {
    int code = -1;
    QString out, err;
};

TRun Dump(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QOR_CALCDUMP), args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
        QString::fromUtf8(p.readAllStandardError())};
}

class CalcDumpTest : public CalcTest {
protected:
    static int StoredResults()
    {
        Cursor nc(QStringLiteral("NC"));
        nc.Open();
        return nc.RecordCount();
    }

    qint32 partMonth = 0;
};

TEST_F(CalcDumpTest, FiveEmployeesMatchTheReferences)
{
    partMonth = BuildDumpEnterprise();
    fx.CloseDataBase();

    const TRun all = Dump({fx.DataPath(), QStringLiteral("all")});
    EXPECT_EQ(all.code, 0) << all.err.toStdString();
    ExpectReference(QStringLiteral("calcdump"), QStringLiteral("all.txt"), all.out);
    const TRun one = Dump({fx.DataPath(), QString::number(partMonth)});
    EXPECT_EQ(one.code, 0) << one.err.toStdString();
    ExpectReference(QStringLiteral("calcdump"), QStringLiteral("one.txt"), one.out);
    EXPECT_EQ(Dump({fx.DataPath()}).out, all.out) << "all by default";

    fx.OpenDataBase(true, true);
    EXPECT_EQ(StoredResults(), 0) << "a dump saves nothing";
}

TEST_F(CalcDumpTest, WrongArgumentsAndFoldersAreRefused)
{
    partMonth = BuildDumpEnterprise();
    fx.CloseDataBase();
    QTemporaryDir empty;
    QTemporaryDir broken;
    for (const QString& f : QDir(fx.DataPath()).entryList(QDir::Files))
        QFile::copy(fx.DataPath() + f, broken.path() + QLatin1Char('/') + f);
    QFile::remove(broken.path() + QStringLiteral("/SR.DB"));
    QFile sr(broken.path() + QStringLiteral("/SR.DB"));
    ASSERT_TRUE(sr.open(QIODevice::WriteOnly));
    sr.write(QByteArray(4096, '\x5A'));
    sr.close();

    struct Case {
        const char* name;
        QStringList args;
        int code;
    } cases[] = {
        {"no arguments", {}, 2},
        {"not a number", {fx.DataPath(), QStringLiteral("17a")}, 2},
        {"number 0", {fx.DataPath(), QStringLiteral("0")}, 2},
        {"too many", {fx.DataPath(), QStringLiteral("1"), QStringLiteral("2")}, 2},
        {"no data base", {empty.path()}, 1},
        {"no folder", {empty.path() + QStringLiteral("/none")}, 1},
        {"garbage card table", {broken.path()}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TRun r = Dump(c.args);
        EXPECT_EQ(r.code, c.code) << r.err.toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_EQ(r.out.contains(QStringLiteral("TABNUM;")), false) << r.out.toStdString() << r.err.toStdString();
    }
    EXPECT_TRUE(QDir(empty.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty()) << "nothing made";

    const TRun unknown = Dump({fx.DataPath(), QStringLiteral("999")});
    EXPECT_EQ(unknown.code, 0);
    EXPECT_TRUE(unknown.out.contains(QStringLiteral("Табельный номер [999]"))) << unknown.out.toStdString();
}

} // namespace
