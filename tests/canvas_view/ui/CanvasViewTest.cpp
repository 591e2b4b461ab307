#include "tests/platform/ui/QtTestApp.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "document/CQuillfenEditorDoc.h"
#include "platform/DeviceScale.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {
// The binary's one QApplication: a second one in the same process breaks Qt.
QApplication& App() { return EnsureQtApp(); }

struct AppFirst {
    AppFirst() { App(); }
};

struct ViewFixture : ::testing::Test {
    AppFirst app;  // before any widget
    CQuillfenEditorDoc doc;
    CCanvasLayoutView view;
    void SetUp() override {
        doc.mainScene.width = 400;
        doc.mainScene.height = 300;
        view.SetDocument(&doc);
        view.resize(520, 420);
        view.OnInitialUpdate();
    }
};
}  // namespace

TEST_F(ViewFixture, InitialUpdateFitsAndSetsTheBars) {
    // Viewport 500 x 400: fit = min(352 / 300, 452 / 400).
    EXPECT_FLOAT_EQ(view.Zoom(), 452.0f / 400);
    EXPECT_EQ(view.GetCanvasClientRect(), (RectI{0, 0, 500, 400}));
    // The readout shows the zoom in device pixels, as the user sets it.
    EXPECT_FLOAT_EQ(view.Readout().zoom, view.Zoom() * view.Geometry().ratio);
    EXPECT_EQ(view.HorizontalBar().page, 500);
    EXPECT_EQ(view.HorizontalBar().maximum, int(std::ceil(view.Zoom() * 400 + 48)) - 1);
    EXPECT_EQ(view.VerticalBar().geometry(), QRect(500, 0, 20, 400));
    EXPECT_EQ(view.HorizontalBar().geometry(), QRect(0, 400, 430, 20));
    EXPECT_EQ(view.Readout().geometry(), QRect(430, 400, 90, 20));
    // The scene is told where new objects may be placed.
    EXPECT_TRUE(doc.mainScene.hasPlacementArea);
    EXPECT_FLOAT_EQ(doc.mainScene.placementWidth, 500 / 0.12f);
}

TEST_F(ViewFixture, ZoomAndScrollRepaintFromTheCachedSurfaces) {
    view.RenderToBackBuffer();
    const int rebuilds = view.Caches().rebuildCount, composes = view.Caches().composeCount;
    EXPECT_EQ(rebuilds, 1);
    EXPECT_EQ(composes, 1);

    // The preset that makes 4 client pixels per canvas unit at this screen's
    // device pixel ratio (400 % at ratio 1), so the page checks below count
    // the same client pixels at any ratio.
    const float ratio = view.Geometry().ratio;
    view.OnZoomPresetPicked(int(std::lround(400 * ratio)));
    EXPECT_FLOAT_EQ(view.Zoom(), 4.0f);
    EXPECT_FLOAT_EQ(view.Readout().zoom, 4.0f * ratio);
    view.RenderToBackBuffer();
    const int y0 = view.Geometry().scrollY;
    view.OnVScroll(3, 0, nullptr);  // page down by the viewport height
    EXPECT_EQ(view.Geometry().scrollY, y0 + 400);
    EXPECT_EQ(view.VerticalBar().position, y0 + 400);
    view.RenderToBackBuffer();
    view.OnHScroll(5, 250, nullptr);  // thumb track
    EXPECT_EQ(view.Geometry().scrollX, 250);
    view.OnMouseWheel(0, -120, QPoint(100, 100));
    view.RenderToBackBuffer();
    EXPECT_EQ(view.Caches().rebuildCount, rebuilds);
    EXPECT_EQ(view.Caches().composeCount, composes);

    // A refresh of the document recomposes the live surface only; an update
    // notification rebuilds the cache.
    doc.RefreshAllViews();
    view.RenderToBackBuffer();
    EXPECT_EQ(view.Caches().rebuildCount, rebuilds);
    EXPECT_EQ(view.Caches().composeCount, composes + 1);
    view.OnUpdate(nullptr, 0);
    view.RenderToBackBuffer();
    EXPECT_EQ(view.Caches().rebuildCount, rebuilds + 1);

    view.OnZoomPresetPicked(-1);
    EXPECT_FLOAT_EQ(view.Zoom(), 452.0f / 400);
    EXPECT_EQ(view.Geometry().scrollX, 0);
}

TEST_F(ViewFixture, PaintsBackgroundShadowAndCanvas) {
    doc.mainScene.canvasColour = 0xFF336699;
    view.OnUpdate(nullptr, 0);
    view.RenderToBackBuffer();
    const CompositeSurface& b = view.BackBuffer();
    // The buffer holds device pixels: the client size times the ratio.
    const float ratio = view.Geometry().ratio;
    ASSERT_EQ(b.width, DevicePixels(520, ratio));
    ASSERT_EQ(b.height, DevicePixels(420, ratio));
    RectF r = view.GetCanvasScreenRect();
    auto px = [&](int x, int y) { return reinterpret_cast<const uint32_t*>(b.Row(y))[x]; };
    // The device pixel at the centre of a client point.
    auto at = [&](float x, float y) { return px(int((x + 0.5f) * ratio), int((y + 0.5f) * ratio)); };
    EXPECT_EQ(at(r.x + r.width / 2, r.y + r.height / 2), 0xFF336699u);
    EXPECT_EQ(at(2, 2), 0xFF181B1Fu);

    // A transparent canvas shows the checkerboard: white in its first cell.
    doc.mainScene.canvasColour = 0x00000000;
    view.OnUpdate(nullptr, 0);
    view.RenderToBackBuffer();
    r = view.GetCanvasScreenRect();
    // Its cells are 8 device pixels from the canvas's first device pixel.
    const int x0 = int(std::floor(r.x * ratio)), y0 = int(std::floor(r.y * ratio));
    EXPECT_EQ(px(x0 + 3, y0 + 3), 0xFFFFFFFFu);
    EXPECT_EQ(px(x0 + 11, y0 + 3), 0xFFCCCCCCu);
}
