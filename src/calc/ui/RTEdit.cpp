#include "calc/ui/RTEdit.h"
#include "foundation/ui/base/FormFuncs.h"

#include "calc/ui/AccrualEditors.h"
#include "data/AppContext.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "foundation/Messages.h"
#include "foundation/ui/dialogs/GetMean.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/FieldValues.h"
#include "platform/DateTime.h"
#include "platform/SysUtils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

// Line cells take numbers only; anything else is reported and the cell
// keeps its value.
class TRtLineDelegate final : public QStyledItemDelegate {
public:
    explicit TRtLineDelegate(TFormRTEdit* form) : QStyledItemDelegate(form), form_(form) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            FilterTypedChars(line, TypedKind::Float);
            open_ = line;
            openIndex_ = index;
        }
        return editor;
    }
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        if (editor == open_)
            open_ = nullptr;
        QStyledItemDelegate::destroyEditor(editor, index);
    }
    // A cell being typed.
    bool Typed() const { return open_ && open_->isModified(); }
    // The open cell's text into its line; false when it was refused (shown).
    bool Commit()
    {
        if (!open_)
            return true;
        QLineEdit* line = open_;
        if (line->isModified() && !form_->SetCell(openIndex_.row(), openIndex_.column(), line->text()))
            return false;
        open_ = nullptr;
        emit closeEditor(line, NoHint);
        return true;
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        if (line != nullptr)
            RunGuarded([&] { form_->SetCell(index.row(), index.column(), line->text()); });
    }

private:
    TFormRTEdit* form_;
    mutable QPointer<QLineEdit> open_;
    mutable QPersistentModelIndex openIndex_;
};

namespace {

double Number(QLineEdit* edit) { return FieldFloat(edit->text(), FieldCaption(edit)); }

QString LineText(double v) { return FloatToStr(v); }

} // namespace

const QStringList& TFormRTEdit::MethodNames()
{
    static const QStringList names{QStringLiteral("Не рассчитывается"), QStringLiteral("Помесячно"),
        QStringLiteral("Пропорционально месяцам года")};
    return names;
}

