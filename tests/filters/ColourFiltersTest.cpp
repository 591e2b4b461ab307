#include "FilterTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// One pixel of every kind the colour filters must treat alike: opaque,
// half-transparent and fully transparent (whose colour bytes are mapped too).
BitmapPtr ColourFixture() {
    BitmapPtr b = Bitmap::Create(4, 1);
    b->SetPixel(0, 0, 0xFFFF0000);  // opaque red
    b->SetPixel(1, 0, 0x80406080);
    b->SetPixel(2, 0, 0x00FFFFFF);  // transparent white
    b->SetPixel(3, 0, 0xFF3F40BF);
    return b;
}

TEST(BrightnessContrast, TableCasesAndClamping) {
    uint8_t t[256];
    BuildBrightnessContrastTable(0, 0, t);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(t[i], i);
    struct Case {
        float b, c;
        int i, expected;
    } cases[] = {{1, 0, 0, 255},    {-1, 0, 255, 0},  {0, -1, 0, 128},  {0, -1, 255, 128}, {0, 1, 63, 0},
                 {0, 1, 64, 1},     {0, 1, 191, 255}, {3, 0, 0, 255},   {0, -2, 17, 128}};
    for (const Case& c : cases) {
        BuildBrightnessContrastTable(c.b, c.c, t);
        EXPECT_EQ(t[c.i], c.expected) << c.b << " " << c.c << " " << c.i;
    }
    const BitmapPtr src = ColourFixture();
    const FilterRun r = RunFilter<BrightnessContrastParams>(kEffectBrightnessContrast, *src,
                                                            [](auto& p) { p.contrast = 1; });
    ASSERT_TRUE(r.out);
    EXPECT_EQ(r.ox, 0);
    EXPECT_EQ(r.out->Pixel(3, 0), 0xFF0001FFu);  // 63 -> 0, 64 -> 1, 191 -> 255
    EXPECT_EQ(r.out->Pixel(2, 0), 0x00FFFFFFu);  // transparent, colour mapped, alpha kept
    EXPECT_EQ(Alpha(*r.out, 1, 0), 0x80);
}

TEST(ColorFill, OpacityWeightsAndIgnoredAlphaByte) {
    const BitmapPtr src = SolidBitmap(2, 1, 0x80FFFFFF);
    struct Case {
        float opacity;
        uint32_t colour, expected;
    } cases[] = {
        {0, 0xFF123456, 0x80FFFFFF},
        {1, 0x00123456, 0x80123456},  // alpha byte of the colour has no effect
        {0.5f, 0xFF000000, 0x80808080},
        {7, 0xFF102030, 0x80102030},
    };
    for (const Case& c : cases) {
        const FilterRun r = RunFilter<ColorFillParams>(kEffectColorFill, *src, [&](auto& p) {
            p.opacity = c.opacity;
            p.colour = c.colour;
        });
        ASSERT_TRUE(r.out);
        EXPECT_EQ(r.out->Pixel(1, 0), c.expected) << c.opacity;
    }
}

TEST(Invert, TwiceRestoresAndAnyRecordWorks) {
    const BitmapPtr src = ColourFixture();
    EffectParams foreign;
    foreign.Set(GlowParams{});
    float ox = 5, oy = 5;
    const BitmapPtr once = ApplyInvert(*src, foreign, ox, oy);
    ASSERT_TRUE(once);
    EXPECT_EQ(ox, 0);
    EXPECT_EQ(once->Pixel(0, 0), 0xFF00FFFFu);
    EXPECT_EQ(once->Pixel(2, 0), 0x00000000u);
    const BitmapPtr twice = ApplyInvert(*once, foreign, ox, oy);
    EXPECT_TRUE(SamePixels(*twice, *src));
}

