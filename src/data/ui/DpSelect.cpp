#include "data/ui/DpSelect.h"
#include "data/AppContext.h"
#include "data/Dops.h"
#include "data/ui/InVvod.h"
#include "foundation/Messages.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The sets of the chooser; the deleted kinds are the accrual book's own.
const struct {
    const char* name;
    quint8 filter;
} kSets[] = {
    {"Все начисления", dfAccruals | dfDeductions},
    {"Доплаты", dfAccruals},
    {"Удержания", dfDeductions},
    {"Табличные", dfAccruals | dfDeductions | dfWithTabl},
};

QString SortCaption(int mode)
{
    switch (mode) {
    case 1: return QStringLiteral("по номеру программы");
    case 2: return QStringLiteral("по наименованию");
    case 3: return QStringLiteral("по порядковому номеру");
    case 4: return QStringLiteral("по стадии расчета");
    default: return QString();
    }
}

enum { colImage, colNumber, colName, colStage, colCount };

// The header section clicked -> the sort mode.
int SortOfColumn(int column)
{
    switch (column) {
    case colNumber: return 1;
    case colName: return 2;
    case colStage: return 4;
    default: return 3;
    }
}

QPixmap PaintDopImage(bool uder, bool mark)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (mark) {
        // A marked kind stands on a yellow square.
        p.setPen(QPen(QColor(96, 96, 0), 1));
        p.setBrush(QColor(255, 225, 0));
        p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(uder ? QColor(192, 32, 32) : QColor(0, 128, 0));
    p.drawEllipse(mark ? QRectF(3, 3, 10, 10) : QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 2));
    const qreal arm = mark ? 2.5 : 3.5;
    p.drawLine(QPointF(8 - arm, 8), QPointF(8 + arm, 8));
    if (!uder)
        p.drawLine(QPointF(8, 8 - arm), QPointF(8, 8 + arm));
    return pm;
}

QList<QIcon>* g_images = nullptr;

void FreeDopImages()
{
    delete g_images;
    g_images = nullptr;
}

TFormDpSelect* g_form = nullptr;

} // namespace

int GetDopImageIndex(const T_Dop* dop, bool mark)
{
    if (!dop)
        return -1;
    return (dop->Uder ? 0 : 2) + (mark ? 1 : 0);
}

int GetMDopImageIndex(const T_MDop* mdop) { return mdop ? GetDopImageIndex(mdop->Dop, mdop->Checked) : -1; }

QIcon DopImage(int index)
{
    if (!g_images) {
        // Freed before the application goes, as pixmaps must be.
        g_images = new QList<QIcon>;
        for (const bool uder : {true, false})
            for (const bool mark : {false, true})
                g_images->append(QIcon(PaintDopImage(uder, mark)));
        qAddPostRoutine(FreeDopImages);
    }
    return index >= 0 && index < g_images->size() ? g_images->at(index) : QIcon();
}

// The lines of the view: the image, the number as shown, the name, the stage.
class TFormDpSelect::DopListModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetView(T_DNSubList* view)
    {
        beginResetModel();
        view_ = view;
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
            emit dataChanged(index(0, colImage), index(rowCount() - 1, colImage), {Qt::DecorationRole});
    }
    T_MDop* MDop(int row) const
    {
        return view_ && row >= 0 && row < view_->Count() && view_->Item(row)->Dop ? view_->Item(row) : nullptr;
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() || !view_ ? 0 : view_->Count();
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : colCount;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const T_MDop* m = MDop(index.row());
        if (!m)
            return {};
        const T_Dop* dop = m->Dop;
        if (role == Qt::DecorationRole && index.column() == colImage)
            return dop->Deleted ? QIcon() : DopImage(GetMDopImageIndex(m));
        if (role == Qt::DisplayRole) {
            switch (index.column()) {
            case colNumber: return dop->GetNumberText();
            case colName: return dop->GetName();
            case colStage: return dop->StadiaF;
            default: return {};
            }
        }
        if (role == Qt::TextAlignmentRole && (index.column() == colNumber || index.column() == colStage))
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        switch (section) {
        case colNumber: return QStringLiteral("№");
        case colName: return QStringLiteral("Наименование");
        case colStage: return QStringLiteral("Стадия");
        default: return QString();
        }
    }

private:
    T_DNSubList* view_ = nullptr;
};

