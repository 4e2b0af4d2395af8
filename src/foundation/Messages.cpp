#include "foundation/Messages.h"
#include "foundation/IniPersist.h"
#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

const QChar kBar = QLatin1Char('|');
const QString kCrLf = QStringLiteral("\r\n");

class FallbackMessages final : public IMessageService {
public:
    int Show(const MessageRequest& request) override
    {
        std::fprintf(stderr, "%s\n", request.Describe().toLocal8Bit().constData());
        return request.escAnswer;
    }
    bool Input(const MessageRequest& request, Variant&) override
    {
        std::fprintf(stderr, "%s\n", request.Describe().toLocal8Bit().constData());
        return false;
    }
};

FallbackMessages g_fallback;
IMessageService* g_service = nullptr;
bool g_terminating = false;
bool g_debugStop = false;

// Blanks and control characters, as the old runtime's Trim saw them.
bool IsBlank(const QString& s)
{
    for (const QChar c : s)
        if (c.unicode() > 32)
            return false;
    return true;
}

QString Unescape(QString s) { return s.replace(QStringLiteral("||"), QStringLiteral("|")); }

// The raw parts of a message text, split at single bars ("||" stays inside).
QStringList SplitParts(const QString& text)
{
    QStringList parts;
    int start = 0;
    int i = 0;
    while (i < text.size()) {
        if (text[i] == kBar) {
            if (i + 1 < text.size() && text[i + 1] == kBar) {
                i += 2;
                continue;
            }
            parts.append(text.mid(start, i - start));
            start = i + 1;
        }
        ++i;
    }
    parts.append(text.mid(start));
    return parts;
}

void ProcessPendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

int ShowRequest(const MessageRequest& request)
{
    const int result = MessageService().Show(request);
    ProcessPendingEvents();
    return result;
}

MessageRequest StandardBox(MsgKind kind, const QString& text, const QString& caption, int flags)
{
    MessageRequest r;
    r.kind = kind;
    r.caption = caption;
    r.details = text;
    r.style = flags;
    const MsgButton ok{QStringLiteral("OK"), IDOK};
    const MsgButton cancel{QStringLiteral("Отмена"), IDCANCEL};
    const MsgButton yes{QStringLiteral("Да"), IDYES};
    const MsgButton no{QStringLiteral("Нет"), IDNO};
    const MsgButton retry{QStringLiteral("Повтор"), IDRETRY};
    switch (flags & 0x0F) {
    case MB_OKCANCEL:
        r.buttons = {ok, cancel};
        r.escAnswer = IDCANCEL;
        break;
    case MB_ABORTRETRYIGNORE:
        r.buttons = {{QStringLiteral("Прервать"), IDABORT}, retry, {QStringLiteral("Пропустить"), IDIGNORE}};
        r.escAnswer = IDABORT;
        break;
    case MB_YESNOCANCEL:
        r.buttons = {yes, no, cancel};
        r.escAnswer = IDCANCEL;
        break;
    case MB_YESNO:
        r.buttons = {yes, no};
        r.escAnswer = IDNO;
        break;
    case MB_RETRYCANCEL:
        r.buttons = {retry, cancel};
        r.escAnswer = IDCANCEL;
        break;
    default:
        r.buttons = {ok};
        r.escAnswer = IDOK;
        break;
    }
    const int def = (flags >> 8) & 0x0F;
    r.defaultButton = r.buttons[def < r.buttons.size() ? def : 0].result;
    return r;
}

} // namespace

// ---------------------------------------------------------------- requests

