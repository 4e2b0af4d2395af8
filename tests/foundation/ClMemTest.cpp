#include "foundation/ClMem.h"
#include "foundation/TaggedStream.h"
#include "platform/Currency.h"
#include "platform/Exceptions.h"
#include "support/Checks.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

// A 32-byte header as Clipper writes it.
QByteArray Header(const QByteArray& name, uint8_t type, uint8_t byte16 = 0, uint8_t byte17 = 0)
{
    QByteArray h(32, '\0');
    std::memcpy(h.data(), name.constData(), std::min<size_t>(name.size(), 11));
    h[11] = static_cast<char>(type);
    h[16] = static_cast<char>(byte16);
    h[17] = static_cast<char>(byte17);
    return h;
}

QByteArray Dbl(double v)
{
    TMemoryStream s;
    WriteDouble(s, v);
    return s.Bytes();
}

// The length counts the NUL.
QByteArray MemC(const QByteArray& name, const QByteArray& cp866)
{
    const int length = cp866.size() + 1;
    return Header(name, 0xC3, length & 0xFF, length >> 8) + cp866 + QByteArray(1, '\0');
}
QByteArray MemN(const QByteArray& name, double v, uint8_t decimals)
{
    return Header(name, 0xCE, 10, decimals) + Dbl(v);
}
QByteArray MemD(const QByteArray& name, double julianDay) { return Header(name, 0xC4, 8) + Dbl(julianDay); }
QByteArray MemL(const QByteArray& name, uint8_t b)
{
    return Header(name, 0xCC, 1) + QByteArray(1, static_cast<char>(b));
}

QString Name(const TClipperMVA& list, int i) { return list.Items(i).Name; }

} // namespace

TEST(ClipperMem, EveryKindOfRecordReadsBack)
{
    struct Row {
        const char* name;
        QByteArray record;
        const char* varName;
        char type;
        Variant value;
    } rows[] = {
        {"C in CP866", MemC("CFG_NAME", "\x8F\xE0"), "CFG_NAME", 'C', Variant(QStringLiteral("Пр"))},
        {"C only the NUL", MemC("EMPTY", ""), "EMPTY", 'C', Variant(QString())},
        {"C cut at its NUL", MemC("TAIL", QByteArray("AB\0CD", 5)), "TAIL", 'C', Variant(QStringLiteral("AB"))},
        {"N with 2 decimals", MemN("RATE", 12.25, 2), "RATE", 'N', Variant(12.25)},
        {"N without decimals", MemN("COUNT", 41.0, 0), "COUNT", 'I', Variant(41)},
        {"N rounded", MemN("NEG", -7.6, 0), "NEG", 'I', Variant(-8)},
        {"N beyond 32 bits", MemN("BIG", 3e9, 0), "BIG", 'N', Variant(3e9)},
        {"L true", MemL("FLAG", 1), "FLAG", 'B', Variant(true)},
        {"L false", MemL("OFF", 0), "OFF", 'B', Variant(false)},
        {"D", MemD("CFG_DATE", 2451545.0), "CFG_DATE", 'D', Variant::FromDate(EncodeDate(2000, 1, 1))},
        {"D empty", MemD("NODATE", 0.0), "NODATE", 'D', Variant::FromDate(NoDate)},
        {"type without top bit", Header("PLAIN", 'N', 10, 0) + Dbl(5), "PLAIN", 'I', Variant(5)},
        {"11-byte name", MemN("ABCDEFGHIJK", 1, 0), "ABCDEFGHIJ", 'I', Variant(1)},
    };
    QByteArray file;
    for (const Row& r : rows)
        file += r.record;
    file += '\x1A'; // DOS end-of-file mark
    TClipperMVA list;
    LoadClipperMemBytes(file, list);
    ASSERT_EQ(list.Count(), static_cast<int>(std::size(rows)));
    for (int i = 0; i < list.Count(); ++i) {
        const Row& r = rows[i];
        EXPECT_EQ(Name(list, i), QString::fromLatin1(r.varName)) << r.name;
        EXPECT_EQ(list.Items(i).VarType, r.type) << r.name;
        EXPECT_TRUE(SameVariant(list.Values(i), r.value)) << r.name << ": " << VarToStr(list.Values(i)).toStdString();
    }
}

