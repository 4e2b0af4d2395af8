// The import window, offscreen, on the synthetic predecessor folder: a run
// to the end, a stop from its button, a close while it runs, and the
// pay-sheet-only import.

#include "archive/ui/ImportData.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/ui/dialogs/TextView.h"
#include "foundation/ui/edits/ComboEdit.h"
#include "reports/RasVed.h"
#include "reports/RasVedImport.h"
#include "support/DataFolderFixture.h"
#include "support/ModalScript.h"
#include "support/OldFolder.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QString kOldFrom = QStringLiteral("/old/qo/");

class FormImportDataTest : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        // Its QO.RAS has columns 1 and 7: accrual 1 and (1 + 199).
        WriteOldFolder(source.path());
        SetPaySheetImporter(ImportOldPaySheet);
        TIniFile& ini = ProgramIni();
        ini.WriteString("Import", "PathFrom", kOldFrom);
        ini.WriteString("Import", "PathTo", fx.DataPath());
        T_RasVed old;
        old.Number = 4;
        old.Name = QStringLiteral("Прежняя");
        old.AddColumn()->AddInteger(2);
        old.Save();
    }
    void TearDown() override
    {
        SetPaySheetImporter({});
        AppContextTest::TearDown();
    }
    std::unique_ptr<TFormImportData> Open()
    {
        auto form = std::make_unique<TFormImportData>();
        form->Import().ErrorFolder = errors.path();
        form->show();
        form->edPath->setText(source.path());
        return form;
    }
    // Clicks the import button once the import has reached `stage`, as a
    // clerk would while it runs.
    static void DuringStage(TFormImportData& f, const QString& stage, std::function<void()> act)
    {
        auto previous = f.Import().Run().OnStage;
        f.Import().Run().OnStage = [previous, stage, act](const QString& s) {
            previous(s);
            if (s == stage)
                QTimer::singleShot(0, act);
        };
    }
    static QStringList Counters(const TFormImportData& f)
    {
        QStringList out;
        for (int i = 0; i < f.lbCounters->count(); ++i)
            out << f.lbCounters->item(i)->text();
        return out;
    }
    static QStringList PaySheets()
    {
        T_RasVedList list;
        list.LoadAll();
        QStringList out;
        for (int i = 0; i < list.Count(); ++i) {
            QStringList columns;
            for (int c = 0; c < list[i]->ColumnCount(); ++c)
                columns << list[i]->Column(c)->Name + QLatin1Char('=')
                        + QString::number(list[i]->Column(c)->GetInteger(0));
            out << list[i]->Name + QStringLiteral(": ") + columns.join(QStringLiteral(", "));
        }
        return out;
    }

    QTemporaryDir source, errors;
};

TEST_F(FormImportDataTest, ImportsToTheEndAndShowsTheErrorList)
{
    auto f = Open();
    EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", ""), kOldFrom);
    ScriptedMessages msgs;
    for (const char* unknown : {"NC199913.DBF", "NC9905.DBF"})
        msgs.Expect(MsgKind::Error).Title("Неопознанный файл начислений:").Details(unknown);
    msgs.Expect(MsgKind::StandardBox).Containing("Импорт закончен");
    ModalScript modal;
    QStringList shown;
    qsizetype messagesBeforeList = -1;
    modal.Next<TFormView>([&](TFormView& v) {
        shown = v.Lines();
        messagesBeforeList = msgs.Log().size();
        v.done(0);
    });
    QTest::mouseClick(f->btImport, Qt::LeftButton);

    EXPECT_TRUE(shown.contains("Ошибка в значении формулы пользователя формулы №3")) << shown.join("\n").toStdString();
    EXPECT_EQ(messagesBeforeList, 2) << "the list before the word that the import ended";
    EXPECT_EQ(msgs.Log().size(), 3);
    // The counters in the clerk's words, no internal names.
    const QStringList counters = Counters(*f);
    for (const char* c : {"Входные данные (VVOD.DBF): работник не найден: 1",
             "Результаты расчета (NACH.DBF): особые коды и не записанные строки: 1",
             "Результаты расчета (NACH.DBF): работник не найден: 1", "Строк в шкале подоходного налога: 4"})
        EXPECT_TRUE(counters.contains(QString::fromUtf8(c))) << c << " in " << counters.join(", ").toStdString();
    EXPECT_FALSE(counters.join(" ").contains("CFG_")) << counters.join(", ").toStdString();
    EXPECT_FALSE(counters.join(" ").contains("VVODP.DBF")) << "a counter of 0 is not stored";
    EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", ""), source.path());
    EXPECT_EQ(ProgramIni().ReadString("Import", "PathTo", ""), fx.DataPath());
    EXPECT_EQ(PaySheets(), QStringList({"Основная расчетная ведомость: Оклад=1, Налог=200"}));
    EXPECT_EQ(f->btImport->text(), "Импорт");
    EXPECT_EQ(f->lbMessage->text(), "Импорт закончен");
    EXPECT_EQ(f->pbProgress->value(), 100);
    EXPECT_TRUE(DM()->SR.Active());
    SaveScreenshot(f.get(), QStringLiteral("FormImportDataFinished"));
}

