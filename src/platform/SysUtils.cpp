#include "platform/SysUtils.h"
#include "platform/Clock.h"
#include "platform/Exceptions.h"
#include "platform/FormatSettings.h"
#include "platform/Rounding.h"

#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <cstdlib>

// ---------------------------------------------------------------- integers

QString IntToStr(int64_t value) { return QString::number(value); }

QString IntToHex(int64_t value, int digits)
{
    QString s = QString::number(static_cast<quint64>(value), 16).toUpper();
    if (value < 0 && digits <= 8 && s.size() > 8 && s.startsWith(QLatin1String("FFFFFFFF")))
        s = s.mid(8);
    while (s.size() < digits)
        s.prepend(QLatin1Char('0'));
    return s;
}

bool TryStrToInt64(const QString& str, int64_t& out)
{
    const QString s = str.trimmed();
    int i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        neg = s[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < s.size() && s[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == QLatin1Char('0')
        && (s[i + 1] == QLatin1Char('x') || s[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return false;
    quint64 acc = 0;
    const quint64 limit = neg ? 9223372036854775808ULL : 9223372036854775807ULL;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        int d;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            d = c.unicode() - '0';
        else if (base == 16 && c.toUpper() >= QLatin1Char('A') && c.toUpper() <= QLatin1Char('F'))
            d = c.toUpper().unicode() - 'A' + 10;
        else
            return false;
        if (acc > (limit - d) / base)
            return false;
        acc = acc * base + d;
    }
    out = neg ? static_cast<int64_t>(0 - acc) : static_cast<int64_t>(acc);
    return true;
}

bool TryStrToInt(const QString& s, int& out)
{
    int64_t v;
    if (!TryStrToInt64(s, v) || v < INT32_MIN || v > INT32_MAX)
        return false;
    out = static_cast<int>(v);
    return true;
}

int StrToInt(const QString& s)
{
    int v;
    if (!TryStrToInt(s, v))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(s));
    return v;
}

int StrToIntDef(const QString& s, int def)
{
    int v;
    return TryStrToInt(s, v) ? v : def;
}

int64_t StrToInt64(const QString& s)
{
    int64_t v;
    if (!TryStrToInt64(s, v))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(s));
    return v;
}

// ---------------------------------------------------------------- floats

bool TryStrToFloat(const QString& str, double& out)
{
    const QString s = str.trimmed();
    if (s.isEmpty())
        return false;
    QByteArray a;
    a.reserve(s.size());
    int i = 0;
    if (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))
        a.append(static_cast<char>(s[i++].unicode()));
    int digits = 0;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
        a.append(static_cast<char>(s[i++].unicode()));
        ++digits;
    }
    if (i < s.size() && (s[i] == QLatin1Char(',') || s[i] == QLatin1Char('.'))) {
        a.append('.');
        ++i;
        while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
            a.append(static_cast<char>(s[i++].unicode()));
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        a.append('e');
        ++i;
        if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
            a.append(static_cast<char>(s[i++].unicode()));
        int ed = 0;
        while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
            a.append(static_cast<char>(s[i++].unicode()));
            ++ed;
        }
        if (ed == 0)
            return false;
    }
    if (i != s.size())
        return false;
    char* end = nullptr;
    const double v = std::strtod(a.constData(), &end);
    if (end != a.constData() + a.size() || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

double StrToFloat(const QString& s)
{
    double v;
    if (!TryStrToFloat(s, v))
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(s));
    return v;
}

double StrToFloatDef(const QString& s, double def)
{
    double v;
    return TryStrToFloat(s, v) ? v : def;
}

