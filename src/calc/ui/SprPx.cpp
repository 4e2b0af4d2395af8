#include "calc/ui/SprPx.h"
#include "foundation/ui/base/FormFuncs.h"

#include "calc/PN.h"
#include "data/DatModl.h"
#include "data/Rights.h"
#include "db/Transaction.h"
#include "foundation/Messages.h"
#include "foundation/ui/dialogs/GetMean.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/FieldValues.h"
#include "foundation/ui/grids/DBGrid.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/SysUtils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QStringList kParamFields{"FYEAR", "YEARBEG", "YEAREND", "METOD", "KMINZP", "SUMMINZP", "SUM", "CURSVALUT"};
// The fields of TypedParams' values, in their order.
const QStringList kTypedFields = kParamFields + QStringList{QStringLiteral("DATEBEG")};

// Every PNL row of a table, in the order of the index.
QList<QList<Variant>> ReadLines(qint32 num)
{
    QList<QList<Variant>> lines;
    Cursor pnl(QStringLiteral("PNL"));
    pnl.Open();
    pnl.SetRange({Variant(num)}, {Variant(num)});
    for (pnl.First(); !pnl.Eof(); pnl.Next())
        lines.append({pnl[QStringLiteral("SUM")].AsVariant(), pnl[QStringLiteral("SUMNAL")].AsVariant(),
            pnl[QStringLiteral("PROC")].AsVariant()});
    return lines;
}

// Deletes the rows of the cursor's range.
void DeleteRange(Cursor& table, const QList<Variant>& key)
{
    table.SetRange(key, key);
    while (!table.IsEmpty())
        table.Delete();
    table.CancelRange();
}

// Deletes tables (their lines first) of the type, or the one table when num > 0.
void DeleteTables(qint32 tip, qint32 num)
{
    Cursor& pn = DM()->PN;
    Cursor& pnl = DM()->PNL;
    PrimaryIndexScope pnIndex(pn);
    PrimaryIndexScope pnlIndex(pnl);
    QList<qint32> nums;
    if (num > 0) {
        nums << num;
    } else {
        for (pn.First(); !pn.Eof(); pn.Next())
            if (pn[QStringLiteral("TIP")].AsInteger() == tip)
                nums << pn[QStringLiteral("NUM")].AsInteger();
    }
    for (qint32 n : nums) {
        DeleteRange(pnl, {Variant(n)});
        if (pn.FindKey({Variant(n)}))
            pn.Delete();
    }
}

void RefreshTaxCursors()
{
    for (Cursor* c : {&DM()->tbaPNT, &DM()->tbaPN, &DM()->tbaPNL})
        if (c->Active())
            c->Refresh();
}

} // namespace

