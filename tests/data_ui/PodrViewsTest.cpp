// The department tree in a tree widget: number prefixes, the dismissed
// groups, the selected department, the node behind each item.

#include "data/ui/PodrViews.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Podr.h"
#include "support/DataFolderFixture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTreeWidget>

namespace {

class PodrViewsTest : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        const struct {
            int num, pdp, up, snum;
            const char* naim;
        } rows[] = {{7, 1, 0, 1, "Цех"}, {8, 1, 7, 1, "Участок"}, {1234, 1, 0, 2, "Склад"}};
        for (const auto& r : rows)
            AppendRecordValues(DM()->SP, r.num,
                {QStringLiteral("NUMPDP"), QStringLiteral("NUMUP"), QStringLiteral("SNUM"), QStringLiteral("NAIM")},
                {Variant(r.pdp), Variant(r.up), Variant(r.snum), Variant(QString::fromUtf8(r.naim))});
        PNList()->Reload();
        tree = std::make_unique<T_PNTree>(PNList());
        tree->SetFilter(pfCurrent | pfDismissed);
        view.resize(320, 200);
        view.setHeaderHidden(true);
    }
    void TearDown() override
    {
        tree.reset();
        AppContextTest::TearDown();
    }

    QStringList Texts() const
    {
        QStringList out;
        for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&view)); *it; ++it)
            out << (*it)->text(0);
        return out;
    }

    std::unique_ptr<T_PNTree> tree;
    QTreeWidget view;
};

TEST_F(PodrViewsTest, NumbersGroupsAndTheChosenDepartment)
{
    FillTreeView(*tree, &view, 8, true);
    EXPECT_EQ(Texts(), (QStringList{"[007] Цех", "[008] Участок", "[1234] Склад", "Уволенные"}));
    ASSERT_NE(view.currentItem(), nullptr);
    EXPECT_EQ(view.currentItem()->text(0), QStringLiteral("[008] Участок"));
    EXPECT_TRUE(view.currentItem()->isSelected());
    EXPECT_EQ(CurrentPodrNum(&view), 8);
    EXPECT_TRUE(view.topLevelItem(0)->isExpanded());
    const T_MPodr* node = PodrNodeOfItem(view.currentItem());
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Podr->Naim, QStringLiteral("Участок"));
    EXPECT_TRUE(PodrNodeOfItem(view.topLevelItem(2))->Podr->IsDismissedGroup());
    view.show();
    SaveScreenshot(&view, QStringLiteral("PodrTreeView"));
}

TEST_F(PodrViewsTest, WithoutNumbersAndWithoutAChoiceTheFirstNodeIsCurrent)
{
    FillTreeView(*tree, &view, 0, false);
    EXPECT_EQ(Texts(), (QStringList{"Цех", "Участок", "Склад", "Уволенные"}));
    EXPECT_EQ(CurrentPodrNum(&view), 7);

    FillTreeView(*tree, &view, 555, false);
    EXPECT_EQ(view.topLevelItemCount(), 3) << "filled anew, not appended";
    EXPECT_EQ(CurrentPodrNum(&view), 7);

    tree->SetFilter(0);
    FillTreeView(*tree, &view, 7, true);
    EXPECT_EQ(view.topLevelItemCount(), 0);
    EXPECT_EQ(CurrentPodrNum(&view), 0);
}

} // namespace