TFloatRec FloatToDecimal(double value, int precision, int decimals)
{
    TFloatRec r;
    if (std::isnan(value)) {
        r.Special = true;
        r.Digits = QStringLiteral("NAN");
        return r;
    }
    if (std::isinf(value)) {
        r.Special = true;
        r.Negative = value < 0;
        r.Digits = QStringLiteral("INF");
        return r;
    }
    r.Negative = std::signbit(value) && value != 0.0;
    if (value == 0.0)
        return r;
    // 18 significant digits first, as the old runtime's extended-precision
    // conversion gave them; then halves away from zero on those digits.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17e", std::fabs(value));
    QByteArray digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits.append(*p);
    const int exp10 = std::atoi(p + 1) + 1; // value = 0.digits * 10^exp10
    if (precision > 18 || precision < 1)
        precision = 18;
    int keep = precision;
    if (decimals >= 0)
        keep = std::min(keep, exp10 + decimals);
    int exponent = exp10;
    if (keep < 0)
        return TFloatRec{r.Negative, 0, QString(), false};
    bool roundUp = keep < digits.size() && digits[keep] >= '5';
    digits.truncate(keep);
    if (roundUp) {
        int k = digits.size() - 1;
        while (k >= 0 && digits[k] == '9') {
            digits[k] = '0';
            --k;
        }
        if (k >= 0) {
            digits[k] = static_cast<char>(digits[k] + 1);
        } else {
            digits.prepend('1');
            ++exponent;
        }
    }
    while (!digits.isEmpty() && digits.endsWith('0'))
        digits.chop(1);
    if (digits.isEmpty())
        return TFloatRec{r.Negative, 0, QString(), false};
    r.Exponent = exponent;
    r.Digits = QString::fromLatin1(digits);
    return r;
}

namespace {

QString SpecialText(const TFloatRec& r)
{
    if (r.Digits == QLatin1String("NAN"))
        return QStringLiteral("NAN");
    return r.Negative ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// Integer digits and fraction digits of a fixed-point rendering.
void SplitFixed(const TFloatRec& r, int decimals, QString& intPart, QString& fracPart)
{
    intPart.clear();
    fracPart.clear();
    const QString& d = r.Digits;
    if (d.isEmpty()) {
        intPart = QStringLiteral("0");
    } else if (r.Exponent <= 0) {
        intPart = QStringLiteral("0");
        fracPart = QString(-r.Exponent, QLatin1Char('0')) + d;
    } else {
        intPart = d.left(r.Exponent);
        while (intPart.size() < r.Exponent)
            intPart.append(QLatin1Char('0'));
        fracPart = d.mid(r.Exponent);
    }
    if (decimals >= 0) {
        if (fracPart.size() > decimals)
            fracPart.truncate(decimals);
        while (fracPart.size() < decimals)
            fracPart.append(QLatin1Char('0'));
    }
}

QString GroupThousands(const QString& intPart)
{
    QString out;
    const int n = intPart.size();
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out.append(FormatSettings().ThousandSeparator);
        out.append(intPart[i]);
    }
    return out;
}

QString FixedText(double value, int decimals, bool thousands)
{
    const TFloatRec r = FloatToDecimal(value, 18, decimals);
    if (r.Special)
        return SpecialText(r);
    QString ip, fp;
    SplitFixed(r, decimals, ip, fp);
    QString s = thousands ? GroupThousands(ip) : ip;
    if (decimals > 0)
        s += FormatSettings().DecimalSeparator + fp;
    if (r.Negative && !r.Digits.isEmpty())
        s.prepend(QLatin1Char('-'));
    return s;
}

QString ExponentText(double value, int precision, int expDigits)
{
    if (precision < 1 || precision > 18)
        precision = 15;
    const TFloatRec r = FloatToDecimal(value, precision);
    if (r.Special)
        return SpecialText(r);
    QString digits = r.Digits.isEmpty() ? QStringLiteral("0") : r.Digits;
    while (digits.size() < precision)
        digits.append(QLatin1Char('0'));
    const int e = r.Digits.isEmpty() ? 0 : r.Exponent - 1;
    QString s = digits.left(1);
    if (precision > 1)
        s += FormatSettings().DecimalSeparator + digits.mid(1);
    QString es = QString::number(std::abs(e));
    while (es.size() < expDigits)
        es.prepend(QLatin1Char('0'));
    s += QLatin1Char('E') + QString(e < 0 ? QLatin1Char('-') : QLatin1Char('+')) + es;
    if (r.Negative)
        s.prepend(QLatin1Char('-'));
    return s;
}

QString GeneralText(double value, int precision)
{
    if (precision < 1 || precision > 18)
        precision = 15;
    const TFloatRec r = FloatToDecimal(value, precision);
    if (r.Special)
        return SpecialText(r);
    if (r.Digits.isEmpty())
        return QStringLiteral("0");
    QString s;
    const QChar sep = FormatSettings().DecimalSeparator;
    if (r.Exponent > precision || r.Exponent < -3) {
        s = r.Digits.left(1);
        if (r.Digits.size() > 1)
            s += sep + r.Digits.mid(1);
        s += QLatin1Char('E') + QString::number(r.Exponent - 1);
    } else {
        QString ip, fp;
        SplitFixed(r, -1, ip, fp);
        s = ip;
        if (!fp.isEmpty())
            s += sep + fp;
    }
    if (r.Negative)
        s.prepend(QLatin1Char('-'));
    return s;
}

QString CurrencyText(double value, int digits)
{
    const TFormatSettings& fs = FormatSettings();
    const QString abs = FixedText(std::fabs(value), digits, true);
    const TFloatRec r = FloatToDecimal(value, 18, digits);
    const bool neg = r.Negative && !r.Digits.isEmpty();
    const QString cur = fs.CurrencyString;
    if (!neg) {
        switch (fs.CurrencyFormat) {
        case 0: return cur + abs;
        case 1: return abs + cur;
        case 2: return cur + QLatin1Char(' ') + abs;
        default: return abs + QLatin1Char(' ') + cur;
        }
    }
    switch (fs.NegCurrFormat) {
    case 5: return QLatin1Char('-') + abs + cur;
    case 8: return QLatin1Char('-') + abs + QLatin1Char(' ') + cur;
    default: return QLatin1Char('-') + abs + QLatin1Char(' ') + cur;
    }
}

} // namespace

