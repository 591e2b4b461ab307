#include "properties/ColorWheelModel.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ColorConversion, HslToArgbTable) {
    struct Case {
        float h, s, l;
        uint32_t argb;
    } cases[] = {
        {200, 0.85f, 0.45f, 0xFF1193D4},  // channels truncated: 17, 147, 212
        {0, 1, 0.5f, 0xFFFF0000},   {120, 1, 0.5f, 0xFF00FF00}, {240, 1, 0.5f, 0xFF0000FF},
        {360, 1, 0.5f, 0xFFFF0000},  // a full turn is red again
        {-120, 1, 0.5f, 0xFF0000FF}, {0, 0, 0.5f, 0xFF7F7F7F},   {77, 0, 1, 0xFFFFFFFF},
        {77, 1, 0, 0xFF000000},
    };
    for (const Case& c : cases) EXPECT_EQ(HslToArgb(c.h, c.s, c.l), c.argb) << c.h << " " << c.s << " " << c.l;
}

TEST(ColorConversion, RgbToHslRoundTripsEveryCube) {
    // Every colour of a coarse RGB cube survives RGB -> HSL -> RGB within one
    // level (the forward conversion truncates).
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 17) {
                const Hsl h = RgbToHsl(uint8_t(r), uint8_t(g), uint8_t(b));
                ASSERT_GE(h.hue, 0.0f);
                ASSERT_LT(h.hue, 360.0f);
                const uint32_t c = HslToArgb(h.hue, h.saturation, h.lightness);
                EXPECT_NEAR(int((c >> 16) & 0xFF), r, 1);
                EXPECT_NEAR(int((c >> 8) & 0xFF), g, 1);
                EXPECT_NEAR(int(c & 0xFF), b, 1);
            }
    const Hsl grey = RgbToHsl(90, 90, 90);
    EXPECT_EQ(grey.hue, 0);
    EXPECT_EQ(grey.saturation, 0);
}

TEST(ColorWheelColor, SetHslWrapsAndClampsAndKeepsPrevious) {
    ColorWheelColor c;
    c.SetHsl(-30, 2, -1);
    EXPECT_FLOAT_EQ(c.hue, 330);
    EXPECT_EQ(c.saturation, 1);
    EXPECT_EQ(c.lightness, 0);
    EXPECT_FLOAT_EQ(c.prevHue, 200);
    c.SetHsl(-7200.5f, 0.5f, 0.5f);  // far below -3600 still lands in 0..360
    EXPECT_GE(c.hue, 0);
    EXPECT_LT(c.hue, 360);
}

TEST(ColorWheelColor, TypedComponentsClampPerMode) {
    ColorWheelColor c;
    c.SetComponent(0, 999);
    EXPECT_EQ(c.hue, 360);  // shown as 360 until SetHsl wraps it
    EXPECT_EQ(c.ShownValue(0), 360);
    c.SetComponent(2, -5);
    EXPECT_EQ(c.lightness, 0);
    c.rgbMode = true;
    c.SetComponent(1, 300);
    EXPECT_EQ(c.green, 255);
    EXPECT_EQ(c.ShownValue(1), 255);
}

TEST(ColorWheelGeometry, LayoutAndDrags) {
    ColorWheelLayout l = ComputeColorWheelLayout(220, 347, 0);
    EXPECT_FLOAT_EQ(l.outerRadius, 199 * 0.92f * 0.5f);
    EXPECT_FLOAT_EQ(l.centreY, l.outerRadius + 30);
    // A short client still bases the ring on 150 when the width allows.
    EXPECT_FLOAT_EQ(ComputeColorWheelLayout(400, 100, 0).outerRadius, 150 * 0.92f * 0.5f);

    ColorWheelColor c;
    // The ring at the bottom of the centre: hue 90 (clockwise with y down);
    // saturation and lightness stay.
    c.DragRing(l, l.centreX, l.centreY + (l.innerRadius + l.outerRadius) / 2);
    EXPECT_NEAR(c.hue, 90, 1e-3);
    EXPECT_FLOAT_EQ(c.saturation, 0.85f);
    EXPECT_EQ(ColorWheelHitTest(l, l.centreX, l.centreY + (l.innerRadius + l.outerRadius) / 2).part,
              ColorWheelPart::Ring);

    // The triangle's vertices: pure hue, white and black; the hue stays.
    l = ComputeColorWheelLayout(220, 347, c.hue);
    ASSERT_TRUE(c.DragTriangle(l, l.vertex[1].x, l.vertex[1].y));
    EXPECT_NEAR(c.lightness, 1, 1e-4);
    ASSERT_TRUE(c.DragTriangle(l, l.vertex[0].x, l.vertex[0].y));
    EXPECT_NEAR(c.saturation, 1, 1e-4);
    EXPECT_NEAR(c.lightness, 0.5f, 1e-4);
    EXPECT_NEAR(c.hue, 90, 1e-3);
    EXPECT_EQ(ColorWheelHitTest(l, l.centreX, l.centreY).part, ColorWheelPart::Triangle);
    EXPECT_EQ(ColorWheelHitTest(l, 100, l.rowCentreY[2]).part, ColorWheelPart::Slider);
    EXPECT_EQ(ColorWheelHitTest(l, 200, l.rowCentreY[1]).row, 1);
}
