// The catalogue of output documents: kinds and their sections, the panel
// rules per algorithm, refusals, the file left alone when nothing changed,
// and a clerk's whole session from a new section to a formed pay sheet.

#include "reports/ui/FormReports.h"

#include "CatalogueFixture.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Podr.h"
#include "data/TabnDops.h"
#include "foundation/ui/edits/DateEdit.h"
#include "platform/Exceptions.h"
#include "reports/FastRep.h"
#include "reports/RecordingCanvas.h"
#include "reports/ReportDocument.h"
#include "reports/ui/VedTune.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

using FormReportsTest = CatalogueUiTest;

struct TDocSpec {
    qint32 tip;
    qint32 category;
};

// Kind's catalogue with user sections and documents, written to the file.
void WriteCatalogue(int kind, const QStringList& sections, const QList<TDocSpec>& docs)
{
    T_Catalogue cat(kind);
    cat.Load();
    for (const QString& s : sections)
        cat.Sections.Add(s);
    for (const TDocSpec& d : docs) {
        T_Vedom* v = cat.Docs.AddVedom();
        v->Name = QStringLiteral("Документ %1").arg(d.tip);
        v->Tip = d.tip;
        v->Category = d.category;
        v->Template = QStringLiteral("X.dcf");
    }
    cat.Save();
}

QStringList TopNodes(const TFormReports& f)
{
    QStringList names;
    for (int i = 0; i < f.tvDocs->topLevelItemCount(); ++i)
        names << f.tvDocs->topLevelItem(i)->text(0);
    return names;
}

TEST_F(FormReportsTest, EachKindShowsItsHeaderAndFixedSections)
{
    struct Case {
        int kind;
        const char* header;
        int sections;
        const char* first;
    } cases[] = {
        {1, "Р а с ч е т н ы е    л и с т к и", 5, "Расчетный листок вида 1 (широкий)"},
        {2, "Р а с ч е т н а я     в е д о м о с т ь", 3, "Стандартные расчетные ведомости"},
        {3, "П л а т е ж н а я     в е д о м о с т ь", 4, "Платежная ведомость на зарплату"},
        {4, "С п р а в к и    о б щ и е", 3, "Справка по должникам"},
        {5, "С в о д н ы е    в е д о м о с т и", 3, "Сальдовая ведомость предприятия"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        TFormReports f;
        f.SetKind(c.kind);
        EXPECT_EQ(f.lbHeader->text(), QString::fromUtf8(c.header));
        EXPECT_EQ(f.pc->currentIndex(), c.kind - 1);
        const QStringList nodes = TopNodes(f);
        ASSERT_EQ(nodes.size(), c.sections);
        EXPECT_EQ(nodes[0], QString::fromUtf8(c.first));
        EXPECT_EQ(f.tvDocs->currentItem(), f.tvDocs->topLevelItem(0));
        EXPECT_FALSE(f.btSetup->isEnabled());
        ScriptedMessages msgs; // a section is no document
        msgs.Expect(MsgKind::Error)
            .Title(QStringLiteral("Не определена выходная форма"))
            .Details(QStringLiteral("Выберите документ в списке"));
        f.btForm->click();
    }
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Неизвестный режим")).Times(2);
    TFormReports f;
    EXPECT_THROW(f.SetKind(6), EAbort);
    EXPECT_THROW(f.SetKind(0), EAbort);
}

TEST_F(FormReportsTest, PanelsFollowTheAlgorithmAndTheSection)
{
    WriteCatalogue(3, {}, {{31, 1}, {41, 3}, {41, 2}, {61, 1}, {72, 1}, {71, 1}});
    struct Case {
        int doc;
        bool podr, plVed, autoPost, percent;
        const char* picker; // what the department button opens
    } cases[] = {
        {0, true, false, false, true, "podr"},
        {1, true, true, true, true, "list"},
        {2, true, true, false, false, "list"},
        {3, false, false, false, true, ""},
        {4, true, false, false, true, "podr"},
        {5, false, false, false, true, ""},
    };
    QStringList picked;
    TFormReports::Pickers().SelectPodr = [&](qint32, const QString&) {
        picked << QStringLiteral("podr");
        return -1;
    };
    TFormReports::Pickers().SelectTabnList = [&](qint32&, QList<qint32>&, const QString& prompt) {
        EXPECT_EQ(prompt, QStringLiteral("Выберите список работников для формирования отчета"));
        picked << QStringLiteral("list");
        return false;
    };
    TFormReports f;
    f.SetKind(3);
    f.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.doc);
        const T_Vedom* doc = f.Catalogue().Docs.GetVedom(c.doc);
        f.SelectNode(doc->Category, c.doc);
        ASSERT_EQ(f.SelectedDocument(), c.doc);
        EXPECT_EQ(!f.gbPodr->isHidden(), c.podr);
        EXPECT_EQ(!f.pnPlVed->isHidden(), c.plVed);
        EXPECT_EQ(f.pnAutoPost->isEnabled(), c.autoPost);
        EXPECT_EQ(f.pnPercent->isEnabled(), c.percent);
        EXPECT_TRUE(f.btForm->isEnabled() && f.btSetup->isEnabled() && f.btDesign->isEnabled());
        picked.clear();
        QTest::mouseClick(f.btPodr, Qt::LeftButton); // cancelled: no message
        EXPECT_EQ(picked.join(QString()), QString::fromUtf8(c.picker));
    }
}

