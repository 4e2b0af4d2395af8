#include "data/Podr.h"

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "db/Cursor.h"
#include "db/Session.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

const QString kSP = QStringLiteral("SP");

const QStringList& WrittenFields()
{
    static const QStringList names{QStringLiteral("NUMPDP"), QStringLiteral("NUMUP"), QStringLiteral("SNUM"),
        QStringLiteral("NAIM"), QStringLiteral("NUMNACH"), QStringLiteral("DELETED")};
    return names;
}

[[noreturn]] void RaisePodrNotFound(qint32 num)
{
    throw EAppException(QStringLiteral("Подразделение №%1 в справочнике не найдено").arg(num));
}

// A row of the table whose field holds the number (a scan: the column has no index).
bool AnyRowNames(Cursor& table, const QString& fieldName, qint32 num)
{
    const Field field = table.FieldByName(fieldName);
    for (table.First(); !table.Eof(); table.Next()) {
        if (field.AsInteger() == num)
            return true;
    }
    return false;
}

bool SortsBefore(const T_MPodr* a, const T_MPodr* b) { return PodrLess(*a->Podr, *b->Podr); }

void SortLevel(T_MPodrList& nodes)
{
    // The owning list hands its objects over and takes them back in order.
    std::vector<T_MPodr*> items;
    items.reserve(size_t(nodes.Count()));
    while (nodes.Count() > 0)
        items.push_back(nodes.ExtractItem(0));
    std::stable_sort(items.begin(), items.end(), SortsBefore);
    for (T_MPodr* node : items)
        nodes.AddObject(node);
    for (T_MPodr* node : items)
        SortLevel(node->Nodes());
}

T_MPodr* FindIn(const T_MPodrList& nodes, qint32 num)
{
    for (T_MPodr* node : nodes) {
        if (node->Podr != nullptr && node->Podr->Num == num)
            return node;
        if (T_MPodr* found = FindIn(node->Nodes(), num))
            return found;
    }
    return nullptr;
}

void FillLevel(const T_MPodrList& nodes, int level, TStringItems& strings, qint32 num, int& index)
{
    for (T_MPodr* node : nodes) {
        if (index < 0 && node->Podr != nullptr && node->Podr->Num == num)
            index = int(strings.size());
        strings << TStringItem{QString(level * 2, QLatin1Char(' ')) + (node->Podr ? node->Podr->GetName() : QString()),
            qint64(reinterpret_cast<quintptr>(node))};
        FillLevel(node->Nodes(), level + 1, strings, num, index);
    }
}

QString NumberList(const QList<qint32>& nums)
{
    QStringList parts;
    for (qint32 n : nums)
        parts << QStringLiteral("№%1").arg(n);
    return parts.join(QStringLiteral(", "));
}

} // namespace

// ---------------------------------------------------------------- T_Podr

T_Podr* T_Podr::NewDismissedGroup(qint32 enterpriseNum)
{
    auto* group = new T_Podr;
    group->Num = DismissedGroupNum;
    group->SNum = DismissedGroupNum;
    group->NumNach = DismissedGroupNum;
    group->NumUp = 0;
    group->NumPdp = enterpriseNum;
    group->Deleted = false;
    group->Naim = DismissedGroupName();
    return group;
}

void T_Podr::LoadFromTable(Cursor& table)
{
    Num = table.FieldByName(QStringLiteral("NUM")).AsInteger();
    NumPdp = table.FieldByName(QStringLiteral("NUMPDP")).AsInteger();
    NumUp = table.FieldByName(QStringLiteral("NUMUP")).AsInteger();
    if (NumUp == Num)
        NumUp = 0;
    SNum = table.FieldByName(QStringLiteral("SNUM")).AsInteger();
    Naim = table.FieldByName(QStringLiteral("NAIM")).AsString();
    NumNach = table.FieldByName(QStringLiteral("NUMNACH")).AsInteger();
    Deleted = table.FieldByName(QStringLiteral("DELETED")).AsBoolean();
}

