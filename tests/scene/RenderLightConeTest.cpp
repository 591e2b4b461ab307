#include "scene/LightCone.h"
#include "scene/ObjectRender.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

bool SamePixels(const Bitmap& a, const Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
}

int LitRun(const Bitmap& b, int x0, int y0, int dx, int dy) {
    const uint32_t ambient = b.Pixel(0, 0);
    int n = 0;
    for (int x = x0, y = y0; x >= 0 && y >= 0 && x < b.Width() && y < b.Height(); x += dx, y += dy, ++n)
        if (b.Pixel(x, y) == ambient) break;
    return n;
}

}  // namespace

TEST(RenderLightCone, DefaultPoolCentreRimAndAmbient) {
    BitmapPtr b = RenderLightCone(LightConeParams{}, 400, 400);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->Pixel(200, 200), 0xFFFFFFFFu);  // on the axis: tint + ambient, clamped
    EXPECT_EQ(b->Pixel(0, 0), 0xFF808080u);      // 0.5 x 255 + 0.5
    // Radius 200 x tan 25 degrees = 93.3: lit at 93, ambient from 94 on.
    EXPECT_NE(b->Pixel(293, 200), 0xFF808080u);
    EXPECT_EQ(b->Pixel(294, 200), 0xFF808080u);
    // The fade: brighter towards the axis, near ambient at the rim.
    const uint32_t mid = b->Pixel(280, 200) & 0xFF, rim = b->Pixel(293, 200) & 0xFF;
    EXPECT_GT(mid, rim);
    EXPECT_LT(mid, 255u);
    EXPECT_LE(rim, 130u);
    for (int y = 0; y < 400; y += 7)
        for (int x = 0; x < 400; x += 7) ASSERT_EQ(b->Pixel(x, y) >> 24, 0xFFu);
}

TEST(RenderLightCone, ParameterEdges) {
    LightConeParams p;
    p.amount = 0;
    BitmapPtr b = RenderLightCone(p, 64, 48);
    EXPECT_EQ(b->Pixel(32, 24), 0xFF808080u);
    p = {};
    p.ambient = 1;
    b = RenderLightCone(p, 64, 48);
    EXPECT_EQ(b->Pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(b->Pixel(32, 24), 0xFFFFFFFFu);

    auto render = [](auto edit) {
        LightConeParams q;
        q.height = 20;
        edit(q);
        return RenderLightCone(q, 80, 60);
    };
    EXPECT_TRUE(SamePixels(*render([](LightConeParams& q) { q.coneAngle = 0; }),
                           *render([](LightConeParams& q) { q.coneAngle = 0.5f; })));
    EXPECT_TRUE(SamePixels(*render([](LightConeParams& q) { q.coneAngle = 90; }),
                           *render([](LightConeParams& q) { q.coneAngle = 89; })));
    EXPECT_TRUE(SamePixels(*render([](LightConeParams& q) { q.tint = 0x00FF8040; }),
                           *render([](LightConeParams& q) { q.tint = 0xFFFF8040; })));
    // Rounded sizes; sizes beyond the caps and NaN fail cleanly.
    b = RenderLightCone(LightConeParams{}, 10.5f, 0.2f);
    EXPECT_EQ(b->Width(), 11);
    EXPECT_EQ(b->Height(), 1);
    EXPECT_FALSE(RenderLightCone(LightConeParams{}, 1e9f, 10));
    EXPECT_FALSE(RenderLightCone(LightConeParams{}, NAN, 10));
}

TEST(RenderLightCone, TiltedAxisStretchesThePoolTowardsTheTarget) {
    LightConeParams p;
    p.height = 60;
    p.targetX = 0.2f;  // 80 pixels right of the light's foot
    BitmapPtr b = RenderLightCone(p, 400, 400);
    // Lit reach from the axis hit point, rightwards versus downwards.
    const int cx = 200 + 80;
    EXPECT_GT(LitRun(*b, cx, 200, 1, 0) + LitRun(*b, cx, 200, -1, 0), LitRun(*b, cx, 200, 0, 1) * 2 + 4);
}

TEST(RenderLightCone, CachedInItsOwnSlot) {
    CanvasObject o;
    o.kind = kObjectLightCone;
    o.width = 30.4f;
    o.height = 20.5f;
    BitmapPtr b = o.GetLightConeBitmap();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->Width(), 30);
    EXPECT_EQ(b->Height(), 21);
    EXPECT_EQ(o.GetLightConeBitmap(), b);
    EXPECT_EQ(o.caches.light, b);
    EXPECT_FALSE(o.caches.base);
    // A new rounded size renders again.
    o.width = 40;
    EXPECT_NE(o.GetLightConeBitmap(), b);
    CanvasObject plain;
    EXPECT_FALSE(plain.GetLightConeBitmap());
}
