#include "foundation/StrFuncs.h"

#include "platform/Codec.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"
#include "platform/Variant.h"

int FindSubStrFrom(const QString& Sub, const QString& S, int Start)
{
    if (Start < 1)
        Start = 1;
    if (Sub.isEmpty() || S.isEmpty() || S.size() - (Start - 1) < Sub.size())
        return 0;
    return static_cast<int>(S.indexOf(Sub, Start - 1, Qt::CaseSensitive)) + 1;
}

int FindSubStr(const QString& Sub, const QString& S) { return FindSubStrFrom(Sub, S, 1); }

int PosText(const QString& Sub, const QString& S)
{
    if (Sub.isEmpty())
        return 0;
    return static_cast<int>(S.toUpper().indexOf(Sub.toUpper())) + 1;
}

QString UpperStr(const QString& S) { return S.toUpper(); }

QString OemToAnsiStr(const QByteArray& S) { return FromCp866(S); }

QString OemToAnsiStr(const QString& S) { return S.isEmpty() ? QString() : FromCp866(ToCp1251(S)); }

void ReplaceCharsWithFirst(QString& S, const QString& Chars)
{
    if (Chars.isEmpty())
        return;
    const QChar first = Chars.at(0);
    for (QChar& c : S)
        if (Chars.contains(c))
            c = first;
}

int CountCharsOf(const QString& S, const QString& Chars)
{
    int n = 0;
    for (const QChar c : S)
        if (Chars.contains(c))
            ++n;
    return n;
}

QString MakeUniqueCopy(const QString& S) { return QString(S.constData(), S.size()); }

QString LeftStr(const QString& S, int N) { return N <= 0 ? QString() : S.left(N); }

QString RightStr(const QString& S, int N) { return N <= 0 ? QString() : S.right(N); }

QString PadString(const QString& S, int Len, QChar PadChar, bool PadRight)
{
    if (Len <= 0)
        return QString();
    if (S.size() >= Len)
        return S.left(Len);
    const QString fill(Len - S.size(), PadChar);
    return PadRight ? S + fill : fill + S;
}

QString Pad0(const Variant& Value, int Len)
{
    // Every integer kind is taken, not only the two the old code named: a
    // short or a long number is as good a number as an int.
    if (!Value.IsOrdinal() && !Value.IsString())
        throw EConvertError(QStringLiteral("Pad0: Неверный тип данных"));
    return PadString(Value.AsString(), Len, QLatin1Char('0'));
}

QString DoublePercentSigns(const QString& S)
{
    QString r = S;
    r.replace(QLatin1Char('%'), QLatin1String("%%"));
    return r;
}

QString IntToHex8(int32_t Value)
{
    return QStringLiteral("%1").arg(static_cast<uint32_t>(Value), 8, 16, QLatin1Char('0')).toUpper();
}

bool MatchWild(const QString& S, const QString& Mask, bool IgnoreCase)
{
    if (Mask == S)
        return true;
    QString m = Mask;
    while (m.contains(QLatin1String("**")))
        m.replace(QLatin1String("**"), QLatin1String("*"));
    if (m == QLatin1String("*"))
        return true;
    if (S.isEmpty() || m.isEmpty())
        return false;
    const QString s = IgnoreCase ? S.toUpper() : S;
    if (IgnoreCase)
        m = m.toUpper();

    // Greedy scan; on a mismatch the last "*" takes one more character.
    qsizetype si = 0, mi = 0, starMi = -1, starSi = 0;
    while (si < s.size()) {
        if (mi < m.size() && m[mi] == QLatin1Char('*')) {
            starMi = mi++;
            starSi = si;
        } else if (mi < m.size() && (m[mi] == QLatin1Char('?') || m[mi] == s[si])) {
            ++mi;
            ++si;
        } else if (starMi >= 0) {
            mi = starMi + 1;
            si = ++starSi;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == QLatin1Char('*'))
        ++mi;
    return mi == m.size();
}
