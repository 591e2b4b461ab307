#include "FilterTestUtil.h"

#include <gtest/gtest.h>

namespace {

TEST(DropShadow, MarginsFollowDirectionAndSize) {
    struct Case {
        int w, h;
        float distance, angle, softness;
        int outW, outH;
        float ox, oy;
    } cases[] = {
        {100, 50, 0.04f, 315, 0.03f, 106, 56, 0, 0},  // dp 4, sp 3, dx = dy = 3
        {100, 50, 0.04f, 135, 0.03f, 106, 56, -6, -6},
        {200, 100, 0, 315, 0.05f, 220, 120, -10, -10},
        {200, 100, -0.1f, 315, 0.05f, 220, 120, -10, -10},  // negative distance: no offset
    };
    for (const Case& c : cases) {
        const BitmapPtr src = SolidBitmap(c.w, c.h, 0xFFFFFFFF);
        const FilterRun r = RunFilter<DropShadowParams>(kEffectDropShadow, *src, [&](auto& p) {
            p.distance = c.distance;
            p.angle = c.angle;
            p.softness = c.softness;
        });
        ASSERT_TRUE(r.out);
        EXPECT_EQ(r.out->Width(), c.outW);
        EXPECT_EQ(r.out->Height(), c.outH);
        EXPECT_EQ(r.ox, c.ox);
        EXPECT_EQ(r.oy, c.oy);
    }
}

TEST(DropShadow, HardShadowGolden) {
    // 4 x 4 white, distance 2 px at 315 degrees (dx = dy = 1), no blur.
    const BitmapPtr src = SolidBitmap(4, 4, 0xFFFFFFFF);
    for (uint32_t colour : {0xFF000000u, 0x00000000u}) {  // the colour's alpha byte has no effect
        const FilterRun r = RunFilter<DropShadowParams>(kEffectDropShadow, *src, [&](auto& p) {
            p.distance = 0.5f;
            p.softness = 0;
            p.colour = colour;
        });
        ASSERT_EQ(r.out->Width(), 5);
        EXPECT_EQ(r.out->Pixel(4, 4), 0x99000000u);  // 255 x 0.6
        EXPECT_EQ(r.out->Pixel(4, 0), 0u);
        EXPECT_EQ(r.out->Pixel(0, 4), 0u);
        EXPECT_EQ(r.out->Pixel(3, 3), 0xFFFFFFFFu);
    }
    const BitmapPtr wide = SolidBitmap(100, 50, 0xFFFFFFFF);
    const FilterRun none = RunFilter<DropShadowParams>(kEffectDropShadow, *wide, [](auto& p) { p.opacity = 0; });
    EXPECT_EQ(none.out->Width(), 106);  // still enlarged, the margin transparent
    EXPECT_EQ(none.out->Pixel(105, 55), 0u);
}

TEST(InnerShadow, BandAlongFacingEdgesAndCopies) {
    const BitmapPtr src = SolidBitmap(10, 10, 0xFFFFFFFF);
    FilterRun r = RunFilter<InnerShadowParams>(kEffectInnerShadow, *src, [](auto& p) {
        p.distance = 0.4f;
        p.softness = 0.4f;
    });
    EXPECT_TRUE(SamePixels(*r.out, *src));
    // Softness 0, distance 4 at 315 degrees: dx = dy = 3, full shadow in a
    // three-pixel band along the left and top edges.
    r = RunFilter<InnerShadowParams>(kEffectInnerShadow, *src, [](auto& p) {
        p.softness = 0;
        p.opacity = 1;
        p.colour = 0xFF0000FF;
    });
    EXPECT_EQ(r.ox, 0);
    EXPECT_EQ(r.out->Pixel(2, 6), 0xFF0000FFu);
    EXPECT_EQ(r.out->Pixel(6, 2), 0xFF0000FFu);
    EXPECT_EQ(r.out->Pixel(3, 6), 0xFFFFFFFFu);
    EXPECT_EQ(r.out->Pixel(9, 9), 0xFFFFFFFFu);
    // Distance 0 shades every edge; transparent pixels keep alpha 0.
    const BitmapPtr square = RectOnClear(8, 8, 2, 2, 6, 6, 0xFFFFFFFF);
    r = RunFilter<InnerShadowParams>(kEffectInnerShadow, *square, [](auto& p) { p.distance = 0; });
    EXPECT_LT(Ch(*r.out, 2, 4, 0), 255);
    EXPECT_LT(Ch(*r.out, 5, 4, 0), 255);
    EXPECT_EQ(Alpha(*r.out, 2, 4), 255);
    EXPECT_EQ(Alpha(*r.out, 0, 0), 0);
}

TEST(Glow, BandStrengthByDistance) {
    const BitmapPtr dot = SolidBitmap(1, 1, 0xFFFFFFFF);
    const FilterRun r = RunFilter<GlowParams>(kEffectGlow, *dot, [](auto& p) {
        p.opacity = 1;
        p.colour = 0x00FF0000;  // alpha byte ignored: an opaque red band
    });
    ASSERT_EQ(r.out->Width(), 9);
    EXPECT_EQ(r.ox, -4);
    EXPECT_EQ(r.out->Pixel(4, 1), 0xFFFF0000u);  // distance 3
    EXPECT_EQ(r.out->Pixel(0, 4), 0x80FF0000u);  // distance 4: half strength
    EXPECT_EQ(r.out->Pixel(1, 1), 0x42FF0000u);  // distance 4.24: a quarter of the ramp
    EXPECT_EQ(r.out->Pixel(0, 0), 0u);           // distance 5.66: beyond wd + 0.5
    EXPECT_EQ(r.out->Pixel(4, 4), 0xFFFFFFFFu);  // the object on top
}

TEST(Glow, CopiesAndEdgeCases) {
    const BitmapPtr src = RectOnClear(4, 4, 1, 1, 3, 3, 0xFF00FF00);
    FilterRun r = RunFilter<GlowParams>(kEffectGlow, *src, [](auto& p) { p.width = 0; });
    EXPECT_TRUE(SamePixels(*r.out, *src));
    EXPECT_EQ(r.ox, 0);
    r = RunFilter<GlowParams>(kEffectGlow, *src, [](auto& p) { p.width = 0.3f; });
    EXPECT_EQ(r.out->Width(), 6);  // pad 1, but the band at distance 1 is 0
    EXPECT_EQ(r.out->Pixel(1, 3), 0u);
    const BitmapPtr clear = SolidBitmap(3, 3, 0x00FFFFFF);
    r = RunFilter<GlowParams>(kEffectGlow, *clear);
    for (int y = 0; y < r.out->Height(); ++y)
        for (int x = 0; x < r.out->Width(); ++x) ASSERT_EQ(Alpha(*r.out, x, y), 0);
}

TEST(InnerGlow, OuterRingAndCopies) {
    const BitmapPtr src = SolidBitmap(5, 5, 0xFFFFFFFF);
    FilterRun r = RunFilter<InnerGlowParams>(kEffectInnerGlow, *src, [](auto& p) { p.width = 0.9f; });
    EXPECT_TRUE(SamePixels(*r.out, *src));
    r = RunFilter<InnerGlowParams>(kEffectInnerGlow, *src, [](auto& p) {
        p.width = 1;
        p.opacity = 1;
        p.colour = 0xFF000000;
    });
    // The border ring (distance 1) gets G = 128: (255 x 127 + 128) / 255 = 127.
    EXPECT_EQ(r.out->Pixel(0, 2), 0xFF7F7F7Fu);
    EXPECT_EQ(r.out->Pixel(4, 4), 0xFF7F7F7Fu);
    EXPECT_EQ(r.out->Pixel(1, 2), 0xFFFFFFFFu);
    // Half-transparent pixels get a weaker band; alpha never changes.
    const BitmapPtr half = SolidBitmap(3, 3, 0x80FFFFFF);
    r = RunFilter<InnerGlowParams>(kEffectInnerGlow, *half, [](auto& p) {
        p.opacity = 1;
        p.colour = 0xFF000000;
    });
    EXPECT_EQ(r.out->Pixel(1, 1), 0x807F7F7Fu);  // G = 128 (full band x 128/255)
}

TEST(NewtonianShadow, OutputGeometry) {
    const BitmapPtr src = SolidBitmap(100, 200, 0xFF808080);
    FilterRun r = RunFilter<NewtonianShadowParams>(kEffectNewtonianShadow, *src);
    ASSERT_TRUE(r.out);
    EXPECT_EQ(r.out->Width(), 300);
    EXPECT_EQ(r.out->Height(), 244);
    EXPECT_EQ(r.ox, -44);
    EXPECT_EQ(r.oy, -44);
    // The output never reaches below the object.
    EXPECT_EQ(r.out->Height() + r.oy, 200);
    EXPECT_EQ(r.out->Pixel(44 + 50, 243), 0xFF808080u);

    const float base = r.ox;
    r = RunFilter<NewtonianShadowParams>(kEffectNewtonianShadow, *src, [](auto& p) { p.tilt = -65; });
    EXPECT_LT(r.ox, base);  // leans and grows to the left
    r = RunFilter<NewtonianShadowParams>(kEffectNewtonianShadow, *src, [](auto& p) { p.length = 2; });
    EXPECT_EQ(r.out->Height() + r.oy, 200);
    EXPECT_EQ(r.oy, -(200 + 44));  // the tip lies h above the object's top

    for (auto edit : {+[](NewtonianShadowParams& p) { p.length = 0.0005f; },
                      +[](NewtonianShadowParams& p) { p.opacity = 0.0005f; }}) {
        r = RunFilter<NewtonianShadowParams>(kEffectNewtonianShadow, *src, edit);
        EXPECT_TRUE(SamePixels(*r.out, *src));
        EXPECT_EQ(r.ox, 0);
    }
}

TEST(NewtonianShadow, RectangleOutlineSquashesTheSilhouette) {
    // Tilt 0, spread 1: the outline is the rectangle x 4..14, y 9..14 (linear case).
    const BitmapPtr src = SolidBitmap(10, 10, 0xFFFFFFFF);
    std::vector<uint8_t> plane(18 * 14, 0);
    RasterizeShadowQuad(*src, 4, 14, 14, 14, 4, 9, 14, 9, 18, 0, 17, 0, 13, plane.data());
    EXPECT_EQ(plane[11 * 18 + 8], 255);
    EXPECT_EQ(plane[8 * 18 + 8], 0);   // above the tip
    EXPECT_EQ(plane[11 * 18 + 2], 0);  // left of the outline
    EXPECT_EQ(plane[9 * 18 + 4], 255);
}

}  // namespace
