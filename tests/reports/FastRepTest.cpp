// The forming holder on a fixture enterprise: two departments, five
// employees with results, input, last month's totals and pay-sheet
// definitions; every algorithm formed through RunDocument with the preview
// replaced by a recorder of the prepared pages' texts.

#include "reports/FastRep.h"

#include "RecordingCanvas.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/Podr.h"
#include "data/TabnDops.h"
#include "foundation/DateFuncs.h"
#include "platform/Exceptions.h"
#include "reports/RasVedImport.h"
#include "support/CalcBuilders.h"
#include "support/OldFiles.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
static void PrintTo(const QList<QString>& list, std::ostream* os)
{
    *os << "\n  " << list.join(QStringLiteral("\n  ")).toStdString();
}

namespace {

QString S(const char* t) { return QString::fromUtf8(t); }

struct TBandSpec {
    int Kind;
    QStringList Texts;
};
using TTemplate = QList<QList<TBandSpec>>; // pages of bands

struct TRow {
    qint32 DopNum;
    double Time;
    double Sum;
};

constexpr qint32 kOklad = 1001, kPremia = 1002, kVredn = 1003;
constexpr qint32 kAvans = 2001, kNalog = 2002, kProfv = 2003, kAlim = 2004, kZaim = 2005;

class FastRepTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        savedTxt_ = TxtDir;
        TxtDir = txt_.path() + QLatin1Char('/');
        savedFactories_ = ReportWindowFactories();
        ReportWindowFactories().Preview = [this](TDocument& doc, const QString& caption, int, bool) {
            Captions << caption;
            Texts.clear();
            for (int i = 0; i < doc.OutputPageCount(); ++i) {
                RecordingCanvas canvas;
                QPainter p(&canvas);
                p.drawPicture(0, 0, doc.OutputPage(i).Picture);
                p.end();
                Texts << canvas.Texts();
            }
            if (InPreview)
                InPreview();
            doc.PreviewClosed(); // a modal window that was closed
            return static_cast<IReportWindow*>(nullptr);
        };
        QList<TPropisRow> seed;
        QString error;
        ASSERT_TRUE(ReadPropisSeed(QStringLiteral(QOR_SOURCE_DIR "/resources/propis/propis.tsv"), seed, error));
        SetPropisReader([seed](const QString&, QList<TPropisRow>& rows, QString&) {
            rows = seed;
            return true;
        });
        ForgetPropis();
        Seed();
    }
    void TearDown() override
    {
        SetPropisReader({});
        ForgetPropis();
        ReportWindowFactories() = savedFactories_;
        TxtDir = savedTxt_;
        CalcTest::TearDown();
    }

    void Seed()
    {
        // Beside the enterprise row 1.
        for (auto [num, naim] :
            {std::pair{2, "Цех"}, std::pair{3, "Склад|Склад готовой продукции"}, std::pair{4, "Гараж"}})
            AppendRecordValues(DM()->SP, num,
                {QStringLiteral("NUMPDP"), QStringLiteral("NUMUP"), QStringLiteral("NAIM")},
                {Variant(1), Variant(0), Variant(S(naim))});
        PNList()->Reload();
        for (auto [n, name, uder] : std::initializer_list<std::tuple<qint32, const char*, bool>>{
                 {kOklad, "Оклад", false}, {kPremia, "Премия", false}, {kVredn, "Доплата", false},
                 {kAvans, "Аванс", true}, {kNalog, "Подоходный налог", true}, {kProfv, "Профвзносы", true},
                 {kAlim, "Алименты", true}, {kZaim, "Займ", true}})
            AddKind({.DopNum = n, .Naim = S(name), .Uder = uder});
        Petrov = Card("Петров Петр Петрович", 2,
            {{kOklad, 160, 10000}, {kPremia, 0, 2500}, {kAvans, 0, 4000}, {kNalog, 0, 1300}}, 200);
        Andreev = Card("Андреев Андрей Андреевич", 2,
            {{kOklad, 120, 8000}, {kPremia, 0, 1000}, {kVredn, 0, 500}, {kAvans, 0, 3000}, {kNalog, 0, 1100},
                {kProfv, 0, 95}, {kAlim, 0, 1500}, {kZaim, 0, 2000}});
        Sidorov = Card("Сидоров Сидор Сидорович", 2, {{kAvans, 0, 1000}});
        Borisov = Card("Борисов Борис Борисович", 3, {{kOklad, 100, 6000}, {kNalog, 0, 780}});
        Vasiliev = Card("Васильев Василий Васильевич", 3, {{kOklad, 50, 3000}, {kAvans, 0, 3500}});
        SaveInput(Petrov, {{kPremia, 0, 3000}, {kZaim, 0, 100}});
        SaveInput(Borisov, {{kPremia, 0, 1500}});
        PaySheet(5, {{S("Оклад"), {kOklad}}, {S("Премии"), {kPremia, kVredn}}, {S("Удержано"), {kAvans, kNalog}}});
        PaySheet(6, {{S("К выдаче"), {kPremia}}});
        PaySheet(7, {{S("Оклад"), {kOklad}}, {S("Премии"), {kPremia}}});
        PaySheet(0, {{S("Оклад"), {kOklad}}});
    }

