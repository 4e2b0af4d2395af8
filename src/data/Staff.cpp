#include "data/Staff.h"

#include "db/Cursor.h"
#include "platform/Variant.h"

QString CodeBookName(const QString& tableName, qint32 num)
{
    Cursor table(tableName);
    table.Open();
    if (!table.FindKey({Variant(num)}))
        return kNotInBook;
    return table.FieldByName(QStringLiteral("NAIM")).AsString();
}

bool T_Staff::Load(qint32 num)
{
    Clear();
    Cursor staff(QStringLiteral("STAFF"));
    staff.Open();
    if (!staff.FindKey({Variant(num)}))
        return false;
    Num = num;
    Podr = staff[QStringLiteral("PODR")].AsInteger();
    Post = staff[QStringLiteral("POST")].AsInteger();
    Ctgr = staff[QStringLiteral("CTGR")].AsInteger();
    RateMax = staff[QStringLiteral("RATEMAX")].AsFloat();
    RateMin = staff[QStringLiteral("RATEMIN")].AsFloat();
    Vacancy = staff[QStringLiteral("VACANCY")].AsInteger();
    VacBusy = staff[QStringLiteral("VACBUSY")].AsInteger();
    Ksop = staff[QStringLiteral("KSOP")].AsInteger();
    PostName = CodeBookName(QStringLiteral("POST"), Post);
    CtgrName = CodeBookName(QStringLiteral("CTGR"), Ctgr);
    return true;
}
