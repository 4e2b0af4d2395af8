// Navigation, ranges and lookups checked against a plain in-memory model on
// random data with blank (null) key values, where keyset navigation is
// easiest to get wrong.

#include "DbTestSupport.h"

#include "db/Sqlite.h"
#include "db/Transaction.h"

#include <algorithm>
#include <optional>
#include <random>

namespace {

struct ModelRow {
    int id;
    std::optional<int> a;
    QString b; // "" is blank
};

using Key = std::vector<std::optional<QVariant>>;

int CompareA(const std::optional<int>& x, const std::optional<int>& y)
{
    if (!x || !y)
        return int(bool(x)) - int(bool(y));
    return *x < *y ? -1 : *x > *y ? 1 : 0;
}

int CompareB(const QString& x, const QString& y)
{
    if (x.isEmpty() || y.isEmpty())
        return int(!x.isEmpty()) - int(!y.isEmpty());
    const QByteArray u = x.toUtf8();
    const QByteArray v = y.toUtf8();
    return CompareTextCaseInsensitive(u.constData(), int(u.size()), v.constData(), int(v.size()));
}

bool IndexLess(const ModelRow& x, const ModelRow& y)
{
    if (const int c = CompareA(x.a, y.a))
        return c < 0;
    if (const int c = CompareB(x.b, y.b))
        return c < 0;
    return x.id < y.id;
}

// A partial key of (A, B) as the test gives it to the cursor and the model.
struct PartialKey {
    int length = 0;
    std::optional<int> a;
    QString b;

    QList<Variant> Values() const
    {
        QList<Variant> out;
        if (length >= 1)
            out << (a ? Variant(*a) : Variant::Null());
        if (length >= 2)
            out << (b.isEmpty() ? Variant::Null() : Variant(b));
        return out;
    }
    // <0, 0, >0: the row's leading fields against the key.
    int CompareRow(const ModelRow& r) const
    {
        if (length >= 1)
            if (const int c = CompareA(r.a, a))
                return c;
        if (length >= 2)
            if (const int c = CompareB(r.b, b))
                return c;
        return 0;
    }
};

QString Describe(const PartialKey& k)
{
    QString s = QStringLiteral("(");
    if (k.length >= 1)
        s += k.a ? QString::number(*k.a) : QStringLiteral("null");
    if (k.length >= 2)
        s += QStringLiteral(", ") + (k.b.isEmpty() ? QStringLiteral("null") : k.b);
    return s + QStringLiteral(")");
}

class CursorModelTest : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        Tables::Create(TableDef{QStringLiteral("M"),
            {F("ID", FieldType::Integer), F("A", FieldType::Integer), F("B", FieldType::String, 3)},
            {Primary("ID"), Secondary("AB", "A;B", IndexOption::CaseInsensitive)}});
        std::mt19937 rng(20240517);
        const QStringList names{QString(), QStringLiteral("a"), QStringLiteral("B"), QStringLiteral("b"),
            QStringLiteral("ё"), QStringLiteral("Е"), QStringLiteral("ж")};
        Cursor c(QStringLiteral("M"));
        c.Open();
        Transaction tx({&c});
        for (int id = 1; id <= 160; ++id) {
            ModelRow r{id, std::nullopt, names[int(rng() % names.size())]};
            if (rng() % 5)
                r.a = int(rng() % 4);
            c.Append();
            c[QStringLiteral("ID")].SetInteger(id);
            if (r.a)
                c[QStringLiteral("A")].SetInteger(*r.a);
            c[QStringLiteral("B")].SetString(r.b);
            c.Post();
            rows_.push_back(r);
        }
        tx.Commit();
        std::sort(rows_.begin(), rows_.end(), IndexLess);
    }

    PartialKey RandomKey(std::mt19937& rng) const
    {
        static const QStringList names{QString(), QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("c"),
            QStringLiteral("Ё"), QStringLiteral("е")};
        PartialKey k;
        k.length = int(rng() % 3);
        if (rng() % 4)
            k.a = int(rng() % 5) - 1;
        k.b = names[int(rng() % names.size())];
        return k;
    }

    std::vector<ModelRow> rows_;
};

