#include "FilterTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace {

TEST(BevelShading, ProfilesAndTables) {
    EXPECT_NEAR(BevelSlopeBall(0), 3.0424f, 1e-4f);
    EXPECT_NEAR(BevelSlopeBall(1), 0.0f, 1e-6f);
    EXPECT_NEAR(BevelSlopeSmooth(0), 1.5707964f, 1e-6f);
    EXPECT_NEAR(BevelSlopeSloped(0), 0.0f, 1e-6f);
    EXPECT_NEAR(BevelSlopeSloped(0.5f), 1.5707964f, 1e-6f);
    EXPECT_NEAR(BevelSlopeSloped(1), 0.0f, 1e-6f);

    const BevelSlopeTable custom = BuildBevelSlopeTable(kBevelCustom, DefaultBevelCurve());
    ASSERT_EQ(custom.size(), size_t(kBevelSlopeTableSize));
    for (float v : custom) ASSERT_NEAR(v, 1.0f, 1e-3f);  // the default curve is Flat
    EXPECT_EQ(BuildBevelSlopeTable(7, {}), BuildBevelSlopeTable(kBevelFlat, {}));
    // An overshooting middle point clamps to 1: zero slope there.
    const BevelSlopeTable over = BuildBevelSlopeTable(kBevelCustom, {{0, 0}, {0.5f, 1}, {0.6f, 1}, {1, 1}});
    EXPECT_EQ(over[560], 0.0f);

    const BevelSlopeTable smooth = BuildBevelSlopeTable(kBevelSmooth, {});
    EXPECT_EQ(BevelSlopeAt(smooth, 8, 8), smooth[1023]);
    const float near0 = BevelSlopeAt(smooth, 0.001f, 8);
    EXPECT_LT(near0, smooth[0]);
    EXPECT_GT(near0, smooth[1]);
}

TEST(BevelShading, CurveEvaluation) {
    struct Case {
        std::vector<CurvePoint> points;
        float x, expected;
    } cases[] = {
        {{}, 0.3f, 0},
        {{{0.5f, 1.4f}}, 0.1f, 1},
        {{{0.3f, 0.7f}, {1, 1}}, 0.2f, 0.7f},
        {{{0, 0}, {1, 1}}, 0.25f, 0.25f},
        {{{0, 0.2f}, {0.5f, 0.4f}, {0.5000001f, 0.9f}, {1, 1}}, 0.5f, 0.4f},  // taken by the segment ending there
    };
    for (const Case& c : cases) EXPECT_NEAR(EvaluateCurve(c.points, c.x), c.expected, 1e-6f) << c.x;
    const std::vector<float> s = SampleCurve({{0, 0}, {1, 1}}, 1);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[1], 1.0f);
}

TEST(BevelShading, LightShadeAndColour) {
    const BevelLight L = BevelLightVector(135);
    EXPECT_NEAR(L.x, -0.5793f, 1e-4f);
    EXPECT_NEAR(L.y, -0.5793f, 1e-4f);
    EXPECT_NEAR(L.z, 0.5735f, 1e-4f);
    for (float strength : {0.0f, 0.5f, 1.0f}) EXPECT_EQ(BevelShadeByte(BevelShadeValue(0, 0, L, strength)), 128);
    EXPECT_EQ(BevelShadeByte(-1), 1);
    EXPECT_EQ(BevelShadeByte(1), 255);
    EXPECT_EQ(BevelShadeValue(-100, -100, L, 2), 1.0f);  // clamped
    for (int c : {0, 77, 255}) {
        EXPECT_EQ(ShadeColorChannel(uint8_t(c), 1), 255);
        EXPECT_EQ(ShadeColorChannel(uint8_t(c), -1), 0);
        EXPECT_EQ(ShadeColorChannel(uint8_t(c), 0), c);
    }
    const float column[3] = {1, 2, 4};
    const DistanceGradientAt g = DistanceGradient(column, 1, 3, 0, 0);
    EXPECT_EQ(g.gx, 0);
    EXPECT_EQ(g.gy, 0.5f);  // one-sided at the border, still halved
}

// A 20 x 20 opaque square of mid grey on a 30 x 30 transparent field.
BitmapPtr GreySquare() { return RectOnClear(30, 30, 5, 5, 25, 25, 0xFF808080); }

// Brightness of the inner band on the left and right edges of the square
// (x = sx + 1 and x = ex - 2 at the middle row, in output pixels).
void ExpectLitUpperLeft(const Bitmap& out, int left, int right, int mid, const char* what) {
    EXPECT_GT(Ch(out, left, mid, 0), 0x80) << what;
    EXPECT_LT(Ch(out, right, mid, 0), 0x80) << what;
    EXPECT_GT(Ch(out, mid, left, 0), 0x80) << what;
    EXPECT_LT(Ch(out, mid, right, 0), 0x80) << what;
}

