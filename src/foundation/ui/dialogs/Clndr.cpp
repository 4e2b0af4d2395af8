#include "foundation/ui/dialogs/Clndr.h"
#include "foundation/DateFuncs.h"
#include "foundation/ui/base/FormFuncs.h"
#include "platform/Clock.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QToolButton>

namespace {
constexpr int kYears = 6;
constexpr int kMonths = 12;
constexpr int kCellWidth = 50;
constexpr int kCellHeight = 20;
constexpr int kMargin = 6;
constexpr int kStrip = 30;
constexpr int kHeading = 22;

const QColor kNavy(0, 0, 0x80);

QPointer<TFormMonthCalendar> g_picker;

void SetTextColour(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    w->setPalette(pal);
}

QLabel* MakeBoldLabel(QWidget* parent, const char* name, Qt::Alignment alignment)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    label->setAlignment(alignment | Qt::AlignVCenter);
    // Clicks belong to the area under the label.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}
} // namespace

TFormMonthCalendar::TFormMonthCalendar(QWidget* parent) : TForm(parent, QStringLiteral("FormMonthCalendar"))
{
    setWindowTitle(QStringLiteral("Выбор месяца"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    SetKeyPreview(true);

    const int gridWidth = kYears * kCellWidth;
    // The arrow buttons are square: the strip's height less 2, 1 pixel in.
    const int arrow = kStrip - 2;
    sbLeft = new QToolButton(this);
    sbLeft->setObjectName(QStringLiteral("sbLeft"));
    sbLeft->setArrowType(Qt::LeftArrow);
    sbLeft->setGeometry(kMargin + 1, kMargin + 1, arrow, arrow);
    sbRight = new QToolButton(this);
    sbRight->setObjectName(QStringLiteral("sbRight"));
    sbRight->setArrowType(Qt::RightArrow);
    sbRight->setGeometry(kMargin + gridWidth - 1 - arrow, kMargin + 1, arrow, arrow);
    for (QToolButton* b : {sbLeft, sbRight}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(false);
    }

    bvMonth = new Tyq_Bevel(this);
    bvMonth->setObjectName(QStringLiteral("bvMonth"));
    bvMonth->setGeometry(kMargin + kStrip, kMargin, gridWidth - 2 * kStrip, kStrip);
    bvMonth->setCursor(Qt::PointingHandCursor);
    auto* labels = new QHBoxLayout(bvMonth);
    labels->setContentsMargins(4, 0, 4, 0);
    labels->setSpacing(8);
    lbm = MakeBoldLabel(bvMonth, "lbm", Qt::AlignRight);
    lby = MakeBoldLabel(bvMonth, "lby", Qt::AlignLeft);
    labels->addWidget(lbm, 1);
    labels->addWidget(lby, 1);

    const int top = kMargin + kStrip + 4;
    hc = new Tyq_Bevel(this);
    hc->setObjectName(QStringLiteral("hc"));
    hc->setGeometry(kMargin, top, gridWidth, kHeading);
    hc->SetCols(kYears);
    hc->SetOptions({boSelShow});
    hc->SetSelColor(Qt::blue);
    QFont headingFont = hc->font();
    headingFont.setBold(true);
    hc->setFont(headingFont);
    SetTextColour(hc, kNavy);

    bv = new Tyq_Bevel(this);
    bv->setObjectName(QStringLiteral("bv"));
    bv->setGeometry(kMargin, top + kHeading + 2, gridWidth, kMonths * kCellHeight);
    bv->SetCols(kYears);
    bv->SetRows(kMonths);
    bv->SetOptions({boSelShow});
    bv->SetSelColor(Qt::red);
    QStringList months;
    for (int m = 1; m <= kMonths; ++m)
        months.append(MonthNameByNum(m).left(3));
    bv->SetCaps(months);

    setFixedSize(gridWidth + 2 * kMargin, bv->geometry().bottom() + 1 + 4);

    connect(sbLeft, &QToolButton::clicked, this, guarded([this] { MoveSelection(Qt::Key_Left, false); }));
    connect(sbRight, &QToolButton::clicked, this, guarded([this] { MoveSelection(Qt::Key_Right, false); }));
    bvMonth->OnClick = [this](QObject*) { RunGuarded([this] { Confirm(); }); };
    bv->OnChangeSel = [this](QObject*, int col, int row) { RunGuarded([&] { SelectCell(col, row); }); };
    hc->OnChangeSel = [this](QObject*, int col, int) { RunGuarded([&] { SelectCell(col, bv->Row()); }); };
    bv->OnDblClick = [this](QObject*) { RunGuarded([this] { Confirm(); }); };
    bv->OnMouseDown = [this](QObject*, Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
        if (button == Qt::RightButton)
            rightPressed_ = true;
    };
    bv->OnMouseUp = [this](QObject*, Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
        if (button == Qt::RightButton && rightPressed_) {
            rightPressed_ = false;
            RunGuarded([this] { Cancel(); });
        }
    };

    Reset();
}

void TFormMonthCalendar::Reset()
{
    setWindowTitle(QStringLiteral("Выбор месяца"));
    rightPressed_ = false;
    ShowDate(Date());
    chosen_ = 0;
}

void TFormMonthCalendar::StartRange(TDateTime b)
{
    firstYear_ = YearOfDate(b);
    base_ = b;
    QStringList years;
    for (int i = 0; i < kYears; ++i)
        years.append(QString::number(firstYear_ + i));
    hc->SetCaps(years);
    SelectionChanged();
}

void TFormMonthCalendar::ShowDate(TDateTime x)
{
    StartRange(IncYearMonthStart(x, -(kYears - 2)));
    SelectCell(kYears - 2, MonthOfDate(x) - 1);
}

void TFormMonthCalendar::SetDate(TDateTime d)
{
    if (d < base_)
        StartRange(d);
    else if (d > IncYearMonthStart(base_, kYears - 1))
        StartRange(IncYearMonthStart(d, -(kYears - 1)));
    SelectCell(YearOfDate(d) - firstYear_, MonthOfDate(d) - 1);
}

void TFormMonthCalendar::ShiftRange(int n)
{
    StartRange(IncYearMonthStart(base_, n));
    SelectCell(bv->Col(), bv->Row());
}

void TFormMonthCalendar::SelectCell(int col, int row)
{
    if (selecting_)
        return;
    selecting_ = true;
    hc->SelectCell(-1, -1);
    bv->SelectCell(-1, -1);
    if (col >= 0 && col < kYears && row >= 0 && row < kMonths) {
        bv->SelectCell(col, row);
        hc->SelectCell(col, 0);
    }
    selecting_ = false;
    SelectionChanged();
}

void TFormMonthCalendar::SelectionChanged()
{
    const int col = bv->Col();
    const int row = bv->Row();
    if (col >= 0 && col < kYears && row >= 0 && row < kMonths) {
        chosen_ = EncodeDate(firstYear_ + col, row + 1, 1);
        lbm->setText(MonthNameByNum(row + 1));
        lby->setText(hc->CellCaption(col, 0));
    } else {
        chosen_ = 0;
        lbm->clear();
        lby->clear();
    }
}

void TFormMonthCalendar::MoveSelection(int key, bool shift)
{
    int col = bv->Col();
    int row = bv->Row();
    if (col < 0 || col >= kYears || row < 0 || row >= kMonths) {
        SelectCell(0, 0);
        return;
    }
    auto left = [&] {
        if (col > 0)
            SelectCell(col - 1, row);
        else
            ShiftRange(-1);
    };
    auto right = [&] {
        if (col < kYears - 1)
            SelectCell(col + 1, row);
        else
            ShiftRange(1);
    };
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!shift && key == Qt::Key_Tab) {
            if (row < kMonths - 1) {
                SelectCell(col, row + 1);
            } else {
                SelectCell(col, 0);
                row = 0;
                right();
            }
        } else {
            if (row > 0) {
                SelectCell(col, row - 1);
            } else {
                SelectCell(col, kMonths - 1);
                row = kMonths - 1;
                left();
            }
        }
        break;
    case Qt::Key_Left: left(); break;
    case Qt::Key_Right: right(); break;
    case Qt::Key_Up:
        if (row > 0)
            SelectCell(col, row - 1);
        break;
    case Qt::Key_Down:
        if (row < kMonths - 1)
            SelectCell(col, row + 1);
        break;
    default: break;
    }
}

