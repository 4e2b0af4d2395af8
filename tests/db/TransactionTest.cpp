#include "DbTestSupport.h"

#include "db/FolderWrites.h"
#include "db/TableFile.h"
#include "db/Transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

#include <sqlite3.h>
#include <unistd.h>

namespace {

class TransactionTest : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        Tables::Create(VvodDef("NC"));
        Tables::Create(VvodDef("VVOD"));
        Tables::Create(PostDef());
        Cursor nc(QStringLiteral("NC"));
        nc.Open();
        AppendRow(nc, {{"TABNUM", Variant(1)}, {"SUM", Variant(10.0)}});
    }
    // Rows of a table, read through a fresh connection.
    static int64_t Rows(const char* table) { return Tables::RecordCount(QString::fromUtf8(table)); }
};

} // namespace

TEST_F(TransactionTest, AnExceptionRollsBackEveryTable)
{
    Cursor nc(QStringLiteral("NC"));
    Cursor vvod(QStringLiteral("VVOD"));
    Cursor post(QStringLiteral("POST"));
    nc.Open();
    vvod.Open();
    post.Open();
    try {
        Transaction tx({&nc, &vvod, &post});
        AppendRow(vvod, {{"TABNUM", Variant(1)}});
        AppendRow(post, {{"NUM", Variant(5)}, {"NAIM", Variant("Кассир")}});
        nc.First();
        nc.Edit();
        nc[QStringLiteral("SUM")].SetFloat(99.0);
        nc.Post();
        nc.Append();
        nc[QStringLiteral("TABNUM")].SetInteger(2);
        nc.Post();
        EXPECT_EQ(vvod.RecordCount(), 1) << "the transaction reads its own writes";
        EXPECT_EQ(nc.RecordCount(), 2);
        throw EAppException(QStringLiteral("сбой расчета"));
    } catch (const EAppException&) {
    }
    EXPECT_EQ(Transaction::Depth(), 0);
    // The open cursors show the old rows again.
    EXPECT_TRUE(vvod.IsEmpty());
    EXPECT_EQ(nc.RecordCount(), 1);
    nc.First();
    EXPECT_DOUBLE_EQ(nc[QStringLiteral("SUM")].AsFloat(), 10.0);
    nc.Close();
    vvod.Close();
    post.Close();
    ASSERT_EQ(DbSession::OpenFileCount(), 0);
    EXPECT_EQ(Rows("NC"), 1);
    EXPECT_EQ(Rows("VVOD"), 0);
    EXPECT_EQ(Rows("POST"), 0);
    Cursor check(QStringLiteral("NC"));
    check.Open();
    EXPECT_DOUBLE_EQ(check[QStringLiteral("SUM")].AsFloat(), 10.0);
    check.Close();
    EXPECT_FALSE(QFile::exists(PathOf(QStringLiteral("NC.DB-journal"))));
}

TEST_F(TransactionTest, CommitWritesEveryTable)
{
    {
        Cursor vvod(QStringLiteral("VVOD"));
        Cursor post(QStringLiteral("POST"));
        vvod.Open();
        post.Open();
        Transaction tx(QStringList{QStringLiteral("VVOD"), QStringLiteral("POST")});
        for (int i = 0; i < 50; ++i)
            AppendRow(vvod, {{"TABNUM", Variant(i)}});
        AppendRow(post, {{"NUM", Variant(1)}});
        tx.Commit();
        EXPECT_FALSE(tx.Active());
        EXPECT_EQ(vvod.RecordCount(), 50);
    }
    EXPECT_EQ(Rows("VVOD"), 50);
    EXPECT_EQ(Rows("POST"), 1);
}

TEST_F(TransactionTest, NestedScopesAreSavepoints)
{
    Cursor vvod(QStringLiteral("VVOD"));
    Cursor post(QStringLiteral("POST"));
    vvod.Open();
    post.Open();
    {
        Transaction outer({&vvod, &post});
        AppendRow(vvod, {{"TABNUM", Variant(1)}});
        {
            Transaction inner({&post});
            EXPECT_EQ(Transaction::Depth(), 2);
            AppendRow(post, {{"NUM", Variant(1)}});
        } // rolled back alone
        {
            Transaction inner({&vvod});
            AppendRow(vvod, {{"TABNUM", Variant(2)}});
            inner.Commit();
        }
        outer.Commit();
    }
    vvod.Close();
    post.Close();
    EXPECT_EQ(Rows("VVOD"), 2);
    EXPECT_EQ(Rows("POST"), 0);

    // A nested scope may use only the outer scope's tables.
    Transaction outer(QStringList{QStringLiteral("VVOD")});
    EXPECT_THROW(Transaction(QStringList{QStringLiteral("POST")}), EDatabaseError);
    outer.Rollback();
}

