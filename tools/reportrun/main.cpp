// qor_reportrun: runs a ".dcf" template without windows, on the engine's
// demo data or on a small data file, and writes the output pages as one PDF
// and one PNG per page (96 dpi, the report's own pixels). For tests and
// support; the program itself never calls it.

#include "foundation/IniFiles.h"
#include "platform/Exceptions.h"
#include "reports/ReportDocument.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrinterInfo>
#include <QTextStream>

#include <array>
#include <cstdio>
#include <map>
#include <vector>

namespace {

const char* const kDataHelp = R"(Data file (UTF-8 text):
  # a comment                  lines starting with "#" and empty lines are skipped
  Name=Value                   before the first band: a variable for every band
  [Master data]                a data band by its name (English or Russian) or
                               kind number: Master, Detail or Subdetail data
  Name;Sum                     the first line after it: the field names, ";" between
  Ivanov;1234,56               every further line: one row of values
  --                           in a Detail or Subdetail band: ends the rows of one
                               row of the band above (the n-th group belongs to
                               its n-th row; every template page starts over)
A name no row or variable knows is left to the system variables (PageNumber...).
Without --data the template runs on the engine's demo data.)";

struct TBandRows {
    QStringList Fields;
    std::vector<std::vector<QStringList>> Groups{1}; // rows per row of the band above
    int Group = 0; // the group being served
    int Next = 0; // the next row within the group
    int Served = 0; // rows served over the whole run
    const QStringList* Current = nullptr;
};

class TScriptedData {
public:
    // Raises EAppException with the line at fault.
    void Load(const QString& fileName);
    void Attach(TDocument& doc);

private:
    static int BandKind(const QString& name);
    bool Next(int kind);
    bool Value(int kind, const QString& name, QString& value) const;

    std::map<QString, QString> vars_;
    std::array<TBandRows, 3> bands_; // master, detail, subdetail
    std::array<bool, 3> present_{};
};

int Slot(int kind) { return kind == btMasterData ? 0 : kind == btDetailData ? 1 : kind == btSubdetailData ? 2 : -1; }

int TScriptedData::BandKind(const QString& name)
{
    for (int k : {btMasterData, btDetailData, btSubdetailData})
        if (name.compare(BandNamesEng[k], Qt::CaseInsensitive) == 0
            || name.compare(BandNamesRus[k], Qt::CaseInsensitive) == 0 || name == QString::number(k))
            return k;
    return -1;
}

void TScriptedData::Load(const QString& fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EAppException(QStringLiteral("Cannot read the data file %1").arg(fileName));
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    TBandRows* band = nullptr;
    bool fields = false;
    for (int lineNo = 1; !in.atEnd(); ++lineNo) {
        const QString line = in.readLine().trimmed();
        auto fail = [&](const QString& why) {
            throw EAppException(QStringLiteral("%1:%2: %3").arg(fileName).arg(lineNo).arg(why));
        };
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const int kind = BandKind(line.mid(1, line.size() - 2).trimmed());
            if (kind < 0)
                fail(QStringLiteral("not a data band: %1").arg(line));
            if (present_[Slot(kind)])
                fail(QStringLiteral("the band is given twice: %1").arg(line));
            present_[Slot(kind)] = true;
            band = &bands_[Slot(kind)];
            fields = true;
        } else if (!band) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq <= 0)
                fail(QStringLiteral("expected Name=Value or [band name]"));
            vars_[line.left(eq).trimmed().toUpper()] = line.mid(eq + 1);
        } else if (fields) {
            band->Fields = line.split(QLatin1Char(';'));
            for (QString& n : band->Fields)
                n = n.trimmed().toUpper();
            fields = false;
        } else if (line == QLatin1String("--")) {
            if (band == &bands_[0])
                fail(QStringLiteral("\"--\" only splits Detail and Subdetail rows"));
            band->Groups.emplace_back();
        } else {
            const QStringList row = line.split(QLatin1Char(';'));
            if (row.size() != band->Fields.size())
                fail(QStringLiteral("%1 values for %2 fields").arg(row.size()).arg(band->Fields.size()));
            band->Groups.back().push_back(row);
        }
    }
}

void TScriptedData::Attach(TDocument& doc)
{
    // Every template page runs over the data from its start.
    doc.Events.OnBeginPage = [this](TDocument&, int, QStringList&, QStringList&, QStringList&) {
        for (TBandRows& b : bands_) {
            b.Group = b.Next = b.Served = 0;
            b.Current = nullptr;
        }
    };
    doc.Events.OnNeedData = [this](TDocument&, int kind, bool& more) { more = Next(kind); };
    doc.Events.OnGetValue
        = [this](TDocument&, int kind, const QString& name, QString& value) { Value(kind, name, value); };
}

bool TScriptedData::Next(int kind)
{
    const int s = Slot(kind);
    if (s < 0 || !present_[s])
        return false;
    TBandRows& b = bands_[s];
    if (b.Group >= static_cast<int>(b.Groups.size()) || b.Next >= static_cast<int>(b.Groups[b.Group].size())) {
        b.Current = nullptr;
        return false;
    }
    b.Current = &b.Groups[b.Group][b.Next++];
    ++b.Served;
    // The band below starts on the group of this row.
    if (s < 2) {
        TBandRows& child = bands_[s + 1];
        child.Group = b.Served - 1;
        child.Next = 0;
        child.Current = nullptr;
    }
    return true;
}

