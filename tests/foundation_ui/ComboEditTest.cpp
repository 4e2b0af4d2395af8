// The combo edit: its button and click key, the input rules, the dialog keys
// and an attached drop-down.

#include "foundation/ui/edits/ComboEdit.h"
#include "UiTestHelpers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

class ComboEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog = std::make_unique<QDialog>();
        dialog->setObjectName(QStringLiteral("ComboDialog"));
        auto* layout = new QVBoxLayout(dialog.get());
        edit = new Tyq_ComboEdit(dialog.get());
        edit->setObjectName(QStringLiteral("edFile"));
        edit->SetGlyphKind(gkEllipsis);
        edit->setText(QStringLiteral("C:/Зарплата/Отчёт.txt"));
        edit->OnButtonClick = [this](QObject* sender) {
            EXPECT_EQ(sender, edit);
            ++clicks;
        };
        other = new QLineEdit(dialog.get());
        other->setObjectName(QStringLiteral("edOther"));
        ok = new QPushButton(QStringLiteral("Ok"), dialog.get());
        ok->setObjectName(QStringLiteral("btOk"));
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, dialog.get(), &QDialog::accept);
        layout->addWidget(edit);
        layout->addWidget(other);
        layout->addWidget(ok);
        dialog->resize(300, 120);
        ASSERT_TRUE(ShowActive(dialog.get()));
        edit->setFocus();
    }

    std::unique_ptr<QDialog> dialog;
    Tyq_ComboEdit* edit = nullptr;
    QLineEdit* other = nullptr;
    QPushButton* ok = nullptr;
    int clicks = 0;
};

TEST_F(ComboEditTest, ClickKeyAndButtonFireTheButtonAction)
{
    EXPECT_EQ(edit->ButtonWidth(), 21);
    EXPECT_EQ(edit->ClickKey(), QKeySequence(Qt::ALT | Qt::Key_Down));
    QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(clicks, 1);
    QTest::mouseClick(edit->Button(), Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    SaveScreenshot(dialog.get(), QStringLiteral("combo_edit_ellipsis"));
}

TEST_F(ComboEditTest, NoButtonWidthNoClickKey)
{
    edit->SetButtonWidth(0);
    EXPECT_FALSE(edit->Button()->isVisible());
    QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ComboEditTest, ReadOnlyIgnoresTheButtonUnlessAlwaysEnabled)
{
    edit->SetReadOnly(true);
    QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(clicks, 1); // AlwaysEnable is on by default
    edit->SetAlwaysEnable(false);
    QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
    QTest::mouseClick(edit->Button(), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    QTest::keyClicks(edit, "x");
    EXPECT_EQ(edit->text(), QStringLiteral("C:/Зарплата/Отчёт.txt"));
}

TEST_F(ComboEditTest, WithoutDirectInputTypingPasteAndCutAreIgnored)
{
    edit->SetDirectInput(false);
    edit->selectAll();
    QTest::keyClicks(edit, "abc");
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("C:/Зарплата/Отчёт.txt"));
    edit->SetDirectInput(true);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("pasted"));
}

TEST_F(ComboEditTest, CharactersOutsideCp1251AreRefused)
{
    BeepCounter beeps;
    edit->clear();
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QStringLiteral("Я"), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QStringLiteral("Ω"), Qt::NoModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("Я"));
    EXPECT_EQ(beeps.count, 1);
}

TEST_F(ComboEditTest, EnterGoesToTheDialogsDefaultButton)
{
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ComboEditTest, EntryFromTheKeyboardSelectsAllButAClickDoesNot)
{
    other->setFocus();
    QTest::keyClick(other, Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), edit);
    EXPECT_EQ(edit->selectedText(), edit->text());
    other->setFocus();
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(10, edit->height() / 2));
    ASSERT_EQ(QApplication::focusWidget(), edit);
    EXPECT_EQ(edit->selectedText(), QString());
    edit->SetAutoSelect(false);
    other->setFocus();
    QTest::keyClick(other, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(edit->selectedText(), QString());
}

