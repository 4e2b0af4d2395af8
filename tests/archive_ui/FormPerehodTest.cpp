// The window of the month's close, offscreen: its header, a run with the
// finished look, and the end of the program on the next click.

#include "archive/ui/FormPerehod.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "data/Podr.h"
#include "support/CalcBuilders.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

class FormPerehodTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        AddBuiltInKinds();
        TFormPerehod::SetTerminate([this] { ++terminated; });
        TFormPerehod::SetSaveOffer({});
    }
    void TearDown() override
    {
        TFormPerehod::SetTerminate({});
        CalcTest::TearDown();
    }
    // The window on the close of March, shown.
    static QPointer<TFormPerehod> OpenOnMarch()
    {
        Cfg.Workdate = EncodeDate(2000, 3, 31);
        QPointer<TFormPerehod> f = new TFormPerehod();
        f->show();
        return f;
    }
    // The run, its warning taken and its question answered.
    static void Run(TFormPerehod* f, bool yes)
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning).Ok();
        if (yes)
            msgs.Expect(MsgKind::Question).Yes();
        else
            msgs.Expect(MsgKind::Question).No();
        QTest::mouseClick(f->btOk, Qt::LeftButton);
    }
    int terminated = 0;
};

TEST_F(FormPerehodTest, HeaderNamesTheNextMonth)
{
    Cfg.Workdate = EncodeDate(2000, 12, 31);
    QPointer<TFormPerehod> f = new TFormPerehod();
    f->show();
    EXPECT_EQ(f->lbHeader->text(), QStringLiteral("Переход на Январь  2001"));
    SaveScreenshot(f, QStringLiteral("FormPerehodReady"));
    QTest::mouseClick(f->btCancel, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.isNull());
    EXPECT_EQ(terminated, 0);
}

TEST_F(FormPerehodTest, AfterTheRunOnlyTheEndIsOffered)
{
    QPointer<TFormPerehod> f = OpenOnMarch();
    const int size = f->lbWarn->font().pointSize();
    Run(f, true);
    ASSERT_TRUE(f->Done());
    EXPECT_EQ(Cfg.Workdate, EncodeDate(2000, 4, 30));
    EXPECT_EQ(f->btOk->text(), QStringLiteral("Завершить выполнение программы"));
    EXPECT_EQ(f->btOk->geometry().right(), f->btCancel->geometry().right());
    EXPECT_EQ(f->lbWarn->font().pointSize(), (size * 14 + 5) / 10);
    EXPECT_TRUE(f->lbWarn->text().contains(
        QStringLiteral("После выполнения перехода на новый период необходимо перезагрузить программу")));
    SaveScreenshot(f, QStringLiteral("FormPerehodFinished"));
    EXPECT_EQ(terminated, 0);
    QTest::mouseClick(f->btOk, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.isNull());
    EXPECT_EQ(terminated, 1);
}

// Esc after the run is a way of closing like any other: the program ends.
TEST_F(FormPerehodTest, EscAfterTheRunEndsTheProgramToo)
{
    QPointer<TFormPerehod> f = OpenOnMarch();
    Run(f, true);
    ASSERT_TRUE(f->Done());
    QTest::keyClick(f->btOk, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.isNull());
    EXPECT_EQ(terminated, 1);
}

TEST_F(FormPerehodTest, NoAnswerKeepsTheWindowReady)
{
    QPointer<TFormPerehod> f = OpenOnMarch();
    Run(f, false);
    EXPECT_FALSE(f->Done());
    EXPECT_EQ(Cfg.Workdate, EncodeDate(2000, 3, 31));
    EXPECT_NE(f->btOk->text(), QStringLiteral("Завершить выполнение программы"));
    f->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(terminated, 0);
}

} // namespace
