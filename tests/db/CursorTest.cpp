#include "DbTestSupport.h"

#include "db/Sqlite.h"
#include "platform/DateTime.h"

using CursorTest = DataFolderTest;

namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

// Bin rows: (CLASS, VID, TIP, SUBTIP, DATEBEG) in an order different from the index.
void FillBin(Cursor& bin)
{
    const struct {
        int cls, vid, tip, subtip;
        TDateTime date;
    } rows[] = {
        {2, 1, 0, 0, D(2024, 1, 1)}, //
        {1, 5, 2, 0, D(2024, 3, 1)}, //
        {1, 5, 1, 0, D(2024, 1, 1)}, //
        {1, 3, 0, 0, D(2023, 1, 1)}, //
        {1, 5, 2, 0, D(2024, 2, 1)}, //
        {4, 9, 9, 9, D(2020, 1, 1)},
    };
    for (const auto& r : rows) {
        AppendRow(bin,
            {{"CLASS", Variant(r.cls)}, {"VID", Variant(r.vid)}, {"TIP", Variant(r.tip)}, {"SUBTIP", Variant(r.subtip)},
                {"DATEBEG", Variant::FromDate(r.date)}});
    }
}

} // namespace

TEST_F(CursorTest, FindKeyOnLeadingFieldsOfFiveFieldIndex)
{
    Tables::Create(BinDef());
    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    FillBin(bin);
    bin.SetIndexName(QStringLiteral("INFO"));

    struct Case {
        const char* name;
        QList<Variant> key;
        int prim; // 0: not found
    } cases[] = {
        {"class only", {Variant(1)}, 4},
        {"class and vid", {Variant(1), Variant(5)}, 3},
        {"three fields", {Variant(1), Variant(5), Variant(2)}, 5},
        {"full key", {Variant(1), Variant(5), Variant(2), Variant(0), Variant::FromDate(D(2024, 3, 1))}, 2},
        {"absent class", {Variant(3)}, 0},
        {"absent vid", {Variant(1), Variant(4)}, 0},
        {"absent date", {Variant(1), Variant(5), Variant(2), Variant(0), Variant::FromDate(D(2024, 4, 1))}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bin.Last();
        const int before = bin[QStringLiteral("PRIM")].AsInteger();
        const bool found = bin.FindKey(c.key);
        EXPECT_EQ(found, c.prim != 0);
        EXPECT_EQ(bin[QStringLiteral("PRIM")].AsInteger(), c.prim ? c.prim : before) << "a failed lookup must not move";
    }
    // After a found key, Next goes on past the key's rows in index order.
    ASSERT_TRUE(bin.FindKey({Variant(1), Variant(5)}));
    EXPECT_EQ(IntsToEnd(bin, "PRIM"), (QList<int>{3, 5, 2, 1, 6}));
}

TEST_F(CursorTest, FindKeyWithTooManyValuesIsRefused)
{
    Tables::Create(PostDef());
    Cursor post(QStringLiteral("POST"));
    post.Open();
    EXPECT_THROW(post.FindKey({Variant(1), Variant(2)}), EDatabaseError);
}

TEST_F(CursorTest, FindNearestThenPrior)
{
    Tables::Create(TableDef{QStringLiteral("PROPIS"),
        {F("NUMBER", FieldType::Float), F("NAME1", FieldType::String, 60), F("NAME2", FieldType::String, 60)},
        {Primary("NUMBER")}});
    Cursor p(QStringLiteral("PROPIS"));
    p.Open();
    for (double n : {1000.0, 10.0, 100.0, 20.0})
        AppendRow(p, {{"NUMBER", Variant(n)}, {"NAME1", Variant(QString::number(n))}});

    struct Case {
        const char* name;
        double key;
        double nearest;
        double prior;
        bool bofAfterPrior;
    } cases[] = {
        {"between rows", 25, 100, 20, false},
        {"exact", 100, 100, 20, false},
        {"before the first", 5, 10, 10, true},
        {"past the last", 5000, 1000, 100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        p.FindNearest({Variant(c.key)});
        EXPECT_DOUBLE_EQ(p[QStringLiteral("NUMBER")].AsFloat(), c.nearest);
        EXPECT_FALSE(p.Eof());
        p.Prior();
        EXPECT_DOUBLE_EQ(p[QStringLiteral("NUMBER")].AsFloat(), c.prior);
        EXPECT_EQ(p.Bof(), c.bofAfterPrior);
    }
}

TEST_F(CursorTest, RangesOnNumberAndOnNumberWithDate)
{
    Tables::Create(VvodDef());
    Cursor v(QStringLiteral("VVOD"));
    v.Open();
    const struct {
        int tabnum;
        TDateTime date; // 0: left empty
    } rows[] = {{5, D(2024, 3, 1)}, {4, D(2024, 1, 1)}, {5, D(2024, 1, 1)}, {6, D(2024, 1, 1)}, {5, 0},
        {5, D(2024, 2, 1)}, {5, D(2024, 1, 1)}};
    for (const auto& r : rows) {
        v.Append();
        v[QStringLiteral("TABNUM")].SetInteger(r.tabnum);
        if (r.date)
            v[QStringLiteral("DATEVV")].SetDateTime(r.date);
        v.Post();
    }
    v.SetIndexName(QStringLiteral("TABNUM"));

    v.SetRange({Variant(5)}, {Variant(5)});
    EXPECT_EQ(AllInts(v, "PRIM"), (QList<int>{5, 3, 7, 6, 1})) << "empty date first, then by date, ties by PRIM";
    EXPECT_EQ(v.RecordCount(), 5);

    v.SetRange({Variant(5), Variant::FromDate(D(2024, 1, 1))}, {Variant(5), Variant::FromDate(D(2024, 2, 1))});
    EXPECT_EQ(AllInts(v, "PRIM"), (QList<int>{3, 7, 6}));
    EXPECT_EQ(v.RecordCount(), 3);
    v.Last();
    EXPECT_EQ(v[QStringLiteral("PRIM")].AsInteger(), 6);

    // Start and end of different length: from (5, 2024-02-01) to every row of 6.
    v.SetRange({Variant(5), Variant::FromDate(D(2024, 2, 1))}, {Variant(6)});
    EXPECT_EQ(AllInts(v, "PRIM"), (QList<int>{6, 1, 4}));

    v.SetRange({Variant(7)}, {Variant(9)});
    EXPECT_TRUE(v.IsEmpty());
    EXPECT_TRUE(v.Eof());
    EXPECT_TRUE(v.Bof());
    EXPECT_EQ(v.RecordCount(), 0);

    // The range limits key lookups too.
    v.SetRange({Variant(5)}, {Variant(5)});
    EXPECT_FALSE(v.FindKey({Variant(4)}));
    EXPECT_TRUE(v.FindKey({Variant(5), Variant::FromDate(D(2024, 2, 1))}));
    EXPECT_EQ(v[QStringLiteral("PRIM")].AsInteger(), 6);

    v.CancelRange();
    EXPECT_EQ(v[QStringLiteral("PRIM")].AsInteger(), 6) << "cancelling a range keeps the row";
    EXPECT_EQ(v.RecordCount(), 7);
}

TEST_F(CursorTest, ChangingTheIndexCancelsTheRangeAndKeepsTheRow)
{
    Tables::Create(VvodDef());
    Cursor v(QStringLiteral("VVOD"));
    v.Open();
    for (int t : {3, 1, 2, 1})
        AppendRow(v, {{"TABNUM", Variant(t)}, {"DATEBEG", Variant::FromDate(D(2024, 1, t))}});
    v.SetIndexName(QStringLiteral("TABNUM"));
    v.SetRange({Variant(1)}, {Variant(1)});
    ASSERT_EQ(v.RecordCount(), 2);
    v.Last();
    const int prim = v[QStringLiteral("PRIM")].AsInteger();

    v.SetIndexName(QStringLiteral("TABDATE"));
    EXPECT_FALSE(v.HasRange());
    EXPECT_EQ(v.RecordCount(), 4);
    EXPECT_EQ(v[QStringLiteral("PRIM")].AsInteger(), prim);
    EXPECT_EQ(v.IndexFields(), (QStringList{QStringLiteral("TABNUM"), QStringLiteral("DATEBEG")}));

    v.SetIndexFieldNames(QStringLiteral("tabnum"));
    EXPECT_EQ(v.IndexName(), QStringLiteral("TABNUM"));
    EXPECT_THROW(v.SetIndexName(QStringLiteral("NOSUCH")), EDatabaseError);
    EXPECT_EQ(v.IndexName(), QStringLiteral("TABNUM"));
}

TEST_F(CursorTest, DeletingInsideARangeMovesToTheNextRow)
{
    Tables::Create(VvodDef());
    Cursor v(QStringLiteral("VVOD"));
    v.Open();
    for (int t : {7, 5, 5, 6, 5, 4})
        AppendRow(v, {{"TABNUM", Variant(t)}});
    v.SetIndexName(QStringLiteral("TABNUM"));
    v.SetRange({Variant(5)}, {Variant(5)});
    ASSERT_EQ(AllInts(v, "PRIM"), (QList<int>{2, 3, 5}));

    v.First();
    v.Next();
    v.Delete();
    EXPECT_EQ(v[QStringLiteral("PRIM")].AsInteger(), 5) << "the next row of the range";
    v.Delete();
    EXPECT_EQ(v[QStringLiteral("PRIM")].AsInteger(), 2) << "at the end the previous one";
    v.Delete();
    EXPECT_TRUE(v.IsEmpty());
    EXPECT_TRUE(v.Eof());

    v.CancelRange();
    EXPECT_EQ(AllInts(v, "TABNUM"), (QList<int>{4, 6, 7})) << "rows outside the range are untouched";

    // The usual loop that clears an employee's rows.
    for (int t : {6, 6, 6})
        AppendRow(v, {{"TABNUM", Variant(t)}});
    v.SetRange({Variant(6)}, {Variant(6)});
    int deleted = 0;
    for (v.First(); !v.Eof() && deleted < 10; ++deleted)
        v.Delete();
    EXPECT_EQ(deleted, 4);
    v.CancelRange();
    EXPECT_EQ(AllInts(v, "TABNUM"), (QList<int>{4, 7}));
}

TEST_F(CursorTest, DeletingARangeTakesItsRowsOnly)
{
    // By one statement, or row by row when a filter or an event must see
    // each row; either way the rows outside stay and the cursor is empty.
    struct Row {
        const char* what;
        bool range, filter, event;
        QList<int> left; // TABNUM of the rows left
        int events;
    } rows[] = {
        {"range", true, false, false, {4, 6, 7}, 0},
        {"range and filter", true, true, false, {4, 5, 6, 7}, 0},
        {"range and event", true, false, true, {4, 6, 7}, 3},
        {"no range", false, false, false, {}, 0},
    };
    Tables::Create(VvodDef());
    for (const Row& r : rows) {
        Cursor v(QStringLiteral("VVOD"));
        v.Open();
        v.EmptyTable();
        for (int t : {7, 5, 5, 6, 5, 4})
            AppendRow(v, {{"TABNUM", Variant(t)}});
        v.SetIndexName(QStringLiteral("TABNUM"));
        if (r.range)
            v.SetRange({Variant(5)}, {Variant(5)});
        int events = 0;
        if (r.filter) {
            // The last row of 5 is hidden: it stays.
            v.OnFilterRecord = [](Cursor& c) { return c[QStringLiteral("PRIM")].AsInteger() != 5; };
            v.SetFiltered(true);
        }
        if (r.event)
            v.OnBeforeDelete = [&events](Cursor&) { ++events; };
        const int deleted = v.DeleteRange();
        EXPECT_TRUE(v.IsEmpty()) << r.what;
        EXPECT_EQ(events, r.events) << r.what;
        v.SetFiltered(false);
        v.OnBeforeDelete = nullptr;
        v.CancelRange();
        EXPECT_EQ(AllInts(v, "TABNUM"), r.left) << r.what;
        EXPECT_EQ(deleted, 6 - int(r.left.size())) << r.what;
    }
}

TEST_F(CursorTest, DeletingMovesOntoARowAnotherCursorWroteMeanwhile)
{
    Tables::Create(VvodDef());
    Cursor a(QStringLiteral("VVOD")), b(QStringLiteral("VVOD"));
    a.Open();
    for (int t : {5, 5, 5})
        AppendRow(a, {{"TABNUM", Variant(t)}});
    a.SetIndexName(QStringLiteral("TABNUM"));
    a.SetRange({Variant(5)}, {Variant(5)});
    ASSERT_EQ(a[QStringLiteral("PRIM")].AsInteger(), 1);
    b.Open();
    ASSERT_TRUE(b.FindKey({Variant(2)}));
    b.Delete();
    a.Delete();
    EXPECT_EQ(a[QStringLiteral("PRIM")].AsInteger(), 3) << "not the row read ahead before the other cursor's delete";
}

TEST_F(CursorTest, DuplicatePrimaryKeyRaisesAndChangesNothing)
{
    Tables::Create(PostDef());
    Cursor post(QStringLiteral("POST"));
    post.Open();
    AppendRow(post, {{"NUM", Variant(0)}, {"NAIM", Variant("Директор")}});
    AppendRow(post, {{"NUM", Variant(1)}, {"NAIM", Variant("Бухгалтер")}});

    post.Append();
    post[QStringLiteral("NUM")].SetInteger(0);
    post[QStringLiteral("NAIM")].SetString(QStringLiteral("Кассир"));
    try {
        post.Post();
        FAIL() << "a duplicate key was accepted";
    } catch (const EKeyViolation& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("POST"))) << e.Message().toStdString();
    }
    EXPECT_EQ(post.State(), CursorState::Insert) << "the clerk can still correct the key";
    post.Cancel();

    // Changing a key onto an existing one is refused as well.
    ASSERT_TRUE(post.FindKey({Variant(1)}));
    post.Edit();
    post[QStringLiteral("NUM")].SetInteger(0);
    EXPECT_THROW(post.Post(), EKeyViolation);
    post.Cancel();

    post.Close();
    post.Open();
    EXPECT_EQ(post.RecordCount(), 2);
    ASSERT_TRUE(post.FindKey({Variant(0)}));
    EXPECT_EQ(post[QStringLiteral("NAIM")].AsString(), QStringLiteral("Директор"));
    ASSERT_TRUE(post.FindKey({Variant(1)}));
    EXPECT_EQ(post[QStringLiteral("NAIM")].AsString(), QStringLiteral("Бухгалтер"));
}

