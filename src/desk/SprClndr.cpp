#include "desk/SprClndr.h"

#include "data/AppContext.h"
#include "data/Calendar.h"
#include "data/Rights.h"
#include "db/Cursor.h"
#include "foundation/DateFuncs.h"
#include "foundation/Messages.h"
#include "foundation/TextMeasure.h"
#include "foundation/ui/base/Beep.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/dialogs/GetMean.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/FieldValues.h"
#include "foundation/ui/grids/YQRGrids.h"
#include "platform/Clock.h"
#include "platform/FormatSettings.h"
#include "platform/SysUtils.h"
#include "platform/Variant.h"

#include <QComboBox>
#include <QFontInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

Tyq_DateEdit* DatedEdit(QWidget* parent, const char* name, TDateTime value)
{
    Tyq_DateEdit* e = MakeDateEdit(parent, name);
    e->setDate(ToQDate(value));
    return e;
}

const QString kNewName = QStringLiteral("Введите наименование нового календаря");
const QString kBadDates = QStringLiteral("Определите правильные даты календаря");
const QString kUnknown = QStringLiteral("???");

// The first and last day of the clock's year.
void ThisYear(TDateTime& beg, TDateTime& end)
{
    int y = 0, m = 0, d = 0;
    DecodeDate(Date(), y, m, d);
    beg = EncodeDate(y, 1, 1);
    end = EncodeDate(y, 12, 31);
}

QString Quoted(const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

} // namespace

// ---------------------------------------------------------------- dialogs

TFormNewCndrT::TFormNewCndrT(QWidget* parent) : TFormNewInput(parent, QStringLiteral("FormNewCndrT"))
{
    setWindowTitle(QStringLiteral("Новый календарь"));
    lbMode->setText(QStringLiteral("Новый календарь"));
    TDateTime beg = 0, end = 0;
    ThisYear(beg, end);
    auto* layout = new QVBoxLayout(pnClient);
    edName = new QLineEdit(kNewName, pnClient);
    edName->setObjectName(QStringLiteral("edName"));
    edName->setMaxLength(60);
    layout->addWidget(edName);
    auto* kinds = new QGroupBox(QStringLiteral("Тип календаря"), pnClient);
    kinds->setObjectName(QStringLiteral("rgKind"));
    auto* kindsLayout = new QHBoxLayout(kinds);
    const QString names[3] = {QStringLiteral("Помесячный"), QStringLiteral("Понедельный"), QStringLiteral("По N дней")};
    for (int i = 0; i < 3; ++i) {
        rbKind[i] = new QRadioButton(names[i], kinds);
        rbKind[i]->setObjectName(QStringLiteral("rbKind%1").arg(i));
        kindsLayout->addWidget(rbKind[i]);
    }
    rbKind[0]->setChecked(true);
    layout->addWidget(kinds);
    auto* dates = new QFormLayout;
    deBeg = DatedEdit(pnClient, "deBeg", beg);
    deEnd = DatedEdit(pnClient, "deEnd", end);
    dates->addRow(QStringLiteral("Начало"), deBeg);
    dates->addRow(QStringLiteral("Конец"), deEnd);
    layout->addLayout(dates);
    setMinimumWidth(420);
}

int TFormNewCndrT::KindIndex() const
{
    for (int i = 0; i < 3; ++i)
        if (rbKind[i]->isChecked())
            return i;
    return 0;
}

bool TFormNewCndrT::CanAccept()
{
    if (edName->text().trimmed().isEmpty() || edName->text() == kNewName) {
        ShowError(QStringLiteral("Введите правильное наименование календаря"));
        return false;
    }
    // A one-day period is a valid table.
    if (deBeg->date() > deEnd->date()) {
        ShowError(kBadDates);
        return false;
    }
    return true;
}

TFormNewCndrP::TFormNewCndrP(const QString& calendarName, QWidget* parent)
    : TFormNewInput(parent, QStringLiteral("FormNewCndrP"))
{
    setWindowTitle(QStringLiteral("Новый период"));
    lbMode->setText(QStringLiteral("Новый период"));
    TDateTime beg = 0, end = 0;
    ThisYear(beg, end);
    auto* layout = new QVBoxLayout(pnClient);
    lbName = new QLabel(Quoted(calendarName), pnClient);
    lbName->setObjectName(QStringLiteral("lbName"));
    layout->addWidget(lbName);
    auto* dates = new QFormLayout;
    deBeg = DatedEdit(pnClient, "deBeg", beg);
    deEnd = DatedEdit(pnClient, "deEnd", end);
    dates->addRow(QStringLiteral("Начало"), deBeg);
    dates->addRow(QStringLiteral("Конец"), deEnd);
    layout->addLayout(dates);
    setMinimumWidth(360);
}

