#include "foundation/TypeList.h"
#include "platform/Exceptions.h"
#include "support/Checks.h"

#include <QString>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Counts live instances and remembers the order of destruction.
struct Tracked : TObject {
    explicit Tracked(int id = 0) : id(id) { ++alive; }
    ~Tracked() override
    {
        --alive;
        destroyed.push_back(id);
    }
    int id;
    static inline int alive = 0;
    static inline std::vector<int> destroyed;
};

class Lists : public ::testing::Test {
protected:
    void SetUp() override
    {
        Tracked::alive = 0;
        Tracked::destroyed.clear();
    }
    void TearDown() override { EXPECT_EQ(Tracked::alive, 0) << "objects leaked"; }
};

void* P(intptr_t v) { return reinterpret_cast<void*>(v); }

} // namespace

TEST_F(Lists, IndexCountAndCapacityErrorsNameTheValue)
{
    T_yqCustomList list;
    list.Add(P(1));
    list.Add(P(2));
    struct Row {
        const char* name;
        std::function<void()> op;
        const char* message;
    } rows[] = {
        {"Get(-1)", [&] { list.Get(-1); }, "List index out of bounds (-1)"},
        {"Get(Count)", [&] { list.Get(2); }, "List index out of bounds (2)"},
        {"Put(5)", [&] { list.Put(5, nullptr); }, "List index out of bounds (5)"},
        {"Delete(2)", [&] { list.Delete(2); }, "List index out of bounds (2)"},
        {"Exchange(0,7)", [&] { list.Exchange(0, 7); }, "List index out of bounds (7)"},
        {"Insert(3)", [&] { list.Insert(3, nullptr); }, "List index out of bounds (3)"},
        {"Move(0,2)", [&] { list.Move(0, 2); }, "List index out of bounds (2)"},
        {"Move(4,0)", [&] { list.Move(4, 0); }, "List index out of bounds (4)"},
        {"SetCapacity(1)", [&] { list.SetCapacity(1); }, "List capacity out of bounds (1)"},
        {"SetCount(-1)", [&] { list.SetCount(-1); }, "List count out of bounds (-1)"},
        {"SetCount(huge)", [&] { list.SetCount(0x7FFFFFFF); }, "List count out of bounds (2147483647)"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(MessageOf<EListError>(r.op), QString::fromUtf8(r.message)) << r.name;
        ASSERT_EQ(list.Count(), 2) << r.name;
    }
    EXPECT_EQ(MessageOf<EListError>([] { T_yqCustomList().Last(); }), "List index out of bounds (-1)");
}

TEST_F(Lists, ArrayOperationsKeepOrder)
{
    T_yqCustomList list;
    for (int i = 1; i <= 4; ++i)
        list.Add(P(i));
    list.Move(0, 3); // 2 3 4 1
    list.Exchange(0, 1); // 3 2 4 1
    list.Insert(4, P(9)); // 3 2 4 1 9
    EXPECT_EQ(list.Delete(2), P(4)); // 3 2 1 9
    EXPECT_EQ(list.Remove(P(1)), 2); // 3 2 9
    EXPECT_EQ(list.Remove(P(1)), -1);
    std::vector<void*> got;
    for (int i = 0; i < list.Count(); ++i)
        got.push_back(list.Items(i));
    EXPECT_EQ(got, (std::vector<void*>{P(3), P(2), P(9)}));
    EXPECT_EQ(list.Last(), P(9));

    list.SetCount(5);
    EXPECT_EQ(list.Items(3), nullptr);
    EXPECT_EQ(list.Items(4), nullptr);
    list.SetCapacity(100);
    EXPECT_GE(list.Capacity(), 100);
    list.SetCapacity(5);
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Items(0), P(3));
}

TEST_F(Lists, PackNotifyReportsIndicesBeforePacking)
{
    T_yqObjectList list;
    Tracked a(1), b(2);
    list.AddObject(&a);
    list.AddObject(nullptr);
    list.AddObject(&b);
    list.AddObject(nullptr);
    std::vector<int> reported;
    list.PackNotify([&](int index) { reported.push_back(index); });
    EXPECT_EQ(reported, (std::vector<int>{1, 3}));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetObject(0), &a);
    EXPECT_EQ(list.GetObject(1), &b);

    list.Add(nullptr);
    list.Pack();
    EXPECT_EQ(list.Count(), 2);
}