void T_Podr::WriteToTable(Cursor& table)
{
    const QList<Variant> values{
        Variant(NumPdp), Variant(NumUp), Variant(SNum), Variant(Naim), Variant(NumNach), Variant(Deleted)};
    if (Num == -1) {
        Num = AppendNumberedRecord(table, WrittenFields(), values, true);
        return;
    }
    table.CheckBrowseMode();
    PrimaryIndexScope index(table);
    if (!table.FindKey({Variant(Num)}))
        RaisePodrNotFound(Num);
    SetRecordValues(table, WrittenFields(), values, true);
}

void T_Podr::Save()
{
    if (IsDismissedGroup())
        throw EAppException(QStringLiteral("Группа уволенных не хранится в справочнике подразделений"));
    {
        Cursor sp(kSP);
        sp.Open();
        if (Num != -1 && !sp.FindKey({Variant(Num)}))
            RaisePodrNotFound(Num);
        WriteToTable(sp);
    }
    DbSession::RefreshAll(kSP);
}

QString T_Podr::GetName() const { return GetNamePart(Cfg.NamePodrVid); }

QString T_Podr::GetNamePart(int part) const
{
    if (part <= 0)
        return Naim;
    const QStringList parts = Naim.split(QLatin1Char('|'));
    return part <= parts.size() ? parts[part - 1] : parts.first();
}

bool T_Podr::IsUnused(bool withHistory) const
{
    {
        Cursor sr(QStringLiteral("SR"));
        sr.SetIndexName(QStringLiteral("PODR"));
        sr.Open();
        if (sr.FindKey({Variant(Num)}))
            return false;
        sr.SetIndexName(QString());
        if (AnyRowNames(sr, QStringLiteral("OLDPODR"), Num))
            return false;
    }
    if (withHistory) {
        Cursor srh(QStringLiteral("SRH"));
        srh.Open();
        const Field podr = srh.FieldByName(QStringLiteral("PODR"));
        const Field oldPodr = srh.FieldByName(QStringLiteral("OLDPODR"));
        for (srh.First(); !srh.Eof(); srh.Next()) {
            if (podr.AsInteger() == Num || oldPodr.AsInteger() == Num)
                return false;
        }
    }
    return true;
}

bool T_Podr::IsDismissedGroup() const
{
    return Num == DismissedGroupNum && SNum == DismissedGroupNum && NumNach == DismissedGroupNum && NumUp == 0;
}

bool PodrLess(const T_Podr& a, const T_Podr& b)
{
    const bool ea = a.IsEnterprise();
    const bool eb = b.IsEnterprise();
    if (ea != eb)
        return ea;
    if (ea && a.NumPdp != b.NumPdp)
        return a.NumPdp < b.NumPdp;
    if (a.SNum != b.SNum)
        return a.SNum < b.SNum;
    return a.Num < b.Num;
}

// ---------------------------------------------------------------- T_PNList

T_PNList::T_PNList()
{
    WriteDefaultEnterprise = [] {
        if (DM() == nullptr)
            throw EAppException(QStringLiteral("Модуль данных не создан"));
        DM()->AddEnterpriseRecord();
    };
}

T_PNList::~T_PNList()
{
    for (T_PNTree* tree : trees_)
        tree->OwnerDestroyed();
    trees_.clear();
    const QList<T_PNCardList*> cards = cardLists_;
    cardLists_.clear();
    for (T_PNCardList* list : cards)
        list->PNListDestroyed();
    FreeItems();
}

void T_PNList::EnsureLoaded()
{
    if (!loaded_)
        Load();
}

void T_PNList::Reload() { Load(); }

void T_PNList::SetLoaded(bool loaded)
{
    if (loaded)
        return;
    loaded_ = false;
    const QList<T_PNCardList*> cards = cardLists_;
    for (T_PNCardList* list : cards)
        list->SetLoaded(false);
    for (T_PNTree* tree : trees_)
        tree->SetBuilt(false);
}

void T_PNList::Clear()
{
    FreeItems();
    Changed();
}

void T_PNList::FreeItems()
{
    // The trees point at the departments: they go first.
    DropTreeNodes();
    T_yqOwnerListOf<T_Podr>::Clear();
}

