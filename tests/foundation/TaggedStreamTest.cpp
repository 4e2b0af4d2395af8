#include "foundation/TaggedStream.h"
#include "platform/Exceptions.h"
#include "support/Checks.h"

#include <QString>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

} // namespace

TEST(TaggedStream, GoldenBytes)
{
    TDateTime noon5Mar2024 = EncodeDate(2024, 3, 5) + 0.5; // 45356.5
    struct Row {
        const char* name;
        std::function<void(TStream&)> write;
        QByteArray bytes;
    } rows[] = {
        {"empty string", [](TStream& s) { WriteStr(s, QString()); }, Hex("0600")},
        {"abc", [](TStream& s) { WriteStr(s, QStringLiteral("abc")); }, Hex("0603616263")},
        {"cyrillic", [](TStream& s) { WriteStr(s, QStringLiteral("Ёё№")); }, Hex("0603a8b8b9")},
        {"outside cp1251", [](TStream& s) { WriteStr(s, QStringLiteral("Ā€")); }, Hex("06023f88")},
        {"integer -1", [](TStream& s) { WriteInteger(s, -1); }, Hex("ffffffff")},
        {"integer order", [](TStream& s) { WriteInteger(s, 0x01020304); }, Hex("04030201")},
        {"integer min", [](TStream& s) { WriteInteger(s, INT32_MIN); }, Hex("00000080")},
        {"byte", [](TStream& s) { WriteByte(s, 200); }, Hex("c8")},
        {"true", [](TStream& s) { WriteBoolean(s, true); }, Hex("ff")},
        {"false", [](TStream& s) { WriteBoolean(s, false); }, Hex("00")},
        {"double 1", [](TStream& s) { WriteDouble(s, 1.0); }, Hex("000000000000f03f")},
        {"double -2.5", [](TStream& s) { WriteDouble(s, -2.5); }, Hex("00000000000004c0")},
        {"date-time", [&](TStream& s) { WriteDateTime(s, noon5Mar2024); }, Hex("000000009025e640")},
    };
    for (const Row& r : rows) {
        TMemoryStream s;
        r.write(s);
        EXPECT_EQ(s.Bytes().toHex(' ').toStdString(), r.bytes.toHex(' ').toStdString()) << r.name;
        EXPECT_EQ(s.Position(), r.bytes.size()) << r.name;
    }
}

TEST(TaggedStream, LengthBoundaryBetweenShortAndLongTag)
{
    struct Row {
        int length;
        QByteArray head;
    } rows[] = {
        {255, Hex("06ff")},
        {256, Hex("0c00010000")},
        {300, Hex("0c2c010000")},
        {70000, Hex("0c70110100")},
    };
    for (const Row& r : rows) {
        const QString text(r.length, QChar(u'ж'));
        TMemoryStream s;
        WriteStr(s, text);
        ASSERT_EQ(s.Size(), r.head.size() + r.length) << r.length;
        EXPECT_EQ(s.Bytes().left(r.head.size()).toHex(' ').toStdString(), r.head.toHex(' ').toStdString()) << r.length;
        EXPECT_EQ(static_cast<unsigned char>(s.Bytes().at(r.head.size())), 0xE6u) << r.length;
        s.SetPosition(0);
        EXPECT_EQ(ReadString(s), text) << r.length;
        EXPECT_EQ(s.Position(), s.Size()) << r.length;
    }
}

TEST(TaggedStream, LongTagWithShortLengthReadsBack)
{
    TMemoryStream s(Hex("0c03000000616263"
                        "0600"));
    EXPECT_EQ(ReadString(s), QStringLiteral("abc"));
    EXPECT_EQ(ReadString(s), QString());
    EXPECT_EQ(s.Position(), s.Size());
}

TEST(TaggedStream, BadInputRaisesReadErrors)
{
    struct Row {
        const char* name;
        QByteArray bytes;
        std::function<void(TStream&)> read;
        const char* message;
        int64_t position; // where the stream stands afterwards, -1: not checked
    } rows[] = {
        {"tag 7", Hex("0703616263"), [](TStream& s) { ReadString(s); }, "ReadString: Ошибка чтения", 1},
        {"tag 0", Hex("00"), [](TStream& s) { ReadString(s); }, "ReadString: Ошибка чтения", 1},
        {"huge long length", Hex("0cffffff7f6162"), [](TStream& s) { ReadString(s); }, "ReadString: Ошибка чтения", 5},
        {"negative long length", Hex("0cffffffff"), [](TStream& s) { ReadString(s); }, "ReadString: Ошибка чтения", 5},
        {"long length past the end", Hex("0c04000000616263"), [](TStream& s) { ReadString(s); },
            "ReadString: Ошибка чтения", 5},
        {"short string cut", Hex("0603616263").left(4), [](TStream& s) { ReadString(s); }, "Stream read error", -1},
        {"no length byte", Hex("06"), [](TStream& s) { ReadString(s); }, "Stream read error", -1},
        {"empty stream", QByteArray(), [](TStream& s) { ReadString(s); }, "Stream read error", -1},
        {"integer cut", Hex("010203"), [](TStream& s) { ReadInteger(s); }, "Stream read error", -1},
        {"double cut", Hex("00000000000000"), [](TStream& s) { ReadDouble(s); }, "Stream read error", -1},
        {"date-time cut", Hex("00"), [](TStream& s) { ReadDateTime(s); }, "Stream read error", -1},
        {"boolean at end", QByteArray(), [](TStream& s) { ReadBoolean(s); }, "Stream read error", -1},
    };
    for (const Row& r : rows) {
        TMemoryStream s(r.bytes);
        EXPECT_EQ(MessageOf<EReadError>([&] { r.read(s); }), QString::fromUtf8(r.message)) << r.name;
        if (r.position >= 0) {
            EXPECT_EQ(s.Position(), r.position) << r.name;
        }
    }
}

TEST(TaggedStream, AnyNonZeroByteReadsAsTrue)
{
    TMemoryStream s(Hex("000180ff"));
    EXPECT_FALSE(ReadBoolean(s));
    EXPECT_TRUE(ReadBoolean(s));
    EXPECT_TRUE(ReadBoolean(s));
    EXPECT_TRUE(ReadBoolean(s));
}

TEST(TaggedStream, AStoredObjectRoundTrips)
{
    // the shape an owner writes: a version byte, then its fields
    const QString name = QStringLiteral("График \"пятидневка\" №2");
    const TDateTime when = EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 59, 0);
    TMemoryStream out;
    WriteByte(out, 3);
    WriteStr(out, name);
    WriteInteger(out, -123456);
    WriteDouble(out, -0.0);
    WriteDouble(out, 1e300);
    WriteBoolean(out, true);
    WriteDateTime(out, when);
    WriteStr(out, QString());
    EXPECT_EQ(out.Size(), 1 + 2 + name.size() + 4 + 8 + 8 + 1 + 8 + 2);

    TMemoryStream in(out.Bytes());
    EXPECT_EQ(ReadByte(in), 3);
    EXPECT_EQ(ReadString(in), name);
    EXPECT_EQ(ReadInteger(in), -123456);
    const double negZero = ReadDouble(in);
    EXPECT_EQ(negZero, 0.0);
    EXPECT_TRUE(std::signbit(negZero));
    EXPECT_EQ(ReadDouble(in), 1e300);
    EXPECT_TRUE(ReadBoolean(in));
    EXPECT_EQ(ReadDateTime(in), when);
    EXPECT_EQ(ReadString(in), QString());
    EXPECT_EQ(in.Position(), in.Size());
}