public:
    // A working employee with his results of the month: the rows, then the
    // running totals; prev is last month's amount to pay.
    qint32 Card(const char* fio, qint32 podr, const QList<TRow>& rows, double prev = 0)
    {
        TCardSpec spec;
        spec.Fio = S(fio);
        spec.Podr = podr;
        const qint32 tabn = AddCard(spec);
        T_TabnDopList nc(DNList(), tdkNewResults);
        nc.Date = Cfg.Workdate;
        nc.TabNum = tabn;
        double nach = 0, uder = 0, time = 0;
        for (const TRow& r : rows) {
            nc.SetValues(r.DopNum, r.Time, Currency::FromDouble(r.Sum), 0);
            (r.DopNum >= kAvans ? uder : nach) += r.Sum;
            time += r.Time;
        }
        nc.SetValues(dnNachis, time, Currency::FromDouble(nach), 0);
        nc.SetValues(dnUder, 0, Currency::FromDouble(uder), 0);
        nc.SetValues(dnVsego, 0, Currency::FromDouble(prev + nach - uder), 0);
        nc.SaveNewResults();
        if (prev != 0)
            SaveMonthTotals(tabn, Cfg.Workdate, {{dnVsego, 0, prev}});
        return tabn;
    }

    void PaySheet(qint32 number, const QList<std::pair<QString, QList<qint32>>>& columns)
    {
        T_RasVed ved;
        ved.Number = number;
        for (const auto& [name, nums] : columns) {
            T_RasVedItem* c = ved.AddColumn();
            c->Name = name;
            for (qint32 n : nums)
                c->AddInteger(n);
        }
        ved.Save();
    }

    static void WriteTemplate(const QString& file, const TTemplate& pages)
    {
        TDocument doc;
        for (int p = 0; p < pages.size(); ++p) {
            TPage* page = p == 0 ? doc.ActivePage() : doc.AddPage(0);
            int y = 0;
            for (const TBandSpec& b : pages[p]) {
                const int h = 18 * static_cast<int>(b.Texts.size()) + 4;
                auto band = std::make_unique<TView>(vtBand, &doc);
                band->SetBounds(QRect(0, y, 700, h));
                band->FT = b.Kind;
                page->AddView(std::move(band));
                for (int i = 0; i < b.Texts.size(); ++i) {
                    auto text = std::make_unique<TView>(vtText, &doc);
                    text->SetBounds(QRect(0, y + 2 + 18 * i, 700, 16));
                    text->M = QStringList{b.Texts[i]};
                    page->AddView(std::move(text));
                }
                y += h;
            }
        }
        doc.SaveToFile(TxtDir + file);
    }

    // Forms the descriptor; the texts of its pages land in Texts.
    void Run(qint32 tip, const QString& file, T_PVVars* params, qint32 rvNum = -1, quint8 cond = vcAll)
    {
        T_Vedom d;
        d.Tip = tip;
        d.Template = S("TXT\\") + file;
        d.RVNum = rvNum;
        d.Cond = cond;
        Texts.clear();
        rep.RunDocument(&d, params);
    }

    static QString M(double x) { return FormatMoney(x); }
    static QString N(qint32 n) { return QString::number(n); }

    QTemporaryDir txt_;
    QString savedTxt_;
    TReportWindowFactories savedFactories_;

    qint32 Petrov = 0, Andreev = 0, Sidorov = 0, Borisov = 0, Vasiliev = 0;
    qint32 Grigoriev = 0; // made by the case that needs him
    T_yqIntegerList Dops;
    TFormFastRep rep;
    QStringList Texts;
    QStringList Captions;
    std::function<void()> InPreview;
};

// ---------------------------------------------------------------- the nine algorithms

struct TCase {
    const char* Name;
    qint32 Tip;
    qint32 RVNum;
    quint8 Cond;
    TTemplate Pages;
    std::function<void(FastRepTest&, T_PVVars&, T_yqIntegerList&)> Params;
    std::function<QStringList(FastRepTest&)> Expected;
};

