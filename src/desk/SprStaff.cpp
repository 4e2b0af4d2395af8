#include "desk/SprStaff.h"
#include "foundation/ui/base/FormFuncs.h"

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "data/Podr.h"
#include "data/Rights.h"
#include "data/Staff.h"
#include "data/UserList.h"
#include "data/ui/PodrViews.h"
#include "desk/SprPost.h"
#include "foundation/Messages.h"
#include "foundation/ui/edits/FieldValues.h"
#include "foundation/ui/grids/DBGrid.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kPodr = QStringLiteral("PODR");

} // namespace

TFormSprStaff::TFormSprStaff(QWidget* parent)
    : TFormGridBook(parent, QStringLiteral("FormSprStaff")),
      staff_(DM()->Staff),
      tree_(std::make_unique<T_PNTree>(PNList()))
{
    setWindowTitle(QStringLiteral("Штатное расписание"));
    SetKeyPreview(true);
    auto* layout = new QVBoxLayout(this);
    auto* tools = new QHBoxLayout;
    QToolButton* sbAdd = MakeToolButton(this, "sbAdd", QStringLiteral("Добавить"));
    QToolButton* sbChange = MakeToolButton(this, "sbChange", QStringLiteral("Изменить"));
    QToolButton* sbDel = MakeToolButton(this, "sbDel", QStringLiteral("Удалить"));
    tools->addWidget(sbAdd);
    tools->addWidget(sbChange);
    tools->addWidget(sbDel);
    tools->addStretch();
    layout->addLayout(tools);

    auto* split = new QSplitter(this);
    tvp_ = new QTreeWidget(split);
    tvp_->setObjectName(QStringLiteral("tvp"));
    tvp_->setHeaderHidden(true);
    auto* right = new QWidget(split);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    grid_ = new TDBGrid(right, QStringLiteral("dgStaff"));
    grid_->Columns().Add(QStringLiteral("NUM"), QStringLiteral("Номер"), 50).SetReadOnly(true);
    grid_->Columns().Add(QStringLiteral("POST"), QStringLiteral("Должность"), 80).SetButtonStyle(cbsEllipsis);
    grid_->Columns().Add(QStringLiteral("CTGR"), QStringLiteral("Категория"), 80).SetButtonStyle(cbsEllipsis);
    grid_->Columns().Add(QStringLiteral("RATEMAX"), QStringLiteral("Ставка макс."), 90);
    grid_->Columns().Add(QStringLiteral("RATEMIN"), QStringLiteral("Ставка мин."), 80);
    grid_->Columns().Add(QStringLiteral("VACANCY"), QStringLiteral("Вакансий"), 70);
    grid_->Columns().Add(QStringLiteral("VACBUSY"), QStringLiteral("Занято"), 60);
    grid_->Columns().Add(QStringLiteral("KSOP"), QStringLiteral("Сист. оплаты"), 80);
    grid_->SetReadOnly(true);
    rightLayout->addWidget(grid_);
    lbPost_ = new QLabel(right);
    lbPost_->setObjectName(QStringLiteral("lbPost"));
    lbCtgr_ = new QLabel(right);
    lbCtgr_->setObjectName(QStringLiteral("lbCtgr"));
    auto* names = new QFormLayout;
    names->addRow(QStringLiteral("Должность:"), lbPost_);
    names->addRow(QStringLiteral("Категория:"), lbCtgr_);
    rightLayout->addLayout(names);
    split->setStretchFactor(1, 1);
    layout->addWidget(split);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btOk_ = MakeButton(this, "btOk", QStringLiteral("OK"));
    btCancel_ = MakeButton(this, "btCancel", QStringLiteral("Отмена"));
    btClose_ = MakeButton(this, "btClose", QStringLiteral("Закрыть"));
    buttons->addWidget(btOk_);
    buttons->addWidget(btCancel_);
    buttons->addWidget(btClose_);
    layout->addLayout(buttons);
    resize(860, 420);
    // A click on these leaves the grid as it is: closing asks about a row being typed.
    for (QPushButton* b : {btCancel_, btClose_})
        b->setFocusPolicy(Qt::TabFocus);
    split->setSizes({240, 620});

    connect(sbAdd, &QToolButton::clicked, this, guarded([this] { Add(); }));
    connect(sbChange, &QToolButton::clicked, this, guarded([this] { Change(); }));
    connect(sbDel, &QToolButton::clicked, this, guarded([this] { Delete(); }));
    connect(btOk_, &QPushButton::clicked, this, guarded([this] {
        LeaveEditMode();
        SetModalResult(mrOk);
    }));
    connect(btCancel_, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrCancel); }));
    // Closing asks about a row being typed (done); the rest of the edit mode ends on hiding.
    connect(btClose_, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrCancel); }));
    connect(tvp_, &QTreeWidget::currentItemChanged, this, guarded([this] {
        if (!filling_)
            PodrChanged();
    }));
    grid_->OnEditButtonClick = [this](QObject*) {
        RunGuarded([this] {
            const int column = grid_->SelectedIndex();
            const QString field = grid_->Columns()[column].FieldName();
            if (field == QStringLiteral("POST"))
                PickPost();
            else if (field == QStringLiteral("CTGR"))
                PickCtgr();
        });
    };
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        const auto inside = [this](QWidget* w) { return w && (w == grid_ || grid_->isAncestorOf(w)); };
        if (editMode_ && inside(old) && now && !inside(now) && now->window() == this)
            RunGuarded([this] { LeaveEditMode(); });
    });

    staff_.SetIndexName(kPodr);
    grid_->SetDataSet(&staff_);
    staff_.AddObserver(this);
    // The shared cursor refuses a negative rate while the book is open.
    staff_.OnBeforePost = [this](Cursor& c) {
        for (const char* f : {"RATEMAX", "RATEMIN"})
            RequireNotNegative(c.FieldByName(QLatin1String(f)).AsFloat(),
                grid_->Columns()[grid_->Columns().IndexOfField(QLatin1String(f))].Title());
    };
    tree_->SetFilter(pfCurrent);
    SetMode(0);
}