// Sampling along an outline takes every tap up to 64 a side and spreads at
// most that many evenly over any longer reach, the pixel itself included, so
// a record of any size costs a bounded time per pixel.
TEST(BevelShading, ContourTapsStayBoundedForAnyReach) {
    for (int r : {1, 8, 50, 64, 65, 129, 300, 5793, 1 << 20}) {
        const int stride = ContourTapStride(r);
        // The whole reach, and a reach clipped by the image on one side.
        for (auto [lo0, hi0] : {std::pair{-r, r}, std::pair{-r / 3 - 1, r}}) {
            int lo = lo0, hi = hi0;
            ContourStrideRange(stride, r, lo, hi);
            int taps = 0;
            bool centre = false;
            for (int l = lo; l <= hi; l += stride) {
                ASSERT_EQ(l % stride, 0) << r;
                ASSERT_TRUE(l >= lo0 && l <= hi0) << r << " " << l;
                centre |= l == 0;
                ++taps;
            }
            EXPECT_TRUE(centre) << r;
            EXPECT_LE(taps, 2 * kContourTapsPerSide + 1) << r;
            if (r <= kContourTapsPerSide) {
                EXPECT_EQ(taps, hi0 - lo0 + 1) << r;
            } else if (lo0 == -r) {
                EXPECT_GE(taps, kContourTapsPerSide + 1) << r;  // spread over the whole reach
            }
        }
    }
}

TEST(GaussianBevel, ShadesInsideAndKeepsAlpha) {
    const BitmapPtr src = GreySquare();
    FilterRun r = RunFilter<GaussianBevelParams>(kEffectGaussianBevel, *src, [](auto& p) { p.softness = 0; });
    ASSERT_TRUE(r.out);
    EXPECT_EQ(r.ox, 0);
    ExpectLitUpperLeft(*r.out, 6, 23, 15, "gaussian");
    EXPECT_EQ(r.out->Pixel(15, 15), 0xFF808080u);  // farther than b from the edge: level
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            ASSERT_EQ(Alpha(*r.out, x, y), Alpha(*src, x, y));
            if (!Alpha(*src, x, y)) {
                ASSERT_EQ(r.out->Pixel(x, y), src->Pixel(x, y));
            }
        }
    const FilterRun reverse =
        RunFilter<GaussianBevelParams>(kEffectGaussianBevel, *src, [](auto& p) { p.angle = 315; });
    EXPECT_LT(Ch(*reverse.out, 6, 15, 0), 0x80);
    const FilterRun clamped =
        RunFilter<GaussianBevelParams>(kEffectGaussianBevel, *src, [](auto& p) { p.strength = 2.5f; });
    const FilterRun full = RunFilter<GaussianBevelParams>(kEffectGaussianBevel, *src, [](auto& p) { p.strength = 1; });
    EXPECT_TRUE(SamePixels(*clamped.out, *full.out));
    for (auto edit : {+[](GaussianBevelParams& p) { p.width = 0.49f; }, +[](GaussianBevelParams& p) { p.strength = 0; }})
        EXPECT_TRUE(SamePixels(*RunFilter<GaussianBevelParams>(kEffectGaussianBevel, *src, edit).out, *src));
}

TEST(InnerBevel, BandInsideTheOutline) {
    const BitmapPtr src = GreySquare();
    FilterRun r = RunFilter<InnerBevelParams>(kEffectInnerBevel, *src, [](auto& p) { p.softness = 0; });
    ASSERT_TRUE(r.out);
    ExpectLitUpperLeft(*r.out, 6, 23, 15, "inner bevel");
    EXPECT_EQ(r.out->Pixel(15, 15), 0xFF808080u);  // deeper than the width
    r = RunFilter<InnerBevelParams>(kEffectInnerBevel, *src, [](auto& p) { p.softness = 3; });
    ExpectLitUpperLeft(*r.out, 6, 23, 15, "smoothed inner bevel");
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(Alpha(*r.out, x, y), Alpha(*src, x, y));
    // Width 1: no pixel lies nearer than 1 to the edge, so nothing changes.
    for (float width : {0.9f, 1.0f})
        EXPECT_TRUE(SamePixels(*RunFilter<InnerBevelParams>(kEffectInnerBevel, *src, [&](auto& p) {
                                    p.width = width;
                                }).out,
                                *src));
    // A fully opaque image is bevelled along the image border.
    const BitmapPtr opaque = SolidBitmap(12, 12, 0xFF808080);
    r = RunFilter<InnerBevelParams>(kEffectInnerBevel, *opaque, [](auto& p) { p.softness = 0; });
    EXPECT_GT(Ch(*r.out, 1, 6, 0), 0x80);
}

