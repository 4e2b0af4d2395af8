// The Clipper memory-file reader on any bytes. A file is refused only for
// an unknown type letter, with the reader's message naming the variable;
// what it accepts, written again as a memory file, reads back as the same
// variables: the same names, type letters and values (dates to within the
// rounding of the Julian day).

#include "FuzzSupport.h"

#include "foundation/ClMem.h"
#include "foundation/TaggedStream.h"
#include "platform/Codec.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace {

constexpr double kJulianDayZero = 2415019.0;

QByteArray Header(const QString& name, char letter, int byte16, int byte17)
{
    QByteArray h(32, '\0');
    const QByteArray n = ToCp866(name).left(10);
    std::memcpy(h.data(), n.constData(), size_t(n.size()));
    // Clipper sets the top bit; the reader ignores it.
    h[11] = char(letter | 0x80);
    h[16] = char(byte16);
    h[17] = char(byte17);
    return h;
}

QByteArray Double(double v)
{
    TMemoryStream s;
    WriteDouble(s, v);
    return s.Bytes();
}

QByteArray Write(const TClipperMVA& list)
{
    QByteArray file;
    for (int i = 0; i < list.Count(); ++i) {
        const TClipperMemVar& v = list.Items(i);
        switch (v.VarType) {
        case 'C': {
            QByteArray text = ToCp866(v.Value.AsString());
            // The NUL is counted when there is room for it.
            if (text.size() < 0xFFFF)
                text.append('\0');
            file += Header(v.Name, 'C', text.size() & 0xFF, text.size() >> 8) + text;
            break;
        }
        case 'I': file += Header(v.Name, 'N', 10, 0) + Double(v.Value.AsInteger()); break;
        // With decimals, so that a whole number stays a float.
        case 'N': file += Header(v.Name, 'N', 10, 2) + Double(v.Value.AsDouble()); break;
        case 'D': {
            const double date = v.Value.AsDate();
            double julian = date + kJulianDayZero;
            // A date at the Julian day zero is written just after it, as 0 is no date.
            if (!(julian > 0) && date != NoDate)
                julian = DBL_TRUE_MIN;
            file += Header(v.Name, 'D', 8, 0) + Double(julian);
            break;
        }
        case 'B': file += Header(v.Name, 'L', 1, 0) + QByteArray(1, v.Value.AsBoolean() ? '\1' : '\0'); break;
        default: FuzzFail("a file makes only the types C, I, N, D and B", v.Name);
        }
    }
    return file;
}

bool SameDate(double a, double b)
{
    if (std::memcmp(&a, &b, sizeof a) == 0)
        return true;
    return std::fabs(a - b) <= 4 * DBL_EPSILON * (std::fabs(a) + kJulianDayZero);
}

QString Show(const TClipperMVA& list, int i)
{
    const TClipperMemVar& v = list.Items(i);
    return v.Name + QLatin1Char(' ') + QLatin1Char(v.VarType) + QLatin1Char(' ') + FuzzShow(v.Value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TClipperMVA list;
    try {
        LoadClipperMemBytes(bytes, list);
    } catch (const EAppException& e) {
        FuzzCheck(e.Message().startsWith(QStringLiteral("Unknown Clipper MemoVar \""))
                && e.Message().contains(QStringLiteral("\"; Type: \"")),
            "an unknown type is refused with the reader's message", e.Message());
        return 0;
    }
    FuzzCheck(list.Count() <= bytes.size() / 32, "every variable has its header");

    TClipperMVA again;
    LoadClipperMemBytes(Write(list), again);
    FuzzCheck(again.Count() == list.Count(), "a written file reads back every variable",
        QStringLiteral("%1 of %2").arg(again.Count()).arg(list.Count()));
    for (int i = 0; i < list.Count(); ++i) {
        const TClipperMemVar& a = list.Items(i);
        const TClipperMemVar& b = again.Items(i);
        const bool same = a.Name == b.Name && a.VarType == b.VarType
            && (a.VarType == 'D' ? SameDate(a.Value.AsDate(), b.Value.AsDate()) : FuzzSameValue(a.Value, b.Value));
        FuzzCheck(same, "a variable reads back as written", Show(list, i) + QStringLiteral(" / ") + Show(again, i));
    }
    return 0;
}
