#include "data/ui/SrSelect.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Podr.h"
#include "data/Tabn.h"
#include "data/ui/PodrViews.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QIcon MarkIcon(bool marked)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(Qt::white);
    p.drawRect(2, 2, 11, 11);
    if (marked) {
        p.setPen(QPen(QColor(0, 128, 0), 2));
        p.drawPolyline(QPolygon({QPoint(4, 8), QPoint(7, 11), QPoint(12, 4)}));
    }
    return QIcon(pm);
}

const QString& Caption(TFormSrSelect::TMode mode)
{
    static const QString captions[] = {QStringLiteral("Выбор работника"), QStringLiteral("Выбор подразделения"),
        QStringLiteral("Выбор списка работников")};
    return captions[mode];
}

TFormSrSelect* g_form = nullptr;

} // namespace

// The cards of the chosen department: the mark, the number as shown, the name.
class TabnListModel : public QAbstractTableModel {
public:
    explicit TabnListModel(QObject* parent)
        : QAbstractTableModel(parent), unmarked_(MarkIcon(false)), marked_(MarkIcon(true))
    {
    }

    void SetCards(T_TNList* cards)
    {
        beginResetModel();
        cards_ = cards;
        endResetModel();
    }
    void Refresh()
    {
        beginResetModel();
        endResetModel();
    }
    void MarksChanged()
    {
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
    }
    T_Tabn* Card(int row) const { return cards_ && row >= 0 && row < cards_->Count() ? cards_->GetTabn(row) : nullptr; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() || !cards_ ? 0 : cards_->Count();
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const T_Tabn* card = Card(index.row());
        if (!card)
            return {};
        if (role == Qt::DecorationRole && index.column() == 0)
            return card->Checked ? marked_ : unmarked_;
        if (role == Qt::DisplayRole && index.column() == 1)
            return card->GetNumberText();
        if (role == Qt::DisplayRole && index.column() == 2)
            return card->GetFio();
        if (role == Qt::TextAlignmentRole && index.column() == 1)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        switch (section) {
        case 1: return QStringLiteral("Таб.№");
        case 2: return QStringLiteral("Фамилия, имя, отчество");
        default: return QString();
        }
    }

private:
    T_TNList* cards_ = nullptr;
    QIcon unmarked_, marked_;
};

