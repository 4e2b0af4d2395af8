// The amount-in-words table reader on damaged rows. The input is a few
// amounts, then rows of "PROPIS.DB": NUMBER as the 8 bytes of the stored
// real, NAME1 and NAME2 each up to a byte 0. The rows go into a real table
// file; spelling the amounts over it must give words or the reader's own
// error, never a crash, a hang or a wrong amount's words.

#include "FuzzSupport.h"

#include "data/Globals.h"
#include "data/Money.h"
#include "db/Cursor.h"
#include "db/Tables.h"
#include "db/Transaction.h"
#include "platform/Codec.h"
#include "platform/Currency.h"
#include "platform/Exceptions.h"

#include <QDir>

#include <cstdlib>
#include <cstring>

namespace {

QString Folder()
{
    static const QString folder = [] {
        const QString f = FuzzScratchFolder() + QStringLiteral("propis/");
        QDir().mkpath(f);
        return f;
    }();
    return folder;
}

void WriteTable(FuzzInput& in)
{
    if (Tables::Exists(QStringLiteral("PROPIS"), Folder()))
        Tables::Delete(QStringLiteral("PROPIS"), Folder());
    Tables::Create(PropisTableDef(), Folder());
    Cursor c(QStringLiteral("PROPIS"), Folder());
    c.Open(true);
    {
        Transaction t{&c};
        const Field number = c.FieldByName(QStringLiteral("NUMBER"));
        const Field name1 = c.FieldByName(QStringLiteral("NAME1"));
        const Field name2 = c.FieldByName(QStringLiteral("NAME2"));
        while (!in.Empty()) {
            double n = 0;
            const QByteArray bits = in.Bytes(sizeof n);
            std::memcpy(&n, bits.constData(), size_t(bits.size()));
            const QString words1 = FromCp1251(in.UntilZero());
            const QString words2 = FromCp1251(in.UntilZero());
            c.Append();
            try {
                number.SetFloat(n);
                name1.SetString(words1);
                name2.SetString(words2);
                c.Post();
            } catch (const Exception&) {
                // What the table itself refuses (a NUMBER met twice, not a
                // number) cannot be in a table file either.
                c.Cancel();
            }
        }
        t.Commit();
    }
    c.Close();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInitApp();
    FuzzQuietMessages();
    SetDataFolder(Folder());
    // Before the statics the data folder's INI uses are destroyed.
    std::atexit([] { SetDataFolder(QString()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    QList<Currency> amounts;
    for (int n = in.Byte() % 4 + 1; n > 0; --n) {
        int64_t raw = 0;
        const QByteArray bytes = in.Bytes(sizeof raw);
        std::memcpy(&raw, bytes.constData(), size_t(bytes.size()));
        amounts.append(Currency::FromRaw(raw));
    }
    WriteTable(in);
    ForgetPropis();
    for (const Currency amount : amounts) {
        try {
            const QString words = SpellMoney(amount);
            FuzzCheck(words.endsWith(QLatin1Char(' ') + Cfg.Kop), "the amount in words ends with the kopecks", words);
        } catch (const EAppException&) {
        }
    }
    return 0;
}
