#include "scene/BlendModes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// Pairs (Cb, Cs): A = (0.25, 0.5), B = (0.8, 0.3), C = (0.6, 0.9). Values worked
// out by hand from each mode's formula.
struct ChannelCase {
    int mode;
    float a, b, c;
};

const ChannelCase kChannelCases[] = {
    {kBlendNormal, 0.5f, 0.3f, 0.9f},
    {kBlendAverage, 0.375f, 0.55f, 0.75f},
    {kBlendDissolve, 0.5f, 0.3f, 0.9f},
    {kBlendDarken, 0.25f, 0.3f, 0.6f},
    {kBlendMultiply, 0.125f, 0.24f, 0.54f},
    {kBlendColorBurn, 0.0f, 0.333333f, 0.555556f},
    {kBlendInverseColorBurn, 0.0f, 0.125f, 0.833333f},
    {kBlendSoftBurn, 0.333333f, 0.666667f, 0.777778f},
    {kBlendLinearBurn, 0.0f, 0.1f, 0.5f},
    {kBlendLighten, 0.5f, 0.8f, 0.9f},
    {kBlendScreen, 0.625f, 0.86f, 0.96f},
    {kBlendColorDodge, 0.5f, 1.0f, 1.0f},
    {kBlendInverseColorDodge, 0.666667f, 1.0f, 1.0f},
    {kBlendSoftDodge, 0.25f, 0.5625f, 0.916667f},
    {kBlendLinearDodge, 0.75f, 1.0f, 1.0f},
    {kBlendOverlay, 0.25f, 0.72f, 0.92f},
    {kBlendSoftLight, 0.25f, 0.736f, 0.739677f},
    {kBlendFuzzyLight, 0.25f, 0.736f, 0.739677f},
    {kBlendHardLight, 0.25f, 0.48f, 0.92f},
    {kBlendVividLight, 0.25f, 0.666667f, 1.0f},
    {kBlendLinearLight, 0.25f, 0.4f, 1.0f},
    {kBlendPinLight, 0.25f, 0.6f, 0.8f},
    {kBlendHardMix, 0.0f, 1.0f, 1.0f},
    {kBlendDifference, 0.25f, 0.5f, 0.3f},
    {kBlendExclusion, 0.5f, 0.62f, 0.42f},
    {kBlendNegation, 0.75f, 0.9f, 0.5f},
    {kBlendReflect, 0.125f, 0.914286f, 1.0f},
    {kBlendGlow, 0.333333f, 0.45f, 1.0f},
    {kBlendFreeze, 0.0f, 0.3875f, 0.983333f},
    {kBlendHeat, 0.0f, 0.866667f, 0.822222f},
    {kBlendAdditive, 0.75f, 1.0f, 1.0f},
    {kBlendSubtractive, 0.0f, 0.1f, 0.5f},
    {kBlendSubtract, 0.0f, 0.5f, 0.0f},
    {kBlendInterpolation, 0.323223f, 0.555308f, 0.815018f},
    {kBlendStamp, 0.25f, 0.4f, 1.0f},
    {kBlendXor, 192 / 255.0f, 129 / 255.0f, 127 / 255.0f},
    {kBlendInvert, 0.75f, 0.2f, 0.4f},
    {kBlendPhotoBash, 0.5f, 0.3f, 0.9f},
};

TEST(BlendModes, ChannelFormulasAtChosenPairs) {
    for (const ChannelCase& c : kChannelCases) {
        SCOPED_TRACE(BlendModeName(c.mode));
        EXPECT_NEAR(BlendChannel(0.25f, 0.5f, c.mode), c.a, 2e-6);
        EXPECT_NEAR(BlendChannel(0.8f, 0.3f, c.mode), c.b, 2e-6);
        EXPECT_NEAR(BlendChannel(0.6f, 0.9f, c.mode), c.c, 2e-6);
    }
}