void T_PNList::DropTreeNodes()
{
    for (T_PNTree* tree : trees_)
        tree->ClearNodes();
}

void T_PNList::ReadTable()
{
    FreeItems();
    enterpriseCount_ = 0;
    firstEnterprise_ = -1;
    maxSNum_ = 0;
    Cursor sp(kSP);
    sp.Open();
    const Field num = sp.FieldByName(QStringLiteral("NUM"));
    for (sp.First(); !sp.Eof(); sp.Next()) {
        if (num.AsInteger() <= 0)
            continue;
        auto podr = std::make_unique<T_Podr>();
        podr->LoadFromTable(sp);
        if (podr->IsEnterprise()) {
            if (enterpriseCount_ == 0)
                firstEnterprise_ = podr->Num;
            ++enterpriseCount_;
        }
        maxSNum_ = std::max(maxSNum_, podr->SNum);
        AddObject(podr.release());
    }
}

void T_PNList::Load()
{
    loaded_ = false;
    reportedCycles_.clear();
    ReadTable();
    if (enterpriseCount_ == 0) {
        if (WriteDefaultEnterprise)
            WriteDefaultEnterprise();
        ReadTable();
        if (enterpriseCount_ == 0)
            throw EAppException(QStringLiteral("Ошибка загрузки предприятия"));
    }
    QList<qint32> enterprises;
    for (T_Podr* podr : *this) {
        if (podr->IsEnterprise())
            enterprises << podr->Num;
    }
    for (qint32 enterprise : enterprises)
        AddObject(T_Podr::NewDismissedGroup(enterprise));
    SortItems([](void* a, void* b) {
        return PodrLess(
            *static_cast<T_Podr*>(static_cast<TObject*>(a)), *static_cast<T_Podr*>(static_cast<TObject*>(b)));
    });
    loaded_ = true;
    Changed();
}

void T_PNList::Changed()
{
    if (!ApplicationRunning() || ApplicationTerminating())
        return;
    QStringList errors;
    const auto guard = [&errors](auto&& call) {
        try {
            call();
        } catch (const EAbort&) {
        } catch (const Exception& e) {
            errors << e.Message();
        } catch (const std::exception& e) {
            errors << QString::fromUtf8(e.what());
        }
    };
    // Handlers may remove themselves or others: each is looked up again
    // before it is called.
    std::vector<TNotifyEvent> events;
    for (int i = 0; i < notify_.Count(); ++i)
        events.push_back(notify_.GetEvent(i));
    for (const TNotifyEvent& event : events) {
        if (notify_.IndexOf(event) >= 0)
            guard([&] { event(this); });
    }
    const QList<T_PNTree*> trees = trees_;
    for (T_PNTree* tree : trees) {
        if (trees_.contains(tree))
            guard([&] { tree->Rebuild(); });
    }
    const QList<T_PNCardList*> cards = cardLists_;
    for (T_PNCardList* list : cards) {
        if (cardLists_.contains(list))
            guard([&] { list->Reload(); });
    }
    if (!errors.isEmpty())
        ShowError(errors.join(QStringLiteral("\r\n")));
}

T_Podr* T_PNList::FindPodr(qint32 num)
{
    EnsureLoaded();
    T_Podr* podr = Find([num](T_Podr* p) { return p->Num == num; });
    return podr != nullptr && !podr->IsEnterprise() ? podr : nullptr;
}

T_Podr* T_PNList::FindEnterprise(qint32 num)
{
    EnsureLoaded();
    return Find([num](T_Podr* p) { return p->Num == num && p->IsEnterprise(); });
}

T_Podr* T_PNList::GetPodr(int index)
{
    EnsureLoaded();
    return Item(index);
}

int T_PNList::PodrCount()
{
    EnsureLoaded();
    return Count();
}

void T_PNList::AddNotify(const TNotifyEvent& event)
{
    if (notify_.IndexOf(event) < 0)
        notify_.Add(event);
}

