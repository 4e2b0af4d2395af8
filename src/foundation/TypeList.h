#pragma once
// The list base classes that nearly every collection of the program derives
// from. Each wraps one growable pointer array behind virtual operations, so
// that a descendant can change how items are stored, created and freed.
//
// Who frees what (the contract every caller relies on):
//   T_yqCustomList, T_yqObjectList, T_yqIntegerList: never free anything.
//   T_yqCustOwnerList, T_yqOwnerList: Clear, the destructor, a shrinking
//     SetCount, DeleteObject and FreeObject free the objects; Delete, Remove,
//     RemoveObject, ExtractObject, Put, PutObject and Pack hand them back.
//   T_yqRecordList: Clear, the destructor and a shrinking SetCount free the
//     records through FreeRecord; nothing else frees.
//
// A C++ destructor cannot reach an override of a derived class, so every
// class here calls Clear() in its own destructor. A descendant that overrides
// Clear (or NewRecord/FreeRecord) must call Clear() in its destructor too.

#include <QtGlobal>

#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <type_traits>
#include <vector>

// Common base of the objects that owning lists hold and free.
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
    virtual ~TObject();
};

// The largest count and capacity a list accepts.
constexpr int MaxListSize = 0x7FFFFFFF / 16;

// Negative when item1 sorts before item2, zero when equal, else positive.
using TListSortCompare = int (*)(void* item1, void* item2);
// Told the index (before packing) of each nil entry that Pack drops.
using TPackNotify = std::function<void(int index)>;

class T_yqCustomList : public TObject {
public:
    T_yqCustomList();
    ~T_yqCustomList() override;
    T_yqCustomList(const T_yqCustomList&) = delete;
    T_yqCustomList& operator=(const T_yqCustomList&) = delete;

    // Index errors raise EListError "List index out of bounds (%d)".
    virtual void* Get(int index) const;
    // Stores the item; the old one is not freed.
    virtual void Put(int index, void* item);
    virtual int GetCapacity() const;
    // Below the count: EListError "List capacity out of bounds (%d)".
    virtual void SetCapacity(int newCapacity);
    virtual int GetCount() const;
    // New entries are nil. Negative: EListError "List count out of bounds (%d)".
    virtual void SetCount(int newCount);
    virtual int Add(void* item);
    // A shallow copy of the source's entries; this list's own entries are
    // dropped without Clear. Refused by the owning lists.
    virtual void Assign(const T_yqCustomList& source);
    virtual void Clear();
    // Removes the entry and returns the item it held.
    virtual void* Delete(int index);
    virtual void Exchange(int index1, int index2);
    virtual int IndexOf(const void* item) const;
    // Index may equal the count (appends).
    virtual void Insert(int index, void* item);
    virtual void Move(int curIndex, int newIndex);
    virtual void Pack();
    // Removes the first entry holding the item; its former index or -1.
    virtual int Remove(void* item);

    // The last item; an empty list raises "List index out of bounds (-1)".
    void* Last() const;
    // Calls notify for each nil entry, then drops the nil entries.
    void PackNotify(const TPackNotify& notify);

    int Count() const { return GetCount(); }
    int Capacity() const { return GetCapacity(); }
    void* Items(int index) const { return Get(index); }

protected:
    // Raise the pointer array's errors.
    [[noreturn]] static void IndexError(int index);
    static void CheckCount(int count);
    // The raw entry, bypassing the virtual Get (as Assign reads its source).
    void* RawItem(int index) const;
    // A stable sort of the raw array with a "less" predicate.
    void SortItems(const std::function<bool(void*, void*)>& less);

private:
    void CheckIndex(int index) const;

    std::vector<void*> items_;
};

// Items are TObject references, not owned.
class T_yqObjectList : public T_yqCustomList {
public:
    // Through the virtual Put.
    virtual void PutObject(int index, TObject* obj);
    virtual int AddObject(TObject* obj);
    // Removes the entry and returns its object.
    virtual TObject* DeleteObject(int index);
    virtual int RemoveObject(TObject* obj);

    TObject* GetObject(int index) const { return static_cast<TObject*>(Get(index)); }
    TObject* Objects(int index) const { return GetObject(index); }
    TObject* LastObject() const { return static_cast<TObject*>(Last()); }
    // IndexOf with the TObject address (the one the list stores).
    int IndexOfObject(const TObject* obj) const { return IndexOf(obj); }
};

// Owns its objects (see the contract at the top).
class T_yqCustOwnerList : public T_yqObjectList {
public:
    ~T_yqCustOwnerList() override;

    // Sets the capacity only; frees nothing.
    void SetCapacity(int newCapacity) override;
    // Shrinking frees the objects at indices newCount and above.
    void SetCount(int newCount) override;
    // Two owners of the same objects would free them twice: refused with
    // EAppException.
    void Assign(const T_yqCustomList& source) override;
    // Puts nil in each entry through PutObject, then frees its object.
    void Clear() override;
    // Removes the entry, frees its object and returns nil.
    TObject* DeleteObject(int index) override;

