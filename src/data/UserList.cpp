#include "data/UserList.h"

#include "data/DatModl.h"
#include "db/Cursor.h"
#include "platform/SysUtils.h"

#include <algorithm>

void T_CUser::SetTabNum(qint32 tabNum)
{
    TabNum = tabNum;
    QString fio;
    if (GetFioByTabn(tabNum, fio))
        Name = fio;
    else
        Name = Format(QStringLiteral("Не определен номер \"%d\" в справочнике"), tabNum);
}

void T_UserList::Load()
{
    Clear();
    auto* any = new T_CUser;
    any->Name = QStringLiteral("Любой расчетчик");
    AddObject(any);
    Cursor table(QStringLiteral("User"));
    table.Open();
    for (table.First(); !table.Eof(); table.Next()) {
        const qint32 num = table[QStringLiteral("CUSER")].AsInteger();
        if (num == 0)
            continue;
        auto* user = new T_CUser;
        user->Num = num;
        user->TabNum = table[QStringLiteral("TABNUM")].AsInteger();
        user->Name = table[QStringLiteral("FIO")].AsString();
        AddObject(user);
    }
}

T_CUser* T_UserList::NewUser()
{
    qint32 next = 1;
    for (T_CUser* u : *this)
        next = std::max(next, u->Num + 1);
    auto* user = new T_CUser;
    user->Num = next;
    user->Name = QStringLiteral("Новый расчетчик");
    AddObject(user);
    return user;
}

T_CUser* T_UserList::FindUser(qint32 num) const
{
    return Find([num](T_CUser* u) { return u->Num == num; });
}
