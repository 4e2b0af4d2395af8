#pragma once
// The table browser of the debug menu: any table file in a grid, one tab
// per table, editable on demand. The recently opened tables (at most 20)
// stay in the program INI.
//
//   TFormBrows* b = ShowBrows();                       // the last table, else the file dialog
//   b->OpenTable(AppContext().DataFolder(), "SR");

#include "foundation/ui/base/FormBase.h"

#include <QStringList>
#include <memory>
#include <vector>

class Cursor;
class QLabel;
class QMenu;
class QTabBar;
class QToolButton;
class TDBGrid;

class T_BrowsTableObject {
public:
    T_BrowsTableObject(const QString& base, const QString& tableName);
    ~T_BrowsTableObject();
    bool Editing = false;
    std::unique_ptr<Cursor> Table;
    QString Base;
    QString TableName;
};

class TFormBrows : public TForm {
    Q_OBJECT
public:
    static constexpr int kStoryMax = 20;

    explicit TFormBrows(QWidget* parent = nullptr);
    ~TFormBrows() override;

    // Reuses a tab of the same folder and name (any letter case).
    void OpenTable(const QString& base, const QString& tableName);
    void CloseTable();
    // Edit state of the current table on or off (off posts it).
    void SetEditing(bool on);
    // The file dialog in the folder of the last table.
    void ChooseFiles();

    int TableCount() const { return int(tables_.size()); }
    T_BrowsTableObject* Current() const;
    const QStringList& Story() const { return story_; }
    QString SectionName() const { return objectName() + QStringLiteral(" Variables"); }

    QLabel* pnName;
    QTabBar* TabControl;
    TDBGrid* Grid;
    QToolButton* sbEdit;
    QToolButton* sbCloseTable;
    QToolButton* edFile;
    QToolButton* btStory;
    QMenu* mnTable;

    QString LastBase;
    QString LastTable;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void RebuildStoryMenu();
    void FillTabs(int select);
    void TabChanged();
    void ReadSettings();
    void WriteSettings();

    std::vector<std::unique_ptr<T_BrowsTableObject>> tables_;
    QStringList story_;
    QString designCaption_;
    bool shownOnce_ = false;
    bool filling_ = false;
};

// A new browser, shown modeless and freed on close; with a table name it
// opens that table of the folder.
TFormBrows* ShowBrows(const QString& base = QString(), const QString& tableName = QString());
