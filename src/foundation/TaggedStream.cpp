#include "foundation/TaggedStream.h"

#include "platform/Codec.h"
#include "platform/Exceptions.h"

#include <QtEndian>

#include <cstring>
#include <limits>

namespace {

constexpr uint8_t ShortStringTag = 6;
constexpr uint8_t LongStringTag = 12;

[[noreturn]] void ReadStringError() { throw EReadError(QStringLiteral("ReadString: Ошибка чтения")); }

} // namespace

void WriteStr(TStream& stream, const QString& s)
{
    const QByteArray bytes = ToCp1251(s);
    if (bytes.size() > std::numeric_limits<int32_t>::max())
        throw EWriteError(QStringLiteral("Stream write error"));
    const auto length = static_cast<int32_t>(bytes.size());
    if (length > 255) {
        WriteByte(stream, LongStringTag);
        WriteInteger(stream, length);
    } else {
        WriteByte(stream, ShortStringTag);
        WriteByte(stream, static_cast<uint8_t>(length));
    }
    stream.WriteBuffer(bytes.constData(), length);
}

QString ReadString(TStream& stream)
{
    int64_t length = 0;
    switch (ReadByte(stream)) {
    case ShortStringTag: length = ReadByte(stream); break;
    case LongStringTag:
        length = ReadInteger(stream);
        // A corrupt length must not become a huge allocation.
        if (length < 0 || length > stream.Size() - stream.Position())
            ReadStringError();
        break;
    default: ReadStringError();
    }
    QByteArray bytes(static_cast<qsizetype>(length), '\0');
    stream.ReadBuffer(bytes.data(), length);
    return FromCp1251(bytes);
}

void WriteInteger(TStream& stream, int32_t value)
{
    const int32_t le = qToLittleEndian(value);
    stream.WriteBuffer(&le, sizeof le);
}

int32_t ReadInteger(TStream& stream)
{
    int32_t le = 0;
    stream.ReadBuffer(&le, sizeof le);
    return qFromLittleEndian(le);
}

void WriteByte(TStream& stream, uint8_t value) { stream.WriteBuffer(&value, 1); }

uint8_t ReadByte(TStream& stream)
{
    uint8_t value = 0;
    stream.ReadBuffer(&value, 1);
    return value;
}

void WriteDouble(TStream& stream, double value)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    bits = qToLittleEndian(bits);
    stream.WriteBuffer(&bits, sizeof bits);
}

double ReadDouble(TStream& stream)
{
    uint64_t bits = 0;
    stream.ReadBuffer(&bits, sizeof bits);
    bits = qFromLittleEndian(bits);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void WriteBoolean(TStream& stream, bool value) { WriteByte(stream, value ? 0xFF : 0); }

bool ReadBoolean(TStream& stream) { return ReadByte(stream) != 0; }

void WriteDateTime(TStream& stream, TDateTime value) { WriteDouble(stream, value); }

TDateTime ReadDateTime(TStream& stream) { return ReadDouble(stream); }
