#include "RenderTestScenes.h"

#include "filters/EffectRegistry.h"
#include "scene/SceneCompose.h"
#include "scene/SceneRender.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using render_test::OneLayerScene;
using render_test::PixelObject;
using render_test::SolidObject;

namespace {

// Both compositors' results as straight 0xAARRGGBB per pixel.
struct Pictures {
    std::vector<uint32_t> live, software;
    int w = 0;
    uint32_t Live(int x, int y) const { return live[size_t(y * w + x)]; }
    uint32_t Soft(int x, int y) const { return software[size_t(y * w + x)]; }
};

uint32_t Unpremultiply(const uint8_t* p) {
    const uint32_t a = p[3];
    if (a == 0) return 0;
    auto ch = [a](uint8_t v) { return std::min<uint32_t>(255, (uint32_t(v) * 255 + a / 2) / a); };
    return a << 24 | ch(p[2]) << 16 | ch(p[1]) << 8 | ch(p[0]);
}

Pictures Render(CanvasDocument& scene, ScenePaintSession* session = nullptr) {
    const int w = int(scene.width), h = int(scene.height);
    Pictures out;
    out.w = w;
    CompositeSurface surface;
    EXPECT_TRUE(surface.Create(w, h));
    sceneRender(surface, scene, session);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.live.push_back(Unpremultiply(surface.Row(y) + 4 * x));
    std::vector<uint8_t> bytes(size_t(w) * size_t(h) * 4);
    scene_compose(scene, ComposeOutput{bytes.data(), w, h, int64_t(w) * 4});
    for (size_t i = 0; i < bytes.size(); i += 4)
        out.software.push_back(uint32_t(bytes[i + 3]) << 24 | uint32_t(bytes[i + 2]) << 16 |
                               uint32_t(bytes[i + 1]) << 8 | bytes[i]);
    return out;
}

int MaxChannelDiff(uint32_t a, uint32_t b) {
    int d = 0;
    for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)));
    return d;
}

}  // namespace

TEST(RenderCompose, EmptySceneIsTheCanvasColourStraight) {
    CanvasDocument scene;
    OneLayerScene(scene, 8, 6, {}, 0x80FF4000);
    const Pictures p = Render(scene);
    EXPECT_EQ(p.Soft(0, 0), 0x80FF4000u);
    EXPECT_EQ(p.Soft(7, 5), 0x80FF4000u);
    EXPECT_LE(MaxChannelDiff(p.Live(3, 3), 0x80FF4000u), 2);
}

TEST(RenderCompose, CompositorsAgreeOnAxisAlignedScenes) {
    CanvasDocument scene;
    CanvasObject red = SolidObject("red", 4, 4, 20, 16, 0xFFE02010, 0);
    red.opacity = 0.5f;
    CanvasObject multiply = PixelObject("mul", 12, 10, 20, 20,
                                        [](int c, int r) { return 0xFF000000u | uint32_t(c * 12) << 8 | uint32_t(r * 12); }, 1);
    multiply.blendMode = 4;  // Multiply
    CanvasObject masked = SolidObject("masked", 30, 2, 8, 8, 0xFF2080F0, 2);
    masked.maskWidth = masked.maskHeight = 8;
    masked.maskEnabled = true;
    masked.maskPixels.assign(64, 0);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 4; ++c) masked.maskPixels[size_t(r * 8 + c)] = 255;
    OneLayerScene(scene, 40, 32, {masked, multiply, red}, 0xFF808080);
    const Pictures p = Render(scene);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_LE(MaxChannelDiff(p.Live(x, y), p.Soft(x, y)), 2)
                << x << "," << y << " live " << std::hex << p.Live(x, y) << " soft " << p.Soft(x, y);
    EXPECT_EQ(p.Soft(35, 5), 0xFF808080u);  // masked-out half of the masked object
}

TEST(RenderCompose, WhereTheCompositorsDiffer) {
    CanvasDocument scene;
    // A warp moves the object right on screen; the software compositor ignores it.
    CanvasObject warped = SolidObject("w", 0, 0, 10, 10, 0xFF0000FF, 0);
    warped.warp = Quad{1, 0, 2, 0, 2, 1, 1, 1};
    // A light cone's mask plane only applies in the software compositor.
    CanvasObject light;
    light.id = "light";
    light.kind = kObjectLightCone;
    light.x = 0;
    light.y = 20;
    light.width = light.height = 10;
    light.z = 1;
    light.lightCone.amount = 0;  // ambient grey everywhere
    light.maskWidth = light.maskHeight = 1;
    light.maskPixels = {0};
    light.maskEnabled = true;
    OneLayerScene(scene, 30, 30, {light, warped}, 0xFFFFFFFF);
    const Pictures p = Render(scene);
    EXPECT_EQ(p.Soft(5, 5), 0xFF0000FFu);
    EXPECT_EQ(p.Soft(15, 5), 0xFFFFFFFFu);
    EXPECT_LE(MaxChannelDiff(p.Live(5, 5), 0xFFFFFFFFu), 1);
    EXPECT_LE(MaxChannelDiff(p.Live(15, 5), 0xFF0000FFu), 1);
    EXPECT_EQ(p.Soft(5, 25), 0xFFFFFFFFu);  // masked away
    EXPECT_LE(MaxChannelDiff(p.Live(5, 25), 0xFF808080u), 1);  // the light shows
}

