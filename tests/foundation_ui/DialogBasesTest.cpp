// The wizard and small-input bases, driven as a clerk drives them.
#include "foundation/ui/base/DialogBases.h"
#include "UiTestHelpers.h"
#include "support/ModalScript.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QVBoxLayout>

namespace {

// Three pages; page 2 can refuse to be left.
class Wizard : public TFormMultyPage {
public:
    Wizard() : TFormMultyPage(nullptr, QStringLiteral("Wizard"))
    {
        lbHeader->setText(QStringLiteral("Новый работник: шаг за шагом"));
        new QLabel(QStringLiteral("Первая страница"), tabFirst);
        AddPage(new QLabel(QStringLiteral("Вторая страница")));
        AddPage(new QLabel(QStringLiteral("Третья страница")));
        resize(420, 260);
    }
    bool refuseLeavingSecond = false;
    struct Ask {
        int from, to;
        bool back;
    };
    QList<Ask> asked;

protected:
    bool CanChangePage(int from, int to, bool backMove) override
    {
        asked.append({from, to, BackMove});
        EXPECT_EQ(backMove, BackMove);
        return !(refuseLeavingSecond && from == 1);
    }
};

struct ButtonState {
    bool prevVisible, prevEnabled, nextVisible, nextEnabled;
    QString nextText;
};

ButtonState StateOf(const Wizard& w)
{
    return {w.btPrevPage->isVisibleTo(&w), w.btPrevPage->isEnabled(), w.btNextPage->isVisibleTo(&w),
        w.btNextPage->isEnabled(), w.btNextPage->text()};
}

void ExpectState(const Wizard& w, ButtonState want, const char* where)
{
    SCOPED_TRACE(where);
    const ButtonState got = StateOf(w);
    EXPECT_EQ(got.prevVisible, want.prevVisible);
    EXPECT_EQ(got.prevEnabled, want.prevEnabled);
    EXPECT_EQ(got.nextVisible, want.nextVisible);
    EXPECT_EQ(got.nextEnabled, want.nextEnabled);
    EXPECT_EQ(got.nextText, want.nextText);
}

TEST(MultyPage, DefaultsDisableBackOnFirstAndNextOnLast)
{
    Wizard w;
    w.show();
    const QString next = QStringLiteral("Далее  >>");
    EXPECT_EQ(w.btPrevPage->text(), QStringLiteral("<<  Назад"));
    ExpectState(w, {true, false, true, true, next}, "first");
    QTest::mouseClick(w.btPrevPage, Qt::LeftButton); // disabled: nothing happens
    EXPECT_EQ(w.PageIndex(), 0);
    w.PrevPage(); // nor through the action itself
    EXPECT_EQ(w.PageIndex(), 0);
    EXPECT_TRUE(w.asked.isEmpty());
    QTest::mouseClick(w.btNextPage, Qt::LeftButton);
    EXPECT_EQ(w.PageIndex(), 1);
    ExpectState(w, {true, true, true, true, next}, "inner");
    EXPECT_FALSE(w.LastPage);
    QTest::mouseClick(w.btNextPage, Qt::LeftButton);
    EXPECT_EQ(w.PageIndex(), 2);
    EXPECT_TRUE(w.LastPage);
    EXPECT_TRUE(w.Changed);
    ExpectState(w, {true, true, true, false, next}, "last");
    SaveScreenshot(&w, QStringLiteral("DialogBases_wizard_last"));
}

// Enter in a page's edit moves on, though a later page holds a push button
// of its own that the dialog would otherwise make its default.
TEST(MultyPage, EnterInAnEditMovesToTheNextPage)
{
    Wizard w;
    auto* edit = new QLineEdit(w.tabFirst);
    new QPushButton(QStringLiteral("..."), w.pc->widget(1));
    ASSERT_TRUE(ShowActive(&w));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(w.PageIndex(), 1);
}

TEST(MultyPage, FlagsChangeTheEndButtons)
{
    Wizard w;
    w.FinishOnLast = true;
    w.BackOnFirst = false;
    w.GoFirstPage();
    ExpectState(w, {false, true, true, true, QStringLiteral("Далее  >>")}, "first without BackOnFirst");
    w.SelectPage(2);
    ExpectState(w, {true, true, true, true, QStringLiteral("Готово")}, "last with FinishOnLast");
    w.NextOnLast = false;
    w.UpdatePageButtons();
    EXPECT_FALSE(w.btNextPage->isVisibleTo(&w));
    w.SetShowPageButtons(false);
    EXPECT_FALSE(w.btPrevPage->isVisibleTo(&w));
    EXPECT_FALSE(w.btNextPage->isVisibleTo(&w));
}

TEST(MultyPage, VetoKeepsThePageAndSeesTheDirection)
{
    Wizard w;
    w.show();
    QTest::mouseClick(w.btNextPage, Qt::LeftButton);
    w.refuseLeavingSecond = true;
    QTest::mouseClick(w.btNextPage, Qt::LeftButton);
    EXPECT_EQ(w.PageIndex(), 1);
    EXPECT_FALSE(w.Changed);
    QTest::mouseClick(w.btPrevPage, Qt::LeftButton);
    EXPECT_EQ(w.PageIndex(), 1);
    w.refuseLeavingSecond = false;
    QTest::mouseClick(w.btPrevPage, Qt::LeftButton);
    EXPECT_EQ(w.PageIndex(), 0);
    ASSERT_EQ(w.asked.size(), 4);
    EXPECT_FALSE(w.asked[0].back);
    EXPECT_FALSE(w.asked[1].back);
    EXPECT_EQ(w.asked[1].to, 2);
    EXPECT_TRUE(w.asked[2].back);
    EXPECT_EQ(w.asked[2].to, 0);
    EXPECT_TRUE(w.asked[3].back);
}

class Input : public TFormNewInput {
public:
    Input() : TFormNewInput(nullptr, QStringLiteral("Input"))
    {
        auto* box = new QVBoxLayout(pnClient);
        first = new QLineEdit(pnClient);
        combo = new QComboBox(pnClient);
        combo->addItems({QStringLiteral("Январь"), QStringLiteral("Февраль"), QStringLiteral("Март")});
        last = new QLineEdit(pnClient);
        box->addWidget(first);
        box->addWidget(combo);
        box->addWidget(last);
        lbMode->setText(QStringLiteral("[12] Оклад по дням"));
        resize(300, 200);
    }
    QLineEdit* first;
    QComboBox* combo;
    QLineEdit* last;
    bool refuse = false;

protected:
    bool CanAccept() override { return !refuse; }
};

TEST(NewInput, EnterAcceptsEscCancels)
{
    ModalScript modal;
    Input form;
    modal.Next<Input>([](Input& f) {
        f.first->setFocus();
        QTest::keyClick(f.first, Qt::Key_Return);
    });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_TRUE(form.Accepted);
    EXPECT_FALSE(form.Cancelled);

    modal.Next<Input>([](Input& f) {
        EXPECT_FALSE(f.Accepted); // cleared on show
        f.last->setFocus();
        QTest::keyClick(f.last, Qt::Key_Escape);
    });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_TRUE(form.Cancelled);

    form.refuse = true;
    modal.Next<Input>([](Input& f) {
        f.first->setFocus();
        QTest::keyClick(f.first, Qt::Key_Enter);
        EXPECT_TRUE(f.isVisible()); // refused: stays open
        SaveScreenshot(&f, QStringLiteral("DialogBases_input"));
        QTest::mouseClick(f.btCancel, Qt::LeftButton);
    });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Шаблон для форм ввода"));
}

TEST(NewInput, ArrowsMoveFocusCtrlArrowsReachTheControl)
{
    Input form;
    ASSERT_TRUE(ShowActive(&form));
    form.first->setFocus();
    Press(Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), form.combo);
    Press(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), form.combo);
    EXPECT_EQ(form.combo->currentIndex(), 1);
    Press(Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), form.last);
    Press(Qt::Key_Up);
    Press(Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), form.first);
    EXPECT_TRUE(form.isVisible());
}

} // namespace
