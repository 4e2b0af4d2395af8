#include "archive/Perehod.h"

#include "archive/SaveRest.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/DBSetup.h"
#include "data/Dops.h"
#include "data/FolderRecovery.h"
#include "data/Globals.h"
#include "data/Podr.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "db/Transaction.h"
#include "foundation/DataSetFuncs.h"
#include "foundation/DateFuncs.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "platform/Exceptions.h"

#include <QStringList>

namespace {

const int kTipLastMonthPay = 12;

const QString kNoExclusive = QStringLiteral(
    "Невозможен исключительный доступ к данным.|\r\nЗакройте программы других пользователей для выполнения этой "
    "операции");

void LockExclusive()
{
    if (!LockDataBaseExclusive())
        ErrorAbort(kNoExclusive);
}

// The departments whose working employees the transition handles: neither
// the enterprise rows nor the dismissed groups.
template <typename F> void ForEachWorkingCard(F&& f)
{
    T_PNList* pn = PNList();
    T_TNList cards(pn);
    cards.SetFilter(1);
    for (int i = 0; i < pn->PodrCount(); ++i) {
        T_Podr* podr = pn->GetPodr(i);
        if (podr->IsEnterprise() || podr->IsDismissedGroup())
            continue;
        cards.SetPodr(podr->Num);
        cards.EnsureLoaded();
        for (int j = 0; j < cards.GetCount(); ++j)
            f(podr, cards.GetTabn(j));
        f(podr, nullptr);
    }
}

void CheckCalculated()
{
    ForEachWorkingCard([](T_Podr* podr, T_Tabn* card) {
        if (card && !card->Calculated)
            ErrorAbort(QStringLiteral("Не выполнен полный расчет.|\r\nПодразделение:   \t%1\r\nТабельный номер: \t%2")
                           .arg(podr->Num)
                           .arg(card->TabNum()));
    });
}

qint32 LastMonthPayKind()
{
    T_Dop* dop = DNList()->FindDopByTip(kTipLastMonthPay);
    if (!dop)
        ErrorAbort(QStringLiteral("Не определено начисление \"Зарплата за прошлый месяц\""));
    return dop->DopNum;
}

// Every permanent entry becomes an input row of the new period as it
// stands: one with all values zero (an individual deduction the import
// made) and a second entry of one kind are kept, not merged or dropped.
void PostPermanent(qint32 tabn, TDateTime period, TTabnCursors& cursors)
{
    T_TabnDopList perm(DNList(), tdkPermanent);
    perm.Cursors = &cursors;
    perm.SetTabn(tabn);
    Cursor& vvod = cursors.Get(TTabnCursors::Vvod);
    for (int i = 0; i < perm.GetCount(); ++i) {
        T_TabnDop* entry = perm.GetTabnDop(i);
        entry->Kind = tdkInput;
        entry->Bound = false;
        entry->DateBeg = period;
        entry->DateOp = period;
        entry->SaveToTable(vvod);
    }
}

void WriteTables(
    const TPerehodSteps& steps, TDateTime oldWorkdate, TDateTime windowStart, TDateTime period, qint32 payKind)
{
    IProgress& bar = Progress();
    const auto step = [&bar] { bar.IncPos1(); };
    const auto after = [&steps](int n) {
        if (steps.AfterStep)
            steps.AfterStep(n);
    };
    Transaction tx(QStringList{QStringLiteral("SR"), QStringLiteral("SRD"), QStringLiteral("VVOD"),
        QStringLiteral("VVARC"), QStringLiteral("NC"), QStringLiteral("NCARC"), NewPeriodMarkName()});

    bar.Mess1(QStringLiteral("Перенос входных данных в архив"));
    bar.InitBar1(0, InputRowCount());
    ArchiveInput(step);
    bar.FillBar1();
    after(7);

    bar.Mess1(QStringLiteral("Удаление устаревших архивных данных"));
    TrimInputArchive(windowStart, period);
    after(8);

    bar.Mess1(QStringLiteral("Разноска зарплаты за прошлый месяц"));
    bar.InitBar1(0, ResultRowCount());
    PostNetPay(payKind, period, step);
    after(9);

    bar.Mess1(QStringLiteral("Перенос текущих начислений в архив"));
    bar.InitBar1(0, ResultRowCount());
    ArchiveResults(step);
    bar.FillBar1();
    after(10);

    bar.Mess1(QStringLiteral("Удаление устаревших архивных данных"));
    TrimResultArchive(windowStart, period);
    after(11);

    const int podrCount = PNList()->PodrCount();
    {
        TTabnCursors cursors;
        bar.Mess1(QStringLiteral("Разноска постоянных начислений из справочника"));
        bar.InitBar1(0, podrCount - 1);
        ForEachWorkingCard([&](T_Podr*, T_Tabn* card) {
            if (card)
                PostPermanent(card->TabNum(), period, cursors);
            else
                bar.IncPos1();
        });
    }
    after(12);

    bar.Mess1(QStringLiteral("Удаление признаков выполненного расчета"));
    bar.InitBar1(0, podrCount);
    ForEachWorkingCard([&](T_Podr*, T_Tabn* card) {
        if (card)
            ResetCalcDate(card->TabNum());
        else
            bar.IncPos1();
    });
    after(13);

    WriteNewPeriodMark(oldWorkdate, period);
    tx.Commit();
}

} // namespace