QString FloatToStr(double value) { return GeneralText(value, 15); }

QString FloatToStrF(double value, TFloatFormat format, int precision, int digits)
{
    switch (format) {
    case TFloatFormat::ffGeneral: return GeneralText(value, precision);
    case TFloatFormat::ffExponent: return ExponentText(value, precision, digits);
    case TFloatFormat::ffFixed: return FixedText(value, std::clamp(digits, 0, 18), false);
    case TFloatFormat::ffNumber: return FixedText(value, std::clamp(digits, 0, 18), true);
    case TFloatFormat::ffCurrency: return CurrencyText(value, std::clamp(digits, 0, 18));
    }
    return QString();
}

QString CurrToStr(Currency value) { return FloatToStr(value.ToDouble()); }

// ---------------------------------------------------------------- FormatFloat

namespace {

struct FloatSection {
    QString text;
};

QStringList SplitSections(const QString& format)
{
    QStringList out;
    QString cur;
    QChar quote;
    for (const QChar c : format) {
        if (!quote.isNull()) {
            cur += c;
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            cur += c;
        } else if (c == QLatin1Char(';')) {
            out << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    out << cur;
    return out;
}

bool IsPlaceholder(QChar c) { return c == QLatin1Char('0') || c == QLatin1Char('#'); }

QString ApplyFloatSection(const QString& fmt, double value)
{
    // First pass: where the digits go.
    int point = -1, firstZeroInt = -1, intPlaceholders = 0, fracZeros = 0, fracPlaceholders = 0;
    bool thousands = false, scientific = false;
    int expPos = -1, expDigits = 0;
    bool expPlus = false;
    {
        QChar quote;
        for (int i = 0; i < fmt.size(); ++i) {
            const QChar c = fmt[i];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
                continue;
            }
            if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                quote = c;
                continue;
            }
            if (scientific)
                continue;
            if ((c == QLatin1Char('E') || c == QLatin1Char('e')) && i + 1 < fmt.size()
                && (fmt[i + 1] == QLatin1Char('+') || fmt[i + 1] == QLatin1Char('-'))) {
                scientific = true;
                expPos = i;
                expPlus = fmt[i + 1] == QLatin1Char('+');
                int k = i + 2;
                while (k < fmt.size() && fmt[k] == QLatin1Char('0')) {
                    ++expDigits;
                    ++k;
                }
                continue;
            }
            if (c == QLatin1Char('.') && point < 0) {
                point = i;
            } else if (c == QLatin1Char(',') && point < 0) {
                thousands = true;
            } else if (IsPlaceholder(c)) {
                if (point < 0) {
                    ++intPlaceholders;
                    if (c == QLatin1Char('0') && firstZeroInt < 0)
                        firstZeroInt = intPlaceholders;
                } else {
                    ++fracPlaceholders;
                    if (c == QLatin1Char('0'))
                        fracZeros = fracPlaceholders;
                }
            }
        }
    }
    const int minInt = firstZeroInt < 0 ? 0 : intPlaceholders - firstZeroInt + 1;

    QString intDigits, fracDigits, expText;
    bool negative = false;
    if (scientific) {
        const int prec = std::max(1, intPlaceholders + fracPlaceholders);
        const TFloatRec r = FloatToDecimal(value, prec);
        negative = r.Negative && !r.Digits.isEmpty();
        QString d = r.Digits.isEmpty() ? QStringLiteral("0") : r.Digits;
        const int lead = std::max(1, intPlaceholders);
        while (d.size() < lead)
            d.append(QLatin1Char('0'));
        intDigits = d.left(lead);
        fracDigits = d.mid(lead);
        while (fracDigits.size() < fracZeros)
            fracDigits.append(QLatin1Char('0'));
        const int e = r.Digits.isEmpty() ? 0 : r.Exponent - lead;
        QString es = QString::number(std::abs(e));
        while (es.size() < expDigits)
            es.prepend(QLatin1Char('0'));
        expText = (e < 0 ? QStringLiteral("-") : (expPlus ? QStringLiteral("+") : QString())) + es;
    } else {
        const TFloatRec r = FloatToDecimal(value, 18, fracPlaceholders);
        if (r.Special)
            return SpecialText(r);
        negative = r.Negative && !r.Digits.isEmpty();
        SplitFixed(r, -1, intDigits, fracDigits);
        if (intDigits == QLatin1String("0"))
            intDigits.clear();
        while (intDigits.size() < minInt)
            intDigits.prepend(QLatin1Char('0'));
        while (fracDigits.size() < fracZeros)
            fracDigits.append(QLatin1Char('0'));
    }

    // Second pass: literals in place, digits at the placeholders.
    QString out;
    int intSeen = 0, fracSeen = 0;
    const int extra = std::max(0, static_cast<int>(intDigits.size()) - intPlaceholders);
    auto emitIntDigit = [&](int idx) {
        // idx counts from the left of intDigits
        out += intDigits[idx];
        const int fromRight = intDigits.size() - idx - 1;
        if (thousands && fromRight > 0 && fromRight % 3 == 0)
            out += FormatSettings().ThousandSeparator;
    };
    QChar quote;
    bool pointDone = false;
    for (int i = 0; i < fmt.size(); ++i) {
        const QChar c = fmt[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                out += c;
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            continue;
        }
        if (scientific && i == expPos) {
            out += c;
            out += expText;
            i += 1 + expDigits;
            continue;
        }
        if (c == QLatin1Char(',') && !pointDone)
            continue;
        if (c == QLatin1Char('.') && i == point) {
            pointDone = true;
            if (!fracDigits.isEmpty())
                out += FormatSettings().DecimalSeparator;
            continue;
        }
        if (IsPlaceholder(c)) {
            if (!pointDone) {
                ++intSeen;
                if (intSeen == 1)
                    for (int k = 0; k < extra; ++k)
                        emitIntDigit(k);
                const int slot = intSeen - (intPlaceholders - (static_cast<int>(intDigits.size()) - extra));
                // slot is 1-based within the digits that fall on placeholders
                if (slot >= 1)
                    emitIntDigit(extra + slot - 1);
            } else {
                if (fracSeen < fracDigits.size())
                    out += fracDigits[fracSeen];
                ++fracSeen;
            }
            continue;
        }
        out += c;
    }
    if (negative)
        out.prepend(QLatin1Char('-'));
    return out;
}

} // namespace