TFormRTEdit::TFormRTEdit(qint32 dopNum, QWidget* parent) : TForm(parent, QStringLiteral("FormRTEdit")), dopNum_(dopNum)
{
    SetButtonMnemonics(true);
    setWindowTitle(QStringLiteral("Таблица расчета начисления"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(this);
    heading->setObjectName(QStringLiteral("lbHeader"));
    if (const T_Dop* dop = DNList() != nullptr ? DNList()->FindDop(dopNum) : nullptr)
        heading->setText(QStringLiteral("\"%1\"").arg(dop->GetName()));
    layout->addWidget(heading);

    auto* tipRow = new QHBoxLayout;
    tipRow->addWidget(new QLabel(QStringLiteral("Тип таблицы"), this));
    cbTip = new QComboBox(this);
    cbTip->setObjectName(QStringLiteral("cbTip"));
    cbTip->setMinimumWidth(220);
    tipRow->addWidget(cbTip);
    QPushButton* btTipNew = MakeButton(this, "btTipNew", QStringLiteral("Новый"));
    QPushButton* btTipEdit = MakeButton(this, "btTipEdit", QStringLiteral("Изменить"));
    QPushButton* btTipDel = MakeButton(this, "btTipDel", QStringLiteral("Удалить"));
    tipRow->addWidget(btTipNew);
    tipRow->addWidget(btTipEdit);
    tipRow->addWidget(btTipDel);
    tipRow->addStretch();
    layout->addLayout(tipRow);

    auto* body = new QHBoxLayout;
    auto* dates = new QVBoxLayout;
    lvDate = new QTableWidget(0, 1, this);
    lvDate->setObjectName(QStringLiteral("lvDate"));
    lvDate->setHorizontalHeaderLabels({QStringLiteral("Дата")});
    lvDate->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvDate->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvDate->setSelectionMode(QAbstractItemView::SingleSelection);
    lvDate->verticalHeader()->hide();
    lvDate->horizontalHeader()->setStretchLastSection(true);
    lvDate->setMaximumWidth(150);
    dates->addWidget(lvDate);
    auto* tblRow = new QHBoxLayout;
    QPushButton* btTblNew = MakeButton(this, "btTblNew", QStringLiteral("Новая"));
    QPushButton* btTblDel = MakeButton(this, "btTblDel", QStringLiteral("Удалить"));
    tblRow->addWidget(btTblNew);
    tblRow->addWidget(btTblDel);
    dates->addLayout(tblRow);
    body->addLayout(dates);

    auto* right = new QVBoxLayout;
    auto* params = new QGroupBox(this);
    params_ = params;
    params->setObjectName(QStringLiteral("gbParams"));
    auto* form = new QFormLayout(params);
    deDateBeg = MakeDateEdit(params, "deDateBeg");
    form->addRow(QStringLiteral("Дата начала расчета"), deDateBeg);
    cbByYear = new QCheckBox(QStringLiteral("Годовое накопление"), params);
    cbByYear->setObjectName(QStringLiteral("cbByYear"));
    form->addRow(cbByYear);
    deYearBeg = MakeDateEdit(params, "deYearBeg");
    deYearEnd = MakeDateEdit(params, "deYearEnd");
    form->addRow(QStringLiteral("Начало года"), deYearBeg);
    form->addRow(QStringLiteral("Конец года"), deYearEnd);
    edKMinZp = Named(new QLineEdit(params), "edKMinZp");
    form->addRow(QStringLiteral("Количество мин. ЗП"), edKMinZp);
    cbMetod = new QComboBox(params);
    cbMetod->setObjectName(QStringLiteral("cbMetod"));
    cbMetod->addItems(MethodNames());
    form->addRow(QStringLiteral("Метод расчета"), cbMetod);
    edSumMinZp = Named(new QLineEdit(params), "edSumMinZp");
    form->addRow(QStringLiteral("Значение мин. ЗП"), edSumMinZp);
    edSum = Named(new QLineEdit(params), "edSum");
    form->addRow(QStringLiteral("Необлагаемая сумма"), edSum);
    FilterTypedChars(edKMinZp, TypedKind::Integer);
    for (QLineEdit* e : {edSumMinZp, edSum})
        FilterTypedChars(e, TypedKind::Float);
    right->addWidget(params);
    sgLines = new QTableWidget(0, 3, this);
    sgLines->setObjectName(QStringLiteral("sgLines"));
    sgLines->setHorizontalHeaderLabels({QStringLiteral("Минимальный предел"),
        QStringLiteral("Сумма с минимального предела"), QStringLiteral("Процент с превышения")});
    sgLines->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    KeepTitlesWhole(sgLines->horizontalHeader());
    sgLines->verticalHeader()->hide();
    lineDelegate_ = new TRtLineDelegate(this);
    sgLines->setItemDelegate(lineDelegate_);
    right->addWidget(sgLines, 1);
    auto* lineRow = new QHBoxLayout;
    QPushButton* btLineNew = MakeButton(this, "btLineNew", QStringLiteral("Новая строка"));
    QPushButton* btLineDel = MakeButton(this, "btLineDel", QStringLiteral("Удалить строку"));
    lineRow->addWidget(btLineNew);
    lineRow->addWidget(btLineDel);
    lineRow->addStretch();
    btEdit = MakeButton(this, "btEdit", QStringLiteral("Изменить"));
    btSave = MakeButton(this, "btSave", QStringLiteral("Сохранить"));
    btCancel = MakeButton(this, "btCancel", QStringLiteral("Отмена"));
    lineRow->addWidget(btEdit);
    lineRow->addWidget(btSave);
    lineRow->addWidget(btCancel);
    right->addLayout(lineRow);
    body->addLayout(right, 1);
    layout->addLayout(body, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    QPushButton* btClose = MakeButton(this, "btClose", QStringLiteral("Закрыть"));
    bottom->addWidget(btClose);
    layout->addLayout(bottom);
    resize(820, 520);

    browseOnly_ = {cbTip, lvDate, btTipNew, btTipEdit, btTipDel, btTblNew, btTblDel, btEdit};
    connect(btTipNew, &QPushButton::clicked, this, guarded([this] { NewTip(); }));
    connect(btTipEdit, &QPushButton::clicked, this, guarded([this] { RenameTip(); }));
    connect(btTipDel, &QPushButton::clicked, this, guarded([this] { DeleteTip(); }));
    connect(btTblNew, &QPushButton::clicked, this, guarded([this] { NewTable(); }));
    connect(btTblDel, &QPushButton::clicked, this, guarded([this] { DeleteTable(); }));
    connect(btEdit, &QPushButton::clicked, this, guarded([this] { EnterEditMode(); }));
    connect(btSave, &QPushButton::clicked, this, guarded([this] { LeaveEditMode(); }));
    connect(btCancel, &QPushButton::clicked, this, guarded([this] { CancelEdit(); }));
    connect(btLineNew, &QPushButton::clicked, this, guarded([this] { NewLine(); }));
    connect(btLineDel, &QPushButton::clicked, this, guarded([this] { DeleteLine(); }));
    connect(btClose, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrCancel); }));
    connect(cbTip, &QComboBox::currentIndexChanged, this, guarded([this] {
        if (!filling_)
            FillDates(-1);
    }));
    connect(lvDate, &QTableWidget::currentCellChanged, this, guarded([this] {
        if (!filling_)
            ShowTable();
    }));
    connect(cbByYear, &QCheckBox::toggled, this, [this] { UpdateControls(); });

    list_.Vid = dopNum;
    Reread();
}

