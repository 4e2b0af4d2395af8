#pragma once
// A cursor over one table file: index order, key lookups, ranges, filters,
// bookmarks, editing with the usual states, master-detail links and the
// notifications data-aware views need. Single-threaded (the GUI thread).
//
// Navigation is keyset-based: every move asks the file for the rows after
// (or before) the current row's key, so no statement stays open between
// calls; while walking, a cursor reads a block of rows ahead, dropped as
// soon as this process writes to the file.

#include "db/DbValue.h"
#include "db/TableDef.h"
#include "platform/DateTime.h"
#include "platform/Variant.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class Cursor;
class TableFile;
struct IndexLayout;
struct ReadPart;
class ReadPlanner;
enum class ReadMode : uint32_t;
struct sqlite3_stmt;

enum class CursorState { Inactive, Browse, Edit, Insert };

enum class CursorChange {
    Opened,
    Closed,
    Scrolled, // another row became current
    RecordChanged, // the current row's values changed (edit state, a field set)
    DataSetChanged, // rows came, went or moved: post, delete, refresh, range, filter, index
    StateChanged, // browse / edit / insert
    Destroyed,
};

// Data-aware views and master-detail links listen to a cursor through this.
// Nothing is sent while the cursor's controls are disabled; enabling them
// sends one DataSetChanged.
class CursorObserver {
public:
    virtual ~CursorObserver() = default;
    virtual void CursorChanged(Cursor& cursor, CursorChange change) = 0;
};

// A row's identity; stays valid while the row exists.
struct Bookmark {
    int64_t rowid = 0;
    bool set = false;
    bool IsValid() const { return set; }
    friend bool operator==(const Bookmark&, const Bookmark&) = default;
};

// A field of a cursor's current row. Cheap to copy; valid while the cursor
// lives and its table keeps its definition.
class Field {
public:
    Field() = default;
    bool IsValid() const { return cursor_ != nullptr; }
    int Index() const { return index_; }
    const FieldDef& Def() const;
    const QString& Name() const { return Def().name; }
    FieldType Type() const { return Def().type; }
    int Size() const { return Def().size; }

    bool IsNull() const;
    int AsInteger() const;
    int64_t AsInt64() const;
    double AsFloat() const;
    QString AsString() const;
    bool AsBoolean() const;
    TDateTime AsDateTime() const;
    QByteArray AsBlob() const;
    // Null for a null field, else a value of the field's kind.
    Variant AsVariant() const;

    // Only in the edit and insert states.
    void SetInteger(int64_t v) const;
    void SetFloat(double v) const;
    void SetString(const QString& v) const;
    void SetBoolean(bool v) const;
    void SetDateTime(TDateTime v) const;
    void SetBlob(const QByteArray& v) const;
    void SetVariant(const Variant& v) const;
    void Clear() const;

private:
    friend class Cursor;
    Field(Cursor* cursor, int index) : cursor_(cursor), index_(index) {}
    const DbValue& Stored() const;

    Cursor* cursor_ = nullptr;
    int index_ = -1;
};

struct CursorMemo;

class Cursor {
public:
    Cursor();
    // A table in a folder; an empty folder means the session's data folder.
    explicit Cursor(const QString& tableName, const QString& folder = QString());
    ~Cursor();
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    // ---- what to open (kept across Close) ----
    void SetTableName(const QString& name);
    const QString& TableName() const { return tableName_; }
    void SetFolder(const QString& folder);
    const QString& Folder() const { return folder_; }
    // The file the cursor opens (an existing file matched ignoring case).
    QString FilePath() const;
    // A name for messages (the owner's component name); the table name when empty.
    void SetName(const QString& name) { name_ = name; }
    QString Name() const { return name_.isEmpty() ? tableName_ : name_; }

    // ---- opening ----
    // Exclusive: no other cursor of this process may have the file open
    // meanwhile (other copies of the program are kept out by the data
    // folder lock). Goes to the first row.
    void Open(bool exclusive = false);
    // Pending edits are cancelled.
    void Close();
    bool Active() const { return state_ != CursorState::Inactive; }
    bool Exclusive() const { return exclusive_; }
    const TableDef& Definition() const;

    // ---- fields ----
    int FieldCount() const;
    Field FieldAt(int index);
    // Raises EDatabaseError "Поле 'X' не найдено в таблице T".
    Field FieldByName(const QString& name);
    // An invalid Field when there is none.
    Field FindField(const QString& name);
    Field operator[](const QString& name) { return FieldByName(name); }

