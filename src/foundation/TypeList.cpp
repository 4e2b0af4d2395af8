#include "foundation/TypeList.h"

#include "platform/Exceptions.h"

#include <QString>

#include <algorithm>
#include <cstdlib>
#include <new>

TObject::~TObject() = default;

// ---------------------------------------------------------------- T_yqCustomList

T_yqCustomList::T_yqCustomList() = default;

T_yqCustomList::~T_yqCustomList() { T_yqCustomList::Clear(); }

void T_yqCustomList::IndexError(int index)
{
    throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
}

void T_yqCustomList::CheckCount(int count)
{
    if (count < 0 || count > MaxListSize)
        throw EListError(QStringLiteral("List count out of bounds (%1)").arg(count));
}

void T_yqCustomList::CheckIndex(int index) const
{
    if (index < 0 || index >= static_cast<int>(items_.size()))
        IndexError(index);
}

void* T_yqCustomList::RawItem(int index) const
{
    CheckIndex(index);
    return items_[index];
}

void T_yqCustomList::SortItems(const std::function<bool(void*, void*)>& less)
{
    std::stable_sort(items_.begin(), items_.end(), less);
}

void* T_yqCustomList::Get(int index) const
{
    CheckIndex(index);
    return items_[index];
}

void T_yqCustomList::Put(int index, void* item)
{
    CheckIndex(index);
    items_[index] = item;
}

int T_yqCustomList::GetCapacity() const { return static_cast<int>(items_.capacity()); }

void T_yqCustomList::SetCapacity(int newCapacity)
{
    if (newCapacity < static_cast<int>(items_.size()) || newCapacity > MaxListSize)
        throw EListError(QStringLiteral("List capacity out of bounds (%1)").arg(newCapacity));
    if (newCapacity > static_cast<int>(items_.capacity())) {
        items_.reserve(newCapacity);
    } else if (newCapacity < static_cast<int>(items_.capacity())) {
        std::vector<void*> smaller;
        smaller.reserve(newCapacity);
        smaller.assign(items_.begin(), items_.end());
        items_.swap(smaller);
    }
}

int T_yqCustomList::GetCount() const { return static_cast<int>(items_.size()); }

void T_yqCustomList::SetCount(int newCount)
{
    CheckCount(newCount);
    items_.resize(newCount, nullptr);
}

int T_yqCustomList::Add(void* item)
{
    if (static_cast<int>(items_.size()) >= MaxListSize)
        throw EListError(QStringLiteral("List count out of bounds (%1)").arg(items_.size() + 1));
    items_.push_back(item);
    return static_cast<int>(items_.size()) - 1;
}

void T_yqCustomList::Assign(const T_yqCustomList& source)
{
    // Assigning a list to itself would empty it.
    if (&source == this)
        return;
    items_.clear();
    const int count = source.GetCount();
    items_.reserve(count);
    for (int i = 0; i < count; ++i)
        items_.push_back(source.RawItem(i));
}

void T_yqCustomList::Clear()
{
    items_.clear();
    items_.shrink_to_fit();
}

void* T_yqCustomList::Delete(int index)
{
    CheckIndex(index);
    void* item = items_[index];
    items_.erase(items_.begin() + index);
    return item;
}

void T_yqCustomList::Exchange(int index1, int index2)
{
    CheckIndex(index1);
    CheckIndex(index2);
    std::swap(items_[index1], items_[index2]);
}

int T_yqCustomList::IndexOf(const void* item) const
{
    const auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void T_yqCustomList::Insert(int index, void* item)
{
    if (index < 0 || index > static_cast<int>(items_.size()))
        IndexError(index);
    if (static_cast<int>(items_.size()) >= MaxListSize)
        throw EListError(QStringLiteral("List count out of bounds (%1)").arg(items_.size() + 1));
    items_.insert(items_.begin() + index, item);
}

void T_yqCustomList::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    CheckIndex(newIndex);
    CheckIndex(curIndex);
    void* item = items_[curIndex];
    items_.erase(items_.begin() + curIndex);
    items_.insert(items_.begin() + newIndex, item);
}

void T_yqCustomList::Pack() { PackNotify(nullptr); }

int T_yqCustomList::Remove(void* item)
{
    const int index = IndexOf(item);
    if (index >= 0)
        Delete(index);
    return index;
}

void* T_yqCustomList::Last() const { return Get(GetCount() - 1); }

void T_yqCustomList::PackNotify(const TPackNotify& notify)
{
    if (notify) {
        const int count = GetCount();
        for (int i = 0; i < count && i < GetCount(); ++i)
            if (RawItem(i) == nullptr)
                notify(i);
    }
    items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end());
}

// ---------------------------------------------------------------- T_yqObjectList