TFormSprStaff::~TFormSprStaff()
{
    // The focus moves while the widgets go: the watch must not see a half-gone book.
    disconnect(qApp, nullptr, this, nullptr);
    staff_.RemoveObserver(this);
    staff_.OnBeforePost = nullptr;
    RunGuarded([this] {
        if (staff_.State() != CursorState::Browse)
            staff_.Cancel();
        staff_.CancelRange();
    });
}

void TFormSprStaff::SetMode(int mode, qint32 podr, qint32 num)
{
    mode_ = mode;
    const bool picker = mode == sprPicker;
    btOk_->setVisible(picker);
    btCancel_->setVisible(picker);
    btClose_->setVisible(!picker);
    filling_ = true;
    FillTreeView(*tree_, tvp_, podr, false);
    filling_ = false;
    PodrChanged();
    if (num != 0)
        LocateByScan(staff_, QStringLiteral("NUM"), Variant(num));
}

qint32 TFormSprStaff::SelectedPodr() const { return CurrentPodrNum(tvp_); }

qint32 TFormSprStaff::CurrentNum() const
{
    if (!staff_.Active() || staff_.IsEmpty())
        return 0;
    return staff_.FieldByName(QStringLiteral("NUM")).AsInteger();
}

QString TFormSprStaff::PostNameShown() const { return lbPost_->text(); }
QString TFormSprStaff::CtgrNameShown() const { return lbCtgr_->text(); }

void TFormSprStaff::PodrChanged()
{
    LeaveEditMode();
    const Variant podr(SelectedPodr());
    staff_.SetIndexName(kPodr);
    staff_.SetRange({podr}, {podr});
    ShowNames();
}

void TFormSprStaff::CursorChanged(Cursor&, CursorChange change)
{
    if (change != CursorChange::Destroyed && change != CursorChange::Closed)
        RunGuarded([this] { ShowNames(); });
}

void TFormSprStaff::ShowNames()
{
    if (!staff_.Active() || staff_.IsEmpty()) {
        lbPost_->clear();
        lbCtgr_->clear();
        return;
    }
    lbPost_->setText(CodeBookName(QStringLiteral("POST"), staff_.FieldByName(QStringLiteral("POST")).AsInteger()));
    lbCtgr_->setText(CodeBookName(QStringLiteral("CTGR"), staff_.FieldByName(QStringLiteral("CTGR")).AsInteger()));
}

void TFormSprStaff::LeaveEditMode()
{
    if (grid_->EditorMode() && !grid_->PostEditor())
        Abort();
    if (staff_.Active() && staff_.State() != CursorState::Browse)
        staff_.Post();
    // The new row is already stored: left as it came, it goes again.
    if (appended_ && CurrentNum() == appendedNum_ && RowValues(staff_) == appendedValues_)
        staff_.Delete();
    appended_ = false;
    SetEditMode(false);
}