TFormSprPx::TFormSprPx(QWidget* parent) : TForm(parent, QStringLiteral("FormSprPx"))
{
    SetButtonMnemonics(true);
    setWindowTitle(QStringLiteral("Справочник подоходного налога"));
    SetKeyPreview(true);
    if (T_PxList* list = PxList())
        list->EnsureLoaded();
    auto* layout = new QVBoxLayout(this);

    auto* tipRow = new QHBoxLayout;
    tipRow->addWidget(new QLabel(QStringLiteral("Тип ПН"), this));
    cbTip_ = new QComboBox(this);
    cbTip_->setObjectName(QStringLiteral("cbTip"));
    cbTip_->setMinimumWidth(200);
    tipRow->addWidget(cbTip_);
    QToolButton* btTipAdd = MakeToolButton(this, "btTipAdd", QStringLiteral("Новый"));
    QToolButton* btTipChange = MakeToolButton(this, "btTipChange", QStringLiteral("Изменить"));
    QToolButton* btTipDel = MakeToolButton(this, "btTipDel", QStringLiteral("Удалить"));
    tipRow->addWidget(btTipAdd);
    tipRow->addWidget(btTipChange);
    tipRow->addWidget(btTipDel);
    tipRow->addStretch();
    layout->addLayout(tipRow);

    auto* body = new QHBoxLayout;
    auto* dates = new QVBoxLayout;
    dgDate_ = new TDBGrid(this, QStringLiteral("dgDate"));
    dgDate_->Columns().Add(QStringLiteral("DATEBEG"), QStringLiteral("Дата"), 90);
    dgDate_->SetReadOnly(true);
    dgDate_->setMaximumWidth(150);
    dates->addWidget(dgDate_);
    auto* tblRow = new QHBoxLayout;
    QToolButton* btTblAdd = MakeToolButton(this, "btTblAdd", QStringLiteral("Новая"));
    btTblChange_ = MakeToolButton(this, "btTblChange", QStringLiteral("Изменить"));
    btTblChange_->setCheckable(true);
    QToolButton* btTblDel = MakeToolButton(this, "btTblDel", QStringLiteral("Удалить"));
    tblRow->addWidget(btTblAdd);
    tblRow->addWidget(btTblChange_);
    tblRow->addWidget(btTblDel);
    dates->addLayout(tblRow);
    body->addLayout(dates);

    auto* right = new QVBoxLayout;
    gbParams_ = new QGroupBox(this);
    gbParams_->setObjectName(QStringLiteral("gbParams"));
    auto* params = new QFormLayout(gbParams_);
    auto* dateRow = new QHBoxLayout;
    edDateBeg_ = Named(new QLineEdit(gbParams_), "edDateBeg");
    deDateBeg_ = MakeDateEdit(gbParams_, "deDateBeg");
    dateRow->addWidget(edDateBeg_);
    dateRow->addWidget(deDateBeg_);
    params->addRow(QStringLiteral("Дата"), dateRow);
    cbFYear_ = new QCheckBox(QStringLiteral("Годовое накопление"), gbParams_);
    cbFYear_->setObjectName(QStringLiteral("cbFYear"));
    params->addRow(cbFYear_);
    gbYear_ = new QGroupBox(QStringLiteral("Параметры налогового года"), gbParams_);
    gbYear_->setObjectName(QStringLiteral("gbYear"));
    auto* year = new QFormLayout(gbYear_);
    deYearBeg_ = MakeDateEdit(gbYear_, "deYearBeg");
    deYearEnd_ = MakeDateEdit(gbYear_, "deYearEnd");
    year->addRow(QStringLiteral("Начало года"), deYearBeg_);
    year->addRow(QStringLiteral("Конец года"), deYearEnd_);
    params->addRow(gbYear_);
    edCursValut_ = Named(new QLineEdit(gbParams_), "edCursValut");
    edMetod_ = Named(new QLineEdit(gbParams_), "edMetod");
    params->addRow(QStringLiteral("Курс валюты"), edCursValut_);
    params->addRow(QStringLiteral("Метод расчета"), edMetod_);
    auto* exempt = new QGroupBox(QStringLiteral("Освобождения по подоходному налогу :"), gbParams_);
    auto* exemptForm = new QFormLayout(exempt);
    edKMinZp_ = Named(new QLineEdit(exempt), "edKMinZp");
    edSumMinZp_ = Named(new QLineEdit(exempt), "edSumMinZp");
    edSum_ = Named(new QLineEdit(exempt), "edSum");
    exemptForm->addRow(QStringLiteral("Количество мин. ЗП"), edKMinZp_);
    exemptForm->addRow(QStringLiteral("Значение мин. ЗП"), edSumMinZp_);
    exemptForm->addRow(QStringLiteral("Необлагаемая сумма"), edSum_);
    params->addRow(exempt);
    FilterTypedChars(edDateBeg_, TypedKind::Date);
    for (QLineEdit* e : {edMetod_, edKMinZp_})
        FilterTypedChars(e, TypedKind::Integer);
    for (QLineEdit* e : {edCursValut_, edSumMinZp_, edSum_})
        FilterTypedChars(e, TypedKind::Float);
    right->addWidget(gbParams_);
    dgLines_ = new TDBGrid(this, QStringLiteral("dgLines"));
    dgLines_->Columns().Add(QStringLiteral("SUM"), QStringLiteral("Сумма к налогообложению"), 170);
    dgLines_->Columns().Add(QStringLiteral("SUMNAL"), QStringLiteral("Сумма со значения"), 140);
    dgLines_->Columns().Add(QStringLiteral("PROC"), QStringLiteral("Процент с превышения"), 150);
    dgLines_->SetReadOnly(true);
    right->addWidget(dgLines_);
    QToolButton* btLineDel = MakeToolButton(this, "btLineDel", QStringLiteral("Удалить строку"));
    right->addWidget(btLineDel, 0, Qt::AlignLeft);
    body->addLayout(right, 1);
    layout->addLayout(body);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    auto* btClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    btClose->setAutoDefault(false);
    bottom->addWidget(btClose);
    layout->addLayout(bottom);
    resize(760, 560);

    connect(btTipAdd, &QToolButton::clicked, this, guarded([this] { AddTip(); }));
    connect(btTipChange, &QToolButton::clicked, this, guarded([this] { RenameTip(); }));
    connect(btTipDel, &QToolButton::clicked, this, guarded([this] { DeleteTip(); }));
    connect(btTblAdd, &QToolButton::clicked, this, guarded([this] { AddTable(); }));
    connect(btTblChange_, &QToolButton::clicked, this, guarded([this] {
        if (editMode_)
            LeaveEditMode();
        else
            ChangeTable();
    }));
    connect(btTblDel, &QToolButton::clicked, this, guarded([this] { DeleteTable(); }));
    connect(btLineDel, &QToolButton::clicked, this, guarded([this] { DeleteLine(); }));
    connect(btClose, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrCancel); }));
    connect(cbTip_, &QComboBox::currentIndexChanged, this, guarded([this] {
        if (!filling_)
            TipChosen();
    }));
    connect(cbFYear_, &QCheckBox::toggled, this, [this](bool on) { gbYear_->setEnabled(on && editMode_); });
    // The begin date in the edit and in the picker follow each other.
    connect(deDateBeg_, &Tyq_DateEdit::dateChanged, this, [this](const QDate& d) {
        const QString text = DateToStr(FromQDate(d));
        if (edDateBeg_->text() != text)
            edDateBeg_->setText(text);
    });
    connect(edDateBeg_, &QLineEdit::textChanged, this, [this](const QString& text) {
        TDateTime d = 0;
        if (TryStrToDate(text, d) && deDateBeg_->date() != ToQDate(d))
            deDateBeg_->setDate(ToQDate(d));
    });

    dgDate_->SetDataSet(&DM()->tbaPN);
    dgLines_->SetDataSet(&DM()->tbaPNL);
    DM()->tbaPN.AddObserver(this);
    SetEditMode(false);
}

