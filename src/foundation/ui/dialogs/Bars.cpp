#include "foundation/ui/dialogs/Bars.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormFuncs.h"
#include "platform/Clock.h"
#include "platform/Exceptions.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace {
constexpr int kWidth = 420;
constexpr int kSteps = 29;

// Deleted by RemoveProgressWindow, never by a static destructor after the
// application object is gone.
QPointer<TFormBar> g_formBar;
} // namespace

TFormBar::TFormBar(QWidget* parent) : TForm(parent, QStringLiteral("FormBar"))
{
    setWindowTitle(QString());
    SetKeyPreview(true);
    SetRefuseSystemClose(true);
    setWindowModality(Qt::ApplicationModal);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    outer->addWidget(Panel1);

    auto* box = new QVBoxLayout(Panel1);
    box->setContentsMargins(10, 10, 10, 10);
    box->setSpacing(4);
    auto makeLabel = [this](const char* name) {
        auto* label = new QLabel(Panel1);
        label->setObjectName(QString::fromLatin1(name));
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        return label;
    };
    auto makeBar = [this](const char* name) {
        auto* bar = new QProgressBar(Panel1);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setTextVisible(false);
        bar->setEnabled(false);
        return bar;
    };
    M1 = makeLabel("M1");
    Bar1 = makeBar("Bar1");
    M2 = makeLabel("M2");
    Bar2 = makeBar("Bar2");
    box->addWidget(M1);
    box->addWidget(Bar1);
    box->addWidget(M2);
    box->addWidget(Bar2);
    box->addSpacing(2); // with the spacing: the button 10 px under the lowest bar

    bt1 = new QPushButton(QStringLiteral("Стоп"), Panel1);
    bt1->setObjectName(QStringLiteral("bt1"));
    bt1->setCursor(Qt::ArrowCursor);
    bt1->setAutoDefault(false);
    box->addWidget(bt1, 0, Qt::AlignHCenter);
    connect(bt1, &QPushButton::clicked, this, guarded([this] { StopClick(); }));

    setMinMax(Bar1, 0, 100);
    setMinMax(Bar2, 0, 100);
    M2->hide();
    Bar2->hide();
    FitHeight();
}

TFormBar::~TFormBar()
{
    if (&Progress() == static_cast<IProgress*>(this))
        SetProgress(nullptr);
}

void TFormBar::Init(int Mode, int Min1, int Max1, int Min2, int Max2) { Init(Mode, Min1, Max1, Min2, Max2, nullptr); }

void TFormBar::Init(int Mode, int Min1, int Max1, int Min2, int Max2, QWidget* Owner)
{
    if (Mode == 1) {
        setMinMax(Bar1, Min1, std::max(Min1, Max1));
        state_[0].value = Min1 - 1;
        return;
    }
    if (Mode == 2) {
        if (twoBars_) {
            setMinMax(Bar2, Min2, std::max(Min2, Max2));
            state_[1].value = Min2 - 1;
        }
        return;
    }
    if (Mode != 0) {
        ShowError(QStringLiteral("Bars: (Init) ???"));
        return;
    }
    if (shown_ || owner_)
        throw EAppException(QStringLiteral("Bars is allready active"));

    M1->clear();
    M2->clear();
    Max1 = std::max(Max1, Min1);
    Max2 = std::max(Max2, Min2);
    setMinMax(Bar1, Min1, Max1);
    twoBars_ = Max2 != 0 || Max2 != Min2;
    if (twoBars_)
        setMinMax(Bar2, Min2, Max2);
    M2->setVisible(twoBars_);
    Bar2->setVisible(twoBars_);
    state_[0].value = Min1 - 1;
    state_[1].value = Min2 - 1;
    FitHeight();

    owner_ = Owner ? Owner : GetActiveForm();
    if (owner_ == this)
        owner_ = nullptr;
    ownerWasActive_ = owner_ && owner_->isActiveWindow();
    if (owner_)
        SetOwnerWindow(this, owner_);

    SetStopped(false);
    shown_ = true;
    Panel1->setCursor(Qt::WaitCursor);
    CenterOnScreen();
    show();
    raise();
    activateWindow();
    repaint();
    QCoreApplication::processEvents();
}

void TFormBar::setMinMax(QProgressBar* Bar, int Min, int Max)
{
    if (Bar != Bar1 && Bar != Bar2) {
        ShowError(QStringLiteral("bars: (setMinMax)???"));
        return;
    }
    BarState& s = State(Bar);
    s.min = Min;
    s.max = Max;
    s.step = (Max - Min) / kSteps + 1;
    // A fresh range moves the bar at its first value, whatever the last run left.
    s.lower = Min;
    s.upper = Min;
    // An empty range would show Qt's busy indicator.
    Bar->setRange(Min, Max > Min ? Max : Min + 1);
    Bar->setValue(Min);
}