TFormDpSelect::TFormDpSelect(QWidget* parent) : TForm(parent, QStringLiteral("FormDpSelect"))
{
    SetButtonMnemonics(true);
    setWindowTitle(QStringLiteral("Список начислений"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    auto* top = new QHBoxLayout;
    cbNabor = new QComboBox(this);
    cbNabor->setObjectName(QStringLiteral("cbNabor"));
    for (const auto& set : kSets)
        cbNabor->addItem(QString::fromUtf8(set.name));
    top->addWidget(cbNabor);
    top->addStretch(1);
    lbSort = new QLabel(this);
    lbSort->setObjectName(QStringLiteral("lbSort"));
    top->addWidget(lbSort);
    layout->addLayout(top);

    lbHint = new QLabel(this);
    lbHint->setObjectName(QStringLiteral("lbHint"));
    lbHint->setWordWrap(true);
    lbHint->setAlignment(Qt::AlignCenter);
    lbHint->setStyleSheet(QStringLiteral("QLabel { background-color: #008080; color: #ffff00; font-weight: bold; }"));
    lbHint->hide();
    layout->addWidget(lbHint);

    lvt = new QTableView(this);
    lvt->setObjectName(QStringLiteral("lvt"));
    model_ = new DopListModel(this);
    lvt->setModel(model_);
    lvt->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvt->setSelectionMode(QAbstractItemView::SingleSelection);
    lvt->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvt->setShowGrid(false);
    lvt->setWordWrap(false);
    lvt->verticalHeader()->hide();
    lvt->verticalHeader()->setDefaultSectionSize(lvt->fontMetrics().height() + 4);
    QHeaderView* header = lvt->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->resizeSection(colImage, 24);
    header->resizeSection(colNumber, 56);
    header->resizeSection(colStage, 60);
    header->setSectionResizeMode(colName, QHeaderView::Stretch);
    layout->addWidget(lvt, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btOk = new QPushButton(QStringLiteral("    Ok    "), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btCancel = new QPushButton(QStringLiteral("Отменить"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    for (QPushButton* b : {btOk, btCancel}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    resize(440, 480);

    connect(btOk, &QPushButton::clicked, this, guarded([this] { Confirm(); }));
    connect(btCancel, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrCancel); }));
    connect(cbNabor, &QComboBox::activated, this, guarded([this] { NaborChosen(); }));
    connect(lvt->selectionModel(), &QItemSelectionModel::currentChanged, this, guarded([this] { RowChosen(); }));
    connect(lvt, &QTableView::doubleClicked, this, guarded([this] { DoubleClicked(); }));
    connect(
        header, &QHeaderView::sectionClicked, this, guarded([this](int section) { SetSort(SortOfColumn(section)); }));
    SetKeyPreview(true);
}

TFormDpSelect::~TFormDpSelect()
{
    model_->SetView(nullptr);
    view_.reset();
    if (g_form == this)
        g_form = nullptr;
}

qint32 TFormDpSelect::SelectDop(quint8 kind, const QString& hint, qint32 current, quint8 sort)
{
    multi_ = false;
    qint32 result = -1;
    struct Cleanup {
        TFormDpSelect* self;
        ~Cleanup() { self->Finish(); }
    } cleanup{this};
    Prepare(kind, hint, current, sort);
    if (ShowModal() == mrOk)
        result = curDopNum_;
    return result;
}

bool TFormDpSelect::SelectDopList(quint8 kind, const QString& hint, QList<qint32>& list, quint8 sort)
{
    multi_ = true;
    struct Cleanup {
        TFormDpSelect* self;
        ~Cleanup() { self->Finish(); }
    } cleanup{this};
    Prepare(kind, hint, -1, sort);
    for (T_MDop* m : *view_)
        m->Checked = list.contains(m->Dop->DopNum);
    model_->MarksChanged();
    if (ShowModal() != mrOk)
        return false;
    list = MarkedDops();
    return true;
}

quint8 TFormDpSelect::Filter() const { return view_ ? view_->Filter() : 0; }

void TFormDpSelect::Prepare(quint8 kind, const QString& hint, qint32 current, quint8 sort)
{
    if (sort >= 1 && sort <= 4)
        sortMode_ = sort;
    int set = -1;
    for (int i = 0; i < int(std::size(kSets)); ++i)
        if (kSets[i].filter == kind)
            set = i;
    // A list kind of the chooser's own is the caller's: no choice then.
    cbNabor->setVisible(set < 0);
    if (set < 0 && cbNabor->currentIndex() < 0)
        cbNabor->setCurrentIndex(0);
    const quint8 filter = set >= 0 ? kind : kSets[qMax(0, cbNabor->currentIndex())].filter;

    ++updateDepth_;
    view_ = std::make_unique<T_DNSubList>(DNList(), filter);
    view_->SetSortMode(sortMode_);
    view_->OnChange = TNotifyEvent(this, &TFormDpSelect::ViewChanged);
    view_->EnsureBuilt();
    model_->SetView(view_.get());
    --updateDepth_;

    lvt->horizontalHeader()->setSectionHidden(colStage, sortMode_ != 4);
    lbSort->setText(SortCaption(sortMode_));
    lbHint->setText(hint);
    lbHint->setVisible(!hint.isEmpty());
    Refill(view_->IndexOfDopNum(current) >= 0 ? current : curDopNum_);
    lvt->setFocus();
}

void TFormDpSelect::Finish()
{
    ++updateDepth_;
    model_->SetView(nullptr);
    view_.reset();
    --updateDepth_;
}

void TFormDpSelect::SetSort(int mode)
{
    sortMode_ = mode;
    lvt->horizontalHeader()->setSectionHidden(colStage, mode != 4);
    lbSort->setText(SortCaption(mode));
    if (!view_)
        return;
    ++updateDepth_;
    view_->SetSortMode(mode);
    --updateDepth_;
    Refill(curDopNum_);
}

void TFormDpSelect::NaborChosen()
{
    if (!view_ || updateDepth_ > 0)
        return;
    ++updateDepth_;
    view_->SetFilter(kSets[qMax(0, cbNabor->currentIndex())].filter);
    --updateDepth_;
    Refill(curDopNum_);
}

void TFormDpSelect::ViewChanged(TObject*)
{
    if (updateDepth_ == 0)
        Refill(curDopNum_);
}

void TFormDpSelect::Refill(qint32 keep)
{
    ++updateDepth_;
    int row = -1;
    if (view_) {
        view_->EnsureBuilt();
        row = view_->IndexOfDopNum(keep);
    }
    model_->Refresh();
    if (row < 0 && model_->rowCount() > 0)
        row = 0;
    --updateDepth_;
    SelectRow(row);
}

void TFormDpSelect::SelectRow(int row)
{
    if (row < 0) {
        lvt->setCurrentIndex(QModelIndex());
        return;
    }
    const QModelIndex index = model_->index(row, colName);
    lvt->setCurrentIndex(index);
    lvt->scrollTo(index);
    RowChosen();
}

void TFormDpSelect::RowChosen()
{
    if (updateDepth_ > 0)
        return;
    const T_MDop* m = model_->MDop(lvt->currentIndex().row());
    if (!m)
        return;
    curDopNum_ = m->Dop->DopNum;
    AppContext().LastDopNum = curDopNum_;
}

QList<qint32> TFormDpSelect::ShownDops() const
{
    QList<qint32> out;
    for (int row = 0; row < model_->rowCount(); ++row)
        out << model_->MDop(row)->Dop->DopNum;
    return out;
}

QList<qint32> TFormDpSelect::MarkedDops() const
{
    QList<qint32> out;
    for (int row = 0; row < model_->rowCount(); ++row)
        if (model_->MDop(row)->Checked)
            out << model_->MDop(row)->Dop->DopNum;
    return out;
}

void TFormDpSelect::ToggleCurrent()
{
    if (T_MDop* m = model_->MDop(lvt->currentIndex().row())) {
        m->Checked = !m->Checked;
        model_->MarksChanged();
    }
}

void TFormDpSelect::SetAllMarks(bool on)
{
    if (!view_)
        return;
    view_->SetAllChecked(on);
    model_->MarksChanged();
}

void TFormDpSelect::FindByNumber(int digit)
{
    int num = digit;
    if (!view_ || !InputDopNum(QStringLiteral("Номер начисления"), num))
        return;
    const int row = view_->IndexOfDopNum(num);
    if (row < 0) {
        ShowError(QStringLiteral("Не найден номер"));
        return;
    }
    SelectRow(row);
    lvt->setFocus();
}

void TFormDpSelect::Confirm()
{
    // In single mode a confirmation without a line is a cancel.
    const T_MDop* m = model_->MDop(lvt->currentIndex().row());
    if (!multi_ && !m) {
        SetModalResult(mrCancel);
        return;
    }
    if (m)
        curDopNum_ = m->Dop->DopNum;
    SetModalResult(mrOk);
}

void TFormDpSelect::DoubleClicked()
{
    if (multi_)
        ToggleCurrent();
    else
        Confirm();
}

bool TFormDpSelect::FormKeyDown(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Confirm();
        return true;
    }
    if (key == Qt::Key_Escape) {
        SetModalResult(mrCancel);
        return true;
    }
    const QString text = event->text();
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (plain && text.size() == 1 && text[0] >= u'0' && text[0] <= u'9') {
        FindByNumber(text[0].unicode() - u'0');
        return true;
    }
    if (!multi_ || focusWidget() != lvt)
        return false;
    if (key == Qt::Key_Space) {
        ToggleCurrent();
        return true;
    }
    if (text == QLatin1String("+") || text == QLatin1String("-")) {
        SetAllMarks(text == QLatin1String("+"));
        return true;
    }
    return false;
}

void TFormDpSelect::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    // Enter must confirm the line the clerk sees chosen, so the list has
    // the focus at every opening, also when the window manager hands the
    // window its focus later.
    opening_ = true;
    lvt->setFocus(Qt::ActiveWindowFocusReason);
}

void TFormDpSelect::changeEvent(QEvent* event)
{
    TForm::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && opening_) {
        opening_ = false;
        lvt->setFocus(Qt::ActiveWindowFocusReason);
    }
}

TFormDpSelect& FormDpSelect() { return MakeOnFirstUse(g_form, FreeFormDpSelect); }

void FreeFormDpSelect()
{
    delete g_form;
    g_form = nullptr;
}

qint32 SelectDop(quint8 kind, const QString& hint, qint32 current, quint8 sort)
{
    return FormDpSelect().SelectDop(kind, hint, current, sort);
}

bool SelectDopList(quint8 kind, const QString& hint, QList<qint32>& list, quint8 sort)
{
    return FormDpSelect().SelectDopList(kind, hint, list, sort);
}
