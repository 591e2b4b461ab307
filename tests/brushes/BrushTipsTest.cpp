#include "brushes/BrushSettings.h"
#include "brushes/BrushLibrary.h"
#include "brushes/BrushEngine.h"
#include "brushes/DabRenderer.h"
#include "document/CQuillfenEditorDoc.h"
#include "platform/Bitmap.h"
#include "platform/Codecs.h"

#include "BrushTestViews.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<uint8_t> SolidPng(int w, int h, uint32_t argb) {
    BitmapPtr b = Bitmap::Create(w, h);
    b->Clear(argb);
    std::vector<uint8_t> png;
    EXPECT_TRUE(EncodePng(*b, png));
    return png;
}

}  // namespace

TEST(BrushSettings, ToolBlocksAndActiveSlot) {
    // Tools outside 10..16 share the default block; mixer/blend and the two
    // clone tools share theirs.
    ToolBrushSettings* def = GetToolBrushSettings(kToolPaintBrush);
    for (int tool : {int(kToolEraser), int(kToolPaintMask), int(kToolEraseMask), int(kToolMove), int(kToolMagicWand), -5, 999})
        EXPECT_EQ(GetToolBrushSettings(tool), def) << tool;
    EXPECT_EQ(GetToolBrushSettings(kToolMixerBrush), GetToolBrushSettings(kToolBlendBrush));
    EXPECT_EQ(GetToolBrushSettings(kToolCloneBrush), GetToolBrushSettings(kToolHealingCloneBrush));
    EXPECT_NE(GetToolBrushSettings(kToolSmudgeBrush), def);
    EXPECT_NE(GetToolBrushSettings(kToolRecolorBrush), GetToolBrushSettings(kToolStencilKitbash));

    ToolBrushSettings block = *GetToolBrushSettings(kToolSmudgeBrush);
    EXPECT_EQ(block.toolSlots[0].settings.size, 30.0f);
    EXPECT_EQ(block.toolSlots[0].settings.flow, 1.0f);
    EXPECT_EQ(block.toolSlots[0].presetIndex, -1);
    EXPECT_EQ(BrushSettings().size, 20.0f);
    EXPECT_EQ(BrushSettings().flow, 0.5f);
    block.activeSlot = -3;
    EXPECT_EQ(&block.ActiveSlot(), &block.toolSlots[0]);
    block.activeSlot = 7;
    EXPECT_EQ(&block.ActiveSlot(), &block.toolSlots[1]);
}

TEST(BrushSettings, StrokeParamsEraseFlagAndOpacityCurve) {
    struct Case {
        int tool;
        float opacity;
        bool erase;
        float expected;
    };
    const float half = 1.0f - std::pow(0.5f, 0.25f);
    const Case cases[] = {
        {kToolEraser, 1.0f, true, 1.0f},         {kToolEraser, 0.999f, true, 0.999f},
        {kToolEraser, 0.5f, true, half},         {kToolEraser, 0.0f, true, 0.0f},
        {kToolEraser, 1.5f, true, 1.5f},         {kToolPaintMask, 0.5f, false, half},
        {kToolEraseMask, 0.5f, true, half},      {kToolPaintBrush, 0.5f, false, 0.5f},
        {kToolSmudgeBrush, 0.5f, false, 0.5f},
    };
    for (const Case& c : cases) {
        ToolBrushSettings* block = GetToolBrushSettings(c.tool);
        const BrushSettings saved = block->ActiveSlot().settings;
        block->ActiveSlot().settings.opacity = c.opacity;
        const BrushSettings s = BuildStrokeParams(c.tool);
        EXPECT_EQ(s.erase, c.erase) << c.tool;
        EXPECT_NEAR(s.opacity, c.expected, 1e-6f) << c.tool << " " << c.opacity;
        block->ActiveSlot().settings = saved;
    }
}