QString FormatFloat(const QString& format, double value)
{
    if (format.isEmpty())
        return FloatToStr(value);
    const QStringList sections = SplitSections(format);
    auto nonEmpty = [&](int i) { return i < sections.size() && !sections[i].isEmpty(); };
    if (value == 0.0 && nonEmpty(2))
        return ApplyFloatSection(sections[2], 0.0);
    if (value < 0 && nonEmpty(1))
        return ApplyFloatSection(sections[1], -value);
    QString s = ApplyFloatSection(sections[0], value);
    if (nonEmpty(2) && FloatToDecimal(value, 18, 18).Digits.isEmpty())
        return ApplyFloatSection(sections[2], 0.0);
    return s;
}

// ---------------------------------------------------------------- dates

namespace {

const char* const kShortMonths[12]
    = {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"};
const char* const kLongMonths[12] = {
    "Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};
const char* const kShortDays[7] = {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"};
const char* const kLongDays[7] = {"воскресенье", "понедельник", "вторник", "среда", "четверг", "пятница", "суббота"};

QString Num(int v, int width)
{
    QString s = QString::number(v);
    while (s.size() < width)
        s.prepend(QLatin1Char('0'));
    return s;
}

void AppendFormatted(QString& out, const QString& fmt, TDateTime value, int depth)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, sec, ms);
    const TFormatSettings& fs = FormatSettings();
    bool lastWasHour = false;
    int i = 0;
    const int n = fmt.size();
    auto run = [&](QChar ch) {
        int k = i;
        while (k < n && fmt[k].toLower() == ch)
            ++k;
        return k - i;
    };
    while (i < n) {
        const QChar c = fmt[i];
        const QChar lc = c.toLower();
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            int k = i + 1;
            while (k < n && fmt[k] != c)
                out += fmt[k++];
            i = k + 1;
            continue;
        }
        if (lc == QLatin1Char('d')) {
            const int r = run(lc);
            i += r;
            if (r == 1)
                out += QString::number(d);
            else if (r == 2)
                out += Num(d, 2);
            else if (r == 3)
                out += QString::fromUtf8(kShortDays[DayOfWeek(value) - 1]);
            else if (r == 4)
                out += QString::fromUtf8(kLongDays[DayOfWeek(value) - 1]);
            else if (r == 5 && depth == 0)
                AppendFormatted(out, fs.ShortDateFormat, value, depth + 1);
            else if (depth == 0)
                AppendFormatted(out, fs.LongDateFormat, value, depth + 1);
            lastWasHour = false;
            continue;
        }
        if (lc == QLatin1Char('m')) {
            const int r = run(lc);
            i += r;
            if (lastWasHour && r <= 2) {
                out += r == 1 ? QString::number(mi) : Num(mi, 2);
            } else if (r == 1) {
                out += QString::number(mo);
            } else if (r == 2) {
                out += Num(mo, 2);
            } else if (r == 3) {
                if (mo >= 1)
                    out += QString::fromUtf8(kShortMonths[mo - 1]);
            } else if (mo >= 1) {
                out += QString::fromUtf8(kLongMonths[mo - 1]);
            }
            lastWasHour = false;
            continue;
        }
        if (lc == QLatin1Char('y')) {
            const int r = run(lc);
            i += r;
            out += r <= 2 ? Num(y % 100, 2) : Num(y, 4);
            lastWasHour = false;
            continue;
        }
        if (lc == QLatin1Char('h')) {
            const int r = run(lc);
            i += r;
            out += r == 1 ? QString::number(h) : Num(h, 2);
            lastWasHour = true;
            continue;
        }
        if (lc == QLatin1Char('n')) {
            const int r = run(lc);
            i += r;
            out += r == 1 ? QString::number(mi) : Num(mi, 2);
            lastWasHour = false;
            continue;
        }
        if (lc == QLatin1Char('s')) {
            const int r = run(lc);
            i += r;
            out += r == 1 ? QString::number(sec) : Num(sec, 2);
            lastWasHour = false;
            continue;
        }
        if (lc == QLatin1Char('z')) {
            const int r = run(lc);
            i += r;
            out += r == 1 ? QString::number(ms) : Num(ms, 3);
            continue;
        }
        if (lc == QLatin1Char('t') && depth == 0) {
            const int r = run(lc);
            i += r;
            AppendFormatted(out, r == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, value, depth + 1);
            continue;
        }
        if (lc == QLatin1Char('c') && depth == 0) {
            ++i;
            AppendFormatted(out, fs.ShortDateFormat, value, depth + 1);
            if (TimeOf(value) != 0.0) {
                out += QLatin1Char(' ');
                AppendFormatted(out, fs.LongTimeFormat, value, depth + 1);
            }
            continue;
        }
        if (c == QLatin1Char('/')) {
            out += fs.DateSeparator;
            ++i;
            continue;
        }
        if (c == QLatin1Char(':')) {
            out += fs.TimeSeparator;
            ++i;
            continue;
        }
        out += c;
        ++i;
    }
}

// Splits "12.05.2024" into its numbers; any of . / - separates.
bool SplitNumbers(const QString& s, QChar sep1, QList<int>& parts)
{
    parts.clear();
    QString cur;
    for (const QChar c : s) {
        if (c.isDigit() && c.unicode() < 128) {
            cur += c;
        } else if (c == sep1 || c == QLatin1Char('/') || c == QLatin1Char('-') || c == QLatin1Char('.')) {
            if (cur.isEmpty() || cur.size() > 4)
                return false;
            parts << cur.toInt();
            cur.clear();
        } else {
            return false;
        }
    }
    if (cur.isEmpty() || cur.size() > 4)
        return false;
    parts << cur.toInt();
    return true;
}

int CurrentYear()
{
    int y, m, d;
    DecodeDate(Date(), y, m, d);
    return y;
}

} // namespace

