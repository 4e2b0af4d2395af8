#include "foundation/Messages.h"
#include "foundation/IniPersist.h"
#include "platform/ProgramFolder.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// ---------------------------------------------------------------- texts

struct PipeCase {
    const char* name;
    const char* text;
    int n;
    const char* part;
    bool result;
};

class GetPipePartTest : public ::testing::TestWithParam<PipeCase> {};

TEST_P(GetPipePartTest, GivesPartAndResult)
{
    const PipeCase& c = GetParam();
    QString part = QStringLiteral("junk");
    EXPECT_EQ(GetPipePart(QString::fromUtf8(c.text), part, c.n), c.result);
    EXPECT_EQ(part, QString::fromUtf8(c.part));
}

INSTANTIATE_TEST_SUITE_P(Texts, GetPipePartTest,
    ::testing::Values(PipeCase{"ThirdOfThree", "A|B|C", 3, "C", true},
        PipeCase{"MissingFourth", "A|B|C", 4, "A", false}, PipeCase{"BlankSecond", "A|   |C", 2, "A", true},
        PipeCase{"ShortTextFirst", "a", 1, "a", true}, PipeCase{"ShortTextSecond", "a", 2, "a", false},
        PipeCase{"ZeroGivesWholeText", "A|B", 0, "A|B", false},
        PipeCase{"DoubleBarIsLiteral", "A||B|C", 1, "A|B", true},
        PipeCase{"DoubleBarInSecond", "A|x||y", 2, "x|y", true},
        PipeCase{"TripleBarIsLiteralThenSeparator", "A|||B", 2, "B", true},
        PipeCase{"NoSeparatorSecondMissing", "A||B", 2, "A|B", false}, PipeCase{"EmptyLastPart", "A|", 2, "A", true}),
    [](const auto& info) { return std::string(info.param.name); });

struct MessagePartCase {
    const char* name;
    const char* text;
    const char* title;
    const char* details;
};

class GetMessagePartTest : public ::testing::TestWithParam<MessagePartCase> {};

TEST_P(GetMessagePartTest, SplitsTitleAndDetails)
{
    const MessagePartCase& c = GetParam();
    QString title, details;
    GetMessagePart(QString::fromUtf8(c.text), true, title);
    GetMessagePart(QString::fromUtf8(c.text), false, details);
    EXPECT_EQ(title, QString::fromUtf8(c.title));
    EXPECT_EQ(details, QString::fromUtf8(c.details));
}

