#pragma once
// Scripted answers for the message service. Every test that may show a
// message declares one; it installs itself for its scope.
//
//   ScriptedMessages msgs;
//   msgs.Expect(MsgKind::Question).Yes();               // AskYesNo answered "Да"
//   msgs.Expect(MsgKind::Error).Title("T").PressEsc();   // ShowError, checks its title
//   msgs.Expect(MsgKind::Choice).Press("B");             // ChooseButton by caption
//   msgs.Expect(MsgKind::Form).Answer(3);                // by result number
//   msgs.Expect(MsgKind::Input).Enter(Variant(12));      // one-value input
//   msgs.Expect(MsgKind::Error).Times(2);                // two errors, each closed with Esc
//   RunTheCodeUnderTest();
//   ASSERT_EQ(msgs.Log().size(), 5u);
//   EXPECT_EQ(msgs.Log()[0].details, "...");
//
// Expectations are used in order. An expectation without an answer presses
// Esc, which gives exactly the request's Esc answer (an input is then not
// confirmed). The current test fails on a message nobody expected (it is
// answered with Esc), on a kind or text that does not match, on an answer
// the box cannot give (a caption it does not show), and when expectations
// are left unused at the end of the scope. Log() holds every message shown,
// expected or not, with the answer given.

#include "foundation/Messages.h"

#include <QList>
#include <QString>
#include <deque>
#include <optional>

struct MessageRecord : MessageRequest {
    int result = 0; // what Show answered
    bool confirmed = false; // Input: what Input answered
    Variant answer; // Input: the value handed back
    bool expected = false;
};

class ScriptedMessages final : public IMessageService {
public:
    class Expectation {
    public:
        // Checks of the message (exact texts).
        Expectation& Title(const QString& title);
        Expectation& Details(const QString& details);
        Expectation& Header(const QString& header);
        Expectation& Caption(const QString& caption);
        // The title or the details contain the text.
        Expectation& Containing(const QString& text);

        // Answers.
        Expectation& PressEsc();
        Expectation& Answer(int result); // a result number one of the buttons gives
        Expectation& Press(const QString& caption); // the button with this caption (case ignored)
        Expectation& Ok() { return Press(QStringLiteral("Ok")); } // also confirms an input as shown
        Expectation& Yes() { return Press(QStringLiteral("Да")); }
        Expectation& No() { return Press(QStringLiteral("Нет")); }
        Expectation& Enter(const Variant& value); // confirms an input with this value

        // The same expectation for n messages in a row.
        Expectation& Times(int n);

    private:
        friend class ScriptedMessages;
        enum class How { Esc, Result, Caption, Value };
        std::optional<MsgKind> kind_;
        std::optional<QString> title_, details_, header_, caption_, containing_;
        How how_ = How::Esc;
        int result_ = 0;
        QString press_;
        Variant value_;
        int times_ = 1;
        QString where_; // for failure messages: "expectation #n"
    };

    ScriptedMessages();
    ~ScriptedMessages() override;
    ScriptedMessages(const ScriptedMessages&) = delete;
    ScriptedMessages& operator=(const ScriptedMessages&) = delete;

    Expectation& Expect(MsgKind kind);
    Expectation& ExpectAny(); // any kind

    const QList<MessageRecord>& Log() const { return log_; }
    const MessageRecord& Last() const;
    // Expectations not used yet.
    int Pending() const;
    // Fails the test for unused expectations now and forgets them and the log.
    void VerifyAndClear();

    int Show(const MessageRequest& request) override;
    bool Input(const MessageRequest& request, Variant& value) override;

private:
    MessageRecord Answer(const MessageRequest& request, bool input);
    void ReportUnused();

    std::deque<Expectation> queue_;
    QList<MessageRecord> log_;
    ScopedMessageService install_;
    int count_ = 0;
};
