// The pay sheet of a 10,000-employee department formed through the forming
// holder with the shipped template and written to a PDF file, against the
// floor: the same rows read by hand-written SQLite statements and the same
// texts and frames drawn with QPainter straight onto the same PDF writer,
// page by page. Prints both, their ratio (target: at most 2.0), the whole
// run (target: under 3 s), the peak resident size of the forming with its
// pages held and printed, and a checksum of the pages as drawn (checked
// against the figure of today's engine). "--employees=N" runs another size;
// with --benchmark_repetitions=N the best of the runs is taken.

#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/Podr.h"
#include "data/Startup.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "db/Sqlite.h"
#include "db/Transaction.h"
#include "foundation/DateFuncs.h"
#include "foundation/IniPersist.h"
#include "platform/ProgramFolder.h"
#include "reports/FastRep.h"
#include "reports/PrintBackend.h"
#include "reports/ReportBands.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

int g_employees = 10000;
constexpr qint32 kPodr = 2;
const TDateTime kMar2024 = EncodeDate(2024, 3, 1);
const TDateTime kFeb2024 = EncodeDate(2024, 2, 29);

// The checksum of the drawn pages by size, as the engine drew them before
// it was made faster.
const std::vector<GoldenChecksum> kGolden
    = {{1000, 0x309dc9d27706aa93ULL}, {10000, 0x6bfca5d34bf67849ULL}, {50000, 0xdeb1ac05fd003c9eULL}};

QString S(const char* text) { return QString::fromUtf8(text); }

QTemporaryDir* g_program = nullptr;

void AddKind(qint32 dopNum, const char* naim, bool uder)
{
    T_Dop dop(DNList());
    dop.New = true;
    dop.DopNum = dopNum;
    dop.Naim = S(naim);
    dop.Uder = uder;
    dop.Save();
}

// Cards, their results of March and February's balance, written in bulk.
void MakeEmployees()
{
    AddKind(101, "Оклад", false);
    AddKind(102, "Премия", false);
    AddKind(201, "Аванс", true);
    DNList()->SetLoaded(false);
    AppendRecordValues(DM()->SP, kPodr, {S("NUMPDP"), S("NAIM")}, {Variant(1), Variant(S("Цех"))});
    PNList()->Reload();
    Cursor sr(S("SR")), nc(S("NC")), ncarc(S("NCARC"));
    sr.Open();
    nc.Open();
    ncarc.Open();
    Transaction tx({&sr, &nc, &ncarc});
    const auto put = [](Cursor& c, const QList<std::pair<const char*, Variant>>& values) {
        c.Append();
        for (const auto& [name, value] : values)
            c.FieldByName(S(name)).SetVariant(value);
        c.Post();
    };
    const Variant mar = Variant::FromDate(kMar2024), feb = Variant::FromDate(kFeb2024);
    for (qint32 tabn = 1; tabn <= g_employees; ++tabn) {
        put(sr,
            {{"TABNUM", tabn}, {"PODR", kPodr}, {"SNUM", tabn},
                {"FIO", S("Работник %1").arg(tabn, 5, 10, QChar('0'))}});
        const double okl = 20000.0 + tabn % 500, prem = 1000.0 + tabn % 100, avans = 8000, before = tabn % 7 - 3;
        const struct {
            qint32 dopNum;
            double time, sum;
        } rows[] = {{101, 160, okl}, {102, 0, prem}, {201, 0, avans}, {dnNachis, 160, okl + prem}, {dnUder, 0, avans},
            {dnVsego, 0, before + okl + prem - avans}};
        for (const auto& r : rows)
            put(nc,
                {{"TABNUM", tabn}, {"DOPNUM", r.dopNum}, {"DTIME", r.time}, {"SUM", r.sum}, {"DATERAS", mar},
                    {"DATEBEG", mar}});
        put(ncarc, {{"TABNUM", tabn}, {"DOPNUM", dnVsego}, {"SUM", before}, {"DATERAS", feb}, {"DATEBEG", feb}});
    }
    tx.Commit();
}

