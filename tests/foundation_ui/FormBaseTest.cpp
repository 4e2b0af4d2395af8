// The form base, the modal runner and guarded(...).
#include "foundation/ui/base/FormBase.h"
#include "support/ModalScript.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <stdexcept>

namespace {

class KeyForm : public TForm {
public:
    KeyForm() : TForm(nullptr, QStringLiteral("KeyForm"))
    {
        auto* layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("edit"));
        layout->addWidget(edit);
        ok = new QPushButton(QStringLiteral("Ok"), this);
        layout->addWidget(ok);
        connect(ok, &QPushButton::clicked, this, [this] { SetModalResult(mrOk); });
    }
    QLineEdit* edit;
    QPushButton* ok;
    QList<int> seen;
    int consume = 0;
    bool throwOnKey = false;

protected:
    bool FormKeyDown(QKeyEvent* event) override
    {
        seen.append(event->key());
        if (throwOnKey)
            throw EAppException(QStringLiteral("Ключ|не тот"));
        return event->key() == consume;
    }
};

TEST(FormsBase, ObjectNameIsTheComponentName)
{
    TForm form(nullptr, QStringLiteral("FormMessage"));
    EXPECT_EQ(form.objectName(), "FormMessage");
}

TEST(FormsBase, ShowModalAnswersTheResultTheStepLeaves)
{
    KeyForm form;
    ModalScript modal;
    modal.Next<KeyForm>([](KeyForm& f) { QTest::mouseClick(f.ok, Qt::LeftButton); });
    modal.Next<KeyForm>([](KeyForm& f) { QTest::keyClick(f.edit, Qt::Key_Escape); });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(form.ModalResult(), mrOk);
    // Esc on a plain form cancels it, and the result of the last run is not kept.
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(modal.Seen(), QStringList({"KeyForm", "KeyForm"}));
}

TEST(FormsBase, SetModalResultZeroKeepsTheFormOpen)
{
    KeyForm form;
    ModalScript modal;
    modal.Next<KeyForm>([](KeyForm& f) {
        f.SetModalResult(mrNone);
        EXPECT_TRUE(f.isVisible());
        f.SetModalResult(mrYes);
        EXPECT_FALSE(f.isVisible());
    });
    EXPECT_EQ(form.ShowModal(), mrYes);
}

TEST(FormsBase, KeyPreviewSeesTheFocusedControlsKeysFirst)
{
    KeyForm form;
    form.SetKeyPreview(true);
    form.consume = Qt::Key_B;
    form.show();
    form.edit->setFocus();
    QTest::keyClicks(form.edit, QStringLiteral("abc"));
    // "b" was consumed by the form and never reached the edit; each key seen once.
    EXPECT_EQ(form.edit->text(), "ac");
    EXPECT_EQ(form.seen, QList<int>({Qt::Key_A, Qt::Key_B, Qt::Key_C}));
    form.hide();
}

TEST(FormsBase, WithoutKeyPreviewTheFormSeesNoKeys)
{
    KeyForm form;
    form.show();
    form.edit->setFocus();
    QTest::keyClicks(form.edit, QStringLiteral("ab"));
    EXPECT_TRUE(form.seen.isEmpty());
    EXPECT_EQ(form.edit->text(), "ab");
    form.hide();
}

TEST(FormsBase, AnExceptionInTheKeyPreviewIsShownAndDoesNotLeaveTheEventLoop)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title("Ключ").Details("не тот");
    KeyForm form;
    form.SetKeyPreview(true);
    form.throwOnKey = true;
    form.show();
    form.edit->setFocus();
    QTest::keyClick(form.edit, Qt::Key_X);
    EXPECT_EQ(form.edit->text(), "x");
    form.hide();
}

TEST(FormsBase, RefusedSystemCloseKeepsTheFormOpenAndSwallowsF4)
{
    KeyForm form;
    form.SetRefuseSystemClose(true);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    ModalScript modal;
    modal.Next<KeyForm>([](KeyForm& f) {
        f.edit->setFocus();
        QTest::keyClick(f.edit, Qt::Key_F4, Qt::AltModifier);
        EXPECT_TRUE(f.isVisible());
        CloseLikeWindowManager(&f);
        EXPECT_TRUE(f.isVisible());
        f.SetModalResult(mrOk); // the program itself still closes it
    });
    EXPECT_EQ(form.ShowModal(), mrOk);
}

TEST(FormsBase, SystemCloseOfAnOrdinaryFormCancelsIt)
{
    KeyForm form;
    ModalScript modal;
    modal.Next<KeyForm>([](KeyForm& f) {
        CloseLikeWindowManager(&f);
        EXPECT_FALSE(f.isVisible());
    });
    EXPECT_EQ(form.ShowModal(), mrCancel);
}

