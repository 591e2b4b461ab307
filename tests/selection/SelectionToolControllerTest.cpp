#include "scene/CanvasDocument.h"
#include "scene/CanvasWriteViews.h"
#include "scene/SelectionMask.h"
#include "selection/SelectionRasterizers.h"
#include "selection/SelectionToolController.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <vector>

namespace {

constexpr int kW = 64, kH = 48;

std::vector<uint8_t> ReadAll(const SelectionMask& m) {
    std::vector<uint8_t> out(size_t(m.Width()) * m.Height());
    m.ReadRect(0, 0, m.Width(), m.Height(), out.data());
    return out;
}

// A dense picture of a mask built from coverage rectangles, for expectations.
std::vector<uint8_t> Apply(std::vector<uint8_t> base, int32_t op, const SelectionCoverage& c) {
    SelectionMask m(kW, kH);
    m.WriteRect(0, 0, kW, kH, base.data());
    m.Combine(op, c.x, c.y, c.width, c.height, c.bytes.data());
    return ReadAll(m);
}

std::vector<uint8_t> Empty() { return std::vector<uint8_t>(size_t(kW) * kH, 0); }

const SelectionEdgeOptions kHard{kSelectionEdgeHard, 0.0f};

// A small scene whose controller draws hard-edged shapes, as the views set it
// up at a press.
struct SceneFixture : ::testing::Test {
    CanvasDocument scene;
    SelectionToolController controller;  // the document's, in the editor
    SelectionToolController* ctl = &controller;

    void SetUp() override {
        scene.width = kW;
        scene.height = kH;
        ctl->SyncWith(scene);
        ctl->edgeOptions = kHard;
    }
    SelectionMask& Mask() { return *scene.selectionMask; }

