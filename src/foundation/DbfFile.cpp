#include "foundation/DbfFile.h"

#include "platform/Codec.h"
#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <shapefil.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// shapelib's hooks carry no user data and insist on the ".dbf" extension,
// so the file it asks for is always the one being opened here.
thread_local const char* g_openPath = nullptr;

SAFile OpenHook(const char* filename, const char* access)
{
    const QByteArray name(filename);
    if (!g_openPath || !name.toLower().endsWith(".dbf"))
        return nullptr;
    return reinterpret_cast<SAFile>(std::fopen(g_openPath, access));
}

// shapelib reports its errors on stderr; ours go into the exception.
void QuietError(const char*) {}

DBFHandle H(void* handle) { return static_cast<DBFHandle>(handle); }

unsigned char U(char c) { return static_cast<unsigned char>(c); }

} // namespace

TDbfFile::TDbfFile(const QString& fileName) : fileName_(fileName)
{
    const qint64 fileSize = QFileInfo(fileName).size();
    if (!QFileInfo(fileName).isFile())
        throw EAppException(QStringLiteral("Не найден файл ") + fileName);
    if (fileSize < 32)
        Damaged(QStringLiteral("заголовок неполный"));

    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = OpenHook;
    hooks.Error = QuietError;
    const QByteArray path = QFile::encodeName(fileName);
    g_openPath = path.constData();
    handle_ = DBFOpenLL("table.dbf", "rb", &hooks);
    g_openPath = nullptr;
    if (!handle_)
        Damaged(QStringLiteral("заголовок не читается"));

    // The destructor does not run for a constructor that throws.
    try {
        ReadHeader(fileSize);
    } catch (...) {
        DBFClose(H(handle_));
        handle_ = nullptr;
        throw;
    }
}

void TDbfFile::ReadHeader(qint64 fileSize)
{
    const DBFInfo& info = *H(handle_);
    recordCount_ = info.nRecords;
    recordLength_ = info.nRecordLength;
    if (recordCount_ < 0 || recordLength_ < 1 || info.nHeaderLength < 32 + 32 * info.nFields)
        Damaged(QStringLiteral("заголовок неверен"));

    // Clipper keeps the high byte of a long text field's length in the
    // decimals byte; shapelib does not, so the lengths are taken here.
    long plainSum = 1, longSum = 1;
    for (int i = 0; i < info.nFields; ++i) {
        const char* d = info.pszHeader + 32 * i;
        plainSum += U(d[16]);
        longSum += U(d[16]) + (d[11] == 'C' ? U(d[17]) * 256 : 0);
    }
    const bool clipperLong = plainSum != recordLength_ && longSum == recordLength_;
    if ((clipperLong ? longSum : plainSum) > recordLength_)
        Damaged(QStringLiteral("поля не помещаются в запись"));
    int offset = 1;
    for (int i = 0; i < info.nFields; ++i) {
        const char* d = info.pszHeader + 32 * i;
        TDbfField f;
        f.Name = QString::fromLatin1(QByteArray(d, int(qstrnlen(d, 11)))).trimmed().toUpper();
        f.Type = char(std::toupper(U(d[11])));
        const bool longText = clipperLong && d[11] == 'C';
        f.Length = U(d[16]) + (longText ? U(d[17]) * 256 : 0);
        f.Decimals = longText ? 0 : U(d[17]);
        f.Offset = offset;
        offset += f.Length;
        fields_.push_back(f);
    }
    // The file holds the records the header counts and at most an end mark
    // after them; a count that says otherwise would drop or invent rows.
    const qint64 needed = qint64(info.nHeaderLength) + qint64(recordCount_) * recordLength_;
    const qint64 held = fileSize >= info.nHeaderLength ? (fileSize - info.nHeaderLength) / recordLength_ : 0;
    if (fileSize < needed)
        Damaged(QStringLiteral("файл короче, чем указано в заголовке: в заголовке %1 записей, а в файле %2 (записи по "
                               "%3 байт)")
                    .arg(recordCount_)
                    .arg(held)
                    .arg(recordLength_));
    if (held > recordCount_)
        Damaged(QStringLiteral("в заголовке %1 записей, а в файле %2 (записи по %3 байт)")
                    .arg(recordCount_)
                    .arg(held)
                    .arg(recordLength_));
}

TDbfFile::~TDbfFile()
{
    if (handle_)
        DBFClose(H(handle_));
}

void TDbfFile::Damaged(const QString& detail) const
{
    throw EAppException(
        QStringLiteral("Поврежден файл ") + QFileInfo(fileName_).fileName() + QStringLiteral(": ") + detail);
}

