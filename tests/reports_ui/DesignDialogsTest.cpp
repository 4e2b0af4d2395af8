// The designer's dialogs: the variables list and its help texts, the
// options written back only on OK, the editors' checks of the coordinate
// fields before anything is applied, the picture's stretch bit and the
// variable put in at the caret.

#include "reports/ui/DesignDialogs.h"
#include "reports/ReportDocument.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

const QStringList kVariables = {
    QStringLiteral("\tV0|Top"),
    QStringLiteral("Общие"),
    QStringLiteral("\tV1|Desc|Help"),
    QStringLiteral("\t!more"),
    QStringLiteral("\t-more2"),
    QStringLiteral(";comment"),
    QStringLiteral("\tV2"),
    QStringLiteral("\tV3|OnlyDesc|"),
    QString(),
    QStringLiteral("Сотрудник"),
    QStringLiteral("  V4 | D4 | H4 | x"),
    QStringLiteral("\t;V5|not a variable"),
};

void Ok(QDialog& d) { QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("btOk")), Qt::LeftButton); }
void Set(QDialog& d, const char* name, const QString& text)
{
    d.findChild<QLineEdit*>(QString::fromLatin1(name))->setText(text);
}

TEST(DesignDialogsTest, VariablesParseIntoSectionsNamesTextsAndHelp)
{
    const std::vector<TVarEntry> e = ParseVariables(kVariables);
    struct Want {
        bool section;
        const char *text, *name, *help;
        QStringList more;
        int parent;
    } want[] = {
        {false, "Top", "V0", "", {}, -1},
        {true, "Общие", "Общие", "", {}, -1},
        {false, "Desc", "V1", "Help", {"more", "more2"}, 1},
        {false, "V2", "V2", "", {}, 1},
        {false, "OnlyDesc", "V3", "", {}, 1},
        {true, "Сотрудник", "Сотрудник", "", {}, -1},
        {false, "D4", "V4", "H4 | x", {}, 5},
    };
    ASSERT_EQ(e.size(), std::size(want));
    for (size_t i = 0; i < e.size(); ++i) {
        EXPECT_EQ(e[i].section, want[i].section) << i;
        EXPECT_EQ(e[i].text, QString::fromUtf8(want[i].text)) << i;
        EXPECT_EQ(e[i].name, QString::fromUtf8(want[i].name)) << i;
        EXPECT_EQ(e[i].help, QString::fromUtf8(want[i].help)) << i;
        EXPECT_EQ(e[i].more, want[i].more) << i;
        EXPECT_EQ(e[i].parent, want[i].parent) << i;
    }
    EXPECT_EQ(VariableHelp(e[2]), QStringLiteral("[V1] :  Help\nmore\nmore2"));
    EXPECT_EQ(VariableHelp(e[3]), QStringLiteral("[V2]"));
    EXPECT_EQ(VariableHelp(e[1]), QStringLiteral("Секция \"Общие\""));
}

TEST(DesignDialogsTest, VariablesFormChoosesOnlyVariablesAndRebuildsEachTime)
{
    TDocument doc;
    TVarForm form;
    ModalScript modal;
    modal.Next<TVarForm>([](TVarForm& f) {
        EXPECT_TRUE(f.lbEmpty->isVisible());
        EXPECT_EQ(f.lbEmpty->text(), QStringLiteral("Нет предопределенных переменных"));
        EXPECT_FALSE(f.tree->isVisible());
        QTest::keyClick(&f, Qt::Key_Escape);
    });
    EXPECT_EQ(form.Choose(doc), QString());

    doc.Variables = kVariables;
    modal.Next<TVarForm>([](TVarForm& f) {
        QTreeWidgetItem* section = f.tree->topLevelItem(1);
        f.tree->setCurrentItem(section);
        QTest::keyClick(f.tree, Qt::Key_Return);
        EXPECT_TRUE(f.isVisible()); // a section cannot be chosen
        f.tree->setCurrentItem(section->child(0));
        EXPECT_EQ(f.lbHelp->text(), QStringLiteral("[V1] :  Help\nmore\nmore2"));
        EXPECT_EQ(f.lbHelp->backgroundRole(), QPalette::ToolTipBase);
        QTest::keyClick(f.tree, Qt::Key_Return);
    });
    EXPECT_EQ(form.Choose(doc), QStringLiteral("[V1]"));

    doc.Variables = QStringList{QStringLiteral("Другой"), QStringLiteral("\tW|Иной")};
    modal.Next<TVarForm>([](TVarForm& f) {
        EXPECT_EQ(f.tree->topLevelItemCount(), 1);
        emit f.tree->itemDoubleClicked(f.tree->topLevelItem(0)->child(0), 0);
    });
    EXPECT_EQ(form.Choose(doc), QStringLiteral("[W]"));
}

