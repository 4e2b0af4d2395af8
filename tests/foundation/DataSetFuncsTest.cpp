// Closing and reopening all tables, refreshing them, and the edit shortcuts.
#include "foundation/DataSetFuncs.h"
#include "db/DbTestSupport.h"
#include "support/ScriptedMessages.h"

#include <QDir>
#include <QFile>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Departments, employees (with a department index) and posts.
class DataSets : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        CreateDepartments();
        Tables::Create(TableDef{QStringLiteral("SR"),
            {F("TABNUM", FieldType::Integer), F("PODR", FieldType::Integer), F("OKLAD", FieldType::Float),
                F("DATEPR", FieldType::Date), F("WORK", FieldType::Boolean), F("FIO", FieldType::String, 60)},
            {Primary("TABNUM"), Secondary("PODR", "PODR;TABNUM")}});
        Tables::Create(PostDef());
        Cursor sr(QStringLiteral("SR"));
        sr.Open();
        const int rows[][2] = {{10, 1}, {11, 2}, {12, 1}, {13, 1}, {14, 2}};
        for (const auto& r : rows)
            AppendRow(sr, {{"TABNUM", Variant(r[0])}, {"PODR", Variant(r[1])}, {"OKLAD", Variant(1000.0 * r[0])}});
        Cursor post(QStringLiteral("POST"));
        post.Open();
        AppendRow(post, {{"NUM", Variant(1)}, {"NAIM", Variant(QStringLiteral("Бухгалтер"))}});
    }
    void TearDown() override
    {
        if (DataBasesClosed()) {
            ADD_FAILURE() << "the global list of closed tables was left";
            try {
                OpenDataBases();
            } catch (...) {
            }
        }
        DataFolderTest::TearDown();
    }
};

TEST_F(DataSets, GlobalListMustBeReopenedBeforeTheNextClose)
{
    Cursor sp(QStringLiteral("SP"));
    sp.Open();
    CloseDataBases();
    try {
        CloseDataBases();
        FAIL() << "a second close must be refused";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), "CloseDataBases: Не освобожден список таблиц");
    }
    OpenDataBases();
    EXPECT_TRUE(sp.Active());
    try {
        OpenDataBases();
        FAIL() << "nothing to open";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), "OpenDataBases: Не создан список таблиц");
    }
}

TEST_F(DataSets, CloseAndOpenRestoreIndexRangeAndRow)
{
    Cursor sp(QStringLiteral("SP"));
    Cursor sr(QStringLiteral("SR"));
    sp.Open();
    sp.Next();
    sr.Open();
    sr.SetIndexName(QStringLiteral("PODR"));
    sr.SetRange({Variant(1)}, {Variant(1)});
    sr.Next();
    ASSERT_EQ(sr[QStringLiteral("TABNUM")].AsInteger(), 12);

    CloseDataBases();
    EXPECT_FALSE(sp.Active());
    EXPECT_FALSE(sr.Active());
    EXPECT_EQ(DbSession::OpenFileCount(), 0);
    // The files can be replaced meanwhile, as the reserve copy does.
    ASSERT_TRUE(QFile::rename(PathOf("SR.DB"), PathOf("SR.tmp")));
    ASSERT_TRUE(QFile::rename(PathOf("SR.tmp"), PathOf("SR.DB")));

    OpenDataBases();
    EXPECT_EQ(sp[QStringLiteral("NUM")].AsInteger(), 2);
    EXPECT_EQ(sr.IndexName(), "PODR");
    EXPECT_EQ(sr.RecordCount(), 3) << "the range is back";
    EXPECT_EQ(sr[QStringLiteral("TABNUM")].AsInteger(), 12);
}

