#include "acceptance/Clerk.h"

#include "app/program/QorProgram.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/Program.h"
#include "desk/Main.h"
#include "foundation/ui/edits/DateEdit.h"
#include "reports/PrintBackend.h"
#include "reports/ReportDocument.h"
#include "reports/ui/PreviewForm.h"
#include "support/TestSupport.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

QObject* FindNamed(QObject* root, const QString& name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    return root->findChild<QObject*>(name);
}

void Activate(QWidget* w)
{
    QWidget* window = w->window();
    if (window->isActiveWindow())
        return;
    window->activateWindow();
    QApplication::setActiveWindow(window);
    if (!window->isActiveWindow())
        ADD_FAILURE() << window->objectName().toStdString() << " does not become active";
}

void Click(QWidget* w)
{
    ASSERT_NE(w, nullptr);
    Activate(w);
    ASSERT_TRUE(w->isVisible() && w->isEnabled()) << w->objectName().toStdString() << " cannot take a click: visible "
                                                  << w->isVisible() << ", enabled " << w->isEnabled();
    // A check box or a radio button takes clicks on its box and its text only.
    const bool box = w->inherits("QCheckBox") || w->inherits("QRadioButton");
    QTest::mouseClick(w, Qt::LeftButton, {}, box ? QPoint(8, w->height() / 2) : w->rect().center());
}

void ClickAction(QWidget* window, const char* name)
{
    auto* action = Child<QAction>(window, name);
    ASSERT_NE(action, nullptr);
    for (QToolBar* bar : window->findChildren<QToolBar*>())
        if (QWidget* button = bar->widgetForAction(action)) {
            Click(button);
            return;
        }
    ADD_FAILURE() << name << " has no button";
}

void Type(const QString& text)
{
    for (const QChar ch : text) {
        QWidget* w = QApplication::focusWidget();
        ASSERT_NE(w, nullptr) << "nothing has the focus";
        const Qt::Key key
            = ch.unicode() < 128 && ch.isLetterOrNumber() ? Qt::Key(ch.toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, w, key, QString(ch), Qt::NoModifier);
    }
}

void Press(Qt::Key key, Qt::KeyboardModifiers mods)
{
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr) << "nothing has the focus";
    QTest::keyClick(w, key, mods);
}

void TypeInto(QWidget* edit, const QString& text)
{
    ASSERT_NE(edit, nullptr);
    Activate(edit);
    edit->setFocus(Qt::MouseFocusReason);
    if (auto* line = qobject_cast<QLineEdit*>(edit))
        line->selectAll();
    else
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    for (const QChar ch : text) {
        const Qt::Key key
            = ch.unicode() < 128 && ch.isLetterOrNumber() ? Qt::Key(ch.toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, edit, key, QString(ch), Qt::NoModifier);
    }
}

void TypeDate(Tyq_DateEdit* edit, const QString& date)
{
    ASSERT_NE(edit, nullptr);
    Click(edit->findChild<QLineEdit*>());
    ASSERT_TRUE(edit->hasFocus()) << edit->objectName().toStdString();
    Type(date);
    EXPECT_EQ(edit->text(), date) << edit->objectName().toStdString();
}

void ChooseItem(QComboBox* combo, int index)
{
    ASSERT_NE(combo, nullptr);
    Activate(combo);
    combo->setFocus(Qt::MouseFocusReason);
    while (combo->currentIndex() < index)
        QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > index)
        QTest::keyClick(combo, Qt::Key_Up);
}

QTreeWidgetItem* TreeItem(QTreeWidget* tree, const QString& text)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        for (int c = 0; c < tree->columnCount(); ++c)
            if ((*it)->text(c).contains(text))
                return *it;
    return nullptr;
}

void ClickItem(QTreeWidget* tree, QTreeWidgetItem* item)
{
    ASSERT_NE(item, nullptr);
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

void ClickRow(QTreeView* view, int row, int column)
{
    ASSERT_GE(row, 0);
    const QModelIndex index = view->model()->index(row, column);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

int RowOf(QTreeView* view, int column, const QString& text)
{
    for (int r = 0; r < view->model()->rowCount(); ++r)
        if (CellText(view, r, column) == text)
            return r;
    return -1;
}

QString CellText(QTreeView* view, int row, int column) { return view->model()->index(row, column).data().toString(); }

void Shot(QWidget* w, const QString& name)
{
    QApplication::processEvents();
    SaveScreenshot(w, QStringLiteral("acceptance-") + name);
}

QWidget* OpenWindow(const char* className)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->inherits(className))
            return w;
    return nullptr;
}

int RunSession(const std::function<void(TFormMain&)>& inLoop)
{
    SetProgramStepHook([inLoop](const QString& step) {
        if (step != QLatin1String("MainLoop"))
            return;
        QTimer::singleShot(0, [inLoop] {
            auto* main = dynamic_cast<TFormMain*>(MainForm());
            if (!main)
                ADD_FAILURE() << "no main window";
            else if (inLoop)
                inLoop(*main);
            if (QMainWindow* window = MainForm())
                window->close();
        });
    });
    const int code = QorMain();
    SetProgramStepHook({});
    return code;
}

QString PrintToPdf(TPreviewForm& preview, const QString& file)
{
    preview.Document().SetPrintBackend(std::make_shared<TPdfPrintBackend>(file));
    preview.Document().Print(1, preview.PageCount());
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!p.waitForFinished(30000))
        ADD_FAILURE() << "pdftotext did not finish";
    return QString::fromUtf8(p.readAllStandardOutput());
}
