// The software compositor's vector rows against its plain per-pixel form,
// its failures, and what it leaves in the render caches.
#include "RenderTestScenes.h"

#include "scene/BlendModes.h"
#include "scene/SceneCompose.h"
#include "scene/SceneRender.h"

#include <gtest/gtest.h>

#include <vector>

using render_test::OneLayerScene;
using render_test::PixelObject;
using render_test::SolidObject;

namespace {

// Deterministic pixels whose alpha is 0, 255 or anything in between, in
// runs and single pixels, so every sampling case (transparent texels beside
// opaque ones, partial alpha) comes up.
uint32_t NoisePixel(uint32_t seed, int c, int r) {
    uint32_t h = seed * 0x9E3779B1u ^ uint32_t(c) * 0x85EBCA6Bu ^ uint32_t(r) * 0xC2B2AE35u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    const uint32_t pick = (h >> 24) % 4;
    const uint32_t a = pick == 0 ? 0u : pick == 1 ? 255u : (h >> 16) & 0xFF;
    return a << 24 | (h & 0xFFFFFF);
}

CanvasObject NoiseObject(const std::string& id, float x, float y, int w, int h, uint32_t seed, int32_t z) {
    return PixelObject(id, x, y, w, h, [seed](int c, int r) { return NoisePixel(seed, c, r); }, z);
}

// Both forms over the same objects; the output has an odd size, a pitch
// wider than its rows and an origin off the pixel grid. With `warm` the
// objects' images are cached first, as after the display has drawn them:
// the vector rows then go band by band instead of object by object.
struct BothForms {
    std::vector<uint8_t> fast, reference;
};

BothForms ComposeBoth(const std::vector<CanvasObject*>& objects, uint32_t colour, int w, int h, float ox, float oy,
                      bool warm) {
    for (CanvasObject* o : objects) {
        if (warm) {
            EXPECT_TRUE(o->GetBaseBitmap());
        }
        EXPECT_EQ(o->caches.baseValid || o->caches.lightValid, warm);
    }
    const int64_t pitch = int64_t(w) * 4 + 12;
    BothForms r;
    r.fast.assign(size_t(pitch) * size_t(h), 0xAB);
    r.reference.assign(size_t(pitch) * size_t(h), 0xAB);
    EXPECT_TRUE(SceneComposeLayers(objects, colour, ox, oy, ComposeOutput{r.fast.data(), w, h, pitch}));
    EXPECT_TRUE(SceneComposeLayersReference(objects, colour, ox, oy, ComposeOutput{r.reference.data(), w, h, pitch}));
    return r;
}

// The first differing byte as "x,y channel", or "" when the images agree.
std::string FirstDifference(const BothForms& b, int w) {
    const size_t pitch = size_t(w) * 4 + 12;
    for (size_t i = 0; i < b.fast.size(); ++i)
        if (b.fast[i] != b.reference[i])
            return std::to_string(i % pitch / 4) + "," + std::to_string(i / pitch) + " channel " +
                   std::to_string(i % 4) + ": " + std::to_string(b.fast[i]) + " vs " +
                   std::to_string(b.reference[i]);
    return "";
}

}  // namespace

TEST(SceneComposeVector, MatchesTheReferenceByteForByteInEveryMode) {
    // Odd sizes (a single pixel, widths that leave 1 to 7 pixels after the
    // groups of eight), rotations, fractional places, partial opacity, a
    // mask plane, a clipped object and a translucent canvas.
    CanvasObject a = NoiseObject("a", 3.25f, -2.5f, 37, 23, 1, 0);
    CanvasObject b = NoiseObject("b", 20.6f, 9.1f, 13, 61, 2, 1);
    b.rotation = 30;
    b.opacity = 0.37f;
    CanvasObject c = NoiseObject("c", -4, 30, 1, 1, 3, 2);
    c.width = 9;  // one pixel stretched: every sample between texels
    c.height = 7.5f;
    CanvasObject d = NoiseObject("d", 40, 5, 29, 19, 4, 3);
    d.rotation = -117.3f;
    d.maskWidth = 5;
    d.maskHeight = 3;
    d.maskPixels = {0, 255, 128, 7, 255, 255, 0, 64, 200, 1, 99, 255, 0, 255, 30};
    d.maskEnabled = true;
    CanvasObject e = NoiseObject("e", 0, 0, 71, 47, 5, 4);
    e.clipToLayerBelow = true;
    e.rotation = 90;
    std::vector<CanvasObject*> objects{&a, &b, &c, &d, &e};
    for (bool warm : {false, true})
        for (int mode = 0; mode <= kBlendModeCount; ++mode) {
            for (CanvasObject* o : objects) o->blendMode = uint8_t(mode == kBlendModeCount ? 200 : mode);
            a.blendMode = 0;  // something under the others to blend with
            const BothForms r = ComposeBoth(objects, 0x80406080, 67, 45, -3.5f, 2.25f, warm);
            ASSERT_EQ(FirstDifference(r, 67), "") << "mode " << mode << (warm ? " cached" : "");
        }
}

TEST(SceneComposeVector, MatchesTheReferenceOverOddOutputsAndOpaqueCanvases) {
    CanvasObject big = NoiseObject("big", -10, -10, 90, 70, 9, 0);
    big.rotation = 12.5f;
    CanvasObject small = NoiseObject("small", 5, 5, 3, 2, 10, 1);
    small.blendMode = kBlendMultiply;
    std::vector<CanvasObject*> objects{&big, &small};
    const struct {
        int w, h;
        float ox, oy;
        uint32_t colour;
    } cases[] = {{1, 1, 7.5f, 7.5f, 0xFFFFFFFF}, {9, 3, 0, 0, 0x00000000}, {15, 31, -20, 3, 0xFF102030},
                 {64, 48, 0.5f, 0.5f, 0x01FFFFFF}};
    for (bool warm : {false, true})
        for (const auto& k : cases) {
            const BothForms r = ComposeBoth(objects, k.colour, k.w, k.h, k.ox, k.oy, warm);
            EXPECT_EQ(FirstDifference(r, k.w), "") << k.w << " x " << k.h << (warm ? " cached" : "");
            // Bytes past each row's end are not written.
            EXPECT_EQ(r.fast[size_t(k.w) * 4], 0xAB);
        }
}

