#include "tests/platform/ui/QtTestApp.h"
// The canvas view's marching ants offscreen: the ants bitmap is reused by
// paints that change nothing and redrawn after a tick, a zoom or a scroll;
// the ants stand still while a stroke paints.
#include "brushes/BitmapPaintSession.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "document/CQuillfenEditorDoc.h"
#include "scene/SelectionMask.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {
// The binary's one QApplication: a second one in the same process breaks Qt.
QApplication& App() { return EnsureQtApp(); }

struct AppFirst {
    AppFirst() { App(); }
};

constexpr int kAntsTimer = 37633;

struct AntsFixture : ::testing::Test {
    AppFirst app;
    CQuillfenEditorDoc doc;
    CCanvasLayoutView view;
    void SetUp() override {
        doc.mainScene.Reset();
        doc.mainScene.width = 400;
        doc.mainScene.height = 300;
        view.SetDocument(&doc);
        view.resize(520, 420);
        view.OnInitialUpdate();
        view.OnZoomPresetPicked(100);
        doc.mainScene.AddEmptyObject();  // selected: the brush opens a session on it
        doc.activeTool = 9;
        view.OnUpdate(nullptr, 0);
    }
    // The back buffer holds device pixels; this reads the one at the centre
    // of a client pixel, so the checks hold at any device pixel ratio.
    uint32_t BackPixel(int x, int y) {
        const CompositeSurface& b = view.BackBuffer();
        const float r = view.Geometry().ratio;
        const int dx = int((x + 0.5f) * r), dy = int((y + 0.5f) * r);
        return *reinterpret_cast<const uint32_t*>(b.pixels + size_t(dy) * b.Pitch() + size_t(dx) * 4);
    }
};
}  // namespace

TEST_F(AntsFixture, BitmapIsReusedUntilThePhaseOrTheViewChanges) {
    ASSERT_TRUE(view.PaintSession().IsActive());
    doc.mainScene.EnsureSelectionMask();
    EXPECT_FALSE(view.HasMarchingAnts());
    // Select All leaves no tile, and still shows ants round the canvas.
    doc.mainScene.selectionMask->Invert();
    EXPECT_EQ(doc.mainScene.selectionMask->TileCount(), 0u);
    EXPECT_TRUE(view.HasMarchingAnts());

    view.RenderToBackBuffer();
    view.RenderToBackBuffer();
    EXPECT_EQ(view.AntsCache().RedrawCount(), 1);
    // The top edge of the canvas carries the dashes: 4 white, 4 dark.
    const RectF r = view.GetCanvasScreenRect();
    const int x0 = int(std::floor(r.x + 0.5f)) + 20, y0 = int(std::floor(r.y + 0.5f));
    auto edge = [&] {
        std::vector<bool> white;
        for (int x = x0; x < x0 + 24; ++x) white.push_back(BackPixel(x, y0) == 0xFFFFFFFFu);
        return white;
    };
    const std::vector<bool> before = edge();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(before[i], !before[i + 4]) << i;

    view.OnTimer(kAntsTimer);
    EXPECT_FLOAT_EQ(view.AntsPhase(), 1.0f);
    view.RenderToBackBuffer();
    EXPECT_EQ(view.AntsCache().RedrawCount(), 2);
    // The dashes marched one pixel along the edge, whichever way it runs.
    const std::vector<bool> after = edge();
    const std::vector<bool> left(after.begin() + 1, after.begin() + 23), right(after.begin(), after.begin() + 22);
    const std::vector<bool> was(before.begin(), before.begin() + 22), was1(before.begin() + 1, before.begin() + 23);
    EXPECT_TRUE(left == was || right == was1);
    EXPECT_NE(after, before);

    view.OnZoomPresetPicked(300);
    view.RenderToBackBuffer();
    EXPECT_EQ(view.AntsCache().RedrawCount(), 3);
    view.OnHScroll(1, 0, nullptr);  // a line to the right
    view.RenderToBackBuffer();
    EXPECT_EQ(view.AntsCache().RedrawCount(), 4);
    // At 300 % the bitmap is only the viewport, not the 1200 x 900 selection.
    EXPECT_LE(view.AntsCache().BitmapBytes(), size_t(520) * 420 * 4);
}

TEST_F(AntsFixture, AntsStandStillWhileAStrokePaints) {
    doc.mainScene.EnsureSelectionMask();
    doc.mainScene.selectionMask->Invert();
    const RectF r = view.GetCanvasScreenRect();
    const QPoint p(int(r.x) + 50, int(r.y) + 50);
    view.OnLButtonDown(MK_LBUTTON, p);
    ASSERT_TRUE(view.StrokeActive());
    view.OnTimer(kAntsTimer);
    EXPECT_FLOAT_EQ(view.AntsPhase(), 0.0f);
    view.OnLButtonUp(0, p);
    view.OnTimer(kAntsTimer);
    EXPECT_FLOAT_EQ(view.AntsPhase(), 1.0f);
}