void T_PNList::RemoveNotify(const TNotifyEvent& event) { notify_.Remove(event); }

void T_PNList::RegisterCardList(T_PNCardList* list)
{
    if (list != nullptr && !cardLists_.contains(list))
        cardLists_ << list;
}

void T_PNList::UnregisterCardList(T_PNCardList* list) { cardLists_.removeAll(list); }

void T_PNList::ReportCycle(const QList<qint32>& nums)
{
    QList<qint32> fresh;
    for (qint32 n : nums) {
        if (!reportedCycles_.contains(n))
            fresh << n;
    }
    if (fresh.isEmpty())
        return;
    reportedCycles_ << fresh;
    ShowError(QStringLiteral("Ошибка в структуре подразделений|Подразделения %1 указаны вышестоящими друг для "
                             "друга.\r\nОни показаны без вышестоящего подразделения; исправьте их в справочнике "
                             "подразделений.")
                  .arg(NumberList(fresh)));
}

// ---------------------------------------------------------------- T_PNTree

T_MPodr::T_MPodr(T_Podr* podr) : Podr(podr), nodes_(std::make_unique<T_MPodrList>()) {}

T_MPodr::~T_MPodr() = default;

T_PNTree::T_PNTree(T_PNList* owner) : owner_(owner)
{
    if (owner_ != nullptr)
        owner_->trees_ << this;
}

T_PNTree::~T_PNTree()
{
    if (owner_ != nullptr) {
        owner_->trees_.removeAll(this);
        for (T_PNTree* tree : owner_->trees_) {
            if (tree->source_ == this)
                tree->source_ = nullptr;
        }
    }
    ClearNodes();
}

void T_PNTree::SetSource(T_PNTree* source)
{
    // A chain that leads back here would answer through itself forever.
    for (T_PNTree* t = source; t != nullptr; t = t->source_) {
        if (t == this)
            throw EAppException(QStringLiteral("Дерево подразделений не может отвечать через самого себя"));
    }
    source_ = source;
}

T_PNTree* T_PNTree::Target()
{
    T_PNTree* tree = this;
    while (tree->source_ != nullptr)
        tree = tree->source_;
    return tree;
}

void T_PNTree::ClearNodes()
{
    T_MPodrList::Clear();
    built_ = false;
}

void T_PNTree::OwnerDestroyed()
{
    ClearNodes();
    owner_ = nullptr;
    source_ = nullptr;
}