QString FormatDateTime(const QString& format, TDateTime value)
{
    QString out;
    AppendFormatted(out, format.isEmpty() ? QStringLiteral("c") : format, value, 0);
    return out;
}

namespace {
// The program's "no date" is day 0; it shows as no text, never as 30.12.1899.
bool IsDayZero(TDateTime value) { return std::trunc(value) == 0; }
} // namespace

QString DateToStr(TDateTime value)
{
    return IsDayZero(value) ? QString() : FormatDateTime(FormatSettings().ShortDateFormat, value);
}

QString TimeToStr(TDateTime value) { return FormatDateTime(FormatSettings().LongTimeFormat, value); }

QString DateTimeToStr(TDateTime value)
{
    if (IsDayZero(value))
        return value == 0 ? QString() : TimeToStr(value);
    return FormatDateTime(QStringLiteral("c"), value);
}

bool TryStrToDate(const QString& str, TDateTime& out)
{
    const QString s = str.trimmed();
    QList<int> p;
    if (!SplitNumbers(s, FormatSettings().DateSeparator, p))
        return false;
    int d, m, y;
    if (p.size() == 3) {
        d = p[0];
        m = p[1];
        y = p[2];
        // Only the year may have more than two digits.
        const QStringList texts = s.split(QRegularExpression(QStringLiteral("[./-]")));
        if (texts.size() == 3 && texts[2].size() <= 2) {
            const int window = FormatSettings().TwoDigitYearCenturyWindow;
            const int pivot = CurrentYear() - window;
            y += (pivot / 100) * 100;
            if (y < pivot)
                y += 100;
        }
    } else if (p.size() == 2) {
        d = p[0];
        m = p[1];
        y = CurrentYear();
    } else {
        return false;
    }
    return TryEncodeDate(y, m, d, out);
}