TEST_F(Lists, OwnerClearFreesEveryObjectAndSkipsNil)
{
    T_yqOwnerList list;
    list.AddObject(new Tracked(1));
    list.AddObject(nullptr);
    list.AddObject(new Tracked(2));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(Tracked::destroyed, (std::vector<int>{1, 2}));
}

TEST_F(Lists, OwnerDestructorFreesEveryObject)
{
    {
        T_yqOwnerList list;
        for (int i = 0; i < 100; ++i)
            list.AddObject(new Tracked(i));
        EXPECT_EQ(Tracked::alive, 100);
    }
    EXPECT_EQ(Tracked::destroyed.size(), 100u);
}

TEST_F(Lists, OwnerShrinkFreesExactlyTheDroppedObjects)
{
    T_yqOwnerList list;
    auto* a = new Tracked(1);
    list.AddObject(a);
    list.AddObject(new Tracked(2));
    list.AddObject(new Tracked(3));
    list.SetCount(1);
    EXPECT_EQ(Tracked::destroyed, (std::vector<int>{2, 3}));
    EXPECT_EQ(list.GetObject(0), a);
    list.SetCount(3);
    EXPECT_EQ(list.GetObject(1), nullptr);
    EXPECT_EQ(list.GetObject(2), nullptr);
    EXPECT_EQ(Tracked::alive, 1);
    EXPECT_THROW(list.SetCount(-2), EListError);
    EXPECT_EQ(Tracked::alive, 1);
}

TEST_F(Lists, OwnerRemovalsThatHandBackFreeNothing)
{
    T_yqOwnerList list;
    for (int i = 1; i <= 5; ++i)
        list.AddObject(new Tracked(i));
    std::unique_ptr<TObject> deleted(static_cast<TObject*>(list.Delete(0)));
    std::unique_ptr<TObject> extracted(list.ExtractObject(0));
    auto* third = list.GetObject(0);
    EXPECT_EQ(list.RemoveObject(third), 0);
    std::unique_ptr<TObject> removed(third);
    auto* fourth = list.GetObject(0);
    list.PutObject(0, nullptr);
    std::unique_ptr<TObject> replaced(fourth);
    list.Pack();
    EXPECT_EQ(Tracked::alive, 5);
    EXPECT_TRUE(Tracked::destroyed.empty());
    ASSERT_EQ(list.Count(), 1);

    // DeleteObject frees and answers nil
    EXPECT_EQ(list.DeleteObject(0), nullptr);
    EXPECT_EQ(Tracked::destroyed, (std::vector<int>{5}));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(Lists, ObjectListDeleteObjectHandsTheObjectBack)
{
    Tracked a(1);
    T_yqObjectList list;
    list.AddObject(&a);
    EXPECT_EQ(list.DeleteObject(0), &a);
    list.AddObject(&a);
    list.Clear();
    EXPECT_TRUE(Tracked::destroyed.empty());
}

TEST_F(Lists, FreeObjectOfNilOrOfAForeignObject)
{
    T_yqOwnerList list;
    auto* a = new Tracked(1);
    list.AddObject(a);
    list.FreeObject(nullptr);
    Tracked foreign(9);
    EXPECT_EQ(MessageOf<Exception>([&] { list.FreeObject(&foreign); }), "No object in owner list");
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetObject(0), a);
    list.FreeObject(a);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(Tracked::destroyed, (std::vector<int>{1}));
}

namespace {
// A domain object that looks itself up in its list while being destroyed.
struct SelfAware : Tracked {
    SelfAware(int id, T_yqOwnerList* list) : Tracked(id), list(list) {}
    ~SelfAware() override { seenAt.push_back(list->IndexOfObject(this)); }
    T_yqOwnerList* list;
    static inline std::vector<int> seenAt;
};
} // namespace

TEST_F(Lists, ADestroyedObjectNoLongerFindsItselfInItsList)
{
    SelfAware::seenAt.clear();
    T_yqOwnerList list;
    for (int i = 0; i < 4; ++i)
        list.AddObject(new SelfAware(i, &list));
    list.FreeObject(list.GetObject(1));
    list.SetCount(2);
    list.Clear();
    EXPECT_EQ(SelfAware::seenAt, (std::vector<int>{-1, -1, -1, -1}));
}