TEST_F(CursorTest, TwoFieldKeyWithAFloat)
{
    Tables::Create(PnlDef());
    Cursor pnl(QStringLiteral("PNL"));
    pnl.Open();
    AppendRow(pnl, {{"NUM", Variant(1)}, {"SUM", Variant(12000.0)}, {"PROC", Variant(13.0)}});
    AppendRow(pnl, {{"NUM", Variant(1)}, {"SUM", Variant(0.0)}, {"PROC", Variant(12.0)}});
    AppendRow(pnl, {{"NUM", Variant(2)}, {"SUM", Variant(12000.0)}, {"PROC", Variant(20.0)}});
    pnl.Append();
    pnl[QStringLiteral("NUM")].SetInteger(1);
    pnl[QStringLiteral("SUM")].SetFloat(12000.0);
    EXPECT_THROW(pnl.Post(), EKeyViolation);
    pnl.Cancel();
    ASSERT_TRUE(pnl.FindKey({Variant(1), Variant(12000.0)}));
    EXPECT_DOUBLE_EQ(pnl[QStringLiteral("PROC")].AsFloat(), 13.0);
    EXPECT_FALSE(pnl.FindKey({Variant(1), Variant(12000.01)}));
    EXPECT_EQ(AllInts(pnl, "PROC"), (QList<int>{12, 13, 20}));
}

