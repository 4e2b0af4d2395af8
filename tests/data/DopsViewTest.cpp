// Views of the accrual directory: filter bits, explicit sets, sort modes,
// check marks, and what happens when the directory reloads or goes.

#include "DopFixture.h"

#include "data/Globals.h"
#include "platform/Exceptions.h"
#include "support/ChangeCounter.h"
#include "support/ScriptedMessages.h"

namespace {

class DopView : public DopFixture {
protected:
    void SetUp() override
    {
        DopFixture::SetUp();
        AddTable(1, 3, 0, {2});
        AddTable(2, 200, 1, {201});
        // number, name, deduction, type, deleted, display number, stage, TABL, VLIST
        AddKind(KindRow{0, QStringLiteral("Баланс"), false, 1, false, 1, 1});
        AddKind(KindRow{2, QStringLiteral("Повременно"), false, 3, false, 3, 1});
        AddKind(KindRow{3, QStringLiteral("Премия"), false, 4, false, 2, 150, 1});
        AddKind(KindRow{4, QStringLiteral("Архивная доплата"), false, 0, true, 4, 100});
        AddKind(KindRow{200, QStringLiteral("Налог"), true, 9, false, 5, 40, 0, 2});
        AddKind(KindRow{201, QStringLiteral("Алименты"), true, 0, false, 6, 30});
        AddKind(KindRow{202, QStringLiteral("Старый штраф"), true, 0, true, 7, 30});
    }

    T_DNList dn;
};

TEST_F(DopView, FilterBitsChooseTheKinds)
{
    struct Row {
        const char* name;
        quint8 filter;
        QList<int> expected; // by number
    };
    const Row rows[] = {
        {"0: nothing", 0, {}},
        {"1: current accruals", 1, {0, 2, 3}},
        {"2: current deductions", 2, {200, 201}},
        {"3: current kinds", 3, {0, 2, 3, 200, 201}},
        {"5: deleted accruals", 5, {4}},
        {"6: deleted deductions", 6, {202}},
        {"7: deleted kinds", 7, {4, 202}},
        {"15: deleted and current", 15, {0, 2, 3, 4, 200, 201, 202}},
        // Neither accruals nor deductions named: both are admitted.
        {"4: deleted kinds only", 4, {4, 202}},
        {"12: deleted and current kinds", 12, {0, 2, 3, 4, 200, 201, 202}},
        {"8 alone: current kinds", 8, {0, 2, 3, 200, 201}},
        {"35: current kinds with TABL", 35, {3}},
        {"67: current kinds with VLIST", 67, {200}},
        {"131: without the balance kind", 131, {2, 3, 200, 201}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        T_DNSubList view(&dn, r.filter);
        EXPECT_EQ(Numbers(view), r.expected);
    }
}

TEST_F(DopView, ASetOverridesTheFilterAndLocksIt)
{
    T_yqIntegerList set;
    for (int n : {202, 2, 99})
        set.AddInteger(n);
    T_DNSubList view(&dn, 1, &set);
    EXPECT_EQ(Numbers(view), (QList<int>{2, 202})) << "deleted and deductions too; 99 is no kind";
    try {
        view.SetFilter(3);
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("На T_DNSubList назначен набор"));
    }
    view.SetNabor(nullptr);
    EXPECT_EQ(Numbers(view), (QList<int>{0, 2, 3}));
    view.SetFilter(2);
    EXPECT_EQ(Numbers(view), (QList<int>{200, 201}));
    T_yqIntegerList empty;
    view.SetNabor(&empty);
    EXPECT_EQ(view.DopCount(), 0) << "an empty set is a set";
}

TEST_F(DopView, SortModesPutAccrualsFirst)
{
    struct Row {
        int mode;
        QList<int> expected;
    };
    const Row rows[] = {
        {1, {0, 2, 3, 4, 200, 201, 202}},
        {2, {4, 0, 2, 3, 201, 200, 202}}, // Архивная, Баланс, Повременно, Премия | Алименты, Налог, Старый
        {3, {0, 3, 2, 4, 200, 201, 202}}, // display numbers 1, 2, 3, 4 | 5, 6, 7
        {4, {0, 2, 4, 3, 201, 202, 200}}, // types 1, 3 first; then stages 100, 150 | 30 (SNUM 6, 7), 40
    };
    T_DNSubList view(&dn, 15);
    ChangeCounter changes;
    view.OnChange = changes.Event();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mode);
        view.SetSortMode(r.mode);
        EXPECT_EQ(Numbers(view), r.expected);
    }
    EXPECT_EQ(changes.calls, 4) << "one build, then three re-sorts";
}

