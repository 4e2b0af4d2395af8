// Helpers for forms and controls.
#include "foundation/ui/base/FormFuncs.h"
#include "UiTestHelpers.h"
#include "foundation/ui/base/FormBase.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// An edit, a grid and an edit, as the card windows have them.
class ThreeControls : public TForm {
public:
    ThreeControls() : TForm(nullptr, QStringLiteral("ThreeControls"))
    {
        auto* layout = new QVBoxLayout(this);
        edit1 = new QLineEdit(this);
        grid = new QTableWidget(3, 2, this);
        edit2 = new QLineEdit(this);
        layout->addWidget(edit1);
        layout->addWidget(grid);
        layout->addWidget(edit2);
    }
    QLineEdit* edit1;
    QTableWidget* grid;
    QLineEdit* edit2;
};

class ArrowKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.show();
        form.activateWindow();
        QApplication::processEvents();
    }
    void Focus(QWidget* w)
    {
        w->setFocus();
        QApplication::processEvents();
    }
    ThreeControls form;
};

TEST_F(ArrowKeys, UpAndDownMoveTheFocusAndClearTheKey)
{
    Focus(form.edit1);
    int key = Qt::Key_Down;
    HandleArrowKeyFocus(&form, key, Qt::NoModifier);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(form.focusWidget(), form.grid);
    Focus(form.edit2);
    key = Qt::Key_Up;
    HandleArrowKeyFocus(form.edit2, key, Qt::NoModifier); // called from a control's own handler
    EXPECT_EQ(key, 0);
    EXPECT_EQ(form.focusWidget(), form.grid);
    key = Qt::Key_Left;
    HandleArrowKeyFocus(&form, key, Qt::NoModifier);
    EXPECT_EQ(key, Qt::Key_Left) << "other keys are left alone";
}

TEST_F(ArrowKeys, InAGridOnlyCtrlMovesTheFocus)
{
    Focus(form.grid);
    struct Row {
        const char* name;
        Qt::KeyboardModifiers shift;
        bool moves;
    };
    const Row rows[] = {
        {"plain Down belongs to the grid", Qt::NoModifier, false},
        {"Shift is not Ctrl", Qt::ShiftModifier, false},
        {"Ctrl with Shift is not Ctrl alone", Qt::ControlModifier | Qt::ShiftModifier, false},
        {"Ctrl alone", Qt::ControlModifier, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Focus(form.grid);
        int key = Qt::Key_Down;
        HandleArrowKeyFocus(&form, key, r.shift);
        EXPECT_EQ(form.focusWidget(), r.moves ? static_cast<QWidget*>(form.edit2) : form.grid);
        EXPECT_EQ(key, r.moves ? 0 : int(Qt::Key_Down));
    }
}

TEST(SetEnabledTest, WidgetsActionsTimersAndOthers)
{
    QAction action(nullptr);
    SetEnabled(&action, false);
    EXPECT_FALSE(action.isEnabled());
    SetEnabled(&action, true);
    EXPECT_TRUE(action.isEnabled());

    QTimer timer;
    timer.setInterval(1000);
    SetEnabled(&timer, true);
    EXPECT_TRUE(timer.isActive());
    SetEnabled(&timer, false);
    EXPECT_FALSE(timer.isActive());

    QLineEdit edit;
    SetEnabled(&edit, false);
    EXPECT_FALSE(edit.isEnabled());

    SetEnabled(nullptr, true); // ignored

    ScriptedMessages msgs;
    QObject other;
    try {
        SetEnabled(&other, true);
        FAIL() << "an unknown kind of object must be refused";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), "SetEnabled: Unknown type of Component");
    }
}

TEST(SetEnabledTest, AHigherLayerRegistersItsOwnClass)
{
    QObject source;
    source.setObjectName(QStringLiteral("DataSource"));
    bool enabled = false;
    RegisterEnabledSetter([&](QObject* o, bool flag) {
        if (o->objectName() != "DataSource")
            return false;
        enabled = flag;
        return true;
    });
    EnableComponents({&source});
    EXPECT_TRUE(enabled);
    DisableComponents({&source});
    EXPECT_FALSE(enabled);
}