void TFormMonthCalendar::Confirm()
{
    SelectionChanged();
    SetModalResult(mrOk);
}

void TFormMonthCalendar::Cancel()
{
    chosen_ = 0;
    SetModalResult(mrCancel);
}

bool TFormMonthCalendar::FormKeyDown(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods & Qt::AltModifier)
        return false;
    const int key = event->key();
    switch (key) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter: Confirm(); return true;
    case Qt::Key_Escape: Cancel(); return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: MoveSelection(key, mods & Qt::ShiftModifier); return true;
    default: {
        int k = key;
        HandleArrowKeyFocus(this, k, mods);
        return k == 0;
    }
    }
}

void TFormMonthCalendar::ApplyColours()
{
    SetTextColour(lbm, Qt::red);
    SetTextColour(lby, Qt::blue);
}

void TFormMonthCalendar::showEvent(QShowEvent* event)
{
    ApplyColours();
    TForm::showEvent(event);
    CenterOnScreen();
}

TDateTime SelectMonth(TDateTime d)
{
    TFormMonthCalendar* picker = GetMonthCalendarForm();
    picker->Reset();
    if (d != 0)
        picker->SetDate(d);
    return picker->ShowModal() == mrOk ? picker->Chosen() : d;
}

TFormMonthCalendar* GetMonthCalendarForm()
{
    if (!g_picker)
        g_picker = new TFormMonthCalendar();
    return g_picker;
}

void RemoveMonthCalendarForm() { delete g_picker.data(); }
