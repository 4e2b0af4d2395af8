#include "reports/ReportDocument.h"

#include <gtest/gtest.h>

namespace {

class ReportBandsTest : public ::testing::Test {
protected:
    TView* Add(int type, int y, int h, int kind = 0, const QString& text = QString())
    {
        auto v = std::make_unique<TView>(type, &doc);
        v->SetBounds(QRect(0, y, 100, h));
        if (type == vtBand)
            v->FT = kind;
        if (!text.isEmpty())
            v->M << text;
        return page().AddView(std::move(v));
    }
    TPage& page() { return *doc.ActivePage(); }
    TDocument doc;
};

TEST_F(ReportBandsTest, NamesKeepTheirSpelling)
{
    EXPECT_EQ(BandNamesRus[7], QStringLiteral("Заголовок детализированых"));
    EXPECT_EQ(BandNamesRus[8], QStringLiteral("Детализированые данные"));
    EXPECT_EQ(BandNamesRus[9], QStringLiteral("Итог детализированых"));
    EXPECT_EQ(BandNamesEng[13], QStringLiteral("Overlay"));
    EXPECT_TRUE(BandNamesEng[14].isEmpty() && BandNamesRus[14].isEmpty());
}

TEST_F(ReportBandsTest, AnObjectBelongsToTheBandWhoseMarkerCoversItsTop)
{
    Add(vtBand, 100, 50, btMasterData);
    Add(vtBand, 80, 40, btPageHeader); // overlaps the master band
    TView* edge = Add(vtText, 149, 10); // top + height - 1: outside
    TView* inside = Add(vtText, 148, 10); // top + height - 2: inside
    TView* both = Add(vtText, 110, 5); // covered by both: the lower kind wins
    TView* before = Add(vtText, 90, 5);
    TView* free = Add(vtText, 400, 5);
    page().CreateBands();
    EXPECT_EQ(edge->Band->Kind, btFree);
    EXPECT_EQ(edge->Y, 149);
    EXPECT_EQ(inside->Band->Kind, btMasterData);
    EXPECT_EQ(inside->Y, 48);
    EXPECT_EQ(both->Band->Kind, btPageHeader);
    EXPECT_EQ(both->Y, 30);
    EXPECT_EQ(before->Band->Kind, btPageHeader);
    EXPECT_EQ(free->Band, page().Band(btFree));
    EXPECT_EQ(page().Band(btMasterData)->Top, 100);
    EXPECT_EQ(page().Band(btMasterData)->Height, 50);
    page().FreeBands();
    EXPECT_EQ(inside->Y, 148);
    EXPECT_EQ(both->Y, 110);
    EXPECT_EQ(edge->Y, 149);
}

TEST_F(ReportBandsTest, MarkersOfOneKindChainByTopAfterAssignmentInListOrder)
{
    Add(vtBand, 300, 100, btMasterData, QStringLiteral("second"));
    Add(vtBand, 200, 150, btMasterData, QStringLiteral("first"));
    TView* overlap = Add(vtText, 320, 5); // inside both: the marker earlier in the list takes it
    TView* upper = Add(vtText, 210, 5);
    page().CreateBands();
    TBand* first = page().Band(btMasterData);
    ASSERT_TRUE(first && first->Next);
    EXPECT_EQ(first->Top, 200);
    EXPECT_EQ(first->Memo, QStringList{QStringLiteral("first")});
    EXPECT_EQ(first->Next->Top, 300);
    EXPECT_EQ(first->Next->Next, nullptr);
    EXPECT_EQ(overlap->Band, first->Next);
    EXPECT_EQ(overlap->Y, 20);
    EXPECT_EQ(upper->Band, first);
    page().FreeBands();
}

TEST_F(ReportBandsTest, CreateAndFreeTwiceGiveTheTemplateBack)
{
    TView* m = Add(vtBand, 50, 50, btReportTitle);
    Add(vtBand, 120, 30, 22); // a damaged kind: its area holds free objects
    std::vector<TView*> views = {Add(vtText, 60, 5), Add(vtText, 125, 5), Add(vtText, 0, 5)};
    for (int round = 0; round < 2; ++round) {
        page().CreateBands();
        EXPECT_EQ(views[1]->Band->Kind, btFree);
        page().FreeBands();
    }
    EXPECT_EQ(views[0]->Y, 60);
    EXPECT_EQ(views[1]->Y, 125);
    EXPECT_EQ(views[2]->Y, 0);
    EXPECT_EQ(m->Y, 50);
    EXPECT_EQ(m->FT, btReportTitle);
    for (TView* v : views)
        EXPECT_EQ(v->Band, nullptr);
}

TEST_F(ReportBandsTest, WithoutMarkersEverythingIsFree)
{
    TView* a = Add(vtText, 10, 5);
    TView* b = Add(vtPicture, 700, 5);
    page().CreateBands();
    EXPECT_EQ(page().Band(btFree)->Views, (std::vector<TView*>{a, b}));
    EXPECT_EQ(b->Y, 700);
    for (int k = 0; k < btFree; ++k)
        EXPECT_TRUE(page().Band(k)->Views.empty()) << k;
    page().FreeBands();
}

TEST_F(ReportBandsTest, ViewsAreDeletedOneByOneOrAll)
{
    Add(vtText, 1, 1);
    Add(vtText, 2, 1);
    Add(vtText, 3, 1);
    page().DeleteView(1);
    ASSERT_EQ(page().ViewCount(), 2);
    EXPECT_EQ(page().View(1)->Y, 3);
    page().DeleteAllViews();
    EXPECT_EQ(page().ViewCount(), 0);
}

} // namespace