TEST_F(CursorTest, AutoIncNumbersAreNotReusedAfterDeletes)
{
    Tables::Create(VvodDef());
    Cursor v(QStringLiteral("VVOD"));
    v.Open();
    for (int i = 0; i < 3; ++i)
        AppendRow(v, {{"TABNUM", Variant(i)}});
    EXPECT_EQ(AllInts(v, "PRIM"), (QList<int>{1, 2, 3}));
    v.Last();
    v.Delete();
    v.First();
    v.Delete();
    AppendRow(v, {{"TABNUM", Variant(9)}});
    EXPECT_EQ(v[QStringLiteral("PRIM")].AsInteger(), 4) << "the number is known right after the post";
    v.Close();
    v.Open();
    EXPECT_EQ(AllInts(v, "PRIM"), (QList<int>{2, 4}));

    v.EmptyTable();
    EXPECT_TRUE(v.IsEmpty());
    AppendRow(v, {{"TABNUM", Variant(1)}});
    EXPECT_EQ(v[QStringLiteral("PRIM")].AsInteger(), 1) << "an emptied table numbers from 1";

    // Editing the number of a posted row is refused.
    v.Edit();
    EXPECT_THROW(v[QStringLiteral("PRIM")].SetInteger(7), EDatabaseError);
    v.Cancel();
}

