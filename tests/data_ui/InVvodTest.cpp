// The input of one entry: what the kind's method lets the clerk type, where
// the typed value goes, the period of a permanent entry, the number box.
#include "data/ui/InVvod.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/TabnDops.h"
#include "foundation/ui/edits/DateEdit.h"
#include "platform/DateTime.h"
#include "support/DataFolderFixture.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// The number edits by name.
QLineEdit* Edit(QWidget& form, const char* name)
{
    auto* edit = form.findChild<QLineEdit*>(QString::fromLatin1(name));
    EXPECT_NE(edit, nullptr) << name;
    return edit;
}

class InVvod : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        const struct {
            int dopNum, formula;
            const char* naim;
        } kinds[]
            = {{1, 1, "Оклад"}, {20, 132, "Надбавка за стаж"}, {30, 193, "Доплата за ночные"}, {40, 67, "Больничный"}};
        for (const auto& k : kinds)
            AppendRecordValues(DM()->DP, 0, {"DOPNUM", "NAIM", "UDER", "TIP", "FORMULA"},
                {Variant(k.dopNum), Variant(U(k.naim)), Variant(false), Variant(0), Variant(k.formula)});
        DNList()->Reload();
    }
    void TearDown() override
    {
        FreeInputDialogs();
        AppContextTest::TearDown();
    }
    std::unique_ptr<T_TabnDop> Entry(int dopNum, double sum, double time, quint8 kind = tdkInput)
    {
        auto e = std::make_unique<T_TabnDop>(1, DNList(), kind);
        e->DopNum = dopNum;
        e->Sum = Currency::FromDouble(sum);
        e->DTime = time;
        return e;
    }
    static void TypeIntoFocus(const char* text)
    {
        QWidget* w = QApplication::focusWidget();
        ASSERT_NE(w, nullptr);
        QTest::keyClicks(w, QString::fromLatin1(text));
    }

    ModalScript modal;
    ScriptedMessages msgs;
};

TEST_F(InVvod, PercentMethodStoresThePercentInSum)
{
    auto e = Entry(20, 10, 5);
    modal.Next<TFormInVvod>([](TFormInVvod& f) {
        EXPECT_EQ(f.lbMode->text(), U("[20] Надбавка за стаж"));
        EXPECT_TRUE(Edit(f, "edProc")->isVisible());
        EXPECT_FALSE(Edit(f, "edSum")->isVisible());
        EXPECT_FALSE(Edit(f, "edDTime")->isEnabled()) << "the method takes no time";
        EXPECT_EQ(QApplication::focusWidget(), Edit(f, "edProc"));
        TypeIntoFocus("12,5");
        SaveScreenshot(&f, QStringLiteral("InVvod_percent"));
        QTest::keyClick(Edit(f, "edProc"), Qt::Key_Return);
    });
    ASSERT_TRUE(FormInVvod().Execute(e.get()));
    EXPECT_EQ(e->Sum.Raw(), 125000);
    EXPECT_EQ(e->DTime, 5.0);
}

TEST_F(InVvod, TimeOnlyWhenTheMethodTakesItAndNotReadOnly)
{
    auto e = Entry(30, 20, 8);
    modal.Next<TFormInVvod>([](TFormInVvod& f) {
        EXPECT_TRUE(Edit(f, "edDTime")->isEnabled());
        EXPECT_EQ(QApplication::focusWidget(), Edit(f, "edDTime"));
        TypeIntoFocus("6");
        QTest::keyClick(Edit(f, "edDTime"), Qt::Key_Down);
        EXPECT_EQ(QApplication::focusWidget(), Edit(f, "edProc"));
        TypeIntoFocus("15");
        QTest::keyClick(Edit(f, "edProc"), Qt::Key_Return);
    });
    ASSERT_TRUE(FormInVvod().Execute(e.get()));
    EXPECT_EQ(e->DTime, 6.0);
    EXPECT_EQ(e->Sum.Raw(), 150000);

    FormInVvod().ReadOnlyTime = true;
    modal.Next<TFormInVvod>([](TFormInVvod& f) {
        EXPECT_FALSE(Edit(f, "edDTime")->isEnabled());
        EXPECT_EQ(QApplication::focusWidget(), Edit(f, "edProc"));
        Edit(f, "edDTime")->setText(QStringLiteral("99"));
        QTest::keyClick(Edit(f, "edProc"), Qt::Key_Return);
    });
    ASSERT_TRUE(FormInVvod().Execute(e.get()));
    EXPECT_EQ(e->DTime, 6.0);
    EXPECT_FALSE(FormInVvod().ReadOnlyTime) << "cleared on close";
}