int TDbfFile::FieldIndex(const QString& name) const
{
    const QString upper = name.toUpper();
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].Name == upper)
            return int(i);
    return -1;
}

bool TDbfFile::Next()
{
    while (++current_ < recordCount_) {
        record_ = static_cast<const char*>(DBFReadTuple(H(handle_), current_));
        if (!record_)
            Damaged(QStringLiteral("запись %1 не читается").arg(current_ + 1));
        if (record_[0] != '*')
            return true;
    }
    record_ = nullptr;
    current_ = recordCount_;
    return false;
}

const TDbfField& TDbfFile::Need(const QString& field) const
{
    const int i = FieldIndex(field);
    if (i < 0)
        throw EAppException(
            QStringLiteral("В файле ") + QFileInfo(fileName_).fileName() + QStringLiteral(" нет поля ") + field);
    const TDbfField& f = fields_[size_t(i)];
    // A memo field's cell is only a block number in another file.
    if (!QByteArray("CNFLD").contains(f.Type))
        throw EAppException(QStringLiteral("В файле %1 поле %2 типа %3 не читается")
                                .arg(QFileInfo(fileName_).fileName(), f.Name, QString(QLatin1Char(f.Type))));
    if (!record_)
        throw EAppException(QStringLiteral("Нет текущей записи в файле ") + QFileInfo(fileName_).fileName());
    return f;
}

QByteArray TDbfFile::Bytes(const TDbfField& f) const { return QByteArray(record_ + f.Offset, f.Length); }

QByteArray TDbfFile::Raw(const QString& field) const
{
    const TDbfField& f = Need(field);
    QByteArray b = Bytes(f);
    if (f.Type == 'C') {
        int n = int(b.size());
        while (n > 0 && b[n - 1] == ' ')
            --n;
        b.truncate(n);
    }
    return b;
}

bool TDbfFile::IsNull(const QString& field) const
{
    const TDbfField& f = Need(field);
    const QByteArray t = Bytes(f).trimmed();
    if (f.Type == 'L')
        return t.isEmpty() || t == "?";
    return t.isEmpty();
}

QString TDbfFile::Text(const QString& field) const { return FromCp866(Raw(field)); }

int TDbfFile::FirstByte(const QString& field) const
{
    const QByteArray b = Raw(field);
    return b.isEmpty() ? 0 : U(b[0]);
}

double TDbfFile::Number(const QString& field) const
{
    const TDbfField& f = Need(field);
    const QByteArray t = Bytes(f).trimmed();
    if (t.isEmpty())
        return 0;
    bool ok = false;
    const double v = t.toDouble(&ok);
    // Qt takes "inf" and "nan" for numbers; dBASE has no such.
    if (!ok || !std::isfinite(v))
        Damaged(QStringLiteral("в поле %1 записи %2 не число").arg(f.Name).arg(current_ + 1));
    return v;
}

int TDbfFile::Integer(const QString& field) const
{
    const double v = Number(field);
    if (!(v > -2147483649.0 && v < 2147483648.0))
        Damaged(QStringLiteral("в поле %1 записи %2 число вне пределов").arg(field.toUpper()).arg(current_ + 1));
    return int(v);
}

bool TDbfFile::Logical(const QString& field) const
{
    const QByteArray t = Bytes(Need(field)).trimmed();
    return !t.isEmpty() && QByteArray("TtYy").contains(t[0]);
}

TDateTime TDbfFile::Date(const QString& field) const
{
    const TDbfField& f = Need(field);
    const QByteArray t = Bytes(f).trimmed();
    if (t.isEmpty())
        return NoDate;
    bool ok = t.size() == 8;
    const int ymd = ok ? t.toInt(&ok) : 0;
    TDateTime d = 0;
    if (!ok || !TryEncodeDate(ymd / 10000, ymd / 100 % 100, ymd % 100, d))
        Damaged(QStringLiteral("в поле %1 записи %2 не дата").arg(f.Name).arg(current_ + 1));
    return d;
}

QString FindFileNoCase(const QString& folder, const QString& name)
{
    const QStringList found = FindFilesNoCase(folder, name);
    return found.isEmpty() ? QString() : found.first();
}

QStringList FindFilesNoCase(const QString& folder, const QString& pattern)
{
    QDir dir(folder);
    dir.setNameFilters({pattern});
    dir.setFilter(QDir::Files | QDir::Hidden);
    QStringList names = dir.entryList();
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return a.toUpper() < b.toUpper(); });
    QStringList out;
    for (const QString& n : names)
        out << dir.filePath(n);
    return out;
}