TEST_F(CursorTest, StoredValuesFollowTheFieldRules)
{
    Tables::Create(TableDef{QStringLiteral("T"),
        {F("NUM", FieldType::Integer), F("NAIM", FieldType::String, 5), F("SMALL", FieldType::Smallint),
            F("SUM", FieldType::Float), F("FLAG", FieldType::Boolean), F("DAY", FieldType::Date),
            F("STAMP", FieldType::DateTime), F("INFO", FieldType::Blob)},
        {Primary("NUM")}});
    Cursor t(QStringLiteral("T"));
    t.Open();
    t.Append();
    t[QStringLiteral("NUM")].SetInteger(1);
    t[QStringLiteral("NAIM")].SetString(QStringLiteral("Заработная плата"));
    t[QStringLiteral("SMALL")].SetInteger(-32768);
    EXPECT_THROW(t[QStringLiteral("SMALL")].SetInteger(32768), EDatabaseError);
    EXPECT_THROW(t[QStringLiteral("NUM")].SetInteger(int64_t(1) << 33), EDatabaseError);
    EXPECT_THROW(t[QStringLiteral("SUM")].SetFloat(std::numeric_limits<double>::infinity()), EDatabaseError);
    t[QStringLiteral("SUM")].SetFloat(1234.56);
    t[QStringLiteral("FLAG")].SetBoolean(true);
    t[QStringLiteral("DAY")].SetDateTime(D(2024, 5, 17) + 0.75);
    t[QStringLiteral("STAMP")].SetDateTime(D(2024, 5, 17) + 0.75);
    t[QStringLiteral("INFO")].SetBlob(QByteArray("\x00\x01\xFF", 3));
    t.Post();
    AppendRow(t, {{"NUM", Variant(2)}});
    t.Close();

    t.Open();
    ASSERT_TRUE(t.FindKey({Variant(1)}));
    EXPECT_EQ(t[QStringLiteral("NAIM")].AsString(), QStringLiteral("Зараб")) << "cut to 5 characters, not bytes";
    EXPECT_EQ(t[QStringLiteral("SMALL")].AsInteger(), -32768);
    EXPECT_DOUBLE_EQ(t[QStringLiteral("SUM")].AsFloat(), 1234.56);
    EXPECT_TRUE(t[QStringLiteral("FLAG")].AsBoolean());
    EXPECT_DOUBLE_EQ(t[QStringLiteral("DAY")].AsDateTime(), D(2024, 5, 17)) << "a date keeps no time";
    EXPECT_DOUBLE_EQ(t[QStringLiteral("STAMP")].AsDateTime(), D(2024, 5, 17) + 0.75);
    EXPECT_EQ(t[QStringLiteral("INFO")].AsBlob(), QByteArray("\x00\x01\xFF", 3));
    EXPECT_EQ(t[QStringLiteral("DAY")].AsVariant().Type(), VarType::Date);

    // A row with nothing set keeps its nulls and reads them as 0, "" and false.
    ASSERT_TRUE(t.FindKey({Variant(2)}));
    for (const char* name : {"NAIM", "SMALL", "SUM", "FLAG", "DAY", "STAMP", "INFO"}) {
        SCOPED_TRACE(name);
        const Field f = t[QString::fromUtf8(name)];
        EXPECT_TRUE(f.IsNull());
        EXPECT_EQ(f.AsInteger(), 0);
        EXPECT_EQ(f.AsFloat(), 0.0);
        EXPECT_EQ(f.AsString(), QString());
        EXPECT_FALSE(f.AsBoolean());
        EXPECT_EQ(f.AsBlob(), QByteArray());
        EXPECT_TRUE(f.AsVariant().IsNull());
    }
    // Zero is a value, not a null.
    t.Edit();
    t[QStringLiteral("SUM")].SetFloat(0.0);
    t[QStringLiteral("DAY")].SetDateTime(0.0);
    t.Post();
    t.Refresh();
    EXPECT_FALSE(t[QStringLiteral("SUM")].IsNull());
    EXPECT_FALSE(t[QStringLiteral("DAY")].IsNull());
    // An empty text is the blank value.
    t.Edit();
    t[QStringLiteral("NAIM")].SetString(QString());
    t.Post();
    EXPECT_TRUE(t[QStringLiteral("NAIM")].IsNull());
}