void StartProgram()
{
    g_program = new QTemporaryDir;
    OpenFreshDataBase(*g_program);
    AppContext().Cfg.Workdate = kMar2024;
    MakeEmployees();
    // The shipped templates, as a program folder away from the program gets them.
    CopyShippedTexts(S(QOR_SHIPPED_TXT), TxtDir);
    EnsurePropisTable(AppContext().DataFolder(), S(QOR_BIN "/PROPIS.DB"));
}

// Every page drawn at 96 dpi, its pixels hashed (FNV-1a).
quint64 PagesChecksum(const TDocument& doc)
{
    quint64 h = 14695981039346656037ULL;
    for (int i = 0; i < doc.OutputPageCount(); ++i) {
        const QImage image = doc.OutputPage(i).Image();
        const qsizetype bytes = image.bytesPerLine();
        for (int y = 0; y < image.height(); ++y) {
            const uchar* line = image.constScanLine(y);
            for (qsizetype b = 0; b < bytes; ++b) {
                h ^= line[b];
                h *= 1099511628211ULL;
            }
        }
    }
    return h;
}

struct EngineRun {
    int pages = 0;
    double formMs = 0, printMs = 0, peakMb = 0;
};
EngineRun g_engine; // the fastest run, with the highest peak of all
std::vector<quint64> g_checksums; // of every run

void Engine(benchmark::State& state)
{
    const QString pdf = g_program->filePath(S("rv.pdf"));
    QElapsedTimer clock;
    EngineRun run;
    ReportWindowFactories().Preview = [&](TDocument& doc, const QString&, int count, bool) -> IReportWindow* {
        run.formMs = double(clock.nsecsElapsed()) / 1e6;
        run.pages = count;
        doc.SetPrintBackend(std::make_shared<TPdfPrintBackend>(pdf));
        doc.Print(1, count);
        run.printMs = double(clock.nsecsElapsed()) / 1e6 - run.formMs;
        run.peakMb = PeakResidentMb();
        state.PauseTiming();
        g_checksums.push_back(PagesChecksum(doc));
        state.ResumeTiming();
        doc.PreviewClosed();
        return nullptr;
    };
    TFormFastRep rep;
    T_Vedom descriptor;
    descriptor.Tip = 31;
    descriptor.Template = S("RV.dcf");
    T_PVVars params;
    params.Podr = kPodr;
    params.Date = kMar2024;
    for (auto _ : state) {
        ResetPeakResident();
        clock.start();
        rep.RunDocument(&descriptor, &params);
    }
    const double peak = std::max(g_engine.peakMb, run.peakMb);
    if (g_engine.pages == 0 || run.formMs + run.printMs < g_engine.formMs + g_engine.printMs)
        g_engine = run;
    g_engine.peakMb = peak;
    state.counters["pages"] = run.pages;
}

// ---- the hand-written floor

QString FilePath(const char* table) { return AppContext().DataFolder() + S(table) + S(".DB"); }

// What one object of the template draws, read from the template once: its
// place in the band, frame, font, alignment, and its text as pieces, each
// a plain text or one of the variables the floor fills.
struct Cell {
    QRect bounds;
    int frame = 0, frameWidth = 1, align = 0;
    QFont font;
    qreal ascent = 0;
    int lineHeight = 0;
    std::vector<std::pair<QString, int>> pieces; // the value's number or -1
};

// The variables the floor fills itself.
enum Value {
    vLine,
    vTabn,
    vFio,
    vBegin,
    vAccrued,
    vDeducted,
    vToPay,
    vTime,
    vSBegin,
    vSAccrued,
    vSDeducted,
    vSToPay,
    vSToPayPlus,
    vSToPayMinus,
    vSToPaySpelled,
    vPageNumber,
    vCount
};

