// The selection display without a window: straight runs of the outline, the
// ants bitmap's clip to the viewport and its dashes (continuous whatever the
// clip), the caches' keys, and the shape in progress.
#include "canvas_view/SelectionAnts.h"
#include "canvas_view/SelectionShapePreview.h"
#include "selection/SelectionToolController.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {
constexpr uint32_t kBlack = 0xDC000000u, kWhite = 0xFFFFFFFFu;

// A mask with the rectangle (x, y, w, h) fully selected.
SelectionMask RectMask(int canvasW, int canvasH, int x, int y, int w, int h) {
    SelectionMask m(canvasW, canvasH);
    std::vector<uint8_t> cov(size_t(w) * size_t(h), 255);
    m.Combine(kSelectionReplace, x, y, w, h, cov.data());
    return m;
}

// A disc with a notch, so the outline has staircases, long runs and two loops.
SelectionMask DiscMask(int side) {
    SelectionMask m(side, side);
    std::vector<uint8_t> cov(size_t(side) * side, 0);
    const float c = side / 2.0f, r = side * 0.4f;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const bool in = std::hypot(x + 0.5f - c, y + 0.5f - c) < r;
            const bool hole = x > c - 3 && x < c + 3 && y > c - 5 && y < c + 5;
            cov[size_t(y) * side + x] = in && !hole ? 255 : 0;
        }
    m.Combine(kSelectionReplace, 0, 0, side, side, cov.data());
    return m;
}

std::vector<uint32_t> Render(const std::vector<std::vector<OutlinePoint>>& runs, float zoom, float ox, float oy,
                             float phase, const RectI& clip) {
    std::vector<uint32_t> px(size_t(clip.Width()) * clip.Height(), 0);
    RenderAnts(runs, zoom, ox, oy, phase, clip, px.data(), size_t(clip.Width()));
    return px;
}
}  // namespace

TEST(SelectionAnts, MergesStraightRunsButKeepsTurnsAndDropsStubs) {
    SelectionMask m = RectMask(64, 64, 10, 20, 30, 5);
    SelectionOutline::Build(m);
    const auto runs = MergeStraightRuns(m.Outline());
    ASSERT_EQ(runs.size(), 1u);
    // Four corners and the repeated start.
    EXPECT_EQ(runs[0].size(), 5u);
    EXPECT_EQ(runs[0].front(), runs[0].back());

    SelectionOutline hand;
    hand.polylines = {{{0, 0}, {1, 0}, {2, 0}, {1, 0}, {0, 0}},  // runs out and turns back
                      {{5, 5}}};                                  // a stub of one point
    const auto merged = MergeStraightRuns(hand);
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0], (std::vector<OutlinePoint>{{0, 0}, {2, 0}, {0, 0}}));
}

TEST(SelectionAnts, ClipRectIsTheSelectionBoundsCutToTheViewport) {
    const RectI view{0, 0, 800, 600};
    struct Case {
        int x, y, w, h;
        float zoom, ox, oy;
        RectI expected;
    } cases[] = {
        // Inside: floor / ceil of the mapped bounds, widened by 2.
        {10, 20, 30, 40, 2.0f, 5.5f, 3.0f, {23, 41, 88, 125}},
        // Partly left of and above the viewport.
        {0, 0, 100, 100, 1.0f, -50.0f, -20.0f, {0, 0, 52, 82}},
        // Zoom 8 on a selection far larger than the viewport: the viewport.
        {0, 0, 4000, 4000, 8.0f, -1000.0f, -1000.0f, view},
        // Wholly outside, or empty.
        {0, 0, 10, 10, 1.0f, 900.0f, 0.0f, {}},
        {0, 0, 0, 10, 1.0f, 0.0f, 0.0f, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x + c.ox);
        EXPECT_EQ(AntsClipRect(c.x, c.y, c.w, c.h, c.zoom, c.ox, c.oy, view), c.expected);
    }
}