void T_yqObjectList::PutObject(int index, TObject* obj) { Put(index, obj); }

int T_yqObjectList::AddObject(TObject* obj) { return Add(obj); }

TObject* T_yqObjectList::DeleteObject(int index) { return static_cast<TObject*>(Delete(index)); }

int T_yqObjectList::RemoveObject(TObject* obj) { return Remove(obj); }

// ---------------------------------------------------------------- T_yqCustOwnerList

T_yqCustOwnerList::~T_yqCustOwnerList() { T_yqCustOwnerList::Clear(); }

void T_yqCustOwnerList::SetCapacity(int newCapacity) { T_yqObjectList::SetCapacity(newCapacity); }

void T_yqCustOwnerList::SetCount(int newCount)
{
    CheckCount(newCount);
    // Each entry is emptied before its object goes, so that a destructor
    // that looks at the list never meets a freed object.
    for (int i = newCount; i < GetCount(); ++i) {
        TObject* obj = GetObject(i);
        PutObject(i, nullptr);
        DisposeObject(obj);
    }
    T_yqObjectList::SetCount(newCount);
}

void T_yqCustOwnerList::Assign(const T_yqCustomList&)
{
    throw EAppException(QStringLiteral("Список-владелец не может принять копию другого списка (Assign)"));
}

void T_yqCustOwnerList::Clear()
{
    // Nil entries are stored again too: a descendant's Put sees every index.
    for (int i = 0; i < GetCount(); ++i) {
        TObject* obj = GetObject(i);
        PutObject(i, nullptr);
        DisposeObject(obj);
    }
    T_yqObjectList::Clear();
}

TObject* T_yqCustOwnerList::DeleteObject(int index)
{
    DisposeObject(T_yqObjectList::DeleteObject(index));
    return nullptr;
}

TObject* T_yqCustOwnerList::ExtractObject(int index) { return T_yqObjectList::DeleteObject(index); }

void T_yqCustOwnerList::FreeObject(TObject* obj)
{
    if (obj == nullptr)
        return;
    const int index = IndexOfObject(obj);
    if (index < 0)
        throw Exception(QStringLiteral("No object in owner list"));
    Delete(index);
    DisposeObject(obj);
}

void T_yqCustOwnerList::DisposeObject(TObject* obj) { delete obj; }

// ---------------------------------------------------------------- T_yqRecordList

T_yqRecordList::T_yqRecordList(int recordSize) : recordSize_(recordSize)
{
    if (recordSize < 1)
        throw EListError(QStringLiteral("Record size out of bounds (%1)").arg(recordSize));
}

T_yqRecordList::~T_yqRecordList() { T_yqRecordList::Clear(); }

void T_yqRecordList::SetCount(int newCount)
{
    CheckCount(newCount);
    const int oldCount = GetCount();
    if (newCount == oldCount)
        return;
    if (newCount > oldCount) {
        T_yqCustomList::SetCount(newCount);
        for (int i = oldCount; i < newCount; ++i)
            Put(i, NewRecord());
    } else {
        for (int i = newCount; i < oldCount; ++i) {
            void* record = Get(i);
            Put(i, nullptr);
            FreeRecord(record);
        }
        T_yqCustomList::SetCount(newCount);
    }
}

void T_yqRecordList::Assign(const T_yqCustomList&)
{
    throw EAppException(QStringLiteral("Список записей не может принять копию другого списка (Assign)"));
}

void T_yqRecordList::Clear()
{
    for (int i = 0; i < GetCount(); ++i) {
        void* record = Get(i);
        Put(i, nullptr);
        FreeRecord(record);
    }
    T_yqCustomList::Clear();
}

void* T_yqRecordList::NewRecord()
{
    void* record = std::calloc(1, static_cast<size_t>(recordSize_));
    if (record == nullptr)
        throw std::bad_alloc();
    return record;
}

void T_yqRecordList::FreeRecord(void* record)
{
    if (record == nullptr)
        return;
    if (OnFreeRecord)
        OnFreeRecord(record);
    std::free(record);
}

int T_yqRecordList::AddNew()
{
    void* record = NewRecord();
    try {
        return Add(record);
    } catch (...) {
        FreeRecord(record);
        throw;
    }
}

void T_yqRecordList::Sort(TListSortCompare compare)
{
    sortCompare_ = compare;
    if (compare)
        SortItems([compare](void* a, void* b) { return compare(a, b) < 0; });
}

// ---------------------------------------------------------------- TNotifyEvent

TNotifyEvent::TNotifyEvent(void (*function)(TObject*))
{
    if (function == nullptr)
        return;
    static_assert(sizeof(function) <= sizeof(code_));
    std::memcpy(code_, &function, sizeof(function));
    invoke_ = &InvokeFunction;
}