TEST(ClipperMem, DataCutByTheEndKeepsTheValuesBefore)
{
    const QByteArray a = MemN("A", 1, 0), b = MemC("B", "xyz"), c = MemD("C", 2451545.0);
    const QByteArray whole = a + b + c;
    struct Row {
        const char* name;
        QByteArray bytes;
        QStringList kept;
    } rows[] = {
        {"empty", QByteArray(), {}},
        {"header cut", whole.left(a.size() + b.size() + 31), {"A", "B"}},
        {"string value cut", whole.left(a.size() + 32 + 2), {"A"}},
        {"double value cut", whole.left(whole.size() - 1), {"A", "B"}},
        {"header only", whole.left(a.size() + b.size() + 32), {"A", "B"}},
        {"whole", whole, {"A", "B", "C"}},
    };
    for (const Row& r : rows) {
        TClipperMVA list;
        EXPECT_NO_THROW(LoadClipperMemBytes(r.bytes, list)) << r.name;
        QStringList names;
        for (int i = 0; i < list.Count(); ++i)
            names << Name(list, i);
        EXPECT_EQ(names, r.kept) << r.name;
    }
}

TEST(ClipperMem, UnknownTypeStopsTheReadingWithItsMessage)
{
    struct Row {
        const char* name;
        uint8_t type;
        const char* message;
    } rows[] = {
        {"letter", 'X', "Unknown Clipper MemoVar \"BAD\"; Type: \"X\""},
        {"array letter with top bit", 0xC1, "Unknown Clipper MemoVar \"BAD\"; Type: \"A\""},
        {"zero byte", 0x80, "Unknown Clipper MemoVar \"BAD\"; Type: \"#0\""},
    };
    for (const Row& r : rows) {
        const QByteArray file = MemN("FIRST", 1, 0) + Header("BAD", r.type, 1) + MemL("LATER", 1);
        TClipperMVA list;
        EXPECT_EQ(MessageOf<EAppException>([&] { LoadClipperMemBytes(file, list); }), QString::fromUtf8(r.message))
            << r.name;
        EXPECT_EQ(list.Count(), 1) << r.name;
        EXPECT_EQ(list.IndexOf("LATER"), -1) << r.name;
    }
}

TEST(ClipperMem, CorruptFilesNeverCrash)
{
    const QByteArray good = MemC("S", "\x8F\xE0\xA8") + MemN("N", 2.5, 1) + MemD("D", 2451545.0) + MemL("L", 1);
    std::mt19937 random(14);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = good.left(static_cast<int>(random() % (good.size() + 1)));
        for (int flips = random() % 6; flips > 0 && !bytes.isEmpty(); --flips)
            bytes[static_cast<int>(random() % bytes.size())] = static_cast<char>(random());
        TClipperMVA list;
        try {
            LoadClipperMemBytes(bytes, list);
        } catch (const EAppException& e) {
            EXPECT_TRUE(e.Message().startsWith("Unknown Clipper MemoVar")) << e.Message().toStdString();
        }
        EXPECT_LE(list.Count(), 4);
    }
}

TEST(ClipperMem, NamesAreFoundInAnyLetterCase)
{
    TClipperMVA list;
    list.SetValue("cfg_date", Variant::FromDate(EncodeDate(2024, 5, 1)));
    list.SetValue("Other", 1);
    ASSERT_EQ(Name(list, 0), "CFG_DATE");
    for (bool caseSensitive : {false, true}) {
        list.SetCaseSensitive(caseSensitive);
        EXPECT_EQ(list.IndexOf("cfg_date"), 0) << caseSensitive;
        EXPECT_EQ(list.IndexOf("CFG_Date"), 0) << caseSensitive;
        EXPECT_EQ(list.IndexOf("OTHER"), 1) << caseSensitive;
        EXPECT_EQ(list.IndexOf("CFG_DAT"), -1) << caseSensitive;
    }
    EXPECT_EQ(list.GetValue("Cfg_Date").AsDate(), EncodeDate(2024, 5, 1));
}

