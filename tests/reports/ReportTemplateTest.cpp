#include "foundation/IniFiles.h"
#include "platform/Codec.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "reports/ReportDocument.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

QByteArray ReadAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class ReportTemplateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDefaultPrintBackendMaker([] { return std::make_shared<TRecordingPrintBackend>(); });
    }
    void TearDown() override { SetDefaultPrintBackendMaker(nullptr); }
    QString Path(const QString& name) const { return dir.filePath(name); }
    // A template with two pages, Cyrillic texts, every kind of object.
    void Fill(TDocument& doc)
    {
        doc.SetNameDocument(QStringLiteral("Расчетная ведомость"));
        doc.Category = 3;
        doc.Version = 7;
        doc.DoubleOnSheet = true;
        doc.MarginLeft = 1500;
        doc.Designer.GridSize = 8;
        TPage& p0 = *doc.ActivePage();
        p0.F = true;
        auto add = [&](TPage& p, int type, QRect r, QStringList m) {
            auto v = std::make_unique<TView>(type, &doc);
            v->SetBounds(r);
            v->M = m;
            return p.AddView(std::move(v));
        };
        TView* band = add(p0, vtBand, QRect(0, 100, 700, 40), {QStringLiteral("master memo")});
        band->FT = btMasterData;
        TView* t = add(p0, vtText, QRect(10, 105, 200, 20), {QStringLiteral("Сумма: [V.1]"), QString()});
        t->A = 512 + 136;
        t->FT = 15;
        t->FW = 2;
        t->FP = 0x0A05;
        t->FN = QStringLiteral("Courier New");
        t->FS = 12;
        t->FY = 3;
        t->SC = true;
        add(p0, vtOwnerDraw, QRect(300, 105, 50, 20), {});
        TPage& p1 = *doc.AddPage(1);
        p1.P = true;
        add(p1, vtPicture, QRect(5, 5, 30, 30), {Path(QStringLiteral("missing.bmp"))});
    }
    QTemporaryDir dir;
};

TEST_F(ReportTemplateTest, SavedTemplateReadsBackAndWritesTheSameBytes)
{
    TDocument doc;
    Fill(doc);
    doc.SaveToFile(Path(QStringLiteral("Report")));
    EXPECT_EQ(doc.NameSaveFile, Path(QStringLiteral("Report.dcf")));
    const QByteArray first = ReadAll(Path(QStringLiteral("Report.dcf")));
    const QString text = FromCp1251(first);
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("[Report Description File]\r\nVersion=1\r\n\r\n[COMMON]\r\n"
                                       "SourceVersion=1\r\nCategory=3\r\nNameDocument=\"Расчетная ведомость\"\r\n"
                                       "Version=7\r\nDoubleOnSheet=1\r\nMarginLeft=1500\r\n")))
        << text.left(300).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("[P0V1]\r\nT=0\r\nX=10\r\nY=105\r\nH=20\r\nW=200\r\nSC=1\r\nFT=15\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("MCount=2\r\nM0=\"Сумма: [V.1]\"\r\nM1=\"\"\r\n")));

    TDocument back;
    back.LoadFromFile(Path(QStringLiteral("Report.dcf")));
    EXPECT_TRUE(back.Unmodified);
    ASSERT_EQ(back.PageCount(), 2);
    EXPECT_EQ(back.Page(1)->O, 1);
    EXPECT_TRUE(back.Page(1)->P);
    EXPECT_TRUE(back.Page(0)->F);
    const TView& t = *back.Page(0)->View(1);
    EXPECT_EQ(t.M, QStringList({QStringLiteral("Сумма: [V.1]"), QString()}));
    EXPECT_EQ(std::tie(t.A, t.FT, t.FW, t.FP, t.FS, t.FY, t.SC), std::tuple(512 + 136, 15, 2, 0x0A05, 12, 3, true));
    EXPECT_EQ(t.FN, QStringLiteral("Courier New"));
    // A missing picture file gives the default picture.
    EXPECT_EQ(back.Page(1)->View(0)->Picture, RPDefaultProperties().Picture);
    EXPECT_EQ(back.Designer.GridSize, 8);
    EXPECT_EQ(back.MarginLeft, 1500);

    back.SaveToFile(Path(QStringLiteral("Again.txt")));
    EXPECT_EQ(back.NameSaveFile, Path(QStringLiteral("Again.txt")));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("Again.txt"))), first);
}

