// Template files and INI images of many sections and keys: a template of
// 100,000 objects saved and loaded (target: under 2 s each), and a
// 50,000-line INI read key by key, once as 10,000 sections of five keys and
// once as one section of 50,000 keys. Prints the time of each step.

#include "foundation/IniFiles.h"
#include "reports/ReportDocument.h"

#include "GuiBench.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

// The process's processor time in ms: on a busy machine the wall clock
// says more about the neighbours than about the code.
qint64 CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void Build(TDocument& doc, int objects)
{
    TPage& page = *doc.ActivePage();
    for (int i = 0; i < objects; ++i) {
        auto v = std::make_unique<TView>(i % 50 == 0 ? vtBand : vtText, &doc);
        v->SetBounds(QRect(10 + i % 7 * 100, i % 1000, 100, 20));
        v->FT = i % 50 == 0 ? btMasterData : 15;
        if (v->T == vtText)
            v->M = QStringList{QStringLiteral("Сумма [Col%1]").arg(i % 40), QStringLiteral("строка %1").arg(i)};
        page.AddView(std::move(v));
    }
}

void SaveAndLoad(benchmark::State& state)
{
    const int objects = int(state.range(0));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("big.dcf"));
    for (auto _ : state) {
        TDocument doc;
        Build(doc, objects);
        QElapsedTimer t;
        t.start();
        const qint64 cpu0 = CpuMs();
        doc.SaveToFile(file);
        const qint64 saved = t.restart(), cpu1 = CpuMs();
        TDocument back;
        back.LoadFromFile(file);
        const qint64 loaded = t.elapsed(), cpu2 = CpuMs();
        if (back.ActivePage()->ViewCount() != objects)
            state.SkipWithError("the template did not load whole");
        std::printf("%d objects (%lld KB): save %lld ms (processor %lld ms), load %lld ms (processor %lld ms)\n",
            objects, static_cast<long long>(QFile(file).size() / 1024), static_cast<long long>(saved),
            static_cast<long long>(cpu1 - cpu0), static_cast<long long>(loaded), static_cast<long long>(cpu2 - cpu1));
    }
}

// 50,000 value lines: sections x keys.
void ReadIni(benchmark::State& state)
{
    const int sections = int(state.range(0));
    const int keys = 50000 / sections;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("big.ini"));
    QByteArray text;
    for (int s = 0; s < sections; ++s) {
        text += "[Section" + QByteArray::number(s) + "]\r\n";
        for (int k = 0; k < keys; ++k)
            text += "Key" + QByteArray::number(k) + "=" + QByteArray::number(s * keys + k) + "\r\n";
    }
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    f.close();
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        TMemIniFile ini(file);
        ini.AutoUpdate = false;
        const qint64 opened = t.restart();
        qint64 sum = 0;
        for (int s = 0; s < sections; ++s) {
            const QString section = QStringLiteral("SECTION%1").arg(s);
            for (int k = 0; k < keys; ++k)
                sum += ini.ReadInteger(section, QStringLiteral("key%1").arg(k), 0);
        }
        const qint64 read = t.elapsed();
        const qint64 lines = qint64(sections) * keys;
        if (sum != lines * (lines - 1) / 2)
            state.SkipWithError("a value was not read");
        std::printf("%d sections of %d keys: open %lld ms, every key read %lld ms\n", sections, keys,
            static_cast<long long>(opened), static_cast<long long>(read));
    }
}

} // namespace

BENCHMARK(SaveAndLoad)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ReadIni)->Arg(10000)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) { return RunGuiBenchmarks(argc, argv); }
