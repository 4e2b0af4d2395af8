#include "data/TableCatalogue.h"

#include "db/Cursor.h"
#include "db/DbTestSupport.h"
#include "db/Session.h"
#include "db/Sqlite.h"
#include "db/Tables.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

namespace {

class TableCatalogueTest : public DataFolderTest {
protected:
    static const TTableStructure& Table(const char* name)
    {
        const int n = TableStructures().NumberOf(QString::fromLatin1(name));
        EXPECT_GE(n, 0) << name;
        return TableStructures()[n];
    }
    static const FieldDef* FieldOf(const TableDef& def, const char* name)
    {
        const int i = def.FieldIndex(QString::fromLatin1(name));
        return i < 0 ? nullptr : &def.fields[i];
    }
    void CreateAll()
    {
        for (int i = 0; i < TableCount; ++i)
            TableStructures()[i].CreateTable();
    }

    ScriptedMessages msgs_;
};

} // namespace

TEST_F(TableCatalogueTest, EveryTableIsCreatedAndReadsBackAsCatalogued)
{
    CreateAll();
    EXPECT_EQ(Tables::List().size(), TableCount);
    for (int i = 0; i < TableCount; ++i) {
        const TTableStructure& t = TableStructures()[i];
        SCOPED_TRACE(t.Name().toStdString());
        EXPECT_EQ(t.Number(), i);
        EXPECT_EQ(t.Owner(), &TableStructures());
        EXPECT_EQ(Tables::ReadDefinition(t.Name()), t.Definition()) << "fields and indexes in the same order";
    }
}

