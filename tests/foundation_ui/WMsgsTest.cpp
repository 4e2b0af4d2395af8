// The program's message box shown by the production message service,
// driven as a clerk would through the modal runner.
#include "foundation/ui/dialogs/WMsgs.h"
#include "UiTestHelpers.h"
#include "foundation/IniPersist.h"
#include "support/ModalScript.h"
#include "support/TestSupport.h"

#include <functional>
#include <utility>

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

class MessageBox : public ::testing::Test {
protected:
    ScopedMessageService windows{&MessageWindows()};
    ModalScript modal;
};

QColor HeaderBack(TFormMessage& f) { return f.pnHeader->palette().color(QPalette::Window); }
QColor TextColour(QWidget* w) { return w->palette().color(QPalette::WindowText); }

QPushButton* ButtonCaptioned(QWidget& box, const QString& caption)
{
    for (QPushButton* b : box.findChildren<QPushButton*>())
        if (b->isVisible() && b->text() == caption)
            return b;
    ADD_FAILURE() << "no visible button " << caption.toStdString();
    return nullptr;
}

void Press(QWidget& box, const QString& caption)
{
    if (QPushButton* b = ButtonCaptioned(box, caption))
        QTest::mouseClick(b, Qt::LeftButton);
}

void PressEsc(QWidget& box)
{
    QWidget* target = box.focusWidget() ? box.focusWidget() : &box;
    QTest::keyClick(target, Qt::Key_Escape);
}

// Every visible label and button shows its whole text.
void ExpectNothingClipped(TFormMessage& f)
{
    for (QPushButton* b : f.findChildren<QPushButton*>()) {
        if (b->isVisible()) {
            EXPECT_GE(b->width(), b->fontMetrics().horizontalAdvance(b->text()) + 8) << b->text().toStdString();
        }
    }
    EXPECT_GE(f.lbHeader->width(), f.lbHeader->fontMetrics().horizontalAdvance(f.lbHeader->text()));
    EXPECT_LE(f.width(), QGuiApplication::primaryScreen()->availableGeometry().width());
    EXPECT_LE(f.height(), QGuiApplication::primaryScreen()->availableGeometry().height());
}

TEST_F(MessageBox, ErrorShowsRedHeaderAndSplitsTitleFromDetails)
{
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_EQ(f.windowTitle(), "Сообщение");
        EXPECT_EQ(f.lbHeader->text(), "Ошибка !!!");
        EXPECT_EQ(HeaderBack(f), QColor(Qt::red));
        EXPECT_EQ(TextColour(f.lbHeader), QColor(Qt::yellow));
        EXPECT_EQ(TextColour(f.lbWarnInform), QColor(0, 0, 0x80));
        EXPECT_EQ(f.lbWarnInform->text(), "Таблица не найдена");
        EXPECT_EQ(f.lbWarn->text(), "Файл SR.DB в папке /data|2 отсутствует");
        EXPECT_TRUE(f.btCancelApp->isVisible());
        EXPECT_EQ(f.btCancelApp->toolTip(), "Прекратить работу программы");
        EXPECT_EQ(f.btCancelApp->text(), "Прекратить работу программы") << "says what it does";
        EXPECT_TRUE(f.btOk->isVisible());
        EXPECT_EQ(f.btOk->text(), "Ok");
        EXPECT_FALSE(f.btCancel->isVisible());
        EXPECT_EQ(QApplication::focusWidget(), f.btOk);
        ExpectNothingClipped(f);
        SaveScreenshot(&f, QStringLiteral("message_error"));
        QTest::keyClick(f.btOk, Qt::Key_Return);
    });
    EXPECT_TRUE(ShowError(QStringLiteral("Таблица не найдена|Файл SR.DB в папке /data||2 отсутствует")));
}

