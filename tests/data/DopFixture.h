#pragma once
// A fresh data base with helpers that write accrual kinds and tables
// straight into DP and DPT, for the tests of the accrual directory and the
// employees' entries.

#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "db/Cursor.h"
#include "foundation/TypeList.h"
#include "support/DataFolderFixture.h"

#include <gtest/gtest.h>

#include <QList>
#include <QString>

struct KindRow {
    int dopNum = 0;
    QString naim;
    bool uder = false;
    int tip = 0;
    bool deleted = false;
    int snum = 0;
    int stadiaF = 0;
    int tabl = 0;
    int vlist = 0;
};

class DopFixture : public ::testing::Test {
protected:
    void SetUp() override { fx.OpenDataBase(); }

    static void AddKind(const KindRow& k)
    {
        AppendRecordValues(DM()->DP, 0,
            {"DOPNUM", "NAIM", "UDER", "TIP", "DELETED", "SNUM", "STADIAF", "TABL", "VLIST"},
            {Variant(k.dopNum), Variant(k.naim), Variant(k.uder), Variant(k.tip), Variant(k.deleted), Variant(k.snum),
                Variant(k.stadiaF), Variant(k.tabl), Variant(k.vlist)});
    }
    static void AddKind(int dopNum, const QString& naim, bool uder = false) { AddKind(KindRow{dopNum, naim, uder}); }
    // A DPT row with its numbers.
    static void AddTable(int num, int dopNum, int tip, const QList<int>& numbers)
    {
        T_yqIntegerList list;
        for (int n : numbers)
            list.AddInteger(n);
        QByteArray info;
        WriteIntegerListBlob(info, list);
        Cursor dpt(QStringLiteral("DPT"));
        dpt.Open();
        dpt.Append();
        dpt.FieldByName("NUM").SetInteger(num);
        dpt.FieldByName("DOPNUM").SetInteger(dopNum);
        dpt.FieldByName("TIP").SetInteger(tip);
        dpt.FieldByName("NAIM").SetString(QStringLiteral("Таблица %1").arg(num));
        dpt.FieldByName("INFO").SetBlob(info);
        dpt.Post();
    }
    // The numbers of a view in its order.
    static QList<int> Numbers(T_DNSubList& view)
    {
        QList<int> out;
        for (int i = 0; i < view.DopCount(); ++i)
            out << view.GetDop(i)->DopNum;
        return out;
    }
    static int RowCount(const char* table)
    {
        Cursor c{QString::fromLatin1(table)};
        c.Open();
        return c.RecordCount();
    }

    DataFolderFixture fx;
};