TEST_F(FastRepTest, EveryAlgorithmFormsItsDocumentWithHandComputedFigures)
{
    const auto one = [](qint32 FastRepTest::*who) {
        return [who](FastRepTest& t, T_PVVars&, T_yqIntegerList& l) { l.AddInteger(t.*who); };
    };
    const auto podr = [](qint32 n) { return [n](FastRepTest&, T_PVVars& p, T_yqIntegerList&) { p.Podr = n; }; };
    const QList<TCase> cases{
        {"11 wide pay slip, 3 supplements and 5 deductions: 5 lines", 11, -1, 0,
            {{{btReportTitle, {S("[ReportTitle]")}}, {btMasterData, {S("[Tabn] [Fio]")}},
                {btDetailData, {S("[NachDName]|[NachDSum]|[NachUName]|[NachUSum]")}},
                {btDetailFooter, {S("[VNach] [VUder] [Vsego] [VDTime] [VsegoPrev]")}}}},
            one(&FastRepTest::Andreev),
            [](FastRepTest& t) {
                return QStringList{
                    S("Расчетные листы (широкие)  №") + N(t.Andreev) + S(" \"Андреев Андрей Андреевич\""),
                    N(t.Andreev) + S(" Андреев Андрей Андреевич"), S("Оклад|") + M(8000) + S("|Аванс|") + M(3000),
                    S("Премия|") + M(1000) + S("|Подоходный налог|") + M(1100),
                    S("Доплата|") + M(500) + S("|Профвзносы|") + M(95), S("||Алименты|") + M(1500),
                    S("||Займ|") + M(2000), M(9500) + ' ' + M(7695) + ' ' + M(1805) + S(" 120,0 ") + M(0)};
            }},
        {"21 narrow pay slip: no supplements leaves section 1 empty", 21, -1, 0,
            {{{btReportTitle, {S("[ReportTitle]")}}, {btMasterData, {S("[Fio] [VsegoPrev]")}},
                {btDetailData, {S("[NSect]")}}, {btSubdetailData, {S("[NachNum] [NachName] [NachSum]")}},
                {btSubdetailFooter, {S("[NItog] [SItog]")}}}},
            [](FastRepTest& t, T_PVVars&, T_yqIntegerList& l) {
                l.AddInteger(t.Sidorov);
                l.AddInteger(t.Petrov);
            },
            [](FastRepTest&) {
                return QStringList{S("Расчетные листы (узкие)  №2 \"Цех\""), S("Сидоров Сидор Сидорович ") + M(0),
                    S("Доплаты"), S("Удержания"), N(kAvans) + S(" Аванс ") + M(1000), S("Итого удержано ") + M(1000),
                    S("Петров Петр Петрович ") + M(200), S("Доплаты"), N(kOklad) + S(" Оклад ") + M(10000),
                    N(kPremia) + S(" Премия ") + M(2500), S("Итого начислено ") + M(12500), S("Удержания"),
                    N(kAvans) + S(" Аванс ") + M(4000), N(kNalog) + S(" Подоходный налог ") + M(1300),
                    S("Итого удержано ") + M(5300)};
            }},
        {"31 pay sheet of department 1, sorted by name, with its totals", 31, 5, 0,
            {{{btReportTitle, {S("[ReportTitle]"), S("[N.1]|[N.2]|[N.3]")}},
                {btMasterData, {S("[Fio]|[V.1]|[V.2]|[V.3]|[PU]|[VSP]|[Vsego]")}},
                {btReportSummary,
                    {S("[S.1]|[S.2]|[S.3]|[SPU]|[SVNach]|[SVUder]|[SVsego]|[SVsegoP]|[SVsegoM]"),
                        S("[Propis(SVsego)]")}}}},
            podr(2),
            [](FastRepTest&) {
                return QStringList{S("Расчетная ведомость  №2 \"Цех\""), S("Оклад|Премии|Удержано"),
                    S("Андреев Андрей Андреевич|") + M(8000) + '|' + M(1500) + '|' + M(4100) + '|' + M(3595) + '|'
                        + M(0) + '|' + M(1805),
                    S("Петров Петр Петрович|") + M(10000) + '|' + M(2500) + '|' + M(5300) + '|' + M(0) + '|' + M(200)
                        + '|' + M(7400),
                    S("Сидоров Сидор Сидорович|") + M(0) + '|' + M(0) + '|' + M(1000) + '|' + M(0) + '|' + M(0) + '|'
                        + M(-1000),
                    M(18000) + '|' + M(4000) + '|' + M(10400) + '|' + M(3595) + '|' + M(22000) + '|' + M(13995) + '|'
                        + M(8205) + '|' + M(9205) + '|' + M(1000),
                    S("Восемь тысяч двести пять руб. 00 коп.")};
            }},
        {"41 payment sheet from results: nothing to pay is left out", 41, -1, 0,
            {{{btMasterData, {S("[Fio] [Vsego] [V.1]")}}, {btReportSummary, {S("[SVsego] [S.1]")}}}}, podr(3),
            [](FastRepTest&) {
                return QStringList{S("Борисов Борис Борисович ") + M(5220) + ' ' + M(6000), M(5220) + ' ' + M(6000)};
            }},
        {"41 with accrual numbers given: one column holding them all", 41, -1, 0,
            {{{btMasterData, {S("[Fio] [V.1]")}}, {btReportSummary, {S("[S.1]")}}}},
            [](FastRepTest& t, T_PVVars& p, T_yqIntegerList&) {
                p.Podr = 2;
                t.Dops.AddInteger(kOklad);
                t.Dops.AddInteger(kPremia);
                p.DopList = &t.Dops;
            },
            [](FastRepTest&) {
                return QStringList{
                    S("Андреев Андрей Андреевич ") + M(9000), S("Петров Петр Петрович ") + M(12500), M(21500)};
            }},
        {"42 payment sheet from input, two pages walk the employees again", 42, 6, 0,
            {{{btMasterData, {S("[Fio] [V.1]")}}, {btReportSummary, {S("[S.1] [SVsego]")}}},
                {{btMasterData, {S("[Fio] [V.1]")}}, {btReportSummary, {S("[S.1]")}}}},
            podr(2),
            [](FastRepTest&) {
                return QStringList{S("Петров Петр Петрович ") + M(3000), M(3000) + ' ' + M(0),
                    S("Петров Петр Петрович ") + M(3000), M(3000)};
            }},
        {"51 certificates of a department: only a negative amount, the last one skipped is not counted", 51, 5, 0,
            {{{btMasterData, {S("[Fio] [Vsego] [V.3] [N.3]")}}, {btReportSummary, {S("[SVsego] [S.3]")}}}},
            [](FastRepTest& t, T_PVVars&, T_yqIntegerList& l) {
                l.AddInteger(t.Sidorov);
                l.AddInteger(t.Petrov);
            },
            [](FastRepTest&) {
                return QStringList{S("Сидоров Сидор Сидорович ") + M(-1000) + ' ' + M(1000) + S(" Удержано"),
                    M(-1000) + ' ' + M(1000)};
            }},
        {"61 certificates of the enterprise by the descriptor's condition", 61, -1, vcNegative,
            {{{btMasterData, {S("[Podr] [PodrName]")}}, {btDetailData, {S("[Fio] [Vsego]")}},
                {btDetailFooter, {S("[SVsego]")}}}},
            podr(0),
            [](FastRepTest&) {
                return QStringList{S("2 Цех"), S("Сидоров Сидор Сидорович ") + M(-1000), M(-1000),
                    S("3 Склад|Склад готовой продукции"), S("Васильев Василий Васильевич ") + M(-500), M(-500)};
            }},
        {"61 with amounts above 0: each department's last one is skipped, the garage has nobody", 61, -1, vcPositive,
            {{{btMasterData, {S("[Podr]")}}, {btDetailData, {S("[Fio] [Vsego]")}}, {btDetailFooter, {S("[SVsego]")}},
                {btReportSummary, {S("[PSVNach] [PSVsego] [Propis(PSVsego)]")}}}},
            podr(0),
            [](FastRepTest&) {
                return QStringList{S("2"), S("Андреев Андрей Андреевич ") + M(1805),
                    S("Петров Петр Петрович ") + M(7400), M(9205), S("3"), S("Борисов Борис Борисович ") + M(5220),
                    M(5220), M(28000) + ' ' + M(14425) + S(" Четырнадцать тысяч четыреста двадцать пять руб. 00 коп.")};
            }},
        {"71 summary of the enterprise: accruals beside deductions", 71, -1, 0,
            {{{btReportTitle, {S("[PodrName]")}},
                {btMasterData, {S("[NachDNum]|[NachDName]|[NachDSum]|[NachUName]|[NachUSum]")}},
                {btReportSummary, {S("[PSVNach] [PSVUder]")}}}},
            podr(0),
            [](FastRepTest&) {
                return QStringList{S("Предприятие"), S("1001|Оклад|") + M(27000) + S("|Аванс|") + M(11500),
                    S("1002|Премия|") + M(3500) + S("|Подоходный налог|") + M(3180),
                    S("1003|Доплата|") + M(500) + S("|Профвзносы|") + M(95), S("|||Алименты|") + M(1500),
                    S("|||Займ|") + M(2000), M(31000) + ' ' + M(18275)};
            }},
        {"72 summary of one department, its name variants", 72, -1, 0,
            {{{btReportTitle, {S("[PodrN.0]/[PodrN.2]/[PodrN.x]")}}, {btMasterData, {S("[NachName]|[NachSum]")}}}},
            podr(3),
            [](FastRepTest&) {
                return QStringList{
                    S("Склад|Склад готовой продукции/Склад готовой продукции/Склад|Склад готовой продукции"),
                    S("Оклад|") + M(9000), S("Премия|") + M(0), S("Доплата|") + M(0), S("Аванс|") + M(3500),
                    S("Подоходный налог|") + M(780)};
            }},
        // Last: the kinds and the card it adds would change the summaries.
        {"11 wide pay slip, 5 supplements and 3 deductions: 5 lines with all 3 deductions", 11, -1, 0,
            {{{btMasterData, {S("[Fio]")}}, {btDetailData, {S("[NachDName]|[NachDSum]|[NachUName]|[NachUSum]")}},
                {btDetailFooter, {S("[VNach] [VUder] [Vsego]")}}}},
            [](FastRepTest& t, T_PVVars&, T_yqIntegerList& l) {
                AddKind({.DopNum = 1004, .Naim = S("Отпускные")});
                AddKind({.DopNum = 1005, .Naim = S("Больничный")});
                t.Grigoriev = t.Card("Григорьев Григорий Григорьевич", 3,
                    {{kOklad, 100, 5000}, {kPremia, 0, 1000}, {kVredn, 0, 300}, {1004, 0, 2000}, {1005, 0, 700},
                        {kAvans, 0, 2000}, {kNalog, 0, 1200}, {kProfv, 0, 90}});
                l.AddInteger(t.Grigoriev);
            },
            [](FastRepTest&) {
                return QStringList{S("Григорьев Григорий Григорьевич"), S("Оклад|") + M(5000) + S("|Аванс|") + M(2000),
                    S("Премия|") + M(1000) + S("|Подоходный налог|") + M(1200),
                    S("Доплата|") + M(300) + S("|Профвзносы|") + M(90), S("Отпускные|") + M(2000) + S("||"),
                    S("Больничный|") + M(700) + S("||"), M(9000) + ' ' + M(3290) + ' ' + M(5710)};
            }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString file = QStringLiteral("T%1.dcf").arg(c.Tip);
        WriteTemplate(file, c.Pages);
        T_PVVars params;
        params.Date = Cfg.Workdate;
        T_yqIntegerList tabns;
        params.TabnList = &tabns;
        c.Params(*this, params, tabns);
        const int given = tabns.Count();
        RecordingProgress progress;
        Run(c.Tip, file, &params, c.RVNum, c.Cond);
        EXPECT_EQ(Texts, c.Expected(*this));
        // One progress window, re-ranged by the pages, closed; the cursor back.
        const QStringList log = progress.Log();
        EXPECT_EQ(log.filter(QRegularExpression(QStringLiteral("^Init 0 "))), QStringList{S("Init 0 0 100 0 0")});
        EXPECT_TRUE(log.contains(S("Mess 0 Загрузка формы...")) && log.contains(S("Mess 0 Формирование...")));
        EXPECT_TRUE(log.contains(S("Mess 1 ") + rep.Prototype(rep.FindAlgorithm(c.Tip)->Prototype)->Title));
        EXPECT_FALSE(progress.Active());
        EXPECT_GE(progress.BusyScopes(), 1);
        EXPECT_EQ(progress.BusyDepth(), 0);
        EXPECT_FALSE(rep.Busy());
        EXPECT_EQ(rep.FormingDocument(), nullptr);
        EXPECT_EQ(tabns.Count(), given) << "the caller's list is not emptied";
    }
}

TEST_F(FastRepTest, PercentAndPostingOncePerForming)
{
    WriteTemplate(S("PV.dcf"), {{{btMasterData, {S("[Fio] [V.1]")}}}, {{btMasterData, {S("[V.1]")}}}});
    T_PVVars params;
    params.Podr = 2;
    params.PercentOn = true;
    params.Percent = 50;
    params.AutoPost = true;
    params.AddToSum = true;
    params.DeductionNum = kZaim;
    Run(42, S("PV.dcf"), &params, 6);
    EXPECT_EQ(Texts, QStringList({S("Петров Петр Петрович ") + M(1500), M(1500)}));
    T_TabnDopList input(DNList(), tdkInput);
    input.Date = Cfg.Workdate;
    input.SetTabn(Petrov);
    EXPECT_DOUBLE_EQ(input.GetSum(kZaim).ToDouble(), 1600) << "100 entered + 1500 paid, posted once for two pages";
}

// ---------------------------------------------------------------- refusals and faults

TEST_F(FastRepTest, RefusalsLeaveNothingBehind)
{
    WriteTemplate(S("RV.dcf"), {{{btMasterData, {S("[Fio] [V.3]")}}}});
    WriteTemplate(S("RVX.dcf"), {{{btMasterData, {S("[Fio] [N.x]")}}}});
    WriteTemplate(S("RL.dcf"), {{{btMasterData, {S("[Fio]")}}}});
    WriteTemplate(S("PV.dcf"), {{{btMasterData, {S("[Fio] [V.1]")}}, {btReportSummary, {S("[S.1]")}}}});
    struct TRefusal {
        const char* Name;
        qint32 Tip;
        QString File;
        qint32 Podr;
        QString Title, Details;
        QString Exception;
        qint32 RVNum = 7;
    };
    const QList<TRefusal> cases{
        {"unknown algorithm", 99, S("RL.dcf"), 2, S("Не определен алгоритм формирования документа"), {}, {}},
        {"missing template", 11, S("NONE.dcf"), 2, S("Не найден файл-шаблон ведомости"), TxtDir + S("NONE.dcf"), {}},
        {"no employees and no department", 11, S("RL.dcf"), 0, S("Нет данных для отчета"), {}, {}},
        {"column past the pay sheet", 31, S("RV.dcf"), 2, {}, {}, S("Нет столбца №3")},
        {"column that is no number", 51, S("RVX.dcf"), 2, {}, {}, S("Нет столбца №X")},
        {"pay sheet not stored", 31, S("RV.dcf"), 2, {}, {}, S("Не найдена расчетная ведомость №99"), 99},
        // Nobody is paid from a sheet without columns: the clerk is told where to choose them.
        {"payment by input without a pay sheet", 42, S("PV.dcf"), 2, S("Не выбрана расчетная ведомость"),
            S("Выберите ее на закладке \"Таблица выбора\" в параметрах документа"), {}, -1},
        {"damaged template", 11, S("BAD.dcf"), 2, {}, {},
            S("Поврежден файл-шаблон ") + TxtDir + S("BAD.dcf|Лист 1, объект 2: неизвестный тип объекта")},
    };
    // An object whose type does not match its section.
    QFile rl(TxtDir + S("RL.dcf")), bad(TxtDir + S("BAD.dcf"));
    ASSERT_TRUE(rl.open(QIODevice::ReadOnly) && bad.open(QIODevice::WriteOnly));
    bad.write(rl.readAll().replace("\r\nT=0\r\n", "\r\nT=9\r\n"));
    bad.close();
    for (const TRefusal& c : cases) {
        SCOPED_TRACE(c.Name);
        ScriptedMessages msgs;
        if (!c.Title.isEmpty()) {
            auto& e = msgs.Expect(MsgKind::Error).Containing(c.Title);
            if (!c.Details.isEmpty())
                e.Title(c.Title).Details(c.Details);
        }
        RecordingProgress progress;
        T_PVVars params;
        params.Podr = c.Podr;
        try {
            Run(c.Tip, c.File, &params, c.RVNum);
            ADD_FAILURE() << "formed";
        } catch (const EAbort&) {
            EXPECT_TRUE(c.Exception.isEmpty());
        } catch (const EAppException& e) {
            EXPECT_EQ(e.Message(), c.Exception);
        }
        EXPECT_FALSE(progress.Active());
        EXPECT_EQ(progress.BusyDepth(), 0);
        EXPECT_FALSE(rep.Busy());
        EXPECT_EQ(rep.FormingDocument(), nullptr);
    }
    // And the next forming works, its template named without the extension.
    T_PVVars params;
    params.Podr = 3;
    Run(11, S("RL"), &params);
    EXPECT_EQ(Texts, QStringList({S("Борисов Борис Борисович"), S("Васильев Василий Васильевич")}));

    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Containing(S("Не определен документ"));
    EXPECT_THROW(rep.RunDocument(nullptr, nullptr), EAbort);
}

TEST_F(FastRepTest, ASecondRunWhileFormingIsRefused)
{
    WriteTemplate(S("RL.dcf"), {{{btMasterData, {S("[Fio]")}}}});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Containing(S("Идет формирование другого документа"));
    bool refused = false;
    InPreview = [&] {
        T_Vedom d;
        d.Tip = 11;
        try {
            rep.RunDocument(&d, nullptr);
        } catch (const EAbort&) {
            refused = true;
        }
    };
    T_PVVars params;
    params.Podr = 2;
    Run(11, S("RL.dcf"), &params);
    EXPECT_TRUE(refused);
    EXPECT_EQ(Texts.size(), 3);
}

// A preview left open keeps its document: the next forming is refused
// until the window closes, and then the document goes.
TEST_F(FastRepTest, AnOpenPreviewHoldsItsDocumentUntilItCloses)
{
    WriteTemplate(S("RL.dcf"), {{{btMasterData, {S("[Fio]")}}}});
    struct TFake : IReportWindow {
        void BringToFront() override {}
    } window;
    TDocument* shown = nullptr;
    const auto recorder = ReportWindowFactories().Preview;
    ReportWindowFactories().Preview = [&](TDocument& doc, const QString&, int, bool modal) -> IReportWindow* {
        EXPECT_FALSE(modal);
        shown = &doc;
        return &window;
    };
    T_PVVars params;
    params.Podr = 3;
    Run(11, S("RL.dcf"), &params);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(rep.FormingDocument(), shown);
    EXPECT_FALSE(rep.Busy());
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Containing(S("Печать уже запущена"));
        RecordingProgress progress;
        EXPECT_THROW(Run(11, S("RL.dcf"), &params), EAbort);
        EXPECT_FALSE(progress.Active());
        EXPECT_FALSE(rep.Busy());
    }
    TDocument other;
    try {
        shown->Events.OnEndPrintView(other);
        ADD_FAILURE() << "another document's preview taken for this one's";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), S("Пока не многодокументный"));
    }
    EXPECT_EQ(rep.FormingDocument(), shown);
    shown->PreviewClosed(); // the document goes by a queued call
    EXPECT_EQ(rep.FormingDocument(), nullptr);
    QCoreApplication::processEvents();
    ReportWindowFactories().Preview = recorder;
    Run(11, S("RL.dcf"), &params);
    EXPECT_EQ(Texts, QStringList({S("Борисов Борис Борисович"), S("Васильев Василий Васильевич")}));
}

