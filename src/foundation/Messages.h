#pragma once
// The message service: every message, question and choice of the program
// goes through one interface. The front ends below build a complete request
// (texts, buttons, Esc answer, focused button) without any window, so that
// the window and the scripted responder of the tests answer the same thing.
//
// A message text is "title|details": it splits at single bars, and "||"
// stands for one literal bar inside a part (EscapeBars doubles them).

#include "platform/Exceptions.h"
#include "platform/Variant.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

enum class MsgKind {
    Error, // ShowError, ErrorAbort
    Warning, // ShowWarning
    Form, // MessageForm called directly
    Choice, // ChooseButton
    ErrorChoice, // ChooseErrorButton
    Question, // AskYesNo
    SaveChanges, // AskSaveChanges
    ConfirmDelete, // ConfirmDelete
    Attention, // AskAttention (standard box)
    StandardBox, // AppMessageBox, AppMessageBoxFlags
    DebugStop, // the developer's stop window
    Input, // one-value input
    Password, // hidden-text input
};

QString MsgKindName(MsgKind kind);

// Style word of the program's message box.
enum : int {
    msOk = 0x01,
    msCancel = 0x02,
    msYes = 0x04,
    msNo = 0x08,
    msOkCancel = 0x10, // request: OK and Cancel
    msYesNo = 0x20, // request: Yes and No
    msError = 0x40,
    msWarning = 0x80,
    msChoice = 0x100,
};

// Results of the program's message box: OK/Yes 1, Cancel/No 2, the
// caller's button k gives k.
enum : int { msgOk = 1, msgCancel = 2, msgYes = 1, msgNo = 2 };

// Flags and results of the standard box (AppMessageBoxFlags, AskAttention),
// with the values the old program passed.
enum : int {
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_ABORTRETRYIGNORE = 0x02,
    MB_YESNOCANCEL = 0x03,
    MB_YESNO = 0x04,
    MB_RETRYCANCEL = 0x05,
    MB_ICONHAND = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONASTERISK = 0x40,
    MB_DEFBUTTON2 = 0x100,
    MB_DEFBUTTON3 = 0x200,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

// Kinds of the one-value input.
enum : int { ivText = 1, ivInteger = 3, ivFloat = 6, ivDate = 8, ivPassword = 13 };

struct MsgButton {
    QString caption;
    int result = 0;
    friend bool operator==(const MsgButton&, const MsgButton&) = default;
};

struct MessageRequest {
    MsgKind kind = MsgKind::Form;
    QString caption; // window caption
    QString header; // the coloured header line
    QString title; // first part of the text (may be empty)
    QString details; // second part, or the whole text
    int style = msOk; // normalised style word; the standard box: its MB_ flags
    QList<MsgButton> buttons; // in display order
    bool customButtons = false; // the caller's captions, not the style's
    int escAnswer = 1; // result on Esc
    int defaultButton = 1; // result of the button that has the focus
    // One-value input only.
    int valueKind = 0;
    Variant value; // shown in the edit (not for passwords)

    QStringList ButtonCaptions() const;
    // One line for logs and test failures.
    QString Describe() const;
};

class IMessageService {
public:
    virtual ~IMessageService() = default;
    // Shows the box modally and answers its result number.
    virtual int Show(const MessageRequest& request) = 0;
    // Asks for one value; true with the converted value when confirmed.
    virtual bool Input(const MessageRequest& request, Variant& value) = 0;
};

IMessageService& MessageService();
// Installs a service (not owned); nullptr restores the fallback, which
// writes the message to stderr and answers the Esc answer.
void SetMessageService(IMessageService* service);

// Installs a service for the life of the object, then puts the previous one back.
class ScopedMessageService {
public:
    explicit ScopedMessageService(IMessageService* service) : previous_(&MessageService())
    {
        SetMessageService(service);
    }
    ~ScopedMessageService() { SetMessageService(previous_); }
    ScopedMessageService(const ScopedMessageService&) = delete;
    ScopedMessageService& operator=(const ScopedMessageService&) = delete;

private:
    IMessageService* previous_;
};

// Qt has no "application is terminating" state of its own: this flag is it.
bool ApplicationTerminating();
void SetApplicationTerminating(bool terminating);
// Sets the flag, asks the event loop to quit and lets pending events run.
void TerminateApplication();

// ---------------------------------------------------------------- texts

// The N-th part (from 1) of a message text. A missing part gives the first
// part and false; a blank one the first part and true.
bool GetPipePart(const QString& text, QString& part, int n);
// The title (first) or the details of a message text.
void GetMessagePart(const QString& text, bool first, QString& part);
QString MessageTitle(const QString& text);
QString MessageDetails(const QString& text);
// Doubles every bar, so that a user-supplied text stays inside its part.
QString EscapeBars(const QString& text);

// The style normalisation of the box: one pair or one button, the request
// bits cleared, 1 when no button is left.
int NormalizeMessageStyle(int style);
QString MessageStyleHeader(int normalizedStyle);
// The standard buttons of a normalised style with their results.
QList<MsgButton> MessageStyleButtons(int normalizedStyle);

// Caller's buttons of MessageForm: strings add buttons, a first integer
// sets the Esc answer. Anything else raises "FMsg.setButtons: Ошибка в параметрах".
using MsgButtonArgs = QList<Variant>;

// Builds what MessageForm shows, without showing it.
MessageRequest BuildMessageForm(const std::optional<QString>& caption, const std::optional<QString>& header,
    const QString& title, int style, const MsgButtonArgs& buttons, const QString& details);

// ---------------------------------------------------------------- front ends

bool ShowError(const QString& text);
[[noreturn]] void ErrorAbort(const QString& text);
bool ShowWarning(const QString& text);
int MessageForm(const std::optional<QString>& caption, const std::optional<QString>& header, const QString& title,
    int style, const MsgButtonArgs& buttons, const QString& details);
int ChooseButton(const QString& title, const QString& details, const MsgButtonArgs& buttons);
int ChooseErrorButton(const QString& title, const QString& details, const MsgButtonArgs& buttons);
bool AskYesNo(const QString& title, const QString& details, bool defaultYes);
bool AskSaveChanges(const QString& details);
bool ConfirmDelete(const QString& title, const QString& text);
bool AskAttention(const QString& text, bool defaultYes);
int AppMessageBox(const QString& text, const QString& caption);
int AppMessageBoxFlags(const QString& text, const QString& caption, int flags);

[[noreturn]] void RaiseError(const QString& msg);
[[noreturn]] void RaiseErrorFmt(const QString& msg, const QList<Variant>& args);
template <typename... Args> [[noreturn]] void RaiseErrorFmt(const QString& msg, const Args&... args)
{
    RaiseErrorFmt(msg, QList<Variant>{Variant(args)...});
}

// One-value input through the service; kind ivPassword hides the text.
bool RequestValue(const QString& caption, const QString& prompt, int valueKind, Variant& value);

// The developer's stop window: shown only when the marker file
// <program folder><program name>.111 was present at start-up. Its "Ex"
// button tells the application to terminate and raises the silent abort.
void CheckDebugStopMarker();
bool DebugStopEnabled();
void DebugStop(const QString& text);
void DebugStopArgs(const QList<Variant>& args);