TEST(BrushSettings, WetParamsPerTool) {
    const WetPaintParams blend = BuildWetPaintParams(kToolBlendBrush);
    EXPECT_FALSE(blend.loadAfterStroke);
    EXPECT_TRUE(blend.cleanAfterStroke);
    EXPECT_TRUE(blend.smearOnly);
    const WetPaintParams mixer = BuildWetPaintParams(kToolMixerBrush);
    EXPECT_TRUE(mixer.loadAfterStroke);
    EXPECT_FALSE(mixer.smearOnly);
}

TEST(BrushTips, SizesAndProceduralShapes) {
    EXPECT_EQ(TipSizeFor(0.3f), 1);
    EXPECT_EQ(TipSizeFor(0.0f), 1);
    EXPECT_EQ(TipSizeFor(-4.0f), 1);
    EXPECT_EQ(TipSizeFor(NAN), 1);
    EXPECT_EQ(TipSizeFor(20.0f), 20);
    EXPECT_EQ(TipSizeFor(20.01f), 21);
    EXPECT_EQ(TipSizeFor(1e30f), kMaxTipSide);

    // Radius 0: every pixel reads the first table entry (about 1).
    std::vector<float> tip(9);
    GenerateRoundTip(tip, 3, 0.0f, 0.5f, 1, 1, 0, false);
    for (float v : tip) EXPECT_NEAR(v, 1.0f, 0.01f);

    // Hardness 0.999 and 1.0 share the steepest falloff.
    std::vector<float> a(400), b(400);
    GenerateRoundTip(a, 20, 20, 0.999f, 1, 1, 0, false);
    GenerateRoundTip(b, 20, 20, 1.0f, 1, 1, 0, false);
    EXPECT_EQ(a, b);

    // A round tip's corners are empty; a square tip at angle 0 covers them
    // except where max(|u|, |v|) reaches the radius.
    std::vector<float> round(400), square(400);
    GenerateRoundTip(round, 20, 20, 0.8f, 1, 1, 0, false);
    GenerateRoundTip(square, 20, 20, 0.8f, 1, 1, 0, true);
    EXPECT_EQ(round[0], 0.0f);
    EXPECT_GT(square[0], 0.0f);
    EXPECT_GT(round[10 * 20 + 10], 0.95f);
    // 21 x 21 with size 20: the outer ring lies at |u| = 10 = r and is empty.
    std::vector<float> sq21(441);
    GenerateRoundTip(sq21, 21, 20, 0.8f, 1, 1, 0, true);
    EXPECT_EQ(sq21[0], 0.0f);
    EXPECT_GT(sq21[1 * 21 + 1], 0.0f);

    std::vector<float> hard(400);
    GenerateHardRoundTip(hard, 20, 20, 0.5f, 1, 1, 0);
    EXPECT_EQ(hard[10 * 20 + 10], 1.0f);
    EXPECT_EQ(hard[0], 0.0f);
    EXPECT_GT(hard[10 * 20 + 17], 0.0f);
    EXPECT_LT(hard[10 * 20 + 17], 1.0f);
}

TEST(BrushTips, RotateScaleTipKeepsCentreAndTurns) {
    // A horizontal bar turned by 90 degrees becomes a vertical bar.
    const int n = 9;
    std::vector<float> bar(n * n, 0.0f), out;
    for (int x = 0; x < n; ++x) bar[4 * n + x] = 1.0f;
    RotateScaleTip(bar, n, out, n, 90.0f);
    ASSERT_EQ(out.size(), size_t(n * n));
    EXPECT_NEAR(out[4 * n + 4], 1.0f, 1e-4f);
    EXPECT_NEAR(out[0 * n + 4], 1.0f, 1e-4f);
    EXPECT_NEAR(out[4 * n + 0], 0.0f, 1e-4f);
    // Sizes below 1 leave the destination alone.
    std::vector<float> untouched{7.0f};
    RotateScaleTip(bar, n, untouched, 0, 0.0f);
    EXPECT_EQ(untouched, std::vector<float>{7.0f});
}