TEST(DesignDialogsTest, OptionsAreWrittenBackOnlyOnOk)
{
    TDocument doc;
    doc.MarginTop = 2000;
    doc.Designer.FontStyle = 4 | 2; // underline cannot be set here
    TOptForm form;
    ModalScript modal;
    modal.Next<TOptForm>([](TOptForm& f) {
        EXPECT_EQ(f.pc->currentIndex(), TOptForm::pgSheet);
        EXPECT_EQ(f.edTop->text(), QStringLiteral("2"));
        Set(f, "edTop", QStringLiteral("1,5"));
        f.rbLandscape->setChecked(true);
        QTest::keyClick(&f, Qt::Key_Escape);
    });
    EXPECT_FALSE(form.Edit(doc, TOptForm::pgSheet));
    EXPECT_EQ(doc.MarginTop, 2000);
    EXPECT_EQ(doc.ActivePage()->O, 0);

    modal.Next<TOptForm>([](TOptForm& f) {
        EXPECT_EQ(f.pc->currentIndex(), TOptForm::pgCommon);
        Set(f, "edName", QStringLiteral("Ведомость"));
        Set(f, "edTop", QStringLiteral("1,5"));
        Set(f, "edBottom", QStringLiteral("0.25"));
        Set(f, "edLeft", QStringLiteral("0,0005"));
        Set(f, "edFontSize", QStringLiteral("abc"));
        f.cbFrame->setChecked(true);
        f.rbGrid8->setChecked(true);
        f.rbLandscape->setChecked(true);
        f.cbHeaderFirst->setChecked(true);
        f.rbLat->setChecked(true);
        SaveScreenshot(&f, QStringLiteral("design-options"));
        Ok(f);
    });
    ASSERT_TRUE(form.Edit(doc, TOptForm::pgCommon));
    EXPECT_EQ(doc.NameDocument(), QStringLiteral("Ведомость"));
    EXPECT_EQ(doc.MarginTop, 1500);
    EXPECT_EQ(doc.MarginBottom, 250);
    EXPECT_EQ(doc.MarginLeft, 1);
    EXPECT_EQ(doc.Designer.FontSize, 10);
    EXPECT_EQ(doc.Designer.FrameTyp, 15);
    EXPECT_EQ(doc.Designer.GridSize, 8);
    EXPECT_EQ(doc.Designer.FontStyle, 2);
    EXPECT_FALSE(doc.Designer.BandNameRus);
    EXPECT_EQ(doc.ActivePage()->O, 1);
    EXPECT_TRUE(doc.ActivePage()->F);
}

TEST(DesignDialogsTest, OptionsRefuseAMarginThatIsNoNumber)
{
    TDocument doc;
    TOptForm form;
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Поле \"Справа\": \"1,5см\" не является числом"));
    ModalScript modal;
    modal.Next<TOptForm>([](TOptForm& f) {
        Set(f, "edRight", QStringLiteral("1,5см"));
        Set(f, "edName", QStringLiteral("X"));
        Ok(f);
        EXPECT_TRUE(f.isVisible());
        QTest::keyClick(&f, Qt::Key_Escape);
    });
    EXPECT_FALSE(form.Edit(doc, TOptForm::pgCommon));
    EXPECT_EQ(doc.StoredNameDocument(), QString());
}