TFormSrSelect::TFormSrSelect(QWidget* parent) : TForm(parent, QStringLiteral("FormSrSelect"))
{
    setWindowTitle(Caption(smTabn));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    pnTools = new QWidget(this);
    pnTools->setObjectName(QStringLiteral("pnTools"));
    auto* tools = new QHBoxLayout(pnTools);
    tools->setContentsMargins(0, 0, 0, 0);
    btOk = new QPushButton(QStringLiteral("    Ok    "), pnTools);
    btOk->setObjectName(QStringLiteral("btOk"));
    btCancel = new QPushButton(QStringLiteral("Отменить"), pnTools);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btAll = new QPushButton(QStringLiteral("Выбрать все"), pnTools);
    btAll->setObjectName(QStringLiteral("btAll"));
    for (QPushButton* b : {btOk, btCancel, btAll}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
        tools->addWidget(b);
    }
    tools->addStretch(1);
    layout->addWidget(pnTools);

    pnHelp = new QLabel(this);
    pnHelp->setObjectName(QStringLiteral("pnHelp"));
    pnHelp->setWordWrap(true);
    pnHelp->setAlignment(Qt::AlignCenter);
    pnHelp->setStyleSheet(QStringLiteral("QLabel { background-color: #008080; color: #ffff00; font-weight: bold; }"));
    pnHelp->hide();
    layout->addWidget(pnHelp);

    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setChildrenCollapsible(false);
    tvp = new QTreeWidget(splitter);
    tvp->setObjectName(QStringLiteral("tvp"));
    tvp->setHeaderHidden(true);
    lvt = new QTreeView(splitter);
    lvt->setObjectName(QStringLiteral("lvt"));
    lvt->setRootIsDecorated(false);
    lvt->setUniformRowHeights(true);
    lvt->setAllColumnsShowFocus(true);
    lvt->setSelectionMode(QAbstractItemView::SingleSelection);
    lvt->setEditTriggers(QAbstractItemView::NoEditTriggers);
    model_ = new TabnListModel(this);
    lvt->setModel(model_);
    lvt->header()->setSectionsClickable(true);
    lvt->header()->setStretchLastSection(true);
    lvt->header()->resizeSection(0, 26);
    lvt->header()->resizeSection(1, 60);
    splitter->addWidget(tvp);
    splitter->addWidget(lvt);
    splitter->setSizes({220, 300});
    layout->addWidget(splitter, 1);
    resize(560, 400);

    connect(btOk, &QPushButton::clicked, this, guarded([this] { Accept(); }));
    connect(btCancel, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrCancel); }));
    connect(btAll, &QPushButton::clicked, this, guarded([this] { ToggleAll(); }));
    connect(tvp, &QTreeWidget::currentItemChanged, this, guarded([this] { TreeChosen(); }));
    connect(tvp, &QTreeWidget::itemDoubleClicked, this, guarded([this] { TreeDoubleClicked(); }));
    connect(lvt->selectionModel(), &QItemSelectionModel::currentChanged, this, guarded([this] { ListChosen(); }));
    connect(lvt, &QTreeView::doubleClicked, this, guarded([this] { ListDoubleClicked(); }));
    connect(lvt->header(), &QHeaderView::sectionClicked, this, guarded([this](int section) { SortByColumn(section); }));
    SetKeyPreview(true);
}

TFormSrSelect::~TFormSrSelect()
{
    podrLink_.Reset();
    model_->SetCards(nullptr);
    if (g_form == this)
        g_form = nullptr;
}

qint32 TFormSrSelect::SelectTabn(qint32 podr, qint32 tabNum, const QString& prompt)
{
    mode_ = smTabn;
    singleChoice_ = true;
    curPodr_ = podr;
    curTabn_ = tabNum;
    prompt_ = prompt;
    qint32 result = -1;
    // Only a number of the list shown counts: after moving to another
    // department without choosing, the preselected one is not there.
    Execute([&] { result = cards_->IndexOfTabNum(curTabn_) >= 0 ? curTabn_ : -1; });
    return result;
}

qint32 TFormSrSelect::SelectPodr(qint32 podr, const QString& prompt)
{
    mode_ = smPodr;
    singleChoice_ = true;
    curPodr_ = podr;
    curTabn_ = 0;
    prompt_ = prompt;
    return Execute([] {}) ? curPodr_ : -1;
}

bool TFormSrSelect::SelectTabnList(qint32& podr, QList<qint32>& list, const QString& prompt)
{
    mode_ = smTabnList;
    singleChoice_ = false;
    curPodr_ = podr;
    curTabn_ = 0;
    prompt_ = prompt;
    const QList<qint32> marks = list;
    markSet_ = &marks;
    QList<qint32> marked;
    const bool ok = Execute([&] { marked = MarkedTabns(); });
    markSet_ = nullptr;
    if (!ok)
        return false;
    podr = curPodr_;
    list = marked;
    return true;
}

bool TFormSrSelect::Execute(const std::function<void()>& onOk)
{
    struct Cleanup {
        TFormSrSelect* self;
        ~Cleanup() { self->Finish(); }
    } cleanup{this};
    Prepare();
    const bool ok = ShowModal() == mrOk;
    if (ok)
        onOk();
    return ok;
}

