#include "app/ShellMetrics.h"
#include "app/ScrollBarGeometry.h"

#include <gtest/gtest.h>

TEST(WorkspaceLayout, PlacesChildrenAt96And144Dpi) {
    WorkspaceLayout l = ComputeWorkspaceLayout({0, 0, 1000, 700}, 96, true);
    EXPECT_EQ(l.view, (PlaceI{0, 0, 779, 537}));
    EXPECT_EQ(l.rightPane, (PlaceI{780, 0, 220, 678}));
    EXPECT_EQ(l.propertiesPane, (PlaceI{0, 538, 780, 140}));
    EXPECT_EQ(l.statusBar, (PlaceI{0, 678, 1000, 22}));

    WorkspaceLayout h = ComputeWorkspaceLayout({0, 0, 1000, 700}, 144, true);
    EXPECT_EQ(h.rightPane.width, 330);
    EXPECT_EQ(h.propertiesPane.height, 210);
    EXPECT_EQ(h.statusBar.height, 33);

    // Without a status bar window the panes reach the bottom.
    WorkspaceLayout n = ComputeWorkspaceLayout({0, 0, 1000, 700}, 96, false);
    EXPECT_EQ(n.rightPane.height, 700);
    EXPECT_EQ(n.statusBar.height, 0);
}

TEST(StatusBarLayout, TextBoxesAndGrip) {
    const RectI bar{0, 0, 400, 22};
    StatusBarLayout l = ComputeStatusBarLayout(bar, 96, 100);
    // Right limit: 400 - 16 - 8 = 376.
    EXPECT_EQ(l.rightText, (RectI{276, 0, 376, 22}));
    EXPECT_EQ(l.leftText, (RectI{8, 0, 270, 22}));
    ASSERT_EQ(l.gripDots.size(), 6u);
    // The bottom row holds three dots, 4 pixels apart, 3 in from the edges.
    EXPECT_EQ(l.gripDots[3], (RectI{397, 19, 399, 21}));
    EXPECT_EQ(l.gripDots[5], (RectI{389, 19, 391, 21}));
    EXPECT_EQ(l.gripDots[0], (RectI{397, 11, 399, 13}));

    // A right text wider than the bar leaves no room for the left text.
    EXPECT_TRUE(ComputeStatusBarLayout(bar, 96, 600).leftText.IsEmpty());
    // No right text: the left box runs to the limit.
    EXPECT_EQ(ComputeStatusBarLayout(bar, 96, 0).leftText.right, 376);

    EXPECT_TRUE(StatusBarGripHit(bar, 96, 384, 6));
    EXPECT_FALSE(StatusBarGripHit(bar, 96, 383, 6));
    EXPECT_FALSE(StatusBarGripHit(bar, 96, 400, 21));
}

TEST(ZoomReadout, TextAndCheckedPreset) {
    EXPECT_EQ(ZoomReadoutText(0.999f), "99%");
    EXPECT_EQ(ZoomReadoutText(2.5f), "250%");
    EXPECT_EQ(ZoomReadoutText(1.0f), "100%");
    EXPECT_TRUE(ZoomPresetChecked(100, 0.999f));
    for (int p : ZoomPresets()) EXPECT_FALSE(ZoomPresetChecked(p, 2.5f)) << p;
}

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