TFormRTEdit::~TFormRTEdit() = default;

void TFormRTEdit::Reread()
{
    const qint32 tip = CurrentTip() != nullptr ? CurrentTip()->Tip : -1;
    edit_ = false;
    list_.Load();
    FillTips(tip);
}

void TFormRTEdit::FillTips(qint32 select)
{
    filling_ = true;
    cbTip->clear();
    for (const T_RtTip* t : list_)
        cbTip->addItem(t->Naim, t->Tip);
    const int at = cbTip->findData(select);
    cbTip->setCurrentIndex(at >= 0 ? at : (cbTip->count() > 0 ? 0 : -1));
    filling_ = false;
    FillDates(-1);
}

T_RtTip* TFormRTEdit::CurrentTip() const
{
    return cbTip->currentIndex() < 0 ? nullptr : list_.FindTip(cbTip->currentData().toInt());
}

T_RtTable* TFormRTEdit::CurrentTable() const
{
    T_RtTip* tip = CurrentTip();
    const int row = lvDate->currentRow();
    return tip != nullptr && row >= 0 && row < tip->Count() ? tip->GetTable(row) : nullptr;
}

void TFormRTEdit::SelectTip(qint32 tip)
{
    const int at = cbTip->findData(tip);
    if (at >= 0)
        cbTip->setCurrentIndex(at);
}

void TFormRTEdit::SelectTable(int index) { lvDate->setCurrentCell(index, 0); }

// Select -1: the table in force on the date shown last, else the first.
void TFormRTEdit::FillDates(int select)
{
    filling_ = true;
    lvDate->setRowCount(0);
    T_RtTip* tip = CurrentTip();
    int inForce = 0;
    for (int i = 0; tip != nullptr && i < tip->Count(); ++i) {
        const T_RtTable* t = tip->GetTable(i);
        lvDate->insertRow(i);
        lvDate->setItem(i, 0, new QTableWidgetItem(DateToStr(t->DateBeg)));
        if (lastDate_ != 0 && t->DateBeg <= lastDate_ && (t->DateEnd == 0 || lastDate_ <= t->DateEnd))
            inForce = i;
    }
    filling_ = false;
    const int rows = lvDate->rowCount();
    lvDate->setCurrentCell(rows == 0 ? -1 : (select >= 0 && select < rows ? select : inForce), 0);
    ShowTable();
}

void TFormRTEdit::ShowTable()
{
    const T_RtTable* t = CurrentTable();
    filling_ = true;
    if (t != nullptr)
        lastDate_ = t->DateBeg;
    deDateBeg->setDate(t != nullptr ? ToQDate(t->DateBeg) : QDate());
    cbByYear->setChecked(t != nullptr && t->ByYear);
    deYearBeg->setDate(t != nullptr ? ToQDate(t->YearBeg) : QDate());
    deYearEnd->setDate(t != nullptr ? ToQDate(t->YearEnd) : QDate());
    edKMinZp->setText(t != nullptr ? QString::number(t->KMinZp) : QString());
    cbMetod->setCurrentIndex(t != nullptr && t->Metod >= 0 && t->Metod < cbMetod->count() ? t->Metod : -1);
    edSumMinZp->setText(t != nullptr ? FloatToStr(t->SumMinZp.ToDouble()) : QString());
    edSum->setText(t != nullptr ? FloatToStr(t->Sum.ToDouble()) : QString());
    paramsState_ = EditState({params_});
    filling_ = false;
    ShowLines();
}