TEST_F(Lists, AssignIsAShallowCopyAndRefusedIntoOwners)
{
    T_yqOwnerList source;
    source.AddObject(new Tracked(1));
    source.AddObject(new Tracked(2));

    Tracked old(7);
    T_yqObjectList target;
    target.AddObject(&old);
    target.Assign(source);
    ASSERT_EQ(target.Count(), 2);
    EXPECT_EQ(target.GetObject(1), source.GetObject(1));
    target.Assign(target); // onto itself: nothing lost
    EXPECT_EQ(target.Count(), 2);

    T_yqOwnerList owner;
    owner.AddObject(new Tracked(3));
    EXPECT_THROW(owner.Assign(source), EAppException);
    T_yqCustomList& asBase = owner;
    EXPECT_THROW(asBase.Assign(source), EAppException);
    EXPECT_EQ(owner.Count(), 1);

    T_yqRecordList records(4);
    EXPECT_THROW(records.Assign(target), EAppException);
    // the source still owns its objects: they go exactly once (ASan watches)
    EXPECT_TRUE(Tracked::destroyed.empty());
}

namespace {
// A domain list with extra state: overrides Put to keep an index and Clear
// to reset it, calling the inherited Clear last.
struct Dept : Tracked {
    using Tracked::Tracked;
};
struct Base2 {
    virtual ~Base2() = default;
    int padding = 42;
};
// TObject is not the first base: the list must store the adjusted pointer.
struct Mixed : Base2, Tracked {
    using Tracked::Tracked;
};

class T_Depts : public T_yqOwnerListOf<Dept> {
public:
    ~T_Depts() override { Clear(); }
    void Put(int index, void* item) override
    {
        ++puts;
        if (item == nullptr)
            nilPuts.push_back(index);
        T_yqOwnerListOf<Dept>::Put(index, item);
    }
    void Clear() override
    {
        ++clears;
        T_yqOwnerListOf<Dept>::Clear();
    }
    int puts = 0;
    int clears = 0;
    std::vector<int> nilPuts;
};
} // namespace

TEST_F(Lists, DomainDescendantSeesClearAndPut)
{
    T_Depts depts;
    depts.AddObject(new Dept(1));
    depts.AddObject(nullptr);
    depts.AddObject(new Dept(2));
    depts.Clear();
    EXPECT_EQ(depts.clears, 1);
    EXPECT_EQ(depts.nilPuts, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Tracked::alive, 0);
}

TEST_F(Lists, TypedOwnerListGivesTypedItems)
{
    T_yqOwnerListOf<Mixed> list;
    for (int i = 1; i <= 3; ++i)
        list.AddObject(new Mixed(i));
    std::vector<int> ids;
    for (Mixed* m : list) {
        EXPECT_EQ(m->padding, 42);
        ids.push_back(m->id);
    }
    EXPECT_EQ(ids, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list[1]->id, 2);
    EXPECT_EQ(list.LastItem()->id, 3);
    EXPECT_EQ(list.IndexOfObject(list[2]), 2);
    EXPECT_EQ(list.Find([](Mixed* m) { return m->id == 2; }), list[1]);
    EXPECT_EQ(list.Find([](Mixed* m) { return m->id == 9; }), nullptr);

    std::unique_ptr<Mixed> taken(list.ExtractItem(0));
    EXPECT_EQ(taken->id, 1);
    list.FreeObject(list[0]);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0]->id, 3);
}

TEST_F(Lists, IntegerListKeepsNegativeValues)
{
    T_yqIntegerList list;
    const int values[] = {0, -1, 2147483647, -2147483647 - 1, 42};
    for (int v : values)
        list.AddInteger(v);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list.GetInteger(i), values[i]);
    EXPECT_EQ(list.IndexOfInteger(-1), 1);
    EXPECT_EQ(list.IndexOfInteger(-2147483647 - 1), 3);
    EXPECT_EQ(list.IndexOfInteger(7), -1);
}

