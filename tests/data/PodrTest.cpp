// Departments on a fresh data base: the enterprise row, the dismissed
// groups, the trees under their filters, rings of parents, saving, the
// use check, and the lazy reload with its notifications.

#include "data/Podr.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "db/Cursor.h"
#include "platform/Exceptions.h"
#include "support/DataFolderFixture.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    int num;
    int pdp;
    int up;
    int snum;
    const char* naim;
    bool deleted = false;
};

// The tree as text: "A[B,C],D", names as the settings show them.
QString Render(const T_MPodrList& nodes)
{
    QStringList parts;
    for (T_MPodr* node : nodes) {
        QString text = node->Podr->GetName();
        if (node->Nodes().Count() > 0)
            text += QLatin1Char('[') + Render(node->Nodes()) + QLatin1Char(']');
        parts << text;
    }
    return parts.join(QLatin1Char(','));
}

// Counts the calls of the list's change notification.
class Receiver : public TObject {
public:
    void Changed(TObject* sender)
    {
        ++calls;
        lastSender = sender;
        if (throwText)
            throw EAppException(QString::fromUtf8(throwText));
        if (removeSelf != nullptr)
            removeSelf->RemoveNotify(TNotifyEvent(this, &Receiver::Changed));
    }
    int calls = 0;
    TObject* lastSender = nullptr;
    const char* throwText = nullptr;
    T_PNList* removeSelf = nullptr;
};

class FakeCardList : public T_PNCardList {
public:
    void SetLoaded(bool loaded) override { marks += loaded ? 0 : 1; }
    void Reload() override { ++reloads; }
    void PNListDestroyed() override { ownerGone = true; }
    int marks = 0;
    int reloads = 0;
    bool ownerGone = false;
};

class PodrTest : public AppContextTest {
protected:
    void TearDown() override
    {
        AppContextTest::TearDown();
        Cfg.NamePodrVid = 0;
        CurrentUser = 0;
    }

    static T_PNList& list() { return *PNList(); }

    // Writes the rows beside the default enterprise row (number 1) and reads the list again.
    static void AddRows(std::initializer_list<Row> rows)
    {
        for (const Row& r : rows) {
            AppendRecordValues(DM()->SP, r.num,
                {QStringLiteral("NUMPDP"), QStringLiteral("NUMUP"), QStringLiteral("SNUM"), QStringLiteral("NAIM"),
                    QStringLiteral("DELETED")},
                {Variant(r.pdp), Variant(r.up), Variant(r.snum), Variant(QString::fromUtf8(r.naim)),
                    Variant(r.deleted)});
        }
        list().Reload();
    }
    static void RenameEnterprise(const char* naim)
    {
        SetRecordValuesByKey(DM()->SP, {Variant(1)}, {QStringLiteral("NAIM")}, {Variant(QString::fromUtf8(naim))});
        list().Reload();
    }
    static QString Tree(quint8 filter)
    {
        T_PNTree tree(PNList());
        tree.SetFilter(filter);
        return Render(tree);
    }
    static int SpRows()
    {
        Cursor sp(QStringLiteral("SP"));
        sp.Open();
        return sp.RecordCount();
    }
};

// ---------------------------------------------------------------- loading

TEST_F(PodrTest, EmptyTableGetsTheDefaultEnterpriseAndItsDismissedGroup)
{
    ASSERT_NE(PNList(), nullptr);
    EXPECT_TRUE(list().Loaded());
    EXPECT_EQ(SpRows(), 1);
    ASSERT_EQ(list().PodrCount(), 2);
    EXPECT_EQ(list().EnterpriseCount(), 1);
    EXPECT_EQ(list().FirstEnterprise(), 1);

    const T_Podr* enterprise = list().GetPodr(0);
    EXPECT_TRUE(enterprise->IsEnterprise());
    EXPECT_EQ(enterprise->Naim, QStringLiteral("Зарегистрируйте наименование предприятия"));
    EXPECT_EQ(list().FindPodr(1), nullptr) << "an enterprise row is no department";
    EXPECT_EQ(list().FindEnterprise(1), enterprise);

    const T_Podr* group = list().GetPodr(1);
    EXPECT_TRUE(group->IsDismissedGroup());
    EXPECT_EQ(group->Num, 2147483646);
    EXPECT_EQ(group->SNum, 2147483646);
    EXPECT_EQ(group->NumNach, 2147483646);
    EXPECT_EQ(group->NumUp, 0);
    EXPECT_EQ(group->NumPdp, 1);
    EXPECT_FALSE(group->Deleted);
    EXPECT_EQ(group->Naim, QStringLiteral("Уволенные"));

    list().Reload();
    EXPECT_EQ(SpRows(), 1) << "a second load writes no second enterprise row";
}

