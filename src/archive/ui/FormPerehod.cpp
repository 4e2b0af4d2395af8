#include "archive/ui/FormPerehod.h"

#include "archive/Perehod.h"
#include "data/AppContext.h"
#include "data/Globals.h"
#include "data/Rights.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

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
    setFixedSize(440, 250);
    lbHeader = new QLabel(this);
    lbHeader->setObjectName(QStringLiteral("lbHeader"));
    lbHeader->setGeometry(16, 12, 408, 28);
    QFont big = lbHeader->font();
    big.setBold(true);
    lbHeader->setFont(big);
    lbDescr = new QLabel(this);
    lbDescr->setObjectName(QStringLiteral("lbDescr"));
    lbDescr->setGeometry(16, 44, 408, 40);
    lbDescr->setWordWrap(true);
    lbDescr->setText(QStringLiteral("Входные данные и результаты расчета будут перенесены в архив, рабочий месяц "
                                    "сменится на следующий"));
    lbWarn = new QLabel(this);
    lbWarn->setObjectName(QStringLiteral("lbWarn"));
    lbWarn->setGeometry(16, 84, 408, 120);
    lbWarn->setWordWrap(true);
    lbWarn->setText(QStringLiteral("Отменить переход на новый период возможно только\r\n восстановлением "
                                   "предварительно сохраненных данных"));
    btOk = new QPushButton(QStringLiteral("Ok"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setGeometry(188, 210, 136, 28);
    btCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setGeometry(332, 210, 92, 28);
    st_ = {QString(), QStringLiteral(" "),
        QStringLiteral("После выполнения перехода на новый период необходимо перезагрузить программу"),
        QStringLiteral(" ")};
    connect(btOk, &QPushButton::clicked, this, &TFormPerehod::OkClick);
    connect(btCancel, &QPushButton::clicked, this, &QWidget::close);
}

void TFormPerehod::showEvent(QShowEvent* event)
{
    newPeriod_ = PerehodNewPeriod(Cfg.Workdate);
    lbHeader->setText(PerehodHeader(newPeriod_));
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
    const QRect ok = btOk->geometry();
    btOk->setGeometry(ok.left(), ok.top(), btCancel->geometry().right() - ok.left() + 1, ok.height());
    // Closing now ends the program either way; the stretched button covers Cancel.
    btCancel->hide();
}

void TFormPerehod::done(int result)
{
    // After a transition every way of closing (Esc too) ends the program.
    TForm::done(result);
    if (done_)
        Terminate()();
}
