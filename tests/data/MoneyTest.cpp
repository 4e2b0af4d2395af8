#include "data/Money.h"
#include "data/Globals.h"
#include "platform/Exceptions.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>
#include <random>

namespace {

const QString kSeed = QStringLiteral(QOR_SOURCE_DIR "/resources/propis/propis.tsv");

Currency Money(double v) { return Currency::FromDouble(v); }

class MoneyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGlobals();
        SetDataFolder(dataDir.path());
        ForgetPropis();
    }
    void TearDown() override
    {
        SetPropisReader({});
        SetFioLookup({});
        DoneGlobals();
    }
    // The table's rows come from the shipped seed; the file only has to
    // exist for the rows to be kept between calls.
    void UseSeed()
    {
        WriteFileBytes(PropisFileName(), "rows");
        SetPropisReader(
            [](const QString&, QList<TPropisRow>& rows, QString& error) { return ReadPropisSeed(kSeed, rows, error); });
    }
    void UseRows(const QList<TPropisRow>& given)
    {
        SetPropisReader([given](const QString&, QList<TPropisRow>& rows, QString&) {
            rows = given;
            return true;
        });
    }

    ScopedFakeClock clock{EncodeDate(2024, 3, 15) + 0.5};
    ScopedProgramFolder prog;
    QTemporaryDir dataDir;
};

TEST_F(MoneyTest, RoundMoneyBySettingsStep)
{
    struct Row {
        const char* name;
        bool round;
        bool up;
        double step;
        double x;
        double expected;
    };
    const Row rows[] = {
        {"defaults cut to whole units", true, false, 1.0, 1234.99, 1234.00},
        {"exact whole stays", true, false, 1.0, 1234.00, 1234.00},
        {"negative gives 0", true, false, 1.0, -5, 0},
        {"negative with rounding off", false, false, 1.0, -5, 0},
        {"zero", true, true, 1.0, 0, 1},
        {"round up", true, true, 1.0, 1234.01, 1235.00},
        {"round up an exact multiple", true, true, 1.0, 1234.00, 1235.00},
        {"step 0.01 keeps 1.15", true, false, 0.01, 1.15, 1.15},
        {"step 0.1 keeps 0.3", true, false, 0.1, 0.3, 0.3},
        {"step 0.05 keeps 0.15", true, false, 0.05, 0.15, 0.15},
        {"step 0.5", true, false, 0.5, 10.74, 10.5},
        {"step 10", true, false, 10.0, 1234.56, 1230.0},
        {"step 10 up", true, true, 10.0, 1234.56, 1240.0},
        {"step 0 counts as 1", true, false, 0.0, 7.9, 7.0},
        {"rounding off: kopecks, halves away", false, false, 1.0, 1234.565, 1234.57},
        {"rounding off: below a half", false, false, 1.0, 2.344999, 2.34},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Cfg.Round = r.round;
        Cfg.RoundB = r.up;
        Cfg.RoundS = r.step;
        EXPECT_DOUBLE_EQ(RoundMoney(r.x), r.expected);
    }
}

TEST_F(MoneyTest, RoundToKopHalvesAwayFromZero)
{
    const std::pair<double, double> rows[] = {{2.345, 2.35}, {1.005, 1.01}, {-0.005, -0.01}, {1234.5678, 1234.57},
        {2.3449999, 2.35}, {2.34499, 2.34}, {0, 0}};
    for (const auto& [x, expected] : rows)
        EXPECT_DOUBLE_EQ(RoundToKop(x), expected) << x;
}