TEST_F(PodrTest, NoEnterpriseEvenAfterTheDefaultRaises)
{
    ASSERT_TRUE(DeletePodrRecord(1));
    int writes = 0;
    list().WriteDefaultEnterprise = [&writes] { ++writes; };
    try {
        list().Reload();
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Ошибка загрузки предприятия"));
    }
    EXPECT_EQ(writes, 1);
    EXPECT_FALSE(list().Loaded());
}

TEST_F(PodrTest, LoadSkipsUnnumberedRowsReadsSelfParentAsTopAndSorts)
{
    AddRows({{5, 1, 0, 2, "Б"}, {3, 1, 3, 2, "А"}, {7, 1, 0, 1, "В"}, {-4, 1, 0, 0, "минус"}});
    // Number 0 cannot be appended under its own number: written through an edit.
    AppendRecordValues(DM()->SP, 9, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("ноль"))});
    SetRecordValuesByKey(DM()->SP, {Variant(9)}, {QStringLiteral("NUM")}, {Variant(0)});
    list().Reload();

    QStringList order;
    for (T_Podr* p : list())
        order << p->Naim;
    EXPECT_EQ(order.join(QLatin1Char(',')), QStringLiteral("Зарегистрируйте наименование предприятия,В,А,Б,Уволенные"));
    ASSERT_NE(list().FindPodr(3), nullptr);
    EXPECT_EQ(list().FindPodr(3)->NumUp, 0);
    EXPECT_EQ(list().MaxSNum(), 2);
    EXPECT_EQ(list().FindPodr(0), nullptr);
    EXPECT_EQ(list().FindPodr(-4), nullptr);
}

TEST_F(PodrTest, NameVariants)
{
    T_Podr p;
    p.Naim = QStringLiteral("Цех №1|Workshop 1|Ц1");
    const struct {
        int part;
        const char* expected;
    } cases[] = {{0, "Цех №1|Workshop 1|Ц1"}, {-1, "Цех №1|Workshop 1|Ц1"}, {1, "Цех №1"}, {2, "Workshop 1"}, {3, "Ц1"},
        {4, "Цех №1"}};
    for (const auto& c : cases)
        EXPECT_EQ(p.GetNamePart(c.part), QString::fromUtf8(c.expected)) << "part " << c.part;
    Cfg.NamePodrVid = 2;
    EXPECT_EQ(p.GetName(), QStringLiteral("Workshop 1"));
}

// ---------------------------------------------------------------- trees

