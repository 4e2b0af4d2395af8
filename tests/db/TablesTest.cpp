#include "DbTestSupport.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using TablesTest = DataFolderTest;

TEST_F(TablesTest, DefinitionReadBackEqualsTheOneCreated)
{
    TableDef def = VvodDef();
    def.fields[1].required = true;
    Tables::Create(def);
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("VVOD")), def);
    EXPECT_EQ(DbSession::OpenFileCount(), 0) << "reading the definition leaves no file open";

    EXPECT_THROW(Tables::Create(def), EDatabaseError) << "an existing table is never replaced";
    ASSERT_TRUE(QDir(Folder()).mkdir(QStringLiteral("work")));
    Tables::Create(def, PathOf(QStringLiteral("work")), false);
    EXPECT_EQ(
        Tables::ReadDefinition(QStringLiteral("VVOD"), PathOf(QStringLiteral("work"))), def.WithoutSecondaryIndexes());
}

TEST_F(TablesTest, BadDefinitionsAreRefusedWithAReason)
{
    struct Case {
        const char* name;
        TableDef def;
    } cases[] = {
        {"no fields", TableDef{QStringLiteral("T"), {}, {}}},
        {"duplicate field",
            TableDef{QStringLiteral("T"), {F("A", FieldType::Integer), F("a", FieldType::Integer)}, {}}},
        {"string without size", TableDef{QStringLiteral("T"), {F("A", FieldType::String)}, {}}},
        {"unknown key field", TableDef{QStringLiteral("T"), {F("A", FieldType::Integer)}, {Primary("B")}}},
        {"blob in a key", TableDef{QStringLiteral("T"), {F("A", FieldType::Blob)}, {Secondary("X", "A")}}},
        {"two primaries", TableDef{QStringLiteral("T"), {F("A", FieldType::Integer)}, {Primary("A"), Primary("A")}}},
        {"duplicate index",
            TableDef{QStringLiteral("T"), {F("A", FieldType::Integer)}, {Secondary("X", "A"), Secondary("x", "A")}}},
        {"descending index",
            TableDef{
                QStringLiteral("T"), {F("A", FieldType::Integer)}, {Secondary("X", "A", IndexOption::Descending)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(Tables::Create(c.def), EDatabaseError);
        EXPECT_FALSE(QFileInfo::exists(PathOf(QStringLiteral("T.DB")))) << "nothing is left behind";
    }
}

TEST_F(TablesTest, ReservedWordsAsNames)
{
    const TableDef def{QStringLiteral("ADD"),
        {F("COUNT", FieldType::Integer), F("ORDER", FieldType::Integer), F("USER", FieldType::Smallint),
            F("SELECT", FieldType::String, 5)},
        {Primary("COUNT"), Secondary("USER", "ORDER;USER"), Secondary("NUM", "SELECT")}};
    Tables::Create(def);
    Cursor c(QStringLiteral("ADD"));
    c.Open();
    AppendRow(c, {{"COUNT", Variant(1)}, {"ORDER", Variant(2)}, {"USER", Variant(3)}, {"SELECT", Variant("x")}});
    c.SetIndexName(QStringLiteral("USER"));
    ASSERT_TRUE(c.FindKey({Variant(2), Variant(3)}));
    EXPECT_EQ(c[QStringLiteral("COUNT")].AsInteger(), 1);
    c.SetIndexName(QStringLiteral("NUM"));
    EXPECT_TRUE(c.FindKey({Variant("x")}));
}

TEST_F(TablesTest, AFileThatIsNotATableIsReportedByName)
{
    // The header of a Paradox table as the old program left it.
    WriteFileBytes(PathOf(QStringLiteral("SR.DB")), QByteArray::fromHex("d00800080000000000000000000000000000"));
    WriteFileBytes(PathOf(QStringLiteral("EMPTY.DB")), QByteArray());
    Cursor sr(QStringLiteral("SR"));
    try {
        sr.Open();
        FAIL() << "a Paradox file was opened";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(PathOf(QStringLiteral("SR.DB")))) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("SQLite"))) << e.Message().toStdString();
    }
    EXPECT_FALSE(sr.Active());
    EXPECT_THROW(Tables::ReadDefinition(QStringLiteral("EMPTY")), EDatabaseError);
    EXPECT_EQ(ReadFileBytes(PathOf(QStringLiteral("SR.DB"))).size(), 18) << "the file is left as it was";

    // An SQLite data base that is not a table of the program.
    {
        std::unique_ptr<SqliteConnection> other = SqliteConnection::Open(PathOf(QStringLiteral("X.DB")), true);
        other->Exec("CREATE TABLE t(a)");
    }
    try {
        Tables::ReadDefinition(QStringLiteral("X"));
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("не таблицей программы"))) << e.Message().toStdString();
    }
    EXPECT_THROW(Tables::ReadDefinition(QStringLiteral("MISSING")), EDatabaseError);
}

