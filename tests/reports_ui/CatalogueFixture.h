#pragma once
// The catalogue windows' tests: a data base with the built-in kinds, the
// forming algorithms built here, the forming calls recorded and the
// template chooser answered from a queue.

#include "data/Globals.h"
#include "db/Cursor.h"
#include "reports/FormingApi.h"
#include "reports/RasVed.h"
#include "reports/Vedom.h"
#include "reports/ui/DocEdit.h"
#include "reports/ui/FormReports.h"
#include "support/CalcBuilders.h"

#include <QFile>
#include <QList>
#include <QStringList>

struct TRecordedRun {
    QString Name;
    qint32 Tip = 0;
    qint32 RVNum = 0;
    T_PVVars Vars;
    QList<int> Tabns;
};

class CatalogueUiTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        AddBuiltInKinds();
        struct Row {
            qint32 n;
            const char* name;
            const char* prototype;
            bool usesRasVed;
            quint8 kind;
        };
        static const Row rows[] = {
            {11, "Расчетные листы (2 колонки)", "RLA", false, 1},
            {21, "Расчетные листы (1 колонка)", "RLB", false, 2},
            {31, "Расчетная ведомость", "RasVed", true, 3},
            {41, "Платежная ведомость на зарплату (по результатам расчета)", "PlVed", false, 4},
            {42, "Платежная ведомость по входным данным", "PlVed", true, 4},
            {51, "Справки по подразделению", "Sprav", true, 5},
            {61, "Справки по предприятию", "SpravPredp", true, 6},
            {71, "Свод по начислениям (предприятие)", "SvodNach", false, 7},
            {72, "Свод по начислениям (подразделение)", "SvodNach", false, 7},
        };
        for (const Row& r : rows)
            algs.AddObject(
                new T_Algorythm(r.n, QString::fromUtf8(r.name), QString::fromUtf8(r.prototype), r.usesRasVed, r.kind));
        savedCalls = FormingCalls();
        savedPickers = TFormReports::Pickers();
        savedChooser = TFormDocEdit::TemplateChooser();
        FormingCalls().Algorithms = [this] {
            QList<T_Algorythm*> list;
            for (T_Algorythm* a : algs)
                list << a;
            return list;
        };
        FormingCalls().RunDocument = [this](T_Vedom& doc, T_PVVars* vars) {
            TRecordedRun run{doc.Name, doc.Tip, doc.RVNum, vars ? *vars : T_PVVars(), {}};
            for (int i = 0; vars && vars->TabnList && i < vars->TabnList->Count(); ++i)
                run.Tabns << vars->TabnList->GetInteger(i);
            run.Vars.TabnList = run.Vars.DopList = nullptr;
            runs << run;
        };
        FormingCalls().DesignTemplate = [this](const QString& file) { designed << file; };
        TFormDocEdit::TemplateChooser() = [this](const QString& folder, const QString& filter) {
            chooserCalls << folder + QLatin1Char('|') + filter;
            return chosenFiles.isEmpty() ? QString() : chosenFiles.takeFirst();
        };
    }
    void TearDown() override
    {
        FormingCalls() = savedCalls;
        TFormReports::Pickers() = savedPickers;
        TFormDocEdit::TemplateChooser() = savedChooser;
        CalcTest::TearDown();
    }

    // The stored pay-sheet definitions, by number.
    static QList<int> StoredRasVed()
    {
        T_RasVedList list;
        list.LoadAll();
        QList<int> numbers;
        for (const T_RasVed* v : list)
            numbers << v->Number;
        return numbers;
    }
    static QByteArray CatalogueBytes()
    {
        QFile f(CatListFileName());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    T_AlgorythmList algs;
    QList<TRecordedRun> runs;
    QStringList designed;
    QStringList chooserCalls;
    QStringList chosenFiles;
    TFormingCalls savedCalls;
    TFormReports::TPickers savedPickers;
    TFormDocEdit::TTemplateChooser savedChooser;
};