struct Band {
    int top = 0, height = 0;
    std::vector<Cell> cells;
};

struct FloorLayout {
    Band title, header, data, summary, footer;
};

FloorLayout ReadLayout()
{
    static const char* const names[vCount] = {"LineMaster", "Tabn", "Fio", "VsP", "VNach", "VUder", "Vsego", "VDTime",
        "SVsP", "SVNach", "SVUder", "SVsego", "SVsegoP", "SVsegoM", "Propis(SVsego)", "PageNumber"};
    TDocument doc;
    doc.LoadFromFile(TxtDir + S("RV.dcf"));
    TPage& page = *doc.ActivePage();
    page.CreateBands();
    int year = 0, month = 0, day = 0;
    DecodeDate(kMar2024, year, month, day);
    const QString fixed[][2] = {{S("Month"), MonthNameByNum(month)}, {S("Year"), QString::number(year)},
        {S("ReportTitle"), S("Расчетная ведомость  №2 \"Цех\"")}};
    const auto read = [&](int kind) {
        Band band;
        const TBand* b = page.Band(kind);
        band.top = b->Top;
        band.height = b->Height;
        for (const TView* v : b->Views) {
            Cell c;
            c.bounds = v->Bounds();
            c.frame = v->FT;
            c.frameWidth = v->FW;
            c.align = v->HAlign();
            c.font = v->Font();
            const QFontMetricsF fm(c.font);
            c.ascent = fm.ascent();
            c.lineHeight = int(std::ceil(fm.ascent() + fm.descent()));
            QString text = v->M.value(0);
            while (text.endsWith(QLatin1Char(' ')))
                text.chop(1);
            for (const auto& [name, value] : fixed)
                text.replace(QLatin1Char('[') + name + QLatin1Char(']'), value);
            for (const char* name : {"FioDirector", "FioGlBuh"}) {
                Variant value;
                GetReportVariable(S(name).toUpper(), value);
                text.replace(QLatin1Char('[') + S(name) + QLatin1Char(']'), value.AsString());
            }
            for (qsizetype at = 0; at < text.size();) {
                const qsizetype open = text.indexOf(QLatin1Char('['), at);
                const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char(']'), open);
                int value = -1;
                for (int n = 0; close > open && n < vCount; ++n)
                    if (text.mid(open + 1, close - open - 1) == S(names[n]))
                        value = n;
                if (value < 0) {
                    c.pieces.emplace_back(text.mid(at), -1);
                    break;
                }
                if (open > at)
                    c.pieces.emplace_back(text.mid(at, open - at), -1);
                c.pieces.emplace_back(QString(), value);
                at = close + 1;
            }
            band.cells.push_back(std::move(c));
        }
        return band;
    };
    FloorLayout layout{
        read(btReportTitle), read(btPageHeader), read(btMasterData), read(btReportSummary), read(btPageFooter)};
    page.FreeBands();
    return layout;
}

// A band's cells at top: texts centred in height within a 1-pixel margin,
// and frame lines.
void DrawBand(QPainter& p, const Band& band, int top, const QString (&values)[vCount])
{
    for (const Cell& c : band.cells) {
        const QRect r = c.bounds.translated(0, top).adjusted(1, 1, -1, -1);
        QString text;
        for (const auto& [plain, value] : c.pieces)
            text += value < 0 ? plain : values[value];
        if (!text.isEmpty()) {
            p.setFont(c.font);
            const qreal w = QFontMetricsF(c.font).horizontalAdvance(text);
            qreal x = r.x();
            if (c.align == 1 && r.width() > w)
                x = r.x() + r.width() - w;
            else if (c.align == 2 && r.width() > w)
                x = r.x() + (r.width() - w) / 2;
            const int shift = c.lineHeight < r.height() ? (r.height() - c.lineHeight) / 2 : 0;
            p.drawText(QPointF(x, r.y() + shift + c.ascent), text);
        }
        if (c.frame != 0) {
            p.setPen(QPen(Qt::black, c.frameWidth, Qt::SolidLine, Qt::FlatCap));
            const int x = c.bounds.x(), y = c.bounds.y() + top, w = c.bounds.width(), h = c.bounds.height();
            if (c.frame & 1)
                p.drawLine(x + w, y, x + w, y + h);
            if (c.frame & 4)
                p.drawLine(x, y, x, y + h);
            if (c.frame & 2)
                p.drawLine(x, y + h, x + w, y + h);
            if (c.frame & 8)
                p.drawLine(x, y, x + w, y);
        }
    }
}