INSTANTIATE_TEST_SUITE_P(Texts, GetMessagePartTest,
    ::testing::Values(MessagePartCase{"TitleAndDetails", "T|x||y", "T", "x|y"},
        MessagePartCase{"Plain", "plain", "", "plain"},
        // A text whose only bar is a literal one has no title.
        MessagePartCase{"OnlyLiteralBar", "a||b", "", "a|b"}, MessagePartCase{"EmptyTitle", "|d", "", "d"},
        MessagePartCase{"ThirdPartIgnored", "T|D|E", "T", "D"}, MessagePartCase{"BlankDetails", "T|  ", "T", "  "},
        MessagePartCase{"Empty", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MessageTexts, EscapeBarsKeepsUserTextInsideItsPart)
{
    const QString text = QStringLiteral("Файл|") + EscapeBars(QStringLiteral("a|b||c"));
    EXPECT_EQ(MessageTitle(text), QStringLiteral("Файл"));
    EXPECT_EQ(MessageDetails(text), QStringLiteral("a|b||c"));
}

// ---------------------------------------------------------------- style

struct StyleCase {
    const char* name;
    int style;
    int normalized;
    const char* header;
    QStringList buttons;
};

class StyleTest : public ::testing::TestWithParam<StyleCase> {};

TEST_P(StyleTest, Normalizes)
{
    const StyleCase& c = GetParam();
    const int s = NormalizeMessageStyle(c.style);
    EXPECT_EQ(s, c.normalized);
    EXPECT_EQ(MessageStyleHeader(s), QString::fromUtf8(c.header));
    QStringList captions;
    for (const MsgButton& b : MessageStyleButtons(s))
        captions.append(b.caption);
    EXPECT_EQ(captions, c.buttons);
}

INSTANTIATE_TEST_SUITE_P(Style, StyleTest,
    ::testing::Values(StyleCase{"ZeroIsPlainOk", 0, 1, "Сообщение", {"Ok"}},
        StyleCase{"OkCancelRuleComesFirst", 0x30, 0x03, "Сообщение", {"Ok", "Отменить"}},
        StyleCase{"YesAndNoBitsGiveYesAlone", 0x0C, 0x04, "Сообщение", {"Да"}},
        StyleCase{"YesNoRequest", 0x20, 0x0C, "Сообщение", {"Да", "Нет"}},
        StyleCase{"CancelAlone", 0x02, 0x02, "Сообщение", {"Отменить"}},
        StyleCase{"OkBeforeCancelBit", 0x03, 0x01, "Сообщение", {"Ok"}},
        StyleCase{"ErrorOverWarning", 64 | 128 | 1, 64 | 128 | 1, "Ошибка !!!", {"Ok"}},
        StyleCase{"WarningOverChoice", 128 | 256 | 1, 128 | 256 | 1, "Внимание !!!", {"Ok"}},
        StyleCase{"ChoiceYesNo", 0x120, 0x10C, "Выбор пункта", {"Да", "Нет"}},
        // Without any button bit the whole word becomes 1, header bits included.
        StyleCase{"NoButtonBitsResetsEverything", 64 | 128, 1, "Сообщение", {"Ok"}},
        StyleCase{"ShowErrorStyle", 65, 65, "Ошибка !!!", {"Ok"}},
        StyleCase{"ShowWarningStyle", 129, 129, "Внимание !!!", {"Ok"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MessageForm, BadButtonElementsRaise)
{
    const QString text = QStringLiteral("FMsg.setButtons: Ошибка в параметрах");
    for (const MsgButtonArgs& args :
        {MsgButtonArgs{QStringLiteral("A"), 2}, MsgButtonArgs{1, 2}, MsgButtonArgs{true}, MsgButtonArgs{1.5}}) {
        try {
            BuildMessageForm(std::nullopt, std::nullopt, "t", 0, args, "d");
            ADD_FAILURE() << "no exception";
        } catch (const EAppException& e) {
            EXPECT_EQ(e.Message(), text);
        }
    }
}

TEST(MessageForm, NotNullCaptionAndHeaderReplaceTheStyles)
{
    const MessageRequest plain = BuildMessageForm(std::nullopt, std::nullopt, "t", msWarning | msOk, {""}, "d");
    EXPECT_EQ(plain.caption, QStringLiteral("Сообщение"));
    EXPECT_EQ(plain.header, QStringLiteral("Внимание !!!"));
    const MessageRequest empty = BuildMessageForm(QString(), QString(), "t", msWarning | msOk, {""}, "d");
    EXPECT_EQ(empty.caption, QString());
    EXPECT_EQ(empty.header, QString());
}

TEST(MessageForm, SingleStringButtonDoesNotAskForYesNo)
{
    const MessageRequest r = BuildMessageForm(std::nullopt, std::nullopt, "t", msOk, {"Один"}, "d");
    EXPECT_EQ(r.style, msOk);
    EXPECT_TRUE(r.customButtons);
    EXPECT_EQ(r.ButtonCaptions(), QStringList{"Один"});
}

TEST(MessageForm, FocusFollowsEscAnswer)
{
    // Caller's buttons: the Esc answer's button, 1 when out of range.
    EXPECT_EQ(BuildMessageForm(std::nullopt, std::nullopt, "t", 0, {2, "A", "B"}, "d").defaultButton, 2);
    EXPECT_EQ(BuildMessageForm(std::nullopt, std::nullopt, "t", 0, {7, "A", "B"}, "d").defaultButton, 1);
    // Standard buttons: OK/Yes unless the Esc answer is 2.
    EXPECT_EQ(BuildMessageForm(std::nullopt, std::nullopt, "t", 0, {2}, "d").defaultButton, msgNo);
    EXPECT_EQ(BuildMessageForm(std::nullopt, std::nullopt, "t", 0, {1}, "d").defaultButton, msgYes);
    EXPECT_EQ(BuildMessageForm(std::nullopt, std::nullopt, "t", msCancel, {""}, "d").defaultButton, msgCancel);
}

// ---------------------------------------------------------------- front ends

TEST(FrontEnds, ShowErrorSplitsTitleAndDetails)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Ok();
    msgs.Expect(MsgKind::Error).PressEsc();
    EXPECT_TRUE(ShowError("T|x||y"));
    // Closed with Esc counts as closed with OK.
    EXPECT_TRUE(ShowError("plain"));
    ASSERT_EQ(msgs.Log().size(), 2);
    const MessageRecord& a = msgs.Log()[0];
    EXPECT_EQ(a.title, QStringLiteral("T"));
    EXPECT_EQ(a.details, QStringLiteral("x|y"));
    EXPECT_EQ(a.header, QStringLiteral("Ошибка !!!"));
    EXPECT_EQ(a.caption, QStringLiteral("Сообщение"));
    EXPECT_EQ(a.style, 65);
    EXPECT_EQ(a.ButtonCaptions(), QStringList{"Ok"});
    EXPECT_EQ(a.escAnswer, 1);
    EXPECT_EQ(msgs.Log()[1].title, QString());
    EXPECT_EQ(msgs.Log()[1].details, QStringLiteral("plain"));
}

TEST(FrontEnds, ShowErrorWhileTerminatingSwitchesIniSavingOff)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Times(2);
    IniSavingEnabled = true;
    ShowError("a");
    EXPECT_TRUE(IniSavingEnabled);
    SetApplicationTerminating(true);
    ShowError("b");
    SetApplicationTerminating(false);
    EXPECT_FALSE(IniSavingEnabled);
}

TEST(FrontEnds, ErrorAbortShowsThenAbortsSilently)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title("Нет файла").Details("x.ini");
    EXPECT_THROW(ErrorAbort("Нет файла|x.ini"), EAbort);
}

TEST(FrontEnds, ShowWarning)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Warning).Header("Внимание !!!").Title("").Details("Сегодня :    01.01.2025");
    EXPECT_TRUE(ShowWarning("Сегодня :    01.01.2025"));
    EXPECT_EQ(msgs.Last().style, 129);
}