    void Drag(int32_t kind, int x0, int y0, int x1, int y1, int32_t op) {
        ctl->kind = kind;
        ctl->BeginDrag(x0, y0, op);
        ctl->DragTo((x0 + x1) / 2, (y0 + y1) / 2);
        ctl->DragTo(x1, y1);
        ctl->EndDrag(x1, y1);
    }
    void Polygon(int32_t kind, const std::vector<SelectionPoint>& pts, int32_t op) {
        ctl->kind = kind;
        for (auto p : pts) ctl->Click(int32_t(p.x), int32_t(p.y), op);
        ctl->FinishPolygon();  // the double-click or Enter
    }
};

TEST_F(SceneFixture, NewControllerDefaults) {
    SelectionToolController fresh;
    EXPECT_EQ(fresh.edgeOptions.edgeMode, kSelectionEdgeAntialias);
    EXPECT_FLOAT_EQ(fresh.edgeOptions.featherRadius, 2.0f);
    EXPECT_EQ(fresh.tolerance, 32);
    EXPECT_EQ(fresh.pending.tolerance, 32);
    EXPECT_EQ(fresh.pending.kind, kSelectionShapeNone);
    EXPECT_EQ(fresh.LiveMask(), nullptr);
    // Without a live mask the gestures change nothing and do not crash.
    fresh.BeginDrag(1, 1, 0);
    fresh.EndDrag(9, 9);
    fresh.kind = kSelectionToolPolygon;
    fresh.Click(1, 1, 0);
    fresh.FinishPolygon();
    fresh.Commit();
    EXPECT_FALSE(fresh.dragging);
    EXPECT_FALSE(fresh.polygonOpen);
    EXPECT_EQ(ctl->LiveMask(), scene.selectionMask.get());
}

TEST_F(SceneFixture, DragBoxesIncludeBothEndPixels) {
    Drag(kSelectionToolRectangle, 14, 13, 10, 10, kSelectionReplace);
    int x, y, w, h;
    ASSERT_TRUE(Mask().GetBounds(x, y, w, h));
    EXPECT_EQ(std::tie(x, y, w, h), std::make_tuple(10, 10, 5, 4));
    EXPECT_EQ(ctl->pending.kind, kSelectionShapeRectangle);
    EXPECT_EQ(ReadAll(Mask()), Apply(Empty(), 0, RasterizeRectSelection(10, 10, 5, 4, kHard, kW, kH)));

    Drag(kSelectionToolEllipseFromCenter, 30, 20, 34, 23, kSelectionReplace);
    EXPECT_EQ(ctl->pending.kind, kSelectionShapeEllipse);
    EXPECT_EQ(ReadAll(Mask()), Apply(Empty(), 0, RasterizeEllipseSelection(26, 17, 9, 7, kHard, kW, kH)));
}

TEST_F(SceneFixture, ClicksAndThinBoxesRestoreThePreviousSelection) {
    Drag(kSelectionToolRectangle, 10, 10, 20, 20, kSelectionReplace);
    const auto before = ReadAll(Mask());
    struct Case {
        int32_t kind;
        int dx, dy;
        int32_t op;
    };
    const Case cases[] = {
        {kSelectionToolRectangle, 0, 0, kSelectionReplace},
        {kSelectionToolRectangle, 0, 0, kSelectionIntersect},
        {kSelectionToolEllipse, 5, 0, kSelectionReplace},
        {kSelectionToolEllipseFromCenter, 3, 0, kSelectionSubtract},  // 7 x 1: thin
        {kSelectionToolFreehand, 1, 1, kSelectionReplace},            // one point only
    };
    for (const auto& c : cases) {
        Drag(c.kind, 40, 30, 40 + c.dx, 30 + c.dy, c.op);
        EXPECT_EQ(ReadAll(Mask()), before) << "kind " << c.kind << " op " << c.op;
        EXPECT_FALSE(ctl->dragging);
    }
    EXPECT_EQ(ctl->pending.kind, kSelectionShapeNone);
    // One pixel right and down is a 2 x 2 box and commits.
    Drag(kSelectionToolRectangle, 40, 30, 41, 31, kSelectionAdd);
    EXPECT_EQ(ReadAll(Mask()), Apply(before, 1, RasterizeRectSelection(40, 30, 2, 2, kHard, kW, kH)));
}

TEST_F(SceneFixture, EachCombineOp) {
    const auto a = RasterizeRectSelection(10, 10, 10, 10, kHard, kW, kH);
    const auto b = RasterizeEllipseSelection(15, 12, 12, 12, kHard, kW, kH);
    for (int32_t op = 0; op < 4; ++op) {
        Drag(kSelectionToolRectangle, 10, 10, 19, 19, kSelectionReplace);
        Drag(kSelectionToolEllipse, 15, 12, 26, 23, op);
        EXPECT_EQ(ReadAll(Mask()), Apply(Apply(Empty(), 0, a), op, b)) << "op " << op;
        EXPECT_EQ(ctl->pending.op, op);
    }
    EXPECT_EQ(SelectionCombineOpForModifiers(true, true, SelectionToolSettings{true, 0, 2, 32}), 3);
    EXPECT_EQ(SelectionCombineOpForModifiers(true, false, SelectionToolSettings{}), 1);
    EXPECT_EQ(SelectionCombineOpForModifiers(false, true, SelectionToolSettings{}), 2);
    EXPECT_EQ(SelectionCombineOpForModifiers(false, false, SelectionToolSettings{true, 0, 3, 32}), 3);
}

TEST_F(SceneFixture, RecommitReplacesTheShapeInsteadOfPilingUp) {
    Drag(kSelectionToolRectangle, 5, 5, 14, 14, kSelectionReplace);
    const auto base = ReadAll(Mask());
    Drag(kSelectionToolRectangle, 20, 20, 39, 29, kSelectionAdd);
    GetSelectionToolSettings() = SelectionToolSettings{true, 3.0f, 0, 32};
    ApplySelectionEdgeOptions(*ctl, scene);
    GetSelectionToolSettings() = SelectionToolSettings{};
    EXPECT_EQ(ctl->edgeOptions.edgeMode, kSelectionEdgeFeather);
    const auto feathered = RasterizeRectSelection(20, 20, 20, 10, ctl->edgeOptions, kW, kH);
    EXPECT_EQ(ReadAll(Mask()), Apply(base, 1, feathered));
    // Committing again gives the same mask.
    ctl->Commit();
    EXPECT_EQ(ReadAll(Mask()), Apply(base, 1, feathered));
    EXPECT_EQ(SelectionEdgeOptionsFromSettings({false, 0, 0, 32}).edgeMode, kSelectionEdgeHard);
    EXPECT_EQ(SelectionEdgeOptionsFromSettings({true, 0, 0, 32}).edgeMode, kSelectionEdgeAntialias);
}

TEST_F(SceneFixture, PolygonAndCurveLasso) {
    const std::vector<SelectionPoint> tri = {{10, 10}, {40, 12}, {20, 40}};
    Polygon(kSelectionToolPolygon, tri, kSelectionReplace);
    EXPECT_FALSE(ctl->polygonOpen);
    const auto triangle = Apply(Empty(), 0, RasterizePolygonSelection(tri, kHard, kW, kH));
    EXPECT_EQ(ReadAll(Mask()), triangle);

    // A curve lasso of three vertices is the straight triangle.
    Polygon(kSelectionToolCurveLasso, tri, kSelectionReplace);
    EXPECT_EQ(ReadAll(Mask()), triangle);

    // Four vertices: a closed 64-point curve through all of them.
    const std::vector<SelectionPoint> quad = {{10, 10}, {50, 8}, {52, 40}, {12, 38}};
    const auto curve = CatmullRomClosedCurve(quad);
    ASSERT_EQ(curve.size(), 64u);
    for (size_t i = 0; i < quad.size(); ++i) {
        EXPECT_FLOAT_EQ(curve[i * 16].x, quad[i].x);
        EXPECT_FLOAT_EQ(curve[i * 16].y, quad[i].y);
    }
    Polygon(kSelectionToolCurveLasso, quad, kSelectionAdd);
    EXPECT_EQ(ctl->pending.points.size(), 64u);
    EXPECT_EQ(ReadAll(Mask()), Apply(triangle, 1, RasterizePolygonSelection(curve, kHard, kW, kH)));

    // Two vertices are not a shape: the selection stays as before the first.
    const auto before = ReadAll(Mask());
    Polygon(kSelectionToolPolygon, {{1, 1}, {30, 30}}, kSelectionReplace);
    EXPECT_EQ(ReadAll(Mask()), before);
}

TEST_F(SceneFixture, FreehandDragCommitsItsPath) {
    ctl->kind = kSelectionToolFreehand;
    ctl->BeginDrag(10, 10, kSelectionReplace);
    ctl->DragTo(11, 10);  // closer than 2 pixels: skipped
    ctl->DragTo(30, 10);
    ctl->DragTo(30, 30);
    ctl->DragTo(10, 30);
    EXPECT_EQ(ctl->freehandPoints.size(), 4u);
    ctl->EndDrag(10, 30);
    EXPECT_TRUE(ctl->freehandPoints.empty());
    const std::vector<SelectionPoint> path = {{10, 10}, {30, 10}, {30, 30}, {10, 30}};
    EXPECT_EQ(ReadAll(Mask()), Apply(Empty(), 0, RasterizePolygonSelection(path, kHard, kW, kH)));
}

TEST_F(SceneFixture, EscapeAbandonsOnlyAGestureInProgress) {
    Drag(kSelectionToolRectangle, 10, 10, 20, 20, kSelectionReplace);
    const auto before = ReadAll(Mask());
    const uint64_t rev = Mask().Revision();

    ctl->Cancel();  // nothing in progress
    EXPECT_EQ(Mask().Revision(), rev);
    EXPECT_EQ(ctl->pending.kind, kSelectionShapeRectangle);

    ctl->BeginDrag(30, 30, kSelectionReplace);  // replace empties at once...
    EXPECT_FALSE(Mask().HasSelection());
    ctl->Cancel();  // ...and Escape brings it back
    EXPECT_EQ(ReadAll(Mask()), before);
    EXPECT_FALSE(ctl->dragging);

    ctl->kind = kSelectionToolPolygon;
    ctl->Click(5, 5, kSelectionReplace);
    ctl->Click(40, 5, kSelectionReplace);
    ctl->Click(40, 40, kSelectionReplace);
    ctl->Cancel();
    EXPECT_FALSE(ctl->polygonOpen);
    EXPECT_TRUE(ctl->polygonPoints.empty());
    EXPECT_EQ(ReadAll(Mask()), before);
}

TEST_F(SceneFixture, ReplacedOrReleasedMaskDropsShapeAndSnapshot) {
    Drag(kSelectionToolRectangle, 10, 10, 20, 20, kSelectionReplace);
    ASSERT_EQ(ctl->pending.kind, kSelectionShapeRectangle);
    ctl->kind = kSelectionToolPolygon;
    ctl->Click(1, 1, kSelectionAdd);

    // Canvas resize: a new, empty mask. Nothing of the old canvas re-applies.
    scene.width = 100;
    scene.EnsureSelectionMask();
    EXPECT_EQ(ctl->LiveMask(), scene.selectionMask.get());
    EXPECT_EQ(ctl->pending.kind, kSelectionShapeNone);
    EXPECT_FALSE(ctl->SnapshotValid());
    EXPECT_FALSE(ctl->polygonOpen);
    ctl->Commit();
    ctl->Cancel();
    EXPECT_FALSE(Mask().HasSelection());

    // A new operation on the new mask works at its size.
    Drag(kSelectionToolRectangle, 80, 10, 90, 20, kSelectionReplace);
    int x, y, w, h;
    ASSERT_TRUE(Mask().GetBounds(x, y, w, h));
    EXPECT_EQ(x, 80);

    // New / Open: the selection goes, the controller stays, detached.
    scene.Reset();
    ctl->Commit();  // must not touch the freed mask
    EXPECT_EQ(ctl->LiveMask(), nullptr);
    EXPECT_EQ(ctl->pending.kind, kSelectionShapeNone);
}

// The scene keeps only the mask: whatever else writes it (refine, undo of a
// selection, deselect) is seen through its revision, and the edge options
// then find no shape to re-apply over the new selection.
TEST_F(SceneFixture, OutsideChangesOfTheMaskDropThePendingShape) {
    Drag(kSelectionToolRectangle, 10, 10, 20, 20, kSelectionAdd);
    ASSERT_EQ(ctl->pending.kind, kSelectionShapeRectangle);
    ctl->Commit();  // its own writes are not outside changes
    ASSERT_EQ(ctl->pending.kind, kSelectionShapeRectangle);
    ASSERT_TRUE(ctl->SnapshotValid());

    scene.refineBase = std::make_unique<SelectionMask>(kW, kH);
    scene.refineBase->Assign(Mask());
    scene.RefineSelection(0, 3);
    const auto refined = ReadAll(Mask());
    ApplySelectionEdgeOptions(*ctl, scene);
    EXPECT_EQ(ctl->pending.kind, kSelectionShapeNone);
    EXPECT_FALSE(ctl->SnapshotValid());
    EXPECT_EQ(ReadAll(Mask()), refined);

    // A cleared mask (Deselect) stays clear: Commit finds no shape to re-apply.
    Drag(kSelectionToolRectangle, 30, 30, 40, 40, kSelectionReplace);
    Mask().Clear();
    ctl->Commit();
    EXPECT_FALSE(Mask().HasSelection());
}

// Pixels for the magic wand: a grey ground with coloured blocks.
class PixelGrid : public ICanvasWriteView {
public:
    PixelGrid() : px_(size_t(kW) * kH, 0xFF808080u) {}
    void Fill(int x0, int y0, int x1, int y1, uint32_t c) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) px_[size_t(y) * kW + x] = c;
    }
    int Width() const override { return kW; }
    int Height() const override { return kH; }
    void ReadRect(int x, int y, int w, int h, uint32_t* out) override {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                const int sx = x + i, sy = y + j;
                out[size_t(j) * w + i] = (sx >= 0 && sy >= 0 && sx < kW && sy < kH) ? px_[size_t(sy) * kW + sx] : 0;
            }
    }
    void WriteRect(int, int, int, int, const uint32_t*) override {}

