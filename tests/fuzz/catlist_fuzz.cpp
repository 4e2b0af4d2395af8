// The document catalogue "CatList.cfg" on any bytes, for a kind from the
// first byte. Reading never fails and makes no more descriptors or sections
// than the file holds keys for; the fixed sections come first and every
// section has its place number. What was read, saved to a fresh file and
// read again is the same, and saving that again gives the same bytes.

#include "FuzzSupport.h"

#include "foundation/IniFiles.h"
#include "platform/Codec.h"
#include "platform/Exceptions.h"
#include "reports/Vedom.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>

namespace {

// The file as read again: NULs are dropped, letters outside CP1251, the catalogue's own code
// page, are written as "?"; and a saved file whose bytes all happen to form
// UTF-8 is read as UTF-8, as the INI reader takes every such file.
bool savedAsUtf8 = false;
QString Written(const QString& text)
{
    QString kept = text;
    kept.remove(QChar(0));
    const QByteArray bytes = ToCp1251(kept);
    if (!savedAsUtf8)
        return FromCp1251(bytes);
    // A text that begins with a byte-order mark keeps it: it is no file's start.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

bool ReadsAsUtf8(const QByteArray& bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

bool SameDoc(const T_Vedom& a, const T_Vedom& b)
{
    return a.Num == b.Num && a.Name == Written(b.Name) && a.Tip == b.Tip && a.Template == Written(b.Template)
        && a.Category == b.Category && a.RVNum == b.RVNum && a.Cond == b.Cond && a.VedRnd == b.VedRnd;
}

int KeyCount(const QString& path, const QString& section)
{
    TMemIniFile ini(path);
    ini.AutoUpdate = false;
    QStringList keys;
    ini.ReadSection(section, keys);
    return int(keys.size());
}

void SaveTo(T_Catalogue& cat, const QString& path)
{
    QFile::remove(path);
    cat.FileName = path;
    cat.Save();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInitApp();
    FuzzQuietMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int kind = kFirstDocKind + in.Byte() % kLastDocKind;
    const QString source = FuzzScratchFolder() + QStringLiteral("CatList.cfg");
    const QString first = FuzzScratchFolder() + QStringLiteral("first.cfg");
    const QString second = FuzzScratchFolder() + QStringLiteral("second.cfg");
    FuzzWriteFile(source, in.Rest());

    T_Catalogue cat(kind, source);
    cat.Load();
    const int fixed = int(T_CatSections::FixedNames(kind).size());
    FuzzCheck(cat.Sections.FixedCount() == fixed, "the fixed sections are there");
    FuzzCheck(cat.Sections.Items.size() - fixed <= KeyCount(source, QStringLiteral("Categories%1").arg(kind)),
        "no more sections than keys");
    FuzzCheck(
        cat.Docs.Count() <= KeyCount(source, QStringLiteral("Category%1").arg(kind)), "no more descriptors than keys");
    for (int i = 0; i < cat.Sections.Items.size(); ++i)
        FuzzCheck(cat.Sections.Items[i].Number == i + 1 && cat.Sections.Items[i].Fixed == (i < fixed),
            "sections are numbered by place");
    for (const T_Vedom* doc : cat.Docs) {
        FuzzCheck(doc->Cond <= vcZero, "a condition is a known one");
        FuzzCheck(cat.Sections.IndexOf(cat.Sections.SectionOf(*doc)) >= 0 || cat.Sections.Items.isEmpty(),
            "every document is shown under a section");
    }

    SaveTo(cat, first);
    const QByteArray saved = FuzzReadFile(first);
    savedAsUtf8 = ReadsAsUtf8(saved);
    T_Catalogue back(kind, first);
    back.Load();
    FuzzCheck(back.Docs.Count() == cat.Docs.Count(), "every descriptor is read back",
        QStringLiteral("%1 of %2").arg(back.Docs.Count()).arg(cat.Docs.Count()));
    for (int i = 0; i < cat.Docs.Count(); ++i)
        FuzzCheck(SameDoc(*back.Docs[i], *cat.Docs[i]), "a descriptor reads back as written",
            QStringLiteral("%1: %2 / %3").arg(i).arg(cat.Docs[i]->Name, back.Docs[i]->Name));
    FuzzCheck(back.Sections.Items.size() == cat.Sections.Items.size(), "every section is read back");
    for (int i = 0; i < cat.Sections.Items.size(); ++i)
        FuzzCheck(back.Sections.Items[i].Name
                == (i < fixed ? cat.Sections.Items[i].Name : Written(cat.Sections.Items[i].Name)),
            "a section reads back as written",
            QString::fromLatin1(
                back.Sections.Items[i].Name.toUtf8().toHex() + " / " + cat.Sections.Items[i].Name.toUtf8().toHex()));
    SaveTo(back, second);
    // Read as UTF-8, the file is no longer the catalogue's own bytes: it
    // cannot come out the same (the INI reader's guess, not the catalogue's).
    FuzzCheck(savedAsUtf8 || FuzzReadFile(second) == saved, "a catalogue saved again gives the same bytes",
        QString::fromLatin1(saved.toHex()));
    return 0;
}
