// The transient message window with its countdown, on the fake clock.
#include "foundation/ui/dialogs/MsgWin.h"
#include "platform/ProgramFolder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>

namespace {

void DeleteReleased() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class MessageWindowTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        CloseMessageWindow();
        DeleteReleased();
    }
    // Moves the clock on and lets the window's timer do its work.
    void After(uint32_t ms)
    {
        fake.clock.Advance(ms);
        if (TFormMsgWindow* w = MessageWindow())
            w->Timer1Timer();
        DeleteReleased();
    }
    QString Caption() const { return MessageWindow() ? MessageWindow()->windowTitle() : QStringLiteral("<closed>"); }
    ScopedFakeClock fake;
    const QString name = ProgramName();
};

TEST_F(MessageWindowTest, CountsDownTheSecondsAndReleasesItself)
{
    ShowMessageWindow(QStringLiteral("Идет резервное копирование"), 5000);
    ASSERT_NE(MessageWindow(), nullptr);
    EXPECT_TRUE(MessageWindow()->isVisible());
    EXPECT_TRUE(MessageWindow()->Timer1->isActive());
    EXPECT_EQ(MessageWindow()->Timer1->interval(), 500);
    EXPECT_EQ(Caption(), name + " [5]");
    SaveScreenshot(MessageWindow(), QStringLiteral("message_window"));
    After(500);
    EXPECT_EQ(Caption(), name + " [5]") << "4.5 s left round up";
    After(500);
    EXPECT_EQ(Caption(), name + " [4]");
    After(1000);
    EXPECT_EQ(Caption(), name + " [3]");
    After(1000);
    EXPECT_EQ(Caption(), name + " [2]");
    After(1000);
    EXPECT_EQ(Caption(), name + " [1]");
    After(999);
    EXPECT_EQ(Caption(), name + " [1]");
    After(1);
    EXPECT_EQ(MessageWindow(), nullptr);
    CloseMessageWindow(); // nothing left to close: no dangling window
}

TEST_F(MessageWindowTest, DisplayTimesOutsideTheCountdownRange)
{
    struct Row {
        const char* name;
        int ms;
        uint32_t lasts;
        bool countdown;
    };
    const Row rows[] = {
        {"short note shows for ten seconds", 500, 10000, false},
        {"just below two seconds", 1999, 10000, false},
        {"two seconds count down", 2000, 2000, true},
        {"ten minutes count down", 600000, 600000, true},
        {"longer is cut to ten minutes", 3600000, 600000, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ShowMessageWindow(QStringLiteral("Готово"), r.ms);
        ASSERT_NE(MessageWindow(), nullptr);
        EXPECT_EQ(MessageWindow()->Countdown(), r.countdown);
        if (!r.countdown) {
            EXPECT_EQ(Caption(), name);
        }
        After(r.lasts - 100);
        EXPECT_NE(MessageWindow(), nullptr) << "still open 0.1 s before its end";
        After(100);
        EXPECT_EQ(MessageWindow(), nullptr);
    }
}

TEST_F(MessageWindowTest, ShortTextIsPaddedLongTextIsNot)
{
    ShowMessageWindow(QStringLiteral("Готово"), 3000);
    ASSERT_NE(MessageWindow(), nullptr);
    const QString shown = MessageWindow()->lbMess->text();
    EXPECT_TRUE(shown.startsWith('\n'));
    EXPECT_TRUE(shown.endsWith('\n'));
    EXPECT_LE(shown.count('\n'), 10);
    EXPECT_GE(MessageWindow()->lbMess->height(), 80);
    QStringList lines;
    for (int i = 0; i < 8; ++i)
        lines.append(QStringLiteral("Строка отчета %1").arg(i));
    const QString text = lines.join(QStringLiteral("\r\n"));
    ShowMessageWindow(text, 3000); // the open window takes the new text
    EXPECT_EQ(MessageWindow()->lbMess->text(), lines.join('\n'));
    EXPECT_GE(MessageWindow()->lbMess->height(), MessageWindow()->lbMess->sizeHint().height());
}

TEST_F(MessageWindowTest, CloseMessageWindowEndsItEarly)
{
    ShowMessageWindow(QStringLiteral("Ждите"), 60000);
    ASSERT_NE(MessageWindow(), nullptr);
    CloseMessageWindow();
    DeleteReleased();
    EXPECT_EQ(MessageWindow(), nullptr);
    CloseMessageWindow();
}

} // namespace