    // ---- index ----
    // "" is the primary index. Changing the index cancels the range and
    // keeps the current row.
    void SetIndexName(const QString& name);
    const QString& IndexName() const { return indexName_; }
    // The index whose fields are these (";"-separated) or begin with them.
    void SetIndexFieldNames(const QString& fields);
    QStringList IndexFields() const;

    // ---- navigation ----
    void First();
    void Last();
    void Next();
    void Prior();
    // Moves up to n rows (negative: back); answers how many it moved.
    int MoveBy(int n);
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    bool IsEmpty() const { return !hasRow_; }
    // Rows in the range that pass the filter.
    int RecordCount();
    // 1-based position of the current row among them; 0 when empty.
    int RecNo();
    // Goes to the row at that 1-based position (clamped).
    void SetRecNo(int recNo);

    // ---- keys ----
    // Values for the leading fields of the current index (all or some).
    // Found: the first such row becomes current; not found: nothing moves.
    bool FindKey(const QList<Variant>& key);
    // The first row at or after the key; the last row when none is.
    void FindNearest(const QList<Variant>& key);
    // Rows whose leading key fields lie between start and end (inclusive,
    // partial keys allowed); applied at once, then the first row.
    void SetRange(const QList<Variant>& start, const QList<Variant>& end);
    void SetRangeStart(const QList<Variant>& start);
    void SetRangeEnd(const QList<Variant>& end);
    void ApplyRange();
    void CancelRange();
    bool HasRange() const { return rangeSet_; }

    // ---- bookmarks ----
    Bookmark GetBookmark() const;
    // Raises EDatabaseError when the row no longer exists or lies outside
    // the range or the filter.
    void GotoBookmark(const Bookmark& bookmark);
    bool BookmarkValid(const Bookmark& bookmark);

    // Reads the current row again (another copy may have changed it) and
    // drops what was read ahead.
    void Refresh();

    // ---- editing ----
    CursorState State() const { return state_; }
    bool Modified() const { return modifiedAny_; }
    void Append();
    void Insert();
    // On an empty cursor this appends, as the old data sets did.
    void Edit();
    // A key violation raises EKeyViolation and leaves the state as it was.
    void Post();
    void Cancel();
    // The next row becomes current (the previous one at the end).
    void Delete();
    // Deletes every row of the range (the whole table without one) that
    // passes the filter; then the cursor is empty. Answers how many. One
    // statement unless a filter or a delete or scroll event has to see each
    // row; views hear one DataSetChanged.
    int DeleteRange();
    // Posts a modified row, cancels an untouched one (done before every move).
    void CheckBrowseMode();
    // The last value of the first field of the primary index + 1 (1 for an
    // empty table). Call it inside a Transaction on this table together with
    // the append, so that no other copy takes the same number.
    int64_t NextKeyNumber();

    // ---- filter ----
    void SetFiltered(bool filtered);
    bool Filtered() const { return filtered_; }
    // Answers whether the current row (the candidate) is shown.
    std::function<bool(Cursor&)> OnFilterRecord;

    // ---- master-detail ----
    // This cursor shows the rows whose leading fields of its index equal the
    // master's fields (";"-separated) on the master's current row.
    void SetMasterSource(Cursor* master, const QString& masterFields);
    void ClearMasterSource();
    Cursor* MasterSource() const { return master_; }
    // The master's fields of the link, in the order of the index fields they fill.
    const QStringList& MasterFields() const { return masterFields_; }

    // ---- events (may raise to stop the operation) ----
    std::function<void(Cursor&)> OnBeforeScroll;
    std::function<void(Cursor&)> OnAfterScroll;
    std::function<void(Cursor&)> OnNewRecord;
    std::function<void(Cursor&)> OnBeforePost;
    std::function<void(Cursor&)> OnAfterPost;
    std::function<void(Cursor&)> OnBeforeDelete;
    std::function<void(Cursor&)> OnAfterDelete;
    // After a post, delete, refresh or a change of range, filter or index.
    std::function<void(Cursor&)> OnDataChanged;

    // ---- views ----
    void AddObserver(CursorObserver* observer);
    void RemoveObserver(CursorObserver* observer);
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    // ---- table operations through the open cursor ----
    void AddIndex(const IndexDef& index);
    // Deletes every row (the whole table, not just the range).
    void EmptyTable();

    // The file the open cursor uses (absolute, symlinks resolved); empty when closed.
    QString OpenFilePath() const;
    // The session's identity of this cursor.
    uint64_t Id() const { return id_; }
    // What Close forgets and ReopenAll restores: index, range, filter and row.
    std::shared_ptr<CursorMemo> Remember() const;
    void Restore(const CursorMemo& memo);

