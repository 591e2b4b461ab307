#include "app/ShellMetrics.h"

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

TEST(WorkspaceLayout, PropertiesPaneGrowsWhereTheViewHasRoom) {
    // Workspace heights (with the 22-px status bar) from a small window to a
    // maximised one on a 1920 x 1080 screen; the pane stays 140 until the view
    // keeps 540 above it, then takes the rest up to its full height.
    struct Case {
        int clientHeight, dpi, paneHeight;
    };
    const Case cases[] = {
        {300, 96, 140},   // smaller than the pane's least height: the pane keeps it
        {700, 96, 140},   // 678 above the status bar: 540 + 138, not yet growing
        {702, 96, 140},   // 540 + 140: the first height at which it could grow
        {760, 96, 198},   // growing with the window
        {858, 96, 296},   // 540 + 296: full height reached
        {1000, 96, 296},  // maximised on 1080 lines: no taller than the full height
        {700, 144, 210},  // scaled least height
        {1300, 144, 444}, // scaled full height
    };
    for (const Case& c : cases) {
        const WorkspaceLayout l = ComputeWorkspaceLayout({0, 0, 1000, c.clientHeight}, c.dpi, true);
        const int B = l.statusBar.y;
        EXPECT_EQ(l.propertiesPane.height, c.paneHeight) << c.clientHeight << " at " << c.dpi;
        EXPECT_EQ(l.propertiesPane.y + l.propertiesPane.height, B) << c.clientHeight;
        // The view stops one pixel above the pane, whatever its height.
        EXPECT_EQ(l.view.height, B - l.propertiesPane.height - 1) << c.clientHeight;
    }
    // At full height a brush tab's preset list (the pane less the 24-px strip
    // and the grid's 6-px margins) holds five 52-px rows.
    const WorkspaceLayout full = ComputeWorkspaceLayout({0, 0, 1000, 1000}, 96, true);
    EXPECT_GE((full.propertiesPane.height - 24 - 12) / 52, 5);
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
