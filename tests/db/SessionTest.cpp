#include "DbTestSupport.h"

#include <QFile>

namespace {

// Records what a data-aware view would be told.
class RecordingView final : public CursorObserver {
public:
    void CursorChanged(Cursor&, CursorChange change) override { changes << change; }
    QList<CursorChange> changes;
};

// Departments (SP-like) and their employees (SR-like, index "PODR").
class LinkedTablesTest : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        CreateDepartments();
        Tables::Create(TableDef{QStringLiteral("SR"),
            {F("TABNUM", FieldType::Integer), F("PODR", FieldType::Integer), F("SNUM", FieldType::Integer),
                F("FIO", FieldType::String, 60)},
            {Primary("TABNUM"), Secondary("PODR", "PODR;SNUM")}});
        Cursor sr(QStringLiteral("SR"));
        sr.Open();
        const int rows[][3] = {{10, 1, 2}, {11, 2, 1}, {12, 1, 1}, {13, 1, 3}, {14, 2, 2}};
        for (const auto& r : rows)
            AppendRow(sr, {{"TABNUM", Variant(r[0])}, {"PODR", Variant(r[1])}, {"SNUM", Variant(r[2])}});
    }
};

} // namespace

TEST_F(LinkedTablesTest, DetailFollowsTheMaster)
{
    Cursor sp(QStringLiteral("SP"));
    Cursor sr(QStringLiteral("SR"));
    sr.SetIndexName(QStringLiteral("PODR"));
    sr.SetMasterSource(&sp, QStringLiteral("NUM"));
    sp.Open();
    sr.Open();
    EXPECT_EQ(AllInts(sr, "TABNUM"), (QList<int>{12, 10, 13}));
    sp.Next();
    EXPECT_EQ(AllInts(sr, "TABNUM"), (QList<int>{11, 14}));
    sp.Next();
    EXPECT_TRUE(sr.IsEmpty());

    // A new detail row takes the master's key.
    sr.Append();
    sr[QStringLiteral("TABNUM")].SetInteger(20);
    sr.Post();
    EXPECT_EQ(sr[QStringLiteral("PODR")].AsInteger(), 3);
    EXPECT_EQ(AllInts(sr, "TABNUM"), (QList<int>{20}));
    EXPECT_THROW(sr.SetRange({Variant(1)}, {Variant(1)}), EDatabaseError) << "the master sets the range";

    // No master row: no detail rows.
    sp.EmptyTable();
    EXPECT_TRUE(sr.IsEmpty());
    sp.Close();
    EXPECT_TRUE(sr.IsEmpty());

    // Without the link the detail shows everything again.
    sr.ClearMasterSource();
    EXPECT_EQ(sr.RecordCount(), 6);
}

TEST_F(LinkedTablesTest, CloseAllRenameReopenAll)
{
    Cursor sp(QStringLiteral("SP"));
    Cursor sr(QStringLiteral("SR"));
    Cursor spare(QStringLiteral("SR"));
    sr.SetIndexName(QStringLiteral("PODR"));
    sr.SetMasterSource(&sp, QStringLiteral("NUM"));
    sp.Open();
    sr.Open();
    spare.Open();
    spare.SetIndexName(QStringLiteral("PODR"));
    spare.SetRange({Variant(1)}, {Variant(1)});
    spare.Last();
    sp.Next();
    sr.Last();
    ASSERT_EQ(sr[QStringLiteral("TABNUM")].AsInteger(), 14);

    QList<ClosedCursor> closed = DbSession::CloseAll();
    EXPECT_EQ(closed.size(), 3);
    EXPECT_EQ(DbSession::OpenFileCount(), 0) << "every file can now be copied";
    EXPECT_TRUE(DbSession::OpenCursors().isEmpty());

    // Everything comes back as it was.
    QList<ReopenFailure> failures = DbSession::ReopenAll(closed);
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_EQ(sp[QStringLiteral("NUM")].AsInteger(), 2);
    EXPECT_EQ(sr[QStringLiteral("TABNUM")].AsInteger(), 14);
    EXPECT_EQ(sr.RecordCount(), 2);
    EXPECT_EQ(spare.IndexName(), QStringLiteral("PODR"));
    EXPECT_EQ(spare[QStringLiteral("TABNUM")].AsInteger(), 13);
    EXPECT_EQ(spare.RecordCount(), 3) << "the range is back";

    // A file renamed meanwhile is reported; the others still open.
    closed = DbSession::CloseAll();
    Tables::Rename(QStringLiteral("SP"), QStringLiteral("SP_OLD"));
    failures = DbSession::ReopenAll(closed);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0].name, QStringLiteral("SP"));
    EXPECT_TRUE(failures[0].message.contains(QStringLiteral("SP.DB"))) << failures[0].message.toStdString();
    EXPECT_FALSE(sp.Active());
    EXPECT_TRUE(sr.Active());
    EXPECT_TRUE(sr.IsEmpty()) << "a detail of a closed master shows nothing";
    EXPECT_TRUE(spare.Active());

    // Only one table's cursors.
    closed = DbSession::CloseAll(QStringLiteral("sr"));
    EXPECT_EQ(closed.size(), 2);
    EXPECT_TRUE(DbSession::ReopenAll(closed).isEmpty());
}