TEST_F(FormReportsTest, PaymentSheetsFormOnlyOnThePeriodDateAndPostTheirSum)
{
    WriteCatalogue(3, {}, {{41, 3}});
    qint32 deduction = -1;
    for (int i = 0; i < DNList()->DopCount(); ++i)
        if (DNList()->GetDop(i)->Uder)
            deduction = DNList()->GetDop(i)->DopNum;
    ASSERT_GT(deduction, 0);
    TFormReports::Pickers().SelectDop = [&](quint8 kind, const QString& hint, qint32, quint8) {
        EXPECT_EQ(kind, dfDeductions);
        EXPECT_EQ(hint, QStringLiteral("Выберите удержание, на которое будет сброшена сумма по ведомости"));
        return deduction;
    };
    TFormReports f;
    f.SetKind(3);
    f.SelectNode(3, 0);
    EXPECT_EQ(f.edDedNum->text(), QStringLiteral("0"));
    f.cbAutoPost->setChecked(true);
    QTest::mouseClick(f.btDed, Qt::LeftButton);
    EXPECT_EQ(f.edDedNum->text(), QString::number(deduction));
    EXPECT_FALSE(f.edDedName->text().isEmpty());
    f.cbAddSum->setChecked(true);
    f.edNum->setText(QStringLiteral("12"));
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Details(QStringLiteral("Платежные ведомости формируются только на текущую дату"));
        f.edDate->setDate(ToQDate(Cfg.Workdate).addDays(-40));
        QTest::mouseClick(f.btForm, Qt::LeftButton);
        EXPECT_TRUE(runs.isEmpty());
    }
    f.edDate->setDate(ToQDate(Cfg.Workdate));
    QTest::mouseClick(f.btForm, Qt::LeftButton);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_TRUE(runs[0].Vars.AutoPost);
    EXPECT_TRUE(runs[0].Vars.AddToSum);
    EXPECT_EQ(runs[0].Vars.DeductionNum, deduction);
    EXPECT_EQ(runs[0].Vars.Num, QStringLiteral("12"));
    EXPECT_EQ(runs[0].Vars.Date, FromQDate(ToQDate(Cfg.Workdate)));
    EXPECT_FALSE(f.cbAddSum->isChecked());
}

// The department shown is formed whole (the forming fills the list with its
// working employees) until the picker narrows it; a picked department that
// does not exist changes nothing.
TEST_F(FormReportsTest, TheShownDepartmentIsFormedWholeUntilThePickerNarrowsIt)
{
    WriteCatalogue(1, {}, {{11, 1}});
    qint32 pickedPodr = 77;
    TFormReports::Pickers().SelectTabnList = [&pickedPodr](qint32& podr, QList<qint32>& tabns, const QString&) {
        podr = pickedPodr;
        tabns = {5, 17};
        return true;
    };
    AppendRecordValues(DM()->SP, 3, {QStringLiteral("NUMPDP"), QStringLiteral("NUMUP"), QStringLiteral("NAIM")},
        {Variant(1), Variant(0), Variant(QStringLiteral("Цех"))});
    PNList()->SetLoaded(false);
    TFormReports f;
    f.SetStart(3);
    f.SetKind(1);
    f.show();
    f.SelectNode(1, 0);
    EXPECT_EQ(f.edPodrNum->text(), QStringLiteral("3"));
    QTest::mouseClick(f.btForm, Qt::LeftButton);
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Details(QStringLiteral("Подразделение номер №77 в справочнике не найдено"));
        QTest::mouseClick(f.btPodr, Qt::LeftButton);
    }
    QTest::mouseClick(f.btForm, Qt::LeftButton);
    pickedPodr = 3;
    QTest::mouseClick(f.btPodr, Qt::LeftButton);
    QTest::mouseClick(f.btForm, Qt::LeftButton);
    ASSERT_EQ(runs.size(), 3);
    for (const auto& run : runs)
        EXPECT_EQ(run.Vars.Podr, 3);
    EXPECT_TRUE(runs[0].Tabns.isEmpty()) << "no list: the whole department";
    EXPECT_TRUE(runs[1].Tabns.isEmpty());
    EXPECT_EQ(runs[2].Tabns, (QList<int>{5, 17}));
}