TEST(FrontEnds, ChooseButtonAnswers)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Choice).PressEsc();
    msgs.Expect(MsgKind::Choice).PressEsc();
    msgs.Expect(MsgKind::Choice).Press("B");
    const MsgButtonArgs abc{"A", "B", "C"};
    EXPECT_EQ(ChooseButton("t", "d", abc), 1);
    EXPECT_EQ(ChooseButton("t", "d", {3, "A", "B", "C"}), 3);
    EXPECT_EQ(ChooseButton("t", "d", abc), 2);
    const MessageRecord& r = msgs.Log()[0];
    EXPECT_EQ(r.header, QStringLiteral("Выбор пункта"));
    EXPECT_EQ(r.ButtonCaptions(), (QStringList{"A", "B", "C"}));
    EXPECT_TRUE(r.customButtons);
    EXPECT_EQ(msgs.Log()[1].defaultButton, 3);
}

TEST(FrontEnds, ChooseErrorButtonHasErrorHeader)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ErrorChoice).Header("Ошибка !!!").Answer(2);
    EXPECT_EQ(ChooseErrorButton("t", "d", {"Повторить", "Отказаться"}), 2);
    EXPECT_EQ(msgs.Last().style & msError, msError);
}

TEST(FrontEnds, AskYesNoEscFollowsDefault)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).PressEsc();
    msgs.Expect(MsgKind::Question).PressEsc();
    msgs.Expect(MsgKind::Question).Yes();
    EXPECT_FALSE(AskYesNo("Ошибка инициализации программы", "Прервать выполнение ?", false));
    EXPECT_TRUE(AskYesNo("t", "d", true));
    EXPECT_TRUE(AskYesNo("t", "d", false));
    const MessageRecord& no = msgs.Log()[0];
    EXPECT_EQ(no.caption, QStringLiteral(" "));
    EXPECT_EQ(no.header, QStringLiteral("Выберите \"ДА\" или \"НЕТ\""));
    EXPECT_EQ(no.title, QStringLiteral("Ошибка инициализации программы"));
    EXPECT_EQ(no.details, QStringLiteral("Прервать выполнение ?"));
    EXPECT_EQ(no.ButtonCaptions(), (QStringList{"Да", "Нет"}));
    EXPECT_FALSE(no.customButtons);
    EXPECT_EQ(no.escAnswer, msgNo);
    EXPECT_EQ(no.defaultButton, msgNo);
    EXPECT_EQ(msgs.Log()[1].escAnswer, msgYes);
    EXPECT_EQ(msgs.Log()[1].defaultButton, msgYes);
}