TDateTime PerehodNewPeriod(TDateTime workdate) { return LastDayOfMonth(LastDayOfMonth(workdate) + 1); }

TDateTime PerehodWindowStart(TDateTime workdate, int numYears)
{
    TDateTime d = workdate;
    DecMonthStart(d, numYears * 12 + 1);
    return d;
}

QString PerehodHeader(TDateTime newPeriod)
{
    return QStringLiteral("Переход на %1  %2").arg(MonthNameByNum(MonthOfDate(newPeriod))).arg(YearOfDate(newPeriod));
}

void RunPerehod(const TPerehodSteps& steps, bool& done)
{
    LockExclusive();
    TDataSetList closed;
    bool reopen = false;
    bool committed = false;
    TDateTime oldWorkdate = Cfg.Workdate;
    try {
        CloseDataBases(&closed);
        reopen = true;
        CheckCalculated();
        qint32 payKind = LastMonthPayKind();

        ShowWarning(QStringLiteral("Отменить переход на новый период возможно только\r\n восстановлением "
                                   "предварительно сохраненных данных\r\n\r\nСохраните данные для возможной отмены "
                                   "операции в случае\r\nсбоя операционной системы или отключения питания"));
        if (steps.OfferSave) {
            const int restores = SaveRestObject().Restores();
            steps.OfferSave();
            // The dialog keeps the lock as it found it; a restore's reopening may not.
            LockExclusive();
            if (SaveRestObject().Restores() != restores) {
                // Other data, maybe another month: the checks hold for the data now.
                oldWorkdate = Cfg.Workdate;
                CheckCalculated();
                payKind = LastMonthPayKind();
            }
        }
        if (!AskYesNo(QStringLiteral("Выполнить переход ?"), QString(), false))
            Abort();

        done = true;
        const TDateTime period = PerehodNewPeriod(oldWorkdate);
        const TDateTime windowStart = PerehodWindowStart(oldWorkdate, Cfg.NumYears);
        {
            IProgress& bar = Progress();
            BusyScope busy;
            bar.Init(0, 0, 100);
            bar.Mess(0, PerehodHeader(period));
            // The input lists of the new month are read and written for it.
            Cfg.Workdate = period;
            CreateNewPeriodMark();
            WriteTables(steps, oldWorkdate, windowStart, period, payKind);
            committed = true;
            bar.Close();
        }
        SaveSettings();
        // From here the INI holds the new date; until here the start-up
        // takes it from the committed mark (also when no INI is written now).
        if (IniSavingEnabled)
            DropNewPeriodMark();
    } catch (...) {
        // After the commit the new month stands; the mark left behind brings
        // the INI to it at the next start.
        if (!committed) {
            Cfg.Workdate = oldWorkdate;
            try {
                DropNewPeriodMark();
            } catch (const Exception&) {
            }
        }
        CloseProgressLeftOpen();
        if (reopen)
            OpenDataBases(&closed);
        LockDataBaseShared();
        throw;
    }
    OpenDataBases(&closed);
    LockDataBaseShared();
}