TDateTime StrToDate(const QString& s)
{
    TDateTime d;
    if (!TryStrToDate(s, d))
        throw EConvertError(QStringLiteral("'%1' is not a valid date").arg(s));
    return d;
}

bool TryStrToTime(const QString& str, TDateTime& out)
{
    const QStringList parts = str.trimmed().split(FormatSettings().TimeSeparator);
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    int v[3] = {0, 0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        const QString& t = parts[i];
        if (t.isEmpty() || t.size() > 2)
            return false;
        for (const QChar c : t)
            if (!(c.isDigit() && c.unicode() < 128))
                return false;
        v[i] = t.toInt();
    }
    return TryEncodeTime(v[0], v[1], v[2], 0, out);
}

TDateTime StrToTime(const QString& s)
{
    TDateTime t;
    if (!TryStrToTime(s, t))
        throw EConvertError(QStringLiteral("'%1' is not a valid time").arg(s));
    return t;
}

bool TryStrToDateTime(const QString& str, TDateTime& out)
{
    const QString s = str.trimmed();
    const int sp = s.indexOf(QLatin1Char(' '));
    if (sp < 0) {
        if (s.contains(FormatSettings().TimeSeparator))
            return TryStrToTime(s, out);
        return TryStrToDate(s, out);
    }
    TDateTime d, t;
    if (!TryStrToDate(s.left(sp), d) || !TryStrToTime(s.mid(sp + 1), t))
        return false;
    out = d + t;
    return true;
}