TEST_F(TablesTest, ClosingReallyClosesAndLeavesOneFile)
{
    Tables::Create(PostDef());
    {
        Cursor a(QStringLiteral("POST"));
        Cursor b(QStringLiteral("post"));
        a.Open();
        b.Open();
        EXPECT_EQ(DbSession::OpenFileCount(), 1) << "one connection per file, shared by its cursors";
        AppendRow(a, {{"NUM", Variant(1)}, {"NAIM", Variant("x")}});
        a.Close();
        EXPECT_EQ(DbSession::OpenFileCount(), 1);
        EXPECT_THROW(Tables::Delete(QStringLiteral("POST")), EDatabaseError) << "refused while open";
        EXPECT_THROW(Tables::Rename(QStringLiteral("POST"), QStringLiteral("TMP")), EDatabaseError);
        b.Close();
        EXPECT_EQ(DbSession::OpenFileCount(), 0);
    }
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files), QStringList{QStringLiteral("POST.DB")});
}

TEST_F(TablesTest, ExclusiveOpenKeepsOtherCursorsOut)
{
    Tables::Create(PostDef());
    Cursor a(QStringLiteral("POST"));
    Cursor b(QStringLiteral("POST"));
    a.Open(true);
    EXPECT_THROW(b.Open(), EDatabaseError);
    a.Close();
    b.Open();
    EXPECT_THROW(a.Open(true), EDatabaseError);
}

TEST_F(TablesTest, RenameDeleteEmptyAndList)
{
    Tables::Create(PostDef());
    Tables::Create(PnlDef());
    Tables::Create(VvodDef("User"));
    WriteFileBytes(PathOf(QStringLiteral("notes.txt")), "x");
    WriteFileBytes(PathOf(QStringLiteral("propis.db")), "x");
    EXPECT_EQ(Tables::List(),
        (QStringList{QStringLiteral("PNL"), QStringLiteral("POST"), QStringLiteral("propis"), QStringLiteral("User")}));
    EXPECT_TRUE(Tables::Exists(QStringLiteral("USER"))) << "names match ignoring case";
    EXPECT_EQ(QFileInfo(Tables::FilePath(QStringLiteral("user"))).fileName(), QStringLiteral("User.DB"));

    {
        Cursor c(QStringLiteral("POST"));
        c.Open();
        for (int i = 1; i <= 3; ++i)
            AppendRow(c, {{"NUM", Variant(i)}});
    }
    EXPECT_THROW(Tables::Rename(QStringLiteral("POST"), QStringLiteral("pnl")), EDatabaseError);
    Tables::Rename(QStringLiteral("POST"), QStringLiteral("TMP"));
    EXPECT_FALSE(Tables::Exists(QStringLiteral("POST")));
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("TMP")), 3);
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("TMP")).fields, PostDef().fields);
    Tables::Empty(QStringLiteral("TMP"));
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("TMP")), 0);
    Tables::Delete(QStringLiteral("TMP"));
    EXPECT_FALSE(Tables::Exists(QStringLiteral("TMP")));
    EXPECT_THROW(Tables::Delete(QStringLiteral("TMP")), EDatabaseError);
    EXPECT_THROW(Tables::Rename(QStringLiteral("TMP"), QStringLiteral("X")), EDatabaseError);
}