TEST_F(FormReportsTest, SectionsAreDeletedOnlyWhenEmptyAndUserMade)
{
    WriteCatalogue(2, {QStringLiteral("U1"), QStringLiteral("U2"), QStringLiteral("U3")}, {{31, 4}, {31, 6}});
    struct Case {
        qint32 section;
        const char* refusal;
    } cases[] = {
        {4, "Можно удалить только пустой раздел"},
        {1, "Раздел не может быть изменен"},
        {5, nullptr},
    };
    TFormReports f;
    f.SetKind(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        ScriptedMessages msgs;
        if (c.refusal)
            msgs.Expect(MsgKind::Error).Details(QString::fromUtf8(c.refusal));
        else
            msgs.Expect(MsgKind::ConfirmDelete).Yes();
        f.SelectNode(c.section);
        QTest::mouseClick(f.btDelSection, Qt::LeftButton);
    }
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Details(QStringLiteral("Раздел не может быть изменен"));
        f.tvDocs->topLevelItem(0)->setText(0, QStringLiteral("Другое"));
        EXPECT_EQ(f.tvDocs->topLevelItem(0)->text(0), QStringLiteral("Стандартные расчетные ведомости"));
    }
    f.tvDocs->topLevelItem(3)->setText(0, QStringLiteral("U1 новый"));
    QTest::mouseClick(f.btClose, Qt::LeftButton);
    T_Catalogue cat(2);
    cat.Load();
    ASSERT_EQ(cat.Sections.Items.size(), 5);
    EXPECT_EQ(cat.Sections.Items[3].Name, QStringLiteral("U1 новый"));
    EXPECT_EQ(cat.Sections.Items[4].Name, QStringLiteral("U3"));
    ASSERT_EQ(cat.Docs.Count(), 2);
    EXPECT_EQ(cat.Docs.GetVedom(1)->Category, 5); // went down with its section
}

TEST_F(FormReportsTest, ADeletedDocumentTakesItsTemplateUnlessAnotherNamesIt)
{
    WriteCatalogue(2, {QStringLiteral("U1")}, {{31, 4}, {31, 4}});
    {
        T_Catalogue cat(2); // the other document names it without the extension
        cat.Load();
        cat.Docs.GetVedom(1)->Template = QStringLiteral("X");
        cat.Save();
    }
    WriteFileBytes(TxtDir + QStringLiteral("X.dcf"), "[Document]");
    TFormReports f;
    f.SetKind(2);
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ConfirmDelete).Yes().Times(2);
    f.SelectNode(4, 0);
    QTest::mouseClick(f.btDelDoc, Qt::LeftButton);
    EXPECT_TRUE(QFile::exists(TxtDir + QStringLiteral("X.dcf"))) << "the other document still names it";
    f.SelectNode(4, 0);
    QTest::mouseClick(f.btDelDoc, Qt::LeftButton);
    EXPECT_EQ(f.Catalogue().Docs.Count(), 0);
    EXPECT_FALSE(QFile::exists(TxtDir + QStringLiteral("X.dcf"))) << "nothing is left behind";
}