TEST(SelectionAnts, DashesRunAlongTheOutlineAndMarchWithThePhase) {
    // A 4 x 2 rectangle at zoom 1: 12 outline pixels, 4 white then 4 black.
    const std::vector<std::vector<OutlinePoint>> loop{{{0, 0}, {4, 0}, {4, 2}, {0, 2}, {0, 0}}};
    const RectI clip{8, 8, 16, 14};
    const std::vector<uint32_t> a = Render(loop, 1, 10, 10, 0, clip);
    // The path in drawing order, one pixel per step.
    const int path[12][2] = {{10, 10}, {11, 10}, {12, 10}, {13, 10}, {14, 10}, {14, 11},
                             {14, 12}, {13, 12}, {12, 12}, {11, 12}, {10, 12}, {10, 11}};
    auto at = [&](const std::vector<uint32_t>& px, int x, int y) { return px[size_t(y - 8) * 8 + (x - 8)]; };
    int drawn = 0;
    for (uint32_t p : a) drawn += p != 0;
    EXPECT_EQ(drawn, 12);
    for (int s = 0; s < 12; ++s) EXPECT_EQ(at(a, path[s][0], path[s][1]), s % 8 < 4 ? kWhite : kBlack) << s;
    // One tick later every dash has moved one pixel along the path.
    const std::vector<uint32_t> b = Render(loop, 1, 10, 10, 1, clip);
    for (int s = 1; s < 12; ++s) EXPECT_EQ(at(b, path[s][0], path[s][1]), at(a, path[s - 1][0], path[s - 1][1]));
}

TEST(SelectionAnts, AClippedBitmapHasTheSamePixelsAsTheWholeOutline) {
    SelectionMask m = DiscMask(96);
    SelectionOutline::Build(m);
    const auto runs = MergeStraightRuns(m.Outline());
    for (float zoom : {0.37f, 1.0f, 3.0f, 8.0f}) {
        const float ox = 13.4f, oy = -7.6f;
        const RectI whole{-20, -20, int(96 * zoom) + 40, int(96 * zoom) + 40};
        const std::vector<uint32_t> all = Render(runs, zoom, ox, oy, 5, whole);
        const RectI part{int(40 * zoom), int(30 * zoom), int(40 * zoom) + 37, int(30 * zoom) + 23};
        const std::vector<uint32_t> cut = Render(runs, zoom, ox, oy, 5, part);
        for (int y = part.top; y < part.bottom; ++y)
            for (int x = part.left; x < part.right; ++x)
                ASSERT_EQ(cut[size_t(y - part.top) * part.Width() + (x - part.left)],
                          all[size_t(y - whole.top) * whole.Width() + (x - whole.left)])
                    << "zoom " << zoom << " at " << x << ", " << y;
    }
}

TEST(SelectionAnts, CacheRedrawsOnlyWhenItsKeyChanges) {
    SelectionMask m = RectMask(200, 200, 20, 20, 100, 60);
    MarchingAntsCache cache;
    const RectI view{0, 0, 400, 300};
    ASSERT_TRUE(cache.Update(m, 1, 10, 10, 0, view));
    EXPECT_EQ(cache.RedrawCount(), 1);
    EXPECT_TRUE(cache.Update(m, 1, 10, 10, 0, view));
    // A bigger viewport that still holds the whole selection keeps the bitmap.
    EXPECT_TRUE(cache.Update(m, 1, 10, 10, 0, RectI{0, 0, 500, 300}));
    EXPECT_EQ(cache.RedrawCount(), 1);
    // Phase, scroll, zoom, a viewport that cuts the selection, a mask change
    // and an explicit invalidation each redraw once.
    cache.Update(m, 1, 10, 10, 1, view);
    cache.Update(m, 1, 12, 10, 1, view);
    cache.Update(m, 2, 12, 10, 1, view);
    cache.Update(m, 2, 12, 10, 1, RectI{0, 0, 100, 100});
    std::vector<uint8_t> dot(4, 255);
    m.Combine(kSelectionAdd, 150, 150, 2, 2, dot.data());
    cache.Update(m, 2, 12, 10, 1, RectI{0, 0, 100, 100});
    cache.Invalidate();
    cache.Update(m, 2, 12, 10, 1, RectI{0, 0, 100, 100});
    EXPECT_EQ(cache.RedrawCount(), 7);
    EXPECT_EQ(cache.Clip(), (RectI{50, 48, 100, 100}));
}

TEST(SelectionAnts, BitmapNeverOutgrowsTheViewport) {
    // 3000 x 3000 selected at zoom 8 would be 24000 pixels square in full.
    SelectionMask m(3000, 3000);
    m.Invert();
    MarchingAntsCache cache;
    const RectI view{0, 0, 1600, 1000};
    ASSERT_TRUE(cache.Update(m, 8, -100, -100, 0, view));
    EXPECT_LE(cache.BitmapBytes(), size_t(1600) * 1000 * 4);
    // Scrolled so that only the inside of the selection shows: nothing to
    // draw in the viewport still leaves a bitmap of at most its size.
    EXPECT_TRUE(cache.Update(m, 8, -8000, -8000, 0, view));
    EXPECT_LE(cache.BitmapBytes(), size_t(1600) * 1000 * 4);
    // The selection wholly outside the viewport: nothing at all.
    EXPECT_FALSE(cache.Update(m, 8, 2000, 0, 0, view));
    SelectionMask empty(100, 100);
    EXPECT_FALSE(cache.Update(empty, 1, 0, 0, 0, view));
}