int g_floorPages = 0;

void Floor(benchmark::State& state)
{
    const FloorLayout layout = ReadLayout();
    const QString pdf = g_program->filePath(S("floor.pdf"));
    for (auto _ : state) {
        auto sr = SqliteConnection::Open(FilePath("SR"), false);
        auto nc = SqliteConnection::Open(FilePath("NC"), false);
        auto ncarc = SqliteConnection::Open(FilePath("NCARC"), false);
        sqlite3_stmt* cards = sr->Prepare("SELECT \"TABNUM\",\"FIO\",\"TABNOMER\" FROM data WHERE \"PODR\"=? "
                                          "ORDER BY \"FIO\" COLLATE QOR_CI,\"SNUM\"");
        sqlite3_stmt* results = nc->Prepare("SELECT \"DOPNUM\",\"DTIME\",\"SUM\" FROM data WHERE \"TABNUM\"=? "
                                            "ORDER BY \"TABNUM\",\"DATERAS\",\"PRIM\"");
        sqlite3_stmt* balance = ncarc->Prepare("SELECT \"SUM\" FROM data WHERE \"TABNUM\"=? AND \"DATERAS\" "
                                               "BETWEEN ? AND ? AND \"DOPNUM\"=?");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(600);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        QPainter p(&printer);
        p.scale(600.0 / 96, 600.0 / 96);
        p.setRenderHint(QPainter::TextAntialiasing);
        QString values[vCount];
        int pages = 1;
        const auto newPage = [&] {
            values[vPageNumber] = QString::number(pages);
            DrawBand(p, layout.footer, layout.footer.top, values);
            printer.newPage();
            ++pages;
            DrawBand(p, layout.header, 0, values);
            return layout.header.height;
        };
        DrawBand(p, layout.title, layout.title.top, values);
        DrawBand(p, layout.header, layout.header.top, values);
        int y = layout.data.top;
        double sBegin = 0, sAccrued = 0, sDeducted = 0, sToPay = 0, sPlus = 0, sMinus = 0;
        sqlite3_bind_int64(cards, 1, kPodr);
        for (int line = 1; sqlite3_step(cards) == SQLITE_ROW; ++line) {
            const qint64 tabn = sqlite3_column_int64(cards, 0);
            double begin = 0, accrued = 0, deducted = 0, toPay = 0, time = 0;
            sqlite3_bind_int64(results, 1, tabn);
            while (sqlite3_step(results) == SQLITE_ROW) {
                const qint64 dopNum = sqlite3_column_int64(results, 0);
                const double sum = sqlite3_column_double(results, 2);
                if (dopNum == dnNachis) {
                    accrued = sum;
                    time = sqlite3_column_double(results, 1);
                } else if (dopNum == dnUder) {
                    deducted = sum;
                } else if (dopNum == dnVsego) {
                    toPay = RoundToKop(sum);
                }
            }
            sqlite3_reset(results);
            sqlite3_bind_int64(balance, 1, tabn);
            sqlite3_bind_double(balance, 2, EncodeDate(2024, 2, 1));
            sqlite3_bind_double(balance, 3, kFeb2024);
            sqlite3_bind_int64(balance, 4, dnVsego);
            if (sqlite3_step(balance) == SQLITE_ROW)
                begin = sqlite3_column_double(balance, 0);
            sqlite3_reset(balance);
            sBegin += begin;
            sAccrued += accrued;
            sDeducted += deducted;
            sToPay += toPay;
            (toPay >= 0 ? sPlus : sMinus) += std::abs(toPay);
            const QString number = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(cards, 2)));
            values[vLine] = QString::number(line);
            values[vTabn] = number.isEmpty() ? QString::number(tabn) : number;
            values[vFio] = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(cards, 1)));
            values[vBegin] = FormatMoney(begin);
            values[vAccrued] = FormatMoney(accrued);
            values[vDeducted] = FormatMoney(deducted);
            values[vToPay] = FormatMoney(toPay);
            values[vTime] = FormatShortFloat(time);
            if (y + layout.data.height > layout.footer.top)
                y = newPage();
            DrawBand(p, layout.data, y, values);
            y += layout.data.height - 1;
        }
        sqlite3_reset(cards);
        values[vSBegin] = FormatMoney(sBegin);
        values[vSAccrued] = FormatMoney(sAccrued);
        values[vSDeducted] = FormatMoney(sDeducted);
        values[vSToPay] = FormatMoney(sToPay);
        values[vSToPayPlus] = FormatMoney(sPlus);
        values[vSToPayMinus] = FormatMoney(sMinus);
        values[vSToPaySpelled] = SpellMoney(Currency::FromDouble(sToPay));
        if (y + layout.summary.height > layout.footer.top)
            y = newPage();
        DrawBand(p, layout.summary, y, values);
        values[vPageNumber] = QString::number(pages);
        DrawBand(p, layout.footer, layout.footer.top, values);
        p.end();
        g_floorPages = pages;
    }
    state.counters["pages"] = g_floorPages;
}

} // namespace

