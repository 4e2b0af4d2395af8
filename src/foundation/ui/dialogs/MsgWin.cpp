#include "foundation/ui/dialogs/MsgWin.h"
#include "foundation/TextMeasure.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 380;
constexpr int kLabelWidth = kWidth - 2 * 12;
// The window releases itself when its time ends, so the pointer must notice.
QPointer<TFormMsgWindow> g_window;
} // namespace

TFormMsgWindow::TFormMsgWindow(QWidget* parent) : TForm(parent, QStringLiteral("FormMsgWindow"))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
    setWindowTitle(ProgramName());
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    pn = new QWidget(this);
    pn->setObjectName(QStringLiteral("pn"));
    outer->addWidget(pn);
    auto* box = new QVBoxLayout(pn);
    box->setContentsMargins(12, 8, 12, 8);
    lbMess = new QLabel(pn);
    lbMess->setObjectName(QStringLiteral("lbMess"));
    lbMess->setTextFormat(Qt::PlainText);
    lbMess->setWordWrap(true);
    lbMess->setAlignment(Qt::AlignCenter);
    box->addWidget(lbMess);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, guarded([this] { Timer1Timer(); }));
    FitHeightToWidth(kWidth);
}

void TFormMsgWindow::ShowText(const QString& text, int ms)
{
    countdown_ = ms >= 2000 && ms <= 600000;
    if (ms < 2000)
        ms = 10000;
    else if (ms > 600000)
        ms = 600000;

    // A short note is padded with empty lines so that it does not look lost.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (int i = 0; i < 5 && WrappedTextHeight(shown, lbMess->font(), kLabelWidth) < 80; ++i)
        shown = QLatin1Char('\n') + shown + QLatin1Char('\n');
    lbMess->setText(shown);
    FitHeightToWidth(kWidth);

    end_ = GetTickCount() + static_cast<uint32_t>(ms);
    UpdateCaption();
    CenterOnScreen();
    show();
    raise();
    Timer1->start();
    QCoreApplication::processEvents();
}

void TFormMsgWindow::UpdateCaption()
{
    QString caption = ProgramName();
    if (countdown_) {
        const int32_t left = static_cast<int32_t>(end_ - GetTickCount());
        const int seconds = left > 0 ? (left + 999) / 1000 : 0;
        caption += QStringLiteral(" [%1]").arg(seconds);
    }
    setWindowTitle(caption);
}

void TFormMsgWindow::Timer1Timer()
{
    if (static_cast<int32_t>(end_ - GetTickCount()) <= 0) {
        Timer1->stop();
        close();
        return;
    }
    UpdateCaption();
}

void ShowMessageWindow(const QString& text, int ms)
{
    if (!g_window)
        g_window = new TFormMsgWindow();
    g_window->ShowText(text, ms);
}

void CloseMessageWindow()
{
    if (g_window)
        g_window->close();
    QCoreApplication::processEvents();
}

TFormMsgWindow* MessageWindow() { return g_window.data(); }
