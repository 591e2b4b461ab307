#include "canvas_view/CanvasViewGeometry.h"
#include "canvas_view/TransformHandles.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
CanvasViewGeometry View(int w, int h, float cw = 1024, float ch = 1024) {
    CanvasViewGeometry g;
    g.client = {0, 0, w, h};
    g.canvasW = cw;
    g.canvasH = ch;
    return g;
}
}  // namespace

TEST(CanvasViewGeometry, ViewportOriginAndMapping) {
    CanvasViewGeometry g = View(820, 620);
    EXPECT_EQ(g.Viewport(), (RectI{0, 0, 800, 600}));
    // 1024 at zoom 0.5 = 512 wide, centred in 800 - 48.
    g.zoom = 0.5f;
    EXPECT_FLOAT_EQ(g.OriginX(), (752 - 512) * 0.5f + 24);
    EXPECT_FLOAT_EQ(g.OriginY(), (552 - 512) * 0.5f + 24);
    float px, py, x, y;
    g.CanvasToClient(100, 200, px, py);
    g.ClientToCanvas(px, py, x, y);
    EXPECT_FLOAT_EQ(x, 100);
    EXPECT_FLOAT_EQ(y, 200);

    // A viewport narrower than 49 pixels puts the canvas at 24 - offset.
    CanvasViewGeometry narrow = View(50, 50);
    EXPECT_EQ(narrow.Viewport(), (RectI{0, 0, 30, 30}));
    EXPECT_FLOAT_EQ(narrow.OriginX(), 24);
    // A client smaller than the bars keeps an empty viewport.
    EXPECT_EQ(View(10, 10).Viewport(), (RectI{0, 0, 0, 0}));
}

TEST(CanvasViewGeometry, FitAndZoomRange) {
    CanvasViewGeometry g = View(820, 620);
    g.scrollX = 40;
    g.ZoomToFit();
    EXPECT_FLOAT_EQ(g.zoom, std::min(552.0f / 1024, 752.0f / 1024));
    EXPECT_EQ(g.scrollX, 0);

    CanvasViewGeometry tiny = View(30, 30);
    tiny.ZoomToFit();
    EXPECT_FLOAT_EQ(tiny.zoom, 0.1f);
    CanvasViewGeometry dot = View(820, 620, 2, 2);
    dot.ZoomToFit();
    EXPECT_FLOAT_EQ(dot.zoom, 8.0f);

    EXPECT_TRUE(g.SetZoomAt(0.01f, 0, 0));
    EXPECT_FLOAT_EQ(g.zoom, 0.1f);
    EXPECT_TRUE(g.SetZoomAt(100, 0, 0));
    EXPECT_FLOAT_EQ(g.zoom, 8.0f);
    // Clamped to the current limit: no change, offsets untouched.
    g.scrollX = 77;
    EXPECT_FALSE(g.SetZoomAt(9, 10, 10));
    EXPECT_EQ(g.scrollX, 77);
}

TEST(CanvasViewGeometry, ZoomKeepsPointUnderCursor) {
    CanvasViewGeometry g = View(820, 620);
    g.ZoomToFit();
    const int px = 300, py = 200;
    float cx, cy;
    g.ClientToCanvas(px, py, cx, cy);
    ASSERT_TRUE(g.SetZoomAt(2.0f, px, py));
    g.ClampScroll();
    float nx, ny;
    g.CanvasToClient(cx, cy, nx, ny);
    EXPECT_NEAR(nx, px, 1.0);
    EXPECT_NEAR(ny, py, 1.0);
}

TEST(CanvasViewGeometry, ScrollRangesAndBars) {
    CanvasViewGeometry g = View(820, 620);
    g.zoom = 2.0f;
    EXPECT_EQ(g.RangeX(), 2096);
    g.scrollX = 5000;
    g.scrollY = -4;
    g.ClampScroll();
    EXPECT_EQ(g.scrollX, 2096 - 800);
    EXPECT_EQ(g.scrollY, 0);
    ScrollBarSetting h = g.HorizontalBar();
    EXPECT_EQ(h.maximum, 2095);
    EXPECT_EQ(h.page, 800);
    EXPECT_EQ(h.position, 1296);

    // A canvas smaller than the viewport: offsets clamp to 0, page exceeds range.
    CanvasViewGeometry s = View(820, 620, 100, 100);
    s.scrollX = 30;
    s.ClampScroll();
    EXPECT_EQ(s.scrollX, 0);
    EXPECT_EQ(s.HorizontalBar().maximum, 147);
    EXPECT_EQ(s.HorizontalBar().page, 800);
}

TEST(CanvasViewGeometry, ScrollCodes) {
    struct Case {
        int code, thumb, current, page, maximum, expected;
    } cases[] = {
        {0, 0, 100, 800, 2095, 68},      {1, 0, 100, 800, 2095, 132},   {2, 0, 100, 800, 2095, 0},
        {3, 0, 100, 800, 2095, 900},     {3, 0, 1200, 800, 2095, 1296}, {3, 0, 10, 10, 2095, 42},
        {5, 700, 100, 800, 2095, 700},   {4, 9999, 0, 800, 2095, 1296}, {8, 0, 123, 800, 2095, 123},
        {1, 0, 0, 800, 100, 0},          {1, 0, 0, 1, 100, 32},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComputeScrollPosition(c.code, c.thumb, c.current, c.page, c.maximum), c.expected)
            << "code " << c.code << " current " << c.current;
}