TEST_F(MessageBox, ErrorWithoutBarHasNoTitleAndCountsEscAsOk)
{
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_FALSE(f.lbWarnInform->isVisible());
        EXPECT_EQ(f.lbWarn->text(), "Нет доступа к файлу");
        PressEsc(f);
    });
    EXPECT_TRUE(ShowError(QStringLiteral("Нет доступа к файлу")));
}

TEST_F(MessageBox, WarningHasTealHeaderAndNoHaltButton)
{
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_EQ(f.lbHeader->text(), "Внимание !!!");
        EXPECT_EQ(HeaderBack(f), QColor(0, 0x80, 0x80));
        EXPECT_EQ(TextColour(f.lbHeader), QColor(0, 0xFF, 0xFF));
        EXPECT_FALSE(f.btCancelApp->isVisible());
        EXPECT_EQ(f.lbWarnInform->text(), "Расчет не выполнен");
        SaveScreenshot(&f, QStringLiteral("message_warning"));
        Press(f, QStringLiteral("Ok"));
    });
    EXPECT_TRUE(ShowWarning(QStringLiteral("Расчет не выполнен|Не заполнен справочник должностей. Заполните его и "
                                           "повторите расчет за текущий месяц.")));
}

TEST_F(MessageBox, ChooseButtonWithThreeShortCaptionsLaysThemInARow)
{
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_EQ(f.lbHeader->text(), "Выбор пункта");
        EXPECT_FALSE(f.ButtonsInColumn());
        const QList<QPushButton*> b = f.CallerButtons();
        ASSERT_EQ(b.size(), 3);
        EXPECT_EQ(b[0]->y(), b[1]->y());
        EXPECT_EQ(b[1]->y(), b[2]->y());
        EXPECT_LT(b[0]->x(), b[1]->x());
        EXPECT_LT(b[1]->x(), b[2]->x());
        EXPECT_FALSE(f.btOk->isVisible());
        EXPECT_EQ(QApplication::focusWidget(), b[0]) << "the Esc answer's button has the focus";
        ExpectNothingClipped(f);
        SaveScreenshot(&f, QStringLiteral("message_choice_row"));
        PressEsc(f);
    });
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_EQ(QApplication::focusWidget(), f.CallerButtons()[2]);
        PressEsc(f);
    });
    modal.Next<TFormMessage>([](TFormMessage& f) { Press(f, QStringLiteral("Месяц")); });
    const MsgButtonArgs three{QStringLiteral("Год"), QStringLiteral("Месяц"), QStringLiteral("День")};
    EXPECT_EQ(ChooseButton(QStringLiteral("Период"), QStringLiteral("Выберите период отчета"), three), 1);
    EXPECT_EQ(ChooseButton(QStringLiteral("Период"), QString(),
                  {3, QStringLiteral("Год"), QStringLiteral("Месяц"), QStringLiteral("День")}),
        3);
    EXPECT_EQ(ChooseButton(QStringLiteral("Период"), QString(), three), 2);
}

TEST_F(MessageBox, ChooseButtonWithEightLongCaptionsStacksThemInAColumn)
{
    MsgButtonArgs eight;
    for (int i = 1; i <= 8; ++i)
        eight.append(QStringLiteral("Вариант %1: пересчитать начисления и удержания за выбранный период").arg(i));
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_TRUE(f.ButtonsInColumn());
        const QList<QPushButton*> b = f.CallerButtons();
        ASSERT_EQ(b.size(), 8);
        for (int i = 1; i < 8; ++i) {
            EXPECT_EQ(b[i]->x(), b[0]->x());
            EXPECT_EQ(b[i]->width(), b[0]->width());
            EXPECT_GT(b[i]->y(), b[i - 1]->y());
        }
        ExpectNothingClipped(f);
        SaveScreenshot(&f, QStringLiteral("message_choice_column"));
        QTest::mouseClick(b[6], Qt::LeftButton);
    });
    EXPECT_EQ(ChooseButton(QStringLiteral("Что сделать?"), QString(), eight), 7);
}