TEST_F(PodrTest, FiltersOfOneEnterprise)
{
    // A(2) with B under it and the closed C, D under the closed C, E naming itself.
    AddRows({{2, 1, 0, 1, "A"}, {3, 1, 2, 1, "B"}, {4, 1, 2, 2, "C", true}, {5, 1, 4, 3, "D"}, {6, 1, 6, 4, "E"}});
    const struct {
        quint8 filter;
        const char* expected;
    } cases[] = {
        {0, ""},
        {1, "A[B],D,E"},
        {2, "C"},
        {3, "A[B],C,D,E"},
        {4, "Уволенные"},
        {5, "A[B],D,E,Уволенные"},
        {6, "C,Уволенные"},
        {7, "A[B],C,D,E,Уволенные"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Tree(c.filter), QString::fromUtf8(c.expected)) << "filter " << int(c.filter);
}

TEST_F(PodrTest, TwoEnterprisesHoldTheirOrphansAndDismissedGroups)
{
    RenameEnterprise("Завод");
    AddRows({{10, -1, 0, 0, "Филиал"}, {2, 1, 0, 1, "A"}, {3, 1, 2, 1, "B"}, {11, 10, 0, 1, "X"}, {12, 10, 99, 2, "Y"},
        {13, 77, 0, 3, "Ничей"}, {14, 1, 0, 5, "Закрыт", true}});
    EXPECT_EQ(list().EnterpriseCount(), 2);
    EXPECT_EQ(Tree(pfCurrent | pfDismissed), QStringLiteral("Завод[A[B],Уволенные],Филиал[X,Y,Уволенные],Ничей"));
    EXPECT_EQ(Tree(pfCurrent | pfDeleted), QStringLiteral("Завод[A[B],Закрыт],Филиал[X,Y],Ничей"));
    EXPECT_EQ(Tree(pfDismissed), QStringLiteral("Уволенные,Уволенные"));
    EXPECT_EQ(Tree(pfDeleted), QStringLiteral("Закрыт"));

    T_PNTree tree(PNList());
    tree.SetFilter(pfCurrent | pfDismissed);
    const T_MPodr* parent = tree.FindParentNode(3);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->Podr->Num, 2);
    ASSERT_NE(tree.FindParentNode(11), nullptr);
    EXPECT_EQ(tree.FindParentNode(11)->Podr->Num, 10);
    EXPECT_EQ(tree.FindParentNode(10), nullptr);
    EXPECT_TRUE(tree.HasPodr(13));
    EXPECT_FALSE(tree.HasPodr(14));
}

TEST_F(PodrTest, RingOfParentsIsShownOnceAndDoesNotLoop)
{
    // A and B name each other; C hangs under A; D, E, F form a ring of three.
    AddRows({{2, 1, 3, 1, "A"}, {3, 1, 2, 2, "B"}, {4, 1, 2, 3, "C"}, {5, 1, 7, 4, "D"}, {6, 1, 5, 5, "E"},
        {7, 1, 6, 6, "F"}});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Ошибка в структуре подразделений"))
        .Containing(QStringLiteral("№2, №3, №5, №6, №7"));
    T_PNTree tree(PNList());
    tree.SetFilter(pfCurrent);
    EXPECT_EQ(Render(tree), QStringLiteral("A[C],B,D,E,F"));
    EXPECT_EQ(tree.CycleNums(), (QList<qint32>{2, 3, 5, 6, 7}));
    tree.Rebuild();
    T_PNTree second(PNList());
    second.SetFilter(pfCurrent | pfDismissed);
    EXPECT_EQ(msgs.Log().size(), 1) << "reported once per load";

    msgs.Expect(MsgKind::Error).Containing(QStringLiteral("№2, №3"));
    list().Reload(); // a new load reports again (trees rebuilt only while the application runs)
    tree.Rebuild();
    EXPECT_EQ(msgs.Log().size(), 2);
}

TEST_F(PodrTest, RingMembersHangUnderTheirEnterpriseWhenThereAreSeveral)
{
    AddRows({{10, -1, 0, 0, "Филиал"}, {11, 10, 12, 1, "P"}, {12, 10, 11, 2, "Q"}});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Containing(QStringLiteral("№11, №12"));
    EXPECT_EQ(Tree(pfCurrent), QStringLiteral("Зарегистрируйте наименование предприятия,Филиал[P,Q]"));
}

TEST_F(PodrTest, FillStringsIndentsAndAnswersTheIndex)
{
    AddRows({{2, 1, 0, 1, "A|Альфа"}, {3, 1, 2, 1, "B"}, {4, 1, 3, 1, "C"}, {5, 1, 0, 2, "D"}});
    Cfg.NamePodrVid = 2;
    T_PNTree tree(PNList());
    tree.SetFilter(pfCurrent | pfDismissed);
    TStringItems items{{QStringLiteral("старое"), 1}};
    EXPECT_EQ(tree.FillStrings(items, 4), 2);
    QStringList texts;
    for (const TStringItem& i : items)
        texts << i.Text;
    EXPECT_EQ(texts, (QStringList{"Альфа", "  B", "    C", "D", "Уволенные"}));
    EXPECT_EQ(T_PNTree::NodeOfItem(items[2])->Podr->Num, 4);
    EXPECT_TRUE(T_PNTree::NodeOfItem(items[4])->Podr->IsDismissedGroup());
    EXPECT_EQ(tree.FillStrings(items, 99), -1);
    EXPECT_EQ(items.size(), 5);
}