TFormSprPx::~TFormSprPx() { DM()->tbaPN.RemoveObserver(this); }

void TFormSprPx::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    RunGuarded([this] { FillTips(lastTip_); });
}

void TFormSprPx::FillTips(qint32 select)
{
    filling_ = true;
    cbTip_->clear();
    Cursor pnt(QStringLiteral("PNT"));
    pnt.Open();
    for (pnt.First(); !pnt.Eof(); pnt.Next())
        cbTip_->addItem(pnt[QStringLiteral("NAIM")].AsString(), pnt[QStringLiteral("TIP")].AsInteger());
    const int at = cbTip_->findData(select);
    cbTip_->setCurrentIndex(at >= 0 ? at : (cbTip_->count() > 0 ? 0 : -1));
    filling_ = false;
    TipChosen();
}

qint32 TFormSprPx::CurrentTip() const { return cbTip_->currentIndex() < 0 ? -1 : cbTip_->currentData().toInt(); }

void TFormSprPx::SelectTip(qint32 tip)
{
    const int at = cbTip_->findData(tip);
    if (at >= 0)
        cbTip_->setCurrentIndex(at);
}

void TFormSprPx::TipChosen()
{
    LeaveEditMode();
    lastTip_ = CurrentTip();
    Cursor& pnt = DM()->tbaPNT;
    if (lastTip_ >= 0)
        pnt.FindKey({Variant(lastTip_)});
    ShowParams();
}

void TFormSprPx::CursorChanged(Cursor&, CursorChange change)
{
    if (change == CursorChange::Scrolled || change == CursorChange::DataSetChanged)
        RunGuarded([this] { ShowParams(); });
}

void TFormSprPx::ShowParams()
{
    Cursor& pn = DM()->tbaPN;
    const bool has = pn.Active() && !pn.IsEmpty() && CurrentTip() >= 0;
    const auto date = [&](const char* f) { return has ? ToQDate(pn[f].AsDateTime()) : QDate(); };
    const auto text = [&](const char* f) { return has ? pn[f].AsString() : QString(); };
    deDateBeg_->setDate(date("DATEBEG"));
    edDateBeg_->setText(has ? DateToStr(pn[QStringLiteral("DATEBEG")].AsDateTime()) : QString());
    cbFYear_->setChecked(has && pn[QStringLiteral("FYEAR")].AsBoolean());
    deYearBeg_->setDate(date("YEARBEG"));
    deYearEnd_->setDate(date("YEAREND"));
    edCursValut_->setText(text("CURSVALUT"));
    edMetod_->setText(text("METOD"));
    edKMinZp_->setText(text("KMINZP"));
    edSumMinZp_->setText(text("SUMMINZP"));
    edSum_->setText(text("SUM"));
    gbYear_->setEnabled(editMode_ && cbFYear_->isChecked());
}