TEST(ClipperMem, TypeLetterFollowsTheValue)
{
    struct Row {
        const char* name;
        Variant value;
        char type;
    } rows[] = {
        {"boolean", Variant(true), 'B'},
        {"double", Variant(1.5), 'N'},
        {"single", Variant(1.5f), 'N'},
        {"currency", Variant(Currency::FromInt(3)), 'N'},
        {"date", Variant::FromDate(45000), 'D'},
        {"integer", Variant(7), 'I'},
        {"smallint", Variant(int16_t(7)), 'I'},
        {"byte", Variant(uint8_t(7)), 'I'},
        {"string", Variant("x"), 'C'},
    };
    TClipperMVA list;
    list.SetValue("V", "start");
    for (const Row& r : rows) {
        list.SetValue("v", r.value);
        ASSERT_EQ(list.Count(), 1) << r.name;
        EXPECT_EQ(list.Items(0).VarType, r.type) << r.name;
        EXPECT_TRUE(SameVariant(list.GetValue("V"), r.value)) << r.name;
    }
    for (const Variant& refused : {Variant(), Variant(int64_t(1))}) {
        EXPECT_EQ(MessageOf<EConvertError>([&] { list.SetValue("v", refused); }), "Unknown VarType: v");
        EXPECT_EQ(MessageOf<EConvertError>([&] { list.SetValue("new", refused); }), "Unknown VarType: new");
        EXPECT_EQ(list.Count(), 1);
        EXPECT_TRUE(SameVariant(list.GetValue("V"), Variant("x")));
    }
}

TEST(ClipperMem, NullRemovesTheVariable)
{
    TClipperMVA list;
    list.SetValue("A", 1);
    list.SetValue("B", 2);
    list.SetValue("C", 3);
    list.SetValue("b", Variant::Null());
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(Name(list, 1), "C");
    EXPECT_EQ(list.IndexOf("B"), -1);
    EXPECT_EQ(MessageOf<EAppException>([&] { list.GetValue("b"); }), "MemVar \"b\" not found");
    list.SetValue("missing", Variant::Null());
    EXPECT_EQ(list.Count(), 2);
    list.SetValue("B", 4);
    EXPECT_EQ(Name(list, 2), "B"); // a new name goes to the end
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(ClipperMem, IndexAndArrayErrors)
{
    TClipperMVA list;
    list.SetValue("ONE", 1);
    for (int index : {-1, 1, 100}) {
        EXPECT_EQ(MessageOf<EListError>([&] { list.Items(index); }), "Index out of range") << index;
        EXPECT_EQ(MessageOf<EListError>([&] { list.Values(index); }), "Index out of range") << index;
        EXPECT_EQ(MessageOf<EListError>([&] { list.Arrays(index); }), "Index out of range") << index;
    }
    EXPECT_EQ(MessageOf<EAppException>([&] { list.Arrays(0); }), "MemVar \"ONE\" is'not array");
    EXPECT_EQ(MessageOf<EAppException>([&] { list.ArrayByName("one"); }), "MemVar \"ONE\" is'not array");
    EXPECT_EQ(MessageOf<EAppException>([&] { list.ArrayByName("two"); }), "MemVar \"two\" not found");
}

TEST(ClipperMem, FileReadsIntoTheListOverItsValues)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("QO.CAL");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(MemN("CALENDAY01", 21, 0) + MemN("CALENDAC01", 172.2, 1));
    f.close();
    TClipperMVA list;
    list.SetValue("CALENDAY01", "old");
    list.SetValue("KEPT", true);
    LoadClipperMemFile(path, list);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_TRUE(SameVariant(list.GetValue("calenday01"), Variant(21)));
    EXPECT_TRUE(SameVariant(list.GetValue("calendac01"), Variant(172.2)));
    EXPECT_TRUE(list.GetValue("kept").AsBoolean());
    EXPECT_THROW(LoadClipperMemFile(dir.filePath("NONE.MEM"), list), EFOpenError);
}