    // Removes the entry and hands its object to the caller.
    TObject* ExtractObject(int index);
    // Removes the object's entry, then frees it. Nil is ignored; an object
    // not in the list raises Exception "No object in owner list".
    void FreeObject(TObject* obj);

protected:
    // Frees an object the list lets go of; a list that holds objects it does
    // not own frees only its own. Not called from the destructor.
    virtual void DisposeObject(TObject* obj);
};

class T_yqOwnerList : public T_yqCustOwnerList {};

// Typed access over an object list or owning list of T (T derives from
// TObject): list[i], range-for, typed Last/Extract. The virtual operations
// stay those of Base, so a domain list can still override Clear or Put:
//   class T_Departments : public T_yqOwnerListOf<T_Department> { ... };
template <class T, class Base> class T_yqTypedList : public Base {
    static_assert(std::is_base_of_v<TObject, T>, "list items derive from TObject");
    static_assert(std::is_base_of_v<T_yqObjectList, Base>, "Base is an object list");

public:
    T* Item(int index) const { return Cast(this->GetObject(index)); }
    T* operator[](int index) const { return Item(index); }
    T* LastItem() const { return Cast(this->LastObject()); }
    // First item for which pred(T*) holds, or nullptr.
    template <class Pred> T* Find(Pred pred) const
    {
        for (int i = 0; i < this->GetCount(); ++i)
            if (T* item = Item(i); pred(item))
                return item;
        return nullptr;
    }
    // Owning lists only: removes the entry and hands over the object.
    T* ExtractItem(int index) requires std::is_base_of_v<T_yqCustOwnerList, Base>
    {
        return Cast(this->ExtractObject(index));
    }

    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T*;
        using difference_type = std::ptrdiff_t;
        using pointer = T**;
        using reference = T*;
        Iterator() = default;
        Iterator(const T_yqTypedList* list, int index) : list_(list), index_(index) {}
        T* operator*() const { return list_->Item(index_); }
        Iterator& operator++()
        {
            ++index_;
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator old = *this;
            ++index_;
            return old;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.index_ == b.index_; }

    private:
        const T_yqTypedList* list_ = nullptr;
        int index_ = 0;
    };
    // The count is read at each step: items may not be added or removed
    // while a range-for walks the list.
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, this->GetCount()); }

private:
    static T* Cast(TObject* obj)
    {
        Q_ASSERT(obj == nullptr || dynamic_cast<T*>(obj) != nullptr);
        return static_cast<T*>(obj);
    }
};

template <class T> using T_yqOwnerListOf = T_yqTypedList<T, T_yqOwnerList>;
template <class T> using T_yqObjectListOf = T_yqTypedList<T, T_yqObjectList>;

// 32-bit signed integers stored in the entries themselves.
class T_yqIntegerList : public T_yqCustomList {
public:
    int GetInteger(int index) const { return FromItem(Get(index)); }
    int AddInteger(int value) { return Add(ToItem(value)); }
    int IndexOfInteger(int value) const { return IndexOf(ToItem(value)); }

private:
    static void* ToItem(int value) { return reinterpret_cast<void*>(static_cast<intptr_t>(value)); }
    static int FromItem(void* item) { return static_cast<int>(reinterpret_cast<intptr_t>(item)); }
};

// Called with each record just before its memory is released.
using TFreeRecordProc = void (*)(void* record);

// Owns zero-filled records of RecordSize bytes.
class T_yqRecordList : public T_yqCustomList {
public:
    // A size below 1 raises EListError.
    explicit T_yqRecordList(int recordSize);
    ~T_yqRecordList() override;

    // Growing adds zero-filled records; shrinking frees the dropped ones.
    void SetCount(int newCount) override;
    // Two owners of the same records would free them twice: refused with
    // EAppException.
    void Assign(const T_yqCustomList& source) override;
    // FreeRecord on every entry, then empties the array.
    void Clear() override;

    virtual void* NewRecord();
    // OnFreeRecord (when set), then releases the memory; nil is skipped.
    virtual void FreeRecord(void* record);
    // Appends a NewRecord; its index.
    virtual int AddNew();
    // Stable; a nil compare sorts nothing.
    virtual void Sort(TListSortCompare compare);

    int RecordSize() const { return recordSize_; }
    TListSortCompare SortCompare() const { return sortCompare_; }

    TFreeRecordProc OnFreeRecord = nullptr;

private:
    int recordSize_;
    TListSortCompare sortCompare_ = nullptr;
};