TEST_F(FormReportsTest, ACancelledNewDocumentLeavesTheFileUntouched)
{
    WriteCatalogue(2, {QStringLiteral("U1")}, {{31, 4}});
    const QByteArray before = CatalogueBytes();
    // An old time stamp shows whether closing wrote the file again.
    const QDateTime old(QDate(2001, 1, 1), QTime(12, 0));
    {
        QFile file(CatListFileName());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    TFormReports f;
    f.SetKind(2);
    f.SelectNode(4);
    ModalScript modal;
    modal.Next<TFormDocEdit>([](TFormDocEdit& d) { QTest::mouseClick(d.btCancel, Qt::LeftButton); });
    QTest::mouseClick(f.btAddDoc, Qt::LeftButton);
    EXPECT_EQ(f.Catalogue().Docs.Count(), 1);
    EXPECT_FALSE(f.Modified());
    QTest::mouseClick(f.btClose, Qt::LeftButton);
    EXPECT_EQ(CatalogueBytes(), before);
    EXPECT_EQ(QFileInfo(CatListFileName()).lastModified(), old);
}

// A pay sheet template: one line per employee with both columns.
void WritePaySheetTemplate(const QString& file)
{
    TDocument doc;
    auto band = std::make_unique<TView>(vtBand, &doc);
    band->SetBounds(QRect(0, 40, 700, 20));
    band->FT = btMasterData;
    doc.ActivePage()->AddView(std::move(band));
    auto text = std::make_unique<TView>(vtText, &doc);
    text->SetBounds(QRect(0, 42, 700, 16));
    text->M = QStringList{QStringLiteral("[Fio]: [N.1]=[V.1]; [N.2]=[V.2]")};
    doc.ActivePage()->AddView(std::move(text));
    doc.SaveToFile(file);
}

TEST_F(FormReportsTest, AClerkAddsASectionAndAPaySheetAndFormsIt)
{
    // Formed by the forming holder itself; the preview seam records the pages.
    FormingCalls().Algorithms = [] { return FormFastRep().Algorithms(); };
    const auto record = FormingCalls().RunDocument;
    FormingCalls().RunDocument = [record](T_Vedom& doc, T_PVVars* vars) {
        record(doc, vars);
        FormFastRep().RunDocument(&doc, vars);
    };
    const TReportWindowFactories savedFactories = ReportWindowFactories();
    QStringList previewed;
    ReportWindowFactories().Preview = [&](TDocument& doc, const QString&, int, bool) -> IReportWindow* {
        for (int i = 0; i < doc.OutputPageCount(); ++i) {
            RecordingCanvas canvas;
            QPainter p(&canvas);
            p.drawPicture(0, 0, doc.OutputPage(i).Picture);
            p.end();
            previewed << canvas.Texts();
        }
        doc.PreviewClosed();
        return nullptr;
    };
    WritePaySheetTemplate(TxtDir + QStringLiteral("RV1.dcf"));
    const qint32 tabn = AddWorkshopEmployee();
    TFormReports::Pickers().SelectPodr = [](qint32, const QString&) { return 2; };

    int marked[2] = {0, 0};
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Input).Title(QStringLiteral("Наименование нового раздела документов")).Ok();
    msgs.Expect(MsgKind::Input).Enter(Variant(QStringLiteral("Пустой")));
    msgs.Expect(MsgKind::Input).Title(QStringLiteral("Наименование нового столбца")).Ok();
    msgs.Expect(MsgKind::Input).Enter(Variant(QStringLiteral("Удержано")));
    msgs.Expect(MsgKind::SaveChanges).Yes();
    msgs.Expect(MsgKind::ConfirmDelete).Yes();
    chosenFiles = {TxtDir + QStringLiteral("RV1.dcf")};
    ModalScript modal;
    modal.Next<TFormReports>([&](TFormReports& f) {
        QTest::mouseClick(f.btAddSection, Qt::LeftButton);
        QTest::mouseClick(f.btAddSection, Qt::LeftButton);
        EXPECT_EQ(TopNodes(f).mid(3), (QStringList{QStringLiteral("Раздел №4"), QStringLiteral("Пустой")}));
        f.SelectNode(4);
        QTest::mouseClick(f.btAddDoc, Qt::LeftButton);
        ASSERT_EQ(f.SelectedDocument(), 0);
        QTest::mouseClick(f.btPodr, Qt::LeftButton);
        EXPECT_EQ(f.edPodrName->text(), QStringLiteral("Цех"));
        // The month's results of the two kinds the columns were given.
        T_TabnDopList results(DNList(), tdkNewResults);
        results.Date = Cfg.Workdate;
        results.TabNum = tabn;
        results.SetValues(marked[0], 0, Currency::FromInt(700), 0);
        results.SetValues(marked[1], 0, Currency::FromInt(55), 0);
        results.SaveNewResults();
        SaveScreenshot(&f, QStringLiteral("FormReports"));
        QTest::mouseClick(f.btForm, Qt::LeftButton);
        f.SelectNode(5);
        QTest::mouseClick(f.btDelSection, Qt::LeftButton);
        EXPECT_EQ(TopNodes(f).size(), 4);
        QTest::keyClick(&f, Qt::Key_Escape);
    });
    modal.Next<TFormDocEdit>([&](TFormDocEdit& d) {
        d.edName->setText(QStringLiteral("Ведомость цеха"));
        d.cbAlg->setCurrentIndex(d.cbAlg->findData(31));
        QTest::mouseClick(d.btTemplate, Qt::LeftButton);
        QTest::mouseClick(d.btRasVed, Qt::LeftButton);
        EXPECT_EQ(d.edRVNum->text(), QStringLiteral("1"));
        EXPECT_EQ(d.cbRasVed->currentText(), QStringLiteral("Зарплата"));
        SaveScreenshot(&d, QStringLiteral("FormDocEdit"));
        QTest::mouseClick(d.btOk, Qt::LeftButton);
    });
    modal.Next<TFormVedTune>([&](TFormVedTune& v) {
        v.edName->setText(QStringLiteral("Зарплата"));
        QTest::mouseClick(v.btAdd, Qt::LeftButton);
        QTest::mouseClick(v.btAdd, Qt::LeftButton);
        for (int column = 0; column < 2; ++column) {
            v.lvCol->setCurrentItem(v.lvCol->topLevelItem(column));
            QTreeWidgetItem* kind = v.lvDop->topLevelItem(column);
            marked[column] = kind->data(0, Qt::UserRole).toInt();
            v.lvDop->setFocus();
            v.lvDop->setCurrentItem(kind);
            QTest::keyClick(v.lvDop, Qt::Key_Return);
        }
        SaveScreenshot(&v, QStringLiteral("FormVedTune"));
        QTest::mouseClick(v.btOk, Qt::LeftButton);
    });
    ShowDocCatalog(2, 0);
    ReportWindowFactories() = savedFactories;

    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].Name, QStringLiteral("Ведомость цеха"));
    EXPECT_EQ(runs[0].Tip, 31);
    EXPECT_EQ(runs[0].RVNum, 1);
    EXPECT_EQ(runs[0].Vars.Podr, 2);
    EXPECT_FALSE(runs[0].Vars.AutoPost);
    EXPECT_EQ(runs[0].Vars.Date, Cfg.Workdate);
    const QString line = previewed.filter(QStringLiteral("Петров")).join(QString());
    EXPECT_TRUE(line.contains(QStringLiteral("Петров Петр Петрович: Столбец №1=700,00; Удержано=55,00")))
        << previewed.join(QLatin1Char('\n')).toStdString();

    T_Catalogue cat(2);
    cat.Load();
    ASSERT_EQ(cat.Sections.Items.size(), 4);
    EXPECT_EQ(cat.Sections.Items[3].Name, QStringLiteral("Раздел №4"));
    ASSERT_EQ(cat.Docs.Count(), 1);
    const T_Vedom* doc = cat.Docs.GetVedom(0);
    EXPECT_EQ(doc->Name, QStringLiteral("Ведомость цеха"));
    EXPECT_EQ(doc->Tip, 31);
    EXPECT_EQ(doc->Category, 4);
    EXPECT_EQ(doc->RVNum, 1);
    EXPECT_EQ(doc->Template, QStringLiteral("RV1.dcf"));

    EXPECT_EQ(StoredRasVed(), QList<int>{1});
    T_RasVed ved;
    ved.LoadByNumber(1);
    EXPECT_EQ(ved.Name, QStringLiteral("Зарплата"));
    ASSERT_EQ(ved.ColumnCount(), 2);
    EXPECT_EQ(ved.Column(1)->Name, QStringLiteral("Удержано"));
    for (int c = 0; c < 2; ++c) {
        ASSERT_EQ(ved.Column(c)->Count(), 1);
        EXPECT_EQ(ved.Column(c)->GetInteger(0), marked[c]);
    }
}

} // namespace