TEST_F(LinkedTablesTest, ReopenAllSkipsDestroyedCursors)
{
    QList<ClosedCursor> closed;
    {
        Cursor gone(QStringLiteral("SP"));
        gone.Open();
        closed = DbSession::CloseAll();
    }
    EXPECT_TRUE(DbSession::ReopenAll(closed).isEmpty());
}

TEST_F(LinkedTablesTest, RefreshAllShowsChangesOfAnotherCopy)
{
    Cursor sp(QStringLiteral("SP"));
    sp.Open();
    sp.Last();
    // Another copy of the program writes through its own connection.
    {
        std::unique_ptr<SqliteConnection> other = SqliteConnection::Open(PathOf(QStringLiteral("SP.DB")), false);
        other->Exec("UPDATE data SET \"NAIM\"='Бухгалтерия' WHERE \"NUM\"=3");
    }
    EXPECT_EQ(sp[QStringLiteral("NAIM")].AsString(), QStringLiteral("Отдел 3"));
    RecordingView view;
    sp.AddObserver(&view);
    DbSession::RefreshAll();
    EXPECT_EQ(sp[QStringLiteral("NAIM")].AsString(), QStringLiteral("Бухгалтерия"));
    EXPECT_EQ(view.changes, QList<CursorChange>{CursorChange::DataSetChanged}) << "one notice, after the views are on";
    sp.RemoveObserver(&view);
}

TEST_F(LinkedTablesTest, DisabledViewsHearNothingUntilEnabled)
{
    Cursor sp(QStringLiteral("SP"));
    sp.Open();
    RecordingView view;
    sp.AddObserver(&view);
    sp.Next();
    EXPECT_EQ(view.changes, QList<CursorChange>{CursorChange::Scrolled});
    view.changes.clear();

    DbSession::DisableAllControls();
    sp.DisableControls();
    EXPECT_TRUE(sp.ControlsDisabled());
    for (int i = 0; i < 5; ++i) {
        sp.Edit();
        sp[QStringLiteral("NAIM")].SetString(QStringLiteral("x%1").arg(i));
        sp.Post();
        sp.Next();
    }
    EXPECT_TRUE(view.changes.isEmpty());
    DbSession::EnableAllControls();
    EXPECT_FALSE(sp.ControlsDisabled());
    EXPECT_EQ(view.changes, QList<CursorChange>{CursorChange::DataSetChanged});

    view.changes.clear();
    sp.Edit();
    sp[QStringLiteral("NAIM")].SetString(QStringLiteral("y"));
    sp.Post();
    EXPECT_TRUE(view.changes.contains(CursorChange::RecordChanged));
    EXPECT_TRUE(view.changes.contains(CursorChange::DataSetChanged));
    sp.RemoveObserver(&view);
}

TEST_F(LinkedTablesTest, ObserverHearsOfTheCursorsEnd)
{
    RecordingView view;
    {
        Cursor sp(QStringLiteral("SP"));
        sp.AddObserver(&view);
        sp.Open();
    }
    ASSERT_FALSE(view.changes.isEmpty());
    EXPECT_EQ(view.changes.first(), CursorChange::Opened);
    EXPECT_EQ(view.changes.last(), CursorChange::Destroyed);
}
