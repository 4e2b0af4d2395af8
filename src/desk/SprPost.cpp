#include "desk/SprPost.h"

#include "data/DatModl.h"
#include "data/PostList.h"
#include "data/Rights.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/grids/DBGrid.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

TFormSprCode::TFormSprCode(const TCodeBookDef& def, QWidget* parent) : TFormGridBook(parent, def.formName), def_(def)
{
    setWindowTitle(def.caption);
    SetKeyPreview(true);
    auto* layout = new QVBoxLayout(this);
    auto* tools = new QHBoxLayout;
    sbAdd_ = MakeToolButton(this, "sbAdd", QStringLiteral("Добавить"));
    sbChange_ = MakeToolButton(this, "sbChange", QStringLiteral("Изменить"));
    sbDel_ = MakeToolButton(this, "sbDel", QStringLiteral("Удалить"));
    tools->addWidget(sbAdd_);
    tools->addWidget(sbChange_);
    tools->addWidget(sbDel_);
    tools->addStretch();
    layout->addLayout(tools);

    grid_ = new TDBGrid(this, def.gridName);
    grid_->Columns().Add(QStringLiteral("NUM"), QStringLiteral("Номер"), 60);
    grid_->Columns().Add(QStringLiteral("NAIM"), QStringLiteral("Наименование"), 280);
    grid_->SetDataSet(def.table);
    grid_->SetReadOnly(true);
    layout->addWidget(grid_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btOk_ = MakeButton(this, "btOk", QStringLiteral("OK"));
    btCancel_ = MakeButton(this, "btCancel", QStringLiteral("Отмена"));
    btClose_ = MakeButton(this, "btClose", QStringLiteral("Закрыть"));
    buttons->addWidget(btOk_);
    buttons->addWidget(btCancel_);
    buttons->addWidget(btClose_);
    layout->addLayout(buttons);
    resize(420, 360);
    // A click on these leaves the grid as it is: closing asks about a row being typed.
    for (QPushButton* b : {btCancel_, btClose_})
        b->setFocusPolicy(Qt::TabFocus);

    connect(sbAdd_, &QToolButton::clicked, this, guarded([this] { Add(); }));
    connect(sbChange_, &QToolButton::clicked, this, guarded([this] { Change(); }));
    connect(sbDel_, &QToolButton::clicked, this, guarded([this] { Delete(); }));
    connect(btOk_, &QPushButton::clicked, this, guarded([this] {
        LeaveEditMode();
        SetModalResult(mrOk);
    }));
    connect(btCancel_, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrCancel); }));
    // Closing asks about a row being typed (done); the rest of the edit mode ends on hiding.
    connect(btClose_, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrCancel); }));
    grid_->OnDblClick = [this](QObject*) { RunGuarded([this] { TitleDoubleClick(); }); };
    // Leaving the grid leaves edit mode.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        const auto inside = [this](QWidget* w) { return w && (w == grid_ || grid_->isAncestorOf(w)); };
        if (editMode_ && inside(old) && now && !inside(now) && now->window() == this)
            RunGuarded([this] { LeaveEditMode(); });
    });
    SetMode(sprBook);
}

TFormSprCode::~TFormSprCode()
{
    // The focus moves while the widgets go: the watch must not see a half-gone book.
    disconnect(qApp, nullptr, this, nullptr);
    RunGuarded([this] {
        if (Table().Active() && Table().State() != CursorState::Browse)
            Table().Cancel();
    });
}

void TFormSprCode::SetMode(int mode, qint32 num)
{
    mode_ = mode;
    const bool picker = mode == sprPicker;
    btOk_->setVisible(picker);
    btCancel_->setVisible(picker);
    btClose_->setVisible(!picker);
    btOk_->setDefault(picker);
    if (picker && Table().Active() && !LocateByScan(Table(), QStringLiteral("NUM"), Variant(num)))
        Table().First();
}

qint32 TFormSprCode::CurrentNum() const
{
    Cursor& t = Table();
    if (!t.Active() || (t.IsEmpty() && t.State() == CursorState::Browse))
        return 0;
    return t.FieldByName(QStringLiteral("NUM")).AsInteger();
}