TEST_F(MessageBox, ChooseErrorButtonHasTheErrorHeader)
{
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_EQ(f.lbHeader->text(), "Ошибка !!!");
        EXPECT_EQ(HeaderBack(f), QColor(Qt::red));
        Press(f, QStringLiteral("Пропустить"));
    });
    EXPECT_EQ(ChooseErrorButton(QStringLiteral("Ошибка записи"), QString(),
                  {QStringLiteral("Повторить"), QStringLiteral("Пропустить")}),
        2);
}

TEST_F(MessageBox, AskYesNoEscAndFocusFollowTheDefault)
{
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_EQ(f.windowTitle(), " ");
        EXPECT_EQ(f.lbHeader->text(), "Выберите \"ДА\" или \"НЕТ\"");
        EXPECT_EQ(f.btOk->text(), "Да");
        EXPECT_EQ(f.btCancel->text(), "Нет");
        EXPECT_EQ(QApplication::focusWidget(), f.btCancel);
        PressEsc(f);
    });
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_EQ(QApplication::focusWidget(), f.btOk);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    modal.Next<TFormMessage>([](TFormMessage& f) { Press(f, QStringLiteral("Нет")); });
    EXPECT_FALSE(AskYesNo(QStringLiteral("Удалить сотрудника?"), QString(), false));
    EXPECT_TRUE(AskYesNo(QStringLiteral("Продолжить?"), QString(), true));
    EXPECT_FALSE(AskYesNo(QStringLiteral("Продолжить?"), QString(), true));
}

TEST_F(MessageBox, ConfirmDeleteAndSaveChanges)
{
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_EQ(f.windowTitle(), "ВНИМАНИЕ !!!");
        EXPECT_EQ(f.lbHeader->text(), "Удаление данных");
        EXPECT_TRUE(f.lbWarn->text().startsWith("Иванов И. И., таб. № 1024\n\nВы уверены"));
        EXPECT_TRUE(f.lbWarn->text().endsWith("ВНИМАНИЕ:  Удаленные данные восстановлению не подлежат !!!"));
        EXPECT_EQ(QApplication::focusWidget(), f.btCancel);
        ExpectNothingClipped(f);
        SaveScreenshot(&f, QStringLiteral("message_confirm_delete"));
        PressEsc(f);
    });
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_EQ(f.lbHeader->text(), "Сохранение данных");
        EXPECT_EQ(f.lbWarnInform->text(), "Сохранить изменения?");
        PressEsc(f); // Esc saves
    });
    EXPECT_FALSE(ConfirmDelete(QStringLiteral("Удаление сотрудника"), QStringLiteral("Иванов И. И., таб. № 1024")));
    EXPECT_TRUE(AskSaveChanges(QStringLiteral("Карточка сотрудника изменена")));
}

TEST_F(MessageBox, OkCancelStyleShowsTheCancelCaptionOfTheStyleTable)
{
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_EQ(f.btOk->text(), "Ok");
        EXPECT_EQ(f.btCancel->text(), "Отменить");
        EXPECT_EQ(f.lbHeader->text(), "Особый заголовок");
        EXPECT_EQ(f.windowTitle(), "Своя подпись");
        EXPECT_LT(f.btOk->x(), f.btCancel->x());
        EXPECT_EQ(f.btOk->y(), f.btCancel->y());
        Press(f, QStringLiteral("Отменить"));
    });
    EXPECT_EQ(MessageForm(QStringLiteral("Своя подпись"), QStringLiteral("Особый заголовок"), QStringLiteral("Т"),
                  msOkCancel, {QString()}, QStringLiteral("Д")),
        msgCancel);
}

TEST_F(MessageBox, WindowManagerCloseAndAltF4DoNotCloseTheBox)
{
    modal.Next<TFormMessage>([](TFormMessage& f) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::AltModifier);
        CloseLikeWindowManager(&f);
        EXPECT_TRUE(f.isVisible());
        EXPECT_EQ(f.Result(), -1);
        Press(f, QStringLiteral("Ok"));
    });
    EXPECT_TRUE(ShowWarning(QStringLiteral("Не закрывается")));
}