QList<Variant> TFormSprPx::TypedParams() const
{
    // An empty date is the "no date" an imported table may carry.
    const TDateTime dateBeg
        = edDateBeg_->text().trimmed().isEmpty() ? 0 : FieldDate(edDateBeg_->text(), FieldCaption(edDateBeg_));
    const auto number = [](QLineEdit* e) { return FieldFloat(e->text(), FieldCaption(e)); };
    if (cbFYear_->isChecked())
        RequirePeriod(FromQDate(deYearBeg_->date()), FromQDate(deYearEnd_->date()), gbYear_->title());
    return {Variant(cbFYear_->isChecked()), Variant::FromDate(FromQDate(deYearBeg_->date())),
        Variant::FromDate(FromQDate(deYearEnd_->date())), Variant(int(number(edMetod_))),
        Variant(int(number(edKMinZp_))), Variant(number(edSumMinZp_)), Variant(number(edSum_)),
        Variant(number(edCursValut_)), Variant::FromDate(dateBeg)};
}

bool TFormSprPx::ParamsChanged(const QList<Variant>& values) const
{
    Cursor& pn = DM()->tbaPN;
    for (int i = 0; i < kTypedFields.size(); ++i)
        if (values[i].AsString() != pn[kTypedFields[i]].AsVariant().AsString())
            return true;
    return false;
}

void TFormSprPx::StoreParams(const QList<Variant>& values) { SetRecordValues(DM()->tbaPN, kTypedFields, values); }

void TFormSprPx::RestoreLines()
{
    {
        Transaction tr({&DM()->PNL});
        PrimaryIndexScope index(DM()->PNL);
        DeleteRange(DM()->PNL, {Variant(editedNum_)});
        for (const QList<Variant>& line : editedLines_)
            AppendRecordValues(
                DM()->PNL, editedNum_, {QStringLiteral("SUM"), QStringLiteral("SUMNAL"), QStringLiteral("PROC")}, line);
        tr.Commit();
    }
    RefreshTaxCursors();
}

void TFormSprPx::SetEditMode(bool on)
{
    Cursor& pn = DM()->tbaPN;
    if (on && !editMode_) {
        editedNum_ = pn.Active() && !pn.IsEmpty() ? pn[QStringLiteral("NUM")].AsInteger() : 0;
        editedLines_ = ReadLines(editedNum_);
        paramsState_ = EditState({gbParams_});
    }
    editMode_ = on;
    dgLines_->SetReadOnly(!on);
    gbParams_->setEnabled(on);
    gbYear_->setEnabled(on && cbFYear_->isChecked());
    btTblChange_->setChecked(on);
    if (auto* lineDel = findChild<QToolButton*>(QStringLiteral("btLineDel")))
        lineDel->setEnabled(on);
    if (on)
        dgLines_->setFocus();
}

bool TFormSprPx::HasChanges() const
{
    const auto numbers = [](const QList<QList<Variant>>& lines) {
        QList<QList<double>> out;
        for (const QList<Variant>& line : lines)
            out.append({line[0].AsDouble(), line[1].AsDouble(), line[2].AsDouble()});
        return out;
    };
    const Cursor& pnl = DM()->tbaPNL;
    return EditState({gbParams_}) != paramsState_
        || (dgLines_->EditorMode() && dgLines_->InplaceEditor()->TextModified())
        || (pnl.State() != CursorState::Browse && pnl.Modified())
        || numbers(ReadLines(editedNum_)) != numbers(editedLines_);
}

void TFormSprPx::SaveChanges()
{
    if (dgLines_->EditorMode() && !dgLines_->PostEditor())
        Abort();
    Cursor& pnl = DM()->tbaPNL;
    if (pnl.State() != CursorState::Browse)
        pnl.CheckBrowseMode();
    const QList<Variant> values = TypedParams();
    if (ParamsChanged(values))
        StoreParams(values);
}

void TFormSprPx::DropChanges()
{
    dgLines_->CancelRecord();
    RestoreLines();
}