TEST(FrontEnds, AskSaveChangesEscIsYes)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::SaveChanges).PressEsc();
    msgs.Expect(MsgKind::SaveChanges).No();
    EXPECT_TRUE(AskSaveChanges("Карточка изменена"));
    EXPECT_FALSE(AskSaveChanges("Карточка изменена"));
    const MessageRecord& r = msgs.Log()[0];
    EXPECT_EQ(r.caption, QStringLiteral(" "));
    EXPECT_EQ(r.header, QStringLiteral("Сохранение данных"));
    EXPECT_EQ(r.title, QStringLiteral("Сохранить изменения?"));
    EXPECT_EQ(r.details, QStringLiteral("Карточка изменена"));
}

TEST(FrontEnds, ConfirmDeleteTexts)
{
    const QString block = QStringLiteral("Вы уверены в необходимости удаления ?") + kCrLf + kCrLf
        + QStringLiteral("ВНИМАНИЕ:  Удаленные данные восстановлению не подлежат !!!");
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ConfirmDelete).PressEsc();
    msgs.Expect(MsgKind::ConfirmDelete).Yes();
    EXPECT_FALSE(ConfirmDelete("Сотрудник", "Иванов И.И."));
    EXPECT_TRUE(ConfirmDelete("Сотрудник", ""));
    const MessageRecord& r = msgs.Log()[0];
    EXPECT_EQ(r.caption, QStringLiteral("ВНИМАНИЕ !!!"));
    EXPECT_EQ(r.header, QStringLiteral("Удаление данных"));
    EXPECT_EQ(r.title, QStringLiteral("Сотрудник"));
    EXPECT_EQ(r.details, QStringLiteral("Иванов И.И.") + kCrLf + kCrLf + block);
    EXPECT_EQ(r.escAnswer, msgNo);
    EXPECT_EQ(msgs.Log()[1].details, kCrLf + block + kCrLf);
}

TEST(FrontEnds, AskAttentionIsAStandardYesNoBox)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Attention).Yes();
    msgs.Expect(MsgKind::Attention).PressEsc();
    EXPECT_TRUE(AskAttention("Прервать операцию ?", true));
    EXPECT_FALSE(AskAttention("Вы действительно хотите прекратить работу программы ?", false));
    const MessageRecord& yes = msgs.Log()[0];
    EXPECT_EQ(yes.caption, QStringLiteral("!!!  В Н И М А Н И Е  !!!"));
    EXPECT_EQ(yes.details, QStringLiteral("Прервать операцию ?"));
    EXPECT_EQ(yes.result, IDYES);
    EXPECT_EQ(yes.defaultButton, IDYES);
    EXPECT_EQ(msgs.Log()[1].defaultButton, IDNO);
    EXPECT_EQ(msgs.Log()[1].result, IDNO);
}

TEST(FrontEnds, AppMessageBoxFlags)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::StandardBox).PressEsc();
    msgs.Expect(MsgKind::StandardBox).Press("Отмена");
    msgs.Expect(MsgKind::StandardBox).Ok();
    EXPECT_EQ(AppMessageBox("Готово", "Qor"), IDOK);
    EXPECT_EQ(AppMessageBoxFlags("Продолжить?", "Qor", MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(AppMessageBoxFlags("x", "Qor", MB_OKCANCEL), IDOK);
    EXPECT_EQ(msgs.Log()[0].ButtonCaptions(), QStringList{"OK"});
    EXPECT_EQ(msgs.Log()[1].ButtonCaptions(), (QStringList{"Да", "Нет", "Отмена"}));
    EXPECT_EQ(msgs.Log()[1].defaultButton, IDCANCEL);
}

TEST(FrontEnds, MessageFormGeneralForm)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Form).Caption("Архив").Header("Свой заголовок").Answer(2);
    EXPECT_EQ(MessageForm(QStringLiteral("Архив"), QStringLiteral("Свой заголовок"), "t", 0, {"A", "B"}, "d"), 2);
    EXPECT_EQ(msgs.Last().style, 0x10C);
}