TEST_F(PodrTest, TreeAnswersThroughItsSource)
{
    AddRows({{2, 1, 0, 1, "A"}});
    T_PNTree source(PNList());
    source.SetFilter(pfCurrent);
    {
        T_PNTree view(PNList());
        view.SetSource(&source);
        EXPECT_TRUE(view.HasPodr(2));
        EXPECT_THROW(source.SetSource(&view), EAppException);
    }
    auto* view = new T_PNTree(PNList());
    {
        T_PNTree gone(PNList());
        gone.SetFilter(pfDismissed);
        view->SetSource(&gone);
        EXPECT_FALSE(view->HasPodr(2));
    }
    EXPECT_EQ(view->Source(), nullptr) << "a source that went away is forgotten";
    delete view;
}

// ---------------------------------------------------------------- saving and use

TEST_F(PodrTest, SaveAppendsUpdatesAndRefuses)
{
    CurrentUser = 5;
    T_Podr p;
    p.Naim = QStringLiteral("Склад");
    p.NumPdp = 1;
    p.SNum = 3;
    p.NumNach = 42;
    p.Save();
    EXPECT_EQ(p.Num, 2);

    p.Naim = QStringLiteral("Склад готовой продукции");
    p.Deleted = true;
    p.Save();
    Cursor sp(QStringLiteral("SP"));
    sp.Open();
    ASSERT_TRUE(sp.FindKey({Variant(2)}));
    EXPECT_EQ(sp.FieldByName(QStringLiteral("NAIM")).AsString(), QStringLiteral("Склад готовой продукции"));
    EXPECT_TRUE(sp.FieldByName(QStringLiteral("DELETED")).AsBoolean());
    EXPECT_EQ(sp.FieldByName(QStringLiteral("NUMNACH")).AsInteger(), 42);
    EXPECT_EQ(sp.FieldByName(QStringLiteral("USER")).AsInteger(), 5);
    EXPECT_EQ(sp.RecordCount(), 2);

    T_Podr missing;
    missing.Num = 99;
    try {
        missing.Save();
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Подразделение №99 в справочнике не найдено"));
    }
    std::unique_ptr<T_Podr> group(T_Podr::NewDismissedGroup(1));
    EXPECT_THROW(group->Save(), EAppException);
    EXPECT_EQ(SpRows(), 2);
}

TEST_F(PodrTest, UseCheckLooksAtCardsDismissalsAndHistory)
{
    AddRows({{2, 1, 0, 1, "A"}, {3, 1, 0, 2, "B"}, {4, 1, 0, 3, "C"}, {5, 1, 0, 4, "D"}});
    AppendRecordValues(DM()->SR, 100, {QStringLiteral("PODR")}, {Variant(2)});
    AppendRecordValues(DM()->SR, 101, {QStringLiteral("PODR"), QStringLiteral("OLDPODR")}, {Variant(0), Variant(3)});
    AppendRecordValues(DM()->SRH, 0, {QStringLiteral("TABNUM"), QStringLiteral("PODR")}, {Variant(100), Variant(4)});
    const struct {
        int num;
        bool unused;
        bool unusedWithHistory;
    } cases[] = {{2, false, false}, {3, false, false}, {4, true, false}, {5, true, true}};
    for (const auto& c : cases) {
        const T_Podr* p = list().FindPodr(c.num);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->IsUnused(false), c.unused) << c.num;
        EXPECT_EQ(p->IsUnused(true), c.unusedWithHistory) << c.num;
    }
}

// ---------------------------------------------------------------- lazy reload and notifications