void TFormRTEdit::ShowLines()
{
    const T_RtTable* t = CurrentTable();
    filling_ = true;
    sgLines->setRowCount(0);
    for (int i = 0; t != nullptr && i < t->Count(); ++i) {
        const T_RtLine* l = t->Item(i);
        sgLines->insertRow(i);
        sgLines->setItem(i, 0, new QTableWidgetItem(LineText(l->Lower)));
        sgLines->setItem(i, 1, new QTableWidgetItem(LineText(l->Sum)));
        sgLines->setItem(i, 2, new QTableWidgetItem(LineText(l->Proc)));
    }
    filling_ = false;
    UpdateControls();
}

void TFormRTEdit::UpdateControls()
{
    for (QWidget* w : browseOnly_)
        w->setEnabled(!edit_);
    const bool has = CurrentTable() != nullptr;
    btEdit->setEnabled(!edit_ && has);
    btSave->setEnabled(edit_);
    btCancel->setEnabled(edit_);
    for (QWidget* w : std::initializer_list<QWidget*>{deDateBeg, cbByYear, edKMinZp, cbMetod, edSumMinZp, edSum})
        w->setEnabled(edit_);
    deYearBeg->setEnabled(edit_ && cbByYear->isChecked());
    deYearEnd->setEnabled(edit_ && cbByYear->isChecked());
    sgLines->setEditTriggers(edit_
            ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed
            : QAbstractItemView::NoEditTriggers);
    for (auto* name : {"btLineNew", "btLineDel"})
        findChild<QPushButton*>(QString::fromLatin1(name))->setEnabled(edit_);
}

QByteArray TFormRTEdit::Snapshot() const
{
    QByteArray out;
    if (const T_RtTip* tip = CurrentTip())
        for (const T_RtTable* t : *tip)
            out += QByteArray::number(t->DateBeg, 'g', 17) + ':' + t->SaveToBytes() + ';';
    return out;
}

bool TFormRTEdit::SetCell(int row, int column, const QString& text)
{
    T_RtTable* t = CurrentTable();
    if (!edit_ || t == nullptr || row < 0 || row >= t->Count())
        return false;
    double v = 0;
    try {
        v = FieldFloat(text, FieldAt(sgLines->horizontalHeaderItem(column)->text(), row + 1));
    } catch (const EConvertError& e) {
        ShowError(e.Message());
        return false;
    }
    T_RtLine* l = t->Item(row);
    (column == 0 ? l->Lower : column == 1 ? l->Sum : l->Proc) = v;
    sgLines->item(row, column)->setText(LineText(v));
    return true;
}

void TFormRTEdit::EnterEditMode()
{
    if (edit_ || CurrentTable() == nullptr)
        return;
    snapshot_ = Snapshot();
    paramsState_ = EditState({params_});
    edit_ = true;
    UpdateControls();
}

void TFormRTEdit::StoreTable()
{
    T_RtTable* t = CurrentTable();
    if (t == nullptr)
        return;
    const double kMin = Number(edKMinZp);
    const double sumMin = Number(edSumMinZp);
    const double sum = Number(edSum);
    if (cbByYear->isChecked())
        RequirePeriod(FromQDate(deYearBeg->date()), FromQDate(deYearEnd->date()), cbByYear->text());
    t->SetDate(FromQDate(deDateBeg->date()));
    t->ByYear = cbByYear->isChecked();
    t->YearBeg = FromQDate(deYearBeg->date());
    t->YearEnd = FromQDate(deYearEnd->date());
    t->KMinZp = static_cast<qint32>(kMin);
    t->Metod = std::max(cbMetod->currentIndex(), 0);
    t->SumMinZp = Currency::FromDouble(sumMin);
    t->Sum = Currency::FromDouble(sum);
}

bool TFormRTEdit::HasChanges() const
{
    return lineDelegate_->Typed() || EditState({params_}) != paramsState_ || Snapshot() != snapshot_;
}

void TFormRTEdit::SaveChanges()
{
    if (!lineDelegate_->Commit())
        Abort();
    StoreTable();
    if (T_RtTip* tip = CurrentTip())
        tip->Save();
}

bool TFormRTEdit::LeaveEditMode()
{
    if (!edit_)
        return true;
    T_RtTip* tip = CurrentTip();
    if (tip != nullptr && HasChanges()) {
        const T_RtTable* t = CurrentTable();
        const QString details = QStringLiteral("Таблица расчета :\r\n\"%1\" от %2")
                                    .arg(tip->Naim, t != nullptr ? DateToStr(t->DateBeg) : QString());
        if (!SaveOrDropChanges(
                details, [this] { SaveChanges(); }, [] {}))
            return false;
    }
    Reread();
    return true;
}

