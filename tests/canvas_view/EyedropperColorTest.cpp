// The eyedropper's colour texts and its loupe: what a user may type, which
// byte is red, how samples repeat at the screen's edge, where the loupe goes
// and what its image shows.
#include "canvas_view/EyedropperColor.h"

#include <gtest/gtest.h>

TEST(EyedropperColour, TypedTexts) {
    struct Case {
        bool hex;
        const char* text;
        bool ok;
        uint32_t argb;
    };
    const Case cases[] = {
        {false, "12,34,56", true, 0xFF0C2238},
        {false, "12 , 34 , 56", true, 0xFF0C2238},
        {false, "  0, 0,255  ", true, 0xFF0000FF},
        {false, "255,255,255", true, 0xFFFFFFFF},
        {false, "12, 34", false, 0},
        {false, "12, 34, 56, 78", false, 0},
        {false, "12, 34, 256", false, 0},
        {false, "-1, 34, 56", false, 0},
        {false, "12, 34, 99999999999999999999", false, 0},
        {false, "12, 34, 56 px", false, 0},
        {false, "12 34 56", false, 0},
        {false, "12,,34,56", false, 0},
        {false, "", false, 0},
        {true, "#1a2b3c", true, 0xFF1A2B3C},
        {true, "0X1A2B3C", true, 0xFF1A2B3C},
        {true, "  1A2B3C \t", true, 0xFF1A2B3C},
        {true, "FF0000", true, 0xFFFF0000},  // red stays red
        {true, "1A2B3", false, 0},
        {true, "#0x1A2B3C4", false, 0},
        {true, "GG0000", false, 0},
        {true, "1A 2B3C", false, 0},
        {true, "#", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t argb = 0;
        const bool ok = c.hex ? ParseHexColor(c.text, argb) : ParseRgbText(c.text, argb);
        EXPECT_EQ(ok, c.ok) << c.text;
        if (ok && c.ok) {
            EXPECT_EQ(argb, c.argb) << c.text;
        }
    }
    EXPECT_EQ(FormatRgbText(0xFF0C2238), "12, 34, 56");
    EXPECT_EQ(FormatHexText(0xFF0A0B0C), "0A0B0C");
    // What is shown reads back as the same colour.
    uint32_t back = 0;
    ASSERT_TRUE(ParseHexColor(FormatHexText(0xFFC01234), back));
    EXPECT_EQ(back, 0xFFC01234u);
    ASSERT_TRUE(ParseRgbText(FormatRgbText(0xFFC01234), back));
    EXPECT_EQ(back, 0xFFC01234u);
}

TEST(EyedropperColour, DisplayedCompositeIsUnpremultiplied) {
    // B, G, R, A premultiplied: half-transparent (255, 128, 64) and a clear pixel.
    const uint8_t px[8] = {32, 64, 128, 128, 0, 0, 0, 0};
    const LoupeSnapshot s = SnapshotFromPremultiplied(px, 2, 1, 8, 100, 50);
    EXPECT_EQ(s.At(100, 50), 0xFFFF8040u);
    EXPECT_EQ(s.At(101, 50), 0xFF000000u);
    EXPECT_EQ(UnpremultipliedColour(px), 0xFFFF8040u);
}

TEST(EyedropperColour, SamplesRepeatTheEdgeAndTheLoupeStaysOnScreen) {
    // A 3 x 2 snapshot at screen (10, 20); each pixel names its column and row.
    LoupeSnapshot s;
    s.left = 10, s.top = 20, s.width = 3, s.height = 2;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) s.pixels.push_back(0xFF000000u | uint32_t(x) << 8 | uint32_t(y));
    const LoupeSamples at = SampleLoupe(s, 10, 20);
    EXPECT_EQ(at.Centre(), 0xFF000000u);
    EXPECT_EQ(at.argb[0], 0xFF000000u);                      // far above-left: the corner again
    EXPECT_EQ(at.argb[10 * kLoupeGrid + 10], 0xFF000201u);   // far below-right: the opposite corner
    EXPECT_EQ(at.argb[5 * kLoupeGrid + 6], 0xFF000100u);     // one right of the centre
    EXPECT_EQ(SampleLoupe(LoupeSnapshot{}, 0, 0).Centre(), 0xFF000000u);

    EXPECT_EQ(PlaceLoupe(500, 400, 0, 0, 1600, 1000), (LoupePlace{430, 330}));
    EXPECT_EQ(PlaceLoupe(3, 2, 0, 0, 1600, 1000), (LoupePlace{0, 0}));
    EXPECT_EQ(PlaceLoupe(1599, 999, 0, 0, 1600, 1000), (LoupePlace{1460, 860}));
    EXPECT_EQ(PlaceLoupe(-1900, 5, -1920, 0, 3520, 1080), (LoupePlace{-1920, 0}));
}

TEST(EyedropperColour, LoupeImageShowsSamplesRingAndOutline) {
    LoupeSamples samples;
    samples.argb.fill(0xFF102030);
    samples.argb[60] = 0xFFFFFF00;  // the centre
    std::vector<uint32_t> img(kLoupeSize * kLoupeSize);
    RenderLoupe(samples, 0xFFFF0000, 0xFF0000FF, img.data());
    auto at = [&](int x, int y) { return img[size_t(y * kLoupeSize + x)]; };
    EXPECT_EQ(at(0, 0), 0u);                          // outside the disc
    EXPECT_EQ(at(70, 70), 0xFFFFFF00u);               // inside the centre sample
    EXPECT_EQ(at(30, 70), 0xFF102030u);               // another sample
    EXPECT_EQ(at(64, 70), 0xFFFFFFFFu);               // white outline
    EXPECT_EQ(at(65, 70), 0xFF000000u);               // black outline inside it
    EXPECT_EQ(at(74, 74), 0xFF000000u);
    EXPECT_EQ(at(75, 75), 0xFFFFFFFFu);
    EXPECT_EQ(at(70, 8), 0xFFFF0000u);                // ring, upper half: the picked colour
    EXPECT_EQ(at(70, 131), 0xFF0000FFu);              // ring, lower half: the colour before
    // Half covered (d just over 70): the grey border at half strength, premultiplied.
    EXPECT_EQ(at(119, 119), 0x7F3C3E41u);
}
