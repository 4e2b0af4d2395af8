#include "foundation/ui/base/DialogBases.h"
#include "foundation/ui/base/FormFuncs.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

// ---------------------------------------------------------------- TFormMultyPage

TFormMultyPage::TFormMultyPage(QWidget* parent, const QString& name) : TForm(parent, name)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->setSpacing(6);

    pnHeader = new QWidget(this);
    pnHeader->setObjectName(QStringLiteral("pnHeader"));
    auto* headerBox = new QVBoxLayout(pnHeader);
    headerBox->setContentsMargins(8, 6, 8, 6);
    lbHeader = new QLabel(pnHeader);
    lbHeader->setObjectName(QStringLiteral("lbHeader"));
    lbHeader->setWordWrap(true);
    QFont headerFont = lbHeader->font();
    headerFont.setBold(true);
    lbHeader->setFont(headerFont);
    headerBox->addWidget(lbHeader);
    layout->addWidget(pnHeader);

    pn = new QWidget(this);
    pn->setObjectName(QStringLiteral("pn"));
    auto* pnBox = new QVBoxLayout(pn);
    pnBox->setContentsMargins(8, 0, 8, 0);
    pc = new QStackedWidget(pn);
    pc->setObjectName(QStringLiteral("pc"));
    pnBox->addWidget(pc);
    layout->addWidget(pn, 1);
    tabFirst = new QWidget;
    tabFirst->setObjectName(QStringLiteral("tabFirst"));
    pc->addWidget(tabFirst);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 0, 8, 0);
    buttons->addStretch(1);
    btPrevPage = new QPushButton(QStringLiteral("<<  Назад"), this);
    btPrevPage->setObjectName(QStringLiteral("btPrevPage"));
    btNextPage = new QPushButton(QStringLiteral("Далее  >>"), this);
    btNextPage->setObjectName(QStringLiteral("btNextPage"));
    for (QPushButton* b : {btPrevPage, btNextPage}) {
        b->setMinimumWidth(100);
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(btPrevPage, &QPushButton::clicked, this, guarded([this] { PrevPage(); }));
    connect(btNextPage, &QPushButton::clicked, this, guarded([this] { NextPage(); }));

    NextCaption = btNextPage->text();
    FinishCaption = QStringLiteral("Готово");
    GoFirstPage();
}

int TFormMultyPage::AddPage(QWidget* page)
{
    const int index = pc->addWidget(page);
    UpdatePageButtons();
    return index;
}

int TFormMultyPage::PageCount() const { return pc->count(); }
int TFormMultyPage::PageIndex() const { return pc->currentIndex(); }

void TFormMultyPage::GoFirstPage()
{
    pc->setCurrentIndex(0);
    UpdatePageButtons();
    LastPage = false;
}

void TFormMultyPage::SetShowPageButtons(bool on)
{
    showPageButtons_ = on;
    UpdatePageButtons();
}

void TFormMultyPage::UpdatePageButtons()
{
    // Enter moves on, as the button does: without a default of its own the
    // dialog would take the first button of any page, hidden or not.
    btNextPage->setDefault(showPageButtons_);
    if (!showPageButtons_) {
        btPrevPage->hide();
        btNextPage->hide();
        return;
    }
    LastPage = false;
    const int index = pc->currentIndex();
    const int last = pc->count() - 1;
    btPrevPage->show();
    btNextPage->show();
    btPrevPage->setEnabled(true);
    btNextPage->setEnabled(true);
    btNextPage->setText(NextCaption);
    if (index == last && index > 0) {
        LastPage = true;
        if (!NextOnLast)
            btNextPage->hide();
        else if (FinishOnLast)
            btNextPage->setText(FinishCaption);
        else
            btNextPage->setEnabled(false);
    } else if (index == 0) {
        if (BackOnFirst)
            btPrevPage->setEnabled(false);
        else
            btPrevPage->hide();
    }
    RefreshButtonMnemonics();
}

void TFormMultyPage::PrevPage()
{
    Changed = false;
    const int index = pc->currentIndex();
    if (index <= 0)
        return;
    BackMove = true;
    SelectPage(index - 1);
}

void TFormMultyPage::NextPage()
{
    Changed = false;
    const int index = pc->currentIndex();
    if (index >= pc->count() - 1)
        return;
    BackMove = false;
    SelectPage(index + 1);
}

bool TFormMultyPage::SelectPage(int index)
{
    const int from = pc->currentIndex();
    if (index < 0 || index >= pc->count() || index == from)
        return false;
    Changed = false;
    if (!CanChangePage(from, index, BackMove))
        return false;
    pc->setCurrentIndex(index);
    Changed = true;
    LastPage = index == pc->count() - 1;
    UpdatePageButtons();
    PageChanged();
    return true;
}

bool TFormMultyPage::CanChangePage(int, int, bool) { return true; }

void TFormMultyPage::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    UpdatePageButtons();
}

// ---------------------------------------------------------------- TFormNewInput

TFormNewInput::TFormNewInput(QWidget* parent, const QString& name) : TForm(parent, name)
{
    setWindowTitle(QStringLiteral("Шаблон для форм ввода"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    stPanel = new QWidget(this);
    stPanel->setObjectName(QStringLiteral("stPanel"));
    auto* stBox = new QVBoxLayout(stPanel);
    stBox->setContentsMargins(8, 6, 8, 4);
    lbMode = new QLabel(QStringLiteral("Режим"), stPanel);
    lbMode->setObjectName(QStringLiteral("lbMode"));
    lbMode->setWordWrap(true);
    QFont modeFont = lbMode->font();
    modeFont.setBold(true);
    lbMode->setFont(modeFont);
    stBox->addWidget(lbMode);
    Bevel1 = new QFrame(stPanel);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    stBox->addWidget(Bevel1);
    layout->addWidget(stPanel);

    pnClient = new QWidget(this);
    pnClient->setObjectName(QStringLiteral("pnClient"));
    layout->addWidget(pnClient, 1);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* buttons = new QHBoxLayout(Panel1);
    buttons->setContentsMargins(8, 6, 8, 8);
    buttons->addStretch(1);
    btOk = new QPushButton(QStringLiteral("Ok"), Panel1);
    btOk->setObjectName(QStringLiteral("btOk"));
    btCancel = new QPushButton(QStringLiteral("Отмена"), Panel1);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    for (QPushButton* b : {btOk, btCancel}) {
        b->setMinimumWidth(80);
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addWidget(Panel1);
    connect(btOk, &QPushButton::clicked, this, guarded([this] { Accept(); }));
    connect(btCancel, &QPushButton::clicked, this, guarded([this] { Cancel(); }));
    SetKeyPreview(true);
}

void TFormNewInput::Accept()
{
    if (!CanAccept())
        return;
    Accepted = true;
    SetModalResult(mrOk);
}

void TFormNewInput::Cancel()
{
    Cancelled = true;
    SetModalResult(mrCancel);
}

bool TFormNewInput::FormKeyDown(QKeyEvent* event)
{
    if (passingKey_)
        return false;
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        Cancel();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Accept();
        return true;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && (mods & Qt::ControlModifier)) {
        if (QWidget* focus = focusWidget()) {
            QKeyEvent plain(QEvent::KeyPress, key, mods & ~Qt::ControlModifier, event->text());
            passingKey_ = true;
            QApplication::sendEvent(focus, &plain);
            passingKey_ = false;
        }
        return true;
    }
    int k = key;
    HandleArrowKeyFocus(this, k, mods);
    return k == 0;
}

void TFormNewInput::showEvent(QShowEvent* event)
{
    Cancelled = false;
    Accepted = false;
    TForm::showEvent(event);
}