void TNotifyEvent::InvokeFunction(const TNotifyEvent& event, TObject* sender)
{
    void (*function)(TObject*);
    std::memcpy(&function, event.code_, sizeof(function));
    function(sender);
}

void TNotifyEvent::operator()(TObject* sender) const
{
    if (invoke_)
        invoke_(*this, sender);
}

bool operator==(const TNotifyEvent& a, const TNotifyEvent& b)
{
    return a.data_ == b.data_ && a.invoke_ == b.invoke_ && std::memcmp(a.code_, b.code_, sizeof(a.code_)) == 0;
}

// ---------------------------------------------------------------- T_yqNotifyEventList

T_yqNotifyEventList::T_yqNotifyEventList() = default;

T_yqNotifyEventList::~T_yqNotifyEventList()
{
    if (destroyed_)
        *destroyed_ = true;
    for (TNotifyLink* link : links_)
        link->list_ = nullptr;
    T_yqNotifyEventList::Clear();
}

int T_yqNotifyEventList::GetCount() const { return static_cast<int>(events_.size()); }

void T_yqNotifyEventList::Add(const TNotifyEvent& event) { events_.push_back({event, nextSerial_++}); }

void T_yqNotifyEventList::Clear() { events_.clear(); }

void T_yqNotifyEventList::CheckIndex(int index) const
{
    if (index < 0 || index >= GetCount())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
}

void T_yqNotifyEventList::Delete(int index)
{
    CheckIndex(index);
    events_.erase(events_.begin() + index);
}

TNotifyEvent T_yqNotifyEventList::GetEvent(int index) const
{
    CheckIndex(index);
    return events_[index].event;
}

void T_yqNotifyEventList::CallEvent(int index, TObject* sender)
{
    // A copy: the handler may remove itself.
    const TNotifyEvent event = GetEvent(index);
    event(sender);
}

void T_yqNotifyEventList::CallAll()
{
    std::vector<uint64_t> serials;
    serials.reserve(events_.size());
    for (const Entry& entry : events_)
        serials.push_back(entry.serial);

    // Handlers may remove handlers, add new ones or destroy this list.
    bool destroyed = false;
    bool* const outer = destroyed_;
    destroyed_ = &destroyed;
    struct Restore {
        T_yqNotifyEventList* list;
        bool& destroyed;
        bool* outer;
        ~Restore()
        {
            if (!destroyed)
                list->destroyed_ = outer;
            else if (outer)
                *outer = true;
        }
    } restore{this, destroyed, outer};

    for (const uint64_t serial : serials) {
        const auto it = std::find_if(
            events_.begin(), events_.end(), [serial](const Entry& entry) { return entry.serial == serial; });
        if (it == events_.end())
            continue;
        const TNotifyEvent event = it->event;
        event(this);
        if (destroyed)
            return;
    }
}

int T_yqNotifyEventList::Remove(const TNotifyEvent& event)
{
    const int index = IndexOf(event);
    if (index >= 0)
        Delete(index);
    return index;
}

int T_yqNotifyEventList::IndexOf(const TNotifyEvent& event) const
{
    for (size_t i = 0; i < events_.size(); ++i)
        if (events_[i].event == event)
            return static_cast<int>(i);
    return -1;
}

// ---------------------------------------------------------------- TNotifyLink

TNotifyLink::TNotifyLink(T_yqNotifyEventList* list, const TNotifyEvent& event) : event_(event)
{
    if (list == nullptr)
        return;
    list->Add(event_);
    Attach(list);
}

TNotifyLink::~TNotifyLink() { Reset(); }

TNotifyLink::TNotifyLink(TNotifyLink&& other) noexcept : event_(other.event_)
{
    T_yqNotifyEventList* list = other.list_;
    other.Detach();
    Attach(list);
}

TNotifyLink& TNotifyLink::operator=(TNotifyLink&& other) noexcept
{
    if (this != &other) {
        Reset();
        event_ = other.event_;
        T_yqNotifyEventList* list = other.list_;
        other.Detach();
        Attach(list);
    }
    return *this;
}

void TNotifyLink::Reset()
{
    if (list_ == nullptr)
        return;
    T_yqNotifyEventList* list = list_;
    Detach();
    list->Remove(event_);
}

void TNotifyLink::Attach(T_yqNotifyEventList* list)
{
    list_ = list;
    if (list_)
        list_->links_.push_back(this);
}

void TNotifyLink::Detach()
{
    if (list_ == nullptr)
        return;
    auto& links = list_->links_;
    links.erase(std::remove(links.begin(), links.end(), this), links.end());
    list_ = nullptr;
}