TEST_F(ReportTemplateTest, ReaderTakesDefaultsAndRepairsWhatIsOutOfPlace)
{
    // A UTF-8 mark before CP1251 text: the text is read as CP1251.
    WriteAll(Path(QStringLiteral("a.dcf")),
        "\xEF\xBB\xBF[COMMON]\r\nNameDocument=\"" + ToCp1251(QStringLiteral("Ведомость"))
            + "\"\r\n[Designer]\r\nGridSize=6\r\nWState=1\r\nLeft=-500\r\nWidth=10\r\n"
              "[P0]\r\nV.Count=4\r\n"
              "[P0V0]\r\nT=0\r\nX=-20\r\nW=10\r\nFN=\""
            + QByteArray(60, 'F')
            + "\"\r\n"
              "[P0V1]\r\nT=0\r\nX=-5\r\nW=10\r\nY=5000\r\nMCount=99999999\r\nM0=\"a\"\r\n"
              "[P0V2]\r\nT=0\r\nX=9000\r\n"
              "[P0V3]\r\nT=2\r\n");
    TDocument doc;
    doc.LoadFromFile(Path(QStringLiteral("a")));
    // Without P.Count: one page.
    ASSERT_EQ(doc.PageCount(), 1);
    const TPage& p = *doc.Page(0);
    ASSERT_EQ(p.ViewCount(), 4);
    EXPECT_EQ(p.View(0)->X, 0);
    EXPECT_EQ(p.View(0)->FN.size(), 40);
    EXPECT_EQ(p.View(1)->X, -5);
    EXPECT_EQ(p.View(1)->Y, 1123 - 38);
    EXPECT_EQ(p.View(1)->M, QStringList{QStringLiteral("a")});
    EXPECT_EQ(p.View(2)->X, 794 - 38);
    // The reader's defaults, not those of a new object.
    const TView& v = *p.View(3);
    EXPECT_EQ(std::tie(v.H, v.W, v.FW, v.FP, v.FS, v.FT), std::tuple(80, 80, 1, 0, 10, 0));
    EXPECT_EQ(doc.Designer.GridSize, 4);
    EXPECT_EQ(doc.Designer.WState, 0);
    EXPECT_EQ(doc.Designer.Left, 10);
    EXPECT_GT(doc.Designer.Width, 30);
    EXPECT_EQ(doc.NameDocument(), QStringLiteral("Ведомость"));
}

TEST_F(ReportTemplateTest, AFailedLoadKeepsTheOldTemplate)
{
    struct Row {
        const char* name;
        QByteArray text;
        const char* what; // the details after the file's name
    } rows[] = {
        {"no type", "[COMMON]\r\nP.Count=1\r\n[P0]\r\nV.Count=2\r\n[P0V0]\r\nT=0\r\n[P0V1]\r\nX=1\r\n",
            "Лист 1, объект 2: нет описания объекта"},
        {"unknown type", "[COMMON]\r\nP.Count=1\r\n[P0]\r\nV.Count=1\r\n[P0V0]\r\nT=3\r\n",
            "Лист 1, объект 1: неизвестный тип объекта"},
        {"cut short", "[COMMON]\r\nP.Count=2\r\n[P0]\r\n[P1]\r\nV.Count=5\r\n[P1V0]\r\nT=1\r\n",
            "Лист 2, объект 2: нет описания объекта"},
    };
    for (const Row& r : rows) {
        TDocument doc;
        Fill(doc);
        doc.SetActivePage(1);
        WriteAll(Path(QStringLiteral("bad.dcf")), r.text);
        try {
            doc.LoadFromFile(Path(QStringLiteral("bad.dcf")));
            ADD_FAILURE() << r.name << ": no exception";
        } catch (const EAppException& e) {
            EXPECT_EQ(e.Message(),
                QStringLiteral("Поврежден файл-шаблон %1|%2")
                    .arg(Path(QStringLiteral("bad.dcf")), QString::fromUtf8(r.what)))
                << r.name;
        }
        EXPECT_EQ(doc.PageCount(), 2) << r.name;
        EXPECT_EQ(doc.Page(0)->ViewCount(), 3) << r.name;
        EXPECT_EQ(doc.ActivePageIndex(), 1) << r.name;
        EXPECT_EQ(doc.NameDocument(), QStringLiteral("Расчетная ведомость")) << r.name;
    }
}

