#include "foundation/ui/dialogs/Stopp.h"
#include "foundation/Messages.h"
#include "foundation/TextMeasure.h"

#include <QApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QPointer<TStopForm> g_stopForm;
}

TStopForm::TStopForm(QWidget* parent) : TForm(parent, QStringLiteral("StopForm"))
{
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Stop"));
    SetKeyPreview(true);
    SetRefuseSystemClose(true);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    pnStopp = new QWidget(this);
    pnStopp->setObjectName(QStringLiteral("pnStopp"));
    outer->addWidget(pnStopp);
    auto* box = new QVBoxLayout(pnStopp);
    box->setContentsMargins(4, 4, 4, 4);
    box->setSpacing(4);

    pnTitle = new QWidget(pnStopp);
    pnTitle->setObjectName(QStringLiteral("pnTitle"));
    pnTitle->setAutoFillBackground(true);
    QPalette pal = pnTitle->palette();
    pal.setColor(QPalette::Window, QColor(Qt::yellow));
    pnTitle->setPalette(pal);
    auto* titleBox = new QHBoxLayout(pnTitle);
    titleBox->setContentsMargins(3, 1, 3, 1);
    lbTitle = new QLabel(pnTitle);
    lbTitle->setObjectName(QStringLiteral("lbTitle"));
    lbTitle->setTextFormat(Qt::PlainText);
    titleBox->addWidget(lbTitle);
    box->addWidget(pnTitle, 0, Qt::AlignLeft);

    lbText = new QLabel(pnStopp);
    lbText->setObjectName(QStringLiteral("lbText"));
    lbText->setTextFormat(Qt::PlainText);
    lbText->setWordWrap(true);
    box->addWidget(lbText);

    auto* row = new QHBoxLayout;
    btCn = new QPushButton(QStringLiteral("Cn"), pnStopp);
    btCn->setObjectName(QStringLiteral("btCn"));
    btEx = new QPushButton(QStringLiteral("Ex"), pnStopp);
    btEx->setObjectName(QStringLiteral("btEx"));
    for (QPushButton* b : {btCn, btEx}) {
        b->setFixedWidth(40);
        row->addWidget(b);
    }
    row->addStretch(1);
    box->addLayout(row);
    connect(btCn, &QPushButton::clicked, this, guarded([this] { SetModalResult(1); }));
    connect(btEx, &QPushButton::clicked, this, guarded([this] { SetModalResult(2); }));
}

int TStopForm::Execute(const MessageRequest& request)
{
    // A stop reached while the window is still up (from an event it let
    // through) waits for the first one to end.
    while (isVisible()) {
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }

    const QPointer<QWidget> focus = QApplication::focusWidget();
    const QString name = focus ? focus->objectName() : QString();
    lbTitle->setText(focus && !name.isEmpty() ? name + QStringLiteral(": ") : request.title);
    lbText->setText(request.details);
    pnTitle->setFixedWidth(std::max(TextWidthInFont(lbTitle->text(), lbTitle->font()) + 6, 52) + 6);
    setFixedWidth(std::max(260, pnTitle->width() + 8));
    adjustSize();
    move(1, 1);

    const int result = ShowModal();
    if (focus && focus->isEnabled() && focus->isVisible() && !pnStopp->isAncestorOf(focus)) {
        focus->window()->activateWindow();
        focus->setFocus();
    }
    return result == 2 ? 2 : 1;
}

bool TStopForm::FormKeyDown(QKeyEvent* event)
{
    // Any key goes on, as "Cn" does; Tab, Enter and Space still work the buttons.
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: return false;
    default: break;
    }
    SetModalResult(1);
    return true;
}

void TStopForm::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = btEx->mapFrom(this, event->position().toPoint());
    RunGuarded([&] { SetModalResult(btEx->rect().contains(at) ? 2 : 1); });
}

void TStopForm::reject() { SetModalResult(1); }

TStopForm& StopForm()
{
    if (!g_stopForm)
        g_stopForm = new TStopForm();
    return *g_stopForm;
}

void RemoveStopForm() { delete g_stopForm.data(); }