TEST_F(MoneyTest, MoneyTextsNeverShowAHundredKopecks)
{
    struct Row {
        double amount;
        const char* expected;
    };
    const Row rows[] = {
        {1234.05, "1234-05"},
        {0, "0-00"},
        {1234.9999, "1235-00"},
        {1234.995, "1235-00"},
        {1234.9949, "1234-99"},
        {-1234.05, "-1234-05"},
        {-0.004, "0-00"},
        {0.005, "0-01"},
        {7.5, "7-50"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(MoneyToText(Money(r.amount)), QString::fromUtf8(r.expected)) << r.amount;
    // The ends of the range: no overflow on the way to kopecks.
    EXPECT_EQ(MoneyToText(Currency::FromRaw(INT64_MAX)), QStringLiteral("922337203685477-58"));
    EXPECT_EQ(MoneyToText(Currency::FromRaw(INT64_MIN)), QStringLiteral("-922337203685477-58"));
    Cfg.CurrencyDivider = QStringLiteral(" р. ");
    EXPECT_EQ(MoneyToText(Money(12.5)), QStringLiteral("12 р. 50"));
}

TEST_F(MoneyTest, FormattedNumbersUseTheRussianComma)
{
    EXPECT_EQ(FormatMoney(1234.5), QStringLiteral("1234,50"));
    EXPECT_EQ(FormatMoney(-0.125), QStringLiteral("-0,13"));
    Cfg.DecimalPos = 0;
    EXPECT_EQ(FormatMoney(1234.5), QStringLiteral("1235"));
    Cfg.DecimalPos = 3;
    EXPECT_EQ(FormatMoney(2), QStringLiteral("2,000"));
    EXPECT_EQ(FormatShortFloat(8), QStringLiteral("8,0"));
    EXPECT_EQ(FormatShortFloat(7.25), QStringLiteral("7,25"));
    EXPECT_EQ(FormatShortFloat(0.5), QStringLiteral("0,5"));
    EXPECT_EQ(FormatShortFloat(168), QStringLiteral("168,0"));
}

TEST_F(MoneyTest, SpellNumberWithTheShippedWords)
{
    UseSeed();
    struct Row {
        qint64 amount;
        const char* expected;
    };
    const Row rows[] = {
        {0, ""},
        {1, "Один"},
        {2, "Два"},
        {5, "Пять"},
        {11, "Одиннадцать"},
        {19, "Девятнадцать"},
        {21, "Двадцать один"},
        {101, "Сто один"},
        {110, "Сто десять"},
        {999, "Девятьсот девяносто девять"},
        {1000, "Одна тысяча"},
        {1001, "Одна тысяча один"},
        {1234, "Одна тысяча двести тридцать четыре"},
        {2000, "Две тысячи"},
        {5000, "Пять тысяч"},
        {11000, "Одиннадцать тысяч"},
        {12345, "Двенадцать тысяч триста сорок пять"},
        {20500, "Двадцать тысяч пятьсот"},
        {21000, "Двадцать одна тысяча"},
        {22000, "Двадцать две тысячи"},
        {25500, "Двадцать пять тысяч пятьсот"},
        {100500, "Сто тысяч пятьсот"},
        {101000, "Сто одна тысяча"},
        {999999, "Девятьсот девяносто девять тысяч девятьсот девяносто девять"},
        {1000000, "Один миллион"},
        {1000500, "Один миллион пятьсот"},
        {1001000, "Один миллион одна тысяча"},
        {2000000, "Два миллиона"},
        {2005000, "Два миллиона пять тысяч"},
        {5000000, "Пять миллионов"},
        {21000000, "Двадцать один миллион"},
        {1234567, "Один миллион двести тридцать четыре тысячи пятьсот шестьдесят семь"},
        {1000000000, "Один миллиард"},
        {2000000001, "Два миллиарда один"},
        {999999999999,
            "Девятьсот девяносто девять миллиардов девятьсот девяносто девять миллионов девятьсот "
            "девяносто девять тысяч девятьсот девяносто девять"},
        {1000000000000, "Один триллион"},
        {922337203685477,
            "Девятьсот двадцать два триллиона триста тридцать семь миллиардов двести три миллиона "
            "шестьсот восемьдесят пять тысяч четыреста семьдесят семь"},
        {-5, "Минус пять"},
        {-21000, "Минус двадцать одна тысяча"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(SpellNumber(Currency::FromInt(r.amount)), QString::fromUtf8(r.expected)) << r.amount;
    // Only the whole part is spelled.
    EXPECT_EQ(SpellNumber(Money(1234.99)), QStringLiteral("Одна тысяча двести тридцать четыре"));
    EXPECT_EQ(SpellNumber(Money(-0.99)), QStringLiteral("Минус"));
}

// The classical spelling by groups of three digits, to hold the table-driven
// walk against over many amounts.
QString TriadWords(qint64 n)
{
    static const char* ones[] = {"", "один", "два", "три", "четыре", "пять", "шесть", "семь", "восемь", "девять",
        "десять", "одиннадцать", "двенадцать", "тринадцать", "четырнадцать", "пятнадцать", "шестнадцать", "семнадцать",
        "восемнадцать", "девятнадцать"};
    static const char* tens[]
        = {"", "", "двадцать", "тридцать", "сорок", "пятьдесят", "шестьдесят", "семьдесят", "восемьдесят", "девяносто"};
    static const char* hundreds[]
        = {"", "сто", "двести", "триста", "четыреста", "пятьсот", "шестьсот", "семьсот", "восемьсот", "девятьсот"};
    static const char* groups[][3] = {{"", "", ""}, {"тысяча", "тысячи", "тысяч"}, {"миллион", "миллиона", "миллионов"},
        {"миллиард", "миллиарда", "миллиардов"}, {"триллион", "триллиона", "триллионов"}};
    QStringList out;
    QList<int> triads;
    for (qint64 v = n; v > 0; v /= 1000)
        triads.prepend(int(v % 1000));
    for (int i = 0; i < triads.size(); ++i) {
        const int t = triads[i];
        const int group = int(triads.size()) - 1 - i;
        if (t == 0)
            continue;
        if (t / 100)
            out << QString::fromUtf8(hundreds[t / 100]);
        const int rest = t % 100;
        int last = rest;
        if (rest >= 20) {
            out << QString::fromUtf8(tens[rest / 10]);
            last = rest % 10;
        }
        if (last) {
            QString w = QString::fromUtf8(ones[last]);
            if (group == 1 && last == 1)
                w = QStringLiteral("одна");
            if (group == 1 && last == 2)
                w = QStringLiteral("две");
            out << w;
        }
        if (group > 0) {
            const int form = (last == 1) ? 0 : (last >= 2 && last <= 4) ? 1 : 2;
            out << QString::fromUtf8(groups[group][form]);
        }
    }
    QString s = out.join(QLatin1Char(' '));
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s;
}

TEST_F(MoneyTest, SpellNumberAgreesWithTheSpellingByTriads)
{
    UseSeed();
    QList<qint64> amounts;
    for (qint64 n = 0; n <= 30000; ++n)
        amounts.append(n);
    std::mt19937_64 random(20240315);
    for (int i = 0; i < 20000; ++i) {
        const qint64 limit[] = {1000000, 1000000000, 1000000000000, 922337203685477};
        amounts.append(qint64(random() % quint64(limit[i % 4])));
    }
    // Round numbers are where group words go missing or double.
    for (qint64 p = 1; p <= 100000000000000; p *= 10)
        for (int d = 1; d <= 9; ++d)
            amounts << d * p << d * p + 1 << d * p + 1000 << d * p + 1000000;
    int failures = 0;
    for (qint64 n : amounts) {
        const QString expected = TriadWords(n);
        const QString got = SpellNumber(Currency::FromInt(n));
        if (got != expected && ++failures <= 10)
            ADD_FAILURE() << n << ": " << got.toStdString() << " / " << expected.toStdString();
    }
    EXPECT_EQ(failures, 0);
}

TEST_F(MoneyTest, SpellMoneyRoundsToKopecksFirst)
{
    UseSeed();
    struct Row {
        double amount;
        const char* expected;
    };
    const Row rows[] = {
        {0, " руб. 00 коп."},
        {1, "Один руб. 00 коп."},
        {2.5, "Два руб. 50 коп."},
        {1234567.89, "Один миллион двести тридцать четыре тысячи пятьсот шестьдесят семь руб. 89 коп."},
        {1234.999, "Одна тысяча двести тридцать пять руб. 00 коп."},
        {0.05, " руб. 05 коп."},
        {-5.5, "Минус пять руб. 50 коп."},
        {-0.5, "Минус руб. 50 коп."},
        {-0.004, " руб. 00 коп."},
    };
    for (const Row& r : rows)
        EXPECT_EQ(SpellMoney(Money(r.amount)), QString::fromUtf8(r.expected)) << r.amount;
    Cfg.Rub = QStringLiteral("рублей");
    Cfg.Kop = QStringLiteral("копеек");
    EXPECT_EQ(SpellMoneyInBrackets(Money(5)), QStringLiteral("(Пять рублей 00 копеек)"));
}

TEST_F(MoneyTest, BadTableRowsNeverLoopOrSpellWrongWords)
{
    // No row 1: 1 and 21 cannot be spelled.
    UseRows({{20, QStringLiteral("двадцать"), {}}, {2, QStringLiteral("два"), {}}});
    EXPECT_EQ(SpellNumber(Currency::FromInt(22)), QStringLiteral("Двадцать два"));
    try {
        SpellNumber(Currency::FromInt(21));
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Не заполнена база PROPIS.DB|Нет слов для числа 1"));
    }
    EXPECT_THROW(SpellNumber(Currency::FromInt(1)), EAppException);

    // Rows of 0 and below are ignored, never looped on.
    UseRows({{0, QStringLiteral("ноль"), {}}, {-1, QStringLiteral("минус"), {}}, {1, QStringLiteral("один"), {}}});
    EXPECT_EQ(SpellNumber(Currency::FromInt(3)), QStringLiteral("Один один один"));
    UseRows({{0, QStringLiteral("ноль"), {}}});
    EXPECT_THROW(SpellNumber(Currency::FromInt(3)), EAppException);
    EXPECT_EQ(SpellNumber(Currency::FromInt(0)), QString());
    // A table of small numbers only must not add "один" a trillion times.
    UseRows({{1, QStringLiteral("один"), {}}});
    EXPECT_THROW(SpellNumber(Currency::FromInt(1000000000000)), EAppException);

    // Words are trimmed; the case is the program's.
    UseRows({{1, QStringLiteral("  ОДИН "), QStringLiteral(" РУБЛЬ ")}});
    EXPECT_EQ(SpellNumber(Currency::FromInt(1)), QStringLiteral("Один рубль"));
}

TEST_F(MoneyTest, EmptyTableStopsTheDocument)
{
    UseRows({});
    try {
        SpellMoney(Money(0));
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Не заполнена база PROPIS.DB"));
    }
}

TEST_F(MoneyTest, MissingTableStopsTheDocumentEveryTimeNeverSpellingWithoutWords)
{
    int reads = 0;
    SetPropisReader([&reads](const QString&, QList<TPropisRow>&, QString& error) {
        ++reads;
        error = QStringLiteral("Файл не найден");
        return false;
    });
    ScriptedMessages msgs; // the error travels to the document; no box of its own
    const QString expected = QStringLiteral("Не найдена таблица сумм прописью PROPIS.DB|") + PropisFileName()
        + QStringLiteral("\r\nФайл не найден");
    const std::function<QString()> spellings[] = {[] { return SpellMoney(Money(56.56)); },
        [] { return SpellNumber(Currency::FromInt(5)); }, [] { return SpellMoneyInBrackets(Money(0)); }};
    for (const auto& spell : spellings) {
        try {
            const QString text = spell();
            ADD_FAILURE() << "spelled without the table: \"" << text.toStdString() << "\"";
        } catch (const EAppException& e) {
            EXPECT_EQ(e.Message(), expected);
        }
    }
    EXPECT_EQ(reads, 3) << "every call tries the table again";
    EXPECT_EQ(PropisFileName(), DataFolder() + QStringLiteral("PROPIS.DB"));
}

TEST_F(MoneyTest, TableIsReadOnceAndAgainWhenItsFileChanges)
{
    int reads = 0;
    SetPropisReader([&reads](const QString&, QList<TPropisRow>& rows, QString&) {
        ++reads;
        rows = {{1, QStringLiteral("один"), {}}};
        return true;
    });
    WriteFileBytes(PropisFileName(), "first");
    SpellNumber(Currency::FromInt(1));
    SpellNumber(Currency::FromInt(2));
    EXPECT_EQ(reads, 1);
    WriteFileBytes(PropisFileName(), "replaced by a restore");
    SpellNumber(Currency::FromInt(1));
    EXPECT_EQ(reads, 2);
    ForgetPropis();
    SpellNumber(Currency::FromInt(1));
    EXPECT_EQ(reads, 3);
}

TEST_F(MoneyTest, SeedReaderRefusesAMalformedLine)
{
    QList<TPropisRow> rows;
    QString error;
    ASSERT_TRUE(ReadPropisSeed(kSeed, rows, error)) << error.toStdString();
    EXPECT_GT(rows.size(), 100);

    const QString bad = dataDir.filePath(QStringLiteral("bad.tsv"));
    WriteFileBytes(bad, "# comment\n\n1\tодин\t\n2 два\n");
    EXPECT_FALSE(ReadPropisSeed(bad, rows, error));
    EXPECT_TRUE(error.contains(QStringLiteral("строка 4"))) << error.toStdString();
    EXPECT_TRUE(rows.isEmpty());
    EXPECT_FALSE(ReadPropisSeed(dataDir.filePath(QStringLiteral("none.tsv")), rows, error));
}

TEST_F(MoneyTest, MonthDates)
{
    const TDateTime d = EncodeDate(2024, 3, 15) + 0.75;
    EXPECT_EQ(GetMonthBeg(d), EncodeDate(2024, 3, 1));
    EXPECT_EQ(GetMonthEnd(d), EncodeDate(2024, 3, 31));
    EXPECT_EQ(GetPrevMonthBeg(d), EncodeDate(2024, 2, 1));
    EXPECT_EQ(GetNextMonthBeg(d), EncodeDate(2024, 4, 1));
    EXPECT_EQ(GetMonthEnd(EncodeDate(2024, 2, 10)), EncodeDate(2024, 2, 29));
    EXPECT_EQ(GetPrevMonthBeg(EncodeDate(2024, 1, 31)), EncodeDate(2023, 12, 1));
    EXPECT_EQ(GetNextMonthBeg(EncodeDate(2023, 12, 31)), EncodeDate(2024, 1, 1));
}

TEST_F(MoneyTest, WorkMonthCountsWholeDays)
{
    Cfg.Workdate = EncodeDate(2024, 3, 15);
    const TDateTime elevenPm = 23.0 / 24.0;
    EXPECT_TRUE(IsInWorkMonth(EncodeDate(2024, 3, 31) + elevenPm));
    EXPECT_TRUE(IsInWorkMonth(EncodeDate(2024, 3, 31)));
    EXPECT_TRUE(IsInWorkMonth(EncodeDate(2024, 3, 1)));
    EXPECT_FALSE(IsInWorkMonth(EncodeDate(2024, 4, 1)));
    EXPECT_FALSE(IsInWorkMonth(EncodeDate(2024, 2, 29) + elevenPm));
    EXPECT_FALSE(IsInWorkMonth(EncodeDate(2023, 3, 15)));
}

TEST_F(MoneyTest, ReportVariablesFromTheSettings)
{
    Variant v(QStringLiteral("untouched"));
    EXPECT_TRUE(GetReportVariable(QStringLiteral("fioglbuh"), v));
    EXPECT_EQ(v.AsString(), QStringLiteral("Не найдено"));
    EXPECT_TRUE(GetReportVariable(QStringLiteral("NaimDirector"), v));
    EXPECT_EQ(v.AsString(), QStringLiteral("Директор"));
    EXPECT_TRUE(GetReportVariable(QStringLiteral("RUB"), v));
    EXPECT_EQ(v.AsString(), QStringLiteral("руб."));
    EXPECT_TRUE(GetReportVariable(QStringLiteral("CurrencyDivider"), v));
    EXPECT_EQ(v.AsString(), QStringLiteral("-"));
    EXPECT_TRUE(GetReportVariable(QStringLiteral("name"), v));
    EXPECT_FALSE(v.AsString().isEmpty());
    EXPECT_TRUE(GetReportVariable(QStringLiteral("NAMEAPP"), v));
    EXPECT_FALSE(v.AsString().isEmpty());

    v = Variant(QStringLiteral("untouched"));
    EXPECT_FALSE(GetReportVariable(QStringLiteral("xyz"), v));
    Cfg.Kop.clear();
    EXPECT_FALSE(GetReportVariable(QStringLiteral("KOP"), v));
    EXPECT_EQ(v.AsString(), QStringLiteral("untouched"));

    QList<qint32> asked;
    SetFioLookup([&asked](qint32 tabn) {
        asked.append(tabn);
        return tabn == 12 ? QStringLiteral("Петрова А. И.") : QString();
    });
    Cfg.TabnGlBuh = 12;
    Cfg.TabnDirector = 7;
    EXPECT_TRUE(GetReportVariable(QStringLiteral("FIOGLBUH"), v));
    EXPECT_EQ(v.AsString(), QStringLiteral("Петрова А. И."));
    EXPECT_FALSE(GetReportVariable(QStringLiteral("FIODIRECTOR"), v));
    EXPECT_EQ(asked, (QList<qint32>{12, 7}));
}

} // namespace