TEST_F(FormImportDataTest, AStopKeepsTheIniSection)
{
    auto f = Open();
    QString caption;
    DuringStage(*f, "Справочник работников", [&] {
        caption = f->btImport->text();
        QTest::mouseClick(f->btImport, Qt::LeftButton);
    });
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question)
        .Title("Остановить процесс импорта данных?")
        .Details("Остановка нарушит целостность данных \r\nи не позволит вести полноценную работу")
        .Yes();
    msgs.Expect(MsgKind::StandardBox).Containing("Импорт прерван !");
    // The list of the stages that ran is still shown.
    ModalScript modal;
    modal.Next<TFormView>([](TFormView& v) { v.done(0); });
    QTest::mouseClick(f->btImport, Qt::LeftButton);

    EXPECT_EQ(caption, "Стоп...");
    EXPECT_EQ(f->lbMessage->text(), "Импорт прерван !");
    EXPECT_EQ(f->btImport->text(), "Импорт");
    EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", ""), kOldFrom);
    EXPECT_EQ(PaySheets(), QStringList({"Прежняя: =2"})) << "the later stages did not run";
    EXPECT_TRUE(DM()->SR.Active());
}

TEST_F(FormImportDataTest, AClosedWindowWaitsForTheStop)
{
    auto f = Open();
    bool runningAtClose = false, openAfterClose = false;
    DuringStage(*f, "Справочник доплат и удержаний", [&] {
        runningAtClose = f->Import().Running();
        f->close();
        openAfterClose = f->isVisible();
    });
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Title("Остановить процесс импорта данных?").Yes();
    msgs.Expect(MsgKind::StandardBox).Containing("Импорт прерван !");
    // The income-tax stage listed an error before the stop.
    ModalScript modal;
    modal.Next<TFormView>([](TFormView& v) { v.done(0); });
    QTest::mouseClick(f->btImport, Qt::LeftButton);

    EXPECT_TRUE(runningAtClose);
    EXPECT_TRUE(openAfterClose) << "not closed under the running import";
    EXPECT_FALSE(f->isVisible()) << "closed once the import ended";
    EXPECT_FALSE(f->Import().Running());
    EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", ""), kOldFrom);
}