void TFormSprPx::LeaveEditMode()
{
    if (!editMode_)
        return;
    Cursor& pn = DM()->tbaPN;
    // Every way out of the change (Esc, "Изменить", "Закрыть", the title bar's
    // button) comes here and asks the same question before a value is checked.
    if (pn.Active() && !pn.IsEmpty() && pn[QStringLiteral("NUM")].AsInteger() == editedNum_ && HasChanges()) {
        const QString body = QStringLiteral("Таблица подоходного налога :\r\n\"%1\" от %2")
                                 .arg(cbTip_->currentText(), DateToStr(pn[QStringLiteral("DATEBEG")].AsDateTime()));
        if (!SaveOrDropChanges(
                body, [this] { SaveChanges(); }, [this] { DropChanges(); }))
            Abort();
    } else {
        dgLines_->CancelRecord();
    }
    SetEditMode(false);
    ShowParams();
}

void TFormSprPx::AddTip()
{
    RequireOperation(opEditIncomeTax);
    LeaveEditMode();
    QString name;
    if (!InputString(QStringLiteral("Наименование нового типа таблицы подоходного налога"), name))
        return;
    const int tip = AppendNumberedRecord(DM()->tbaPNT, {QStringLiteral("NAIM")}, {Variant(name)});
    FillTips(tip);
}

void TFormSprPx::RenameTip()
{
    RequireOperation(opEditIncomeTax);
    LeaveEditMode();
    if (CurrentTip() < 0)
        return;
    QString name = cbTip_->currentText();
    if (!InputString(QStringLiteral("Измените наименование типа таблицы подоходного налога"), name)
        || name == cbTip_->currentText())
        return;
    SetRecordValuesByKey(DM()->tbaPNT, {Variant(CurrentTip())}, {QStringLiteral("NAIM")}, {Variant(name)});
    FillTips(CurrentTip());
}

void TFormSprPx::DeleteTip()
{
    RequireOperation(opEditIncomeTax);
    LeaveEditMode();
    const qint32 tip = CurrentTip();
    if (tip < 0)
        return;
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    for (sr.First(); !sr.Eof(); sr.Next())
        if (sr[QStringLiteral("SPNTABL")].AsInteger() == tip)
            ErrorAbort(QStringLiteral("Удаление невозможно !\r\n\r\nТаблица используется работником №")
                + sr[QStringLiteral("TABNUM")].AsString());
    if (!ConfirmDelete(QStringLiteral("[%1]  \"%2\"").arg(tip).arg(cbTip_->currentText()), QString()))
        return;
    {
        Transaction tr({&DM()->PNT, &DM()->PN, &DM()->PNL});
        DeleteTables(tip, 0);
        PrimaryIndexScope index(DM()->PNT);
        if (DM()->PNT.FindKey({Variant(tip)}))
            DM()->PNT.Delete();
        tr.Commit();
    }
    RefreshTaxCursors();
    FillTips(-1);
}

void TFormSprPx::AddTable()
{
    RequireOperation(opEditIncomeTax);
    LeaveEditMode();
    const qint32 tip = CurrentTip();
    if (tip < 0)
        return;
    TDateTime date = Date();
    if (!InputDate(QStringLiteral("Дата новой таблицы подоходного налога"), date))
        return;
    // The last table of the type lends its parameters and lines.
    QList<Variant> params;
    QList<QList<Variant>> lines;
    {
        Cursor last(QStringLiteral("PN"));
        last.Open();
        last.SetIndexName(QStringLiteral("TIP"));
        last.SetRange({Variant(tip)}, {Variant(tip)});
        if (!last.IsEmpty()) {
            last.Last();
            for (const QString& f : kParamFields)
                params << last[f].AsVariant();
            lines = ReadLines(last[QStringLiteral("NUM")].AsInteger());
        }
    }
    if (params.isEmpty()) {
        int year = 0, month = 0, day = 0;
        DecodeDate(date, year, month, day);
        params = {Variant(true), Variant(EncodeDate(year, 1, 1)), Variant(EncodeDate(year, 12, 31)), Variant(2),
            Variant(4), Variant(100.0), Variant(0.0), Variant(1.0)};
        // The calculation refuses a scale of fewer than two lines: two lines of one flat rate.
        lines = {{Variant(0.0), Variant(0.0), Variant(10.0)}, {Variant(1000000.0), Variant(100000.0), Variant(10.0)}};
    }
    try {
        Transaction tr({&DM()->PN, &DM()->PNL});
        PrimaryIndexScope index(DM()->PN);
        const int num = int(DM()->PN.NextKeyNumber());
        QStringList names{QStringLiteral("TIP"), QStringLiteral("DATEBEG")};
        names << kParamFields;
        QList<Variant> values{Variant(tip), Variant(date)};
        values << params;
        AppendRecordValues(DM()->PN, num, names, values);
        for (const QList<Variant>& line : lines)
            AppendRecordValues(
                DM()->PNL, num, {QStringLiteral("SUM"), QStringLiteral("SUMNAL"), QStringLiteral("PROC")}, line);
        tr.Commit();
    } catch (const EAbort&) {
        throw;
    } catch (const Exception&) {
        RefreshTaxCursors();
        ErrorAbort(QStringLiteral("Ошибка записи данных"));
    }
    RefreshTaxCursors();
    DM()->tbaPN.FindKey({Variant(tip), Variant(date)});
}

