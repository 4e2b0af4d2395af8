// The object store's rows as the data layer reads them back: user formulas
// (Bin rows of CLASS 2, a text BLOB) and the accrual tables (DPT rows, an
// integer-list BLOB). The input is rows: a byte that says which table, the
// 4-byte number, a 2-byte length and that many BLOB bytes. A damaged row
// must be reported or refused with the reader's own error, and every sound
// row must load.

#include "FuzzSupport.h"

#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/UserFormulas.h"
#include "db/Cursor.h"
#include "db/Transaction.h"
#include "foundation/TypeList.h"
#include "platform/Exceptions.h"

#include <QtEndian>

namespace {

void EmptyTable(Cursor& c)
{
    while (!c.IsEmpty()) {
        c.First();
        c.Delete();
    }
}

struct Counts {
    int formulas = 0; // Bin rows of CLASS 2
    int badFormulas = 0; // of them, with a BLOB the text reader refuses
    int tables = 0; // DPT rows
    int badTables = 0;
};

Counts WriteRows(FuzzInput& in)
{
    Counts n;
    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    Cursor dpt(QStringLiteral("DPT"));
    dpt.Open();
    Transaction t({&bin, &dpt});
    EmptyTable(bin);
    EmptyTable(dpt);
    while (!in.Empty()) {
        const uint8_t kind = in.Byte();
        const QByteArray num = in.Bytes(4).leftJustified(4, '\0');
        const qint32 number = qFromLittleEndian<qint32>(num.constData());
        const QByteArray len = in.Bytes(2).leftJustified(2, '\0');
        const QByteArray blob = in.Bytes(qFromLittleEndian<quint16>(len.constData()));
        bool sound = true;
        try {
            if (kind % 2 == 0)
                ReadTextBlob(blob);
            else {
                T_yqIntegerList list;
                ReadIntegerListBlob(blob, list);
            }
        } catch (const EAppException&) {
            sound = false;
        }
        Cursor& c = kind % 2 == 0 ? bin : dpt;
        c.Append();
        if (kind % 2 == 0) {
            c.FieldByName(QStringLiteral("CLASS")).SetInteger(binUserFormulas);
            c.FieldByName(QStringLiteral("VID")).SetInteger(number);
            c.FieldByName(QStringLiteral("TIP")).SetInteger(0);
            c.FieldByName(QStringLiteral("SUBTIP")).SetInteger(0);
            c.FieldByName(QStringLiteral("DATEBEG")).SetDateTime(kind / 2);
        } else {
            c.FieldByName(QStringLiteral("NUM")).SetInteger(number);
            c.FieldByName(QStringLiteral("DOPNUM")).SetInteger(kind);
            c.FieldByName(QStringLiteral("TIP")).SetInteger(kind / 2 % 2);
        }
        c.FieldByName(QStringLiteral("INFO")).SetBlob(blob);
        try {
            c.Post();
        } catch (const Exception&) {
            // A key met twice is refused, as the program refuses it.
            c.Cancel();
            continue;
        }
        if (kind % 2 == 0) {
            ++n.formulas;
            n.badFormulas += sound ? 0 : 1;
        } else {
            ++n.tables;
            n.badTables += sound ? 0 : 1;
        }
    }
    t.Commit();
    return n;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzOpenDataBase();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const Counts n = WriteRows(in);

    T_UserFormulaList formulas;
    const int before = FuzzMessageCount();
    formulas.Load();
    FuzzCheck(formulas.GetCount() == n.formulas - n.badFormulas, "every sound formula row loads",
        QStringLiteral("%1 of %2 rows").arg(formulas.GetCount()).arg(n.formulas));
    FuzzCheck(FuzzMessageCount() - before == n.badFormulas, "every damaged formula row is reported");

    T_TablList tables;
    try {
        tables.Load();
        FuzzCheck(n.badTables == 0, "a damaged table row is refused");
        FuzzCheck(tables.GetCount() == n.tables, "every table row loads");
    } catch (const EAppException& e) {
        FuzzCheck(n.badTables > 0, "a sound table row loads", e.Message());
        FuzzCheck(e.Message().startsWith(QStringLiteral("Ошибка загрузки таблицы начисления №")),
            "a damaged table row names the table", e.Message());
    }

    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    if (BinFindValid(bin, binUserFormulas, 0, 0, 0, 100))
        FuzzCheck(BinCurrent(bin).Key.DateBeg <= 100, "the version in force began before the date");
    return 0;
}
