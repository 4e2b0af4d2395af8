#include "desk/Brows.h"

#include "data/AppContext.h"
#include "data/ui/FormPlacement.h"
#include "db/Cursor.h"
#include "db/Tables.h"
#include "foundation/IniPersist.h"
#include "foundation/ui/grids/DBGrid.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString StoryEntry(const QString& base, const QString& table) { return base + QLatin1Char('|') + table; }

// Under the hourglass while a table opens.
class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

T_BrowsTableObject::T_BrowsTableObject(const QString& base, const QString& tableName)
    : Table(std::make_unique<Cursor>(tableName, base)), Base(base), TableName(tableName)
{
    Table->Open();
}

T_BrowsTableObject::~T_BrowsTableObject() = default;

TFormBrows::TFormBrows(QWidget* parent) : TForm(parent, QStringLiteral("FormBrows"))
{
    designCaption_ = QStringLiteral("Brows table");
    setWindowTitle(designCaption_);
    resize(760, 480);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 4);
    auto* bar = new QHBoxLayout;
    auto button = [this, bar](const char* name, const QString& text) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        bar->addWidget(b);
        return b;
    };
    edFile = button("edFile", QStringLiteral("Файл..."));
    btStory = button("btStory", QStringLiteral("История"));
    mnTable = new QMenu(btStory);
    btStory->setMenu(mnTable);
    btStory->setPopupMode(QToolButton::InstantPopup);
    sbEdit = button("sbEdit", QStringLiteral("Редактировать"));
    sbEdit->setCheckable(true);
    sbCloseTable = button("sbCloseTable", QStringLiteral("Закрыть таблицу"));
    pnName = new QLabel(this);
    pnName->setObjectName(QStringLiteral("pnName"));
    bar->addWidget(pnName, 1);
    root->addLayout(bar);
    TabControl = new QTabBar(this);
    TabControl->setObjectName(QStringLiteral("TabControl"));
    root->addWidget(TabControl);
    Grid = new TDBGrid(this, QStringLiteral("Grid"));
    Grid->SetReadOnly(true);
    root->addWidget(Grid, 1);

    connect(edFile, &QToolButton::clicked, this, guarded([this] { ChooseFiles(); }));
    connect(sbEdit, &QToolButton::clicked, this, guarded([this](bool on) {
        sbEdit->setChecked(!on);
        SetEditing(on);
    }));
    connect(sbCloseTable, &QToolButton::clicked, this, guarded([this] { CloseTable(); }));
    connect(TabControl, &QTabBar::currentChanged, this, guarded([this] {
        if (!filling_)
            TabChanged();
    }));
    FillTabs(-1);
}

TFormBrows::~TFormBrows() { Grid->SetDataSet(nullptr); }

T_BrowsTableObject* TFormBrows::Current() const
{
    const int i = TabControl->currentIndex();
    return i >= 0 && i < int(tables_.size()) ? tables_[size_t(i)].get() : nullptr;
}

void TFormBrows::OpenTable(const QString& base, const QString& tableName)
{
    TWaitCursor wait;
    int index = -1;
    for (size_t i = 0; i < tables_.size(); ++i)
        if (tables_[i]->Base.compare(base, Qt::CaseInsensitive) == 0
            && tables_[i]->TableName.compare(tableName, Qt::CaseInsensitive) == 0)
            index = int(i);
    if (index < 0) {
        tables_.push_back(std::make_unique<T_BrowsTableObject>(base, tableName));
        index = int(tables_.size()) - 1;
    }
    LastBase = base;
    LastTable = tableName;
    const QString entry = StoryEntry(base, tableName);
    for (int i = story_.size() - 1; i >= 0; --i)
        if (story_[i].compare(entry, Qt::CaseInsensitive) == 0)
            story_.removeAt(i);
    story_.prepend(entry);
    while (story_.size() > kStoryMax)
        story_.removeLast();
    RebuildStoryMenu();
    FillTabs(index);
}

void TFormBrows::CloseTable()
{
    const int i = TabControl->currentIndex();
    if (i < 0 || i >= int(tables_.size()))
        return;
    Grid->SetDataSet(nullptr);
    tables_.erase(tables_.begin() + i);
    FillTabs(std::min(i, int(tables_.size()) - 1));
}