TEST(CanvasViewGeometry, PlacementAndChildren) {
    PlacementBounds b = ComputePlacementBounds({0, 0, 120, 60}, 1024, 768);
    ASSERT_TRUE(b.valid);
    EXPECT_FLOAT_EQ(b.width, 1000);
    EXPECT_FLOAT_EQ(b.height, 500);
    EXPECT_FLOAT_EQ(b.x, 12);
    EXPECT_FLOAT_EQ(b.y, 134);
    EXPECT_FALSE(ComputePlacementBounds({0, 0, 0, 60}, 1024, 768).valid);

    CanvasChildLayout l = LayoutCanvasChildren({0, 0, 500, 400}, 20, 70);
    EXPECT_EQ(l.verticalBar, (PlaceI{480, 0, 20, 380}));
    EXPECT_EQ(l.horizontalBar, (PlaceI{0, 380, 410, 20}));
    EXPECT_EQ(l.zoomReadout, (PlaceI{410, 380, 90, 20}));

    EXPECT_EQ(CanvasPixelSize(0.4f), 1);
    EXPECT_EQ(CanvasPixelSize(1023.5f), 1024);
    EXPECT_EQ(CanvasPixelSize(-5), 1);
}

// At 100 % a screen with device pixel ratio r shows one canvas unit per
// physical pixel: 1 / r client pixels. The client points a pointer gives map
// to canvas points accordingly, while the handles keep their client sizes.
TEST(CanvasViewGeometry, DeviceRatioMapsClientPointsAndHitTests) {
    struct Case {
        float ratio;
        float originX, originY;        // client pixels, canvas 400 x 300 centred in 800 x 600
        float clientX, clientY;        // a pointer position...
        float canvasX, canvasY;        // ...and the canvas point under it
    } cases[] = {
        {1.0f, 200, 150, 210, 160, 10, 10},
        {1.5f, 400 / 1.5f, 200, 280, 210, 20, 15},
        {2.0f, 300, 225, 310.5f, 230, 21, 10},  // half a client pixel is a whole canvas pixel
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ratio);
        CanvasViewGeometry g = View(820, 620, 400, 300);
        g.ratio = c.ratio;
        int cx, cy;
        g.ViewportCentre(cx, cy);
        g.SetZoomAt(1.0f, cx, cy);  // the 100 % command
        g.ClampScroll();
        EXPECT_NEAR(g.DisplayZoom(), 1.0f, 1e-6);
        EXPECT_NEAR(g.zoom, 1.0f / c.ratio, 1e-6);
        EXPECT_NEAR(g.OriginX(), c.originX, 1e-4);
        EXPECT_NEAR(g.OriginY(), c.originY, 1e-4);
        // The picture starts on a physical pixel and steps one per canvas unit.
        EXPECT_NEAR(g.DeviceOriginX(), std::round(g.DeviceOriginX()), 1e-3);
        EXPECT_NEAR(g.DeviceOriginY(), std::round(g.DeviceOriginY()), 1e-3);
        float x0, y0, x1, y1;
        g.CanvasToClient(7, 7, x0, y0);
        g.CanvasToClient(8, 8, x1, y1);
        EXPECT_NEAR((x1 - x0) * c.ratio, 1.0f, 1e-4);

        float x, y;
        g.ClientToCanvas(c.clientX, c.clientY, x, y);
        EXPECT_NEAR(x, c.canvasX, 1e-3);
        EXPECT_NEAR(y, c.canvasY, 1e-3);

        // An object at canvas (100, 50), 40 x 30: its frame and handles lie at
        // the same client distances from it at every ratio.
        float ox, oy;
        g.CanvasToClient(100, 50, ox, oy);
        const FrameRect r{ox, oy, 40 * g.zoom, 30 * g.zoom};
        const TransformHandleStyle s;
        EXPECT_EQ(HitTestObjectHandles(ox - 14, oy - 14, s, r, 0), kHandleTopLeft);
        EXPECT_EQ(HitTestObjectHandles(r.CentreX(), oy - 14 - 34, s, r, 0), kHandleRotate);
        EXPECT_EQ(HitTestObjectHandles(r.CentreX(), r.CentreY(), s, r, 0), kHandleInside);
        EXPECT_EQ(HitTestObjectHandles(ox - 40, oy - 40, s, r, 0), kHandleNone);
    }
}

TEST(CanvasViewGeometry, DisplayZoomLimitsAndFitCountDevicePixels) {
    for (float ratio : {1.0f, 1.5f, 2.0f}) {
        SCOPED_TRACE(ratio);
        CanvasViewGeometry g = View(820, 620);
        g.ratio = ratio;
        g.ZoomToFit();  // 1024 in 752 x 552 client pixels
        EXPECT_NEAR(g.zoom, 552.0f / 1024, 1e-6);
        EXPECT_NEAR(g.DisplayZoom(), 552.0f / 1024 * ratio, 1e-6);
        g.SetZoomAt(100, 0, 0);
        EXPECT_NEAR(g.DisplayZoom(), 8.0f, 1e-5);
        EXPECT_FALSE(g.SetZoomAt(9, 0, 0));
        g.SetZoomAt(0.01f, 0, 0);
        EXPECT_NEAR(g.DisplayZoom(), 0.1f, 1e-6);
        // A 2 x 2 canvas fits at the largest display zoom, not the largest client one.
        CanvasViewGeometry dot = View(820, 620, 2, 2);
        dot.ratio = ratio;
        dot.ZoomToFit();
        EXPECT_NEAR(dot.DisplayZoom(), 8.0f, 1e-5);
    }
}