void TFormBar::Move(int index, int value)
{
    BarState& s = state_[index];
    QProgressBar* bar = index == 0 ? Bar1 : Bar2;
    s.value = value;
    if (s.lower < value && value < s.upper)
        return;
    bar->setValue(std::clamp(value, s.min, s.max));
    const int position = bar->value();
    s.lower = position / s.step * s.step;
    s.upper = s.lower + s.step;
}

void TFormBar::PosBar(int Bar, int Value)
{
    if (Bar != 1 && Bar != 2) {
        ShowError(QStringLiteral("Bars: (PosBar)???"));
        return;
    }
    if (Bar == 2 && !twoBars_)
        return;
    QCoreApplication::processEvents();
    Move(Bar - 1, Value);
    if (Bar == 1 && twoBars_) {
        BarState& s = state_[1];
        Bar2->setValue(s.min);
        s.value = s.min;
        s.lower = s.min;
        s.upper = s.step;
    }
}

void TFormBar::IncPos(int Bar)
{
    if (Bar != 1 && Bar != 2) {
        ShowError(QStringLiteral("Bars: (IncPos)???"));
        return;
    }
    PosBar(Bar, state_[Bar - 1].value + 1);
    BringToFront();
}

void TFormBar::Mess(int Line, const QString& Text)
{
    switch (Line) {
    case 0: setWindowTitle(Text); break;
    case 1: M1->setText(Text); break;
    case 2:
        if (twoBars_)
            M2->setText(Text);
        break;
    default: ShowError(QStringLiteral("Bars: (Mess) ???")); return;
    }
    if (Line != 0)
        FitHeight();
    repaint();
    QCoreApplication::processEvents();
}

void TFormBar::FillBar(int Bar)
{
    if (Bar != 1 && Bar != 2)
        return;
    BringToFront();
    QProgressBar* bar = Bar == 1 ? Bar1 : Bar2;
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
}

void TFormBar::Wait(int Ms)
{
    if (Ms < 0 || Ms > 5000)
        Ms = 5000;
    const uint32_t start = GetTickCount();
    while (!stopped_) {
        const uint32_t elapsed = GetTickCount() - start;
        if (elapsed >= static_cast<uint32_t>(Ms))
            break;
        // Short real slices: the clock may be a test's, which moves on its own terms.
        QEventLoop loop;
        QTimer::singleShot(std::min<uint32_t>(10, Ms - elapsed), &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void TFormBar::SetStopped(bool Flag)
{
    stopped_ = Flag;
    Bar1->setEnabled(Flag);
    Bar2->setEnabled(Flag);
}

void TFormBar::BeginBusy() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

void TFormBar::EndBusy() { QApplication::restoreOverrideCursor(); }

void TFormBar::Close()
{
    if (!shown_ && !owner_) {
        hide();
        return;
    }
    Wait(200);
    shown_ = false;
    setWindowTitle(QString());
    Panel1->unsetCursor();
    SetStopped(false);
    hide();
    QWidget* owner = owner_;
    owner_ = nullptr;
    if (windowHandle())
        windowHandle()->setTransientParent(nullptr);
    if (owner) {
        owner->setEnabled(true);
        if (ownerWasActive_ && owner->isVisible() && owner->isEnabled()) {
            owner->raise();
            owner->activateWindow();
        }
    }
    ownerWasActive_ = false;
}

void TFormBar::BringToFront()
{
    if (isVisible() && !isActiveWindow()) {
        raise();
        activateWindow();
    }
}

void TFormBar::FitHeight() { FitHeightToWidth(kWidth); }

void TFormBar::StopClick()
{
    if (AskAttention(QStringLiteral("Прервать операцию ?"), true))
        SetStopped(true);
}

bool TFormBar::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && shown_ && !isVisible()) {
        show();
        BringToFront();
    }
    return TForm::event(event);
}

void TFormBar::reject()
{
    // No Esc: the window ends with its operation.
}

void InstallProgressWindow()
{
    if (!g_formBar)
        g_formBar = new TFormBar();
    SetProgress(g_formBar);
}

void RemoveProgressWindow()
{
    if (g_formBar && &Progress() == static_cast<IProgress*>(g_formBar))
        SetProgress(nullptr);
    delete g_formBar.data();
}

TFormBar* FormBar() { return g_formBar; }
