// Tyq_Table: OnScrollRecord on every move and every change of the rows,
// ahead of the views, and not on edits of the current row.

#include "foundation/YqTable.h"
#include "db/DbTestSupport.h"

#include <QStringList>

namespace {

// A view that notes what it heard into the same log as the event.
class LoggingView final : public CursorObserver {
public:
    explicit LoggingView(QStringList& log) : log_(log) {}
    void CursorChanged(Cursor&, CursorChange change) override
    {
        if (change == CursorChange::Scrolled || change == CursorChange::DataSetChanged)
            log_ << QStringLiteral("view");
    }

private:
    QStringList& log_;
};

class YqTableTest : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        Tables::Create(PostDef());
        Cursor c(QStringLiteral("POST"));
        c.Open();
        for (int num = 1; num <= 5; ++num) {
            c.Append();
            c[QStringLiteral("NUM")].SetInteger(num);
            c[QStringLiteral("NAIM")].SetString(QStringLiteral("Должность %1").arg(num));
            c.Post();
        }
    }
};

} // namespace

TEST_F(YqTableTest, FiresOnMovesAndRowChangesButNotOnEdits)
{
    Tyq_Table table(QStringLiteral("POST"));
    int fired = 0;
    QList<int> rowsSeen;
    table.OnScrollRecord = [&](Cursor& t) {
        ++fired;
        if (t.Active() && !t.IsEmpty())
            rowsSeen << t[QStringLiteral("NUM")].AsInteger();
    };
    table.Open();
    EXPECT_EQ(fired, 1) << "opening brings the rows";

    struct Step {
        const char* name;
        std::function<void()> act;
        int fires;
    };
    const std::vector<Step> steps{
        {"Next", [&] { table.Next(); }, 1},
        {"Last", [&] { table.Last(); }, 1},
        {"Next at the end moves nowhere", [&] { table.Next(); }, 0},
        {"FindKey", [&] { table.FindKey({Variant(2)}); }, 1},
        {"Edit", [&] { table.Edit(); }, 0},
        {"a field set", [&] { table[QStringLiteral("NAIM")].SetString(QStringLiteral("Бухгалтер")); }, 0},
        {"Post", [&] { table.Post(); }, 1},
        {"Append", [&] { table.Append(); }, 0},
        {"Cancel", [&] { table.Cancel(); }, 0},
        {"SetRange (to the first row, then the rows changed)", [&] { table.SetRange({Variant(2)}, {Variant(4)}); }, 2},
        {"Delete", [&] { table.Delete(); }, 1},
        {"Refresh", [&] { table.Refresh(); }, 1},
        {"CancelRange", [&] { table.CancelRange(); }, 1},
    };
    for (const Step& step : steps) {
        const int before = fired;
        step.act();
        EXPECT_EQ(fired - before, step.fires) << step.name;
    }
    EXPECT_EQ(rowsSeen.mid(1, 4), (QList<int>{2, 5, 2, 2})) << "the event sees the row that became current";
}

TEST_F(YqTableTest, RunsBeforeTheViewsAndIsQuietWhileControlsAreDisabled)
{
    QStringList log;
    Tyq_Table table(QStringLiteral("POST"));
    table.OnScrollRecord = [&](Cursor&) { log << QStringLiteral("event"); };
    table.Open();
    LoggingView view(log);
    table.AddObserver(&view);
    table.Next();
    EXPECT_EQ(log, (QStringList{QStringLiteral("event"), QStringLiteral("event"), QStringLiteral("view")}));

    log.clear();
    table.DisableControls();
    table.Next();
    table.Next();
    table.First();
    EXPECT_TRUE(log.isEmpty());
    table.EnableControls();
    EXPECT_EQ(log, (QStringList{QStringLiteral("event"), QStringLiteral("view")})) << "once, for the whole bulk work";
    table.RemoveObserver(&view);
}

TEST_F(YqTableTest, AHandlerThatRaisesStopsTheMoveAndTheTableOutlivesNoListener)
{
    auto table = std::make_unique<Tyq_Table>(QStringLiteral("POST"));
    table->Open();
    table->OnScrollRecord = [](Cursor&) { throw EAbort(); };
    EXPECT_THROW(table->Next(), EAbort);
    table->OnScrollRecord = nullptr;
    table->Next();
    EXPECT_EQ((*table)[QStringLiteral("NUM")].AsInteger(), 3) << "the row moved before the event, as before";
    table.reset(); // closes with the listener removed first
}
