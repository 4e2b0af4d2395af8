// The ".dcf" report template file (TDocument::LoadFromFile). Any bytes as
// the file: a template that loads is saved, loaded again into a fresh
// document and saved to the same bytes; a refused one is refused as
// "Поврежден файл-шаблон <file>" and leaves the template loaded before it as
// it was.

#include "FuzzSupport.h"

#include "platform/Exceptions.h"
#include "reports/ReportDocument.h"

#include <QFile>

namespace {

QByteArray Bytes(const QString& name)
{
    QFile f(name);
    FuzzCheck(f.open(QIODevice::ReadOnly), "a saved template can be read", name);
    return f.readAll();
}

void Prepare(TDocument& doc) { doc.SetPrintBackend(std::make_shared<TRecordingPrintBackend>()); }

// The template a document holds when the file comes.
void Old(TDocument& doc)
{
    auto band = std::make_unique<TView>(vtBand, &doc);
    band->SetBounds(QRect(0, 10, 700, 30));
    band->FT = btMasterData;
    doc.ActivePage()->AddView(std::move(band));
    auto text = std::make_unique<TView>(vtText, &doc);
    text->SetBounds(QRect(5, 12, 200, 20));
    text->M = QStringList{QStringLiteral("Иванов [Sum]"), QString()};
    doc.ActivePage()->AddView(std::move(text));
    doc.AddPage(1)->F = true;
    doc.SetNameDocument(QStringLiteral("Ведомость"));
    doc.Category = 3;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInitApp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString dir = FuzzScratchFolder();
    const QString in = dir + QStringLiteral("in.dcf");
    {
        QFile f(in);
        FuzzCheck(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "the input file can be written");
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }

    TDocument doc;
    Prepare(doc);
    Old(doc);
    doc.SaveToFile(dir + QStringLiteral("old.dcf"));
    const QByteArray old = Bytes(dir + QStringLiteral("old.dcf"));
    try {
        doc.LoadFromFile(in);
    } catch (const EAppException& e) {
        FuzzCheck(e.Message().startsWith(kDamagedTemplate + QLatin1Char(' ') + in + QLatin1Char('|')),
            "a damaged template is refused naming its file", e.Message());
        FuzzCheck(doc.NameSaveFile == dir + QStringLiteral("old.dcf"), "a refused template keeps the file name");
        doc.SaveToFile(dir + QStringLiteral("kept.dcf"));
        FuzzCheck(Bytes(dir + QStringLiteral("kept.dcf")) == old, "a refused template keeps the old one");
        return 0;
    }

    doc.SaveToFile(dir + QStringLiteral("first.dcf"));
    const QByteArray first = Bytes(dir + QStringLiteral("first.dcf"));
    TDocument again;
    Prepare(again);
    again.LoadFromFile(dir + QStringLiteral("first.dcf"));
    again.SaveToFile(dir + QStringLiteral("second.dcf"));
    FuzzCheck(Bytes(dir + QStringLiteral("second.dcf")) == first, "a loaded template saves, loads and saves the same",
        QString::fromLatin1(first.toHex()));
    return 0;
}
