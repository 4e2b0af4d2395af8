#pragma once
// The one-value input box: a prompt, one edit and "Ok". The kind decides
// which keys the edit takes and how its text becomes the value:
// ivInteger (3), ivFloat (6), ivDate (8), ivPassword (13, hidden text),
// ivText (1 and any other).
//
// The routines go through the message service like every question of the
// program; the production service shows this box.

#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/controls/ShadowLabel.h"
#include "platform/Variant.h"

class QLabel;
class QLineEdit;
class QPushButton;
struct MessageRequest;

class TFormGet : public TForm {
    Q_OBJECT
public:
    explicit TFormGet(QWidget* parent = nullptr);

    // Clears the edit and sets its allowed keys, maximum length and echo.
    void SetKind(int kind);
    int Kind() const { return kind_; }
    // A prompt that fits the header's width becomes the header; a longer one
    // goes into the description under the design header.
    void SetPrompt(const QString& prompt);
    // The current value as the edit's text (not for the password kind).
    void SetValue(const Variant& value);
    // The edit's text converted by kind; EConvertError when it does not convert.
    Variant ConvertedValue() const;

    // Shows the box for a request (caption, prompt in its title, kind and
    // current value); true with the converted value when confirmed with Ok.
    bool Execute(const MessageRequest& request, Variant& value);

    Tyq_ShadowLabel* lbHeader;
    QLabel* lb;
    QLineEdit* ed;
    QPushButton* btOk;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    // True when the key is dropped.
    bool FilterKey(QKeyEvent* event);
    void OkClick();
    void TextEdited(const QString& text);
    void FitHeight();

    int kind_ = 1;
    int maxLength_ = 0; // 0: none
    QString prompt_;
};

// Asks for one value; true when confirmed, Value then converted by Kind.
bool InputValue(const QString& prompt, int kind, Variant& value);
bool InputString(const QString& prompt, QString& s);
// A date of 0 shows an empty edit.
bool InputDate(const QString& prompt, TDateTime& d);