TEST(SetEnabledTest, WithChildren)
{
    ThreeControls form;
    form.edit1->setEnabled(true);
    SetEnabledWithChildren(&form, false);
    EXPECT_FALSE(form.isEnabled());
    form.setEnabled(true);
    EXPECT_FALSE(form.edit1->isEnabled()) << "children were switched off one by one";
    SetEnabledWithChildren(&form, true);
    EXPECT_TRUE(form.grid->isEnabled());
}

TEST(ShowFormModalTest, ClosesAVisibleFormFirstAndKeepsItsResult)
{
    ThreeControls form;
    form.show();
    ModalScript modal;
    modal.Next<ThreeControls>([](ThreeControls& f) {
        EXPECT_TRUE(f.isModal() || f.testAttribute(Qt::WA_ShowModal));
        f.SetModalResult(mrYes);
    });
    EXPECT_EQ(ShowFormModal(&form), mrYes);
    EXPECT_EQ(form.ModalResult(), mrYes);
    EXPECT_FALSE(form.isVisible());
}

TEST(FormListsTest, HiddenFormsComeBackFromTheLastToTheFirst)
{
    TForm main(nullptr, QStringLiteral("Main"));
    TForm a(nullptr, QStringLiteral("A"));
    TForm b(nullptr, QStringLiteral("B"));
    TForm hiddenBefore(nullptr, QStringLiteral("Hidden"));
    for (TForm* f : {&main, &a, &b})
        f->show();
    TFormList list;
    HideOtherForms(&main, list);
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(a.isVisible());
    EXPECT_FALSE(b.isVisible());
    ASSERT_EQ(list.size(), 2);

    QStringList order;
    struct Spy : QObject {
        QStringList* order;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Show)
                order->append(o->objectName());
            return false;
        }
    } spy;
    spy.order = &order;
    a.installEventFilter(&spy);
    b.installEventFilter(&spy);
    const QStringList hidden{list[0]->objectName(), list[1]->objectName()};
    ShowHiddenForms(list);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(order, QStringList({hidden[1], hidden[0]}));
    EXPECT_FALSE(hiddenBefore.isVisible());
    for (TForm* f : {&main, &a, &b})
        f->hide();
}

TEST(FormListsTest, RegisterObjectKeepsEachOnce)
{
    QObject x, y;
    const int ix = RegisterObject(&x);
    EXPECT_EQ(RegisterObject(&x), ix);
    const int iy = RegisterObject(&y);
    EXPECT_EQ(iy, ix + 1);
    UnregisterObject(&x);
    EXPECT_FALSE(RegisteredObjects().contains(&x));
    EXPECT_TRUE(RegisteredObjects().contains(&y));
    UnregisterObject(&y);
}

TEST(ControlsTest, TabPagesGetTheirTabsHidden)
{
    QTabWidget tabs;
    auto* page1 = new QWidget;
    auto* page2 = new QWidget;
    tabs.addTab(page1, QStringLiteral("Основные"));
    tabs.addTab(page2, QStringLiteral("Дополнительно"));
    QLineEdit edit;
    edit.show();
    ShowHideControls({}, {page2, &edit});
    EXPECT_FALSE(tabs.isTabVisible(1));
    EXPECT_TRUE(tabs.isTabVisible(0));
    EXPECT_FALSE(edit.isVisible());
    ShowControls({page2, &edit});
    EXPECT_TRUE(tabs.isTabVisible(1));
    EXPECT_TRUE(edit.isVisible());
}

class GridColumns : public ::testing::Test {
protected:
    void SetUp() override
    {
        grid.setColumnCount(3);
        grid.setRowCount(2);
        grid.setHorizontalHeaderLabels({QStringLiteral("Таб. №"), QStringLiteral("Фамилия"), QStringLiteral("Оклад")});
        grid.horizontalHeaderItem(1)->setData(FieldNameRole, QStringLiteral("FAM"));
        grid.verticalHeader()->hide();
        for (int i = 0; i < 3; ++i)
            grid.setColumnWidth(i, 60);
        grid.resize(400, 200);
        grid.show();
        QApplication::processEvents();
    }
    QTableWidget grid;
};

