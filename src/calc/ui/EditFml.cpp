#include "calc/ui/EditFml.h"

#include "calc/ui/AccrualEditors.h"
#include "data/AppContext.h"
#include "data/Dops.h"
#include "data/UserFormulas.h"
#include "foundation/Messages.h"
#include "platform/Codec.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QVBoxLayout>

TFormEditFml::TFormEditFml(QWidget* parent) : TForm(parent, QStringLiteral("FormEditFml"))
{
    SetButtonMnemonics(true);
    setWindowTitle(QStringLiteral("Редактор формулы пользователя"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    btReply = new QPushButton(QStringLiteral("Перечитать"), this);
    btReply->setObjectName(QStringLiteral("btReply"));
    btSave = new QPushButton(QStringLiteral("Сохранить"), this);
    btSave->setObjectName(QStringLiteral("btSave"));
    for (QPushButton* b : {btReply, btSave}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    reText = new QPlainTextEdit(this);
    reText->setObjectName(QStringLiteral("reText"));
    reText->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(reText, 1);
    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("sbStatus"));
    status->setSizeGripEnabled(false);
    stCaret = new QLabel(status);
    stCaret->setObjectName(QStringLiteral("stCaret"));
    stCaret->setMinimumWidth(70);
    stMessage = new QLabel(status);
    stMessage->setObjectName(QStringLiteral("stMessage"));
    status->addWidget(stCaret);
    status->addWidget(stMessage, 1);
    layout->addWidget(status);
    resize(560, 380);

    connect(btReply, &QPushButton::clicked, this, guarded([this] { Reload(); }));
    connect(btSave, &QPushButton::clicked, this, guarded([this] { Save(); }));
    connect(reText, &QPlainTextEdit::modificationChanged, this, [this] { UpdateButtons(); });
    connect(reText, &QPlainTextEdit::cursorPositionChanged, this, [this] { ShowCaret(); });
    UpdateButtons();
    ShowCaret();
}

TFormEditFml::~TFormEditFml() = default;

void TFormEditFml::SetDopNum(qint32 dopNum)
{
    dopNum_ = dopNum;
    T_DNList* dn = DNList();
    const T_Dop* dop = dn != nullptr ? dn->FindDop(dopNum) : nullptr;
    setWindowTitle(dop != nullptr ? QStringLiteral("№%1 %2").arg(dopNum).arg(dop->GetName())
                                  : QStringLiteral("№%1 (В справочнике не найдено)").arg(dopNum));
    Reload();
}

void TFormEditFml::SetReadOnly(bool on)
{
    readOnly_ = on;
    reText->setReadOnly(on);
    UpdateButtons();
}

bool TFormEditFml::Modified() const { return reText->document()->isModified(); }

void TFormEditFml::UpdateButtons()
{
    const bool can = Modified() && !readOnly_;
    btSave->setEnabled(can);
    btReply->setEnabled(can);
}

void TFormEditFml::ShowCaret()
{
    const QTextCursor c = reText->textCursor();
    stCaret->setText(QStringLiteral("%1:%2").arg(c.positionInBlock() + 1).arg(c.blockNumber() + 1));
}

void TFormEditFml::SetCaretPos(int col, int line)
{
    col_ = std::max(col, 1);
    line_ = std::max(line, 1);
    PlaceCaret();
}

void TFormEditFml::PlaceCaret()
{
    QTextDocument* doc = reText->document();
    const QTextBlock block = doc->findBlockByNumber(line_ - 1);
    QTextCursor c(doc);
    if (block.isValid())
        c.setPosition(block.position() + std::min(col_ - 1, block.length() - 1));
    else
        c.movePosition(QTextCursor::End);
    reText->setTextCursor(c);
}

void TFormEditFml::SetStatus(const QString& msg)
{
    message_ = msg;
    stMessage->setText(QStringLiteral("[L:%1 C:%2]  ").arg(line_).arg(col_) + msg);
}

void TFormEditFml::Reload()
{
    T_UserFormulaList* list = UserFormulaList();
    formula_ = std::make_unique<T_UserFormula>();
    formula_->DopNum = dopNum_;
    if (list != nullptr && list->FindFormula(dopNum_) != nullptr)
        formula_->Reload();
    reText->setPlainText(formula_->Text);
    reText->document()->setModified(false);
    UpdateButtons();
}

void TFormEditFml::Save()
{
    const QString text = reText->toPlainText();
    if (!IsCp1251Text(text))
        ErrorAbort(QStringLiteral("Формула не записана|В тексте есть знаки, которых нет в кодировке Windows-1251"));
    formula_->Text = text.trimmed().isEmpty() ? QString() : text;
    formula_->Save();
    if (T_UserFormulaList* list = UserFormulaList())
        list->Reload();
    reText->document()->setModified(false);
    UpdateButtons();
}

void TFormEditFml::done(int result)
{
    if (Modified() && !readOnly_ && !RunGuarded([this] { Save(); }))
        return;
    TForm::done(result);
}

void TFormEditFml::changeEvent(QEvent* event)
{
    TForm::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        AppContext().LastDopNum = dopNum_;
}

void TFormEditFml::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    PlaceCaret();
    reText->setFocus();
}

void ShowFormulaEditor(QWidget* owner, int dopNum, int col, int line, const QString& msg, bool readOnly)
{
    auto* form = new TFormEditFml(nullptr);
    if (!RunGuarded([&] { form->SetDopNum(dopNum); })) {
        delete form;
        return;
    }
    form->SetCaretPos(col, line);
    form->SetReadOnly(readOnly);
    form->SetStatus(msg);
    if (owner != nullptr) {
        const QRect frame = owner->window()->frameGeometry();
        form->move(frame.right() + 1, frame.top());
    }
    form->show();
    form->raise();
    form->activateWindow();
}

void OpenFormulaAtError(qint32 dopNum, int line, int col, const QString& message)
{
    // A window already open on the kind takes the error; it may hold the
    // clerk's unsaved edits, which a second window would not show.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* editor = qobject_cast<TFormEditFml*>(w);
        if (editor == nullptr || !editor->isVisible() || editor->DopNum() != dopNum)
            continue;
        if (line >= 0) {
            editor->SetCaretPos(col, line + 1);
            editor->SetStatus(message);
        }
        if (editor->isMinimized())
            editor->showNormal();
        editor->raise();
        editor->activateWindow();
        return;
    }
    ShowFormulaEditor(QApplication::activeWindow(), dopNum, col, line < 0 ? 1 : line + 1, message, false);
}