TEST_F(DataSets, AFileThatCannotBeOpenedIsShownAndTheOthersStillOpen)
{
    Cursor sp(QStringLiteral("SP"));
    Cursor sr(QStringLiteral("SR"));
    Cursor post(QStringLiteral("POST"));
    for (Cursor* c : {&sp, &sr, &post})
        c->Open();
    TDataSetList list;
    CloseDataBases(&list);
    EXPECT_EQ(list.size(), 3);
    // The file is replaced by something that is no table.
    ASSERT_TRUE(QFile::remove(PathOf("POST.DB")));
    QFile junk(PathOf("POST.DB"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();

    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title(QString());
    try {
        OpenDataBases(&list);
        FAIL() << "the failure must be raised at the end";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), "OpenDataBases: Ошибка при открытии рабочих таблиц");
    }
    ASSERT_EQ(msgs.Log().size(), 1);
    const QString details = msgs.Log()[0].details;
    const QString head = QStringLiteral("OpenDataBases:") + kCrLf + QStringLiteral("Таблица [POST]") + kCrLf;
    EXPECT_TRUE(details.startsWith(head)) << details.toStdString();
    EXPECT_GT(details.size(), head.size()) << "the reason follows";
    EXPECT_TRUE(sp.Active());
    EXPECT_TRUE(sr.Active());
    EXPECT_FALSE(post.Active());
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(DataSets, APendingEditIsPostedBeforeClosing)
{
    // Closing used to drop the edit the clerk had not saved yet.
    Cursor sp(QStringLiteral("SP"));
    Cursor post(QStringLiteral("POST"));
    sp.Open();
    post.Open();
    sp.Next();
    sp.Edit();
    sp[QStringLiteral("NAIM")].SetString(QStringLiteral("Плановый отдел"));
    post.Append(); // a new row nobody typed into is dropped, not saved blank
    CloseDataBases();
    EXPECT_EQ(DbSession::OpenFileCount(), 0);
    // The file can now be copied and put back.
    ASSERT_TRUE(QFile::copy(PathOf("SP.DB"), PathOf("SP.bak")));
    ASSERT_TRUE(QFile::remove(PathOf("SP.DB")));
    ASSERT_TRUE(QFile::rename(PathOf("SP.bak"), PathOf("SP.DB")));
    OpenDataBases();
    EXPECT_EQ(sp.State(), CursorState::Browse);
    EXPECT_EQ(sp[QStringLiteral("NUM")].AsInteger(), 2);
    EXPECT_EQ(sp[QStringLiteral("NAIM")].AsString(), "Плановый отдел");
    EXPECT_EQ(post.RecordCount(), 1);
}

TEST_F(DataSets, AnEditThatCannotBePostedClosesNothing)
{
    Cursor sp(QStringLiteral("SP"));
    Cursor sr(QStringLiteral("SR"));
    sp.Open();
    sr.Open();
    sp.Edit();
    sp[QStringLiteral("NUM")].SetInteger(2); // the key of another row
    try {
        CloseDataBases();
        FAIL() << "the key violation must stop the close";
    } catch (const EAppException& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("CloseDataBases:") + kCrLf + "Таблица [SP]" + kCrLf))
            << e.Message().toStdString();
    }
    EXPECT_FALSE(DataBasesClosed());
    EXPECT_TRUE(sp.Active());
    EXPECT_TRUE(sr.Active());
    EXPECT_EQ(sp.State(), CursorState::Edit) << "the clerk can still mend it";
    sp.Cancel();
}

TEST_F(DataSets, CloseLimitedToADataBaseAndATable)
{
    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    Tables::Create(PostDef(), other.path());
    Cursor sp(QStringLiteral("SP"));
    Cursor sr(QStringLiteral("SR"));
    Cursor sr2(QStringLiteral("sr"));
    Cursor archived(QStringLiteral("POST"), other.path());
    for (Cursor* c : {&sp, &sr, &sr2, &archived})
        c->Open();

    TDataSetList list;
    CloseDataBases(&list, QString(), QStringLiteral("SR"));
    EXPECT_EQ(list.size(), 2);
    EXPECT_TRUE(sp.Active());
    EXPECT_FALSE(sr.Active());
    EXPECT_FALSE(sr2.Active());
    OpenDataBases(&list);

    CloseDataBases(&list, QStringLiteral("Qor"));
    EXPECT_EQ(list.size(), 3);
    EXPECT_TRUE(archived.Active()) << "another folder is another data base";
    OpenDataBases(&list);

    CloseDataBases(&list, other.path());
    EXPECT_EQ(list.size(), 1);
    EXPECT_FALSE(archived.Active());
    EXPECT_TRUE(sp.Active());
    OpenDataBases(&list);
    EXPECT_TRUE(archived.Active());
}