void TFormRTEdit::CancelEdit() { Reread(); }

void TFormRTEdit::NewTip()
{
    Variant name{QString()};
    if (!InputValue(QStringLiteral("Наименование нового типа таблицы расчета"), ivText, name))
        return;
    T_RtTip* tip = list_.AddTip();
    tip->Naim = name.AsString();
    tip->Save();
    FillTips(tip->Tip);
    NewTable();
}

void TFormRTEdit::RenameTip()
{
    T_RtTip* tip = CurrentTip();
    if (tip == nullptr)
        ErrorAbort(QStringLiteral("Не выбран тип таблицы расчета"));
    QString name = tip->Naim;
    if (!InputString(QStringLiteral("Измените наименование типа таблицы расчета"), name) || name == tip->Naim)
        return;
    tip->Naim = name;
    tip->Save();
    Reread();
}

void TFormRTEdit::DeleteTip()
{
    T_RtTip* tip = CurrentTip();
    if (tip == nullptr)
        ErrorAbort(QStringLiteral("Не выбран тип таблицы расчета"));
    if (!ConfirmDelete(QStringLiteral("[%1]  \"%2\"").arg(tip->Tip).arg(tip->Naim), QString()))
        return;
    tip->DeleteFromBase();
    list_.DeleteObject(list_.IndexOfObject(tip));
    FillTips(-1);
}

void TFormRTEdit::NewTable()
{
    T_RtTip* tip = CurrentTip();
    if (tip == nullptr)
        ErrorAbort(QStringLiteral("Не выбран тип таблицы расчета"));
    TDateTime date = AppContext().Cfg.Workdate;
    if (!InputDate(QStringLiteral("Дата начала расчета по новой таблице"), date))
        return;
    for (const T_RtTable* t : *tip)
        if (t->DateBeg == date)
            ErrorAbort(Format(
                QStringLiteral("Две таблицы типа \"%s\" начинаются с одной даты %s"), tip->Naim, DateToStr(date)));
    snapshot_ = Snapshot();
    T_RtTable* t = tip->AddTable();
    t->SetDate(date);
    t->ByYear = true;
    const int year = ToQDate(StartDate).year();
    t->YearBeg = EncodeDate(year, 1, 1);
    t->YearEnd = EncodeDate(year, 12, 31);
    t->KMinZp = 0;
    t->SumMinZp = Currency();
    t->Sum = Currency();
    t->CursValut = 1;
    t->Metod = 1;
    for (const auto& [lower, sum, proc] : {std::tuple{0.0, 0.0, 5.0}, {500.0, 100.0, 15.0}, {1000.0, 200.0, 25.0}}) {
        T_RtLine* l = t->AddLine();
        l->Lower = lower;
        l->Sum = sum;
        l->Proc = proc;
    }
    edit_ = true;
    FillDates(tip->Count() - 1);
}

void TFormRTEdit::DeleteTable()
{
    T_RtTip* tip = CurrentTip();
    T_RtTable* t = CurrentTable();
    if (t == nullptr)
        ErrorAbort(QStringLiteral("Не выбрана дата таблицы расчета"));
    if (!ConfirmDelete(DateToStr(t->DateBeg), QString()))
        return;
    tip->DeleteObject(tip->IndexOfObject(t));
    lastDate_ = 0;
    tip->Save();
    Reread();
}

void TFormRTEdit::NewLine()
{
    T_RtTable* t = CurrentTable();
    if (!edit_ || t == nullptr || !lineDelegate_->Commit())
        return;
    t->AddLine();
    // The typed parameters stay as they are.
    ShowLines();
    sgLines->setCurrentCell(t->Count() - 1, 0);
}

void TFormRTEdit::DeleteLine()
{
    T_RtTable* t = CurrentTable();
    const int row = sgLines->currentRow();
    if (!edit_ || t == nullptr || row < 0 || row >= t->Count() || !lineDelegate_->Commit())
        return;
    t->DeleteObject(row);
    ShowLines();
}

void TFormRTEdit::done(int result)
{
    if (edit_ && !LeaveEditMode())
        return;
    TForm::done(result);
}

void ShowRTEdit(int dopNum)
{
    T_DNList* dn = DNList();
    if (dn == nullptr || dn->FindDop(dopNum) == nullptr) {
        ShowError(Format(QStringLiteral("Начисление №%s в справочнике не найдено"), QString::number(dopNum)));
        return;
    }
    TFormRTEdit form(dopNum);
    form.ShowModal();
}