TEST(SceneCompose, ReportsAnObjectThatCannotBeRendered) {
    for (bool asBase : {false, true}) {
        CanvasDocument scene;
        CanvasObject shown = SolidObject("shown", 0, 0, 10, 10, 0xFF00FF00, 0);
        CanvasObject huge = SolidObject("huge", -20000, 0, 10, 10, 0xFFFF0000, 1);
        huge.name = "Sky";
        huge.width = 40000;  // a side beyond the bitmap caps
        CanvasObject clipped = SolidObject("clipped", 0, 0, 10, 10, 0xFF0000FF, 2);
        clipped.clipToLayerBelow = true;
        std::vector<CanvasObject> objects{shown, huge};
        if (asBase) objects.push_back(clipped);
        OneLayerScene(scene, 10, 10, objects, 0xFFFFFFFF);
        std::vector<uint8_t> bytes(400);
        std::string error;
        EXPECT_FALSE(scene_compose(scene, ComposeOutput{bytes.data(), 10, 10, 40}, &error));
        EXPECT_EQ(error, "The object \"Sky\" is too large to render.");
        // Nothing the composition built is left behind.
        EXPECT_FALSE(scene.layers[0].objects[0].caches.base);
    }

    // The same object entirely off the output is not needed, so nothing fails.
    CanvasDocument scene;
    CanvasObject huge = SolidObject("huge", 0, 0, 10, 10, 0xFFFF0000, 0);
    huge.width = 40000;
    huge.x = 100;
    OneLayerScene(scene, 10, 10, {huge}, 0xFF123456);
    std::vector<uint8_t> bytes(400);
    std::string error = "stale";
    EXPECT_TRUE(scene_compose(scene, ComposeOutput{bytes.data(), 10, 10, 40}, &error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(bytes[0], 0x56);
}

TEST(SceneCompose, ReportsAnUnusableOutput) {
    CanvasDocument scene;
    OneLayerScene(scene, 10, 10, {});
    std::vector<uint8_t> bytes(400);
    std::string error;
    EXPECT_FALSE(scene_compose(scene, ComposeOutput{nullptr, 10, 10, 40}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(scene_compose(scene, ComposeOutput{bytes.data(), 10, 10, 39}, &error));  // pitch below a row
    EXPECT_FALSE(scene_compose(scene, ComposeOutput{bytes.data(), 40000, 1, 160000}, &error));
    EXPECT_EQ(error, "The image of 40000 x 1 pixels is too large to compose.");
}

TEST(SceneCompose, DropsTheCachesItBuiltAndKeepsThoseThatWereThere) {
    CanvasDocument scene;
    CanvasObject base = SolidObject("base", 0, 0, 8, 8, 0xFF00FF00, 0);
    CanvasObject clipped = SolidObject("clipped", 2, 2, 8, 8, 0xFFFF0000, 1);
    clipped.clipToLayerBelow = true;
    CanvasObject light;
    light.id = "light";
    light.kind = kObjectLightCone;
    light.x = light.y = 6;
    light.width = light.height = 6;
    light.z = 2;
    CanvasObject warm = SolidObject("warm", 4, 4, 6, 6, 0xFF0000FF, 3);
    OneLayerScene(scene, 12, 12, {base, clipped, light, warm});
    // Only the last object has been drawn before (as the canvas view would).
    CanvasObject& w = scene.layers[0].objects[3];
    const BitmapPtr warmBase = w.ComposeBitmap();
    ASSERT_TRUE(warmBase);
    const BitmapPtr warmDecoded = w.parts[0].decoded;

    std::vector<uint8_t> bytes(12 * 12 * 4);
    ASSERT_TRUE(scene_compose(scene, ComposeOutput{bytes.data(), 12, 12, 48}));
    EXPECT_EQ(bytes[4 * (1 * 12 + 1) + 1], 0xFF);  // the base was drawn
    for (int i = 0; i < 3; ++i) {
        const CanvasObject& o = scene.layers[0].objects[size_t(i)];
        EXPECT_FALSE(o.caches.base) << o.id;
        EXPECT_FALSE(o.caches.baseValid) << o.id;
        EXPECT_FALSE(o.caches.light) << o.id;
        EXPECT_FALSE(o.caches.lightValid) << o.id;
        for (const ImagePart& p : o.parts) {
            EXPECT_FALSE(p.decoded) << o.id;
            EXPECT_FALSE(p.decodeTried) << o.id;
            EXPECT_FALSE(p.argb) << o.id;
        }
    }
    EXPECT_EQ(w.caches.base, warmBase);
    EXPECT_TRUE(w.caches.baseValid);
    EXPECT_EQ(w.parts[0].decoded, warmDecoded);
    // The reference form leaves the caches the same way.
    ASSERT_TRUE(SceneComposeLayersReference({&scene.layers[0].objects[0], &scene.layers[0].objects[1], &w}, 0, 0, 0,
                                            ComposeOutput{bytes.data(), 12, 12, 48}));
    EXPECT_FALSE(scene.layers[0].objects[0].caches.base);
    EXPECT_EQ(w.caches.base, warmBase);
}