TEST(BrushTips, ImageTipsFromLumaAndAlpha) {
    std::vector<float> tip;
    ASSERT_TRUE(DabRenderer::TipFromImage(SolidPng(8, 8, 0xFFFFFFFF), 5, tip));
    for (float v : tip) EXPECT_NEAR(v, 0.0f, 1e-6f);
    ASSERT_TRUE(DabRenderer::TipFromImage(SolidPng(8, 8, 0xFF000000), 5, tip));
    for (float v : tip) EXPECT_NEAR(v, 1.0f, 1e-6f);
    ASSERT_TRUE(DabRenderer::TipFromImage(SolidPng(8, 8, 0x00000000), 5, tip));
    for (float v : tip) EXPECT_NEAR(v, 0.0f, 1e-6f);
    std::vector<float> grain;
    ASSERT_TRUE(DabRenderer::GrainFromImage(SolidPng(8, 8, 0x00000000), 5, grain));
    for (float v : grain) EXPECT_NEAR(v, 1.0f, 1e-6f);
    EXPECT_FALSE(DabRenderer::TipFromImage({1, 2, 3, 4}, 5, tip));
    EXPECT_FALSE(DabRenderer::TipFromImage({}, 5, tip));
    EXPECT_FALSE(DabRenderer::TipFromImage(SolidPng(2, 2, 0xFF000000), 0, tip));
}

namespace {

// A PNG whose header declares width x height over the pixels of a 4 x 4
// picture (the header's checksum made right): what a damaged or hostile file
// may carry.
std::vector<uint8_t> PngDeclaring(uint32_t width, uint32_t height) {
    std::vector<uint8_t> png = SolidPng(4, 4, 0xFF808080);
    for (int k = 0; k < 4; ++k) {
        png[16 + k] = uint8_t(width >> (24 - 8 * k));
        png[20 + k] = uint8_t(height >> (24 - 8 * k));
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 12; i < 29; ++i) {
        crc ^= png[i];
        for (int b = 0; b < 8; ++b) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int k = 0; k < 4; ++k) png[29 + k] = uint8_t(crc >> (24 - 8 * k));
    return png;
}

}  // namespace

TEST(BrushTips, OversizedPreviewAndTipImagesAreRefusedFromTheHeader) {
    // A declared 16384 x 16384 picture would be a 1 GiB bitmap; the readers
    // refuse it before decoding, as too large (not as damaged, which is what
    // a decoder finds after allocating it and running out of data).
    struct Case {
        const char* what;
        BitmapPtr (*decode)(const std::vector<uint8_t>&, DecodeError*);
        uint32_t side;
        bool decodes;
    } cases[] = {
        {"preview 16384", &DecodeBrushPreview, 16384, false},
        {"preview 1025", &DecodeBrushPreview, 1025, false},
        {"tip 16384", &DecodeTipImage, 16384, false},
        {"tip 4097", &DecodeTipImage, 4097, false},
        {"preview 4", &DecodeBrushPreview, 4, true},
        {"tip 4", &DecodeTipImage, 4, true},
    };
    for (const Case& c : cases) {
        DecodeError why = DecodeError::kNone;
        const BitmapPtr b = c.decode(PngDeclaring(c.side, c.side), &why);
        EXPECT_EQ(c.decodes, b != nullptr) << c.what;
        if (!c.decodes) {
            EXPECT_EQ(DecodeError::kTooLarge, why) << c.what;
        }
    }
    std::vector<float> tip;
    EXPECT_FALSE(DabRenderer::TipFromImage(PngDeclaring(16384, 16384), 64, tip));
    EXPECT_FALSE(DabRenderer::GrainFromImage(PngDeclaring(16384, 16384), 64, tip));
}