void TFormSprStaff::Add()
{
    RequireOperation(opEditStaff);
    LeaveEditMode();
    const qint32 podr = SelectedPodr();
    const int num = AppendNumberedRecord(staff_, {kPodr}, {Variant(podr)});
    staff_.SetIndexName(kPodr);
    staff_.SetRange({Variant(podr)}, {Variant(podr)});
    LocateByScan(staff_, QStringLiteral("NUM"), Variant(num));
    appended_ = true;
    appendedNum_ = num;
    appendedValues_ = RowValues(staff_);
    SetEditMode(true);
    grid_->SetSelectedIndex(1);
}

void TFormSprStaff::Change()
{
    RequireOperation(opEditStaff);
    LeaveEditMode();
    if (staff_.IsEmpty())
        return Add();
    SetEditMode(true);
}

void TFormSprStaff::Delete()
{
    RequireOperation(opDeleteStaff);
    LeaveEditMode();
    if (staff_.IsEmpty())
        return;
    const T_Podr* podr = PNList()->FindPodr(staff_.FieldByName(kPodr).AsInteger());
    const QString text = QStringLiteral("Вы действительно хотите удалить указанную должность?\r\n[%1]  \"%2\"")
                             .arg(CurrentNum())
                             .arg(podr ? podr->GetName() : QString());
    DeleteAfterQuestion(staff_, text);
}

void TFormSprStaff::PickInto(const QString& field, bool (*pick)(qint32&))
{
    if (staff_.IsEmpty())
        return;
    qint32 num = staff_.FieldByName(field).AsInteger();
    if (!pick(num))
        return;
    if (staff_.State() == CursorState::Browse)
        staff_.Edit();
    staff_.FieldByName(field).SetInteger(num);
    if (!editMode_)
        staff_.Post();
}

void TFormSprStaff::PickPost() { PickInto(QStringLiteral("POST"), &SelectPost); }
void TFormSprStaff::PickCtgr() { PickInto(QStringLiteral("CTGR"), &SelectCtgr); }

void TFormSprStaff::hideEvent(QHideEvent* event)
{
    RunGuarded([this] { LeaveEditMode(); });
    TFormGridBook::hideEvent(event);
}

void ShowSprStaff()
{
    RequireOperation(opStaffBook);
    TFormSprStaff form;
    form.ShowModal();
}

bool SelectStaff(qint32 podr, qint32& num, T_Staff* staff)
{
    TFormSprStaff form;
    form.SetMode(sprPicker, podr, num);
    if (form.ShowModal() != mrOk || form.CurrentNum() == 0)
        return false;
    num = form.CurrentNum();
    if (staff)
        staff->Load(num);
    return true;
}

// ---------------------------------------------------------------- users

TFormSprUser::TFormSprUser(QWidget* parent) : TForm(parent, QStringLiteral("FormSprUser"))
{
    setWindowTitle(QStringLiteral("Справочник пользователей"));
    auto* layout = new QVBoxLayout(this);
    auto* tools = new QHBoxLayout;
    // The buttons are there; the book has no actions behind them.
    tools->addWidget(MakeToolButton(this, "sbAdd", QStringLiteral("Добавить")));
    tools->addWidget(MakeToolButton(this, "sbChange", QStringLiteral("Изменить")));
    tools->addWidget(MakeToolButton(this, "sbDel", QStringLiteral("Удалить")));
    tools->addStretch();
    layout->addLayout(tools);
    auto* table = new QTableWidget(this);
    table->setObjectName(QStringLiteral("lvUser"));
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Номер"), QStringLiteral("Расчетчик"), QStringLiteral("Табельный номер")});
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    T_UserList users;
    users.Load();
    table->setRowCount(users.Count());
    for (int i = 0; i < users.Count(); ++i) {
        const T_CUser* u = users[i];
        table->setItem(i, 0, new QTableWidgetItem(QString::number(u->Num)));
        table->setItem(i, 1, new QTableWidgetItem(u->Name));
        table->setItem(i, 2, new QTableWidgetItem(u->TabNum ? QString::number(u->TabNum) : QString()));
    }
    table->setColumnWidth(1, 240);
    layout->addWidget(table);
    resize(480, 300);
}

void ShowSprUser()
{
    if (CurrentUser != 0) {
        ShowError(QStringLiteral("Права на изменение справочника пользователей имеет только администратор системы"));
        return;
    }
    TFormSprUser form;
    form.ShowModal();
}