bool TScriptedData::Value(int, const QString& name, QString& value) const
{
    const QString key = name.trimmed().toUpper();
    for (int s = 2; s >= 0; --s) {
        const TBandRows& b = bands_[s];
        if (!b.Current)
            continue;
        const qsizetype i = b.Fields.indexOf(key);
        if (i >= 0) {
            value = b.Current->at(i);
            return true;
        }
    }
    const auto v = vars_.find(key);
    if (v == vars_.end())
        return false;
    value = v->second;
    return true;
}

// The program reads any file as a template, leniently; the tool wants a
// readable file that holds a template's sections (its common settings and
// its first page), so that a wrong file is not run as an empty template.
void RequireTemplateFile(const QString& name)
{
    const QFileInfo info(name);
    if (!info.exists())
        throw EAppException(QStringLiteral("%1: no such file").arg(name));
    QFile f(name);
    if (info.isFile() && !f.open(QIODevice::ReadOnly))
        throw EAppException(QStringLiteral("%1: cannot be read (%2)").arg(name, f.errorString()));
    QStringList sections;
    if (info.isFile() && f.size() > 0) {
        TMemIniFile ini(name);
        ini.AutoUpdate = false;
        ini.ReadSections(sections);
    }
    for (const char* needed : {"COMMON", "P0"})
        if (!sections.contains(QLatin1String(needed), Qt::CaseInsensitive))
            throw EAppException(QStringLiteral("%1: not a report template").arg(name));
}

bool WritePngs(const TDocument& doc, const QString& prefix)
{
    for (int i = 0; i < doc.OutputPageCount(); ++i) {
        const QImage img = doc.OutputPage(i).Image();
        const QString name = QStringLiteral("%1-%2.png").arg(prefix).arg(i + 1);
        if (!img.save(name)) {
            std::fprintf(stderr, "qor_reportrun: cannot write %s\n", qPrintable(name));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qor_reportrun"));

    QCommandLineParser cl;
    cl.setApplicationDescription(QStringLiteral("Runs a report template without windows and writes its pages as "
                                                "<out>.pdf and <out>-<n>.png (one per page, 96 dpi).\n\n")
        + QString::fromUtf8(kDataHelp));
    cl.addHelpOption();
    cl.addPositionalArgument(QStringLiteral("template"), QStringLiteral("The .dcf template file."));
    cl.addPositionalArgument(
        QStringLiteral("out"), QStringLiteral("The output path without extension (default: the template's name)."));
    const QCommandLineOption data({QStringLiteral("d"), QStringLiteral("data")},
        QStringLiteral("The data file (see above)."), QStringLiteral("file"));
    cl.addOption(data);
    const QCommandLineOption printer({QStringLiteral("p"), QStringLiteral("printer")},
        QStringLiteral("Print the pages on this printer of the system (CUPS) instead of writing <out>.pdf."),
        QStringLiteral("name"));
    cl.addOption(printer);
    cl.process(app);
    const QStringList args = cl.positionalArguments();
    if (args.isEmpty() || args.size() > 2)
        cl.showHelp(2);
    const QString templ = DcfFileName(args[0]);
    // Every dot of the name but the last stays: my.report.dcf gives my.report.
    const QString out
        = args.size() > 1 ? args[1] : QFileInfo(templ).dir().filePath(QFileInfo(templ).completeBaseName());

    TDocument doc;
    TScriptedData scripted;
    try {
        if (cl.isSet(printer)) {
            if (QPrinterInfo::printerInfo(cl.value(printer)).isNull())
                throw EAppException(QStringLiteral("%1: no such printer").arg(cl.value(printer)));
            ChosenPrinterName() = cl.value(printer);
            doc.SetPrintBackend(std::make_shared<TSystemPrintBackend>());
        } else {
            doc.SetPrintBackend(std::make_shared<TPdfPrintBackend>(out + QStringLiteral(".pdf")));
        }
        RequireTemplateFile(templ);
        try {
            doc.LoadFromFile(templ);
        } catch (const Exception& e) {
            // A refusal's title and details on one line, the file named once.
            const QString text = QString(e.Message()).replace(u'|', QStringLiteral(": "));
            throw EAppException(text.contains(templ) ? text : QStringLiteral("%1: %2").arg(templ, text));
        }
        if (cl.isSet(data)) {
            scripted.Load(cl.value(data));
            scripted.Attach(doc);
        } else {
            doc.DemoData = true;
        }
        doc.Prepare();
        if (doc.OutputPageCount() == 0)
            throw EAppException(kNoPrintData);
        if (doc.Print(1, doc.OutputPageCount()) != TPrintOutcome::Printed)
            throw EAppException(cl.isSet(printer) ? QStringLiteral("The printer stopped the job")
                                                  : QStringLiteral("The PDF was not written"));
    } catch (const Exception& e) {
        std::fprintf(stderr, "qor_reportrun: %s\n", qPrintable(e.Message()));
        return 1;
    }
    if (!WritePngs(doc, out))
        return 1;
    std::printf("%d pages\n", doc.OutputPageCount());
    return 0;
}
