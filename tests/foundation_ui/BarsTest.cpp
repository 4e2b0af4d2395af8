// The progress window and the progress session.
#include "foundation/ui/dialogs/Bars.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// A clock whose tick count moves on by Step ms every time it is read, so
// that waits end after a known number of ticks and not of real seconds.
class SteppingClock final : public IClock {
public:
    explicit SteppingClock(uint32_t step) : step_(step) { SetClock(this); }
    ~SteppingClock() override { SetClock(nullptr); }
    TDateTime Now() override { return 45658.5; }
    uint32_t TickCount() override
    {
        tick_ += step_;
        return tick_;
    }
    uint32_t tick_ = 1000;
    uint32_t step_;
};

class ProgressWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner.setObjectName(QStringLiteral("Owner"));
        owner.resize(300, 200);
        owner.show();
        owner.activateWindow();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        bar.Close();
        owner.hide();
    }
    SteppingClock clock{50};
    TForm owner;
    TFormBar bar;
};

TEST_F(ProgressWindow, OneBarMovesInAtMost29StepsOverItsRange)
{
    bar.Init(0, 0, 1000, 0, 0, &owner);
    EXPECT_TRUE(bar.isVisible());
    EXPECT_EQ(bar.BarCount(), 1);
    EXPECT_TRUE(bar.Bar2->isHidden());
    EXPECT_TRUE(bar.M2->isHidden());
    QSignalSpy moves(bar.Bar1, &QProgressBar::valueChanged);
    for (int v = 0; v <= 1000; ++v)
        bar.PosBar1(v);
    EXPECT_LE(moves.count(), 30);
    EXPECT_GE(moves.count(), 25);
    // The step is 1000 div 29 + 1 = 35: the bar stands at the last multiple
    // of 35 it reached, until FillBar puts it at the end.
    EXPECT_EQ(bar.Bar1->value(), 980);
    bar.FillBar1();
    EXPECT_EQ(bar.Bar1->value(), 1000);
}

TEST_F(ProgressWindow, TwoBarsAndBarOneResetsBarTwo)
{
    bar.Init(0, 0, 10, 0, 5, &owner);
    EXPECT_EQ(bar.BarCount(), 2);
    EXPECT_FALSE(bar.Bar2->isHidden());
    EXPECT_FALSE(bar.M2->isHidden());
    QSignalSpy moves(bar.Bar1, &QProgressBar::valueChanged);
    for (int v = 1; v <= 10; ++v) {
        bar.PosBar2(3);
        EXPECT_EQ(bar.Bar2->value(), 3);
        bar.PosBar1(v);
        EXPECT_EQ(bar.Bar1->value(), v) << "a 0..10 bar follows every value";
        EXPECT_EQ(bar.Bar2->value(), 0) << "bar 1 resets bar 2";
    }
    EXPECT_EQ(moves.count(), 10);
}

TEST_F(ProgressWindow, IncPosStartsAtTheMinimum)
{
    bar.Init(0, 5, 8, 0, 0, &owner);
    bar.IncPos1();
    EXPECT_EQ(bar.Bar1->value(), 5);
    bar.IncPos1();
    bar.IncPos1();
    EXPECT_EQ(bar.Bar1->value(), 7);
    // A new range for bar 1 starts over.
    bar.InitBar1(100, 110);
    bar.IncPos1();
    EXPECT_EQ(bar.Bar1->minimum(), 100);
    EXPECT_EQ(bar.Bar1->value(), 100);
}

TEST_F(ProgressWindow, RangeFixesAndOddSecondRanges)
{
    struct Row {
        const char* name;
        int min1, max1, min2, max2;
        int bars;
        int max1Shown;
    };
    const Row rows[] = {
        {"no second range", 0, 10, 0, 0, 1, 10},
        {"second range 0..5", 0, 10, 0, 5, 2, 10},
        {"max below min is raised", 7, 3, 0, 0, 1, 8}, // an empty range shows as one empty step
        {"second max below min", 0, 10, 4, 1, 2, 10},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        bar.Init(0, r.min1, r.max1, r.min2, r.max2, &owner);
        EXPECT_EQ(bar.BarCount(), r.bars);
        EXPECT_EQ(bar.Bar1->minimum(), r.min1);
        EXPECT_EQ(bar.Bar1->maximum(), r.max1Shown);
        EXPECT_GT(bar.Bar1->maximum(), bar.Bar1->minimum()) << "never Qt's busy indicator";
        bar.Close();
    }
}

