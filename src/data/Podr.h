#pragma once
// The enterprise's departments (table SP): `T_Podr` rows held by the one
// department list `T_PNList`, which adds a group of dismissed employees per
// enterprise row, and `T_PNTree`, a tree of `T_MPodr` nodes built from the
// list under filter bits for the main window and the pickers.
//
//   T_PNTree tree(PNList());
//   tree.SetFilter(pfCurrent | pfDismissed);
//   tree.EnsureBuilt();
//   for (T_MPodr* top : tree) ...
//
// The list loads lazily: a writer calls SetLoaded(false); the next access
// reads SP again, rebuilds the registered trees and reloads the registered
// card lists (through Changed, while the application runs).

#include "data/CalcMethods.h"
#include "foundation/TypeList.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class Cursor;
class T_PNList;
class T_PNTree;

class T_Podr : public TObject {
public:
    bool Deleted = false; // the department is closed
    qint32 NumUp = 0; // parent department; 0 at the top
    qint32 NumNach = 0; // carried through load and save unchanged
    qint32 Num = -1; // key; -1 = not numbered yet
    qint32 NumPdp = 0; // the enterprise; negative marks an enterprise row
    qint32 SNum = 0; // display order
    QString Naim; // name; variants separated by "|"

    // The dismissed employees' group of that enterprise (never stored).
    static T_Podr* NewDismissedGroup(qint32 enterpriseNum);

    // NUM, NUMPDP, NUMUP, SNUM, NAIM, NUMNACH, DELETED of the current row;
    // a NUMUP equal to NUM reads as 0.
    void LoadFromTable(Cursor& table);
    // Sets the columns on the table's current row (Num -1: appends under the
    // next free number and takes it). USER is stamped.
    virtual void WriteToTable(Cursor& table);
    // Num other than -1 must name an existing SP row ("Подразделение №N в
    // справочнике не найдено"); the dismissed group is refused. Writers mark
    // the list for re-reading themselves.
    virtual void Save();

    // The name in the settings' variant (NamePodrVid).
    QString GetName() const;
    // The part-th "|" variant (from 1); 0 or less: the whole text. A name
    // with fewer variants gives its first one.
    QString GetNamePart(int part) const;
    // No SR row names the department in PODR or OLDPODR (and, with the
    // history, no SRH row either).
    bool IsUnused(bool withHistory) const;
    bool IsDismissedGroup() const;
    bool IsEnterprise() const { return NumPdp < 0; }
};

// The department order: enterprise rows first (by NumPdp), then by SNum,
// then by Num. A strict weak order.
bool PodrLess(const T_Podr& a, const T_Podr& b);

// A personnel card list that follows the department list: marked when the
// departments are marked, reloaded when they change.
class T_PNCardList {
public:
    virtual ~T_PNCardList() = default;
    virtual void SetLoaded(bool loaded) = 0;
    virtual void Reload() = 0;
    // The department list is going away: forget it.
    virtual void PNListDestroyed() {}
};

class T_PNList : public T_yqOwnerListOf<T_Podr> {
public:
    T_PNList();
    ~T_PNList() override;

    void EnsureLoaded();
    // Reads SP now.
    void Reload();
    // Only false acts: the list, every registered card list and every
    // registered tree are marked for re-reading.
    void SetLoaded(bool loaded);
    bool Loaded() const { return loaded_; }
    // Frees the departments, then Changed.
    void Clear() override;
    // While the application runs: every change handler, then every tree is
    // rebuilt and every card list reloaded; their errors are shown once,
    // one a line.
    void Changed();

    // The department of that number; nullptr for none and for an enterprise
    // row. (The list is loaded first, as by every accessor below.)
    T_Podr* FindPodr(qint32 num);
    // The enterprise row of that number, or nullptr.
    T_Podr* FindEnterprise(qint32 num);
    T_Podr* GetPodr(int index);
    int PodrCount();

    // Handlers get the list as the sender; an event is kept once.
    void AddNotify(const TNotifyEvent& event);
    void RemoveNotify(const TNotifyEvent& event);
    T_yqNotifyEventList& Notifications() { return notify_; }