TEST(BlendModes, ChannelEdges) {
    EXPECT_NEAR(BlendChannel(0.2f, 0.75f, kBlendSoftLight), 0.324f, 1e-6);  // D(x) polynomial: 0.2 + 0.5 x 0.248
    EXPECT_EQ(BlendChannel(0.0f, 1.0f, kBlendColorDodge), 1.0f);
    EXPECT_EQ(BlendChannel(1.0f, 0.0f, kBlendColorBurn), 0.0f);
    EXPECT_EQ(BlendChannel(1.0f, 1.0f, kBlendXor), 0.0f);
    EXPECT_EQ(BlendChannel(1.0f, 0.0f, kBlendXor), 1.0f);
    EXPECT_EQ(BlendChannel(0.0f, 0.0f, kBlendSoftBurn), 0.0f);     // Cb + Cs < 1 and Cs = 0
    EXPECT_EQ(BlendChannel(1.0f, 0.5f, kBlendSoftDodge), 0.75f);   // 1 - 0.5 x 0.5 / 1
    EXPECT_EQ(BlendChannel(0.4f, 0.7f, kBlendHue), 0.7f);          // whole-colour modes give Cs per channel
    EXPECT_EQ(BlendChannel(0.4f, 0.7f, 200), 0.7f);
    // Identical pairs of modes.
    for (float b : {0.0f, 0.1f, 0.5f, 0.77f, 1.0f})
        for (float s : {0.0f, 0.3f, 0.5f, 0.9f, 1.0f}) {
            EXPECT_EQ(BlendChannel(b, s, kBlendLinearLight), BlendChannel(b, s, kBlendStamp));
            EXPECT_EQ(BlendChannel(b, s, kBlendSoftLight), BlendChannel(b, s, kBlendFuzzyLight));
            EXPECT_EQ(BlendChannel(b, s, kBlendLinearDodge), BlendChannel(b, s, kBlendAdditive));
            EXPECT_EQ(BlendChannel(b, s, kBlendLinearBurn), BlendChannel(b, s, kBlendSubtractive));
        }
}

struct ColorCase {
    int mode;
    float br, bg, bb, sr, sg, sb;
    float r, g, b;
};