TEST_F(InVvod, ValueEditsFollowTheMethod)
{
    auto days = Entry(40, 0, 3); // time only: no value
    modal.Next<TFormInVvod>([](TFormInVvod& f) {
        EXPECT_TRUE(Edit(f, "edSum")->isVisible());
        EXPECT_FALSE(Edit(f, "edSum")->isEnabled());
        QTest::keyClick(Edit(f, "edDTime"), Qt::Key_Escape);
    });
    EXPECT_FALSE(FormInVvod().Execute(days.get()));
    EXPECT_EQ(days->DTime, 3.0);

    auto salary = Entry(1, 100, 0);
    modal.Next<TFormInVvod>([](TFormInVvod& f) {
        EXPECT_EQ(QApplication::focusWidget(), Edit(f, "edSum"));
        TypeIntoFocus("2500,75");
        SaveScreenshot(&f, QStringLiteral("InVvod_sum"));
        QTest::keyClick(Edit(f, "edSum"), Qt::Key_Enter);
    });
    ASSERT_TRUE(FormInVvod().Execute(salary.get()));
    EXPECT_EQ(salary->Sum.Raw(), 25007500);
}

TEST_F(InVvod, PermanentPeriodRules)
{
    const TDateTime beg = EncodeDate(2024, 3, 1);
    const struct {
        int endOffset;
        TDateTime stored;
    } cases[] = {{1, 0}, {0, 0}, {2, beg + 2}, {40, beg + 40}};
    for (const auto& c : cases) {
        auto e = Entry(1, 300, 0, tdkPermanent);
        e->DateBeg = beg;
        modal.Next<TFormInSrDop>([&](TFormInSrDop& f) {
            EXPECT_EQ(f.edDateEnd->date(), ToQDate(beg)) << "no end shows the begin";
            f.edDateEnd->setDate(ToQDate(beg + c.endOffset));
            QTest::keyClick(Edit(f, "edSum"), Qt::Key_Return);
        });
        ASSERT_TRUE(FormInSrDop().Execute(e.get())) << c.endOffset;
        EXPECT_EQ(e->DateEnd, c.stored) << c.endOffset;
        EXPECT_EQ(e->DateBeg, beg);
    }
}

TEST_F(InVvod, PermanentEndBeforeBeginIsRefused)
{
    const TDateTime beg = EncodeDate(2024, 3, 1);
    auto e = Entry(20, 5, 0, tdkPermanent);
    e->DateBeg = beg;
    e->DateEnd = beg + 30;
    msgs.Expect(MsgKind::Error).Details(U("Дата окончания раньше даты начала"));
    modal.Next<TFormInSrDop>([&](TFormInSrDop& f) {
        EXPECT_EQ(f.windowTitle(), U("Постоянное начисление"));
        EXPECT_TRUE(Edit(f, "edProc")->isVisible());
        EXPECT_EQ(f.edDateEnd->date(), ToQDate(beg + 30));
        f.edDateEnd->setDate(ToQDate(beg - 1));
        TypeIntoFocus("7");
        QTest::keyClick(Edit(f, "edProc"), Qt::Key_Return);
        EXPECT_TRUE(f.isVisible()) << "refused: the dialog stays";
        SaveScreenshot(&f, QStringLiteral("InSrDop"));
        QTest::keyClick(f.edDateEnd, Qt::Key_Escape);
    });
    EXPECT_FALSE(FormInSrDop().Execute(e.get()));
    EXPECT_EQ(e->DateEnd, beg + 30);
    EXPECT_EQ(e->Sum.Raw(), 50000);
}

TEST_F(InVvod, DopNumberEnterAndEsc)
{
    int num = 7;
    modal.Next<TFormFindDNum>([](TFormFindDNum& f) {
        EXPECT_EQ(Edit(f, "edNum")->text(), QStringLiteral("7"));
        QTest::keyClick(Edit(f, "edNum"), Qt::Key_Backspace);
        QTest::keyClicks(Edit(f, "edNum"), QStringLiteral("42"));
        SaveScreenshot(&f, QStringLiteral("FindDNum"));
        QTest::keyClick(Edit(f, "edNum"), Qt::Key_Return);
    });
    ASSERT_TRUE(InputDopNum(U("Номер начисления"), num));
    EXPECT_EQ(num, 42);
    modal.Next<TFormFindDNum>([](TFormFindDNum& f) {
        QTest::keyClicks(Edit(f, "edNum"), QStringLiteral("5"));
        QTest::keyClick(Edit(f, "edNum"), Qt::Key_Escape);
    });
    EXPECT_FALSE(InputDopNum(U("Номер начисления"), num));
    EXPECT_EQ(num, 42);
}

} // namespace
