// The program fonts by component name and class, and their INI section.

#include "data/ui/ProgramFonts.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/controls/ShadowLabel.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

template <class W> W* Add(QWidget* parent, const char* name)
{
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

TEST(ProgramFonts, EachComponentTakesTheFontOfItsNameAndClass)
{
    ResetProgramFonts();
    TForm form(nullptr, QStringLiteral("FormTest"));
    Add<Tyq_ShadowLabel>(&form, "prgHeader");
    Add<Tyq_ShadowLabel>(&form, "slHeaderName");
    Add<QLabel>(&form, "lbTitleText");
    Add<QLabel>(&form, "lbWarning");
    Add<QLabel>(&form, "lbName_HF");
    Add<QLineEdit>(&form, "edName");
    auto* memo = Add<QPlainTextEdit>(&form, "mmCourier");
    memo->setFont(QFont(QStringLiteral("Arial"), 12));
    auto* button = Add<QPushButton>(&form, "btOk");
    button->setFont(QFont(QStringLiteral("Arial"), 14));
    ApplyProgramFonts(&form);

    const struct {
        const char* name;
        const char* family;
        int size;
        bool bold;
    } cases[] = {
        {"FormTest", "MS Sans Serif", 8, false}, {"prgHeader", "Times New Roman", 18, true},
        {"slHeaderName", "Times New Roman", 18, true}, {"lbTitleText", "MS Sans Serif", 8, false},
        {"lbWarning", "Times New Roman", 8, true}, {"lbName_HF", "Times New Roman", 8, false},
        {"edName", "MS Sans Serif", 8, false}, {"mmCourier", "Courier New", 8, false},
        {"btOk", "MS Sans Serif", 8, false}, // back to the form's font
    };
    for (const auto& c : cases) {
        const QWidget* w
            = c.name == QLatin1String("FormTest") ? &form : form.findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->font().family(), QString::fromLatin1(c.family)) << c.name;
        EXPECT_EQ(w->font().pointSize(), c.size) << c.name;
        EXPECT_EQ(w->font().bold(), c.bold) << c.name;
    }
    // The label font is aqua: COLORREF 0x00FFFF00 is blue and green, no red.
    EXPECT_EQ(form.findChild<QWidget*>(QStringLiteral("prgHeader"))->palette().color(QPalette::WindowText),
        QColor(0, 255, 255));
}

TEST(ProgramFonts, WindowsFacesFindTheirLiberationFonts)
{
    RegisterFontSubstitutions();
    const struct {
        const char* stored;
        const char* found;
    } cases[] = {
        {"MS Sans Serif", "Liberation Sans"},
        {"Arial", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QFontInfo(QFont(QString::fromLatin1(c.stored), 10)).family(), QString::fromLatin1(c.found))
            << c.stored;
    EXPECT_EQ(ColorRefToColor(0x000000FF), QColor(255, 0, 0));
    EXPECT_EQ(ColorToColorRef(QColor(0, 255, 255)), 16776960u);
}

TEST(ProgramFonts, TheSectionsAreReadAndWrittenOnlyWhileSavingIsOn)
{
    ScopedProgramFolder folder;
    ResetProgramFonts();
    WriteFileBytes(folder.File(QStringLiteral("qor.ini")), "[MainFont]\r\nSize=10\r\nStyle=12\r\n");
    CloseProgramIni();
    LoadProgramFonts();
    const TFontSpec main = ProgramFont(TProgramFont::Main);
    EXPECT_EQ(main.Name, QStringLiteral("MS Sans Serif")) << "a missing key keeps the default";
    EXPECT_EQ(main.Size, 10);
    const QFont font = ToQFont(main);
    EXPECT_TRUE(font.bold());
    EXPECT_TRUE(font.italic());
    EXPECT_FALSE(font.underline());

    ProgramFont(TProgramFont::Column).Size = 13;
    const bool saving = IniSavingEnabled;
    IniSavingEnabled = false;
    SaveProgramFonts();
    EXPECT_EQ(ProgramIni().ReadInteger(QStringLiteral("ColumnFont"), QStringLiteral("Size"), -1), -1);
    IniSavingEnabled = true;
    SaveProgramFonts();
    IniSavingEnabled = saving;
    CloseProgramIni();
    EXPECT_EQ(ProgramIni().ReadInteger(QStringLiteral("ColumnFont"), QStringLiteral("Size"), -1), 13);
    CloseProgramIni();
    ResetProgramFonts();
}

} // namespace