void TFormBrows::SetEditing(bool on)
{
    T_BrowsTableObject* t = Current();
    if (!t)
        return;
    if (on)
        t->Table->Edit();
    else if (t->Table->State() != CursorState::Browse)
        t->Table->Post();
    t->Editing = on;
    Grid->SetReadOnly(!on);
    sbEdit->setChecked(on);
}

void TFormBrows::ChooseFiles()
{
    QFileDialog dialog(this, QStringLiteral("Открыть таблицу"), LastBase);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (RunModal(dialog) != QDialog::Accepted)
        return;
    for (const QString& file : dialog.selectedFiles()) {
        const QFileInfo info(file);
        OpenTable(info.absolutePath(), info.completeBaseName());
    }
}

void TFormBrows::RebuildStoryMenu()
{
    mnTable->clear();
    for (const QString& entry : story_) {
        const QString base = entry.section(QLatin1Char('|'), 0, 0);
        const QString table = entry.section(QLatin1Char('|'), 1);
        mnTable->addAction(
            QStringLiteral("[%1] %2").arg(base, table), this, guarded([this, base, table] { OpenTable(base, table); }));
    }
}

void TFormBrows::FillTabs(int select)
{
    filling_ = true;
    while (TabControl->count() > 0)
        TabControl->removeTab(0);
    for (const auto& t : tables_)
        TabControl->addTab(t->TableName);
    if (tables_.empty())
        TabControl->addTab(QStringLiteral("...None..."));
    TabControl->setCurrentIndex(tables_.empty() ? 0 : std::max(select, 0));
    filling_ = false;
    TabChanged();
}

void TFormBrows::TabChanged()
{
    T_BrowsTableObject* t = Current();
    const QString text = t ? QStringLiteral("[%1] --> [%2]").arg(t->Base, t->TableName) : QStringLiteral("???");
    pnName->setText(text);
    setWindowTitle(text + QStringLiteral("  ") + designCaption_);
    Grid->SetDataSet(t ? t->Table.get() : nullptr);
    Grid->SetReadOnly(!(t && t->Editing));
    sbEdit->setChecked(t && t->Editing);
    sbEdit->setEnabled(t != nullptr);
    sbCloseTable->setEnabled(t != nullptr);
}

void TFormBrows::ReadSettings()
{
    Variant v;
    ReadProgramIniValue(SectionName(), QStringLiteral("LastBase"), v, Variant(QString()), 'S');
    LastBase = v.AsString();
    ReadProgramIniValue(SectionName(), QStringLiteral("LastTable"), v, Variant(QString()), 'S');
    LastTable = v.AsString();
    int index = 0;
    QStringList story;
    RestProgramIniStrings(SectionName() + QStringLiteral("Story"), &story, index);
    story.removeAll(QString());
    while (story.size() > kStoryMax)
        story.removeLast();
    story_ = story;
    RebuildStoryMenu();
}

void TFormBrows::WriteSettings()
{
    WriteProgramIniValue(SectionName(), QStringLiteral("LastBase"), Variant(LastBase));
    WriteProgramIniValue(SectionName(), QStringLiteral("LastTable"), Variant(LastTable));
    SaveProgramIniStrings(SectionName() + QStringLiteral("Story"), story_, 0);
}

void TFormBrows::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    RunGuarded([this] {
        RestoreFormPosition(this);
        ReadSettings();
        if (tables_.empty() && !LastTable.isEmpty() && Tables::Exists(LastTable, LastBase))
            OpenTable(LastBase, LastTable);
    });
}

void TFormBrows::done(int result)
{
    RunGuarded([this] {
        if (Current() && Current()->Editing)
            SetEditing(false);
        SaveFormPosition(this);
        WriteSettings();
    });
    TForm::done(result);
}

TFormBrows* ShowBrows(const QString& base, const QString& tableName)
{
    auto* form = new TFormBrows();
    form->setAttribute(Qt::WA_DeleteOnClose);
    if (!tableName.isEmpty())
        form->OpenTable(base.isEmpty() ? AppContext().DataFolder() : base, tableName);
    form->show();
    if (form->TableCount() == 0)
        QMetaObject::invokeMethod(form, guarded([form] {
            if (form->TableCount() == 0)
                form->ChooseFiles();
        }),
            Qt::QueuedConnection);
    return form;
}
