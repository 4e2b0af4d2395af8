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

#include <map>

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

    // Employee 5 has no calendar: dumped with his error lines, and said so.
    const TRun all = Dump({fx.DataPath(), QStringLiteral("all")});
    EXPECT_EQ(all.code, 3) << all.err.toStdString();
    EXPECT_TRUE(all.err.contains(QStringLiteral("1 employee(s) could not be calculated"))) << all.err.toStdString();
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
    EXPECT_EQ(unknown.code, 3);
    EXPECT_TRUE(unknown.out.contains(QStringLiteral("Табельный номер [999]"))) << unknown.out.toStdString();
}

TEST_F(CalcDumpTest, NamesGiveTheEmployeeThePeriodAndEachRowsCaption)
{
    partMonth = BuildDumpEnterprise();
    fx.CloseDataBase();
    const TRun plain = Dump({fx.DataPath(), QString::number(partMonth)});
    const TRun named = Dump({QStringLiteral("--names"), fx.DataPath(), QString::number(partMonth)});
    EXPECT_EQ(named.code, 0) << named.err.toStdString();
    const QStringList rows = plain.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList lines = named.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), rows.size() + 1) << named.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("TABNUM;DOPNUM;NAME;DTIME;SUM"));
    EXPECT_EQ(
        lines[1].toStdString(), QStringLiteral("# %1 Иванов Иван Иванович, Март 2024").arg(partMonth).toStdString());
    // The same rows, each with its caption after the number.
    const std::map<QString, QString> captions = {{QStringLiteral("250"), QStringLiteral("Надбавка")},
        {QStringLiteral("310"), QStringLiteral("Профвзнос")}, {QStringLiteral("2147483646"), QStringLiteral("999")},
        {QStringLiteral("2147483644"), QStringLiteral("997")}, {QStringLiteral("2147483639"), QStringLiteral("992")}};
    int found = 0;
    for (int i = 1; i < rows.size(); ++i) {
        QStringList f = lines[i + 1].split(QLatin1Char(';'));
        ASSERT_EQ(f.size(), 5) << lines[i + 1].toStdString();
        const QString caption = f.takeAt(2);
        EXPECT_EQ(f.join(QLatin1Char(';')).toStdString(), rows[i].toStdString());
        if (const auto c = captions.find(f[1]); c != captions.end()) {
            EXPECT_EQ(caption.toStdString(), c->second.toStdString()) << f[1].toStdString();
            ++found;
        }
    }
    EXPECT_EQ(found, int(captions.size()));
}

} // namespace