TEST_F(MessageBox, TextsAreShownLiterally)
{
    modal.Next<TFormMessage>([](TFormMessage& f) {
        EXPECT_EQ(f.lbWarn->textFormat(), Qt::PlainText);
        EXPECT_EQ(f.lbWarn->text(), "<b>Оклад</b> & <i>премия</i>\nстрока 2");
        PressEsc(f);
    });
    ShowWarning(QStringLiteral("<b>Оклад</b> & <i>премия</i>\r\nстрока 2"));
}

TEST_F(MessageBox, AVeryLongMessageStaysOnTheScreenAndScrolls)
{
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines.append(QStringLiteral("Сотрудник %1: не найден оклад по штатному расписанию").arg(i));
    modal.Next<TFormMessage>([](TFormMessage& f) {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_LE(f.height(), screen.height() * 9 / 10);
        EXPECT_GT(f.sb->verticalScrollBar()->maximum(), 0);
        EXPECT_TRUE(f.btOk->isVisible());
        EXPECT_LE(f.pnButton->geometry().bottom(), f.height());
        PressEsc(f);
    });
    ShowError(QStringLiteral("Ошибки расчета|") + lines.join(QStringLiteral("\r\n")));
}

TEST_F(MessageBox, TwentyThousandCharactersWithLongLinesKeepHeadingAndButtonsOnTheScreen)
{
    // What an error dump gives: lines of thousands of characters, some without a blank.
    QString details;
    for (int i = 0; details.size() < 20000; ++i)
        details += (i % 2 ? QString(3000, QLatin1Char('x')) : QStringLiteral("слово ").repeated(500))
            + QStringLiteral("\r\n");
    const QString title = QStringLiteral("Заголовок ").repeated(100) + QString(1000, QLatin1Char('Z'));
    modal.Next<TFormMessage>([](TFormMessage& f) {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_LE(f.frameGeometry().width(), screen.width());
        EXPECT_LE(f.frameGeometry().height(), screen.height());
        EXPECT_TRUE(screen.contains(f.frameGeometry())) << "placed on the screen";
        const QRect box = f.rect();
        for (QWidget* w : std::initializer_list<QWidget*>{f.pnHeader, f.lbHeader, f.btOk}) {
            EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
            const QRect r(w->mapTo(&f, QPoint(0, 0)), w->size());
            EXPECT_TRUE(box.contains(r)) << w->objectName().toStdString();
        }
        EXPECT_EQ(f.lbHeader->text(), "Ошибка !!!");
        EXPECT_GT(f.sb->verticalScrollBar()->maximum(), 0) << "the text scrolls";
        EXPECT_LE(f.sb->widget()->width(), f.sb->viewport()->width()) << "no text runs off to the right";
        SaveScreenshot(&f, QStringLiteral("WMsgs_LongText"));
        PressEsc(f);
    });
    ShowError(title + QLatin1Char('|') + details);
}

TEST_F(MessageBox, StandardBoxesUseTheirOwnButtonsThroughTheRunner)
{
    modal.Next<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), "!!!  В Н И М А Н И Е  !!!");
        EXPECT_EQ(box.text(), "Прервать операцию ?");
        EXPECT_EQ(box.icon(), QMessageBox::Question);
        ASSERT_TRUE(box.defaultButton());
        EXPECT_EQ(box.defaultButton()->text(), "Нет");
        QTest::keyClick(&box, Qt::Key_Escape);
    });
    modal.Next<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.defaultButton()->text(), "Да");
        Press(box, QStringLiteral("Да"));
    });
    modal.Next<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), "Архив");
        EXPECT_EQ(box.buttons().size(), 1);
        Press(box, QStringLiteral("OK"));
    });
    modal.Next<QMessageBox>([](QMessageBox& box) { Press(box, QStringLiteral("Повтор")); });
    EXPECT_FALSE(AskAttention(QStringLiteral("Прервать операцию ?"), false));
    EXPECT_TRUE(AskAttention(QStringLiteral("Прервать операцию ?"), true));
    EXPECT_EQ(AppMessageBox(QStringLiteral("Архив создан"), QStringLiteral("Архив")), IDOK);
    EXPECT_EQ(AppMessageBoxFlags(QStringLiteral("Диск не готов"), QStringLiteral("Копия"), MB_RETRYCANCEL), IDRETRY);
}