TEST_F(ProgressWindow, SecondStartIsRefusedUntilClosed)
{
    bar.Init(0, 0, 10, 0, 0, &owner);
    try {
        bar.Init(0, 0, 10, 0, 0, &owner);
        FAIL() << "a second start must be refused";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), "Bars is allready active");
    }
    bar.Close();
    EXPECT_FALSE(bar.isVisible());
    EXPECT_FALSE(bar.Active());
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_NO_THROW(bar.Init(0, 0, 10, 0, 0, &owner));
    EXPECT_TRUE(bar.Active());
}

TEST_F(ProgressWindow, RunsApplicationModalOverItsOwner)
{
    bar.Init(0, 0, 10, 0, 0);
    EXPECT_EQ(bar.Owner(), &owner) << "the active window is the owner";
    EXPECT_EQ(bar.windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(QApplication::activeModalWidget(), &bar);
    bar.Close();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(bar.Owner(), nullptr);
}

TEST_F(ProgressWindow, StopAsksAndAnswerNoKeepsRunning)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Attention).Details("Прервать операцию ?").No();
    msgs.Expect(MsgKind::Attention).Yes();
    bar.Init(0, 0, 10, 0, 5, &owner);
    EXPECT_FALSE(bar.Bar1->isEnabled());
    QTest::mouseClick(bar.bt1, Qt::LeftButton);
    EXPECT_FALSE(bar.Stopped());
    EXPECT_EQ(msgs.Log()[0].defaultButton, IDYES) << "Yes is the default";
    QTest::mouseClick(bar.bt1, Qt::LeftButton);
    EXPECT_TRUE(bar.Stopped());
    // The copier reads an enabled bar as its stop request.
    EXPECT_TRUE(bar.Bar1->isEnabled());
    EXPECT_TRUE(bar.Bar2->isEnabled());
    bar.Close();
    EXPECT_FALSE(bar.Stopped());
    EXPECT_FALSE(bar.Bar1->isEnabled());
}

TEST_F(ProgressWindow, WaitIsCappedAtFiveSeconds)
{
    clock.step_ = 250;
    const uint32_t start = clock.tick_;
    bar.Wait(10000);
    const uint32_t waited = clock.tick_ - start;
    EXPECT_GE(waited, 5000u);
    EXPECT_LT(waited, 5000u + 3 * clock.step_);
    const uint32_t start2 = clock.tick_;
    bar.Wait(-1);
    EXPECT_GE(clock.tick_ - start2, 5000u);
}

TEST_F(ProgressWindow, WaitEndsEarlyWhenStopped)
{
    clock.step_ = 0; // time stands still: only the stop can end the wait
    QTimer::singleShot(20, &bar, [this] { bar.SetStopped(true); });
    // Should the wait ignore the stop, time moves on and the test fails instead of hanging.
    QTimer::singleShot(3000, &bar, [this] { clock.step_ = 1000; });
    bar.Wait(100);
    EXPECT_TRUE(bar.Stopped());
    EXPECT_EQ(clock.step_, 0u);
    bar.SetStopped(false);
}

TEST_F(ProgressWindow, TextLinesAndCaption)
{
    bar.Init(0, 0, 10, 0, 0, &owner);
    bar.Mess(0, QStringLiteral("Расчет заработной платы"));
    bar.Mess1(QStringLiteral("Отдел 1"));
    bar.Mess2(QStringLiteral("не показывается")); // one bar: no second line
    EXPECT_EQ(bar.windowTitle(), "Расчет заработной платы");
    EXPECT_EQ(bar.M1->text(), "Отдел 1");
    EXPECT_EQ(bar.M2->text(), "");
    // A long line wraps and the window grows with it.
    const int before = bar.height();
    bar.Mess1(QStringLiteral("Копирование таблицы лицевых счетов сотрудников в папку резервной копии на съемном "
                             "диске, ожидайте окончания операции"));
    EXPECT_GT(bar.height(), before);
    EXPECT_GE(bar.M1->height(), bar.M1->heightForWidth(bar.M1->width()));
    EXPECT_GT(bar.bt1->geometry().top(), bar.Bar1->geometry().bottom());
    bar.Close();
    EXPECT_EQ(bar.windowTitle(), "") << "closing clears the caption";
    bar.Init(0, 0, 10, 0, 0, &owner);
    EXPECT_EQ(bar.M1->text(), "") << "a new start clears the lines";
}