// Payment sheets pay whole amounts with the default money rounding (one
// rouble, down): 1234.99 is paid 1234.00 and 0.99 is nothing to pay.
TEST_F(FastRepTest, PaymentSheetsPayByTheMoneyRounding)
{
    const qint32 zaitsev = Card("Зайцев Захар Захарович", 3, {{kOklad, 10, 1234.99}});
    const qint32 kopeikin = Card("Копейкин Кирилл Кириллович", 3, {{kOklad, 1, 0.99}});
    WriteTemplate(S("PV.dcf"), {{{btMasterData, {S("[Fio] [Vsego]")}}, {btReportSummary, {S("[SVsego]")}}}});
    T_yqIntegerList tabns;
    for (qint32 t : {zaitsev, kopeikin, Vasiliev, Borisov})
        tabns.AddInteger(t);
    T_PVVars params;
    params.TabnList = &tabns;
    T_Vedom d;
    d.Tip = 41;
    d.Template = S("PV.dcf");
    d.VedRnd = true;
    rep.RunDocument(&d, &params);
    EXPECT_EQ(
        Texts, QStringList({S("Зайцев Захар Захарович ") + M(1234), S("Борисов Борис Борисович ") + M(5220), M(6454)}));
}

// The pay sheet the import makes of the predecessor's QO.RAS is the one
// the payment sheet by results pays by (definition 0).
TEST_F(FastRepTest, ThePaymentSheetByResultsPaysByTheImportedPaySheet)
{
    TClipperMVA ras;
    LoadClipperMemBytes(MemText("GRAF1", QByteArray("Imported").leftJustified(27, ' ') + "1"), ras);
    ASSERT_TRUE(ImportOldPaySheet(ras, {}));
    WriteTemplate(S("PV.dcf"), {{{btReportTitle, {S("[N.1]")}}, {btMasterData, {S("[Fio]")}}}});
    T_PVVars params;
    params.Podr = 3;
    Run(41, S("PV.dcf"), &params);
    ASSERT_FALSE(Texts.isEmpty());
    EXPECT_EQ(Texts.first(), S("Imported"));
}