TEST_F(DataSets, RefreshSkipsEditingCursorsAndIsNotReentered)
{
    Cursor sp(QStringLiteral("SP"));
    Cursor sr(QStringLiteral("SR"));
    sp.Open();
    sr.Open();
    sp.Last();
    sr.Edit();
    sr[QStringLiteral("FIO")].SetString(QStringLiteral("Петров"));
    {
        std::unique_ptr<SqliteConnection> copy = SqliteConnection::Open(PathOf("SP.DB"), false);
        copy->Exec("UPDATE data SET \"NAIM\"='Бухгалтерия' WHERE \"NUM\"=3");
    }
    int refreshed = 0;
    sp.OnDataChanged = [&](Cursor&) {
        ++refreshed;
        RefreshOpenTables(); // a nested refresh does nothing
    };
    RefreshOpenTables();
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(sp[QStringLiteral("NAIM")].AsString(), "Бухгалтерия");
    EXPECT_EQ(sr.State(), CursorState::Edit);
    EXPECT_EQ(sr[QStringLiteral("FIO")].AsString(), "Петров") << "the pending value is kept";
    EXPECT_FALSE(sp.ControlsDisabled());
    EXPECT_FALSE(sr.ControlsDisabled());

    // With a table given only its cursors refresh.
    RefreshOpenTables(&sr);
    EXPECT_EQ(refreshed, 1);
    sp.OnDataChanged = nullptr;
    sr.Cancel();
}

TEST_F(DataSets, EditAndPostShortcuts)
{
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    PostIfEditing(sr); // browsing and untouched: nothing
    EXPECT_EQ(sr.State(), CursorState::Browse);
    EditIfNeeded(sr);
    sr[QStringLiteral("FIO")].SetString(QStringLiteral("Сидоров"));
    EditIfNeeded(sr); // already editing: the value stays
    EXPECT_EQ(sr[QStringLiteral("FIO")].AsString(), "Сидоров");
    sr[QStringLiteral("DATEPR")].SetDateTime(EncodeDate(2024, 3, 1));
    sr[QStringLiteral("WORK")].SetBoolean(true);
    PostIfEditing(sr);
    EXPECT_EQ(sr.State(), CursorState::Browse);

    Cursor again(QStringLiteral("SR"));
    again.Open();
    EXPECT_EQ(GetFieldAsString(again, QStringLiteral("FIO")), "Сидоров");
    EXPECT_EQ(GetFieldAsInteger(again, QStringLiteral("TABNUM")), 10);
    EXPECT_DOUBLE_EQ(GetFieldAsFloat(again, QStringLiteral("OKLAD")), 10000.0);
    EXPECT_EQ(GetFieldAsCurrency(again, QStringLiteral("OKLAD")), Currency::FromInt(10000));
    EXPECT_EQ(GetFieldAsDateTime(again, QStringLiteral("DATEPR")), EncodeDate(2024, 3, 1));
    EXPECT_TRUE(GetFieldAsBoolean(again, QStringLiteral("WORK")));
    EXPECT_THROW(GetFieldAsInteger(again, QStringLiteral("NOSUCH")), EDatabaseError);
}

TEST_F(DataSets, ViewsAreEnabledUntilNoLongerDisabled)
{
    Cursor sp(QStringLiteral("SP"));
    sp.Open();
    DisableAllDataSetControls();
    DisableAllDataSetControls();
    EXPECT_TRUE(sp.ControlsDisabled());
    EnableAllDataSetControls();
    EXPECT_FALSE(sp.ControlsDisabled());
}

} // namespace
