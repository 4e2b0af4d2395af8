// The predecessor's pay sheet (QO.RAS): which accruals each column sums,
// and the replacement of the stored pay sheets.

#include "reports/RasVedImport.h"

#include "platform/Codec.h"
#include "reports/RasVed.h"
#include "support/CalcBuilders.h"
#include "support/OldFiles.h"

#include <gtest/gtest.h>

namespace {

// A column's text: the title padded to 27 characters, then the flags.
QByteArray Graf(const char* title, const QByteArray& flags)
{
    return ToCp866(QString::fromUtf8(title)).leftJustified(27, ' ') + flags;
}

QByteArray FlagAt(int i, char c = '1') { return QByteArray(i - 1, '0') + c; }

QString Numbers(const T_RasVedItem& column)
{
    QStringList out;
    for (int i = 0; i < column.Count(); ++i)
        out << QString::number(column.GetInteger(i));
    return out.join(QLatin1Char(','));
}

// "title:numbers" of every column, in order.
QStringList Columns(const QByteArray& memFile, QStringList* errors = nullptr)
{
    TClipperMVA ras;
    LoadClipperMemBytes(memFile, ras);
    T_RasVedBase sheet;
    ReadOldPaySheet(ras, sheet, [&](const QString& e) {
        if (errors)
            *errors << e;
    });
    QStringList out;
    for (int i = 0; i < sheet.ColumnCount(); ++i)
        out << sheet.Column(i)->Name + QLatin1Char(':') + Numbers(*sheet.Column(i));
    return out;
}

TEST(RasVedImport, FlagsSelectAccrualsByColumn)
{
    struct Case {
        const char* name;
        QByteArray file;
        QStringList columns;
    };
    const Case cases[] = {
        {"column 6: character 28 is accrual 1", MemText("GRAF6", Graf("Оклад", "1")), {"Оклад:1"}},
        {"column 7: character 28 is accrual 200", MemText("GRAF7", Graf("Налог", "1")), {"Налог:200"}},
        {"only '1' selects", MemText("GRAF1", Graf("A", FlagAt(3, '2') + FlagAt(2))), {"A:5"}},
        {"the last flag", MemText("GRAF8", Graf("B", FlagAt(199))), {"B:398"}},
        {"characters past 226 are no flags", MemText("GRAF2", Graf("C", FlagAt(200))), {"C:"}},
        {"a short text: the rest unset", MemText("GRAF3", ToCp866(QStringLiteral("Короткий"))), {"Короткий:"}},
        {"a blank value: no accruals", MemText("GRAF4", QByteArray(40, ' ')), {":"}},
        {"ordered by number, other variables ignored",
            MemText("GRAF12", Graf("L", "1")) + MemText("GRAF0", Graf("Z", "1")) + MemText("XGRAF1", "x")
                + MemText("GRAF2", Graf("B", "01")),
            {"B:2", "L:200"}},
        {"two-character numbers only", MemText("GRAF1X", Graf("X", "1")), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Columns(c.file), c.columns);
    }
}

TEST(RasVedImport, AValueNotTextIsListedAndSkipped)
{
    QStringList errors;
    EXPECT_EQ(Columns(MemNumber("GRAF3", 1) + MemText("GRAF1", Graf("A", "1")), &errors), QStringList({"A:1"}));
    EXPECT_EQ(errors, QStringList({"Ошибка при сохранении столбца №3 основной расчетной ведомости"}));
}

using RasVedImportStore = CalcTest;

TEST_F(RasVedImportStore, ReplacesEveryStoredPaySheetOrNone)
{
    for (int number : {2, 9}) {
        T_RasVed old;
        old.Number = number;
        old.Name = QStringLiteral("Старая");
        old.AddColumn()->AddInteger(5);
        old.Save();
    }
    const auto stored = [] {
        T_RasVedList list;
        list.LoadAll();
        QStringList out;
        for (int i = 0; i < list.Count(); ++i)
            out << QString::number(list[i]->Number) + QLatin1Char(' ') + list[i]->Name;
        return out;
    };
    TClipperMVA none;
    LoadClipperMemBytes(MemText("GRAF", "x") + MemText("OTHER", "y"), none);
    EXPECT_FALSE(ImportOldPaySheet(none, {}));
    EXPECT_EQ(stored(), QStringList({"2 Старая", "9 Старая"}));

    TClipperMVA ras;
    LoadClipperMemBytes(MemText("GRAF1", Graf("Оклад", "1")), ras);
    EXPECT_TRUE(ImportOldPaySheet(ras, {}));
    EXPECT_EQ(stored(), QStringList({"0 Основная расчетная ведомость"})) << "the number the payment sheet looks for";
}

} // namespace
