// The splash, the about box and the window list.

#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/ui/About.h"
#include "data/ui/FormsVw.h"
#include "data/ui/Splash.h"
#include "support/ModalScript.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

TEST(Splash, ShowsTheStartTextAndTheDataModulesSteps)
{
    TFormLabel* splash = ShowSplash();
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(ShowSplash(), splash) << "one splash only";
    EXPECT_EQ(splash->Status(), QStringLiteral("Старт программы"));
    SetSplashText(QStringLiteral("База данных"));
    EXPECT_EQ(splash->Status(), QStringLiteral("База данных"));
    EXPECT_GE(splash->width(), splash->lbStatus->sizeHint().width());
    SaveScreenshot(splash, QStringLiteral("splash"));
    ReleaseSplash();
    EXPECT_EQ(SplashForm(), nullptr);
    SetSplashText(QStringLiteral("после")); // no splash: nothing happens
}

TEST(AboutBox, ShowsTheVersion)
{
    ModalScript modal;
    QString version;
    modal.Next<TAboutBox>([&](TAboutBox& box) {
        version = box.Version->text();
        SaveScreenshot(&box, QStringLiteral("about-box"));
        QTest::keyClick(&box, Qt::Key_Return);
    });
    ShowAboutBox();
    EXPECT_EQ(version, QStringLiteral("Версия ") + FormatVersion(ProgramDataVersion));
}

TEST(WindowList, ListsTheVisibleFormsAndActivatesTheChosenOne)
{
    TForm first(nullptr, QStringLiteral("FormFirst"));
    first.setWindowTitle(QStringLiteral("Первое окно"));
    TForm nameless(nullptr, QStringLiteral("FormNameless"));
    nameless.setWindowTitle(QStringLiteral("   "));
    TForm hidden(nullptr, QStringLiteral("FormHidden"));
    first.show();
    nameless.show();
    QApplication::processEvents();

    TFormFormsVw* list = ShowFormsList();
    QApplication::processEvents();
    EXPECT_EQ(ShowFormsList(), list) << "the open list is brought up again";
    QStringList lines;
    for (int i = 0; i < list->List->count(); ++i)
        lines << list->List->item(i)->text();
    EXPECT_TRUE(lines.contains(QStringLiteral("Первое окно"))) << lines.join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("FormNameless"))) << "a blank caption shows the name";
    EXPECT_FALSE(lines.contains(QStringLiteral("FormHidden")));
    EXPECT_FALSE(lines.contains(QStringLiteral("Список активных окон")));
    SaveScreenshot(list, QStringLiteral("window-list"));

    QPointer<TFormFormsVw> guard(list);
    list->List->setCurrentRow(int(lines.indexOf(QStringLiteral("FormNameless"))));
    EXPECT_EQ(list->SelectedForm(), &nameless);
    QTest::mouseClick(list->btOk, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(guard.isNull()) << "the list is freed on close";
    EXPECT_EQ(QApplication::activeWindow(), &nameless);
}

// A window freed while the list is open loses its line; the others stay
// and can still be chosen.
TEST(WindowList, AWindowFreedWhileTheListIsOpenLosesItsLine)
{
    TForm kept(nullptr, QStringLiteral("FormKept"));
    auto* gone = new TForm(nullptr, QStringLiteral("FormGone"));
    kept.show();
    gone->show();
    TFormFormsVw* list = ShowFormsList();
    const auto row = [list](const char* name) {
        const QList<QListWidgetItem*> found = list->List->findItems(QString::fromLatin1(name), Qt::MatchExactly);
        return found.isEmpty() ? -1 : list->List->row(found[0]);
    };
    list->List->setCurrentRow(row("FormGone"));
    ASSERT_EQ(list->SelectedForm(), gone);
    delete gone;
    ASSERT_EQ(row("FormGone"), -1);
    list->List->setCurrentRow(row("FormKept"));
    EXPECT_EQ(list->SelectedForm(), &kept);
    QTest::mouseClick(list->btCancel, Qt::LeftButton);
    QApplication::processEvents();
}

} // namespace