TEST_F(TableCatalogueTest, TablesFieldCountsAndOrder)
{
    const struct {
        const char* name;
        int number;
        int fields;
        const char* firstLast; // first and last field
    } cases[] = {
        {"SP", 0, 8, "NUM USER"},
        {"SR", 1, 28, "TABNUM USER"},
        {"SRH", 2, 17, "PRIM USER"},
        {"SRD", 3, 8, "PRIM USER"},
        {"SRT", 4, 6, "PRIM USER"},
        {"KSOP", 5, 2, "NUM NAIM"},
        {"POST", 6, 3, "NUM USER"},
        {"CTGR", 7, 3, "NUM USER"},
        {"STAFF", 8, 10, "NUM USER"},
        {"DP", 9, 23, "DOPNUM USER"},
        {"DPH", 10, 11, "PRIM USER"},
        {"DPT", 11, 6, "NUM USER"},
        {"DOCUMENT", 12, 9, "NUM USER"},
        {"VVOD", 13, 9, "PRIM USER"},
        {"VVARC", 14, 9, "PRIM USER"},
        {"NC", 15, 8, "PRIM DATEBEG"},
        {"NCARC", 16, 8, "PRIM DATEBEG"},
        {"Z13", 17, 7, "PRIM USER"},
        {"STN", 18, 8, "NUM USER"},
        {"STI", 19, 4, "PRIM DOPNUM"},
        {"User", 20, 6, "CUSER DATEBEG"},
        {"UserH", 21, 4, "LOADUSER DATEEND"},
        {"UserOp", 22, 5, "PRIM NUMBER"},
        {"Bin", 23, 9, "PRIM USER"},
        {"DOCOUT", 24, 7, "PRIM USER"},
        {"PNT", 25, 3, "TIP USER"},
        {"PN", 26, 12, "NUM USER"},
        {"PNL", 27, 5, "NUM USER"},
        {"ADD", 28, 2, "COUNT USER"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TTableStructure& t = TableStructures()[c.number];
        EXPECT_EQ(t.Name(), QString::fromLatin1(c.name));
        ASSERT_EQ(t.FieldCount(), c.fields);
        EXPECT_EQ(QStringLiteral("%1 %2").arg(QString::fromLatin1(t.Fields()[0].Name),
                      QString::fromLatin1(t.Fields()[t.FieldCount() - 1].Name)),
            QString::fromLatin1(c.firstLast));
        EXPECT_EQ(t.Indexes()[0].Options, IndexOption::Primary | IndexOption::Unique)
            << "the primary index comes first";
        EXPECT_STREQ(t.Indexes()[0].Name, "");
        for (int i = 0; i < t.FieldCount(); ++i)
            EXPECT_FALSE(t.Fields()[i].Required);
    }
}

TEST_F(TableCatalogueTest, EdgeCasesOfTheCatalogue)
{
    const TableDef pnl = Table("PNL").Definition();
    EXPECT_EQ(pnl.indexes.size(), 1);
    EXPECT_EQ(pnl.indexes[0].fields, QStringLiteral("NUM;SUM"));

    const TableDef docout = Table("DOCOUT").Definition();
    ASSERT_EQ(docout.indexes.size(), 2);
    EXPECT_EQ(docout.indexes[1].name, QStringLiteral("USER"));
    EXPECT_EQ(docout.indexes[1].fields, QStringLiteral("VID;TIP;DATEBEG"));

    const TableDef stn = Table("STN").Definition();
    ASSERT_EQ(stn.indexes.size(), 2);
    EXPECT_EQ(stn.indexes[0].fields, QStringLiteral("NUM"));
    EXPECT_EQ(stn.indexes[1].name, QStringLiteral("NUM"));
    EXPECT_EQ(stn.indexes[1].fields, QStringLiteral("NUMVEDOM;NUMSTATN"));

    const TableDef bin = Table("Bin").Definition();
    EXPECT_EQ(bin.indexes[1].name, QStringLiteral("INFO"));
    EXPECT_EQ(bin.indexes[1].fields, QStringLiteral("CLASS;VID;TIP;SUBTIP;DATEBEG"));
    EXPECT_EQ(Table("SR").Definition().indexes[1].fields, QStringLiteral("PODR;SNUM"));
    for (const char* name : {"VVOD", "VVARC", "NC", "NCARC"}) {
        SCOPED_TRACE(name);
        const TableDef def = Table(name).Definition();
        ASSERT_EQ(def.indexes.size(), 3);
        EXPECT_EQ(def.indexes[1].name, QStringLiteral("TABNUM"));
        EXPECT_EQ(def.indexes[2].name, QStringLiteral("TABDATE"));
    }

    for (int i = 0; i < TableCount; ++i) {
        const TableDef def = TableStructures()[i].Definition();
        SCOPED_TRACE(def.name.toStdString());
        const QString name = def.name;
        // The user stamp: none in the results tables, a Smallint in three tables.
        const FieldDef* user = FieldOf(def, "USER");
        if (name == QLatin1String("NC") || name == QLatin1String("NCARC") || name.startsWith(QLatin1String("User"))
            || name == QLatin1String("KSOP") || name == QLatin1String("STI")) {
            EXPECT_EQ(user, nullptr);
        } else if (name == QLatin1String("Bin") || name == QLatin1String("DOCOUT") || name == QLatin1String("ADD")) {
            ASSERT_NE(user, nullptr);
            EXPECT_EQ(user->type, FieldType::Smallint);
        } else {
            ASSERT_NE(user, nullptr);
            EXPECT_EQ(user->type, FieldType::Integer);
        }
        // Dates with a time only in Z13 and the user tables.
        const bool withTime = name == QLatin1String("Z13") || name.startsWith(QLatin1String("User"));
        for (const FieldDef& f : def.fields) {
            if (f.type == FieldType::Date || f.type == FieldType::DateTime) {
                EXPECT_EQ(f.type, withTime ? FieldType::DateTime : FieldType::Date) << f.name.toStdString();
            }
        }
        // Case-insensitive indexes only on these names.
        for (const IndexDef& index : def.indexes) {
            const bool ci = (index.fields == QLatin1String("NAIM")
                                && (name == QLatin1String("POST") || name == QLatin1String("CTGR")
                                    || name == QLatin1String("DP") || name == QLatin1String("DOCUMENT")))
                || (name == QLatin1String("User") && index.fields == QLatin1String("FIO"));
            if (!index.IsPrimary()) {
                EXPECT_EQ(index.options, ci ? IndexOptions(IndexOption::CaseInsensitive) : IndexOptions())
                    << index.name.toStdString();
            }
        }
    }
}

TEST_F(TableCatalogueTest, ScaleLinesAreKeyedByScaleAndAmount)
{
    Table("PNL").CreateTable();
    Cursor pnl(QStringLiteral("PNL"));
    pnl.Open();
    for (double sum : {0.0, 20000.0, 50000.0}) {
        pnl.Append();
        pnl[QStringLiteral("NUM")].SetInteger(1);
        pnl[QStringLiteral("SUM")].SetFloat(sum);
        pnl.Post();
    }
    pnl.Append();
    pnl[QStringLiteral("NUM")].SetInteger(1);
    pnl[QStringLiteral("SUM")].SetFloat(20000.0);
    EXPECT_THROW(pnl.Post(), EKeyViolation);
    pnl.Cancel();
    EXPECT_EQ(pnl.RecordCount(), 3);
}

TEST_F(TableCatalogueTest, ReservedWordsWorkAsNames)
{
    CreateAll();
    Cursor add(QStringLiteral("ADD"));
    add.Open();
    add.Append();
    add[QStringLiteral("COUNT")].SetInteger(7);
    add[QStringLiteral("USER")].SetInteger(3);
    add.Post();
    ASSERT_TRUE(add.FindKey({Variant(7)}));
    EXPECT_EQ(add[QStringLiteral("USER")].AsInteger(), 3);

    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    sr.Append();
    sr[QStringLiteral("TABNUM")].SetInteger(1);
    sr[QStringLiteral("ORDER")].SetInteger(15);
    sr[QStringLiteral("SUM")].SetFloat(100.5);
    sr.Post();
    sr.Close();
    sr.Open();
    EXPECT_EQ(sr[QStringLiteral("ORDER")].AsInteger(), 15);
    EXPECT_DOUBLE_EQ(sr[QStringLiteral("SUM")].AsFloat(), 100.5);

    Cursor docout(QStringLiteral("DOCOUT"));
    docout.SetIndexName(QStringLiteral("USER"));
    docout.Open();
    docout.Append();
    docout[QStringLiteral("VID")].SetInteger(2);
    docout[QStringLiteral("TIP")].SetInteger(1);
    docout.Post();
    EXPECT_TRUE(docout.FindKey({Variant(2), Variant(1)}));
}

TEST_F(TableCatalogueTest, KindNamesIgnoreCaseInCyrillic)
{
    Table("DP").CreateTable();
    Cursor dp(QStringLiteral("DP"));
    dp.Open();
    int n = 0;
    for (const char* name : {"АБГ", "абв", "Аванс"}) {
        dp.Append();
        dp[QStringLiteral("DOPNUM")].SetInteger(++n);
        dp[QStringLiteral("NAIM")].SetString(QString::fromUtf8(name));
        dp.Post();
    }
    dp.SetIndexName(QStringLiteral("NAIM"));
    QStringList order;
    for (dp.First(); !dp.Eof(); dp.Next())
        order << dp[QStringLiteral("NAIM")].AsString();
    EXPECT_EQ(order, (QStringList{QStringLiteral("абв"), QStringLiteral("АБГ"), QStringLiteral("Аванс")}));
}

TEST_F(TableCatalogueTest, LookupByNumber)
{
    QString name;
    const tbField* fields = nullptr;
    const tbIndex* indexes = nullptr;
    int fieldCount = 0;
    int indexCount = 0;
    ASSERT_TRUE(GetTableDescription(20, name, fields, fieldCount, indexes, indexCount));
    EXPECT_EQ(name, QStringLiteral("User"));
    EXPECT_EQ(fieldCount, 6);
    EXPECT_EQ(indexCount, 2);
    EXPECT_STREQ(fields[2].Name, "PASSW");
    EXPECT_EQ(fields[2].Size, 255);
    EXPECT_STREQ(indexes[1].Fields, "FIO");

    for (int bad : {29, -1}) {
        msgs_.Expect(MsgKind::Error).Details(QStringLiteral("Нет описания структуры: %1").arg(bad));
        EXPECT_FALSE(GetTableDescription(bad, name, fields, fieldCount, indexes, indexCount));
    }
    EXPECT_EQ(name, QStringLiteral("User")) << "a failed lookup changes nothing";
    EXPECT_THROW(TableStructures().Items(TableCount), EAppException);
    EXPECT_EQ(TableStructures().NumberOf(QStringLiteral("userop")), 22);
    EXPECT_EQ(TableStructures().NumberOf(QStringLiteral("PROPIS")), -1);
}
