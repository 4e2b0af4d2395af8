// The headless tool qor_reportrun on a template written here: the PDF's
// pages and texts, one PNG per page of the sheet's size, the scripted data
// in its rows and groups, the errors it stops on, the files it refuses as
// templates, and a print through a CUPS scheduler of the test's own.
#include "reports/ReportDocument.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct TRun {
    int code = -1;
    QString out, err;
};

TRun RunTool(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QOR_REPORTRUN), args);
    TRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Qt may warn before the tool's own line.
QString LastLine(const QString& text) { return text.trimmed().section(QLatin1Char('\n'), -1); }

QString Tool(const QString& program, const QStringList& args, int* code = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished();
    if (code)
        *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput());
}

void WriteText(const QString& name, const QString& text) { WriteFileBytes(name, text.toUtf8()); }

// Sixty rows on two pages of the template below.
QString TwoPagesOfData()
{
    QString data = QStringLiteral("# a payroll sheet\nMonth=январь\n[Основные данные]\nName;Sum\n");
    for (int i = 1; i <= 60; ++i)
        data += QStringLiteral("Иванов %1;%2,00\n").arg(i).arg(i * 10);
    return data;
}

// A CUPS scheduler of the test's own: cupsd on a free loopback port, its
// configuration, spool and logs in a temporary folder, and one queue with
// the generic PDF printer's driver that writes what it prints into a file
// there. Stopped with the test (and with the test's process).
class TOwnCups {
public:
    ~TOwnCups()
    {
        if (cupsd_.state() == QProcess::NotRunning)
            return;
        cupsd_.terminate();
        if (!cupsd_.waitForFinished(10000)) {
            cupsd_.kill();
            cupsd_.waitForFinished(5000);
        }
    }