TEST_F(MessageBox, HaltButtonAsksAndEndsTheProgram)
{
    const bool iniSaving = IniSavingEnabled;
    modal.Next<TFormMessage>([](TFormMessage& f) {
        QTest::mouseClick(f.btCancelApp, Qt::LeftButton); // answered No below: the box stays
        EXPECT_TRUE(f.isVisible());
        QTest::mouseClick(f.btCancelApp, Qt::LeftButton);
    });
    modal.Next<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.text(), "Вы действительно хотите прекратить работу программы ?");
        Press(box, QStringLiteral("Нет"));
    });
    modal.Next<QMessageBox>([](QMessageBox& box) { Press(box, QStringLiteral("Да")); });
    IniSavingEnabled = true;
    EXPECT_THROW(ShowError(QStringLiteral("Сбой данных")), ProgramExit);
    EXPECT_TRUE(ApplicationTerminating());
    SetApplicationTerminating(false);
    IniSavingEnabled = iniSaving;
}

TEST_F(MessageBox, ErrorWhileTerminatingSwitchesIniSavingOff)
{
    const bool iniSaving = IniSavingEnabled;
    IniSavingEnabled = true;
    SetApplicationTerminating(true);
    modal.Next<TFormMessage>([](TFormMessage& f) { PressEsc(f); });
    ShowError(QStringLiteral("Ошибка при закрытии"));
    EXPECT_FALSE(IniSavingEnabled);
    SetApplicationTerminating(false);
    IniSavingEnabled = iniSaving;
}

// ---------------------------------------------------------------- the box itself

TEST(MessageBoxStyle, NormalisationHeadersAndButtons)
{
    struct Row {
        const char* name;
        int style;
        int normal;
        const char* header;
        bool ok, cancel;
        const char* okText;
    };
    const Row rows[] = {
        {"zero is the plain OK box", 0, msOk, "Сообщение", true, false, "Ok"},
        {"OK/Cancel request wins over Yes/No", msOkCancel | msYesNo, msOk | msCancel, "Сообщение", true, true, "Ok"},
        {"Yes and No bits without a request give Yes", msYes | msNo, msYes, "Сообщение", true, false, "Да"},
        {"error over warning", msError | msWarning | msOk, msError | msWarning | msOk, "Ошибка !!!", true, false, "Ok"},
        {"warning over choice", msWarning | msChoice | msYesNo, msWarning | msChoice | msYes | msNo, "Внимание !!!",
            true, true, "Да"},
        {"cancel alone", msCancel | msChoice, msCancel | msChoice, "Выбор пункта", false, true, "Ok"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TFormMessage f;
        f.SetStyle(r.style);
        EXPECT_EQ(f.Style(), r.normal);
        EXPECT_EQ(f.lbHeader->text(), QString::fromUtf8(r.header));
        EXPECT_EQ(f.btOk->text(), QString::fromUtf8(r.okText));
        f.SetTexts(QStringLiteral("t"), QStringLiteral("d"));
        f.show();
        EXPECT_EQ(f.btOk->isVisible(), r.ok);
        EXPECT_EQ(f.btCancel->isVisible(), r.cancel);
        f.hide();
    }
}

TEST(MessageBoxStyle, SettingTheSameStyleAgainChangesNothing)
{
    TFormMessage f;
    f.SetStyle(msError | msOk);
    f.SetHeader(QStringLiteral("Свой"));
    f.SetStyle(msError | msOk);
    EXPECT_EQ(f.lbHeader->text(), "Свой");
    f.SetStyle(msWarning | msOk);
    EXPECT_EQ(f.lbHeader->text(), "Внимание !!!");
}

TEST(MessageBoxStyle, SettingAStyleWhileShownClosesTheBox)
{
    TFormMessage f;
    f.SetStyle(msOk);
    ModalScript modal;
    modal.Next<TFormMessage>([](TFormMessage& box) { box.SetStyle(msWarning | msOk); });
    f.ShowModal();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.Result(), -1);
}