TEST(ComboEllipsisGlyph, DotsFollowTheButtonWidth)
{
    struct Row {
        int buttonWidth;
        int dots[3];
    } rows[] = {
        {21, {2, 7, 12}}, // width 17, gap 5 taken as 3
        {14, {0, 4, 8}}, // width 10, gap 2
        {12, {0, 3, 6}}, // width 8, gap 1
        {10, {-1, 2, 5}}, // width 6, gap 0 taken as 1: the first dot half outside
    };
    for (const Row& r : rows) {
        const QImage img = ComboEllipsisGlyph(r.buttonWidth);
        ASSERT_EQ(img.size(), QSize(r.buttonWidth - 4, 4)) << r.buttonWidth;
        int black = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qAlpha(img.pixel(x, y)) == 255)
                    ++black;
        int expected = 0;
        for (int d : r.dots)
            for (int dx = 0; dx < 2; ++dx)
                if (d + dx >= 0 && d + dx < img.width()) {
                    ++expected;
                    EXPECT_EQ(img.pixel(d + dx, 1), qRgb(0, 0, 0)) << r.buttonWidth << " x=" << d + dx;
                    EXPECT_EQ(img.pixel(d + dx, 2), qRgb(0, 0, 0)) << r.buttonWidth << " x=" << d + dx;
                }
        EXPECT_EQ(black, expected * 2) << r.buttonWidth;
    }
    EXPECT_TRUE(ComboEllipsisGlyph(4).isNull());
}

// A combo edit whose drop-down is a list of names.
class ListComboEdit : public Tyq_CustomComboEdit {
public:
    explicit ListComboEdit(QWidget* parent) : Tyq_CustomComboEdit(parent), list(new QListWidget)
    {
        list->addItems({QStringLiteral("Иванов"), QStringLiteral("Петров"), QStringLiteral("Сидоров")});
        SetPopup(list);
    }
    QListWidget* list;

protected:
    void PopupSetValue(const QString& text) override
    {
        const auto found = list->findItems(text, Qt::MatchExactly);
        list->setCurrentItem(found.isEmpty() ? list->item(0) : found.first());
    }
    QString PopupValue() const override { return list->currentItem() ? list->currentItem()->text() : text(); }
};

TEST_F(ComboEditTest, AnAttachedDropDownOpensClosesAndTakesItsValue)
{
    auto* combo = new ListComboEdit(dialog.get());
    combo->setObjectName(QStringLiteral("edName"));
    dialog->layout()->addWidget(combo);
    combo->SetDirectInput(false);
    combo->setText(QStringLiteral("Петров"));
    QApplication::processEvents();
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(combo->PopupVisible());
    EXPECT_EQ(combo->list->currentItem()->text(), QStringLiteral("Петров"));
    EXPECT_EQ(combo->list->geometry().top(), combo->mapToGlobal(QPoint(0, combo->height())).y());
    EXPECT_EQ(QApplication::focusWidget(), combo);
    combo->list->setCurrentRow(2);
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_FALSE(combo->PopupVisible());
    EXPECT_EQ(combo->text(), QStringLiteral("Сидоров"));
    EXPECT_TRUE(dialog->isVisible()); // Enter belonged to the drop-down
    // A click on the edit opens it; Esc closes it without change.
    QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(10, combo->height() / 2));
    ASSERT_TRUE(combo->PopupVisible());
    combo->list->setCurrentRow(0);
    QTest::keyClick(combo, Qt::Key_Escape);
    EXPECT_FALSE(combo->PopupVisible());
    EXPECT_EQ(combo->text(), QStringLiteral("Сидоров"));
    // Leaving the edit closes it without change.
    QTest::mouseClick(combo->Button(), Qt::LeftButton);
    ASSERT_TRUE(combo->PopupVisible());
    combo->list->setCurrentRow(0);
    other->setFocus();
    EXPECT_FALSE(combo->PopupVisible());
    EXPECT_EQ(combo->text(), QStringLiteral("Сидоров"));
    EXPECT_EQ(clicks, 0); // a drop-down replaces OnButtonClick
}

} // namespace