namespace {
struct Rec {
    int a;
    double b;
    char name[12];
};
std::vector<int> freedRecords;
void NoteFreed(void* record) { freedRecords.push_back(static_cast<Rec*>(record)->a); }
int CompareRec(void* x, void* y) { return static_cast<Rec*>(x)->a - static_cast<Rec*>(y)->a; }

bool IsZeroFilled(const void* p, int size)
{
    const auto* bytes = static_cast<const unsigned char*>(p);
    for (int i = 0; i < size; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}
} // namespace

TEST_F(Lists, RecordListGrowsZeroFilledAndShrinksThroughOnFreeRecord)
{
    freedRecords.clear();
    T_yqRecordList list(sizeof(Rec));
    list.OnFreeRecord = &NoteFreed;
    list.AddNew();
    list.AddNew();
    static_cast<Rec*>(list.Get(0))->a = 10;
    static_cast<Rec*>(list.Get(1))->a = 11;
    list.SetCount(5);
    ASSERT_EQ(list.Count(), 5);
    for (int i = 2; i < 5; ++i) {
        ASSERT_NE(list.Get(i), nullptr);
        EXPECT_TRUE(IsZeroFilled(list.Get(i), sizeof(Rec))) << i;
        static_cast<Rec*>(list.Get(i))->a = 20 + i;
    }
    list.SetCount(2);
    EXPECT_EQ(freedRecords, (std::vector<int>{22, 23, 24}));
    list.SetCount(2);
    EXPECT_EQ(freedRecords.size(), 3u);
    list.Clear();
    EXPECT_EQ(freedRecords, (std::vector<int>{22, 23, 24, 10, 11}));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(Lists, RecordListSortsAndFreesOnDestruction)
{
    freedRecords.clear();
    {
        T_yqRecordList list(sizeof(Rec));
        list.OnFreeRecord = &NoteFreed;
        for (int v : {3, 1, 2}) {
            const int i = list.AddNew();
            static_cast<Rec*>(list.Get(i))->a = v;
        }
        EXPECT_EQ(list.SortCompare(), nullptr);
        list.Sort(&CompareRec);
        EXPECT_EQ(list.SortCompare(), &CompareRec);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(static_cast<Rec*>(list.Get(i))->a, i + 1);
        // a removed record belongs to the caller; the list frees the rest
        std::free(list.Delete(0));
    }
    EXPECT_EQ(freedRecords, (std::vector<int>{2, 3}));
    EXPECT_THROW(T_yqRecordList(0), EListError);
}

namespace {
struct Row2 {
    int code = 0;
    QString text; // not trivially constructible: needs the typed list
};
} // namespace

TEST_F(Lists, TypedRecordListBuildsAndDestroysObjects)
{
    T_yqRecordListOf<Row2> list;
    EXPECT_EQ(list.RecordSize(), static_cast<int>(sizeof(Row2)));
    list.AddRecord()->text = QStringLiteral("первая запись, длинная, чтобы занять память");
    list.SetCount(3);
    EXPECT_EQ(list[2]->code, 0);
    EXPECT_TRUE(list[2]->text.isEmpty());
    list[2]->text = QStringLiteral("ещё одна длинная строка в куче");
    list.SetCount(1);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0]->text.left(6), QStringLiteral("первая"));
}

// ---------------------------------------------------------------- notify list

namespace {
struct Listener {
    explicit Listener(T_yqNotifyEventList* list = nullptr) : list(list) {}
    void Changed(TObject* sender)
    {
        ++calls;
        lastSender = sender;
    }
    void Other(TObject*) { ++otherCalls; }
    void RemoveSelf(TObject*)
    {
        ++calls;
        list->Remove(TNotifyEvent(this, &Listener::RemoveSelf));
    }
    void RemoveVictim(TObject*)
    {
        ++calls;
        list->Remove(TNotifyEvent(victim, &Listener::Changed));
    }
    void AddAnother(TObject*)
    {
        ++calls;
        list->Add(TNotifyEvent(victim, &Listener::Changed));
    }
    void DestroyList(TObject*)
    {
        ++calls;
        owned.reset();
    }
    T_yqNotifyEventList* list;
    Listener* victim = nullptr;
    std::unique_ptr<T_yqNotifyEventList> owned;
    int calls = 0;
    int otherCalls = 0;
    TObject* lastSender = nullptr;
};

int freeCalls = 0;
void FreeHandler(TObject*) { ++freeCalls; }
} // namespace