TEST(FormsBase, NestedModalWindowsTakeTheStepsInOrder)
{
    KeyForm outer;
    KeyForm inner;
    inner.setObjectName(QStringLiteral("Inner"));
    int innerResult = -1;
    ModalScript modal;
    modal.Next<KeyForm>([&](KeyForm& f) {
        innerResult = inner.ShowModal();
        f.SetModalResult(mrRetry);
    });
    modal.Next([](QDialog& d) { static_cast<TForm&>(d).SetModalResult(mrNo); });
    EXPECT_EQ(outer.ShowModal(), mrRetry);
    EXPECT_EQ(innerResult, mrNo);
    EXPECT_EQ(modal.Seen(), QStringList({"KeyForm", "Inner"}));
}

TEST(FormsBase, WithoutAHandlerRunModalUsesTheDialogsOwnLoop)
{
    EXPECT_FALSE(HasModalHandler());
    KeyForm form;
    QTimer::singleShot(0, &form, [&] { form.SetModalResult(mrIgnore); });
    EXPECT_EQ(RunModal(form), mrIgnore);
}

// ---------------------------------------------------------------- guarded

struct GuardCase {
    const char* name;
    std::function<void()> body;
    bool shown; // an error box is expected
    QString title, details;
};

class GuardedTest : public ::testing::TestWithParam<GuardCase> {};

TEST_P(GuardedTest, ExceptionsEndInTheMessageServiceOrAreDropped)
{
    const GuardCase& c = GetParam();
    ScriptedMessages msgs;
    if (c.shown)
        msgs.Expect(MsgKind::Error).Title(c.title).Details(c.details);
    EXPECT_FALSE(RunGuarded(c.body));
}

INSTANTIATE_TEST_SUITE_P(Kinds, GuardedTest,
    ::testing::Values(GuardCase{"SilentAbort", [] { Abort(); }, false, {}, {}},
        GuardCase{"AppException", [] { RaiseError(QStringLiteral("Таблица|не найдена")); }, true,
            QStringLiteral("Таблица"), QStringLiteral("не найдена")},
        GuardCase{"ConvertError", [] { throw EConvertError(QStringLiteral("'x' is not a valid integer value")); }, true,
            QString(), QStringLiteral("'x' is not a valid integer value")},
        GuardCase{"StdException", [] { throw std::runtime_error("boom"); }, true, QString(), QStringLiteral("boom")},
        GuardCase{"Unknown", [] { throw 42; }, true, QString(), QStringLiteral("Неизвестная ошибка")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Guarded, NormalEndAnswersTrue)
{
    int runs = 0;
    EXPECT_TRUE(RunGuarded([&] { ++runs; }));
    EXPECT_EQ(runs, 1);
}

TEST(Guarded, WrapsASlotAndPassesTheSignalsArguments)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details("не число");
    QLineEdit edit;
    QString got;
    QObject::connect(&edit, &QLineEdit::textChanged, &edit, guarded([&](const QString& text) {
        got = text;
        if (text == "x")
            RaiseError(QStringLiteral("не число"));
    }));
    int clicks = 0;
    QObject::connect(&edit, &QLineEdit::textChanged, &edit, guarded([&] { ++clicks; }));
    edit.setText(QStringLiteral("12"));
    EXPECT_EQ(got, "12");
    edit.setText(QStringLiteral("x")); // the exception stops at the wrapper
    EXPECT_EQ(got, "x");
    EXPECT_EQ(clicks, 2);
}

TEST(Guarded, ClosesTheProgressSessionTheBodyLeftOpen)
{
    RecordingProgress progress;
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details("сбой");
    RunGuarded([] {
        Progress().Init(0, 0, 10);
        RaiseError(QStringLiteral("сбой"));
    });
    EXPECT_FALSE(progress.Active());
    // A silent abort closes it as well.
    RunGuarded([] {
        Progress().Init(0, 0, 10);
        Abort();
    });
    EXPECT_FALSE(progress.Active());
}

TEST(Guarded, LeavesTheProgressSessionOfTheRunningOperationAlone)
{
    // A slot that runs while an operation lets events through must not close
    // the operation's window.
    RecordingProgress progress;
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details("в обработчике");
    Progress().Init(0, 0, 10);
    RunGuarded([] { RaiseError(QStringLiteral("в обработчике")); });
    EXPECT_TRUE(progress.Active());
    Progress().Close();
}

TEST(Guarded, ProgramExitEndsTheEventLoopsAndIsRemembered)
{
    ASSERT_FALSE(PendingProgramExit());
    int loopResult = -1;
    QTimer::singleShot(0, guarded([] { throw ProgramExit(3); }));
    QEventLoop loop;
    loopResult = loop.exec();
    EXPECT_EQ(loopResult, 3);
    EXPECT_EQ(PendingProgramExit(), 3);
    EXPECT_TRUE(ApplicationTerminating());
    ClearPendingProgramExit();
    SetApplicationTerminating(false);
    // exit() leaves every later event loop returning at once; only the
    // application's own loop clears that when it ends.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    QEventLoop check;
    QTimer::singleShot(0, &check, [&] { check.exit(7); });
    EXPECT_EQ(check.exec(), 7);
}

} // namespace