TEST(DesignDialogsTest, TextEditorChecksAllFieldsBeforeApplyingAny)
{
    TDocument doc;
    TView v(vtText, &doc);
    v.SetBounds(QRect(10, 20, 30, 40));
    v.M = {QStringLiteral("old")};
    TEditorForm form;
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Поле \"X\": \"12a\" не является целым числом"));
    msgs.Expect(MsgKind::Error).Times(2);
    ModalScript modal;
    modal.Next<TEditorForm>([&](TEditorForm& f) {
        f.Memo->setPlainText(QStringLiteral("new\nlines"));
        f.cbStretch->setChecked(true);
        for (auto [field, text] : {std::pair{"edX", "12a"}, {"edDX", "-5"}, {"edDY", "0"}}) {
            Set(f, "edX", QStringLiteral("12"));
            Set(f, "edDX", QStringLiteral("30"));
            Set(f, "edDY", QStringLiteral("40"));
            Set(f, field, QString::fromLatin1(text));
            QTest::keyClick(f.focusWidget(), Qt::Key_Return, Qt::ControlModifier);
            EXPECT_TRUE(f.isVisible()) << field;
            EXPECT_EQ(v.M, QStringList{QStringLiteral("old")}) << field;
            EXPECT_FALSE(v.SC) << field;
            EXPECT_EQ(v.Bounds(), QRect(10, 20, 30, 40)) << field;
        }
        Set(f, "edDY", QStringLiteral("44"));
        f.cbWordWrap->setChecked(true);
        QTest::keyClick(f.focusWidget(), Qt::Key_Return, Qt::ControlModifier);
    });
    ASSERT_TRUE(form.Edit(v, doc));
    EXPECT_EQ(v.M, (QStringList{QStringLiteral("new"), QStringLiteral("lines")}));
    EXPECT_EQ(v.Bounds(), QRect(12, 20, 30, 44));
    EXPECT_TRUE(v.SC);
    EXPECT_TRUE(v.WordWrap());

    modal.Next<TEditorForm>([](TEditorForm& f) {
        QTest::keyClick(f.Memo, Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_TRUE(f.Memo->toPlainText().isEmpty());
        QTest::keyClick(&f, Qt::Key_Escape);
    });
    EXPECT_FALSE(form.Edit(v, doc));
    EXPECT_EQ(v.M.size(), 2);
}

TEST(DesignDialogsTest, VariableGoesInAtTheCaretAndTheClipboardStaysTheUsers)
{
    TDocument doc;
    doc.Variables = kVariables;
    TView v(vtText, &doc);
    v.SetBounds(QRect(0, 0, 10, 10));
    v.M = {QStringLiteral("Итого: руб.")};
    QGuiApplication::clipboard()->setText(QStringLiteral("the user's own"));
    TEditorForm form;
    ModalScript modal;
    modal.Next<TEditorForm>([](TEditorForm& f) {
        QTextCursor c = f.Memo->textCursor();
        c.setPosition(7);
        f.Memo->setTextCursor(c);
        EXPECT_EQ(f.lbCaret->text(), QStringLiteral("1 : 8"));
        QTest::keyClick(f.Memo, Qt::Key_Insert);
        SaveScreenshot(&f, QStringLiteral("design-text-editor"));
        Ok(f);
    });
    modal.Next<TVarForm>([](TVarForm& f) {
        f.tree->setCurrentItem(f.tree->topLevelItem(1)->child(1));
        QTest::keyClick(f.tree, Qt::Key_Return);
    });
    ASSERT_TRUE(form.Edit(v, doc));
    EXPECT_EQ(v.M, QStringList{QStringLiteral("Итого: [V2]руб.")});
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("the user's own"));
}

TEST(DesignDialogsTest, PictureEditorTakesTheFileAndTheStretchBit)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("logo.png"));
    QImage img(12, 7, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(file));
    const TGEditorForm::TFileChooser saved = TGEditorForm::FileChooser();
    TGEditorForm::FileChooser() = [&](QWidget*) { return file; };
    TDocument doc;
    TView v(vtPicture, &doc);
    v.SetBounds(QRect(1, 2, 80, 80));
    TGEditorForm form;
    ModalScript modal;
    for (const bool stretch : {false, true}) {
        modal.Next<TGEditorForm>([&](TGEditorForm& f) {
            QTest::mouseClick(f.findChild<QPushButton*>(QStringLiteral("btLoad")), Qt::LeftButton);
            EXPECT_EQ(f.edFile->text(), file);
            f.cbStretch->setChecked(stretch);
            Set(f, "edX", QStringLiteral("5"));
            Ok(f);
        });
        ASSERT_TRUE(form.Edit(v));
        EXPECT_EQ(v.M, QStringList{file});
        EXPECT_EQ(v.Picture.size(), QSize(12, 7));
        EXPECT_EQ(v.X, 5);
        EXPECT_EQ((v.A & 512) != 0, !stretch) << stretch;
    }
    TGEditorForm::FileChooser() = saved;
}

} // namespace