    // Empty when the queue is ready, else why the scheduler cannot run here.
    QString Start()
    {
        const QStringList sbin = {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")};
        const QString cupsd = QStandardPaths::findExecutable(QStringLiteral("cupsd"), sbin);
        lpadmin_ = QStandardPaths::findExecutable(QStringLiteral("lpadmin"), sbin);
        lpstat_ = QStandardPaths::findExecutable(QStringLiteral("lpstat"));
        const QString ppd = QStringLiteral("/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd");
        if (cupsd.isEmpty() || lpadmin_.isEmpty() || lpstat_.isEmpty() || !QFile::exists(ppd))
            return QStringLiteral("CUPS is not installed (cupsd, lpadmin, lpstat and cups-filters' %1)").arg(ppd);
        const int port = FreePort();
        if (port <= 0)
            return QStringLiteral("no free loopback port for a scheduler");
        server_ = QStringLiteral("127.0.0.1:%1").arg(port);
        const QString root = dir_.path();
        // The filters run as the scheduler's own user and read the spool.
        QFile::setPermissions(root,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
        for (const char* sub : {"spool/tmp", "cache", "state", "log", "ppd"})
            QDir().mkpath(root + QLatin1Char('/') + QLatin1String(sub));
        WriteText(root + QStringLiteral("/cupsd.conf"),
            QStringLiteral("Listen %1\nServerName 127.0.0.1\nBrowsing No\nDefaultAuthType None\nLogLevel info\n"
                           "<Location />\nOrder allow,deny\nAllow 127.0.0.1\n</Location>\n"
                           "<Location /admin>\nOrder allow,deny\nAllow 127.0.0.1\n</Location>\n"
                           "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n")
                .arg(server_));
        WriteText(root + QStringLiteral("/cups-files.conf"),
            QStringLiteral("FileDevice Yes\nServerRoot %1\nRequestRoot %1/spool\nTempDir %1/spool/tmp\n"
                           "CacheDir %1/cache\nStateDir %1/state\nErrorLog %1/log/error_log\n"
                           "AccessLog %1/log/access_log\nPageLog %1/log/page_log\nPrintcap %1/printcap\n")
                .arg(root));
        // It must not outlive the test, even a crashed one.
        cupsd_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        cupsd_.setProcessChannelMode(QProcess::MergedChannels);
        cupsd_.start(cupsd,
            {QStringLiteral("-f"), QStringLiteral("-c"), root + QStringLiteral("/cupsd.conf"), QStringLiteral("-s"),
                root + QStringLiteral("/cups-files.conf")});
        QElapsedTimer t;
        t.start();
        while (!Accepts(port)) {
            if (cupsd_.state() == QProcess::NotRunning || t.elapsed() > 15000)
                return QStringLiteral("the CUPS scheduler did not start: %1 %2")
                    .arg(
                        QString::fromUtf8(cupsd_.readAll()), QString::fromUtf8(ReadFileBytes(root + "/log/error_log")));
            QThread::msleep(100);
        }
        OutputFile = root + QStringLiteral("/printed.pdf");
        int code = -1;
        const QString said = Tool(lpadmin_,
            {QStringLiteral("-h"), server_, QStringLiteral("-p"), Queue, QStringLiteral("-E"), QStringLiteral("-v"),
                QStringLiteral("file://") + OutputFile, QStringLiteral("-P"), ppd},
            &code);
        if (code != 0)
            return QStringLiteral("lpadmin could not add the queue: ") + said;
        return QString();
    }

    // The environment of a program that prints through this scheduler.
    QProcessEnvironment Client() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CUPS_SERVER"), server_);
        // No lpoptions of the user's choose another printer.
        env.insert(QStringLiteral("HOME"), dir_.path());
        // The system's CUPS library keeps caches to the end: a sanitizer
        // build of the tool does not count them as its leaks.
        const QString leaks = dir_.path() + QStringLiteral("/lsan.supp");
        WriteText(leaks, QStringLiteral("leak:libcups.so\n"));
        const QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
        env.insert(QStringLiteral("LSAN_OPTIONS"),
            (lsan.isEmpty() ? QString() : lsan + QLatin1Char(':')) + QStringLiteral("suppressions=") + leaks);
        return env;
    }

    // Waits until the queue has no job left; false after the time.
    bool Idle(int ms) const
    {
        QElapsedTimer t;
        t.start();
        for (; t.elapsed() < ms; QThread::msleep(200)) {
            int code = -1;
            const QString jobs
                = Tool(lpstat_, {QStringLiteral("-h"), server_, QStringLiteral("-o"), Queue}, &code).trimmed();
            if (code == 0 && jobs.isEmpty())
                return true;
        }
        return false;
    }

    QString Log() const { return QString::fromUtf8(ReadFileBytes(dir_.path() + QStringLiteral("/log/error_log"))); }

    const QString Queue = QStringLiteral("QorPdf");
    QString OutputFile;

private:
    static int FreePort()
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        int port = -1;
        if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
            && ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        if (s >= 0)
            ::close(s);
        return port;
    }
    static bool Accepts(int port)
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(quint16(port));
        const bool ok = s >= 0 && ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        if (s >= 0)
            ::close(s);
        return ok;
    }

    QTemporaryDir dir_;
    QProcess cupsd_;
    QString server_, lpadmin_, lpstat_;
};

class ReportRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        TDocument doc;
        doc.SetPrintBackend(std::make_shared<TRecordingPrintBackend>());
        auto add = [&](int type, QRect r, QStringList m, int ft) {
            auto v = std::make_unique<TView>(type, &doc);
            v->SetBounds(r);
            v->M = m;
            v->FT = ft;
            doc.ActivePage()->AddView(std::move(v));
        };
        add(vtBand, QRect(0, 0, 700, 40), {}, btPageHeader);
        add(vtText, QRect(20, 10, 500, 24), {QStringLiteral("Ведомость за [Month]")}, 0);
        add(vtBand, QRect(0, 40, 700, 24), {}, btMasterData);
        add(vtText, QRect(20, 40, 300, 24), {QStringLiteral("[Name] [Sum]")}, 15);
        add(vtBand, QRect(0, 64, 700, 20), {}, btDetailData);
        add(vtText, QRect(40, 64, 300, 20), {QStringLiteral("- [Kind]")}, 0);
        doc.ActivePage()->F = true;
        doc.SaveToFile(Path("run.dcf"));
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir dir;
};