TEST(HueSaturation, Cases) {
    const BitmapPtr src = ColourFixture();
    EXPECT_TRUE(SamePixels(*RunFilter<HueSaturationParams>(kEffectHueSaturation, *src).out, *src));
    EXPECT_TRUE(SamePixels(
        *RunFilter<HueSaturationParams>(kEffectHueSaturation, *src, [](auto& p) { p.hue = 0.0005f; }).out, *src));
    struct Case {
        float hue, sat, light;
        uint8_t colorize;
        uint32_t in, expected;
    } cases[] = {
        {180, 0, 0, 0, 0xFFFF0000, 0xFF00FFFF},    // red to cyan
        {200, 0, 0, 0, 0xFFFF0000, 0xFF00FFFF},    // clamped to 180
        {0, -1, 0, 0, 0xFFFF0000, 0xFF808080},     // grey: L = 0.5
        {0, 0, 1, 0, 0xFFFF0000, 0xFFFFFFFF},      // L >= 0.5 goes white
        {-180, 1, 0, 1, 0xFF808080, 0xFFFF0101},   // colorize towards red, full saturation
        {0, 1, 0, 1, 0xFF808080, 0xFF01FFFF},      // towards cyan
        {0, 0, 0, 1, 0xFF646464, 0xFF329696},      // saturation 0 colorizes at 0.5
        {0, 0, 0, 0, 0x00000000, 0x00000000},
        {180, 0, 0, 0, 0x000000FF, 0x00FFFF00},    // transparent pixels converted too
    };
    for (const Case& c : cases) {
        const BitmapPtr in = SolidBitmap(1, 1, c.in);
        const FilterRun r = RunFilter<HueSaturationParams>(kEffectHueSaturation, *in, [&](auto& p) {
            p.hue = c.hue;
            p.saturation = c.sat;
            p.lightness = c.light;
            p.colorize = c.colorize;
        });
        ASSERT_TRUE(r.out);
        EXPECT_EQ(r.out->Pixel(0, 0), c.expected) << std::hex << c.in << std::dec << " hue " << c.hue;
    }
    float r, g, b;
    HslToRgb(0.5f, 1, 0.5f, r, g, b);
    EXPECT_FLOAT_EQ(r, 0);
    EXPECT_FLOAT_EQ(g, 1);
    EXPECT_FLOAT_EQ(b, 1);
}

TEST(Levels, CurvesAndComposition) {
    uint8_t t[256];
    struct Case {
        LevelsChannel curve;
        int i, expected;
    } cases[] = {
        {{0, 255, 1, 255, 0}, 0, 255},  {{0, 255, 1, 255, 0}, 200, 55}, {{100, 100, 1, 0, 255}, 101, 255},
        {{100, 100, 1, 0, 255}, 100, 0}, {{0, 255, 2, 0, 255}, 64, 128}, {{0, 255, 0, 0, 255}, 128, 0},
    };
    for (const Case& c : cases) {
        BuildLevelsLut(c.curve, t);
        EXPECT_EQ(t[c.i], c.expected) << c.curve.inputLow << " " << c.curve.gamma << " " << c.i;
    }
    uint8_t high[256];
    BuildLevelsLut({0, 255, 50, 0, 255}, t);
    BuildLevelsLut({0, 255, 9.99f, 0, 255}, high);
    EXPECT_TRUE(std::equal(t, t + 256, high));
    const BitmapPtr src = ColourFixture();
    EXPECT_TRUE(SamePixels(*RunFilter<LevelsParams>(kEffectLevels, *src, [](auto& p) { p.channel = 2; }).out, *src));
    // Red below 128 goes to 0 first, then the RGB curve inverts every channel.
    const FilterRun r = RunFilter<LevelsParams>(kEffectLevels, *src, [](auto& p) {
        p.red.inputLow = 128;
        p.rgb.outputLow = 255;
        p.rgb.outputHigh = 0;
    });
    EXPECT_EQ(r.out->Pixel(3, 0), 0xFFFFBF40u);  // red 63 -> 0 -> 255; green 64 -> 191; blue 191 -> 64
    EXPECT_EQ(r.out->Pixel(1, 0), 0x80FF9F7Fu);  // alpha kept
}

TEST(ColourFilters, ForeignRecordsAndEmptySourcesGiveNothing) {
    const BitmapPtr src = ColourFixture();
    EffectParams foreign;
    foreign.Set(MotionBlurParams{});
    for (uint8_t type : {kEffectBrightnessContrast, kEffectColorFill, kEffectHueSaturation, kEffectLevels}) {
        float ox = 1, oy = 1;
        EXPECT_EQ(FindEffectTypeInfo(type).apply(*src, foreign, ox, oy), nullptr) << int(type);
        EXPECT_EQ(ox, 0);
    }
}

}  // namespace