void T_PNTree::Build()
{
    if (source_ != nullptr) {
        Target()->Build();
        return;
    }
    ClearNodes();
    cycleNums_.clear();
    if (owner_ == nullptr)
        return;
    owner_->EnsureLoaded();
    ClearNodes(); // a load that ran Changed may have rebuilt this tree meanwhile
    if (filter_ == 0) {
        built_ = true;
        return;
    }

    const bool oneEnterprise = owner_->EnterpriseCount() == 1;
    std::vector<std::unique_ptr<T_MPodr>> nodes;
    for (T_Podr* podr : *owner_) {
        const bool dismissed = podr->IsDismissedGroup();
        bool pass;
        if (dismissed)
            pass = (filter_ & pfDismissed) != 0;
        else
            pass = podr->Deleted ? (filter_ & pfDeleted) != 0 : (filter_ & pfCurrent) != 0;
        if (pass && oneEnterprise && podr->IsEnterprise())
            pass = false;
        if (pass)
            nodes.push_back(std::make_unique<T_MPodr>(podr));
    }

    // Parent links by NUMUP among ordinary departments.
    QHash<qint32, int> byNum;
    QHash<qint32, int> enterprises;
    for (int i = 0; i < int(nodes.size()); ++i) {
        const T_Podr* p = nodes[size_t(i)]->Podr;
        if (p->IsDismissedGroup())
            continue;
        if (p->IsEnterprise() && !enterprises.contains(p->Num))
            enterprises.insert(p->Num, i);
        if (!byNum.contains(p->Num))
            byNum.insert(p->Num, i);
    }
    const int count = int(nodes.size());
    std::vector<int> parent(size_t(count), -1);
    for (int i = 0; i < count; ++i) {
        const T_Podr* p = nodes[size_t(i)]->Podr;
        if (p->IsEnterprise() || p->IsDismissedGroup() || p->Deleted || p->NumUp < 1)
            continue;
        const int up = byNum.value(p->NumUp, -1);
        if (up >= 0 && up != i && !nodes[size_t(up)]->Podr->Deleted)
            parent[size_t(i)] = up;
    }

    // Rings of parents: their members would hang under each other and never
    // reach the top. Each walk is bounded by the node count.
    std::vector<char> state(size_t(count), 0); // 0 unseen, 1 on the current walk, 2 done
    std::vector<char> inRing(size_t(count), 0);
    for (int start = 0; start < count; ++start) {
        if (state[size_t(start)] != 0)
            continue;
        std::vector<int> walk;
        int i = start;
        while (i >= 0 && state[size_t(i)] == 0 && int(walk.size()) <= count) {
            state[size_t(i)] = 1;
            walk.push_back(i);
            i = parent[size_t(i)];
        }
        if (i >= 0 && state[size_t(i)] == 1) {
            for (auto it = std::find(walk.begin(), walk.end(), i); it != walk.end(); ++it)
                inRing[size_t(*it)] = 1;
        }
        for (int w : walk)
            state[size_t(w)] = 2;
    }
    for (int i = 0; i < count; ++i) {
        if (inRing[size_t(i)] != 0) {
            parent[size_t(i)] = -1;
            cycleNums_ << nodes[size_t(i)]->Podr->Num;
        }
    }

    // With several enterprises a department without a parent hangs under
    // its enterprise.
    if (owner_->EnterpriseCount() > 1) {
        for (int i = 0; i < count; ++i) {
            const T_Podr* p = nodes[size_t(i)]->Podr;
            if (parent[size_t(i)] < 0 && !p->IsEnterprise() && p->NumPdp >= 0)
                parent[size_t(i)] = enterprises.value(p->NumPdp, -1);
        }
    }

    std::vector<T_MPodr*> raw;
    raw.reserve(nodes.size());
    for (auto& node : nodes)
        raw.push_back(node.get());
    for (int i = 0; i < count; ++i) {
        T_MPodr* node = nodes[size_t(i)].release();
        const int up = parent[size_t(i)];
        node->Attached = up >= 0;
        if (up >= 0) {
            node->Parent = raw[size_t(up)];
            raw[size_t(up)]->Nodes().AddObject(node);
        } else {
            AddObject(node);
        }
    }
    SortLevel(*this);
    built_ = true;
    if (!cycleNums_.isEmpty())
        owner_->ReportCycle(cycleNums_);
}

void T_PNTree::EnsureBuilt()
{
    T_PNTree* target = Target();
    if (!target->built_)
        target->Build();
}

void T_PNTree::Rebuild() { Target()->Build(); }

void T_PNTree::SetBuilt(bool built)
{
    if (!built)
        built_ = false;
}

void T_PNTree::SetFilter(quint8 flags)
{
    T_PNTree* target = Target();
    if (target->filter_ == flags) {
        target->EnsureBuilt();
        return;
    }
    target->filter_ = flags;
    target->Build();
}

T_MPodr* T_PNTree::FindNode(qint32 num)
{
    EnsureBuilt();
    return FindIn(*Target(), num);
}

T_MPodr* T_PNTree::FindParentNode(qint32 num)
{
    T_MPodr* node = FindNode(num);
    return node != nullptr ? node->Parent : nullptr;
}

bool T_PNTree::HasPodr(qint32 num) { return FindNode(num) != nullptr; }

int T_PNTree::FillStrings(TStringItems& strings, qint32 num)
{
    strings.clear();
    EnsureBuilt();
    int index = -1;
    FillLevel(*Target(), 0, strings, num, index);
    return index;
}

T_MPodr* T_PNTree::NodeOfItem(const TStringItem& item)
{
    return reinterpret_cast<T_MPodr*>(static_cast<quintptr>(item.Object));
}