TEST_F(DopView, SortByNameUsesTheShownVariant)
{
    const Tcfg saved = Cfg;
    AddKind(KindRow{10, QStringLiteral("Яблоко|Аванс отпускных")});
    dn.Reload();
    T_DNSubList view(&dn, 1);
    view.SetSortMode(2);
    Cfg.NameDopVid = 2;
    view.Rebuild();
    EXPECT_EQ(view.GetDop(0)->DopNum, 10) << "\"Аванс отпускных\" first";
    Cfg.NameDopVid = 0;
    view.Rebuild();
    EXPECT_EQ(view.GetDop(view.DopCount() - 1)->DopNum, 10) << "\"Яблоко|...\" last";
    Cfg = saved;
}

TEST_F(DopView, LookupsAndMarksFollowTheDirectoryReloads)
{
    T_DNSubList view(&dn, 3);
    EXPECT_EQ(view.IndexOfDopNum(3), 2);
    EXPECT_EQ(view.IndexOfDopNum(4), -1) << "deleted: not in this view";
    EXPECT_EQ(view.IndexOfDopNum(-1), -1);
    ASSERT_NE(view.FindMDop(200), nullptr);
    EXPECT_EQ(view.FindMDop(77), nullptr);

    view.FindMDop(200)->Checked = true;
    view.FindMDop(0)->Checked = true;
    AddKind(KindRow{5, QStringLiteral("Новая")});
    dn.SetLoaded(false);
    EXPECT_EQ(Numbers(view), (QList<int>{0, 2, 3, 5, 200, 201})) << "the next access reads DP again";
    EXPECT_TRUE(view.FindMDop(200)->Checked) << "marks stay with their kinds";
    EXPECT_TRUE(view.FindMDop(0)->Checked);
    EXPECT_FALSE(view.FindMDop(5)->Checked);

    view.CheckAll();
    for (int i = 0; i < view.DopCount(); ++i)
        EXPECT_TRUE(view.GetMDop(i)->Checked);
    view.UncheckAll();
    EXPECT_FALSE(view.FindMDop(200)->Checked);
}

TEST(DopViewOwner, AViewOutlivesItsDirectory)
{
    DataFolderFixture fx;
    fx.OpenDataBase();
    AppendRecordValues(DM()->DP, 0, {"DOPNUM", "NAIM"}, {Variant(1), Variant(QStringLiteral("Вид"))});
    auto dn = std::make_unique<T_DNList>();
    T_DNSubList view(dn.get(), 3);
    ASSERT_EQ(view.DopCount(), 1);
    dn.reset();
    EXPECT_EQ(view.Owner(), nullptr);
    EXPECT_EQ(view.DopCount(), 0);
    EXPECT_EQ(view.FindMDop(1), nullptr);
    view.Rebuild();
    EXPECT_EQ(view.DopCount(), 0);
}

TEST(DopViewOwner, TableSubListsByTip)
{
    DataFolderFixture fx;
    fx.OpenDataBase();
    T_TablList tables;
    T_DopTabl* a = new T_DopTabl;
    a->Num = 1;
    a->Tip = 0;
    T_DopTabl* b = new T_DopTabl;
    b->Num = 2;
    b->Tip = 1;
    tables.AddObject(a);
    tables.AddObject(b);
    T_TablSubList sub;
    sub.Fill(tables, 1);
    ASSERT_EQ(sub.Count(), 1);
    EXPECT_EQ(sub.GetTable(0), b);
    sub.Fill(tables, 3);
    EXPECT_EQ(sub.Count(), 2);
    EXPECT_EQ(tables.FindByNum(2), b);
    EXPECT_EQ(tables.FindByNum(3), nullptr);
}

} // namespace