TEST_F(GridColumns, TitleColumnAtAPoint)
{
    const int titleY = grid.horizontalHeader()->geometry().center().y();
    const int x0 = grid.horizontalHeader()->geometry().x();
    EXPECT_EQ(TitleColumnAt(&grid, x0 + 10, titleY), 0);
    EXPECT_EQ(TitleColumnAt(&grid, x0 + 130, titleY), 2);
    EXPECT_EQ(TitleColumnAt(&grid, x0 + 300, titleY), -1) << "right of the columns";
    EXPECT_EQ(TitleColumnAt(&grid, x0 + 10, grid.horizontalHeader()->geometry().bottom() + 10), -1)
        << "below the title row";
}

TEST_F(GridColumns, ColumnTakesTheFreeWidth)
{
    dgColumnResize(&grid, QStringLiteral("fam"));
    EXPECT_EQ(grid.columnWidth(1), grid.viewport()->width() - 120);
    // A grid narrower than its other columns still shows the title.
    grid.resize(100, 200);
    QApplication::processEvents();
    dgColumnResize(&grid, QStringLiteral("Оклад"));
    const int title = grid.horizontalHeader()->fontMetrics().horizontalAdvance(QStringLiteral("Оклад"));
    EXPECT_GE(grid.columnWidth(2), std::max(title + 10, 20));
}

TEST_F(GridColumns, UnknownFieldIsShown)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details("dgColumnResize: Неверное имя столбца");
    dgColumnResize(&grid, QStringLiteral("NOSUCH"));
    EXPECT_EQ(grid.columnWidth(1), 60);
}

TEST(ListViewTest, LastColumnFillsAndAnIndexBeyondDoesNothing)
{
    QTreeWidget list;
    list.setColumnCount(3);
    list.resize(400, 200);
    list.show();
    list.header()->setStretchLastSection(false);
    list.setColumnWidth(0, 80);
    list.setColumnWidth(1, 90);
    list.setColumnWidth(2, 50);
    QApplication::processEvents();
    FitListViewColumn(&list, 2);
    EXPECT_EQ(list.columnWidth(2), list.viewport()->width() - 170);
    FitListViewColumn(&list, 5);
    EXPECT_EQ(list.columnWidth(0), 80);
}

TEST(GeometryTest, FitWidthToAReference)
{
    QWidget parent;
    parent.resize(300, 100);
    QLineEdit edit(&parent);
    QLineEdit reference(&parent);
    edit.setGeometry(10, 10, 50, 20);
    reference.setGeometry(100, 40, 150, 20);
    FitWidthToControl(&edit, &reference, 5, 30);
    EXPECT_EQ(edit.x() + edit.width(), 250 - 5);
    FitWidthToControl(&edit, &reference, 300, 30);
    EXPECT_EQ(edit.width(), 30);
    CopyControlBounds(&reference, &edit);
    EXPECT_EQ(edit.geometry(), reference.geometry());
}

TEST(ActiveFormTest, GetActiveFormAnswersTheActiveWindow)
{
    TForm form(nullptr, QStringLiteral("Active"));
    form.show();
    form.activateWindow();
    QApplication::setActiveWindow(&form);
    EXPECT_EQ(GetActiveForm(), &form);
    form.hide();
}

} // namespace

namespace {

TEST(MinimizeHandlerTest, OtherWindowsFollowTheMainWindow)
{
    TForm main(nullptr, QStringLiteral("Main"));
    TForm card(nullptr, QStringLiteral("Card"));
    TForm list(nullptr, QStringLiteral("List"));
    for (TForm* f : {&main, &card, &list})
        f->show();
    InstallMinimizeHandler(&main);
    main.setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_FALSE(card.isVisible());
    EXPECT_FALSE(list.isVisible());
    main.setWindowState(Qt::WindowNoState);
    QApplication::processEvents();
    EXPECT_TRUE(card.isVisible());
    EXPECT_TRUE(list.isVisible());
    for (TForm* f : {&main, &card, &list})
        f->hide();
}

} // namespace

