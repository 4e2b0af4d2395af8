#include "data/ui/Splash.h"

#include "data/DatModl.h"
#include "data/Globals.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace {
QPointer<TFormLabel> g_splash;
}

TFormLabel::TFormLabel(QWidget* parent) : TForm(parent, QStringLiteral("FormLabel"))
{
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setWindowTitle(AppTitle());
    auto* layout = new QVBoxLayout(this);
    margins_ = QMargins(24, 18, 24, 14);
    layout->setContentsMargins(margins_);
    lbTitle = new QLabel(AppTitle(), this);
    lbTitle->setObjectName(QStringLiteral("lbTitle_HF"));
    lbTitle->setAlignment(Qt::AlignCenter);
    QFont big = lbTitle->font();
    big.setPointSize(18);
    big.setBold(true);
    lbTitle->setFont(big);
    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    lbStatus->setAlignment(Qt::AlignCenter);
    lbStatus->setMinimumWidth(320);
    layout->addWidget(lbTitle);
    layout->addWidget(lbStatus);
    setStyleSheet(QStringLiteral("TFormLabel { border: 2px solid #808080; }"));
    SetSplashTextHook([this](const QString& text) { SetStatus(text); });
}

TFormLabel::~TFormLabel() { SetSplashTextHook({}); }

void TFormLabel::SetStatus(const QString& text)
{
    lbStatus->setText(text);
    if (isVisible())
        repaint();
    QCoreApplication::processEvents();
}

QString TFormLabel::Status() const { return lbStatus->text(); }

void TFormLabel::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    // The client area is the labels plus the margins kept at creation.
    const QSize labels(qMax(lbTitle->sizeHint().width(), lbStatus->sizeHint().width()),
        lbTitle->sizeHint().height() + lbStatus->sizeHint().height() + layout()->spacing());
    resize(labels.grownBy(margins_));
    CenterOnScreen();
}

TFormLabel* SplashForm() { return g_splash.data(); }

TFormLabel* ShowSplash()
{
    if (!g_splash)
        g_splash = new TFormLabel();
    g_splash->show();
    g_splash->SetStatus(QStringLiteral("Старт программы"));
    return g_splash.data();
}

void ReleaseSplash() { delete g_splash.data(); }
