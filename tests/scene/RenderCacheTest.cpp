#include "RenderTestScenes.h"

#include "scene/SceneRender.h"

#include <gtest/gtest.h>

using render_test::OneLayerScene;
using render_test::PixelObject;
using render_test::SolidObject;

namespace {

void Draw(CanvasDocument& scene) {
    CompositeSurface surface;
    ASSERT_TRUE(surface.Create(int(scene.width), int(scene.height)));
    sceneRender(surface, scene, nullptr);
}

}  // namespace

TEST(RenderCache, CopiesShareAndDropIndependently) {
    CanvasDocument scene;
    OneLayerScene(scene, 20, 20, {SolidObject("o", 0, 0, 10, 10, 0xFF102030)});
    Draw(scene);
    CanvasObject& o = scene.layers[0].objects[0];
    ASSERT_TRUE(o.caches.baseValid);
    const BitmapPtr base = o.caches.base;
    const BitmapPtr decoded = o.parts[0].decoded;
    ASSERT_TRUE(decoded);

    CanvasObject copy = o;
    EXPECT_EQ(copy.ComposeBitmap(), base);  // the copy draws from the shared image
    copy.InvalidateCaches();
    EXPECT_FALSE(copy.caches.base);
    EXPECT_EQ(o.caches.base, base);
    // Decoded part images survive: recomposing does not decode again.
    EXPECT_EQ(copy.parts[0].decoded, decoded);
    EXPECT_NE(copy.ComposeBitmap(), base);
    EXPECT_EQ(copy.parts[0].decoded, decoded);
}

TEST(RenderCache, QuadChangeRewarpsAndRemasksWithoutRecomposing) {
    CanvasDocument scene;
    // Left half opaque, mask hides the bottom half.
    CanvasObject o = PixelObject("o", 0, 0, 16, 16, [](int c, int) { return c < 8 ? 0xFFFFFFFFu : 0x00000000u; });
    o.maskWidth = o.maskHeight = 2;
    o.maskPixels = {255, 255, 0, 0};
    o.maskEnabled = true;
    o.warp = Quad{0.25f, 0, 1.25f, 0, 1.25f, 1, 0.25f, 1};
    OneLayerScene(scene, 40, 40, {o});
    Draw(scene);
    CanvasObject& obj = scene.layers[0].objects[0];
    const BitmapPtr base = obj.caches.base, warp1 = obj.caches.warp, masked1 = obj.caches.masked;
    ASSERT_TRUE(base && warp1 && masked1);
    EXPECT_EQ(obj.caches.maskedSource, warp1);

    // Same bounding-box size, different placement of the image inside it.
    obj.warp = Quad{0.25f, 0, 1.25f, 0, 1.25f, 1, 0.25f, 1};
    obj.warp.x0 = obj.warp.x3 = 0.5f;  // now spans 0.5 .. 1.25: a narrower box
    Draw(scene);
    EXPECT_EQ(obj.caches.base, base);
    EXPECT_NE(obj.caches.warp, warp1);
    EXPECT_EQ(obj.caches.maskedSource, obj.caches.warp);

    // A flip that keeps the box size exactly: the mask result must follow.
    obj.warp = Quad{1.25f, 0, 0.25f, 0, 0.25f, 1, 1.25f, 1};
    Draw(scene);
    ASSERT_EQ(obj.caches.warp->Width(), warp1->Width());
    EXPECT_NE(obj.caches.masked, masked1);
    EXPECT_EQ(obj.caches.maskedSource, obj.caches.warp);
    // Flipped: the opaque half is now on the right of the masked image's top row.
    const Bitmap& m = *obj.caches.masked;
    EXPECT_EQ(m.Pixel(1, 1) >> 24, 0u);
    EXPECT_EQ(m.Pixel(m.Width() - 2, 1) >> 24, 255u);
    EXPECT_EQ(m.Pixel(m.Width() - 2, m.Height() - 2) >> 24, 0u);  // masked half

    // Drawing again reuses every stage.
    const BitmapPtr warp3 = obj.caches.warp, masked3 = obj.caches.masked;
    Draw(scene);
    EXPECT_EQ(obj.caches.warp, warp3);
    EXPECT_EQ(obj.caches.masked, masked3);
}

TEST(RenderCache, LightRenderAndComposedPartsKeepSeparateSlots) {
    CanvasObject light;
    light.kind = kObjectLightCone;
    light.width = light.height = 12;
    const BitmapPtr render = light.GetLightConeBitmap();
    ASSERT_TRUE(render);
    const BitmapPtr composed = light.ComposeBitmap();  // what a thumbnail or hit test may ask for
    ASSERT_TRUE(composed);
    EXPECT_NE(composed, render);
    EXPECT_EQ(light.GetLightConeBitmap(), render);
    EXPECT_EQ(light.GetBaseBitmap(), render);
}

TEST(RenderCache, UndecodablePartContributesNothing) {
    CanvasObject o = SolidObject("o", 0, 0, 4, 4, 0xFF00FF00);
    ImagePart broken = o.parts[0];
    broken.id = "image_2";
    broken.encoded = {1, 2, 3};
    broken.z = 1;
    o.parts.push_back(broken);
    BitmapPtr b = o.ComposeBitmap();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->Pixel(2, 2), 0xFF00FF00u);
}