TEST_F(ReportRunTest, ScriptedDataGivesThePdfPagesAndAPngPerPage)
{
    QString data = TwoPagesOfData();
    data += QStringLiteral("[Detail data]\nKind\nПремия\nОтпуск\n--\n--\nБольничный\n");
    WriteText(Path("run.txt"), data);

    const QString out = Path("out/sheet");
    QDir().mkpath(Path("out"));
    const TRun r = RunTool({Path("run.dcf"), out, QStringLiteral("--data"), Path("run.txt")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("2 pages\n"));

    EXPECT_TRUE(Tool(QStringLiteral("pdfinfo"), {out + QStringLiteral(".pdf")})
                    .contains(QRegularExpression(QStringLiteral("Pages: +2\n"))));
    const QString text = Tool(QStringLiteral("pdftotext"), {out + QStringLiteral(".pdf"), QStringLiteral("-")});
    EXPECT_EQ(text.count(QStringLiteral("Ведомость за январь")), 2);
    // The groups of detail rows follow the first and the third master row.
    const QString first = text.section(QLatin1Char('\f'), 0, 0);
    const QRegularExpression order(
        QStringLiteral("Иванов 1 10,00\\s+- Премия\\s+- Отпуск\\s+Иванов 2 20,00\\s+Иванов 3 30,00\\s+- Больничный\\s+"
                       "Иванов 4 40,00"));
    EXPECT_TRUE(first.contains(order)) << first.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("- ")), 3);
    EXPECT_TRUE(text.section(QLatin1Char('\f'), 1, 1).contains(QStringLiteral("Иванов 60 600,00")));

    for (int page = 1; page <= 2; ++page) {
        const QString png = QStringLiteral("%1-%2.png").arg(out).arg(page);
        QImage img(png);
        ASSERT_FALSE(img.isNull()) << png.toStdString();
        // The engine's A4 sheet in report pixels (96 per inch, rounded down).
        EXPECT_EQ(img.size(), QSize(793, 1123));
        if (page == 1) {
            // The row's left and right frame lines, white beside them.
            EXPECT_EQ(img.pixel(20, 50), qRgb(0, 0, 0));
            EXPECT_EQ(img.pixel(320, 50), qRgb(0, 0, 0));
            EXPECT_EQ(img.pixel(600, 50), qRgb(0xFF, 0xFF, 0xFF));
            QDir().mkpath(TestArtifactsDir());
            img.save(TestArtifactsDir() + QStringLiteral("/reportrun-page1.png"));
        }
    }
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("-3.png")));
}

TEST_F(ReportRunTest, WithoutDataTheDemoRowsFillOnePage)
{
    const TRun r = RunTool({Path("run.dcf")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("1 pages\n"));
    const QString text = Tool(QStringLiteral("pdftotext"), {Path("run.pdf"), QStringLiteral("-")});
    // Five master rows of three details each; nobody answers the names.
    EXPECT_EQ(text.count(QStringLiteral("[Name] [Sum]")), 5) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("- [Kind]")), 15);
    EXPECT_EQ(QImage(Path("run-1.png")).size(), QSize(793, 1123));
}

TEST_F(ReportRunTest, BadInputStopsWithItsReasonAndNoPages)
{
    const struct {
        const char* data;
        const char* error;
    } cases[] = {
        {"[Master data]\nName;Sum\nИванов\n", "run.txt:3: 1 values for 2 fields"},
        {"[Footer]\nName\n", "run.txt:1: not a data band: [Footer]"},
        {"Month\n", "run.txt:1: expected Name=Value or [band name]"},
        {"[Master data]\nName\n--\n", "run.txt:3: \"--\" only splits Detail and Subdetail rows"},
        {"[5]\nName\n[Master data]\n", "run.txt:3: the band is given twice: [Master data]"},
    };
    for (const auto& c : cases) {
        WriteText(Path("run.txt"), QString::fromUtf8(c.data));
        const TRun r = RunTool({Path("run.dcf"), QStringLiteral("-d"), Path("run.txt")});
        EXPECT_EQ(r.code, 1) << c.data;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.error))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(Path("run-1.png")));
    }

    // An object of an unknown type in the template.
    WriteFileBytes(Path("run.dcf"), ReadFileBytes(Path("run.dcf")).replace("\nT=0", "\nT=3"));
    const TRun r = RunTool({Path("run.dcf")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(
        QStringLiteral("Поврежден файл-шаблон %1: Лист 1, объект 2: неизвестный тип объекта").arg(Path("run.dcf"))))
        << r.err.toStdString();
}