TEST_F(ReportTemplateTest, PageCountIsCappedByThePagesPresentAndPrefixesNameSections)
{
    WriteAll(Path(QStringLiteral("c.dcf")), "[COMMON]\r\nP.Count=2000000000\r\n[P0]\r\n[P1]\r\nO=1\r\n");
    TDocument doc;
    doc.LoadFromFile(Path(QStringLiteral("c.dcf")));
    EXPECT_EQ(doc.PageCount(), 2);
    EXPECT_EQ(doc.Page(1)->O, 1);

    TMemIniFile ini(QString{});
    Fill(doc);
    doc.WriteToIni(ini, QStringLiteral("X"));
    QStringList sections;
    ini.ReadSections(sections);
    EXPECT_TRUE(sections.contains(QStringLiteral("X")));
    EXPECT_TRUE(sections.contains(QStringLiteral("X Designer")));
    EXPECT_TRUE(sections.contains(QStringLiteral("X P0V1")));
    TDocument other;
    other.ReadFromIni(ini, QStringLiteral("X"));
    EXPECT_EQ(other.PageCount(), doc.PageCount());
    EXPECT_EQ(other.Page(0)->View(1)->M, doc.Page(0)->View(1)->M);
}

TEST_F(ReportTemplateTest, HeaderOnlyStopsAfterTheCommonSection)
{
    TDocument doc;
    Fill(doc);
    doc.SaveToFile(Path(QStringLiteral("h.dcf")));
    TDocument head;
    head.HeaderOnly = true;
    head.LoadFromFile(Path(QStringLiteral("h.dcf")));
    EXPECT_FALSE(head.HeaderOnly);
    EXPECT_EQ(head.Category, 3);
    EXPECT_EQ(head.PageCount(), 1);
    EXPECT_EQ(head.Page(0)->ViewCount(), 0);
}

// Damaged files: whatever the bytes, the reader either loads or refuses
// with its own message, and the document stays usable.
// Far-off objects whose X + W (Y + H) passes the int range are still
// brought back.
TEST_F(ReportTemplateTest, ObjectsFarOffAtTheIntLimitsAreBroughtBack)
{
    WriteAll(Path(QStringLiteral("a.dcf")),
        "[P0]\r\nV.Count=2\r\n"
        "[P0V0]\r\nT=0\r\nX=-2147483600\r\nW=-2147483600\r\nY=-2147483600\r\nH=-2147483600\r\n"
        "[P0V1]\r\nT=0\r\nX=-2147483648\r\nW=2147483647\r\nY=-20\r\nH=2147483647\r\n");
    TDocument doc;
    doc.LoadFromFile(Path(QStringLiteral("a.dcf")));
    const TPage& p = *doc.Page(0);
    EXPECT_EQ(std::tie(p.View(0)->X, p.View(0)->Y), std::tuple(0, 0));
    EXPECT_EQ(std::tie(p.View(1)->X, p.View(1)->Y), std::tuple(0, -20));
}

