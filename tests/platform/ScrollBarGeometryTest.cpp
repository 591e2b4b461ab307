#include "platform/ScrollBarGeometry.h"

#include <gtest/gtest.h>

namespace {
ScrollBarGeometry Bar(int length, int minimum, int maximum, int page, int position) {
    ScrollBarGeometry g;
    g.client = {0, 0, 20, length};
    g.horizontal = false;
    g.arrow = 20;
    g.minimum = minimum;
    g.maximum = maximum;
    g.page = page;
    g.position = position;
    return g;
}
}  // namespace

TEST(ScrollBarGeometry, ThumbHitTestAndClamp) {
    ScrollBarGeometry g = Bar(240, 0, 999, 100, 0);
    EXPECT_EQ(g.TrackLength(), 200);
    EXPECT_EQ(g.ThumbRect(), (RectI{0, 20, 20, 40}));
    g.position = 900;
    EXPECT_EQ(g.ThumbRect(), (RectI{0, 200, 20, 220}));  // at the track's end
    EXPECT_EQ(g.Clamp(5000), 900);
    EXPECT_EQ(g.Clamp(-3), 0);

    EXPECT_EQ(g.HitTest(5, 5), kPartLineUp);
    EXPECT_EQ(g.HitTest(5, 230), kPartLineDown);
    EXPECT_EQ(g.HitTest(5, 210), kPartThumb);
    EXPECT_EQ(g.HitTest(5, 50), kPartPageUp);
    EXPECT_EQ(g.HitTest(30, 50), kPartNone);

    // Page larger than the range: every step clamps to the minimum.
    ScrollBarGeometry big = Bar(240, 0, 50, 100, 0);
    EXPECT_EQ(big.Clamp(1), 0);
    EXPECT_EQ(big.Clamp(10), 0);
}

TEST(ScrollBarGeometry, ThumbDrag) {
    ScrollBarGeometry g = Bar(240, 0, 999, 100, 0);
    // 180 pixels of travel cover the 900 positions.
    EXPECT_EQ(g.DragPosition(90, 0), 450);
    EXPECT_EQ(g.DragPosition(1000, 0), 900);
    EXPECT_EQ(g.DragPosition(-50, 100), 0);

    // Range 0..99 with page 100: the thumb fills the track and is not drawn;
    // a drag moves nothing instead of dividing by zero.
    ScrollBarGeometry full = Bar(240, 0, 99, 100, 0);
    EXPECT_FALSE(full.HasThumb());
    EXPECT_EQ(full.ThumbRect(), (RectI{0, 20, 20, 220}));
    EXPECT_EQ(full.HitTest(5, 100), kPartThumb);
    EXPECT_EQ(full.DragPosition(50, 0), 0);

    // One position more than the page: two pixels of travel reach the end.
    ScrollBarGeometry tight = Bar(240, 0, 100, 100, 0);
    EXPECT_EQ(tight.DragPosition(50, 0), 1);

    // Positions beyond 16 bits survive a drag.
    ScrollBarGeometry huge = Bar(240, 0, 199999, 100, 0);
    EXPECT_GT(huge.DragPosition(100, 0), 65535);
}