QList<int> Walk(Cursor& c, bool forward)
{
    QList<int> ids;
    if (forward) {
        for (c.First(); !c.Eof(); c.Next())
            ids << c[QStringLiteral("ID")].AsInteger();
    } else {
        for (c.Last(); !c.Bof(); c.Prior())
            ids.prepend(c[QStringLiteral("ID")].AsInteger());
    }
    return ids;
}

} // namespace

TEST_F(CursorModelTest, RandomRangesLookupsAndWalksAgreeWithTheModel)
{
    Cursor c(QStringLiteral("M"));
    c.Open();
    c.SetIndexName(QStringLiteral("AB"));
    std::mt19937 rng(7);
    for (int round = 0; round < 120; ++round) {
        const bool filtered = round % 3 == 2;
        const PartialKey lo = RandomKey(rng);
        const PartialKey hi = RandomKey(rng);
        const PartialKey probe = RandomKey(rng);
        const bool ranged = round % 4 != 0;
        SCOPED_TRACE(QStringLiteral("round %1: range %2..%3 probe %4 filter %5")
                         .arg(round)
                         .arg(Describe(lo), Describe(hi), Describe(probe))
                         .arg(filtered)
                         .toStdString());
        auto inModel = [&](const ModelRow& r) {
            if (filtered && r.id % 3 == 0)
                return false;
            return !ranged || (lo.CompareRow(r) >= 0 && hi.CompareRow(r) <= 0);
        };
        QList<int> expected;
        for (const ModelRow& r : rows_) {
            if (inModel(r))
                expected << r.id;
        }

        c.SetFiltered(false);
        if (ranged)
            c.SetRange(lo.Values(), hi.Values());
        else
            c.CancelRange();
        c.OnFilterRecord = [](Cursor& x) { return x[QStringLiteral("ID")].AsInteger() % 3 != 0; };
        c.SetFiltered(filtered);

        ASSERT_EQ(Walk(c, true), expected);
        ASSERT_EQ(Walk(c, false), expected);
        ASSERT_EQ(c.RecordCount(), expected.size());

        // Key lookup: the first row of the range whose leading fields equal the probe.
        std::optional<int> found;
        for (const ModelRow& r : rows_) {
            if (inModel(r) && probe.CompareRow(r) == 0) {
                found = r.id;
                break;
            }
        }
        c.First();
        const int before = c.IsEmpty() ? 0 : c[QStringLiteral("ID")].AsInteger();
        ASSERT_EQ(c.FindKey(probe.Values()), found.has_value());
        ASSERT_EQ(c.IsEmpty() ? 0 : c[QStringLiteral("ID")].AsInteger(), found ? *found : before);

        // Nearest: the first row at or after the probe, else the last row.
        std::optional<int> nearest;
        for (const ModelRow& r : rows_) {
            if (inModel(r) && probe.CompareRow(r) >= 0) {
                nearest = r.id;
                break;
            }
        }
        if (!nearest && !expected.isEmpty())
            nearest = expected.last();
        c.FindNearest(probe.Values());
        ASSERT_EQ(c.IsEmpty() ? 0 : c[QStringLiteral("ID")].AsInteger(), nearest ? *nearest : 0);
        if (nearest) {
            const int pos = int(expected.indexOf(*nearest));
            ASSERT_EQ(c.RecNo(), pos + 1);
            c.Prior();
            ASSERT_EQ(c[QStringLiteral("ID")].AsInteger(), expected[std::max(pos - 1, 0)]);
            if (pos + 2 <= expected.size()) {
                c.SetRecNo(pos + 2);
                ASSERT_EQ(c[QStringLiteral("ID")].AsInteger(), expected[pos + 1]);
            }
        }
    }
}

TEST_F(CursorModelTest, DeletingWhileWalkingVisitsEveryRowOnce)
{
    Cursor c(QStringLiteral("M"));
    c.Open();
    c.SetIndexName(QStringLiteral("AB"));
    QList<int> kept;
    QList<int> expectedKept;
    for (const ModelRow& r : rows_) {
        if (r.id % 2)
            expectedKept << r.id;
    }
    Transaction tx({&c});
    for (c.First(); !c.Eof();) {
        if (c[QStringLiteral("ID")].AsInteger() % 2 == 0) {
            c.Delete();
        } else {
            kept << c[QStringLiteral("ID")].AsInteger();
            c.Next();
        }
    }
    tx.Commit();
    EXPECT_EQ(kept, expectedKept);
    EXPECT_EQ(Walk(c, true), expectedKept);
}