QString MsgKindName(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Error: return QStringLiteral("Error");
    case MsgKind::Warning: return QStringLiteral("Warning");
    case MsgKind::Form: return QStringLiteral("Form");
    case MsgKind::Choice: return QStringLiteral("Choice");
    case MsgKind::ErrorChoice: return QStringLiteral("ErrorChoice");
    case MsgKind::Question: return QStringLiteral("Question");
    case MsgKind::SaveChanges: return QStringLiteral("SaveChanges");
    case MsgKind::ConfirmDelete: return QStringLiteral("ConfirmDelete");
    case MsgKind::Attention: return QStringLiteral("Attention");
    case MsgKind::StandardBox: return QStringLiteral("StandardBox");
    case MsgKind::DebugStop: return QStringLiteral("DebugStop");
    case MsgKind::Input: return QStringLiteral("Input");
    case MsgKind::Password: return QStringLiteral("Password");
    }
    return QStringLiteral("?");
}

QStringList MessageRequest::ButtonCaptions() const
{
    QStringList list;
    for (const MsgButton& b : buttons)
        list.append(b.caption);
    return list;
}

QString MessageRequest::Describe() const
{
    QStringList b;
    for (const MsgButton& button : buttons)
        b.append(QStringLiteral("%1=%2").arg(button.caption).arg(button.result));
    QString s = QStringLiteral("[%1] caption \"%2\" header \"%3\" title \"%4\" details \"%5\" buttons {%6} esc %7")
                    .arg(MsgKindName(kind), caption, header, title, details, b.join(QStringLiteral(", ")))
                    .arg(escAnswer);
    if (kind == MsgKind::Input || kind == MsgKind::Password)
        s += QStringLiteral(" value kind %1").arg(valueKind);
    return s;
}

IMessageService& MessageService() { return g_service ? *g_service : g_fallback; }

void SetMessageService(IMessageService* service) { g_service = service; }

bool ApplicationTerminating() { return g_terminating; }

void SetApplicationTerminating(bool terminating) { g_terminating = terminating; }

void TerminateApplication()
{
    g_terminating = true;
    if (QCoreApplication::instance())
        QCoreApplication::quit();
    ProcessPendingEvents();
}

// ---------------------------------------------------------------- texts

bool GetPipePart(const QString& text, QString& part, int n)
{
    if (n <= 0 || text.size() < 2) {
        part = text;
        return n == 1;
    }
    const QStringList parts = SplitParts(text);
    if (n <= parts.size() && !IsBlank(parts[n - 1])) {
        part = Unescape(parts[n - 1]);
        return true;
    }
    part = Unescape(parts[0]);
    return n <= parts.size();
}

void GetMessagePart(const QString& text, bool first, QString& part)
{
    const QStringList parts = SplitParts(text);
    if (parts.size() < 2)
        part = first ? QString() : Unescape(text);
    else
        part = Unescape(parts[first ? 0 : 1]);
}

QString MessageTitle(const QString& text)
{
    QString part;
    GetMessagePart(text, true, part);
    return part;
}

QString MessageDetails(const QString& text)
{
    QString part;
    GetMessagePart(text, false, part);
    return part;
}

QString EscapeBars(const QString& text)
{
    QString s = text;
    return s.replace(kBar, QStringLiteral("||"));
}

int NormalizeMessageStyle(int style)
{
    int buttons = 0;
    if (style & msOkCancel)
        buttons = msOk | msCancel;
    else if (style & msYesNo)
        buttons = msYes | msNo;
    else if (style & msYes)
        buttons = msYes;
    else if (style & msNo)
        buttons = msNo;
    else if (style & msOk)
        buttons = msOk;
    else if (style & msCancel)
        buttons = msCancel;
    if (buttons == 0)
        return msOk;
    return (style & ~0x3F & 0xFFFF) | buttons;
}

QString MessageStyleHeader(int style)
{
    if (style & msError)
        return QStringLiteral("Ошибка !!!");
    if (style & msWarning)
        return QStringLiteral("Внимание !!!");
    if (style & msChoice)
        return QStringLiteral("Выбор пункта");
    return QStringLiteral("Сообщение");
}

QList<MsgButton> MessageStyleButtons(int style)
{
    QList<MsgButton> list;
    if (style & msOk)
        list.append({QStringLiteral("Ok"), msgOk});
    if (style & msYes)
        list.append({QStringLiteral("Да"), msgYes});
    if (style & msCancel)
        list.append({QStringLiteral("Отменить"), msgCancel});
    if (style & msNo)
        list.append({QStringLiteral("Нет"), msgNo});
    return list;
}