TEST_F(TablesTest, AddIndexIsIdempotentAndKeepsTheOrder)
{
    const TableDef full = VvodDef();
    Tables::Create(full, QString(), false);
    {
        Cursor c(QStringLiteral("VVOD"));
        c.Open(true);
        for (int t : {3, 1, 2})
            AppendRow(c, {{"TABNUM", Variant(t)}});
        for (const IndexDef& index : full.indexes)
            c.AddIndex(index);
        for (const IndexDef& index : full.indexes)
            c.AddIndex(index);
        c.SetIndexName(QStringLiteral("TABNUM"));
        EXPECT_EQ(AllInts(c, "TABNUM"), (QList<int>{1, 2, 3}));
    }
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("VVOD")), full);

    // An index of the same name with other fields replaces the old one.
    Tables::AddIndex(QStringLiteral("VVOD"), Secondary("TABNUM", "DOPNUM"));
    TableDef changed = full;
    changed.indexes[1] = Secondary("TABNUM", "DOPNUM");
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("VVOD")), changed);
    EXPECT_THROW(Tables::AddIndex(QStringLiteral("VVOD"), Primary("DOPNUM")), EDatabaseError);
    EXPECT_THROW(Tables::AddIndex(QStringLiteral("VVOD"), Secondary("BAD", "NOFIELD")), EDatabaseError);
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("VVOD")), changed);
}

TEST_F(TablesTest, BatchAppendCopiesByPositionAndNumbersAutoInc)
{
    Tables::Create(VvodDef());
    Tables::Create(VvodDef("VVARC"));
    {
        Cursor v(QStringLiteral("VVOD"));
        v.Open();
        for (int i = 1; i <= 5; ++i)
            AppendRow(v, {{"TABNUM", Variant(i)}, {"SUM", Variant(i * 100.5)}});
        v.First();
        v.Delete();
    }
    Cursor arc(QStringLiteral("VVARC"));
    arc.Open();
    AppendRow(arc, {{"TABNUM", Variant(99)}});
    EXPECT_EQ(Tables::BatchAppend(QStringLiteral("VVOD"), QString(), QStringLiteral("VVARC"), QString()), 4);
    EXPECT_EQ(AllInts(arc, "PRIM"), (QList<int>{1, 2, 3, 4, 5})) << "the open cursor sees the new rows";
    EXPECT_EQ(AllInts(arc, "TABNUM"), (QList<int>{99, 2, 3, 4, 5}));
    arc.Last();
    EXPECT_DOUBLE_EQ(arc[QStringLiteral("SUM")].AsFloat(), 502.5);

    // Different field types go through the field rules.
    Tables::Create(TableDef{QStringLiteral("NARROW"),
        {F("PRIM", FieldType::AutoInc), F("TABNUM", FieldType::Smallint), F("DOPNUM", FieldType::String, 2)},
        {Primary("PRIM")}});
    EXPECT_EQ(Tables::BatchAppend(QStringLiteral("VVARC"), QString(), QStringLiteral("NARROW"), QString()), 5);
    Cursor narrow(QStringLiteral("NARROW"));
    narrow.Open();
    EXPECT_EQ(AllInts(narrow, "TABNUM"), (QList<int>{99, 2, 3, 4, 5}));

    // A key violation appends nothing.
    Tables::Create(PostDef());
    Tables::Create(TableDef{QStringLiteral("POST2"), PostDef().fields, PostDef().indexes});
    {
        Cursor a(QStringLiteral("POST"));
        a.Open();
        AppendRow(a, {{"NUM", Variant(1)}});
        AppendRow(a, {{"NUM", Variant(2)}});
        Cursor b(QStringLiteral("POST2"));
        b.Open();
        AppendRow(b, {{"NUM", Variant(2)}});
    }
    EXPECT_THROW(
        Tables::BatchAppend(QStringLiteral("POST"), QString(), QStringLiteral("POST2"), QString()), EKeyViolation);
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("POST2")), 1);
}