TEST(MessageBoxStyle, TheTimerRunsOnlyWhileShown)
{
    TFormMessage f;
    EXPECT_EQ(f.Timer1->interval(), 3000);
    ModalScript modal;
    modal.Next<TFormMessage>([](TFormMessage& box) {
        EXPECT_TRUE(box.Timer1->isActive());
        PressEsc(box);
    });
    f.ShowModal();
    EXPECT_FALSE(f.Timer1->isActive());
}

// Runs a routine when its edit loses the focus, as the card leaves its
// edit mode when the clerk goes elsewhere.
class OnFocusOut final : public QObject {
public:
    OnFocusOut(QWidget* edit, std::function<void()> run) : QObject(edit), run_(std::move(run))
    {
        edit->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut && run_)
            std::exchange(run_, nullptr)();
        return false;
    }

private:
    std::function<void()> run_;
};

// Every box, shown as the program shows it (no modal runner), takes the
// activation and the focus on its default button, so that Enter and Esc
// answer it at once, also when it is raised while the focus moves.
TEST(MessageBoxKeyboard, EveryBoxTakesTheFocusOnItsDefaultButton)
{
    ScopedMessageService windows{&MessageWindows()};
    struct Case {
        const char* what;
        bool fromFocusOut;
        bool standard; // AskAttention's box, else AskYesNo's
        bool yesFirst;
        Qt::Key key;
        bool answer;
    };
    const Case cases[] = {
        {"a question, Enter", false, false, true, Qt::Key_Return, true},
        {"from a focus-out handler, No first, Enter", true, false, false, Qt::Key_Return, false},
        {"from a focus-out handler, Esc", true, false, true, Qt::Key_Escape, true},
        {"a standard box from a focus-out handler, Enter", true, true, true, Qt::Key_Return, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TForm card(nullptr, QStringLiteral("Card"));
        auto* layout = new QVBoxLayout(&card);
        auto* edit1 = new QLineEdit(&card);
        auto* edit2 = new QLineEdit(&card);
        layout->addWidget(edit1);
        layout->addWidget(edit2);
        ASSERT_TRUE(ShowActive(&card));
        edit1->setFocus();
        QApplication::processEvents();
        bool answer = !c.answer;
        bool boxActive = false;
        bool onButton = false;
        const auto ask = [&] {
            // What the clerk finds once the box is up: the key goes where the focus is.
            QTimer::singleShot(100, [&] {
                QWidget* active = QApplication::activeWindow();
                QWidget* focused = QApplication::focusWidget();
                boxActive = active && active != &card;
                onButton = qobject_cast<QPushButton*>(focused) && focused->window() == active;
                if (focused)
                    QTest::keyClick(focused, c.key);
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->isVisible() && w != &card)
                        if (auto* box = qobject_cast<QDialog*>(w))
                            box->done(0); // the key did not reach it
            });
            answer = c.standard ? AskAttention(QStringLiteral("Прервать операцию ?"), c.yesFirst)
                                : AskYesNo(QStringLiteral("Разнести изменения во ввод ?"), QString(), c.yesFirst);
        };
        if (c.fromFocusOut) {
            new OnFocusOut(edit1, ask);
            QTest::keyClick(edit1, Qt::Key_Tab);
        } else {
            ask();
        }
        EXPECT_TRUE(boxActive);
        EXPECT_TRUE(onButton);
        EXPECT_EQ(answer, c.answer);
    }
}

} // namespace
