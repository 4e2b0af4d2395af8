#include "archive/ui/FormPerehod.h"

#include "archive/Perehod.h"
#include "data/AppContext.h"
#include "data/Globals.h"
#include "data/Rights.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

std::function<void()>& SaveOffer()
{
    static std::function<void()> offer;
    return offer;
}

std::function<void()>& Terminate()
{
    static std::function<void()> terminate = [] { QCoreApplication::quit(); };
    return terminate;
}

// Windows' MulDiv: the rounded quotient, halves away from zero.
int MulDiv(int a, int b, int c) { return static_cast<int>(std::lround(static_cast<double>(a) * b / c)); }

} // namespace

void TFormPerehod::SetSaveOffer(std::function<void()> offer) { SaveOffer() = std::move(offer); }

void TFormPerehod::SetTerminate(std::function<void()> terminate) { Terminate() = std::move(terminate); }

TFormPerehod::TFormPerehod(QWidget* parent) : TForm(parent, QStringLiteral("FormPerehod"))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Переход на новый период"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    lbHeader = new QLabel(this);
    lbHeader->setObjectName(QStringLiteral("lbHeader"));
    lbHeader->setWordWrap(true);
    QFont big = lbHeader->font();
    big.setBold(true);
    lbHeader->setFont(big);
    layout->addWidget(lbHeader);
    lbDescr = new QLabel(this);
    lbDescr->setObjectName(QStringLiteral("lbDescr"));
    lbDescr->setWordWrap(true);
    lbDescr->setText(QStringLiteral("Входные данные и результаты расчета будут перенесены в архив, рабочий месяц "
                                    "сменится на следующий"));
    layout->addWidget(lbDescr);
    lbWarn = new QLabel(this);
    lbWarn->setObjectName(QStringLiteral("lbWarn"));
    lbWarn->setWordWrap(true);
    lbWarn->setText(QStringLiteral("Отменить переход на новый период возможно только\r\n восстановлением "
                                   "предварительно сохраненных данных"));
    layout->addWidget(lbWarn);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btOk = new QPushButton(QStringLiteral("Ok"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setMinimumWidth(136);
    buttons->addWidget(btOk);
    btCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setMinimumWidth(92);
    buttons->addWidget(btCancel);
    layout->addLayout(buttons);
    st_ = {QString(), QStringLiteral(" "),
        QStringLiteral("После выполнения перехода на новый период необходимо перезагрузить программу"),
        QStringLiteral(" ")};
    connect(btOk, &QPushButton::clicked, this, &TFormPerehod::OkClick);
    connect(btCancel, &QPushButton::clicked, this, &QWidget::close);
    FitToTexts();
}

void TFormPerehod::FitToTexts()
{
    // As wide as the design or the buttons need, as high as the wrapped texts.
    constexpr int kWidth = 440;
    setMinimumWidth(0);
    setMaximumWidth(QWIDGETSIZE_MAX);
    layout()->invalidate();
    layout()->activate();
    FitHeightToWidth(std::max(kWidth, layout()->totalMinimumSize().width()));
}

void TFormPerehod::showEvent(QShowEvent* event)
{
    newPeriod_ = PerehodNewPeriod(Cfg.Workdate);
    lbHeader->setText(PerehodHeader(newPeriod_));
    // The program fonts came with the show.
    FitToTexts();
    TForm::showEvent(event);
}

void TFormPerehod::OkClick()
{
    if (done_) {
        close();
        return;
    }
    try {
        RequireOperation(4);
        TPerehodSteps steps;
        steps.OfferSave = SaveOffer();
        RunPerehod(steps, done_);
    } catch (const EAbort&) {
        return;
    } catch (const Exception& e) {
        ShowError(e.Message());
        return;
    }
    ShowFinished();
}

void TFormPerehod::ShowFinished()
{
    lbDescr->setText(QStringLiteral(" "));
    lbWarn->setText(st_.join(QLatin1Char('\n')));
    QFont f = lbWarn->font();
    f.setPointSize(MulDiv(f.pointSize(), 14, 10));
    lbWarn->setFont(f);
    btOk->setText(QStringLiteral("Завершить выполнение программы"));
    // Closing now ends the program either way; the button takes Cancel's place.
    btOk->setMinimumWidth(btCancel->geometry().right() - btOk->geometry().left() + 1);
    btCancel->hide();
    FitToTexts();
}

void TFormPerehod::done(int result)
{
    // After a transition every way of closing (Esc too) ends the program.
    TForm::done(result);
    if (done_)
        Terminate()();
}
