#include "foundation/Funcs.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>

#include <cerrno>

namespace {

class EventCounter : public QObject {
public:
    int count = 0;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) {
            ++count;
            return true;
        }
        return QObject::event(e);
    }
};

void Post(EventCounter& target) { QCoreApplication::postEvent(&target, new QEvent(QEvent::User)); }

} // namespace

TEST(FuncsSys, ProcessMessagesEveryWaitsForTheInterval)
{
    ScopedFakeClock fake;
    fake.clock.SetTick(10000);
    EventCounter target;
    uint32_t last = 10000;

    Post(target);
    ProcessMessagesEvery(last, 100);
    EXPECT_EQ(target.count, 0) << "no time passed";
    EXPECT_EQ(last, 10000u);

    fake.clock.Advance(99);
    ProcessMessagesEvery(last, 100);
    EXPECT_EQ(target.count, 0);

    fake.clock.Advance(1);
    ProcessMessagesEvery(last, 100);
    EXPECT_EQ(target.count, 1);
    EXPECT_EQ(last, 10100u);

    // The tick count wrapped past 2^32: the events run at once.
    Post(target);
    fake.clock.SetTick(5);
    ProcessMessagesEvery(last, 100);
    EXPECT_EQ(target.count, 2);
    EXPECT_EQ(last, 5u);
}

TEST(FuncsSys, ProcessMessagesEveryAcrossTheWrap)
{
    ScopedFakeClock fake;
    fake.clock.SetTick(0xFFFFFFF0u);
    EventCounter target;
    uint32_t last = 0xFFFFFFF0u;
    Post(target);
    fake.clock.Advance(0x20); // wraps to 0x10
    ProcessMessagesEvery(last, 1000);
    EXPECT_EQ(target.count, 1);
}

TEST(FuncsSys, LastErrorText)
{
    errno = ENOENT;
    const QString text = GetLastErrorText();
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(text, GetLastErrorText(ENOENT));
    EXPECT_NE(GetLastErrorText(ENOENT), GetLastErrorText(EACCES));
}
