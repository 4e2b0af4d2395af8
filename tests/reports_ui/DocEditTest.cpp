// The document parameters dialog: what the algorithm shows, the copy it
// edits, the template's name and the designer's refusal.

#include "reports/ui/DocEdit.h"

#include "CatalogueFixture.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

using DocEditTest = CatalogueUiTest;

T_Vedom Descriptor(qint32 tip)
{
    T_Vedom d;
    d.Num = 3;
    d.Name = QStringLiteral("Ведомость");
    d.Tip = tip;
    d.Template = QStringLiteral("RV1.dcf");
    d.Category = 2;
    d.RVNum = 5;
    d.Cond = vcPositive;
    d.VedRnd = true;
    return d;
}

bool Same(const T_Vedom& a, const T_Vedom& b)
{
    return a.Num == b.Num && a.Name == b.Name && a.Tip == b.Tip && a.Template == b.Template && a.Category == b.Category
        && a.RVNum == b.RVNum && a.Cond == b.Cond && a.VedRnd == b.VedRnd;
}

TEST_F(DocEditTest, TheAlgorithmDecidesTheMaskAndThePaySheetPage)
{
    struct Case {
        qint32 tip;
        int comboIndex;
        const char* mask;
        bool page;
    } cases[] = {
        {0, -1, "*.dcf", false},
        {99, -1, "*.dcf", false},
        {31, 3, "RV*.dcf", true},
        {41, 4, "PV*.dcf", false},
        {61, 7, "SP*.dcf", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tip);
        T_Vedom doc = Descriptor(c.tip);
        ModalScript modal;
        modal.Next<TFormDocEdit>([&](TFormDocEdit& f) {
            EXPECT_EQ(f.cbAlg->currentIndex(), c.comboIndex);
            EXPECT_EQ(f.cbAlg->itemText(0), QStringLiteral("???"));
            EXPECT_EQ(f.lbMask->text(), QString::fromUtf8(c.mask));
            EXPECT_EQ(f.pc->isTabVisible(f.pc->indexOf(f.tsRasVed)), c.page);
            QTest::mouseClick(f.btCancel, Qt::LeftButton);
        });
        EXPECT_FALSE(EditDocument(doc, 2));
    }
}

TEST_F(DocEditTest, CancelLeavesTheDescriptorAndOkTakesEveryEdit)
{
    T_RasVed stored;
    stored.Number = 5;
    stored.Name = QStringLiteral("Пятая");
    stored.AddColumn()->AddInteger(1);
    stored.Save();
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok);
        T_Vedom doc = Descriptor(41);
        const T_Vedom before = Descriptor(41);
        ModalScript modal;
        modal.Next<TFormDocEdit>([&](TFormDocEdit& f) {
            f.edName->setText(QStringLiteral("Новое"));
            f.cbAlg->setCurrentIndex(3); // 31
            EXPECT_EQ(f.edRVNum->text(), QStringLiteral("5"));
            f.cbRasVed->setCurrentIndex(0); // "Новая"
            EXPECT_EQ(f.edRVNum->text(), QString()) << "no number before it is saved";
            f.condGroup->button(4)->click();
            f.cbVedRnd->setChecked(false);
            QTest::mouseClick(ok ? f.btOk : f.btCancel, Qt::LeftButton);
        });
        EXPECT_EQ(EditDocument(doc, 2), ok);
        if (!ok) {
            EXPECT_TRUE(Same(doc, before));
            continue;
        }
        EXPECT_EQ(doc.Name, QStringLiteral("Новое"));
        EXPECT_EQ(doc.Tip, 31);
        EXPECT_EQ(doc.RVNum, -1);
        EXPECT_EQ(doc.Cond, vcZero);
        EXPECT_FALSE(doc.VedRnd);
        EXPECT_EQ(doc.Template, before.Template);
    }
}

TEST_F(DocEditTest, TheChosenTemplateLosesItsFolderAndGetsAnExtension)
{
    chosenFiles = {QStringLiteral("/elsewhere/abc"), QStringLiteral("/x/RV2.DCF"), QString()};
    T_Vedom doc = Descriptor(31);
    ModalScript modal;
    modal.Next<TFormDocEdit>([&](TFormDocEdit& f) {
        QTest::mouseClick(f.btTemplate, Qt::LeftButton);
        EXPECT_EQ(f.edTemplate->text(), QStringLiteral("abc.dcf"));
        QTest::mouseClick(f.btTemplate, Qt::LeftButton);
        EXPECT_EQ(f.edTemplate->text(), QStringLiteral("RV2.DCF"));
        QTest::mouseClick(f.btTemplate, Qt::LeftButton); // cancelled
        EXPECT_EQ(f.edTemplate->text(), QStringLiteral("RV2.DCF"));
        f.cbAlg->setCurrentIndex(0);
        QTest::mouseClick(f.btTemplate, Qt::LeftButton);
        f.cbAlg->setCurrentIndex(f.cbAlg->findData(31));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    ASSERT_TRUE(EditDocument(doc, 1));
    EXPECT_EQ(doc.Template, QStringLiteral("RV2.DCF"));
    ASSERT_EQ(chooserCalls.size(), 4);
    EXPECT_EQ(chooserCalls[0],
        TxtDir
            + QStringLiteral("|Файлы алгоритма (RV*.dcf rv*.dcf RV*.DCF);;Все файлы шаблонов (*.dcf *.DCF);;Все "
                             "файлы (*)"));
    EXPECT_EQ(chooserCalls[3], TxtDir + QStringLiteral("|Все файлы шаблонов (*.dcf *.DCF);;Все файлы (*)"));
}

TEST_F(DocEditTest, OkRefusesADocumentWithoutNameAlgorithmOrTemplate)
{
    ScriptedMessages msgs;
    for (const char* refusal : {"Введите наименование документа", "Не определен алгоритм формирования документа",
             "Неверно определен файл-шаблон"})
        msgs.Expect(MsgKind::Error).Details(QString::fromUtf8(refusal));
    T_Vedom doc; // what "Новый документ" starts from
    ModalScript modal;
    modal.Next<TFormDocEdit>([&](TFormDocEdit& f) {
        QTest::mouseClick(f.btOk, Qt::LeftButton);
        f.edName->setText(QStringLiteral("Новая ведомость"));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
        f.cbAlg->setCurrentIndex(f.cbAlg->findData(31));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
        EXPECT_TRUE(f.isVisible());
        f.edTemplate->setText(QStringLiteral("RV7.dcf"));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    ASSERT_TRUE(EditDocument(doc, 1));
    EXPECT_EQ(doc.Template, QStringLiteral("RV7.dcf"));
}

TEST_F(DocEditTest, TheDesignerRefusesATemplateWithoutAName)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Неверно определен файл-шаблон")).Times(2);
    T_Vedom doc = Descriptor(31);
    ModalScript modal;
    modal.Next<TFormDocEdit>([&](TFormDocEdit& f) {
        QTest::mouseClick(f.btDesign, Qt::LeftButton);
        for (const char* bad : {"", "/txt/.dcf"}) {
            f.edTemplate->setText(QString::fromUtf8(bad));
            QTest::mouseClick(f.btDesign, Qt::LeftButton);
        }
        QTest::mouseClick(f.btCancel, Qt::LeftButton);
    });
    EditDocument(doc, 1);
    EXPECT_EQ(designed, QStringList{QStringLiteral("RV1.dcf")});
}

} // namespace