BENCHMARK(Floor)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(Engine)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    g_employees = TakeEmployeesOption(argc, argv, g_employees);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    StartProgram();
    benchmark::Initialize(&argc, argv);
    BestTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double engine = reporter.real.value(S("Engine")), floor = reporter.real.value(S("Floor"));
    int status = 0;
    std::printf("\npay sheet of %d employees\n", g_employees);
    if (floor > 0)
        std::printf("floor:  %d pages, %.0f ms\n", g_floorPages, floor);
    if (engine > 0) {
        std::printf("engine: %d pages, formed in %.0f ms, printed to PDF in %.0f ms, %.2f s in all%s\n", g_engine.pages,
            g_engine.formMs, g_engine.printMs, engine / 1000,
            g_employees != 10000 || engine < 3000 ? "" : "  (>= 3 s!)");
        std::printf("peak resident size of the forming, its pages and the PDF: %.0f MB%s\n", g_engine.peakMb,
            g_engine.peakMb < 300 ? "" : "  (>= 300 MB!)");
        status = CheckChecksums("pages checksum", g_checksums, kGolden, g_employees);
    }
    if (engine > 0 && floor > 0) {
        std::printf("ratio:  %.2f%s\n", engine / floor, engine / floor <= 2.0 ? "" : "  (> 2.0!)");
        const double engineCpu = reporter.cpu.value(S("Engine")), floorCpu = reporter.cpu.value(S("Floor"));
        if (floorCpu > 0)
            std::printf("processor time: engine %.0f ms, floor %.0f ms, ratio %.2f\n", engineCpu, floorCpu,
                engineCpu / floorCpu);
    }
    // QOR_BENCH_KEEP=<folder>: both PDF files kept there, to be compared by eye.
    if (const QString keep = qEnvironmentVariable("QOR_BENCH_KEEP"); !keep.isEmpty()) {
        for (const char* name : {"rv.pdf", "floor.pdf"}) {
            QFile::remove(keep + QLatin1Char('/') + S(name));
            QFile::copy(g_program->filePath(S(name)), keep + QLatin1Char('/') + S(name));
        }
    }
    benchmark::Shutdown();
    ShutDown();
    delete g_program;
    return status;
}
