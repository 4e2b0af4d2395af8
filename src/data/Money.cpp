#include "data/Money.h"
#include "data/AppContext.h"
#include "data/Globals.h"
#include "db/Cursor.h"
#include "db/Tables.h"
#include "db/Transaction.h"
#include "foundation/DateFuncs.h"
#include "foundation/FileFuncs.h"
#include "foundation/Messages.h"
#include "foundation/VarFuncs.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "platform/Rounding.h"
#include "platform/SysUtils.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// The rows read, and the file as it was when they were read.
struct PropisCache {
    bool loaded = false;
    QString fileName;
    QDateTime modified;
    qint64 size = -1;
    QList<TPropisRow> rows; // NUMBER > 0 only, ascending
};
PropisCache g_propis;

const QString kEmptyTable = QStringLiteral("Не заполнена база PROPIS.DB");

const QString kPropis = QStringLiteral("PROPIS");

// The rows through a cursor that is closed again at once: no handle stays
// on a file that a restore may replace.
bool ReadWithTableLayer(const QString& fileName, QList<TPropisRow>& rows, QString& error)
{
    const QFileInfo info(fileName);
    if (!info.exists()) {
        error = QStringLiteral("Файл не найден");
        return false;
    }
    try {
        Cursor c(kPropis, info.absolutePath());
        c.Open();
        const Field number = c.FieldByName(QStringLiteral("NUMBER"));
        const Field name1 = c.FieldByName(QStringLiteral("NAME1"));
        const Field name2 = c.FieldByName(QStringLiteral("NAME2"));
        for (c.First(); !c.Eof(); c.Next())
            rows.append({static_cast<qint64>(std::llround(number.AsFloat())), name1.AsString(), name2.AsString()});
        c.Close();
        return true;
    } catch (const Exception& e) {
        error = e.Message();
        rows.clear();
        return false;
    }
}

// Without its words no amount may be spelled: a document would show the
// kopecks alone.
[[noreturn]] void RaisePropisMissing(const QString& fileName, const QString& error)
{
    QString text = QFileInfo::exists(fileName)
        ? QStringLiteral("Не могу открыть базу с данными для формирования суммы прописью:|")
        : QStringLiteral("Не найдена таблица сумм прописью PROPIS.DB|");
    text += EscapeBars(fileName);
    if (!error.isEmpty())
        text += QStringLiteral("\r\n") + EscapeBars(error);
    throw EAppException(text);
}

// The table's rows, read on first use and again when the file changed;
// raises when it cannot be read.
const QList<TPropisRow>& PropisRows()
{
    const QString fileName = PropisFileName();
    const QFileInfo info(fileName);
    if (g_propis.loaded && g_propis.fileName == fileName && info.exists() && info.lastModified() == g_propis.modified
        && info.size() == g_propis.size)
        return g_propis.rows;
    g_propis = PropisCache{};

    QList<TPropisRow> rows;
    QString error;
    const TPropisReader& reader = DataHooks().PropisReader;
    const bool ok = reader ? reader(fileName, rows, error) : ReadWithTableLayer(fileName, rows, error);
    if (!ok)
        RaisePropisMissing(fileName, error);
    if (rows.isEmpty())
        throw EAppException(kEmptyTable);
    // A row of 0 or below would never reduce the rest.
    rows.removeIf([](const TPropisRow& r) { return r.Number <= 0; });
    std::stable_sort(
        rows.begin(), rows.end(), [](const TPropisRow& a, const TPropisRow& b) { return a.Number < b.Number; });
    g_propis.loaded = true;
    g_propis.fileName = fileName;
    g_propis.modified = info.lastModified();
    g_propis.size = info.size();
    g_propis.rows = std::move(rows);
    return g_propis.rows;
}

int DigitGroups(qint64 value) { return static_cast<int>((QString::number(value).size() - 1) / 3); }