void TFormSprCode::LeaveEditMode()
{
    if (grid_->EditorMode() && !grid_->PostEditor())
        Abort();
    Cursor& t = Table();
    if (t.Active()) {
        if (t.State() == CursorState::Insert && (!t.Modified() || (appended_ && RowValues(Table()) == appendedValues_)))
            t.Cancel();
        else if (t.State() != CursorState::Browse)
            t.Post();
    }
    appended_ = false;
    SetEditMode(false);
}

void TFormSprCode::Add()
{
    RequireOperation(def_.opEdit);
    LeaveEditMode();
    AppendNextNumber(Table());
    appended_ = true;
    appendedValues_ = RowValues(Table());
    SetEditMode(true);
    grid_->SetSelectedIndex(1);
}

void TFormSprCode::Change()
{
    RequireOperation(def_.opEdit);
    LeaveEditMode();
    if (Table().IsEmpty())
        return Add();
    Table().Edit();
    SetEditMode(true);
}

void TFormSprCode::Delete()
{
    RequireOperation(def_.opDelete);
    LeaveEditMode();
    Cursor& t = Table();
    if (t.IsEmpty())
        return;
    DeleteAfterQuestion(t, def_.deleteText(CurrentNum(), t.FieldByName(QStringLiteral("NAIM")).AsString()));
}

void TFormSprCode::TitleDoubleClick()
{
    const QPoint at = grid_->LastMousePos();
    const int column = TitleColumnAt(grid_, at.x(), at.y());
    if (column < 0)
        return;
    LeaveEditMode();
    Table().SetIndexName(column == 0 ? QString() : QStringLiteral("NAIM"));
}

void TFormSprCode::hideEvent(QHideEvent* event)
{
    RunGuarded([this] {
        if (Table().Active() && Table().State() != CursorState::Browse)
            LeaveEditMode();
    });
    if (onHide_)
        RunGuarded(onHide_);
    TFormGridBook::hideEvent(event);
}

// ---------------------------------------------------------------- the two books

TFormSprPost::TFormSprPost(QWidget* parent)
    : TFormSprCode({QStringLiteral("FormSprPost"), QStringLiteral("Справочник должностей"), QStringLiteral("dgPost"),
                       &DM()->tbaPost, opPostsBook, opEditPost, opDeletePost,
                       [](qint32 num, const QString& naim) {
                           return QStringLiteral(
                               "Вы действительно хотите удалить указанную должность?\r\n[%1]  \"%2\"\r\n")
                               .arg(num)
                               .arg(naim);
                       }},
        parent)
{
}

TFormSprCtgr::TFormSprCtgr(QWidget* parent)
    : TFormSprCode({QStringLiteral("FormSprCtgr"), QStringLiteral("Справочник категорий"), QStringLiteral("dgCtgr"),
                       &DM()->tbaCtgr, opCategoriesBook, opEditCategory, opDeleteCategory,
                       [](qint32 num, const QString& naim) {
                           return QStringLiteral(
                               "Вы действительно хотите удалить указанную категорию?\r\n[%1]  \"%2\"\r\n")
                               .arg(num)
                               .arg(naim);
                       }},
        parent)
{
}

namespace {

template <class Form, class List> void ShowBook(quint8 right, List* list)
{
    RequireOperation(right);
    Form form;
    if (list)
        form.SetOnHide([list] { list->Load(); });
    form.ShowModal();
}

template <class Form> bool Pick(qint32& num)
{
    Form form;
    form.SetMode(sprPicker, num);
    if (form.ShowModal() != mrOk || form.Table().IsEmpty())
        return false;
    num = form.CurrentNum();
    return true;
}

} // namespace

void ShowSprPost(T_PostList* list) { ShowBook<TFormSprPost>(opPostsBook, list); }
void ShowSprCtgr(T_CtgrList* list) { ShowBook<TFormSprCtgr>(opCategoriesBook, list); }
bool SelectPost(qint32& num) { return Pick<TFormSprPost>(num); }
bool SelectCtgr(qint32& num) { return Pick<TFormSprCtgr>(num); }