TEST(RenderCompose, DissolveDithersOnlyOnScreen) {
    CanvasDocument scene;
    CanvasObject o = SolidObject("d", 0, 0, 32, 32, 0xFF000000, 0);
    o.blendMode = 2;  // Dissolve
    o.opacity = 0.5f;
    OneLayerScene(scene, 32, 32, {o}, 0xFFFFFFFF);
    const Pictures p = Render(scene);
    int black = 0, white = 0;
    for (int y = 2; y < 30; ++y)
        for (int x = 2; x < 30; ++x) {
            EXPECT_LE(MaxChannelDiff(p.Soft(x, y), 0xFF808080u), 1);
            black += p.Live(x, y) == 0xFF000000u;
            white += p.Live(x, y) == 0xFFFFFFFFu;
        }
    EXPECT_EQ(black + white, 28 * 28);
    EXPECT_GT(black, 28 * 28 / 3);
    EXPECT_GT(white, 28 * 28 / 3);
}

TEST(RenderCompose, ClipToLayerBelowFollowsTheBaseShape) {
    for (float rotation : {0.0f, 90.0f}) {
        CanvasDocument scene;
        // Base: top half opaque green (rotated by 90 degrees it becomes the right half).
        CanvasObject base = PixelObject("base", 10, 10, 20, 20,
                                        [](int, int r) { return r < 10 ? 0xFF00FF00u : 0u; }, 0);
        base.rotation = rotation;
        CanvasObject clipped = SolidObject("clip", 0, 0, 40, 40, 0xFFFF0000, 1);
        clipped.clipToLayerBelow = true;
        OneLayerScene(scene, 40, 40, {clipped, base}, 0xFFFFFFFF);
        // A base in a lower layer clips as well.
        Layer lower;
        lower.id = "layer_0";
        lower.order = 0;
        lower.objects.push_back(scene.layers[0].objects[1]);
        scene.layers[0].objects.pop_back();
        scene.layers.insert(scene.layers.begin(), lower);
        const Pictures p = Render(scene);
        const int inX = rotation == 0 ? 20 : 25, inY = rotation == 0 ? 15 : 20;
        const int outX = rotation == 0 ? 20 : 15, outY = rotation == 0 ? 25 : 20;
        for (const Pictures* q : {&p}) {
            EXPECT_EQ(q->Soft(inX, inY), 0xFFFF0000u) << rotation;
            EXPECT_EQ(q->Soft(outX, outY), 0xFFFFFFFFu) << rotation;
            EXPECT_EQ(q->Soft(2, 2), 0xFFFFFFFFu) << rotation;
            EXPECT_LE(MaxChannelDiff(q->Live(inX, inY), 0xFFFF0000u), 1) << rotation;
            EXPECT_LE(MaxChannelDiff(q->Live(outX, outY), 0xFFFFFFFFu), 1) << rotation;
            EXPECT_LE(MaxChannelDiff(q->Live(2, 2), 0xFFFFFFFFu), 1) << rotation;
        }
    }
}

TEST(RenderCompose, ClippedObjectWithoutCoverageIsHidden) {
    CanvasDocument scene;
    CanvasObject first = SolidObject("first", 0, 0, 10, 10, 0xFFFF0000, 0);
    first.clipToLayerBelow = true;  // nothing below it
    OneLayerScene(scene, 10, 10, {first}, 0xFFFFFFFF);
    Pictures p = Render(scene);
    EXPECT_EQ(p.Soft(5, 5), 0xFFFFFFFFu);
    EXPECT_EQ(p.Live(5, 5), 0xFFFFFFFFu);

    // A base whose image cannot be made (a side beyond the caps) covers
    // nothing on screen; the software compositor refuses such a scene
    // rather than give a picture with objects missing.
    CanvasObject base = SolidObject("base", 0, 0, 10, 10, 0xFF00FF00, 0);
    base.width = 40000;
    base.x = -20000;
    first.z = 1;
    OneLayerScene(scene, 10, 10, {first, base}, 0xFFFFFFFF);
    p = Render(scene);
    EXPECT_EQ(p.Live(5, 5), 0xFFFFFFFFu);
    std::vector<uint8_t> bytes(400);
    EXPECT_FALSE(scene_compose(scene, ComposeOutput{bytes.data(), 10, 10, 40}));
}

namespace {

class FakeSession : public ScenePaintSession {
public:
    std::string id = "painted";
    int draws = 0;
    float w = 0, h = 0;
    bool IsActive() const override { return true; }
    const std::string& PaintedObjectId() const override { return id; }
    int CanvasWidth() const override { return 12; }
    int CanvasHeight() const override { return 8; }
    void DrawLayer(CompositeRenderer&, CompositeSurface&, CanvasObject&, float, float, float dw, float dh,
                   bool plain) override {
        ++draws;
        w = dw;
        h = dh;
        EXPECT_FALSE(plain);
    }
};

}  // namespace