TDateTime StrToDateTime(const QString& s)
{
    TDateTime d;
    if (!TryStrToDateTime(s, d))
        throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(s));
    return d;
}

// ---------------------------------------------------------------- Format

namespace {

QString IntegerArgText(const Variant& v, bool& ok)
{
    ok = true;
    if (v.IsOrdinal() || v.Type() == VarType::Boolean)
        return IntToStr(v.AsInt64());
    if (v.Type() == VarType::String) {
        int64_t n;
        if (TryStrToInt64(v.AsString(), n))
            return IntToStr(n);
        ok = false;
        return v.AsString();
    }
    if (v.IsNumeric()) {
        const double d = v.AsDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.2e18)
            return IntToStr(static_cast<int64_t>(d));
        ok = false;
        return FloatToStr(d);
    }
    ok = false;
    return v.IsNull() ? QString() : v.AsString();
}

bool FloatArg(const Variant& v, double& d)
{
    if (v.IsNumeric() || v.Type() == VarType::Boolean) {
        d = v.AsDouble();
        return true;
    }
    if (v.Type() == VarType::String)
        return TryStrToFloat(v.AsString(), d);
    return false;
}

QString SafeText(const Variant& v)
{
    if (v.IsNull())
        return QString();
    try {
        return v.AsString();
    } catch (const Exception&) {
        return QString();
    }
}

} // namespace

