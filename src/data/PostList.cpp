#include "data/PostList.h"

#include "db/Cursor.h"

void ReadCodeTable(const QString& tableName, const std::function<void(qint32, const QString&)>& row)
{
    Cursor table(tableName);
    table.Open();
    table.SetIndexName(QStringLiteral("NAIM"));
    const Field num = table.FieldByName(QStringLiteral("NUM"));
    const Field naim = table.FieldByName(QStringLiteral("NAIM"));
    for (table.First(); !table.Eof(); table.Next())
        row(num.AsInteger(), naim.AsString());
}