TEST(RenderCompose, PaintSessionReplacesItsObjectOnScreenOnly) {
    CanvasDocument scene;
    OneLayerScene(scene, 12, 8, {SolidObject("painted", 0, 0, 12, 8, 0xFF0000FF)}, 0xFFFFFFFF);
    FakeSession session;
    const Pictures p = Render(scene, &session);
    EXPECT_EQ(session.draws, 1);
    EXPECT_EQ(session.w, 12);
    EXPECT_EQ(session.h, 8);
    EXPECT_EQ(p.Live(5, 5), 0xFFFFFFFFu);     // the object itself is not drawn
    EXPECT_EQ(p.Soft(5, 5), 0xFF0000FFu);     // the software compositor shows no session
}

TEST(RenderCompose, HugeBlendedObjectCostsOnlyTheCanvas) {
    // A frozen light render stretched to 30000 x 30000 and turned: its
    // rotated bounds exceed every bitmap cap, the part on the canvas still draws.
    CanvasDocument scene;
    CanvasObject light;
    light.id = "light";
    light.kind = kObjectLightCone;
    light.width = light.height = 64;
    light.lightCone.amount = 0;  // uniform ambient grey
    light.blendMode = 4;         // Multiply
    ASSERT_TRUE(light.GetLightConeBitmap());
    light.x = light.y = -15000;
    light.width = light.height = 30000;
    light.rotation = 45;
    OneLayerScene(scene, 16, 16, {light}, 0xFFFFFFFF);
    ScaleDragActive = true;
    CompositeSurface surface;
    ASSERT_TRUE(surface.Create(16, 16));
    sceneRender(surface, scene, nullptr);
    ScaleDragActive = false;
    const uint32_t px = Unpremultiply(surface.Row(8) + 32);
    EXPECT_LE(MaxChannelDiff(px, 0xFF808080u), 1) << std::hex << px;
}

// The export's picture: a scene nobody has drawn is drawn object by object
// and left with no images in its caches; one the display has drawn keeps its
// caches as they were. Padded output rows give the same picture.
TEST(RenderCompose, SceneImageHoldsOnlyTheObjectItDraws) {
    CanvasDocument scene;
    CanvasObject base = SolidObject("base", 2, 2, 12, 10, 0xFF20A040, 0);
    base.warp = Quad{0, 0, 1.2f, 0.1f, 1, 1, -0.1f, 0.9f};
    base.effects.push_back(MakeEffectInstance(kEffectDropShadow));
    base.maskWidth = base.maskHeight = 2;
    base.maskPixels = {255, 0, 255, 255};
    base.maskEnabled = true;
    CanvasObject clipped = SolidObject("clipped", 6, 4, 12, 12, 0xFFE03010, 1);
    clipped.clipToLayerBelow = true;
    clipped.blendMode = 4;  // Multiply
    clipped.effects.push_back(MakeEffectInstance(kEffectInvert));
    OneLayerScene(scene, 20, 18, {clipped, base}, 0xFFFFFFFF);

    std::vector<uint8_t> cold(20 * 18 * 4), padded(24 * 18 * 4), warm(20 * 18 * 4);
    std::string error = "stale";
    ASSERT_TRUE(RenderSceneImage(scene, ComposeOutput{cold.data(), 20, 18, 80}, &error));
    EXPECT_EQ(error, "");
    for (const CanvasObject& o : scene.layers[0].objects) {
        const ObjectRenderCaches& c = o.caches;
        EXPECT_FALSE(c.base || c.baseValid || c.warp || c.warpValid || c.masked || c.maskedValid || c.effect ||
                     c.effectValid)
            << o.id;
        for (const ImagePart& p : o.parts) EXPECT_FALSE(p.decoded || p.decodeTried || p.argb) << o.id;
    }

    ASSERT_TRUE(RenderSceneImage(scene, ComposeOutput{padded.data(), 20, 18, 96}));
    for (int y = 0; y < 18; ++y)
        EXPECT_TRUE(std::equal(cold.begin() + y * 80, cold.begin() + y * 80 + 80, padded.begin() + y * 96)) << y;

    CompositeSurface surface;
    ASSERT_TRUE(surface.Create(20, 18));
    sceneRender(surface, scene, nullptr);
    const ObjectRenderCaches before = scene.layers[0].objects[1].caches;
    ASSERT_TRUE(before.effect && before.warp && before.masked);
    ASSERT_TRUE(RenderSceneImage(scene, ComposeOutput{warm.data(), 20, 18, 80}));
    const ObjectRenderCaches& after = scene.layers[0].objects[1].caches;
    EXPECT_EQ(after.base, before.base);
    EXPECT_EQ(after.warp, before.warp);
    EXPECT_EQ(after.masked, before.masked);
    EXPECT_EQ(after.effect, before.effect);
    EXPECT_EQ(warm, cold);
    // Straight alpha of what the display drew.
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 20; ++x) {
            const uint8_t* p = warm.data() + 4 * (y * 20 + x);
            const uint32_t straight = uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            ASSERT_EQ(Unpremultiply(surface.Row(y) + 4 * x), straight) << x << "," << y;
        }
}