TEST(BlendModes, WholeColourModes) {
    // Cb = (0.8, 0.4, 0.2): Lum 0.498, Sat 0.6. Cs = (0.2, 0.6, 0.4): Lum 0.458, Sat 0.4.
    const ColorCase cases[] = {
        {kBlendHue, 0.8f, 0.4f, 0.2f, 0.2f, 0.6f, 0.4f, 0.111f, 0.711f, 0.411f},
        {kBlendSaturation, 0.8f, 0.4f, 0.2f, 0.2f, 0.6f, 0.4f, 0.699333f, 0.432667f, 0.299333f},
        {kBlendColor, 0.8f, 0.4f, 0.2f, 0.2f, 0.6f, 0.4f, 0.24f, 0.64f, 0.44f},
        {kBlendLuminosity, 0.8f, 0.4f, 0.2f, 0.2f, 0.6f, 0.4f, 0.76f, 0.36f, 0.16f},
        {kBlendRed, 0.8f, 0.4f, 0.2f, 0.2f, 0.6f, 0.4f, 0.2f, 0.4f, 0.2f},
        {kBlendGreen, 0.8f, 0.4f, 0.2f, 0.2f, 0.6f, 0.4f, 0.8f, 0.6f, 0.2f},
        {kBlendBlue, 0.8f, 0.4f, 0.2f, 0.2f, 0.6f, 0.4f, 0.8f, 0.4f, 0.4f},
        {kBlendTint, 0.8f, 0.4f, 0.2f, 0.2f, 0.6f, 0.4f, 0.0996f, 0.2988f, 0.1992f},
        {kBlendMultiply, 0.8f, 0.4f, 0.2f, 0.2f, 0.6f, 0.4f, 0.16f, 0.24f, 0.08f},
        // ClipColor above 1: Lum 0.9 grey under pure blue -> (0.79, 0.79, 1.79) pulled to max 1.
        {kBlendColor, 0.9f, 0.9f, 0.9f, 0.0f, 0.0f, 1.0f, 0.887640f, 0.887640f, 1.0f},
        // ClipColor below 0: blue with black's luminosity collapses to black.
        {kBlendLuminosity, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
        // Hue of a grey source: a grey of the backdrop's luminosity.
        {kBlendHue, 0.8f, 0.4f, 0.2f, 0.5f, 0.5f, 0.5f, 0.498f, 0.498f, 0.498f},
    };
    for (const ColorCase& c : cases) {
        SCOPED_TRACE(BlendModeName(c.mode));
        float r, g, b;
        BlendNonSeparable(r, g, b, c.br, c.bg, c.bb, c.sr, c.sg, c.sb, c.mode);
        EXPECT_NEAR(r, c.r, 2e-6);
        EXPECT_NEAR(g, c.g, 2e-6);
        EXPECT_NEAR(b, c.b, 2e-6);
    }
    float r = 0.3f, g = 0.5f, b = 0.9f;
    SetLumClip(r, g, b, 0.2f);  // Lum 0.484 -> 0.2: a plain shift, nothing to clip
    EXPECT_NEAR(0.3f * r + 0.59f * g + 0.11f * b, 0.2f, 1e-6);
}

TEST(BlendModes, CompositeWithBlend) {
    float r, g, b, a;
    // Normal at half alpha over opaque: the mean, alpha 1.
    CompositePixelWithBlend(r, g, b, a, 0.2f, 0.4f, 1.0f, 1.0f, 0.6f, 0.0f, 0.5f, 0.5f, kBlendNormal);
    EXPECT_NEAR(r, 0.4f, 1e-6);
    EXPECT_NEAR(g, 0.2f, 1e-6);
    EXPECT_NEAR(b, 0.75f, 1e-6);
    EXPECT_EQ(a, 1.0f);
    // Multiply, both translucent: ao = 0.8, C = ((0.5 x 0.3 + 0.5 x 0.24) x 0.6 + 0.4 x 0.5 x 0.8) / 0.8.
    CompositePixelWithBlend(r, g, b, a, 0.8f, 0.8f, 0.8f, 0.5f, 0.3f, 0.3f, 0.3f, 0.6f, kBlendMultiply);
    EXPECT_NEAR(r, 0.4025f, 1e-6);
    EXPECT_NEAR(a, 0.8f, 1e-6);
    // Invert over opaque ignores the source colour.
    CompositePixelWithBlend(r, g, b, a, 0.2f, 0.7f, 1.0f, 1.0f, 0.9f, 0.1f, 0.4f, 1.0f, kBlendInvert);
    EXPECT_NEAR(r, 0.8f, 1e-6);
    EXPECT_NEAR(g, 0.3f, 1e-6);
    EXPECT_NEAR(b, 0.0f, 1e-6);
    for (int mode = 0; mode < kBlendModeCount; ++mode) {
        SCOPED_TRACE(BlendModeName(mode));
        // A transparent source leaves the backdrop.
        CompositePixelWithBlend(r, g, b, a, 0.1f, 0.5f, 0.9f, 0.7f, 0.3f, 0.2f, 0.8f, 0.0f, mode);
        EXPECT_EQ(r, 0.1f);
        EXPECT_EQ(b, 0.9f);
        EXPECT_EQ(a, 0.7f);
        // Over a transparent backdrop the source shows as it is.
        CompositePixelWithBlend(r, g, b, a, 0.1f, 0.5f, 0.9f, 0.0f, 0.3f, 0.2f, 0.8f, 0.4f, mode);
        EXPECT_NEAR(r, 0.3f, 1e-6);
        EXPECT_NEAR(g, 0.2f, 1e-6);
        EXPECT_NEAR(b, 0.8f, 1e-6);
        EXPECT_NEAR(a, 0.4f, 1e-6);
    }
}

TEST(BlendModes, NamesGroupsAndSeparator) {
    EXPECT_STREQ(BlendModeName(0), "Normal");
    EXPECT_STREQ(BlendModeName(kBlendInverseColorDodge), "Inverse Color Dodge");
    EXPECT_STREQ(BlendModeName(kBlendXor), "XOR");
    EXPECT_STREQ(BlendModeName(45), "Photo-Bash Blend");
    EXPECT_STREQ(BlendModeName(kBlendModeSeparator), "");
    EXPECT_EQ(kBlendModeSeparator, 46);
    const int groupStarts[] = {0, 3, 9, 15, 23, 26, 33, 37, 43, 45};
    int group = 0;
    for (int m = 0; m < kBlendModeCount; ++m) {
        if (group < 10 && m == groupStarts[group]) ++group;
        EXPECT_EQ(BlendModeGroup(m), group) << m;
        EXPECT_NE(std::string(BlendModeName(m)), "");
    }
    EXPECT_TRUE(BlendModeIsNonSeparable(kBlendTint));
    EXPECT_FALSE(BlendModeIsNonSeparable(kBlendInvert));
}

}  // namespace