TEST_F(ReportRunTest, AFileThatHoldsNoTemplateIsRefusedByName)
{
    const QByteArray good = ReadFileBytes(Path("run.dcf"));
    const qsizetype common = good.indexOf("[COMMON]");
    ASSERT_GT(common, 0);
    QByteArray random(4096, '\0');
    QRandomGenerator gen(36);
    for (char& c : random)
        c = char(gen.bounded(256));
    QByteArray utf16("\xFF\xFE");
    for (const QChar c : QString::fromLatin1(good))
        utf16 += QByteArray::fromRawData(reinterpret_cast<const char*>(&c), 2);
    QDir().mkpath(Path("folder.dcf"));
    const struct {
        const char* file;
        QByteArray bytes; // not written when null
        const char* error;
    } cases[] = {
        {"missing.dcf", QByteArray(), "no such file"},
        {"folder.dcf", QByteArray(), "not a report template"},
        {"empty.dcf", QByteArray(""), "not a report template"},
        {"random.dcf", random, "not a report template"},
        {"program.dcf", ReadFileBytes(QStringLiteral(QOR_REPORTRUN)), "not a report template"},
        {"utf16.dcf", utf16, "not a report template"},
        {"cut-first.dcf", good.left(common / 2), "not a report template"},
        {"cut-common.dcf", good.left(common + 20), "not a report template"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (!c.bytes.isNull())
            WriteFileBytes(Path(c.file), c.bytes);
        const TRun r = RunTool({Path(c.file), Path("out")});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(
            LastLine(r.err), QStringLiteral("qor_reportrun: %1: %2").arg(Path(c.file), QString::fromUtf8(c.error)))
            << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_FALSE(QFile::exists(Path("out.pdf")));
    }

    // A template under a name of several dots keeps all but the last.
    ASSERT_TRUE(QFile::copy(Path("run.dcf"), Path("my.report.dcf")));
    const TRun r = RunTool({Path("my.report.dcf")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(Path("my.report.pdf")));
    EXPECT_TRUE(QFile::exists(Path("my.report-1.png")));
}

TEST_F(ReportRunTest, TwoPagesPrintThroughCupsIntoAPdfQueue)
{
    TOwnCups cups;
    const QString why = cups.Start();
    if (!why.isEmpty())
        GTEST_SKIP() << "no CUPS scheduler here: " << why.toStdString();
    WriteText(Path("run.txt"), TwoPagesOfData());
    const TRun r = RunTool({Path("run.dcf"), Path("cups"), QStringLiteral("--data"), Path("run.txt"),
                               QStringLiteral("--printer"), cups.Queue},
        cups.Client());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("2 pages\n"));
    EXPECT_FALSE(QFile::exists(Path("cups.pdf"))) << "printed, not written";
    ASSERT_TRUE(cups.Idle(60000)) << cups.Log().toStdString();
    ASSERT_TRUE(QFile::exists(cups.OutputFile)) << cups.Log().toStdString();
    EXPECT_TRUE(
        Tool(QStringLiteral("pdfinfo"), {cups.OutputFile}).contains(QRegularExpression(QStringLiteral("Pages: +2\n"))));
    const QString text = Tool(QStringLiteral("pdftotext"), {cups.OutputFile, QStringLiteral("-")});
    const QString first = text.section(QLatin1Char('\f'), 0, 0), second = text.section(QLatin1Char('\f'), 1, 1);
    EXPECT_TRUE(first.contains(QStringLiteral("Ведомость за январь"))) << text.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("Иванов 1 10,00")));
    EXPECT_TRUE(second.contains(QStringLiteral("Ведомость за январь")));
    EXPECT_TRUE(second.contains(QStringLiteral("Иванов 60 600,00")));
    // An unknown queue is said, and nothing is printed.
    const TRun none = RunTool(
        {Path("run.dcf"), Path("cups"), QStringLiteral("--printer"), QStringLiteral("Nobody")}, cups.Client());
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(LastLine(none.err), QStringLiteral("qor_reportrun: Nobody: no such printer")) << none.err.toStdString();
}

} // namespace
