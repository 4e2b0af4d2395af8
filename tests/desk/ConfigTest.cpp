// The settings dialog: the date buttons' rules, OK's bounds, and Cancel.

#include "desk/Config.h"

#include "data/AppContext.h"
#include "data/Globals.h"
#include "support/DataFolderFixture.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class ConfigTest : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        Cfg.BegDate = EncodeDate(2023, 1, 1);
        Cfg.Workdate = EncodeDate(2024, 2, 29);
        Cfg.BegPeriod = EncodeDate(2024, 1, 1);
        Cfg.EndPeriod = EncodeDate(2024, 1, 31);
        SaveDataConfiguration();
        oldMin = MinWorkDate;
        oldMax = MaxWorkDate;
        MinWorkDate = EncodeDate(2020, 1, 1);
        MaxWorkDate = EncodeDate(2034, 12, 31);
    }
    void TearDown() override
    {
        MinWorkDate = oldMin;
        MaxWorkDate = oldMax;
        AppContextTest::TearDown();
    }
    TDateTime oldMin = 0, oldMax = 0;
};

TEST_F(ConfigTest, PickedDatesFollowTheirRules)
{
    ScriptedMessages msgs;
    TFormConfig form;
    form.LoadControls();
    form.ApplyPickedDate(1, EncodeDate(2024, 3, 15));
    EXPECT_EQ(form.edWorkDate->text(), QStringLiteral("31.03.2024"));
    form.ApplyPickedDate(2, EncodeDate(2024, 5, 10));
    EXPECT_EQ(form.edBegPeriod->text(), QStringLiteral("01.05.2024"));
    EXPECT_EQ(form.edEndPeriod->text(), QStringLiteral("31.05.2024")) << "the end follows a later begin";
    form.ApplyPickedDate(3, EncodeDate(2024, 4, 2));
    EXPECT_EQ(form.edEndPeriod->text(), QStringLiteral("30.04.2024"));
    EXPECT_EQ(form.edBegPeriod->text(), QStringLiteral("01.04.2024"));
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Рабочая дата не может быть меньше начальной"));
    form.ApplyPickedDate(0, EncodeDate(2025, 1, 1));
    EXPECT_EQ(form.edBegDate->text(), QStringLiteral("01.01.2023"));
    EXPECT_EQ(Cfg.Workdate, EncodeDate(2024, 2, 29)) << "the buttons work on the edits only";
    SaveScreenshot(&form, QStringLiteral("desk_config"));
}

TEST_F(ConfigTest, OkCorrectsAnEarlyDateAndCancelChangesNothing)
{
    ScriptedMessages msgs;
    ModalScript modal;
    modal.Next<TFormConfig>([](TFormConfig& f) {
        f.edWorkDate->setText(QStringLiteral("01.01.2030"));
        f.cbCalcCompare->setChecked(true);
        QTest::mouseClick(f.btCancel, Qt::LeftButton);
    });
    EXPECT_FALSE(ShowFormConfig());
    EXPECT_EQ(Cfg.Workdate, EncodeDate(2024, 2, 29));
    EXPECT_FALSE(Cfg.CalcCompare);

    modal.Next<TFormConfig>([](TFormConfig& f) {
        f.edBegDate->setText(QStringLiteral("01.01.2019"));
        f.edNumYears->setText(QStringLiteral("5"));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Дата не может быть меньше \"01.01.2020\""));
    EXPECT_TRUE(ShowFormConfig());
    EXPECT_EQ(Cfg.BegDate, EncodeDate(2020, 1, 1));
    EXPECT_EQ(Cfg.NumYears, 5);
    EXPECT_EQ(Cfg.NumFullYears, 5);
    LoadDataConfiguration();
    EXPECT_EQ(Cfg.BegDate, EncodeDate(2020, 1, 1)) << "written to the data INI";
}

} // namespace