namespace {

// "Сервис" - "Размер": the texts of every window grow and shrink, the
// main window's too, also where the program fonts were set on a control;
// every window stays whole on the screen (800x600 here), frame included,
// and a step after which one could not fit is undone with a beep.
TEST(ScaleAllFormsTest, EveryWindowsTextsGrowAndShrinkVisiblyAndStayOnTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QMargins frame = UsualWindowFrame();
    struct Case {
        const char* what;
        QRect place; // the book's client area
        int textWidth; // of a title inside it, 0: a small one
        bool up;
        bool applied;
        QSize size; // expected
    };
    const Case cases[] = {
        {"grows by a tenth", {100, 100, 300, 200}, 0, true, true, {330, 220}},
        {"shrinks back", {100, 100, 330, 220}, 0, false, true, {300, 200}},
        {"held to the screen", {20, 40, 760, 500}, 0, true, true, {784, 550}},
        {"a window that could not fit: undone", {20, 40, 770, 500}, 740, true, false, {770, 500}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QMainWindow main;
        auto* list = new QLabel(QStringLiteral("Иванов"), &main);
        main.setCentralWidget(list);
        QFont edit = list->font();
        edit.setPointSizeF(10);
        list->setFont(edit); // as the program fonts set it
        TForm book(nullptr, QStringLiteral("FormBook"));
        auto* layout = new QVBoxLayout(&book);
        auto* field = new QLineEdit(&book);
        field->setFont(edit);
        layout->addWidget(field);
        // A control whose least width follows the fonts, as a grid's titles do.
        auto* wide = new QLabel(QStringLiteral("Наименование"), &book);
        if (c.textWidth > 0) {
            QFont big = wide->font();
            big.setPixelSize(20);
            wide->setFont(big);
            big.setPixelSize(20 * c.textWidth / wide->fontMetrics().horizontalAdvance(wide->text()));
            wide->setFont(big);
        }
        layout->addWidget(wide);
        book.setGeometry(c.place);
        main.setGeometry(100, 100, 300, 200);
        main.show();
        book.show();
        QApplication::processEvents();
        const QRect before = book.geometry();
        BeepCounter beeps;
        const bool applied = ScaleAllForms(11, 10, c.up);
        QApplication::processEvents();
        EXPECT_EQ(applied, c.applied);
        EXPECT_EQ(beeps.count, c.applied ? 0 : 1);
        EXPECT_EQ(book.size(), c.size);
        EXPECT_TRUE(screen.contains(book.geometry().marginsAdded(frame))) << book.x() << "," << book.y();
        const double factor = !c.applied ? 1 : c.up ? 1.1 : 1 / 1.1;
        EXPECT_NEAR(list->font().pointSizeF(), 10 * factor, 1e-9);
        EXPECT_NEAR(field->font().pointSizeF(), 10 * factor, 1e-9);
        if (!c.applied) {
            EXPECT_EQ(book.geometry(), before);
        }
    }
}

// A window manager's title bar of 40 px: the window goes below it, and a
// window whose least size cannot fit is left as it is.
TEST(ScaleAllFormsTest, AWindowWithItsFrameFitsTheFreeArea)
{
    const QRect available(0, 0, 1600, 1000);
    const QMargins frame(4, 40, 4, 4);
    struct Case {
        QRect place;
        QSize least;
        bool fits;
        QRect result;
    };
    const Case cases[] = {
        {{0, 0, 1346, 1056}, {800, 600}, true, {4, 40, 1346, 956}},
        {{300, 200, 1346, 900}, {800, 600}, true, {250, 96, 1346, 900}},
        {{100, 100, 400, 300}, {0, 0}, true, {100, 100, 400, 300}},
        {{100, 100, 400, 300}, {1000, 980}, false, {100, 100, 400, 300}},
    };
    for (const Case& c : cases) {
        QRect place = c.place;
        EXPECT_EQ(FitWhole(place, c.least, frame, available), c.fits);
        EXPECT_EQ(place, c.result);
    }
}

} // namespace
