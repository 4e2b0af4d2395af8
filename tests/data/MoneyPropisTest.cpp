#include "data/Globals.h"
#include "data/Money.h"
#include "db/Session.h"
#include "db/Tables.h"
#include "platform/Exceptions.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QString kSeed = QStringLiteral(QOR_SOURCE_DIR "/resources/propis/propis.tsv");

QList<TPropisRow> SeedRows()
{
    QList<TPropisRow> rows;
    QString error;
    EXPECT_TRUE(ReadPropisSeed(kSeed, rows, error)) << error.toStdString();
    return rows;
}

// The table as the program reads it: a real "PROPIS.DB" made by the table layer.
class PropisTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGlobals();
        SetDataFolder(dataDir.path());
        ForgetPropis();
    }
    void TearDown() override
    {
        ForgetPropis();
        DoneGlobals();
        EXPECT_EQ(DbSession::OpenFileCount(), 0) << "a handle stayed open";
    }

    ScopedFakeClock clock{EncodeDate(2024, 3, 15) + 0.5};
    ScopedProgramFolder prog;
    QTemporaryDir dataDir;
};

TEST_F(PropisTableTest, BuiltTableSpellsAmountsAndIsClosedAfterwards)
{
    const QList<TPropisRow> rows = SeedRows();
    BuildPropisTable(rows, dataDir.path());
    EXPECT_TRUE(QFileInfo::exists(dataDir.filePath(QStringLiteral("PROPIS.DB"))));
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("PROPIS"), dataDir.path()), rows.size());
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("PROPIS"), dataDir.path()), PropisTableDef());

    EXPECT_EQ(SpellMoney(Currency::FromDouble(1234567.89)),
        QStringLiteral("Один миллион двести тридцать четыре тысячи пятьсот шестьдесят семь руб. 89 коп."));
    EXPECT_EQ(SpellMoney(Currency::FromDouble(21000)), QStringLiteral("Двадцать одна тысяча руб. 00 коп."));
    EXPECT_EQ(SpellNumber(Currency::FromInt(2005000)), QStringLiteral("Два миллиона пять тысяч"));
    EXPECT_EQ(DbSession::OpenFileCount(), 0);

    // A second build over it is refused: the table is never replaced blindly.
    EXPECT_THROW(BuildPropisTable(rows, dataDir.path()), EDatabaseError);
}

TEST_F(PropisTableTest, EmptyTableRaisesAndAForeignFileIsReported)
{
    BuildPropisTable({}, dataDir.path());
    try {
        SpellNumber(Currency::FromInt(1));
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Не заполнена база PROPIS.DB"));
    }

    // A table left by the old program is not a table of ours.
    QTemporaryDir other;
    WriteFileBytes(other.filePath(QStringLiteral("PROPIS.DB")), QByteArray(4096, '\x03'));
    SetDataFolder(other.path());
    try {
        SpellNumber(Currency::FromInt(5));
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Не могу открыть базу с данными для формирования суммы "
                                                          "прописью:|")
            + other.filePath(QStringLiteral("PROPIS.DB")) + QStringLiteral("\r\n")))
            << e.Message().toStdString();
    }
}

TEST_F(PropisTableTest, MissingEverywhereRaisesInsteadOfAnAmountWithoutWords)
{
    EXPECT_FALSE(EnsurePropisTable(dataDir.path(), dataDir.filePath(QStringLiteral("none/PROPIS.DB"))));
    try {
        const QString text = SpellMoney(Currency::FromDouble(56.56));
        ADD_FAILURE() << "spelled \"" << text.toStdString() << "\"";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(),
            QStringLiteral("Не найдена таблица сумм прописью PROPIS.DB|") + PropisFileName()
                + QStringLiteral("\r\nФайл не найден"));
    }
}

TEST_F(PropisTableTest, DataFolderWithoutTheTableGetsTheShippedCopy)
{
    QTemporaryDir shipped;
    BuildPropisTable(SeedRows(), shipped.path());
    const QString shippedFile = shipped.filePath(QStringLiteral("PROPIS.DB"));

    EXPECT_TRUE(EnsurePropisTable(dataDir.path(), shippedFile));
    EXPECT_EQ(ReadFileBytes(dataDir.filePath(QStringLiteral("PROPIS.DB"))), ReadFileBytes(shippedFile));
    EXPECT_EQ(SpellNumber(Currency::FromInt(101000)), QStringLiteral("Сто одна тысяча"));

    // One of another letter case is the data folder's own: kept as it is.
    QTemporaryDir own;
    WriteFileBytes(own.filePath(QStringLiteral("propis.db")), "own");
    EXPECT_TRUE(EnsurePropisTable(own.path(), shippedFile));
    EXPECT_EQ(ReadFileBytes(own.filePath(QStringLiteral("propis.db"))), QByteArray("own"));
    EXPECT_FALSE(QFileInfo::exists(own.filePath(QStringLiteral("PROPIS.DB"))));

    // Nothing shipped: nothing to copy.
    QTemporaryDir empty;
    EXPECT_FALSE(EnsurePropisTable(empty.path(), empty.filePath(QStringLiteral("none/PROPIS.DB"))));
    EXPECT_FALSE(Tables::Exists(QStringLiteral("PROPIS"), empty.path()));
}

TEST_F(PropisTableTest, FailedCopyIsReported)
{
    QTemporaryDir shipped;
    BuildPropisTable(SeedRows(), shipped.path());
    QTemporaryDir dir;
    // The data folder lies under a plain file: the copy cannot be written.
    WriteFileBytes(dir.filePath(QStringLiteral("file")), "x");
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title(QStringLiteral("Не могу скопировать таблицу суммы прописью в папку данных"));
    EXPECT_FALSE(
        EnsurePropisTable(dir.filePath(QStringLiteral("file/DB")), shipped.filePath(QStringLiteral("PROPIS.DB"))));
}

} // namespace
