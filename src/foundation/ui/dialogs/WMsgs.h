#pragma once
// The program's message box and the production message service, which
// shows every request of the front ends (ShowError, AskYesNo, ChooseButton,
// ...) in this box, the standard boxes (AskAttention, AppMessageBox) in a
// QMessageBox, the one-value input in TFormGet and the developer's stop
// window in TStopForm.

#include "foundation/Messages.h"
#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/controls/ShadowLabel.h"

#include <QColor>
#include <QList>

class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QTimer;
class QToolButton;

class TFormMessage : public TForm {
    Q_OBJECT
public:
    explicit TFormMessage(QWidget* parent = nullptr);

    // Result -1, style 0, Esc answer 1, no caller's buttons, empty texts,
    // caption "Сообщение".
    void Reset();
    // Normalises the style word and applies its buttons, header and colours.
    // Setting the current non-zero style again does nothing; setting a style
    // while the box is shown closes it.
    void SetStyle(int style);
    int Style() const { return style_; }
    // The caller's buttons (results 1..n) in place of the standard ones.
    void SetButtons(const QList<MsgButton>& buttons);
    void SetEscAnswer(int answer) { escAnswer_ = answer; }
    int EscAnswer() const { return escAnswer_; }
    void SetHeader(const QString& header);
    void SetTexts(const QString& title, const QString& details);
    // The button that takes the focus (its result number).
    void SetFocusedResult(int result) { focusedResult_ = result; }
    // The result number: the button's, the Esc answer, or what it was when
    // the timer closed the box (-1 after a reset).
    int Result() const { return result_; }
    // The clerk ended the program with btCancelApp.
    bool HaltRequested() const { return halt_; }
    // Buttons laid out in a column (after the layout of the last show).
    bool ButtonsInColumn() const { return column_; }
    QList<QPushButton*> CallerButtons() const { return custom_; }

    // Fills the box from a request, shows it modally and answers the result number.
    int Execute(const MessageRequest& request);

    QWidget* pnHeader;
    Tyq_ShadowLabel* lbHeader;
    QScrollArea* sb;
    QLabel* lbWarnInform;
    QLabel* lbWarn;
    QFrame* bv;
    QToolButton* btCancelApp;
    QScrollArea* pnButton;
    QPushButton* btOk;
    QPushButton* btCancel;
    QTimer* Timer1;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void reject() override;

private:
    void ApplyStyle(int normalizedStyle);
    void ApplyColours();
    void Arrange();
    void ButtonClick(int result);
    void CancelAppClick();
    void TimerTick();
    QPushButton* FocusButton() const;

    int result_ = -1;
    int style_ = 0;
    int escAnswer_ = 1;
    int focusedResult_ = 0; // 0: by the rules of the style
    bool halt_ = false;
    bool column_ = false;
    QList<QPushButton*> custom_;
    QString title_, details_; // as given; the labels may hold break points
    QWidget* buttonBox_ = nullptr;
    QColor headerBack_, headerText_, headerShadow_, titleText_;
};

// The production message service.
IMessageService& MessageWindows();
// Start-up installs the windows as the message service; RemoveMessageWindows
// before the application object goes puts the fallback back.
void InstallMessageWindows();
void RemoveMessageWindows();
