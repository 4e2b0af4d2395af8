// The developer's stop window behind its marker file.
#include "foundation/ui/dialogs/Stopp.h"
#include "foundation/ui/dialogs/WMsgs.h"
#include "platform/ProgramFolder.h"
#include "support/ModalScript.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

class StopWindow : public ::testing::Test {
protected:
    void TearDown() override
    {
        QFile::remove(folder.File(ProgramName() + ".111"));
        CheckDebugStopMarker();
        RemoveStopForm();
        SetApplicationTerminating(false);
    }
    void SwitchOn()
    {
        WriteFileBytes(folder.File(ProgramName() + ".111"), QByteArray());
        CheckDebugStopMarker();
        ASSERT_TRUE(DebugStopEnabled());
    }
    ScopedProgramFolder folder;
    ScopedMessageService windows{&MessageWindows()};
    ModalScript modal;
};

bool AnyStopFormExists()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TStopForm*>(w))
            return true;
    return false;
}

TEST_F(StopWindow, WithoutTheMarkerNothingHappens)
{
    CheckDebugStopMarker();
    EXPECT_FALSE(DebugStopEnabled());
    DebugStop(QStringLiteral("здесь"));
    DebugStopArgs({1, QStringLiteral("два")});
    EXPECT_TRUE(modal.Seen().isEmpty());
    EXPECT_FALSE(AnyStopFormExists());
}

TEST_F(StopWindow, ShowsTheFocusedControlAndGoesOnWithCn)
{
    SwitchOn();
    TForm card(nullptr, QStringLiteral("FormCard"));
    auto* edit = new QLineEdit(&card);
    edit->setObjectName(QStringLiteral("edFam"));
    card.show();
    card.activateWindow();
    QApplication::setActiveWindow(&card);
    edit->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), edit);

    modal.Next<TStopForm>([](TStopForm& f) {
        EXPECT_EQ(f.lbTitle->text(), "edFam: ");
        EXPECT_EQ(f.lbText->text(), " <Оклад, 1500>");
        EXPECT_EQ(f.pos(), QPoint(1, 1));
        EXPECT_TRUE(f.windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_GE(f.pnTitle->width(), 52);
        SaveScreenshot(&f, QStringLiteral("stop_window"));
        QTest::mouseClick(f.btCn, Qt::LeftButton);
    });
    modal.Next<TStopForm>([](TStopForm& f) {
        QTest::keyClick(f.focusWidget() ? f.focusWidget() : &f, Qt::Key_X); // any key goes on
    });
    DebugStopArgs({QStringLiteral("Оклад"), 1500});
    QApplication::processEvents();
    EXPECT_EQ(card.focusWidget(), edit) << "the control gets its focus back";
    EXPECT_TRUE(card.isActiveWindow());
    DebugStop(QStringLiteral("дальше"));
    EXPECT_FALSE(ApplicationTerminating());
    card.hide();
}

TEST_F(StopWindow, ExEndsTheProgramSilently)
{
    SwitchOn();
    QApplication::setActiveWindow(nullptr);
    modal.Next<TStopForm>([](TStopForm& f) {
        EXPECT_EQ(f.lbTitle->text(), " Stop: ");
        QTest::mouseClick(f.btEx, Qt::LeftButton);
    });
    EXPECT_THROW(DebugStop(QStringLiteral("стоп")), EAbort);
    EXPECT_TRUE(ApplicationTerminating());
    // While terminating no stop window shows any more.
    DebugStop(QStringLiteral("после"));
    SetApplicationTerminating(false);
    // exit() of the terminating request leaves later loops returning at
    // once; the application's own loop clears that.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

} // namespace