    void RegisterCardList(T_PNCardList* list);
    void UnregisterCardList(T_PNCardList* list);
    const QList<T_PNTree*>& Trees() const { return trees_; }

    int EnterpriseCount() const { return enterpriseCount_; }
    qint32 FirstEnterprise() const { return firstEnterprise_; }
    qint32 MaxSNum() const { return maxSNum_; }

    // Writes the default enterprise row when SP has none; the data module's
    // AddEnterpriseRecord unless replaced.
    std::function<void()> WriteDefaultEnterprise;

    // A tree found departments whose parents form a ring: shown once per
    // load of the list for each department.
    void ReportCycle(const QList<qint32>& nums);

private:
    friend class T_PNTree;
    void Load();
    void ReadTable();
    void FreeItems();
    void DropTreeNodes();

    bool loaded_ = false;
    int enterpriseCount_ = 0;
    qint32 firstEnterprise_ = -1;
    qint32 maxSNum_ = 0;
    T_yqNotifyEventList notify_;
    QList<T_PNCardList*> cardLists_;
    QList<T_PNTree*> trees_;
    QList<qint32> reportedCycles_;
};

class T_MPodr;
using T_MPodrList = T_yqOwnerListOf<T_MPodr>;

// A node of the tree: its department (not owned) and its child nodes (owned).
class T_MPodr : public TObject {
public:
    explicit T_MPodr(T_Podr* podr);
    ~T_MPodr() override;
    T_MPodr(const T_MPodr&) = delete;
    T_MPodr& operator=(const T_MPodr&) = delete;

    T_Podr* Podr;
    T_MPodr* Parent = nullptr;
    bool Attached = false; // used while building
    T_MPodrList& Nodes() { return *nodes_; }
    const T_MPodrList& Nodes() const { return *nodes_; }

private:
    std::unique_ptr<T_MPodrList> nodes_;
};

// Filter bits of a tree.
enum : quint8 {
    pfCurrent = 1, // departments in use
    pfDeleted = 2, // closed departments
    pfDismissed = 4, // the dismissed employees' groups
};

// The top-level nodes of a tree over the department list.
class T_PNTree : public T_MPodrList {
public:
    explicit T_PNTree(T_PNList* owner);
    ~T_PNTree() override;

    T_PNList* Owner() const { return owner_; }
    // Queries and builds go to the source tree while one is set (not owned;
    // a source that goes away is forgotten).
    void SetSource(T_PNTree* source);
    T_PNTree* Source() const { return source_; }

    // Filter 0 gives an empty tree. The nodes follow the department order.
    // Departments whose parents form a ring stand without a parent (and are
    // reported once); every walk up the parents is bounded.
    void Build();
    void EnsureBuilt();
    void Rebuild();
    void SetBuilt(bool built);
    bool Built() const { return built_; }
    // A change rebuilds the tree.
    void SetFilter(quint8 flags);
    quint8 Filter() const { return filter_; }

    // The first node of the department in pre-order; nullptr when none.
    T_MPodr* FindNode(qint32 num);
    // The node above the department's node; nullptr at the top or when none.
    T_MPodr* FindParentNode(qint32 num);
    bool HasPodr(qint32 num);
    // The tree in pre-order, two more blanks a level, the node as the
    // object (NodeOfItem); the index of the department's line or -1.
    int FillStrings(TStringItems& strings, qint32 num);
    static T_MPodr* NodeOfItem(const TStringItem& item);

    // Departments that stood in a ring of parents in the last build.
    const QList<qint32>& CycleNums() const { return cycleNums_; }

    // The tree the queries go to (this one without a source).
    T_PNTree* Target();

private:
    friend class T_PNList;
    void ClearNodes();
    void OwnerDestroyed();

    T_PNList* owner_;
    T_PNTree* source_ = nullptr;
    bool built_ = false;
    quint8 filter_ = 0; // an empty tree until a filter is set
    QList<qint32> cycleNums_;
};
