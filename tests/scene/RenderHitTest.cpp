#include "RenderTestScenes.h"

#include "scene/ObjectRender.h"

#include <gtest/gtest.h>

using render_test::OneLayerScene;
using render_test::PixelObject;
using render_test::SolidObject;

TEST(RenderGeometry, RotatedObjectMapsAndBounds) {
    CanvasObject o;
    o.x = 100;
    o.y = 100;
    o.width = 200;
    o.height = 100;
    o.rotation = 90;
    const ScenePoint c = o.LocalToCanvas({0, 0});
    EXPECT_NEAR(c.x, 250, 1e-3);
    EXPECT_NEAR(c.y, 50, 1e-3);
    const ScenePoint back = o.CanvasToLocal(c);
    EXPECT_NEAR(back.x, 0, 1e-3);
    EXPECT_NEAR(back.y, 0, 1e-3);
    const SceneRect b = o.GetBounds();
    EXPECT_NEAR(b.x, 150, 1e-3);
    EXPECT_NEAR(b.y, 50, 1e-3);
    EXPECT_NEAR(b.width, 100, 1e-3);
    EXPECT_NEAR(b.height, 200, 1e-3);
}

TEST(RenderGeometry, OutlineIncludesEdgesAndTheWarp) {
    CanvasObject o;
    o.x = 10;
    o.y = 10;
    o.width = 100;
    o.height = 50;
    EXPECT_TRUE(o.ContainsPoint({110, 35}));  // right edge
    EXPECT_FALSE(o.ContainsPoint({110.5f, 35}));
    // Corners pulled out to the right: the bounds and the outline follow.
    o.warp.x1 = 1.5f;
    o.warp.x2 = 1.5f;
    const SceneRect b = o.GetBounds();
    EXPECT_NEAR(b.width, 150, 1e-3);
    EXPECT_TRUE(o.ContainsPoint({140, 35}));
    EXPECT_FALSE(o.ContainsPoint({170, 35}));
}

TEST(RenderHit, AlphaDecidesAndFallsBackToTheTopOutline) {
    CanvasDocument scene;
    // Left column opaque, middle alpha 10, next alpha 9, the rest transparent.
    CanvasObject top = PixelObject("top", 0, 0, 40, 40, [](int c, int) -> uint32_t {
        if (c < 10) return 0xFF0000FF;
        if (c < 20) return 0x0A0000FF;
        if (c < 30) return 0x090000FF;
        return 0;
    }, 2);
    CanvasObject below = SolidObject("below", 35, 0, 10, 10, 0xFF00FF00, 1);
    OneLayerScene(scene, 100, 100, {top, below});
    EXPECT_EQ(scene.HitTest({5, 5}), "top");
    EXPECT_EQ(scene.HitTest({15, 5}), "top");    // alpha 10
    EXPECT_EQ(scene.HitTest({25, 5}), "top");    // alpha 9: nothing opaque below, falls back
    EXPECT_EQ(scene.HitTest({37, 5}), "below");  // transparent top over an opaque object
    EXPECT_EQ(scene.HitTest({37, 20}), "top");
    EXPECT_EQ(scene.HitTest({60, 60}), "");
    CanvasObject* t = &scene.layers[0].objects[0];
    EXPECT_TRUE(t->HitTestPixel({15, 5}));
    EXPECT_FALSE(t->HitTestPixel({25, 5}));
}

TEST(RenderHit, OutsideTheCanvasOnlyOutlinesCountAndLocksExclude) {
    CanvasDocument scene;
    OneLayerScene(scene, 100, 100, {SolidObject("edge", -20, 0, 40, 40, 0x00000000)});
    EXPECT_EQ(scene.HitTest({-5, 10}), "edge");  // transparent, but outside the canvas
    scene.layers[0].objects[0].locked = true;
    EXPECT_EQ(scene.HitTest({5, 10}), "");
    scene.layers[0].objects[0].locked = false;
    scene.layers[0].locked = true;
    EXPECT_EQ(scene.HitTest({5, 10}), "");
}

TEST(RenderHit, HitTestOnAWarpedObjectReadsTheUnwarpedPixel) {
    // Left half opaque; the quad shifts the image right by its full width.
    CanvasObject o = PixelObject("o", 0, 0, 20, 10, [](int c, int) { return c < 10 ? 0xFFFFFFFFu : 0u; });
    o.warp = Quad{1, 0, 2, 0, 2, 1, 1, 1};
    EXPECT_FALSE(o.HitTestPixel({5, 5}));
    EXPECT_TRUE(o.HitTestPixel({25, 5}));
    EXPECT_FALSE(o.HitTestPixel({35, 5}));
}

TEST(RenderHit, FindObjectBelowSkipsClippedAndHidden) {
    CanvasDocument scene;
    CanvasObject a = SolidObject("a", 0, 0, 4, 4, 0xFFFFFFFF, 0);
    CanvasObject b = SolidObject("b", 0, 0, 4, 4, 0xFFFFFFFF, 1);
    CanvasObject c = SolidObject("c", 0, 0, 4, 4, 0xFFFFFFFF, 2);
    b.clipToLayerBelow = c.clipToLayerBelow = true;
    OneLayerScene(scene, 10, 10, {c, b, a});
    Layer upper;
    upper.id = "layer_2";
    upper.order = 2;
    CanvasObject d = SolidObject("d", 0, 0, 4, 4, 0xFFFFFFFF, 0);
    d.clipToLayerBelow = true;
    upper.objects.push_back(d);
    scene.layers.push_back(upper);
    auto below = [&](const char* id) -> std::string {
        for (Layer& l : scene.layers)
            for (CanvasObject& o : l.objects)
                if (o.id == id) {
                    CanvasObject* r = scene.FindObjectBelow(o);
                    return r ? r->id : "";
                }
        return "?";
    };
    EXPECT_EQ(below("a"), "");
    EXPECT_EQ(below("b"), "a");
    EXPECT_EQ(below("c"), "a");
    EXPECT_EQ(below("d"), "a");  // across layers
    scene.layers[1].visible = false;
    EXPECT_EQ(below("d"), "");
}