TEST_F(ReportTemplateTest, CorruptFilesNeverCrashTheReader)
{
    TDocument good;
    Fill(good);
    good.SaveToFile(Path(QStringLiteral("g.dcf")));
    const QByteArray original = ReadAll(Path(QStringLiteral("g.dcf")));
    QRandomGenerator rng(22);
    const QByteArray junk[] = {"[", "]", "=", "\r\n", "\"", "-", "99999999999", "[P0V0]", "T=7", "\0"};
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = original;
        const int edits = 1 + rng.bounded(6);
        for (int e = 0; e < edits; ++e) {
            const int at = rng.bounded(static_cast<int>(bytes.size()));
            switch (rng.bounded(3)) {
            case 0: bytes.remove(at, 1 + rng.bounded(20)); break;
            case 1: bytes.insert(at, junk[rng.bounded(10)]); break;
            default: bytes[at] = static_cast<char>(rng.bounded(256)); break;
            }
        }
        WriteAll(Path(QStringLiteral("r.dcf")), bytes);
        TDocument doc;
        try {
            doc.LoadFromFile(Path(QStringLiteral("r.dcf")));
        } catch (const EAppException& e) {
            EXPECT_TRUE(
                e.Message().startsWith(QStringLiteral("Поврежден файл-шаблон ") + Path(QStringLiteral("r.dcf"))));
        }
        ASSERT_GE(doc.PageCount(), 1);
        doc.DemoData = true;
        doc.Prepare();
        EXPECT_GE(doc.OutputPageCount(), 1);
    }
}

// A picture is read from the template's folder or the program folder only,
// whatever the working folder, a link or ".." would reach; the refused ones
// are named in one warning.
TEST_F(ReportTemplateTest, PicturesComeOnlyFromTheTemplatesOrTheProgramsFolder)
{
    for (const char* sub : {"tpl/sub", "tpl2", "prog", "out"})
        ASSERT_TRUE(QDir(dir.path()).mkpath(QString::fromUtf8(sub)));
    const auto picture = [&](const char* file, Qt::GlobalColor colour) {
        QImage img(2, 2, QImage::Format_RGB32);
        img.fill(colour);
        ASSERT_TRUE(img.save(Path(QString::fromUtf8(file))));
    };
    picture("tpl/pic.png", Qt::red);
    picture("prog/pic.png", Qt::green);
    picture("out/pic.png", Qt::blue);
    picture("tpl2/pic.png", Qt::yellow);
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("out/pic.png")), Path(QStringLiteral("tpl/link.png"))));
    const struct {
        QString name;
        QRgb colour; // 0: the default picture
        bool refused;
    } rows[] = {
        {QStringLiteral("pic.png"), qRgb(255, 0, 0), false}, {QStringLiteral("sub/../pic.png"), qRgb(255, 0, 0), false},
        {QStringLiteral("../prog/pic.png"), qRgb(0, 255, 0), false},
        {Path(QStringLiteral("prog/pic.png")), qRgb(0, 255, 0), false}, {QStringLiteral("missing.png"), 0, false},
        {QStringLiteral("../out/pic.png"), 0, true}, {Path(QStringLiteral("out/pic.png")), 0, true},
        {QStringLiteral("sub/../link.png"), 0, true},
        {QStringLiteral("../tpl2/pic.png"), 0, true}, // a name that begins like the folder's
    };
    QByteArray text = "[P0]\r\nV.Count=" + QByteArray::number(std::size(rows)) + "\r\n";
    QStringList refused;
    for (size_t i = 0; i < std::size(rows); ++i) {
        text += "[P0V" + QByteArray::number(qulonglong(i)) + "]\r\nT=1\r\nMCount=1\r\nM0=\"" + rows[i].name.toUtf8()
            + "\"\r\n";
        if (rows[i].refused)
            refused << QDir::cleanPath(QDir(Path(QStringLiteral("tpl"))).absoluteFilePath(rows[i].name));
    }
    WriteAll(Path(QStringLiteral("tpl/p.dcf")), text);
    const QString savedCwd = QDir::currentPath();
    QDir::setCurrent(Path(QStringLiteral("out"))); // the working folder holds a pic.png too
    SetProgramFolder(Path(QStringLiteral("prog/")));
    TDocument doc;
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning).Details(refused.join(u'\n'));
        doc.LoadFromFile(Path(QStringLiteral("tpl/p.dcf")));
    }
    SetProgramFolder(QString());
    QDir::setCurrent(savedCwd);
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].name.toStdString());
        const QImage& p = doc.Page(0)->View(int(i))->Picture;
        if (rows[i].colour)
            EXPECT_EQ(p.pixel(0, 0), rows[i].colour);
        else
            EXPECT_EQ(p, RPDefaultProperties().Picture);
    }
}

} // namespace