// A record list of T, value-initialised (zero for plain structs), built and
// destroyed as C++ objects.
template <class T> class T_yqRecordListOf : public T_yqRecordList {
public:
    T_yqRecordListOf() : T_yqRecordList(static_cast<int>(sizeof(T))) {}
    ~T_yqRecordListOf() override { Clear(); }

    void* NewRecord() override { return new T(); }
    void FreeRecord(void* record) override
    {
        if (record == nullptr)
            return;
        if (OnFreeRecord)
            OnFreeRecord(record);
        delete static_cast<T*>(record);
    }

    T* Record(int index) const { return static_cast<T*>(Get(index)); }
    T* operator[](int index) const { return Record(index); }
    // Appends a new record and returns it.
    T* AddRecord() { return Record(AddNew()); }
};

// A handler of a notification: a receiver and one of its methods taking the
// sender. Two events are equal when both the receiver and the method are,
// so a receiver can remove what it added. Lambdas are left out on purpose:
// they cannot be compared.
class TNotifyEvent {
public:
    TNotifyEvent() = default;
    template <class R, class C>
    requires std::is_base_of_v<C, R> TNotifyEvent(R* receiver, void (C::*method)(TObject* sender))
        : data_(static_cast<C*>(receiver))
    {
        static_assert(sizeof(method) <= sizeof(code_), "member function pointer too large");
        std::memcpy(code_, &method, sizeof(method));
        invoke_ = &InvokeMethod<C>;
    }
    explicit TNotifyEvent(void (*function)(TObject* sender));

    bool Assigned() const { return invoke_ != nullptr; }
    explicit operator bool() const { return Assigned(); }
    // An unassigned event does nothing.
    void operator()(TObject* sender) const;
    const void* Receiver() const { return data_; }

    friend bool operator==(const TNotifyEvent& a, const TNotifyEvent& b);

private:
    template <class C> static void InvokeMethod(const TNotifyEvent& event, TObject* sender)
    {
        void (C::*method)(TObject*);
        std::memcpy(&method, event.code_, sizeof(method));
        (static_cast<C*>(event.data_)->*method)(sender);
    }
    static void InvokeFunction(const TNotifyEvent& event, TObject* sender);

    void* data_ = nullptr;
    alignas(void*) unsigned char code_[2 * sizeof(void*)] = {};
    void (*invoke_)(const TNotifyEvent&, TObject*) = nullptr;
};

class TNotifyLink;

// A list of notification handlers.
class T_yqNotifyEventList : public TObject {
public:
    T_yqNotifyEventList();
    ~T_yqNotifyEventList() override;
    T_yqNotifyEventList(const T_yqNotifyEventList&) = delete;
    T_yqNotifyEventList& operator=(const T_yqNotifyEventList&) = delete;

    virtual int GetCount() const;
    virtual void Add(const TNotifyEvent& event);
    virtual void Clear();
    virtual void Delete(int index);
    virtual void CallEvent(int index, TObject* sender);
    // Calls each handler present when the walk began, with the list as the
    // sender. A handler removed during the walk (by itself or another) is
    // skipped, one added is not called; a handler may destroy the list.
    virtual void CallAll();
    // Removes the first equal event; its index or -1.
    virtual int Remove(const TNotifyEvent& event);
    virtual int IndexOf(const TNotifyEvent& event) const;

    // EListError "List index out of bounds (%d)" outside 0..Count-1.
    void CheckIndex(int index) const;
    TNotifyEvent GetEvent(int index) const;
    int Count() const { return GetCount(); }

private:
    friend class TNotifyLink;
    struct Entry {
        TNotifyEvent event;
        uint64_t serial;
    };
    std::vector<Entry> events_;
    uint64_t nextSerial_ = 0;
    bool* destroyed_ = nullptr; // set by the destructor while CallAll runs
    std::vector<TNotifyLink*> links_;
};

// A subscription that ends with its owner: adds the event to the list and
// removes it again on destruction (or Reset). Safe in either order of
// destruction: a list that dies first detaches its links.
//   TNotifyLink link_{&context.Departments().OnChange, TNotifyEvent(this, &TFormDeps::DepsChanged)};
class TNotifyLink {
public:
    TNotifyLink() = default;
    TNotifyLink(T_yqNotifyEventList* list, const TNotifyEvent& event);
    ~TNotifyLink();
    TNotifyLink(const TNotifyLink&) = delete;
    TNotifyLink& operator=(const TNotifyLink&) = delete;
    TNotifyLink(TNotifyLink&& other) noexcept;
    TNotifyLink& operator=(TNotifyLink&& other) noexcept;

    // Removes the event now.
    void Reset();
    bool Connected() const { return list_ != nullptr; }

private:
    friend class T_yqNotifyEventList;
    void Attach(T_yqNotifyEventList* list);
    void Detach();

    T_yqNotifyEventList* list_ = nullptr;
    TNotifyEvent event_;
};
