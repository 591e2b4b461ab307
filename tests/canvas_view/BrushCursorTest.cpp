// The brush cursor without a window: what each tool shows, the circle and the
// repaint rectangle at a zoom, the contrasting pen, the clone source and its
// preview patch, and the eyedropper cursor's picture.
#include "brushes/BrushEngine.h"
#include "canvas_view/BrushCursor.h"
#include "canvas_view/CanvasCursors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(BrushCursor, LookForEachTool) {
    struct Case {
        int tool;
        bool alt, gizmo;
        BrushCursorLook look;
    } cases[] = {
        {9, false, false, {true, 0}},   {9, true, false, {}},           {10, true, false, {}},
        {15, true, false, {}},          {11, true, false, {true, 0}},   {13, false, false, {true, 0}},
        {13, true, false, {true, 10}},  {14, true, false, {true, 10}},  {16, false, false, {true, 4}},
        {16, false, true, {}},          {17, false, true, {true, 0}},   {26, false, false, {true, 0}},
        {27, true, false, {true, 0}},   {0, false, false, {}},          {8, false, false, {}},
        {18, false, false, {}},         {25, true, false, {}},          {28, false, false, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BrushCursorLookFor(c.tool, c.alt, c.gizmo), c.look) << c.tool << " alt " << c.alt;
}

TEST(BrushCursor, CircleAndRepaintRectangleAtTheZoom) {
    struct Case {
        float size, zoom, radius;
        int reach;  // half the repaint square, without the pen's pixels
    } cases[] = {
        {2, 1, 1, 16},        // a tiny brush still repaints 16 pixels around
        {0.5f, 0.1f, 1, 16},  // the circle never shrinks below a pixel
        {30, 1, 15, 16},
        {40, 1, 20, 20},
        {33, 2, 33, 33},
        {300, 8, 1200, 1200},
        {NAN, 1, 1, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_FLOAT_EQ(BrushCursorRadius(c.size, c.zoom), c.radius);
        EXPECT_EQ(BrushCursorBounds(c.size, c.zoom, 100, 50),
                  (RectI{100 - c.reach - 1, 50 - c.reach - 1, 100 + c.reach + 2, 50 + c.reach + 2}));
    }
    // Around a fractional point the reach is rounded outwards.
    EXPECT_EQ(BrushCursorBoundsAt(2, 1, 10.5f, 20.25f), (RectI{-7, 3, 29, 39}));
    EXPECT_TRUE(BrushCursorBoundsAt(2, 1, NAN, 0).IsEmpty());
    EXPECT_EQ(UniteRects(RectI{0, 0, 5, 5}, RectI{}), (RectI{0, 0, 5, 5}));
    EXPECT_EQ(UniteRects(RectI{0, 0, 5, 5}, RectI{3, -2, 9, 4}), (RectI{0, -2, 9, 5}));
}

TEST(BrushCursor, PenContrastsWithTheMeanLuminanceBelow) {
    EXPECT_EQ(BrushCursorPenColour(0.51f), 0xDC1E1E1Eu);
    EXPECT_EQ(BrushCursorPenColour(0.5f), 0xDCE6E6E6u);  // exactly half: the light pen
    EXPECT_EQ(BrushCursorPenColour(0.0f), 0xDCE6E6E6u);

    // 12 x 12 B, G, R, A: white in the top-left 3 x 3, black elsewhere.
    const int w = 12, h = 12, stride = w * 4 + 8;
    std::vector<uint8_t> px(size_t(stride) * h, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            for (int k = 0; k < 4; ++k) px[size_t(y) * stride + x * 4 + k] = 255;
    // At the corner the window is cut to 5 x 5 and holds the 9 white pixels.
    EXPECT_NEAR(MeanLuminanceAround(px.data(), w, h, stride, 0, 0), 9.0f / 25.0f, 1e-5f);
    // Centred on (4, 4) the window is 9 x 9.
    EXPECT_NEAR(MeanLuminanceAround(px.data(), w, h, stride, 4, 4), 9.0f / 81.0f, 1e-5f);
    EXPECT_FLOAT_EQ(MeanLuminanceAround(px.data(), w, h, stride, 10, 10), 0.0f);
    // Far outside, or no pixels: 0.
    EXPECT_FLOAT_EQ(MeanLuminanceAround(px.data(), w, h, stride, -40, 3), 0.0f);
    EXPECT_FLOAT_EQ(MeanLuminanceAround(nullptr, w, h, stride, 0, 0), 0.0f);
}

TEST(BrushCursor, CloneSourceFollowsTheCursorUnlessFrozen) {
    BrushEngine e;
    PointF s;
    EXPECT_FALSE(CloneSourcePoint(e, 50, 60, s));
    e.SetCloneSource(10, 20);
    ASSERT_TRUE(CloneSourcePoint(e, 50, 60, s));  // no offset yet: the source point
    EXPECT_FLOAT_EQ(s.x, 10);
    e.cloneOffsetX = 30, e.cloneOffsetY = -5, e.cloneOffsetValid = true;
    ASSERT_TRUE(CloneSourcePoint(e, 50, 60, s));
    EXPECT_FLOAT_EQ(s.x, 20);
    EXPECT_FLOAT_EQ(s.y, 65);
    e.freezeSource = true;
    ASSERT_TRUE(CloneSourcePoint(e, 50, 60, s));
    EXPECT_FLOAT_EQ(s.y, 20);

    // The patch's top-left is floor(cursor - n / 2 + 0.5) in canvas pixels.
    const RectF p = ClonePatchClientRect(10.3f, 20.7f, 5, 2, 100, 50);
    EXPECT_FLOAT_EQ(p.x, 116);
    EXPECT_FLOAT_EQ(p.y, 86);
    EXPECT_FLOAT_EQ(p.width, 10);
    EXPECT_EQ(ClonePatchSide(7.2f), 8);
}

TEST(CanvasCursors, EyedropperIsMonochromeWithItsTipOnTheHotSpot) {
    const BitmapPtr bmp = BuildEyedropperCursorBitmap();
    ASSERT_TRUE(bmp);
    ASSERT_EQ(bmp->Width(), kCursorSide);
    int black = 0, white = 0;
    for (int y = 0; y < kCursorSide; ++y)
        for (int x = 0; x < kCursorSide; ++x) {
            const uint8_t* p = bmp->Data() + size_t(y) * bmp->Stride() + x * 4;
            ASSERT_TRUE(p[3] == 0 || p[3] == 255);
            if (p[3] == 0) continue;
            ASSERT_TRUE(p[0] == p[1] && p[1] == p[2] && (p[0] == 0 || p[0] == 255));
            (p[0] ? white : black)++;
        }
    EXPECT_GT(black, 40);
    EXPECT_GT(white, 20);
    auto alpha = [&](int x, int y) { return bmp->Data()[size_t(y) * bmp->Stride() + x * 4 + 3]; };
    EXPECT_EQ(alpha(kEyedropperHotX, kEyedropperHotY), 255);
    // Nothing lies beyond the tip.
    EXPECT_EQ(alpha(kEyedropperHotX - 1, kEyedropperHotY + 1), 0);
    EXPECT_EQ(alpha(kEyedropperHotX - 2, kEyedropperHotY + 2), 0);
}
