// The pay-sheet column set-up: what is stored after OK and Cancel, the
// column order, and the marks kept per column (also the numbers the list
// does not show).

#include "reports/ui/VedTune.h"

#include "CatalogueFixture.h"
#include "data/DatModl.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

using VedTuneTest = CatalogueUiTest;

// A stored definition "Основная" with these columns; answers its number.
qint32 Store(const QList<QPair<QString, QList<int>>>& columns)
{
    T_RasVed ved;
    ved.Number = -1;
    ved.Name = QStringLiteral("Основная");
    for (const auto& [name, numbers] : columns) {
        T_RasVedItem* c = ved.AddColumn();
        c->Name = name;
        for (int n : numbers)
            c->AddInteger(n);
    }
    ved.Save();
    return ved.Number;
}

QList<int> Numbers(const T_RasVedItem* column)
{
    QList<int> list;
    for (int i = 0; i < column->Count(); ++i)
        list << column->GetInteger(i);
    std::sort(list.begin(), list.end());
    return list;
}

int KindAt(TFormVedTune& f, int row) { return f.lvDop->topLevelItem(row)->data(0, Qt::UserRole).toInt(); }

TEST_F(VedTuneTest, ANewDefinitionIsStoredOnlyWhenChangedNamedAndTheClerkSaysYes)
{
    enum Answer { None, Cancel, NoName, No, Yes };
    struct Case {
        const char* name;
        bool addColumn;
        const char* typed;
        Answer answer;
    } cases[] = {
        {"cancel", true, "Зарплата", Cancel},
        {"answered no", true, "Зарплата", No},
        {"nothing changed: no question", false, "", None},
        {"no name", true, "", NoName},
        {"saved", true, "Зарплата", Yes},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedMessages msgs;
        if (c.addColumn)
            msgs.Expect(MsgKind::Input).Title(QStringLiteral("Наименование нового столбца")).Ok();
        if (c.answer == NoName)
            msgs.Expect(MsgKind::Error).Details(QStringLiteral("Введите наименование ведомости"));
        if (c.answer == No || c.answer == Yes)
            msgs.Expect(MsgKind::SaveChanges)
                .Details(QStringLiteral("\"Зарплата\""))
                .Press(c.answer == Yes ? QStringLiteral("Да") : QStringLiteral("Нет"));
        ModalScript modal;
        modal.Next<TFormVedTune>([&](TFormVedTune& f) {
            f.edName->setText(QString::fromUtf8(c.typed));
            if (c.addColumn)
                QTest::mouseClick(f.btAdd, Qt::LeftButton);
            QTest::mouseClick(c.answer == Cancel ? f.btCancel : f.btOk, Qt::LeftButton);
            if (c.answer == NoName) {
                EXPECT_TRUE(f.isVisible());
                QTest::mouseClick(f.btCancel, Qt::LeftButton);
            }
        });
        qint32 number = -1;
        EXPECT_EQ(SetupPaySheet(number), c.answer == Yes);
        EXPECT_EQ(number, c.answer == Yes ? 1 : -1);
        EXPECT_EQ(StoredRasVed(), c.answer == Yes ? QList<int>{1} : QList<int>{});
        if (c.answer == Yes) {
            T_RasVed ved;
            ved.LoadByNumber(1);
            ASSERT_EQ(ved.ColumnCount(), 1);
            EXPECT_EQ(ved.Column(0)->Name, QStringLiteral("Столбец №1"));
        }
    }
}

TEST_F(VedTuneTest, ColumnsMoveWithinTheEndsAndTheSelectionFollows)
{
    const qint32 n = Store({{QStringLiteral("A"), {}}, {QStringLiteral("B"), {}}, {QStringLiteral("C"), {}}});
    ModalScript modal;
    modal.Next<TFormVedTune>([](TFormVedTune& f) {
        auto names = [&f] {
            QString s;
            for (const T_RasVedItem* c : f.Definition())
                s += c->Name;
            return s;
        };
        QTest::mouseClick(f.btUp, Qt::LeftButton);
        EXPECT_EQ(names(), QStringLiteral("ABC"));
        EXPECT_EQ(f.SelectedColumn(), 0);
        QTest::mouseClick(f.btDown, Qt::LeftButton);
        EXPECT_EQ(names(), QStringLiteral("BAC"));
        EXPECT_EQ(f.SelectedColumn(), 1);
        EXPECT_EQ(f.lvCol->topLevelItem(1)->text(1), QStringLiteral("A"));
        QTest::mouseClick(f.btCancel, Qt::LeftButton);
    });
    qint32 number = n;
    EXPECT_FALSE(SetupPaySheet(number));
}

