// The table browser: one tab per table whatever the case of its name, the
// history of 20 tables in the program INI, a cell edited through the grid.

#include "desk/Brows.h"
#include "data/AppContext.h"
#include "data/Dops.h"
#include "data/Tabn.h"
#include "db/Cursor.h"
#include "db/Tables.h"
#include "foundation/IniPersist.h"
#include "foundation/ui/grids/DBGrid.h"
#include "support/DataFolderFixture.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class BrowsTest : public AppContextTest {};

TEST_F(BrowsTest, ATableOpensOnceWhateverTheCaseOfItsName)
{
    ScriptedMessages msgs;
    const QString base = AppContext().DataFolder();
    TFormBrows form;
    EXPECT_EQ(form.TabControl->tabText(0), U("...None..."));
    EXPECT_EQ(form.pnName->text(), U("???"));
    form.OpenTable(base, QStringLiteral("SR"));
    form.OpenTable(base, QStringLiteral("sr"));
    form.OpenTable(base, QStringLiteral("POST"));
    EXPECT_EQ(form.TableCount(), 2);
    form.OpenTable(base, QStringLiteral("Sr"));
    EXPECT_EQ(form.TableCount(), 2);
    EXPECT_EQ(form.TabControl->currentIndex(), 0);
    EXPECT_EQ(form.pnName->text(), U("[%1] --> [SR]").arg(base));
    EXPECT_EQ(form.Story().size(), 2) << "one entry per table";
    form.CloseTable();
    EXPECT_EQ(form.TableCount(), 1);
    EXPECT_EQ(form.TabControl->tabText(0), U("POST"));
}

TEST_F(BrowsTest, TheStoryKeepsTheLastTwentyTablesInTheIni)
{
    ScriptedMessages msgs;
    const QString base = AppContext().DataFolder();
    QStringList names;
    for (const QFileInfo& f : QDir(base).entryInfoList(QDir::Files, QDir::Name))
        if (Tables::Exists(f.completeBaseName(), base) && !names.contains(f.completeBaseName(), Qt::CaseInsensitive))
            names << f.completeBaseName();
    ASSERT_GT(names.size(), TFormBrows::kStoryMax);
    IniSavingEnabled = true;
    {
        TFormBrows form;
        form.show();
        for (const QString& name : names)
            form.OpenTable(base, name);
        EXPECT_EQ(form.Story().size(), TFormBrows::kStoryMax);
        EXPECT_EQ(form.Story().first(), base + U("|") + names.last());
        EXPECT_EQ(form.mnTable->actions().size(), TFormBrows::kStoryMax);
        form.close();
    }
    TFormBrows again;
    again.show();
    EXPECT_EQ(again.Story().size(), TFormBrows::kStoryMax);
    EXPECT_EQ(again.Story().first(), base + U("|") + names.last());
    ASSERT_EQ(again.TableCount(), 1) << "the last table opens again";
    EXPECT_EQ(again.Current()->TableName, names.last());
    again.close();
}

// Esc closes the browser as its other ways do: the last table is written.
TEST_F(BrowsTest, EscWritesTheLastTableAsClosingDoes)
{
    ScriptedMessages msgs;
    const QString base = AppContext().DataFolder();
    IniSavingEnabled = true;
    {
        TFormBrows form;
        form.show();
        form.OpenTable(base, QStringLiteral("POST"));
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_FALSE(form.isVisible());
    }
    TFormBrows again;
    again.show();
    ASSERT_EQ(again.TableCount(), 1);
    EXPECT_EQ(again.Current()->TableName, QStringLiteral("POST"));
    again.close();
}

TEST_F(BrowsTest, ACellIsEditedThroughTheGrid)
{
    ScriptedMessages msgs;
    T_xTabn card(DNList());
    card.SetTabNum(5);
    card.Fio = U("Иванов");
    card.New = true;
    card.Save();
    TFormBrows form;
    form.resize(700, 300);
    form.OpenTable(AppContext().DataFolder(), QStringLiteral("sr"));
    ASSERT_TRUE(form.Grid->ReadOnly()) << "read-only until the edit button";
    form.sbEdit->click();
    ASSERT_TRUE(form.Current()->Editing);
    int fioColumn = -1;
    for (int c = 0; c < form.Grid->model()->columnCount(); ++c)
        if (form.Grid->model()->headerData(c, Qt::Horizontal).toString() == QStringLiteral("FIO"))
            fioColumn = c;
    ASSERT_GE(fioColumn, 0);
    ASSERT_TRUE(form.Grid->model()->setData(form.Grid->model()->index(0, fioColumn), U("Петров")));
    SaveScreenshot(&form, QStringLiteral("desk_brows"));
    form.sbEdit->click();
    EXPECT_FALSE(form.Current()->Editing);
    bool found = false;
    EXPECT_EQ(T_xTabn::CreateByTabNum(DNList(), 5, found)->Fio, U("Петров"));
}

} // namespace