MessageRequest BuildMessageForm(const std::optional<QString>& caption, const std::optional<QString>& header,
    const QString& title, int style, const MsgButtonArgs& buttons, const QString& details)
{
    MessageRequest r;
    r.kind = MsgKind::Form;
    int s = style == 0 ? (msChoice | msYesNo) : style;
    int esc = 1;
    QList<MsgButton> custom;
    const bool noButtons = buttons.size() == 1 && buttons[0].IsString() && buttons[0].AsString().isEmpty();
    if (!noButtons) {
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            const Variant& v = buttons[i];
            if (v.IsOrdinal() && i == 0)
                esc = v.AsInteger();
            else if (v.IsString())
                custom.append({v.AsString(), static_cast<int>(custom.size()) + 1});
            else
                throw EAppException(QStringLiteral("FMsg.setButtons: Ошибка в параметрах"));
        }
        // A lone integer asks for the standard Yes and No with that Esc answer.
        if (buttons.size() == 1 && buttons[0].IsOrdinal())
            s = (s | msYesNo) & ~msOkCancel;
    }
    r.style = NormalizeMessageStyle(s);
    r.caption = caption ? *caption : QStringLiteral("Сообщение");
    r.header = header ? *header : MessageStyleHeader(r.style);
    r.title = title;
    r.details = details;
    r.escAnswer = esc;
    if (!custom.isEmpty()) {
        r.buttons = custom;
        r.customButtons = true;
        r.defaultButton = esc >= 1 && esc <= custom.size() ? esc : 1;
    } else {
        r.buttons = MessageStyleButtons(r.style);
        r.defaultButton = r.buttons.first().result;
        if (esc == msgCancel)
            for (const MsgButton& b : r.buttons)
                if (b.result == msgCancel)
                    r.defaultButton = msgCancel;
    }
    return r;
}

// ---------------------------------------------------------------- front ends

namespace {
const MsgButtonArgs kNoButtons{QString()};

int ShowForm(MsgKind kind, const std::optional<QString>& caption, const std::optional<QString>& header,
    const QString& title, int style, const MsgButtonArgs& buttons, const QString& details)
{
    MessageRequest r = BuildMessageForm(caption, header, title, style, buttons, details);
    r.kind = kind;
    return ShowRequest(r);
}
} // namespace

bool ShowError(const QString& text)
{
    MessageRequest r = BuildMessageForm(
        std::nullopt, std::nullopt, MessageTitle(text), msError | msOk, kNoButtons, MessageDetails(text));
    r.kind = MsgKind::Error;
    const int result = MessageService().Show(r);
    if (ApplicationTerminating())
        IniSavingEnabled = false;
    ProcessPendingEvents();
    return result == msgOk;
}

void ErrorAbort(const QString& text)
{
    ShowError(text);
    Abort();
}

bool ShowWarning(const QString& text)
{
    return ShowForm(MsgKind::Warning, std::nullopt, std::nullopt, MessageTitle(text), msWarning | msOk, kNoButtons,
               MessageDetails(text))
        == msgOk;
}

int MessageForm(const std::optional<QString>& caption, const std::optional<QString>& header, const QString& title,
    int style, const MsgButtonArgs& buttons, const QString& details)
{
    return ShowForm(MsgKind::Form, caption, header, title, style, buttons, details);
}

int ChooseButton(const QString& title, const QString& details, const MsgButtonArgs& buttons)
{
    return ShowForm(MsgKind::Choice, std::nullopt, std::nullopt, title, msChoice | msYesNo, buttons, details);
}

int ChooseErrorButton(const QString& title, const QString& details, const MsgButtonArgs& buttons)
{
    return ShowForm(MsgKind::ErrorChoice, std::nullopt, std::nullopt, title, msError | msYesNo, buttons, details);
}