TEST(BrushTips, CacheKeyAndFallbacks) {
    DabRenderer r;
    BrushSettings s;
    s.size = 20.2f;
    r.BuildTip(s);
    const float* first = r.Tip().data();
    s.size = 20.9f;  // same ceiling: the cached tip stays
    r.BuildTip(s);
    EXPECT_EQ(r.Tip().data(), first);
    EXPECT_EQ(r.TipSize(), 21);

    // An undecodable bitmap tip paints as the round tip; an undecodable
    // grain leaves the plain hard round tip.
    BrushSettings bitmap = s;
    bitmap.tipKind = kBrushTipBitmap;
    bitmap.tipImage = {9, 9, 9};
    std::vector<float> round(21 * 21);
    GenerateRoundTip(round, 21, s.size, s.hardness, 1, 1, 0, false);
    EXPECT_EQ(r.BuildTip(bitmap).Tip(), round);
    BrushSettings textured = s;
    textured.tipKind = kBrushTipTextured;
    textured.grainImage = {1};
    std::vector<float> hard(21 * 21);
    GenerateHardRoundTip(hard, 21, s.size, s.hardness, 1, 1, 0);
    EXPECT_EQ(r.BuildTip(textured).Tip(), hard);
    EXPECT_TRUE(r.Grain().empty());

    // A replaced tip image is seen without a revision bump: the cache is
    // keyed on the image's content.
    bitmap.tipImage = SolidPng(4, 4, 0xFF000000);
    r.BuildTip(bitmap);
    EXPECT_NEAR(r.Tip()[0], 1.0f, 1e-6f);
    bitmap.tipImage = SolidPng(4, 4, 0xFFFFFFFF);
    r.BuildTip(bitmap);
    EXPECT_NEAR(r.Tip()[0], 0.0f, 1e-6f);
}

// An uncompressed 24-bit BMP of one grey: its length does not depend on the grey.
std::vector<uint8_t> GreyBmp(int side, uint8_t grey) {
    const uint32_t row = uint32_t(side * 3 + 3) & ~3u, data = row * uint32_t(side), total = 54 + data;
    std::vector<uint8_t> b(total, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) b[at + k] = uint8_t(v >> (8 * k));
    };
    b[0] = 'B', b[1] = 'M';
    put32(2, total), put32(10, 54), put32(14, 40), put32(18, uint32_t(side)), put32(22, uint32_t(side));
    b[26] = 1, b[28] = 24;
    put32(34, data);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side * 3; ++x) b[54 + size_t(y) * row + size_t(x)] = grey;
    return b;
}

// A stroke hashes its tip image once, however many dabs it stamps; after the
// stroke the cache goes back to checking the image's content at every build.
TEST(BrushTips, AStrokeHashesItsTipImageOnce) {
    BufferView view(200, 60);
    DabRenderer dab;
    BrushEngine engine;
    engine.Init(&dab, &view);
    BrushSettings s;
    s.size = 12;
    s.tipKind = kBrushTipBitmap;
    s.tipImage = GreyBmp(64, 0);
    engine.BeginStroke(10, 30, 0xFF0000FF, s, 1.0f);
    for (int x = 14; x < 190; x += 4) engine.StrokeTo(float(x), 30, 0xFF0000FF, s, 1.0f);
    engine.EndStroke();
    EXPECT_EQ(dab.ImageHashCount(), 1u);
    EXPECT_GT(view.MaxAlpha(), 0);

    // Outside a stroke a same-length image with other content is still seen.
    BrushSettings other = s;
    other.tipImage = GreyBmp(64, 255);
    ASSERT_EQ(other.tipImage.size(), s.tipImage.size());
    const size_t centre = size_t(dab.TipSize()) * dab.TipSize() / 2;
    dab.BuildTip(s);
    EXPECT_GT(dab.Tip()[centre], 0.9f);
    dab.BuildTip(other);
    EXPECT_LT(dab.Tip()[centre], 0.1f);
}