TEST(NotifyEventList, EventsCompareByReceiverAndMethod)
{
    Listener a, b;
    EXPECT_EQ(TNotifyEvent(&a, &Listener::Changed), TNotifyEvent(&a, &Listener::Changed));
    EXPECT_NE(TNotifyEvent(&a, &Listener::Changed), TNotifyEvent(&b, &Listener::Changed));
    EXPECT_NE(TNotifyEvent(&a, &Listener::Changed), TNotifyEvent(&a, &Listener::Other));
    EXPECT_NE(TNotifyEvent(&a, &Listener::Changed), TNotifyEvent());
    EXPECT_EQ(TNotifyEvent(&FreeHandler), TNotifyEvent(&FreeHandler));
    EXPECT_FALSE(TNotifyEvent().Assigned());

    T_yqNotifyEventList list;
    list.Add(TNotifyEvent(&a, &Listener::Changed));
    list.Add(TNotifyEvent(&a, &Listener::Other));
    list.Add(TNotifyEvent(&b, &Listener::Changed));
    EXPECT_EQ(list.IndexOf(TNotifyEvent(&b, &Listener::Changed)), 2);
    EXPECT_EQ(list.Remove(TNotifyEvent(&a, &Listener::Other)), 1);
    EXPECT_EQ(list.Remove(TNotifyEvent(&a, &Listener::Other)), -1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetEvent(1), TNotifyEvent(&b, &Listener::Changed));
}

TEST(NotifyEventList, CallAllPassesTheListAsSender)
{
    T_yqNotifyEventList list;
    list.CallAll(); // empty: nothing to call
    Listener a;
    freeCalls = 0;
    list.Add(TNotifyEvent(&a, &Listener::Changed));
    list.Add(TNotifyEvent(&FreeHandler));
    list.CallAll();
    EXPECT_EQ(a.calls, 1);
    EXPECT_EQ(a.lastSender, &list);
    EXPECT_EQ(freeCalls, 1);
    Tracked sender;
    list.CallEvent(0, &sender);
    EXPECT_EQ(a.lastSender, &sender);
    EXPECT_EQ(MessageOf<EListError>([&] { list.Delete(2); }), "List index out of bounds (2)");
    EXPECT_EQ(MessageOf<EListError>([&] { list.CallEvent(-1, nullptr); }), "List index out of bounds (-1)");
}

TEST(NotifyEventList, HandlersMayRemoveOrAddHandlersDuringCallAll)
{
    T_yqNotifyEventList list;
    Listener first(&list), self(&list), last(&list);
    list.Add(TNotifyEvent(&first, &Listener::Changed));
    list.Add(TNotifyEvent(&self, &Listener::RemoveSelf));
    list.Add(TNotifyEvent(&last, &Listener::Changed));
    list.CallAll();
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(self.calls, 1);
    EXPECT_EQ(last.calls, 1);
    EXPECT_EQ(list.Count(), 2);

    // a removed later handler is skipped; an added one waits for the next call
    Listener killer(&list), newcomer;
    killer.victim = &last;
    list.Clear();
    list.Add(TNotifyEvent(&killer, &Listener::RemoveVictim));
    list.Add(TNotifyEvent(&last, &Listener::Changed));
    list.CallAll();
    EXPECT_EQ(last.calls, 1);
    Listener adder(&list);
    adder.victim = &newcomer;
    list.Clear();
    list.Add(TNotifyEvent(&adder, &Listener::AddAnother));
    list.CallAll();
    EXPECT_EQ(newcomer.calls, 0);
    list.CallAll();
    EXPECT_EQ(newcomer.calls, 1);
}

TEST(NotifyEventList, AHandlerMayDestroyTheList)
{
    Listener destroyer;
    destroyer.owned = std::make_unique<T_yqNotifyEventList>();
    Listener after;
    destroyer.owned->Add(TNotifyEvent(&destroyer, &Listener::DestroyList));
    destroyer.owned->Add(TNotifyEvent(&after, &Listener::Changed));
    destroyer.owned->CallAll();
    EXPECT_EQ(destroyer.calls, 1);
    EXPECT_EQ(after.calls, 0);
}

TEST(NotifyEventList, LinksEndWithTheirOwnerInEitherOrder)
{
    Listener a;
    {
        T_yqNotifyEventList list;
        {
            TNotifyLink link(&list, TNotifyEvent(&a, &Listener::Changed));
            EXPECT_TRUE(link.Connected());
            EXPECT_EQ(list.Count(), 1);
            TNotifyLink moved(std::move(link));
            EXPECT_FALSE(link.Connected());
            EXPECT_EQ(list.Count(), 1);
            list.CallAll();
        }
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(a.calls, 1);
    }
    auto list = std::make_unique<T_yqNotifyEventList>();
    TNotifyLink survivor(list.get(), TNotifyEvent(&a, &Listener::Changed));
    list.reset();
    EXPECT_FALSE(survivor.Connected());
    survivor.Reset(); // the list is gone: nothing to touch (ASan watches)
}