TEST_F(CursorTest, FieldsAreSetOnlyWhileEditing)
{
    Tables::Create(PostDef());
    Cursor post(QStringLiteral("POST"));
    post.Open();
    EXPECT_THROW(post[QStringLiteral("NAIM")].SetString(QStringLiteral("x")), EDatabaseError);
    EXPECT_THROW(post.FieldByName(QStringLiteral("NOPE")), EDatabaseError);
    EXPECT_FALSE(post.FindField(QStringLiteral("NOPE")).IsValid());
    EXPECT_TRUE(post[QStringLiteral("NAIM")].IsNull()) << "an empty table reads nulls";
    EXPECT_THROW(post.Delete(), EDatabaseError);
}

TEST_F(CursorTest, CyrillicCaseInsensitiveIndex)
{
    Tables::Create(PostDef());
    Cursor post(QStringLiteral("POST"));
    post.Open();
    int n = 0;
    for (const char* name : {"ёж", "Ель", "елка", "Ёлка", "Абв", "абв", "Ж", "abc", "ABD"})
        AppendRow(post, {{"NUM", Variant(++n)}, {"NAIM", Variant(QString::fromUtf8(name))}});
    post.SetIndexName(QStringLiteral("NAIM"));
    QStringList order;
    for (post.First(); !post.Eof(); post.Next())
        order << post[QStringLiteral("NAIM")].AsString();
    EXPECT_EQ(order.join(QLatin1Char(' ')), QStringLiteral("abc ABD Абв абв елка Ель ёж Ёлка Ж"));

    ASSERT_TRUE(post.FindKey({Variant("ЁЛКА")}));
    EXPECT_EQ(post[QStringLiteral("NAIM")].AsString(), QStringLiteral("Ёлка"));
    ASSERT_TRUE(post.FindKey({Variant("ЕЛКА")}));
    EXPECT_EQ(post[QStringLiteral("NAIM")].AsString(), QStringLiteral("елка")) << "е and ё are different letters";
    ASSERT_TRUE(post.FindKey({Variant("АБВ")}));
    EXPECT_EQ(post[QStringLiteral("NUM")].AsInteger(), 5) << "equal names are ordered by the primary key";
    post.SetRange({Variant("ё")}, {Variant("ЁЯ")});
    EXPECT_EQ(AllInts(post, "NUM"), (QList<int>{1, 4}));
}