TEST_F(PodrTest, MarkedListReloadsAtNextUseAndTellsEveryone)
{
    ScopedApplicationRunning running;
    Receiver a, b;
    FakeCardList cards;
    list().AddNotify(TNotifyEvent(&a, &Receiver::Changed));
    list().AddNotify(TNotifyEvent(&a, &Receiver::Changed));
    list().AddNotify(TNotifyEvent(&b, &Receiver::Changed));
    list().RegisterCardList(&cards);
    T_PNTree tree(PNList());
    tree.SetFilter(pfCurrent);
    ASSERT_TRUE(tree.Built());

    AppendRecordValues(DM()->SP, 2, {QStringLiteral("NAIM"), QStringLiteral("NUMPDP")},
        {Variant(QStringLiteral("Новый")), Variant(1)});
    list().SetLoaded(true);
    EXPECT_TRUE(list().Loaded()) << "only false acts";
    list().SetLoaded(false);
    EXPECT_FALSE(tree.Built());
    EXPECT_EQ(cards.marks, 1);
    EXPECT_EQ(a.calls, 0);

    ASSERT_NE(list().FindPodr(2), nullptr);
    EXPECT_EQ(a.calls, 1) << "a handler is kept once";
    EXPECT_EQ(b.calls, 1);
    EXPECT_EQ(a.lastSender, PNList());
    EXPECT_EQ(cards.reloads, 1);
    EXPECT_TRUE(tree.Built());
    EXPECT_EQ(Render(tree), QStringLiteral("Новый"));
    list().UnregisterCardList(&cards);
    list().RemoveNotify(TNotifyEvent(&a, &Receiver::Changed));
    list().RemoveNotify(TNotifyEvent(&b, &Receiver::Changed));
}

TEST_F(PodrTest, HandlerErrorsAreShownOnceAndOthersStillRun)
{
    ScopedApplicationRunning running;
    Receiver bad1, leaver, bad2, good;
    bad1.throwText = "Первая ошибка";
    bad2.throwText = "Вторая ошибка";
    leaver.removeSelf = PNList();
    for (Receiver* r : {&bad1, &leaver, &bad2, &good})
        list().AddNotify(TNotifyEvent(r, &Receiver::Changed));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Первая ошибка\r\nВторая ошибка")).Times(2);
    list().Reload();
    EXPECT_EQ(leaver.calls, 1);
    EXPECT_EQ(good.calls, 1);
    EXPECT_EQ(list().Notifications().Count(), 3);
    list().Reload();
    EXPECT_EQ(leaver.calls, 1) << "removed itself";
    EXPECT_EQ(good.calls, 2);
    for (Receiver* r : {&bad1, &bad2, &good})
        list().RemoveNotify(TNotifyEvent(r, &Receiver::Changed));
}

TEST_F(PodrTest, OutsideTheRunningApplicationNoHandlerRunsAndTreesStayValid)
{
    ScopedApplicationRunning stopped(false);
    AddRows({{2, 1, 0, 1, "A"}});
    Receiver r;
    list().AddNotify(TNotifyEvent(&r, &Receiver::Changed));
    T_PNTree tree(PNList());
    tree.SetFilter(pfCurrent);
    list().Reload(); // the departments the tree pointed at are gone
    EXPECT_EQ(r.calls, 0);
    EXPECT_FALSE(tree.Built());
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_EQ(Render(tree), QString());
    tree.EnsureBuilt();
    EXPECT_EQ(Render(tree), QStringLiteral("A"));
    list().RemoveNotify(TNotifyEvent(&r, &Receiver::Changed));
}

TEST_F(PodrTest, DataModuleMarksReloadsAndFreesTheList)
{
    AddRows({{2, 1, 0, 1, "A"}});
    ASSERT_TRUE(DeletePodrRecord(2));
    EXPECT_FALSE(list().Loaded());
    EXPECT_EQ(list().FindPodr(2), nullptr);

    AppendRecordValues(DM()->SP, 3, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("B"))});
    ReloadAllLists();
    EXPECT_TRUE(list().Loaded());
    EXPECT_NE(list().FindPodr(3), nullptr);

    FakeCardList cards;
    list().RegisterCardList(&cards);
    T_PNTree tree(PNList());
    tree.SetFilter(pfCurrent);
    fx.CloseDataBase();
    EXPECT_EQ(PNList(), nullptr);
    EXPECT_TRUE(cards.ownerGone);
    EXPECT_EQ(tree.Owner(), nullptr);
    tree.Rebuild();
    EXPECT_EQ(tree.Count(), 0);
}

} // namespace
