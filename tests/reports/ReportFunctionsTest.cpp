#include "reports/ReportFunctions.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

const QString kSeed = QStringLiteral(QOR_SOURCE_DIR "/resources/propis/propis.tsv");

class ReportFunctionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGlobals();
        SetDataFolder(dataDir.path());
        // The rows are kept between calls only while their file exists.
        WriteFileBytes(PropisFileName(), "rows");
    }
    void TearDown() override
    {
        SetPropisReader({});
        DoneGlobals();
    }
    // The shipped words, with the word of 1 replaced when given.
    void UseSeed(const QString& one = QString())
    {
        SetPropisReader([one](const QString&, QList<TPropisRow>& rows, QString& error) {
            if (!ReadPropisSeed(kSeed, rows, error))
                return false;
            for (TPropisRow& r : rows)
                if (r.Number == 1 && !one.isEmpty())
                    r.Name1 = one;
            return true;
        });
    }

    ScopedFakeClock clock{EncodeDate(2024, 3, 15) + 0.5};
    ScopedProgramFolder prog;
    QTemporaryDir dataDir;
};

TEST_F(ReportFunctionsTest, PropisSpellsTheAmountInBracketsFromTenThousandthsAndCutsAt255)
{
    const QString longWord(300, QLatin1Char('x'));
    struct Case {
        double amount;
        QString one; // the word of 1 in the table, "" for the shipped one
        QString expected;
    } cases[] = {
        {1234.5, {}, QStringLiteral("(Одна тысяча двести тридцать четыре руб. 50 коп.)")},
        {0, {}, QStringLiteral("( руб. 00 коп.)")},
        {-7.01, {}, QStringLiteral("(Минус семь руб. 01 коп.)")},
        // Taken to 1/10000 first (0.0050), then to kopecks: half a kopeck up.
        {0.0049996, {}, QStringLiteral("( руб. 01 коп.)")},
        {0.0049499, {}, QStringLiteral("( руб. 00 коп.)")},
        {1, longWord, QStringLiteral("(X") + longWord.left(253)},
    };
    for (const Case& c : cases) {
        UseSeed(c.one);
        const QString got = PropisFunction(c.amount);
        EXPECT_EQ(got, c.expected) << c.amount;
        EXPECT_LE(got.size(), 255);
    }
}

} // namespace