bool AskYesNo(const QString& title, const QString& details, bool defaultYes)
{
    return ShowForm(MsgKind::Question, QStringLiteral(" "), QStringLiteral("Выберите \"ДА\" или \"НЕТ\""), title, 0,
               {defaultYes ? msgYes : msgNo}, details)
        == msgYes;
}

bool AskSaveChanges(const QString& details)
{
    return ShowForm(MsgKind::SaveChanges, QStringLiteral(" "), QStringLiteral("Сохранение данных"),
               QStringLiteral("Сохранить изменения?"), 0, {msgYes}, details)
        == msgYes;
}

bool ConfirmDelete(const QString& title, const QString& text)
{
    const QString question = QStringLiteral("Вы уверены в необходимости удаления ?");
    const QString warning = QStringLiteral("ВНИМАНИЕ:  Удаленные данные восстановлению не подлежат !!!");
    const QString block = question + kCrLf + kCrLf + warning;
    const QString details = text.isEmpty() ? kCrLf + block + kCrLf : text + kCrLf + kCrLf + block;
    return ShowForm(MsgKind::ConfirmDelete, QStringLiteral("ВНИМАНИЕ !!!"), QStringLiteral("Удаление данных"), title, 0,
               {msgNo}, details)
        == msgYes;
}

bool AskAttention(const QString& text, bool defaultYes)
{
    const int flags = MB_YESNO | MB_ICONQUESTION | (defaultYes ? 0 : MB_DEFBUTTON2);
    return ShowRequest(StandardBox(MsgKind::Attention, text, QStringLiteral("!!!  В Н И М А Н И Е  !!!"), flags))
        == IDYES;
}

int AppMessageBox(const QString& text, const QString& caption) { return AppMessageBoxFlags(text, caption, MB_OK); }

int AppMessageBoxFlags(const QString& text, const QString& caption, int flags)
{
    return ShowRequest(StandardBox(MsgKind::StandardBox, text, caption, flags));
}

void RaiseError(const QString& msg) { throw EAppException(msg); }

void RaiseErrorFmt(const QString& msg, const QList<Variant>& args) { throw EAppException(FormatList(msg, args)); }

bool RequestValue(const QString& caption, const QString& prompt, int valueKind, Variant& value)
{
    MessageRequest r;
    r.kind = valueKind == ivPassword ? MsgKind::Password : MsgKind::Input;
    r.caption = caption;
    r.header = QStringLiteral("Введите значение");
    r.title = prompt;
    r.buttons = {{QStringLiteral("Ok"), msgOk}};
    r.escAnswer = msgCancel;
    r.defaultButton = msgOk;
    r.valueKind = valueKind;
    if (valueKind != ivPassword)
        r.value = value;
    Variant answer = r.value;
    const bool ok = MessageService().Input(r, answer);
    ProcessPendingEvents();
    if (ok)
        value = answer;
    return ok;
}

// ---------------------------------------------------------------- stop window

void CheckDebugStopMarker()
{
    g_debugStop = QFileInfo::exists(ProgramFolder() + ProgramName() + QStringLiteral(".111"));
}

bool DebugStopEnabled() { return g_debugStop; }

void DebugStop(const QString& text) { DebugStopArgs({text}); }

void DebugStopArgs(const QList<Variant>& args)
{
    if (!g_debugStop || ApplicationTerminating())
        return;
    QStringList texts;
    for (const Variant& v : args)
        texts.append(VarToStr(v));
    MessageRequest r;
    r.kind = MsgKind::DebugStop;
    r.caption = QStringLiteral(" Stop: ");
    r.title = QStringLiteral(" Stop: "); // the window puts the active control's name here when there is one
    r.details = QStringLiteral(" <") + texts.join(QStringLiteral(", ")) + QLatin1Char('>');
    r.buttons = {{QStringLiteral("Cn"), 1}, {QStringLiteral("Ex"), 2}};
    r.customButtons = true;
    if (ShowRequest(r) == 2) {
        TerminateApplication();
        Abort();
    }
}