TEST_F(TransactionTest, NextNumberIsAllocatedInsideTheWriteTransaction)
{
    Cursor post(QStringLiteral("POST"));
    post.Open();
    EXPECT_EQ(post.NextKeyNumber(), 1);
    for (int round = 0; round < 3; ++round) {
        Transaction tx({&post});
        const int64_t n = post.NextKeyNumber();
        post.Append();
        post[QStringLiteral("NUM")].SetInteger(n);
        post.Post();
        tx.Commit();
    }
    EXPECT_EQ(AllInts(post, "NUM"), (QList<int>{1, 2, 3}));

    // While one copy holds the write transaction, another cannot take a number.
    Transaction tx({&post});
    std::unique_ptr<SqliteConnection> other = SqliteConnection::Open(PathOf(QStringLiteral("POST.DB")), false);
    sqlite3_busy_timeout(other->Handle(), 50);
    EXPECT_THROW(other->Exec("BEGIN IMMEDIATE"), EDatabaseError);
    tx.Rollback();
    other->Exec("BEGIN IMMEDIATE; ROLLBACK");
}

TEST_F(TransactionTest, TooManyTablesAreRefused)
{
    QStringList names;
    for (int i = 0; i < 12; ++i) {
        names << QStringLiteral("T%1").arg(i);
        Tables::Create(VvodDef(names.last().toUtf8().constData()), QString(), false);
    }
    EXPECT_THROW(Transaction{names}, EDatabaseError);
    names.removeLast();
    {
        Transaction tx(names);
        for (const QString& name : names) {
            Cursor c(name);
            c.Open();
            AppendRow(c, {{"TABNUM", Variant(1)}});
        }
        tx.Commit();
    }
    for (const QString& name : names)
        EXPECT_EQ(Tables::RecordCount(name), 1) << name.toStdString();
}

// SQLite ends a transaction by itself after some failed writes: a savepoint
// begun then would start a new transaction and keep its writes.
TEST_F(TransactionTest, NoSavepointBeginsAfterSQLiteRolledTheTransactionBack)
{
    Cursor nc(QStringLiteral("NC"));
    nc.Open();
    {
        Transaction tx({&nc});
        AppendRow(nc, {{"TABNUM", Variant(2)}});
        TableFile::Find(TableFile::CanonicalPath(PathOf(QStringLiteral("NC.DB"))))->Conn().Exec("ROLLBACK");
        EXPECT_FALSE(tx.Alive());
        EXPECT_THROW(
            {
                Transaction inner({&nc});
                AppendRow(nc, {{"TABNUM", Variant(3)}});
                inner.Commit();
            },
            EDatabaseError);
        EXPECT_THROW(tx.Commit(), EDatabaseError);
    }
    EXPECT_EQ(Rows("NC"), 1);
}

// A folder that stops taking writes while a table is open: the first write
// it refuses raises EFolderNotWritable with one Russian text naming the
// folder, the reason and what to do, and nothing of the write is stored.
// Root writes into a read-only folder: the refusal seam stands in for it.
TEST(FolderWrites, TheFirstRefusedWriteRaisesOneExceptionNamingTheFolder)
{
    const bool root = ::geteuid() == 0;
    struct Case {
        const char* name;
        std::function<void(const QString&)> refuse;
        QString reason;
        QString todo;
    } cases[] = {
        {"read-only",
            [root](const QString& folder) {
                if (root)
                    RefuseWritesInFolder(folder);
                else
                    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            },
            root ? QStringLiteral("в папке не удается создать файл") : QStringLiteral("нет прав на запись в папку"),
            QStringLiteral("Разрешите запись в папку")},
        {"full", [](const QString& folder) { RefuseWritesInFolder(folder, true); },
            QStringLiteral("на диске нет места"), QStringLiteral("Освободите место на диске")},
        {"removed", [](const QString& folder) { QDir(folder).removeRecursively(); },
            QStringLiteral("папка удалена или ее диск отключен"), QStringLiteral("Верните папку на место")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString folder = QFileInfo(dir.path()).canonicalFilePath();
        DbSession::SetDataFolder(folder);
        Tables::Create(VvodDef("NC"));
        QString message;
        {
            Cursor nc(QStringLiteral("NC"));
            nc.Open();
            AppendRow(nc, {{"TABNUM", Variant(1)}});
            c.refuse(folder);
            try {
                Transaction tx({&nc});
                AppendRow(nc, {{"TABNUM", Variant(2)}});
                tx.Commit();
                ADD_FAILURE() << "the write was taken";
            } catch (const EFolderNotWritable& e) {
                message = e.Message();
            }
            EXPECT_THROW(AppendRow(nc, {{"TABNUM", Variant(3)}}), EFolderNotWritable);
        }
        RefuseWritesInFolder(QString());
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_TRUE(message.startsWith(
            QStringLiteral("Папка не принимает запись|Папка \"%1\": %2.\r\n%3").arg(folder, c.reason, c.todo)))
            << message.toStdString();
        if (QFileInfo::exists(folder)) {
            EXPECT_EQ(Tables::RecordCount(QStringLiteral("NC")), 1);
        }
        DbSession::SetDataFolder(QString());
        EXPECT_EQ(DbSession::OpenFileCount(), 0);
    }
}
