// The designer's page surface driven with the mouse and the keys: hits and
// the Esc walk, snapping, resizing, creating, markers, the rubber band, the
// copy with Ctrl and the arrow keys, asserted on the page's objects.

#include "reports/ui/DesignSurface.h"
#include "reports/ReportDocument.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QScrollArea>
#include <QTest>

using namespace ReportDesign;

namespace {

class Host final : public IDesignHost {
public:
    explicit Host(TDocument& d) : doc(d) {}
    TDocument* Document() override { return &doc; }
    void BarsChanged(bool releaseChecks) override { released += releaseChecks ? 1 : 0; }
    void ToolReverted() override { ++reverted; }
    bool EditObject(TView& v) override
    {
        edited.push_back(&v);
        return true;
    }
    TDocument& doc;
    int released = 0, reverted = 0;
    std::vector<TView*> edited;
};

class DesignSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.SetPrintBackend(std::make_shared<TRecordingPrintBackend>());
        doc.Unmodified = true;
        doc.Designer.SnapToGrid = false;
        box.resize(900, 700);
        box.show();
        surface.FitToBox();
    }
    TView* Add(int type, QRect r, int ft = 0)
    {
        auto v = std::make_unique<TView>(type, &doc);
        v->SetBounds(r);
        v->FT = ft;
        return page().AddView(std::move(v));
    }
    TPage& page() { return *doc.ActivePage(); }
    void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {})
    {
        QTest::mousePress(&surface, Qt::LeftButton, mods, from);
        QTest::mouseMove(&surface, to);
        QTest::mouseRelease(&surface, Qt::LeftButton, mods, to);
    }
    void Click(QPoint at, Qt::KeyboardModifiers mods = {}) { Drag(at, at, mods); }
    void Key(int key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(&surface, Qt::Key(key), mods); }
    void Grid(int size, bool snap)
    {
        doc.Designer.GridSize = size;
        doc.Designer.SnapToGrid = snap;
    }

    TDocument doc;
    Host host{doc};
    QScrollArea box;
    TPreview surface{host, &box};
};

TEST_F(DesignSurfaceTest, ClickHitsTheLastDrawnAndEscWalksDownToTheLowest)
{
    TView* low = Add(vtText, QRect(10, 10, 100, 50));
    TView* top = Add(vtText, QRect(50, 20, 100, 50));
    Click(QPoint(60, 30));
    EXPECT_TRUE(top->Selected && !low->Selected);
    Key(Qt::Key_Escape);
    EXPECT_TRUE(low->Selected && !top->Selected);
    Key(Qt::Key_Escape);
    EXPECT_TRUE(low->Selected && !top->Selected);
    EXPECT_EQ(SelectedCount(page()), 1);
}

TEST_F(DesignSurfaceTest, RightEdgeIsHitByAClickButNotByTheEscWalk)
{
    TView* under = Add(vtText, QRect(0, 0, 50, 50));
    TView* over = Add(vtText, QRect(0, 0, 100, 100));
    over->Selected = true; // the handles of a lone selection would take the press
    surface.SetResizeMode(false);
    Click(QPoint(50, 20));
    Key(Qt::Key_Escape);
    EXPECT_TRUE(over->Selected);
    EXPECT_FALSE(under->Selected);
    page().View(1)->Selected = false;
    Click(QPoint(150, 20)); // nothing: the click clears
    Click(QPoint(100, 100)); // bottom-right corner of the upper object
    EXPECT_TRUE(over->Selected);
}

TEST_F(DesignSurfaceTest, ShiftClicksToggleAndTheWholeSelectionMoves)
{
    TView* a = Add(vtText, QRect(10, 10, 50, 20));
    TView* b = Add(vtText, QRect(100, 10, 50, 20));
    TView* c = Add(vtText, QRect(200, 10, 50, 20));
    surface.SetResizeMode(false);
    Click(QPoint(20, 20));
    Click(QPoint(110, 20), Qt::ShiftModifier);
    Click(QPoint(210, 20), Qt::ShiftModifier);
    Click(QPoint(210, 20), Qt::ShiftModifier);
    EXPECT_TRUE(a->Selected && b->Selected && !c->Selected);
    Drag(QPoint(120, 15), QPoint(130, 45)); // pressed on a selected object: the selection stays
    EXPECT_EQ(QPoint(a->X, a->Y), QPoint(20, 40));
    EXPECT_EQ(QPoint(b->X, b->Y), QPoint(110, 40));
    EXPECT_EQ(QPoint(c->X, c->Y), QPoint(200, 10));
    Click(QPoint(215, 15)); // a plain click on another makes it the only one
    EXPECT_EQ(SelectedCount(page()), 1);
    EXPECT_TRUE(c->Selected);
}