TEST_F(VedTuneTest, MarksStayWithTheirColumnAndHiddenNumbersSurvive)
{
    // 9999 names no kind: the list never shows it, the column keeps it.
    qint32 n = -1;
    int first = 0, second = 0, third = 0;
    {
        ModalScript modal;
        modal.Next<TFormVedTune>([&](TFormVedTune& f) {
            first = KindAt(f, 0);
            second = KindAt(f, 1);
            third = KindAt(f, 2);
            QTest::mouseClick(f.btCancel, Qt::LeftButton);
        });
        SetupPaySheet(n);
    }
    n = Store({{QStringLiteral("A"), {first, 9999}}, {QStringLiteral("B"), {second}}});
    // Another definition's damaged row is none of this window's business.
    {
        Cursor bin(QStringLiteral("Bin"));
        bin.Open();
        TBinKey key;
        key.Class = binPaySheets;
        key.Vid = 50;
        BinWrite(bin, key, 0, QByteArray::fromHex("02"));
    }
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::SaveChanges).Yes();
    ModalScript modal;
    modal.Next<TFormVedTune>([&](TFormVedTune& f) {
        EXPECT_EQ(f.lvDop->topLevelItem(0)->checkState(0), Qt::Checked);
        f.lvDop->setFocus();
        f.lvDop->setCurrentItem(f.lvDop->topLevelItem(1));
        QTest::keyClick(f.lvDop, Qt::Key_Space); // marks the second kind, moves on
        EXPECT_EQ(f.lvDop->currentItem(), f.lvDop->topLevelItem(2));
        f.lvCol->setCurrentItem(f.lvCol->topLevelItem(1));
        EXPECT_EQ(f.lvDop->topLevelItem(0)->checkState(0), Qt::Unchecked);
        // Column B: the third kind ticked with the mouse on its box.
        const QRect third = f.lvDop->visualItemRect(f.lvDop->topLevelItem(2));
        QTest::mouseClick(f.lvDop->viewport(), Qt::LeftButton, {}, QPoint(third.left() + 10, third.center().y()));
        ASSERT_EQ(f.lvDop->topLevelItem(2)->checkState(0), Qt::Checked);
        f.lvCol->setCurrentItem(f.lvCol->topLevelItem(0));
        EXPECT_EQ(f.lvDop->topLevelItem(1)->checkState(0), Qt::Checked);
        EXPECT_EQ(f.lvDop->topLevelItem(2)->checkState(0), Qt::Unchecked);
        f.edName->setText(QStringLiteral("Другая"));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    qint32 number = n;
    ASSERT_TRUE(SetupPaySheet(number));
    EXPECT_EQ(number, n);
    T_RasVed ved;
    ved.LoadByNumber(n);
    EXPECT_EQ(ved.Name, QStringLiteral("Другая"));
    QList<int> expected{first, second, 9999};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Numbers(ved.Column(0)), expected);
    QList<int> ticked{second, third};
    std::sort(ticked.begin(), ticked.end());
    EXPECT_EQ(Numbers(ved.Column(1)), ticked);
}

TEST_F(VedTuneTest, CommandsWithoutAColumnAnswerNotChosen)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Не выбран столбец ведомости")).Times(4);
    ModalScript modal;
    modal.Next<TFormVedTune>([](TFormVedTune& f) {
        for (QPushButton* b : {f.btEdit, f.btDel, f.btUp, f.btDown})
            QTest::mouseClick(b, Qt::LeftButton);
        QTest::mouseClick(f.btCancel, Qt::LeftButton);
    });
    qint32 number = -1;
    EXPECT_FALSE(SetupPaySheet(number));
}

} // namespace