TEST(FrontEnds, RaiseErrorAndRaiseErrorFmt)
{
    try {
        RaiseError("RestIniStrings");
        ADD_FAILURE();
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("RestIniStrings"));
    }
    try {
        RaiseErrorFmt("Таблица %s: %d строк", QStringLiteral("SR"), 12);
        ADD_FAILURE();
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Таблица SR: 12 строк"));
    }
}

TEST(FrontEnds, InputAndPasswordRequests)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Input).Enter(Variant(42));
    msgs.Expect(MsgKind::Password).PressEsc();
    msgs.Expect(MsgKind::Input).Ok();
    Variant v(7);
    EXPECT_TRUE(RequestValue(" ", "Число", ivInteger, v));
    EXPECT_EQ(v.AsInteger(), 42);
    EXPECT_EQ(msgs.Log()[0].value.AsInteger(), 7);
    Variant pw(QStringLiteral("secret"));
    EXPECT_FALSE(RequestValue("Введите пароль", "", ivPassword, pw));
    EXPECT_EQ(pw.AsString(), QStringLiteral("secret"));
    // The password box never receives the current text.
    EXPECT_TRUE(msgs.Log()[1].value.IsEmpty());
    Variant same(QStringLiteral("как есть"));
    EXPECT_TRUE(RequestValue(" ", "Текст", ivText, same));
    EXPECT_EQ(same.AsString(), QStringLiteral("как есть"));
}

// ---------------------------------------------------------------- stop window

TEST(DebugStop, NothingWithoutMarker)
{
    ScopedProgramFolder folder;
    CheckDebugStopMarker();
    ScriptedMessages msgs; // any message would fail the test
    DebugStop("x");
    EXPECT_FALSE(DebugStopEnabled());
    EXPECT_TRUE(msgs.Log().isEmpty());
}

TEST(DebugStop, MarkerBesideProgramSwitchesItOn)
{
    ScopedProgramFolder folder;
    WriteFileBytes(folder.File(ProgramName() + ".111"), QByteArray());
    CheckDebugStopMarker();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::DebugStop).Details(" <a, 5>").Press("Cn");
    msgs.Expect(MsgKind::DebugStop).Press("Ex");
    DebugStopArgs({"a", 5});
    EXPECT_FALSE(ApplicationTerminating());
    EXPECT_THROW(DebugStop("b"), EAbort);
    EXPECT_TRUE(ApplicationTerminating());
    // Never shown while terminating.
    DebugStop("c");
    SetApplicationTerminating(false);
    QFile::remove(folder.File(ProgramName() + ".111"));
    CheckDebugStopMarker();
    EXPECT_FALSE(DebugStopEnabled());
}

// ---------------------------------------------------------------- the responder itself

TEST(ScriptedResponder, FailsOnUnexpectedMessage)
{
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedMessages msgs;
            ShowError("Ошибка|нежданная");
        },
        "unexpected message");
}

TEST(ScriptedResponder, FailsOnUnusedExpectation)
{
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Question).Yes();
        },
        "was not used");
}

TEST(ScriptedResponder, FailsOnWrongKindOrText)
{
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Warning);
            ShowError("x");
        },
        "wants a message of kind Warning");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Error).Details("y");
            ShowError("x");
        },
        "details is \"x\", expected \"y\"");
}

TEST(ScriptedResponder, FailsOnButtonTheBoxDoesNotShow)
{
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Error).Yes();
            ShowError("x");
        },
        "no button \"Да\"");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Choice).Answer(4);
            ChooseButton("t", "d", {"A", "B", "C"});
        },
        "no button gives the result 4");
}

TEST(ScriptedResponder, NestedScopesRestoreThePreviousService)
{
    ScriptedMessages outer;
    outer.Expect(MsgKind::Warning);
    {
        ScriptedMessages inner;
        inner.Expect(MsgKind::Error);
        ShowError("inner");
        EXPECT_EQ(inner.Log().size(), 1);
    }
    ShowWarning("outer");
    EXPECT_EQ(outer.Log().size(), 1);
    EXPECT_EQ(outer.Pending(), 0);
}

} // namespace