TEST_F(FormImportDataTest, TheLocalImportReplacesOnlyThePaySheets)
{
    auto f = Open();
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Question).Title("Заменить расчетные ведомости?").No();
        QTest::mouseClick(f->Button1, Qt::LeftButton);
    }
    EXPECT_EQ(PaySheets(), QStringList({"Прежняя: =2"}));
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Question).Title("Заменить расчетные ведомости?").Yes();
        msgs.Expect(MsgKind::StandardBox).Details("Импорт закончен");
        QTest::mouseClick(f->Button1, Qt::LeftButton);
    }
    EXPECT_EQ(PaySheets(), QStringList({"Основная расчетная ведомость: Оклад=1, Налог=200"}));
    EXPECT_TRUE(Counters(*f).isEmpty());

    QFile::remove(QDir(source.path()).filePath("QO.RAS"));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Containing("Не найден ");
    QTest::mouseClick(f->Button1, Qt::LeftButton);
    EXPECT_EQ(PaySheets(), QStringList({"Основная расчетная ведомость: Оклад=1, Налог=200"}));
}

// Over a data base that holds employees the import asks first; Esc is "Нет"
// and replaces nothing.
TEST_F(FormImportDataTest, AnImportOverEmployeesAsksFirst)
{
    AppendRecordValues(DM()->SR, 77, {"FIO"}, {Variant(QStringLiteral("Сидоров С.С."))});
    auto f = Open();
    const QString question = QStringLiteral("Заменить данные программы данными QO (DOS)?");
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Question).Title(question).PressEsc();
        QTest::mouseClick(f->btImport, Qt::LeftButton);
        ASSERT_EQ(msgs.Log().size(), 1);
        const QString details = msgs.Log()[0].details;
        for (const char* part :
            {"В программе есть работники: 1.", "входные данные, результаты расчетов", "Прежде сохраните архив данных"})
            EXPECT_TRUE(details.contains(QString::fromUtf8(part))) << details.toStdString();
    }
    EXPECT_EQ(PaySheets(), QStringList({"Прежняя: =2"}));
    ASSERT_TRUE(DM()->SR.FindKey({77}));
    EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", ""), kOldFrom);

    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Title(question).Yes();
    for (const char* unknown : {"NC199913.DBF", "NC9905.DBF"})
        msgs.Expect(MsgKind::Error).Details(unknown);
    msgs.Expect(MsgKind::StandardBox).Containing("Импорт закончен");
    ModalScript modal;
    modal.Next<TFormView>([](TFormView& v) { v.done(0); });
    QTest::mouseClick(f->btImport, Qt::LeftButton);
    EXPECT_EQ(PaySheets(), QStringList({"Основная расчетная ведомость: Оклад=1, Налог=200"}));
    EXPECT_FALSE(DM()->SR.FindKey({77}));
}

TEST_F(FormImportDataTest, TheChosenFileGivesItsFolder)
{
    auto f = Open();
    QStringList asked;
    QString answer;
    auto previous = TFormImportData::FileChooser();
    TFormImportData::FileChooser() = [&](QWidget*, const QString& title, const QString& filter, const QString& file) {
        asked << title + " | " + filter + " | " + QFileInfo(file).fileName();
        return answer;
    };
    answer = QDir(source.path()).filePath("SR.DBF");
    QTest::mouseClick(f->edPath->Button(), Qt::LeftButton);
    EXPECT_EQ(f->edPath->text(), source.path() + "/");
    answer = QDir(errors.path()).filePath("SR.DB");
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details("Не найден " + answer);
    QTest::mouseClick(f->edOutPath->Button(), Qt::LeftButton);
    EXPECT_EQ(f->edOutPath->text(), fx.DataPath());
    TFormImportData::FileChooser() = previous;
    EXPECT_EQ(asked,
        QStringList({"Выберите любой файл | Файлы QO(DOS) (*.dbf);;Все файлы (*) | SR.dbf",
            "Выберите любой файл | Файлы QOR (*.db);;Все файлы (*) | SR.DB"}));
}

TEST_F(FormImportDataTest, ATargetOtherThanTheDataFolderIsRefused)
{
    auto f = Open();
    f->edOutPath->setText(errors.path());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title("Импорт возможен только в каталог открытых данных");
    QTest::mouseClick(f->btImport, Qt::LeftButton);
    EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", ""), kOldFrom);
    EXPECT_EQ(PaySheets(), QStringList({"Прежняя: =2"}));
}

} // namespace
