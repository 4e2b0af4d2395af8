// The string holder: its stored form and change events.

#include "foundation/ui/controls/StrHolder.h"
#include "UiTestHelpers.h"
#include "platform/Exceptions.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTimer>

namespace {

TEST(StrHolder, StoredFormWithAKeyRoundTrips)
{
    Tyq_StrHolder h;
    h.SetKeyString(QStringLiteral("Ключ"));
    const QStringList lines{QStringLiteral("Приказ № 12 от 01.02.2024"), QString(), QStringLiteral("abc|def")};
    h.SetStrings(lines);
    const QStringList data = h.StrData();
    ASSERT_EQ(data.size(), 4);
    EXPECT_EQ(data[0], QStringLiteral("Ключ"));
    EXPECT_NE(data[1], lines[0]); // transformed
    EXPECT_EQ(data[2], QString()); // an empty line stays empty
    Tyq_StrHolder back;
    int events = 0;
    back.OnChange = [&](QObject*) { ++events; };
    back.SetStrData(data);
    EXPECT_EQ(back.Strings(), lines);
    EXPECT_EQ(back.KeyString(), QStringLiteral("Ключ"));
    EXPECT_EQ(events, 0); // reading a stored holder is no change
}

TEST(StrHolder, AnEmptyKeyStoresTheLinesAsTheyAre)
{
    Tyq_StrHolder h;
    h.SetStrings({QStringLiteral("Первая"), QStringLiteral("Вторая")});
    EXPECT_EQ(h.StrData(), (QStringList{QString(), QStringLiteral("Первая"), QStringLiteral("Вторая")}));
}

TEST(StrHolder, XorWorksOnTheCodePageBytes)
{
    // 'A' (0x41) xor 'a' (0x61) is 0x20, a blank; the key repeats along the line.
    EXPECT_EQ(XorString(QStringLiteral("AAA"), QStringLiteral("a")), QStringLiteral("   "));
    EXPECT_EQ(XorString(QStringLiteral("AB"), QStringLiteral("ab")), QStringLiteral("  "));
    const QString line = QStringLiteral("Ёлка — 100 р.");
    EXPECT_EQ(XorString(XorString(line, QStringLiteral("зима")), QStringLiteral("зима")), line);
}

TEST(StrHolder, ChangesAreAnnouncedBeforeAndAfter)
{
    Tyq_StrHolder h;
    QStringList log;
    h.OnChanging = [&](QObject*) { log << QStringLiteral("changing:%1").arg(h.Count()); };
    h.OnChange = [&](QObject*) { log << QStringLiteral("change:%1").arg(h.Count()); };
    h.Add(QStringLiteral("a"));
    h.Insert(0, QStringLiteral("b"));
    h.SetLine(1, QStringLiteral("c"));
    h.Delete(0);
    h.Clear();
    EXPECT_EQ(log,
        (QStringList{QStringLiteral("changing:0"), QStringLiteral("change:1"), QStringLiteral("changing:1"),
            QStringLiteral("change:2"), QStringLiteral("changing:2"), QStringLiteral("change:2"),
            QStringLiteral("changing:2"), QStringLiteral("change:1"), QStringLiteral("changing:1"),
            QStringLiteral("change:0")}));
    EXPECT_THROW(h.Delete(0), EListError);
}

TEST(StrHolder, AddsToListsAndHoldersOnly)
{
    Tyq_StrHolder h, other;
    h.SetStrings({QStringLiteral("x"), QStringLiteral("y")});
    other.Add(QStringLiteral("w"));
    QStringList list{QStringLiteral("v")};
    h.AddStringsTo(list);
    EXPECT_EQ(list, (QStringList{QStringLiteral("v"), QStringLiteral("x"), QStringLiteral("y")}));
    h.AddStringsTo(static_cast<QObject*>(&other));
    EXPECT_EQ(other.Strings(), (QStringList{QStringLiteral("w"), QStringLiteral("x"), QStringLiteral("y")}));
    h.AddStringsTo(h); // its own lines doubled, not endlessly
    EXPECT_EQ(h.Count(), 4);
    QTimer notAList;
    try {
        h.AddStringsTo(&notAList);
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot add to not TStrings"));
    }
    QStringList copy;
    other.AssignTo(copy);
    EXPECT_EQ(copy, other.Strings());
}

TEST(StrHolder, DestroyingDoesNotCallTheHandlers)
{
    int calls = 0;
    {
        Tyq_StrHolder h;
        h.Add(QStringLiteral("a"));
        h.OnChanging = [&](QObject*) { ++calls; };
        h.OnChange = [&](QObject*) { ++calls; };
    }
    EXPECT_EQ(calls, 0);
}

} // namespace
