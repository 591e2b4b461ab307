// The canvas tools' geometry without pixels: handle boxes and hit priority,
// resizing for each handle with and without rotation, group transforms,
// marquee overlap, the warp quad's convexity and the input dispatch table.
#include "canvas_view/LightGizmo.h"
#include "canvas_view/ToolDispatch.h"
#include "canvas_view/TransformDrag.h"
#include "canvas_view/TransformHandles.h"
#include "canvas_view/WarpDrag.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
const TransformHandleStyle kStyle;
// Rectangle (100, 100, 200, 100): frame (86, 86, 228, 128), centre (200, 150).
const FrameRect kRect{100, 100, 200, 100};

void Rotate(float& x, float& y, float cx, float cy, float deg) {
    const float a = deg * 3.1415927f / 180, dx = x - cx, dy = y - cy;
    x = dx * std::cos(a) - dy * std::sin(a) + cx;
    y = dx * std::sin(a) + dy * std::cos(a) + cy;
}
}  // namespace

TEST(TransformHandles, HitPriorityAndEnlargedBoxes) {
    struct Case {
        float x, y;
        int handle;
    } cases[] = {
        {86, 86, kHandleTopLeft},       // exactly on the frame corner
        {86 + 10.8f, 86, kHandleTopLeft},  // edge of the enlarged 21.6 box
        {86 + 8, 86 - 8, kHandleTopLeft},  // outside the drawn 12-pixel circle
        {314, 214, kHandleBottomRight},
        {200, 86, kHandleTop},
        {200 + 13.75f, 86 + 8, kHandleTop},
        {314, 150, kHandleRight},
        {200, 214, kHandleBottom},
        {86, 150, kHandleLeft},
        {200, 52, kHandleRotate},
        {200 + 8.4f, 52, kHandleRotate},
        {200, 150, kHandleInside},
        {150, 100, kHandleInside},
        {20, 20, kHandleNone},
        {200 + 8.5f, 52, kHandleNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HitTestObjectHandles(c.x, c.y, kStyle, kRect, 0), c.handle) << c.x << "," << c.y;

    // A tiny rectangle: the rotation box overlaps the top corners and wins.
    const FrameRect tiny{100, 100, 2, 2};  // frame (86, 86, 30, 30), rotation centre (101, 52)
    EXPECT_EQ(HitTestObjectHandles(101, 52, kStyle, tiny, 0), kHandleRotate);
    EXPECT_EQ(HitTestObjectHandles(86, 86, kStyle, tiny, 0), kHandleTopLeft);
}

TEST(TransformHandles, RotatedFrameHitsLikeTheUnrotatedOne) {
    for (float angle : {30.0f, 90.0f, -135.0f}) {
        for (const auto& p : {std::pair{86.0f, 86.0f}, {314.0f, 150.0f}, {200.0f, 52.0f}, {150.0f, 120.0f}}) {
            float x = p.first, y = p.second;
            const int expected = HitTestObjectHandles(x, y, kStyle, kRect, 0);
            Rotate(x, y, 200, 150, angle);
            EXPECT_EQ(HitTestObjectHandles(x, y, kStyle, kRect, angle), expected) << angle;
        }
    }
}

TEST(TransformHandles, DrawnBoxesAreSmallerThanPickBoxes) {
    const HandleBoxes b = DrawnHandleBoxes(kStyle, TransformFrameOf(kStyle, kRect));
    EXPECT_FLOAT_EQ(b.box[kHandleTopLeft].width, 12);
    EXPECT_FLOAT_EQ(b.box[kHandleTop].width, 22);
    EXPECT_FLOAT_EQ(b.box[kHandleTop].height, 8);
    EXPECT_FLOAT_EQ(b.box[kHandleRotate].CentreY(), 86 - 34);
    EXPECT_EQ(ResizeCursorFor(kHandleRight, 0), 0);
    EXPECT_EQ(ResizeCursorFor(kHandleRight, 90), 2);
    EXPECT_EQ(ResizeCursorFor(kHandleTopLeft, 0), 1);
    EXPECT_EQ(ResizeCursorFor(kHandleInside, 0), -1);
}

TEST(TransformDrag, ResizeEachHandleUnrotated) {
    const ObjectTransform s{100, 100, 200, 100, 0, 1};
    struct Case {
        int handle;
        float dx, dy;
        ObjectTransform want;
    } cases[] = {
        {1, 10, -5, {110, 95, 200, 100, 0, 1}},
        {3, 40, -20, {100, 80, 200, 120, 0, 1}},   // top: only the height, bottom stays
        {5, 50, 99, {100, 100, 250, 100, 0, 1}},   // right
        {7, 0, 30, {100, 100, 200, 130, 0, 1}},    // bottom
        {9, -20, 0, {80, 100, 220, 100, 0, 1}},    // left: right edge stays
        {6, 100, 10, {100, 100, 300, 150, 0, 1}},  // corner: width factor 1.5 wins
        {2, 0, -50, {0, 50, 300, 150, 0, 1}},      // top-left: height factor 1.5, bottom-right stays
        {6, -500, -500, {100, 100, 2, 1, 0, 1}},   // past the opposite corner: smallest, same aspect
    };
    for (const Case& c : cases) {
        const ObjectTransform t = ApplySingleDrag(s, c.handle, 0, 0, c.dx, c.dy);
        EXPECT_NEAR(t.x, c.want.x, 1e-3) << c.handle;
        EXPECT_NEAR(t.y, c.want.y, 1e-3) << c.handle;
        EXPECT_NEAR(t.width, c.want.width, 1e-3) << c.handle;
        EXPECT_NEAR(t.height, c.want.height, 1e-3) << c.handle;
    }
}

TEST(TransformDrag, RotatedResizeKeepsTheAnchorOnTheCanvas) {
    // Rotated 90 degrees: the top edge handle changes the height and keeps the
    // bottom edge's middle where it was on the canvas.
    const ObjectTransform s{100, 100, 200, 100, 90, 1};
    auto canvasPoint = [](const ObjectTransform& t, float u, float v) {
        float x = t.x + u, y = t.y + v;
        Rotate(x, y, t.x + t.width / 2, t.y + t.height / 2, t.rotation);
        return std::pair{x, y};
    };
    // In the object's frame the top edge moves up by 30: on the canvas that is +30 in x.
    const ObjectTransform t = ApplySingleDrag(s, 3, 0, 0, 30, 0);
    EXPECT_NEAR(t.height, 130, 1e-3);
    EXPECT_NEAR(t.width, 200, 1e-3);
    const auto a0 = canvasPoint(s, 100, 100), a1 = canvasPoint(t, 100, 130);
    EXPECT_NEAR(a0.first, a1.first, 1e-3);
    EXPECT_NEAR(a0.second, a1.second, 1e-3);

    // Corner of a 30-degree object: the opposite corner stays, aspect kept.
    const ObjectTransform r{50, 60, 120, 80, 30, 1};
    const ObjectTransform c = ApplySingleDrag(r, 6, 0, 0, 40, 25);
    EXPECT_NEAR(c.width / c.height, 1.5f, 1e-4);
    const auto b0 = canvasPoint(r, 0, 0), b1 = canvasPoint(c, 0, 0);
    EXPECT_NEAR(b0.first, b1.first, 1e-3);
    EXPECT_NEAR(b0.second, b1.second, 1e-3);
}

TEST(TransformDrag, GroupMoveRotateAndScale) {
    const std::vector<TransformSnapshot> snaps = {{"a", {0, 0, 100, 100, 0, 1}}, {"b", {200, 100, 100, 100, 10, 1}}};
    const GroupBox box{0, 0, 300, 200};  // centre (150, 100)
    std::vector<ObjectTransform> out = ApplyGroupDrag(snaps, box, 1, 0, 0, 5, 7);
    EXPECT_FLOAT_EQ(out[1].x, 205);
    EXPECT_FLOAT_EQ(out[1].y, 107);

    // A quarter turn: the press east of the centre, the pointer south of it.
    float angle = 0;
    out = ApplyGroupDrag(snaps, box, 10, 250, 100, 150, 200, &angle);
    EXPECT_NEAR(angle, 90, 1e-3);
    // a's centre (50, 50) turns to (200, 0); its rotation grows by 90.
    EXPECT_NEAR(out[0].x + 50, 200, 1e-3);
    EXPECT_NEAR(out[0].y + 50, 0, 1e-3);
    EXPECT_NEAR(out[0].rotation, 90, 1e-3);
    EXPECT_NEAR(out[1].rotation, 100, 1e-3);

    // Bottom-right corner doubles the box about the top-left corner.
    out = ApplyGroupDrag(snaps, box, 6, 0, 0, 300, 50);
    EXPECT_NEAR(out[1].width, 200, 1e-3);
    EXPECT_NEAR(out[1].x + out[1].width / 2, 500, 1e-3);
    EXPECT_NEAR(out[1].y + out[1].height / 2, 300, 1e-3);
    // Right edge: only x scales.
    out = ApplyGroupDrag(snaps, box, 5, 0, 0, 300, 999);
    EXPECT_NEAR(out[0].width, 200, 1e-3);
    EXPECT_NEAR(out[0].height, 100, 1e-3);
}

TEST(TransformDrag, MarqueeOverlapUsesTheOutlineNotTheBox) {
    // A diamond (square turned 45 degrees) centred at (100, 100), half-diagonal 50.
    const QuadPoints diamond{{100, 150, 100, 50}, {50, 100, 150, 100}};
    // Inside the diamond's bounding box corner but outside its outline.
    EXPECT_FALSE(OutlineOverlapsRect(diamond, 50, 50, 20, 20));
    // Overlapping the outline.
    EXPECT_TRUE(OutlineOverlapsRect(diamond, 90, 40, 20, 20));
    // Touching counts as overlap.
    EXPECT_TRUE(OutlineOverlapsRect(diamond, 150, 90, 10, 20));
    EXPECT_FALSE(OutlineOverlapsRect(diamond, 151, 90, 10, 20));
}

TEST(WarpDrag, ConvexityAndFoldCutBack) {
    Quad id;
    EXPECT_TRUE(IsQuadConvex(id));
    Quad line{0, 0, 1, 0, 2, 0, 3, 0};
    EXPECT_TRUE(IsQuadConvex(line));  // collinear: all turns zero
    Quad fold = id;
    fold.x0 = 1.5f, fold.y0 = 1.5f;
    EXPECT_FALSE(IsQuadConvex(fold));

    // Distort the top-left corner across the diagonal: it stops just short.
    const Quad q = DragQuadHandle(id, id, 0, 1.5f, 1.5f, false);
    EXPECT_TRUE(IsQuadConvex(q));
    EXPECT_GT(q.x0, 0.0f);
    EXPECT_LT(q.x0, 1.5f);
    EXPECT_FLOAT_EQ(q.x2, 1);

    // Skew: the opposite corner moves by the opposite amount.
    const Quad s = DragQuadHandle(id, id, 0, 0.1f, 0, true);
    EXPECT_NEAR(s.x0, 0.1f, 1e-6);
    EXPECT_NEAR(s.x2, 0.9f, 1e-6);
    EXPECT_NEAR(s.y2, 1.0f, 1e-6);
    // Edges move both corners, for either tool.
    const Quad e = DragQuadHandle(id, id, 4, 0.5f, -0.2f, false);
    EXPECT_NEAR(e.y0, -0.2f, 1e-6);
    EXPECT_NEAR(e.y1, -0.2f, 1e-6);
}

TEST(WarpDrag, HandlePickTiesGoToTheLaterHandle) {
    CanvasObject o;
    o.x = 0, o.y = 0, o.width = 14, o.height = 100;
    const QuadHandles h = ComputeQuadHandles(o, 1, 0, 0);
    // (7, 0) is 7 pixels from corner 0 and from corner 1, and 0 from edge 4.
    EXPECT_EQ(PickQuadHandle(h, 7, 0), 4);
    EXPECT_EQ(PickQuadHandle(h, -7, 0), 0);   // exactly 7 away is picked
    EXPECT_EQ(PickQuadHandle(h, -7.1f, 0), -1);
    EXPECT_TRUE(InsideQuadOutline(h, 14, 50));  // on an edge
    EXPECT_FALSE(InsideQuadOutline(h, 15, 50));
}

TEST(ToolDispatch, RoutesEveryToolId) {
    using R = CanvasInputRoute;
    const R want[28] = {R::Move,  R::Eyedropper, R::Pose,      R::Move,      R::Move,      R::Move,     R::Warp,
                        R::Warp,  R::Light,      R::Paint,     R::Paint,     R::Paint,     R::Paint,    R::Paint,
                        R::Paint, R::Paint,      R::Stencil,   R::Paint,     R::Selection, R::Selection, R::Selection,
                        R::Selection, R::Selection, R::Selection, R::Selection, R::None, R::Paint, R::Paint};
    for (int t = 0; t < 28; ++t) EXPECT_EQ(RouteForTool(t), want[t]) << t;
    EXPECT_EQ(RouteForTool(99), R::Move);
    EXPECT_EQ(RouteForTool(-1), R::Move);
    const int shapes[][2] = {{18, 0}, {19, 1}, {20, 6}, {21, 3}, {22, 2}, {23, 4}, {24, 5}, {9, 0}};
    for (const auto& s : shapes) EXPECT_EQ(SelectionShapeForTool(s[0]), s[1]);
}

TEST(LightGizmo, HandlesAndDrags) {
    CanvasObject o;
    o.kind = kObjectLightCone;
    o.x = 0, o.y = 0, o.width = 200, o.height = 100;
    o.lightCone.lightX = -0.25f, o.lightCone.lightY = 0;
    o.lightCone.targetX = 0.25f, o.lightCone.targetY = 0;
    o.lightCone.height = 100, o.lightCone.coneAngle = 45;
    LightGizmoGeometry g = ComputeLightGizmo(o, 1, 0, 0);
    EXPECT_NEAR(g.lightX, 50, 1e-3);
    EXPECT_NEAR(g.targetX, 150, 1e-3);
    EXPECT_NEAR(g.thirdX, 250, 1e-2);  // footprint radius tan(45) * 100
    EXPECT_TRUE(g.coneShown);
    EXPECT_EQ(PickLightHandle(g, 150, 50, 11), 2);
    EXPECT_EQ(PickLightHandle(g, 59, 50, 11), 1);
    EXPECT_EQ(PickLightHandle(g, 250, 60, 11), 3);
    EXPECT_EQ(PickLightHandle(g, 100, 50, 11), 0);

    // A stored angle of 0.2 degrees draws as 0.5; a footprint under a pixel cannot be picked.
    o.lightCone.coneAngle = 0.2f;
    o.lightCone.height = 1;
    g = ComputeLightGizmo(o, 1, 0, 0);
    EXPECT_FALSE(g.coneShown);
    EXPECT_EQ(PickLightHandle(g, g.thirdX, g.thirdY, 11), 2);  // the target is tested first

    // Moving the light moves the target by the same amount.
    const LightConeParams p = o.lightCone;
    LightConeParams n = ApplyLightDrag(p, 1, -40, 10, 200, 100);
    EXPECT_NEAR(n.lightX, -0.2f, 1e-6);
    EXPECT_NEAR(n.targetX - n.lightX, p.targetX - p.lightX, 1e-6);
    EXPECT_NEAR(n.targetY, 0.1f, 1e-6);
    // The cone angle stays within 1 .. 85 degrees.
    EXPECT_FLOAT_EQ(ApplyLightDrag(p, 3, 1e6f, 0, 200, 100).coneAngle, 85);
    EXPECT_FLOAT_EQ(ApplyLightDrag(p, 3, 50, 0, 200, 100).coneAngle, 1);
}
