// The headless tool qor_reportrun on a template written here: the PDF's
// pages and texts, one PNG per page of the sheet's size, the scripted data
// in its rows and groups, and the errors it stops on.
#include "reports/ReportDocument.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

struct TRun {
    int code = -1;
    QString out, err;
};

TRun RunTool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QOR_REPORTRUN), args);
    TRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString Tool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}

void WriteText(const QString& name, const QString& text)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

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
    QString data = QStringLiteral("# a payroll sheet\nMonth=январь\n[Основные данные]\nName;Sum\n");
    for (int i = 1; i <= 60; ++i)
        data += QStringLiteral("Иванов %1;%2,00\n").arg(i).arg(i * 10);
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
    QFile f(Path("run.dcf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray dcf = f.readAll();
    f.close();
    dcf.replace("\nT=0", "\nT=3");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(dcf);
    f.close();
    const TRun r = RunTool({Path("run.dcf")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Тип не соответствует"))) << r.err.toStdString();
}

} // namespace