    struct Row {
        int64_t rowid = 0;
        std::vector<DbValue> values;
    };

private:
    friend class Field;
    friend class MasterLink;
    using Part = ReadPart;

    void CheckActive() const;
    void CheckNotInFilter() const;
    TableFile& File() const { return *file_; }
    const IndexLayout& Layout() const;
    int IndexDefNumber() const { return indexDef_; }
    void SelectIndex(int defNumber);

    // Keys and plans.
    std::vector<DbValue> KeyOf(const Row& row) const;
    std::vector<DbValue> ConvertKey(const QList<Variant>& key, const char* what) const;
    int CompareTuple(const std::vector<DbValue>& a, const std::vector<DbValue>& b, size_t n) const;
    bool InBounds(const Row& row) const;
    std::vector<Part> PlanFrom(
        const std::vector<DbValue>& key, size_t length, bool forward, bool includeEqual, size_t minLevel) const;
    void Refine(Part part, std::vector<Part>& out) const;
    ReadPlanner Planner() const;
    sqlite3_stmt* Statement(const Part& part, ReadMode mode, std::vector<const DbValue*>& params);
    // A statement of its own shape, prepared once per route; these shapes lie
    // above any read plan's.
    static constexpr uint32_t kRowByIdShape = 0xFFFFFFFFu;
    static constexpr uint32_t kInsertShape = 0xFFFFFFFEu;
    static constexpr uint32_t kDeleteShape = 0xFFFFFFFDu;
    sqlite3_stmt* KeptStatement(uint32_t shape, const std::function<QByteArray()>& sql);
    int Fetch(const std::vector<Part>& parts, int limit, std::deque<Row>& out, int64_t offset = 0);
    int64_t Count(const std::vector<Part>& parts);
    bool ReadRowById(int64_t rowid, Row& out);

    // Moving.
    void ResetAhead();
    // Reads a first block (firstBlock rows; 0: by whether the range ends in
    // that direction) and takes the first row the filter accepts.
    bool Scan(const std::vector<Part>& initial, bool forward, size_t minLevel, int firstBlock = 0);
    bool Step(bool forward);
    bool TakeFromAhead(bool forward, size_t minLevel, std::vector<DbValue> anchor);
    bool Accept(Row& candidate);
    void SetEmpty();
    bool MoveFirst();
    bool MoveLast();
    void Reposition(const std::vector<DbValue>& key);

    // Editing.
    void BeginInsert();
    void SetValue(int field, DbValue v);
    void CheckEditing(int field) const;
    void PostInsert();
    void PostEdit();
    QString KeyText() const;

    // Notifications.
    void Notify(CursorChange change);
    void FireScroll(const std::function<void(Cursor&)>& handler);
    void DataChangedNow();
    void MasterChanged(bool force);
    void ApplyLinkRange();

    uint64_t id_ = 0;
    QString tableName_;
    QString folder_;
    QString name_;
    std::shared_ptr<TableFile> file_;
    bool exclusive_ = false;
    CursorState state_ = CursorState::Inactive;

    QString indexName_;
    int indexDef_ = -1;

    Row cur_;
    bool hasRow_ = false;
    bool bof_ = true;
    bool eof_ = true;
    Row saved_;
    bool savedHasRow_ = false;
    std::vector<bool> modified_;
    bool modifiedAny_ = false;

    bool rangeSet_ = false;
    bool rangeEmpty_ = false; // a detail of no master row
    std::vector<DbValue> lower_, upper_;
    bool lowerSet_ = false, upperSet_ = false;
    std::vector<DbValue> pendingLower_, pendingUpper_;
    bool pendingLowerSet_ = false, pendingUpperSet_ = false;

    bool filtered_ = false;
    bool inFilter_ = false;

    std::deque<Row> ahead_;
    bool aheadForward_ = true;
    bool aheadExhausted_ = false;
    bool aheadValid_ = false;
    size_t aheadMinLevel_ = 0;
    uint64_t aheadGeneration_ = 0;
    uint64_t aheadRoute_ = 0;
    int block_ = 0;

    std::unordered_map<uint32_t, sqlite3_stmt*> shapes_;
    uint64_t shapesRoute_ = 0;

    Cursor* master_ = nullptr;
    QStringList masterFields_;
    std::unique_ptr<class MasterLink> link_;
    std::vector<DbValue> linkValues_;

    std::vector<CursorObserver*> observers_;
    int disableCount_ = 0;
    bool pendingChange_ = false;
};
