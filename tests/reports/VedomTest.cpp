// The document catalogue file: descriptors and sections of a kind, the
// file's bytes, deleting a section in the middle, and damaged entries.

#include "reports/Vedom.h"

#include "data/Globals.h"
#include "foundation/IniFiles.h"
#include "platform/Codec.h"
#include "platform/Exceptions.h"
#include "support/Checks.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray ReadBytes(const QString& name)
{
    QFile f(name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    return f.readAll();
}

void WriteBytes(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A CatList.cfg in CRLF and CP1251 exactly as the catalogue writes it:
// kind 2 with three user sections (4, 5, 6) and documents under 1, 4 and 6.
QByteArray KindTwoFile()
{
    return ToCp1251(QStringLiteral("[Categories2]\r\nCount=3\r\nS0=Банк\r\nS1=Пустой\r\nS2=Архив\r\n\r\n"
                                   "[Category2]\r\nCount=3\r\n"
                                   "I0Name=Ведомость\r\nI0Num=1\r\nI0Tip=31\r\nI0Category=1\r\n"
                                   "I0Template=RasVed.dcf\r\nI0RVNum=-1\r\nI0Cond=0\r\nI0VedRnd=0\r\n"
                                   "I1Name=В банк\r\nI1Num=2\r\nI1Tip=42\r\nI1Category=4\r\n"
                                   "I1Template=PlVed.dcf\r\nI1RVNum=3\r\nI1Cond=2\r\nI1VedRnd=1\r\n"
                                   "I2Name=\r\nI2Num=3\r\nI2Tip=41\r\nI2Category=6\r\n"
                                   "I2Template=\r\nI2RVNum=0\r\nI2Cond=4\r\nI2VedRnd=0\r\n\r\n"));
}

class CatalogueFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString name() const { return dir.filePath(QStringLiteral("CatList.cfg")); }
};

TEST_F(CatalogueFile, ReadAndWrittenBackByteForByte)
{
    WriteBytes(name(), KindTwoFile());
    T_Catalogue cat(2, name());
    cat.Load();
    ASSERT_EQ(cat.Docs.Count(), 3);
    const T_Vedom* v = cat.Docs[1];
    EXPECT_EQ(v->Name, QStringLiteral("В банк"));
    EXPECT_EQ(v->Num, 2);
    EXPECT_EQ(v->Tip, 42);
    EXPECT_EQ(v->Category, 4);
    EXPECT_EQ(v->Template, QStringLiteral("PlVed.dcf"));
    EXPECT_EQ(v->RVNum, 3);
    EXPECT_EQ(v->Cond, vcPositive);
    EXPECT_TRUE(v->VedRnd);
    EXPECT_EQ(cat.Docs[2]->Name, QString());
    EXPECT_EQ(cat.Docs[2]->RVNum, 0) << "written 0 is not the default -1";
    EXPECT_EQ(cat.Docs[0]->RVNum, -1);
    ASSERT_EQ(cat.Sections.Items.size(), 6);
    EXPECT_EQ(cat.Sections.Items[2].Name, QStringLiteral("Другие ведомости"));
    EXPECT_EQ(cat.Sections.Items[5].Name, QStringLiteral("Архив"));
    EXPECT_EQ(cat.Sections.Items[5].Number, 6);

    cat.Save();
    EXPECT_EQ(ReadBytes(name()), KindTwoFile()) << "CP1251 and CRLF, keys in their order";
}

TEST_F(CatalogueFile, DeletingAMiddleSectionKeepsTheLastOnesDocuments)
{
    WriteBytes(name(), KindTwoFile());
    T_Catalogue cat(2, name());
    cat.Load();
    EXPECT_EQ(MessageOf<EAppException>([&] { cat.Sections.Delete(4, cat.Docs); }),
        QStringLiteral("Можно удалить только пустой раздел"));
    EXPECT_EQ(MessageOf<EAppException>([&] { cat.Sections.Delete(2, cat.Docs); }),
        QStringLiteral("Раздел не может быть изменен"));
    EXPECT_EQ(MessageOf<EAppException>([&] { cat.Sections.Delete(9, cat.Docs); }), QStringLiteral("Раздел не найден"));
    cat.Sections.Delete(5, cat.Docs);
    EXPECT_EQ(cat.Sections.Add(QStringLiteral("Новый")), 6) << "no number is taken twice";
    cat.Save();

    T_Catalogue again(2, name());
    again.Load();
    ASSERT_EQ(again.Sections.Items.size(), 6);
    EXPECT_EQ(again.Sections.Items[4].Name, QStringLiteral("Архив"));
    EXPECT_EQ(again.Docs[2]->Category, again.Sections.Items[4].Number);
    EXPECT_EQ(again.Sections.Items[5].Name, QStringLiteral("Новый"));
    EXPECT_EQ(again.Docs[1]->Category, 4);
    QString expected = FromCp1251(KindTwoFile());
    expected.replace(QStringLiteral("S1=Пустой\r\nS2=Архив"), QStringLiteral("S1=Архив\r\nS2=Новый"));
    expected.replace(QStringLiteral("I2Category=6"), QStringLiteral("I2Category=5"));
    EXPECT_EQ(ReadBytes(name()), ToCp1251(expected)) << "the renumbered file, byte for byte";
}

TEST_F(CatalogueFile, DeletingADescriptorRenumbersTheKeys)
{
    WriteBytes(name(), KindTwoFile());
    T_Catalogue cat(2, name());
    cat.Load();
    cat.Docs.DeleteObject(0);
    cat.Save();
    TMemIniFile ini(name());
    QStringList keys;
    ini.ReadSection(QStringLiteral("Category2"), keys);
    EXPECT_EQ(ini.ReadString(QStringLiteral("Category2"), QStringLiteral("Count"), QString()), QStringLiteral("2"));
    EXPECT_EQ(keys.size(), 1 + 2 * 8);
    for (const QString& k : keys)
        EXPECT_FALSE(k.startsWith(QStringLiteral("I2"))) << k.toStdString();
    EXPECT_EQ(
        ini.ReadString(QStringLiteral("Category2"), QStringLiteral("I0Name"), QString()), QStringLiteral("В банк"));
}

TEST_F(CatalogueFile, MissingSectionsGiveTheFixedOnes)
{
    const int fixed[] = {5, 3, 4, 3, 3};
    for (int kind = kFirstDocKind; kind <= kLastDocKind; ++kind) {
        T_Catalogue cat(kind, name());
        cat.Load();
        EXPECT_EQ(cat.Sections.Items.size(), fixed[kind - 1]) << kind;
        EXPECT_EQ(cat.Sections.FixedCount(), fixed[kind - 1]);
        EXPECT_EQ(cat.Docs.Count(), 0);
    }
    EXPECT_FALSE(QFile::exists(name())) << "reading writes nothing";
}

TEST_F(CatalogueFile, DamagedEntriesReadAsSafeValues)
{
    WriteBytes(name(),
        "[Categories1]\r\nCount=2000000000\r\nS0=One\r\n\r\n"
        "[Category1]\r\nCount=2147483647\r\nI0Name=\"Quoted\"\r\nI0Tip=0x1F\r\nI0Cond=9\r\nI0VedRnd=5\r\n"
        "I0Template=SUB\\Dir/Name.dcf\r\nI0Category=77\r\nI1Num=\"12\"\r\nI99999999999=x\r\n");
    T_Catalogue cat(1, name());
    cat.Load();
    ASSERT_EQ(cat.Docs.Count(), 2) << "a count beyond the keys held is cut";
    const T_Vedom* v = cat.Docs[0];
    EXPECT_EQ(v->Name, QStringLiteral("Quoted"));
    EXPECT_EQ(v->Tip, 31);
    EXPECT_EQ(v->Cond, vcAll);
    EXPECT_TRUE(v->VedRnd);
    EXPECT_EQ(v->TemplateFileName(), QStringLiteral("Name.dcf"));
    EXPECT_EQ(cat.Docs[1]->Num, 12);
    ASSERT_EQ(cat.Sections.Items.size(), 6);
    EXPECT_EQ(cat.Sections.SectionOf(*v), 1) << "a document of no section is shown under the first";
}

TEST_F(CatalogueFile, TextsWithTheirOwnQuotesSurvive)
{
    T_VedList list;
    T_Vedom* v = list.AddVedom();
    v->Name = QStringLiteral("\"Кавычки\"");
    v->Template = QStringLiteral(" a ");
    TMemIniFile ini(name());
    list.WriteToIni(ini, QStringLiteral("Category3"));
    T_VedList back;
    back.ReadFromIni(ini, QStringLiteral("Category3"));
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back[0]->Name, v->Name);
    EXPECT_EQ(back[0]->Template, v->Template);
    EXPECT_EQ(
        ini.ReadString(QStringLiteral("Category3"), QStringLiteral("I0Template"), QString()), QStringLiteral(" a "))
        << "written plainly";
}

TEST_F(CatalogueFile, TheFileIsFoundWhateverItsLetterCase)
{
    const QString saved = TxtDir;
    TxtDir = dir.path() + QLatin1Char('/');
    EXPECT_EQ(CatListFileName(), name());
    WriteBytes(dir.filePath(QStringLiteral("catlist.CFG")), "[Category1]\r\nCount=0\r\n");
    EXPECT_EQ(CatListFileName(), dir.filePath(QStringLiteral("catlist.CFG")));
    TxtDir = saved;
}

TEST(Algorythms, FoundByNumber)
{
    T_AlgorythmList list;
    list.AddObject(new T_Algorythm(31, QStringLiteral("Расчетная ведомость"), QStringLiteral("RasVed"), true, 3));
    list.AddObject(new T_Algorythm(42, QStringLiteral("Платежная"), QStringLiteral("PlVed"), true, 4));
    ASSERT_NE(list.Find(42), nullptr);
    EXPECT_EQ(list.Find(42)->Variant(), 2);
    EXPECT_EQ(list.Find(42)->Prototype, QStringLiteral("PlVed"));
    EXPECT_EQ(list.Find(41), nullptr);
}

} // namespace
