#include "data/CalcMethods.h"
#include "db/Cursor.h"
#include "foundation/TypeList.h"
#include "platform/Codec.h"
#include "platform/Exceptions.h"

#include <QtEndian>
#include <span>

namespace {

std::span<const TCalcMethodInfo> MethodTable(bool accrual)
{
    if (accrual)
        return AccrualCalcMethods;
    return DeductionCalcMethods;
}

qint32 ReadInt32(const QByteArray& blob, qsizetype offset)
{
    return qFromLittleEndian<qint32>(blob.constData() + offset);
}

void AppendInt32(QByteArray& blob, qint32 value)
{
    char bytes[4];
    qToLittleEndian<qint32>(value, bytes);
    blob.append(bytes, 4);
}

int Sign(qint64 v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// Upper case with "Ё" folded into "Е": the primary letters of a name.
QString PrimaryLetters(const QString& s)
{
    QString u = s.toUpper();
    u.replace(QChar(0x0401), QChar(0x0415));
    return u;
}

} // namespace

const TCalcMethodInfo* FindCalcMethod(int code, bool accrual)
{
    for (const TCalcMethodInfo& m : MethodTable(accrual))
        if (m.Code == code)
            return &m;
    return nullptr;
}

QString GetCalcMethodName(int code, bool accrual)
{
    const TCalcMethodInfo* m = FindCalcMethod(code, accrual);
    return m ? m->NameText() : QStringLiteral("Формула не найдена");
}

void FillCalcMethods(TStringItems& items, bool accrual)
{
    items.clear();
    items.append({QStringLiteral("???"), 0});
    for (const TCalcMethodInfo& m : MethodTable(accrual))
        items.append({m.NameText(), m.Code});
}

void FillPaySystems(QStringList& strings)
{
    strings.clear();
    for (const char* name : PaySystemNames)
        strings.append(QString::fromUtf8(name));
}

// ---------------------------------------------------------------- BLOB codecs

void WriteIntegerListBlob(QByteArray& blob, const T_yqIntegerList& list)
{
    const int count = list.GetCount();
    blob.clear();
    blob.reserve(4 * (count + 1));
    AppendInt32(blob, count);
    for (int i = 0; i < count; ++i)
        AppendInt32(blob, list.GetInteger(i));
}

void ReadIntegerListBlob(const QByteArray& blob, T_yqIntegerList& list)
{
    list.Clear();
    if (blob.size() < 8)
        return;
    const qint32 count = ReadInt32(blob, 0);
    // Checked before anything is read: a damaged count must not read past
    // the BLOB or allocate for it.
    if (count < 0 || blob.size() / 4 - 1 != count)
        throw EAppException(QStringLiteral("Ошибка данных таблицы"));
    list.SetCapacity(count);
    for (qint32 i = 0; i < count; ++i)
        list.AddInteger(ReadInt32(blob, 4 + 4 * qsizetype(i)));
}

void WriteTextBlob(QByteArray& blob, const QString& text)
{
    const QByteArray bytes = ToCp1251(text);
    blob.clear();
    blob.reserve(4 + bytes.size());
    AppendInt32(blob, static_cast<qint32>(bytes.size()));
    blob.append(bytes);
}

QString ReadTextBlob(const QByteArray& blob)
{
    if (blob.isEmpty())
        return QString();
    if (blob.size() < 4 || qint64(ReadInt32(blob, 0)) + 4 != blob.size())
        throw EAppException(QStringLiteral("Ошибка чтения текста из BLOB поля"));
    return FromCp1251(blob.mid(4));
}

// ---------------------------------------------------------------- employees

void ResetCalcDate(qint32 tabn)
{
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    if (!sr.FindKey({Variant(tabn)}))
        throw EAppException(QStringLiteral("Табельный номер №%1 в справочнике не найден").arg(tabn));
    sr.Edit();
    sr.FieldByName(QStringLiteral("DATERAS")).SetDateTime(0);
    sr.Post();
}

// ---------------------------------------------------------------- sort orders

int CompareTextIgnoreCase(const QString& a, const QString& b)
{
    const int primary = PrimaryLetters(a).compare(PrimaryLetters(b));
    if (primary != 0)
        return Sign(primary);
    return Sign(a.toUpper().compare(b.toUpper()));
}

int CompareTabn(const TTabnSortKey& a, const TTabnSortKey& b, int mode)
{
    int r = 0;
    switch (mode) {
    case 1: r = Sign(qint64(a.TabNum) - b.TabNum); break;
    case 2: r = CompareTextIgnoreCase(a.Fio, b.Fio); break;
    case 3: r = Sign(qint64(a.SNum) - b.SNum); break;
    default: break;
    }
    if (r == 0)
        r = Sign(qint64(a.SNum) - b.SNum);
    if (r == 0)
        r = CompareTextIgnoreCase(a.Fio, b.Fio);
    return r;
}

int CompareDops(const TDopSortKey& a, const TDopSortKey& b, int mode)
{
    if (a.Uder != b.Uder)
        return a.Uder ? 1 : -1;
    int r = 0;
    switch (mode) {
    case 1: r = Sign(qint64(a.DopNum) - b.DopNum); break;
    case 2: r = CompareTextIgnoreCase(a.Name, b.Name); break;
    case 3: r = Sign(qint64(a.SNum) - b.SNum); break;
    case 4: {
        const auto basic = [](qint32 tip) { return tip >= 1 && tip <= 3; };
        if (basic(a.Tip) && basic(b.Tip))
            r = Sign(qint64(a.Tip) - b.Tip);
        if (r == 0)
            r = Sign(qint64(a.StadiaF) - b.StadiaF);
        break;
    }
    default: break;
    }
    if (r == 0)
        r = Sign(qint64(a.SNum) - b.SNum);
    if (r == 0)
        r = CompareTextIgnoreCase(a.Name, b.Name);
    return r;
}
