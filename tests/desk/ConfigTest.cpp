// The settings dialog: the date buttons' rules, OK's refusals, and Cancel.

#include "desk/Config.h"

#include "data/AppContext.h"
#include "data/Globals.h"
#include "foundation/IniFiles.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/NumEdit.h"
#include "support/DataFolderFixture.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
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

TEST_F(ConfigTest, CancelChangesNothingOkRefusesAnEarlyDateAndStaysOpen)
{
    ScriptedMessages msgs;
    ModalScript modal;
    modal.Next<TFormConfig>([](TFormConfig& f) {
        f.ApplyPickedDate(1, EncodeDate(2024, 6, 3));
        f.ApplyPickedDate(2, EncodeDate(2024, 9, 1));
        f.edNumYears->setText(QStringLiteral("7"));
        f.cbCalcCompare->setChecked(true);
        QTest::mouseClick(f.btCancel, Qt::LeftButton);
    });
    EXPECT_FALSE(ShowFormConfig());
    EXPECT_EQ(Cfg.Workdate, EncodeDate(2024, 2, 29));
    EXPECT_EQ(Cfg.BegPeriod, EncodeDate(2024, 1, 1));
    EXPECT_EQ(Cfg.EndPeriod, EncodeDate(2024, 1, 31));
    EXPECT_NE(Cfg.NumYears, 7);
    EXPECT_FALSE(Cfg.CalcCompare);

    modal.Next<TFormConfig>([](TFormConfig& f) {
        f.edBegDate->SetValue(EncodeDate(2019, 1, 1));
        f.edNumYears->setText(QStringLiteral("5"));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
        EXPECT_TRUE(f.isVisible()) << "the dialog stays open";
        EXPECT_EQ(Cfg.BegDate, EncodeDate(2023, 1, 1)) << "nothing stored";
        EXPECT_EQ(f.edBegDate->Value(), EncodeDate(2019, 1, 1)) << "the typed date stays to be mended";
        f.edBegDate->SetValue(EncodeDate(2021, 1, 1));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Поле \"Начальная\": дата не может быть меньше \"01.01.2020\""));
    EXPECT_TRUE(ShowFormConfig());
    EXPECT_EQ(Cfg.BegDate, EncodeDate(2021, 1, 1));
    EXPECT_EQ(Cfg.NumYears, 5);
    EXPECT_EQ(Cfg.NumFullYears, 5);
    TIniFile& ini = DataIni();
    ini.Reread();
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("Configuration"), QStringLiteral("NumYears"), 0), 5);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("Configuration"), QStringLiteral("NumFullYears"), 0), 5);
    LoadDataConfiguration();
    EXPECT_EQ(Cfg.BegDate, EncodeDate(2021, 1, 1)) << "written to the data INI";
}

TEST_F(ConfigTest, OkRefusesADateOutOfItsBoundsNamingTheField)
{
    struct Case {
        const char* edit;
        const char* typed;
        const char* message;
        const char* focus = nullptr; // the typed field when none
    };
    const Case cases[] = {
        {"edWorkDate", "01.01.2040", "Поле \"Рабочая\": дата не может быть больше \"31.12.2034\""},
        {"edEndPeriod", "01.01.2041", "Поле \"Конец\": дата не может быть больше \"31.12.2034\""},
        {"edEndPeriod", "01.01.1990", "Поле \"Конец\": дата не может быть меньше \"01.01.2020\""},
        {"edEndPeriod", "32.13.2026", "Поле \"Конец\": \"32.13.2026\" не является датой (ДД.ММ.ГГГГ)"},
        {"edBegDate", "01.03.2024", "Рабочая дата не может быть меньше начальной", "edWorkDate"},
        {"edEndPeriod", "31.12.2023", "Конец периода не может быть меньше начала"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Details(QString::fromUtf8(c.message));
        TFormConfig form;
        form.LoadControls();
        auto* edit = form.findChild<Tyq_DateEdit*>(QLatin1String(c.edit));
        QTest::keyClicks(edit, QLatin1String(c.typed));
        EXPECT_FALSE(form.Apply());
        EXPECT_EQ(form.focusWidget(), form.findChild<QWidget*>(QLatin1String(c.focus ? c.focus : c.edit)))
            << "the clerk is kept in the field";
        EXPECT_EQ(Cfg.BegDate, EncodeDate(2023, 1, 1)) << "nothing stored";
        EXPECT_EQ(Cfg.Workdate, EncodeDate(2024, 2, 29));
        EXPECT_EQ(Cfg.BegPeriod, EncodeDate(2024, 1, 1));
        EXPECT_EQ(Cfg.EndPeriod, EncodeDate(2024, 1, 31));
    }
}

TEST_F(ConfigTest, AnUnknownDirectorIsNamedByHisNumber)
{
    Cfg.TabnDirector = 777;
    SaveDataConfiguration();
    ScriptedMessages msgs;
    TFormConfig form;
    form.LoadControls();
    EXPECT_EQ(form.edFioDir->text(), QStringLiteral("Табельный номер №777 в справочнике не найден"));
    EXPECT_EQ(form.edFioGlb->text(), QString()) << "no number, no name";
    form.pcConfig->setCurrentIndex(1);
    form.show();
    SaveScreenshot(&form, QStringLiteral("desk_config_other"));
}

} // namespace
