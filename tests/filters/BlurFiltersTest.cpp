#include "FilterTestUtil.h"
#include "platform/CpuLevel.h"

#include <gtest/gtest.h>

#include <random>

namespace {

BitmapPtr RandomBitmap(int w, int h, unsigned seed) {
    BitmapPtr b = Bitmap::Create(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t p = rng();
            const int pick = int(rng() % 4);  // plenty of alpha 0 and 255
            if (pick == 0) p &= 0x00FFFFFFu;
            if (pick == 1) p |= 0xFF000000u;
            b->SetPixel(x, y, p);
        }
    return b;
}

TEST(BlurFilters, SizesOffsetsAndCopies) {
    struct Case {
        uint8_t type;
        float radius;
        int w, h, outW, outH;
        float offset;
    } cases[] = {
        {kEffectBlur, 0.05f, 200, 100, 220, 120, -10}, {kEffectGaussianBlur, 0.05f, 200, 100, 220, 120, -10},
        {kEffectBlur, 0.002f, 200, 100, 200, 100, 0},  {kEffectGaussianBlur, 0, 20, 10, 20, 10, 0},
        {kEffectBlur, -1, 20, 10, 20, 10, 0},
    };
    for (const Case& c : cases) {
        const BitmapPtr src = SolidBitmap(c.w, c.h, 0xFF336699);
        const FilterRun r = c.type == kEffectBlur
                                ? RunFilter<BlurParams>(c.type, *src, [&](auto& p) { p.radius = c.radius; })
                                : RunFilter<GaussianBlurParams>(c.type, *src, [&](auto& p) { p.radius = c.radius; });
        ASSERT_TRUE(r.out);
        EXPECT_EQ(r.out->Width(), c.outW);
        EXPECT_EQ(r.out->Height(), c.outH);
        EXPECT_EQ(r.ox, c.offset);
        EXPECT_EQ(r.oy, c.offset);
        if (c.offset == 0) {
            EXPECT_TRUE(SamePixels(*r.out, *src));
        } else {
            // Opaque interior, soft edge fading into the border, colour kept.
            // (The recursive Gaussian truncates, so a flat colour may lose a level.)
            for (int ch = 0; ch < 4; ++ch)
                EXPECT_NEAR(Ch(*r.out, c.outW / 2, c.outH / 2, ch), Ch(*src, 0, 0, ch), 1) << ch;
            EXPECT_EQ(Alpha(*r.out, 0, 0), 0);
            EXPECT_GT(Alpha(*r.out, 10, c.outH / 2), 0);
            EXPECT_LT(Alpha(*r.out, 10, c.outH / 2), 255);
        }
    }
}

TEST(BlurFilters, TransparentNeighboursTakeTheColourNotDarkness) {
    BitmapPtr src = Bitmap::Create(10, 1);
    src->SetPixel(5, 0, 0xFFFF0000);
    for (uint8_t type : {kEffectBlur, kEffectGaussianBlur}) {
        EffectInstance e = MakeEffectInstance(type);
        float ox, oy;
        const BitmapPtr out = FindEffectTypeInfo(type).apply(*src, e.params, ox, oy);  // r = 1
        ASSERT_TRUE(out);
        EXPECT_EQ(ox, -1);
        const int x = 5 + 1 + 1, y = 1;  // right-hand neighbour, middle row
        EXPECT_GT(Alpha(*out, x, y), 0);
        EXPECT_LT(Alpha(*out, x, y), 255);
        EXPECT_EQ(Ch(*out, x, y, 2), 255) << int(type);
        EXPECT_EQ(Ch(*out, x, y, 1), 0);
    }
}

TEST(KaleidoscopeBlur, SmearsAlongContoursAndKeepsAlphaAndRidges) {
    // Opaque 7 x 3: the top row's red grows as 5 x^2; the contour through
    // (3, 0) runs along the row, so with r = 2 it averages x = 1..5.
    BitmapPtr src = SolidBitmap(7, 3, 0xFF000000);
    for (int x = 0; x < 7; ++x) src->SetPixel(x, 0, 0xFF000000u | uint32_t(5 * x * x) << 16);
    FilterRun r = RunFilter<KaleidoscopeBlurParams>(kEffectKaleidoscopeBlur, *src, [](auto& p) { p.width = 2; });
    ASSERT_TRUE(r.out);
    EXPECT_EQ(r.ox, 0);
    EXPECT_EQ(Ch(*r.out, 3, 0, 2), (5 + 20 + 45 + 80 + 125) / 5);
    EXPECT_EQ(Ch(*r.out, 3, 1, 2), 0);  // middle row: a ridge of the distance field stays

    // A tall opaque image: its middle column is a ridge and stays.
    BitmapPtr tall = RandomBitmap(5, 9, 3);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 5; ++x) tall->SetPixel(x, y, tall->Pixel(x, y) | 0xFF000000u);
    r = RunFilter<KaleidoscopeBlurParams>(kEffectKaleidoscopeBlur, *tall, [](auto& p) { p.width = 3; });
    EXPECT_EQ(r.out->Pixel(2, 4), tall->Pixel(2, 4));
    EXPECT_NE(r.out->Pixel(0, 4), tall->Pixel(0, 4));