TEST_F(ProgressWindow, BadNumbersAreShownAndChangeNothing)
{
    bar.Init(0, 0, 10, 0, 0, &owner);
    bar.PosBar1(4);
    struct Row {
        const char* text;
        std::function<void()> call;
    };
    const Row rows[] = {
        {"Bars: (Init) ???", [this] { bar.Init(3, 0, 1); }},
        {"Bars: (PosBar)???", [this] { bar.PosBar(3, 7); }},
        {"Bars: (IncPos)???", [this] { bar.IncPos(0); }},
        {"Bars: (Mess) ???", [this] { bar.Mess(4, QStringLiteral("x")); }},
        {"bars: (setMinMax)???", [this] { bar.setMinMax(nullptr, 0, 1); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Details(QString::fromUtf8(r.text));
        r.call();
        EXPECT_EQ(bar.Bar1->value(), 4);
        EXPECT_EQ(bar.Bar1->maximum(), 10);
    }
}

TEST_F(ProgressWindow, ExceptionInsideASessionLeavesNoWindowAndTheOwnerEnabled)
{
    ScopedProgress sink(&bar);
    try {
        ProgressSession session(0, 100);
        session->PosBar1(10);
        EXPECT_TRUE(bar.isVisible());
        RaiseError(QStringLiteral("сбой расчета"));
    } catch (const EAppException&) {
    }
    EXPECT_FALSE(bar.isVisible());
    EXPECT_FALSE(bar.Active());
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // The next operation starts normally.
    ProgressSession next(0, 10);
    EXPECT_TRUE(bar.isVisible());
}

TEST_F(ProgressWindow, SessionStopsTheOperationThroughTheSilentAbort)
{
    ScopedProgress sink(&bar);
    int done = 0;
    EXPECT_THROW(
        {
            ProgressSession session(1, 10);
            for (int i = 1; i <= 10; ++i) {
                session.CheckStopped();
                session->PosBar1(i);
                ++done;
                if (i == 3)
                    bar.SetStopped(true); // as the "Стоп" button does
            }
        },
        EAbort);
    EXPECT_EQ(done, 3);
    EXPECT_FALSE(bar.Active());
}

TEST_F(ProgressWindow, Screenshots)
{
    bar.Init(0, 0, 100, 0, 0, &owner);
    bar.Mess(0, QStringLiteral("Архивирование"));
    bar.Mess1(QStringLiteral("Копирование таблицы «Лицевые счета сотрудников»"));
    bar.PosBar1(45);
    SaveScreenshot(&bar, QStringLiteral("progress_one_bar"));
    EXPECT_GE(bar.M1->height(), bar.M1->heightForWidth(bar.M1->width()));
    bar.Close();
    bar.Init(0, 0, 12, 0, 300, &owner);
    bar.Mess(0, QStringLiteral("Расчет заработной платы"));
    bar.Mess1(QStringLiteral("Месяц: Март 2024"));
    bar.Mess2(QStringLiteral("Сотрудник: Иванова Мария Петровна, табельный номер 1024"));
    bar.PosBar1(3);
    bar.PosBar2(200);
    SaveScreenshot(&bar, QStringLiteral("progress_two_bars"));
    EXPECT_GT(bar.bt1->geometry().top(), bar.Bar2->geometry().bottom());
    EXPECT_LE(bar.bt1->geometry().bottom(), bar.Panel1->height());
}

TEST(ProgressInstall, TheSharedWindowBecomesTheSink)
{
    InstallProgressWindow();
    ASSERT_NE(FormBar(), nullptr);
    EXPECT_EQ(&Progress(), static_cast<IProgress*>(FormBar()));
    RemoveProgressWindow();
    EXPECT_EQ(FormBar(), nullptr);
    EXPECT_FALSE(Progress().Active()); // the silent sink again
}

} // namespace