bool TFormNewCndrP::CanAccept()
{
    if (deBeg->date() > deEnd->date()) {
        ShowError(kBadDates);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- the book

TFormSprClndr::TFormSprClndr(QWidget* parent) : TForm(parent, QStringLiteral("FormSprClndr")), list_(CalendarList())
{
    SetButtonMnemonics(true);
    setWindowTitle(QStringLiteral("Справочник календарей"));
    SetKeyPreview(true);
    auto* layout = new QVBoxLayout(this);
    auto* header = new QLabel(QStringLiteral("Календари"), this);
    header->setObjectName(QStringLiteral("lbHeader"));
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    layout->addWidget(header);

    auto* tools = new QHBoxLayout;
    tools->addWidget(new QLabel(QStringLiteral("  Тип :  "), this));
    btTipAdd = MakeToolButton(this, "btTipAdd", QStringLiteral("Новый"));
    btTipChange = MakeToolButton(this, "btTipChange", QStringLiteral("Изменить"));
    btTipDel = MakeToolButton(this, "btTipDel", QStringLiteral("Удалить"));
    tools->addWidget(btTipAdd);
    tools->addWidget(btTipChange);
    tools->addWidget(btTipDel);
    tools->addSpacing(16);
    tools->addWidget(new QLabel(QStringLiteral("  Период : "), this));
    btTblAdd = MakeToolButton(this, "btTblAdd", QStringLiteral("Новый"));
    btTblChange = MakeToolButton(this, "btTblChange", QStringLiteral("Изменить"));
    btTblChange->setCheckable(true);
    btTblDel = MakeToolButton(this, "btTblDel", QStringLiteral("Удалить"));
    tools->addWidget(btTblAdd);
    tools->addWidget(btTblChange);
    tools->addWidget(btTblDel);
    tools->addStretch();
    layout->addLayout(tools);

    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    cbTip = new QComboBox(this);
    cbTip->setObjectName(QStringLiteral("cbTip"));
    cbTip->setMinimumWidth(200);
    left->addWidget(cbTip);
    dgDate = new Tyq_DrawGrid(this);
    dgDate->setObjectName(QStringLiteral("dgDate"));
    dgDate->SetColCount(2);
    dgDate->SetFixedCols(0);
    dgDate->SetRowCount(2);
    dgDate->SetFixedRows(1);
    dgDate->SetOptions(TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRowSelect});
    dgDate->setMinimumWidth(200);
    left->addWidget(dgDate);
    body->addLayout(left);
    dgTable = new Tyq_DrawGrid(this);
    dgTable->setObjectName(QStringLiteral("dgTable"));
    dgTable->SetColCount(4);
    dgTable->SetRowCount(13);
    dgTable->SetFixedRows(1);
    dgTable->SetFixedCols(1);
    dgTable->SetDefaultColWidth(110);
    body->addWidget(dgTable, 1);
    layout->addLayout(body, 1);
    resize(760, 470);

    headerFont_ = dgTable->font();
    headerFont_.setBold(true);
    labelFont_ = headerFont_;

    dgDate->OnDrawCell = [this](QObject*, int c, int r, const QRect& rect, TGridDrawState) {
        GuardedPaint([&] { DrawDateCell(c, r, rect); });
    };
    dgTable->OnDrawCell = [this](QObject*, int c, int r, const QRect& rect, TGridDrawState) {
        GuardedPaint([&] { DrawTableCell(c, r, rect); });
    };
    dgDate->OnSelectCell = [this](QObject*, int, int row, bool&) {
        if (!filling_)
            RunGuarded([&] { SelectTableRow(row); });
    };
    dgTable->OnGetEditText = [this](QObject*, int c, int r, QString& value) { value = TableCellText(c, r); };
    dgTable->OnSetEditText = [this](QObject*, int c, int r, const QString& value) { StoreCell(c, r, value); };
    dgTable->OnKeyPress = [](QObject*, QChar& key) {
        if (key == QLatin1Char(',') || key == QLatin1Char('.'))
            key = FormatSettings().DecimalSeparator;
        else if (key.isPrint() && (!AcceptsTypedChar(TypedKind::Float, key) || !key.isDigit())) {
            MessageBeep(); // days, hours and the day's length: numbers, never below zero
            key = QChar();
        }
    };
    dgDate->installEventFilter(this);

    const auto action = [this](void (TFormSprClndr::*method)()) {
        return guarded([this, method] {
            LeaveEditMode();
            (this->*method)();
        });
    };
    connect(btTipAdd, &QToolButton::clicked, this, action(&TFormSprClndr::AddTip));
    connect(btTipChange, &QToolButton::clicked, this, action(&TFormSprClndr::RenameTip));
    connect(btTipDel, &QToolButton::clicked, this, action(&TFormSprClndr::DeleteTip));
    connect(btTblAdd, &QToolButton::clicked, this, action(&TFormSprClndr::AddTable));
    connect(btTblDel, &QToolButton::clicked, this, action(&TFormSprClndr::DeleteTable));
    connect(btTblChange, &QToolButton::clicked, this, guarded([this] { ToggleEditMode(); }));
    connect(cbTip, &QComboBox::currentIndexChanged, this, guarded([this](int index) {
        if (!filling_)
            ChooseTip(index);
    }));

    list_->AddNotify(TNotifyEvent(this, &TFormSprClndr::ListChanged));
    Refresh();
}

TFormSprClndr::~TFormSprClndr() { list_->RemoveNotify(TNotifyEvent(this, &TFormSprClndr::ListChanged)); }

void TFormSprClndr::Changed()
{
    list_->Changed();
    // Outside the event loop the list calls nobody.
    if (!ApplicationRunning())
        ListChanged(nullptr);
}

void TFormSprClndr::ListChanged(TObject*)
{
    const TDateTime date = tableDate_;
    // The list may have been read again: the old objects are gone.
    tip_ = nullptr;
    table_ = nullptr;
    Refresh();
    if (tip_ && date > 0) {
        table_ = tip_->FindTable(date);
        tableDate_ = table_ ? table_->DateBeg : 0;
        filling_ = true;
        dgDate->SetRow(table_ ? tip_->IndexOfObject(table_) + 1 : 1);
        filling_ = false;
    }
    UpdateActions();
    dgDate->InvalidateGrid();
    dgTable->InvalidateGrid();
}

void TFormSprClndr::Refresh()
{
    const int previous = cbTip->currentIndex();
    TStringItems items;
    list_->FillStrings(items);
    filling_ = true;
    cbTip->clear();
    for (const TStringItem& item : items)
        cbTip->addItem(item.Text, QVariant::fromValue(item.Object));
    const int index = previous >= 0 && previous < cbTip->count() ? previous : (cbTip->count() > 0 ? 0 : -1);
    cbTip->setCurrentIndex(index);
    filling_ = false;
    ChooseTip(index);
}

void TFormSprClndr::ChooseTip(int index)
{
    LeaveEditMode();
    tip_ = nullptr;
    tipNum_ = -1;
    if (index >= 0 && index < cbTip->count()) {
        tipNum_ = qint32(cbTip->itemData(index).toLongLong());
        tip_ = list_->FindTip(tipNum_);
    }
    const int tables = tip_ ? tip_->Count() : 0;
    filling_ = true;
    dgDate->SetRowCount(std::max(tables + 1, 2));
    dgDate->SetRow(1);
    filling_ = false;
    table_ = tables > 0 ? tip_->GetTable(0) : nullptr;
    tableDate_ = table_ ? table_->DateBeg : 0;
    UpdateActions();
    dgDate->InvalidateGrid();
    dgTable->InvalidateGrid();
}

void TFormSprClndr::SelectTableRow(int row)
{
    LeaveEditMode();
    table_ = tip_ && row >= 1 && row <= tip_->Count() ? tip_->GetTable(row - 1) : nullptr;
    tableDate_ = table_ ? table_->DateBeg : 0;
    UpdateActions();
    dgTable->InvalidateGrid();
}

void TFormSprClndr::UpdateActions()
{
    btTipChange->setEnabled(tip_ != nullptr);
    btTipDel->setEnabled(tip_ != nullptr);
    btTblAdd->setEnabled(tip_ != nullptr);
    btTblDel->setEnabled(table_ != nullptr);
    btTblChange->setEnabled(table_ != nullptr);
}

void TFormSprClndr::SetEditMode(bool on)
{
    editMode_ = on;
    TGridOptions options = dgTable->Options();
    if (on)
        options = options.Without(goRowSelect).With(goEditing).With(goAlwaysShowEditor);
    else
        options = options.With(goRowSelect).Without(goEditing).Without(goAlwaysShowEditor);
    dgTable->SetOptions(options);
    btTblChange->setChecked(on);
    dgTable->InvalidateGrid();
}

void TFormSprClndr::LeaveEditMode()
{
    // Browse mode first: the closing editor stores its text.
    SetEditMode(false);
    if (!table_ || !table_->IsModified())
        return;
    const int choice = ChooseButton(QStringLiteral("Текущий календарь изменен"), QString(),
        {Variant(QStringLiteral("Сохранить")), Variant(QStringLiteral("Не сохранять"))});
    if (choice == 1)
        table_->Save();
    else
        table_->Reload();
    Changed();
}

void TFormSprClndr::ToggleEditMode()
{
    RequireOperation(opEditCalendar);
    if (editMode_)
        LeaveEditMode();
    else if (table_)
        SetEditMode(true);
    dgTable->setFocus();
}

QString TFormSprClndr::DateCellText(int col, int row) const
{
    if (row == 0)
        return col == 0 ? QStringLiteral("Начало") : QStringLiteral("Конец");
    if (!tip_ || row > tip_->Count())
        return kUnknown;
    const T_C_Table* t = tip_->GetTable(row - 1);
    return DateToStr(col == 0 ? t->DateBeg : t->DateEnd);
}

QString TFormSprClndr::TableCellText(int col, int row) const
{
    static const QString headers[4] = {QStringLiteral("Период"), QStringLiteral("Рабочих дней"),
        QStringLiteral("Рабочих часов"), QStringLiteral("Длительность раб. дня")};
    if (row == 0)
        return col >= 0 && col < 4 ? headers[col] : QString();
    const T_C_Line* line = table_ && row <= table_->Count() ? table_->GetLine(row - 1) : nullptr;
    if (col == 0) {
        // A month's line is named by its own month, whichever month the table starts in.
        if (line && tip_ && tip_->Kind == ckMonthly)
            return MonthNameByNum(MonthOfDate(line->DateBeg()));
        return MonthNameByNum(row);
    }
    if (!line)
        return kUnknown;
    const double value = col == 1 ? line->WorkDays() : col == 2 ? line->WorkHours() : line->DayLength();
    return Variant(value).AsString();
}

void TFormSprClndr::DrawDateCell(int col, int row, const QRect& rect)
{
    QPainter* canvas = dgDate->Canvas();
    DrawCellText(canvas, rect, DateCellText(col, row), 2, true, 1, 2);
}

void TFormSprClndr::SizeTableHeader()
{
    int height = 0;
    for (int c = 0; c < 4; ++c)
        height = std::max(height,
            WrappedTextHeight(TableCellText(c, 0), headerFont_, dgTable->ColWidths(c))
                - (-QFontInfo(headerFont_).pixelSize() + headerFont_.pointSize()));
    height += 4;
    int width = 0;
    for (int r = 0; r < 13; ++r)
        width = std::max(width, TextWidthInFont(TableCellText(0, r), r == 0 ? headerFont_ : labelFont_) + 16);
    width += 4;
    if (height > 0 && dgTable->RowHeights(0) != std::max(height, dgTable->DefaultRowHeight()))
        dgTable->SetRowHeights(0, std::max(height, dgTable->DefaultRowHeight()));
    if (dgTable->ColWidths(0) != width)
        dgTable->SetColWidths(0, width);
}

void TFormSprClndr::DrawTableCell(int col, int row, const QRect& rect)
{
    if (col == 0 && row == 0)
        SizeTableHeader();
    QPainter* canvas = dgTable->Canvas();
    const QString text = TableCellText(col, row);
    if (row == 0) {
        canvas->setFont(headerFont_);
        DrawCellText(canvas, rect, text, 2, true, 0, 2);
    } else if (col == 0) {
        canvas->setFont(labelFont_);
        canvas->setPen(palette().color(QPalette::Highlight));
        DrawCellText(canvas, rect, text, 2, false, 0, 0);
    } else {
        canvas->setFont(dgTable->font());
        DrawCellText(canvas, rect, text, 2, false, 0, 2);
    }
}

void TFormSprClndr::StoreCell(int col, int row, const QString& text)
{
    if (!table_ || row < 1 || row > table_->Count() || col < 1 || col > 3 || text.isEmpty())
        return;
    T_C_Line* line = table_->GetLine(row - 1);
    double value = 0;
    try {
        value = FieldFloat(text, FieldAt(TableCellText(col, 0), row));
    } catch (const Exception& e) {
        ShowError(e.Message());
        return;
    }
    if (col == 1)
        line->SetWorkDays(value);
    else if (col == 2)
        line->SetWorkHours(value);
    else
        line->SetDayLength(value);
}

void TFormSprClndr::AddTip()
{
    RequireOperation(opAddCalendar);
    TFormNewCndrT form;
    if (form.ShowModal() != mrOk)
        return;
    T_CalendarTip* tip = list_->AddTip(quint8(form.KindIndex() + 1));
    try {
        tip->Name = form.edName->text().trimmed();
        tip->AddTable(FromQDate(form.deBeg->date()), FromQDate(form.deEnd->date()), 10);
        tip->Save();
    } catch (...) {
        list_->FreeObject(tip);
        throw;
    }
    const qint32 number = tip->Number;
    Changed();
    const int at = cbTip->findData(QVariant::fromValue(qint64(number)));
    if (at >= 0 && at != cbTip->currentIndex())
        cbTip->setCurrentIndex(at);
}

void TFormSprClndr::RenameTip()
{
    RequireOperation(opEditCalendar);
    if (!tip_)
        return;
    QString name = tip_->Name;
    if (!InputString(QStringLiteral("Введите новое наименование типа календаря"), name))
        return;
    tip_->Name = name;
    tip_->Save();
    cbTip->setItemText(cbTip->currentIndex(), name);
    Changed();
}

void TFormSprClndr::DeleteTip()
{
    RequireOperation(opDeleteCalendar);
    if (!tip_)
        return;
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    for (sr.First(); !sr.Eof(); sr.Next())
        if (sr[QStringLiteral("CALENDAR")].AsInteger() == tipNum_)
            ErrorAbort(QStringLiteral("Удаление невозможно !\r\n\r\nКалендарь используется работником №")
                + sr[QStringLiteral("TABNUM")].AsString());
    if (!ConfirmDelete(QStringLiteral("[%1]  %2").arg(tipNum_).arg(Quoted(tip_->Name)), QString()))
        return;
    tip_->DeleteFromBase();
    list_->FreeObject(tip_);
    tip_ = nullptr;
    table_ = nullptr;
    tableDate_ = 0;
    Changed();
}

void TFormSprClndr::AddTable()
{
    RequireOperation(opAddCalendar);
    if (!tip_)
        return;
    TFormNewCndrP form(tip_->Name);
    if (form.ShowModal() != mrOk)
        return;
    const TDateTime beg = FromQDate(form.deBeg->date());
    if (tip_->FindTable(beg) && tip_->FindTable(beg)->DateBeg == beg)
        ErrorAbort(Format(QStringLiteral("Календарь №%d уже имеет таблицу от \"%s\""), tipNum_, DateToStr(beg)));
    tip_->AddTable(beg, FromQDate(form.deEnd->date()), 10);
    tip_->Save();
    tableDate_ = beg;
    Changed();
}

void TFormSprClndr::DeleteTable()
{
    RequireOperation(opDeleteCalendar);
    if (!tip_ || !table_)
        return;
    if (tip_->Count() < 2)
        ErrorAbort(QStringLiteral("Удаление невозможно !\r\n\r\nКалендарь не может иметь менее одной таблицы"));
    if (!ConfirmDelete(DateToStr(table_->DateBeg) + QStringLiteral(" - ") + DateToStr(table_->DateEnd), QString()))
        return;
    table_->DeleteFromBase();
    tip_->FreeObject(table_);
    table_ = nullptr;
    tableDate_ = 0;
    Changed();
}

void TFormSprClndr::SizeDateColumns()
{
    const int width = std::max(DateMaskWidth(dgDate->font()) + 8, (dgDate->viewport()->width() - 1) / 2);
    if (dgDate->DefaultColWidth() != width)
        dgDate->SetDefaultColWidth(width);
}

bool TFormSprClndr::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == dgDate && event->type() == QEvent::Resize)
        SizeDateColumns();
    return TForm::eventFilter(watched, event);
}

void TFormSprClndr::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    SetEditMode(false);
    RunGuarded([this] { Refresh(); });
    QTimer::singleShot(0, this, [this] { SizeDateColumns(); });
}

bool TFormSprClndr::FormKeyDown(QKeyEvent* event)
{
    if (event->type() == QEvent::KeyPress && event->key() == Qt::Key_Escape) {
        if (editMode_)
            RunGuarded([this] { LeaveEditMode(); });
        else
            SetModalResult(mrCancel);
        return true;
    }
    return false;
}

void TFormSprClndr::done(int result)
{
    RunGuarded([this] { LeaveEditMode(); });
    TForm::done(result);
}

void ShowSprClndr()
{
    TFormSprClndr form;
    form.ShowModal();
}