private:
    std::vector<uint32_t> px_;
};

std::vector<uint8_t> Blocks(std::initializer_list<std::array<int, 4>> blocks) {
    auto m = Empty();
    for (const auto& b : blocks)
        for (int y = b[1]; y < b[3]; ++y)
            for (int x = b[0]; x < b[2]; ++x) m[size_t(y) * kW + x] = 255;
    return m;
}

TEST_F(SceneFixture, MagicWandClickAndToleranceRecommit) {
    PixelGrid grid;
    grid.Fill(10, 10, 20, 20, 0xFF101010u);
    grid.Fill(20, 10, 30, 20, 0xFF404040u);  // beside the first block
    grid.Fill(20, 20, 25, 25, 0xFF101010u);  // touches the first only at a corner
    ctl->kind = kSelectionToolMagicWand;

    // Without a wand source a replace click only empties the selection.
    Drag(kSelectionToolRectangle, 1, 1, 5, 5, kSelectionReplace);
    ctl->kind = kSelectionToolMagicWand;
    ctl->Click(12, 12, kSelectionReplace);
    EXPECT_FALSE(Mask().HasSelection());
    EXPECT_EQ(ctl->pending.kind, kSelectionShapeNone);

    ctl->wandSource = &grid;
    ctl->tolerance = 0;
    ctl->Click(12, 12, kSelectionReplace);
    EXPECT_EQ(ctl->pending.kind, kSelectionShapeMagicWand);
    EXPECT_EQ(ReadAll(Mask()), Blocks({{10, 10, 20, 20}}));

    // A wider tolerance re-applied to the live shape reaches the second block
    // and, through it, the corner block.
    ctl->pending.tolerance = 0x30;
    ctl->Commit();
    EXPECT_EQ(ReadAll(Mask()), Blocks({{10, 10, 30, 20}, {20, 20, 25, 25}}));

    // Subtracting the grey ground from everything leaves the blocks.
    Mask().Clear();
    Mask().Invert();
    ctl->tolerance = 0;
    ctl->Click(0, 0, kSelectionSubtract);
    EXPECT_EQ(ReadAll(Mask()), Blocks({{10, 10, 30, 20}, {20, 20, 25, 25}}));
}

}  // namespace