TEST_F(CursorTest, FilterCallbackHidesRows)
{
    Tables::Create(VvodDef());
    Cursor v(QStringLiteral("VVOD"));
    v.Open();
    for (int i = 1; i <= 40; ++i)
        AppendRow(v, {{"TABNUM", Variant(i)}, {"DOPNUM", Variant(i % 3)}});
    v.OnFilterRecord = [](Cursor& c) { return c[QStringLiteral("DOPNUM")].AsInteger() == 0; };
    v.SetFiltered(true);
    QList<int> expected;
    for (int i = 3; i <= 40; i += 3)
        expected << i;
    EXPECT_EQ(AllInts(v, "TABNUM"), expected);
    EXPECT_EQ(v.RecordCount(), expected.size());
    v.Last();
    EXPECT_EQ(v[QStringLiteral("TABNUM")].AsInteger(), 39);
    v.Prior();
    EXPECT_EQ(v[QStringLiteral("TABNUM")].AsInteger(), 36);
    EXPECT_EQ(v.RecNo(), 12);
    EXPECT_FALSE(v.FindKey({Variant(4)})) << "a key lookup passes the filter too";
    EXPECT_TRUE(v.FindKey({Variant(6)}));

    // The callback may not move the cursor.
    v.OnFilterRecord = [](Cursor& c) {
        c.Next();
        return true;
    };
    EXPECT_THROW(v.First(), EDatabaseError);
    v.SetFiltered(false);
    EXPECT_EQ(v.RecordCount(), 40);
}

