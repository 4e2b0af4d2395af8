#include "foundation/Funcs.h"
#include "foundation/TypeList.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QTimer>

namespace {
QString S(const char* utf8) { return QString::fromUtf8(utf8); }

struct TBase {
    virtual ~TBase() = default;
};
struct TMiddle : TBase {};
struct TLeaf : TMiddle {};
struct TOther : TBase {};
struct TMixin {
    virtual ~TMixin() = default;
};
struct TBoth : TLeaf, TMixin {};
struct THidden : private TBase {};
struct TPlain {}; // no virtual function
} // namespace

TEST(FuncsClass, InheritsFromFollowsTheWholeChain)
{
    EXPECT_TRUE(ClassOf<TLeaf>().InheritsFrom(ClassOf<TBase>()));
    EXPECT_TRUE(ClassOf<TLeaf>().InheritsFrom(ClassOf<TLeaf>()));
    EXPECT_FALSE(ClassOf<TBase>().InheritsFrom(ClassOf<TLeaf>()));
    EXPECT_FALSE(ClassOf<TOther>().InheritsFrom(ClassOf<TMiddle>()));
    EXPECT_TRUE(ClassOf<TBoth>().InheritsFrom(ClassOf<TMixin>())) << "second base";
    EXPECT_TRUE(ClassOf<TBoth>().InheritsFrom(ClassOf<TBase>())) << "through the first base";
    EXPECT_FALSE(ClassOf<THidden>().InheritsFrom(ClassOf<TBase>())) << "a private base is not a kind-of";
    EXPECT_FALSE(TClass().InheritsFrom(ClassOf<TBase>()));
    EXPECT_FALSE(ClassOf<TBase>().InheritsFrom(TClass()));
    EXPECT_TRUE(ClassOf<QTimer>().InheritsFrom(ClassOf<QObject>()));
    EXPECT_EQ(ClassOf<QTimer>().ClassName(), S("QTimer"));
    EXPECT_EQ(TClass().ClassName(), QString());
}

TEST(FuncsClass, IndexOfClassUsesTheObjectsRealClass)
{
    TLeaf leaf;
    const TBase* asBase = &leaf;
    EXPECT_EQ(ClassType(asBase), ClassOf<TLeaf>());
    EXPECT_EQ(IndexOfClass(asBase, {ClassOf<TOther>(), ClassOf<TMiddle>(), ClassOf<TBase>()}), 1);
    EXPECT_EQ(IndexOfClass(asBase, {TClass(), ClassOf<TBase>()}), 1) << "nil entries are skipped";
    EXPECT_EQ(IndexOfClass(asBase, {ClassOf<TOther>()}), -1);
    EXPECT_EQ(IndexOfClass(asBase, {}), -1);
    EXPECT_EQ(IndexOfClass(static_cast<const TBase*>(nullptr), {ClassOf<TBase>()}), -1);

    QTimer timer;
    const QObject* object = &timer;
    EXPECT_EQ(IndexOfClass(object, {ClassOf<QTimer>()}), 0);
}

namespace {
struct TDomainItem : TObject {};
struct TDomainChild : TDomainItem {};
} // namespace

TEST(FuncsClass, WorksWithTheListObjects)
{
    TDomainChild child;
    const TObject* item = &child;
    EXPECT_EQ(IndexOfClass(item, {ClassOf<TLeaf>(), ClassOf<TDomainItem>()}), 1);
    EXPECT_EQ(ClassType(item).ClassName().endsWith(S("TDomainChild")), true);
}

TEST(FuncsClass, TypeInArrTakesClassesAndObjects)
{
    TLeaf leaf;
    TMiddle middle;
    TOther other;
    const TBase* obj = &leaf;
    // An object entry stands for its own (real) class, even behind a base pointer.
    const TBase* middleAsBase = &middle;
    EXPECT_EQ(TypeInArr(obj, {&other, middleAsBase}), 1);
    EXPECT_EQ(TypeInArr(middleAsBase, {&leaf}), -1) << "a TMiddle is no TLeaf";
    EXPECT_EQ(TypeInArr(obj, {static_cast<const TBase*>(nullptr), ClassOf<TLeaf>()}), 1);
    EXPECT_EQ(TypeInArr(obj, {ClassOf<TOther>(), &other}), -1);
    EXPECT_EQ(TypeInArr(static_cast<const TBase*>(nullptr), {ClassOf<TBase>()}), -1);
}

TEST(FuncsClass, ArgsToText)
{
    EXPECT_EQ(ArgsToText(12, true, false, 'x', 2.5, S("текст"), "lit"), S("12 .T. .F. x 2,5 текст lit"));
    EXPECT_EQ(ArgsToText(Currency::FromRaw(15000), Variant(), Variant::Null(), Variant(7)),
        S("1,5 EmptyVariant NullVariant 7"));
    EXPECT_EQ(ArgsToText(), QString());

    int value = 0;
    const int* nilInt = nullptr;
    const TBase* nilObj = nullptr;
    TLeaf leaf;
    const QString ptr = ArgsToText(&value);
    EXPECT_TRUE(ptr.startsWith(S("Ptr="))) << ptr.toStdString();
    EXPECT_EQ(ptr.size(), 4 + static_cast<int>(sizeof(void*) * 2));
    EXPECT_EQ(ArgsToText(nilInt, nullptr, nilObj), S("Ptr=nil Ptr=nil Obj=null"));
    EXPECT_TRUE(ArgsToText(static_cast<const TBase*>(&leaf)).startsWith(S("Obj=")));
    EXPECT_TRUE(ArgsToText(ClassOf<TLeaf>()).startsWith(S("Class=")));
    EXPECT_EQ(ArgsToText(TPlain{}), S("(Unknown)"));

    const QString longText(300, QLatin1Char('a'));
    EXPECT_EQ(ArgsToText(longText, 1).size(), 255);
}
