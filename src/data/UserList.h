#pragma once
// The payroll clerks (table User): the entry 0 "Любой расчетчик" first, then
// the rows of the table.

#include "foundation/TypeList.h"

#include <QString>

class T_CUser : public TObject {
public:
    qint32 Num = 0; // CUSER
    qint32 TabNum = 0; // the clerk's personnel card, 0 = none
    QString Name;

    // Takes the name from the personnel card; a number SR lacks gives
    // "Не определен номер "N" в справочнике".
    void SetTabNum(qint32 tabNum);
};

class T_UserList : public T_yqOwnerListOf<T_CUser> {
public:
    void Load();
    // A new entry "Новый расчетчик" under the next free number (not stored).
    T_CUser* NewUser();
    T_CUser* FindUser(qint32 num) const;
};