TEST_F(CursorTest, BookmarksRecordNumbersAndMoves)
{
    Tables::Create(VvodDef());
    Cursor v(QStringLiteral("VVOD"));
    v.Open();
    for (int i = 1; i <= 30; ++i)
        AppendRow(v, {{"TABNUM", Variant(31 - i)}});
    v.SetIndexName(QStringLiteral("TABNUM"));
    v.SetRecNo(10);
    EXPECT_EQ(v[QStringLiteral("TABNUM")].AsInteger(), 10);
    EXPECT_EQ(v.RecNo(), 10);
    const Bookmark b = v.GetBookmark();
    EXPECT_EQ(v.MoveBy(5), 5);
    EXPECT_EQ(v.RecNo(), 15);
    EXPECT_EQ(v.MoveBy(-100), -14);
    EXPECT_TRUE(v.Bof());
    EXPECT_TRUE(v.BookmarkValid(b));
    v.GotoBookmark(b);
    EXPECT_EQ(v[QStringLiteral("TABNUM")].AsInteger(), 10);
    v.Delete();
    EXPECT_FALSE(v.BookmarkValid(b));
    EXPECT_THROW(v.GotoBookmark(b), EDatabaseError);
    v.SetRecNo(1000);
    EXPECT_EQ(v[QStringLiteral("TABNUM")].AsInteger(), 30);
}