void TFormSprPx::ChangeTable()
{
    RequireOperation(opEditIncomeTax);
    if (DM()->tbaPN.IsEmpty() || CurrentTip() < 0)
        return;
    SetEditMode(true);
}

void TFormSprPx::DeleteTable()
{
    RequireOperation(opEditIncomeTax);
    LeaveEditMode();
    Cursor& pn = DM()->tbaPN;
    if (pn.IsEmpty() || CurrentTip() < 0)
        return;
    const qint32 num = pn[QStringLiteral("NUM")].AsInteger();
    if (!ConfirmDelete(DateToStr(pn[QStringLiteral("DATEBEG")].AsDateTime()), QString()))
        return;
    {
        Transaction tr({&DM()->PN, &DM()->PNL});
        DeleteTables(CurrentTip(), num);
        tr.Commit();
    }
    RefreshTaxCursors();
}

void TFormSprPx::DeleteLine()
{
    // A change of the table like any other: the right, and the table being changed.
    RequireOperation(opEditIncomeTax);
    if (!editMode_)
        ErrorAbort(QStringLiteral("Строки удаляются в режиме изменения таблицы (кнопка \"Изменить\")"));
    Cursor& pnl = DM()->tbaPNL;
    if (pnl.IsEmpty())
        return;
    if (!AskYesNo(QStringLiteral("Удалить текущую строку?"), QString(), false))
        return;
    if (pnl.State() != CursorState::Browse)
        pnl.Cancel();
    pnl.Delete();
}

bool TFormSprPx::CanLeave()
{
    Cursor pnt(QStringLiteral("PNT"));
    pnt.Open();
    Cursor pn(QStringLiteral("PN"));
    pn.Open();
    for (pn.First(); !pn.Eof(); pn.Next()) {
        if (ReadLines(pn[QStringLiteral("NUM")].AsInteger()).size() >= 2)
            continue;
        const qint32 tip = pn[QStringLiteral("TIP")].AsInteger();
        const QString name = pnt.FindKey({Variant(tip)}) ? pnt[QStringLiteral("NAIM")].AsString() : QString();
        const QString text
            = Format(QStringLiteral("Количество строк таблицы подоходного налога не может быть менее 2-х\r\nТаблица "
                                    ":\"%s\""),
                name);
        if (AskYesNo(text, QStringLiteral("Вернуться к редактированию справочника ?"), true)) {
            SelectTip(tip);
            DM()->tbaPN.FindKey({Variant(tip), pn[QStringLiteral("DATEBEG")].AsVariant()});
            return false;
        }
        return true;
    }
    return true;
}

void TFormSprPx::done(int result)
{
    bool leave = false; // a refused value keeps the book open
    RunGuarded([&] {
        LeaveEditMode();
        leave = CanLeave();
    });
    if (!leave)
        return;
    // The calculation reads the edited tables on its next use.
    if (T_PxList* list = PxList())
        list->SetLoaded(false);
    TForm::done(result);
}

bool TFormSprPx::FormKeyDown(QKeyEvent* event)
{
    if (event->type() == QEvent::KeyPress && event->key() == Qt::Key_Escape) {
        if (dgLines_->EditorMode())
            return false;
        if (editMode_)
            RunGuarded([this] { LeaveEditMode(); });
        else
            SetModalResult(mrCancel);
        return true;
    }
    return false;
}

void ShowSprPx()
{
    RequireOperation(opIncomeTaxBook);
    TFormSprPx form;
    form.ShowModal();
}