TEST_F(DesignSurfaceTest, MoveSnapsTheDeltaOnlyPastOneGridStep)
{
    struct Case {
        int grid;
        bool snap;
        QPoint delta, moved;
    } cases[] = {
        {8, true, {5, 3}, {0, 0}},
        {8, true, {13, 2}, {8, 0}},
        {8, true, {5, 9}, {0, 8}},
        {8, true, {-13, 2}, {-8, 0}},
        {4, true, {5, 3}, {4, 0}},
        {8, false, {5, 3}, {5, 3}},
    };
    for (const Case& c : cases) {
        page().DeleteAllViews();
        doc.Unmodified = true;
        Grid(c.grid, c.snap);
        TView* v = Add(vtText, QRect(100, 100, 80, 24));
        Drag(QPoint(140, 110), QPoint(140, 110) + c.delta);
        EXPECT_EQ(QPoint(v->X, v->Y), QPoint(100, 100) + c.moved) << c.delta.x() << "," << c.delta.y();
        EXPECT_EQ(doc.Unmodified, c.moved.isNull());
        EXPECT_EQ(QSize(v->W, v->H), QSize(80, 24));
    }
}

TEST_F(DesignSurfaceTest, ResizeFromAHandleSnapsAndTurnsANegativeSizeRound)
{
    struct Case {
        int grid;
        bool snap;
        QPoint handle, delta;
        QRect result;
    } cases[] = {
        {8, true, {96, 40}, {13, 5}, {16, 16, 88, 24}}, // bottom-right corner
        {8, true, {16, 28}, {-20, 0}, {0, 16, 96, 24}}, // middle of the left edge
        {8, false, {96, 28}, {-100, 0}, {-4, 16, 20, 24}}, // right edge past the left
        {8, false, {56, 40}, {0, -40}, {16, 0, 80, 16}}, // bottom edge past the top
    };
    for (const Case& c : cases) {
        page().DeleteAllViews();
        Grid(c.grid, c.snap);
        TView* v = Add(vtText, QRect(16, 16, 80, 24));
        v->Selected = true;
        Drag(c.handle, c.handle + c.delta);
        EXPECT_EQ(v->Bounds(), c.result) << c.handle.x() << "," << c.handle.y();
    }
}

TEST_F(DesignSurfaceTest, ToolsCreateObjectsWithTheDesignerDefaults)
{
    doc.Designer.FontSize = 12;
    doc.Designer.FrameWidth = 3;
    doc.Designer.LabelText = QStringLiteral("Надпись");
    struct Case {
        int tool, grid;
        bool snap;
        QPoint from, to;
        QRect bounds;
        int type, ft, fp;
        QStringList lines;
    } cases[] = {
        {toolText, 8, true, {13, 6}, {13, 6}, {16, 8, 80, 24}, vtText, 0, 272, {"Надпись"}},
        {toolText, 8, false, {10, 10}, {13, 30}, {10, 10, 4, 20}, vtText, 0, 272, {"Надпись"}},
        {toolText, 4, true, {10, 10}, {101, 47}, {12, 12, 88, 36}, vtText, 0, 272, {"Надпись"}},
        {toolRectangle, 8, false, {40, 40}, {40, 40}, {40, 40, 80, 24}, vtText, 15, 272, {}},
        {toolPicture, 8, false, {40, 40}, {44, 44}, {40, 40, 80, 80}, vtPicture, 15, 272, {}},
        {toolOwnerDraw, 8, false, {40, 40}, {200, 60}, {40, 40, 160, 20}, vtOwnerDraw, 15, 272, {}},
    };
    for (const Case& c : cases) {
        page().DeleteAllViews();
        doc.Unmodified = true;
        host.reverted = 0;
        Grid(c.grid, c.snap);
        surface.SetTool(c.tool);
        Drag(c.from, c.to);
        ASSERT_EQ(page().ViewCount(), 1);
        const TView& v = *page().View(0);
        EXPECT_EQ(v.Bounds(), c.bounds) << c.tool;
        EXPECT_EQ(v.T, c.type);
        EXPECT_EQ(v.FT, c.ft);
        EXPECT_EQ(v.FP, c.fp);
        EXPECT_EQ(v.M, c.lines);
        EXPECT_EQ(v.FW, 3);
        EXPECT_TRUE(v.Selected);
        EXPECT_FALSE(doc.Unmodified);
        EXPECT_EQ(surface.Tool(), toolSelect);
        EXPECT_EQ(host.reverted, 1);
    }
    EXPECT_EQ(page().View(0)->FS, 8); // an object of the engine's own making keeps its size
    page().DeleteAllViews();
    surface.SetTool(toolText);
    surface.SetRepeat(true);
    Click(QPoint(300, 300));
    Click(QPoint(300, 400));
    EXPECT_EQ(page().ViewCount(), 2);
    EXPECT_EQ(page().View(1)->FS, 12);
    EXPECT_EQ(SelectedCount(page()), 1);
    EXPECT_EQ(surface.Tool(), toolText);
}