TEST_F(CursorTest, NavigationPostsOrCancelsTheEdit)
{
    Tables::Create(PostDef());
    Cursor post(QStringLiteral("POST"));
    post.Open();
    AppendRow(post, {{"NUM", Variant(1)}, {"NAIM", Variant("а")}});
    AppendRow(post, {{"NUM", Variant(2)}, {"NAIM", Variant("б")}});
    post.First();
    post.Edit();
    post[QStringLiteral("NAIM")].SetString(QStringLiteral("изменено"));
    post.Next();
    EXPECT_EQ(post.State(), CursorState::Browse);
    post.First();
    EXPECT_EQ(post[QStringLiteral("NAIM")].AsString(), QStringLiteral("изменено"));

    post.Append(); // nothing set: no empty row appears
    post.First();
    EXPECT_EQ(post.RecordCount(), 2);

    post.Edit();
    post[QStringLiteral("NAIM")].SetString(QStringLiteral("отменено"));
    post.Cancel();
    EXPECT_EQ(post[QStringLiteral("NAIM")].AsString(), QStringLiteral("изменено"));

    // Edit on an empty cursor appends.
    post.EmptyTable();
    post.Edit();
    EXPECT_EQ(post.State(), CursorState::Insert);
    post.Cancel();
    EXPECT_TRUE(post.IsEmpty());
}

TEST_F(CursorTest, ReadAheadNeverShowsStaleRowsOfThisProcess)
{
    Tables::Create(VvodDef());
    Cursor a(QStringLiteral("VVOD"));
    Cursor b(QStringLiteral("VVOD"));
    a.Open();
    for (int i = 1; i <= 100; ++i)
        AppendRow(a, {{"TABNUM", Variant(i)}});
    b.Open();
    a.First();
    a.Next(); // rows ahead are read now
    ASSERT_TRUE(b.FindKey({Variant(3)}));
    b.Delete();
    b.Append();
    b[QStringLiteral("TABNUM")].SetInteger(1000);
    b.Post();
    ASSERT_TRUE(b.FindKey({Variant(5)}));
    b.Edit();
    b[QStringLiteral("TABNUM")].SetInteger(-5);
    b.Post();
    QList<int> seen;
    for (a.Next(); !a.Eof(); a.Next())
        seen << a[QStringLiteral("TABNUM")].AsInteger();
    EXPECT_FALSE(seen.contains(3));
    EXPECT_TRUE(seen.contains(-5));
    EXPECT_EQ(seen.last(), 1000);
    EXPECT_EQ(seen.size(), 98);
}

TEST_F(CursorTest, EventsFireAroundMovesAndPosts)
{
    Tables::Create(PostDef());
    Cursor post(QStringLiteral("POST"));
    post.Open();
    QStringList log;
    post.OnBeforeScroll = [&](Cursor&) { log << QStringLiteral("before"); };
    post.OnAfterScroll = [&](Cursor& c) { log << QStringLiteral("after:") + c[QStringLiteral("NAIM")].AsString(); };
    post.OnNewRecord = [&](Cursor& c) { c[QStringLiteral("USER")].SetInteger(7); };
    post.OnBeforePost = [&](Cursor& c) {
        if (c[QStringLiteral("NAIM")].AsString().isEmpty())
            throw EAppException(QStringLiteral("Нет наименования"));
    };
    post.OnDataChanged = [&](Cursor&) { log << QStringLiteral("changed"); };
    post.Append();
    post[QStringLiteral("NUM")].SetInteger(1);
    EXPECT_THROW(post.Post(), EAppException);
    EXPECT_EQ(post.State(), CursorState::Insert);
    post[QStringLiteral("NAIM")].SetString(QStringLiteral("x"));
    post.Post();
    EXPECT_EQ(post[QStringLiteral("USER")].AsInteger(), 7);
    log.clear();
    post.First();
    EXPECT_EQ(log, (QStringList{QStringLiteral("before"), QStringLiteral("after:x")}));

    // A handler that raises stops the move.
    AppendRow(post, {{"NUM", Variant(2)}, {"NAIM", Variant("y")}});
    post.First();
    post.OnBeforeScroll = [](Cursor&) { throw EAbort(); };
    EXPECT_THROW(post.Next(), EAbort);
    EXPECT_EQ(post[QStringLiteral("NUM")].AsInteger(), 1);
}