QString FormatList(const QString& format, const QList<Variant>& args)
{
    QString out;
    int argIndex = 0;
    const int n = format.size();
    int i = 0;
    while (i < n) {
        const QChar c = format[i];
        if (c != QLatin1Char('%')) {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 < n && format[i + 1] == QLatin1Char('%')) {
            out += QLatin1Char('%');
            i += 2;
            continue;
        }
        const int start = i;
        ++i;
        auto readNumber = [&](int& value) {
            if (i < n && format[i] == QLatin1Char('*')) {
                ++i;
                value = 0;
                if (argIndex < args.size()) {
                    double d;
                    if (FloatArg(args[argIndex], d) && std::fabs(d) < 100000)
                        value = static_cast<int>(d);
                    ++argIndex;
                }
                return true;
            }
            bool any = false;
            value = 0;
            while (i < n && format[i].isDigit() && format[i].unicode() < 128) {
                value = std::min(value * 10 + (format[i].unicode() - '0'), 100000);
                ++i;
                any = true;
            }
            return any;
        };
        int num = 0;
        const int save = i;
        if (readNumber(num) && i < n && format[i] == QLatin1Char(':')) {
            argIndex = num;
            ++i;
        } else {
            i = save;
        }
        bool left = false;
        if (i < n && format[i] == QLatin1Char('-')) {
            left = true;
            ++i;
        }
        int width = -1, prec = -1;
        int tmp;
        if (readNumber(tmp))
            width = tmp;
        if (i < n && format[i] == QLatin1Char('.')) {
            ++i;
            prec = readNumber(tmp) ? tmp : 0;
        }
        if (i >= n) {
            out += format.mid(start);
            break;
        }
        const QChar type = format[i].toLower();
        ++i;
        const Variant arg = argIndex < args.size() ? args[argIndex] : Variant();
        const bool have = argIndex < args.size();
        ++argIndex;
        QString text;
        try {
            if (!have) {
                text.clear();
            } else if (type == QLatin1Char('d') || type == QLatin1Char('u')) {
                bool ok;
                text = IntegerArgText(arg, ok);
                if (ok && prec > 0) {
                    const bool neg = text.startsWith(QLatin1Char('-'));
                    QString digits = neg ? text.mid(1) : text;
                    while (digits.size() < prec)
                        digits.prepend(QLatin1Char('0'));
                    text = neg ? QLatin1Char('-') + digits : digits;
                }
            } else if (type == QLatin1Char('x') || type == QLatin1Char('p')) {
                if (arg.IsOrdinal() || arg.Type() == VarType::Boolean)
                    text = IntToHex(arg.AsInt64(), prec > 0 ? prec : (type == QLatin1Char('p') ? 8 : 0));
                else
                    text = SafeText(arg);
            } else if (type == QLatin1Char('s')) {
                text = SafeText(arg);
                if (prec >= 0 && text.size() > prec)
                    text.truncate(prec);
            } else if (type == QLatin1Char('f') || type == QLatin1Char('n') || type == QLatin1Char('m')
                || type == QLatin1Char('e') || type == QLatin1Char('g')) {
                double d;
                if (!FloatArg(arg, d)) {
                    text = SafeText(arg);
                } else if (type == QLatin1Char('f')) {
                    text = FloatToStrF(d, TFloatFormat::ffFixed, 18, prec < 0 ? 2 : prec);
                } else if (type == QLatin1Char('n')) {
                    text = FloatToStrF(d, TFloatFormat::ffNumber, 18, prec < 0 ? 2 : prec);
                } else if (type == QLatin1Char('m')) {
                    text = FloatToStrF(
                        d, TFloatFormat::ffCurrency, 18, prec < 0 ? FormatSettings().CurrencyDecimals : prec);
                } else if (type == QLatin1Char('e')) {
                    text = FloatToStrF(d, TFloatFormat::ffExponent, prec < 0 ? 15 : prec, 3);
                } else {
                    text = FloatToStrF(d, TFloatFormat::ffGeneral, prec < 0 ? 15 : prec, 3);
                }
            } else {
                // Not a format type: keep the text as it stands.
                text = format.mid(start, i - start);
                --argIndex;
            }
        } catch (const Exception&) {
            text = SafeText(arg);
        }
        if (width > text.size()) {
            const QString pad(width - text.size(), QLatin1Char(' '));
            text = left ? text + pad : pad + text;
        }
        out += text;
    }
    return out;
}