void TFormSrSelect::Prepare()
{
    setWindowTitle(Caption(mode_));
    tree_ = std::make_unique<T_PNTree>(PNList());
    cards_ = std::make_unique<T_TNList>(PNList());
    cards_->OnChange = TNotifyEvent(this, &TFormSrSelect::CardsChanged);
    podrLink_ = TNotifyLink(&PNList()->Notifications(), TNotifyEvent(this, &TFormSrSelect::PodrListChanged));
    cards_->SetSortMode(sortMode_);
    model_->SetCards(cards_.get());

    // The list pane goes in department mode, its width kept for the next call.
    if (mode_ == smPodr) {
        if (lvt->isVisibleTo(this)) {
            savedListWidth_ = splitter->sizes().value(1);
            lvt->hide();
        }
    } else if (!lvt->isVisibleTo(this)) {
        lvt->show();
        if (savedListWidth_ > 0)
            splitter->setSizes({qMax(50, splitter->width() - savedListWidth_), savedListWidth_});
    }
    btAll->setVisible(mode_ == smTabnList);

    if (curTabn_ != 0) {
        int podr = 0;
        if (GetTabnPodr(curTabn_, podr)) {
            curPodr_ = podr;
        } else {
            curTabn_ = 0;
            curPodr_ = 0;
        }
    }
    tree_->SetFilter(pfCurrent);
    cards_->SetFilter(tfWorking);
    FillTree();
    if (mode_ != smPodr)
        FillList();
    ShowHelp();
    (mode_ == smPodr || !tree_->HasPodr(curPodr_) ? static_cast<QWidget*>(tvp) : lvt)->setFocus();
}

void TFormSrSelect::Finish()
{
    ++updateDepth_;
    podrLink_.Reset();
    model_->SetCards(nullptr);
    tvp->clear();
    cards_.reset();
    tree_.reset();
    --updateDepth_;
}

void TFormSrSelect::FillTree()
{
    ++updateDepth_;
    FillTreeView(*tree_, tvp, curPodr_, false);
    if (mode_ == smPodr) {
        // Without a department of its own the first node is the choice.
        if (!tree_->HasPodr(curPodr_))
            curPodr_ = CurrentPodrNum(tvp);
    } else if (!tree_->HasPodr(curPodr_)) {
        tvp->setCurrentItem(nullptr);
        tvp->clearSelection();
    }
    --updateDepth_;
}

void TFormSrSelect::FillList()
{
    ++updateDepth_;
    if (tree_->HasPodr(curPodr_)) {
        cards_->SetPodr(curPodr_);
        cards_->EnsureLoaded();
    } else {
        cards_->SetPodr(-1);
    }
    if (mode_ == smTabnList && markSet_)
        for (T_Tabn* card : *cards_)
            card->Checked = markSet_->contains(card->TabNum());
    model_->Refresh();
    const int row = curTabn_ != 0 && cards_->Podr() == curPodr_ ? cards_->IndexOfTabNum(curTabn_) : -1;
    if (row >= 0)
        lvt->setCurrentIndex(model_->index(row, 1));
    --updateDepth_;
}

QList<qint32> TFormSrSelect::ShownTabns() const
{
    QList<qint32> out;
    for (int row = 0; row < model_->rowCount(); ++row)
        out << model_->Card(row)->TabNum();
    return out;
}

QList<qint32> TFormSrSelect::MarkedTabns() const
{
    QList<qint32> out;
    for (int row = 0; row < model_->rowCount(); ++row)
        if (model_->Card(row)->Checked)
            out << model_->Card(row)->TabNum();
    return out;
}

void TFormSrSelect::TreeChosen()
{
    if (updateDepth_ > 0 || !tree_)
        return;
    curPodr_ = CurrentPodrNum(tvp);
    if (mode_ != smPodr)
        FillList();
}

void TFormSrSelect::ListChosen()
{
    if (updateDepth_ > 0)
        return;
    const T_Tabn* card = model_->Card(lvt->currentIndex().row());
    if (!card)
        return;
    curTabn_ = card->TabNum();
    curName_ = card->GetFio();
    AppContext().LastTabNum = curTabn_;
}