TEST_F(DesignSurfaceTest, MarkersTakeTheFirstFreeKindAndGoFirstOverlayInFront)
{
    Add(vtText, QRect(10, 10, 50, 20));
    Add(vtBand, QRect(0, 100, 80, 40), btPageHeader);
    surface.SetRepeat(true);
    surface.SetTool(toolBand);
    Click(QPoint(10, 200)); // kind 0, the first free
    ASSERT_EQ(page().ViewCount(), 3);
    EXPECT_EQ(page().View(0)->FT, btPageHeader);
    EXPECT_EQ(page().View(1)->FT, btReportTitle);
    EXPECT_EQ(page().View(2)->T, vtText);
    EXPECT_EQ(page().View(1)->H, 80);
    EXPECT_EQ(page().View(1)->M, QStringList{QString()});
    for (int k = 1; k <= btOverlay; ++k)
        if (k != btPageHeader)
            Add(vtBand, QRect(0, 300 + 10 * k, 80, 10), k);
    EXPECT_EQ(FirstFreeBandKind(page()), btMasterData);
    ResortViews(page());
    EXPECT_EQ(page().View(0)->FT, btOverlay);
    EXPECT_EQ(page().View(1)->FT, btPageHeader);
    EXPECT_EQ(page().View(page().ViewCount() - 1)->T, vtText);
    Click(QPoint(10, 600));
    EXPECT_EQ(page().View(page().ViewCount() - 2)->FT, btMasterData);
}

