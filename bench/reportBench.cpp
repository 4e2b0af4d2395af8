// A 10,000-row report: a master band of five text columns with a group
// header and footer, prepared into pages and printed to a PDF file. Prints
// the time of both steps and the time per page (target: under 10 s).

#include "reports/ReportDocument.h"

#include "GuiBench.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kRows = 10000;

void Build(TDocument& doc)
{
    auto add = [&](int type, QRect r, QStringList m, int ft = 0) {
        auto v = std::make_unique<TView>(type, &doc);
        v->SetBounds(r);
        v->M = m;
        v->FT = ft;
        doc.ActivePage()->AddView(std::move(v));
    };
    add(vtBand, QRect(0, 0, 700, 30), {}, btMasterHeader);
    add(vtText, QRect(10, 5, 600, 20), {QStringLiteral("Расчетная ведомость [Month]")});
    add(vtBand, QRect(0, 30, 700, 20), {}, btMasterData);
    for (int c = 0; c < 5; ++c)
        add(vtText, QRect(10 + c * 140, 30, 140, 20), {QStringLiteral("[Col%1] строка [LineMaster]").arg(c)}, 15);
    add(vtBand, QRect(0, 50, 700, 30), {}, btMasterFooter);
    add(vtText, QRect(10, 55, 600, 20), {QStringLiteral("Итого строк: [LineMaster]")});
    add(vtBand, QRect(0, 1080, 700, 30), {}, btPageFooter);
    add(vtText, QRect(10, 1085, 200, 20), {QStringLiteral("Стр. [PageNumber]")});
    doc.Events.OnGetValue = [](TDocument&, int, const QString& name, QString& value) {
        if (name.startsWith(QLatin1String("Col")))
            value = QStringLiteral("Иванов ") + name;
        else if (name == QLatin1String("Month"))
            value = QStringLiteral("январь");
    };
}

void PrepareAndPrint(benchmark::State& state)
{
    QTemporaryDir dir;
    for (auto _ : state) {
        TDocument doc;
        doc.SetPrintBackend(std::make_shared<TPdfPrintBackend>(dir.filePath(QStringLiteral("bench.pdf"))));
        Build(doc);
        int row = 0;
        doc.Events.OnNeedData = [&](TDocument&, int b, bool& more) {
            if (b == btMasterData)
                more = row++ < kRows;
        };
        QElapsedTimer t;
        t.start();
        doc.Prepare();
        const qint64 prepared = t.elapsed();
        doc.Print(1, doc.OutputPageCount());
        const qint64 total = t.elapsed();
        const int pages = doc.OutputPageCount();
        std::printf("%d rows, %d pages: prepare %lld ms, PDF %lld ms, total %lld ms, %.2f ms per page\n", kRows, pages,
            static_cast<long long>(prepared), static_cast<long long>(total - prepared), static_cast<long long>(total),
            double(total) / pages);
    }
}

} // namespace

BENCHMARK(PrepareAndPrint)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) { return RunGuiBenchmarks(argc, argv); }
