#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

namespace {
std::string S(const QString& s) { return s.toStdString(); }

void CheckText(const char* what, const std::optional<QString>& want, const QString& got, const QString& where,
    const MessageRequest& r)
{
    if (want && *want != got)
        ADD_FAILURE() << S(where) << ": " << what << " is \"" << S(got) << "\", expected \"" << S(*want)
                      << "\"\n  message: " << S(r.Describe());
}
} // namespace

ScriptedMessages::Expectation& ScriptedMessages::Expectation::Title(const QString& title)
{
    title_ = title;
    return *this;
}

ScriptedMessages::Expectation& ScriptedMessages::Expectation::Details(const QString& details)
{
    details_ = details;
    return *this;
}

ScriptedMessages::Expectation& ScriptedMessages::Expectation::Header(const QString& header)
{
    header_ = header;
    return *this;
}

ScriptedMessages::Expectation& ScriptedMessages::Expectation::Caption(const QString& caption)
{
    caption_ = caption;
    return *this;
}

ScriptedMessages::Expectation& ScriptedMessages::Expectation::Containing(const QString& text)
{
    containing_ = text;
    return *this;
}

ScriptedMessages::Expectation& ScriptedMessages::Expectation::PressEsc()
{
    how_ = How::Esc;
    return *this;
}

ScriptedMessages::Expectation& ScriptedMessages::Expectation::Answer(int result)
{
    how_ = How::Result;
    result_ = result;
    return *this;
}

ScriptedMessages::Expectation& ScriptedMessages::Expectation::Press(const QString& caption)
{
    how_ = How::Caption;
    press_ = caption;
    return *this;
}

ScriptedMessages::Expectation& ScriptedMessages::Expectation::Enter(const Variant& value)
{
    how_ = How::Value;
    value_ = value;
    return *this;
}

ScriptedMessages::Expectation& ScriptedMessages::Expectation::Times(int n)
{
    times_ = n;
    return *this;
}

ScriptedMessages::ScriptedMessages() : install_(this) {}

ScriptedMessages::~ScriptedMessages() { ReportUnused(); }

ScriptedMessages::Expectation& ScriptedMessages::Expect(MsgKind kind)
{
    Expectation& e = ExpectAny();
    e.kind_ = kind;
    return e;
}

ScriptedMessages::Expectation& ScriptedMessages::ExpectAny()
{
    queue_.emplace_back();
    queue_.back().where_ = QStringLiteral("expectation #%1").arg(++count_);
    return queue_.back();
}

const MessageRecord& ScriptedMessages::Last() const
{
    static const MessageRecord none;
    if (log_.isEmpty()) {
        ADD_FAILURE() << "no message was shown";
        return none;
    }
    return log_.last();
}

int ScriptedMessages::Pending() const
{
    int n = 0;
    for (const Expectation& e : queue_)
        n += std::max(e.times_, 0);
    return n;
}

void ScriptedMessages::VerifyAndClear()
{
    ReportUnused();
    queue_.clear();
    log_.clear();
}

void ScriptedMessages::ReportUnused()
{
    for (const Expectation& e : queue_)
        if (e.times_ > 0)
            ADD_FAILURE() << S(e.where_) << " (" << (e.kind_ ? S(MsgKindName(*e.kind_)) : std::string("any kind"))
                          << ") was not used: " << e.times_ << " message(s) expected but not shown";
}

int ScriptedMessages::Show(const MessageRequest& request) { return Answer(request, false).result; }

bool ScriptedMessages::Input(const MessageRequest& request, Variant& value)
{
    const MessageRecord rec = Answer(request, true);
    if (rec.confirmed)
        value = rec.answer;
    return rec.confirmed;
}

MessageRecord ScriptedMessages::Answer(const MessageRequest& request, bool input)
{
    MessageRecord rec;
    static_cast<MessageRequest&>(rec) = request;
    rec.result = request.escAnswer;
    while (!queue_.empty() && queue_.front().times_ <= 0)
        queue_.pop_front();
    if (queue_.empty()) {
        ADD_FAILURE() << "unexpected message: " << S(request.Describe());
        log_.append(rec);
        return rec;
    }
    Expectation& e = queue_.front();
    const Expectation script = e;
    if (--e.times_ <= 0)
        queue_.pop_front();
    if (script.kind_ && *script.kind_ != request.kind) {
        ADD_FAILURE() << S(script.where_) << " wants a message of kind " << S(MsgKindName(*script.kind_))
                      << ", but got: " << S(request.Describe());
        log_.append(rec);
        return rec;
    }
    rec.expected = true;
    CheckText("title", script.title_, request.title, script.where_, request);
    CheckText("details", script.details_, request.details, script.where_, request);
    CheckText("header", script.header_, request.header, script.where_, request);
    CheckText("caption", script.caption_, request.caption, script.where_, request);
    if (script.containing_ && !request.title.contains(*script.containing_)
        && !request.details.contains(*script.containing_))
        ADD_FAILURE() << S(script.where_) << ": neither title nor details contain \"" << S(*script.containing_)
                      << "\"\n  message: " << S(request.Describe());

    switch (script.how_) {
    case Expectation::How::Esc: break;
    case Expectation::How::Result: {
        bool found = false;
        for (const MsgButton& b : request.buttons)
            found = found || b.result == script.result_;
        if (input)
            ADD_FAILURE() << S(script.where_) << ": an input is answered with Enter, Ok or PressEsc, not Answer";
        else if (!found)
            ADD_FAILURE() << S(script.where_) << ": no button gives the result " << script.result_
                          << "\n  message: " << S(request.Describe());
        else
            rec.result = script.result_;
        break;
    }
    case Expectation::How::Caption: {
        const MsgButton* hit = nullptr;
        for (const MsgButton& b : request.buttons)
            if (!hit && b.caption.compare(script.press_, Qt::CaseInsensitive) == 0)
                hit = &b;
        if (!hit) {
            ADD_FAILURE() << S(script.where_) << ": no button \"" << S(script.press_)
                          << "\"\n  message: " << S(request.Describe());
        } else {
            rec.result = hit->result;
            if (input && hit->result == msgOk) {
                rec.confirmed = true;
                rec.answer = request.value;
            }
        }
        break;
    }
    case Expectation::How::Value:
        if (!input) {
            ADD_FAILURE() << S(script.where_) << ": Enter answers an input, but got: " << S(request.Describe());
        } else {
            rec.result = msgOk;
            rec.confirmed = true;
            rec.answer = script.value_;
        }
        break;
    }
    log_.append(rec);
    return rec;
}
