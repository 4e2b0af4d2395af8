#include "foundation/YqTable.h"

// Registered as the cursor's first observer, so it runs before any view.
class Tyq_Table::Listener final : public CursorObserver {
public:
    explicit Listener(Tyq_Table& table) : table_(table) {}
    void CursorChanged(Cursor&, CursorChange change) override
    {
        switch (change) {
        case CursorChange::Opened:
        case CursorChange::Scrolled:
        case CursorChange::DataSetChanged:
            if (table_.OnScrollRecord)
                table_.OnScrollRecord(table_);
            break;
        case CursorChange::Closed:
        case CursorChange::RecordChanged:
        case CursorChange::StateChanged:
        case CursorChange::Destroyed: break;
        }
    }

private:
    Tyq_Table& table_;
};

Tyq_Table::Tyq_Table() : listener_(std::make_unique<Listener>(*this)) { AddObserver(listener_.get()); }

Tyq_Table::Tyq_Table(const QString& tableName, const QString& folder)
    : Cursor(tableName, folder), listener_(std::make_unique<Listener>(*this))
{
    AddObserver(listener_.get());
}

Tyq_Table::~Tyq_Table()
{
    OnScrollRecord = nullptr;
    RemoveObserver(listener_.get());
}