TEST_F(DesignSurfaceTest, RubberBandSelectsWhatItTouchesButNotWhatEnclosesIt)
{
    TView* big = Add(vtText, QRect(10, 10, 300, 300));
    TView* small = Add(vtText, QRect(400, 10, 20, 20));
    Drag(QPoint(100, 100), QPoint(50, 50), Qt::ControlModifier);
    EXPECT_FALSE(big->Selected);
    EXPECT_EQ(host.released, 1);
    Drag(QPoint(5, 50), QPoint(100, 100), Qt::ControlModifier);
    EXPECT_TRUE(big->Selected);
    // Adding a band over an already selected object counts it once.
    Drag(QPoint(5, 5), QPoint(450, 40), Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(big->Selected && small->Selected);
    EXPECT_EQ(SelectedCount(page()), 2);
    Drag(QPoint(600, 600), QPoint(390, 5)); // from a free spot: a fresh selection
    EXPECT_FALSE(big->Selected);
    EXPECT_TRUE(small->Selected);
}

TEST_F(DesignSurfaceTest, CtrlDuringADragCopiesOnlyWhenHeldToTheRelease)
{
    TView* v = Add(vtText, QRect(100, 100, 80, 24));
    v->M = {QStringLiteral("a")};
    const QPoint from(120, 110), to(160, 110);
    auto startDrag = [&] {
        v->X = 100;
        QTest::mousePress(&surface, Qt::LeftButton, {}, from);
        QTest::mouseMove(&surface, to);
        QTest::keyPress(&surface, Qt::Key_Control, Qt::ControlModifier);
        EXPECT_EQ(page().ViewCount(), 2);
    };
    startDrag();
    EXPECT_EQ(surface.cursor().shape(), Qt::DragCopyCursor);
    QTest::keyRelease(&surface, Qt::Key_Control);
    EXPECT_EQ(surface.cursor().shape(), Qt::ArrowCursor);
    QTest::mouseRelease(&surface, Qt::LeftButton, {}, to);
    ASSERT_EQ(page().ViewCount(), 1);
    EXPECT_EQ(v->X, 140);

    startDrag();
    QTest::keyClick(&surface, Qt::Key_Escape); // Ctrl still held
    QTest::mouseRelease(&surface, Qt::LeftButton, Qt::ControlModifier, to);
    QTest::keyRelease(&surface, Qt::Key_Control);
    ASSERT_EQ(page().ViewCount(), 1); // the cancelled drag leaves no twin under the object
    EXPECT_EQ(v->X, 100);

    startDrag();
    QTest::mouseRelease(&surface, Qt::LeftButton, Qt::ControlModifier, to);
    QTest::keyRelease(&surface, Qt::Key_Control);
    ASSERT_EQ(page().ViewCount(), 2);
    EXPECT_EQ(page().View(0)->Bounds(), QRect(100, 100, 80, 24));
    EXPECT_EQ(page().View(0)->M, v->M);
    EXPECT_FALSE(page().View(0)->Selected);
    EXPECT_EQ(page().View(1), v);
    EXPECT_EQ(v->X, 140);
}

TEST_F(DesignSurfaceTest, EscDuringADragLeavesThePageAsItWas)
{
    struct Case {
        const char* what;
        int tool;
        Qt::KeyboardModifiers mods;
        bool selected;
        QPoint from, to;
    } cases[] = {
        {"move", toolSelect, {}, false, {140, 110}, {200, 150}},
        {"resize", toolSelect, {}, true, {180, 124}, {260, 200}},
        {"create", toolText, {}, false, {300, 300}, {400, 360}},
        {"rubber band", toolSelect, Qt::ControlModifier, false, {90, 90}, {300, 300}},
    };
    for (const Case& c : cases) {
        page().DeleteAllViews();
        doc.Unmodified = true;
        TView* v = Add(vtText, QRect(100, 100, 80, 24));
        v->Selected = c.selected;
        surface.SetTool(c.tool);
        QTest::mousePress(&surface, Qt::LeftButton, c.mods, c.from);
        QTest::mouseMove(&surface, c.to);
        Key(Qt::Key_Escape);
        QTest::mouseRelease(&surface, Qt::LeftButton, c.mods, c.to);
        ASSERT_EQ(page().ViewCount(), 1) << c.what;
        EXPECT_EQ(v->Bounds(), QRect(100, 100, 80, 24)) << c.what;
        EXPECT_EQ(v->Selected, c.selected || (c.tool == toolSelect && !c.mods)) << c.what;
        EXPECT_TRUE(doc.Unmodified) << c.what;
        surface.SetTool(toolSelect);
    }
}

TEST_F(DesignSurfaceTest, CopiedMarkerOfAnOnlyKindTakesTheFirstFreeKind)
{
    for (const int kind : {btPageHeader, btMasterData}) {
        page().DeleteAllViews();
        Add(vtBand, QRect(0, 100, 80, 40), kind);
        QTest::mousePress(&surface, Qt::LeftButton, {}, QPoint(300, 110));
        QTest::mouseMove(&surface, QPoint(300, 200));
        QTest::keyPress(&surface, Qt::Key_Control, Qt::ControlModifier);
        QTest::mouseRelease(&surface, Qt::LeftButton, Qt::ControlModifier, QPoint(300, 200));
        QTest::keyRelease(&surface, Qt::Key_Control);
        ASSERT_EQ(page().ViewCount(), 2);
        EXPECT_EQ(page().View(0)->FT, kind);
        EXPECT_EQ(page().View(1)->FT, kind == btMasterData ? btMasterData : btReportTitle);
        EXPECT_EQ(page().View(1)->Y, 190);
    }
}

TEST_F(DesignSurfaceTest, ArrowKeysMoveAndSizeTheSelectionNeverBelowOnePixel)
{
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        QRect from, to;
    } cases[] = {
        {Qt::Key_Right, Qt::ControlModifier, {100, 100, 80, 24}, {101, 100, 80, 24}},
        {Qt::Key_Up, Qt::ControlModifier, {100, 100, 80, 24}, {100, 99, 80, 24}},
        {Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier, {100, 100, 80, 24}, {100, 108, 80, 24}},
        {Qt::Key_Left, Qt::ShiftModifier, {100, 100, 80, 24}, {100, 100, 79, 24}},
        {Qt::Key_Down, Qt::ShiftModifier, {100, 100, 80, 24}, {100, 100, 80, 25}},
        {Qt::Key_Left, Qt::ShiftModifier, {100, 100, 1, 24}, {100, 100, 1, 24}},
        {Qt::Key_Up, Qt::ShiftModifier, {100, 100, 80, 1}, {100, 100, 80, 1}},
        {Qt::Key_Right, Qt::ControlModifier | Qt::AltModifier, {100, 100, 80, 24}, {100, 100, 80, 24}},
    };
    Grid(8, true);
    for (const Case& c : cases) {
        page().DeleteAllViews();
        doc.Unmodified = true;
        TView* v = Add(vtText, c.from);
        v->Selected = true;
        Key(c.key, c.mods);
        EXPECT_EQ(v->Bounds(), c.to) << c.key << " " << c.mods;
        EXPECT_EQ(doc.Unmodified, c.mods.testFlag(Qt::AltModifier));
    }
}