TEST(SelectionTint, RendersOncePerMaskChange) {
    SelectionMask m(40, 30);
    SelectionTintCache tint;
    EXPECT_FALSE(tint.Update(m));  // nothing selected: no tint
    std::vector<uint8_t> cov(100, 255);
    m.Combine(kSelectionReplace, 5, 5, 10, 10, cov.data());
    ASSERT_TRUE(tint.Update(m));
    ASSERT_TRUE(tint.Update(m));
    EXPECT_EQ(tint.RenderCount(), 1);
    EXPECT_EQ(tint.Width(), 40);
    EXPECT_EQ(tint.Pixels()[0], 0x80800000u);          // unselected: red at half
    EXPECT_EQ(tint.Pixels()[size_t(6) * 40 + 6], 0u);  // selected: clear
    m.Invert();
    ASSERT_TRUE(tint.Update(m));
    EXPECT_EQ(tint.RenderCount(), 2);
    EXPECT_EQ(tint.Pixels()[size_t(6) * 40 + 6], 0x80800000u);
}

TEST(SelectionShapePreview, ShapesInProgress) {
    SelectionToolController c;
    const float z = 2, ox = 100, oy = 50;
    auto drag = [&](int kind, int x0, int y0, int x1, int y1) {
        c.kind = kind;
        c.dragging = true;
        c.dragStartX = x0, c.dragStartY = y0, c.dragCurrentX = x1, c.dragCurrentY = y1;
        return BuildSelectionShapePreview(c, 0, 0, z, ox, oy);
    };
    EXPECT_EQ(drag(kSelectionToolRectangle, 10, 10, 10, 30).kind, SelectionShapePreview::kNone);
    // One pixel apart: two canvas pixels wide.
    SelectionShapePreview p = drag(kSelectionToolRectangle, 11, 30, 10, 10);
    EXPECT_EQ(p.kind, SelectionShapePreview::kRectangle);
    EXPECT_FLOAT_EQ(p.rect.x, 120);
    EXPECT_FLOAT_EQ(p.rect.width, 4);
    EXPECT_FLOAT_EQ(p.rect.height, 42);
    EXPECT_EQ(drag(kSelectionToolEllipseFromCenter, 10, 10, 10, 30).kind, SelectionShapePreview::kNone);
    p = drag(kSelectionToolEllipseFromCenter, 10, 10, 13, 8);
    EXPECT_EQ(p.kind, SelectionShapePreview::kEllipse);
    EXPECT_FLOAT_EQ(p.rect.x, 114);  // (10 - 3) * 2 + 100
    EXPECT_FLOAT_EQ(p.rect.width, 14);
    EXPECT_FLOAT_EQ(p.rect.height, 10);
    EXPECT_EQ(drag(kSelectionToolMagicWand, 0, 0, 5, 5).kind, SelectionShapePreview::kNone);
    c.freehandPoints = {{1, 1}};
    EXPECT_EQ(drag(kSelectionToolFreehand, 0, 0, 5, 5).kind, SelectionShapePreview::kNone);

    // Curve lasso: two vertices and the cursor are an open path; a third
    // vertex closes it into a curve.
    c.dragging = false;
    c.kind = kSelectionToolCurveLasso;
    c.polygonOpen = true;
    c.polygonPoints = {{0, 0}, {10, 0}};
    p = BuildSelectionShapePreview(c, 10, 10, z, ox, oy);
    EXPECT_EQ(p.kind, SelectionShapePreview::kPolyline);
    ASSERT_EQ(p.points.size(), 3u);
    EXPECT_FLOAT_EQ(p.points[2].x, 120);
    ASSERT_EQ(p.squares.size(), 2u);
    EXPECT_FLOAT_EQ(p.squares[1].x, 118);
    EXPECT_FLOAT_EQ(p.squares[1].y, 48);
    c.polygonPoints.push_back({10, 10});
    p = BuildSelectionShapePreview(c, 0, 10, z, ox, oy);
    ASSERT_EQ(p.points.size(), 4u * 16 + 1);
    EXPECT_FLOAT_EQ(p.points.front().x, p.points.back().x);
    EXPECT_FLOAT_EQ(p.points.front().y, p.points.back().y);
    EXPECT_EQ(p.squares.size(), 3u);
    // The polygon lasso stays a straight path through the same points.
    c.kind = kSelectionToolPolygon;
    EXPECT_EQ(BuildSelectionShapePreview(c, 0, 10, z, ox, oy).points.size(), 4u);
}
