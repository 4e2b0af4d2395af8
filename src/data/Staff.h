#pragma once
// One position of the staff schedule (table STAFF) with the names of its
// post and category.
//
//   T_Staff s;
//   if (s.Load(12)) label = s.PostName;

#include "foundation/TypeList.h"

#include <QString>

// The name shown for a post or category number its book does not have.
inline const QString kNotInBook = QStringLiteral("Нет в справочнике");

class T_Staff : public TObject {
public:
    qint32 Num = 0;
    qint32 Podr = 0;
    qint32 Post = 0;
    qint32 Ctgr = 0;
    QString PostName;
    QString CtgrName;
    double RateMax = 0;
    double RateMin = 0;
    qint32 Vacancy = 0;
    qint32 VacBusy = 0;
    qint32 Ksop = 0;

    // The row of that number; false (and the fields cleared) when absent.
    bool Load(qint32 num);
    void Clear() { *this = T_Staff(); }
};

// The name of a post or category number in its table, "Нет в справочнике"
// when the table lacks it.
QString CodeBookName(const QString& tableName, qint32 num);