    // Transparent pixels and alpha never change; width 0.4 is an exact copy.
    tall = RandomBitmap(5, 9, 4);
    r = RunFilter<KaleidoscopeBlurParams>(kEffectKaleidoscopeBlur, *tall, [](auto& p) { p.width = 3; });
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(Alpha(*r.out, x, y), Alpha(*tall, x, y));
            if (Alpha(*tall, x, y) == 0) {
                EXPECT_EQ(r.out->Pixel(x, y), tall->Pixel(x, y));
            }
        }
    r = RunFilter<KaleidoscopeBlurParams>(kEffectKaleidoscopeBlur, *tall, [](auto& p) { p.width = 0.4f; });
    EXPECT_TRUE(SamePixels(*r.out, *tall));
}

TEST(MotionBlur, GrowthAndTapCount) {
    struct Case {
        float angle, length;
        int px, py;
    } cases[] = {{0, 30, 15, 0}, {90, 30, 1, 15}, {180, 30, 15, 1}, {45, 10, 4, 4}, {0, 0.5f, 1, 0}, {0, 600, 250, 0}};
    const BitmapPtr src = SolidBitmap(6, 4, 0xFF808080);
    for (const Case& c : cases) {
        const FilterRun r = RunFilter<MotionBlurParams>(kEffectMotionBlur, *src, [&](auto& p) {
            p.angle = c.angle;
            p.length = c.length;
        });
        ASSERT_TRUE(r.out);
        EXPECT_EQ(r.out->Width(), 6 + 2 * c.px) << c.angle << " " << c.length;
        EXPECT_EQ(r.out->Height(), 4 + 2 * c.py) << c.angle << " " << c.length;
        EXPECT_EQ(r.ox, -c.px);
        EXPECT_EQ(r.oy, -c.py);
    }
    const FilterRun copy = RunFilter<MotionBlurParams>(kEffectMotionBlur, *src, [](auto& p) { p.length = 0.4f; });
    EXPECT_TRUE(SamePixels(*copy.out, *src));
    EXPECT_EQ(copy.ox, 0);

    // Length 0.5 at angle 0: three taps a quarter pixel apart, so the pixel
    // beyond the edge gets a quarter of the weight of one tap in three.
    const BitmapPtr one = SolidBitmap(1, 1, 0xFFFF0000);
    const FilterRun r = RunFilter<MotionBlurParams>(kEffectMotionBlur, *one, [](auto& p) { p.length = 0.5f; });
    EXPECT_EQ(r.out->Width(), 3);
    EXPECT_EQ(Alpha(*r.out, 0, 0), 21);  // 255 x 0.25 / 3 + 0.5
    EXPECT_EQ(r.out->Pixel(1, 0), 0xD5FF0000u);  // 255 x 2.5 / 3: red stays pure red
}

TEST(MotionBlur, TransparentStaysTransparentAndThinAlphaLosesColour) {
    const BitmapPtr clear = SolidBitmap(5, 5, 0x00FFFFFF);
    const FilterRun r = RunFilter<MotionBlurParams>(kEffectMotionBlur, *clear, [](auto& p) { p.angle = 30; });
    for (int y = 0; y < r.out->Height(); ++y)
        for (int x = 0; x < r.out->Width(); ++x) ASSERT_EQ(r.out->Pixel(x, y), 0u);
    // One opaque pixel smeared over 31 taps: mean alpha 255 / 31 stays above
    // 0.5 where the pixel is covered, 0 elsewhere.
    const BitmapPtr dot = RectOnClear(3, 1, 1, 0, 2, 1, 0xFF00FF00);
    const FilterRun d = RunFilter<MotionBlurParams>(kEffectMotionBlur, *dot);
    EXPECT_EQ(d.out->Pixel(16, 0), 0x0800FF00u);
    EXPECT_EQ(d.out->Pixel(0, 0), 0u);
}

TEST(MotionBlur, RowPathMatchesTheReferenceAtEveryCpuLevel) {
    const BitmapPtr src = RandomBitmap(23, 17, 7);
    ForEachCpuLevel([&](CpuLevel level) {
        SCOPED_TRACE(CpuLevelName(level));
        struct Case {
            float angle, length;
        } cases[] = {{0, 30}, {90, 7}, {33, 12.5f}, {-140, 40}, {200, 3}, {45, 1}};
        for (const Case& c : cases) {
            MotionBlurParams p;
            p.angle = c.angle;
            p.length = c.length;
            EffectParams ep;
            ep.Set(p);
            float ox, oy;
            const BitmapPtr fast = ApplyMotionBlur(*src, ep, ox, oy);
            ASSERT_TRUE(fast);
            const BitmapPtr ref = Bitmap::Create(fast->Width(), fast->Height());
            MotionBlurReference(*src, p, *ref);
            int worst = 0;
            for (int y = 0; y < ref->Height(); ++y)
                for (int x = 0; x < ref->Width(); ++x)
                    for (int ch = 0; ch < 4; ++ch)
                        worst = std::max(worst, std::abs(Ch(*fast, x, y, ch) - Ch(*ref, x, y, ch)));
            // The row path splits each tap before adding the pixel position, which
            // may move a rounding by one level, never more.
            EXPECT_LE(worst, 1) << c.angle << " " << c.length;
            // Every level gives the baseline's bytes.
            const BitmapPtr baseline = Bitmap::Create(fast->Width(), fast->Height());
            {
                ScopedCpuLevel hold(CpuLevel::Baseline);
                MotionBlurRows(*src, p, *baseline);
            }
            EXPECT_TRUE(SamePixels(*fast, *baseline));
        }
    });
}

}  // namespace
