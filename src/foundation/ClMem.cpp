#include "foundation/ClMem.h"

#include "foundation/TaggedStream.h"
#include "platform/Codec.h"
#include "platform/Exceptions.h"
#include "platform/Rounding.h"
#include "platform/SysUtils.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr int kHeaderSize = 32;
constexpr int kNameField = 11;
constexpr int kNameLength = 10;
// Julian day of 30.12.1899, day 0 of TDateTime.
constexpr double kJulianDayZero = 2415019.0;

char TypeLetterOf(const QString& name, const Variant& value)
{
    switch (value.Type()) {
    case VarType::Boolean: return 'B';
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency: return 'N';
    case VarType::Date: return 'D';
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::Byte: return 'I';
    case VarType::String: return 'C';
    default: throw EConvertError(QStringLiteral("Unknown VarType: ") + name);
    }
}

// A control byte would cut or hide the message; it is shown as #NN.
QString LetterText(char letter)
{
    const auto code = static_cast<unsigned char>(letter);
    return code < 0x20 || code == 0x7F ? QStringLiteral("#%1").arg(code) : QString(QLatin1Char(letter));
}

// Clipper writes whole numbers as doubles with no decimals; one beyond the
// 32-bit range has no integer type to go to and stays a float.
Variant NumberValue(double v, int decimals)
{
    if (decimals == 0 && std::isfinite(v)) {
        const double r = RoundHalfEven(v);
        if (r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max())
            return Variant(static_cast<int>(r));
    }
    return Variant(v);
}

// An empty Clipper date holds 0, which is no date rather than 4713 BC.
Variant DateValue(double julianDay) { return Variant::FromDate(julianDay > 0 ? julianDay - kJulianDayZero : NoDate); }

TObject* HeldArray(const TClipperMemVar& item)
{
    if (item.VarType != 'A')
        throw EAppException(Format(QStringLiteral("MemVar \"%s\" is'not array"), item.Name));
    return item.Array.get();
}

} // namespace

TClipperMVA::~TClipperMVA() { Clear(); }

int TClipperMVA::IndexOf(const QString& name) const
{
    const QString key = name.toUpper();
    if (caseSensitive_) {
        for (int i = Count() - 1; i >= 0; --i)
            if (items_[i]->Name == key)
                return i;
        return -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (items_[i]->Name.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const TClipperMemVar& TClipperMVA::Found(const QString& name) const
{
    const int i = IndexOf(name);
    if (i < 0)
        throw EAppException(Format(QStringLiteral("MemVar \"%s\" not found"), name));
    return *items_[i];
}

Variant TClipperMVA::GetValue(const QString& name) const { return Found(name).Value; }

void TClipperMVA::SetValue(const QString& name, const Variant& value)
{
    const int i = IndexOf(name);
    if (value.IsNull()) {
        if (i >= 0)
            items_.erase(items_.begin() + i);
        return;
    }
    const char letter = TypeLetterOf(name, value);
    TClipperMemVar* item;
    if (i >= 0) {
        item = items_[i].get();
    } else {
        items_.push_back(std::make_unique<TClipperMemVar>());
        item = items_.back().get();
        item->Name = name.toUpper();
    }
    item->VarType = letter;
    item->Value = value;
    item->Array.reset();
}

const TClipperMemVar& TClipperMVA::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(QStringLiteral("Index out of range"));
    return *items_[index];
}

TObject* TClipperMVA::Arrays(int index) const { return HeldArray(Items(index)); }

TObject* TClipperMVA::ArrayByName(const QString& name) const { return HeldArray(Found(name)); }

TClipperMemVarList& ClipperMemVarList()
{
    static TClipperMemVarList list;
    return list;
}

void LoadClipperMemStream(TStream& stream, TClipperMVA& list)
{
    for (;;) {
        char header[kHeaderSize];
        if (stream.Read(header, kHeaderSize) < kHeaderSize)
            return;
        const QString name = FromCp866(QByteArray(header, static_cast<int>(qstrnlen(header, kNameLength))));
        static_assert(kNameLength < kNameField);
        const char letter = static_cast<char>(header[11] & 0x7F);
        const int64_t left = stream.Size() - stream.Position();
        Variant value;
        switch (letter) {
        case 'C': {
            const int length = static_cast<unsigned char>(header[16]) + 256 * static_cast<unsigned char>(header[17]);
            if (left < length)
                return;
            QByteArray text(length, '\0');
            stream.ReadBuffer(text.data(), length);
            value = FromCp866(text.left(static_cast<int>(qstrnlen(text.constData(), length))));
            break;
        }
        case 'D':
            if (left < 8)
                return;
            value = DateValue(ReadDouble(stream));
            break;
        case 'L':
            if (left < 1)
                return;
            value = Variant(ReadByte(stream) != 0);
            break;
        case 'N':
            if (left < 8)
                return;
            value = NumberValue(ReadDouble(stream), static_cast<unsigned char>(header[17]));
            break;
        default:
            throw EAppException(
                Format(QStringLiteral("Unknown Clipper MemoVar \"%s\"; Type: \"%s\""), name, LetterText(letter)));
        }
        list.SetValue(name, value);
    }
}

void LoadClipperMemFile(const QString& fileName, TClipperMVA& list)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadClipperMemStream(stream, list);
}

void LoadClipperMemBytes(const QByteArray& bytes, TClipperMVA& list)
{
    TMemoryStream stream(bytes);
    LoadClipperMemStream(stream, list);
}