TEST_F(DesignSurfaceTest, DeleteRemovesTheSelectionAndEnterOpensTheEditor)
{
    Add(vtText, QRect(10, 10, 50, 20))->Selected = true;
    TView* keep = Add(vtText, QRect(100, 10, 50, 20));
    Add(vtPicture, QRect(200, 10, 50, 50))->Selected = true;
    Key(Qt::Key_Delete);
    ASSERT_EQ(page().ViewCount(), 1);
    EXPECT_EQ(page().View(0), keep);
    Key(Qt::Key_Return);
    EXPECT_TRUE(host.edited.empty());
    keep->Selected = true;
    doc.Unmodified = true;
    Key(Qt::Key_Return);
    ASSERT_EQ(host.edited.size(), 1u);
    EXPECT_EQ(host.edited[0], keep);
    EXPECT_FALSE(doc.Unmodified);
    // A double click (press, release, press, double click, release) selects with
    // its first press and opens the editor; it moves nothing.
    keep->Selected = false;
    const QPoint at(120, 20);
    QTest::mouseClick(&surface, Qt::LeftButton, {}, at);
    QTest::mousePress(&surface, Qt::LeftButton, {}, at);
    QTest::mouseDClick(&surface, Qt::LeftButton, {}, at);
    QTest::mouseRelease(&surface, Qt::LeftButton, {}, at);
    ASSERT_EQ(host.edited.size(), 2u);
    EXPECT_EQ(host.edited[1], keep);
    EXPECT_EQ(keep->Bounds(), QRect(100, 10, 50, 20));
    EXPECT_FALSE(surface.Dragging());
}

TEST_F(DesignSurfaceTest, PrintableAreaFrameLiesOnThePrintableArea)
{
    doc.SetPrintBackend(std::make_shared<TRecordingPrintBackend>(96, 40));
    doc.MeasurePrinter();
    doc.Margins = true;
    doc.Designer.ShowGrid = false;
    surface.FitToBox();
    const TPrinterGeometry& g = doc.Geometry(0);
    ASSERT_EQ(g.OffXs, 40);
    const QImage img = surface.grab().toImage();
    const QRgb silver = qRgb(0xC0, 0xC0, 0xC0), white = qRgb(0xFF, 0xFF, 0xFF);
    EXPECT_EQ(img.pixel(g.OffXs, g.OffYs + 100), silver);
    EXPECT_EQ(img.pixel(g.OffXs + g.PrintWs, g.OffYs + 100), silver);
    EXPECT_EQ(img.pixel(g.OffXs + 100, g.OffYs + g.PrintHs), silver);
    EXPECT_EQ(img.pixel(g.PrintWs - g.OffXs, g.OffYs + 100), white); // not short by twice the offset
}

TEST_F(DesignSurfaceTest, ViewPageAndTheScreenshotOfASelectionWithABandMarker)
{
    for (auto [size, page] : {std::pair{200, 162}, {77, 39}, {76, 38}, {39, 38}, {38, 38}, {10, 10}})
        EXPECT_EQ(ViewPage(size), page) << size;
    doc.Margins = true;
    Add(vtBand, QRect(0, 40, 700, 60), btPageHeader)->Selected = false;
    TView* t = Add(vtText, QRect(40, 50, 300, 30), 15);
    t->M = {QStringLiteral("Расчетная ведомость за [Month]")};
    t->FS = 12;
    t->Selected = true;
    Add(vtBand, QRect(0, 100, 700, 30), btMasterData);
    Add(vtText, QRect(40, 104, 200, 22), 15)->M = {QStringLiteral("[Name]")};
    surface.FitToBox();
    EXPECT_EQ(surface.size(), QSize(doc.Geometry(0).PhysWs, doc.Geometry(0).PhysHs));
    EXPECT_FALSE(SaveScreenshot(&box, QStringLiteral("design-surface")).isEmpty());
}

} // namespace