void TFormSrSelect::TreeDoubleClicked()
{
    if (mode_ == smPodr)
        Accept();
}

void TFormSrSelect::ListDoubleClicked()
{
    if (singleChoice_)
        Accept();
    else
        ToggleCurrentAndMoveDown();
}

void TFormSrSelect::ToggleCurrentAndMoveDown()
{
    const int row = lvt->currentIndex().row();
    T_Tabn* card = model_->Card(row);
    if (!card)
        return;
    card->Checked = !card->Checked;
    model_->MarksChanged();
    if (row + 1 < model_->rowCount())
        lvt->setCurrentIndex(model_->index(row + 1, 1));
}

void TFormSrSelect::SetAllMarks(bool on)
{
    if (!cards_)
        return;
    if (on)
        cards_->CheckAll();
    else
        cards_->UncheckAll();
    model_->MarksChanged();
}

void TFormSrSelect::ToggleAll() { SetAllMarks(MarkedTabns().isEmpty()); }

void TFormSrSelect::SortByColumn(int column)
{
    sortMode_ = column == 1 ? 1 : column == 2 ? 2 : 3;
    if (!cards_)
        return;
    const qint32 keep = curTabn_;
    ++updateDepth_;
    cards_->SetSortMode(sortMode_);
    model_->Refresh();
    const int row = cards_->IndexOfTabNum(keep);
    if (row >= 0)
        lvt->setCurrentIndex(model_->index(row, 1));
    --updateDepth_;
}

void TFormSrSelect::PodrListChanged(TObject*)
{
    if (!tree_ || !isVisible())
        return;
    tree_->Rebuild();
    FillTree();
}

void TFormSrSelect::CardsChanged(TObject*)
{
    if (updateDepth_ > 0)
        return;
    ++updateDepth_;
    model_->Refresh();
    --updateDepth_;
}

void TFormSrSelect::ShowHelp()
{
    pnHelp->setText(prompt_);
    pnHelp->setVisible(!prompt_.isEmpty());
    if (prompt_.isEmpty())
        return;
    const int width = qMax(100, this->width() - 8);
    // Measured free of the last opening's height: a fixed height counts in
    // the label's own answer, and the band grew by 5 pixels at every opening.
    pnHelp->setMinimumHeight(0);
    pnHelp->setMaximumHeight(QWIDGETSIZE_MAX);
    pnHelp->setFixedHeight(pnHelp->heightForWidth(width) + 5);
}

void TFormSrSelect::Accept() { SetModalResult(mrOk); }

bool TFormSrSelect::FormKeyDown(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Accept();
        return true;
    }
    if (key == Qt::Key_Escape) {
        SetModalResult(mrCancel);
        return true;
    }
    if (mode_ != smTabnList || focusWidget() != lvt)
        return false;
    if (key == Qt::Key_Space) {
        ToggleCurrentAndMoveDown();
        return true;
    }
    if ((event->modifiers() & Qt::KeypadModifier) && (key == Qt::Key_Plus || key == Qt::Key_Minus)) {
        SetAllMarks(key == Qt::Key_Plus);
        return true;
    }
    return false;
}

TFormSrSelect& FormSrSelect() { return MakeOnFirstUse(g_form, FreeFormSrSelect); }

void FreeFormSrSelect()
{
    delete g_form;
    g_form = nullptr;
}

qint32 SelectTabn(qint32 podr, qint32 tabNum, const QString& prompt)
{
    return FormSrSelect().SelectTabn(podr, tabNum, prompt);
}

qint32 SelectPodr(qint32 podr, const QString& prompt) { return FormSrSelect().SelectPodr(podr, prompt); }

bool SelectTabnList(qint32& podr, QList<qint32>& list, const QString& prompt)
{
    return FormSrSelect().SelectTabnList(podr, list, prompt);
}
