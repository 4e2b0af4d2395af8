#pragma once
// What the tests of the accrual book, card and wizard share: the data base
// with calc's lists, scripted messages and modal windows, the picker
// answered by number, and DP read back by field.

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/ui/DpSelect.h"
#include "support/CalcBuilders.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"

#include <QLabel>
#include <QTableView>
#include <QTest>

class AccrualTest : public CalcTest {
protected:
    void TearDown() override
    {
        FreeFormDpSelect();
        CalcTest::TearDown();
    }

    // The picker's next call answers num (-1: Esc); its title is checked
    // when one is given.
    void Pick(qint32 num, const QString& title = QString())
    {
        modal.Next<TFormDpSelect>([num, title](TFormDpSelect& f) {
            if (!title.isEmpty()) {
                EXPECT_EQ(f.lbHint->text(), title);
            }
            if (num < 0) {
                QTest::keyClick(f.lvt, Qt::Key_Escape);
                return;
            }
            const int row = f.ShownDops().indexOf(num);
            EXPECT_GE(row, 0) << "kind " << num << " not offered";
            f.lvt->setCurrentIndex(f.lvt->model()->index(row, 2));
            QTest::keyClick(f.lvt, Qt::Key_Return);
        });
    }

    static Variant DpField(qint32 dopNum, const char* field)
    {
        Cursor dp(QStringLiteral("DP"));
        dp.Open();
        if (!dp.FindKey({Variant(dopNum)}))
            return Variant();
        return dp[QString::fromLatin1(field)].AsVariant();
    }
    static bool DpHas(qint32 dopNum) { return !DpField(dopNum, "DOPNUM").IsEmptyOrNull(); }
    // The numbers of a DPT table.
    static QList<qint32> TableNumbers(qint32 num)
    {
        T_DNList* dn = DNList();
        dn->SetLoaded(false);
        dn->EnsureLoaded();
        QList<qint32> out;
        if (const T_DopTabl* t = dn->Tables().FindByNum(num))
            for (int i = 0; i < t->Count(); ++i)
                out << t->GetInteger(i);
        return out;
    }

    // As in the program: a directory reload rebuilds the views and calls
    // the windows' handlers at once.
    ScopedApplicationRunning running;
    ScriptedMessages msgs;
    ModalScript modal;
};
