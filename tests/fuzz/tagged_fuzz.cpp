// The tagged stream reader and the BLOB codecs of the data layer on any
// bytes. The first byte picks the reader: the integer list, the text, or a
// run of tagged reads that the next byte spells. What a reader accepts must
// come out the same after it is written and read again.

#include "FuzzSupport.h"

#include "data/CalcMethods.h"
#include "foundation/Stream.h"
#include "foundation/TaggedStream.h"
#include "foundation/TypeList.h"
#include "platform/Exceptions.h"

#include <cstring>
#include <variant>
#include <vector>

namespace {

void IntegerList(const QByteArray& blob)
{
    T_yqIntegerList list;
    try {
        ReadIntegerListBlob(blob, list);
    } catch (const EAppException&) {
        return;
    }
    QByteArray again;
    WriteIntegerListBlob(again, list);
    if (blob.size() < 8) {
        FuzzCheck(list.GetCount() == 0, "a short integer-list BLOB is an empty list");
        return;
    }
    // The count and the items read are the BLOB's own leading bytes.
    FuzzCheck(again == blob.left(again.size()), "an integer list is read as stored", QString::fromLatin1(blob.toHex()));
}

void Text(const QByteArray& blob)
{
    QString text;
    try {
        text = ReadTextBlob(blob);
    } catch (const EAppException&) {
        return;
    }
    QByteArray again;
    WriteTextBlob(again, text);
    FuzzCheck(ReadTextBlob(again) == text, "a text BLOB reads back as written", QString::fromLatin1(blob.toHex()));
    FuzzCheck(blob.isEmpty() || again.size() == blob.size(), "a text keeps its length");
}

using Value = std::variant<QString, int32_t, uint8_t, uint64_t, bool>;

// The reads that the plan spells, until the stream refuses one.
std::vector<Value> ReadAll(TStream& stream, const QByteArray& plan)
{
    std::vector<Value> values;
    for (const char step : plan) {
        try {
            switch (uint8_t(step) % 6) {
            case 0: values.emplace_back(ReadString(stream)); break;
            case 1: values.emplace_back(ReadInteger(stream)); break;
            case 2: values.emplace_back(ReadByte(stream)); break;
            case 3:
            case 5: {
                // Compared by their bits: a NaN stays the NaN it was.
                const double d = uint8_t(step) % 6 == 3 ? ReadDouble(stream) : ReadDateTime(stream);
                uint64_t bits;
                std::memcpy(&bits, &d, sizeof bits);
                values.emplace_back(bits);
                break;
            }
            case 4: values.emplace_back(ReadBoolean(stream)); break;
            }
        } catch (const EReadError&) {
            break;
        }
    }
    return values;
}

void Write(TStream& stream, const Value& v)
{
    if (const auto* s = std::get_if<QString>(&v))
        WriteStr(stream, *s);
    else if (const auto* i = std::get_if<int32_t>(&v))
        WriteInteger(stream, *i);
    else if (const auto* b = std::get_if<uint8_t>(&v))
        WriteByte(stream, *b);
    else if (const auto* d = std::get_if<uint64_t>(&v)) {
        double x;
        std::memcpy(&x, d, sizeof x);
        WriteDouble(stream, x);
    } else
        WriteBoolean(stream, std::get<bool>(v));
}

void Tagged(const QByteArray& plan, const QByteArray& bytes)
{
    TMemoryStream in(bytes);
    const std::vector<Value> values = ReadAll(in, plan);
    FuzzCheck(in.Position() <= in.Size(), "a read never passes the end");

    TMemoryStream out;
    QByteArray replay;
    for (const Value& v : values) {
        Write(out, v);
        // The variant's alternatives stand in the order of the read steps.
        replay.append(char(v.index()));
    }
    out.SetPosition(0);
    FuzzCheck(ReadAll(out, replay) == values, "tagged values read back as written");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    switch (in.Byte() % 3) {
    case 0: IntegerList(in.Rest()); break;
    case 1: Text(in.Rest()); break;
    default: {
        const QByteArray plan = in.Bytes(in.Byte() % 32);
        Tagged(plan, in.Rest());
    }
    }
    return 0;
}
