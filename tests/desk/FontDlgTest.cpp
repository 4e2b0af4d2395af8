// The font items: the size limits per font, and what OK, Apply and Cancel
// leave in the program's font.

#include "desk/FontDlg.h"
#include "support/ModalScript.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {

class FontDlgTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProgramFonts(); }
    void TearDown() override { ResetProgramFonts(); }
};

TEST_F(FontDlgTest, EachFontHasItsSizeLimits)
{
    struct Case {
        int tag;
        TProgramFont font;
        int min, max;
    };
    // The document fonts keep the upper limit the previous font left.
    const Case cases[]
        = {{1, TProgramFont::Main, 5, 20}, {4, TProgramFont::Header, 10, 20}, {2, TProgramFont::Label, 10, 24},
            {6, TProgramFont::Text, 10, 24}, {3, TProgramFont::Edit, 5, 20}, {5, TProgramFont::Column, 10, 20}};
    for (const Case& c : cases) {
        ASSERT_EQ(FontOfMenuTag(c.tag), c.font) << c.tag;
        int min = -1, max = -1;
        ModalScript modal;
        modal.Next<TFormFontDialog>([&](TFormFontDialog& d) {
            min = d.edSize->minimum();
            max = d.edSize->maximum();
            QTest::mouseClick(d.btCancel, Qt::LeftButton);
        });
        ChooseProgramFont(c.font);
        EXPECT_EQ(min, c.min) << c.tag;
        EXPECT_EQ(max, c.max) << c.tag;
    }
}

TEST_F(FontDlgTest, OkAssignsApplyAssignsAtOnceCancelPutsTheCopyBack)
{
    const TFontSpec before = ProgramFont(TProgramFont::Label);
    struct Case {
        const char* button;
        bool kept;
    };
    const Case cases[] = {{"btOk", true}, {"btCancel", false}};
    for (const Case& c : cases) {
        ProgramFont(TProgramFont::Label) = before;
        TFontSpec applied;
        ModalScript modal;
        modal.Next<TFormFontDialog>([&](TFormFontDialog& d) {
            d.edSize->setValue(18);
            d.cbBold->setChecked(true);
            QTest::mouseClick(d.btApply, Qt::LeftButton);
            applied = ProgramFont(TProgramFont::Label);
            SaveScreenshot(&d, QStringLiteral("font-dialog"));
            QTest::mouseClick(d.findChild<QPushButton*>(QLatin1String(c.button)), Qt::LeftButton);
        });
        ChooseProgramFont(TProgramFont::Label);
        EXPECT_EQ(applied.Size, 18) << "Apply assigns at once";
        EXPECT_EQ(applied.Style & fsBold, fsBold);
        const TFontSpec after = ProgramFont(TProgramFont::Label);
        EXPECT_EQ(after.Size, c.kept ? 18 : before.Size) << c.button;
        EXPECT_EQ(after.Name, before.Name) << c.button;
        EXPECT_EQ(after.Style, c.kept ? (before.Style | fsBold) : before.Style) << c.button;
    }
}

} // namespace
