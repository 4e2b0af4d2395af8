// The INI text reader on any bytes: CP1251 or not, any line ends, any line
// lengths. Every key is read in every typed way, a key found through the
// section's index is the first line of that name (letter case ignored), and
// an image that is saved and read again must save to the same bytes.

#include "FuzzSupport.h"

#include "foundation/IniFiles.h"
#include "platform/Exceptions.h"

#include <QFile>

namespace {

// The value of the first line named key (letter case ignored), as a walk
// over the lines finds it; null when there is none.
QString FirstValue(const QStringList& lines, const QString& key)
{
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && line.left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

// Every section and key of the image, read in every way.
QStringList Image(TMemIniFile& ini)
{
    QStringList out, sections, keys;
    ini.ReadSections(sections);
    for (const QString& section : sections) {
        out.append(QLatin1Char('[') + section + QLatin1Char(']'));
        ini.ReadSection(section, keys);
        QStringList lines;
        ini.ReadSectionValues(section, lines);
        for (const QString& key : keys) {
            for (const QString& asked : {key, key.toUpper(), key.toLower()}) {
                const QString found = FirstValue(lines, asked);
                FuzzCheck(ini.ReadString(section, asked, QString()) == found,
                    "a key is found as the first line of its name", section + QLatin1Char('/') + asked);
            }
            out.append(key + QLatin1Char('=') + ini.ReadString(section, key, QString()));
            ini.ReadQuoted(section, key, QString());
            ini.ReadInteger(section, key, 0);
            ini.ReadBool(section, key, false);
            ini.ReadFloat(section, key, 0);
            ini.ReadDate(section, key, 0);
            ini.ReadDateTime(section, key, 0);
            ini.ReadTime(section, key, 0);
        }
    }
    return out;
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
    const QString path = FuzzScratchFolder() + QStringLiteral("fuzz.ini");
    FuzzWriteFile(path, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    QByteArray saved;
    QStringList first;
    try {
        TMemIniFile ini(path);
        ini.AutoUpdate = false;
        first = Image(ini);
        // A write makes the image go to the disk whole.
        ini.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Mark"), QStringLiteral("1"));
        ini.UpdateFile();
        saved = FuzzReadFile(path);
    } catch (const Exception&) {
        return 0;
    }
    {
        TMemIniFile again(path);
        again.AutoUpdate = false;
        QStringList second = Image(again);
        again.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Mark"), QStringLiteral("2"));
        again.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Mark"), QStringLiteral("1"));
        again.UpdateFile();
    }
    FuzzCheck(FuzzReadFile(path) == saved, "a saved INI image saves again to the same bytes",
        QString::fromLatin1(saved.toHex()));
    return 0;
}