TEST_F(FastRepTest, PropisSpellsAColumnAlsoWhenNegative)
{
    WriteTemplate(S("SV.dcf"),
        {{{btMasterData, {S("[Propis( [V.1] )]"), S("[Propis(V.2)]"), S("[Propis()]"), S("[Propis(Vsego)]")}}}});
    T_PVVars params;
    params.Podr = 2;
    PaySheet(8, {{S("Аванс"), {kOklad}}, {S("Долг"), {kAvans}}});
    T_yqIntegerList one;
    one.AddInteger(Sidorov);
    params.TabnList = &one;
    // Column 1 is empty, column 2 holds his deduction; the amount to pay is
    // a debt, spelled with its minus.
    Run(51, S("SV.dcf"), &params, 8);
    ASSERT_EQ(Texts.size(), 4);
    EXPECT_EQ(Texts[0], S(" руб. 00 коп."));
    EXPECT_EQ(Texts[1], S("Одна тысяча руб. 00 коп."));
    EXPECT_EQ(Texts[2], S("[Propis()]"));
    EXPECT_EQ(Texts[3], S("Минус одна тысяча руб. 00 коп."));
}

TEST_F(FastRepTest, TheDesignerTakesThePrototypeByPrefixOnceAtATime)
{
    struct TFake : IReportWindow {
        void BringToFront() override {}
    } window;
    int opened = 0;
    ReportWindowFactories().Design = [&](TDocument&, bool) -> IReportWindow* {
        ++opened;
        return &window;
    };
    rep.DesignTemplate(S("TXT\\snPodr.dcf"));
    ASSERT_NE(rep.DesignerDocument(), nullptr);
    EXPECT_EQ(rep.DesignerDocument()->Variables, rep.Prototype(S("SvodNach"))->Variables);
    EXPECT_EQ(rep.DesignerDocument()->Title, S("Свод по начислениям"));
    EXPECT_EQ(rep.DesignerDocument()->NameSaveFile, TxtDir + S("snPodr.dcf"));
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Containing(S("Конструктор уже запущен"));
        EXPECT_THROW(rep.DesignTemplate(S("RLA.dcf")), EAbort);
    }
    rep.DesignerDocument()->DesignClosed();
    EXPECT_EQ(rep.DesignerDocument(), nullptr);
    QCoreApplication::processEvents();
    rep.DesignTemplate(S("XX"));
    EXPECT_TRUE(rep.DesignerDocument()->Variables.isEmpty()) << "no prototype matches";
    EXPECT_EQ(rep.DesignerDocument()->NameSaveFile, TxtDir + S("XX.dcf"));
    EXPECT_EQ(opened, 2);
}