// The words of a whole number of units.
QString SpellUnits(qint64 rest, bool negative)
{
    const QList<TPropisRow>& rows = PropisRows();
    QString text;
    // A full table spells any amount in at most three rows per digit group;
    // a damaged one (say, only "1") would add words for ever.
    constexpr int kMaxRows = 64;
    int used = 0;
    while (rest > 0) {
        if (++used > kMaxRows)
            throw EAppException(kEmptyTable + QStringLiteral("|Нет слов для числа ") + QString::number(rest));
        const auto it = std::lower_bound(
            rows.begin(), rows.end(), rest, [](const TPropisRow& row, qint64 value) { return row.Number < value; });
        if (it != rows.end() && it->Number == rest) {
            text += QLatin1Char(' ') + it->Name1.trimmed() + QLatin1Char(' ') + it->Name2.trimmed();
            break;
        }
        // The largest number below the rest; none means the table lacks the
        // words for it, and going on would spell a wrong amount.
        if (it == rows.begin())
            throw EAppException(kEmptyTable + QStringLiteral("|Нет слов для числа ") + QString::number(rest));
        const TPropisRow& row = *(it - 1);
        const QString group = QLatin1Char(' ') + row.Name2.trimmed();
        text += QLatin1Char(' ') + row.Name1.trimmed();
        const qint64 previous = rest;
        rest -= row.Number;
        if (DigitGroups(rest) != DigitGroups(previous))
            text += group;
    }
    text = text.trimmed();
    if (negative)
        text = text.isEmpty() ? QStringLiteral("Минус") : QStringLiteral("Минус ") + text;
    text = text.toLower();
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

// The amount in whole kopecks, halves away from zero.
qint64 KopecksOf(Currency amount) { return amount.Rounded(2, Currency::Halves::AwayFromZero).Raw() / 100; }

QString TwoDigits(qint64 v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

QString ValueOfVariable(const QString& name, bool& known)
{
    known = true;
    if (name == QLatin1String("NAME"))
        return AppName();
    if (name == QLatin1String("NAMEAPP"))
        return AppTitle();
    if (name == QLatin1String("NAIMGLBUH"))
        return Cfg.NaimGlBuh;
    if (name == QLatin1String("NAIMDIRECTOR"))
        return Cfg.NaimDirector;
    if (name == QLatin1String("FIOGLBUH"))
        return DataHooks().FioLookup ? DataHooks().FioLookup(Cfg.TabnGlBuh) : QStringLiteral("Не найдено");
    if (name == QLatin1String("FIODIRECTOR"))
        return DataHooks().FioLookup ? DataHooks().FioLookup(Cfg.TabnDirector) : QStringLiteral("Не найдено");
    if (name == QLatin1String("RUB"))
        return Cfg.Rub;
    if (name == QLatin1String("KOP"))
        return Cfg.Kop;
    if (name == QLatin1String("CURRENCYDIVIDER"))
        return Cfg.CurrencyDivider;
    known = false;
    return QString();
}

} // namespace

double RoundMoney(double x)
{
    if (x < 0)
        return 0;
    if (!Cfg.Round)
        return RoundToKop(x);
    // The settings' load mends a step of 0 or less; a caller's own record may not.
    const double step = Cfg.RoundS > 0 ? Cfg.RoundS : 1.0;
    return Currency::FromDoubleBySteps(x, step, Cfg.RoundB ? Currency::StepMode::Up : Currency::StepMode::Down)
        .ToDouble();
}

double RoundToKop(double x) { return RoundToCents(x).ToDouble(); }

QString FormatMoney(double x) { return Format(QStringLiteral("%.*f"), Cfg.DecimalPos, x); }

QString FormatShortFloat(double x) { return FormatFloat(QStringLiteral("0.0#"), x); }

QString MoneyToText(Currency amount)
{
    const qint64 kop = KopecksOf(amount);
    const qint64 abs = std::llabs(kop);
    return (kop < 0 ? QStringLiteral("-") : QString()) + QString::number(abs / 100) + Cfg.CurrencyDivider
        + TwoDigits(abs % 100);
}

QString SpellNumber(Currency amount)
{
    const qint64 raw = amount.Raw();
    return SpellUnits(std::llabs(raw / 10000), raw < 0);
}

QString SpellMoney(Currency amount)
{
    // Rounded first, so that 1234,999 reads "1235 руб. 00 коп.", not "1234 ... 100".
    const qint64 kop = KopecksOf(amount);
    const qint64 abs = std::llabs(kop);
    return SpellUnits(abs / 100, kop < 0) + QLatin1Char(' ') + Cfg.Rub + QLatin1Char(' ') + TwoDigits(abs % 100)
        + QLatin1Char(' ') + Cfg.Kop;
}

QString SpellMoneyInBrackets(Currency amount) { return QLatin1Char('(') + SpellMoney(amount) + QLatin1Char(')'); }

void SetPropisReader(TPropisReader reader)
{
    DataHooks().PropisReader = std::move(reader);
    ForgetPropis();
}

void ForgetPropis() { g_propis = PropisCache{}; }

QString PropisFileName() { return DataFolder() + QStringLiteral("PROPIS.DB"); }

TableDef PropisTableDef()
{
    TableDef def;
    def.name = kPropis;
    def.fields = {
        {QStringLiteral("NUMBER"), FieldType::Float, 0, true},
        {QStringLiteral("NAME1"), FieldType::String, 40, false},
        {QStringLiteral("NAME2"), FieldType::String, 40, false},
    };
    def.indexes = {{QString(), IndexOption::Primary | IndexOption::Unique, QStringLiteral("NUMBER")}};
    return def;
}

void BuildPropisTable(const QList<TPropisRow>& rows, const QString& folder)
{
    Tables::Create(PropisTableDef(), folder);
    Cursor c(kPropis, folder);
    c.Open(true);
    {
        Transaction t{&c};
        const Field number = c.FieldByName(QStringLiteral("NUMBER"));
        const Field name1 = c.FieldByName(QStringLiteral("NAME1"));
        const Field name2 = c.FieldByName(QStringLiteral("NAME2"));
        for (const TPropisRow& row : rows) {
            c.Append();
            number.SetFloat(static_cast<double>(row.Number));
            name1.SetString(row.Name1);
            name2.SetString(row.Name2);
            c.Post();
        }
        t.Commit();
    }
    c.Close();
}

QString ShippedPropisFileName() { return QFileInfo(ProgramFilePath()).absolutePath() + QStringLiteral("/PROPIS.DB"); }

bool EnsurePropisTable(const QString& dataFolder, const QString& shippedFile)
{
    if (Tables::Exists(kPropis, dataFolder))
        return true;
    if (!QFileInfo::exists(shippedFile))
        return false;
    const QString target = AddBackslash(dataFolder) + QStringLiteral("PROPIS.DB");
    try {
        if (CopyOrCompareFile(shippedFile, target, true, {}))
            return true;
    } catch (const Exception& e) {
        ShowError(QStringLiteral("Не могу скопировать таблицу суммы прописью в папку данных|") + EscapeBars(target)
            + QStringLiteral("\r\n") + EscapeBars(e.Message()));
        return false;
    }
    ShowError(QStringLiteral("Не могу скопировать таблицу суммы прописью в папку данных|") + EscapeBars(target));
    return false;
}

bool ReadPropisSeed(const QString& fileName, QList<TPropisRow>& rows, QString& error)
{
    rows.clear();
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        error = fileName + QStringLiteral(": ") + f.errorString();
        return false;
    }
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = lines[i].split(QLatin1Char('\t'));
        bool ok = false;
        TPropisRow row;
        if (parts.size() == 3)
            row.Number = parts[0].trimmed().toLongLong(&ok);
        if (!ok || row.Number <= 0) {
            error = QStringLiteral("%1, строка %2: ожидается \"число<tab>слова<tab>слово разряда\"")
                        .arg(fileName)
                        .arg(i + 1);
            rows.clear();
            return false;
        }
        row.Name1 = parts[1].trimmed();
        row.Name2 = parts[2].trimmed();
        rows.append(row);
    }
    return true;
}

TDateTime GetMonthBeg(TDateTime date) { return FirstDayOfMonth(date); }

TDateTime GetMonthEnd(TDateTime date) { return LastDayOfMonth(date); }

TDateTime GetPrevMonthBeg(TDateTime date) { return FirstDayOfMonth(FirstDayOfMonth(date) - 1); }

TDateTime GetNextMonthBeg(TDateTime date) { return LastDayOfMonth(date) + 1; }

bool IsInWorkMonth(TDateTime date)
{
    // Whole days: a time on the month's last day still belongs to it.
    const TDateTime day = std::floor(date);
    return GetMonthBeg(Cfg.Workdate) <= day && day <= GetMonthEnd(Cfg.Workdate);
}

void SetFioLookup(TFioLookup lookup) { DataHooks().FioLookup = std::move(lookup); }

bool GetReportVariable(const QString& name, Variant& value)
{
    bool known = false;
    const QString text = ValueOfVariable(name.toUpper(), known);
    if (!known || text.isEmpty())
        return false;
    value = Variant(text);
    return true;
}