TEST(Emboss, RingAroundTheObject) {
    const BitmapPtr src = RectOnClear(100, 50, 0, 0, 100, 50, 0xFF808080);
    FilterRun r = RunFilter<EmbossParams>(kEffectEmboss, *src);
    ASSERT_TRUE(r.out);
    EXPECT_EQ(r.out->Width(), 132);
    EXPECT_EQ(r.out->Height(), 82);
    EXPECT_EQ(r.ox, -16);
    EXPECT_EQ(r.oy, -16);
    // White above and left, black below and right; the object unchanged.
    EXPECT_EQ(Ch(*r.out, 13, 41, 0), 255);
    EXPECT_GT(Alpha(*r.out, 13, 41), 0);
    EXPECT_EQ(Ch(*r.out, 118, 41, 0), 0);
    EXPECT_GT(Alpha(*r.out, 118, 41), 0);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) ASSERT_EQ(r.out->Pixel(x + 16, y + 16), src->Pixel(x, y));

    // Softness 0: no blur, a border of u pixels; a pixel at distance u is not shaded.
    r = RunFilter<EmbossParams>(kEffectEmboss, *src, [](auto& p) { p.softness = 0; });
    EXPECT_EQ(r.ox, -8);
    EXPECT_EQ(r.out->Pixel(0, 41), 0u);
    EXPECT_GT(Alpha(*r.out, 7, 41), 0);

    const BitmapPtr clear = SolidBitmap(5, 5, 0x00808080);
    r = RunFilter<EmbossParams>(kEffectEmboss, *clear);
    EXPECT_EQ(r.out->Width(), 5 + 32);
    for (int y = 0; y < r.out->Height(); ++y)
        for (int x = 0; x < r.out->Width(); ++x) ASSERT_EQ(Alpha(*r.out, x, y), 0);
    for (auto edit : {+[](EmbossParams& p) { p.width = 0.4f; }, +[](EmbossParams& p) { p.strength = 0; }}) {
        r = RunFilter<EmbossParams>(kEffectEmboss, *src, edit);
        EXPECT_TRUE(SamePixels(*r.out, *src));
        EXPECT_EQ(r.ox, 0);
    }
}

TEST(OuterBevel, RimColourCoverageAndShading) {
    // A 10 x 10 opaque square, width 3, no smoothing: pad 3, 16 x 16.
    const BitmapPtr src = SolidBitmap(10, 10, 0xFF808080);
    FilterRun r = RunFilter<OuterBevelParams>(kEffectOuterBevel, *src, [](auto& p) {
        p.width = 3;
        p.softness = 0;
        p.useObjectColor = false;
        p.color = 0xFFEB2020;
    });
    ASSERT_EQ(r.out->Width(), 16);
    EXPECT_EQ(r.ox, -3);
    EXPECT_EQ(r.out->Pixel(0, 8), 0x80EB2020u);  // D = d: unshaded, half coverage
    EXPECT_GT(Ch(*r.out, 2, 8, 2), 0xEB);        // left rim faces the light
    EXPECT_LT(Ch(*r.out, 13, 8, 2), 0xEB);       // right rim faces away
    EXPECT_EQ(Alpha(*r.out, 13, 8), 255);

    // Object colour: the rim takes the object's edge colour; a half-transparent
    // object pixel ends up opaque over the rim's base.
    const BitmapPtr half = SolidBitmap(6, 6, 0x80FF0000);
    r = RunFilter<OuterBevelParams>(kEffectOuterBevel, *half, [](auto& p) { p.softness = 0; });
    EXPECT_EQ(Alpha(*r.out, 8 + 3, 8 + 3), 255);
    EXPECT_EQ(Ch(*r.out, 8 + 3, 8 + 3, 2), 255);
    EXPECT_EQ(Ch(*r.out, 3, 8 + 3, 1), Ch(*r.out, 3, 8 + 3, 0));  // red lightened evenly towards white

    r = RunFilter<OuterBevelParams>(kEffectOuterBevel, *src);
    EXPECT_EQ(r.out->Width(), 10 + 32);
    EXPECT_EQ(r.ox, -16);
    for (auto edit : {+[](OuterBevelParams& p) { p.width = 0.4f; }, +[](OuterBevelParams& p) { p.strength = 0; }})
        EXPECT_TRUE(SamePixels(*RunFilter<OuterBevelParams>(kEffectOuterBevel, *src, edit).out, *src));
}

TEST(BevelFilters, ForeignRecordsGiveNothing) {
    const BitmapPtr src = GreySquare();
    EffectParams foreign;
    foreign.Set(BlurParams{});
    for (uint8_t type : {kEffectGaussianBevel, kEffectInnerBevel, kEffectOuterBevel, kEffectEmboss, kEffectGlow,
                         kEffectInnerGlow, kEffectDropShadow, kEffectInnerShadow, kEffectNewtonianShadow,
                         kEffectKaleidoscopeBlur, kEffectMotionBlur, kEffectGaussianBlur}) {
        float ox = 1, oy = 1;
        EXPECT_EQ(FindEffectTypeInfo(type).apply(*src, foreign, ox, oy), nullptr) << int(type);
        EXPECT_EQ(ox, 0);
    }
}

}  // namespace