// The build's copy of the shipped templates fills a new program folder's
// TXT/, and its catalogue forms every document on a data base that has no
// pay-sheet definition yet. Each document's text pages, every text with its
// place, match the committed reference (tests/fixtures/templates), so a layout
// change is a reviewed diff of a template and its reference; the PDFs read
// back with the figures, and the first page of each document goes to a PNG
// to look at. A second copy adds what is missing and keeps what is there.
TEST_F(FastRepTest, ShippedTemplatesFormEveryDocumentOfTheCatalogue)
{
    TxtDir = fx.ProgramPath() + S("TXT/");
    const auto copyTemplates = [&] {
        QProcess cmake;
        cmake.start(S(QOR_CMAKE),
            {S("-DFROM=" QOR_SHIPPED_TXT), S("-DTO=") + TxtDir, S("-P"),
                S(QOR_SOURCE_DIR "/resources/CopyMissing.cmake")});
        ASSERT_TRUE(cmake.waitForFinished());
        ASSERT_EQ(cmake.exitCode(), 0) << cmake.readAllStandardError().toStdString();
    };
    copyTemplates();
    // Each template is as the designer writes it: read and written again, it
    // keeps its bytes (no key the program drops, CP1251, CRLF).
    for (const QString& name : QDir(TxtDir).entryList({S("*.dcf")})) {
        TDocument doc;
        doc.LoadFromFile(TxtDir + name);
        doc.SaveToFile(txt_.filePath(name));
        EXPECT_EQ(ReadFileBytes(txt_.filePath(name)), ReadFileBytes(TxtDir + name)) << name.toStdString();
    }
    // A new data base: no definition but the one the clerk made for the
    // payment sheet by input (6).
    for (qint32 number : {0, 5, 7}) {
        T_RasVed none; // without columns its stored row goes
        none.Number = number;
        none.Save();
    }
    Cfg.TabnDirector = Petrov;
    Cfg.TabnGlBuh = Borisov;
    QString pdf, pages;
    ReportWindowFactories().Preview = [&](TDocument& doc, const QString&, int count, bool) -> IReportWindow* {
        doc.SetPrintBackend(std::make_shared<TPdfPrintBackend>(pdf));
        doc.Print(1, count);
        pages.clear();
        for (int i = 0; i < doc.OutputPageCount(); ++i) {
            pages += S("--- page %1\n").arg(i + 1);
            // "text 38,60 #000000 'Abc'" -> "38,60 Abc"
            for (const QString& l : Replay(doc.OutputPage(i).Picture))
                if (l.startsWith(S("text ")))
                    pages += l.section(QLatin1Char(' '), 1, 1) + QLatin1Char(' ')
                        + l.mid(l.indexOf(QLatin1Char('\'')) + 1).chopped(1) + QLatin1Char('\n');
        }
        QImage img(doc.OutputPage(0).Sheet, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.drawPicture(0, 0, doc.OutputPage(0).Picture);
        p.end();
        QDir().mkpath(TestArtifactsDir());
        img.save(TestArtifactsDir() + S("/forming-") + QFileInfo(doc.NameSaveFile).completeBaseName() + S(".png"));
        doc.PreviewClosed();
        return nullptr;
    };
    int month = 0, year = 0, day = 0;
    DecodeDate(Cfg.Workdate, year, month, day);
    const QString period = MonthNameByNum(month) + QLatin1Char(' ') + QString::number(year);
    // Template -> department, the pay sheet the clerk chose, texts the PDF must hold.
    const QMap<QString, std::tuple<qint32, qint32, QStringList>> expected{
        {S("RLA.dcf"),
            {2, -1,
                {S("Расчетный лист за ") + period, S("Андреев Андрей Андреевич"), S("Алименты 1500,00"),
                    S("К выплате: 1805,00")}}},
        {S("RLB.dcf"), {2, -1, {S("Доплаты"), S("Итого удержано 1000,00"), S("К выплате: -1000,00")}}},
        {S("RV.dcf"),
            {2, -1,
                {S("Итого по подразделению 200,00 22000,00 13995,00 8205,00"),
                    S("Восемь тысяч двести пять руб. 00 коп."), S("Руководитель ______________ Петров Петр Петрович"),
                    S("Главный бухгалтер ______________ Борисов Борис Борисович"), S("Лист 1")}}},
        {S("PV.dcf"),
            {3, -1,
                {S("Платежная ведомость № 12 за ") + period, S("Борисов Борис Борисович 5220,00"),
                    S("Пять тысяч двести двадцать руб. 00 коп.")}}},
        {S("PVVvod.dcf"), {2, 6, {S("Петров Петр Петрович 3000,00"), S("Три тысячи руб. 00 коп.")}}},
        {S("SV.dcf"), {2, -1, {S("СПРАВКА"), S("Сидоров Сидор Сидорович"), S("к выплате -1000,00")}}},
        {S("SP.dcf"),
            {0, -1,
                {S("Подразделение 3 Склад"), S("Васильев Василий Васильевич 3000,00 3500,00 -500,00"),
                    S("Итого по предприятию 3000,00 4500,00 -1500,00")}}},
        {S("SNPredp.dcf"), {0, -1, {S("Предприятие"), S("Оклад 27000,00"), S("31000,00"), S("18275,00")}}},
        {S("SNPodr.dcf"), {3, -1, {S("Склад"), S("9000,00"), S("4280,00")}}},
    };
    int formed = 0;
    for (int kind = kFirstDocKind; kind <= kLastDocKind; ++kind) {
        T_Catalogue cat(kind);
        cat.Load();
        for (T_Vedom* d : cat.Docs) {
            SCOPED_TRACE(d->Template.toStdString());
            ASSERT_TRUE(expected.contains(d->Template));
            const auto& [podr, rvNum, texts] = expected[d->Template];
            EXPECT_EQ(d->RVNum, -1);
            pdf = txt_.filePath(d->Template + S(".pdf"));
            d->RVNum = rvNum;
            T_PVVars params;
            params.Podr = podr;
            params.Num = S("12");
            rep.RunDocument(d, &params);
            ExpectReference(S("templates"), QFileInfo(d->Template).completeBaseName() + S(".txt"),
                d->Name + QLatin1Char('\n') + pages);
            QProcess p;
            p.start(S("pdftotext"), {S("-layout"), pdf, S("-")});
            ASSERT_TRUE(p.waitForFinished());
            const QString text = QString::fromUtf8(p.readAllStandardOutput()).simplified();
            for (const QString& t : texts)
                EXPECT_TRUE(text.contains(t)) << t.toStdString() << " not in\n" << text.toStdString();
            ++formed;
        }
    }
    EXPECT_EQ(formed, 9);

    // A second copy adds what is missing and keeps what the clerk redesigned.
    QFile mine(TxtDir + S("SV.dcf"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("mine");
    mine.close();
    ASSERT_TRUE(QFile::remove(TxtDir + S("SP.dcf")));
    copyTemplates();
    EXPECT_EQ(ReadFileBytes(TxtDir + S("SP.dcf")), ReadFileBytes(S(QOR_SHIPPED_TXT "/SP.dcf")));
    EXPECT_EQ(ReadFileBytes(TxtDir + S("SV.dcf")), QByteArray("mine"));
}

TEST_F(FastRepTest, AlgorithmsAndHelpLists)
{
    TStringItems items;
    rep.FillAlgorithms(items);
    ASSERT_EQ(items.size(), 9);
    EXPECT_EQ(items[1], (TStringItem{S("Расчетные листы (1 колонка)"), 21}));
    EXPECT_EQ(rep.FindAlgorithm(42)->Name, S("Платежная ведомость по входным данным"));
    EXPECT_EQ(rep.FindAlgorithm(99), nullptr);
    // Titles of the lists each prototype offers, in order.
    const auto titles = [&](const char* proto) {
        QStringList out;
        for (const QString& l : rep.Prototype(S(proto))->Variables)
            if (!l.contains(QLatin1Char('|')))
                out << l;
        return out;
    };
    EXPECT_EQ(titles("SvodNach"),
        QStringList({S("Общие данные"), S("Начисления и удержания"), S("Стандартные данные отчета")}));
    EXPECT_EQ(titles("PlVed"),
        QStringList({S("Общие данные"), S("Подразделение"), S("Данные работника"), S("Платежная ведомость"),
            S("Стандартные данные отчета")}));
}

// Each help list line is a title or a tab-indented "name | what it prints",
// and every variable a prototype offers is answered by its document.
TEST_F(FastRepTest, EveryOfferedVariableIsAnswered)
{
    struct TProto {
        const char* Name;
        qint32 Tip;
        qint32 RVNum;
        int Band; // the band where every variable has its data
        qint32 Podr;
    };
    const QList<TProto> protos{{"RLA", 11, -1, btDetailData, 2}, {"RLB", 21, -1, btSubdetailData, 2},
        {"RasVed", 31, 5, btMasterData, 2}, {"PlVed", 42, 6, btMasterData, 2}, {"Sprav", 51, 5, btMasterData, 2},
        {"SpravPredp", 61, 5, btDetailData, 0}, {"SvodNach", 71, -1, btMasterData, 0}};
    for (const TProto& p : protos) {
        SCOPED_TRACE(p.Name);
        QStringList texts;
        for (const QString& line : rep.Prototype(S(p.Name))->Variables) {
            if (!line.startsWith(QLatin1Char('\t'))) {
                EXPECT_FALSE(line.contains(QLatin1Char('|'))) << line.toStdString();
                continue;
            }
            const qsizetype bar = line.indexOf(QLatin1Char('|'));
            ASSERT_GT(bar, 1) << line.toStdString();
            EXPECT_FALSE(line.mid(bar + 1).trimmed().isEmpty()) << line.toStdString();
            const QString name = line.left(bar).trimmed().replace(S("<k>"), S("1"));
            texts << name + S("=[") + name + QLatin1Char(']');
        }
        ASSERT_GT(texts.size(), 20);
        WriteTemplate(S("ALL.dcf"), {{{p.Band, texts}}});
        T_PVVars params;
        params.Podr = p.Podr;
        Run(p.Tip, S("ALL.dcf"), &params, p.RVNum);
        ASSERT_GE(Texts.size(), texts.size());
        for (const QString& t : Texts)
            EXPECT_FALSE(t.contains(QLatin1Char('['))) << t.toStdString();
    }
}

} // namespace
